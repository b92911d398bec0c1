#pragma once
// The whole-deposit model's thermal run: the field through every pass and through the cooling
// after spraying, on the schedule's own time grid.

#include "model/ModelState.h"
#include "model/RunSink.h"

namespace quillane {

// Lays out the field, then steps it pass after pass: a thermal row per step (the back face, the
// substrate's top face and the surface), the timeline the stress model follows, the field's
// picture and the run's statistics. Throws RunCancelled when the sink's progress asks to stop.
void RunDepositThermalHistory(ModelState& state, RunSink& sink);

// The state as the run starts: the clock, the per-lamella arrays sized for every lamella, the
// plate's geometry and the constants the stress model reads, the field laid out at the plate's
// starting temperature.
void PrepareDepositRun(ModelState& state);

// The temperature the back face's holder is at, K.
double HolderTemperature(const InputParameters& in);

}  // namespace quillane
