#include "fit/FitModel.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "model/Errors.h"
#include "model/ParallelFor.h"
#include "run/RunSimulation.h"
#include "stress/StressDriver.h"
#include "thermal/ThermalStep.h"

namespace quillane::fit {

double Interpolate(const std::vector<double>& times, const std::vector<double>& values, double t) {
  if (times.empty()) return std::numeric_limits<double>::quiet_NaN();
  if (t <= times.front()) return values.front();
  if (t >= times.back()) return values.back();
  const auto after = std::upper_bound(times.begin(), times.end(), t);
  const std::size_t j = static_cast<std::size_t>(after - times.begin());
  const double t0 = times[j - 1];
  const double t1 = times[j];
  if (t1 == t0) return values[j];
  return values[j - 1] + (values[j] - values[j - 1]) * (t - t0) / (t1 - t0);
}

namespace {

// The whole-deposit history before its cooling to room temperature (the last point), linear in
// time between points. Where several points share a time (a lamella laid at a row's time), the
// last of them holds from that time on.
double HistoryCurvatureAt(const StressResults& s, double t) {
  const std::vector<HistoryPoint>& history = s.History;
  auto end = history.end();
  if (end != history.begin() && std::prev(end)->Event.Kind == DepositEventKind::Cooling) --end;
  const auto after = std::upper_bound(
      history.begin(), end, t, [](double v, const HistoryPoint& p) { return v < p.Event.Time; });
  if (after == history.begin()) return s.Curvature(0);
  const HistoryPoint& before = *std::prev(after);
  if (after == end) return before.Curvature;
  const double t0 = before.Event.Time;
  const double t1 = after->Event.Time;
  return before.Curvature + (after->Curvature - before.Curvature) * ((t - t0) / (t1 - t0));
}

}  // namespace

double CurvatureAt(const ModelState& state, double t) {
  const StressResults& s = state.Stress;
  if (t > state.Clock.ElapsedTime) return s.FinalCurvature;
  if (state.Model == StressModelKind::WholeDeposit) return HistoryCurvatureAt(s, t);
  int k = 0;
  while (k < state.Clock.LamellaCount && s.LamellaTime(k + 1) <= t) ++k;
  return s.Curvature(k);
}

double TemperatureAt(const ModelState& state, const BackFaceSink& history, Series series,
                     double t) {
  // After a whole-deposit run the plate is at room temperature: its final curvature says so.
  if (state.Model == StressModelKind::WholeDeposit && t > state.Clock.ElapsedTime) {
    return state.Input.RoomTemperature;
  }
  return Interpolate(history.Time,
                     series == Series::Surface ? history.Surface : history.Temperature, t);
}

FitModel::FitModel(const ModelState& base, std::vector<const QuantitySpec*> figures,
                   std::stop_token stop)
    : base_(base), figures_(std::move(figures)), stop_(std::move(stop)), history_(stop_) {
  thermalFitted_ = std::any_of(figures_.begin(), figures_.end(), [](const QuantitySpec* figure) {
    return figure != nullptr && figure->Thermal();
  });
  if (thermalFitted_) return;
  thermal_ = base_;
  Start();
  RunThermalHistory(thermal_, history_);
  // The stress model reads the constants of the last row the thermal step read: the fitted
  // coating figures replace them only when that row was the coating's.
  const LayerStack& stack = thermal_.Stack;
  const MaterialRecord& coating = thermal_.Materials.Coating;
  coatingLast_ = stack.LastSigmaQ == coating.SigmaQ && stack.CoatingYoung == coating.ModuleYoung &&
                 stack.CoatingExpansion == coating.dilat && stack.CoatingPoisson == coating.Poisson;
}

void FitModel::Start() const {
  if (stop_.stop_requested()) throw RunCancelled();
  ++runs_;
}

void FitModel::Evaluate(const std::vector<double>& values, Run& run) const {
  Start();
  run.State = thermalFitted_ ? base_ : thermal_;
  for (std::size_t j = 0; j < figures_.size(); ++j) {
    if (figures_[j] != nullptr) figures_[j]->Set(run.State, values[j]);
  }
  if (thermalFitted_) {
    run.OwnHistory = BackFaceSink(stop_);
    RunThermalHistory(run.State, run.OwnHistory);
    run.History = &run.OwnHistory;
  } else {
    if (coatingLast_) TakeCoatingConstants(run.State.Stack, run.State.Materials.Coating);
    run.History = &history_;
  }
  NullSink sink;
  RunStressModel(run.State, sink);
}

Evaluator::Evaluator(const FitModel& model, const CalibrationRecord& record,
                     std::vector<double> scale, std::vector<double> lower,
                     std::vector<double> upper, int jobs)
    : model_(model),
      record_(record),
      scale_(std::move(scale)),
      lower_(std::move(lower)),
      upper_(std::move(upper)),
      jobs_(jobs),
      shift_(scale_.size()),
      held_(scale_.size(), false) {
  for (std::size_t s = 0; s < kSeriesCount; ++s) {
    const std::vector<double>& values = record_.Values(static_cast<Series>(s));
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (!std::isnan(values[i])) rows_[s].push_back(i);
    }
    first_[s + 1] = first_[s] + rows_[s].size();
  }
}

