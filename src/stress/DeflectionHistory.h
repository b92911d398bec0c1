#pragma once
#include "model/ModelState.h"

namespace quillane {

// Time axis of the deflection history: 4 s per lamella, then 120 s of cooling in 20 samples.
inline constexpr int kSecondsPerLamella = 4;
inline constexpr int kCoolingSeconds = 120;
inline constexpr int kCoolingSamples = 20;

// The deflection of the cooling curve of the deflection history at sample i (1 to 19): it
// relaxes from the deflection after the last lamella towards the final deflection with a time
// constant of 4000 s per metre of total thickness, 6 s per sample.
double DeflectionHistoryCoolingValue(const ModelState& state, int i);

// The length of the deflection history's time axis: the conventional axis above, or the run's
// own time where the whole-deposit model kept a history.
double DeflectionHistorySeconds(const ModelState& state);

}  // namespace quillane
