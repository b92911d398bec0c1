#include "fit/Calibration.h"

#include <ceres/ceres.h>
#include <ceres/covariance.h>
#include <ceres/manifold.h>

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "fit/FitModel.h"
#include "format/NumberFormat.h"
#include "model/Errors.h"
#include "run/QuantityTable.h"
#include "run/RunSimulation.h"

namespace quillane::fit {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kHuber = 1.345;  // the robust loss's corner, in noise units
// The median absolute deviation of a normal law times this is its standard deviation.
constexpr double kMadToDeviation = 1.4826;
constexpr int kRobustRounds = 6;  // estimates of the noise at most, for a robust fit
// The checks before a fit reports.
constexpr double kScanReach = 5;         // standard errors each side
constexpr int kScanPoints = 5;           // points each side
constexpr double kSlopeTolerance = 0.1;  // how far the two slopes may differ, relative
constexpr double kStartReach = 0.02;     // least distance of a thermal figure's starts, relative
constexpr double kFinestScan = 1e-9;     // the scan's least step, relative to the figure
constexpr double kBetterBy = 1e-3;       // cost (half χ²) a point must gain to count as better

using Progress = std::function<bool(const FitProgress&)>;

// The fault as the batch program tells it: the figure's name first, when there is one.
std::string Told(const EntryFault& fault) {
  return fault.Quantity != nullptr ? fault.Quantity->Name + ": " + English(fault) : English(fault);
}

// One residual of the record as Ceres sees it, read from the shared evaluation.
class ResidualBlock : public ceres::CostFunction {
 public:
  ResidualBlock(Evaluator& evaluator, std::size_t index, int parameters)
      : evaluator_(evaluator), index_(index) {
    set_num_residuals(1);
    mutable_parameter_block_sizes()->push_back(parameters);
  }
  bool Evaluate(double const* const* parameters, double* residuals,
                double** jacobians) const override {
    const bool wantJacobian = jacobians != nullptr && jacobians[0] != nullptr;
    const std::shared_ptr<const Evaluator::Point> point =
        evaluator_.At(parameters[0], wantJacobian);
    if (!point->Ok) return false;
    residuals[0] = point->Residual[index_];
    if (wantJacobian) {
      const int p = parameter_block_sizes()[0];
      for (int j = 0; j < p; ++j) {
        jacobians[0][j] =
            point->Jacobian[index_ * static_cast<std::size_t>(p) + static_cast<std::size_t>(j)];
      }
    }
    return true;
  }

 private:
  Evaluator& evaluator_;
  std::size_t index_;
};

// After each iteration: the caller hears how far the fit has come, and a stop ends the solve.
class IterationReport : public ceres::IterationCallback {
 public:
  IterationReport(const Progress& report, int offset, const FitModel& model, std::stop_source& stop)
      : report_(report), offset_(offset), model_(model), stop_(stop) {}
  ceres::CallbackReturnType operator()(const ceres::IterationSummary& summary) override {
    if (report_ && !report_({offset_ + summary.iteration, summary.cost, model_.Runs()})) {
      stop_.request_stop();
    }
    return stop_.stop_requested() ? ceres::SOLVER_ABORT : ceres::SOLVER_CONTINUE;
  }

