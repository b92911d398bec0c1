#pragma once
// The time grid of the whole-deposit model's field, fixed by the spraying schedule and never by
// the temperatures, so that results move smoothly with every input.

#include <functional>
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

// The intervals of a pass of `coat`: heating before the first lamella, one interval from each
// arrival to the next, the rest of the heating window, then the cooling in the gases until the
// next pass.
std::vector<PassInterval> PassIntervals(const SprayedCoat& coat);

// Steps of the cooling in room air after the last pass, at refinement 1.
inline constexpr int kCoolingSteps = 40;

// The ends of the steps cutting an interval of `length` seconds, as fractions of it: `count`
// steps growing geometrically from a first step near 3e-3 s, so that each event is followed
// closely, each cut into `refinement` equal steps. Every refinement-th end is an end of the grid
// at refinement 1; the last is 1 itself.
std::vector<double> StepFractions(double length, int count, int refinement);

// One step of a run's time grid.
struct GridStep {
  double End = 0;             // s since the run's start
  bool Spraying = true;       // false in the cooling after the last pass, the gas at the room's
  bool Torch = false;         // the torch's flux enters the surface
  bool AfterLanding = false;  // the first step after a lamella landed
  std::size_t Coat = 0;       // the coat being sprayed (or about to be, in its pause)
  // Where the peaks are taken: the ends of the grid at refinement 1, the same times whatever the
  // refinement, so that they converge as it grows; in an interval that a lamella opens, whose
  // surface is that lamella cooling from the particles' temperature, only where the next lands.
  bool Peaks = false;
};

// What a run does along its schedule, in time order (EndPass may be left empty). Passes are
// counted from 1 through every coat.
struct ScheduleVisitor {
  std::function<void(int pass, double time, std::size_t coat)> Land;  // a lamella lands
  std::function<void(const GridStep&)> Step;
  std::function<void(int pass)> EndPass;  // after the pass's last step
};

// Walks the schedule of a run spraying `coats` (SprayedCoats): each coat's pause, then its
// passes, coat after coat; then the cooling.
void WalkSchedule(const InputParameters& in, const std::vector<SprayedCoat>& coats,
                  const ScheduleVisitor& visit);

// Steps of a whole run, for its progress.
long ScheduleSteps(const InputParameters& in, const std::vector<SprayedCoat>& coats);

}  // namespace quillane
