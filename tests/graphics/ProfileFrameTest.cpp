#include <gtest/gtest.h>

#include "GraphicsStates.h"
#include "graphics/StressViews.h"

namespace quillane::graphics {
namespace {

using test::HasText;
using test::IsLine;
using test::ItemsOf;

constexpr double kTs = 0.002;
const RGB kBlack(0, 0, 0);

// N = 2 lamellae of 1 µm on 2 mm, stress axis from -0.3 to 0.2 (scaled).
class ProfileFrameTest : public ::testing::Test {
 protected:
  ModelState state = test::MakeStressState(2, 1e-6, kTs);
  DrawingSurface surface{6375, 4095};
};

TEST_F(ProfileFrameTest, GlobalViewFramesSubstrateAndDeposit) {
  DrawProfileFrame(state, surface, false);
  EXPECT_DOUBLE_EQ(state.Views.ProfileSpanX, 0.002002);
  EXPECT_DOUBLE_EQ(state.Views.ProfileSpanY, 0.5);
  EXPECT_EQ(surface.ScaleMode(), ScaleModeKind::User);
  EXPECT_FLOAT_EQ(surface.ScaleLeft(), -0.0024004f);
  EXPECT_FLOAT_EQ(surface.ScaleWidth(), 0.0004024f + 0.0024004f);
  EXPECT_FLOAT_EQ(surface.ScaleTop(), 0.3f);
  EXPECT_FLOAT_EQ(surface.ScaleHeight(), -0.7f);

  // Border, back face, interface, zero line, lower bound, upper bound, in that order.
  const double xL = -0.0024004, xR = 0.0004024;
  const auto& items = surface.Items();
  ASSERT_EQ(items.size(), 12u);
  EXPECT_TRUE(IsLine(items[0], xL, -0.4, xR, 0.3, QBColor(9), 1, ItemKind::Box));
  EXPECT_TRUE(IsLine(items[1], -kTs, -0.4, -kTs, 0.3, kBlack, 1));
  EXPECT_TRUE(IsLine(items[2], 0, -0.4, 0, 0.3, kBlack, 1));
  EXPECT_TRUE(IsLine(items[3], xL, 0, xR, 0, kBlack, 1));
  EXPECT_TRUE(IsLine(items[4], xL, -0.3, xR, -0.3, kBlack, 1));
  EXPECT_EQ(items[5].Text, "-3.000E+08");
  EXPECT_TRUE(IsLine(items[6], xL, 0.2, xR, 0.2, kBlack, 1));
  EXPECT_EQ(items[7].Text, "2.000E+08");

  // Every label at the left edge, in the surface's font.
  EXPECT_TRUE(HasText(surface, "-3.000E+08", xL, -0.3, 8.25f));
  EXPECT_TRUE(HasText(surface, "2.000E+08", xL, 0.2, 8.25f));
  EXPECT_TRUE(HasText(surface, "CONTRAINTES (Pa)", xL, 0.3, 8.25f));
  EXPECT_TRUE(HasText(surface, "Traction", xL, 0.275, 8.25f));
  EXPECT_TRUE(HasText(surface, "Compression", xL, -0.4 + 0.5 / 15, 8.25f));
  EXPECT_TRUE(HasText(surface, " 0 ", xL, 0, 8.25f));
}

TEST_F(ProfileFrameTest, ZoomViewFramesTheDepositOnly) {
  surface.FontSize(6);
  DrawProfileFrame(state, surface, true);
  EXPECT_DOUBLE_EQ(state.Views.ProfileSpanX, 2e-6);
  EXPECT_FLOAT_EQ(surface.ScaleLeft(), -4e-7f);
  EXPECT_FLOAT_EQ(surface.ScaleWidth(), 2.8e-6f);
  const auto lines = ItemsOf(surface, ItemKind::Line);
  ASSERT_EQ(lines.size(), 5u);
  // The left reference line and the interface coincide; the lower bound line still starts
  // left of the substrate, far outside the visible area.
  EXPECT_TRUE(IsLine(lines[0], 0, -0.4, 0, 0.3, kBlack, 1));
  EXPECT_TRUE(IsLine(lines[1], 0, -0.4, 0, 0.3, kBlack, 1));
  EXPECT_TRUE(IsLine(lines[3], -kTs - 2e-6 / 5, -0.3, 2.4e-6, -0.3, kBlack, 1));
  EXPECT_TRUE(HasText(surface, "Traction", -4e-7, 0.275, 6.0f));
}

TEST_F(ProfileFrameTest, SecondCallLeavesNoTraceOfTheFirst) {
  DrawingSurface fresh(6375, 4095);
  DrawProfileFrame(state, fresh, true);
  DrawProfileFrame(state, surface, false);
  DrawProfileFrame(state, surface, true);
  EXPECT_TRUE(test::SameDrawing(surface, fresh));
}

TEST_F(ProfileFrameTest, ZeroStressRangeIsFramedAroundTheValue) {
  state.Stress.StressAxisMin = state.Stress.StressAxisMax = 0.1;
  DrawProfileFrame(state, surface, false);
  EXPECT_NEAR(state.Views.ProfileSpanY, 0.01, 1e-15);
  EXPECT_FLOAT_EQ(surface.ScaleHeight(), -0.014f);
  EXPECT_FLOAT_EQ(surface.ScaleTop(), 0.107f);
  EXPECT_FLOAT_EQ(surface.Items()[0].Y1, 0.093f);  // bottom of the border
  // Both bounds lie on the value and say so.
  EXPECT_FLOAT_EQ(surface.Items()[4].Y1, 0.1f);
  EXPECT_FLOAT_EQ(surface.Items()[6].Y1, 0.1f);
  EXPECT_EQ(surface.Items()[5].Text, "1.000E+08");
  EXPECT_EQ(surface.Items()[7].Text, "1.000E+08");

  state.Stress.StressAxisMin = state.Stress.StressAxisMax = 0;
  DrawProfileFrame(state, surface, true);
  EXPECT_DOUBLE_EQ(state.Views.ProfileSpanY, 1.0);
  EXPECT_FLOAT_EQ(surface.ScaleHeight(), -1.4f);
  EXPECT_FLOAT_EQ(surface.ScaleTop(), 0.7f);
}

}  // namespace
}  // namespace quillane::graphics
