#pragma once
// Study files: a base case, the quantities to vary (any quantity of the quantity table: inputs
// of the input table or figures of the picked materials) and how to combine them into points.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"
#include "run/EntryFault.h"
#include "run/QuantityTable.h"

namespace quillane::study {

// A study that cannot be used; the message names the file and the entry at fault. When the
// fault is one the windows tell too, it comes as data as well. Keys, texts and paths in the
// message come from files and users: their control characters and bytes that are not text are
// shown escaped (\xHH), never sent to a terminal.
class StudyError : public std::runtime_error {
 public:
  explicit StudyError(const std::string& message) : std::runtime_error(EscapedName(message)) {}
  StudyError(const std::string& message, EntryFault fault)
      : std::runtime_error(EscapedName(message)), fault_(std::move(fault)) {}
  const std::optional<EntryFault>& Fault() const { return fault_; }

 private:
  std::optional<EntryFault> fault_;
};

// How a sampled study draws a quantity.
enum class Distribution { None, Uniform, Normal };

struct Quantity {
  const QuantitySpec* Spec = nullptr;  // what is varied
  std::vector<double> Values;          // the values of a grid design, SI units
  Distribution Law = Distribution::None;
  double LawA = 0;        // uniform: lower end; normal: mean
  double LawB = 0;        // uniform: upper end; normal: standard deviation
  bool Truncate = false;  // normal: drawn within the input's range only

  // As the study file writes it: "PassThickness", "coating.SigmaQ".
  const std::string& Name() const { return Spec->Name; }
  // The unit of the quantity's values, for tables and plots.
  const std::string& Unit() const { return Spec->Unit; }
};

enum class DesignKind { Factorial, OneAtATime, LatinHypercube };

struct Study {
  InputParameters Base;
  std::vector<Quantity> Vary;
  DesignKind Design = DesignKind::Factorial;
  long long Samples = 0;   // latin hypercube
  std::uint64_t Seed = 0;  // latin hypercube
};

// `Steps` equal intervals from `From` to `To`, on a linear or a logarithmic scale.
struct ValueRange {
  double From = 0;
  double To = 0;
  long long Steps = 0;
  bool Log = false;
};
inline constexpr long long kMaxRangeSteps = 100000;

// Why the range gives no values (no interval, too many, an end not finite, empty, reversed, a
// logarithmic range reaching zero); nothing when it gives values. The fault names no quantity:
// the caller sets the one the range belongs to.
std::optional<EntryFault> CheckRange(const ValueRange& range);
// The values of a range CheckRange accepts, both ends exact, each point the double nearest its
// exact value from the ends as typed (a decimal such as 1e6 or 4e-6 where it is one).
std::vector<double> RangeValues(const ValueRange& range);

// Reads a study. The base case is applied over `defaults`; a base given as a string names a
// case file, relative to `folder`. Throws StudyError naming `origin` and the entry.
Study ReadStudyText(std::string_view text, const std::string& origin,
                    const InputParameters& defaults, const std::filesystem::path& folder);
Study ReadStudyFile(const std::filesystem::path& path, const InputParameters& defaults);
// The text of a study file, for a caller that keeps it (a resumed study compares it).
std::string ReadStudyFileText(const std::filesystem::path& path);

}  // namespace quillane::study
