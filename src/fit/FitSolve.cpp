#include "fit/FitSolve.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace quillane::fit {

namespace {

constexpr double kHuber = 1.345;  // the robust loss's corner, in noise units
// The median absolute deviation of a normal law times this is its standard deviation.
constexpr double kMadToDeviation = 1.4826;
constexpr int kRobustRounds = 6;      // estimates of the noise at most, for a robust fit
constexpr double kNoiseFloor = 1e-9;  // the least noise estimated, relative to a series' spread
constexpr double kStartReach = 0.02;  // how far a thermal figure's restarts lie, relative

// One residual of the record as Ceres sees it, read from the shared evaluation. The block holds
// the free figures; the held ones keep their values in `full`.
class ResidualBlock : public ceres::CostFunction {
 public:
  ResidualBlock(Evaluator& evaluator, std::size_t index, std::vector<std::size_t> free,
                std::vector<double> full)
      : evaluator_(evaluator), index_(index), free_(std::move(free)), full_(std::move(full)) {
    set_num_residuals(1);
    mutable_parameter_block_sizes()->push_back(static_cast<int>(free_.size()));
  }
  bool Evaluate(double const* const* parameters, double* residuals,
                double** jacobians) const override {
    const bool wantJacobian = jacobians != nullptr && jacobians[0] != nullptr;
    std::vector<double> x = full_;
    for (std::size_t k = 0; k < free_.size(); ++k) x[free_[k]] = parameters[0][k];
    const std::shared_ptr<const Evaluator::Point> point = evaluator_.At(x.data(), wantJacobian);
    if (!point->Ok) return false;
    residuals[0] = point->Residual[index_];
    if (wantJacobian) {
      for (std::size_t k = 0; k < free_.size(); ++k) {
        jacobians[0][k] = point->Jacobian[index_ * x.size() + free_[k]];
      }
    }
    return true;
  }

 private:
  Evaluator& evaluator_;
  std::size_t index_;
  std::vector<std::size_t> free_;
  std::vector<double> full_;
};

// After each iteration: the caller hears how far the fit has come, and a stop ends the solve.
class IterationReport : public ceres::IterationCallback {
 public:
  IterationReport(const Progress& report, int offset, const FitModel* model, std::stop_source& stop)
      : report_(report), offset_(offset), model_(model), stop_(stop) {}
  ceres::CallbackReturnType operator()(const ceres::IterationSummary& summary) override {
    if (report_ && model_ != nullptr &&
        !report_({offset_ + summary.iteration, summary.cost, model_->Runs()})) {
      stop_.request_stop();
    }
    return stop_.stop_requested() ? ceres::SOLVER_ABORT : ceres::SOLVER_CONTINUE;
  }

