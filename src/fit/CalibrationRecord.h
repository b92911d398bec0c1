#pragma once
// In-situ records for calibration: a CSV file with a header naming the columns `time` (s),
// `curvature` (1/m) and optionally `temperature` (K, the substrate's back face, as a
// thermocouple reads it) and `surface_temperature` (K, the top surface, as a pyrometer reads
// it). Commas, semicolons or tabs separate the fields; with semicolons or tabs a decimal comma is
// read too. Blank lines and lines starting with '#' are ignored; other columns are kept by name
// only, so that a fit can say it did not use them.

#include <array>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillane::fit {

// What makes a record unusable, as data: each program words it in its own language.
struct RecordFault {
  enum class Kind {
    Unreadable,  // the file cannot be read
    Folder,      // the path is a folder
    TooLarge,    // the file is larger than Limit bytes: not a record
    Empty,       // no header row
    NamedTwice,  // Column named twice in the header
    NoHeader,    // the header lacks "time" or "curvature"
    FieldCount,  // Count fields where the header names Expected
    NotNumber,   // Column's Cell is not a finite number
    NotAfter,    // Time does not come after Previous
    TooFewRows,  // fewer than two rows of measurements
    OutOfRange,  // Column's Cell lies beyond Expected in size (no plate or thermometer reads it)
  };
  Kind What = Kind::Unreadable;
  std::string Origin;
  std::size_t Line = 0;  // 0 where the fault is the whole file's
  std::string Column;
  std::string Cell;
  std::size_t Count = 0;
  std::size_t Expected = 0;
  double Limit = 0;
  double Time = 0;
  double Previous = 0;
};
// The fault in the batch program's English.
std::string English(const RecordFault& fault);

// A record that cannot be used; the message names the file and the line.
// A fault of the record itself carries it as data; the settings' faults (a subclass, the batch
// program's options) carry their message alone.
class RecordError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  explicit RecordError(RecordFault fault)
      : std::runtime_error(English(fault)), fault_(std::move(fault)) {}
  const RecordFault* Fault() const { return fault_ ? &*fault_ : nullptr; }

 private:
  std::optional<RecordFault> fault_;
};

// The measured series a record may hold: the curvature, the back face's and the top surface's
// temperatures. A fit weighs each by its own noise.
enum class Series { Curvature, Back, Surface };
inline constexpr std::size_t kSeriesCount = 3;
using SeriesValues = std::array<double, kSeriesCount>;
// "curvature", "temperature", "surface_temperature": the series' column.
const char* ColumnName(Series series);

// The largest curvature (1/m, a radius of 1 mm) and temperature (K) a record may hold: beyond
// them a row is a typing or unit fault, and its weighted squares would overflow.
inline constexpr double kLargestCurvature = 1e3;
inline constexpr double kLargestTemperature = 1e5;

struct CalibrationRecord {
  std::vector<double> Time;         // s, strictly increasing
  std::vector<double> Curvature;    // 1/m
  std::vector<double> Temperature;  // K; NaN where a row gives none; empty without the column
  std::vector<double> SurfaceTemperature;  // K; the same
  std::vector<std::string> UnusedColumns;  // named in the header, read by no fit
  bool HasTemperature() const { return !Temperature.empty(); }
  bool Has(Series series) const { return !Values(series).empty(); }
  const std::vector<double>& Values(Series series) const;
};

CalibrationRecord ReadRecordText(std::string_view text, const std::string& origin);
CalibrationRecord ReadRecordFile(const std::filesystem::path& path);

}  // namespace quillane::fit
