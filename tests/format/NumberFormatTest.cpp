#include "format/NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>

namespace quillane::format {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct PatternCase {
  const char* pattern;
  double value;
  char separator;
  const char* expected;
};

TEST(NumberPattern, FormatsTable) {
  const PatternCase cases[] = {
      // Fixed patterns: padding, "#" below one, every integer digit, the point always shown.
      {"###0.00", 573.2914, '.', "573.29"},
      {"###0.00", 573, '.', "573.00"},
      {"###0.00", 573, ',', "573,00"},
      {"00.000000000", 1.5, '.', "01.500000000"},
      {"00.000000000", 125.5, '.', "125.500000000"},
      {"00.000000000", 0, '.', "00.000000000"},
      {"#.000000", 0.002002, '.', ".002002"},
      {"#.000000", 0, '.', ".000000"},
      {"#.000000", 12.5, '.', "12.500000"},
      {"#.000000", -5e-7, '.', "-.000001"},
      {"##0.#", 1, '.', "1."},
      {"##0.#", 12.04, '.', "12."},
      {"##0.#", 0.25, '.', "0.3"},
      {"##0", 2.5, '.', "3"},
      {"##0", -2.5, '.', "-3"},
      {"##0", 0.4, '.', "0"},
      {"#00.0", 5, '.', "05.0"},
      {"###0", 1e20, '.', "100000000000000000000"},
      {"###0", 1234567.5, '.', "1234568"},
      {"0.00000000000000000", 1.234567890123456789, '.', "1.23456789012346000"},
      // Rounding half away from zero on the 15-digit form, carries into a new digit.
      {"0.00", 1.005, '.', "1.01"},
      {"0.00", 2.675, '.', "2.68"},
      {"0.00", 0.285, '.', "0.29"},
      {"0.00", 9.995, '.', "10.00"},
      {"##0.00", 99.995, '.', "100.00"},
      {"##0.00", -99.995, '.', "-100.00"},
      {"#.000000", 12.3456785, '.', "12.345679"},
      {"0.000", 0.0005, '.', "0.001"},
      {"0.000", 0.00049999, '.', "0.000"},
      {"0.000", 0.1 + 0.2, '.', "0.300"},
      {"0.00", 0.006, '.', "0.01"},
      // Zero and values rounding to zero carry no sign.
      {"###0.00", -0.0, '.', "0.00"},
      {"###0.00", -0.004, '.', "0.00"},
      {"###0.00", -0.005, '.', "-0.01"},
      {"0.00", 5e-324, '.', "0.00"},
      // Exponent patterns.
      {"0.000E+00", -0.25, '.', "-2.500E-01"},
      {"0.000E+00", 0, '.', "0.000E+00"},
      {"0.000E+00", -0.0, '.', "0.000E+00"},
      {"0.000E+00", 1.5e-10, '.', "1.500E-10"},
      {"0.000E+00", -2.5e8, '.', "-2.500E+08"},
      {"0.000E+00", 9.9996, '.', "1.000E+01"},
      {"0.000E+00", 1.0005, '.', "1.001E+00"},
      {"0.000E+00", 1e300, '.', "1.000E+300"},
      {"0.000E+00", 5e-324, '.', "4.941E-324"},
      {"0.00E-00", 1.5, '.', "1.50E00"},
      {"0.00E-00", 0.015, '.', "1.50E-02"},
      {"0.00E-00", -150, ',', "-1,50E02"},
      {"0.00E+00", 250, '.', "2.50E+02"},
      {"0.00E+00", 320000, ',', "3,20E+05"},
      {"0.0e+0", 12, '.', "1.2e+1"},
      {"00.0E+0", 1234, '.', "12.3E+2"},
      {"00.0E+0", 0.00123, '.', "12.3E-4"},
      {"#0.0E+0", 500, '.', "5.0E+2"},
      {"#0.0E+0", 5000, '.', "50.0E+2"},
      {"#0.0E+0", 0.5, '.', "50.0E-2"},
      {"#0.0E+0", 0.05, '.', "5.0E-2"},
      {"#0.0E+0", 99.96, '.', "1.0E+2"},
      {"#0.0E+0", 0, '.', "0.0E+0"},
      // Not-a-number and infinities.
      {"###0.00", kNaN, '.', "NaN"},
      {"###0.00", kInf, '.', "Inf"},
      {"0.000E+00", -kInf, '.', "-Inf"},
  };
  for (const PatternCase& c : cases) {
    EXPECT_EQ(NumberPattern(c.pattern).Format(c.value, c.separator), c.expected)
        << c.pattern << " of " << c.value;
  }
}

TEST(NumberPattern, HugeValuesShowEveryIntegerDigit) {
  EXPECT_EQ(NumberPattern("0.00").Format(1e308), "1" + std::string(308, '0') + ".00");
  EXPECT_EQ(NumberPattern("###0.00").Format(-std::numeric_limits<double>::max()),
            "-179769313486232" + std::string(294, '0') + ".00");
}

TEST(NumberPattern, AppendsToExistingText) {
  std::string row = "T=";
  NumberPattern("###0.00").AppendTo(row, 573.2914, ',');
  EXPECT_EQ(row, "T=573,29");
}

TEST(NumberPattern, RejectsMalformedPatterns) {
  for (const char* bad : {"", ".", "0.0.0", "0,0", "0.0E", "0.0E+", "abc", "0.0E+00x", "E+00"}) {
    EXPECT_THROW(NumberPattern{bad}, std::invalid_argument) << bad;
  }
}

// The 15-digit decimal form, read through the C library rather than the formatter's own path.
std::string Digits15(double value, int& exp10) {
  char text[40];
  std::snprintf(text, sizeof text, "%.14e", std::fabs(value));
  exp10 = std::atoi(text + 17);
  return std::string(1, text[0]) + std::string(text + 2, 14);
}

// Whether rounding the 15-digit form at digit index cut is an exact tie, where the formatter
// (half away from zero on that form) may rightly differ from printf (exact binary value).
bool TieAt(double value, int cut) {
  int exp10 = 0;
  const std::string digits = Digits15(value, exp10);
  if (cut < 0 || cut >= 15 || digits[cut] != '5') return false;
  return digits.find_first_not_of('0', cut + 1) == std::string::npos;
}

// Away from ties the rounding rule must agree with printf on the exact value.
TEST(NumberPattern, AgreesWithPrintfAwayFromTies) {
  std::mt19937_64 random(20240611);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> decade(-12, 12);
  const NumberPattern fixed("0.000");
  const NumberPattern scientific("0.000E+00");
  int compared = 0;
  for (int i = 0; i < 20000; ++i) {
    const double value = mantissa(random) * std::pow(10.0, decade(random));
    int exp10 = 0;
    Digits15(value, exp10);
    char expected[400];
    // Beyond 15 significant digits the formatter pads with zeros where printf goes on.
    const int cut = exp10 + 1 + 3;
    if (cut <= 15 && !TieAt(value, cut)) {
      std::snprintf(expected, sizeof expected, "%.3f", value);
      std::string text = expected;
      if (text == "-0.000") text = "0.000";
      ASSERT_EQ(fixed.Format(value), text) << value;
      ++compared;
    }
    if (!TieAt(value, 4)) {
      std::snprintf(expected, sizeof expected, "%.3E", value);
      ASSERT_EQ(scientific.Format(value), expected) << value;
    }
  }
  EXPECT_GT(compared, 18000);
}

TEST(FormatPattern, NamedScientificAndPlainPatterns) {
  EXPECT_EQ(FormatPattern(320000, "scientific"), "3.20E+05");
  EXPECT_EQ(FormatPattern(320000, "Scientific", ','), "3,20E+05");
  EXPECT_EQ(FormatPattern(573.2914, "###0.00"), "573.29");
  EXPECT_THROW(FormatPattern(1, "scientifik"), std::invalid_argument);
}

struct ValueCase {
  double value;
  const char* expected;
};

TEST(FormatGeneral, FormatsTable) {
  const ValueCase cases[] = {
      {0.02, "0.02"},
      {1, "1"},
      {3000, "3000"},
      {1e-6, "1E-06"},
      {1.5e-6, "1.5E-06"},
      {1e-5, "1E-05"},
      {0.0001, "0.0001"},
      {1e14, "100000000000000"},
      {1e15, "1E+15"},
      {123456789012345, "123456789012345"},
      {999999999999999.5, "1E+15"},
      {100000000000000.5, "100000000000000"},
      {100000000000001.5, "100000000000002"},
      {-0.5, "-0.5"},
      {0, "0"},
      {-0.0, "0"},
      {0.1 + 0.2, "0.3"},
      {2.0 / 3, "0.666666666666667"},
      {1e308, "1E+308"},
      {5e-324, "4.94065645841247E-324"},
      {kNaN, "NaN"},
      {-kInf, "-Inf"},
  };
  for (const ValueCase& c : cases) EXPECT_EQ(FormatGeneral(c.value), c.expected) << c.value;
  EXPECT_EQ(FormatGeneral(1.5, ','), "1,5");
  EXPECT_EQ(FormatGeneral(-1.5e-6, ','), "-1,5E-06");
}

TEST(FormatGeneral, MatchesPrintf) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> decade(-320, 308);
  std::uniform_int_distribution<int> places(0, 16);
  for (int i = 0; i < 20000; ++i) {
    double value = mantissa(random) * std::pow(10.0, decade(random) % 20);
    if (i % 3 == 1) value = mantissa(random) * std::pow(10.0, decade(random));
    // Short decimals hit the trailing-zero removal and the fixed/exponent switch.
    if (i % 3 == 2) value = std::round(value * 1e4) / std::pow(10.0, places(random));
    // Exact ties one place past the 15 digits, rounded to even like printf.
    if (i % 7 == 6) value = std::floor(1e14 + 9e14 * std::fabs(mantissa(random)) / 10) + 0.5;
    if (!std::isfinite(value) || value == 0) continue;
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.15G", value);
    ASSERT_EQ(FormatGeneral(value), expected) << value;
  }
}

