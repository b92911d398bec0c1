// The cases the reviewed pictures of SvgWriterTest do not reach.

#include "graphics/StressViews.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "GraphicsStates.h"
#include "graphics/SvgWriter.h"

namespace quillane::graphics {
namespace {

using test::ItemsWhere;
using test::MakeStressState;
using test::Texts;

// How many lines run between these points, as the surface keeps them (in floats).
std::size_t LinesBetween(const DrawingSurface& surface, float x1, float y1, float x2, float y2) {
  const auto same = [&](const DisplayItem& item) {
    return item.Kind == ItemKind::Line && item.X1 == x1 && item.Y1 == y1 && item.X2 == x2 &&
           item.Y2 == y2;
  };
  return ItemsWhere(surface, same).size();
}

std::vector<DisplayItem> InColour(const DrawingSurface& surface, int colour) {
  return ItemsWhere(surface,
                    [&](const DisplayItem& item) { return item.Colour == QBColor(colour); });
}

constexpr double kE = 1e-6;
constexpr double kTs = 0.002;

// A fifth of the span as margin; no span: a tenth of the value (1 for zero) around it. The
// history frames its axis with the same function; its own drawing is a reviewed picture. The
// frame of 0.1 is the only one small enough for a text height off its scale to hide the zero.
TEST(StressViewsTest, AxesAreFramedAroundTheirRange) {
  const struct {
    double low, high, span;
    float top;
    const char* label;
    bool zeroLabel;  // the zero is labelled unless it would fall on a bound's label
  } cases[] = {{0.1, 0.1, 0.01, 0.107f, "1.000E+08", true},
               {-2, -2, 0.2, -1.86f, "-2.000E+09", true},
               {0, 0, 1, 0.7f, "0.000E+00", false},
               {-0.01, 1, 1.01, 1.202f, "1.000E+09", false},
               {-1, 0.01, 1.01, 0.212f, "-1.000E+09", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.low);
    ModelState state = MakeStressState(1, kE, kTs);
    state.Stress.StressAxisMin = state.Stress.DeflectionAxisMin = c.low;
    state.Stress.StressAxisMax = state.Stress.DeflectionAxisMax = c.high;
    DrawingSurface profile(6375, 4095), history(6615, 4095);
    DrawProfileFrame(state, profile, false);
    DrawDeflectionHistory(state, history);
    EXPECT_NEAR(state.Views.ProfileSpanY, c.span, 1e-12 * c.span);
    EXPECT_NEAR(state.Views.DeflectionSpan, c.span, 1e-12 * c.span);
    EXPECT_FLOAT_EQ(profile.ScaleHeight(), static_cast<float>(-1.4 * c.span));
    EXPECT_FLOAT_EQ(profile.ScaleTop(), c.top);
    // The line between substrate and deposit runs from the bottom edge of the frame to its top.
    const double bottom = c.low == c.high ? c.low - c.span / 2 - c.span / 5 : c.low - c.span / 5;
    EXPECT_EQ(LinesBetween(profile, 0, static_cast<float>(bottom), 0, profile.ScaleTop()), 1u);
    EXPECT_EQ(Texts(profile, c.label).size(), c.low == c.high ? 2u : 1u);
    EXPECT_EQ(Texts(profile, " 0 ").size(), c.zeroLabel ? 1u : 0u);
  }
}

// The whole deposit's history against its own time: long histories draw a bounded number of
// strokes, every point lies within them, and the passes' ends and room temperature are marked.
TEST(StressViewsTest, AWholeDepositHistoryIsDrawnAgainstTheRunsTime) {
  ModelState state = MakeStressState(4, kE, kTs);
  state.Input.StressModel = kWholeDepositModel;
  state.Model = StressModelKind::WholeDeposit;
  StressResults& s = state.Stress;
  constexpr int kPoints = 200000;
  s.DeflectionAxisMin = -2e-5;
  s.DeflectionAxisMax = 3e-5;
  for (int i = 1; i <= kPoints; ++i) {
    const double time = 27.0 * i / kPoints;
    // A zig-zag between the axis's ends: its extremes must reach the picture.
    const double deflection = i % 2 == 0 ? 3e-5 : -2e-5;
    s.History.push_back({{time, DepositEventKind::Row, 0, 0, 0, {}}, 0, deflection});
  }
  s.History.back().Event.Kind = DepositEventKind::Cooling;
  s.PassEndPoints = {kPoints / 2, kPoints - 1};
  DrawingSurface history(6615, 4095);
  DrawDeflectionHistory(state, history);
  std::size_t strokes = 0, marks = 0;
  float lowest = 1, highest = -1, latest = 0;
  for (const DisplayItem& item : history.Items()) {
    if (item.Colour != QBColor(10)) continue;
    if (item.Kind == ItemKind::Circle) ++marks;
    if (item.Kind != ItemKind::Line) continue;
    ++strokes;
    lowest = std::min({lowest, item.Y1, item.Y2});
    highest = std::max({highest, item.Y1, item.Y2});
    latest = std::max({latest, item.X1, item.X2});
  }
  EXPECT_LE(strokes, 4u * 1000 + 4) << "four strokes a column at most";
  EXPECT_FLOAT_EQ(lowest, -2e-5f);
  EXPECT_FLOAT_EQ(highest, 3e-5f);
  EXPECT_FLOAT_EQ(latest, 27.0f);
  EXPECT_EQ(marks, 4u) << "the start, two pass ends and room temperature";
  EXPECT_EQ(Texts(history, "27.0s").size(), 1u);
}

// The profiles are redrawn on one surface in the reviewed run, and by BuildUpViewTest.
TEST(StressViewsTest, ASecondHistoryLeavesNoTraceOfTheFirst) {
  ModelState three = MakeStressState(3, kE, kTs);
  ModelState one = MakeStressState(1, kE, kTs);
  DrawingSurface used(6615, 4095), fresh(6615, 4095);
  DrawDeflectionHistory(three, used);
  DrawDeflectionHistory(one, used);
  DrawDeflectionHistory(one, fresh);
  EXPECT_EQ(RenderSvg(used), RenderSvg(fresh));
}

// The first frame keeps the initial font; the build-up view leaves 6 points behind it. A
// lamella not computed yet is refused.
TEST(BuildUpViewTest, FirstFrameLabelsInTheInitialFontThenInSixPoints) {
  ModelState state = MakeStressState(3, kE, kTs);
  DrawingSurface surface(6375, 4095);
  for (const int k : {1, 2}) {
    state.Clock.LamellaIndex = k;
    DrawBuildUpView(state, surface, false);
    EXPECT_EQ(Texts(surface, "Traction").at(0).FontSize, k == 1 ? 8.25f : 6.0f);
    EXPECT_EQ(Texts(surface, "N=  " + std::to_string(k) + " ").at(0).FontSize, 6.0f);
  }
  state.Clock.LamellaIndex = 4;
  EXPECT_THROW(DrawBuildUpView(state, surface, false), std::out_of_range);
}

// Lamella 2 of 3 in the zoom view: the deposit so far (all of it after cooling) in a frame for
// the whole; the pictogram bulges left when bent upwards (c > 0), otherwise right with two arcs a
// side. The global views, and an upward build-up view, are reviewed pictures.
TEST(StressViewsTest, DepositAndPictogramOfEachView) {
  const struct {
    bool cooling;
    double curvature;
    const char* radius;
  } cases[] = {{false, 0, " RAYON=infini"}, {true, 2.5, " RAYON=4.000E-01"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cooling);
    ModelState state = MakeStressState(3, kE, kTs);
    state.Clock.LamellaIndex = 2;
    state.Stress.Curvature(2) = state.Stress.FinalCurvature = c.curvature;
    DrawingSurface surface(6375, 4095);
    (c.cooling ? DrawCoolingView : DrawBuildUpView)(state, surface, true);
    const StressResults& s = state.Stress;
    const int m = c.cooling ? 3 : 2;
    const double sx = 3 * kE;
    EXPECT_DOUBLE_EQ(state.Views.ProfileSpanX, sx);
    const double axis = s.NeutralAxisPosition(m);
    EXPECT_EQ(LinesBetween(surface, axis, -0.4, axis, 0.3), 1u);
    const double back = c.cooling ? s.SubstrateStressBackFinal : s.SubstrateStressBack(2);
    const double front = c.cooling ? s.SubstrateStressFrontFinal : s.SubstrateStressFront(2);
    EXPECT_EQ(LinesBetween(surface, -kTs, back * 1e-9, 0, front * 1e-9), 1u);
    const auto boundaries = InColour(surface, 13);
    ASSERT_EQ(boundaries.size(), static_cast<std::size_t>(m));
    EXPECT_EQ(boundaries.back().X1, static_cast<float>(m * kE));
    EXPECT_EQ(Texts(surface, c.radius).size(), 1u);
    EXPECT_EQ(Texts(surface, c.cooling ? "FLECHE=-1.350E-04" : "FLECHE=4.500E-05").size(), 1u);

    const bool up = c.curvature > 0;
    const double x[] = {-sx / (up ? 30 : 10), m * kE + sx / (up ? 10 : 30)};
    const auto arcs = ItemsWhere(surface, [](const DisplayItem& item) { return item.IsArc; });
    ASSERT_EQ(arcs.size(), up ? 2u : 4u);
    for (std::size_t i = 0; i < arcs.size(); ++i) {
      EXPECT_FLOAT_EQ(arcs[i].X1, static_cast<float>(x[i % 2])) << i;
      EXPECT_EQ(arcs[i].StartAngle, up ? 2.35f : i < 2 ? 5.49f : 0.0f) << i;
    }
  }
}

// Lamellae far thinner than a pixel: a stroke per pixel column and stress row, over the same
// stresses and up to the deposit's last edge, however many lamellae there are. Both views group
// the lamellae and draw their steps with the same functions.
TEST(StressViewsTest, ThinLamellaeCostStrokesPerPixelNotPerLamella) {
  constexpr int kCount = 300000;
  ModelState state = MakeStressState(kCount, kE, kTs);
  for (int i = 1; i <= kCount; ++i) state.Stress.LamellaStress(i) = (i % 7 - 3) * 1e7;
  DrawingSurface surface(6375, 4095);
  DrawBuildUpView(state, surface, false);
  EXPECT_LT(surface.Items().size(), 8 * surface.WidthPixels());  // 7 stresses a column
  std::vector<float> heights;
  for (const DisplayItem& item : surface.Items()) {
    if (item.Colour == QBColor(10) && item.X1 >= 0 && item.Width == 3) {
      heights.insert(heights.end(), {item.Y1, item.Y2});
    }
  }
  ASSERT_FALSE(heights.empty());
  EXPECT_EQ(std::ranges::min(heights), static_cast<float>(-3e7 * 1e-9));
  EXPECT_EQ(std::ranges::max(heights), static_cast<float>(3e7 * 1e-9));
  const auto boundaries = InColour(surface, 13);
  ASSERT_FALSE(boundaries.empty());
  EXPECT_EQ(boundaries.back().X1, static_cast<float>(kCount * kE));
}

// A bond coat under a top coat twice as thick: steps in their coat's colour, a third colour at the
// bond coat's top once covered; lamellae thinner than a pixel share a column only within a coat.
TEST(StressViewsTest, EachCoatsStepsInItsOwnColourWithABoundaryAtItsTop) {
  const struct {
    bool cooling, zoom;
    int laid;
    std::size_t boundaries;
  } cases[] = {{false, true, 4, 1}, {false, false, 2, 0}, {true, false, 4, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cooling << c.zoom << c.laid);
    ModelState state = MakeStressState(4, kE, kTs);
    state.Clock.LamellaIndex = c.laid;
    state.Stress.Coats.resize(2);
    for (int k = 0; k < 2; ++k) {
      SprayedCoat& coat = state.Stress.Coats[static_cast<std::size_t>(k)];
      coat.LaidThickness = (k + 1) * kE;
      coat.FirstLamella = 1 + 2 * k;
      coat.Lamellae = 2;
      coat.Base = 2 * k * kE;
    }
    DrawingSurface surface(6375, 4095);
    (c.cooling ? DrawCoolingView : DrawBuildUpView)(state, surface, c.zoom);
    for (int i = 1; i <= c.laid; ++i) {
      const int k = i <= 2 ? 0 : 1;
      const auto y = static_cast<float>(
          (c.cooling ? state.Stress.LamellaStressFinal(i) : state.Stress.LamellaStress(i)) * 1e-9);
      const auto steps = ItemsWhere(surface, [&](const DisplayItem& item) {
        return item.Width == 3 && item.Y1 == y && item.Y2 == y;
      });
      ASSERT_EQ(steps.size(), 1u) << i;
      EXPECT_EQ(steps[0].Colour, QBColor(k == 0 ? 10 : 12)) << i;
      EXPECT_GE(steps[0].X1, static_cast<float>(2 * k * kE)) << i;
      EXPECT_LE(steps[0].X2, static_cast<float>((2 + 4 * k) * kE)) << i;
    }
    const auto x = static_cast<float>(2 * kE);
    const auto boundaries = InColour(surface, 3);
    EXPECT_EQ(boundaries.size(), c.boundaries);
    for (const DisplayItem& line : boundaries) {
      EXPECT_TRUE(line.X1 == x && line.X2 == x && line.Y1 == -0.4f && line.Y2 == 0.3f);
    }
  }
}

}  // namespace
}  // namespace quillane::graphics
