#pragma once
// The results table of a study: one row per point in the study's order, as comma-separated
// values (point as decimal separator, header row) and as JSON, every double in its shortest
// round-trip form. A table of a stopped study holds the finished rows only, and reads back so
// that a resumed study computes just the missing ones.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "study/StudyFile.h"
#include "study/StudyRunner.h"

namespace quillane::study {

using StudyRows = std::vector<std::optional<PointResult>>;

// "point", the varied quantities, the results, "status".
std::vector<std::string> TableColumns(const Study& study);

std::string TableCsv(const Study& study, const StudyRows& rows);
std::string TableJson(const Study& study, const StudyRows& rows);

// Reads a table written by TableCsv for the same study into `pointCount` rows (the missing
// ones empty). Throws StudyError naming `origin` and the line when it does not fit the study.
StudyRows ReadTableCsv(std::string_view text, const std::string& origin, const Study& study,
                       std::size_t pointCount);

}  // namespace quillane::study
