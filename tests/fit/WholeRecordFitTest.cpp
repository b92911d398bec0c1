// Fits of whole records of the whole-deposit model, and their overlays.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "FitFixture.h"
#include "cli/BatchProgram.h"
#include "fit/CalibrationOutput.h"
#include "fit/FitModel.h"
#include "graphics/DrawingSurface.h"
#include "graphics/SvgWriter.h"
#include "io/CaseFile.h"
#include "run/QuantityTable.h"

namespace quillane::fit {
namespace {

using WholeRecordFitTest = FitFixture;

TEST_F(WholeRecordFitTest, TheRowsAfterTheCoolingAloneGiveTheExpansion) {
  ThreeWholePasses();
  ModelState truth = state;
  truth.Materials.Coating.SigmaQ *= 0.7;
  truth.Materials.Coating.dilat *= 1.2;
  // A noisy record of the curvature alone, every 0.1 s from 1 s to 10 s after the end; the
  // quenching stress is held at its truth.
  const CalibrationRecord whole = RecordOf(truth, 0.1, 10, 2e-5);
  CalibrationRecord cooled;
  const double end = End();
  for (std::size_t i = 0; i < whole.Time.size(); ++i) {
    if (whole.Time[i] <= end + 1) continue;
    cooled.Time.push_back(whole.Time[i]);
    cooled.Curvature.push_back(whole.Curvature[i]);
  }
  ModelState held = state;
  held.Materials.Coating.SigmaQ = truth.Materials.Coating.SigmaQ;
  const FitResult result = FitRecord(held, cooled, Fitting({"coating.dilat"}));
  const double expected = truth.Materials.Coating.dilat;
  EXPECT_LE(std::fabs(result.Value[0] - expected), 3 * result.StandardError[0])
      << result.Value[0] << " ± " << result.StandardError[0];
  EXPECT_LT(result.StandardError[0], 0.02 * expected);
  EXPECT_NEAR(result.CurvatureNoise / 2e-5, 1, 0.15);
}

TEST_F(WholeRecordFitTest, ARecordOrNoiseNoFitCanWeighIsRefusedAndTheEarlierFitKept) {
  const std::filesystem::path data = test::DataDir() / "fit" / "whole20";
  std::filesystem::create_directories(dir / "fit");
  test::WriteFile(dir / "fit" / "fit.json", "earlier\n");
  test::WriteFile(dir / "huge.csv", "time,curvature\n0,0.1\n1,1e308\n");
  const struct {
    std::filesystem::path record;
    const char* noise;
    const char* told;
  } cases[] = {
      {dir / "huge.csv", "", "line 3: curvature \"1e308\" is beyond 1000 1/m"},
      {data / "record.csv", "curvature=1e-320", "the curvature noise 1e-320 1/m is too small"},
  };
  for (const auto& c : cases) {
    std::ostringstream out, err;
    std::vector<std::string> args = {(data / "case.json").string(), "--fit", c.record.string()};
    args.insert(args.end(), {"--fit-params", "coating.SigmaQ", "--out", (dir / "fit").string()});
    args.push_back("-q");
    if (c.noise[0] != '\0') args.insert(args.end(), {"--fit-noise", c.noise});
    EXPECT_NE(cli::RunBatch(args, out, err), 0) << c.told;
    EXPECT_THAT(err.str(), HasSubstr(c.told));
    EXPECT_EQ(test::ReadFile(dir / "fit" / "fit.json"), "earlier\n");
  }
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
