// Fuzz target: the in-situ record reader on arbitrary text.
//
// Invariants: reading either succeeds or throws RecordError naming the file (nothing else); an
// accepted record has at least two rows, strictly increasing finite times, finite curvatures,
// and a temperature per row or none at all.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fit/CalibrationRecord.h"

namespace {

constexpr const char* kOrigin = "fuzz.csv";

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillane::fit;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CalibrationRecord record;
  try {
    record = ReadRecordText(text, kOrigin);
  } catch (const RecordError& error) {
    if (std::string(error.what()).rfind(kOrigin, 0) != 0)
      Fail("unnamed file: " + std::string(error.what()));
    return 0;
  }
  const std::size_t rows = record.Time.size();
  if (rows < 2 || record.Curvature.size() != rows) Fail("too few rows or a missing curvature");
  if (record.HasTemperature() && record.Temperature.size() != rows) Fail("temperatures missing");
  for (std::size_t i = 0; i < rows; ++i) {
    if (!std::isfinite(record.Time[i]) || !std::isfinite(record.Curvature[i])) Fail("not finite");
    if (i > 0 && !(record.Time[i] > record.Time[i - 1])) Fail("time does not increase");
  }
  return 0;
}
