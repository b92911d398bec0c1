#include "stress/StressDriver.h"

#include <cmath>

#include "stress/BuildUpStress.h"
#include "stress/FinalCooling.h"
#include "stress/StressTables.h"

namespace quillane {

double StartDeflection(double length, double curvature) {
  if (curvature == 0) return 1e-9;
  // The arc formula is odd in the curvature only when written for |R|.
  const double r = 1 / std::fabs(curvature);
  double rise = r - 0.5 * std::sqrt(4 * r * r - std::pow(length, 2));
  if (!std::isfinite(4 * r * r)) {
    // So flat a specimen that the square of its radius overflows: the same rise, written
    // without the radius.
    const double half = length * std::fabs(curvature) / 2;
    rise = std::pow(length, 2) * std::fabs(curvature) / (4 * (1 + std::sqrt(1 - half * half)));
  }
  return curvature > 0 ? rise : -rise;
}

void RunStressModel(ModelState& state, RunHost& host) {
  StressResults& s = state.Stress;
  const LayerStack& stack = state.Stack;
  s.NeutralAxisPosition(0) = -s.SubstrateThickness / 2;
  s.SubstrateStressBack(0) = 0;
  s.SubstrateStressFront(0) = 0;
  s.StressScale = 1e-9;
  s.SubstrateBiaxialModulus = stack.SubstrateYoung / (1 - stack.SubstratePoisson);
  s.CoatingBiaxialModulus = stack.CoatingYoung / (1 - stack.CoatingPoisson);
  s.Deflection(0) = StartDeflection(state.Input.SpecimenLength, s.Curvature(0));

  Schedule& clock = state.Clock;
  for (clock.LamellaIndex = 1; clock.LamellaIndex <= clock.LamellaCount; ++clock.LamellaIndex) {
    if (clock.LamellaIndex == clock.LamellaCount) host.Beep();
    ComputeBuildUpStress(state, host);
    host.DrawBuildUpView(state, true);
    host.DrawBuildUpView(state, false);
  }
  ComputeFinalCooling(state, host);
  host.Beep();
  host.DrawCoolingView(state, true);
  host.DrawCoolingView(state, false);
  host.Beep();
  host.DrawDeflectionHistory(state);
  host.Beep();
  WriteStressResultsFile(state);
  // Both files reach the disk before either replaces an earlier one, so a full disk cannot
  // leave a new stress file beside the old thermal results.
  state.Files.Stress.Flush();
  state.Files.Thermal.Flush();
  state.Files.Stress.Close();
  state.Files.Thermal.Close();
}

}  // namespace quillane
