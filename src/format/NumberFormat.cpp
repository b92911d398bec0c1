#include "format/NumberFormat.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <system_error>

namespace quillane::format {
namespace {

// The 15 significant digits every formatter rounds from: value = 0.d1d2..dn * 10^(exp10 + 1),
// i.e. d1.d2..dn * 10^exp10, trailing zeros dropped. A zero value has no digits.
struct Decimal15 {
  char digits[24];
  int count = 0;
  int exp10 = 0;
};

// Splits "d.ddde+XX" as written by std::to_chars in scientific style.
void ReadScientific(const char* first, const char* last, Decimal15& d) {
  d.count = 0;
  const char* p = first;
  d.digits[d.count++] = *p++;
  if (p != last && *p == '.') {
    ++p;
    while (p != last && *p != 'e') d.digits[d.count++] = *p++;
  }
  ++p;  // 'e'
  const bool negative = *p == '-';
  ++p;
  int e = 0;
  while (p != last) e = e * 10 + (*p++ - '0');
  d.exp10 = negative ? -e : e;
  while (d.count > 0 && d.digits[d.count - 1] == '0') --d.count;
  if (d.count == 0) d.exp10 = 0;
}

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// "00" to "99", so digits are produced two per division.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes count digits of v (count even) ending just before end.
void PutDigitPairs(std::uint32_t v, char* end, int count) {
  for (; count > 0; count -= 2, v /= 100) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * (v % 100), 2);
  }
}

// Writes the integer n (below 10^15) as exactly 15 digits, in 32-bit halves because 64-bit
// division is markedly slower.
void PutFifteenDigits(std::uint64_t n, char* digits) {
  const auto high = static_cast<std::uint32_t>(n / 100000000U);  // 7 digits
  PutDigitPairs(static_cast<std::uint32_t>(n % 100000000U), digits + 15, 8);
  PutDigitPairs(high % 1000000U, digits + 7, 6);
  digits[0] = static_cast<char>('0' + high / 1000000U);
}

// Trailing decimal zeros of n (not zero, below 10^15), found by halving the width: reading
// the digits back from memory stalls on the fresh stores, and a branch per zero mispredicts.
int TrailingZeros(std::uint64_t n) {
  int zeros = 0;
  auto v = static_cast<std::uint32_t>(n % 100000000U);
  if (v == 0) {
    v = static_cast<std::uint32_t>(n / 100000000U);
    zeros = 8;
  }
  if (v % 10000 == 0) {
    v /= 10000;
    zeros += 4;
  }
  if (v % 100 == 0) {
    v /= 100;
    zeros += 2;
  }
  if (v % 10 == 0) ++zeros;
  return zeros;
}

// The common case without any text conversion: scale the value to [10^14, 10^15) by an exact
// power of ten and round that product to an integer, half to even as std::to_chars does. The
// product is known exactly as p + error (fused multiply-add), so the rounding is exact too.
// False outside the exact powers 10^0..10^22 (decimal exponents -8 to 14): the caller then
// converts through text.
bool FastDecimal15(double magnitude, Decimal15& d) {
  std::uint64_t bits;
  std::memcpy(&bits, &magnitude, sizeof bits);
  const int binaryExponent = static_cast<int>(bits >> 52) - 1023;
  // floor(binaryExponent * log10(2)): the decimal exponent, or one below it.
  const int estimate = (binaryExponent * 78913) >> 18;
  int scale = 14 - estimate;
  if (scale < 0 || scale > 22) return false;
  double power = kPowersOfTen[scale];
  double product = magnitude * power;
  if (product >= 1e15) {
    if (scale == 0) return false;
    --scale;
    power = kPowersOfTen[scale];
    product = magnitude * power;
  }
  // Below 2^50 the product keeps at least 3 fraction bits, so these differences are exact.
  const double error = std::fma(magnitude, power, -product);
  const double whole = std::floor(product);
  const double aboveHalf = (product - whole) - 0.5;
  auto n = static_cast<std::uint64_t>(whole);
  if (aboveHalf > -error || (aboveHalf == -error && (n & 1U) != 0)) ++n;
  if (n < 100000000000000ULL || n > 1000000000000000ULL) return false;
  if (n == 1000000000000000ULL) {
    d.digits[0] = '1';
    d.count = 1;
    d.exp10 = 15 - scale;
    return true;
  }
  PutFifteenDigits(n, d.digits);
  d.count = 15 - TrailingZeros(n);
  d.exp10 = 14 - scale;
  return true;
}

