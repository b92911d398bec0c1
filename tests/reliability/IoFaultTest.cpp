// Faults of the disk and the file system, before and during a run: each must be reported,
// leave no partial or temporary file, and keep every earlier result file of that name as it was.
//
// The tests run as root in CI, where permission bits do not stop writes: unwritable folders are
// then made of paths nobody can write (under a regular file, under /proc), a full disk is
// /dev/full or a file-size limit, and only the permission cases themselves are skipped.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "ModelFixture.h"
#include "ReliabilitySupport.h"
#include "TestSupport.h"
#include "cli/BatchProgram.h"
#include "model/Errors.h"
#include "run/RunSimulation.h"

namespace quillane::test {
namespace {

constexpr const char* kEarlierThermal = "earlier thermal\r\n";
constexpr const char* kEarlierStress = "earlier stress\r\n";
constexpr const char* kEarlierSummary = "{\"earlier\": true}\n";

bool IsRoot() {
  return geteuid() == 0;
}

class IoFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("LC_ALL", "C", 1);
    BuildCatalogue(ReferenceRows(), catalogueDir / "p1.db");
    WriteFile(dir / "Thermique.txt", kEarlierThermal);
    WriteFile(dir / "Stress.txt", kEarlierStress);
    WriteFile(dir / "summary.json", kEarlierSummary);
    before = Listing(dir.Path());
  }

  // Runs in-process with both result files in the folder unless the arguments name others.
  int Run(std::vector<std::string> args) {
    const auto given = [&](const char* flag) {
      return std::find(args.begin(), args.end(), flag) != args.end();
    };
    if (!given("--thermal")) args.insert(args.end(), {"--thermal", Path("Thermique.txt")});
    if (!given("--stress")) args.insert(args.end(), {"--stress", Path("Stress.txt")});
    args.insert(args.end(), {"--catalogue", (catalogueDir / "p1.db").string(), "--quiet"});
    err.str("");
    return cli::RunBatch(args, out, err);
  }

  std::string Path(const std::string& name) const { return (dir / name).string(); }

  // Every earlier file as it was and nothing added (no temporary file left behind).
  void ExpectUntouched(const std::string& what) {
    EXPECT_EQ(ReadFile(dir / "Thermique.txt"), kEarlierThermal) << what;
    EXPECT_EQ(ReadFile(dir / "Stress.txt"), kEarlierStress) << what;
    EXPECT_EQ(ReadFile(dir / "summary.json"), kEarlierSummary) << what;
    EXPECT_EQ(Listing(dir.Path()), before) << what;
  }

