#pragma once
// What decides the rows of a study besides the study file: the program, the base case as the
// case file and the flags resolved it, the catalogue rows its runs pick, and how the kept files
// are written. Saved beside the table, so that a resumed study takes only rows computed from the
// same inputs.

#include <string>
#include <string_view>
#include <vector>

#include "materials/MaterialsCatalogue.h"
#include "study/StudyFile.h"
#include "study/StudyRunner.h"
#include "study/StudyTable.h"

namespace quillane::study {

inline constexpr const char* kRecordFileName = "inputs.json";

// The record as JSON; `program` names the program and its version.
std::string StudyRecordJson(const Study& study, const MaterialsCatalogue& catalogue,
                            const StudyOptions& options, const std::string& program);

// Every entry that differs between a saved record and the current one, in words
// ("base.HeatFlux is 5000 now, 1000000 in <origin>"); empty when none does. Throws StudyError
// naming `origin` when the saved text is not a record.
std::string RecordDifference(std::string_view saved, std::string_view current,
                             const std::string& origin);

// Checks the varied values of every kept row against those of its point. Throws StudyError
// naming `origin` and the first point that differs.
void CheckKeptRows(const Study& study, const std::vector<std::vector<double>>& points,
                   const StudyRows& rows, const MaterialsCatalogue& catalogue,
                   const std::string& origin);

}  // namespace quillane::study