 private:
  const Progress& report_;
  int offset_;
  const FitModel* model_;
  std::stop_source& stop_;
};

// A spread to weigh a series by before its noise is known: its standard deviation, or its size.
double Spread(const std::vector<double>& values) {
  double sum = 0;
  double count = 0;
  for (const double v : values) {
    if (std::isnan(v)) continue;
    sum += v;
    count += 1;
  }
  if (count == 0) return 1;
  const double mean = sum / count;
  double squares = 0;
  for (const double v : values) {
    if (!std::isnan(v)) squares += (v - mean) * (v - mean);
  }
  const double deviation = std::sqrt(squares / count);
  return deviation > 0 ? deviation : (mean != 0 ? std::fabs(mean) : 1);
}

// Ceres tells which tolerance ended a solve only in its message.
FitEnd EndOf(const ceres::Solver::Summary& summary) {
  const std::pair<const char*, FitEnd> ends[] = {
      {"Function tolerance reached", FitEnd::FunctionTolerance},
      {"Gradient tolerance reached", FitEnd::GradientTolerance},
      {"Parameter tolerance reached", FitEnd::ParameterTolerance},
      {"Maximum number of iterations reached", FitEnd::IterationLimit},
  };
  for (const auto& [message, end] : ends) {
    if (summary.message.rfind(message, 0) == 0) return end;
  }
  return FitEnd::Other;
}

ceres::Solver::Options SolverOptions() {
  ceres::Solver::Options options;
  options.linear_solver_type = ceres::DENSE_QR;
  options.max_num_iterations = 200;
  options.function_tolerance = 1e-15;
  options.gradient_tolerance = 1e-15;
  options.parameter_tolerance = 1e-13;
  options.logging_type = ceres::SILENT;
  options.minimizer_progress_to_stdout = false;
  options.update_state_every_iteration = true;
  return options;
}

// The median of |values[from, from + count)|.
double MedianAbsolute(const std::vector<double>& values, std::size_t from, std::size_t count) {
  if (count == 0) return kNaN;
  std::vector<double> a;
  a.reserve(count);
  for (std::size_t i = from; i < from + count; ++i) a.push_back(std::fabs(values[i]));
  const auto middle = a.begin() + static_cast<std::ptrdiff_t>(count / 2);
  std::nth_element(a.begin(), middle, a.end());
  if (count % 2 == 1) return *middle;
  return (*middle + *std::max_element(a.begin(), middle)) / 2;
}

ceres::Problem::Options OwningProblem() {
  ceres::Problem::Options options;
  options.cost_function_ownership = ceres::TAKE_OWNERSHIP;
  options.loss_function_ownership = ceres::TAKE_OWNERSHIP;
  return options;
}

// The record's clock shift starts where the misfit is least on a grid over its bounds: the
// temperatures' pulses and the rows' interpolation make the misfit rough at the scale of the
// thermal rows, where the solver alone would stop at the first dip. Once the other figures are
// fitted, a finer grid over two steps of the first each side looks again. One model run serves
// each grid.
constexpr int kAlignPoints = 400;

void AlignClock(const Evaluator& evaluator, Scaled& scaled, bool finer) {
  const std::size_t j = evaluator.ShiftIndex();
  if (j >= scaled.X.size()) return;
  const double coarse = (scaled.Upper[j] - scaled.Lower[j]) / kAlignPoints;
  const double from = finer ? std::max(scaled.Lower[j], scaled.X[j] - 2 * coarse) : scaled.Lower[j];
  const double to = finer ? std::min(scaled.Upper[j], scaled.X[j] + 2 * coarse) : scaled.Upper[j];
  std::vector<double> shifts;
  for (int k = 0; k <= kAlignPoints; ++k) {
    shifts.push_back((from + (to - from) * k / kAlignPoints) * scaled.Scale[j]);
  }
  if (finer) shifts.push_back(scaled.X[j] * scaled.Scale[j]);
  const std::vector<double> costs = evaluator.ShiftCosts(scaled.X, shifts);
  std::size_t best = costs.size();
  for (std::size_t k = 0; k < costs.size(); ++k) {
    if (!std::isnan(costs[k]) && (best == costs.size() || costs[k] < costs[best])) best = k;
  }
  if (best < costs.size()) scaled.X[j] = shifts[best] / scaled.Scale[j];
}

}  // namespace

double CostOf(const std::vector<double>& residual, bool robust) {
  constexpr double b = kHuber * kHuber;
  double sum = 0;
  for (const double r : residual) {
    const double square = r * r;
    sum += robust && square > b ? 2 * std::sqrt(square * b) - b : square;
  }
  return sum / 2;
}

double RootMeanSquare(const std::vector<double>& values, std::size_t from, std::size_t count) {
  if (count == 0) return kNaN;
  double sum = 0;
  for (std::size_t i = from; i < from + count; ++i) sum += values[i] * values[i];
  return std::sqrt(sum / static_cast<double>(count));
}

void AddResiduals(ceres::Problem& problem, Evaluator& evaluator, Scaled& scaled, bool robust) {
  const std::size_t p = scaled.X.size();
  std::vector<std::size_t> all(p);
  for (std::size_t j = 0; j < p; ++j) all[j] = j;
  for (std::size_t i = 0; i < evaluator.ResidualCount(); ++i) {
    problem.AddResidualBlock(new ResidualBlock(evaluator, i, all, scaled.X),
                             robust ? new ceres::HuberLoss(kHuber) : nullptr, scaled.X.data());
  }
  for (std::size_t j = 0; j < p; ++j) {
    problem.SetParameterLowerBound(scaled.X.data(), static_cast<int>(j), scaled.Lower[j]);
    problem.SetParameterUpperBound(scaled.X.data(), static_cast<int>(j), scaled.Upper[j]);
  }
}

