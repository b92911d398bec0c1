#include "study/StudyTable.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "format/NumberFormat.h"
#include "io/CsvText.h"

namespace quillane::study {

namespace {

std::string Cell(double value) {
  return std::isnan(value) ? "" : format::FormatShortest(value);
}

// A text cell, quoted when it holds a separator, a quote or a line break, or starts or ends
// with a blank (which the reader would cut).
std::string TextCell(const std::string& text) {
  const bool blankEnd = !text.empty() && (text.front() == ' ' || text.front() == '\t' ||
                                          text.back() == ' ' || text.back() == '\t');
  if (text.find_first_of(",\"\r\n") == std::string::npos && !blankEnd) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string JoinLine(const std::vector<std::string>& cells) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) line += (i ? "," : "") + cells[i];
  return line + "\n";
}

bool ReadCell(const std::string& text, double& value) {
  if (text.empty()) {
    value = std::nan("");
    return true;
  }
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size();
}

}  // namespace

std::vector<std::string> TableColumns(const Study& study) {
  std::vector<std::string> columns{"point"};
  for (const Quantity& quantity : study.Vary) columns.push_back(quantity.Name());
  for (const ResultColumn& column : kResultColumns) columns.emplace_back(column.Name);
  columns.emplace_back("status");
  return columns;
}

std::vector<std::string> TableUnits(const Study& study) {
  std::vector<std::string> units{""};
  for (const Quantity& quantity : study.Vary) units.emplace_back(quantity.Spec->Unit);
  for (const ResultColumn& column : kResultColumns) units.emplace_back(column.Unit);
  units.emplace_back("");
  return units;
}

std::string TableCsv(const Study& study, const StudyRows& rows, TableHeadings headings) {
  std::vector<std::string> columns = TableColumns(study);
  if (headings == TableHeadings::NamesWithUnits) {
    const std::vector<std::string> units = TableUnits(study);
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (!units[i].empty()) columns[i] = TextCell(columns[i] + " (" + units[i] + ")");
    }
  }
  std::string text = JoinLine(columns);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i]) continue;
    std::vector<std::string> cells{std::to_string(i + 1)};
    for (const double value : rows[i]->Values) cells.push_back(Cell(value));
    for (const double value : rows[i]->Results) cells.push_back(Cell(value));
    cells.push_back(TextCell(rows[i]->Status));
    text += JoinLine(cells);
  }
  return text;
}

std::string TableJson(const Study& study, const StudyRows& rows) {
  const std::vector<std::string> columns = TableColumns(study);
  const std::vector<std::string> unitOf = TableUnits(study);
  nlohmann::ordered_json units;
  for (std::size_t i = 0; i + 1 < columns.size(); ++i) units[columns[i]] = unitOf[i];
  // Which columns hold whole numbers: they are written as integers (575, not 575.0).
  std::vector<bool> whole{true};
  for (const Quantity& quantity : study.Vary) whole.push_back(quantity.Spec->Whole);
  for (const ResultColumn& column : kResultColumns) whole.push_back(column.Count);
  nlohmann::ordered_json table = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i]) continue;
    nlohmann::ordered_json row;
    row["point"] = i + 1;
    std::size_t column = 1;
    const auto put = [&](double value) {
      // A failed point's results are null.
      if (std::isnan(value)) {
        row[columns[column]] = nullptr;
      } else if (whole[column] && std::fabs(value) < 0x1p53) {
        row[columns[column]] = static_cast<long long>(value);
      } else {
        row[columns[column]] = value;
      }
      ++column;
    };
    for (const double value : rows[i]->Values) put(value);
    for (const double value : rows[i]->Results) put(value);
    row["status"] = rows[i]->Status;
    table.push_back(std::move(row));
  }
  nlohmann::ordered_json root;
  root["units"] = units;
  root["rows"] = table;
  return root.dump(1) + "\n";
}

namespace {

// Whether a header is this study's own cut short: its first cells those of the study, the last
// maybe cut within its name.
bool IsCutShort(const std::vector<std::string>& cells, const std::vector<std::string>& columns) {
  if (cells.empty() || cells.size() >= columns.size()) return false;
  const std::size_t last = cells.size() - 1;
  return std::equal(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(last),
                    columns.begin()) &&
         !cells[last].empty() && columns[last].compare(0, cells[last].size(), cells[last]) == 0;
}

}  // namespace

StudyRows ReadTableCsv(std::string_view text, const std::string& origin, const Study& study,
                       std::size_t pointCount) {
  StudyRows rows(pointCount);
  const std::vector<std::string> columns = TableColumns(study);
  const CsvText csv = ParseCsv(text);
  for (std::size_t k = 0; k < csv.Lines.size(); ++k) {
    const CsvLine& line = csv.Lines[k];
    const std::vector<std::string>& cells = line.Fields;
    const std::string where = origin + ", line " + std::to_string(line.Number) + ": ";
    if (k == 0) {
      if (IsCutShort(cells, columns)) {
        throw StudyError(where + "the header stops after \"" + cells.back() + "\", " +
                         std::to_string(cells.size()) + " of this study's " +
                         std::to_string(columns.size()) +
                         " columns: the table was cut short and holds no rows.");
      }
      if (cells != columns || csv.Separator != ',') {
        throw StudyError(where + "the columns are not those of this study (" + JoinLine(columns) +
                         "); it belongs to another study.");
      }
      continue;
    }
    if (!line.Closed || cells.size() != columns.size()) {
      throw StudyError(where + "expected " + std::to_string(columns.size()) + " cells.");
    }
    char* after = nullptr;
    const unsigned long point = std::strtoul(cells[0].c_str(), &after, 10);
    if (after != cells[0].c_str() + cells[0].size() || point == 0 || point > pointCount ||
        rows[point - 1]) {
      throw StudyError(where + "\"" + cells[0] +
                       "\" is not a point of this study, or is there twice.");
    }
    PointResult result;
    result.Values.resize(study.Vary.size());
    std::size_t cell = 1;
    bool numbers = true;
    for (double& value : result.Values) numbers = ReadCell(cells[cell++], value) && numbers;
    for (double& value : result.Results) numbers = ReadCell(cells[cell++], value) && numbers;
    if (!numbers) throw StudyError(where + "a cell is not a number.");
    result.Status = cells[cell];
    rows[point - 1] = std::move(result);
  }
  return rows;
}

}  // namespace quillane::study
