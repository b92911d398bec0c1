// Fuzz target: the pattern formatter on every pattern the program uses, and the general, G()
// and S() forms, for any double (raw bit patterns: NaN payloads, infinities, subnormals, both
// zeros, the largest values).
//
// Input: byte 0 picks the pattern, byte 1 the decimal separator, the next 8 bytes are the
// double's bits (missing bytes read as zero).
//
// Invariants, for every finite value:
// - only digits, the separator, one leading minus, and the exponent letter with its sign and
//   digits appear; the counts of decimals and exponent digits follow the pattern;
// - a minus sign appears exactly when the value is negative and does not round to zero;
// - within |value| <= 1e300 the text reads back strictly to within the pattern's rounding of
//   the value (half a unit of the last place shown, after the 15-digit rounding);
// - FormatPattern, NumberPattern::Format and AppendTo agree; S() is the "0.00E+00" pattern;
// - the general form reads back within 15-digit rounding (unless that rounds beyond the double
//   range), uses the exponent form exactly outside [1e-4, 1e15), and G() reads as it does.
// Non-finite values give "NaN", "Inf" and "-Inf" everywhere (" NaN", " Inf" for G()).

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "format/NumberFormat.h"

namespace {

namespace fmt = quillane::format;

// Every pattern of the result files, tables and views, with what it promises.
struct PatternCase {
  const char* text;
  int minDecimals;
  int maxDecimals;
  int minIntegerDigits;  // digits before the separator (fixed), or the exact mantissa count
  bool exponent;
  bool groupedExponent;  // "#" widens the mantissa: exponent a multiple of the placeholders
  int exponentDigits;    // minimum count
  bool exponentSignAlways;
};

constexpr PatternCase kPatterns[] = {
    {"00.000000000", 9, 9, 2, false, false, 0, false}, {"###0.00", 2, 2, 1, false, false, 0, false},
    {"#.000000", 6, 6, 0, false, false, 0, false},     {"0.000E+00", 3, 3, 1, true, false, 2, true},
    {"0.00E+00", 2, 2, 1, true, false, 2, true},       {"0.00E-00", 2, 2, 1, true, false, 2, false},
    {"#0.0E+0", 1, 1, 1, true, true, 1, true},         {"##0.#", 0, 1, 1, false, false, 0, false},
    {"##0", 0, 0, 1, false, false, 0, false},          {"#00.0", 1, 1, 2, false, false, 0, false},
    {"##0.00", 2, 2, 1, false, false, 0, false},       {"0.000", 3, 3, 1, false, false, 0, false},
    {"0.00", 2, 2, 1, false, false, 0, false},         {"###0", 0, 0, 1, false, false, 0, false},
};
constexpr std::size_t kPatternCount = sizeof kPatterns / sizeof kPatterns[0];

const std::vector<fmt::NumberPattern>& Compiled() {
  static const std::vector<fmt::NumberPattern> compiled = [] {
    std::vector<fmt::NumberPattern> all;
    for (const PatternCase& p : kPatterns) all.emplace_back(p.text);
    return all;
  }();
  return compiled;
}

[[noreturn]] void Fail(const char* what, const char* pattern, double value,
                       const std::string& text) {
  std::fprintf(stderr, "%s\n  pattern: %s\n  value: %.17g\n  text: \"%s\"\n", what, pattern, value,
               text.c_str());
  std::abort();
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

char GroupFor(char decimal) {
  return decimal == '.' ? ',' : '.';
}

void CheckNonFinite(double value, const std::string& text, const char* pattern) {
  const char* expected = std::isnan(value) ? "NaN" : value < 0 ? "-Inf" : "Inf";
  if (text != expected) Fail("wrong text for a non-finite value", pattern, value, text);
}

// The pieces of a pattern-formatted text, checked for shape on the way.
struct Pieces {
  bool minus = false;
  int integerDigits = 0;
  int decimals = 0;
  bool hasExponent = false;
  bool exponentSign = false;
  int exponent = 0;
  int exponentDigits = 0;
};

Pieces Split(const std::string& text, char decimal, const PatternCase& p, double value) {
  Pieces pieces;
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') {
    pieces.minus = true;
    ++i;
  }
  for (; i < text.size() && IsDigit(text[i]); ++i) ++pieces.integerDigits;
  if (i >= text.size() || text[i] != decimal) {
    const bool pointExpected = p.maxDecimals > 0 || std::strchr(p.text, '.') != nullptr;
    if (pointExpected) Fail("the separator is missing", p.text, value, text);
  } else {
    for (++i; i < text.size() && IsDigit(text[i]); ++i) ++pieces.decimals;
  }
  if (i < text.size() && text[i] == 'E') {
    pieces.hasExponent = true;
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      pieces.exponentSign = true;
      negative = text[i] == '-';
      ++i;
    }
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      pieces.exponent = pieces.exponent * 10 + (text[i] - '0');
      ++pieces.exponentDigits;
    }
    if (negative) pieces.exponent = -pieces.exponent;
  }
  if (i != text.size()) Fail("unexpected character", p.text, value, text);
  return pieces;
}