 private:
  const Progress& report_;
  int offset_;
  const FitModel& model_;
  std::stop_source& stop_;
};

double RootMeanSquare(const std::vector<double>& values, std::size_t from, std::size_t count) {
  if (count == 0) return kNaN;
  double sum = 0;
  for (std::size_t i = from; i < from + count; ++i) sum += values[i] * values[i];
  return std::sqrt(sum / static_cast<double>(count));
}

// A spread to weigh a record by before its noise is known: its standard deviation, or its size.
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

// Set-up: the figures, where they start (within their bounds) and the scaled problem the solver
// works on, each figure over its starting size so that its values lie near 1.
struct Scaled {
  std::vector<const QuantitySpec*> Figures;
  std::vector<double> Scale;
  std::vector<double> Lower;
  std::vector<double> Upper;
  std::vector<double> X;
};

Scaled SetUp(const ModelState& base, const FitSettings& settings, FitResult& result) {
  Scaled s;
  for (const FitParameter& given : settings.Parameters) {
    // Parameters made by hand are held to the rules MakeFitParameter keeps.
    const FitParameter parameter = RequireFitParameter(given.Name, given.Lower, given.Upper);
    const QuantitySpec& figure = Quantity(parameter.Name);
    const double start = std::clamp(figure.Get(base), parameter.Lower, parameter.Upper);
    const double scale =
        start != 0 ? std::fabs(start)
                   : std::max(std::fabs(parameter.Lower), std::fabs(parameter.Upper)) * 1e-3;
    result.Names.push_back(parameter.Name);
    result.Start.push_back(start);
    s.Figures.push_back(&figure);
    s.Scale.push_back(scale);
    s.Lower.push_back(parameter.Lower / scale);
    s.Upper.push_back(parameter.Upper / scale);
    s.X.push_back(start / scale);
  }
  return s;
}

void AddResiduals(ceres::Problem& problem, Evaluator& evaluator, Scaled& scaled, bool robust) {
  const std::size_t p = scaled.X.size();
  for (std::size_t i = 0; i < evaluator.ResidualCount(); ++i) {
    problem.AddResidualBlock(new ResidualBlock(evaluator, i, static_cast<int>(p)),
                             robust ? new ceres::HuberLoss(kHuber) : nullptr, scaled.X.data());
  }
  for (std::size_t j = 0; j < p; ++j) {
    problem.SetParameterLowerBound(scaled.X.data(), static_cast<int>(j), scaled.Lower[j]);
    problem.SetParameterUpperBound(scaled.X.data(), static_cast<int>(j), scaled.Upper[j]);
  }
}

ceres::Solver::Options SolverOptions() {
  ceres::Solver::Options options;
  options.linear_solver_type = ceres::DENSE_QR;
  options.max_num_iterations = 200;
  options.function_tolerance = 1e-15;
  options.gradient_tolerance = 1e-15;
  options.parameter_tolerance = 1e-13;
  options.logging_type = ceres::SILENT;
  options.update_state_every_iteration = true;
  return options;
}

// Whether the fit estimates a record's noise (the user gave none for it).
bool EstimatesNoise(const Evaluator& evaluator, const FitSettings& settings) {
  const bool temperatures = evaluator.ResidualCount() > evaluator.CurvatureCount();
  return settings.CurvatureNoise <= 0 || (temperatures && settings.TemperatureNoise <= 0);
}

// One solve from where the figures are, with the evaluator's weights; false when stopped.
bool SolveOnce(ceres::Problem& problem, const FitModel& model, const Progress& progress,
               std::stop_source& stop, FitResult& result) {
  ceres::Solver::Options options = SolverOptions();
  IterationReport report(progress, result.Iterations, model, stop);
  options.callbacks = {&report};
  ceres::Solver::Summary summary;
  ceres::Solve(options, &problem, &summary);
  result.Iterations += static_cast<int>(summary.iterations.size()) - 1;
  result.Termination = summary.message;
  result.End = EndOf(summary);
  if (summary.termination_type == ceres::USER_FAILURE || stop.stop_requested()) {
    result.Cancelled = true;
    return false;
  }
  return true;
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

// The noise of each record that the residuals at the figures show (weighed by the noise used so
// far), where the user gave none, and the evaluator weighs by it; false when the model cannot
// run there.
bool EstimateNoise(Evaluator& evaluator, const CalibrationRecord& record,
                   const FitSettings& settings, const Scaled& scaled, FitResult& result) {
  const std::size_t p = scaled.X.size();
  const std::size_t curvatures = evaluator.CurvatureCount();
  const std::size_t temperatures = evaluator.ResidualCount() - curvatures;
  const std::shared_ptr<const Evaluator::Point> point = evaluator.At(scaled.X.data(), false);
  if (!point->Ok) return false;
  const std::vector<double>& r = point->Residual;
  const double dof = std::max(1.0, static_cast<double>(r.size()) - static_cast<double>(p));
  const double factor = std::sqrt(static_cast<double>(r.size()) / dof);
  // A record the model meets exactly has no noise to show; a floor keeps the weights finite.
  const auto spread = [&](std::size_t from, std::size_t count) {
    return settings.Robust ? kMadToDeviation * MedianAbsolute(r, from, count)
                           : RootMeanSquare(r, from, count);
  };
  if (settings.CurvatureNoise <= 0) {
    result.CurvatureNoise = std::max(spread(0, curvatures) * result.CurvatureNoise * factor,
                                     1e-12 * Spread(record.Curvature));
  }
  if (temperatures > 0 && settings.TemperatureNoise <= 0) {
    result.TemperatureNoise =
        std::max(spread(curvatures, temperatures) * result.TemperatureNoise * factor,
                 1e-12 * Spread(record.Temperature));
  }
  evaluator.SetNoise(result.CurvatureNoise, result.TemperatureNoise);
  return true;
}

// Solve: weighed first by the spread of each record; then, unless the user gave the noise, by
// the noise the first fit's residuals show, and fitted again from there.
void Solve(ceres::Problem& problem, Evaluator& evaluator, const FitModel& model,
           const CalibrationRecord& record, const FitSettings& settings, Scaled& scaled,
           const Progress& progress, std::stop_source& stop, FitResult& result) {
  const bool temperatures = evaluator.ResidualCount() > evaluator.CurvatureCount();
  result.CurvatureNoise =
      settings.CurvatureNoise > 0 ? settings.CurvatureNoise : Spread(record.Curvature);
  result.TemperatureNoise = settings.TemperatureNoise > 0
                                ? settings.TemperatureNoise
                                : (temperatures ? Spread(record.Temperature) : 1);
  evaluator.SetNoise(result.CurvatureNoise, result.TemperatureNoise);
  if (!SolveOnce(problem, model, progress, stop, result)) return;
  if (!EstimatesNoise(evaluator, settings)) return;
  // The robust loss's corner is set by the noise, so outliers pull the first fits; their
  // residuals are biased, and the noise is estimated again until it settles.
  const int rounds = settings.Robust ? kRobustRounds : 1;
  for (int round = 0; round < rounds; ++round) {
    const double curvature = result.CurvatureNoise;
    const double temperature = result.TemperatureNoise;
    if (!EstimateNoise(evaluator, record, settings, scaled, result)) return;
    if (!SolveOnce(problem, model, progress, stop, result)) return;
    if (std::fabs(result.CurvatureNoise / curvature - 1) < 0.01 &&
        std::fabs(result.TemperatureNoise / temperature - 1) < 0.01) {
      return;
    }
  }
}

// The figures along which the residuals do not change at x: those that weigh in a direction of
// the (weighted) Jacobian's null space.
std::vector<bool> Undetermined(Evaluator& evaluator, const std::vector<double>& x) {
  const std::size_t p = x.size();
  std::vector<bool> undetermined(p, false);
  const std::shared_ptr<const Evaluator::Point> point = evaluator.At(x.data(), true);
  if (!point->Ok) return std::vector<bool>(p, true);
  const std::size_t m = point->Residual.size();
  Eigen::MatrixXd normal =
      Eigen::MatrixXd::Zero(static_cast<Eigen::Index>(p), static_cast<Eigen::Index>(p));
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < p; ++j) {
      for (std::size_t k = 0; k < p; ++k) {
        normal(static_cast<Eigen::Index>(j), static_cast<Eigen::Index>(k)) +=
            point->Jacobian[i * p + j] * point->Jacobian[i * p + k];
      }
    }
  }
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(normal);
  const double largest = solver.eigenvalues().cwiseAbs().maxCoeff();
  for (Eigen::Index e = 0; e < solver.eigenvalues().size(); ++e) {
    // A singular value of the Jacobian below 1e-8 of the largest.
    if (largest > 0 && solver.eigenvalues()(e) > 1e-16 * largest) continue;
    for (Eigen::Index j = 0; j < static_cast<Eigen::Index>(p); ++j) {
      if (std::fabs(solver.eigenvectors()(j, e)) > 0.3)
        undetermined[static_cast<std::size_t>(j)] = true;
    }
  }
  return undetermined;
}