// Digits of a finite non-negative magnitude correctly rounded to 15 significant digits.
void ToDecimal15(double magnitude, Decimal15& d) {
  char buffer[40];
  if (magnitude == 0) {
    d.count = 0;
    d.exp10 = 0;
    return;
  }
  if (magnitude >= DBL_MIN) {
    if (FastDecimal15(magnitude, d)) return;
    // The shortest round-trip form is cheaper than a fixed precision. It lies within half an
    // ulp (below 1.2e-16 relative) of the value, while 15-digit decimals are at least 1e-15
    // relative apart, so a shortest form of at most 15 digits is the nearest 15-digit decimal
    // itself. Subnormals have too few bits for that argument.
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
    ReadScientific(buffer, r.ptr, d);
    if (d.count <= 15) return;
  }
  const auto r =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 14);
  ReadScientific(buffer, r.ptr, d);
}

// Keeps the first `keep` digits, rounding half away from zero on the next one. A carry past the
// first digit leaves the single digit "1" one decade up. keep <= 0 rounds to zero unless the
// first digit is 5 or more at keep == 0, which gives one unit of the first dropped decade.
void RoundTo(Decimal15& d, int keep) {
  if (keep >= d.count) return;
  if (keep < 0) {
    d.count = 0;
    d.exp10 = 0;
    return;
  }
  const bool up = d.digits[keep] >= '5';
  d.count = keep;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[i] == '9') --i;
    if (i < 0) {
      d.digits[0] = '1';
      d.count = 1;
      ++d.exp10;
      return;
    }
    ++d.digits[i];
    d.count = i + 1;
  }
  while (d.count > 0 && d.digits[d.count - 1] == '0') --d.count;
  if (d.count == 0) d.exp10 = 0;
}

// "NaN", "Inf", "-Inf"; false for a finite value.
bool AppendNonFinite(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "NaN";
    return true;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-Inf" : "Inf";
    return true;
  }
  return false;
}

// Grows out by size characters and returns where they start: every writer below knows its
// length beforehand, so the text is written in place without a second copy.
char* Grow(std::string& out, std::size_t size) {
  const std::size_t start = out.size();
  out.resize(start + size);
  return out.data() + start;
}

char* Fill(char* p, int count, char c) {
  for (; count > 0; --count) *p++ = c;
  return p;
}

// Writes digit positions [first, first + count) of d; positions before the first stored digit
// and past the last one are zeros.
char* WriteDigits(char* p, const Decimal15& d, int first, int count) {
  char* const end = p + count;
  const int leadingZeros = std::min(std::max(-first, 0), count);
  p = Fill(p, leadingZeros, '0');
  first += leadingZeros;
  const int stored = static_cast<int>(std::min<std::ptrdiff_t>(d.count - first, end - p));
  if (stored > 0) {
    std::memcpy(p, d.digits + first, static_cast<std::size_t>(stored));
    p += stored;
  }
  return Fill(p, static_cast<int>(end - p), '0');
}

// How many decimals follow the point when they start at digit position first: the
// significant ones, no fewer than minDecimals and no more than maxDecimals.
int ShownDecimals(const Decimal15& d, int first, int minDecimals, int maxDecimals) {
  return std::clamp(d.count - first, minDecimals, maxDecimals);
}

int FloorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// A clean decimal text (optional '-', digits with an optional '.', optional 'e' exponent) to
// a double, correctly rounded. Nothing when it exceeds the double range; too small reads as
// zero of its sign.
std::optional<double> ConvertDecimal(std::string_view text) {
  double value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto r = std::from_chars(first, last, value);
  if (r.ec == std::errc() && r.ptr == last) return value;
  if (r.ec != std::errc::result_out_of_range) return std::nullopt;
  // Out of range either way: the decade of the leading significant digit tells which.
  const bool negative = !text.empty() && text.front() == '-';
  std::size_t i = negative ? 1 : 0;
  long long magnitude = 0;
  bool found = false;
  bool afterPoint = false;
  for (; i < text.size() && text[i] != 'e'; ++i) {
    const char c = text[i];
    if (c == '.') {
      afterPoint = true;
    } else if (!found && c == '0') {
      if (afterPoint) --magnitude;
    } else {
      found = true;
      if (!afterPoint) ++magnitude;
    }
  }
  if (i < text.size()) {
    ++i;
    const bool negativeExponent = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    long long exponent = 0;
    for (; i < text.size(); ++i) exponent = std::min(exponent * 10 + (text[i] - '0'), 1000000000LL);
    magnitude += negativeExponent ? -exponent : exponent;
  }
  if (magnitude > 0) return std::nullopt;
  return negative ? -0.0 : 0.0;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Hexadecimal digits to a double, correctly rounded; beyond the range gives +infinity.
double ConvertHex(const std::string& hexDigits) {
  if (hexDigits.empty()) return 0;
  double value = 0;
  const char* first = hexDigits.data();
  const auto r = std::from_chars(first, first + hexDigits.size(), value, std::chars_format::hex);
  if (r.ec == std::errc::result_out_of_range) return std::numeric_limits<double>::infinity();
  return value;
}

// Octal digits regrouped into hexadecimal ones (3 bits each into 4), so both read exactly.
std::string OctalToHex(std::string_view octal) {
  std::string hex;
  unsigned bits = 0;
  int bitCount = 0;
  for (auto it = octal.rbegin(); it != octal.rend(); ++it) {
    bits |= static_cast<unsigned>(*it - '0') << bitCount;
    bitCount += 3;
    while (bitCount >= 4) {
      hex.push_back("0123456789abcdef"[bits & 15U]);
      bits >>= 4;
      bitCount -= 4;
    }
  }
  if (bitCount > 0) hex.push_back("0123456789abcdef"[bits & 15U]);
  std::reverse(hex.begin(), hex.end());
  return hex;
}

}  // namespace

NumberPattern::NumberPattern(std::string_view pattern) {
  std::size_t i = 0;
  const auto fail = [&](const char* why) {
    throw std::invalid_argument("Number pattern \"" + std::string(pattern) + "\": " + why);
  };
  for (; i < pattern.size() && (pattern[i] == '0' || pattern[i] == '#'); ++i) {
    ++maxIntegerDigits_;
    if (pattern[i] == '0') ++minIntegerDigits_;
  }
  if (i < pattern.size() && pattern[i] == '.') {
    hasPoint_ = true;
    for (++i; i < pattern.size() && (pattern[i] == '0' || pattern[i] == '#'); ++i) {
      ++maxDecimals_;
      if (pattern[i] == '0') ++minDecimals_;
    }
  }
  if (maxIntegerDigits_ == 0 && maxDecimals_ == 0) fail("no digit placeholder");
  if (i < pattern.size() && (pattern[i] == 'E' || pattern[i] == 'e')) {
    hasExponent_ = true;
    exponentLetter_ = pattern[i++];
    if (i < pattern.size() && (pattern[i] == '+' || pattern[i] == '-')) {
      exponentSignAlways_ = pattern[i++] == '+';
    }
    for (; i < pattern.size() && pattern[i] == '0'; ++i) ++minExponentDigits_;
    if (minExponentDigits_ == 0) fail("the exponent needs at least one \"0\"");
  }
  if (i != pattern.size()) fail("unexpected character");
}

std::string NumberPattern::Format(double value, char decimalSeparator) const {
  std::string out;
  AppendTo(out, value, decimalSeparator);
  return out;
}

void NumberPattern::AppendTo(std::string& out, double value, char decimalSeparator) const {
  if (AppendNonFinite(out, value)) return;
  if (hasExponent_) {
    AppendExponent(out, value, decimalSeparator);
  } else {
    AppendFixed(out, value, decimalSeparator);
  }
}

void NumberPattern::AppendFixed(std::string& out, double value, char decimalSeparator) const {
  Decimal15 d;
  ToDecimal15(std::fabs(value), d);
  // Digit i weighs 10^(exp10 - i); the last one shown weighs 10^-maxDecimals_.
  RoundTo(d, d.exp10 + 1 + maxDecimals_);
  const bool minus = value < 0 && d.count > 0;
  const int integerDigits = d.count > 0 && d.exp10 >= 0 ? d.exp10 + 1 : 0;
  const int leadingZeros = std::max(minIntegerDigits_ - integerDigits, 0);
  const int decimals = hasPoint_ ? ShownDecimals(d, d.exp10 + 1, minDecimals_, maxDecimals_) : 0;
  // "#" of a value below one would otherwise print nothing at all.
  const bool loneZero = !hasPoint_ && integerDigits == 0 && leadingZeros == 0;
  char* p = Grow(out, static_cast<std::size_t>(minus + leadingZeros + integerDigits + hasPoint_ +
                                               decimals + loneZero));
  if (minus) *p++ = '-';
  p = Fill(p, leadingZeros + loneZero, '0');
  p = WriteDigits(p, d, 0, integerDigits);
  if (hasPoint_) {
    *p++ = decimalSeparator;
    WriteDigits(p, d, d.exp10 + 1, decimals);
  }
}

