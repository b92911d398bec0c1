// Fits of whole records: in the whole-deposit model a record row meets the history at its time
// and the room-temperature state after the end; records the model made are fitted back (the
// quenching stress, the modulus and the expansion, the heat flux from any start); and the checks
// made before a fit reports tell a response with a jump and a better minimum of the one-pass
// model.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>

#include "ModelFixture.h"
#include "cli/BatchProgram.h"
#include "fit/Calibration.h"
#include "fit/CalibrationOutput.h"
#include "fit/FitModel.h"
#include "graphics/DrawingSurface.h"
#include "graphics/SvgWriter.h"
#include "io/CaseFile.h"
#include "run/QuantityTable.h"

namespace quillane::fit {
namespace {

class WholeRecordFitTest : public test::ModelFixture {
 protected:
  void SetUp() override {
    ModelFixture::SetUp();
    ReadCaseFile(test::DataDir() / "p1" / "case.json", state.Input);
    state.Input.StressModel = kWholeDepositModel;
  }

  // Three passes of 20 µm in lamellae of 2 µm: a small case whose curvature moves visibly.
  void ThreePasses() {
    state.Input.PassCount = 3;
    state.Input.PassThickness = 20e-6;
    state.Input.LamellaThickness = 2e-6;
    ResolveMaterials();
  }

  // When a run of the state ends.
  double End() const {
    ModelState run = state;
    NullSink none;
    RunSimulation(run, none);
    return run.Clock.ElapsedTime;
  }

  // Every `step` s from `step` until `after` s past the end of a run of the state.
  std::vector<double> Times(double step, double after) const {
    const double end = End();
    std::vector<double> times;
    for (int i = 1; i * step < end + after; ++i) times.push_back(i * step);
    return times;
  }

