#pragma once
// The model as a fit reads it, and the weighted residuals of a record with their Jacobian. The
// solver and its diagnosis share them; nothing here knows the solver.
//
// The model's curvature history. In the one-pass model, Curvature(k) from the time lamella k of
// the first pass is laid (LamellaTime(k)) until the next one; Curvature(0) before the first
// lamella. In the whole-deposit model, the history's points (every thermal row and every
// lamella laid), linear in time between them; Curvature(0) before the first. In both, after
// the end of the run, FinalCurvature (the room-temperature state in the whole-deposit model).
// Its temperature histories: the substrate's back face and the top surface in the thermal rows,
// interpolated linearly in time; after the end of a whole-deposit run, the room temperature
// (the plate its curvature then gives).

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <vector>

#include "fit/CalibrationRecord.h"
#include "model/ModelState.h"
#include "model/RunSink.h"
#include "run/QuantityTable.h"

namespace quillane::fit {

// The temperatures of the substrate's back face and of the top surface in every thermal row. A
// stop request ends the run it watches (RunCancelled), as the window's cancel ends a single run.
class BackFaceSink : public NullSink {
 public:
  explicit BackFaceSink(std::stop_token stop = {}) : stop_(std::move(stop)) {}
  void ThermalRow(const ThermalRecord& record, bool) override {
    Time.push_back(record.Time);
    Temperature.push_back(record.Temperature[0]);
    Surface.push_back(record.Temperature[static_cast<std::size_t>(record.NodeCount - 1)]);
  }
  bool Progress(double) override { return !stop_.stop_requested(); }

  std::vector<double> Time;
  std::vector<double> Temperature;
  std::vector<double> Surface;

 private:
  std::stop_token stop_;
};

// Linear in time between the rows, held at both ends; NaN without rows.
double Interpolate(const std::vector<double>& times, const std::vector<double>& values, double t);
// The model's curvature at time t of a run that has ended.
double CurvatureAt(const ModelState& state, double t);
// The model's temperature of a series (Back or Surface) at time t of a run that has ended, whose
// thermal rows `history` holds.
double TemperatureAt(const ModelState& state, const BackFaceSink& history, Series series, double t);

// The model at given figures: the thermal history (run once and kept when no thermal figure is
// fitted), then the stress model on a copy. A figure without a quantity (nullptr: the record's
// time shift) leaves the model alone. Every run watches `stop`: none starts once a stop
// is asked, and one under way ends at its next lamella.
class FitModel {
 public:
  // Runs the thermal history when it is kept; throws RunCancelled when stopped.
  FitModel(const ModelState& base, std::vector<const QuantitySpec*> figures, std::stop_token stop);

  struct Run {
    ModelState State;
    BackFaceSink OwnHistory;
    const BackFaceSink* History = nullptr;
  };

  // Throws on a fault of the model (figures it cannot use), RunCancelled when stopped.
  void Evaluate(const std::vector<double>& values, Run& run) const;
  // The model runs started so far (the kept thermal history counts as one).
  int Runs() const { return runs_.load(); }
  const std::stop_token& Stop() const { return stop_; }

 private:
  void Start() const;

  ModelState base_;
  std::vector<const QuantitySpec*> figures_;
  std::stop_token stop_;
  bool thermalFitted_ = false;
  bool coatingLast_ = false;
  ModelState thermal_;
  BackFaceSink history_;
  mutable std::atomic<int> runs_{0};
};

// Weighted residuals (model − measured, over the noise) and their Jacobian at one point of the
// scaled figures, computed once for all the residuals that ask for them; the model runs of the
// finite differences go on in parallel.
class Evaluator {
 public:
  Evaluator(const FitModel& model, const CalibrationRecord& record, std::vector<double> scale,
            std::vector<double> lower, std::vector<double> upper, int jobs);

  std::size_t ResidualCount() const { return first_[kSeriesCount]; }
  // The residuals of a series are [First(s), First(s + 1)), in the record's time order.
  std::size_t First(Series series) const { return first_[static_cast<std::size_t>(series)]; }
  std::size_t Count(Series series) const;
  const std::vector<std::size_t>& Rows(Series series) const {
    return rows_[static_cast<std::size_t>(series)];
  }
  void SetNoise(const SeriesValues& noise);
  // Figures whose Jacobian columns are not wanted (a profile holds them): left at zero.
  void Hold(std::vector<bool> held);

  struct Point {
    bool Ok = false;  // the model ran (and was not stopped) and every residual is finite
    std::vector<double> Residual;
    bool HasJacobian = false;
    std::vector<double> Jacobian;  // row-major, residuals × figures
  };

  // The point at x, with its Jacobian when asked. Points are kept for the calls that follow and
  // never change once handed out.
  std::shared_ptr<const Point> At(const double* x, bool jacobian);
  // The weighted residuals of one model run at x; false when the model cannot run there.
  bool Residuals(const std::vector<double>& x, std::vector<double>& residual) const;
  // The cost (half the sum of the squares) at x with the record's clock shifted by each of
  // `shifts` (s) in place of x's own, from one run of the model; NaN where it cannot run.
  std::vector<double> ShiftCosts(const std::vector<double>& x,
                                 const std::vector<double>& shifts) const;
  // The residuals at many points, their runs in parallel; good[i] tells whether point i ran.
  // False when a stop cut the runs short.
  bool ResidualsAt(const std::vector<std::vector<double>>& xs,
                   std::vector<std::vector<double>>& residuals, std::vector<char>& good) const;
  // The Jacobian at x (whose residuals are given) by central differences over the given step of
  // each figure, one-sided at a bound; a column the model cannot give stays at zero. False when
  // a stop cut the probes short.
  bool Differences(const std::vector<double>& x, const std::vector<double>& residual,
                   const std::vector<double>& steps, std::vector<double>& jacobian) const;
  // The step of the solver's differences for each figure at x.
  static std::vector<double> SolverSteps(const std::vector<double>& x);
  // Scaled figures to SI.
  std::vector<double> Physical(const std::vector<double>& x) const;
  // The figure that shifts the record's clock (its index), or the figure count when none does.
  void ShiftBy(std::size_t figure) { shift_ = figure; }
  std::size_t ShiftIndex() const { return shift_; }

 private:
  // The weighted residuals of a run with the record's clock shifted by `shift` (s).
  bool ResidualsOf(const FitModel::Run& run, double shift, std::vector<double>& residual) const;

  const FitModel& model_;
  const CalibrationRecord& record_;
  std::vector<double> scale_;
  std::vector<double> lower_;
  std::vector<double> upper_;
  int jobs_;
  std::size_t shift_;
  std::array<std::vector<std::size_t>, kSeriesCount> rows_;
  std::array<std::size_t, kSeriesCount + 1> first_{};
  SeriesValues noise_{1, 1, 1};
  std::vector<bool> held_;
  std::mutex mutex_;
  std::map<std::vector<double>, std::shared_ptr<const Point>> points_;
};

}  // namespace quillane::fit
