#include "session/FormEntry.h"

#include <algorithm>
#include <cctype>

#include "format/NumberFormat.h"

namespace quillane::session {

std::string Trimmed(std::string_view text) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  const auto first = std::find_if_not(text.begin(), text.end(), blank);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
  return first < last ? std::string(first, last) : std::string();
}

std::optional<double> ReadEntry(const std::string& text, const RegionalSettings& locale) {
  const std::string number = Trimmed(text);
  if (number.empty()) return std::nullopt;
  return format::ParseStrict(number, locale.DecimalSeparator, locale.GroupSeparator);
}

EntryFault NotANumber(const QuantitySpec* quantity, std::string field, std::string text) {
  EntryFault fault;
  fault.Kind = FaultKind::NotANumber;
  fault.Quantity = quantity;
  fault.Field = std::move(field);
  fault.Text = std::move(text);
  return fault;
}

}  // namespace quillane::session
