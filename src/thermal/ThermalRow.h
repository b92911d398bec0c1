#pragma once
#include "model/ModelState.h"
#include "model/RunSink.h"

namespace quillane {

// Records the current thermal state as one row (time, up to eight node temperatures, stack
// thickness) and keeps the counts and extremes of the run's statistics. In the whole-deposit
// model the row also goes to the deposit's timeline.
void WriteThermalRow(ModelState& state, RunSink& sink);

// Records the last row again. Valid only when nothing has changed since it was recorded, as
// right after a thermal step, whose own row the run records a second time.
void RepeatThermalRow(ModelState& state, RunSink& sink);

// Notes an event of the deposit's timeline at the current time, with the temperatures of the
// substrate's back face and top (nodes 1 and 2).
void RecordDepositEvent(ModelState& state, DepositEventKind kind);

}  // namespace quillane
