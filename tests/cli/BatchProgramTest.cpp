// The batch program in-process: the reference case, flags over a case file and the help. Its faults
// are tested in tests/reliability.

#include "cli/BatchProgram.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ModelFixture.h"
#include "cli/BatchOutput.h"
#include "format/NumberFormat.h"
#include "graphics/StressViews.h"
#include "graphics/SvgWriter.h"
#include "run/RunSimulation.h"
#include "stress/DeflectionHistory.h"

namespace quillane::cli {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;

// Every number as the reference summary has it, to 1e-12.
void ExpectClose(const json& actual, const json& expected, const std::string& path) {
  if (!expected.is_array()) {
    const double e = expected.get<double>();
    EXPECT_NEAR(actual.get<double>(), e, 1e-12 * std::max(1.0, std::fabs(e))) << path;
    return;
  }
  ASSERT_TRUE(actual.is_array() && actual.size() == expected.size()) << path;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ExpectClose(actual[i], expected[i], path + "[" + std::to_string(i) + "]");
  }
}

class BatchProgramTest : public test::ModelFixture {
 protected:
  int Run(std::vector<std::string> args, bool quiet = true) {
    args.insert(args.end(), {"--catalogue", Path("p1.db"), "--thermal", Path("thermique.txt"),
                             "--stress", Path("stress.txt")});
    if (quiet) args.push_back("--quiet");
    out.str("");
    err.str("");
    return RunBatch(args, out, err);
  }
  std::string Path(const std::string& name) const { return (dir / name).string(); }

  std::ostringstream out;
  std::ostringstream err;
};

// The independently computed case: both result files byte for byte, every number of the
// summary to 1e-12, the printed summary in engineering units, and the pictures.
TEST_F(BatchProgramTest, ReferenceCaseWithSummaryAndPictures) {
  const auto reference = test::DataDir() / "p1";
  ASSERT_EQ(Run({(reference / "case.json").string(), "--summary", Path("summary.json"), "--plots",
                 Path("plots")},
                false),
            0)
      << err.str();
  EXPECT_TRUE(test::ReadFile(dir / "thermique.txt") == test::ReadFile(reference / "thermique.txt"));
  EXPECT_EQ(test::ReadFile(dir / "stress.txt"), test::ReadFile(reference / "stress.txt"));
  const json expected = json::parse(test::ReadFile(reference / "summary.json"));
  const json summary = json::parse(test::ReadFile(dir / "summary.json"));
  for (const auto& [key, value] : expected.items()) {
    ASSERT_TRUE(summary.contains(key)) << key;
    ExpectClose(summary[key], value, key);
  }
  // Beyond the reference's keys: the times the lamellae of the first pass are laid, the stress
  // model and the room temperature (their values: the whole-deposit test), the thickness of the
  // deposit stressed (one pass), and the hottest back face and interface.
  EXPECT_EQ(summary.size(), expected.size() + 6);
  EXPECT_EQ(summary["LamellaTime"],
            json({0.0, 0.500000001, 0.6250000009999996, 0.7500000009999993, 0.875000000999999}));
  EXPECT_DOUBLE_EQ(summary["CoatingThickness"].get<double>(), 4e-6);
  // The peaks are the highest of the thermal rows' back-face and interface columns (written to
  // 0.01 K); the stress table after the rows has two columns.
  double back = 0, interface = 0;
  for (const std::string& line : test::Lines(test::ReadFile(reference / "thermique.txt"))) {
    if (std::count(line.begin(), line.end(), '\t') < 10) continue;
    double time = 0, node1 = 0, node2 = 0;
    std::istringstream(line) >> time >> node1 >> node2;
    back = std::max(back, node1);
    interface = std::max(interface, node2);
  }
  EXPECT_NEAR(summary["PeakSubstrateTemperature"].get<double>(), back, 0.005);
  EXPECT_NEAR(summary["PeakInterfaceTemperature"].get<double>(), interface, 0.005);
  EXPECT_GT(interface, back);
  for (const char* line :
       {"Lamellae per pass                 4 (2 passes)",
        "Final curvature                   0.197384 1/m",
        "Final deflection                  88.823 µm", "back face -0.602 MPa, interface 1.202 MPa",
        "Lamella stresses after cooling    -187.679 to -187.379 MPa"}) {
    EXPECT_NE(out.str().find(line), std::string::npos) << line << "\n" << out.str();
  }
  // Each picture in both forms by default, in the one asked for otherwise.
  ASSERT_EQ(
      Run({(reference / "case.json").string(), "--plots", Path("svg"), "--plots-format", "svg"}), 0)
      << err.str();
  for (const char* name :
       {"building_global", "building_zoom", "cooling_global", "cooling_zoom", "arrow"}) {
    const std::string stem = name;
    EXPECT_NE(test::ReadFile(dir / "plots" / (stem + ".svg")).find("<svg"), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir / "plots" / (stem + ".png")).substr(1, 3), "PNG") << name;
    EXPECT_TRUE(std::filesystem::exists(dir / "svg" / (stem + ".svg"))) << name;
    EXPECT_FALSE(std::filesystem::exists(dir / "svg" / (stem + ".png"))) << name;
  }
  EXPECT_TRUE(err.str().empty()) << err.str();
  EXPECT_EQ(
      Run({(reference / "case.json").string(), "--plots", Path("p"), "--plots-format", "gif"}), 2);
  EXPECT_THAT(err.str(), HasSubstr("\"gif\" is not svg, png or svg,png"));

  // Flags override the case, in the units of the window.
  test::WriteFile(dir / "case.json",
                  R"({"PassCount": 3, "PassThickness": 2e-6, "SubstrateMaterialName": "NiCrAlY"})");
  ASSERT_EQ(Run({Path("case.json"), "--passes", "1", "--pass-thickness", "3.5", "--substrate",
                 "Acier 316L", "--heat-flux", "250", "--summary", Path("s.json")}),
            0)
      << err.str();
  const json flagged = json::parse(test::ReadFile(dir / "s.json"));
  EXPECT_EQ(flagged["LamellaCount"], 4) << "3.5 µm in 1 µm lamellae";
  EXPECT_NEAR(flagged["ElapsedTime"].get<double>(), 4.5, 1e-8) << "one pass";
}

