#pragma once
// Why an entry of a study or a fit cannot be used, as data: what is wrong, with which quantity,
// and the numbers involved. The batch program words a fault in English (SI units), the windows
// in French (the unit of the input window's box and the locale's separator), so both tell the
// same faults for the same entries.

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "run/QuantityTable.h"

namespace quillane {

enum class FaultKind {
  // A value for a quantity (Value).
  NotFinite,    // not a finite number
  NotWhole,     // a count that is not a whole number it can hold
  OutOfRange,   // outside the input's range or the catalogue's bounds (Min, Max)
  NotBelowOne,  // a Poisson ratio of 1 or more
  // A range of values (Value to Value2, Count intervals).
  TooFewSteps,     // fewer than 1 interval
  TooManySteps,    // more than Max intervals
  EndsNotFinite,   // an end that is not finite
  EmptyRange,      // both ends equal
  ReversedRange,   // the start above the end
  LogNotPositive,  // a logarithmic range reaching zero or below
  // A law of a sampled quantity (mean Value, deviation Value2).
  LawNotFinite,  // mean or deviation not finite
  DeviationNotPositive,
  // Entries of a form.
  NotANumber,       // Text, typed in the box named by Field, is not a number
  NotPositive,      // Field (a noise) must be above zero; Text as typed
  SameQuantity,     // the quantity is varied twice
  TooManyPoints,    // Count points, more than Max
  TooFewSamples,    // fewer than 1 sample
  NothingChosen,    // no quantity to fit
  BoundsReversed,   // fit bounds Value to Value2 reversed or empty
  BoundsBeyond,     // fit bounds Value to Value2 beyond the allowed Min to Max
  NoRecord,         // a fit without a record
  UnknownQuantity,  // Text names no quantity of the quantity table
  NotFittable,      // Text names no quantity a record can be fitted to
  NoSuchCoat,       // Text names a coat's quantity; the case lists Count coats
  TableFigure,      // Text names a figure that the row named Field gives against temperature
};

struct EntryFault {
  FaultKind Kind = FaultKind::NotFinite;
  const QuantitySpec* Quantity = nullptr;  // the quantity at fault, when there is one
  std::string Field;  // the box or key at fault ("from", "min", "CurvatureNoise"), when one
  std::string Text;   // the text as typed, when it could not be read
  double Value = std::numeric_limits<double>::quiet_NaN();
  double Value2 = std::numeric_limits<double>::quiet_NaN();
  double Min = std::numeric_limits<double>::quiet_NaN();
  double Max = std::numeric_limits<double>::quiet_NaN();
  long long Count = 0;

  bool operator==(const EntryFault&) const = default;
};

// Why `value` (SI) cannot be given to the quantity; nothing when it can.
std::optional<EntryFault> CheckValue(const QuantitySpec& quantity, double value);

// A figure in SI units as the fit window shows it: up to `digits` significant digits in
// exponent form without trailing zeros ("1.5E+08", "1E-06"), "0" for zero, "—" for NaN.
std::string ExponentFigure(double value, char separator, int digits = 7);

// The fault in the batch program's English, SI units: "the value 2 m lies outside ...".
std::string English(const EntryFault& fault);
// The fault in the windows' French, in the unit of the quantity's box, with `separator`.
std::string French(const EntryFault& fault, char separator);

}  // namespace quillane
