// A fit that cannot weigh its record keeps the earlier fit; the overlay of a long history.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "FitFixture.h"
#include "cli/BatchProgram.h"
#include "fit/CalibrationOutput.h"
#include "graphics/DrawingSurface.h"

namespace quillane::fit {
namespace {

using WholeRecordFitTest = FitFixture;

// A noise no fit can weigh ends the fit once its outputs are opened; the earlier fit stays whole.
// (A record's own faults are refused before that, by its reader: CalibrationRecordTest.)
TEST_F(WholeRecordFitTest, ANoiseNoFitCanWeighIsRefusedAndTheEarlierFitKept) {
  const std::filesystem::path data = test::DataDir() / "fit" / "whole20";
  std::filesystem::create_directories(dir / "fit");
  test::WriteFile(dir / "fit" / "fit.json", "earlier\n");
  std::ostringstream out, err;
  EXPECT_NE(cli::RunBatch({(data / "case.json").string(), "--fit", (data / "record.csv").string(),
                           "--fit-params", "coating.SigmaQ", "--fit-noise", "curvature=1e-320",
                           "--out", (dir / "fit").string(), "-q"},
                          out, err),
            0);
  EXPECT_THAT(err.str(), HasSubstr("the curvature noise 1e-320 1/m is too small"));
  EXPECT_EQ(test::ReadFile(dir / "fit" / "fit.json"), "earlier\n");
}

// The model's strokes of an overlay (its colour, two pixels wide): how many, and the highest
// point they reach on the picture.
std::pair<std::size_t, float> Strokes(const graphics::DrawingSurface& surface) {
  std::size_t count = 0;
  float top = INFINITY;
  for (const graphics::DisplayItem& item : surface.Items()) {
    const graphics::RGB& c = item.Colour;
    if (item.Kind == graphics::ItemKind::Line && item.Width == 2 && c.Red == 214 && c.Green == 39 &&
        c.Blue == 40) {
      ++count;
      top = std::min({top, item.Y1, item.Y2});
    }
  }
  return {count, top};
}

// 200,000 points (a whole-deposit history has one a thermal row) with one spike: a few strokes a
// pixel column, the spike as high as in a three-point picture of the same extents. (A long
// record's points are thinned by the same code.)
TEST(FitOverlayTest, ALongHistoryIsDrawnWithAFewStrokesPerPixelColumnAndKeepsItsExtremes) {
  const CalibrationRecord record{{0, 100}, {0, 0}, {}, {}, {}};
  FitResult curve;
  curve.ModelCurvature = {0, 0};
  for (int i = 0; i < 200000; ++i) {
    const double t = i * 5e-4;
    curve.CurveTime.push_back(t);
    curve.CurveCurvature.push_back(i == 123457 ? 0.9 : 0.5 * std::sin(t * 7));
  }
  const auto [strokes, top] = Strokes(DrawOverlay(record, curve));
  EXPECT_LT(strokes, 4000u);
  FitResult three = curve;
  three.CurveTime = {0, curve.CurveTime[123457], 100};
  three.CurveCurvature = {
      *std::min_element(curve.CurveCurvature.begin(), curve.CurveCurvature.end()), 0.9, 0};
  EXPECT_EQ(top, Strokes(DrawOverlay(record, three)).second);
  EXPECT_LT(top, INFINITY);
}

}  // namespace
}  // namespace quillane::fit
