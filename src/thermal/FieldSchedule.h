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
  int Steps = 0;         // of the grid at refinement 1
};

// The intervals of a pass laying `lamellae` lamellae: heating before the first lamella, one
// interval from each arrival to the next, the rest of the heating window, then the cooling in
// the gases until the next pass.
std::vector<PassInterval> PassIntervals(const InputParameters& in, int lamellae);

// Steps of the cooling in room air after the last pass, at refinement 1.
inline constexpr int kCoolingSteps = 40;

// The ends of the steps cutting an interval of `length` seconds, as fractions of it: `count`
// steps growing geometrically from a first step near 3e-3 s, so that each event is followed
// closely, each cut into `refinement` equal steps. Every refinement-th end is an end of the grid
// at refinement 1; the last is 1 itself.
std::vector<double> StepFractions(double length, int count, int refinement);

}  // namespace quillane
