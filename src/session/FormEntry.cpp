#include "session/FormEntry.h"

#include "format/NumberFormat.h"

namespace quillane::session {

std::optional<double> ReadEntry(const std::string& text, const RegionalSettings& locale) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  const std::size_t last = text.find_last_not_of(" \t");
  return format::ParseStrict(text.substr(first, last - first + 1), locale.DecimalSeparator,
                             locale.GroupSeparator);
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
