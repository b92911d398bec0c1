#pragma once
#include "model/ModelState.h"
#include "model/RunSink.h"

namespace quillane {

// Records the current thermal state as one row (time, up to eight node temperatures, stack
// thickness) and keeps the counts and extremes of the run's statistics.
void WriteThermalRow(ModelState& state, RunSink& sink);

// Records the last row again. Valid only when nothing has changed since it was recorded, as
// right after a thermal step, whose own row the run records a second time.
void RepeatThermalRow(ModelState& state, RunSink& sink);

}  // namespace quillane
