#include "stress/DeflectionHistory.h"

#include <algorithm>
#include <cmath>

#include "model/Deposit.h"

namespace quillane {

namespace {
constexpr double kSecondsPerMetre = 4000;
}  // namespace

double DeflectionHistoryCoolingValue(const ModelState& state, int i) {
  const StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;
  const double u = (kCoolingSeconds / kCoolingSamples) * i;
  const double tau = kSecondsPerMetre * (DepositTop(s, n) + s.SubstrateThickness);
  return s.FinalDeflection - (s.FinalDeflection - s.Deflection(n)) * std::exp((-u) / tau);
}

std::size_t HistoryColumn(double time, double span) {
  return static_cast<std::size_t>(time / std::max(span, 1e-9) * kHistoryColumns);
}

double DeflectionHistorySeconds(const ModelState& state) {
  if (state.Model == StressModelKind::WholeDeposit && !state.Stress.History.empty()) {
    return state.Stress.History.back().Event.Time;
  }
  return kSecondsPerLamella * state.Clock.LamellaCount + kCoolingSeconds;
}

}  // namespace quillane
