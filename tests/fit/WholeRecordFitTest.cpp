// A fit that cannot weigh its record keeps the earlier fit; the overlays of long records.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "FitFixture.h"
#include "cli/BatchProgram.h"
#include "fit/CalibrationOutput.h"
#include "graphics/DrawingSurface.h"
#include "graphics/SvgWriter.h"

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

// The model's strokes of an overlay (its colour, two pixels wide) or the record's points (grey
// circles): how many, and the highest point they reach on the picture.
std::pair<std::size_t, float> Drawn(const graphics::DrawingSurface& surface, bool model) {
  std::size_t count = 0;
  float top = INFINITY;
  for (const graphics::DisplayItem& item : surface.Items()) {
    const graphics::RGB& c = item.Colour;
    const bool stroke = item.Kind == graphics::ItemKind::Line && item.Width == 2 && c.Red == 214 &&
                        c.Green == 39 && c.Blue == 40;
    if (model ? !stroke : item.Kind != graphics::ItemKind::Circle || c.Red != 90) continue;
    ++count;
    top = std::min({top, item.Y1, model ? item.Y2 : item.Y1});
  }
  return {count, top};
}

// 200,000 points (a whole-deposit history has one a thermal row) with one spike: a few strokes a
// pixel column, the spike as high as in a three-point picture of the same extents.
TEST(FitOverlayTest, ALongHistoryOrRecordIsDrawnWithAFewItemsPerPixelColumnAndKeepsItsExtremes) {
  CalibrationRecord shortRecord{{0, 100}, {0, 0}, {}, {}, {}};
  FitResult flat;
  flat.CurveTime = {0, 100};
  flat.CurveCurvature = {0, 0};
  CalibrationRecord longRecord;
  FitResult longCurve;
  longCurve.ModelCurvature = {0, 0};
  for (int i = 0; i < 200000; ++i) {
    const double t = i * 5e-4;
    const double value = i == 123457 ? 0.9 : 0.5 * std::sin(t * 7);
    longCurve.CurveTime.push_back(t);
    longCurve.CurveCurvature.push_back(value);
    longRecord.Time.push_back(t);
    longRecord.Curvature.push_back(value);
    flat.ModelCurvature.push_back(0);
  }
  const double lowest = *std::min_element(longRecord.Curvature.begin(), longRecord.Curvature.end());
  const auto [strokes, strokesTop] = Drawn(DrawOverlay(shortRecord, longCurve), true);
  EXPECT_LT(strokes, 4000u);
  FitResult three = longCurve;
  three.CurveTime = {0, longCurve.CurveTime[123457], 100};
  three.CurveCurvature = {lowest, 0.9, 0};
  EXPECT_EQ(strokesTop, Drawn(DrawOverlay(shortRecord, three), true).second);
  EXPECT_LT(strokesTop, INFINITY);
  // The record, whose overlay stays small.
  const graphics::DrawingSurface overlay = DrawOverlay(longRecord, flat);
  const auto [points, pointsTop] = Drawn(overlay, false);
  EXPECT_LT(points, 8000u);  // measured points and residuals, at most four per column each
  EXPECT_LT(graphics::RenderSvg(overlay).size(), 2000000u);
  CalibrationRecord extremes{
      {0, longRecord.Time[123457], longRecord.Time.back()}, {lowest, 0.9, 0}, {}, {}, {}};
  flat.ModelCurvature = {0, 0, 0};
  EXPECT_EQ(pointsTop, Drawn(DrawOverlay(extremes, flat), false).second);
}

}  // namespace
}  // namespace quillane::fit