// Diagnose: which figures the record determines, their standard errors and correlations from
// Ceres' covariance, and the notes on the others.
void Diagnose(ceres::Problem& problem, Evaluator& evaluator, Scaled& scaled, FitResult& result) {
  const std::size_t p = scaled.X.size();
  result.Value = evaluator.Physical(scaled.X);
  result.StandardError.assign(p, kNaN);
  result.Correlation.clear();
  result.Notes.clear();
  // Figures the record cannot see are held where they are, so that the others still get their
  // standard errors.
  const std::vector<bool> undetermined = Undetermined(evaluator, scaled.X);
  std::vector<int> held;
  for (std::size_t j = 0; j < p; ++j) {
    if (undetermined[j]) held.push_back(static_cast<int>(j));
  }
  bool known = false;
  std::vector<double> matrix(p * p, 0);
  if (held.size() < p) {
    // A diagnosis made again (after a better start) holds its own figures only.
    problem.SetManifold(
        scaled.X.data(),
        held.empty() ? nullptr : new ceres::SubsetManifold(static_cast<int>(p), held));
    ceres::Covariance::Options covarianceOptions;
    covarianceOptions.algorithm_type = ceres::DENSE_SVD;
    ceres::Covariance covariance(covarianceOptions);
    const std::vector<std::pair<const double*, const double*>> blocks = {
        {scaled.X.data(), scaled.X.data()}};
    known = covariance.Compute(blocks, &problem) &&
            covariance.GetCovarianceBlock(scaled.X.data(), scaled.X.data(), matrix.data());
  }
  if (known) {
    result.Correlation.assign(p, std::vector<double>(p, kNaN));
    for (std::size_t j = 0; j < p; ++j) {
      if (undetermined[j]) continue;
      result.StandardError[j] = std::sqrt(matrix[j * p + j]) * scaled.Scale[j];
      for (std::size_t k = 0; k < p; ++k) {
        if (!undetermined[k]) {
          result.Correlation[j][k] =
              matrix[j * p + k] / std::sqrt(matrix[j * p + j] * matrix[k * p + k]);
        }
      }
    }
  }
  for (std::size_t j = 0; j < p; ++j) {
    const double value = result.Value[j];
    const double error = result.StandardError[j];
    if (undetermined[j] || !known) {
      result.Notes.push_back({NoteKind::Undetermined, result.Names[j], value, kNaN});
    } else if (!(error <= std::fabs(value))) {
      result.Notes.push_back({NoteKind::LargeError, result.Names[j], value, error});
    }
  }
}

// The cost as the solver sees it: half the sum of the squares, or of Huber's loss of them.
double CostOf(const std::vector<double>& residual, bool robust) {
  constexpr double b = kHuber * kHuber;
  double sum = 0;
  for (const double r : residual) {
    const double square = r * r;
    sum += robust && square > b ? 2 * std::sqrt(square * b) - b : square;
  }
  return sum / 2;
}

double ColumnNorm(const std::vector<double>& jacobian, std::size_t p, std::size_t j) {
  double sum = 0;
  for (std::size_t i = j; i < jacobian.size(); i += p) sum += jacobian[i] * jacobian[i];
  return std::sqrt(sum);
}

