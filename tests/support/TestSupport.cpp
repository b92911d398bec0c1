#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
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

namespace {

// A message on one line of the reference file: its line breaks and backslashes escaped.
std::string OnOneLine(const std::string& message) {
  std::string line;
  for (const char c : message) line += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : std::string(1, c);
  return line;
}

}  // namespace

void ExpectMessages(const std::string& family, const std::vector<std::string>& messages) {
  const std::filesystem::path file = DataDir() / "messages.txt";
  const std::string heading = "[" + family + "]";
  // The file's families in order, each with its lines.
  std::vector<std::pair<std::string, std::vector<std::string>>> families;
  for (const std::string& line : Lines(ReadFile(file))) {
    if (!line.empty() && line.front() == '[') {
      families.emplace_back(line, std::vector<std::string>{});
    } else if (!line.empty() && !families.empty()) {
      families.back().second.push_back(line);
    }
  }
  std::vector<std::string> shown;
  for (const std::string& message : messages) shown.push_back(OnOneLine(message));
  auto kept = std::find_if(families.begin(), families.end(),
                           [&](const auto& entry) { return entry.first == heading; });
  const char* update = std::getenv("QUILLANE_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    if (kept == families.end()) kept = families.insert(families.end(), {heading, {}});
    kept->second = shown;
    std::string text;
    for (const auto& [name, lines] : families) {
      text += (text.empty() ? "" : "\n") + name + "\n";
      for (const std::string& line : lines) text += line + "\n";
    }
    WriteFile(file, text);
    return;
  }
  ASSERT_NE(kept, families.end()) << heading << " is not in " << file
                                  << "; run with QUILLANE_UPDATE_GOLDEN=1 and review it";
  const std::vector<std::string>& expected = kept->second;
  for (std::size_t i = 0; i < std::max(expected.size(), shown.size()); ++i) {
    EXPECT_EQ(i < shown.size() ? shown[i] : "(none)", i < expected.size() ? expected[i] : "(none)")
        << heading << " message " << i + 1;
  }
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

std::string RunCalculix(const std::filesystem::path& dir, const std::string& job,
                        const std::string& input) {
  WriteFile(dir / (job + ".inp"), input);
  const std::string command =
      "cd '" + dir.string() + "' && ccx -i " + job + " > " + job + ".log 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile(dir / (job + ".log"));
  return ReadFile(dir / (job + ".dat"));
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