void NumberPattern::AppendExponent(std::string& out, double value, char decimalSeparator) const {
  Decimal15 d;
  ToDecimal15(std::fabs(value), d);
  // "#" before the point makes the exponent a multiple of the integer placeholder count.
  const bool grouped = maxIntegerDigits_ > minIntegerDigits_ && maxIntegerDigits_ > 1;
  const int fixedIntegerDigits = std::max(minIntegerDigits_, 1);
  const auto exponentFor = [&](int exp10) {
    return grouped ? FloorDiv(exp10, maxIntegerDigits_) * maxIntegerDigits_
                   : exp10 - (fixedIntegerDigits - 1);
  };
  int exponent = 0;
  int integerDigits = grouped ? 1 : fixedIntegerDigits;
  if (d.count > 0) {
    exponent = exponentFor(d.exp10);
    RoundTo(d, d.exp10 - exponent + 1 + maxDecimals_);
    // A carry into a new decade may move the exponent; the digits are then a plain "1".
    exponent = exponentFor(d.exp10);
    integerDigits = d.exp10 - exponent + 1;
  }
  const bool minus = value < 0 && d.count > 0;
  const int decimals = hasPoint_ ? ShownDecimals(d, integerDigits, minDecimals_, maxDecimals_) : 0;
  const bool exponentSign = exponent < 0 || exponentSignAlways_;
  char exponentDigits[12];
  const auto r = std::to_chars(exponentDigits, exponentDigits + sizeof exponentDigits,
                               exponent < 0 ? -exponent : exponent);
  const int exponentCount = static_cast<int>(r.ptr - exponentDigits);
  const int exponentZeros = std::max(minExponentDigits_ - exponentCount, 0);
  char* p = Grow(out, static_cast<std::size_t>(minus + integerDigits + hasPoint_ + decimals + 1 +
                                               exponentSign + exponentZeros + exponentCount));
  if (minus) *p++ = '-';
  p = WriteDigits(p, d, 0, integerDigits);
  if (hasPoint_) {
    *p++ = decimalSeparator;
    p = WriteDigits(p, d, integerDigits, decimals);
  }
  *p++ = exponentLetter_;
  if (exponentSign) *p++ = exponent < 0 ? '-' : '+';
  p = Fill(p, exponentZeros, '0');
  std::memcpy(p, exponentDigits, static_cast<std::size_t>(exponentCount));
}

std::string FormatPattern(double value, std::string_view pattern, char decimalSeparator) {
  constexpr std::string_view kScientific = "scientific";
  const bool scientific =
      std::equal(pattern.begin(), pattern.end(), kScientific.begin(), kScientific.end(),
                 [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
  return NumberPattern(scientific ? std::string_view("0.00E+00") : pattern)
      .Format(value, decimalSeparator);
}

std::string FormatGeneral(double value, char decimalSeparator) {
  std::string out;
  if (AppendNonFinite(out, value)) return out;
  Decimal15 d;
  ToDecimal15(std::fabs(value), d);
  if (d.count == 0) return "0";
  // At most a sign, "0.0000", 15 digits and "E+308".
  char text[40];
  char* p = text;
  if (value < 0) *p++ = '-';
  const int x = d.exp10;
  if (x < -4 || x >= 15) {
    *p++ = d.digits[0];
    if (d.count > 1) {
      *p++ = decimalSeparator;
      p = WriteDigits(p, d, 1, d.count - 1);
    }
    *p++ = 'E';
    *p++ = x < 0 ? '-' : '+';
    const int magnitude = x < 0 ? -x : x;
    if (magnitude < 10) *p++ = '0';
    p = std::to_chars(p, text + sizeof text, magnitude).ptr;
  } else if (x >= 0) {
    p = WriteDigits(p, d, 0, x + 1);
    if (d.count > x + 1) {
      *p++ = decimalSeparator;
      p = WriteDigits(p, d, x + 1, d.count - x - 1);
    }
  } else {
    *p++ = '0';
    *p++ = decimalSeparator;
    p = WriteDigits(p, d, x + 1, d.count - x - 1);
  }
  out.assign(text, p);
  return out;
}

std::string FormatG(double value) {
  std::string text = FormatGeneral(value, '.');
  if (text.compare(0, 2, "0.") == 0) {
    text.erase(0, 1);
  } else if (text.compare(0, 3, "-0.") == 0) {
    text.erase(1, 1);
  }
  if (text.front() != '-') text.insert(text.begin(), ' ');
  return text;
}

std::string FormatS(double value, char decimalSeparator) {
  static const NumberPattern scientific("0.00E+00");
  return scientific.Format(value, decimalSeparator);
}

std::optional<double> ParseStrict(std::string_view text, char decimalSeparator,
                                  char groupSeparator) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  // A comma locale still takes a typed point, unless the point groups thousands there.
  const bool pointToo = decimalSeparator == ',' && groupSeparator != '.';
  std::string clean;
  clean.reserve(text.size());
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') clean.push_back('-');
    ++i;
  }
  int digits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      clean.push_back(c);
      ++digits;
    } else if (!point && (c == decimalSeparator || (pointToo && c == '.'))) {
      clean.push_back('.');
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    clean.push_back('e');
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) clean.push_back(text[i++]);
    int exponentDigits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++exponentDigits) clean.push_back(text[i]);
    if (exponentDigits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  return ConvertDecimal(clean);
}

