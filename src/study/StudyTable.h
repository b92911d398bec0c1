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
// The SI unit of each of those columns; empty for counts, texts and plain numbers.
std::vector<std::string> TableUnits(const Study& study);

// How the header row names the columns: as the batch program and --resume read them, or with
// their units for a person ("HeatFlux (W/m²)"), as the study window exports its table.
enum class TableHeadings { Names, NamesWithUnits };

std::string TableCsv(const Study& study, const StudyRows& rows,
                     TableHeadings headings = TableHeadings::Names);
std::string TableJson(const Study& study, const StudyRows& rows);

// Reads a table written by TableCsv for the same study into `pointCount` rows (the missing
// ones empty). Throws StudyError naming `origin` and the line when it does not fit the study.
StudyRows ReadTableCsv(std::string_view text, const std::string& origin, const Study& study,
                       std::size_t pointCount);

}  // namespace quillane::study
