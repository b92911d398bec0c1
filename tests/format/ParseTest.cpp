#include "format/NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>

namespace quillane::format {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct StrictCase {
  const char* text;
  char separator;
  char group;
  double expected;
};

TEST(ParseStrict, AcceptsTable) {
  const StrictCase cases[] = {
      {"1.5", '.', ',', 1.5}, {"  -2.5e3\t", '.', ',', -2500}, {"+7", '.', ',', 7},
      {"5.", '.', ',', 5},    {".5", '.', ',', 0.5},           {"00012", '.', ',', 12},
      {"1E5", '.', ',', 1e5}, {"1e-5", '.', ',', 1e-5},        {"1e+5", '.', ',', 1e5},
      {"0.2", '.', ',', 0.2}, {"1e-400", '.', ',', 0.0},       {"1,5", ',', ' ', 1.5},
      {"1.5", ',', ' ', 1.5}, {"-,5e1", ',', ' ', -5},         {"1,5", ',', '.', 1.5},
  };
  for (const StrictCase& c : cases) {
    EXPECT_EQ(ParseStrict(c.text, c.separator, c.group), c.expected)
        << '"' << c.text << "\" with '" << c.separator << "' and '" << c.group << "'";
  }
}

TEST(ParseStrict, RejectsTable) {
  // In a point locale: empty, malformed, words, group separators, out of range.
  for (const char* text : {"",       " \t ", "1,5", "1,234", "1.2.3", "1e",        "1e+",  "e5",
                           ".",      "-",    "+-1", "--1",   "inf",   "-Infinity", "nan",  "1e999",
                           "-1e999", "0x10", "1 2", "12abc", "1d3",   "1.5\n",     "1.5 ,"}) {
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
  // A digit far down a long string decides the rounding only when it is exact.
  EXPECT_EQ(ParseStrict("0." + std::string(5000, '0') + "1"), 0.0);
  EXPECT_EQ(ParseStrict("0.1" + std::string(5000, '0') + "1"), 0.1);
  EXPECT_EQ(ParseStrict(std::string(400, '9')), std::nullopt);
  EXPECT_EQ(ParseStrict("1e99999999999999999999"), std::nullopt);
  EXPECT_EQ(ParseStrict("1e-99999999999999999999"), 0.0);
}

// Any double written with 17 significant digits must read back to the very same double.
TEST(ParseStrict, RoundTripsEveryDouble) {
  std::mt19937_64 random(42);
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    ASSERT_EQ(ParseStrict(text), value) << text;
    std::string comma = text;
    if (const auto point = comma.find('.'); point != std::string::npos) comma[point] = ',';
    ASSERT_EQ(ParseStrict(comma, ',', '\xA0'), value) << comma;
    ASSERT_EQ(ParseLenient(" " + std::string(text) + " "), value) << text;
  }
}

struct TextCase {
  const char* text;
  double expected;
};

TEST(ParseLenient, ReadsTable) {
  const TextCase cases[] = {
      {"3.9 passes", 3.9},
      {" 1 2 . 5 ", 12.5},
      {"\t1\r\n2", 12},
      {"2.5", 2.5},
      {"0.2", 0.2},
      {"- 3", -3},
      {"+12", 12},
      {"-12", -12},
      {"-.5", -0.5},
      {"1D3", 1000},
      {"1d-3", 0.001},
      {"2.5e+2x", 250},
      {"1E", 1},
      {"1E+", 1},
      {"1e-x", 1},
      {"1.2.3", 1.2},
      {"1,5", 1},
      {"&HFF", 255},
      {"&hff", 255},
      {"&H1F", 31},
      {"&HFG", 15},
      {"&H", 0},
      {"&O17", 15},
      {"&o17", 15},
      {"&O19", 1},
      {"&O", 0},
      {"&X1", 0},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {".", 0},
      {"e5", 0},
      {"1e999", kInf},
      {"-1e999", -kInf},
      {"1e-999", 0},
      {"&O1000000000000000000000000000000", 0x1p90},
      {"&O777777777777777777777777777777", 0x1p90},
      {"&H1FFFFFFFFFFFFF", 0x1p53 - 1},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseLenient(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ParseLenient, LongTextsNeverFail) {
  EXPECT_EQ(ParseLenient(std::string(100000, '9')), kInf);
  EXPECT_EQ(ParseLenient("0." + std::string(100000, '0') + "1"), 0.0);
  EXPECT_EQ(ParseLenient("&H" + std::string(300, 'F')), kInf);
  EXPECT_EQ(ParseLenient("1e" + std::string(1000, '9')), kInf);
  EXPECT_EQ(ParseLenient("1e-" + std::string(1000, '9')), 0.0);
}

}  // namespace
}  // namespace quillane::format
