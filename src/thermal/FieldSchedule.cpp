#include "thermal/FieldSchedule.h"

#include <cmath>

namespace quillane {

namespace {

// Steps of each interval at refinement 1.
constexpr int kStepsBeforeDeposit = 16;
constexpr int kStepsPerLamella = 12;
constexpr int kStepsAfterDeposit = 32;
constexpr int kStepsBetweenPasses = 48;
constexpr double kFirstStep = 3e-3;  // s

// Sum of count steps growing by g from `first`: first (g^count - 1) / (g - 1).
double GeometricSum(double first, double g, int count) {
  if (g == 1) return first * count;
  return first * std::expm1(count * std::log(g)) / (g - 1);
}

}  // namespace

std::vector<double> StepFractions(double length, int count, int refinement) {
  std::vector<double> ends;
  if (!(length > 0)) return ends;
  // The first step is near kFirstStep where the interval is long and near length / count where
  // it is short, smoothly in between, so the grid has no threshold in any input.
  const double first = kFirstStep * length / (length + count * kFirstStep);
  // The growth g solves GeometricSum(first, g, count) = length; the sum rises with g.
  double low = 1;
  double high = 2;
  while (GeometricSum(first, high, count) < length) high *= 2;
  for (int i = 0; i < 200 && low < high; ++i) {
    const double middle = 0.5 * (low + high);
    if (middle == low || middle == high) break;
    (GeometricSum(first, middle, count) < length ? low : high) = middle;
  }
  const double g = 0.5 * (low + high);
  // Each step of the grid cut into `refinement` equal ones: the ends of the first grid stay
  // ends of every finer one.
  ends.reserve(static_cast<std::size_t>(count * refinement));
  double start = 0;
  for (int k = 1; k <= count; ++k) {
    const double end = k == count ? 1 : GeometricSum(first, g, k) / length;
    for (int j = 1; j < refinement; ++j) ends.push_back(start + (end - start) * j / refinement);
    ends.push_back(end);
    start = end;
  }
  return ends;
}

std::vector<PassInterval> PassIntervals(const SprayedCoat& coat) {
  const double window = coat.HeatingWindow;
  const int lamellae = coat.LamellaePerPass;
  std::vector<PassInterval> intervals;
  const auto arrival = [&](int i) { return window / 3 + (i - 1) * window / (3.0 * lamellae); };
  intervals.push_back({0, arrival(1), true, false, kStepsBeforeDeposit});
  for (int i = 1; i < lamellae; ++i) {
    intervals.push_back({arrival(i), arrival(i + 1), true, true, kStepsPerLamella});
  }
  intervals.push_back({arrival(lamellae), window, true, true, kStepsAfterDeposit});
  intervals.push_back({window, coat.PassPeriod, false, false, kStepsBetweenPasses});
  return intervals;
}

void WalkSchedule(const InputParameters& in, const std::vector<SprayedCoat>& coats,
                  const ScheduleVisitor& visit) {
  const int r = in.ThermalRefinement;
  const auto onFirstGrid = [r](std::size_t k) {
    return (k + 1) % static_cast<std::size_t>(r) == 0;
  };
  int passes = 0;
  double end = 0;
  for (std::size_t c = 0; c < coats.size(); ++c) {
    const SprayedCoat& coat = coats[c];
    // The pause before the coat: the plate cools in the gases, the torch away.
    const std::vector<double> pause = StepFractions(coat.PauseBefore, kStepsBetweenPasses, r);
    for (std::size_t k = 0; k < pause.size(); ++k) {
      GridStep step;
      step.End = end + pause[k] * coat.PauseBefore;
      step.Coat = c;
      step.Peaks = onFirstGrid(k);
      visit.Step(step);
    }
    const std::vector<PassInterval> pass = PassIntervals(coat);
    // Each kind of interval has one length: its grid is worked out once.
    std::vector<std::vector<double>> fractions;
    for (const PassInterval& interval : pass) {
      fractions.push_back(StepFractions(interval.End - interval.Start, interval.Steps, r));
    }
    for (int p = 1; p <= coat.PassCount; ++p) {
      const double start = coat.Start + (p - 1) * coat.PassPeriod;
      ++passes;
      for (std::size_t i = 0; i < pass.size(); ++i) {
        const PassInterval& interval = pass[i];
        if (interval.Arrival) visit.Land(passes, start + interval.Start, c);
        const std::vector<double>& ends = fractions[i];
        for (std::size_t k = 0; k < ends.size(); ++k) {
          GridStep step;
          step.End = start + (interval.Start + ends[k] * (interval.End - interval.Start));
          step.Torch = interval.Torch;
          step.AfterLanding = interval.Arrival && k == 0;
          step.Coat = c;
          step.Peaks = interval.Arrival ? k + 1 == ends.size() : onFirstGrid(k);
          visit.Step(step);
        }
      }
      if (visit.EndPass) visit.EndPass(passes);
    }
    end = coat.Start + coat.PassCount * coat.PassPeriod;
  }
  const std::vector<double> cooling = StepFractions(in.CoolingTime, kCoolingSteps, r);
  for (std::size_t k = 0; k < cooling.size(); ++k) {
    GridStep step;
    step.End = end + cooling[k] * in.CoolingTime;
    step.Spraying = false;
    step.Coat = coats.empty() ? 0 : coats.size() - 1;
    step.Peaks = onFirstGrid(k);
    visit.Step(step);
  }
}

long ScheduleSteps(const InputParameters& in, const std::vector<SprayedCoat>& coats) {
  long steps = kCoolingSteps;
  for (const SprayedCoat& coat : coats) {
    long pass = 0;
    for (const PassInterval& interval : PassIntervals(coat)) pass += interval.Steps;
    steps += pass * coat.PassCount + (coat.PauseBefore > 0 ? kStepsBetweenPasses : 0);
  }
  return steps * in.ThermalRefinement;
}

}  // namespace quillane