  static FitSettings Fitting(const std::vector<std::string>& names) {
    FitSettings settings;
    for (const std::string& name : names) settings.Parameters.push_back(RequireFitParameter(name));
    return settings;
  }
};

// The value of a drawn polyline at t, the last of its points at a time holding from that time.
double OnCurve(const std::vector<double>& time, const std::vector<double>& value, double t) {
  const auto after = std::upper_bound(time.begin(), time.end(), t);
  if (after == time.begin()) return value.front();
  const std::size_t j = static_cast<std::size_t>(after - time.begin());
  if (j == time.size()) return value.back();
  const double f = (t - time[j - 1]) / (time[j] - time[j - 1]);
  return value[j - 1] + (value[j] - value[j - 1]) * f;
}

TEST_F(WholeRecordFitTest, ARecordRowMeetsTheHistoryAtItsTimeAndTheRoomStateAfterTheEnd) {
  state.Input.PassCount = 2;
  ResolveMaterials();
  ModelState run = state;
  NullSink none;
  RunSimulation(run, none);
  const std::vector<HistoryPoint>& history = run.Stress.History;
  ASSERT_GT(history.size(), 10u);
  ASSERT_EQ(history.back().Event.Kind, DepositEventKind::Cooling);
  const double end = run.Clock.ElapsedTime;
  // Halfway between two points of distinct times, the mean of the two; at a point's time alone,
  // its curvature; at the end, the plate before its cooling; after it, at room temperature.
  std::vector<double> times;
  std::vector<double> expected;
  for (std::size_t i = 1; i + 2 < history.size(); ++i) {
    const HistoryPoint& a = history[i];
    const HistoryPoint& b = history[i + 1];
    // Points far enough apart that the midpoint's own rounding does not show.
    if (b.Event.Time - a.Event.Time < 1e-3 || a.Event.Time == history[i - 1].Event.Time) continue;
    times.push_back(a.Event.Time);
    expected.push_back(a.Curvature);
    times.push_back((a.Event.Time + b.Event.Time) / 2);
    expected.push_back((a.Curvature + b.Curvature) / 2);
  }
  times.insert(times.end(), {end, end + 1e-9, end + 50});
  expected.insert(expected.end(), {history[history.size() - 2].Curvature, run.Stress.FinalCurvature,
                                   run.Stress.FinalCurvature});
  ASSERT_GT(times.size(), 20u);
  EXPECT_NE(run.Stress.FinalCurvature, history[history.size() - 2].Curvature);
  const CalibrationRecord record = RecordOfRun(state, times);
  const double scale = std::fabs(run.Stress.FinalCurvature) + std::fabs(run.Stress.Curvature(0));
  for (std::size_t i = 0; i < times.size(); ++i) {
    EXPECT_NEAR(record.Curvature[i], expected[i], 1e-14 * scale) << "at " << times[i] << " s";
  }
  // Before the first point, the initial curvature.
  EXPECT_EQ(CurvatureAt(run, -1), run.Stress.Curvature(0));
}

TEST_F(WholeRecordFitTest, AWholeRecordGivesBackTheQuenchingStressModulusAndExpansion) {
  ThreePasses();
  ModelState truth = state;
  MaterialRecord& coating = truth.Materials.Coating;
  coating.SigmaQ *= 1.3;
  coating.ModuleYoung *= 0.8;
  coating.dilat *= 1.1;
  const CalibrationRecord record = RecordOfRun(truth, Times(0.05, 3));
  const FitResult result =
      FitRecord(state, record, Fitting({"coating.SigmaQ", "coating.ModuleYoung", "coating.dilat"}));
  const double expected[] = {coating.SigmaQ, coating.ModuleYoung, coating.dilat};
  for (std::size_t j = 0; j < 3; ++j) {
    EXPECT_NEAR(result.Value[j] / expected[j], 1, 1e-6) << result.Names[j];
    EXPECT_FALSE(result.IntervalFromScan[j]) << result.Names[j];
  }
  // A smooth response and a true minimum: the checks have nothing to say.
  EXPECT_TRUE(result.Notes.empty()) << English(result.Notes.front());
  // The plotted history passes through the model's value at every record time.
  ASSERT_EQ(result.ModelCurvature.size(), record.Time.size());
  const double end = End();
  for (std::size_t i = 0; i < record.Time.size(); ++i) {
    // At the end itself the drawn cooling is a vertical step; the row meets its foot.
    if (std::fabs(record.Time[i] - end) < 1e-9) continue;
    EXPECT_NEAR(OnCurve(result.CurveTime, result.CurveCurvature, record.Time[i]),
                result.ModelCurvature[i], 1e-12)
        << "at " << record.Time[i] << " s";
  }
}

TEST_F(WholeRecordFitTest, ANoisyRecordGivesTheQuenchingStressAndTheExpansionFromTheCooling) {
  ThreePasses();
  ModelState truth = state;
  truth.Materials.Coating.SigmaQ *= 0.7;
  truth.Materials.Coating.dilat *= 1.2;
  // A record of the curvature alone, every 0.1 s through the passes and for 10 s after the
  // cooling, with seeded noise.
  CalibrationRecord record = RecordOfRun(truth, Times(0.1, 10));
  record.Temperature.clear();
  std::mt19937_64 engine(20260521);
  std::normal_distribution<double> gauss(0, 2e-5);
  for (double& c : record.Curvature) c += gauss(engine);
  const FitResult result = FitRecord(state, record, Fitting({"coating.SigmaQ", "coating.dilat"}));
  const double expected[] = {truth.Materials.Coating.SigmaQ, truth.Materials.Coating.dilat};
  for (std::size_t j = 0; j < 2; ++j) {
    EXPECT_LE(std::fabs(result.Value[j] - expected[j]), 3 * result.StandardError[j])
        << result.Names[j] << " " << result.Value[j] << " ± " << result.StandardError[j];
    // Determined, not merely bounded.
    EXPECT_LT(result.StandardError[j], 0.02 * std::fabs(expected[j])) << result.Names[j];
  }
  EXPECT_NEAR(result.CurvatureNoise / 2e-5, 1, 0.15);
  EXPECT_TRUE(result.Notes.empty()) << English(result.Notes.front());
  // The rows after the cooling alone give the expansion, the quenching stress held.
  CalibrationRecord cooled;
  const double end = End();
  for (std::size_t i = 0; i < record.Time.size(); ++i) {
    if (record.Time[i] <= end + 1) continue;
    cooled.Time.push_back(record.Time[i]);
    cooled.Curvature.push_back(record.Curvature[i]);
  }
  ModelState held = state;
  held.Materials.Coating.SigmaQ = truth.Materials.Coating.SigmaQ;
  const FitResult fromCooling = FitRecord(held, cooled, Fitting({"coating.dilat"}));
  EXPECT_LE(std::fabs(fromCooling.Value[0] - expected[1]), 3 * fromCooling.StandardError[0])
      << fromCooling.Value[0] << " ± " << fromCooling.StandardError[0];
  EXPECT_LT(fromCooling.StandardError[0], 0.02 * expected[1]);
}

TEST_F(WholeRecordFitTest, AHeatFluxFitOfAWholeRecordEndsAtItsTruthFromEveryStart) {
  ThreePasses();
  ModelState truth = state;
  truth.Input.HeatFlux = 703500;
  const CalibrationRecord record = RecordOfRun(truth, Times(0.1, 3));
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
    EXPECT_EQ(figure["interval_from"], "covariance") << name;
  }
  EXPECT_NEAR(fit["noise"]["curvature"].get<double>() / 2e-3, 1, 0.1);
  EXPECT_NEAR(fit["noise"]["temperature"].get<double>() / 2, 1, 0.1);
  EXPECT_TRUE(fit["notes"].empty()) << fit["notes"];
  EXPECT_TRUE(std::filesystem::exists(dir / "fit" / "overlay.svg"));
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
  for (double q = from; q < to; q += 1e3) {
    const double jump =
        std::fabs(OnePassFinalCurvature(state, q + 1e3) - OnePassFinalCurvature(state, q));
    if (jump > widest) {
      widest = jump;
      low = q;
    }
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
// curvature jumps there; a record made just above such a jump is fitted.
TEST_F(WholeRecordFitTest, TheChecksTellThatTheResponseJumpsBesideTheFit) {
  state.Input.StressModel = kOnePassModel;
  state.Input.PassCount = 4;
  ResolveMaterials();
  const auto [low, high] = LocateJump(state, 730e3, 740e3);
  ModelState truth = state;
  truth.Input.HeatFlux = high + 10;
  const CalibrationRecord record = RecordOfRun(truth, Times(0.1, 3));
  // From above, the fit ends at the record's figure, 10 W/m² beside the jump: the response is
  // rough there, and the interval comes from a scan, not from the covariance.
  ModelState base = state;
  base.Input.HeatFlux = high + 1000;
  const FitResult rough = FitRecord(base, record, Fitting({"HeatFlux"}));
  EXPECT_NEAR(rough.Value[0] / truth.Input.HeatFlux, 1, 1e-9);
  ASSERT_FALSE(rough.Notes.empty());
  EXPECT_EQ(rough.Notes[0].Kind, NoteKind::Rough);
  EXPECT_EQ(rough.Notes[0].Parameter, "HeatFlux");
  ASSERT_TRUE(rough.IntervalFromScan[0]);
  EXPECT_LE(rough.IntervalLow[0], rough.Value[0]);
  EXPECT_GE(rough.IntervalHigh[0], rough.Value[0]);
  EXPECT_GT(rough.IntervalHigh[0] - rough.IntervalLow[0], 2 * rough.StandardError[0]);
  EXPECT_EQ(rough.Notes[0].Low, rough.IntervalLow[0]);
  EXPECT_EQ(rough.Notes[0].High, rough.IntervalHigh[0]);
  const auto json = nlohmann::json::parse(FitJson(rough));
  const auto& told = json["parameters"]["HeatFlux"];
  EXPECT_EQ(told["interval_from"], "scan");
  EXPECT_EQ(told["interval"], nlohmann::json::array({rough.IntervalLow[0], rough.IntervalHigh[0]}));
  EXPECT_EQ(json["notes"][0], English(rough.Notes[0]));
  // The same fit of the whole-deposit model, whose response has no such jump, is smooth.
  state.Input.StressModel = kWholeDepositModel;
  truth.Input.StressModel = kWholeDepositModel;
  base.Input.StressModel = kWholeDepositModel;
  const FitResult smooth =
      FitRecord(base, RecordOfRun(truth, Times(0.1, 3)), Fitting({"HeatFlux"}));
  EXPECT_NEAR(smooth.Value[0] / truth.Input.HeatFlux, 1, 1e-9);
  EXPECT_TRUE(smooth.Notes.empty()) << English(smooth.Notes.front());
  EXPECT_EQ(nlohmann::json::parse(FitJson(smooth))["parameters"]["HeatFlux"]["interval_from"],
            "covariance");
}

TEST_F(WholeRecordFitTest, StartsOnEitherSideFindTheMinimumTheSolverMissed) {
  state.Input.StressModel = kOnePassModel;
  state.Input.PassCount = 20;
  ResolveMaterials();
  const auto [low, high] = LocateJump(state, 565e3, 575e3);
  ModelState truth = state;
  truth.Input.HeatFlux = high + 10;
  const CalibrationRecord record = RecordOfRun(truth, Times(0.2, 3));
  // From below, the solver stops on the branch left of the jump; started again from either
  // side, it finds the record's figure, and says so.
  ModelState base = state;
  base.Input.HeatFlux = low - 130;
  const FitResult restarted = FitRecord(base, record, Fitting({"HeatFlux"}));
  EXPECT_NEAR(restarted.Value[0] / truth.Input.HeatFlux, 1, 1e-9);
  const auto better =
      std::find_if(restarted.Notes.begin(), restarted.Notes.end(),
                   [](const FitNote& n) { return n.Kind == NoteKind::BetterStart; });
  ASSERT_NE(better, restarted.Notes.end());
  EXPECT_EQ(better->Value, restarted.Value[0]);
  EXPECT_TRUE(restarted.IntervalFromScan[0]);
}

TEST(FitCheckNoteTest, TheChecksNotesAreToldInEnglishFromTheirData) {
  const struct {
    FitNote note;
    const char* english;
  } cases[] = {
      {{NoteKind::Rough, "HeatFlux", 569830, 1.5e-8, 569773, 569887},
       "HeatFlux: the model does not change smoothly with it near 569830 (its slopes over a small "
       "and a larger step disagree), so its standard error from the covariance (1.5e-08) does "
       "not hold. A scan around it keeps the misfit within one unit of chi-square of its least "
       "from 569773 to 569887, the interval given."},
      {{NoteKind::Rough, "contact.Lambda", 5000, NAN, 4500, 5600},
       "contact.Lambda: the model does not change smoothly with it near 5000 (its slopes over a "
       "small and a larger step disagree), so the covariance tells nothing of it. A scan around "
       "it keeps the misfit within one unit of chi-square of its least from 4500 to 5600, the "
       "interval given."},
      {{NoteKind::BetterPoint, "coating.SigmaQ", 1.5e8, 2e6, 1.4e8, 1.6e8},
       "coating.SigmaQ: the solver stopped short of the best fit; a scan within 5 standard "
       "errors found a lower misfit at 1.5e+08, which is given. The scan keeps the misfit within "
       "one unit of chi-square of its least from 1.4e+08 to 1.6e+08, the interval given."},
      {{NoteKind::BetterStart, "HeatFlux", 700000, 10, 699990, 700010},
       "HeatFlux: the solver, started again from either side of where it first stopped, found a "
       "lower misfit at 7e+05, which is given. A scan around it keeps the misfit within one unit "
       "of chi-square of its least from 699990 to 700010, the interval given."},
  };
  for (const auto& c : cases) EXPECT_EQ(English(c.note), c.english);
}

// The model's strokes of an overlay (its colour, two pixels wide): how many, and the highest
// point they reach on the picture.
std::pair<std::size_t, float> ModelStrokes(const graphics::DrawingSurface& surface) {
  std::size_t count = 0;
  float top = INFINITY;
  for (const graphics::DisplayItem& item : surface.Items()) {
    const graphics::RGB& c = item.Colour;
    if (item.Kind != graphics::ItemKind::Line || item.Width != 2 || c.Red != 214 || c.Green != 39 ||
        c.Blue != 40) {
      continue;
    }
    ++count;
    top = std::min({top, item.Y1, item.Y2});
  }
  return {count, top};
}

TEST(FitOverlayTest, ALongHistoryIsDrawnWithAFewStrokesPerPixelColumnAndKeepsItsExtremes) {
  CalibrationRecord record;
  record.Time = {0, 100};
  record.Curvature = {0, 0};
  FitResult result;
  result.ModelCurvature = {0, 0};
  // 200,000 points of a fast oscillation with one spike, as a whole-deposit history has a point
  // per thermal row.
  for (int i = 0; i < 200000; ++i) {
    const double t = i * 5e-4;
    result.CurveTime.push_back(t);
    result.CurveCurvature.push_back(i == 123457 ? 0.9 : 0.5 * std::sin(t * 7));
  }
  const auto [count, top] = ModelStrokes(DrawOverlay(record, result));
  EXPECT_LT(count, 4000u);
  // The same extents in three points: the spike reaches as high in both pictures.
  FitResult reference = result;
  reference.CurveTime = {0, result.CurveTime[123457], 100};
  reference.CurveCurvature = {
      *std::min_element(result.CurveCurvature.begin(), result.CurveCurvature.end()), 0.9, 0};
  EXPECT_EQ(top, ModelStrokes(DrawOverlay(record, reference)).second);
  EXPECT_LT(top, INFINITY);
}

// The record's points of an overlay (grey circles): how many, and the highest one.
std::pair<std::size_t, float> RecordMarkers(const graphics::DrawingSurface& surface) {
  std::size_t count = 0;
  float top = INFINITY;
  for (const graphics::DisplayItem& item : surface.Items()) {
    if (item.Kind != graphics::ItemKind::Circle || item.Colour.Red != 90) continue;
    ++count;
    top = std::min(top, item.Y1);
  }
  return {count, top};
}

// A record of 200,000 rows is drawn with a few points per pixel column, keeping its extremes,
// and its overlay stays small.
TEST(FitOverlayTest, ALongRecordIsDrawnWithAFewPointsPerPixelColumnAndKeepsItsExtremes) {
  CalibrationRecord record;
  FitResult result;
  for (int i = 0; i < 200000; ++i) {
    record.Time.push_back(i * 5e-4);
    record.Curvature.push_back(i == 123457 ? 0.9 : 0.5 * std::sin(i * 3.5e-3));
    result.ModelCurvature.push_back(0);
  }
  result.CurveTime = {0, 100};
  result.CurveCurvature = {0, 0};
  const graphics::DrawingSurface overlay = DrawOverlay(record, result);
  const auto [count, top] = RecordMarkers(overlay);
  EXPECT_LT(count, 8000u);  // measured points and residuals, at most four per column each
  EXPECT_LT(graphics::RenderSvg(overlay).size(), 2000000u);
  // The same extents in three rows: the spike stands as high in both pictures.
  CalibrationRecord extremes;
  extremes.Time = {0, record.Time[123457], record.Time.back()};
  extremes.Curvature = {*std::min_element(record.Curvature.begin(), record.Curvature.end()), 0.9,
                        0};
  FitResult three = result;
  three.ModelCurvature = {0, 0, 0};
  EXPECT_EQ(top, RecordMarkers(DrawOverlay(extremes, three)).second);
}

}  // namespace
}  // namespace quillane::fit
