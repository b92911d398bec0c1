#pragma once
// Case files: JSON objects with one key per input of the input window, named as its model
// state field, in SI units, plus "InitialCurvature" (1/m). Missing keys keep their values.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/ModelState.h"

namespace quillane::cli {

// An unreadable or malformed case file; the message names the file and the key.
class CaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Applies the case to the state. Throws CaseError on a syntax error, an unknown key or a value
// of the wrong type; range checks are left to the run's validation.
void ApplyCaseText(std::string_view text, const std::string& origin, ModelState& state);
void ReadCaseFile(const std::filesystem::path& path, ModelState& state);

// The shortest text that reads back as the same double, for the boxes that are re-read as text.
std::string RoundTripText(double value);

}  // namespace quillane::cli
