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

// What is wrong with a case file, as data: each program words it in its own language.
struct CaseFault {
  enum class Kind {
    Unreadable,      // the file cannot be read
    TooLarge,        // the file holds more than High bytes, more than any case file
    TooDeep,         // arrays and objects nest deeper than the reader allows
    NotJson,         // a syntax error at Line, Column
    NumberTooLarge,  // a number beyond the range of a double
    NotObject,       // the text is not one JSON object
    KeyTwice,        // Key is given twice in one object
    NotCatalogue,    // the catalogue key names no file
    UnknownKey,
    NotNumber,
    NotWhole,
    OutOfRange,  // a whole number beyond Low..High
    NotText,
    NotFinite,  // a value that cannot be saved
    NotCoats,   // the coats are not a list of objects
  };
  // How a wrong value is shown: its JSON text for a scalar, its kind alone for the others.
  enum class Shape { Scalar, Text, Array, Object };
  Kind What = Kind::Unreadable;
  std::string Origin;  // the file; empty for a case being saved
  std::string Key;
  int Coat = 0;       // the coat (from 1) whose key it is; 0 for the case's own keys
  std::string Value;  // its JSON text (a text within its quotes), cut after 60 bytes
  Shape ValueShape = Shape::Scalar;
  std::size_t Line = 0;
  std::size_t Column = 0;
  double Low = 0;
  double High = 0;
};
// The fault in the batch program's English.
std::string English(const CaseFault& fault);

// An unreadable or malformed case file; the message names the file and the key.
class CaseError : public std::runtime_error {
 public:
  explicit CaseError(CaseFault fault)
      : std::runtime_error(English(fault)), fault_(std::move(fault)) {}
  const CaseFault& Fault() const { return fault_; }

 private:
  CaseFault fault_;
};

// Applies the case to the inputs. Throws CaseError on a syntax error, an unknown key or a
// value of the wrong type, and leaves the inputs as they were; range checks are left to the
// run's validation.
// A case may also name the catalogue it runs with (a fitted copy, say) under this key, as a
// path relative to the case file; `catalogue` receives it (the file's own folder joined) when
// given, and stays as it is when the case names none.
inline constexpr const char* kCaseCatalogueKey = "Catalogue";
// The coats of a coating system, a list of objects: each names its "Material" and "PassCount",
// may give any of the figures of its spraying (PassThickness, LamellaThickness, PassPeriod,
// HeatingWindow, HeatFlux, ParticleTemperature) and a "PauseBefore" in seconds.
inline constexpr const char* kCoatsKey = "Coats";
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
