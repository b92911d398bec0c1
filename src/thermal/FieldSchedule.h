#pragma once
// The time grid of the whole-deposit model's field, fixed by the spraying schedule and never by
// the temperatures, so that results move smoothly with every input.

#include <vector>

#include "model/ModelState.h"

namespace quillane {

// One interval between two events of a pass, in seconds from the pass's start.
struct PassInterval {
  double Start = 0;
  double End = 0;
  bool Torch = false;    // the torch's flux enters the surface
  bool Arrival = false;  // a lamella lands at its start
  int Steps = 0;
};

// The intervals of a pass laying `lamellae` lamellae: heating before the first lamella, one
// interval from each arrival to the next, the rest of the heating window, then the cooling in
// the gases until the next pass.
std::vector<PassInterval> PassIntervals(const InputParameters& in, int lamellae);

// Steps of the cooling in room air after the last pass.
int CoolingSteps(const InputParameters& in);

// The ends of `count` steps cutting an interval of `length` seconds, as fractions of it: steps
// growing geometrically from a first step near 1e-4 s / refinement, so that each event is
// followed closely. The last end is 1 itself.
std::vector<double> StepFractions(double length, int count, int refinement);

}  // namespace quillane
