// Fuzz target: the strict and the lenient number readers on arbitrary bytes, under the three
// separator conventions the program meets (point, comma with a point grouping, comma with a
// blank grouping, where a typed point is a decimal separator too).
//
// Invariants:
// - a strict read is finite, unchanged by surrounding blanks, and equal (bit for bit) to the
//   lenient read of the same text with its separator written as a point;
// - the general 15-digit form of a strict read reads back strictly to a value within that
//   rounding, whose own general form is the same text; it may fail to read back only when the
//   15-digit decimal lies beyond the double range;
// - the lenient read never throws and never gives NaN.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "format/NumberFormat.h"

namespace {

using quillane::format::FormatGeneral;
using quillane::format::ParseLenient;
using quillane::format::ParseStrict;

struct Convention {
  char decimal;
  char group;
};
constexpr Convention kConventions[] = {{'.', ','}, {',', '.'}, {',', ' '}};

[[noreturn]] void Fail(const char* what, std::string_view text, Convention c, double value) {
  std::fprintf(stderr, "%s\n  text: \"%.*s\" (decimal '%c', group '%c')\n  value: %.17g\n", what,
               static_cast<int>(text.size()), text.data(), c.decimal, c.group, value);
  std::abort();
}

bool SameBits(double a, double b) {
  std::uint64_t x;
  std::uint64_t y;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return x == y;
}

std::string WithPoint(std::string_view text, char decimal) {
  std::string pointed(text);
  if (decimal != '.') {
    for (char& c : pointed) {
      if (c == decimal) c = '.';
    }
  }
  return pointed;
}

void CheckGeneralRoundTrip(std::string_view text, Convention c, double value) {
  const std::string general = FormatGeneral(value, c.decimal);
  const std::optional<double> back = ParseStrict(general, c.decimal, c.group);
  if (!back) {
    if (!std::isinf(ParseLenient(WithPoint(general, c.decimal)))) {
      Fail("the general form does not read back", general, c, value);
    }
    return;
  }
  // 15 significant digits: within half a unit of the 15th digit, plus the read's own rounding
  // and the coarse spacing of subnormals.
  const double tolerance =
      5.2e-15 * std::fabs(value) + std::numeric_limits<double>::denorm_min() * 2;
  if (!(std::fabs(*back - value) <= tolerance)) {
    Fail("the general form reads back too far from the value", text, c, *back);
  }
  if (FormatGeneral(*back, c.decimal) != general) {
    Fail("the general form is not stable", general, c, *back);
  }
}

void CheckStrict(std::string_view text, Convention c) {
  const std::optional<double> value = ParseStrict(text, c.decimal, c.group);
  if (!value) return;
  if (!std::isfinite(*value)) Fail("strict read gave a non-finite value", text, c, *value);

  const std::string padded = " \t" + std::string(text) + "\t ";
  const std::optional<double> again = ParseStrict(padded, c.decimal, c.group);
  if (!again || !SameBits(*again, *value)) {
    Fail("surrounding blanks change the strict read", text, c, *value);
  }

  const double lenient = ParseLenient(WithPoint(text, c.decimal));
  if (!SameBits(lenient, *value)) Fail("lenient and strict reads differ", text, c, lenient);

  CheckGeneralRoundTrip(text, c, *value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const Convention& c : kConventions) CheckStrict(text, c);
  const double lenient = ParseLenient(text);
  if (std::isnan(lenient)) Fail("lenient read gave NaN", text, kConventions[0], lenient);
  return 0;
}
