// Fits of whole records of the whole-deposit model: records the model made are fitted back (the
// expansion from the rows after the cooling, the heat flux from any start, a noisy record of
// twenty passes by the batch program); and the one-pass model's jumps, where the interval still
// holds and a restart finds the minimum the solver missed.

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

TEST_F(WholeRecordFitTest, AHeatFluxFitOfAWholeRecordEndsAtItsTruthFromEveryStart) {
  ThreeWholePasses();
  ModelState truth = state;
  truth.Input.HeatFlux = 703500;
  const CalibrationRecord record = RecordOf(truth, 0.1, 3);
  for (const double start : {600e3, 700e3, 800e3}) {
    ModelState base = state;
    base.Input.HeatFlux = start;
    const FitResult result = FitRecord(base, record, Fitting({"HeatFlux"}));
    EXPECT_EQ(result.Start[0], start);
    EXPECT_NEAR(result.Value[0] / 703500, 1, 1e-4) << "from " << start;
    EXPECT_TRUE(result.Notes.empty()) << "from " << start << ": " << English(result.Notes.front());
  }
}

TEST_F(WholeRecordFitTest, ANoisyTwentyPassRecordIsFittedWholeByTheBatchProgram) {
  // 20 passes of 25 µm, NiCrAlY on 316L, read every 0.5 s through the passes and for a minute
  // at room temperature; the record says which figures made it.
  const std::filesystem::path data = test::DataDir() / "fit" / "whole20";
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(cli::RunBatch({(data / "case.json").string(), "--catalogue", (dir / "p1.db").string(),
                           "--fit", (data / "record.csv").string(), "--fit-params",
                           "coating.SigmaQ,coating.ModuleYoung,coating.dilat", "--out",
                           (dir / "fit").string(), "-q"},
                          out, err),
            0)
      << err.str();
  const auto fit = nlohmann::json::parse(test::ReadFile(dir / "fit" / "fit.json"));
  const std::pair<const char*, double> truth[] = {
      {"coating.SigmaQ", 1.3e8}, {"coating.ModuleYoung", 9e10}, {"coating.dilat", 1.3e-5}};
  for (const auto& [name, value] : truth) {
    const auto& figure = fit["parameters"][name];
    const double fitted = figure["value"].get<double>();
    const double error = figure["stderr"].get<double>();
    EXPECT_LE(std::fabs(fitted - value), 3 * error) << name << " " << fitted << " ± " << error;
    EXPECT_LT(error, 0.02 * value) << name;
    // A quadratic misfit: the covariance's error is the profile's, and both are given.
    const double low = figure["interval"][0].get<double>();
    const double high = figure["interval"][1].get<double>();
    EXPECT_NEAR((high - low) / 2 / error, 1, 0.1) << name;
  }
  EXPECT_NEAR(fit["noise"]["curvature"].get<double>() / 2e-3, 1, 0.1);
  EXPECT_NEAR(fit["noise"]["temperature"].get<double>() / 2, 1, 0.1);
  EXPECT_TRUE(fit["notes"].empty()) << fit["notes"];
  EXPECT_THAT(test::ReadFile(dir / "fit" / "overlay.svg"), HasSubstr("<svg"));
  // The fitted case names its catalogue copy: run as it is, without --catalogue, it ends where
  // the model at the fitted figures does.
  ASSERT_EQ(cli::RunBatch({(dir / "fit" / "fitted_case.json").string(), "--summary",
                           (dir / "s.json").string(), "--thermal", (dir / "t.txt").string(),
                           "--stress", (dir / "st.txt").string(), "-q"},
                          out, err),
            0)
      << err.str();
  state.Input = DefaultInputs();
  ReadCaseFile(data / "case.json", state.Input);
  ResolveMaterials();
  for (const auto& [name, value] : truth) {
    Quantity(name).Set(state, fit["parameters"][name]["value"].get<double>());
  }
  NullSink none;
  RunSimulation(state, none);
  const auto summary = nlohmann::json::parse(test::ReadFile(dir / "s.json"));
  EXPECT_NEAR(summary["FinalCurvature"].get<double>() / state.Stress.FinalCurvature, 1, 1e-12);
}

