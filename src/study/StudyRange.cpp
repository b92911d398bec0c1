// The points of a range, each the double nearest its exact value, worked out from the ends as
// the user typed them (their shortest decimals): a linear point (from × (steps − i) + to × i) /
// steps, a logarithmic one from × (to / from)^(i / steps), exact where that is a decimal (ends a
// power of ten apart), from the doubles elsewhere.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "format/NumberFormat.h"
#include "study/StudyFile.h"

namespace quillane::study {

namespace {

// Wide enough for 17 digits shifted by 15 places and multiplied by kMaxRangeSteps.
__extension__ typedef __int128 Wide;

// Digits × 10^Exponent, the digits without trailing zeros.
struct Decimal {
  Wide Digits = 0;
  int Exponent = 0;
};

// The shortest decimal that reads back as `value` (what was typed, up to 17 digits).
Decimal ToDecimal(double value) {
  const std::string text = format::FormatShortest(value);
  Decimal decimal;
  bool negative = false;
  int fraction = 0;
  bool point = false;
  std::size_t i = 0;
  for (; i < text.size() && text[i] != 'e'; ++i) {
    if (text[i] == '-') {
      negative = true;
    } else if (text[i] == '.') {
      point = true;
    } else {
      decimal.Digits = decimal.Digits * 10 + (text[i] - '0');
      if (point) ++fraction;
    }
  }
  decimal.Exponent = (i < text.size() ? std::atoi(text.c_str() + i + 1) : 0) - fraction;
  while (decimal.Digits != 0 && decimal.Digits % 10 == 0) {
    decimal.Digits /= 10;
    ++decimal.Exponent;
  }
  if (negative) decimal.Digits = -decimal.Digits;
  return decimal;
}

std::string WideText(Wide value) {
  std::string text;
  do {
    text.insert(text.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
    value /= 10;
  } while (value != 0);
  return text;
}

// The double nearest numerator / denominator × 10^exponent (denominator > 0): enough digits of
// the quotient for strtod, which rounds correctly, to find it.
double NearestDouble(Wide numerator, long long denominator, int exponent) {
  std::string text = numerator < 0 ? "-" : "";
  const Wide magnitude = numerator < 0 ? -numerator : numerator;
  text += WideText(magnitude / denominator) + ".";
  Wide remainder = magnitude % denominator;
  for (int digit = 0; digit < 40 && remainder != 0; ++digit) {
    remainder *= 10;
    text += static_cast<char>('0' + static_cast<int>(remainder / denominator));
    remainder %= denominator;
  }
  return std::strtod((text + "e" + std::to_string(exponent)).c_str(), nullptr);
}

Wide Power10(int n) {
  Wide value = 1;
  while (n-- > 0) value *= 10;
  return value;
}

// Ends whose decimals are too far apart in scale for Wide.
constexpr int kMaxScaleGap = 15;

std::optional<double> ExactLinear(Decimal from, Decimal to, long long i, long long steps) {
  // Zero takes the other end's scale.
  if (from.Digits == 0) from.Exponent = to.Exponent;
  if (to.Digits == 0) to.Exponent = from.Exponent;
  const int exponent = std::min(from.Exponent, to.Exponent);
  if (std::max(from.Exponent, to.Exponent) - exponent > kMaxScaleGap) return std::nullopt;
  const Wide a = from.Digits * Power10(from.Exponent - exponent);
  const Wide b = to.Digits * Power10(to.Exponent - exponent);
  return NearestDouble(a * (steps - i) + b * i, steps, exponent);
}

// Exact when the ends have the same digits (a power of ten apart) and the point falls on a
// whole power of ten between them.
std::optional<double> ExactLog(const Decimal& from, const Decimal& to, long long i,
                               long long steps) {
  const long long decades = static_cast<long long>(to.Exponent) - from.Exponent;
  if (from.Digits != to.Digits || decades * i % steps != 0) return std::nullopt;
  return NearestDouble(from.Digits, 1, from.Exponent + static_cast<int>(decades * i / steps));
}

// A logarithmic point from the doubles, where no decimal is exact. Ends too far apart in scale
// (1e-300 to 1e10) overflow their ratio: those points weigh the ends' powers instead, each
// within the ends' own range.
double LogPoint(const ValueRange& range, double t) {
  const double ratio = range.To / range.From;
  if (std::isfinite(ratio)) return range.From * std::pow(ratio, t);
  return std::pow(range.From, 1 - t) * std::pow(range.To, t);
}

}  // namespace

std::vector<double> RangeValues(const ValueRange& range) {
  const Decimal from = ToDecimal(range.From);
  const Decimal to = ToDecimal(range.To);
  const long long steps = range.Steps;
  std::vector<double> values;
  for (long long i = 0; i <= steps; ++i) {
    const std::optional<double> exact =
        range.Log ? ExactLog(from, to, i, steps) : ExactLinear(from, to, i, steps);
    const double t = static_cast<double>(i) / static_cast<double>(steps);
    double value = exact       ? *exact
                   : range.Log ? LogPoint(range, t)
                               : range.From + (range.To - range.From) * t;
    if (i == 0) value = range.From;
    if (i == steps) value = range.To;
    values.push_back(value);
  }
  return values;
}

}  // namespace quillane::study
