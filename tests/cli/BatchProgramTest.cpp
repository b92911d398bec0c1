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

class BatchProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::BuildDatabase(test::DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
  }
  // Runs the program in the temporary folder with the small catalogue and both result paths.
  int Run(std::vector<std::string> args) {
    args.insert(args.end(), {"--catalogue", (dir / "p1.db").string(), "--thermal",
                             (dir / "thermique.txt").string(), "--stress",
                             (dir / "stress.txt").string(), "--quiet"});
    out.str("");
    err.str("");
    return RunBatch(args, out, err);
  }
  bool Exists(const std::string& name) { return std::filesystem::exists(dir / name); }

  test::TempDir dir;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(BatchProgramTest, ReferenceCaseWithSummaryAndPictures) {
  const auto reference = test::DataDir() / "p1";
  ASSERT_EQ(Run({(reference / "case.json").string(), "--summary", (dir / "summary.json").string(),
                 "--plots", (dir / "plots").string()}),
            0)
      << err.str();
  EXPECT_TRUE(test::ReadFile(dir / "thermique.txt") == test::ReadFile(reference / "thermique.txt"));
  EXPECT_EQ(test::ReadFile(dir / "stress.txt"), test::ReadFile(reference / "stress.txt"));
  const auto summary = nlohmann::json::parse(test::ReadFile(dir / "summary.json"));
  EXPECT_EQ(summary["ThermalRowCount"], 1496);
  EXPECT_EQ(summary["LamellaStressFinal"].size(), 5u);
  for (const char* name : {"building_global.svg", "building_zoom.svg", "cooling_global.svg",
                           "cooling_zoom.svg", "arrow.svg"}) {
    EXPECT_NE(test::ReadFile(dir / "plots" / name).find("<svg"), std::string::npos) << name;
  }
  EXPECT_TRUE(err.str().empty()) << err.str();
}

TEST_F(BatchProgramTest, FlagsOverrideTheCaseInTheUnitsOfTheWindow) {
  test::WriteFile(dir / "case.json",
                  R"({"PassCount": 3, "PassThickness": 2e-6, "SubstrateMaterialName": "NiCrAlY"})");
  ASSERT_EQ(
      Run({(dir / "case.json").string(), "--passes", "1", "--pass-thickness", "3.5", "--substrate",
           "Acier 316L", "--heat-flux", "250", "--summary", (dir / "s.json").string()}),
      0)
      << err.str();
  const auto summary = nlohmann::json::parse(test::ReadFile(dir / "s.json"));
  EXPECT_EQ(summary["LamellaCount"], 4) << "3.5 µm in 1 µm lamellae";
  EXPECT_NEAR(summary["ElapsedTime"].get<double>(), 4.5, 1e-8) << "one pass";
}