  TempDir dir;
  TempDir catalogueDir;
  std::set<std::string> before;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(IoFaultTest, PathsNobodyCanWriteAreReportedBeforeTheRun) {
  WriteFile(dir / "plain", "a regular file");
  before.insert("plain");
  const struct {
    const char* flag;
    std::string path;
    const char* message;
  } cases[] = {
      {"--thermal", Path("plain") + "/Thermique.txt", "Not a directory"},
      {"--stress", Path("plain") + "/Stress.txt", "Not a directory"},
      {"--summary", Path("plain") + "/s.json", "Not a directory"},
      {"--thermal", "/proc/quillane-thermal.txt", "Cannot create the result file"},
      {"--stress", "/proc/quillane-stress.txt", "Cannot create the result file"},
      {"--summary", "/proc/quillane-summary.json", "Cannot create the summary file"},
      {"--plots", Path("plain") + "/plots", "Cannot create the plot directory"},
      {"--thermal", dir.Path().string(), "it is a directory"},
      {"--stress", dir.Path().string(), "it is a directory"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run({c.flag, c.path}), 1) << c.flag << " " << c.path;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_NE(err.str().find(c.path), std::string::npos) << "the path is named: " << err.str();
    ExpectUntouched(c.path);
  }
}

TEST_F(IoFaultTest, UnwritableFolderByPermissions) {
  if (IsRoot()) GTEST_SKIP() << "root writes into a folder of mode 0555";
  std::filesystem::create_directory(dir / "locked");
  std::filesystem::permissions(
      dir / "locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  EXPECT_EQ(Run({"--thermal", Path("locked") + "/Thermique.txt"}), 1);
  EXPECT_NE(err.str().find("Permission denied"), std::string::npos) << err.str();
  EXPECT_TRUE(std::filesystem::is_empty(dir / "locked"));
}

TEST_F(IoFaultTest, FullDeviceForTheStressFileAndTheSummary) {
  EXPECT_EQ(Run({"--stress", "/dev/full"}), 1);
  EXPECT_NE(err.str().find("/dev/full: No space left on device"), std::string::npos) << err.str();
  // The stress file is closed first, so the thermal file is never published.
  ExpectUntouched("stress to /dev/full");

  // The summary is written once the result files are published: the message says so.
  EXPECT_EQ(Run({"--summary", "/dev/full"}), 1);
  EXPECT_NE(err.str().find("the results were written to " + Path("Thermique.txt")),
            std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find("/dev/full: No space left on device"), std::string::npos) << err.str();
  EXPECT_NE(ReadFile(dir / "Thermique.txt"), kEarlierThermal);
  EXPECT_EQ(Listing(dir.Path()), before);
}

// The real program under a file-size limit: a regular file stops growing past it, as on a full
// disk, partway through the run.
TEST_F(IoFaultTest, DiskFillingUpDuringTheRun) {
  const std::string catalogue = (catalogueDir / "p1.db").string();
  const struct {
    std::vector<std::string> args;
    long long limit;
    const char* message;
  } cases[] = {
      // The thermal rows pass 10 kB partway through the passes.
      {{"--passes", "3"}, 10000, "Cannot write the result file Thermique.txt: File too large"},
      // Only the stress table is written to disk.
      {{"--thermal", "/dev/null"}, 200, "Cannot write the result file Stress.txt: File too large"},
      // Only the summary: the result files are devices.
      {{"--thermal", "/dev/null", "--stress", "/dev/null", "--summary", "summary.json"},
       200,
       "Cannot write the summary file summary.json: File too large"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--catalogue", catalogue, "--quiet"});
    const ProgramRun run = RunProgram(args, {dir.Path(), c.limit});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    ExpectUntouched(c.message);
  }
  // The same runs go through without the limit.
  const ProgramRun run =
      RunProgram({"--passes", "3", "--catalogue", catalogue, "-q"}, {dir.Path()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_GT(std::filesystem::file_size(dir / "Thermique.txt"), 10000u);
}

// The disk fills up with the last thermal rows, which the write buffer still holds when the
// passes end: the fault must show before the stress file is published, not when the thermal
// file is closed after it.
TEST_F(IoFaultTest, DiskFullAtTheLastThermalRows) {
  const std::string catalogue = (catalogueDir / "p1.db").string();
  const std::vector<std::string> args = {"--passes", "3", "--catalogue", catalogue, "-q"};
  TempDir clean;
  ASSERT_EQ(RunProgram(args, {clean.Path()}).exitCode, 0);
  // The stress model adds its table before cooling after the rows.
  const std::string rows = ReadFile(clean / "Thermique.txt");
  const std::size_t rowBytes = rows.find("POSITION DE L'AXE NEUTRE");
  ASSERT_NE(rowBytes, std::string::npos);

  const ProgramRun run = RunProgram(args, {dir.Path(), static_cast<long long>(rowBytes) - 1});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.err.find("Cannot write the result file Thermique.txt: File too large"),
            std::string::npos)
      << run.err;
  ExpectUntouched("last rows");
}

// Faults made while the run writes, at its 50th thermal row: the files are open, their rows go
// to temporary files beside the targets. Neither file may be published, nor a partial file left.
class MidRunFaultTest : public ModelFixture {
 protected:
  void SetUp() override {
    ModelFixture::SetUp();
    std::filesystem::create_directory(dir / "out");
    WriteFile(dir / "out" / "Thermique.txt", kEarlierThermal);
    WriteFile(dir / "out" / "Stress.txt", kEarlierStress);
    paths.Thermal = (dir / "out" / "Thermique.txt").string();
    paths.Stress = (dir / "out" / "Stress.txt").string();
  }

  // Runs with the fault made at the 50th thermal row; returns the message of the IoError.
  std::string RunWithFault(const std::function<void()>& fault) {
    int rows = 0;
    sink.OnRow = [&] {
      if (++rows == 50) fault();
    };
    try {
      ExecuteRun(state, &catalogue, paths, sink);
    } catch (const IoError& error) {
      EXPECT_GT(rows, 50);
      return error.what();
    }
    ADD_FAILURE() << "the run did not report the fault";
    return {};
  }

  // The temporary file the run writes for a target, found by its name.
  std::filesystem::path TemporaryOf(const std::string& target) {
    for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
      if (entry.path().filename().string().rfind("." + target + ".", 0) == 0) return entry.path();
    }
    ADD_FAILURE() << "no temporary file for " << target;
    return {};
  }
};

TEST_F(MidRunFaultTest, EveryFaultKeepsTheEarlierFiles) {
  const std::filesystem::path out = dir / "out";
  const std::filesystem::path moved = dir / "moved";
  const std::string removed = "temporary file was removed or replaced during the run";
  const struct {
    const char* what;
    std::function<void()> fault;
    std::string message;
    std::filesystem::path earlier;  // where the earlier files are afterwards; empty for nowhere
    bool alone;                     // whether nothing else is left beside them (no temporary file)
    bool asRoot;                    // whether the fault is one for root too
  } cases[] = {
      {"thermal temporary file removed",
       [&] { std::filesystem::remove(TemporaryOf("Thermique.txt")); },
       "the result file " + paths.Thermal + ": its " + removed, out, true, true},
      {"stress temporary file removed", [&] { std::filesystem::remove(TemporaryOf("Stress.txt")); },
       "the result file " + paths.Stress + ": its " + removed, out, true, true},
      {"target folder removed", [&] { std::filesystem::remove_all(out); }, removed, {}, true, true},
      {"target folder replaced by another",
       [&] {
         std::filesystem::rename(out, moved);
         std::filesystem::create_directory(out);
       },
       removed, moved, false, true},
      {"target replaced by a folder",
       [&] {
         std::filesystem::remove(out / "Stress.txt");
         std::filesystem::create_directory(out / "Stress.txt");
       },
       "Cannot replace the result file " + paths.Stress, out, true, true},
      {"target folder made read-only",
       [&] {
         std::filesystem::permissions(
             out, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
       },
       "Permission denied", out, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // Root renames into a folder of mode 0555.
    if (!c.asRoot && IsRoot()) continue;
    const std::string message = RunWithFault(c.fault);
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    if (std::filesystem::exists(out)) {
      std::filesystem::permissions(out, std::filesystem::perms::owner_all);
    }
    if (c.earlier.empty()) {
      // No partial file appears, nor the folder again.
      EXPECT_FALSE(std::filesystem::exists(out));
    } else {
      EXPECT_EQ(ReadFile(c.earlier / "Thermique.txt"), kEarlierThermal);
      if (std::filesystem::is_regular_file(c.earlier / "Stress.txt")) {
        EXPECT_EQ(ReadFile(c.earlier / "Stress.txt"), kEarlierStress);
      } else {
        EXPECT_TRUE(std::filesystem::is_directory(c.earlier / "Stress.txt"));
      }
      if (c.alone) {
        EXPECT_EQ(Listing(c.earlier), (std::set<std::string>{"Stress.txt", "Thermique.txt"}));
      }
    }
    if (c.earlier == moved) {
      EXPECT_TRUE(std::filesystem::is_empty(out));
    }
    // The next case starts from the same folder.
    std::filesystem::remove_all(out);
    std::filesystem::remove_all(moved);
    std::filesystem::create_directory(out);
    WriteFile(out / "Thermique.txt", kEarlierThermal);
    WriteFile(out / "Stress.txt", kEarlierStress);
  }
}

}  // namespace
}  // namespace quillane::test
