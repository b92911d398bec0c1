// Calibration against records of the model itself, whose figures are known.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "FitFixture.h"
#include "cli/FitProgram.h"
#include "fit/CalibrationOutput.h"
#include "fit/FitModel.h"
#include "fit/FittedMaterials.h"
#include "model/Errors.h"

namespace quillane::fit {
namespace {

// The one-pass reference case, whose run ends at 9 s; its records go on to 12 s.
using CalibrationTest = FitFixture;

// Read from the run, not as the fit reads it: the one-pass model's last laid curvature, the whole
// deposit's history linear between points, the cooled end, the back face linear between rows.
TEST_F(CalibrationTest, ARecordRowMeetsTheModelsHistoryAtItsTime) {
  for (const bool whole : {false, true}) {
    SCOPED_TRACE(whole ? "whole-deposit" : "one-pass");
    state.Input.StressModel = whole ? kWholeDepositModel : kOnePassModel;
    ResolveMaterials();
    ModelState run = state;
    BackFaceSink back;
    RunSimulation(run, back);
    const StressResults& stress = run.Stress;
    const std::vector<HistoryPoint>& history = stress.History;
    std::vector<double> times;
    std::vector<double> curvature;  // NaN where the row checks the temperature
    const auto expect = [&](double t, double c) {
      times.push_back(t);
      curvature.push_back(c);
    };
    for (int k = 0; !whole && k < run.Clock.LamellaCount; ++k) {
      const double t = stress.LamellaTime(k + 1);
      expect((stress.LamellaTime(k) + t) / 2, stress.Curvature(k));
      expect(t, stress.Curvature(k + 1));
    }
    for (std::size_t i = 1; whole && i + 2 < history.size(); ++i) {
      const HistoryPoint& a = history[i];
      const HistoryPoint& b = history[i + 1];
      // Points far enough apart that the midpoint's own rounding does not show.
      if (b.Event.Time - a.Event.Time < 1e-3 || a.Event.Time == history[i - 1].Event.Time) continue;
      expect(a.Event.Time, a.Curvature);
      expect((a.Event.Time + b.Event.Time) / 2, (a.Curvature + b.Curvature) / 2);
    }
    if (whole) {
      ASSERT_EQ(history.back().Event.Kind, DepositEventKind::Cooling);
      EXPECT_NE(stress.FinalCurvature, history[history.size() - 2].Curvature);
      EXPECT_EQ(CurvatureAt(run, -1), stress.Curvature(0));
    }
    const double end = run.Clock.ElapsedTime;
    expect(end, whole ? history[history.size() - 2].Curvature
                      : stress.Curvature(run.Clock.LamellaCount));
    expect(end + 1e-9, stress.FinalCurvature);
    expect(end + 50, stress.FinalCurvature);
    ASSERT_GT(times.size(), whole ? 20u : 10u);
    std::vector<double> temperature(times.size(), NAN);
    for (std::size_t j = 0; j + 1 < back.Time.size(); j += 25) {
      if (back.Time[j + 1] == back.Time[j]) continue;
      expect((back.Time[j] + back.Time[j + 1]) / 2, NAN);
      temperature.push_back((back.Temperature[j] + back.Temperature[j + 1]) / 2);
    }
    const CalibrationRecord record = RecordOfRun(state, times);
    const double scale = std::fabs(stress.FinalCurvature) + std::fabs(stress.Curvature(0));
    for (std::size_t i = 0; i < times.size(); ++i) {
      if (!std::isnan(curvature[i])) {
        EXPECT_NEAR(record.Curvature[i], curvature[i], 1e-14 * scale) << "at " << times[i] << " s";
      }
      if (!std::isnan(temperature[i])) {
        EXPECT_NEAR(record.Temperature[i], temperature[i], 1e-12 * temperature[i]) << times[i];
      }
    }
  }
}

// The value of a drawn polyline at t, the last of its points at a time holding from that time.
double OnCurve(const std::vector<double>& time, const std::vector<double>& value, double t) {
  const auto after = std::upper_bound(time.begin(), time.end(), t);
  if (after == time.begin()) return value.front();
  const std::size_t j = static_cast<std::size_t>(after - time.begin());
  if (j == time.size()) return value.back();
  const double f = (t - time[j - 1]) / (time[j] - time[j - 1]);
  return value[j - 1] + (value[j] - value[j - 1]) * f;
}

// Records of the model give back their figures: exactly without noise; with it, within two
// standard errors, the noise estimated from the residuals (a given one: FitIntervalTest).
TEST_F(CalibrationTest, RecordsOfTheModelGiveBackTheirFigures) {
  const std::map<std::string, double> two = {{"coating.SigmaQ", 1.5e8},
                                             {"coating.ModuleYoung", 9e10}};
  const struct {
    bool whole;  // three passes of the whole-deposit model, else the reference case
    std::map<std::string, double> truth;
    double noise = 0;  // of the curvature, 1/m
  } cases[] = {
      {false, {{"HeatFlux", 8e5}}},
      {false, two, 2e-5},
      {true,
       {{"coating.SigmaQ", 1.3e8}, {"coating.ModuleYoung", 9.6e10}, {"coating.dilat", 1.54e-5}}},
  };
  for (const auto& c : cases) {
    if (c.whole) ThreeWholePasses();
    std::vector<std::string> names;
    for (const auto& figure : c.truth) names.push_back(figure.first);
    const CalibrationRecord record = RecordOf(With(c.truth), 0.05, 3, c.noise);
    const FitResult result = FitRecord(state, record, Fitting(names));
    for (std::size_t j = 0; j < result.Names.size(); ++j) {
      const double expected = c.truth.at(result.Names[j]);
      EXPECT_NE(result.Start[j], expected);
      EXPECT_TRUE(std::isfinite(result.StandardError[j]) && result.StandardError[j] > 0)
          << result.Names[j];
      EXPECT_NEAR(result.Value[j], expected,
                  c.noise > 0 ? 2 * result.StandardError[j] : 1e-6 * expected)
          << result.Names[j] << ": " << result.Termination;
    }
    // A smooth response and a true minimum: the checks have nothing to say.
    EXPECT_TRUE(result.Notes.empty()) << English(result.Notes.front());
    if (c.noise > 0) {
      EXPECT_NEAR(result.CurvatureNoise / c.noise, 1, 0.15);
      EXPECT_NEAR(result.Correlation[0][1], result.Correlation[1][0], 1e-12);
    } else {
      EXPECT_LT(result.CurvatureRms, 1e-9);
    }
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
}

TEST_F(CalibrationTest, NarrowerBoundsHoldTheFit) {
  // The record wants 1.5e8; bounds on either side keep the figure at the nearer one.
  const CalibrationRecord record = RecordOf(With({{"coating.SigmaQ", 1.5e8}}), 0.05, 3);
  const struct {
    double low, high, held;
    const char* told;
  } bounds[] = {
      {5e7, 1.2e8, 1.2e8, "coating.SigmaQ is at its upper bound 1.2e+08: the record wants more."},
      {1.6e8, NAN, 1.6e8, "coating.SigmaQ is at its lower bound 1.6e+08: the record wants less."},
  };
  for (const auto& [low, high, held, told] : bounds) {
    FitSettings settings;
    settings.Parameters = {RequireFitParameter("coating.SigmaQ", low, high)};
    const FitResult result = FitRecord(state, record, settings);
    EXPECT_DOUBLE_EQ(result.Value[0], held);
    // Held by its bound: told so, with no standard error as if it were free; and the model,
    // held away from the record, does not follow it.
    ASSERT_GE(result.Notes.size(), 2u);
    EXPECT_EQ(English(result.Notes[0]), std::string(told) + " No standard error is given for it.");
    EXPECT_EQ(result.Notes[1].Kind, NoteKind::PoorFit);
    EXPECT_TRUE(std::isnan(result.StandardError[0]));
  }
}

TEST_F(CalibrationTest, TheRobustLossKeepsOutliersFromPullingTheFit) {
  CalibrationRecord record = RecordOf(With({{"coating.SigmaQ", 1.5e8}}), 0.05, 3, 2e-5);
  // A few readings of a disturbed sensor, far above the others after the run.
  for (const std::size_t i : {190, 200, 210, 220, 230}) record.Curvature[i] += 5e-3;
  FitSettings settings = Fitting({"coating.SigmaQ"});
  const double plain = FitRecord(state, record, settings).Value[0];
  settings.Robust = true;
  const FitResult robust = FitRecord(state, record, settings);
  EXPECT_LT(3 * std::fabs(robust.Value[0] / 1.5e8 - 1), std::fabs(plain / 1.5e8 - 1))
      << "plain " << plain << ", robust " << robust.Value[0];
  // The noise the robust fit estimates is that of the good readings, not inflated by the five.
  EXPECT_NEAR(robust.CurvatureNoise / 2e-5, 1, 0.2);
}

TEST_F(CalibrationTest, AFigureTheRecordCannotSeeIsToldInPlainWords) {
  // A curvature record ending at 8 s: the expansion acts only in the cooling after it.
  CalibrationRecord record = RecordOf(With({{"coating.SigmaQ", 1.5e8}}), 0.05, -1);
  record.Temperature.clear();
  record.SurfaceTemperature.clear();
  const FitResult result = FitRecord(state, record, Fitting({"coating.SigmaQ", "coating.dilat"}));
  ASSERT_EQ(result.Notes.size(), 1u) << English(result.Notes[1]);
  const FitNote& note = result.Notes[0];
  // Left where it was, not where the solver wandered.
  EXPECT_EQ(std::tie(note.Kind, note.Parameter, note.Value, result.Value[1]),
            std::tuple(NoteKind::FlatRange, "coating.dilat", result.Start[1], result.Start[1]));
  // The range it is flat over is the figure's whole range.
  EXPECT_DOUBLE_EQ(note.Low, Quantity("coating.dilat").Min);
  EXPECT_DOUBLE_EQ(note.High, Quantity("coating.dilat").Max);
  const auto json = nlohmann::json::parse(FitJson(result));
  EXPECT_EQ(json["notes"], nlohmann::json::array({English(note)}));
  EXPECT_TRUE(json["rms"]["temperature"].is_null());
  // The quenching stress is still found, with its standard error.
  EXPECT_NEAR(result.Value[0] / 1.5e8, 1, 1e-6);
  EXPECT_TRUE(std::isfinite(result.StandardError[0]) && std::isnan(result.StandardError[1]));
}

double SquaredMisfit(const std::vector<double>& model, const std::vector<double>& record) {
  double sum = 0;
  for (std::size_t i = 0; i < record.size(); ++i) sum += std::pow(model[i] - record[i], 2);
  return sum;
}

// fit.json's temperature misfit is the model run again at the fitted figures against the record.
TEST_F(CalibrationTest, TheTemperatureMisfitIsTheRecordsOwn) {
  CalibrationRecord record = RecordOf(With({{"coating.SigmaQ", 1.5e8}}), 0.05, 3);
  std::mt19937_64 engine(7);
  std::normal_distribution<double> gauss(0, 2);
  for (double& t : record.Temperature) t += gauss(engine);
  const FitResult result = FitRecord(state, record, Fitting({"coating.SigmaQ"}));
  const CalibrationRecord model =
      RecordOfRun(With({{"coating.SigmaQ", result.Value[0]}}), record.Time);
  const double rms = std::sqrt(SquaredMisfit(model.Temperature, record.Temperature) /
                               static_cast<double>(record.Time.size()));
  EXPECT_NEAR(rms, 2, 0.3);
  EXPECT_NEAR(nlohmann::json::parse(FitJson(result))["rms"]["temperature"].get<double>(), rms,
              1e-9 * rms);
}

TEST(CalibrationRecordTest, BadRecordsAreRefusedWithTheirLine) {
  const char* const bad[] = {
      "curvature,temperature\n0.1,300\n0.2,301\n",
      "time,temperature\n0,300\n1,301\n",
      "time,curvature\n0,0.1\n1,0.2\n1,0.3\n",
      "time,curvature\n0,nan\n1,0.2\n",
      "time,curvature\n0,0.1\n",
      "time,curvature\n0,0.1,5\n",
      "",
      "time,curvature\n0,1e308\n1,0.2\n",
      "time,curvature,surface_temperature\n0,0.1,300\n1,0.2,-2e5\n",
  };
  std::vector<std::string> told;
  for (const char* text : bad) {
    try {
      ReadRecordText(text, "r.csv");
      ADD_FAILURE() << text;
    } catch (const RecordError& error) {
      told.push_back(error.what());
    }
  }
  test::ExpectMessages("record faults", told);
  using Values = std::vector<double>;
  const CalibrationRecord record =
      ReadRecordText("# sensor 3\n\nTime; Curvature; Temperature\n0,5;0,1;300\n1;2e-1;\n", "r.csv");
  EXPECT_EQ(std::tie(record.Time, record.Curvature, record.Temperature[0]),
            std::tuple(Values{0.5, 1}, Values{0.1, 0.2}, 300));
  EXPECT_TRUE(std::isnan(record.Temperature[1]));
  // As a lab's logger writes it: tabs, a pyrometer's column and columns no fit reads, named.
  const CalibrationRecord lab = ReadRecordText(
      "time\tcurvature\tstrain\tsurface_temperature\t\n0,5\t0,1\t3\t900\t\n1\t0,2\t4\t\t\n",
      "r.txt");
  EXPECT_EQ(std::tie(lab.Time, lab.Curvature, lab.SurfaceTemperature[0], lab.UnusedColumns),
            std::tuple(Values{0.5, 1}, Values{0.1, 0.2}, 900,
                       std::vector<std::string>{"strain", "(unnamed)"}));
  EXPECT_TRUE(std::isnan(lab.SurfaceTemperature[1]) && !lab.HasTemperature());
  // A file no record could fill is told as one (sparse: it takes no room).
  const test::TempDir dir;
  const std::filesystem::path huge = dir.Path() / "huge.csv";
  test::WriteFile(huge, "time,curvature\n");
  std::filesystem::resize_file(huge, std::uintmax_t{257} << 20);
  EXPECT_THAT([&] { ReadRecordFile(huge); },
              ThrowsMessage<RecordError>(HasSubstr("it is larger than 256 MiB")));
}

// Every kind of note, worded from its data; the wordings are the reference file's.
TEST(FitNoteTest, EveryNoteIsToldInEnglishFromItsData) {
  const FitNote notes[] = {
      {NoteKind::LargeError, "HeatFlux", 500000, NAN, -2e5, 1.3e6},
      {NoteKind::NotQuadratic, "HeatFlux", 569830, 1.5e-8, 569773, 569887},
      {NoteKind::BetterPoint, "coating.SigmaQ", 1.5e8},
      {NoteKind::FlatRange, "contact.Lambda", 1, NAN, 0.5, 2},
      {NoteKind::OneSided, "contact.Lambda", 0.0177, NAN, NAN, 1e4},
      {NoteKind::OneSided, "HeatFlux", 2e5, NAN, 1e5, NAN},
      {NoteKind::PoorFit, "curvature", 0.33, 0.002},
      {NoteKind::PoorFit, "temperature", 3.5, 3.5, 12, 420.4},
      {NoteKind::UnusedColumns, "strain, pyrometer 2"},
      {NoteKind::OnePassModel, "", 20},
  };
  std::vector<std::string> told;
  for (const FitNote& note : notes) told.push_back(English(note));
  test::ExpectMessages("fit notes", told);
}

// The curvature of this case barely feels the contact conductance: a record of it alone, made
// at 1e4, is met within the noise from 1 up, so only a lower bound is told. (A figure flat from
// bound to bound is AFigureTheRecordCannotSeeIsToldInPlainWords.)
TEST_F(CalibrationTest, AFigureTheMisfitBarelyFeelsIsNotDetermined) {
  CalibrationRecord record = RecordOf(With({{"contact.Lambda", 1e4}}), 0.05, 3, 2e-4);
  record.Temperature.clear();
  record.SurfaceTemperature.clear();
  const double top = Quantity("contact.Lambda").Max;
  const FitResult result = FitRecord(state, record, Fitting({"contact.Lambda"}));
  ASSERT_EQ(result.Notes.size(), 1u);
  const FitNote& note = result.Notes[0];
  EXPECT_EQ(note.Kind, NoteKind::OneSided);
  EXPECT_TRUE(std::isnan(result.StandardError[0]));
  // The misfit at the upper bound, made apart from the fit, is within one unit of chi-square.
  const CalibrationRecord there = RecordOfRun(With({{"contact.Lambda", top}}), record.Time);
  const double n = static_cast<double>(record.Time.size());
  EXPECT_LT(
      (SquaredMisfit(there.Curvature, record.Curvature) - n * std::pow(result.CurvatureRms, 2)) /
          std::pow(result.CurvatureNoise, 2),
      1);
  EXPECT_EQ(note.High, top);
  EXPECT_TRUE(std::isnan(note.Low));
  EXPECT_LT(result.Value[0], 100);
  const auto shown = nlohmann::json::parse(FitJson(result))["parameters"]["contact.Lambda"];
  EXPECT_EQ(shown["value"].get<double>(), result.Value[0]);
  EXPECT_TRUE(shown["stderr"].is_null());
}

TEST_F(CalibrationTest, ACancelledFitRunsNoModelAfterwards) {
  const CalibrationRecord record =
      RecordOf(With({{"coating.SigmaQ", 1.5e8}, {"HeatFlux", 8e5}}), 0.05, 3);
  const struct {
    std::vector<std::string> figures;
    bool byToken;  // a stop asked of the token; otherwise the progress answers false
  } cases[] = {
      {{"coating.SigmaQ"}, false},
      {{"HeatFlux", "coating.SigmaQ"}, true},
  };
  for (const auto& c : cases) {
    std::stop_source stop;
    int runsAtStop = -1;
    const auto progress = [&](const FitProgress& p) {
      // After a first step, so that the solver is well under way.
      if (p.Iteration < 1) return true;
      runsAtStop = p.ModelRuns;
      if (c.byToken) stop.request_stop();
      return c.byToken;
    };
    const FitResult result =
        FitRecord(state, record, Fitting(c.figures), progress, stop.get_token());
    EXPECT_GT(runsAtStop, 1) << c.figures[0];
    EXPECT_EQ(std::tuple(result.Cancelled, result.ModelRuns, result.CurveTime.empty()),
              std::tuple(true, runsAtStop, true))
        << c.figures[0];
  }
  // A stop asked before the fit starts runs nothing at all.
  std::stop_source stop;
  stop.request_stop();
  const FitResult result = FitRecord(state, record, Fitting({"HeatFlux"}), {}, stop.get_token());
  EXPECT_EQ(std::pair(result.Cancelled, result.ModelRuns), std::pair(true, 0));
  // Within a run: the model's sink ends it at the next lamella.
  ModelState whole = state;
  BackFaceSink full;
  RunSimulation(whole, full);
  ModelState cut = state;
  BackFaceSink stopped(stop.get_token());
  EXPECT_THROW(RunSimulation(cut, stopped), RunCancelled);
  EXPECT_LT(stopped.Time.size(), full.Time.size() / 10);
}

TEST_F(CalibrationTest, TheWindowAndTheFittedCaseTakeTheSameMaterialRows) {
  MaterialRecord coating = state.Materials.Coating;
  coating.Name = "NiCrAlY (ajusté)";
  coating.SigmaQ = 1.5e8;
  MaterialRecord contact = state.Materials.Contact;
  contact.Lambda = 5000;
  const struct {
    std::vector<std::string> names;
    std::vector<double> values;
    std::vector<MaterialRecord> rows;
    double heatFlux;  // NaN when not fitted
  } cases[] = {
      {{"HeatFlux"}, {8e5}, {}, 8e5},
      {{"contact.Lambda", "coating.SigmaQ"}, {5000, 1.5e8}, {coating, contact}, NAN},
  };
  for (const auto& c : cases) {
    FitResult result;
    result.Names = c.names;
    result.Value = c.values;
    const FittedMaterials fitted = FitMaterials(state, result, "record.csv");
    ASSERT_EQ(fitted.Rows.size(), c.rows.size()) << c.names[0];
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
      EXPECT_EQ(fitted.Rows[i].Row, c.rows[i]) << c.names[0];
      EXPECT_EQ(fitted.Rows[i].Source, "ajusté sur record.csv");
    }
    EXPECT_EQ(
        std::tuple(fitted.Faults.empty(), fitted.HeatFlux.has_value(), fitted.Inputs.HeatFlux),
        std::tuple(true, !std::isnan(c.heatFlux),
                   std::isnan(c.heatFlux) ? state.Input.HeatFlux : c.heatFlux));
    EXPECT_EQ(fitted.Inputs.CoatingMaterialName,
              fitted.CoatingName.empty() ? state.Input.CoatingMaterialName : fitted.CoatingName);

    // The batch program's fitted.db holds those rows over the catalogue; the case picks them.
    const std::filesystem::path out = dir / ("case" + std::to_string(&c - cases));
    std::filesystem::create_directories(out);
    WriteFittedCase(out, state, catalogue, result, "record.csv");
    InputParameters read;
    ReadCaseFile(out / "fitted_case.json", read);
    EXPECT_EQ(std::tie(read.CoatingMaterialName, read.HeatFlux),
              std::tie(fitted.Inputs.CoatingMaterialName, fitted.Inputs.HeatFlux));
    if (c.rows.empty()) {
      EXPECT_FALSE(std::filesystem::exists(out / "fitted.db"));
      continue;
    }
    const std::vector<UserMaterial> saved = UserCatalogue(out / "fitted.db").Read();
    EXPECT_EQ(saved.size(), catalogue.Rows().size() + (fitted.CoatingName.empty() ? 0 : 1));
    for (const UserMaterial& row : fitted.Rows) {
      const auto same = [&row](const UserMaterial& s) {
        return s.Row == row.Row && s.Source == row.Source;
      };
      EXPECT_EQ(std::count_if(saved.begin(), saved.end(), same), 1) << row.Row.Name;
    }
  }
  // A fitted row fitted again keeps its name.
  ModelState refit = state;
  refit.Materials.Coating = coating;
  FitResult again;
  again.Names = {"coating.SigmaQ"};
  again.Value = {1.6e8};
  EXPECT_EQ(FitMaterials(refit, again, "r.csv").CoatingName, "NiCrAlY (ajusté)");
  // A figure beyond the catalogue's bounds keeps the rows from both.
  FitResult beyond;
  beyond.Names = {"contact.Lambda"};
  beyond.Value = {2e4};
  EXPECT_THROW(WriteFittedCase(dir / "beyond", state, catalogue, beyond, "r.csv"), InputError);
}

// A later coat's figure comes back from a record as the coating's do, for that coat alone: two
// coats of NiCrAlY, the second's quenching stress fitted and its row kept apart.
TEST_F(CalibrationTest, ALaterCoatsFigureIsFittedForThatCoatAlone) {
  ThreeWholePasses();
  CoatInput bond;
  bond.Material = "NiCrAlY";
  bond.PassCount = 2;
  CoatInput top = bond;
  top.PassCount = 1;
  top.PassThickness = 40e-6;
  state.Input.Coats = {bond, top};
  ResolveMaterials();
  const CalibrationRecord record = RecordOf(With({{"coat2.SigmaQ", 3e7}}), 0.05, 3);
  const FitResult result = FitRecord(state, record, Fitting({"coat2.SigmaQ"}));
  EXPECT_EQ(result.Start[0], state.Materials.Coating.SigmaQ);
  EXPECT_NEAR(result.Value[0], 3e7, 1e-6 * 3e7) << result.Termination;
  const FittedMaterials fitted = FitMaterials(state, result, "r.csv");
  ASSERT_EQ(fitted.Rows.size(), 1u);
  EXPECT_EQ(std::tie(fitted.Rows[0].Row.Name, fitted.Rows[0].Row.SigmaQ,
                     fitted.Inputs.Coats[1].Material, fitted.Inputs.Coats[0].Material),
            std::tuple("NiCrAlY (ajusté, couche 2)", result.Value[0], "NiCrAlY (ajusté, couche 2)",
                       "NiCrAlY"));
  EXPECT_THAT(
      [&] { FitRecord(state, record, Fitting({"coat3.dilat"})); },
      ThrowsMessage<FitSettingsError>(HasSubstr("\"coat3.dilat\": the case lists 2 coats")));
  // A figure the row gives against temperature is not one number to fit.
  state.Materials.LaterCoats[0].Tables.SigmaQ = {{400, 1e8}, {700, 5e7}};
  EXPECT_THAT([&] { FitRecord(state, record, Fitting({"coat2.SigmaQ"})); },
              ThrowsMessage<FitSettingsError>(
                  HasSubstr("\"coat2.SigmaQ\": \"NiCrAlY\" gives it against temperature")));
}

TEST(FitSettingsTest, EveryNameAndBoundIsCheckedByTheTableAndEachEntryReadWhole) {
  const struct {
    const char* name;
    double low;
    double high;
    FaultKind kind;
    const char* message;
  } cases[] = {
      {"coating.Lambda", NAN, NAN, FaultKind::NotFittable,
       "\"coating.Lambda\" cannot be fitted; choose among coating.SigmaQ, coating.ModuleYoung, "
       "coating.dilat, HeatFlux and contact.Lambda (and coat2.SigmaQ, coat2.ModuleYoung, "
       "coat2.dilat for a later coat)."},
      {"coating.SigmaQ", 2e8, 1e8, FaultKind::BoundsReversed,
       "coating.SigmaQ: the bounds 2e+08 to 1e+08 are reversed or empty."},
      {"coating.ModuleYoung", 1, 1e11, FaultKind::BoundsBeyond,
       "coating.ModuleYoung: the bounds 1 to 1e+11 go beyond the allowed 1000 to 1e+13."},
  };
  for (const auto& c : cases) {
    try {
      RequireFitParameter(c.name, c.low, c.high);
      ADD_FAILURE() << "accepted: " << c.name;
    } catch (const FitSettingsError& error) {
      EXPECT_EQ(error.Fault().Kind, c.kind) << c.name;
      EXPECT_EQ(std::string(error.what()).rfind(c.message, 0), 0u) << error.what();
    }
  }
  // A fit refuses a parameter made by hand that the table would not make.
  FitSettings settings;
  settings.Parameters = {{"coating.Poisson", 0, 0.5}};
  EXPECT_THROW(FitRecord(ModelState{}, CalibrationRecord{}, settings), FitSettingsError);
  // --fit-bounds entries are NAME=LOW:HIGH (their values are compared with the fit window's in
  // tests/session); others are refused naming the entry.
  for (const std::string bounds : {"coating.SigmaQ1e7:5e8", "coating.SigmaQ=1e7"}) {
    cli::FitCommand command;
    command.Parameters = "coating.SigmaQ";
    command.Bounds = bounds;
    EXPECT_THAT([&] { cli::ReadFitSettings(command); },
                ThrowsMessage<RecordError>(
                    ::testing::StrEq("--fit-bounds: \"" + bounds + "\" is not NAME=LOW:HIGH.")));
  }
}

}  // namespace
}  // namespace quillane::fit
