#include "stress/StressDriver.h"

#include <algorithm>
#include <cmath>

#include "model/Errors.h"
#include "stress/BuildUpStress.h"
#include "stress/FinalCooling.h"
#include "stress/WholeDeposit.h"

namespace quillane {

namespace {
// Lamellae of the build-up between two looks at the sink's progress (and its stop).
constexpr int kLamellaePerProgress = 256;
}  // namespace

double StartDeflection(double length, double curvature) {
  if (curvature == 0) return 1e-9;
  // The arc formula is odd in the curvature only when written for |R|.
  const double r = 1 / std::fabs(curvature);
  // At |curvature| = 2 / length, which validation accepts, the difference can round below 0.
  double rise = r - 0.5 * std::sqrt(std::max(4 * r * r - length * length, 0.0));
  if (!std::isfinite(4 * r * r)) {
    // So flat a specimen that the square of its radius overflows: the same rise, written
    // without the radius.
    const double half = length * std::fabs(curvature) / 2;
    rise = length * length * std::fabs(curvature) / (4 * (1 + std::sqrt(1 - half * half)));
  }
  return curvature > 0 ? rise : -rise;
}

void StartStressModel(ModelState& state) {
  StressResults& s = state.Stress;
  const LayerStack& stack = state.Stack;
  s.NeutralAxisPosition(0) = -s.SubstrateThickness / 2;
  s.SubstrateStressBack(0) = 0;
  s.SubstrateStressFront(0) = 0;
  s.StressScale = 1e-9;
  s.SubstrateBiaxialModulus = stack.SubstrateYoung / (1 - stack.SubstratePoisson);
  s.CoatingBiaxialModulus = stack.CoatingYoung / (1 - stack.CoatingPoisson);
  s.Deflection(0) = StartDeflection(state.Input.SpecimenLength, s.Curvature(0));
}

void RunStressModel(ModelState& state, RunSink& sink) {
  if (state.Model == StressModelKind::WholeDeposit) {
    RunWholeDepositModel(state, sink);
    return;
  }
  StartStressModel(state);
  Schedule& clock = state.Clock;
  for (clock.LamellaIndex = 1; clock.LamellaIndex <= clock.LamellaCount; ++clock.LamellaIndex) {
    // Each lamella revisits those below it: a long pass takes seconds, and a stop is heard.
    if (clock.LamellaIndex % kLamellaePerProgress == 0 && !sink.Progress(1.0)) {
      throw RunCancelled();
    }
    ComputeBuildUpStress(state);
    sink.Frame(state, StressFrame::BuildUp);
  }
  ComputeFinalCooling(state);
  sink.Frame(state, StressFrame::Cooling);
  sink.Frame(state, StressFrame::DeflectionHistory);
}

}  // namespace quillane
