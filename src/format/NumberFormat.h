#pragma once
// Number formatting and reading shared by the input window, the result writers and the views.
// One routine formats every numeric pattern; the decimal separator is always a parameter.
// Not-a-number and infinities never fail: every formatter writes them as "NaN", "Inf" and
// "-Inf" (FormatG adds its usual leading blank to "NaN" and "Inf").

#include <optional>
#include <string>
#include <string_view>

namespace quillane::format {

// A compiled numeric pattern made of "0" (digit always shown), "#" (digit shown only when
// significant), "." (decimal separator, always shown), and an exponent part "E+" (sign always
// shown) or "E-" (sign shown only when negative) followed by "0"s giving the minimum count of
// exponent digits. Examples: "00.000000000", "###0.00", "#.000000", "0.000E+00", "##0.#".
// Values are rounded half away from zero on their 15-significant-digit decimal form, so
// 1.005 with "0.00" gives "1.01".
// Fixed patterns show every integer digit, padded with zeros to the count of "0" before the
// point; a value below 1 shows no integer digit when that count is zero (".002002"). A value
// that rounds to zero carries no minus sign.
// Exponent patterns: the mantissa has as many integer digits as there are "0"s before the
// point (at least one); when "#" widens the integer part ("#0.0E+0") the exponent is a
// multiple of the integer placeholder count instead and the mantissa shows 1 to that many
// integer digits ("#0.0E+0" of 500 is "5.0E+2", of 5000 is "50.0E+2").
// Throws std::invalid_argument on any other character or on a misplaced one.
class NumberPattern {
 public:
  explicit NumberPattern(std::string_view pattern);
  // Appends the formatted value to out; the hot path of every thermal row.
  void AppendTo(std::string& out, double value, char decimalSeparator = '.') const;
  std::string Format(double value, char decimalSeparator = '.') const;

 private:
  void AppendFixed(std::string& out, double value, char decimalSeparator) const;
  void AppendExponent(std::string& out, double value, char decimalSeparator) const;

  int minIntegerDigits_ = 0;  // count of "0" before the point
  int maxIntegerDigits_ = 0;  // count of "0" and "#" before the point
  int minDecimals_ = 0;       // count of "0" after the point
  int maxDecimals_ = 0;       // count of "0" and "#" after the point
  bool hasPoint_ = false;
  bool hasExponent_ = false;
  bool exponentSignAlways_ = false;
  char exponentLetter_ = 'E';  // as written in the pattern, "E" or "e"
  int minExponentDigits_ = 0;
};

// Formats with a pattern given as text; "scientific" (any letter case) names the pattern
// "0.00E+00". Throws std::invalid_argument on a malformed pattern, as NumberPattern does.
std::string FormatPattern(double value, std::string_view pattern, char decimalSeparator = '.');

// The general number-to-text form: the value with up to 15 significant digits, shortest
// form, no thousands separator, exponent form when the exponent is below -4 or at least 15
// ("1E-06", "1.5E-06", "1E+15"), as C's "%.15G". Negative zero is written "0".
std::string FormatGeneral(double value, char decimalSeparator = '.');

// G() of the stress tables: the general form with "." always, the zero before the point
// dropped and a blank before a value that is not negative (" .5", "-.002", " 5E-07", " 0").
std::string FormatG(double value);

// The shortest text that reads back as the same double ("0.2", "1e-05").
std::string FormatShortest(double value);

// The windows' tables, beyond the Parts' own patterns, show every number alike: `digits`
// significant digits with no trailing zero, the locale's separator, written out from 0.001 to
// below 1e6 and with a power of ten beyond ("1,5E-06", "1,93E+11"); "—" for a value there is
// not (NaN). The tables
// align these to the right, give units in their headings and show stresses in MPa (TableUnit).
inline constexpr int kTableDigits = 6;
std::string FormatTableNumber(double value, char decimalSeparator, int digits = kTableDigits);

// The unit the windows show values of an SI unit in, and the SI value of one of it: pascals as
// megapascals, as stresses read; any other unit as it is.
struct ShownUnit {
  std::string Unit;
  double Factor = 1;
};
ShownUnit TableUnit(std::string_view siUnit);

// S() of the stress tables: the named "scientific" format "0.00E+00" with the locale's
// separator; zero is "0.00E+00".
std::string FormatS(double value, char decimalSeparator = '.');

// Strict parse: the whole text, leading and trailing blanks and tabs aside, must be a finite
// number written with the locale's conventions: optional sign, digits with at most one
// decimal separator, optional exponent (E or e, optional sign, digits). Where the separator is
// a comma and the group separator is not a point, a point is accepted as the separator too.
// Group separators are never accepted. Returns nothing on any other text, on words such as
// "inf" or "nan", and on a value beyond the double range; a value too small for a double
// reads as zero. The result is correctly rounded.
std::optional<double> ParseStrict(std::string_view text, char decimalSeparator = '.',
                                  char groupSeparator = ',');

// Lenient parse: blanks, tabs, carriage returns and line feeds anywhere are ignored; reads the
// leading number (sign, digits, one ".", exponent with E, e, D or d; an exponent letter with
// no digit after it is ignored), "&H"/"&O" prefixes read hexadecimal/octal integers; 0 when no
// number leads. A value beyond the double range reads as an infinity of its sign. Never fails.
double ParseLenient(std::string_view text);

}  // namespace quillane::format
