#pragma once
// The numbers of a form as the user typed them: read with the locale's separators, or told as
// a fault naming the box and the text.

#include <optional>
#include <string>
#include <string_view>

#include "model/ModelState.h"
#include "run/EntryFault.h"

namespace quillane::session {

// The text without the blanks around it, as every box and cell is read.
std::string Trimmed(std::string_view text);

// The number a box holds (blanks around it ignored); nothing when the text is not a number.
std::optional<double> ReadEntry(const std::string& text, const RegionalSettings& locale);

// A box whose text is not a number: `field` names the box as the fault is told ("début", "min").
EntryFault NotANumber(const QuantitySpec* quantity, std::string field, std::string text);

}  // namespace quillane::session