// One figure's scan, its point x included, in increasing value (scaled units).
struct ScanLine {
  std::vector<double> Value;
  std::vector<double> Cost;
};

// The values whose cost stays within one unit of χ² (half a unit of cost) of the least along
// the line, widened to the scanned neighbours beyond, where that boundary lies.
std::pair<double, double> ScanInterval(const ScanLine& line) {
  const double least = *std::min_element(line.Cost.begin(), line.Cost.end());
  std::size_t first = line.Value.size();
  std::size_t last = 0;
  for (std::size_t i = 0; i < line.Value.size(); ++i) {
    if (!(line.Cost[i] <= least + 0.5)) continue;
    first = std::min(first, i);
    last = i;
  }
  if (first > 0) --first;
  if (last + 1 < line.Value.size()) ++last;
  return {line.Value[first], line.Value[last]};
}

// The step of each figure's wider difference, and how far apart the points of its scan lie
// (scaled units).
struct CheckSteps {
  std::vector<double> Wide;
  std::vector<double> Reach;
};

CheckSteps StepsOf(const Scaled& scaled, const FitResult& result) {
  const std::size_t p = scaled.X.size();
  CheckSteps steps{std::vector<double>(p), std::vector<double>(p)};
  for (std::size_t j = 0; j < p; ++j) {
    const double size = std::max(1.0, std::fabs(scaled.X[j]));
    const double error = result.StandardError[j] / scaled.Scale[j];
    const bool known = std::isfinite(error) && error > 0;
    // One standard error, kept between 1e-4 and 1e-2 of the figure's size: well above the
    // solver's step, and small beside the scale on which a smooth response curves.
    steps.Wide[j] = known ? std::clamp(error, 1e-4 * size, 1e-2 * size) : 1e-2 * size;
    // A record the model meets to its last digits has standard errors near the solver's own
    // tolerance; the scan looks no closer than a part in 1e9, where the solver has converged.
    steps.Reach[j] = known ? std::max(error, kFinestScan * size) : steps.Wide[j];
  }
  return steps;
}

// Starts: the thermal figures' responses can jump (the one-pass model's back face), so the
// solver runs again from either side of each, kScanReach standard errors away and at least
// kStartReach of its value, with the noise the fit found. The lowest end that betters the fit
// replaces it, and the figure whose start found it is returned (p when none did).
std::size_t Starts(ceres::Problem& problem, Evaluator& evaluator, const FitModel& model,
                   Scaled& scaled, const FitSettings& settings, const Progress& progress,
                   std::stop_source& stop, FitResult& result) {
  const std::size_t p = scaled.X.size();
  const std::vector<double> found = scaled.X;
  const std::shared_ptr<const Evaluator::Point> point = evaluator.At(found.data(), false);
  if (!point->Ok) return p;
  double bestCost = CostOf(point->Residual, settings.Robust);
  bestCost -= std::max(kBetterBy, 1e-9 * bestCost);
  std::vector<double> best;
  std::size_t from = p;
  ceres::Solver::Options options = SolverOptions();
  for (std::size_t j = 0; j < p; ++j) {
    if (!scaled.Figures[j]->Thermal()) continue;
    const double error = result.StandardError[j] / scaled.Scale[j];
    const double reach = std::max(std::isfinite(error) ? kScanReach * error : 0.0,
                                  kStartReach * std::fabs(found[j]));
    for (const double side : {-1.0, 1.0}) {
      scaled.X = found;
      scaled.X[j] = std::clamp(found[j] + side * reach, scaled.Lower[j], scaled.Upper[j]);
      if (scaled.X[j] == found[j]) continue;
      IterationReport report(progress, result.Iterations, model, stop);
      options.callbacks = {&report};
      ceres::Solver::Summary summary;
      ceres::Solve(options, &problem, &summary);
      if (stop.stop_requested()) {
        scaled.X = found;
        return p;
      }
      // An end at the fit itself, to the solver's tolerance, is the same minimum: at such
      // distances the costs differ by the model's rounding alone.
      bool elsewhere = false;
      for (std::size_t k = 0; k < p; ++k) {
        elsewhere = elsewhere || std::fabs(scaled.X[k] - found[k]) >
                                     kFinestScan * std::max(1.0, std::fabs(found[k]));
      }
      const std::shared_ptr<const Evaluator::Point> end = evaluator.At(scaled.X.data(), false);
      if (!elsewhere || !end->Ok) continue;
      const double cost = CostOf(end->Residual, settings.Robust);
      if (cost < bestCost) {
        bestCost = cost;
        best = scaled.X;
        from = j;
      }
    }
  }
  scaled.X = from < p ? best : found;
  return from;
}

