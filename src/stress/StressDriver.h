#pragma once
#include "core/ModelState.h"
#include "core/RunHost.h"

namespace quillane {

// The residual-stress phase of a run: starting state, build-up lamella by lamella with its
// drawings, final cooling, the after-cooling drawings and the deflection history; then writes
// the stress results file and closes both result files.
void RunStressModel(ModelState& state, RunHost& host);

// Rise of a circular arc of the given curvature over the chord `length`, mirrored for a
// negative curvature; 1e-9 m for a flat plate (the starting state of the deflection history).
double StartDeflection(double length, double curvature);

}  // namespace quillane