TEST_F(BatchProgramTest, HelpListsEveryFlagWithItsUnitAndDefault) {
  ASSERT_EQ(RunBatch({"--help"}, out, err), 0);
  const std::string help = out.str();
  // Defaults in the unit the flag is typed in.
  for (const char* text :
       {"kW/m² (default 500;", "mm (default 2;", "µm (default 1;", "1/m (default 0;", "--summary",
        "--plots", "--list-materials", "HeatFlux: 0 to 10000000000 W/m²"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
  for (const auto& input : InputTable()) {
    EXPECT_NE(help.find(std::string(input.Flag) + " "), std::string::npos) << input.Flag;
    EXPECT_NE(help.find(std::string("case key ") + input.Key + ")"), std::string::npos)
        << input.Key;
  }
  ASSERT_EQ(Run({"--list-materials"}), 0);
  EXPECT_NE(out.str().find("NiCrAlY"), std::string::npos);
  EXPECT_NE(out.str().find("contact"), std::string::npos);
}

TEST_F(BatchProgramTest, EveryFaultIsToldOnceAndChangesNoFile) {
  test::WriteFile(dir / "thermique.txt", "earlier");
  test::WriteFile(dir / "bad.json", R"({"PassCount": 2, "HeatFlux": "lots"})");
  test::WriteFile(dir / "unknown.json", R"({"Passes": 2})");
  test::WriteFile(dir / "broken.json", R"({"PassCount": )");
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--coating", "Unobtainium"}, "\"Unobtainium\" is not in the catalogue"},
      {{"--coating", "x' OR '1'='1"}, "is not in the catalogue"},
      {{"--heat-flux", "abc"}, "--heat-flux: \"abc\" is not a number"},
      {{"--heat-flux", ""}, "--heat-flux: \"\" is not a number"},
      {{"--passes", "2.5"}, "not a whole number"},
      {{"--passes", "40000"}, "PassCount"},
      {{"--lamella-thickness", "0"}, "LamellaThickness"},
      {{"--substrate-temperature", "-5"}, "SubstrateTemperature"},
      {{"--pass-period", "1e308"}, "PassPeriod"},
      {{"--curvature", "40", "--specimen-length", "0.08"}, "cannot bend more than"},
      {{"--pass-thickness", "40000", "--lamella-thickness", "1"}, "fewer than 32767 lamellae"},
      {{(dir / "bad.json").string()}, "\"HeatFlux\" must be a number"},
      {{(dir / "unknown.json").string()}, "unknown key \"Passes\""},
      {{(dir / "broken.json").string()}, "not a valid JSON case file"},
      {{(dir / "missing.json").string()}, "Cannot read the case file"},
      // Found by the case-file fuzzer: told without naming the file.
      {{(test::DataDir() / "reliability" / "case_number_overflow.json").string()},
       "case_number_overflow.json: a number is beyond the range of a double"},
      {{"--summary", dir.Path().string()}, "is a directory"},
      {{"--summary", (dir / "no" / "such" / "s.json").string()}, "Cannot create"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.args), 1) << c.message;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_EQ(test::ReadFile(dir / "thermique.txt"), "earlier") << c.message;
    EXPECT_FALSE(Exists("stress.txt")) << c.message;
  }
  EXPECT_EQ(Run({"--no-such-flag"}), 2);
  EXPECT_EQ(RunBatch({"--catalogue", (dir / "none.db").string()}, out, err), 1);
  EXPECT_NE(err.str().find("none.db"), std::string::npos) << err.str();
}

TEST_F(BatchProgramTest, UnwritableResultFolderKeepsEarlierFiles) {
  test::WriteFile(dir / "stress.txt", "earlier stress");
  std::vector<std::string> args = {"--catalogue", (dir / "p1.db").string(),
                                   "--thermal",   (dir / "missing" / "t.txt").string(),
                                   "--stress",    (dir / "stress.txt").string()};
  EXPECT_EQ(RunBatch(args, out, err), 1);
  EXPECT_NE(err.str().find("missing/t.txt"), std::string::npos) << err.str();
  EXPECT_EQ(test::ReadFile(dir / "stress.txt"), "earlier stress");
  args[3] = "/dev/full";
  EXPECT_EQ(RunBatch(args, out, err), 1);
  EXPECT_EQ(test::ReadFile(dir / "stress.txt"), "earlier stress");
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
  const ResultPaths paths{(dir / "t.txt").string(), (dir / "s.txt").string()};
  std::ostringstream quiet;
  EveryFrameOutput output(quiet, false);
  ExecuteRun(state, &catalogue, paths, output);
  EXPECT_GT(state.Clock.LamellaCount, 3);
  EXPECT_EQ(graphics::RenderSvg(output.Surfaces().BuildingPicture1),
            graphics::RenderSvg(output.every.BuildingPicture1));
  EXPECT_EQ(graphics::RenderSvg(output.Surfaces().BuildingPicture2),
            graphics::RenderSvg(output.every.BuildingPicture2));
}

}  // namespace
}  // namespace quillane::cli