// Check: before the fit reports, the model's response near the optimum must be smooth (its
// slopes over the solver's step and over a step near one standard error agree) and no point
// within ±kScanReach standard errors inside the bounds may fit better (a scan along each
// figure, the others held). Where either fails, a note says so and the figure's interval comes
// from the scan. `started` is the figure whose start found a better fit (p when none did).
void Check(Evaluator& evaluator, Scaled& scaled, bool robust, std::size_t started,
           FitResult& result) {
  const std::size_t p = scaled.X.size();
  const std::vector<double> x = scaled.X;
  result.IntervalLow.assign(p, kNaN);
  result.IntervalHigh.assign(p, kNaN);
  result.IntervalFromScan.assign(p, false);
  for (std::size_t j = 0; j < p; ++j) {
    result.IntervalLow[j] = result.Value[j] - result.StandardError[j];
    result.IntervalHigh[j] = result.Value[j] + result.StandardError[j];
  }
  const std::shared_ptr<const Evaluator::Point> point = evaluator.At(x.data(), true);
  if (!point->Ok) return;
  const double cost = CostOf(point->Residual, robust);
  CheckSteps steps = StepsOf(scaled, result);

  std::vector<double> slopes;
  if (!evaluator.Differences(x, point->Residual, steps.Wide, slopes)) return;
  std::vector<bool> rough(p, false);
  std::vector<bool> flat(p, false);
  std::vector<double> difference(slopes.size());
  for (std::size_t i = 0; i < slopes.size(); ++i) difference[i] = point->Jacobian[i] - slopes[i];
  for (std::size_t j = 0; j < p; ++j) {
    const double fine = ColumnNorm(point->Jacobian, p, j);
    const double coarse = ColumnNorm(slopes, p, j);
    rough[j] = ColumnNorm(difference, p, j) > kSlopeTolerance * std::max(fine, coarse);
    flat[j] = fine == 0;
    // Where the response is rough, the scan reaches at least as far as the step that showed it.
    if (rough[j]) steps.Reach[j] = std::max(steps.Reach[j], steps.Wide[j]);
  }

  // The scan: kScanPoints each side of x along each figure, clipped to the bounds; its runs all
  // at once.
  std::vector<std::vector<double>> probes;
  std::vector<std::size_t> owner;
  for (std::size_t j = 0; j < p; ++j) {
    for (int k = -kScanPoints; k <= kScanPoints; ++k) {
      const double v = std::clamp(x[j] + k * (kScanReach / kScanPoints) * steps.Reach[j],
                                  scaled.Lower[j], scaled.Upper[j]);
      if (v == x[j] || (!owner.empty() && owner.back() == j && probes.back()[j] == v)) continue;
      probes.push_back(x);
      probes.back()[j] = v;
      owner.push_back(j);
    }
  }
  std::vector<std::vector<double>> residuals;
  std::vector<char> good;
  if (!evaluator.ResidualsAt(probes, residuals, good)) return;
  std::vector<ScanLine> lines(p);
  for (std::size_t j = 0; j < p; ++j) {
    lines[j].Value.push_back(x[j]);
    lines[j].Cost.push_back(cost);
  }
  std::size_t best = probes.size();
  double bestCost = cost - std::max(kBetterBy, 1e-9 * cost);
  for (std::size_t i = 0; i < probes.size(); ++i) {
    // A point the model cannot run at fits no better.
    const double c = good[i] ? CostOf(residuals[i], robust) : INFINITY;
    ScanLine& line = lines[owner[i]];
    const double v = probes[i][owner[i]];
    const auto at = std::upper_bound(line.Value.begin(), line.Value.end(), v);
    line.Cost.insert(line.Cost.begin() + (at - line.Value.begin()), c);
    line.Value.insert(at, v);
    if (c < bestCost) {
      bestCost = c;
      best = i;
    }
  }

  const auto fromScan = [&](std::size_t j) {
    const auto [low, high] = ScanInterval(lines[j]);
    result.IntervalLow[j] = low * scaled.Scale[j];
    result.IntervalHigh[j] = high * scaled.Scale[j];
    result.IntervalFromScan[j] = true;
  };
  for (std::size_t j = 0; j < p; ++j) {
    if (!rough[j]) continue;
    fromScan(j);
    // Flat over the solver's step but not over the wider one: pinned, not undetermined.
    if (flat[j]) {
      std::erase_if(result.Notes, [&](const FitNote& note) {
        return note.Kind == NoteKind::Undetermined && note.Parameter == result.Names[j];
      });
    }
    result.Notes.push_back({NoteKind::Rough, result.Names[j], result.Value[j],
                            result.StandardError[j], result.IntervalLow[j],
                            result.IntervalHigh[j]});
  }
  if (started < p) {
    fromScan(started);
    result.Notes.push_back({NoteKind::BetterStart, result.Names[started], result.Value[started],
                            result.StandardError[started], result.IntervalLow[started],
                            result.IntervalHigh[started]});
  }
  if (best < probes.size()) {
    const std::size_t j = owner[best];
    scaled.X = probes[best];
    result.Value = evaluator.Physical(scaled.X);
    fromScan(j);
    result.Notes.push_back({NoteKind::BetterPoint, result.Names[j], result.Value[j],
                            result.StandardError[j], result.IntervalLow[j],
                            result.IntervalHigh[j]});
  }
}

// Which bounds of each figure fit as well as the fitted value: with the others held, the misfit
// there is within one unit of χ² (half a unit of cost) of the fit's. A bound the model cannot
// run at does not.
struct FlatSides {
  std::vector<bool> Low;
  std::vector<bool> High;
};