// The whole-deposit model over the reference case: its history file and its summary keys; the
// one-pass model keeps no history (a model's name is checked with the other inputs).
TEST_F(BatchProgramTest, TheWholeDepositWritesItsHistoryAndSummary) {
  const auto reference = test::DataDir() / "p1" / "case.json";
  ASSERT_EQ(Run({reference.string(), "--stress-model", "whole-deposit", "--room-temperature", "300",
                 "--history", Path("history.csv"), "--summary", Path("summary.json")}),
            0)
      << err.str();
  const json summary = json::parse(test::ReadFile(dir / "summary.json"));
  // Two passes of three lamellae.
  EXPECT_EQ(std::tuple(summary["StressModel"], summary["RoomTemperature"], summary["LamellaCount"],
                       summary["LamellaTime"].size(), summary["PassEndCurvature"].size()),
            std::tuple("whole-deposit", 300.0, 6, 7u, 2u));
  EXPECT_DOUBLE_EQ(summary["CoatingThickness"].get<double>(), 6e-6);
  EXPECT_GE(summary["PeakSurfaceTemperature"].get<double>(),
            summary["PeakInterfaceTemperature"].get<double>());

  const std::vector<std::string> lines = test::Lines(test::ReadFile(dir / "history.csv"));
  ASSERT_GT(lines.size(), 8u);
  EXPECT_EQ(lines[0],
            "time,event,back_temperature,top_substrate_temperature,curvature,deflection,"
            "surface_temperature");
  int lamellae = 0;
  double lastTime = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> fields;
    std::stringstream line(lines[i]);
    for (std::string field; std::getline(line, field, ',');) fields.push_back(field);
    ASSERT_EQ(fields.size(), 7u) << lines[i];
    const double time = std::stod(fields[0]);
    EXPECT_GE(time, lastTime) << lines[i];
    lastTime = time;
    lamellae += fields[1] == "lamella" ? 1 : 0;
    EXPECT_TRUE(fields[1] == "thermal" || fields[1] == "lamella" || i + 1 == lines.size());
    EXPECT_DOUBLE_EQ(std::stod(fields[5]), 0.06 * 0.06 * std::stod(fields[4]) / 8) << lines[i];
  }
  EXPECT_EQ(lamellae, 6);
  const std::string& last = lines.back();
  EXPECT_EQ(last.substr(last.find(',')),
            ",cooling,300,300," + format::FormatShortest(summary["FinalCurvature"]) + "," +
                format::FormatShortest(summary["FinalDeflection"]) + ",300");

  // Refused before any file is changed.
  const std::string thermal = test::ReadFile(dir / "thermique.txt");
  EXPECT_EQ(Run({reference.string(), "--history", Path("other.csv")}), 1);
  EXPECT_THAT(err.str(), HasSubstr("whole-deposit model only"));
  EXPECT_FALSE(std::filesystem::exists(dir / "other.csv"));
  EXPECT_EQ(test::ReadFile(dir / "thermique.txt"), thermal);
}

