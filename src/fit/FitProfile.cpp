#include "fit/FitProfile.h"

#include <algorithm>
#include <cmath>

namespace quillane::fit {

namespace {

constexpr double kBand = 0.5;            // cost (half χ²) of one unit of χ²
constexpr double kBandTolerance = 5e-3;  // how close to the band's edge an end is found
constexpr int kGrowSteps = 40;           // probes outward at most, each side
constexpr int kRefineSteps = 30;         // probes to find the edge at most, each side

// One probe of a profile: how far from the fit (scaled), the cost above the least there, and
// where the other figures went.
struct Probe {
  double Distance = 0;
  double Rise = 0;
  std::vector<double> X;
};

// Where the other figures start at distance t: on the line through the last two probes, or along
// the covariance's regression where there is only one; within their bounds.
std::vector<double> WarmStart(const Scaled& scaled, std::size_t j, double side, const Probe& inside,
                              const Probe* previous, double t) {
  const std::size_t p = scaled.X.size();
  std::vector<double> x = inside.X;
  for (std::size_t k = 0; k < p; ++k) {
    if (k == j) continue;
    double slope = 0;
    if (previous != nullptr && inside.Distance > previous->Distance) {
      slope = (inside.X[k] - previous->X[k]) / (inside.Distance - previous->Distance);
    } else if (!scaled.Covariance.empty() && scaled.Covariance[j * p + j] > 0) {
      slope = side * scaled.Covariance[k * p + j] / scaled.Covariance[j * p + j];
    }
    if (std::isfinite(slope)) x[k] += slope * (t - inside.Distance);
    x[k] = std::clamp(x[k], scaled.Lower[k], scaled.Upper[k]);
  }
  x[j] = scaled.X[j] + side * t;
  return x;
}

class SideSearch {
 public:
  SideSearch(Evaluator& evaluator, const Scaled& scaled, bool robust, double least,
             bool stopAtBetter, std::stop_source& stop, std::size_t j)
      : evaluator_(evaluator),
        scaled_(scaled),
        robust_(robust),
        least_(least),
        stopAtBetter_(stopAtBetter),
        stop_(stop),
        j_(j),
        held_(scaled.X.size(), false) {
    held_[j] = true;
  }

  // The end on one side (+1 or −1): its distance from the fit, whether it is open, or a better
  // point (Better non-empty) or a stop.
  struct End {
    double Distance = 0;
    bool Open = false;
  };

  End Search(double side, double first, Profiles& profiles) {
    const double centre = scaled_.X[j_];
    const double bound = side < 0 ? scaled_.Lower[j_] : scaled_.Upper[j_];
    const double room = std::fabs(bound - centre);
    const double finest = 1e-12 * std::max(1.0, std::fabs(centre));
    if (room <= finest) return {room, true};
    Probe inside{0, 0, scaled_.X};
    Probe previous = inside;
    bool twoProbes = false;
    Probe outside;
    double t = std::min(first, room);
    bool bracketed = false;
    for (int step = 0; step < kGrowSteps && !bracketed; ++step) {
      Probe probe = At(side, t, inside, twoProbes ? &previous : nullptr);
      if (stop_.stop_requested()) return Stopped(profiles);
      if (Bettered(probe)) return Better(probe, profiles);
      if (probe.Rise >= kBand) {
        outside = std::move(probe);
        bracketed = true;
        break;
      }
      previous = std::move(inside);
      inside = std::move(probe);
      twoProbes = true;
      if (t >= room) return {room, true};
      // A quadratic misfit rises as the distance squared: aim a little beyond the edge.
      const double aim = inside.Rise > 1e-9 ? t * std::sqrt(kBand / inside.Rise) * 1.1 : 10 * t;
      t = std::min(std::clamp(aim, 1.2 * t, 10 * t), room);
    }
    if (!bracketed) return {inside.Distance, false};
    for (int step = 0; step < kRefineSteps; ++step) {
      const double width = outside.Distance - inside.Distance;
      if (width <= finest) break;
      // The square root of a quadratic misfit is linear in the distance: a secant on it, kept
      // off the bracket's ends.
      const double g0 = std::sqrt(std::max(inside.Rise, 0.0) / kBand) - 1;
      const double g1 = std::isfinite(outside.Rise) ? std::sqrt(outside.Rise / kBand) - 1 : 1e300;
      double next = inside.Distance + width * (-g0) / (g1 - g0);
      if (!std::isfinite(next)) next = inside.Distance + width / 2;
      next = std::clamp(next, inside.Distance + 0.02 * width, outside.Distance - 0.02 * width);
      Probe probe = At(side, next, inside, twoProbes ? &previous : nullptr);
      if (stop_.stop_requested()) return Stopped(profiles);
      if (Bettered(probe)) return Better(probe, profiles);
      if (std::fabs(probe.Rise - kBand) < kBandTolerance) return {next, false};
      if (probe.Rise < kBand) {
        previous = std::move(inside);
        inside = std::move(probe);
        twoProbes = true;
      } else {
        outside = std::move(probe);
      }
    }
    return {(inside.Distance + outside.Distance) / 2, false};
  }

 private:
  Probe At(double side, double t, const Probe& inside, const Probe* previous) {
    Probe probe{t, 0, WarmStart(scaled_, j_, side, inside, previous, t)};
    const double cost = SolveHeld(evaluator_, scaled_, held_, robust_, probe.X, stop_);
    // A point the model cannot run at lies outside every band.
    probe.Rise = std::isnan(cost) ? INFINITY : cost - least_;
    return probe;
  }
  bool Bettered(const Probe& probe) const {
    return stopAtBetter_ && probe.Rise < -std::max(kBetterBy, 1e-9 * least_);
  }
  End Stopped(Profiles& profiles) {
    profiles.Stopped = true;
    return {};
  }
  End Better(const Probe& probe, Profiles& profiles) {
    profiles.Better = probe.X;
    profiles.BetterFigure = j_;
    return {};
  }

  Evaluator& evaluator_;
  const Scaled& scaled_;
  bool robust_;
  double least_;
  bool stopAtBetter_;
  std::stop_source& stop_;
  std::size_t j_;
  std::vector<bool> held_;
};

}  // namespace

Profiles ProfileAll(Evaluator& evaluator, const Scaled& scaled, bool robust, double least,
                    bool stopAtBetter, std::stop_source& stop) {
  const std::size_t p = scaled.X.size();
  Profiles profiles;
  profiles.Ends.resize(p);
  for (std::size_t j = 0; j < p; ++j) {
    // The first probe one standard error away, where the covariance gives one.
    const double size = std::max(1.0, std::fabs(scaled.X[j]));
    const double variance = scaled.Covariance.empty() ? 0 : scaled.Covariance[j * p + j];
    const double first = variance > 0 && std::isfinite(variance)
                             ? std::max(std::sqrt(variance), 1e-9 * size)
                             : 1e-2 * size;
    SideSearch search(evaluator, scaled, robust, least, stopAtBetter, stop, j);
    ProfileEnds& ends = profiles.Ends[j];
    for (const double side : {-1.0, 1.0}) {
      const SideSearch::End end = search.Search(side, first, profiles);
      if (profiles.Stopped || !profiles.Better.empty()) return profiles;
      (side < 0 ? ends.Low : ends.High) = scaled.X[j] + side * end.Distance;
      (side < 0 ? ends.LowOpen : ends.HighOpen) = end.Open;
    }
  }
  return profiles;
}

}  // namespace quillane::fit
