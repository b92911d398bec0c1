// Calibration: records of the model itself are fitted back to the figures that made them, the
// noise of a record shows in the standard errors, and bad records and settings are refused with
// their line.

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "ModelFixture.h"
#include "cli/BatchProgram.h"
#include "fit/Calibration.h"
#include "fit/CalibrationOutput.h"
#include "fit/FitModel.h"
#include "fit/FittedMaterials.h"
#include "format/NumberFormat.h"
#include "io/CaseFile.h"
#include "model/Errors.h"
#include "run/QuantityTable.h"

namespace quillane::fit {
namespace {

class BackFace : public NullSink {
 public:
  void ThermalRow(const ThermalRecord& record, bool) override {
    time.push_back(record.Time);
    temperature.push_back(record.Temperature[0]);
  }
  std::vector<double> time;
  std::vector<double> temperature;
};

class CalibrationTest : public test::ModelFixture {
 protected:
  void SetUp() override {
    ModelFixture::SetUp();
    ReadCaseFile(test::DataDir() / "p1" / "case.json", state.Input);
    ResolveMaterials();
  }

  // What a sensor would have recorded of a run with these figures, every 0.05 s to 12 s (the run
  // ends at 9 s), with seeded Gaussian noise of the given deviations.
  CalibrationRecord RecordOf(const std::map<std::string, double>& figures, double end = 12,
                             double curvatureNoise = 0, double temperatureNoise = 0) {
    ModelState truth = state;
    for (const auto& [name, value] : figures) Quantity(name).Set(truth, value);
    BackFace back;
    RunSimulation(truth, back);
    std::mt19937_64 engine(20261206);
    std::normal_distribution<double> gauss;
    CalibrationRecord record;
    for (double t = 0.05; t <= end; t += 0.05) {
      int k = 0;
      while (k < truth.Clock.LamellaCount && truth.Stress.LamellaTime(k + 1) <= t) ++k;
      const double curvature =
          t > truth.Clock.ElapsedTime ? truth.Stress.FinalCurvature : truth.Stress.Curvature(k);
      std::size_t j = 0;
      while (j + 1 < back.time.size() && back.time[j + 1] < t) ++j;
      const double f =
          j + 1 < back.time.size() && back.time[j + 1] > back.time[j]
              ? std::clamp((t - back.time[j]) / (back.time[j + 1] - back.time[j]), 0.0, 1.0)
              : 0;
      const double temperature =
          j + 1 < back.time.size()
              ? back.temperature[j] + (back.temperature[j + 1] - back.temperature[j]) * f
              : back.temperature.back();
      record.Time.push_back(t);
      record.Curvature.push_back(curvature + curvatureNoise * gauss(engine));
      record.Temperature.push_back(temperature + temperatureNoise * gauss(engine));
    }
    return record;
  }

