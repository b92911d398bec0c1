// PNG pictures painted with cairo: drawings land where the SVG writer's mapping puts them, text
// sits on its baseline, and faults are told.

#include "raster/RasterPicture.h"

#include <cairo.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <tuple>

#include "TestSupport.h"

namespace quillane::raster {
namespace {

using graphics::DrawingSurface;
using graphics::QBColor;

constexpr std::uint32_t kWhite = 0xffffff, kRed = 0xff0000, kGreen = 0x00ff00, kBlue = 0x0000ff;

// 101 pixels square, the user scale running 0..100 rightwards and upwards: the user point
// (x, y) is the centre of pixel (x, 100 - y).
DrawingSurface Square() {
  DrawingSurface surface(101 * DrawingSurface::kTwipsPerPixel,
                         101 * DrawingSurface::kTwipsPerPixel);
  surface.ScaleLeft(0);
  surface.ScaleTop(100);
  surface.ScaleWidth(100);
  surface.ScaleHeight(-100);
  surface.DrawWidth(3);
  return surface;
}

struct Decoded {
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> image{nullptr,
                                                                           cairo_surface_destroy};
  std::uint32_t Pixel(int x, int y) const {
    const unsigned char* row =
        cairo_image_surface_get_data(image.get()) +
        static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(image.get());
    std::uint32_t value = 0;
    std::memcpy(&value, row + 4 * x, sizeof value);
    return value & 0xffffff;
  }
  int Width() const { return cairo_image_surface_get_width(image.get()); }
};

Decoded Decode(const std::string& png) {
  const test::TempDir dir;
  test::WriteFile(dir / "picture.png", png);
  Decoded decoded;
  decoded.image.reset(cairo_image_surface_create_from_png((dir / "picture.png").c_str()));
  EXPECT_EQ(cairo_surface_status(decoded.image.get()), CAIRO_STATUS_SUCCESS);
  return decoded;
}

TEST(PngWriter, DrawingsLandWhereTheUserScalePutsThem) {
  const std::function<void(DrawingSurface&)> drawings[] = {
      [](auto& s) { s.Line(10, 50, 90, 50, QBColor(12)); },
      // From far outside the surface to its middle: only the inner part shows.
      [](auto& s) { s.Line(-1e6f, 50, 50, 50, QBColor(9)); },
      // From 0 to pi counter-clockwise passes through the top.
      [](auto& s) { s.Circle(50, 50, 20, QBColor(10), 0.0f, float(std::numbers::pi)); },
      [](auto& s) { s.Circle(50, 50, 20, QBColor(10)); },
      // A line of no length is a dot; text that is not UTF-8 spoils nothing after it.
      [](auto& s) {
        s.Print({"\xff"});
        s.Line(30, 30, 30, 30, QBColor(12));
      },
      [](auto& s) { s.Line(20, 20, 40, 40, QBColor(9), DrawingSurface::LineForm::FilledBox); }};
  // Drawing, zoom; the colour expected at the user point (x, y).
  const std::tuple<int, int, int, int, std::uint32_t> pixels[] = {
      {0, 1, 50, 50, kRed},   {0, 1, 85, 50, kRed},   {0, 1, 50, 55, kWhite},
      {0, 1, 5, 50, kWhite},  {0, 1, 95, 50, kWhite}, {0, 2, 50, 50, kRed},
      {1, 1, 0, 50, kBlue},   {1, 1, 70, 50, kWhite}, {2, 1, 50, 70, kGreen},
      {2, 1, 50, 30, kWhite}, {2, 1, 50, 50, kWhite}, {3, 1, 50, 30, kGreen},
      {4, 1, 30, 30, kRed},   {4, 1, 33, 30, kWhite}, {5, 1, 30, 30, kBlue},
      {5, 1, 45, 30, kWhite}};
  for (const auto& [drawing, zoom, x, y, colour] : pixels) {
    DrawingSurface surface = Square();
    drawings[drawing](surface);
    const Decoded picture = Decode(PngWriter().Encode(surface, zoom));
    ASSERT_EQ(picture.Width(), 101 * zoom);
    EXPECT_EQ(picture.Pixel(int(std::floor((x + 0.5) * zoom)), int(std::floor((100.5 - y) * zoom))),
              colour)
        << drawing << " at " << x << "," << y << " zoom " << zoom;
  }
}

TEST(PngWriter, TextStandsOnTheSvgWritersBaseline) {
  DrawingSurface surface = Square();
  surface.FontSize(15);  // 20 pixels: the baseline 18 pixels below the top
  surface.CurrentX(20);
  surface.CurrentY(80);  // the top at row 20
  surface.Print({"HHHH"});
  const Decoded picture = Decode(PngWriter().Encode(surface));
  const auto inkInRow = [&](int y) {
    for (int x = 0; x < picture.Width(); ++x) {
      if (picture.Pixel(x, y) != kWhite) return true;
    }
    return false;
  };
  // A capital H stands 0.73 em high on the baseline: from row 23 down to it.
  for (const auto& [row, ink] :
       {std::pair{22, false}, std::pair{26, true}, std::pair{37, true}, std::pair{39, false}}) {
    EXPECT_EQ(inkInRow(row), ink) << "row " << row;
  }
}

TEST(PngWriter, FaultsAreToldAndLeaveNoFile) {
  const DrawingSurface surface = Square();
  EXPECT_THAT([&] { (void)PngWriter().Encode(surface, 0); },
              ::testing::ThrowsMessage<std::runtime_error>(::testing::HasSubstr("Cannot paint")));
  EXPECT_THROW((void)PngWriter().Encode(surface, 1e6), std::runtime_error);
  const test::TempDir dir;
  const auto path = dir.Path() / "missing" / "picture.png";
  EXPECT_THAT([&] { PngWriter().Write(surface, path); },
              ::testing::ThrowsMessage<std::runtime_error>(::testing::HasSubstr(path.string())));
  PngWriter().Write(surface, dir.Path() / "picture.png", 2);
  EXPECT_EQ(Decode(test::ReadFile(dir.Path() / "picture.png")).Width(), 202);
}

}  // namespace
}  // namespace quillane::raster
