#pragma once
// Study files: a base case, the quantities to vary (inputs of the input table or figures of the
// picked materials) and how to combine them into points.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/InputTable.h"
#include "model/MaterialRecord.h"
#include "model/ModelState.h"

namespace quillane::study {

// A study that cannot be used; the message names the file and the entry at fault.
class StudyError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Which picked row a material figure belongs to.
enum class MaterialRole { Substrate, Coating, Contact };

// How a sampled study draws a quantity.
enum class Distribution { None, Uniform, Normal };

struct Quantity {
  std::string Name;  // as the study file writes it: "PassThickness", "coating.SigmaQ"
  const InputSpec* Input = nullptr;        // an input of the input table, or
  const MaterialColumn* Column = nullptr;  // a figure of the row of Role
  MaterialRole Role = MaterialRole::Substrate;
  std::vector<double> Values;  // the values of a grid design, SI units
  Distribution Law = Distribution::None;
  double LawA = 0;  // uniform: lower end; normal: mean
  double LawB = 0;  // uniform: upper end; normal: standard deviation
  // The unit of the quantity's values, for tables and plots.
  std::string Unit() const;
};

enum class DesignKind { Factorial, OneAtATime, LatinHypercube };

struct Study {
  InputParameters Base;
  std::vector<Quantity> Vary;
  DesignKind Design = DesignKind::Factorial;
  long long Samples = 0;   // latin hypercube
  std::uint64_t Seed = 0;  // latin hypercube
};

// The quantity of that name with no values yet; nullptr when the name is unknown.
bool ResolveQuantity(const std::string& name, Quantity& quantity);

// Why an entry of a study cannot be used, in the study file's English and in the window's
// French; both empty when it can.
struct StudyFault {
  std::string English;
  std::string French;
  bool None() const { return English.empty(); }
};

// Why a value cannot be used for the quantity (outside the input table's range or the
// catalogue bounds, not whole for a count). The English gives SI units; the French gives the
// unit of the input window's box, with `separator` as the decimal separator.
StudyFault FindValueFault(const Quantity& quantity, double value, char separator = '.');
// The English of FindValueFault; empty when the value can be used.
std::string ValueFault(const Quantity& quantity, double value);

// `Steps` equal intervals from `From` to `To`, on a linear or a logarithmic scale.
struct ValueRange {
  double From = 0;
  double To = 0;
  long long Steps = 0;
  bool Log = false;
};
inline constexpr long long kMaxRangeSteps = 100000;

// Why the range gives no values (no interval, empty, reversed, a logarithmic range reaching
// zero); the French numbers use `separator`.
StudyFault FindRangeFault(const ValueRange& range, char separator = '.');
// The values of a range FindRangeFault accepts, both ends exact.
std::vector<double> RangeValues(const ValueRange& range);

// Reads a study. The base case is applied over `defaults`; a base given as a string names a
// case file, relative to `folder`. Throws StudyError naming `origin` and the entry.
Study ReadStudyText(std::string_view text, const std::string& origin,
                    const InputParameters& defaults, const std::filesystem::path& folder);
Study ReadStudyFile(const std::filesystem::path& path, const InputParameters& defaults);
// The text of a study file, for a caller that keeps it (a resumed study compares it).
std::string ReadStudyFileText(const std::filesystem::path& path);

}  // namespace quillane::study
