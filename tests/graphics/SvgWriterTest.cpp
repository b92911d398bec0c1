// The drawing surface, its SVG rendering and the chart's ticks.

#include "graphics/SvgWriter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <utility>
#include <vector>

#include "GraphicsStates.h"
#include "TestSupport.h"
#include "graphics/ChartDrawing.h"
#include "graphics/PixelMapping.h"
#include "graphics/StressViews.h"

namespace quillane::graphics {
namespace {

using quillane::test::Listing;
using quillane::test::ReadFile;
using quillane::test::TempDir;
using quillane::test::WriteFile;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::ThrowsMessage;

TEST(QBColorTest, PaletteBoundsAndRawValues) {
  EXPECT_THROW(QBColor(-1), std::out_of_range);
  EXPECT_THROW(QBColor(16), std::out_of_range);
  // A raw value keeps red in the low byte.
  EXPECT_EQ(RGB::FromValue(0xFF8040), RGB(0x40, 0x80, 0xFF));
}

// What the drawing routines use is pinned by the reviewed pictures below; not the rest.
TEST(DrawingSurfaceTest, ScaleModesAndRefusedSettings) {
  DrawingSurface surface(6615, 4095);
  EXPECT_EQ(surface.ScaleMode(), ScaleModeKind::Twips);
  EXPECT_EQ(surface.Scale(), (UserScale{0, 0, 6615, 4095}));
  surface.ScaleMode(ScaleModeKind::Pixels);
  EXPECT_EQ(surface.Scale(), (UserScale{0, 0, 441, 273}));
  surface.ScaleMode(ScaleModeKind::Points);
  EXPECT_EQ(surface.Scale(), (UserScale{0, 0, 330.75f, 204.75f}));
  surface.ScaleMode(0);  // user coordinates: the scale stays as it was
  EXPECT_EQ(surface.ScaleMode(), ScaleModeKind::User);
  EXPECT_EQ(surface.Scale(), (UserScale{0, 0, 330.75f, 204.75f}));
  surface.ScaleMode(ScaleModeKind::Twips);
  surface.ScaleHeight(-0.7f);
  surface.ScaleTop(0.3f);
  EXPECT_EQ(surface.ScaleMode(), ScaleModeKind::User);
  EXPECT_EQ(surface.Scale(), (UserScale{0, 0.3f, 6615, -0.7f}));

  EXPECT_THROW(DrawingSurface(0, 10), std::invalid_argument);
  EXPECT_THROW(DrawingSurface(10, -1), std::invalid_argument);
  EXPECT_THROW(surface.ScaleMode(4), std::invalid_argument);
  EXPECT_THROW(surface.ScaleHeight(0.0f), std::invalid_argument);
  EXPECT_THROW(surface.ScaleLeft(INFINITY), std::invalid_argument);
  EXPECT_THROW(surface.DrawWidth(0), std::invalid_argument);
  EXPECT_THROW(surface.FontSize(0), std::invalid_argument);
  EXPECT_EQ(surface.Scale(), (UserScale{0, 0.3f, 6615, -0.7f}));  // refusals change nothing
  // Cls clears the items and the position only.
  surface.DrawWidth(3);
  surface.CurrentX(1);
  surface.Print({"x"});
  surface.Cls();
  EXPECT_TRUE(surface.Items().empty());
  EXPECT_EQ(surface.CurrentX() + surface.CurrentY(), 0.0f);
  EXPECT_EQ(surface.Scale(), (UserScale{0, 0.3f, 6615, -0.7f}));
  EXPECT_EQ(surface.DrawWidth(), 3);
}

TEST(ClipSegmentTest, SegmentsAreCutAtEachEdgeOfAnOffsetRectangle) {
  // The rectangle [-2, 10] × [-3, 8]: every edge away from zero, so that a sign slip shows.
  const struct {
    double x0, y0, x1, y1;
    bool inside;
    double cx0, cy0, cx1, cy1;
  } cases[] = {
      {0, 0, 20, 0, true, 0, 0, 10, 0},         // through the right edge
      {0, -13, 0, 0, true, 0, -3, 0, 0},        // through the top edge
      {0, 0, 0, 18, true, 0, 0, 0, 8},          // through the bottom edge
      {-14, -14, 22, 19, true, -2, -3, 10, 8},  // corner to corner
  };
  for (const auto& c : cases) {
    double x0 = c.x0, y0 = c.y0, x1 = c.x1, y1 = c.y1;
    ASSERT_EQ(ClipSegment(x0, y0, x1, y1, -2, -3, 10, 8), c.inside) << c.x0 << "," << c.y0;
    if (!c.inside) continue;
    EXPECT_DOUBLE_EQ(x0, c.cx0);
    EXPECT_DOUBLE_EQ(y0, c.cy0);
    EXPECT_DOUBLE_EQ(x1, c.cx1);
    EXPECT_DOUBLE_EQ(y1, c.cy1);
  }
}

TEST(DrawingSurfaceTest, PrintedNumbersHaveASignPositionAndATrailingBlank) {
  EXPECT_EQ(PrintItem(-3).Text(), "-3 ");
}

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// 425 x 273 pixels showing x 0..10 and y 0..5, y growing upwards unless told otherwise.
DrawingSurface UpwardSurface(bool upward = true) {
  DrawingSurface surface(6375, 4095);
  surface.ScaleWidth(10);
  surface.ScaleHeight(upward ? -5 : 5);
  surface.ScaleTop(upward ? 5 : 0);
  return surface;
}

// Scale changes between items, even pens, reversed corners, XML's reserved characters.
TEST(SvgWriterTest, LinesBoxesAndTextsInPixels) {
  DrawingSurface surface = UpwardSurface();
  surface.ScaleWidth(20);
  surface.Line(10, 0, 10, 5);
  surface.ScaleWidth(10);
  surface.DrawWidth(2);
  surface.Line(0, 2.5f, 10, 2.5f, QBColor(10));
  surface.DrawWidth(1);
  surface.Line(10, 0, 0, 5, QBColor(9), DrawingSurface::LineForm::Box);
  surface.CurrentX(5);
  surface.CurrentY(2.5f);
  surface.Print({" a<b & 'c' \"d\"\x01", 3});
  const std::string svg = RenderSvg(surface);
  EXPECT_THAT(svg, HasSubstr("<line x1=\"212.5\" y1=\"272.5\" x2=\"212.5\" y2=\"0.5\""));
  EXPECT_THAT(svg, HasSubstr("<line x1=\"1\" y1=\"137\" x2=\"425\" y2=\"137\" stroke=\"#00ff00\" "
                             "stroke-width=\"2\" stroke-linecap=\"round\"/>"));
  EXPECT_THAT(svg, HasSubstr("<rect x=\"0.5\" y=\"0.5\" width=\"424\" height=\"272\" stroke"));
  EXPECT_THAT(svg, HasSubstr("<text x=\"212\" y=\"145.9\" font-size=\"11\" fill=\"#000000\" "
                             "xml:space=\"preserve\"> a&lt;b &amp; &apos;c&apos; "
                             "&quot;d&quot; 3 </text>"));
}

TEST(SvgWriterTest, ArcsAndEllipses) {
  // With y growing downwards a quarter still turns counter-clockwise on the screen (upwards, as
  // in every reviewed picture).
  DrawingSurface quadrant = UpwardSurface(false);
  quadrant.Circle(5, 2.5f, 1, RGB::FromValue(14), 0.0f, static_cast<float>(std::numbers::pi / 2));
  EXPECT_THAT(RenderSvg(quadrant),
              HasSubstr("<path d=\"M 254.9 136.5 A 42.4 42.4 0 0 0 212.5 94.1\" stroke=\"#0e0000\" "
                        "stroke-width=\"1\"/>"));

  DrawingSurface surface = UpwardSurface();
  surface.Circle(5, 2.5f, 1, std::nullopt, 0.0f, 4.0f);
  surface.Circle(5, 2.5f, 1, std::nullopt, 5.49f, 0.785f);
  surface.Circle(5, 2.5f, 1, QBColor(10), std::nullopt, std::nullopt, 2.0f);
  const std::string svg = RenderSvg(surface);
  // 4 rad is drawn as two arcs of 2 rad each.
  EXPECT_THAT(svg, HasSubstr("<path d=\"M 254.9 136.5 A 42.4 42.4 0 0 0 194.86 97.95 A 42.4 42.4 "
                             "0 0 0 184.79 168.59\""))
      << svg;
  // From 5.49 through 0 to 0.785: one small arc right of the centre, bottom to top.
  EXPECT_THAT(svg, HasSubstr("<path d=\"M 242.25 166.71 A 42.4 42.4 0 0 0 242.49 106.53\"")) << svg;
  // Above 1 the aspect shortens the horizontal radius.
  EXPECT_THAT(svg, HasSubstr("<ellipse cx=\"212.5\" cy=\"136.5\" rx=\"21.2\" ry=\"42.4\""));
}

TEST(SvgWriterTest, GeometryFarOffTheSurfaceIsCutOrLeftOut) {
  DrawingSurface surface = UpwardSurface();
  surface.Line(-1e6f, 2.5f, 5, 2.5f);  // starts far to the left
  surface.Line(-1e6f, 1, -2e6f, 1);    // entirely to the left
  surface.Line(NAN, 1, 2, 1);          // not a coordinate
  surface.Circle(-100, 2.5f, 1);       // whole circle far away
  surface.CurrentX(20);
  surface.Print({"gone"});
  const std::string svg = RenderSvg(surface);
  EXPECT_EQ(Count(svg, "<line"), 1);  // the first, cut at the left as in building_zoom.svg
  EXPECT_THAT(svg, Not(HasSubstr("<ellipse")));
  EXPECT_THAT(svg, Not(HasSubstr("gone")));
}

// Against the reviewed pictures in tests/data/graphics; QUILLANE_UPDATE_GOLDEN=1 rewrites them
// (review by eye, e.g. through rsvg-convert, before keeping them).
TEST(WritePlotsTest, SampleRunMatchesTheReviewedPictures) {
  // Four lamellae of 1 µm on 2.5 mm drawn in the order of a run onto one set of surfaces.
  ModelState state = test::MakeStressState(4, 1e-6, 2.5e-3, -0.18, 0.13);
  StressSurfaces surfaces;
  for (int k = 1; k <= 4; ++k) {
    state.Clock.LamellaIndex = k;
    DrawBuildUpView(state, surfaces.BuildingPicture2, true);
    DrawBuildUpView(state, surfaces.BuildingPicture1, false);
  }
  DrawCoolingView(state, surfaces.CoolingPicture2, true);
  DrawCoolingView(state, surfaces.CoolingPicture1, false);
  DrawDeflectionHistory(state, surfaces.ArrowPicture1);
  TempDir temp;
  const std::filesystem::path dir = temp / "plots";
  WritePlots(surfaces, dir);
  const char* update = std::getenv("QUILLANE_UPDATE_GOLDEN");
  const bool rewrite = update != nullptr && std::string(update) == "1";
  for (const char* name : {"building_global.svg", "building_zoom.svg", "cooling_global.svg",
                           "cooling_zoom.svg", "arrow.svg"}) {
    const std::string written = ReadFile(dir / name);
    const std::filesystem::path golden = quillane::test::DataDir() / "graphics" / name;
    if (rewrite) WriteFile(golden, written);
    EXPECT_EQ(written, ReadFile(golden)) << "the picture differs from " << golden;
  }
  EXPECT_EQ(Listing(dir).size(), 5u);  // no temporary file left behind
  if (rewrite) GTEST_SKIP() << "rewrote the reviewed pictures";
}

TEST(WritePlotsTest, FailuresNameThePath) {
  const StressSurfaces surfaces;
  TempDir temp;
  // The directory cannot be made where a file lies, nor a picture where a directory lies.
  WriteFile(temp / "file", "x");
  EXPECT_THAT([&] { WritePlots(surfaces, temp / "file"); },
              ThrowsMessage<std::runtime_error>(HasSubstr((temp / "file").string())));
  std::filesystem::create_directories(temp / "out" / "cooling_zoom.svg");
  EXPECT_THAT(
      [&] { WritePlots(surfaces, temp / "out"); },
      ThrowsMessage<std::runtime_error>(HasSubstr((temp / "out" / "cooling_zoom.svg").string())));
  EXPECT_FALSE(std::filesystem::exists(temp / "out" / "cooling_zoom.svg.tmp"));
}

// The chart's ticks: steps of 1, 2 or 5 times a power of ten, no finer than the range over
// `count`, covering the range; a range of no width is widened around its value.
TEST(NiceTicksTest, StepsOfOneTwoOrFiveCoverAnyFiniteRangeAndAPointIsWidened) {
  const struct {
    double low, high;
    std::vector<double> ticks;
  } cases[] = {
      {0, 10, {0, 2, 4, 6, 8, 10}},
      {0, 3, {0, 1, 2, 3}},                          // 0.6 a tick: 0.5 is too fine, 1 it is
      {-7, 13, {-10, -5, 0, 5, 10, 15}},             // 4 a tick: 5 is the nearest step above
      {0, 0, {-1, -0.5, 0, 0.5, 1}},                 // widened by 1 each way
      {-200, -200, {-220, -210, -200, -190, -180}},  // by a tenth of the value each way
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.low << " to " << c.high);
    const std::vector<double> ticks = NiceTicks(c.low, c.high, 5);
    ASSERT_EQ(ticks.size(), c.ticks.size());
    for (std::size_t i = 0; i < ticks.size(); ++i) EXPECT_NEAR(ticks[i], c.ticks[i], 1e-12) << i;
  }
  // Nearly equal values, denormal ones and values next to the largest double: a few finite,
  // increasing ticks that cover them (the step once fell below what k·step can count, or to zero).
  const double largest = std::numeric_limits<double>::max();
  const std::pair<double, double> ranges[] = {
      {600000, 600000.0000000002}, {5e-324, 1e-323},         {0, 5e-324},
      {-1e-310, 1e-310},           {1e-300, 1e-299},         {1, std::nextafter(1.0, 2.0)},
      {largest / 2, largest},      {-largest, -largest / 2},
  };
  for (const auto& [low, high] : ranges) {
    SCOPED_TRACE(testing::Message() << low << " to " << high);
    const std::vector<double> ticks = NiceTicks(low, high, 5);
    ASSERT_GE(ticks.size(), 2u);
    EXPECT_LE(ticks.size(), 7u);
    for (std::size_t i = 0; i < ticks.size(); ++i) {
      EXPECT_TRUE(std::isfinite(ticks[i])) << "tick " << i;
      EXPECT_TRUE(i == 0 || ticks[i - 1] < ticks[i]) << "tick " << i;
    }
    EXPECT_LE(ticks.front(), low);
    EXPECT_GE(ticks.back(), high);
  }
}

// No binary noise; values equal to nine digits are one; decades on a logarithmic axis; none on an
// axis of slots.
TEST(ChartAreaTest, TickLabelsCarryTheDigitsThatTellThemApart) {
  const struct {
    double low, high;
    AxisScale scale;
    std::vector<std::string> labels;
  } cases[] = {
      {55.2, 56.2, AxisScale::Linear, {"55.2", "55.4", "55.6", "55.8", "56", "56.2"}},
      {55.4 - 3e-12, 55.4 + 3e-12, AxisScale::Linear, {"45", "50", "55", "60", "65"}},
      {0, 1e6, AxisScale::Linear, {"0", "200000", "400000", "600000", "800000", "1000000"}},
      {2e-3, 50, AxisScale::Logarithmic, {"0.001", "0.01", "0.1", "1", "10", "100"}},
      {2e3, 5e6, AxisScale::Logarithmic, {"1000", "10000", "1e+05", "1e+06", "1e+07"}},
      {2, 5, AxisScale::Logarithmic, {"2", "3", "4", "5"}},  // less than two decades
      {0, 3, AxisScale::Unticked, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.low << " to " << c.high);
    DrawingSurface surface(800 * 15, 500 * 15);
    const ChartArea chart(surface, "t", "x", "y", c.low, c.high, 1, 2, c.scale);
    std::vector<std::string> labels;
    for (const DisplayItem& item : surface.Items()) {
      if (item.Kind == ItemKind::Text && item.Y1 == chart.Bottom() + 6) labels.push_back(item.Text);
    }
    EXPECT_EQ(labels, c.labels);
  }
}

}  // namespace
}  // namespace quillane::graphics
