#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quillane::test {

std::filesystem::path DataDir() {
  return QUILLANE_TEST_DATA;
}
std::filesystem::path BuildDir() {
  return QUILLANE_BUILD_DIR;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  EXPECT_TRUE(out.good()) << "cannot write " << path;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::set<std::string> Listing(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

void BuildDatabase(const std::filesystem::path& sqlFile, const std::filesystem::path& dbFile) {
  const std::string script = ReadFile(sqlFile);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(dbFile.c_str(), &db), SQLITE_OK) << dbFile;
  char* message = nullptr;
  const int result = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &message);
  EXPECT_EQ(result, SQLITE_OK) << (message ? message : "") << " in " << sqlFile;
  sqlite3_free(message);
  sqlite3_close(db);
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillane-test-XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  EXPECT_NE(made, nullptr) << "cannot create a temporary directory";
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace quillane::test
