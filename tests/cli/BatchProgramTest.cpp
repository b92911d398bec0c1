// The batch program in-process: the reference case byte for byte, flags over a case file and the
// help. Its faults are tested in tests/reliability.

#include "cli/BatchProgram.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "TestSupport.h"
#include "cli/BatchOutput.h"
#include "graphics/StressViews.h"
#include "graphics/SvgWriter.h"
#include "model/InputTable.h"
#include "run/RunSimulation.h"

namespace quillane::cli {
namespace {

using nlohmann::json;

class BatchProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::BuildDatabase(test::DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
  }

  // Runs quietly with the small catalogue and both result files in the folder.
  int Run(std::vector<std::string> args) {
    args.insert(args.end(), {"--catalogue", Path("p1.db"), "--thermal", Path("thermique.txt"),
                             "--stress", Path("stress.txt"), "--quiet"});
    out.str("");
    err.str("");
    return RunBatch(args, out, err);
  }
  std::string Path(const std::string& name) const { return (dir / name).string(); }

  test::TempDir dir;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(BatchProgramTest, ReferenceCaseWithSummaryAndPictures) {
  const auto reference = test::DataDir() / "p1";
  ASSERT_EQ(Run({(reference / "case.json").string(), "--summary", Path("summary.json"), "--plots",
                 Path("plots")}),
            0)
      << err.str();
  EXPECT_TRUE(test::ReadFile(dir / "thermique.txt") == test::ReadFile(reference / "thermique.txt"));
  EXPECT_EQ(test::ReadFile(dir / "stress.txt"), test::ReadFile(reference / "stress.txt"));
  const json summary = json::parse(test::ReadFile(dir / "summary.json"));
  EXPECT_EQ(summary["ThermalRowCount"], 1496);
  EXPECT_EQ(summary["LamellaStressFinal"].size(), 5u);
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
  MaterialsCatalogue catalogue;
  catalogue.Open(dir / "p1.db");
  ModelState state;
  ApplyDefaults(state);
  state.Input.SubstrateMaterialName = "Acier 316L";
  state.Input.CoatingMaterialName = "NiCrAlY";
  state.Input.PassThickness = 6e-6;
  std::ostringstream quiet;
  EveryFrameOutput output(quiet, false);
  ExecuteRun(state, &catalogue, {Path("t.txt"), Path("s.txt")}, output);
  EXPECT_GT(state.Clock.LamellaCount, 3);
  for (const auto picture :
       {&graphics::StressSurfaces::BuildingPicture1, &graphics::StressSurfaces::BuildingPicture2}) {
    EXPECT_EQ(graphics::RenderSvg(output.Surfaces().*picture),
              graphics::RenderSvg(output.every.*picture));
  }
}

}  // namespace
}  // namespace quillane::cli
