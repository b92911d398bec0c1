#include "study/StudyFolder.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <system_error>

#include "model/Errors.h"
#include "run/QuantityTable.h"
#include "study/StudyRecord.h"
#include "study/StudyRunner.h"

namespace quillane::study {

namespace {

namespace fs = std::filesystem;

constexpr const char* kStudyOwnFiles[] = {"study.json", kRecordFileName, "base_case.json",
                                          "results.csv", "results.json"};
// What a point keeps with --keep-files.
constexpr const char* kPointOwnFiles[] = {"case.json", "materials.db", "Thermique.txt",
                                          "Stress.txt", "summary.json"};
constexpr std::size_t kFilesNamed = 2;

// The names the study plots take: "<result>_vs_<quantity>", "<result>_map",
// "histogram_<result>" and "influence_<result>", as SVG or PNG.
bool IsStudyPlot(const fs::path& file) {
  const std::string suffix = file.extension().string();
  if (suffix != ".svg" && suffix != ".png") return false;
  const std::string stem = file.stem().string();
  for (const ResultColumn& column : kResultColumns) {
    const std::string result = column.Name;
    if (stem == result + "_map" || stem == "histogram_" + result || stem == "influence_" + result) {
      return true;
    }
    const std::string against = result + "_vs_";
    if (stem.starts_with(against) && FindQuantity(stem.substr(against.size())) != nullptr) {
      return true;
    }
  }
  return false;
}

bool IsPointFolder(const fs::directory_entry& entry) {
  const std::string name = entry.path().filename().string();
  std::error_code error;
  // A link to a folder elsewhere is not one the study made.
  return !name.empty() && fs::is_directory(fs::symlink_status(entry.path(), error)) &&
         std::all_of(name.begin(), name.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; });
}

// A file or a link, never followed: removing a link leaves what it points to.
bool IsFile(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  return fs::is_regular_file(status) || fs::is_symlink(status);
}

// The entries of a folder, none when it cannot be read.
std::vector<fs::directory_entry> Entries(const fs::path& folder) {
  std::vector<fs::directory_entry> entries;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    entries.push_back(*it);
  }
  return entries;
}

void RemoveIfEmpty(const fs::path& folder) {
  std::error_code error;
  if (fs::is_directory(fs::symlink_status(folder, error)) && fs::is_empty(folder, error)) {
    fs::remove(folder, error);
  }
}

}  // namespace

std::vector<fs::path> StudyFilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const char* name : kStudyOwnFiles) {
    if (IsFile(folder / name)) files.push_back(folder / name);
  }
  const std::size_t own = files.size();
  for (const fs::directory_entry& entry : Entries(folder / "plots")) {
    if (IsFile(entry.path()) && IsStudyPlot(entry.path())) files.push_back(entry.path());
  }
  for (const fs::directory_entry& point : Entries(folder / "points")) {
    if (!IsPointFolder(point)) continue;
    for (const char* name : kPointOwnFiles) {
      if (IsFile(point.path() / name)) files.push_back(point.path() / name);
    }
  }
  std::sort(files.begin() + static_cast<std::ptrdiff_t>(own), files.end());
  return files;
}

std::string FilesNamed(const std::vector<fs::path>& files, const fs::path& folder) {
  std::string text;
  const std::size_t named = std::min(files.size(), kFilesNamed);
  for (std::size_t i = 0; i < named; ++i) {
    text += (i == 0                  ? ""
             : i + 1 == files.size() ? " and "
                                     : ", ") +
            files[i].lexically_relative(folder).string();
  }
  const std::size_t more = files.size() - named;
  if (more > 0) text += " and " + std::to_string(more) + (more == 1 ? " more file" : " more files");
  return text;
}

void ClearStudyFiles(const fs::path& folder) {
  for (const fs::path& file : StudyFilesIn(folder)) {
    std::error_code error;
    fs::remove(file, error);
    if (error) {
      throw IoError("Cannot clear the earlier study in " + folder.string() + ": " + file.string() +
                    " cannot be removed: " + error.message() + ".");
    }
  }
  for (const fs::directory_entry& point : Entries(folder / "points")) {
    if (IsPointFolder(point)) RemoveIfEmpty(point.path());
  }
  RemoveIfEmpty(folder / "points");
  RemoveIfEmpty(folder / "plots");
}

}  // namespace quillane::study
