// Disk and file-system faults before and during a run: reported, no partial file left, earlier
// results kept.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>

#include "ModelFixture.h"
#include "ReliabilitySupport.h"
#include "model/Errors.h"

namespace quillane::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ThrowsMessage;

class IoFaultTest : public ResultFolderTest {};

// The summary and pictures are published with the result files, as one set. Devices may be shared.
TEST_F(IoFaultTest, OutputsThatCannotBeWrittenOrNameOneFileAreRefused) {
  WriteFile(dir / "plain", "a regular file");
  fs::create_directories(dir / "pictures" / "arrow.svg");
  fs::create_directory_symlink(dir.Path(), dir / "here");
  before = Listing(dir.Path());
  const std::string whole = (DataDir() / "fit" / "whole20" / "case.json").string();
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--thermal", Path("missing") + "/t.txt"}, "Cannot create the result file"},
      {{"--summary", "/proc/quillane-summary.json"}, "Cannot create the summary file"},
      {{"--plots", Path("plain") + "/plots"}, "Cannot create the plot directory"},
      // The stress file is closed first, so the thermal file is never published.
      {{"--stress", "/dev/full"}, "No space left on device"},
      {{"--summary", "/dev/full"}, "/dev/full: No space left on device"},
      {{"--plots", Path("pictures")}, Path("pictures") + "/arrow.svg: it is a directory"},
      {{whole, "--passes", "1", "--history", Path("./Stress.txt")},
       "--stress (" + Path("Stress.txt") + ") and --history"},
      {{"--summary", Path("here/Stress.txt")}, "name the same file"},
      {{"--summary", Path("plots/arrow.svg"), "--plots", Path("plots")}, "--summary"},
  };
  for (const auto& c : cases) {
    ExpectRefused(Run(c.args), c.message);
    EXPECT_THAT(err.str(), HasSubstr(c.args.back())) << "the path is named";
  }
  EXPECT_EQ(Run({"--thermal", "/dev/null", "--stress", "/dev/null", "--summary", Path("s.json")}),
            0);
}

// The real program under a file-size limit, as on a disk that fills up partway through the run.
TEST_F(IoFaultTest, DiskFillingUpDuringTheRun) {
  TempDir clean;
  ASSERT_EQ(RunProgram({"--passes", "3", "--catalogue", Catalogue(), "-q"}, clean.Path()).exitCode,
            0);
  // A disk full at the last rows (still in the write buffer as the passes end) must show before
  // the stress file is published, not when the thermal file is closed after it.
  const auto rowBytes =
      static_cast<long long>(ReadFile(clean / "Thermique.txt").find("POSITION DE L'AXE NEUTRE"));
  ASSERT_GT(rowBytes, 10000);
  const std::string thermal = "Cannot write the result file Thermique.txt: File too large";
  const struct {
    std::vector<std::string> args;
    long long limit;
    std::string message;
    bool defaultSignals = false;
  } cases[] = {
      {{"--passes", "3"}, rowBytes - 1, thermal},
      // As under `ulimit -f` in a shell: SIGXFSZ killed the program without a word.
      {{"--passes", "3"}, 10000, thermal, true},
      // Only the stress table is written to disk.
      {{"--thermal", "/dev/null"}, 200, "Cannot write the result file Stress.txt: File too large"},
      // Only the summary: the result files are devices.
      {{"--thermal", "/dev/null", "--stress", "/dev/null", "--summary", "summary.json"},
       200,
       "Cannot write the summary file summary.json: File too large"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--catalogue", Catalogue(), "-q"});
    const ProgramRun run = RunProgram(args, dir.Path(), c.limit, c.defaultSignals);
    ExpectRefused(run.exitCode, c.message, run.err);
  }
}

TEST_F(IoFaultTest, ASignalledRunRemovesItsTemporaryFiles) {
  for (const int signal : {SIGINT, SIGTERM}) {
    const ProgramRun run = RunProgram({"--passes", "5000", "--catalogue", Catalogue(), "-q"},
                                      dir.Path(), -1, false, [&](pid_t pid) {
                                        ASSERT_TRUE(AppearsIn(dir.Path(), ".Thermique.txt."));
                                        kill(pid, signal);
                                      });
    EXPECT_EQ(run.exitCode, 130) << signal;
    EXPECT_EQ(run.err, "quillane-batch: stopped; no result file was changed.\n");
    ExpectUntouched("signal " + std::to_string(signal));
  }
}

// What a killed writer left beside a target goes when the target is next written: only our own
// temporary files whose writer is gone, never a live one or another file.
TEST_F(IoFaultTest, StaleTemporaryFilesOfATargetAreRemovedAndNothingElse) {
  const struct {
    std::string name;
    bool kept;
  } files[] = {
      {".Thermique.txt.AbC123", false},     {".Thermique.txt.AbC123-journal", false},
      {".Thermique.txt.zz9-journal", true}, {".Thermique.txt.Live42", true},
      {".Thermique.txt.AbC12", true},       {".Thermique.txt.AbC1234", true},
      {".Thermique.txt.part", true},        {"Thermique.txt.AbC123", true},
      {".Other.txt.AbC123", true},          {".Thermique.txt.A-C123", true},
  };
  for (const auto& file : files) WriteFile(dir / file.name, "left");
  // A writer still at work holds its lock.
  const int live = open((dir / ".Thermique.txt.Live42").c_str(), O_RDONLY);
  ASSERT_EQ(flock(live, LOCK_EX), 0);
  ASSERT_EQ(Run({}), 0) << err.str();
  close(live);
  for (const auto& file : files) EXPECT_EQ(fs::exists(dir / file.name), file.kept) << file.name;
}

// Every regular file under `root`, by its path from there, with its bytes.
std::map<std::string, std::string> Files(const fs::path& root) {
  std::map<std::string, std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) found[fs::relative(entry.path(), root)] = ReadFile(entry.path());
  }
  return found;
}

