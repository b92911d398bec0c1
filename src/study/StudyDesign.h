#pragma once
// The points of a study: every combination of the values (factorial), each quantity alone
// around the base (one at a time), or a seeded latin hypercube.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "materials/MaterialsCatalogue.h"
#include "run/Validation.h"
#include "study/StudyFile.h"

namespace quillane::study {

// A sampled value that its quantity cannot take: the index of the quantity in the study, and
// why the value drawn (the fault's Value) cannot be used.
class SampleError : public StudyError {
 public:
  SampleError(const std::string& message, std::size_t quantity, const EntryFault& fault)
      : StudyError(message, fault), quantity_(quantity) {}
  std::size_t QuantityIndex() const { return quantity_; }
  double Value() const { return Fault()->Value; }

 private:
  std::size_t quantity_;
};

// Studies above this many points need to be asked for explicitly.
inline constexpr long long kMaxPointsUnforced = 100000;

// Studies above this many points cannot be held (their points and rows alone take gigabytes),
// asked for or not.
inline constexpr long long kMaxPointsHeld = 10000000;

// The number of points the design gives, exact, or the largest long long where it is more.
long long PointCount(const Study& study);

// A study made ready for its first point, or what stops it, as data.
struct StudySetUp {
  std::vector<std::vector<double>> Points;  // once nothing stops the study
  // More points than a study may have: TooManyPoints, with Count and Max the limit passed.
  std::optional<EntryFault> TooMany;
  std::vector<InputFault> BaseFaults;  // of the base case, as a single run finds them
  std::optional<SampleError> Sample;   // a sampled value a quantity cannot take

  bool Ready() const { return !TooMany && BaseFaults.empty() && !Sample; }
};

// Sets a study up as the batch program, the Python module and the study window all do: its
// points counted (more than kMaxPointsUnforced only with `force`, never more than
// kMaxPointsHeld), its base case checked as a single run (its French faults written with
// `locale`), then, when both hold, its points.
StudySetUp SetUpStudy(const Study& study, const MaterialsCatalogue& catalogue, bool force,
                      const RegionalSettings& locale = {});

// The points of a study set up, or its first fault thrown after `origin`: a StudyError for the
// count (telling to give `forceOption` where it helps) or a sampled value, an InputError with
// every fault of the base case, each after "<origin>: base: ".
std::vector<std::vector<double>> PointsOrThrow(StudySetUp setUp, const std::string& origin,
                                               const std::string& forceOption);

// One value per varied quantity, point after point. In a factorial study the first quantity
// varies slowest. Throws SampleError when a sampled value falls outside what the quantity takes.
std::vector<std::vector<double>> DesignPoints(const Study& study);

// The standard normal quantile: x with Φ(x) = p, for 0 < p < 1.
double NormalQuantile(double p);
// The standard normal distribution function Φ(x).
double NormalCdf(double x);

}  // namespace quillane::study