std::size_t Evaluator::Count(Series series) const {
  return rows_[static_cast<std::size_t>(series)].size();
}

void Evaluator::SetNoise(const SeriesValues& noise) {
  const std::lock_guard lock(mutex_);
  noise_ = noise;
  points_.clear();
}

void Evaluator::Hold(std::vector<bool> held) {
  const std::lock_guard lock(mutex_);
  held_ = std::move(held);
  points_.clear();
}

std::shared_ptr<const Evaluator::Point> Evaluator::At(const double* x, bool jacobian) {
  const std::vector<double> key(x, x + scale_.size());
  const std::lock_guard lock(mutex_);
  std::shared_ptr<const Point> kept = points_[key];
  if (kept && (!jacobian || !kept->Ok || kept->HasJacobian)) return kept;
  // A new point, or a kept one that now needs its Jacobian: copies handed out stay as they were.
  auto point = kept ? std::make_shared<Point>(*kept) : std::make_shared<Point>();
  if (!kept) point->Ok = Residuals(key, point->Residual);
  if (jacobian && point->Ok) {
    point->Ok = Differences(key, point->Residual, SolverSteps(key), point->Jacobian);
    point->HasJacobian = point->Ok;
  }
  // Only the latest points are worth keeping.
  if (points_.size() > 64) points_.clear();
  points_[key] = point;
  return point;
}

bool Evaluator::Residuals(const std::vector<double>& x, std::vector<double>& residual) const {
  FitModel::Run run;
  try {
    model_.Evaluate(Physical(x), run);
  } catch (const std::exception&) {
    return false;  // figures the model cannot use, or a stop
  }
  return ResidualsOf(run, shift_ < x.size() ? x[shift_] * scale_[shift_] : 0, residual);
}

bool Evaluator::ResidualsOf(const FitModel::Run& run, double shift,
                            std::vector<double>& residual) const {
  residual.assign(ResidualCount(), 0);
  for (std::size_t s = 0; s < kSeriesCount; ++s) {
    const auto series = static_cast<Series>(s);
    const std::vector<double>& measured = record_.Values(series);
    for (std::size_t k = 0; k < rows_[s].size(); ++k) {
      const std::size_t i = rows_[s][k];
      // The record's time on the model's clock.
      const double t = record_.Time[i] + shift;
      const double model = series == Series::Curvature
                               ? CurvatureAt(run.State, t)
                               : TemperatureAt(run.State, *run.History, series, t);
      residual[first_[s] + k] = (model - measured[i]) / noise_[s];
    }
  }
  return std::all_of(residual.begin(), residual.end(), [](double r) { return std::isfinite(r); });
}

