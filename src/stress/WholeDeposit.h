#pragma once
// The whole-deposit stress model: every lamella of every pass laid at its own time on the plate
// as it then is, the plate following the temperatures of the thermal run, and a last cooling to
// room temperature. An Euler-Bernoulli plate with biaxial moduli (substrate -h <= y <= 0,
// lamellae above) takes, at each event, an eigenstrain increment; its strain increment
// Δc - Δκ (y - δ) follows from force and moment balance about the neutral axis δ, and the
// stress increment is E'(y) (Δε - Δε*). Positive curvatures bend the coating side concave.

#include "model/ModelState.h"
#include "model/RunSink.h"

namespace quillane {

// The whole model over the timeline the thermal run left: frames after the last pass (the
// build-up view), after the cooling and for the deflection history.
void RunWholeDepositModel(ModelState& state, RunSink& sink);

// Its steps, for whoever follows the plate event by event.
// The bare substrate at the plate's first temperature, bent to the initial curvature,
// unstressed; the per-lamella sums sized for LamellaCount lamellae.
void StartDepositPlate(ModelState& state);
// One event on the plate as it is: a lamella arriving with its quenching stress, or the
// substrate's faces (and the lamellae on it) changing temperature. Adds a point to the history.
void ApplyDepositEvent(ModelState& state, const DepositEvent& event);
// The cooling of the whole plate to room temperature from the temperatures of the last event.
DepositEvent RoomCoolingEvent(const ModelState& state);
// The stress at the mid-plane of laid lamella i (1 to LaidCount) now, Pa.
double LaidLamellaStress(const ModelState& state, int i);

}  // namespace quillane
