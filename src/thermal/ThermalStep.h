#pragma once
#include "core/ModelState.h"
#include "core/RunHost.h"

namespace quillane {

// Advances the node temperatures by one implicit (backward Euler) step of TimeStep, with
// convection and radiation at both faces, then records the row.
void ThermalStep(ModelState& state, RunHost& host);

}  // namespace quillane