FlatSides FindFlatSides(Evaluator& evaluator, const Scaled& scaled, bool robust) {
  const std::size_t p = scaled.X.size();
  FlatSides flat{std::vector<bool>(p, false), std::vector<bool>(p, false)};
  const std::shared_ptr<const Evaluator::Point> point = evaluator.At(scaled.X.data(), false);
  if (!point->Ok) return flat;
  const double cost = CostOf(point->Residual, robust);
  std::vector<std::vector<double>> probes;
  std::vector<std::size_t> owner;
  for (std::size_t j = 0; j < p; ++j) {
    for (const double bound : {scaled.Lower[j], scaled.Upper[j]}) {
      probes.push_back(scaled.X);
      probes.back()[j] = bound;
      owner.push_back(j);
    }
  }
  std::vector<std::vector<double>> residuals;
  std::vector<char> good;
  if (!evaluator.ResidualsAt(probes, residuals, good)) return flat;
  for (std::size_t i = 0; i < probes.size(); ++i) {
    if (!good[i] || !(CostOf(residuals[i], robust) < cost + 0.5)) continue;
    (i % 2 == 0 ? flat.Low : flat.High)[owner[i]] = true;
  }
  return flat;
}

// The figure claims no standard error, interval or correlation, nor notes that rest on them.
void DropError(std::size_t j, FitResult& result) {
  result.StandardError[j] = kNaN;
  result.IntervalLow[j] = result.IntervalHigh[j] = kNaN;
  result.IntervalFromScan[j] = false;
  for (std::size_t k = 0; k < result.Names.size() && !result.Correlation.empty(); ++k) {
    result.Correlation[j][k] = result.Correlation[k][j] = kNaN;
  }
  std::erase_if(result.Notes, [&](const FitNote& n) {
    return n.Kind == NoteKind::LargeError && n.Parameter == result.Names[j];
  });
}

// A figure flat to both bounds is told as such, in place of the notes of where the fit put it.
void NoteFlatRanges(const Scaled& scaled, const FlatSides& flat, FitResult& result) {
  for (std::size_t j = 0; j < result.Names.size(); ++j) {
    if (!flat.Low[j] || !flat.High[j]) continue;
    const bool told = std::any_of(result.Notes.begin(), result.Notes.end(), [&](const FitNote& n) {
      return n.Kind == NoteKind::Undetermined && n.Parameter == result.Names[j];
    });
    if (told) continue;
    std::erase_if(result.Notes, [&](const FitNote& n) { return n.Parameter == result.Names[j]; });
    result.Notes.push_back({NoteKind::FlatRange, result.Names[j], result.Value[j], kNaN,
                            scaled.Lower[j] * scaled.Scale[j], scaled.Upper[j] * scaled.Scale[j]});
  }
}

// Makes the notes true of the figures they are on: an undetermined figure is left at its start;
// one at a bound, or that fits as well at one bound, claims no standard error; one whose
// standard error reaches half way to a bound is told as decided by the bounds.
void Settle(const Scaled& scaled, const FlatSides& flat, FitResult& result) {
  const std::size_t p = result.Names.size();
  NoteFlatRanges(scaled, flat, result);
  std::vector<bool> undetermined(p, false);
  for (FitNote& note : result.Notes) {
    if (note.Kind != NoteKind::Undetermined && note.Kind != NoteKind::FlatRange) continue;
    const auto j = static_cast<std::size_t>(
        std::find(result.Names.begin(), result.Names.end(), note.Parameter) - result.Names.begin());
    undetermined[j] = true;
    result.Value[j] = result.Start[j];
    note.Value = result.Start[j];
  }
  for (std::size_t j = 0; j < p; ++j) {
    if (undetermined[j]) DropError(j, result);
  }
  for (std::size_t j = 0; j < p; ++j) {
    if (undetermined[j]) continue;
    const double lower = scaled.Lower[j] * scaled.Scale[j];
    const double upper = scaled.Upper[j] * scaled.Scale[j];
    const double value = result.Value[j];
    const double reach = 1e-9 * (upper - lower);
    const bool nearerLower = value - lower < upper - value;
    FitNote note{NoteKind::AtBound, result.Names[j], value, result.StandardError[j]};
    (nearerLower ? note.Low : note.High) = nearerLower ? lower : upper;
    if (value - lower <= reach || upper - value <= reach) {
      DropError(j, result);
      result.Notes.push_back(note);
    } else if (flat.Low[j] || flat.High[j]) {
      // The record only bounds it on one side: no interval is claimed, scanned or not.
      DropError(j, result);
      std::erase_if(result.Notes, [&](const FitNote& n) {
        return n.Parameter == result.Names[j] &&
               (n.Kind == NoteKind::Rough || n.Kind == NoteKind::BetterPoint ||
                n.Kind == NoteKind::BetterStart);
      });
      note.Kind = NoteKind::OneSided;
      note.StandardError = kNaN;
      note.Low = flat.Low[j] ? lower : kNaN;
      note.High = flat.Low[j] ? kNaN : upper;
      result.Notes.push_back(note);
    } else if (!result.IntervalFromScan[j] &&
               result.StandardError[j] >= 0.5 * std::min(value - lower, upper - value)) {
      note.Kind = NoteKind::NearBound;
      result.Notes.push_back(note);
    }
  }
}