  FitSettings Fitting(const std::vector<std::string>& names) {
    FitSettings settings;
    for (const std::string& name : names) settings.Parameters.push_back(RequireFitParameter(name));
    return settings;
  }
};

TEST_F(CalibrationTest, RecordsOfTheModelGiveBackTheirFigures) {
  const struct {
    std::map<std::string, double> truth;
  } cases[] = {
      {{{"coating.SigmaQ", 1.5e8}, {"coating.ModuleYoung", 9e10}}},
      {{{"HeatFlux", 8e5}}},
  };
  for (const auto& c : cases) {
    std::vector<const char*> names;
    for (const auto& item : c.truth) names.push_back(item.first.c_str());
    FitSettings settings;
    for (const char* name : names)
      settings.Parameters.push_back(RequireFitParameter(name, NAN, NAN));
    const CalibrationRecord record = RecordOf(c.truth);
    const FitResult result = FitRecord(state, record, settings);
    for (std::size_t j = 0; j < result.Names.size(); ++j) {
      const double expected = c.truth.at(result.Names[j]);
      EXPECT_NE(result.Start[j], expected);
      EXPECT_NEAR(result.Value[j] / expected, 1, 1e-6)
          << result.Names[j] << ": " << result.Termination;
    }
    EXPECT_TRUE(result.Notes.empty()) << English(result.Notes.front());
    EXPECT_LT(result.CurvatureRms, 1e-9);
    // The plotted model steps through the value it has at every record time.
    for (std::size_t i = 0; i < result.ModelCurvature.size(); ++i) {
      const double t = record.Time[i];
      std::size_t k = 0;
      while (k + 1 < result.CurveTime.size() && result.CurveTime[k + 1] <= t) ++k;
      EXPECT_EQ(result.CurveCurvature[k], result.ModelCurvature[i]) << "at " << t << " s";
    }
  }
}

TEST_F(CalibrationTest, NoisyRecordsGiveTheirFiguresWithinTwoStandardErrors) {
  const std::map<std::string, double> truth = {{"coating.SigmaQ", 1.5e8},
                                               {"coating.ModuleYoung", 9e10}};
  const CalibrationRecord noisy = RecordOf(truth, 12, 2e-5, 0);
  FitSettings given = Fitting({"coating.SigmaQ", "coating.ModuleYoung"});
  given.CurvatureNoise = 2e-5;
  // The noise estimated from the residuals, then the noise the user gives.
  for (const FitSettings& settings : {Fitting({"coating.SigmaQ", "coating.ModuleYoung"}), given}) {
    const FitResult result = FitRecord(state, noisy, settings);
    for (std::size_t j = 0; j < 2; ++j) {
      EXPECT_GT(result.StandardError[j], 0);
      EXPECT_LE(std::fabs(result.Value[j] - truth.at(result.Names[j])), 2 * result.StandardError[j])
          << result.Names[j] << " " << result.Value[j] << " ± " << result.StandardError[j];
    }
    EXPECT_NEAR(result.CurvatureNoise / 2e-5, 1, settings.CurvatureNoise > 0 ? 0 : 0.15);
    EXPECT_NEAR(result.Correlation[0][1], result.Correlation[1][0], 1e-12);
  }
}

TEST_F(CalibrationTest, NarrowerBoundsHoldTheFit) {
  // The record wants 1.5e8; bounds below that keep the figure at the upper one.
  FitSettings settings;
  settings.Parameters = {RequireFitParameter("coating.SigmaQ", 5e7, 1.2e8)};
  const FitResult result = FitRecord(state, RecordOf({{"coating.SigmaQ", 1.5e8}}), settings);
  EXPECT_DOUBLE_EQ(result.Value[0], 1.2e8);
  settings.Parameters = {RequireFitParameter("coating.SigmaQ", 1.6e8, NAN)};
  EXPECT_DOUBLE_EQ(FitRecord(state, RecordOf({{"coating.SigmaQ", 1.5e8}}), settings).Value[0],
                   1.6e8);
}

TEST_F(CalibrationTest, TheRobustLossKeepsOutliersFromPullingTheFit) {
  CalibrationRecord record = RecordOf({{"coating.SigmaQ", 1.5e8}}, 12, 2e-5, 0);
  // A few readings of a disturbed sensor, far above the others after the run.
  for (const std::size_t i : {190, 200, 210, 220, 230}) record.Curvature[i] += 5e-3;
  FitSettings settings = Fitting({"coating.SigmaQ"});
  const double plain = FitRecord(state, record, settings).Value[0];
  settings.Robust = true;
  const double robust = FitRecord(state, record, settings).Value[0];
  EXPECT_LT(3 * std::fabs(robust / 1.5e8 - 1), std::fabs(plain / 1.5e8 - 1))
      << "plain " << plain << ", robust " << robust;
}

TEST_F(CalibrationTest, AFigureTheRecordCannotSeeIsToldInPlainWords) {
  // The expansion acts only in the final cooling, after this record ends.
  const FitResult result = FitRecord(state, RecordOf({{"coating.SigmaQ", 1.5e8}}, 8),
                                     Fitting({"coating.SigmaQ", "coating.dilat"}));
  ASSERT_EQ(result.Notes.size(), 1u);
  EXPECT_EQ(result.Notes[0].Kind, NoteKind::Undetermined);
  EXPECT_EQ(result.Notes[0].Parameter, "coating.dilat");
  EXPECT_EQ(result.Notes[0].Value, result.Value[1]);
  // fit.json tells it in English.
  const auto json = nlohmann::json::parse(FitJson(result));
  EXPECT_EQ(json["notes"], nlohmann::json::array({English(result.Notes[0])}));
  // The quenching stress is still found, with its standard error.
  EXPECT_NEAR(result.Value[0] / 1.5e8, 1, 1e-6);
  EXPECT_TRUE(std::isfinite(result.StandardError[0]));
  EXPECT_TRUE(std::isnan(result.StandardError[1]));
}

TEST(CalibrationRecordTest, BadRecordsAreRefusedWithTheirLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"0.1,0.2\n0.2,0.3\n", "r.csv, line 1: the header must name"},
      {"time,temperature\n0,300\n1,301\n", "line 1: the header must name"},
      {"time,curvature\n0,0.1\n1,0.2\n1,0.3\n", "line 4: time 1 s does not come after"},
      {"time,curvature\n0,nan\n1,0.2\n", "line 2: curvature \"nan\" is not a finite number"},
      {"time,curvature\n0,0.1\n", "at least two rows"},
      {"time,curvature\n0,0.1,5\n", "line 2: 3 fields where the header names 2"},
      {"", "the record is empty"},
  };
  for (const auto& c : cases) {
    try {
      ReadRecordText(c.text, "r.csv");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const RecordError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
  const CalibrationRecord record =
      ReadRecordText("# sensor 3\n\nTime; Curvature; Temperature\n0,5;0,1;300\n1;2e-1;\n", "r.csv");
  EXPECT_EQ(record.Time, (std::vector<double>{0.5, 1}));
  EXPECT_EQ(record.Curvature, (std::vector<double>{0.1, 0.2}));
  EXPECT_EQ(record.Temperature[0], 300);
  EXPECT_TRUE(std::isnan(record.Temperature[1]));
}

TEST_F(CalibrationTest, TheBatchProgramWritesAFittedCaseThatRunsAsItIs) {
  const CalibrationRecord record = RecordOf({{"coating.SigmaQ", 1.5e8}});
  std::string csv = "time;curvature\n";
  for (std::size_t i = 0; i < record.Time.size(); ++i) {
    csv += format::FormatShortest(record.Time[i]) + ";" +
           format::FormatShortest(record.Curvature[i]) + "\n";
  }
  test::WriteFile(dir / "record.csv", csv);
  std::ostringstream out;
  std::ostringstream err;
  const std::string casePath = (test::DataDir() / "p1" / "case.json").string();
  ASSERT_EQ(cli::RunBatch({casePath, "--catalogue", (dir / "p1.db").string(), "--fit",
                           (dir / "record.csv").string(), "--fit-params", "coating.SigmaQ", "--out",
                           (dir / "fit").string(), "-q"},
                          out, err),
            0)
      << err.str();
  const auto fit = nlohmann::json::parse(test::ReadFile(dir / "fit" / "fit.json"));
  EXPECT_NEAR(fit["parameters"]["coating.SigmaQ"]["value"].get<double>() / 1.5e8, 1, 1e-6);
  EXPECT_TRUE(fit["rms"]["temperature"].is_null());
  EXPECT_NE(test::ReadFile(dir / "fit" / "overlay.svg").find("<svg"), std::string::npos);
  // The fitted case names its catalogue copy; run without --catalogue, it ends where the
  // record does.
  ASSERT_EQ(cli::RunBatch({(dir / "fit" / "fitted_case.json").string(), "--summary",
                           (dir / "s.json").string(), "--thermal", (dir / "t.txt").string(),
                           "--stress", (dir / "st.txt").string(), "-q"},
                          out, err),
            0)
      << err.str();
  const auto summary = nlohmann::json::parse(test::ReadFile(dir / "s.json"));
  EXPECT_NEAR(summary["FinalCurvature"].get<double>(), record.Curvature.back(), 1e-12);
}

TEST(FitNoteTest, NotesAreToldInEnglishFromTheirData) {
  const struct {
    FitNote note;
    const char* english;
  } cases[] = {
      {{NoteKind::Undetermined, "coating.dilat", 1.25e-05, NAN},
       "coating.dilat cannot be determined from this record: the model's curvature and "
       "temperature do not change with it, or only together with another figure (the covariance "
       "is singular). It was left at 1.25e-05."},
      {{NoteKind::LargeError, "HeatFlux", 500000, 700000.5},
       "HeatFlux is not determined by this record: its standard error (700000.5) exceeds its "
       "value (5e+05)."},
  };
  for (const auto& c : cases) EXPECT_EQ(English(c.note), c.english);
}

TEST_F(CalibrationTest, ACancelledFitRunsNoModelAfterwards) {
  const CalibrationRecord record = RecordOf({{"coating.SigmaQ", 1.5e8}, {"HeatFlux", 8e5}});
  const struct {
    std::vector<std::string> figures;
    bool byToken;  // a stop asked of the token; otherwise the progress answers false
  } cases[] = {
      {{"coating.SigmaQ"}, false},
      {{"coating.SigmaQ"}, true},
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
    EXPECT_TRUE(result.Cancelled) << c.figures[0];
    EXPECT_GT(runsAtStop, 1) << c.figures[0];
    EXPECT_EQ(result.ModelRuns, runsAtStop) << c.figures[0];
    EXPECT_TRUE(result.CurveTime.empty()) << c.figures[0];
  }
  // A stop asked before the fit starts runs nothing at all.
  std::stop_source stop;
  stop.request_stop();
  const FitResult result = FitRecord(state, record, Fitting({"HeatFlux"}), {}, stop.get_token());
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(result.ModelRuns, 0);
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
      {{"coating.SigmaQ"}, {1.5e8}, {coating}, NAN},
      {{"HeatFlux"}, {8e5}, {}, 8e5},
      {{"contact.Lambda", "coating.SigmaQ", "HeatFlux"},
       {5000, 1.5e8, 8e5},
       {coating, contact},
       8e5},
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
    EXPECT_TRUE(fitted.Faults.empty());
    EXPECT_EQ(fitted.HeatFlux.has_value(), !std::isnan(c.heatFlux));
    EXPECT_EQ(fitted.Inputs.HeatFlux, std::isnan(c.heatFlux) ? state.Input.HeatFlux : c.heatFlux);
    EXPECT_EQ(fitted.Inputs.CoatingMaterialName,
              fitted.CoatingName.empty() ? state.Input.CoatingMaterialName : fitted.CoatingName);

    // The batch program's fitted.db holds those rows over the whole catalogue, and the fitted
    // case picks them.
    const std::filesystem::path out = dir / ("case" + std::to_string(&c - cases));
    std::filesystem::create_directories(out);
    WriteFittedCase(out, state, catalogue, result, "record.csv");
    InputParameters read;
    ReadCaseFile(out / "fitted_case.json", read);
    EXPECT_EQ(read.CoatingMaterialName, fitted.Inputs.CoatingMaterialName);
    EXPECT_EQ(read.HeatFlux, fitted.Inputs.HeatFlux);
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
  EXPECT_EQ(FitMaterials(state, beyond, "r.csv").Faults.size(), 1u);
  EXPECT_THROW(WriteFittedCase(dir / "beyond", state, catalogue, beyond, "r.csv"), InputError);
}

TEST(FitSettingsTest, EveryNameAndBoundIsCheckedByTheTable) {
  const struct {
    const char* name;
    double low;
    double high;
    FaultKind kind;
    const char* message;
  } cases[] = {
      {"coating.Lambda", NAN, NAN, FaultKind::NotFittable,
       "\"coating.Lambda\" cannot be fitted; choose among coating.SigmaQ, coating.ModuleYoung, "
       "coating.dilat, HeatFlux and contact.Lambda."},
      {"nothing", NAN, NAN, FaultKind::NotFittable, "\"nothing\" cannot be fitted"},
      {"coating.SigmaQ", 2e8, 1e8, FaultKind::BoundsReversed,
       "coating.SigmaQ: the bounds 2e+08 to 1e+08 are reversed or empty."},
      {"HeatFlux", NAN, -1, FaultKind::BoundsReversed, "HeatFlux: the bounds 0 to -1 are"},
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
}

}  // namespace
}  // namespace quillane::fit
