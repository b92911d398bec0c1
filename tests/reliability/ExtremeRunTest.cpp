// Extreme but valid runs of the real program: each finishes, writes numbers only, keeps its memory
// bounded and warns off physical ground. The long ones take minutes under a sanitizer: skipped.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "ReliabilitySupport.h"

namespace quillane::test {
namespace {

using nlohmann::json;

// AddressSanitizer adds its own memory (a tiny run peaks near 240 MB): a looser bound there.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kMemoryLimitKb = 1 << 20;
#else
constexpr long kMemoryLimitKb = 200 << 10;
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

class ExtremeRunTest : public ResultFolderTest {
 protected:
  // Runs the program: it ends well, writes only numbers, warns as its summary says; the summary.
  json RunWell(std::vector<std::string> args) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    args.insert(args.end(), {"--catalogue", Catalogue(), "--summary", "summary.json", "-q"});
    run = RunProgram(args, dir.Path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // JSON writes a value that is not a number as null.
    for (const char* file : {"Thermique.txt", "Stress.txt", "summary.json"}) {
      const std::string text = ReadFile(dir / file);
      for (const char* word : {"NaN", "Inf", "null"}) {
        EXPECT_EQ(text.find(word), std::string::npos) << word << " in " << file;
      }
    }
    // The thermal rows are counted, not kept, so the peak does not grow with the run.
    EXPECT_TRUE(run.maxResidentKb <= run.parentPeakKb || run.maxResidentKb < kMemoryLimitKb)
        << run.maxResidentKb << " kB at the peak";
    const json summary = json::parse(ReadFile(dir / "summary.json"));
    // A curvature beyond 2 / length, or a node at or below absolute zero, is told.
    double largest = std::fabs(summary["FinalCurvature"].get<double>());
    for (const auto& value : summary["Curvature"]) {
      largest = std::max(largest, std::fabs(value.get<double>()));
    }
    EXPECT_EQ(run.err.find("warning: the curvature reaches") != std::string::npos,
              largest > 2 / 0.08)
        << largest << "\n"
        << run.err;
    double coldest = 1e300;
    for (const auto& value : summary["NodeTemperature"]) {
      coldest = std::min(coldest, value.get<double>());
    }
    EXPECT_TRUE(coldest > 0 || run.err.find("below absolute zero") != std::string::npos);
    return summary;
  }

  ProgramRun run;
};

TEST_F(ExtremeRunTest, EveryExtremeRunEndsWithFiniteResults) {
  if (!kSanitized) {
    json summary = RunWell({"--passes", "1000"});
    EXPECT_EQ(summary["LamellaCount"], 2);
    EXPECT_NEAR(summary["ElapsedTime"].get<double>(), 1000 * 4.5, 1e-3);
    EXPECT_GT(summary["ThermalRowCount"].get<long long>(), 1000 * 100);
    EXPECT_GT(std::filesystem::file_size(dir / "Thermique.txt"), 10u << 20);

    summary = RunWell({"--pass-thickness", "10000", "--lamella-thickness", "1"});
    EXPECT_EQ(summary["LamellaCount"], 10001);
    EXPECT_EQ(summary["LamellaStressFinal"].size(), 10002u);
    EXPECT_EQ(summary["Deflection"].size(), 10002u);
    const std::string stress = ReadFile(dir / "Stress.txt");
    EXPECT_GT(std::count(stress.begin(), stress.end(), '\n'), 10000) << "a row per lamella";
  }
  // A 1 µm plate under a 1 µm deposit curls up: the model still ends, and says so.
  RunWell({"--substrate-thickness", "0.001"});
  EXPECT_THAT(run.err, HasSubstr("warning: the curvature reaches"));
}

}  // namespace
}  // namespace quillane::test
