#pragma once
// The stress tables of a run: the before-cooling table (thermal results file and the first
// grid of the deflection window), the after-cooling rows of the second grid, and the stress
// results file.

#include "core/ModelState.h"
#include "core/RunHost.h"

namespace quillane {

// After the last lamella: the neutral axis and the stresses before final cooling.
void WriteBeforeCoolingTable(ModelState& state, RunHost& host);

// One after-cooling row of lamella i: the bottom of the lamella and its final stress.
void AddAfterCoolingRow(const ModelState& state, RunHost& host, int i);

// The deflection of the cooling curve of the deflection history at sample i (1 to 19): it
// relaxes from the deflection after the last lamella towards the final deflection with a time
// constant of 4000 s per metre of total thickness, 6 s per sample.
double DeflectionHistoryCoolingValue(const ModelState& state, int i);

// The stress results file, once per run: the final stresses through the thickness, then the
// deflection history.
void WriteStressResultsFile(ModelState& state);

}  // namespace quillane
