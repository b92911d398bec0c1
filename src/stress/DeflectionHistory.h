#pragma once
#include <cstddef>

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

// The deflection picture of the whole-deposit model draws its history over this many columns of
// its time axis: each run of consecutive points in one column (a cooling point starts a run of
// its own) as its first point, its lowest and highest, and its last. HistoryColumn is the column
// of a point at `time` on an axis `span` seconds long (at least 1e-9 s).
inline constexpr std::size_t kHistoryColumns = 1000;
std::size_t HistoryColumn(double time, double span);

// The length of the deflection history's time axis: the conventional axis above, or the run's
// own time where the whole-deposit model kept a history.
double DeflectionHistorySeconds(const ModelState& state);

}  // namespace quillane
