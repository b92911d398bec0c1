#include "stress/FinalCooling.h"

#include <cmath>

#include "stress/BuildUpStress.h"

namespace quillane {

void ComputeFinalCooling(ModelState& state) {
  StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;
  const double h = s.SubstrateThickness;
  const double w = s.LamellaThicknessCopy;
  const double b = s.StressWidth;
  const double es = s.SubstrateBiaxialModulus;
  const double ed = s.CoatingBiaxialModulus;

  const double t = n * w;
  // Coating minus substrate: a coating that contracts less than its substrate ends compressed,
  // its side convex.
  const double expansionMismatch = state.Stack.CoatingExpansion - state.Stack.SubstrateExpansion;
  const double temperatureDrop = state.Stack.MeltingPoint - state.Clock.PassEndSurfaceTemperature;
  const double misfit = expansionMismatch * temperatureDrop;

  const double force = b * misfit * (es * ed * t * h) / (ed * t + es * h);
  const double d = (ed * ed) * std::pow(t, 4) + 4 * ed * es * std::pow(t, 3) * h +
                   6 * ed * es * (t * t) * (h * h) + 4 * ed * es * t * std::pow(h, 3) +
                   (es * es) * std::pow(h, 4);
  const double curvatureN = s.Curvature(n);
  s.FinalCurvature = curvatureN + 6 * ed * es * t * h * (t + h) * misfit / d;
  s.FinalDeflection = ShallowArcDeflection(state.Input.SpecimenLength, s.FinalCurvature);
  const double bending = s.FinalCurvature - curvatureN;
  const double axis = s.NeutralAxisPosition(n);

  // The build-up sums over the lamellae are those of the last build-up step. The substrate
  // bends with the same sign as the deposit, which keeps the section in force balance.
  s.SubstrateStressBackFinal =
      s.SubstrateStressBack(n) - force / (b * h) + es * bending * (h + axis);
  s.SubstrateStressFrontFinal = s.SubstrateStressFront(n) - force / (b * h) + es * bending * axis;

  s.StressAxisMin = MinOf(s.StressAxisMin, s.SubstrateStressBackFinal);
  s.StressAxisMin = MinOf(s.StressAxisMin, s.SubstrateStressFrontFinal);
  s.StressAxisMax = MaxOf(s.StressAxisMax, s.SubstrateStressBackFinal);
  s.StressAxisMax = MaxOf(s.StressAxisMax, s.SubstrateStressFrontFinal);
  s.DeflectionAxisMin = MinOf(s.DeflectionAxisMin, s.FinalDeflection);
  s.DeflectionAxisMax = MaxOf(s.DeflectionAxisMax, s.FinalDeflection);

  for (state.Clock.LamellaIndex = 1; state.Clock.LamellaIndex <= n; ++state.Clock.LamellaIndex) {
    const int i = state.Clock.LamellaIndex;
    s.LamellaStressFinal(i) =
        s.LamellaStress(i) + (force / (b * t) - ed * bending * ((i - 0.5) * w - axis));
    s.StressAxisMin = MinOf(s.StressAxisMin, s.LamellaStressFinal(i));
    s.StressAxisMax = MaxOf(s.StressAxisMax, s.LamellaStressFinal(i));
  }
  s.StressAxisMax = s.StressAxisMax * s.StressScale;
  s.StressAxisMin = s.StressAxisMin * s.StressScale;
}

}  // namespace quillane
