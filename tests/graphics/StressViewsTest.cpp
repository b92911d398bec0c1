#include <gtest/gtest.h>

#include <stdexcept>

#include "GraphicsStates.h"
#include "graphics/StressSurfaces.h"
#include "graphics/StressViews.h"

namespace quillane::graphics {
namespace {

using test::HasText;
using test::IsCircle;
using test::IsLine;
using test::ItemsOf;

constexpr double kE = 1e-6;
constexpr double kTs = 0.002;
const RGB kGreen = QBColor(10);
const RGB kMagenta = QBColor(13);
const RGB kBlack(0, 0, 0);
constexpr RGB kPictogram(14, 0, 0);

std::vector<DisplayItem> Arcs(const DrawingSurface& surface) {
  std::vector<DisplayItem> arcs;
  for (const DisplayItem& item : ItemsOf(surface, ItemKind::Circle)) {
    if (item.IsArc) arcs.push_back(item);
  }
  return arcs;
}

// The bending pictogram: one bracket each side bulging left when bent upwards (c > 0),
// otherwise two arcs each side bulging right.
void ExpectPictogram(const DrawingSurface& surface, double left, double right, double radius,
                     bool positive) {
  const auto arcs = Arcs(surface);
  if (positive) {
    ASSERT_EQ(arcs.size(), 2u);
    EXPECT_TRUE(IsCircle(arcs[0], left, 0, radius, kPictogram, 1, 2.35f, 3.92f));
    EXPECT_TRUE(IsCircle(arcs[1], right, 0, radius, kPictogram, 1, 2.35f, 3.92f));
    return;
  }
  ASSERT_EQ(arcs.size(), 4u);
  EXPECT_TRUE(IsCircle(arcs[0], left, 0, radius, kPictogram, 1, 5.49f, 6.28f));
  EXPECT_TRUE(IsCircle(arcs[1], right, 0, radius, kPictogram, 1, 5.49f, 6.28f));
  EXPECT_TRUE(IsCircle(arcs[2], left, 0, radius, kPictogram, 1, 0.0f, 0.785f));
  EXPECT_TRUE(IsCircle(arcs[3], right, 0, radius, kPictogram, 1, 0.0f, 0.785f));
}

TEST(RadiusTextTest, ReciprocalOfTheCurvatureOrInfinite) {
  EXPECT_EQ(RadiusText(2.5), " RAYON=4.000E-01");
  EXPECT_EQ(RadiusText(-0.2), " RAYON=-5.000E+00");
  EXPECT_EQ(RadiusText(0.0), " RAYON=infini");
}

class BuildUpViewTest : public ::testing::Test {
 protected:
  ModelState state = test::MakeStressState(3, kE, kTs);
  DrawingSurface surface{6375, 4095};
};

TEST_F(BuildUpViewTest, FirstLamellaOfThree) {
  state.Clock.LamellaIndex = 1;
  DrawBuildUpView(state, surface, false);
  EXPECT_DOUBLE_EQ(state.Views.ProfileSpanX, 3 * kE + kTs);  // the frame spans all three
  const auto& items = surface.Items();
  ASSERT_EQ(items.size(), 12u + 9u);
  const double axis = state.Stress.NeutralAxisPosition(1);
  EXPECT_TRUE(IsLine(items[12], axis, -0.4, axis, 0.3, kBlack, 1));
  EXPECT_TRUE(IsLine(items[13], -kTs, 4.1e-4, 0, -6.1e-4, kGreen, 3));
  // Header texts, two pictogram arcs, then one boundary at e and one flat stroke 0..e.
  EXPECT_TRUE(IsLine(items[19], kE, -0.4, kE, 0.3, kMagenta, 3));
  EXPECT_TRUE(IsLine(items[20], 0, 0.115, kE, 0.115, kGreen, 3));
  EXPECT_TRUE(HasText(surface, "N=  1 "));
  EXPECT_EQ(surface.DrawWidth(), 1);
}

TEST_F(BuildUpViewTest, LastLamellaShowsEveryBoundaryAndStrokeInOrder) {
  DrawBuildUpView(state, surface, true);
  const auto& items = surface.Items();
  ASSERT_EQ(items.size(), 12u + 13u);
  for (int i = 1; i <= 3; ++i) {
    const double stress = state.Stress.LamellaStress(i) * 1e-9;
    const auto at = static_cast<std::size_t>(17 + 2 * i);
    EXPECT_TRUE(IsLine(items[at], i * kE, -0.4, i * kE, 0.3, kMagenta, 3));
    EXPECT_TRUE(IsLine(items[at + 1], (i - 1) * kE, stress, i * kE, stress, kGreen, 3));
  }
  // In the zoom view the substrate stroke still starts at the back face, left of the surface.
  EXPECT_TRUE(IsLine(items[13], -kTs, 4.3e-4, 0, -6.3e-4, kGreen, 3));
  EXPECT_LT(items[13].X1, surface.ScaleLeft());
  EXPECT_TRUE(HasText(surface, "N=  3 "));
}

TEST_F(BuildUpViewTest, HeaderTextsAtQuarterAndThreeQuarterWidthInSixPoints) {
  state.Clock.LamellaIndex = 2;
  state.Stress.Curvature(2) = 2.5;
  state.Stress.Deflection(2) = 1.25e-5;
  DrawBuildUpView(state, surface, false);
  const double left = surface.ScaleLeft(), width = surface.ScaleWidth();
  const double top = surface.ScaleTop(), height = surface.ScaleHeight();
  EXPECT_TRUE(HasText(surface, " RAYON=4.000E-01", left + width / 4, top, 6.0f));
  EXPECT_TRUE(HasText(surface, "FLECHE=1.250E-05", left + width / 4, top + height / 20, 6.0f));
  EXPECT_TRUE(HasText(surface, "N=  2 ", left + width * 3 / 4, top, 6.0f));

  state.Stress.Curvature(2) = 0;
  DrawBuildUpView(state, surface, false);
  EXPECT_TRUE(HasText(surface, " RAYON=infini"));
}

TEST_F(BuildUpViewTest, FirstFrameLabelsInTheInitialFontThenInSixPoints) {
  state.Clock.LamellaIndex = 1;
  DrawBuildUpView(state, surface, false);
  EXPECT_TRUE(HasText(surface, "Traction", surface.ScaleLeft(), 0.275, 8.25f));
  state.Clock.LamellaIndex = 2;
  DrawBuildUpView(state, surface, false);
  EXPECT_TRUE(HasText(surface, "Traction", surface.ScaleLeft(), 0.275, 6.0f));
}

TEST_F(BuildUpViewTest, PictogramFollowsTheSignOfTheCurvatureAndTheView) {
  state.Clock.LamellaIndex = 2;
  const double global = 3 * kE + kTs;
  const double zoom = 3 * kE;
  DrawBuildUpView(state, surface, false);
  ExpectPictogram(surface, -kTs - global / 30, 2 * kE + global / 10, global / 20, true);
  DrawBuildUpView(state, surface, true);
  ExpectPictogram(surface, -zoom / 30, 2 * kE + zoom / 10, zoom / 20, true);

  state.Stress.Curvature(2) = 0;  // flat counts with the negative side
  DrawBuildUpView(state, surface, false);
  ExpectPictogram(surface, -kTs - global / 10, 2 * kE + global / 30, global / 20, false);
  state.Stress.Curvature(2) = -1;
  DrawBuildUpView(state, surface, true);
  ExpectPictogram(surface, -zoom / 10, 2 * kE + zoom / 30, zoom / 20, false);
}

TEST_F(BuildUpViewTest, StateNotComputedThatFarIsRefused) {
  state.Clock.LamellaIndex = 4;
  EXPECT_THROW(DrawBuildUpView(state, surface, false), std::out_of_range);
}

TEST(CoolingViewTest, DrawsEveryLamellaAfterCoolingWithoutChangingTheFont) {
  ModelState state = test::MakeStressState(3, kE, kTs);
  state.Clock.LamellaIndex = 1;  // the build-up counter plays no part here
  DrawingSurface surface(6375, 4095);
  DrawCoolingView(state, surface, false);
  const auto& items = surface.Items();
  ASSERT_EQ(items.size(), 12u + 3u + 5u + 3u + 4u);
  for (int i = 1; i <= 3; ++i) {
    const auto at = static_cast<std::size_t>(11 + i);
    EXPECT_TRUE(IsLine(items[at], i * kE, -0.4, i * kE, 0.3, kMagenta, 1));
    const double stress = state.Stress.LamellaStressFinal(i) * 1e-9;
    EXPECT_TRUE(IsLine(items[at + 5], (i - 1) * kE, stress, i * kE, stress, kGreen, 3));
  }
  EXPECT_TRUE(IsLine(items[15], -kTs, 3e-4, 0, -5e-4, kGreen, 3));
  const double axis = state.Stress.NeutralAxisPosition(3);
  EXPECT_TRUE(IsLine(items[16], axis, -0.4, axis, 0.3, kGreen, 1));

  const double left = surface.ScaleLeft(), width = surface.ScaleWidth();
  const double top = surface.ScaleTop(), height = surface.ScaleHeight();
  EXPECT_TRUE(HasText(surface, " RAYON=-3.333E+00", left + width / 4, top, 8.25f));
  EXPECT_TRUE(HasText(surface, "FLECHE=-1.350E-04", left + width / 4, top + height / 20, 8.25f));
  EXPECT_TRUE(HasText(surface, "COOLING", left + width * 3 / 4, top, 8.25f));
  EXPECT_EQ(surface.FontSize(), 8.25f);
  const double sx = 3 * kE + kTs;
  ExpectPictogram(surface, -kTs - sx / 10, 3 * kE + sx / 30, sx / 20, false);

  state.Stress.FinalCurvature = 2.5;
  DrawCoolingView(state, surface, true);
  EXPECT_TRUE(HasText(surface, " RAYON=4.000E-01"));
  ExpectPictogram(surface, -3 * kE / 30, 3 * kE + 3 * kE / 10, 3 * kE / 20, true);
}

TEST(StressSurfacesTest, WindowSurfacesHaveTheirSizes) {
  const StressSurfaces surfaces;
  for (const DrawingSurface* profile : {&surfaces.BuildingPicture1, &surfaces.BuildingPicture2,
                                        &surfaces.CoolingPicture1, &surfaces.CoolingPicture2}) {
    EXPECT_EQ(profile->WidthTwips(), 6375);
    EXPECT_EQ(profile->HeightTwips(), 4095);
  }
  EXPECT_EQ(surfaces.ArrowPicture1.WidthTwips(), 6615);
  EXPECT_EQ(surfaces.ArrowPicture1.HeightTwips(), 4095);
}

}  // namespace
}  // namespace quillane::graphics
