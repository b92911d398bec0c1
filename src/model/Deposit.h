#pragma once
// How the inputs lay the coating: lamellae per pass and their thickness, which depend on the
// stress model chosen.

#include "model/ModelState.h"

namespace quillane {

// Lamellae laid in each pass. The one-pass model lays Int(ratio) + 1 (one more than fits); the
// whole-deposit model the nearest whole number, at least one, so that every pass is exactly
// PassThickness thick.
int LamellaePerPass(const InputParameters& in);

// Thickness of each lamella laid: LamellaThickness, or PassThickness shared evenly among the
// lamellae of a pass in the whole-deposit model.
double LaidLamellaThickness(const InputParameters& in);

}  // namespace quillane