double ParseLenient(std::string_view text) {
  std::string t;
  t.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') t.push_back(c);
  }
  if (t.size() >= 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h' || t[1] == 'O' || t[1] == 'o')) {
    const bool hex = t[1] == 'H' || t[1] == 'h';
    std::size_t end = 2;
    while (end < t.size() && (hex ? IsHexDigit(t[end]) : (t[end] >= '0' && t[end] <= '7'))) ++end;
    const std::string_view digits(t.data() + 2, end - 2);
    return ConvertHex(hex ? std::string(digits) : OctalToHex(digits));
  }
  std::string clean;
  clean.reserve(t.size());
  std::size_t i = 0;
  const bool negative = i < t.size() && t[i] == '-';
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  if (negative) clean.push_back('-');
  int digits = 0;
  bool point = false;
  for (; i < t.size(); ++i) {
    if (IsDigit(t[i])) {
      clean.push_back(t[i]);
      ++digits;
    } else if (t[i] == '.' && !point) {
      clean.push_back('.');
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return 0;
  if (i < t.size() && (t[i] == 'E' || t[i] == 'e' || t[i] == 'D' || t[i] == 'd')) {
    std::size_t j = i + 1;
    const bool hasSign = j < t.size() && (t[j] == '+' || t[j] == '-');
    if (hasSign) ++j;
    if (j < t.size() && IsDigit(t[j])) {
      clean.push_back('e');
      if (hasSign) clean.push_back(t[j - 1]);
      for (; j < t.size() && IsDigit(t[j]); ++j) clean.push_back(t[j]);
    }
  }
  const std::optional<double> value = ConvertDecimal(clean);
  if (value) return *value;
  return negative ? -std::numeric_limits<double>::infinity()
                  : std::numeric_limits<double>::infinity();
}

std::string FormatTableNumber(double value, char decimalSeparator, int digits) {
  if (std::isnan(value)) return "—";
  std::string out;
  if (AppendNonFinite(out, value)) return out;
  if (value == 0) return "0";
  // The value rounded to its digits: "d.ddddde±x", trailing zeros then dropped.
  char text[48];
  const char* end = std::to_chars(text, text + sizeof text, std::fabs(value),
                                  std::chars_format::scientific, std::clamp(digits, 1, 17) - 1)
                        .ptr;
  const char* mark = std::find(static_cast<const char*>(text), end, 'e');
  std::string mantissa;
  for (const char* c = text; c != mark; ++c) {
    if (*c != '.') mantissa += *c;
  }
  while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();
  int exponent = 0;
  std::from_chars(mark + (mark[1] == '+' ? 2 : 1), end, exponent);
  if (value < 0) out += '-';
  if (exponent >= -3 && exponent < 6) {
    if (exponent < 0) {
      out += '0';
      out += decimalSeparator;
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += mantissa;
      return out;
    }
    const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
    if (mantissa.size() < whole) mantissa.append(whole - mantissa.size(), '0');
    out += mantissa.substr(0, whole);
    if (mantissa.size() > whole) out += decimalSeparator + mantissa.substr(whole);
    return out;
  }
  out += mantissa[0];
  if (mantissa.size() > 1) out += decimalSeparator + mantissa.substr(1);
  out += exponent < 0 ? "E-" : "E+";
  if (std::abs(exponent) < 10) out += '0';
  out += std::to_string(std::abs(exponent));
  return out;
}

ShownUnit TableUnit(std::string_view siUnit) {
  if (siUnit == "Pa") return {"MPa", 1e6};
  return {std::string(siUnit), 1};
}

std::string FormatShortest(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace quillane::format