// Curves: the model at the fitted figures, at the record's times for the residuals, and its
// whole histories for the plots.
void Curves(const FitModel& model, const CalibrationRecord& record, FitResult& result) {
  FitModel::Run run;
  model.Evaluate(result.Value, run);
  std::vector<double> curvatureResiduals;
  std::vector<double> temperatureResiduals;
  for (std::size_t i = 0; i < record.Time.size(); ++i) {
    result.ModelCurvature.push_back(CurvatureAt(run.State, record.Time[i]));
    result.ModelTemperature.push_back(
        Interpolate(run.History->Time, run.History->Temperature, record.Time[i]));
    curvatureResiduals.push_back(result.ModelCurvature.back() - record.Curvature[i]);
    if (record.HasTemperature() && !std::isnan(record.Temperature[i])) {
      temperatureResiduals.push_back(result.ModelTemperature.back() - record.Temperature[i]);
    }
  }
  result.CurvatureRms = RootMeanSquare(curvatureResiduals, 0, curvatureResiduals.size());
  result.TemperatureRms = RootMeanSquare(temperatureResiduals, 0, temperatureResiduals.size());
  const StressResults& s = run.State.Stress;
  const double end = run.State.Clock.ElapsedTime;
  result.CurveTime.push_back(std::min(0.0, record.Time.front()));
  result.CurveCurvature.push_back(s.Curvature(0));
  if (run.State.Model == StressModelKind::WholeDeposit) {
    // Every point up to the end of the last pass; the cooling to room temperature follows.
    for (const HistoryPoint& point : s.History) {
      if (point.Event.Kind == DepositEventKind::Cooling) continue;
      result.CurveTime.push_back(point.Event.Time);
      result.CurveCurvature.push_back(point.Curvature);
    }
  } else {
    for (int k = 1; k <= run.State.Clock.LamellaCount; ++k) {
      result.CurveTime.insert(result.CurveTime.end(), {s.LamellaTime(k), s.LamellaTime(k)});
      result.CurveCurvature.insert(result.CurveCurvature.end(),
                                   {s.Curvature(k - 1), s.Curvature(k)});
    }
  }
  result.CurveTime.insert(result.CurveTime.end(), {end, end, std::max(end, record.Time.back())});
  result.CurveCurvature.insert(result.CurveCurvature.end(),
                               {result.CurveCurvature.back(), s.FinalCurvature, s.FinalCurvature});
  result.ThermalTime = run.History->Time;
  result.ThermalBack = run.History->Temperature;
}

}  // namespace

std::variant<FitParameter, EntryFault> MakeFitParameter(std::string_view name, double lower,
                                                        double upper) {
  const QuantitySpec* quantity = FindQuantity(name);
  EntryFault fault;
  if (quantity == nullptr || !quantity->Fittable) {
    fault.Kind = FaultKind::NotFittable;
    fault.Text = std::string(name);
    return fault;
  }
  FitParameter parameter{quantity->Name, quantity->Min, quantity->Max};
  if (std::isnan(lower) && std::isnan(upper)) return parameter;
  fault.Quantity = quantity;
  fault.Value = std::isnan(lower) ? parameter.Lower : lower;
  fault.Value2 = std::isnan(upper) ? parameter.Upper : upper;
  fault.Min = parameter.Lower;
  fault.Max = parameter.Upper;
  if (!(fault.Value < fault.Value2)) {
    fault.Kind = FaultKind::BoundsReversed;
    return fault;
  }
  if (fault.Value < parameter.Lower || fault.Value2 > parameter.Upper) {
    fault.Kind = FaultKind::BoundsBeyond;
    return fault;
  }
  parameter.Lower = fault.Value;
  parameter.Upper = fault.Value2;
  return parameter;
}

FitSettingsError::FitSettingsError(EntryFault fault)
    : RecordError(Told(fault)), fault_(std::move(fault)) {}

FitParameter RequireFitParameter(std::string_view name, double lower, double upper) {
  auto made = MakeFitParameter(name, lower, upper);
  if (auto* fault = std::get_if<EntryFault>(&made)) throw FitSettingsError(std::move(*fault));
  return std::get<FitParameter>(std::move(made));
}