// A fit's outputs are a set: a disk that fills up while any of them is written leaves the
// earlier fit whole, never a new fit.json beside an empty fitted.db or an old picture.
TEST(FitOutputTest, AFitThatCannotWriteEveryOutputKeepsTheEarlierFit) {
  TempDir work;
  BuildDatabase(DataDir() / "p1" / "catalogue.sql", work / "p1.db");
  const auto fit = [&](const std::string& last, long long limit) {
    WriteFile(work / "rec.csv", "time;curvature\n1;0.001\n3;0.002\n5;0.003\n12;" + last + "\n");
    return RunProgram({(DataDir() / "p1" / "case.json").string(), "--catalogue", "p1.db", "--fit",
                       "rec.csv", "--fit-params", "coating.SigmaQ", "--out", "fit", "-q"},
                      work.Path(), limit);
  };
  ASSERT_EQ(fit("0.004", -1).exitCode, 0);
  const std::map<std::string, std::string> earlier = Files(work / "fit");
  // A build without cairo paints no PNG: its fit writes the four other files.
  const bool painted = earlier.count("overlay.png") == 1;
  ASSERT_EQ(earlier.size(), painted ? 5u : 4u);
  // A limit just under the catalogue's size stops it, the first file written. (The picture,
  // smaller, cannot fail alone under a size limit; StudyOutputTest has pictures that do.)
  const ProgramRun run = fit("0.005", static_cast<long long>(earlier.at("fitted.db").size()) - 1);
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_THAT(run.err, HasSubstr("Cannot write materials catalogue fit/fitted.db: disk I/O error"));
  EXPECT_EQ(Files(work / "fit"), earlier);
  // Unlimited, the new fit replaces every file.
  ASSERT_EQ(fit("0.005", -1).exitCode, 0);
  EXPECT_NE(ReadFile(work / "fit" / "fit.json"), earlier.at("fit.json"));
}