SeriesValues GivenNoise(const FitSettings& settings) {
  return {settings.CurvatureNoise, settings.TemperatureNoise, settings.SurfaceNoise};
}

bool EstimatesNoise(const Evaluator& evaluator, const FitSettings& settings) {
  const SeriesValues given = GivenNoise(settings);
  for (std::size_t s = 0; s < kSeriesCount; ++s) {
    if (evaluator.Count(static_cast<Series>(s)) > 0 && !(given[s] > 0)) return true;
  }
  return false;
}

bool SolveOnce(ceres::Problem& problem, const FitModel& model, const Progress& progress,
               std::stop_source& stop, FitResult& result) {
  ceres::Solver::Options options = SolverOptions();
  IterationReport report(progress, result.Iterations, &model, stop);
  options.callbacks = {&report};
  ceres::Solver::Summary summary;
  ceres::Solve(options, &problem, &summary);
  result.Iterations += std::max(0, static_cast<int>(summary.iterations.size()) - 1);
  result.Termination = summary.message;
  result.End = EndOf(summary);
  if (summary.termination_type == ceres::USER_FAILURE || stop.stop_requested()) {
    result.Cancelled = true;
    return false;
  }
  if (summary.termination_type == ceres::FAILURE) {
    result.Failed = true;
    return false;
  }
  return true;
}

bool EstimateNoise(Evaluator& evaluator, const CalibrationRecord& record,
                   const FitSettings& settings, const Scaled& scaled, SeriesValues& noise) {
  const std::size_t p = scaled.X.size();
  const std::shared_ptr<const Evaluator::Point> point = evaluator.At(scaled.X.data(), false);
  if (!point->Ok) return false;
  const std::vector<double>& r = point->Residual;
  const double dof = std::max(1.0, static_cast<double>(r.size()) - static_cast<double>(p));
  const double factor = std::sqrt(static_cast<double>(r.size()) / dof);
  const SeriesValues given = GivenNoise(settings);
  for (std::size_t s = 0; s < kSeriesCount; ++s) {
    const auto series = static_cast<Series>(s);
    const std::size_t from = evaluator.First(series);
    const std::size_t count = evaluator.Count(series);
    if (count == 0 || given[s] > 0) continue;
    const double spread = settings.Robust ? kMadToDeviation * MedianAbsolute(r, from, count)
                                          : RootMeanSquare(r, from, count);
    // A record the model meets exactly has no noise to show; a floor keeps the weights finite,
    // and well above the model's rounding, so that its misfit stays smooth.
    noise[s] = std::max(spread * noise[s] * factor, kNoiseFloor * Spread(record.Values(series)));
  }
  evaluator.SetNoise(noise);
  return true;
}

bool Solve(ceres::Problem& problem, Evaluator& evaluator, const FitModel& model,
           const CalibrationRecord& record, const FitSettings& settings, Scaled& scaled,
           SeriesValues& noise, const Progress& progress, std::stop_source& stop,
           FitResult& result) {
  const SeriesValues given = GivenNoise(settings);
  for (std::size_t s = 0; s < kSeriesCount; ++s) {
    const auto series = static_cast<Series>(s);
    noise[s] = given[s] > 0 ? given[s] : (record.Has(series) ? Spread(record.Values(series)) : 1);
  }
  evaluator.SetNoise(noise);
  AlignClock(evaluator, scaled, false);
  if (!SolveOnce(problem, model, progress, stop, result)) return false;
  if (evaluator.ShiftIndex() < scaled.X.size()) {
    AlignClock(evaluator, scaled, true);
    if (!SolveOnce(problem, model, progress, stop, result)) return false;
  }
  if (!EstimatesNoise(evaluator, settings)) return true;
  // The robust loss's corner is set by the noise, so outliers pull the first fits; their
  // residuals are biased, and the noise is estimated again until it settles.
  const int rounds = settings.Robust ? kRobustRounds : 1;
  for (int round = 0; round < rounds; ++round) {
    const SeriesValues before = noise;
    if (!EstimateNoise(evaluator, record, settings, scaled, noise)) return true;
    if (!SolveOnce(problem, model, progress, stop, result)) return false;
    bool settled = true;
    for (std::size_t s = 0; s < kSeriesCount; ++s) {
      settled = settled && std::fabs(noise[s] / before[s] - 1) < 0.01;
    }
    if (settled) return true;
  }
  return true;
}

