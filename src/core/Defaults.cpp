#include "core/ModelState.h"
#include "format/NumberFormat.h"

namespace quillane {

void ApplyDefaults(ModelState& state) {
  InputParameters& in = state.Input;
  state.Clock.LamellaCount = 1;
  in.PassCount = 1;
  state.Stack.LayerCount = 3;
  in.PassPeriod = 4.5;
  in.HeatingWindow = 1.5;
  state.Clock.LamellaPeriod = 1.5 / 1.0;
  in.LamellaThickness = 1e-6;
  in.SubstrateThicknessInput = 0.002;
  in.SubstrateTemperature = 573;
  in.ParticleTemperature = 3000;
  in.PassThickness = state.Clock.LamellaCount * 1e-6;
  state.Heat.TopHeatCoeff = 147;
  in.GasTemperature = 973;
  in.HeatFlux = 500000;
  state.Heat.BackHeatCoeff = 147;
  in.SubstrateWidth = 0.02;
  in.SpecimenLength = 0.08;
  in.WitnessParticle = 1;
  in.WitnessCoat = 1;
  state.Stress.StressWidth = in.SubstrateWidth;
  // The views can be opened before any run, so the arrays they read exist from the start.
  const int upper = state.Stack.LayerCount + 1;
  StressResults& s = state.Stress;
  for (BasedArray<double>* array :
       {&s.LamellaForce, &s.NeutralAxisPosition, &s.FlexuralRigidity, &s.SubstrateStressBack,
        &s.SubstrateStressFront, &s.LamellaStress, &s.LamellaStressFinal, &s.Deflection}) {
    array->Redim(1, upper);
  }
}

void LoadInputFormState(ModelState& state) {
  ApplyDefaults(state);
  state.Input.SpecimenLengthText = format::FormatGeneral(state.Input.SpecimenLength);
  state.Input.InitialCurvatureText.assign(1, '0');
  state.Input.SubstrateMaterialName.clear();
  state.Input.CoatingMaterialName.clear();
}

}  // namespace quillane