// Records and noise no fit can weigh are refused by name before any fit, and the earlier fit stays.
TEST_F(WholeRecordFitTest, ARecordOrNoiseNoFitCanWeighIsRefusedAndTheEarlierFitKept) {
  const std::filesystem::path data = test::DataDir() / "fit" / "whole20";
  std::filesystem::create_directories(dir / "fit");
  test::WriteFile(dir / "fit" / "fit.json", "earlier\n");
  test::WriteFile(dir / "huge.csv", "time,curvature\n0,0.1\n1,1e308\n");
  const struct {
    const char* record;
    const char* noise;
    const char* told;
  } cases[] = {
      {"huge.csv", "", "line 3: curvature \"1e308\" is beyond 1000 1/m"},
      {"record.csv", "curvature=1e-320",
       "the curvature noise 1e-320 1/m is too small"},
  };
  for (const auto& c : cases) {
    const std::filesystem::path record =
        c.noise[0] == '\0' ? dir / c.record : data / "record.csv";
    std::ostringstream out;
    std::ostringstream err;
    std::vector<std::string> args = {(data / "case.json").string(), "--fit", record.string(),
                                     "--fit-params", "coating.SigmaQ", "--out",
                                     (dir / "fit").string(), "-q"};
    if (c.noise[0] != '\0') args.insert(args.end(), {"--fit-noise", c.noise});
    EXPECT_NE(cli::RunBatch(args, out, err), 0) << c.told;
    EXPECT_THAT(err.str(), HasSubstr(c.told));
    EXPECT_EQ(test::ReadFile(dir / "fit" / "fit.json"), "earlier\n");
  }
}

// FinalCurvature of the one-pass model at a heat flux.
double OnePassFinalCurvature(ModelState state, double heatFlux) {
  state.Input.HeatFlux = heatFlux;
  NullSink none;
  RunSimulation(state, none);
  return state.Stress.FinalCurvature;
}

// The widest jump of the one-pass model's final curvature between two heat fluxes, found in
// steps of 1 kW/m² and narrowed to 1 W/m²: the fluxes just below and just above it.
std::pair<double, double> LocateJump(const ModelState& state, double from, double to) {
  double low = from;
  double widest = 0;
  double previous = OnePassFinalCurvature(state, from);
  for (double q = from; q < to; q += 1e3) {
    const double next = OnePassFinalCurvature(state, q + 1e3);
    if (std::fabs(next - previous) > widest) {
      widest = std::fabs(next - previous);
      low = q;
    }
    previous = next;
  }
  double high = low + 1e3;
  const double below = OnePassFinalCurvature(state, low);
  while (high - low > 1) {
    const double middle = (low + high) / 2;
    (std::fabs(OnePassFinalCurvature(state, middle) - below) < widest / 2 ? low : high) = middle;
  }
  // A jump indeed: over 1 W/m² the curvature moves more than the slope beside it gives over
  // 10 kW/m².
  const double slope =
      std::fabs(OnePassFinalCurvature(state, low) - OnePassFinalCurvature(state, low - 1e3)) / 1e3;
  EXPECT_GT(std::fabs(OnePassFinalCurvature(state, high) - OnePassFinalCurvature(state, low)),
            1e4 * slope);
  return {low, high};
}

// The one-pass model's back face is pinned to the gases at some heat fluxes, and its final
// curvature jumps there; records made just above such jumps are fitted from either side.
TEST_F(WholeRecordFitTest, TheIntervalHoldsWhereTheResponseJumps) {
  const struct {
    int passes;
    double from, to;  // where the jump is looked for
    double start;     // from the jump's low side (<0) or high side, W/m²
    NoteKind told;
  } cases[] = {{4, 730e3, 740e3, 1000, NoteKind::NotQuadratic},
               {20, 565e3, 575e3, -130, NoteKind::BetterPoint}};
  for (const auto& c : cases) {
    state.Input.StressModel = kOnePassModel;
    state.Input.PassCount = c.passes;
    ResolveMaterials();
    const auto [low, high] = LocateJump(state, c.from, c.to);
    ModelState truth = state;
    truth.Input.HeatFlux = high + 10;
    const CalibrationRecord record = RecordOf(truth, 0.1, 3);
    ModelState base = state;
    base.Input.HeatFlux = c.start > 0 ? high + c.start : low + c.start;
    const FitResult fit = FitRecord(base, record, Fitting({"HeatFlux"}));
    EXPECT_NEAR(fit.Value[0] / truth.Input.HeatFlux, 1, 1e-9) << c.passes;
    EXPECT_LE(fit.IntervalLow[0], fit.Value[0]);
    EXPECT_GE(fit.IntervalHigh[0], fit.Value[0]);
    // Beside the jump the covariance does not hold; from its low side the solver stops on the
    // wrong branch and a restart finds the record's.
    EXPECT_TRUE(std::any_of(fit.Notes.begin(), fit.Notes.end(), [&](const FitNote& note) {
      return note.Kind == c.told;
    })) << c.passes;
    if (c.told == NoteKind::NotQuadratic) {
      EXPECT_TRUE(std::isnan(fit.StandardError[0]));
    }
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

// 200,000 points of a fast oscillation with one spike, as a whole-deposit history has a point per
// thermal row (or a long record has rows), are drawn with a few strokes (points) per pixel column;
// the spike reaches as high as in a picture of the same extents in three points.
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
  // The model's history.
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
