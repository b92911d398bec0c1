#pragma once
// Intervals from the misfit profile: for each fitted figure, the values where χ², the other
// figures fitted again at each, stays within 1 of its least (68 % for one figure). The profile
// holds on any response, smooth or not, where the covariance holds only on a quadratic misfit.

#include <stop_token>
#include <vector>

#include "fit/FitSolve.h"

namespace quillane::fit {

// One figure's interval, scaled. An end is open where the misfit stays within the band all the
// way to the bound (the end is then the bound).
struct ProfileEnds {
  double Low = 0;
  double High = 0;
  bool LowOpen = false;
  bool HighOpen = false;
};

struct Profiles {
  std::vector<ProfileEnds> Ends;
  // A point the search found with a lower cost than the fit's (scaled), and the figure whose
  // profile found it; empty when none was found.
  std::vector<double> Better;
  std::size_t BetterFigure = 0;
  bool Stopped = false;
};

// The profile of every figure around scaled.X, whose cost is `least`. Where `stopAtBetter`, the
// search stops at the first point that betters the fit, which the caller fits again from;
// otherwise such points count as inside the band.
Profiles ProfileAll(Evaluator& evaluator, const Scaled& scaled, bool robust, double least,
                    bool stopAtBetter, std::stop_source& stop);

}  // namespace quillane::fit