TEST(FormatG, FormatsTable) {
  const ValueCase cases[] = {
      {0.5, " .5"},
      {-0.002, "-.002"},
      {5e-7, " 5E-07"},
      {0, " 0"},
      {-0.0, " 0"},
      {-0.0025, "-.0025"},
      {1, " 1"},
      {-1, "-1"},
      {1241473.72093833, " 1241473.72093833"},
      {9.00008100144234e-05, " 9.00008100144234E-05"},
      {-0.001248755724874736, "-.00124875572487474"},
      {1e15, " 1E+15"},
      {kNaN, " NaN"},
      {-kInf, "-Inf"},
  };
  for (const ValueCase& c : cases) EXPECT_EQ(FormatG(c.value), c.expected) << c.value;
}

TEST(FormatS, FormatsTable) {
  EXPECT_EQ(FormatS(320000), "3.20E+05");
  EXPECT_EQ(FormatS(-639175.79), "-6.39E+05");
  EXPECT_EQ(FormatS(99602465.7), "9.96E+07");
  EXPECT_EQ(FormatS(0), "0.00E+00");
  EXPECT_EQ(FormatS(320000, ','), "3,20E+05");
  EXPECT_EQ(FormatS(0.0099999), "1.00E-02");
}

}  // namespace
}  // namespace quillane::format
