#include "fit/CalibrationRecord.h"

#include <algorithm>
#include <cmath>

#include "format/NumberFormat.h"
#include "io/CsvText.h"

namespace quillane::fit {

CalibrationRecord ReadRecordText(std::string_view text, const std::string& origin) {
  const CsvText csv = ParseCsv(text, '#');
  if (csv.Lines.empty()) {
    throw RecordError(origin + ": the record is empty; it needs a header row.");
  }
  const auto where = [&origin](const CsvLine& line) {
    return origin + ", line " + std::to_string(line.Number) + ": ";
  };
  int timeColumn = -1;
  int curvatureColumn = -1;
  int temperatureColumn = -1;
  const CsvLine& header = csv.Lines.front();
  for (std::size_t i = 0; i < header.Fields.size(); ++i) {
    std::string name = header.Fields[i];
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    int* column = name == "time"          ? &timeColumn
                  : name == "curvature"   ? &curvatureColumn
                  : name == "temperature" ? &temperatureColumn
                                          : nullptr;
    if (column != nullptr && *column >= 0) {
      throw RecordError(where(header) + "the column \"" + name + "\" is named twice.");
    }
    if (column != nullptr) *column = static_cast<int>(i);
  }
  if (timeColumn < 0 || curvatureColumn < 0) {
    throw RecordError(where(header) +
                      "the header must name the columns \"time\" (s) and "
                      "\"curvature\" (1/m), and may name \"temperature\" (K).");
  }
  const std::size_t columns = header.Fields.size();
  CalibrationRecord record;
  for (std::size_t k = 1; k < csv.Lines.size(); ++k) {
    const CsvLine& line = csv.Lines[k];
    if (line.Fields.size() != columns || !line.Closed) {
      throw RecordError(where(line) + std::to_string(line.Fields.size()) +
                        " fields where the header names " + std::to_string(columns) + ".");
    }
    const auto number = [&](int column, const char* name, bool optional) {
      const std::string& cell = line.Fields[static_cast<std::size_t>(column)];
      if (optional && cell.empty()) return std::nan("");
      const auto value = csv.Number(cell);
      if (!value) {
        throw RecordError(where(line) + name + " \"" + cell + "\" is not a finite number.");
      }
      return *value;
    };
    const double time = number(timeColumn, "time", false);
    if (!record.Time.empty() && !(time > record.Time.back())) {
      throw RecordError(where(line) + "time " + format::FormatShortest(time) +
                        " s does not come after the previous " +
                        format::FormatShortest(record.Time.back()) + " s.");
    }
    record.Time.push_back(time);
    record.Curvature.push_back(number(curvatureColumn, "curvature", false));
    if (temperatureColumn >= 0) {
      record.Temperature.push_back(number(temperatureColumn, "temperature", true));
    }
  }
  if (record.Time.size() < 2) {
    throw RecordError(origin + ", line " + std::to_string(csv.Lines.back().Number) +
                      ": a record needs at least two rows of measurements.");
  }
  return record;
}

CalibrationRecord ReadRecordFile(const std::filesystem::path& path) {
  try {
    return ReadRecordText(ReadCsvFile(path, "record"), path.string());
  } catch (const CsvError& error) {
    throw RecordError(error.what());
  }
}

}  // namespace quillane::fit