// A study replacing another (--force) that cannot write every file leaves the earlier one cleared
// and a whole checkpoint of its own or nothing: never old and new files mixed, nor half a picture.
TEST(StudyOutputTest, AStudyThatCannotWriteEveryFileLeavesNoMixOfTwoStudies) {
  TempDir work;
  BuildDatabase(DataDir() / "p1" / "catalogue.sql", work / "p1.db");
  const auto study = [&](const std::string& last, long long limit) {
    WriteFile(work / "s.json",
              R"({"vary": [{"input": "HeatFlux", "values": [4e5, )" + last + "]}]}");
    return RunProgram({(DataDir() / "p1" / "case.json").string(), "--catalogue", "p1.db", "--study",
                       "s.json", "--out", "m", "--force", "-q"},
                      work.Path(), limit);
  };
  ASSERT_EQ(study("8e5", -1).exitCode, 0);
  long long largestNotPng = 0;
  for (const auto& [name, text] : Files(work / "m")) {
    if (fs::path(name).extension() != ".png") {
      largestNotPng = std::max(largestNotPng, static_cast<long long>(text.size()));
    }
  }
  const std::set<std::string> tables = {"base_case.json", "inputs.json", "results.csv",
                                        "results.json", "study.json"};
  const struct {
    long long limit;
    std::string message;
    std::set<std::string> left;
  } cases[] = {
      // No table fits: nothing is written.
      {300, "Cannot write the results table m/results.json: File too large.", {}},
#ifdef QUILLANE_HAVE_PNG
      // The tables fit, the pictures do not: the tables with every row, and no picture.
      {largestNotPng, "Cannot write the picture m/plots/", tables},
#endif
  };
  for (const auto& c : cases) {
    ASSERT_EQ(study("8e5", -1).exitCode, 0);
    const ProgramRun run = study("9e5", c.limit);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr(c.message));
    const std::map<std::string, std::string> now = Files(work / "m");
    std::set<std::string> left;
    for (const auto& entry : now) left.insert(entry.first);
    EXPECT_EQ(left, c.left) << c.message;
    if (left.empty()) continue;
    EXPECT_NE(now.at("results.csv").find("\n2,9e+05,"), std::string::npos);
    EXPECT_TRUE(now.at("results.json").find("9e+05") != std::string::npos ||
                now.at("results.json").find("900000.0") != std::string::npos);
  }
}

// Faults made while the run writes, at its 50th thermal row: the files are open, their rows go
// to temporary files beside the targets. Neither file may be published, nor a partial file left.
using MidRunFaultTest = ModelFixture;

TEST_F(MidRunFaultTest, EveryFaultKeepsTheEarlierFiles) {
  const fs::path out = dir / "out";
  const fs::path moved = dir / "moved";
  const auto temporaryOf = [&](const std::string& target) {
    for (const auto& entry : fs::directory_iterator(out)) {
      if (entry.path().filename().string().rfind("." + target + ".", 0) == 0) return entry.path();
    }
    ADD_FAILURE() << "no temporary file for " << target;
    return fs::path();
  };
  paths = {(out / "Thermique.txt").string(), (out / "Stress.txt").string()};
  const std::string removed = "temporary file was removed or replaced during the run";
  struct Case {
    std::function<void()> fault;
    std::string message;
    fs::path earlier;  // where the earlier files are afterwards; empty for nowhere
    bool alone;        // whether nothing else is left beside them (no temporary file)
  };
  const std::vector<Case> cases = {
      {[&] { fs::remove(temporaryOf("Thermique.txt")); },
       "the result file " + paths.Thermal + ": its " + removed, out, true},
      {[&] { fs::remove_all(out); }, removed, {}, true},
      // The target folder is replaced by an empty one, then a target by a folder.
      {[&] {
         fs::rename(out, moved);
         fs::create_directory(out);
       },
       removed, moved, false},
      {[&] {
         fs::remove(out / "Stress.txt");
         fs::create_directory(out / "Stress.txt");
       },
       "Cannot replace the result file " + paths.Stress, out, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    fs::remove_all(out);
    fs::remove_all(moved);
    fs::create_directory(out);
    WriteFile(out / "Thermique.txt", kEarlierThermal);
    WriteFile(out / "Stress.txt", kEarlierStress);
    int rows = 0;
    sink.OnRow = [&] {
      if (++rows == 50) c.fault();
    };
    EXPECT_THAT([&] { ExecuteRun(state, &catalogue, paths, sink); },
                ThrowsMessage<IoError>(HasSubstr(c.message)));
    EXPECT_GT(rows, 50) << "the run goes on to the end, where the fault shows";
    // No partial file appears, nor the removed folder again.
    EXPECT_EQ(fs::exists(out), !c.earlier.empty());
    if (c.earlier.empty()) continue;
    EXPECT_EQ(ReadFile(c.earlier / "Thermique.txt"), kEarlierThermal);
    const bool folder = fs::is_directory(c.earlier / "Stress.txt");
    EXPECT_EQ(folder ? kEarlierStress : ReadFile(c.earlier / "Stress.txt"), kEarlierStress);
    if (c.alone) {
      EXPECT_EQ(Listing(c.earlier), (std::set<std::string>{"Stress.txt", "Thermique.txt"}));
    }
    EXPECT_TRUE(c.earlier != moved || fs::is_empty(out));
  }
}

}  // namespace
}  // namespace quillane::test
