#include "graphics/SvgWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <stdexcept>

#include "GraphicsStates.h"
#include "TestSupport.h"
#include "graphics/StressViews.h"

namespace quillane::graphics {
namespace {

using quillane::test::ReadFile;
using quillane::test::TempDir;
using quillane::test::WriteFile;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// A 425 x 273 pixel surface whose user range is x 0..10 and y 0..5, y growing upwards.
DrawingSurface UpwardSurface() {
  DrawingSurface surface(6375, 4095);
  surface.ScaleWidth(10);
  surface.ScaleLeft(0);
  surface.ScaleHeight(-5);
  surface.ScaleTop(5);
  return surface;
}

TEST(SvgWriterTest, PictureHasTheSurfaceSizeBackgroundAndClip) {
  DrawingSurface surface(6615, 4095);
  surface.BackColor(RGB(255, 255, 255));
  const std::string svg = RenderSvg(surface);
  EXPECT_TRUE(Contains(svg, "width=\"441\" height=\"273\" viewBox=\"0 0 441 273\""));
  EXPECT_TRUE(Contains(svg,
                       "<clipPath id=\"surface\"><rect x=\"0\" y=\"0\" width=\"441\" "
                       "height=\"273\"/></clipPath>"));
  EXPECT_TRUE(Contains(svg,
                       "<rect x=\"0\" y=\"0\" width=\"441\" height=\"273\" "
                       "fill=\"#ffffff\"/>"));
  EXPECT_TRUE(Contains(svg, "<g clip-path=\"url(#surface)\" fill=\"none\""));
  EXPECT_EQ(svg.substr(0, 5), "<?xml");
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

TEST(SvgWriterTest, UserEdgesFallOnTheFirstAndLastPixels) {
  DrawingSurface surface = UpwardSurface();
  surface.Line(0, 0, 10, 5);
  surface.ScaleWidth(20);  // each item keeps the scale it was drawn in
  surface.Line(10, 0, 10, 5);
  const std::string svg = RenderSvg(surface);
  EXPECT_TRUE(Contains(svg,
                       "<line x1=\"0.5\" y1=\"272.5\" x2=\"424.5\" y2=\"0.5\" "
                       "stroke=\"#000000\" stroke-width=\"1\"/>"));
  EXPECT_TRUE(Contains(svg, "<line x1=\"212.5\" y1=\"272.5\" x2=\"212.5\" y2=\"0.5\""));
}

TEST(SvgWriterTest, WideStrokesAreRoundAndSnapToPixelBoundaries) {
  DrawingSurface surface = UpwardSurface();
  surface.DrawWidth(2);
  surface.Line(0, 2.5f, 10, 2.5f, QBColor(10));
  surface.DrawWidth(3);
  surface.Line(0, 2.5f, 10, 2.5f, QBColor(12));
  const std::string svg = RenderSvg(surface);
  EXPECT_TRUE(Contains(svg,
                       "<line x1=\"1\" y1=\"137\" x2=\"425\" y2=\"137\" stroke=\"#00ff00\" "
                       "stroke-width=\"2\" stroke-linecap=\"round\"/>"));
  EXPECT_TRUE(Contains(svg,
                       "<line x1=\"0.5\" y1=\"136.5\" x2=\"424.5\" y2=\"136.5\" "
                       "stroke=\"#ff0000\" stroke-width=\"3\" stroke-linecap=\"round\"/>"));
}

TEST(SvgWriterTest, BoxIsAnOutline) {
  DrawingSurface surface = UpwardSurface();
  surface.Line(10, 0, 0, 5, QBColor(9), DrawingSurface::LineForm::Box);
  const std::string svg = RenderSvg(surface);
  EXPECT_TRUE(Contains(svg,
                       "<rect x=\"0.5\" y=\"0.5\" width=\"424\" height=\"272\" "
                       "stroke=\"#0000ff\" stroke-width=\"1\"/>"));
  EXPECT_EQ(Count(svg, "fill=\"#"), 1);  // only the background is filled
}

TEST(SvgWriterTest, TextHangsFromItsPositionInPixelSizedFont) {
  DrawingSurface surface = UpwardSurface();
  surface.CurrentX(5);
  surface.CurrentY(2.5f);
  surface.Print({" a<b & 'c' \"d\"\x01", 3});
  surface.FontSize(6);
  surface.Print({"x"});
  const std::string svg = RenderSvg(surface);
  EXPECT_TRUE(Contains(svg,
                       "<text x=\"212\" y=\"145.9\" font-size=\"11\" fill=\"#000000\" "
                       "xml:space=\"preserve\"> a&lt;b &amp; &apos;c&apos; "
                       "&quot;d&quot; 3 </text>"));
  // The second line starts at the left edge, one line (13.2 px) lower, in 8 px.
  EXPECT_TRUE(Contains(svg, "<text x=\"0\" y=\"156.2\" font-size=\"8\""));
}

TEST(SvgWriterTest, ArcsRunCounterClockwiseOnTheScreen) {
  const std::string quarter =
      "<path d=\"M 254.9 136.5 A 42.4 42.4 0 0 0 212.5 94.1\" stroke=\"#0e0000\" "
      "stroke-width=\"1\"/>";
  DrawingSurface upward = UpwardSurface();
  upward.Circle(5, 2.5f, 1, RGB::FromValue(14), 0.0f, static_cast<float>(std::numbers::pi / 2));
  EXPECT_TRUE(Contains(RenderSvg(upward), quarter)) << RenderSvg(upward);
  // The same quarter with y growing downwards still turns up the screen.
  DrawingSurface downward(6375, 4095);
  downward.ScaleWidth(10);
  downward.ScaleHeight(5);
  downward.Circle(5, 2.5f, 1, RGB::FromValue(14), 0.0f, static_cast<float>(std::numbers::pi / 2));
  EXPECT_TRUE(Contains(RenderSvg(downward), quarter));
}

TEST(SvgWriterTest, ArcsPastHalfATurnAndWrappingArcs) {
  DrawingSurface surface = UpwardSurface();
  surface.Circle(5, 2.5f, 1, std::nullopt, 0.0f, 4.0f);
  surface.Circle(5, 2.5f, 1, std::nullopt, 5.49f, 0.785f);
  const std::string svg = RenderSvg(surface);
  // 4 rad is drawn as two arcs of 2 rad each.
  EXPECT_TRUE(Contains(svg,
                       "<path d=\"M 254.9 136.5 A 42.4 42.4 0 0 0 194.86 97.95 A 42.4 42.4 "
                       "0 0 0 184.79 168.59\""))
      << svg;
  // From 5.49 through 0 to 0.785: one small arc right of the centre, bottom to top.
  EXPECT_TRUE(Contains(svg, "<path d=\"M 242.25 166.71 A 42.4 42.4 0 0 0 242.49 106.53\"")) << svg;
}

TEST(SvgWriterTest, WholeCirclesAreEllipsesWithTheirAspect) {
  DrawingSurface surface = UpwardSurface();
  surface.DrawWidth(3);
  surface.Circle(5, 2.5f, 1, QBColor(10));
  surface.Circle(5, 2.5f, 1, QBColor(10), std::nullopt, std::nullopt, 0.5f);
  surface.Circle(5, 2.5f, 1, QBColor(10), std::nullopt, std::nullopt, 2.0f);
  const std::string svg = RenderSvg(surface);
  EXPECT_TRUE(Contains(svg,
                       "<ellipse cx=\"212.5\" cy=\"136.5\" rx=\"42.4\" ry=\"42.4\" "
                       "stroke=\"#00ff00\" stroke-width=\"3\" stroke-linecap=\"round\"/>"));
  EXPECT_TRUE(Contains(svg, "rx=\"42.4\" ry=\"21.2\""));
  EXPECT_TRUE(Contains(svg, "rx=\"21.2\" ry=\"42.4\""));
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
  EXPECT_EQ(Count(svg, "<line"), 1);
  EXPECT_TRUE(Contains(svg, "<line x1=\"-3\" y1=\"136.5\" x2=\"212.5\" y2=\"136.5\""));
  EXPECT_FALSE(Contains(svg, "<ellipse"));
  EXPECT_FALSE(Contains(svg, "gone"));
}

// The pictures of a hand-made run: four lamellae of 1 µm on 2.5 mm, tensile deposit during
// build-up, compressive after cooling, drawn in the order of a run onto one set of surfaces.
StressSurfaces DrawSampleRun() {
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
  return surfaces;
}

// The five pictures of the sample run, written as a run's export writes them, against the
// reviewed pictures in tests/data/graphics. QUILLANE_UPDATE_GOLDEN=1 rewrites those instead
// (review the change by eye, for instance converted with rsvg-convert, before keeping it).
TEST(WritePlotsTest, SampleRunMatchesTheReviewedPictures) {
  const StressSurfaces surfaces = DrawSampleRun();
  TempDir temp;
  const std::filesystem::path dir = temp / "plots";
  WritePlots(surfaces, dir);
  const char* update = std::getenv("QUILLANE_UPDATE_GOLDEN");
  const bool rewrite = update != nullptr && std::string(update) == "1";
  const std::pair<const DrawingSurface*, std::string> plots[] = {
      {&surfaces.BuildingPicture1, "building_global.svg"},
      {&surfaces.BuildingPicture2, "building_zoom.svg"},
      {&surfaces.CoolingPicture1, "cooling_global.svg"},
      {&surfaces.CoolingPicture2, "cooling_zoom.svg"},
      {&surfaces.ArrowPicture1, "arrow.svg"}};
  for (const auto& [surface, name] : plots) {
    const std::string written = ReadFile(dir / name);
    EXPECT_EQ(written, RenderSvg(*surface)) << name;
    const std::filesystem::path golden = quillane::test::DataDir() / "graphics" / name;
    if (rewrite) {
      std::filesystem::create_directories(golden.parent_path());
      WriteFile(golden, written);
      continue;
    }
    ASSERT_TRUE(std::filesystem::exists(golden))
        << golden << " is missing; run with QUILLANE_UPDATE_GOLDEN=1 and review it";
    EXPECT_EQ(written, ReadFile(golden)) << "the picture differs from " << golden;
  }
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++files;
  EXPECT_EQ(files, 5);  // no temporary file left behind
  if (rewrite) GTEST_SKIP() << "rewrote the reviewed pictures";
}

TEST(WritePlotsTest, FailuresNameThePath) {
  const StressSurfaces surfaces;
  TempDir temp;
  // The directory cannot be made where a file lies.
  WriteFile(temp / "file", "x");
  try {
    WritePlots(surfaces, temp / "file");
    FAIL() << "no error for a file in place of the directory";
  } catch (const std::runtime_error& error) {
    EXPECT_TRUE(Contains(error.what(), (temp / "file").string())) << error.what();
  }
  // A picture cannot replace a directory of its name.
  std::filesystem::create_directories(temp / "out" / "cooling_zoom.svg");
  try {
    WritePlots(surfaces, temp / "out");
    FAIL() << "no error for a directory in place of a picture";
  } catch (const std::runtime_error& error) {
    EXPECT_TRUE(Contains(error.what(), (temp / "out" / "cooling_zoom.svg").string()))
        << error.what();
  }
  EXPECT_FALSE(std::filesystem::exists(temp / "out" / "cooling_zoom.svg.tmp"));
}

}  // namespace
}  // namespace quillane::graphics
