#pragma once
// The whole-deposit stress model: every lamella of every pass laid at its own time on the plate
// as it then is, the plate following the thermal field step by step, and a last cooling to
// room temperature. An Euler-Bernoulli plate with biaxial moduli (substrate -h <= y <= 0,
// lamellae above) takes, at each event, an eigenstrain increment; its strain increment
// Δc - Δκ (y - δ) follows from force and moment balance about the neutral axis δ, and the
// stress increment is E'(y) (Δε - Δε*). Positive curvatures bend the coating side concave.

#include <vector>

#include "model/ModelState.h"
#include "model/RunSink.h"

namespace quillane {

// The whole model over the timeline the thermal run left: frames after the last pass (the
// build-up view), after the cooling to room temperature and for the deflection history.
void RunWholeDepositModel(ModelState& state, RunSink& sink);

// Its steps, for whoever follows the plate event by event.
// The bare substrate uniformly at `temperature`, bent to the initial curvature, unstressed;
// the per-lamella sums sized for LamellaCount lamellae and the history emptied.
void StartDepositPlate(ModelState& state, double temperature);

// Lamella LaidCount + 1 lands with its quenching stress on a surface at `landing` K: an
// eigenstrain -σq / Ed' on it alone, on the plate that now holds it. Its later thermal strain
// is counted from `landing`, since σq covers its cooling from the particles' temperature.
void ApplyArrival(ModelState& state, double landing);

// The plate's temperatures change to `now`: the substrate takes αs ΔT(y), each laid lamella
// αd ΔT_j.
void ApplyTemperatures(ModelState& state, const PlateTemperatures& now);

// Adds a point to the history: the plate as it is after `event`.
void RecordHistoryPoint(ModelState& state, const DepositEvent& event);

// Every point of the plate (the laid lamellae included) at `temperature`.
PlateTemperatures UniformTemperatures(const ModelState& state, double temperature);

// The stress at the mid-plane of laid lamella i (1 to LaidCount) at temperature `t`, Pa.
double LaidLamellaStress(const ModelState& state, int i, double t);

// Element N of the per-lamella results and the before-cooling table: the plate at the end of
// the last pass, with the field as it is then.
void KeepBeforeCooling(ModelState& state, const std::vector<double>& lamellaTemperatures);

// The plate brought to room temperature: the final results.
void CoolToRoom(ModelState& state);

}  // namespace quillane
