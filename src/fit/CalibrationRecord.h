#pragma once
// In-situ records for calibration: a CSV file with a header naming the columns `time` (s),
// `curvature` (1/m) and optionally `temperature` (K, the substrate's back face). Commas or
// semicolons separate the fields; with semicolons a decimal comma is read too. Blank lines and
// lines starting with '#' are ignored.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillane::fit {

// A record that cannot be used; the message names the file and the line.
class RecordError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CalibrationRecord {
  std::vector<double> Time;         // s, strictly increasing
  std::vector<double> Curvature;    // 1/m
  std::vector<double> Temperature;  // K; NaN where a row gives none; empty without the column
  bool HasTemperature() const { return !Temperature.empty(); }
};

CalibrationRecord ReadRecordText(std::string_view text, const std::string& origin);
CalibrationRecord ReadRecordFile(const std::filesystem::path& path);

}  // namespace quillane::fit
