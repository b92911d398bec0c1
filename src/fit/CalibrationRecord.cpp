#include "fit/CalibrationRecord.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "format/NumberFormat.h"

namespace quillane::fit {

namespace {

std::string Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '"'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::vector<std::string> Split(std::string_view line, char separator) {
  std::vector<std::string> cells;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = line.find(separator, start);
    cells.push_back(Trim(line.substr(start, end == std::string_view::npos ? end : end - start)));
    if (end == std::string_view::npos) return cells;
    start = end + 1;
  }
}

}  // namespace

CalibrationRecord ReadRecordText(std::string_view text, const std::string& origin) {
  CalibrationRecord record;
  char separator = 0;
  int timeColumn = -1;
  int curvatureColumn = -1;
  int temperatureColumn = -1;
  std::size_t columns = 0;
  std::size_t lineNumber = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;
    const std::string where = origin + ", line " + std::to_string(lineNumber) + ": ";
    if (separator == 0) {
      separator = line.find(';') != std::string::npos ? ';' : ',';
      const std::vector<std::string> names = Split(line, separator);
      columns = names.size();
      for (std::size_t i = 0; i < names.size(); ++i) {
        std::string name = names[i];
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        int* column = name == "time"          ? &timeColumn
                      : name == "curvature"   ? &curvatureColumn
                      : name == "temperature" ? &temperatureColumn
                                              : nullptr;
        if (column != nullptr && *column >= 0) {
          throw RecordError(where + "the column \"" + name + "\" is named twice.");
        }
        if (column != nullptr) *column = static_cast<int>(i);
      }
      if (timeColumn < 0 || curvatureColumn < 0) {
        throw RecordError(where +
                          "the header must name the columns \"time\" (s) and "
                          "\"curvature\" (1/m), and may name \"temperature\" (K).");
      }
      continue;
    }
    const std::vector<std::string> cells = Split(line, separator);
    if (cells.size() != columns) {
      throw RecordError(where + std::to_string(cells.size()) + " fields where the header names " +
                        std::to_string(columns) + ".");
    }
    // A decimal comma can only be told from a separator when semicolons separate the fields.
    const auto number = [&](int column, const char* name, bool optional) {
      const std::string& cell = cells[static_cast<std::size_t>(column)];
      if (optional && cell.empty()) return std::nan("");
      auto value = format::ParseStrict(cell, '.', '\0');
      if (!value && separator == ';') value = format::ParseStrict(cell, ',', '\0');
      if (!value) {
        throw RecordError(where + name + " \"" + cell + "\" is not a finite number.");
      }
      return *value;
    };
    const double time = number(timeColumn, "time", false);
    if (!record.Time.empty() && !(time > record.Time.back())) {
      throw RecordError(where + "time " + format::FormatShortest(time) +
                        " s does not come after the previous " +
                        format::FormatShortest(record.Time.back()) + " s.");
    }
    record.Time.push_back(time);
    record.Curvature.push_back(number(curvatureColumn, "curvature", false));
    if (temperatureColumn >= 0) {
      record.Temperature.push_back(number(temperatureColumn, "temperature", true));
    }
  }
  if (separator == 0) throw RecordError(origin + ": the record is empty; it needs a header row.");
  if (record.Time.size() < 2) {
    throw RecordError(origin + ", line " + std::to_string(lineNumber) +
                      ": a record needs at least two rows of measurements.");
  }
  return record;
}

CalibrationRecord ReadRecordFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw RecordError("Cannot read the record " + path.string() + ".");
  std::ostringstream text;
  text << file.rdbuf();
  return ReadRecordText(text.str(), path.string());
}

}  // namespace quillane::fit
