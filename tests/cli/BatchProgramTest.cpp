// The batch program in-process: the reference case, flags over a case file and the help. Its faults
// are tested in tests/reliability.

#include "cli/BatchProgram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ModelFixture.h"
#include "cli/BatchOutput.h"
#include "graphics/StressViews.h"
#include "graphics/SvgWriter.h"
#include "model/InputTable.h"
#include "run/RunSimulation.h"

namespace quillane::cli {
namespace {

using nlohmann::json;

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
  // Runs with the small catalogue and both result files in the folder.
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
  // Beyond the reference's keys: the times the lamellae of the first pass are laid.
  EXPECT_EQ(summary.size(), expected.size() + 1);
  EXPECT_EQ(summary["LamellaTime"],
            json({0.0, 0.500000001, 0.6250000009999996, 0.7500000009999993, 0.875000000999999}));
  for (const char* line :
       {"Lamellae per pass                 4 (2 passes)",
        "Final curvature                   0.197384 1/m",
        "Final deflection                  88.823 µm", "back face -0.602 MPa, interface 1.202 MPa",
        "Lamella stresses after cooling    -187.679 to -187.379 MPa"}) {
    EXPECT_NE(out.str().find(line), std::string::npos) << line << "\n" << out.str();
  }
  for (const char* name : {"building_global.svg", "building_zoom.svg", "cooling_global.svg",
                           "cooling_zoom.svg", "arrow.svg"}) {
    EXPECT_NE(test::ReadFile(dir / "plots" / name).find("<svg"), std::string::npos) << name;
  }
  EXPECT_TRUE(err.str().empty()) << err.str();

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

TEST_F(BatchProgramTest, HelpListsEveryFlagWithItsUnitAndDefault) {
  ASSERT_EQ(RunBatch({"--help"}, out, err), 0);
  const std::string help = out.str();
  for (const char* text :
       {"kW/m² (default 500;", "mm (default 2;", "µm (default 1;", "1/m (default 0;", "--summary",
        "--plots", "--list-materials", "HeatFlux: 0 to 10000000000 W/m²"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
  for (const auto& input : InputTable()) {
    EXPECT_NE(help.find(std::string(input.Flag) + " "), std::string::npos) << input.Flag;
    EXPECT_NE(help.find(std::string("case key ") + input.Key + ")"), std::string::npos);
  }
  EXPECT_EQ(Run({"--no-such-flag"}), 2);
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

}  // namespace
}  // namespace quillane::cli
