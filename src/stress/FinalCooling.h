#pragma once
#include "model/ModelState.h"

namespace quillane {

// Adds the thermal-mismatch stresses of the final cooling of the finished deposit, from the
// coating's melting point down to the top-surface temperature at the end of the last pass.
void ComputeFinalCooling(ModelState& state);

}  // namespace quillane
