#include "model/InputTable.h"
#include "model/ModelState.h"

namespace quillane {

void ApplyDefaults(ModelState& state) {
  for (const InputSpec& input : InputTable()) {
    if (input.TextField != nullptr) {
      // A choice starts at its first value; no material is picked.
      state.Input.*input.TextField = input.Choices.empty() ? "" : input.Choices.front().Value;
    } else {
      input.Set(state.Input, input.Default);
    }
  }
  state.Clock.LamellaCount = 1;
  state.Stack.LayerCount = 3;
  state.Clock.LamellaPeriod = 1.5 / 1.0;
  state.Heat.TopHeatCoeff = 147;
  state.Heat.BackHeatCoeff = 147;
  // The views can be opened before any run, so the arrays they read exist from the start.
  const int upper = state.Stack.LayerCount + 1;
  StressResults& s = state.Stress;
  for (BasedArray<double>* array :
       {&s.LamellaForce, &s.NeutralAxisPosition, &s.FlexuralRigidity, &s.SubstrateStressBack,
        &s.SubstrateStressFront, &s.LamellaStress, &s.LamellaStressFinal, &s.Deflection}) {
    array->Redim(1, upper);
  }
}

InputParameters DefaultInputs() {
  ModelState state;
  ApplyDefaults(state);
  return state.Input;
}

}  // namespace quillane
