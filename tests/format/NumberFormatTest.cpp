#include "format/NumberFormat.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quillane::format {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Padding, "#", rounding half away from zero on the 15-digit form, unsigned zeros, exponents.
TEST(NumberPattern, FormatsTable) {
  const struct {
    const char* pattern;
    std::vector<double> values;
    std::vector<std::string> expected;
  } table[] = {
      {"###0.00",
       {573.2914, -0.004, -0.005, kNaN, kInf},
       {"573.29", "0.00", "-0.01", "NaN", "Inf"}},
      {"00.000000000", {1.5, 125.5}, {"01.500000000", "125.500000000"}},
      {"#.000000", {0.002002, -5e-7, 12.3456785}, {".002002", "-.000001", "12.345679"}},
      {"##0.#", {12.04, 0.25}, {"12.", "0.3"}},
      {"##0", {2.5, 0.4}, {"3", "0"}},
      {"###0", {1e20}, {"100000000000000000000"}},
      {"0.00000000000000000", {1.234567890123456789}, {"1.23456789012346000"}},
      {"0.00", {1.005, 9.995, 5e-324}, {"1.01", "10.00", "0.00"}},
      {"0.000", {0.0005}, {"0.001"}},
      {"0.000E+00",
       {0, -0.0, 1.0005, 1e300, 5e-324},
       {"0.000E+00", "0.000E+00", "1.001E+00", "1.000E+300", "4.941E-324"}},
      {"0.00E-00", {1.5, 0.015}, {"1.50E00", "1.50E-02"}},
      {"0.0e+0", {12}, {"1.2e+1"}},
      {"00.0E+0", {1234}, {"12.3E+2"}},
      {"#0.0E+0", {500, 5000, 0.5, 99.96, 0}, {"5.0E+2", "50.0E+2", "50.0E-2", "1.0E+2", "0.0E+0"}},
  };
  for (const auto& [pattern, values, expected] : table) {
    ASSERT_EQ(values.size(), expected.size()) << pattern;
    for (std::size_t i = 0; i < values.size(); ++i) {
      EXPECT_EQ(NumberPattern(pattern).Format(values[i]), expected[i])
          << pattern << " of " << values[i];
    }
  }
  EXPECT_EQ(NumberPattern("0.00E-00").Format(-150, ','), "-1,50E02");
  std::string row = "T=";  // appends to the text already there
  NumberPattern("###0.00").AppendTo(row, 573.2914, ',');
  EXPECT_EQ(row, "T=573,29");
  // Huge values show every integer digit.
  EXPECT_EQ(NumberPattern("0.00").Format(1e308), "1" + std::string(308, '0') + ".00");
  // Named and plain patterns given as text.
  EXPECT_EQ(FormatPattern(320000, "scientific"), "3.20E+05");
  EXPECT_EQ(FormatPattern(320000, "Scientific", ','), "3,20E+05");
  EXPECT_THROW(FormatPattern(1, "scientifik"), std::invalid_argument);
  EXPECT_EQ(FormatS(0.0099999), "1.00E-02");
  for (const char* bad : {"", ".", "0.0.0", "0,0", "0.0E", "0.0E+", "abc", "0.0E+00x", "E+00"}) {
    EXPECT_THROW(NumberPattern{bad}, std::invalid_argument) << bad;
  }
}

// Every finite non-zero value as C's "%.15G".
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
  EXPECT_EQ(FormatGeneral(0), "0");
  EXPECT_EQ(FormatGeneral(kNaN), "NaN");
  EXPECT_EQ(FormatGeneral(-kInf), "-Inf");
  EXPECT_EQ(FormatGeneral(-1.5e-6, ','), "-1,5E-06");
}

TEST(FormatG, FormatsTable) {
  const std::pair<double, const char*> cases[] = {
      {0.5, " .5"}, {-0.002, "-.002"}, {5e-7, " 5E-07"}, {-1, "-1"}};
  for (const auto& [value, expected] : cases) EXPECT_EQ(FormatG(value), expected) << value;
}

// One way to show numbers in the windows' tables: significant digits, no trailing zero, the
// locale's separator, a power of ten below 0.001 and from a million.
TEST(FormatTableNumber, FormatsTable) {
  const std::pair<double, const char*> cases[] = {
      {16.3, "16,3"},   {193000, "193000"},          {999999.7, "1E+06"},
      {0.001, "0,001"}, {1234567.89, "1,23457E+06"}, {9.99e-4, "9,99E-04"},
      {-2.48, "-2,48"}, {2e-300, "2E-300"},          {-0.0, "0"},
      {-kInf, "-Inf"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatTableNumber(value, ','), text) << value;
  EXPECT_EQ(FormatTableNumber(kNaN, ','), "—");
  EXPECT_EQ(FormatTableNumber(150.0668123, ',', 7), "150,0668");
  EXPECT_EQ(FormatTableNumber(0.25, '.'), "0.25");
  EXPECT_EQ(TableUnit("Pa").Unit + TableUnit("W/(m·K)").Unit, "MPaW/(m·K)");
}

TEST(ParseStrict, AcceptsTable) {
  const struct {
    const char* text;
    char separator;
    char group;
    double expected;
  } cases[] = {
      {"1.5", '.', ',', 1.5},  {"  -2.5e3\t", '.', ',', -2500}, {"+7", '.', ',', 7},
      {".5", '.', ',', 0.5},   {"1E5", '.', ',', 1e5},          {"1e-5", '.', ',', 1e-5},
      {"1e+5", '.', ',', 1e5}, {"1e-400", '.', ',', 0.0},       {"1,5", ',', ' ', 1.5},
      {"1.5", ',', ' ', 1.5},  {"-,5e1", ',', ' ', -5},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseStrict(c.text, c.separator, c.group), c.expected)
        << '"' << c.text << "\" with '" << c.separator << "' and '" << c.group << "'";
  }
}

