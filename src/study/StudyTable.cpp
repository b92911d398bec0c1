#include "study/StudyTable.h"

#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "format/NumberFormat.h"

namespace quillane::study {

namespace {

std::string Cell(double value) {
  return std::isnan(value) ? "" : format::FormatShortest(value);
}

// A text cell, quoted when it holds a separator, a quote or a line break.
std::string TextCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string JoinLine(const std::vector<std::string>& cells) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) line += (i ? "," : "") + cells[i];
  return line + "\n";
}

// The cells of one line; a quoted cell may hold separators and doubled quotes.
std::vector<std::string> SplitLine(std::string_view line, bool& good) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  good = true;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c != '"') {
        cells.back() += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        cells.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"' && cells.back().empty()) {
      quoted = true;
    } else if (c == ',') {
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  good = !quoted;
  return cells;
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

std::string TableCsv(const Study& study, const StudyRows& rows) {
  std::string text = JoinLine(TableColumns(study));
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
  nlohmann::ordered_json table = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i]) continue;
    nlohmann::ordered_json row;
    row["point"] = i + 1;
    std::size_t column = 1;
    const auto put = [&](double value) {
      // Counts stay integers; a failed point's results are null.
      if (std::isnan(value)) {
        row[columns[column++]] = nullptr;
      } else {
        row[columns[column++]] = value;
      }
    };
    for (const double value : rows[i]->Values) put(value);
    for (const double value : rows[i]->Results) put(value);
    row["status"] = rows[i]->Status;
    table.push_back(std::move(row));
  }
  return table.dump(1) + "\n";
}

StudyRows ReadTableCsv(std::string_view text, const std::string& origin, const Study& study,
                       std::size_t pointCount) {
  StudyRows rows(pointCount);
  const std::vector<std::string> columns = TableColumns(study);
  std::size_t lineNumber = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    const std::string where = origin + ", line " + std::to_string(lineNumber) + ": ";
    bool good = true;
    const std::vector<std::string> cells = SplitLine(line, good);
    if (lineNumber == 1) {
      if (cells != columns) {
        throw StudyError(where + "the columns are not those of this study (" + JoinLine(columns) +
                         "); it belongs to another study.");
      }
      continue;
    }
    if (!good || cells.size() != columns.size()) {
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