std::vector<double> Evaluator::ShiftCosts(const std::vector<double>& x,
                                          const std::vector<double>& shifts) const {
  std::vector<double> costs(shifts.size(), std::numeric_limits<double>::quiet_NaN());
  FitModel::Run run;
  try {
    model_.Evaluate(Physical(x), run);
  } catch (const std::exception&) {
    return costs;
  }
  std::vector<double> residual;
  for (std::size_t k = 0; k < shifts.size(); ++k) {
    if (!ResidualsOf(run, shifts[k], residual)) continue;
    double sum = 0;
    for (const double r : residual) sum += r * r;
    costs[k] = sum / 2;
  }
  return costs;
}

std::vector<double> Evaluator::Physical(const std::vector<double>& x) const {
  std::vector<double> values(x.size());
  for (std::size_t j = 0; j < x.size(); ++j) values[j] = x[j] * scale_[j];
  return values;
}

std::vector<double> Evaluator::SolverSteps(const std::vector<double>& x) {
  std::vector<double> steps(x.size());
  for (std::size_t j = 0; j < x.size(); ++j) steps[j] = 1e-6 * std::max(1.0, std::fabs(x[j]));
  return steps;
}

bool Evaluator::ResidualsAt(const std::vector<std::vector<double>>& xs,
                            std::vector<std::vector<double>>& residuals,
                            std::vector<char>& good) const {
  residuals.assign(xs.size(), {});
  good.assign(xs.size(), 0);
  const bool complete = ParallelFor(
      xs.size(), jobs_, [&](std::size_t i) { good[i] = Residuals(xs[i], residuals[i]) ? 1 : 0; },
      model_.Stop());
  return complete && !model_.Stop().stop_requested();
}

bool Evaluator::Differences(const std::vector<double>& x, const std::vector<double>& residual,
                            const std::vector<double>& steps, std::vector<double>& jacobian) const {
  const std::size_t p = x.size();
  const std::size_t m = residual.size();
  std::vector<std::vector<double>> probes;
  std::vector<double> spans(p);
  std::vector<std::pair<int, int>> pairs(p);  // probe index of x+h and x−h, −1 for x itself
  for (std::size_t j = 0; j < p; ++j) {
    const double h = steps[j];
    const bool free = j >= held_.size() || !held_[j];
    const bool up = free && x[j] + h <= upper_[j];
    const bool down = free && x[j] - h >= lower_[j];
    std::vector<double> plus = x;
    std::vector<double> minus = x;
    plus[j] += up ? h : 0;
    minus[j] -= down ? h : 0;
    spans[j] = (up ? h : 0) + (down ? h : 0);
    pairs[j] = {up ? static_cast<int>(probes.size()) : -1, -1};
    if (up) probes.push_back(plus);
    if (down) {
      pairs[j].second = static_cast<int>(probes.size());
      probes.push_back(minus);
    }
  }
  std::vector<std::vector<double>> results;
  std::vector<char> good;
  if (!ResidualsAt(probes, results, good)) return false;
  jacobian.assign(m * p, 0);
  for (std::size_t j = 0; j < p; ++j) {
    const auto [plus, minus] = pairs[j];
    if ((plus >= 0 && !good[static_cast<std::size_t>(plus)]) ||
        (minus >= 0 && !good[static_cast<std::size_t>(minus)]) || spans[j] == 0) {
      continue;  // a column left at zero: the figure shows as undetermined
    }
    for (std::size_t i = 0; i < m; ++i) {
      const double high = plus >= 0 ? results[static_cast<std::size_t>(plus)][i] : residual[i];
      const double low = minus >= 0 ? results[static_cast<std::size_t>(minus)][i] : residual[i];
      jacobian[i * p + j] = (high - low) / spans[j];
    }
  }
  return true;
}

}  // namespace quillane::fit
