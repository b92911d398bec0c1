#pragma once
// Small helpers shared by the test programs.

#include <filesystem>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace quillane::test {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// tests/data of the source tree, and the top of the build tree (catalogue, programs).
std::filesystem::path DataDir();
std::filesystem::path BuildDir();

// The whole content of a file, bytes as they are; fails the test when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// The lines of a text, each without its "\n"; the names in a folder.
std::vector<std::string> Lines(const std::string& text);
std::set<std::string> Listing(const std::filesystem::path& dir);

// Expects `messages` to be the lines of "[family]" in tests/data/messages.txt (line breaks written
// "\n"); with QUILLANE_UPDATE_GOLDEN=1 it rewrites them, to be reviewed in the file's diff.
void ExpectMessages(const std::string& family, const std::vector<std::string>& messages);

// Runs CalculiX on `input` as job `job` in `dir` and gives the .dat file it prints; fails the
// test with CalculiX's log when it does not end well.
std::string RunCalculix(const std::filesystem::path& dir, const std::string& job,
                        const std::string& input);

// Builds an SQLite file from an SQL script (the catalogue sources are kept as SQL text).
void BuildDatabase(const std::filesystem::path& sqlFile, const std::filesystem::path& dbFile);

// A fresh empty directory removed with its content when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace quillane::test
