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
#include "format/NumberFormat.h"
#include "io/CaseFile.h"

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
    for (const auto& [name, value] : figures) SetFitValue(truth, name, value);
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

  FitSettings Fitting(std::initializer_list<const char*> names) {
    FitSettings settings;
    for (const char* name : names) settings.Parameters.push_back(MakeFitParameter(name, NAN, NAN));
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
    for (const char* name : names) settings.Parameters.push_back(MakeFitParameter(name, NAN, NAN));
    const CalibrationRecord record = RecordOf(c.truth);
    const FitResult result = FitRecord(state, record, settings);
    for (std::size_t j = 0; j < result.Names.size(); ++j) {
      const double expected = c.truth.at(result.Names[j]);
      EXPECT_NE(result.Start[j], expected);
      EXPECT_NEAR(result.Value[j] / expected, 1, 1e-6)
          << result.Names[j] << ": " << result.Termination;
    }
    EXPECT_TRUE(result.Notes.empty()) << result.Notes.front();
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
  settings.Parameters = {MakeFitParameter("coating.SigmaQ", 5e7, 1.2e8)};
  const FitResult result = FitRecord(state, RecordOf({{"coating.SigmaQ", 1.5e8}}), settings);
  EXPECT_DOUBLE_EQ(result.Value[0], 1.2e8);
  settings.Parameters = {MakeFitParameter("coating.SigmaQ", 1.6e8, NAN)};
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
  EXPECT_EQ(result.Notes[0].rfind("coating.dilat cannot be determined from this record", 0), 0u)
      << result.Notes[0];
  // The quenching stress is still found, with its standard error.
  EXPECT_NEAR(result.Value[0] / 1.5e8, 1, 1e-6);
  EXPECT_TRUE(std::isfinite(result.StandardError[0]));
  EXPECT_TRUE(std::isnan(result.StandardError[1]));
}

TEST(CalibrationRecordTest, BadRecordsAndSettingsAreRefusedWithTheirLine) {
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

  const struct {
    const char* name;
    double low;
    double high;
    const char* message;
  } settings[] = {
      {"coating.Lambda", NAN, NAN, "cannot be fitted"},
      {"coating.SigmaQ", 2e8, 1e8, "reversed or empty"},
      {"coating.ModuleYoung", 1, 1e11, "go beyond the allowed"},
  };
  for (const auto& s : settings) {
    try {
      MakeFitParameter(s.name, s.low, s.high);
      ADD_FAILURE() << "accepted: " << s.name;
    } catch (const RecordError& error) {
      EXPECT_NE(std::string(error.what()).find(s.message), std::string::npos) << error.what();
    }
  }
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

}  // namespace
}  // namespace quillane::fit
