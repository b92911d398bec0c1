#pragma once
#include "model/ModelState.h"
#include "model/RunSink.h"

namespace quillane {

// Advances the node temperatures by one implicit (backward Euler) step of TimeStep, with
// convection and radiation at both faces, then records the row.
void ThermalStep(ModelState& state, RunSink& sink);

// The computing part of a step: materials and coefficients of every layer, the system, its
// solution (none on the first step after a set-up) and the node heights.
void AdvanceNodeTemperatures(ModelState& state, RunSink& sink);

// The elastic and expansion constants (and the quenching stress) that a layer's catalogue row
// leaves for the stress model: the substrate's, and those of the contact or coating above it.
void TakeSubstrateConstants(LayerStack& stack, const MaterialRecord& row);
void TakeCoatingConstants(LayerStack& stack, const MaterialRecord& row);

}  // namespace quillane
