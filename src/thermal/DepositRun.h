#pragma once
// The whole-deposit model's thermal run: the field through every pass and through the cooling
// after spraying, on the schedule's own time grid.

#include "model/ModelState.h"
#include "model/RunSink.h"

namespace quillane {

// Where the events of the timeline go as the run makes them, in place of state.Timeline's Events
// and PassEnds: a long run's timeline (thirteen million events for a million lamellae) is then
// followed without being kept.
class DepositEventSink {
 public:
  virtual ~DepositEventSink() = default;
  // The field is laid out and the state prepared (PrepareDepositRun); no event yet.
  virtual void Begin() = 0;
  virtual void Event(const DepositEvent& event) = 0;
  // A pass has ended; after the last, state.Timeline.LamellaTemperatures holds the lamellae as
  // they then are.
  virtual void PassEnd() = 0;
};

// Lays out the field, then steps it pass after pass: a thermal row per step (the back face, the
// substrate's top face and the surface), the timeline the stress model follows (kept in
// state.Timeline, or handed to `events` when given), the field's picture and the run's
// statistics. Throws RunCancelled when the sink's progress asks to stop.
void RunDepositThermalHistory(ModelState& state, RunSink& sink, DepositEventSink* events = nullptr);

// The clock at the end of the run (its last step), known before it runs.
double DepositRunEndTime(const InputParameters& in, const RunMaterials& materials);

// The state as the run starts: the clock, the per-lamella arrays sized for every lamella, the
// plate's geometry and the constants the stress model reads, the field laid out at the plate's
// starting temperature.
void PrepareDepositRun(ModelState& state);

// The temperature the back face's holder is at, K.
double HolderTemperature(const InputParameters& in);

}  // namespace quillane
