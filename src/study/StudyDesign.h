#pragma once
// The points of a study: every combination of the values (factorial), each quantity alone
// around the base (one at a time), or a seeded latin hypercube.

#include <cstddef>
#include <string>
#include <vector>

#include "materials/MaterialsCatalogue.h"
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

// Refuses a study of more than kMaxPointsHeld points, and one of more than kMaxPointsUnforced
// unless `force`: the StudyError names `origin` and the count, and tells to give `forceOption`.
void CheckPointCount(long long points, const std::string& origin, bool force,
                     const std::string& forceOption);

// Checks the study's base case as a single run checks it: throws InputError with every fault,
// each after "<origin>: base: ".
void CheckStudyBase(const Study& study, const std::string& origin,
                    const MaterialsCatalogue& catalogue);

// One value per varied quantity, point after point. In a factorial study the first quantity
// varies slowest. Throws SampleError when a sampled value falls outside what the quantity takes.
std::vector<std::vector<double>> DesignPoints(const Study& study);

// The standard normal quantile: x with Φ(x) = p, for 0 < p < 1.
double NormalQuantile(double p);
// The standard normal distribution function Φ(x).
double NormalCdf(double x);

}  // namespace quillane::study