void CheckPattern(std::size_t index, double value, char decimal) {
  const PatternCase& p = kPatterns[index];
  const fmt::NumberPattern& pattern = Compiled()[index];
  const std::string text = pattern.Format(value, decimal);
  std::string appended = "prefix";
  pattern.AppendTo(appended, value, decimal);
  if (appended != "prefix" + text) Fail("AppendTo differs from Format", p.text, value, appended);
  if (fmt::FormatPattern(value, p.text, decimal) != text) {
    Fail("FormatPattern differs from Format", p.text, value, text);
  }
  if (!std::isfinite(value)) {
    CheckNonFinite(value, text, p.text);
    return;
  }

  const Pieces pieces = Split(text, decimal, p, value);
  if (pieces.decimals < p.minDecimals || pieces.decimals > p.maxDecimals) {
    Fail("wrong count of decimals", p.text, value, text);
  }
  if (pieces.hasExponent != p.exponent) Fail("exponent part wrong", p.text, value, text);
  if (p.exponent) {
    if (pieces.exponentDigits < p.exponentDigits)
      Fail("too few exponent digits", p.text, value, text);
    if (pieces.exponentSign != (p.exponentSignAlways || pieces.exponent < 0)) {
      Fail("exponent sign wrong", p.text, value, text);
    }
    if (p.groupedExponent) {
      if (pieces.exponent % 2 != 0 || pieces.integerDigits < 1 || pieces.integerDigits > 2) {
        Fail("grouped exponent wrong", p.text, value, text);
      }
    } else if (pieces.integerDigits != p.minIntegerDigits) {
      Fail("wrong count of mantissa digits", p.text, value, text);
    }
  } else if (pieces.integerDigits < p.minIntegerDigits) {
    Fail("too few integer digits", p.text, value, text);
  }

  const std::optional<double> back = fmt::ParseStrict(text, decimal, GroupFor(decimal));
  if (std::fabs(value) > 1e300) return;
  if (!back) Fail("the text does not read back", p.text, value, text);
  const bool shownZero = *back == 0;
  if (pieces.minus != (value < 0 && !shownZero)) Fail("minus sign wrong", p.text, value, text);
  if (!p.exponent && pieces.integerDigits > 1 && text[pieces.minus] == '0' &&
      pieces.integerDigits > p.minIntegerDigits) {
    Fail("needless leading zero", p.text, value, text);
  }
  // Half a unit of the last place shown, after the 15-digit rounding of the value.
  const int lastPlace = (p.exponent ? pieces.exponent : 0) - p.maxDecimals;
  const double halfUnit = 0.5 * std::pow(10.0, lastPlace);
  const double tolerance = halfUnit * (1 + 1e-12) + 5.2e-15 * std::fabs(value) +
                           2 * std::numeric_limits<double>::denorm_min();
  if (!(std::fabs(*back - value) <= tolerance)) {
    Fail("the text reads back too far from the value", p.text, value, text);
  }
}

void CheckGeneral(double value, char decimal) {
  const std::string general = fmt::FormatGeneral(value, decimal);
  const std::string g = fmt::FormatG(value);
  if (fmt::FormatS(value, decimal) != fmt::FormatPattern(value, "0.00E+00", decimal) ||
      fmt::FormatPattern(value, "Scientific", decimal) != fmt::FormatS(value, decimal)) {
    Fail("S() is not the scientific pattern", "S", value, fmt::FormatS(value, decimal));
  }
  if (!std::isfinite(value)) {
    CheckNonFinite(value, general, "general");
    const std::string expected = std::isnan(value) ? " NaN" : value < 0 ? "-Inf" : " Inf";
    if (g != expected) Fail("wrong G() text for a non-finite value", "G", value, g);
    return;
  }
  std::size_t significant = 0;
  bool leading = true;
  for (char c : general.substr(0, general.find('E'))) {
    if (c == '0' && leading) continue;
    if (IsDigit(c)) {
      leading = false;
      ++significant;
    }
  }
  if (significant > 15) Fail("more than 15 significant digits", "general", value, general);

  const std::optional<double> back = fmt::ParseStrict(general, decimal, GroupFor(decimal));
  if (!back) {
    std::string pointed = general;
    for (char& c : pointed) {
      if (c == decimal) c = '.';
    }
    if (!std::isinf(fmt::ParseLenient(pointed))) {
      Fail("the general form does not read back", "general", value, general);
    }
    return;
  }
  const double tolerance =
      5.2e-15 * std::fabs(value) + 2 * std::numeric_limits<double>::denorm_min();
  if (!(std::fabs(*back - value) <= tolerance)) {
    Fail("the general form reads back too far from the value", "general", value, general);
  }
  const double magnitude = std::fabs(*back);
  const bool exponentForm = general.find('E') != std::string::npos;
  if (*back != 0 && exponentForm != (magnitude < 1e-4 || magnitude >= 1e15)) {
    Fail("exponent form used at the wrong magnitude", "general", value, general);
  }
  if (general.front() == '-' && *back == 0) Fail("a zero with a minus", "general", value, general);

  const std::optional<double> fromG = fmt::ParseStrict(g, '.', ',');
  const std::optional<double> fromGeneral =
      fmt::ParseStrict(fmt::FormatGeneral(value, '.'), '.', ',');
  if (!fromG || *fromG != *fromGeneral || (g.front() != ' ' && g.front() != '-') ||
      (g.front() == '-') != (*fromG < 0)) {
    Fail("G() does not read as the general form", "G", value, g);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t index = data[0] % kPatternCount;
  const char decimal = (data[1] & 1) != 0 ? ',' : '.';
  std::uint8_t bits[8] = {};
  std::memcpy(bits, data + 2, std::min<std::size_t>(size - 2, sizeof bits));
  double value;
  std::memcpy(&value, bits, sizeof value);
  CheckPattern(index, value, decimal);
  CheckGeneral(value, decimal);
  return 0;
}
