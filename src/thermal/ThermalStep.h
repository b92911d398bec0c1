#pragma once
#include "core/ModelState.h"
#include "core/RunHost.h"

namespace quillane {

// Advances the node temperatures by one implicit (backward Euler) step of TimeStep, with
// convection and radiation at both faces, then records the row.
void ThermalStep(ModelState& state, RunHost& host);

// The computing part of a step: materials and coefficients of every layer, the system, its
// solution (none on the first step after a set-up) and the node heights.
void AdvanceNodeTemperatures(ModelState& state, RunHost& host);

}  // namespace quillane
