#include "fit/CalibrationRecord.h"

#include <algorithm>
#include <cmath>

#include "format/NumberFormat.h"
#include "io/CsvText.h"

namespace quillane::fit {

namespace {

RecordFault MakeFault(RecordFault::Kind what, const std::string& origin, std::size_t line = 0) {
  RecordFault fault;
  fault.What = what;
  fault.Origin = origin;
  fault.Line = line;
  return fault;
}

}  // namespace

const char* ColumnName(Series series) {
  switch (series) {
    case Series::Curvature:
      return "curvature";
    case Series::Back:
      return "temperature";
    case Series::Surface:
      return "surface_temperature";
  }
  return "";
}

const std::vector<double>& CalibrationRecord::Values(Series series) const {
  switch (series) {
    case Series::Curvature:
      return Curvature;
    case Series::Back:
      return Temperature;
    case Series::Surface:
      return SurfaceTemperature;
  }
  return Curvature;
}

CalibrationRecord ReadRecordText(std::string_view text, const std::string& origin) {
  const CsvText csv = ParseCsv(text, '#');
  if (csv.Lines.empty()) throw RecordError(MakeFault(RecordFault::Kind::Empty, origin));
  int timeColumn = -1;
  int curvatureColumn = -1;
  int temperatureColumn = -1;
  int surfaceColumn = -1;
  CalibrationRecord record;
  const CsvLine& header = csv.Lines.front();
  for (std::size_t i = 0; i < header.Fields.size(); ++i) {
    std::string name = header.Fields[i];
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    int* column = name == "time"                  ? &timeColumn
                  : name == "curvature"           ? &curvatureColumn
                  : name == "temperature"         ? &temperatureColumn
                  : name == "surface_temperature" ? &surfaceColumn
                                                  : nullptr;
    if (column != nullptr && *column >= 0) {
      RecordFault twice = MakeFault(RecordFault::Kind::NamedTwice, origin, header.Number);
      twice.Column = name;
      throw RecordError(std::move(twice));
    }
    if (column != nullptr) {
      *column = static_cast<int>(i);
    } else {
      record.UnusedColumns.push_back(header.Fields[i].empty() ? "(unnamed)" : header.Fields[i]);
    }
  }
  if (timeColumn < 0 || curvatureColumn < 0) {
    throw RecordError(MakeFault(RecordFault::Kind::NoHeader, origin, header.Number));
  }
  const std::size_t columns = header.Fields.size();
  for (std::size_t k = 1; k < csv.Lines.size(); ++k) {
    const CsvLine& line = csv.Lines[k];
    const auto fault = [&](RecordFault::Kind what) { return MakeFault(what, origin, line.Number); };
    if (line.Fields.size() != columns || !line.Closed) {
      RecordFault count = fault(RecordFault::Kind::FieldCount);
      count.Count = line.Fields.size();
      count.Expected = columns;
      throw RecordError(std::move(count));
    }
    const auto number = [&](int column, const char* name, bool optional, double limit) {
      const std::string& cell = line.Fields[static_cast<std::size_t>(column)];
      if (optional && cell.empty()) return std::nan("");
      const auto value = csv.Number(cell);
      if (!value || std::fabs(*value) > limit) {
        RecordFault bad =
            fault(value ? RecordFault::Kind::OutOfRange : RecordFault::Kind::NotNumber);
        bad.Column = name;
        bad.Cell = cell;
        bad.Limit = limit;
        throw RecordError(std::move(bad));
      }
      return *value;
    };
    const double time = number(timeColumn, "time", false, INFINITY);
    if (!record.Time.empty() && !(time > record.Time.back())) {
      RecordFault order = fault(RecordFault::Kind::NotAfter);
      order.Time = time;
      order.Previous = record.Time.back();
      throw RecordError(std::move(order));
    }
    record.Time.push_back(time);
    record.Curvature.push_back(number(curvatureColumn, "curvature", false, kLargestCurvature));
    if (temperatureColumn >= 0) {
      record.Temperature.push_back(
          number(temperatureColumn, "temperature", true, kLargestTemperature));
    }
    if (surfaceColumn >= 0) {
      record.SurfaceTemperature.push_back(
          number(surfaceColumn, "surface_temperature", true, kLargestTemperature));
    }
  }
  if (record.Time.size() < 2) {
    throw RecordError(MakeFault(RecordFault::Kind::TooFewRows, origin, csv.Lines.back().Number));
  }
  return record;
}

std::string English(const RecordFault& fault) {
  using Kind = RecordFault::Kind;
  const std::string where = fault.Origin + ", line " + std::to_string(fault.Line) + ": ";
  switch (fault.What) {
    case Kind::Unreadable:
      return "Cannot read the record " + fault.Origin + ".";
    case Kind::Folder:
      return "Cannot read the record " + fault.Origin + ": it is a folder, not a file.";
    case Kind::TooLarge:
      return "Cannot read the record " + fault.Origin + ": it is larger than " +
             format::FormatShortest(fault.Limit / 1048576) + " MiB, which no record is.";
    case Kind::Empty:
      return fault.Origin + ": the record is empty; it needs a header row.";
    case Kind::NamedTwice:
      return where + "the column \"" + fault.Column + "\" is named twice.";
    case Kind::NoHeader:
      return where +
             "the header must name the columns \"time\" (s) and \"curvature\" (1/m), and may "
             "name \"temperature\" (K, the back face) and \"surface_temperature\" (K).";
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
    case Kind::OutOfRange:
      return where + fault.Column + " \"" + fault.Cell + "\" is beyond " +
             format::FormatShortest(fault.Limit) + (fault.Column == "curvature" ? " 1/m" : " K") +
             " in size: no " + (fault.Column == "curvature" ? "plate bends" : "thermometer reads") +
             " that far (a fault of typing or of units?).";
  }
  return fault.Origin + ": not a record.";
}

CalibrationRecord ReadRecordFile(const std::filesystem::path& path) {
  std::string text;
  try {
    text = ReadCsvFile(path, "record");
  } catch (const CsvError& error) {
    using Kind = RecordFault::Kind;
    const Kind what = error.What() == TextFileError::Kind::Folder     ? Kind::Folder
                      : error.What() == TextFileError::Kind::TooLarge ? Kind::TooLarge
                                                                      : Kind::Unreadable;
    RecordFault fault = MakeFault(what, path.string());
    fault.Limit = static_cast<double>(error.Limit());
    throw RecordError(std::move(fault));
  }
  return ReadRecordText(text, path.string());
}

}  // namespace quillane::fit
