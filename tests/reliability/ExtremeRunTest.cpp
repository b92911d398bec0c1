// Extreme but valid runs of the real program: long and wide runs, the thinnest and thickest
// substrates and a very strong torch. Each must finish, write no value that is not a number in
// any output, keep its memory bounded, and warn where the model leaves physical ground.
//
// The two long runs take seconds; under the sanitizers they are skipped when the environment
// sets QUILLANE_SANITIZE_BUILD, since they then take minutes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "ReliabilitySupport.h"
#include "TestSupport.h"

namespace quillane::test {
namespace {

bool SanitizerBuild() {
  return std::getenv("QUILLANE_SANITIZE_BUILD") != nullptr;
}

// AddressSanitizer adds its own memory (a tiny run peaks near 240 MB): a looser bound there.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kMemoryLimitKb = 1 << 20;
#else
constexpr long kMemoryLimitKb = 200 << 10;
#endif

class ExtremeRunTest : public ::testing::Test {
 protected:
  void SetUp() override { BuildCatalogue(ReferenceRows(), dir / "p1.db"); }

  // Runs the program with the inputs; checks that it ends well and that no output holds a
  // value that is not a number; returns the summary.
  nlohmann::json Run(std::vector<std::string> args) {
    args.insert(args.end(),
                {"--catalogue", (dir / "p1.db").string(), "--summary", "summary.json", "--quiet"});
    run = RunProgram(args, {dir.Path()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (const char* file : {"Thermique.txt", "Stress.txt", "summary.json"}) {
      EXPECT_EQ(CountNonFinite(dir / file), 0) << file;
    }
    // Peak memory: the thermal rows are counted, not kept, so it does not grow with the run.
    if (run.maxResidentKb > run.parentPeakKb) {
      EXPECT_LT(run.maxResidentKb, kMemoryLimitKb) << "peak memory in kB";
    }
    return nlohmann::json::parse(ReadFile(dir / "summary.json"));
  }

  // The warnings must match what the summary shows: a curvature beyond 2 / length, or node
  // temperatures at or below absolute zero.
  void ExpectWarningsMatch(const nlohmann::json& summary, double specimenLength) {
    double largest = std::fabs(summary["FinalCurvature"].get<double>());
    for (const auto& value : summary["Curvature"]) {
      largest = std::max(largest, std::fabs(value.get<double>()));
    }
    const bool bent = largest > 2 / specimenLength;
    EXPECT_EQ(run.err.find("warning: the curvature reaches") != std::string::npos, bent)
        << "largest curvature " << largest << "\n"
        << run.err;
    double coldest = 1e300;
    for (const auto& value : summary["NodeTemperature"]) {
      coldest = std::min(coldest, value.get<double>());
    }
    if (coldest <= 0) {
      EXPECT_NE(run.err.find("below absolute zero"), std::string::npos) << run.err;
    }
  }

  TempDir dir;
  ProgramRun run;
};

TEST_F(ExtremeRunTest, SlowThousandPassesOfTwoLamellae) {
  if (SanitizerBuild()) GTEST_SKIP() << "minutes under the sanitizers";
  const auto summary = Run({"--passes", "1000"});
  EXPECT_EQ(summary["LamellaCount"], 2);
  // 1000 pass periods of 4.5 s.
  EXPECT_NEAR(summary["ElapsedTime"].get<double>(), 4500, 1e-3);
  EXPECT_GT(summary["ThermalRowCount"].get<long long>(), 1000 * 100);
  EXPECT_GT(std::filesystem::file_size(dir / "Thermique.txt"), 10u << 20);
  ExpectWarningsMatch(summary, 0.08);
}

TEST_F(ExtremeRunTest, SlowOnePassOfTenThousandLamellae) {
  if (SanitizerBuild()) GTEST_SKIP() << "minutes under the sanitizers";
  const auto summary = Run({"--pass-thickness", "10000", "--lamella-thickness", "1"});
  EXPECT_EQ(summary["LamellaCount"], 10001);
  EXPECT_EQ(summary["LamellaStressFinal"].size(), 10002u);
  EXPECT_EQ(summary["Deflection"].size(), 10002u);
  // The stress table has a row per lamella.
  const std::string stress = ReadFile(dir / "Stress.txt");
  EXPECT_GT(std::count(stress.begin(), stress.end(), '\n'), 10000);
  ExpectWarningsMatch(summary, 0.08);
}

TEST_F(ExtremeRunTest, MicrometreSubstrateBendsBeyondPhysicalAndWarns) {
  const auto summary = Run({"--substrate-thickness", "0.001"});
  ExpectWarningsMatch(summary, 0.08);
  // A 1 µm plate under a 1 µm deposit curls up: the model still ends, and says so.
  EXPECT_NE(run.err.find("warning: the curvature reaches"), std::string::npos) << run.err;
}

TEST_F(ExtremeRunTest, HundredMillimetreSubstrate) {
  const auto summary = Run({"--substrate-thickness", "100"});
  ExpectWarningsMatch(summary, 0.08);
  // A thick plate barely bends and barely warms.
  EXPECT_LT(std::fabs(summary["FinalCurvature"].get<double>()), 1e-3);
  for (const auto& t : summary["NodeTemperature"]) EXPECT_LT(t.get<double>(), 2000);
}

TEST_F(ExtremeRunTest, HundredMegawattsPerSquareMetre) {
  const auto summary = Run({"--heat-flux", "100000", "--passes", "2"});
  ExpectWarningsMatch(summary, 0.08);
  // The torch environment of such a flux is far hotter than the default one.
  const auto normal = Run({"--passes", "2"});
  EXPECT_GT(summary["PassEndSurfaceTemperature"].get<double>(),
            normal["PassEndSurfaceTemperature"].get<double>());
}

}  // namespace
}  // namespace quillane::test
