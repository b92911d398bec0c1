#pragma once
#include "model/ModelState.h"

namespace quillane {

// Decides how many layers are in use for the current lamella, gives each its thickness and
// top node, re-sizes the working arrays (keeping the node temperatures by index) and refreshes
// the values the stress model reads.
void SetUpLayerStack(ModelState& state);

}  // namespace quillane
