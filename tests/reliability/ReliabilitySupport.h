#pragma once
// The real batch program as a child (a file-size limit stands in for a full disk), and a folder
// of earlier result files that a refused run must leave as it was.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "cli/BatchProgram.h"

namespace quillane::test {

using ::testing::HasSubstr;

struct ProgramRun {
  int exitCode = -1;  // 128 + signal number when a signal ended the program
  std::string out;
  std::string err;
  // Peak memory of the child. A forked child starts with the test program's pages, and the
  // kernel counts them until the exec: a peak not above the test program's own says nothing.
  long maxResidentKb = 0;
  long parentPeakKb = 0;
};

// Runs quillane-batch in `workDir`, C locale; past a file-size limit writes fail with EFBIG as on a
// full disk, SIGXFSZ ignored unless `defaultSignals` (then the program must, as under `ulimit -f`).
inline ProgramRun RunProgram(std::vector<std::string> args, const std::filesystem::path& workDir,
                             long long fileSizeLimit = -1, bool defaultSignals = false,
                             const std::function<void(pid_t)>& whileRunning = {}) {
  TempDir logs;
  rusage self{};
  getrusage(RUSAGE_SELF, &self);
  args.insert(args.begin(), QUILLANE_BATCH_PROGRAM);
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open((logs / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open((logs / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (chdir(workDir.c_str()) != 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    setenv("LC_ALL", "C", 1);
    const rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
    signal(SIGXFSZ, defaultSignals ? SIG_DFL : SIG_IGN);
    if (fileSizeLimit >= 0 && setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    std::vector<char*> argv;
    for (std::string& word : args) argv.push_back(word.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (whileRunning) whileRunning(pid);
  int status = 0;
  rusage usage{};
  EXPECT_EQ(wait4(pid, &status, 0, &usage), pid) << "fork failed";
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadFile(logs / "out"),
          ReadFile(logs / "err"), usage.ru_maxrss, self.ru_maxrss};
}

// Waits up to ten seconds for a file whose name starts with `prefix` to appear in `dir`.
inline bool AppearsIn(const std::filesystem::path& dir, const std::string& prefix) {
  for (int tick = 0; tick < 1000; ++tick) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
      if (entry.path().filename().string().rfind(prefix, 0) == 0) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

inline constexpr const char* kEarlierThermal = "earlier thermal\r\n";
inline constexpr const char* kEarlierStress = "earlier stress\r\n";
inline constexpr const char* kEarlierSummary = "{\"earlier\": true}\n";

// A folder holding earlier result files under the program's default names, and the reference
// catalogue in another folder, so that a run leaving anything behind shows in the listing.
class ResultFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("LC_ALL", "C", 1);
    BuildDatabase(DataDir() / "p1" / "catalogue.sql", catalogueDir / "p1.db");
    WriteFile(dir / "Thermique.txt", kEarlierThermal);
    WriteFile(dir / "Stress.txt", kEarlierStress);
    WriteFile(dir / "summary.json", kEarlierSummary);
    before = Listing(dir.Path());
  }

  std::string Path(const std::string& name) const { return (dir / name).string(); }
  std::string Catalogue() const { return (catalogueDir / "p1.db").string(); }

  // Runs in-process, quietly, into the folder and over the reference catalogue unless told.
  int Run(std::vector<std::string> args) {
    for (const auto& [flag, value] : {std::pair{"--thermal", Path("Thermique.txt")},
                                      {"--stress", Path("Stress.txt")},
                                      {"--catalogue", Catalogue()}}) {
      if (std::find(args.begin(), args.end(), flag) == args.end())
        args.insert(args.end(), {flag, value});
    }
    args.push_back("--quiet");
    err.str("");
    return cli::RunBatch(args, out, err);
  }

  // Every earlier file as it was, and nothing added (no temporary file left behind).
  void ExpectUntouched(const std::string& what) {
    EXPECT_EQ(ReadFile(dir / "Thermique.txt"), kEarlierThermal) << what;
    EXPECT_EQ(ReadFile(dir / "Stress.txt"), kEarlierStress) << what;
    EXPECT_EQ(ReadFile(dir / "summary.json"), kEarlierSummary) << what;
    EXPECT_EQ(Listing(dir.Path()), before) << what;
  }

  // Exit status 1 and a single fault told, alone or under the header of the inputs' faults
  // (`errText` defaults to the last in-process run's).
  void ExpectRefused(int exitCode, const std::string& piece, std::string errText = {}) {
    if (errText.empty()) errText = err.str();
    EXPECT_EQ(exitCode, 1) << piece;
    const bool listed = errText.find("the inputs cannot be used:\n") != std::string::npos;
    EXPECT_EQ(std::count(errText.begin(), errText.end(), '\n'), listed ? 2 : 1) << errText;
    EXPECT_THAT(errText, HasSubstr(piece));
    ExpectUntouched(piece);
  }

  TempDir dir;
  TempDir catalogueDir;
  std::set<std::string> before;
  std::ostringstream out;
  std::ostringstream err;
};

}  // namespace quillane::test
