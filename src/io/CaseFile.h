#pragma once
// Case files: JSON objects with one key per input of the input table, in SI units. Reading
// applies the keys present over the inputs given; writing gives every input, so that a saved
// case reads back the same.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "model/ModelState.h"

namespace quillane {

// An unreadable or malformed case file; the message names the file and the key.
class CaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Applies the case to the inputs. Throws CaseError on a syntax error, an unknown key or a
// value of the wrong type, and leaves the inputs as they were; range checks are left to the
// run's validation.
// A case may also name the catalogue it runs with (a fitted copy, say) under this key, as a
// path relative to the case file; `catalogue` receives it (the file's own folder joined) when
// given, and stays as it is when the case names none.
inline constexpr const char* kCaseCatalogueKey = "Catalogue";
void ApplyCaseText(std::string_view text, const std::string& origin, InputParameters& in,
                   std::string* catalogue = nullptr);
void ReadCaseFile(const std::filesystem::path& path, InputParameters& in,
                  std::string* catalogue = nullptr);

// The case as JSON text, numbers in their shortest form that reads back bit for bit. Throws
// CaseError naming the key when a value is not finite (JSON has no infinity).
std::string CaseText(const InputParameters& in);

// Writes CaseText through a temporary file beside the target, so that a failed save leaves an
// earlier file as it was. Throws IoError naming the path.
void SaveCaseFile(const std::filesystem::path& path, const InputParameters& in);

}  // namespace quillane