TEST(ParseStrict, RejectsTable) {
  // In a point locale: empty, malformed, group separators, out of range.
  for (const char* text : {"", "1,5", "1.2.3", "1e+", ".", "-", "+-1", "1e999", "1d3", "1.5\n"}) {
    EXPECT_EQ(ParseStrict(text, '.', ','), std::nullopt) << '"' << text << '"';
  }
  // In comma locales: one separator at most, and a point only where it does not group.
  for (const char* text : {"1.5,6", "1,5,6", "1,5.6", "1 234,5"}) {
    EXPECT_EQ(ParseStrict(text, ',', ' '), std::nullopt) << '"' << text << '"';
  }
  for (const char* text : {"1.5", "1.234,5"}) {
    EXPECT_EQ(ParseStrict(text, ',', '.'), std::nullopt) << '"' << text << '"';
  }
}

TEST(ParseStrict, SignsAndLongDigitStrings) {
  const std::optional<double> negativeZero = ParseStrict("-0");
  ASSERT_TRUE(negativeZero);
  EXPECT_TRUE(std::signbit(*negativeZero));
  // Beyond the double range by its digits or its exponent: nothing when large, zero when tiny.
  EXPECT_EQ(ParseStrict("0." + std::string(5000, '0') + "1"), 0.0);
  EXPECT_EQ(ParseStrict(std::string(400, '9')), std::nullopt);
  EXPECT_EQ(ParseStrict("1e99999999999999999999"), std::nullopt);
  EXPECT_EQ(ParseStrict("1e-99999999999999999999"), 0.0);
}

// Any double written with 17 significant digits, or shortest, reads back to the same double.
TEST(ParseStrict, RoundTripsEveryDouble) {
  std::mt19937_64 random(42);
  for (int i = 0; i < 20000; ++i) {
    const auto value = std::bit_cast<double>(random());
    if (!std::isfinite(value)) continue;
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    ASSERT_EQ(ParseStrict(text), value) << text;
    std::string comma = text;
    if (const auto point = comma.find('.'); point != std::string::npos) comma[point] = ',';
    ASSERT_EQ(ParseStrict(comma, ',', '\xA0'), value) << comma;
    ASSERT_EQ(ParseLenient(" " + std::string(text) + " "), value) << text;
    ASSERT_EQ(ParseStrict(FormatShortest(value)), value) << text;
  }
}

TEST(ParseLenient, ReadsTable) {
  const std::pair<const char*, double> decimals[] = {
      {"3.9 passes", 3.9}, {" 1 2 . 5 ", 12.5}, {"\t1\r\n2", 12}, {"- 3", -3},       {"+12", 12},
      {"-.5", -0.5},       {"1D3", 1000},       {"1d-3", 0.001},  {"2.5e+2x", 250},  {"1E+", 1},
      {"1.2.3", 1.2},      {"1,5", 1},          {"1e999", kInf},  {"-1e999", -kInf}, {"1e-999", 0}};
  // Hexadecimal and octal; no number reads as 0.
  const std::pair<const char*, double> others[] = {
      {"&HFF", 255}, {"&hff", 255}, {"&HFG", 15}, {"&H", 0}, {"&O17", 15}, {"&o17", 15},
      {"&O19", 1},   {"&X1", 0},    {"", 0},      {"-", 0},  {".", 0},     {"e5", 0}};
  for (const auto& [text, expected] : decimals) EXPECT_EQ(ParseLenient(text), expected) << text;
  for (const auto& [text, expected] : others) EXPECT_EQ(ParseLenient(text), expected) << text;
  EXPECT_EQ(ParseLenient("&O1000000000000000000000000000000"), 0x1p90);
  EXPECT_EQ(ParseLenient("&O777777777777777777777777777777"), 0x1p90);
  EXPECT_EQ(ParseLenient("&H1FFFFFFFFFFFFF"), 0x1p53 - 1);
  // Long texts never fail.
  EXPECT_EQ(ParseLenient(std::string(100000, '9')), kInf);
  EXPECT_EQ(ParseLenient("0." + std::string(100000, '0') + "1"), 0.0);
  EXPECT_EQ(ParseLenient("&H" + std::string(300, 'F')), kInf);
  EXPECT_EQ(ParseLenient("1e" + std::string(1000, '9')), kInf);
  EXPECT_EQ(ParseLenient("1e-" + std::string(1000, '9')), 0.0);
}

}  // namespace
}  // namespace quillane::format
