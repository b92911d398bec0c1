#pragma once
#include "model/ModelState.h"
#include "model/RunSink.h"

namespace quillane {

// The residual-stress phase of a run: starting state, build-up lamella by lamella (a frame
// after each lamella), final cooling (a frame), then the deflection history (a frame). The
// whole-deposit model (stress/WholeDeposit.h) takes its place when the case chooses it.
void RunStressModel(ModelState& state, RunSink& sink);

// The plate before its first lamella, common to both models: the neutral axis at mid-substrate,
// no stress, the biaxial moduli of the rows the thermal run read last, the start deflection.
void StartStressModel(ModelState& state);

// Rise of a circular arc of the given curvature over the chord `length`, mirrored for a
// negative curvature; 1e-9 m for a flat plate (the starting state of the deflection history).
// At |curvature| = 2 / length the chord is a diameter and the rise is the radius.
double StartDeflection(double length, double curvature);

}  // namespace quillane
