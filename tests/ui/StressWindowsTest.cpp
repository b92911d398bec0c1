// The picture boxes of the stress windows replay their display lists.

#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>
#include <functional>
#include <numbers>

#include "graphics/StressSurfaces.h"
#include "widgets/PictureBox.h"

namespace quillane::ui {
namespace {

using graphics::DrawingSurface;
using graphics::QBColor;
using graphics::StressSurfaces;

constexpr QRgb kWhite = qRgb(255, 255, 255), kNone = qRgba(0, 0, 0, 0), kRed = qRgb(255, 0, 0),
               kGreen = qRgb(0, 255, 0), kBlue = qRgb(0, 0, 255);
constexpr double kW = StressSurfaces::kProfileWidthTwips / 15.0 - 1;
constexpr double kH = StressSurfaces::kProfileHeightTwips / 15.0 - 1;

TEST(PictureBox, DrawingsLandWhereTheUserScalePutsThemAndStayInTheirTarget) {
  // Drawn on a surface whose user scale runs 0..100 rightwards and upwards.
  const std::function<void(DrawingSurface&)> drawings[] = {
      [](auto& s) { s.Line(10, 50, 90, 50, QBColor(12)); },
      // From far outside the surface to its middle: only the inner part shows.
      [](auto& s) { s.Line(-1e6f, 50, 50, 50, QBColor(9)); },
      // From 0 to pi counter-clockwise passes through the top.
      [](auto& s) { s.Circle(50, 50, 20, QBColor(10), 0.0f, float(std::numbers::pi)); },
      [](auto& s) { s.Circle(50, 50, 20, QBColor(10)); },
      // A line of no length: a dot of the pen's width.
      [](auto& s) { s.Line(30, 30, 30, 30, QBColor(12)); }};
  // Drawing, rendered at zoom times its size at (offset, offset); the colour expected at the
  // user point (x, y) moved by (dx, dy) pixels.
  const std::tuple<int, int, int, double, double, int, int, QRgb> pixels[] = {
      {0, 1, 0, 50, 50, 0, 0, kRed},     {0, 1, 0, 85, 50, 0, 0, kRed},
      {0, 1, 0, 50, 60, 0, 0, kWhite},   {0, 1, 0, 5, 50, 0, 0, kWhite},
      {0, 1, 0, 95, 50, 0, 0, kWhite},   {0, 2, 0, 50, 50, 0, 0, kRed},
      {0, 2, 0, 50, 55, 0, 0, kWhite},   {1, 1, 100, 0, 50, 2, 0, kBlue},
      {1, 1, 100, 0, 50, -50, 0, kNone}, {1, 1, 100, 70, 90, 0, 0, kWhite},
      {2, 1, 0, 50, 50, 0, -85, kGreen}, {2, 1, 0, 50, 50, 0, 84, kWhite},
      {2, 1, 0, 50, 50, 0, 0, kWhite},   {3, 1, 0, 50, 50, 0, 84, kGreen},
      {3, 1, 0, 50, 50, -85, 0, kGreen}, {4, 1, 0, 30, 30, 0, 0, kRed},
      {4, 1, 0, 30, 30, 3, 0, kWhite}};
  for (const auto& [drawing, zoom, offset, x, y, dx, dy, colour] : pixels) {
    DrawingSurface surface(StressSurfaces::kProfileWidthTwips, StressSurfaces::kProfileHeightTwips);
    surface.ScaleMode(0);
    surface.ScaleLeft(0);
    surface.ScaleTop(100);
    surface.ScaleWidth(100);
    surface.ScaleHeight(-100);
    surface.DrawWidth(3);
    drawings[drawing](surface);
    QImage image(QSize(600, 600) * zoom, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PictureBox::Render(painter, surface, QRectF(offset, offset, (kW + 1) * zoom, (kH + 1) * zoom));
    painter.end();
    const QPoint at(offset + int(std::floor((0.5 + x / 100 * kW) * zoom)) + dx,
                    offset + int(std::floor((0.5 + (100 - y) / 100 * kH) * zoom)) + dy);
    EXPECT_EQ(image.pixel(at), colour) << drawing << " at " << x << "," << y;
  }
}

}  // namespace
}  // namespace quillane::ui
