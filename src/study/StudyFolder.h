#pragma once
// What a study leaves in its output folder, told apart from anything else the user keeps there:
// a new study is not run over an earlier one unless the earlier one's files are cleared first,
// and clearing them removes nothing else.

#include <filesystem>
#include <string>
#include <vector>

namespace quillane::study {

// The files of a study in `folder`, sorted: study.json, inputs.json, base_case.json and the two
// tables; the plots in plots/ (a result against a quantity, a colour map, a histogram, an
// influence chart, as SVG or PNG); and the kept files of each point in points/NNNN/, these two
// sorted. Empty when the folder holds none (or does not exist).
std::vector<std::filesystem::path> StudyFilesIn(const std::filesystem::path& folder);

// "study.json, results.csv and 14 more files": the first of `files` by their names in `folder`.
std::string FilesNamed(const std::vector<std::filesystem::path>& files,
                       const std::filesystem::path& folder);

// Removes the study's files, then each point's folder, points/ and plots/ once they are empty.
// Throws IoError naming the file that cannot be removed.
void ClearStudyFiles(const std::filesystem::path& folder);

}  // namespace quillane::study
