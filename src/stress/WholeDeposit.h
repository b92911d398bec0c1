#pragma once
// The whole-deposit stress model: every lamella of every pass laid at its own time on the plate
// as it then is, the plate following the thermal field step by step, and a last cooling to
// room temperature. An Euler-Bernoulli plate with biaxial moduli (substrate -h <= y <= 0,
// lamellae above) takes, at each event, an eigenstrain increment; its strain increment
// Δc - Δκ (y - δ) follows from force and moment balance about the neutral axis δ, and the
// stress increment is E'(y) (Δε - Δε*). Positive curvatures bend the coating side concave.

#include <cstddef>
#include <functional>
#include <vector>

#include "model/ModelState.h"
#include "model/RunSink.h"

namespace quillane {

// What the plate keeps of its history. Every point by default; a run whose history would not fit
// in memory (a million lamellae make some thirteen million points) keeps only the points its
// deflection picture draws (DeflectionHistory.h), which needs the last point's time in advance.
// Each point also goes to `Point` as it is made, when given, for a file written as the run goes.
struct HistoryKeeping {
  bool Whole = true;
  double EndTime = 0;  // s, the time of the last point, where not Whole
  std::function<void(const HistoryPoint&)> Point;
};

// The fold of MinOf (or MaxOf) over a start value and the values added after it, for a start
// known only once every value is in: the same result, NaN and ties included, as folding them
// in order.
class DeflectionFold {
 public:
  explicit DeflectionFold(bool lowest) : lowest_(lowest) {}
  void Add(double value);
  double From(double start) const;

 private:
  bool lowest_;
  bool restarted_ = false;  // a NaN was added: the fold restarts after it
  bool empty_ = true;       // no value since the start or the last NaN
  double tail_ = 0;         // the fold of the values since then
};

// The model followed event by event, as the thermal run makes them or as a kept timeline gives
// them: Start, then each event and each pass's end in time order, then Finish. Frames after the
// last of the `passes` passes (the build-up view), after the cooling to room temperature and for
// the deflection history. Whoever gives the events watches the sink's stop.
class DepositPlateFollower {
 public:
  DepositPlateFollower(ModelState& state, RunSink& sink, int passes, HistoryKeeping keeping = {});

  void Start();
  void Event(const DepositEvent& event);
  // A pass has ended; after the last, state.Timeline.LamellaTemperatures holds the lamellae as
  // they then are.
  void PassEnd();
  void Finish();

 private:
  void Keep(const HistoryPoint& point);
  void FlushDrawn(bool groupEnds);
  void AfterLastPass();

  ModelState& state_;
  RunSink& sink_;
  int passes_;
  HistoryKeeping keeping_;
  int passesEnded_ = 0;
  bool moduliVary_ = false;  // the plate in total form, which reads each event's field
  // Where only the drawn points are kept: the column group being followed (DeflectionHistory.h),
  // its first point already kept, its lowest, highest and latest points not yet kept, by their
  // number in the whole history.
  struct Candidate {
    std::size_t Number = 0;
    HistoryPoint Point;
  };
  bool grouping_ = false;
  std::size_t column_ = 0;
  std::size_t points_ = 0;
  std::size_t keptUpTo_ = 0;  // number of the last point kept, plus one
  Candidate low_, high_, latest_;
  // The deflection range over every point, as a fold from a start known only at the end.
  DeflectionFold lowest_{true}, highest_{false};
};

// The whole model over the timeline the thermal run left (RunThermalHistory), watching the sink's
// stop every few thousand events.
void RunWholeDepositModel(ModelState& state, RunSink& sink);

// Its steps, for whoever follows the plate event by event.
// The bare substrate uniformly at `temperature`, bent to the initial curvature, unstressed;
// the per-lamella sums sized for LamellaCount lamellae and the history emptied.
void StartDepositPlate(ModelState& state, double temperature);

// Lamella LaidCount + 1 lands with its quenching stress on a surface at `landing` K: an
// eigenstrain -σq / Ed' on it alone, on the plate that now holds it. Its later thermal strain
// is counted from `landing`, since σq covers its cooling from the particles' temperature.
void ApplyArrival(ModelState& state, double landing);

// The plate's temperatures change to `now`: the substrate takes αs ΔT(y), each laid lamella
// αd ΔT_j.
void ApplyTemperatures(ModelState& state, const PlateTemperatures& now);

// The plate brought to `temperature` throughout, as the cooling after the last pass brings it.
void PlateAtUniformTemperature(ModelState& state, double temperature);

// Every point of the plate (the laid lamellae included) at `temperature`.
PlateTemperatures UniformTemperatures(const ModelState& state, double temperature);

// The stress at the mid-plane of laid lamella i (1 to LaidCount) at temperature `t`, Pa.
double LaidLamellaStress(const ModelState& state, int i, double t);

// The plate brought to room temperature: the final results (display ranges over no history).
void CoolToRoom(ModelState& state);

}  // namespace quillane