std::string English(const FitNote& note) {
  const auto shown = [](double v) { return format::FormatShortest(v); };
  // How the notes of a scanned figure end.
  const std::string interval =
      " keeps the misfit within one unit of chi-square of its least from " + shown(note.Low) +
      " to " + shown(note.High) + ", the interval given.";
  switch (note.Kind) {
    case NoteKind::Undetermined:
      return note.Parameter +
             " cannot be determined from this record: the model's curvature and temperature do "
             "not change with it, or only together with another figure (the covariance is "
             "singular). It was left at " +
             shown(note.Value) + ".";
    case NoteKind::LargeError:
      return note.Parameter + " is not determined by this record: its standard error (" +
             shown(note.StandardError) + ") exceeds its value (" + shown(note.Value) + ").";
    case NoteKind::Rough:
      return note.Parameter + ": the model does not change smoothly with it near " +
             shown(note.Value) + " (its slopes over a small and a larger step disagree), so " +
             (std::isnan(note.StandardError) ? std::string("the covariance tells nothing of it")
                                             : "its standard error from the covariance (" +
                                                   shown(note.StandardError) + ") does not hold") +
             ". A scan around it" + interval;
    case NoteKind::BetterStart:
      return note.Parameter +
             ": the solver, started again from either side of where it first stopped, found a "
             "lower misfit at " +
             shown(note.Value) + ", which is given. A scan around it" + interval;
    case NoteKind::BetterPoint:
      return note.Parameter +
             ": the solver stopped short of the best fit; a scan within 5 standard errors found "
             "a lower misfit at " +
             shown(note.Value) + ", which is given. The scan" + interval;
    case NoteKind::AtBound: {
      const bool upper = !std::isnan(note.High);
      return note.Parameter + " is at its " + (upper ? "upper" : "lower") + " bound " +
             shown(upper ? note.High : note.Low) + ": the record wants " +
             (upper ? "more" : "less") + ". No standard error is given for it.";
    }
    case NoteKind::NearBound: {
      const bool upper = !std::isnan(note.High);
      const double bound = upper ? note.High : note.Low;
      return note.Parameter + " is not determined by this record: its standard error (" +
             shown(note.StandardError) + ") is comparable to its distance from its " +
             (upper ? "upper" : "lower") + " bound " + shown(bound) + " (" +
             shown(std::fabs(bound - note.Value)) + "), so the bounds rather than the record " +
             "decide its value " + shown(note.Value) + ".";
    }
    case NoteKind::FlatRange:
      return note.Parameter +
             " cannot be determined from this record: at either bound of its "
             "range, " +
             shown(note.Low) + " and " + shown(note.High) +
             ", the misfit is within the noise (one unit of chi-square) of the fit's. It was left "
             "at " +
             shown(note.Value) + ".";
    case NoteKind::OneSided: {
      const bool upper = !std::isnan(note.High);
      return note.Parameter + " is not determined by this record: from " + shown(note.Value) +
             " to its " + (upper ? "upper" : "lower") + " bound " +
             shown(upper ? note.High : note.Low) +
             " the misfit changes by less than the noise (one unit of chi-square), so the record "
             "only says it is not much " +
             (upper ? "below " : "above ") + shown(note.Value) +
             ". No standard error is given for it.";
    }
  }
  return {};
}

CalibrationRecord RecordOfRun(ModelState state, const std::vector<double>& times) {
  BackFaceSink history;
  RunSimulation(state, history);
  CalibrationRecord record;
  for (const double t : times) {
    record.Time.push_back(t);
    record.Curvature.push_back(CurvatureAt(state, t));
    record.Temperature.push_back(Interpolate(history.Time, history.Temperature, t));
  }
  return record;
}

FitResult FitRecord(const ModelState& base, const CalibrationRecord& record,
                    const FitSettings& settings, const Progress& progress, std::stop_token stop) {
  FitResult result;
  Scaled scaled = SetUp(base, settings, result);
  // The caller's stop and the progress's answer end the fit alike.
  std::stop_source own;
  const std::stop_callback forward(stop, [&own] { own.request_stop(); });
  std::optional<FitModel> model;
  try {
    model.emplace(base, scaled.Figures, own.get_token());
    Evaluator evaluator(*model, record, scaled.Scale, scaled.Lower, scaled.Upper, settings.Jobs);
    ceres::Problem::Options problemOptions;
    problemOptions.cost_function_ownership = ceres::TAKE_OWNERSHIP;
    problemOptions.loss_function_ownership = ceres::TAKE_OWNERSHIP;
    ceres::Problem problem(problemOptions);
    AddResiduals(problem, evaluator, scaled, settings.Robust);
    Solve(problem, evaluator, *model, record, settings, scaled, progress, own, result);
    if (!result.Cancelled) Diagnose(problem, evaluator, scaled, result);
    std::size_t started = scaled.X.size();
    if (!result.Cancelled) {
      started = Starts(problem, evaluator, *model, scaled, settings, progress, own, result);
      // A better minimum: the noise its residuals show, fitted again with it, then diagnosed.
      if (started < scaled.X.size() && !own.stop_requested()) {
        if (EstimatesNoise(evaluator, settings) &&
            EstimateNoise(evaluator, record, settings, scaled, result)) {
          SolveOnce(problem, *model, progress, own, result);
        }
        if (!result.Cancelled) Diagnose(problem, evaluator, scaled, result);
      }
    }
    FlatSides flat;
    if (!result.Cancelled && !own.stop_requested()) {
      Check(evaluator, scaled, settings.Robust, started, result);
      flat = FindFlatSides(evaluator, scaled, settings.Robust);
    }
    // A stop during the diagnosis or the checks leaves them unfinished.
    result.Cancelled = result.Cancelled || own.stop_requested();
    if (!result.Cancelled) {
      Settle(scaled, flat, result);
      Curves(*model, record, result);
    }
  } catch (const RunCancelled&) {
    result.Cancelled = true;
  }
  result.ModelRuns = model ? model->Runs() : 0;
  return result;
}

}  // namespace quillane::fit
