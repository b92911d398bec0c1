#include "graphics/DrawingSurface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "GraphicsStates.h"

namespace quillane::graphics {
namespace {

using test::IsCircle;
using test::IsLine;

TEST(QBColorTest, ClassicPaletteAndRawValues) {
  EXPECT_EQ(QBColor(9), RGB(0, 0, 255));
  EXPECT_EQ(QBColor(10), RGB(0, 255, 0));
  EXPECT_EQ(QBColor(12), RGB(255, 0, 0));
  EXPECT_EQ(QBColor(13), RGB(255, 0, 255));
  EXPECT_EQ(QBColor(0), RGB(0, 0, 0));
  EXPECT_EQ(QBColor(1), RGB(0, 0, 128));
  EXPECT_EQ(QBColor(7), RGB(192, 192, 192));
  EXPECT_EQ(QBColor(8), RGB(128, 128, 128));
  EXPECT_EQ(QBColor(14), RGB(255, 255, 0));
  EXPECT_EQ(QBColor(15), RGB(255, 255, 255));
  EXPECT_THROW(QBColor(-1), std::out_of_range);
  EXPECT_THROW(QBColor(16), std::out_of_range);
  // A raw value keeps red in the low byte: 14 used as a colour is almost black.
  EXPECT_EQ(RGB::FromValue(14), RGB(14, 0, 0));
  EXPECT_EQ(RGB::FromValue(0xFF8040), RGB(0x40, 0x80, 0xFF));
}

TEST(DrawingSurfaceTest, StartsInTwipsWithDefaultPenAndFont) {
  DrawingSurface surface(6375, 4095);
  EXPECT_EQ(surface.ScaleMode(), ScaleModeKind::Twips);
  EXPECT_EQ(surface.Scale(), (UserScale{0, 0, 6375, 4095}));
  EXPECT_DOUBLE_EQ(surface.WidthPixels(), 425);
  EXPECT_DOUBLE_EQ(surface.HeightPixels(), 273);
  EXPECT_EQ(surface.DrawWidth(), 1);
  EXPECT_EQ(surface.FontSize(), 8.25f);
  EXPECT_EQ(surface.ForeColor(), RGB(0, 0, 0));
  EXPECT_EQ(surface.BackColor(), RGB(255, 255, 255));
  EXPECT_THROW(DrawingSurface(0, 10), std::invalid_argument);
  EXPECT_THROW(DrawingSurface(10, -1), std::invalid_argument);
}

TEST(DrawingSurfaceTest, ScaleModesAndUserScale) {
  DrawingSurface surface(6615, 4095);
  surface.ScaleMode(ScaleModeKind::Pixels);
  EXPECT_EQ(surface.Scale(), (UserScale{0, 0, 441, 273}));
  surface.ScaleMode(2);
  EXPECT_EQ(surface.Scale(), (UserScale{0, 0, 330.75f, 204.75f}));
  surface.ScaleMode(0);  // user coordinates keep the scale in force
  EXPECT_EQ(surface.Scale(), (UserScale{0, 0, 330.75f, 204.75f}));
  EXPECT_THROW(surface.ScaleMode(4), std::invalid_argument);

  surface.ScaleMode(ScaleModeKind::Twips);
  EXPECT_THROW(surface.ScaleHeight(0.0f), std::invalid_argument);
  EXPECT_THROW(surface.ScaleWidth(NAN), std::invalid_argument);
  EXPECT_THROW(surface.ScaleLeft(INFINITY), std::invalid_argument);
  EXPECT_EQ(surface.ScaleMode(), ScaleModeKind::Twips);
  surface.ScaleHeight(-0.7f);
  surface.ScaleTop(0.3f);
  EXPECT_EQ(surface.ScaleMode(), ScaleModeKind::User);
  EXPECT_EQ(surface.Scale(), (UserScale{0, 0.3f, 6615, -0.7f}));

  EXPECT_THROW(surface.DrawWidth(0), std::invalid_argument);
  EXPECT_THROW(surface.FontSize(0), std::invalid_argument);
}

TEST(DrawingSurfaceTest, LinesAndCirclesRecordPenColourScaleAndMoveThePosition) {
  DrawingSurface surface(6375, 4095);
  surface.ScaleWidth(100);
  surface.DrawWidth(3);
  surface.ForeColor(RGB(1, 2, 3));
  surface.Line(0.5f, -0.25f, 10, 0.75f);
  EXPECT_EQ(surface.CurrentX(), 10.0f);
  EXPECT_EQ(surface.CurrentY(), 0.75f);
  surface.ScaleLeft(-50);
  surface.Line(1, 2, 3, 4, QBColor(9), DrawingSurface::LineForm::Box);
  surface.DrawWidth(1);
  surface.Circle(5, 6, 2, QBColor(10));
  EXPECT_EQ(surface.CurrentX(), 5.0f);
  surface.Circle(1, 1, 1, std::nullopt, 2.35f, 3.92f);
  surface.Circle(1, 1, 1, std::nullopt, 1.0f, std::nullopt, 0.5f);

  const auto& items = surface.Items();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_TRUE(IsLine(items[0], 0.5, -0.25, 10, 0.75, RGB(1, 2, 3), 3));
  EXPECT_EQ(items[0].Scale, (UserScale{0, 0, 100, 4095}));
  EXPECT_TRUE(IsLine(items[1], 1, 2, 3, 4, QBColor(9), 3, ItemKind::Box));
  EXPECT_EQ(items[1].Scale, (UserScale{-50, 0, 100, 4095}));
  EXPECT_TRUE(IsCircle(items[2], 5, 6, 2, QBColor(10), 1));
  EXPECT_TRUE(IsCircle(items[3], 1, 1, 1, RGB(1, 2, 3), 1, 2.35f, 3.92f));
  // An arc given only its start runs to a full turn.
  EXPECT_EQ(items[4].StartAngle, 1.0f);
  EXPECT_FLOAT_EQ(items[4].EndAngle, static_cast<float>(2 * std::numbers::pi));
  EXPECT_EQ(items[4].Aspect, 0.5f);
}

TEST(DrawingSurfaceTest, PrintedNumbersHaveASignPositionAndATrailingBlank) {
  EXPECT_EQ(PrintItem(124).Text(), " 124 ");
  EXPECT_EQ(PrintItem(0).Text(), " 0 ");
  EXPECT_EQ(PrintItem(-3).Text(), "-3 ");
  EXPECT_EQ(PrintItem(1.5).Text(), " 1.5 ");
  EXPECT_EQ(PrintItem(-2.5e-7).Text(), "-2.5E-07 ");
  EXPECT_EQ(PrintItem("s").Text(), "s");
}

TEST(DrawingSurfaceTest, PrintJoinsItemsAndMovesToTheNextLineOrStaysBehind) {
  DrawingSurface surface(6375, 4095);
  surface.ScaleHeight(-0.7f);
  surface.ScaleWidth(2.8f);
  surface.ScaleLeft(-2.4f);
  surface.ScaleTop(0.3f);
  surface.FontSize(6);
  surface.CurrentX(-1.0f);
  surface.CurrentY(0.2f);
  surface.Print({"N= ", 3, "s"});
  ASSERT_EQ(surface.Items().size(), 1u);
  const DisplayItem& text = surface.Items()[0];
  EXPECT_EQ(text.Text, "N=  3 s");
  EXPECT_EQ(text.X1, -1.0f);
  EXPECT_EQ(text.Y1, 0.2f);
  EXPECT_EQ(text.FontSize, 6.0f);
  // Back to the left edge, one 1.2 em line lower on the screen (y grows upwards here).
  const double line = 1.2 * 6 * 20 * 0.7 / 4095;
  EXPECT_EQ(surface.CurrentX(), -2.4f);
  EXPECT_NEAR(surface.CurrentY(), 0.2 - line, 1e-6);

  surface.Print({"FLECHES"}, PrintEnd::SameLine);
  const double width = 7 * 0.5 * 6 * 20 * 2.8 / 6375;  // seven characters of half an em
  EXPECT_NEAR(surface.CurrentX(), -2.4 + width, 1e-6);
  EXPECT_NEAR(surface.CurrentY(), 0.2 - line, 1e-6);

  surface.Print({});  // no text, only the move
  EXPECT_EQ(surface.Items().size(), 2u);
  EXPECT_NEAR(surface.CurrentY(), 0.2 - 2 * line, 1e-6);
}

TEST(DrawingSurfaceTest, ClsEmptiesTheListAndHomesThePositionButKeepsTheState) {
  DrawingSurface surface(6375, 4095);
  surface.ScaleWidth(10);
  surface.DrawWidth(3);
  surface.FontSize(6);
  surface.Line(1, 2, 3, 4);
  surface.Print({"x"});
  surface.Cls();
  EXPECT_TRUE(surface.Items().empty());
  EXPECT_EQ(surface.CurrentX(), 0.0f);
  EXPECT_EQ(surface.CurrentY(), 0.0f);
  EXPECT_EQ(surface.ScaleWidth(), 10.0f);
  EXPECT_EQ(surface.DrawWidth(), 3);
  EXPECT_EQ(surface.FontSize(), 6.0f);
}

}  // namespace
}  // namespace quillane::graphics
