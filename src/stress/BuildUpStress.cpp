#include "stress/BuildUpStress.h"

#include <cmath>

namespace quillane {

double ShallowArcDeflection(double length, double curvature) {
  if (curvature == 0) return 0;
  return length * length / (8 / curvature);
}

namespace {

// Uniform stress that lamella j put into the substrate.
double SubstrateUniformStress(const StressResults& s, int j) {
  const double h = s.SubstrateThickness;
  const double w = s.LamellaThicknessCopy;
  const double es = s.SubstrateBiaxialModulus;
  const double ed = s.CoatingBiaxialModulus;
  return -es * s.LamellaForce(j) / (s.StressWidth * (h * es + (j - 1) * w * ed));
}

double CurvatureChange(const StressResults& s, int j) {
  return s.Curvature(j) - s.Curvature(j - 1);
}

void UpdateDisplayRanges(ModelState& state, int k) {
  StressResults& s = state.Stress;
  if (k == 1) {
    s.StressAxisMin = MinOf(s.SubstrateStressBack(1), s.SubstrateStressFront(1));
    s.StressAxisMax = MaxOf(s.SubstrateStressBack(1), s.SubstrateStressFront(1));
    s.DeflectionAxisMin = MinOf(s.Deflection(1), s.Deflection(0));
    s.DeflectionAxisMax = MaxOf(s.Deflection(1), s.Deflection(0));
  } else {
    // The previous stress range is already scaled; it enters beside values in pascals.
    s.StressAxisMin = MinOf(s.SubstrateStressBack(k), s.StressAxisMin);
    s.StressAxisMin = MinOf(s.SubstrateStressFront(k), s.StressAxisMin);
    s.StressAxisMax = MaxOf(s.SubstrateStressBack(k), s.StressAxisMax);
    s.StressAxisMax = MaxOf(s.SubstrateStressFront(k), s.StressAxisMax);
    s.DeflectionAxisMin = MinOf(s.DeflectionAxisMin, s.Deflection(k));
    s.DeflectionAxisMax = MaxOf(s.DeflectionAxisMax, s.Deflection(k));
  }
  for (int i = 1; i <= k; ++i) {
    s.StressAxisMin = MinOf(s.StressAxisMin, s.LamellaStress(i));
    s.StressAxisMax = MaxOf(s.StressAxisMax, s.LamellaStress(i));
    s.DeflectionAxisMin = MinOf(s.DeflectionAxisMin, s.Deflection(i));
    s.DeflectionAxisMax = MaxOf(s.DeflectionAxisMax, s.Deflection(i));
  }
  s.StressAxisMax = s.StressAxisMax * s.StressScale;
  s.StressAxisMin = s.StressAxisMin * s.StressScale;
}

}  // namespace

void ComputeBuildUpStress(ModelState& state) {
  StressResults& s = state.Stress;
  const int k = state.Clock.LamellaIndex;
  const double h = s.SubstrateThickness;
  const double w = s.LamellaThicknessCopy;
  const double b = s.StressWidth;
  const double es = s.SubstrateBiaxialModulus;
  const double ed = s.CoatingBiaxialModulus;
  const double sigmaQ = state.Stack.LastSigmaQ;

  s.LamellaForce(k) = sigmaQ * b * w * (h * es + (k - 1) * w * ed) / (h * es + k * w * ed);
  const double kw = k * w;
  const double delta = (kw * kw * ed - h * h * es) / (2 * (kw * ed + h * es));
  s.NeutralAxisPosition(k) = delta;
  s.FlexuralRigidity(k) = ed * b * kw * (kw * kw / 3 - kw * delta + delta * delta);
  s.FlexuralRigidity(k) += es * b * h * (h * h / 3 + h * delta + delta * delta);
  s.Curvature(k) = s.Curvature(k - 1) + s.LamellaForce(k) *
                                            ((k - 0.5) * w - s.NeutralAxisPosition(k - 1)) /
                                            s.FlexuralRigidity(k);
  s.Deflection(k) = ShallowArcDeflection(state.Input.SpecimenLength, s.Curvature(k));

  // The sums over the lamellae are kept from one lamella to the next: each step adds only the
  // terms of lamella k, in the same order of additions as summing from the first lamella.
  const double u = SubstrateUniformStress(s, k);
  const double dk = CurvatureChange(s, k);
  s.SubstrateStressBack(k) = s.SubstrateStressBack(k - 1) + (u + es * dk * (h + delta));
  s.SubstrateStressFront(k) = s.SubstrateStressFront(k - 1) + (u + es * dk * delta);

  const double uniformInDeposit = -ed * s.LamellaForce(k) / (b * (h * es + (k - 1) * w * ed));
  for (int i = 1; i < k; ++i) {
    s.LamellaStress(i) =
        s.LamellaStress(i) + (uniformInDeposit - ed * dk * ((i - 0.5) * w - delta));
  }
  s.LamellaStress(k) = s.LamellaForce(k) / (b * w) - ed * dk * ((k - 0.5) * w - delta);

  UpdateDisplayRanges(state, k);
}

}  // namespace quillane
