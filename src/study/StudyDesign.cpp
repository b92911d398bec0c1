#include "study/StudyDesign.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>

#include "format/NumberFormat.h"
#include "model/Errors.h"
#include "run/Validation.h"

namespace quillane::study {

namespace {

// A uniform double in [0, 1) from the top 53 bits, the same on every platform (the standard
// distributions are not).
double Uniform01(std::mt19937_64& engine) {
  return static_cast<double>(engine() >> 11) * 0x1.0p-53;
}

// A uniform index in [0, n), without the bias of a plain modulo.
std::size_t UniformIndex(std::mt19937_64& engine, std::size_t n) {
  const std::uint64_t limit = UINT64_MAX - UINT64_MAX % n;
  std::uint64_t value = 0;
  do {
    value = engine();
  } while (value >= limit);
  return static_cast<std::size_t>(value % n);
}

// The normal law's value at probability u. A truncated law spreads u over the probabilities
// of the input's range only, so that the strata stay of equal probability within it.
double NormalDraw(const Quantity& quantity, double u) {
  const QuantitySpec& spec = *quantity.Spec;
  const bool cut = quantity.Truncate && spec.Bounded;
  if (cut) {
    const double low = NormalCdf((spec.Min - quantity.LawA) / quantity.LawB);
    const double high = NormalCdf((spec.Max - quantity.LawA) / quantity.LawB);
    u = low + (high - low) * u;
  }
  // u is 0 only for the lowest stratum's lowest draw; keep the quantile finite.
  u = std::clamp(u, 0x1.0p-60, 1 - 0x1.0p-53);
  const double value = quantity.LawA + quantity.LawB * NormalQuantile(u);
  // The ends' rounding may step a hair outside the range.
  return cut ? std::clamp(value, spec.Min, spec.Max) : value;
}

std::vector<std::vector<double>> LatinHypercube(const Study& study) {
  const std::size_t n = static_cast<std::size_t>(study.Samples);
  std::vector<std::vector<double>> points(n, std::vector<double>(study.Vary.size()));
  std::mt19937_64 engine(study.Seed);
  for (std::size_t q = 0; q < study.Vary.size(); ++q) {
    const Quantity& quantity = study.Vary[q];
    // One sample in each of n equal-probability strata, the strata shuffled per quantity.
    std::vector<std::size_t> strata(n);
    std::iota(strata.begin(), strata.end(), 0);
    for (std::size_t i = n; i > 1; --i) std::swap(strata[i - 1], strata[UniformIndex(engine, i)]);
    for (std::size_t i = 0; i < n; ++i) {
      double u = (static_cast<double>(strata[i]) + Uniform01(engine)) / static_cast<double>(n);
      double value = 0;
      if (quantity.Law == Distribution::Uniform) {
        value = quantity.LawA + (quantity.LawB - quantity.LawA) * u;
      } else {
        value = NormalDraw(quantity, u);
      }
      if (quantity.Spec->Whole) value = std::round(value);
      if (const auto fault = CheckValue(*quantity.Spec, value)) {
        const bool cuttable =
            quantity.Law == Distribution::Normal && !quantity.Truncate &&
            (fault->Kind == FaultKind::OutOfRange || fault->Kind == FaultKind::NotBelowOne);
        throw SampleError("vary[" + std::to_string(q) + "] (\"" + quantity.Name() + "\"): sample " +
                              std::to_string(i + 1) + ": " + English(*fault) +
                              (cuttable ? " Give \"truncate\": true beside \"normal\" to draw "
                                          "within the input's range."
                                        : ""),
                          q, *fault);
      }
      points[i][q] = value;
    }
  }
  return points;
}

}  // namespace

StudySetUp SetUpStudy(const Study& study, const MaterialsCatalogue& catalogue, bool force,
                      const RegionalSettings& locale) {
  StudySetUp setUp;
  const long long points = PointCount(study);
  if (points > kMaxPointsHeld || (points > kMaxPointsUnforced && !force)) {
    EntryFault fault;
    fault.Kind = FaultKind::TooManyPoints;
    fault.Count = points;
    fault.Max = static_cast<double>(points > kMaxPointsHeld ? kMaxPointsHeld : kMaxPointsUnforced);
    setUp.TooMany = fault;
  }
  ModelState base;
  ApplyDefaults(base);
  base.Input = study.Base;
  base.Locale = locale;
  setUp.BaseFaults = FindInputFaults(base, &catalogue);
  // A coat's quantity needs that coat in the base case; a case's own spraying input that every
  // coat gives for itself would change nothing.
  const std::vector<CoatInput>& given = study.Base.Coats;
  const std::string count = std::to_string(given.size());
  for (const Quantity& quantity : study.Vary) {
    const QuantitySpec& spec = *quantity.Spec;
    if (spec.Coat > 0 && static_cast<std::size_t>(spec.Coat) > given.size()) {
      setUp.BaseFaults.push_back(
          {nullptr, spec.Name + ": the base case lists " + count + " coats (Coats).",
           spec.Name + " : le cas de base compte " + count + " couches (Coats)."});
    }
    const MaterialRecord* row =
        spec.Column != nullptr ? catalogue.FindMaterial(spec.RowName(study.Base)) : nullptr;
    if (row != nullptr && spec.IsTable(*row)) {
      setUp.BaseFaults.push_back(
          {nullptr,
           spec.Name + ": \"" + row->Name +
               "\" gives it against temperature; a study varies a constant figure.",
           spec.Name + " : « " + row->Name +
               " » le donne en fonction de la température ; une étude fait varier une valeur "
               "constante."});
    }
    if (spec.Role != QuantityRole::Input || given.empty()) continue;
    const auto figure = std::find_if(kCoatFigures.begin(), kCoatFigures.end(),
                                     [&spec](const CoatFigure& f) { return spec.Name == f.Key; });
    const bool overridden =
        spec.Name == "PassCount" ||
        (figure != kCoatFigures.end() &&
         std::all_of(given.begin(), given.end(), [&figure](const CoatInput& coat) {
           return (coat.*figure->Field).has_value();
         }));
    if (!overridden) continue;
    setUp.BaseFaults.push_back(
        {nullptr,
         spec.Name + ": every coat of the base case gives its own (Coats); vary coat1." +
             spec.Name + " and the others instead.",
         spec.Name +
             " : chaque couche du cas de base donne la sienne (Coats) ; faire varier coat1." +
             spec.Name + " et les autres à la place."});
  }
  if (setUp.TooMany || !setUp.BaseFaults.empty()) return setUp;
  try {
    setUp.Points = DesignPoints(study);
  } catch (const SampleError& error) {
    setUp.Sample = error;
  }
  return setUp;
}

std::vector<std::vector<double>> PointsOrThrow(StudySetUp setUp, const std::string& origin,
                                               const std::string& forceOption) {
  if (setUp.TooMany) {
    const long long points = setUp.TooMany->Count;
    if (setUp.TooMany->Max == static_cast<double>(kMaxPointsHeld)) {
      const std::string count = points == std::numeric_limits<long long>::max()
                                    ? "more than " + std::to_string(points)
                                    : std::to_string(points);
      throw StudyError(origin + ": design: the study has " + count + " points, more than the " +
                       std::to_string(kMaxPointsHeld) + " a study can hold, even with " +
                       forceOption + ".");
    }
    throw StudyError(origin + ": design: the study has " + std::to_string(points) +
                     " points, more than " + std::to_string(kMaxPointsUnforced) + "; give " +
                     forceOption + " to run it.");
  }
  if (!setUp.BaseFaults.empty()) {
    std::vector<std::string> faults;
    for (const InputFault& fault : setUp.BaseFaults) {
      faults.push_back(origin + ": base: " + fault.English);
    }
    throw InputError(faults);
  }
  if (setUp.Sample) throw StudyError(origin + ": " + setUp.Sample->what());
  return std::move(setUp.Points);
}

long long PointCount(const Study& study) {
  constexpr long long kSaturated = std::numeric_limits<long long>::max();
  if (study.Design == DesignKind::LatinHypercube) return study.Samples;
  long long count = study.Design == DesignKind::Factorial ? 1 : 0;
  for (const Quantity& quantity : study.Vary) {
    const auto size = static_cast<long long>(quantity.Values.size());
    const bool over = study.Design == DesignKind::Factorial
                          ? __builtin_mul_overflow(count, size, &count)
                          : __builtin_add_overflow(count, size, &count);
    if (over) return kSaturated;
  }
  return count;
}

std::vector<std::vector<double>> DesignPoints(const Study& study) {
  if (study.Design == DesignKind::LatinHypercube) return LatinHypercube(study);
  std::vector<std::vector<double>> points;
  if (study.Design == DesignKind::OneAtATime) {
    // The other quantities keep the base case's values: a point leaves them unset (NaN), and
    // the runner reports the values it used.
    for (std::size_t q = 0; q < study.Vary.size(); ++q) {
      for (const double value : study.Vary[q].Values) {
        std::vector<double> point(study.Vary.size(), std::nan(""));
        point[q] = value;
        points.push_back(std::move(point));
      }
    }
    return points;
  }
  const long long count = PointCount(study);
  points.reserve(static_cast<std::size_t>(count));
  std::vector<std::size_t> index(study.Vary.size(), 0);
  for (long long p = 0; p < count; ++p) {
    std::vector<double> point(study.Vary.size());
    for (std::size_t q = 0; q < study.Vary.size(); ++q) point[q] = study.Vary[q].Values[index[q]];
    points.push_back(std::move(point));
    // The last quantity varies fastest.
    for (std::size_t q = study.Vary.size(); q-- > 0;) {
      if (++index[q] < study.Vary[q].Values.size()) break;
      index[q] = 0;
    }
  }
  return points;
}

double NormalQuantile(double p) {
  // Acklam's rational approximation (relative error below 1.2e-9), then one Halley step on
  // the exact distribution function, which brings it to full double precision.
  static constexpr double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,
                                 -2.759285104469687e+02, 1.383577518672690e+02,
                                 -3.066479806614716e+01, 2.506628277459239e+00};
  static constexpr double b[] = {-5.447609879822406e+01, 1.615858368580409e+02,
                                 -1.556989798598866e+02, 6.680131188771972e+01,
                                 -1.328068155288572e+01};
  static constexpr double c[] = {-7.784894002430293e-03, -3.223964580411365e-01,
                                 -2.400758277161838e+00, -2.549732539343734e+00,
                                 4.374664141464968e+00,  2.938163982698783e+00};
  static constexpr double d[] = {7.784695709041462e-03, 3.224671290700398e-01,
                                 2.445134137142996e+00, 3.754408661907416e+00};
  constexpr double kLow = 0.02425;
  double x = 0;
  if (p < kLow) {
    const double q = std::sqrt(-2 * std::log(p));
    x = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
        ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
  } else if (p <= 1 - kLow) {
    const double q = p - 0.5;
    const double r = q * q;
    x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
        (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
  } else {
    const double q = std::sqrt(-2 * std::log(1 - p));
    x = -(((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
        ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
  }
  const double e = 0.5 * std::erfc(-x / std::sqrt(2.0)) - p;
  const double u = e * std::sqrt(2 * M_PI) * std::exp(x * x / 2);
  return x - u / (1 + x * u / 2);
}

double NormalCdf(double x) {
  return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

}  // namespace quillane::study
