#pragma once
#include "core/ModelState.h"
#include "core/RunHost.h"

namespace quillane {

// Records the current thermal state as one row (time, up to eight node temperatures, stack
// thickness; every field followed by a tab) in the thermal results file and the results grid.
void WriteThermalRow(ModelState& state, RunHost& host);

// Records the last row again. Valid only when nothing has changed since it was built, as right
// after a thermal step, whose own row the run records a second time.
void RepeatThermalRow(ModelState& state, RunHost& host);

}  // namespace quillane