std::size_t RestartThermal(ceres::Problem& problem, Evaluator& evaluator, const FitModel& model,
                           Scaled& scaled, bool robust, const Progress& progress,
                           std::stop_source& stop, FitResult& result) {
  const std::size_t p = scaled.X.size();
  const std::vector<double> found = scaled.X;
  const std::shared_ptr<const Evaluator::Point> point = evaluator.At(found.data(), false);
  if (!point->Ok) return p;
  double bestCost = CostOf(point->Residual, robust);
  bestCost -= std::max(kBetterBy, 1e-9 * bestCost);
  std::vector<double> best;
  std::size_t from = p;
  ceres::Solver::Options options = SolverOptions();
  for (std::size_t j = 0; j < p; ++j) {
    if (scaled.Figures[j] == nullptr || !scaled.Figures[j]->Thermal()) continue;
    for (const double side : {-1.0, 1.0}) {
      std::copy(found.begin(), found.end(), scaled.X.begin());
      scaled.X[j] =
          std::clamp(found[j] * (1 + side * kStartReach), scaled.Lower[j], scaled.Upper[j]);
      if (scaled.X[j] == found[j]) continue;
      IterationReport report(progress, result.Iterations, &model, stop);
      options.callbacks = {&report};
      ceres::Solver::Summary summary;
      ceres::Solve(options, &problem, &summary);
      if (stop.stop_requested()) break;
      // An end at the fit itself, to the solver's tolerance, is the same minimum: at such
      // distances the costs differ by the model's rounding alone.
      bool elsewhere = false;
      for (std::size_t k = 0; k < p; ++k) {
        elsewhere = elsewhere ||
                    std::fabs(scaled.X[k] - found[k]) > 1e-9 * std::max(1.0, std::fabs(found[k]));
      }
      const std::shared_ptr<const Evaluator::Point> end = evaluator.At(scaled.X.data(), false);
      if (!elsewhere || !end->Ok) continue;
      const double cost = CostOf(end->Residual, robust);
      if (cost < bestCost) {
        bestCost = cost;
        best = scaled.X;
        from = j;
      }
    }
  }
  const std::vector<double>& kept = from < p ? best : found;
  std::copy(kept.begin(), kept.end(), scaled.X.begin());
  return stop.stop_requested() ? p : from;
}

double SolveHeld(Evaluator& evaluator, const Scaled& scaled, const std::vector<bool>& held,
                 bool robust, std::vector<double>& x, std::stop_source& stop) {
  const std::size_t p = x.size();
  std::vector<std::size_t> free;
  for (std::size_t j = 0; j < p; ++j) {
    if (!held[j]) free.push_back(j);
  }
  if (!free.empty()) {
    evaluator.Hold(held);
    std::vector<double> block;
    for (const std::size_t j : free) block.push_back(x[j]);
    ceres::Problem problem(OwningProblem());
    for (std::size_t i = 0; i < evaluator.ResidualCount(); ++i) {
      problem.AddResidualBlock(new ResidualBlock(evaluator, i, free, x),
                               robust ? new ceres::HuberLoss(kHuber) : nullptr, block.data());
    }
    for (std::size_t k = 0; k < free.size(); ++k) {
      problem.SetParameterLowerBound(block.data(), static_cast<int>(k), scaled.Lower[free[k]]);
      problem.SetParameterUpperBound(block.data(), static_cast<int>(k), scaled.Upper[free[k]]);
    }
    ceres::Solver::Options options = SolverOptions();
    const Progress none;
    IterationReport report(none, 0, nullptr, stop);
    options.callbacks = {&report};
    ceres::Solver::Summary summary;
    ceres::Solve(options, &problem, &summary);
    evaluator.Hold(std::vector<bool>(p, false));
    if (stop.stop_requested()) return kNaN;
    for (std::size_t k = 0; k < free.size(); ++k) x[free[k]] = block[k];
  }
  const std::shared_ptr<const Evaluator::Point> point = evaluator.At(x.data(), false);
  return point->Ok ? CostOf(point->Residual, robust) : kNaN;
}

}  // namespace quillane::fit
