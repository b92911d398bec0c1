#pragma once
#include "model/ModelState.h"

namespace quillane {

// The larger or the smaller of two values; the first one on a tie.
inline double MaxOf(double a, double b) {
  return a >= b ? a : b;
}
inline double MinOf(double a, double b) {
  return a <= b ? a : b;
}

// Adds lamella k = LamellaIndex to the deposit after Tsui and Clyne: misfit force, neutral
// axis, flexural rigidity, curvature, deflection, substrate and lamella stresses, and the
// display ranges.
void ComputeBuildUpStress(ModelState& state);

// Deflection over the specimen length of a plate bent to the given curvature (shallow arc);
// 0 for a flat plate.
double ShallowArcDeflection(double length, double curvature);

}  // namespace quillane