// The options' names and an unknown option's status 2 are checked against the man page
// (tests/package/check-man-pages.sh); here the units, defaults and ranges.
TEST_F(BatchProgramTest, HelpListsEveryFlagWithItsUnitAndDefault) {
  ASSERT_EQ(RunBatch({"--help"}, out, err), 0);
  for (const char* text : {"kW/m² (default 500;", "HeatFlux: 0 to 10000000000 W/m²",
                           "one-pass or whole-deposit (default one-pass;",
                           "StressModel: one-pass or whole-deposit."}) {
    EXPECT_THAT(out.str(), HasSubstr(text));
  }
}

// Drawing only the first and the last build-up frames gives the pictures of drawing them all.
class EveryFrameOutput : public BatchOutput {
 public:
  using BatchOutput::BatchOutput;
  void Frame(ModelState& state, StressFrame frame) override {
    if (frame == StressFrame::BuildUp) {
      graphics::DrawBuildUpView(state, every.BuildingPicture2, true);
      graphics::DrawBuildUpView(state, every.BuildingPicture1, false);
    }
    BatchOutput::Frame(state, frame);
  }
  graphics::StressSurfaces every;
};

TEST_F(BatchProgramTest, SkippedBuildUpFramesLeaveTheSamePictures) {
  state.Input.PassThickness = 6e-6;
  std::ostringstream quiet;
  EveryFrameOutput output(quiet, false);
  ExecuteRun(state, &catalogue, paths, output);
  EXPECT_GT(state.Clock.LamellaCount, 3);
  for (const auto picture :
       {&graphics::StressSurfaces::BuildingPicture1, &graphics::StressSurfaces::BuildingPicture2}) {
    EXPECT_EQ(graphics::RenderSvg(output.Surfaces().*picture),
              graphics::RenderSvg(output.every.*picture));
  }
}

// The batch program keeps only the points of the whole-deposit history that its picture draws:
// the picture, the history file and the deflection range are those of a run keeping every point,
// over passes of many points to a column of the picture.
TEST_F(BatchProgramTest, AHistoryKeptForItsPictureDrawsAsTheWholeHistory) {
  state.Input.StressModel = kWholeDepositModel;
  state.Input.PassCount = 24;
  state.Input.PassThickness = 25e-6;
  struct Kept {
    std::string picture, history;
    StressResults stress;
  };
  std::vector<Kept> kept;
  for (const bool whole : {true, false}) {
    ModelState run = state;
    std::ostringstream quiet;
    BatchOutput output(quiet, false);
    RunExtras extras;
    extras.WholeHistory = whole;
    paths.History = Path(whole ? "whole.csv" : "drawn.csv");
    ExecuteRun(run, &catalogue, paths, output, nullptr, extras);
    kept.push_back({graphics::RenderSvg(output.Surfaces().ArrowPicture1),
                    test::ReadFile(paths.History), run.Stress});
  }
  const StressResults& whole = kept[0].stress;
  const StressResults& drawn = kept[1].stress;
  EXPECT_GT(whole.History.size(), 8 * kHistoryColumns);
  EXPECT_LT(drawn.History.size(), whole.History.size() / 2);
  EXPECT_TRUE(std::tie(kept[0].picture, kept[0].history) ==
              std::tie(kept[1].picture, kept[1].history));
  EXPECT_EQ(std::tie(drawn.DeflectionAxisMin, drawn.DeflectionAxisMax),
            std::tie(whole.DeflectionAxisMin, whole.DeflectionAxisMax));
  ASSERT_EQ(drawn.PassEndPoints.size(), whole.PassEndPoints.size());
  for (std::size_t p = 0; p < whole.PassEndPoints.size(); ++p) {
    EXPECT_EQ(drawn.History[drawn.PassEndPoints[p] - 1].Event.Time,
              whole.History[whole.PassEndPoints[p] - 1].Event.Time);
  }
}

}  // namespace
}  // namespace quillane::cli
