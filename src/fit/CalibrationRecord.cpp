#include "fit/CalibrationRecord.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "format/NumberFormat.h"

namespace quillane::fit {

namespace {

RecordFault MakeFault(RecordFault::Kind what, const std::string& origin, std::size_t line = 0) {
  RecordFault fault;
  fault.What = what;
  fault.Origin = origin;
  fault.Line = line;
  return fault;
}

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
    const auto fault = [&](RecordFault::Kind what) { return MakeFault(what, origin, lineNumber); };
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
          RecordFault twice = fault(RecordFault::Kind::NamedTwice);
          twice.Column = name;
          throw RecordError(std::move(twice));
        }
        if (column != nullptr) *column = static_cast<int>(i);
      }
      if (timeColumn < 0 || curvatureColumn < 0) {
        throw RecordError(fault(RecordFault::Kind::NoHeader));
      }
      continue;
    }
    const std::vector<std::string> cells = Split(line, separator);
    if (cells.size() != columns) {
      RecordFault count = fault(RecordFault::Kind::FieldCount);
      count.Count = cells.size();
      count.Expected = columns;
      throw RecordError(std::move(count));
    }
    // A decimal comma can only be told from a separator when semicolons separate the fields.
    const auto number = [&](int column, const char* name, bool optional) {
      const std::string& cell = cells[static_cast<std::size_t>(column)];
      if (optional && cell.empty()) return std::nan("");
      auto value = format::ParseStrict(cell, '.', '\0');
      if (!value && separator == ';') value = format::ParseStrict(cell, ',', '\0');
      if (!value) {
        RecordFault bad = fault(RecordFault::Kind::NotNumber);
        bad.Column = name;
        bad.Cell = cell;
        throw RecordError(std::move(bad));
      }
      return *value;
    };
    const double time = number(timeColumn, "time", false);
    if (!record.Time.empty() && !(time > record.Time.back())) {
      RecordFault order = fault(RecordFault::Kind::NotAfter);
      order.Time = time;
      order.Previous = record.Time.back();
      throw RecordError(std::move(order));
    }
    record.Time.push_back(time);
    record.Curvature.push_back(number(curvatureColumn, "curvature", false));
    if (temperatureColumn >= 0) {
      record.Temperature.push_back(number(temperatureColumn, "temperature", true));
    }
  }
  if (separator == 0) throw RecordError(MakeFault(RecordFault::Kind::Empty, origin));
  if (record.Time.size() < 2) {
    throw RecordError(MakeFault(RecordFault::Kind::TooFewRows, origin, lineNumber));
  }
  return record;
}

std::string English(const RecordFault& fault) {
  using Kind = RecordFault::Kind;
  const std::string where = fault.Origin + ", line " + std::to_string(fault.Line) + ": ";
  switch (fault.What) {
    case Kind::Unreadable:
      return "Cannot read the record " + fault.Origin + ".";
    case Kind::Empty:
      return fault.Origin + ": the record is empty; it needs a header row.";
    case Kind::NamedTwice:
      return where + "the column \"" + fault.Column + "\" is named twice.";
    case Kind::NoHeader:
      return where +
             "the header must name the columns \"time\" (s) and \"curvature\" (1/m), and may "
             "name \"temperature\" (K).";
    case Kind::FieldCount:
      return where + std::to_string(fault.Count) + " fields where the header names " +
             std::to_string(fault.Expected) + ".";
    case Kind::NotNumber:
      return where + fault.Column + " \"" + fault.Cell + "\" is not a finite number.";
    case Kind::NotAfter:
      return where + "time " + format::FormatShortest(fault.Time) +
             " s does not come after the previous " + format::FormatShortest(fault.Previous) +
             " s.";
    case Kind::TooFewRows:
      return where + "a record needs at least two rows of measurements.";
  }
  return fault.Origin + ": not a record.";
}

CalibrationRecord ReadRecordFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw RecordError(MakeFault(RecordFault::Kind::Unreadable, path.string()));
  std::ostringstream text;
  text << file.rdbuf();
  return ReadRecordText(text.str(), path.string());
}

}  // namespace quillane::fit
