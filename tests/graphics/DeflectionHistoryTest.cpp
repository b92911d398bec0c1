#include <gtest/gtest.h>

#include <cmath>

#include "GraphicsStates.h"
#include "graphics/StressViews.h"

namespace quillane::graphics {
namespace {

using test::HasText;
using test::IsCircle;
using test::IsLine;
using test::ItemsOf;
using test::MakeStressState;

const RGB kRed = QBColor(12);
const RGB kGreen = QBColor(10);

TEST(DeflectionHistoryTest, OneLamella) {
  ModelState state = MakeStressState(1, 1e-6, 0.002);
  const double dmin = state.Stress.DeflectionAxisMin;  // -1.35e-4
  const double dmax = state.Stress.DeflectionAxisMax;  // 2.25e-5
  const double d = dmax - dmin;
  const double top = dmax + d / 5, bottom = dmin - d / 5;
  DrawingSurface surface(6615, 4095);
  DrawDeflectionHistory(state, surface);
  EXPECT_DOUBLE_EQ(state.Views.DeflectionSpan, d);
  EXPECT_EQ(surface.ScaleMode(), ScaleModeKind::User);
  EXPECT_FLOAT_EQ(surface.ScaleWidth(), 173.6f);
  EXPECT_FLOAT_EQ(surface.ScaleLeft(), -24.8f);
  EXPECT_FLOAT_EQ(surface.ScaleTop(), static_cast<float>(top));
  EXPECT_FLOAT_EQ(surface.ScaleHeight(), static_cast<float>(-1.4 * d));

  // Time axis, start, end of cooling, lower and upper bounds.
  const auto lines = ItemsOf(surface, ItemKind::Line);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_TRUE(IsLine(lines[0], -24.8, 0, 148.8, 0, kRed, 1));
  EXPECT_TRUE(IsLine(lines[1], 0, bottom, 0, top, kRed, 1));
  EXPECT_TRUE(IsLine(lines[2], 124, bottom, 124, top, kRed, 1));
  EXPECT_TRUE(IsLine(lines[3], -24.8, dmin, 148.8, dmin, kRed, 1));
  EXPECT_TRUE(IsLine(lines[4], -24.8, dmax, 148.8, dmax, kRed, 1));

  EXPECT_TRUE(HasText(surface, "-1.350E-04", -24.8, dmin, 8.25f));
  EXPECT_TRUE(HasText(surface, "2.250E-05", -24.8, dmax, 8.25f));
  EXPECT_TRUE(HasText(surface, "FLECHES", -24.8, top, 8.25f));
  EXPECT_TRUE(HasText(surface, "Positives", -24.8, dmax + d / 7, 8.25f));
  EXPECT_TRUE(HasText(surface, "Negatives", -24.8, dmin - d / 7, 8.25f));
  EXPECT_TRUE(HasText(surface, "0.00    0.0s", -24.8, d / 15, 8.25f));
  EXPECT_TRUE(HasText(surface, " 124 s", 124, d / 15, 8.25f));
  EXPECT_TRUE(HasText(surface, " temps", 124, 0, 8.25f));

  // Start, the lamella (thick), the final deflection, then 19 cooling points at 10..118 s.
  const auto circles = ItemsOf(surface, ItemKind::Circle);
  ASSERT_EQ(circles.size(), 22u);
  const StressResults& s = state.Stress;
  EXPECT_TRUE(IsCircle(circles[0], 0, s.Deflection(0), 1, kGreen, 1));
  EXPECT_TRUE(IsCircle(circles[1], 4, s.Deflection(1), 1, kGreen, 3));
  EXPECT_TRUE(IsCircle(circles[2], 124, s.FinalDeflection, 1, kGreen, 1));
  const double tau = 4000 * (1e-6 + 0.002);
  for (int i = 1; i <= 19; ++i) {
    const double y =
        s.FinalDeflection - (s.FinalDeflection - s.Deflection(1)) * std::exp(-6.0 * i / tau);
    EXPECT_TRUE(IsCircle(circles[static_cast<std::size_t>(2 + i)], 4 + 6 * i, y, 1, kGreen, 1));
  }
  EXPECT_EQ(circles.back().X1, 118.0f);
  EXPECT_EQ(surface.DrawWidth(), 1);
}

TEST(DeflectionHistoryTest, CoolingCurveRelaxesWithTheThicknessTimeConstant) {
  ModelState state = MakeStressState(3, 1e-6, 0.002);
  state.Stress.Deflection(3) = state.Stress.DeflectionAxisMax = 9e-5;
  state.Stress.FinalDeflection = state.Stress.DeflectionAxisMin = -1e-4;
  DrawingSurface surface(6615, 4095);
  DrawDeflectionHistory(state, surface);
  const auto circles = ItemsOf(surface, ItemKind::Circle);
  ASSERT_EQ(circles.size(), 24u);
  EXPECT_EQ(circles[5].X1, 18.0f);
  const double fraction = (9e-5 - circles[5].Y1) / (9e-5 + 1e-4);
  EXPECT_NEAR(fraction, 0.527, 0.001);  // tau = 8.012 s
  EXPECT_EQ(circles.back().X1, 126.0f);
  EXPECT_TRUE(HasText(surface, " 132 s"));

  // Without relaxation every cooling point lies on the final value.
  state.Stress.Deflection(3) = state.Stress.FinalDeflection;
  DrawDeflectionHistory(state, surface);
  const auto flat = ItemsOf(surface, ItemKind::Circle);
  for (std::size_t i = 5; i < flat.size(); ++i) EXPECT_EQ(flat[i].Y1, -1e-4f);
}

TEST(DeflectionHistoryTest, ZeroDeflectionRangeIsFramedAroundTheValue) {
  ModelState state = MakeStressState(1, 1e-6, 0.002);
  DrawingSurface surface(6615, 4095);
  state.Stress.DeflectionAxisMin = state.Stress.DeflectionAxisMax = 5e-5;
  DrawDeflectionHistory(state, surface);
  EXPECT_NEAR(state.Views.DeflectionSpan, 5e-6, 1e-20);
  EXPECT_FLOAT_EQ(surface.ScaleHeight(), -7e-6f);
  EXPECT_FLOAT_EQ(surface.ScaleTop(), 5.35e-5f);

  state.Stress.DeflectionAxisMin = state.Stress.DeflectionAxisMax = 0;
  DrawDeflectionHistory(state, surface);
  EXPECT_DOUBLE_EQ(state.Views.DeflectionSpan, 1.0);
  EXPECT_FLOAT_EQ(surface.ScaleHeight(), -1.4f);
  EXPECT_FLOAT_EQ(surface.ScaleTop(), 0.7f);
}

TEST(DeflectionHistoryTest, SecondCallLeavesNoTraceOfTheFirst) {
  ModelState three = MakeStressState(3, 1e-6, 0.002);
  ModelState one = MakeStressState(1, 1e-6, 0.002);
  DrawingSurface surface(6615, 4095);
  DrawingSurface fresh(6615, 4095);
  DrawDeflectionHistory(three, surface);
  DrawDeflectionHistory(one, surface);
  DrawDeflectionHistory(one, fresh);
  EXPECT_TRUE(test::SameDrawing(surface, fresh));
}

}  // namespace
}  // namespace quillane::graphics
