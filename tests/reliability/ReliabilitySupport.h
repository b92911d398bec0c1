#pragma once
// Helpers of the reliability tests: running the real batch program as a child process (with a
// file-size limit standing in for a full disk), catalogues made from SQL rows, and scans of
// result files for values that are not numbers.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace quillane::test {

struct ProgramRun {
  int exitCode = -1;  // 128 + signal number when a signal ended the program
  std::string out;
  std::string err;
  // Peak memory of the child. A forked child starts with the test program's pages, and the
  // kernel counts them until the exec: a peak not above the test program's own says nothing.
  long maxResidentKb = 0;
  long parentPeakKb = 0;
};

struct ProgramOptions {
  std::filesystem::path workDir;  // the program's current directory
  long long fileSizeLimit = -1;   // bytes any one file may grow to; -1 for no limit
};

// Runs quillane-batch with the arguments, in the C locale, and waits for it. A file-size limit
// makes writes past it fail with EFBIG (SIGXFSZ is ignored), as a disk that fills up would.
inline ProgramRun RunProgram(const std::vector<std::string>& args, const ProgramOptions& options) {
  TempDir logs;
  const std::filesystem::path outPath = logs / "out";
  const std::filesystem::path errPath = logs / "err";
  rusage self{};
  getrusage(RUSAGE_SELF, &self);
  const pid_t pid = fork();
  if (pid == 0) {
    if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0) _exit(126);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    setenv("LC_ALL", "C", 1);
    if (options.fileSizeLimit >= 0) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                         static_cast<rlim_t>(options.fileSizeLimit)};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    std::vector<std::string> words = {QUILLANE_BATCH_PROGRAM};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  ProgramRun run;
  EXPECT_GT(pid, 0) << "fork failed";
  if (pid <= 0) return run;
  int status = 0;
  rusage usage{};
  EXPECT_EQ(wait4(pid, &status, 0, &usage), pid);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.maxResidentKb = usage.ru_maxrss;
  run.parentPeakKb = self.ru_maxrss;
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  return run;
}

// One row of a catalogue: the name and the nine figures as SQL literals ("9.0", "NULL", "'abc'").
struct CatalogueRow {
  std::string Name;
  std::string Lambda = "9.0", Rho = "7300.0", Cp = "500.0", Tfusion = "1630.0",
              Lfusion = "300000.0", ModuleYoung = "1.2e11", Poisson = "0.3", dilat = "1.4e-05",
              SigmaQ = "1.0e8";
};

// The three rows of the small reference catalogue.
inline std::vector<CatalogueRow> ReferenceRows() {
  CatalogueRow steel{"Acier 316L", "16.3",    "8000.0", "500.0",   "1673.0",
                     "280000.0",   "1.93e11", "0.3",    "1.6e-05", "0.0"};
  CatalogueRow coating{"NiCrAlY"};
  CatalogueRow contact{"contact", "1.0",    "4000.0", "600.0",   "0.0",
                       "0.0",     "6.0e10", "0.25",   "1.0e-05", "0.0"};
  return {steel, coating, contact};
}

// Writes the rows as an SQL script and builds the catalogue file from it.
inline void BuildCatalogue(const std::vector<CatalogueRow>& rows,
                           const std::filesystem::path& dbFile) {
  std::string sql =
      "CREATE TABLE \"matériaux\" (\"Matériaux\" TEXT PRIMARY KEY COLLATE NOCASE, \"Lambda\" "
      "REAL, \"Rho\" REAL, \"Cp\" REAL, \"Tfusion\" REAL, \"Lfusion\" REAL, \"ModuleYoung\" REAL, "
      "\"Poisson\" REAL, \"dilat\" REAL, \"SigmaQ\" REAL);\n";
  for (const CatalogueRow& r : rows) {
    std::string name;
    for (char c : r.Name) name += c == '\'' ? std::string("''") : std::string(1, c);
    sql += "INSERT INTO \"matériaux\" VALUES('" + name + "'," + r.Lambda + "," + r.Rho + "," +
           r.Cp + "," + r.Tfusion + "," + r.Lfusion + "," + r.ModuleYoung + "," + r.Poisson + "," +
           r.dilat + "," + r.SigmaQ + ");\n";
  }
  const std::filesystem::path sqlFile = dbFile.string() + ".sql";
  WriteFile(sqlFile, sql);
  std::filesystem::remove(dbFile);
  BuildDatabase(sqlFile, dbFile);
  std::filesystem::remove(sqlFile);
}

// Counts "NaN", "Inf" and "null" (how JSON writes them) in a file, read in pieces so that
// result files of any size can be scanned.
inline long long CountNonFinite(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  constexpr std::size_t kPiece = 1 << 20;
  constexpr std::size_t kOverlap = 3;  // longest word less one, so no word is cut unseen
  std::string window;
  std::vector<char> buffer(kPiece);
  long long count = 0;
  std::size_t kept = 0;  // bytes of the window already scanned
  while (in.read(buffer.data(), kPiece) || in.gcount() > 0) {
    window.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    for (const std::string word : {"NaN", "Inf", "null"}) {
      for (std::size_t at = window.find(word); at != std::string::npos;
           at = window.find(word, at + 1)) {
        if (at + word.size() > kept) ++count;
      }
    }
    window.erase(0, window.size() > kOverlap ? window.size() - kOverlap : 0);
    kept = window.size();
  }
  return count;
}

// The names in a directory, to show that a failed run left nothing behind.
inline std::set<std::string> Listing(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

}  // namespace quillane::test
