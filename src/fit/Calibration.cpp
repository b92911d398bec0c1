#include "fit/Calibration.h"

#include <ceres/ceres.h>
#include <ceres/covariance.h>
#include <ceres/manifold.h>

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <thread>

#include "format/NumberFormat.h"
#include "model/InputTable.h"
#include "model/RunSink.h"
#include "run/RunSimulation.h"
#include "run/Validation.h"
#include "stress/StressDriver.h"
#include "thermal/ThermalStep.h"

namespace quillane::fit {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool IsThermal(const std::string& name) {
  return name == "HeatFlux" || name == "contact.Lambda";
}

// The temperature of the substrate's back face in every thermal row.
class BackFaceSink : public NullSink {
 public:
  void ThermalRow(const ThermalRecord& record, bool) override {
    Time.push_back(record.Time);
    Temperature.push_back(record.Temperature[0]);
  }
  std::vector<double> Time;
  std::vector<double> Temperature;
};

double Interpolate(const std::vector<double>& times, const std::vector<double>& values, double t) {
  if (times.empty()) return kNaN;
  if (t <= times.front()) return values.front();
  if (t >= times.back()) return values.back();
  const auto after = std::upper_bound(times.begin(), times.end(), t);
  const std::size_t j = static_cast<std::size_t>(after - times.begin());
  const double t0 = times[j - 1];
  const double t1 = times[j];
  if (t1 == t0) return values[j];
  return values[j - 1] + (values[j] - values[j - 1]) * (t - t0) / (t1 - t0);
}

double CurvatureAt(const ModelState& state, double t) {
  const StressResults& s = state.Stress;
  if (t > state.Clock.ElapsedTime) return s.FinalCurvature;
  int k = 0;
  while (k < state.Clock.LamellaCount && s.LamellaTime(k + 1) <= t) ++k;
  return s.Curvature(k);
}

// The model at given figures: the thermal history (run once and kept when no thermal figure is
// fitted), then the stress model on a copy.
class Model {
 public:
  Model(const ModelState& base, std::vector<std::string> names)
      : base_(base), names_(std::move(names)) {
    thermalFitted_ = std::any_of(names_.begin(), names_.end(), IsThermal);
    if (thermalFitted_) return;
    thermal_ = base_;
    RunThermalHistory(thermal_, history_);
    // The stress model reads the constants of the last row the thermal step read: the fitted
    // coating figures replace them only when that row was the coating's.
    const LayerStack& stack = thermal_.Stack;
    const MaterialRecord& coating = thermal_.Materials.Coating;
    coatingLast_ =
        stack.LastSigmaQ == coating.SigmaQ && stack.CoatingYoung == coating.ModuleYoung &&
        stack.CoatingExpansion == coating.dilat && stack.CoatingPoisson == coating.Poisson;
  }

  struct Run {
    ModelState State;
    BackFaceSink OwnHistory;
    const BackFaceSink* History = nullptr;
  };

  // Throws on a fault of the model (figures it cannot use).
  void Evaluate(const std::vector<double>& values, Run& run) const {
    if (thermalFitted_) {
      run.State = base_;
      Apply(values, run.State);
      RunThermalHistory(run.State, run.OwnHistory);
      run.History = &run.OwnHistory;
    } else {
      run.State = thermal_;
      Apply(values, run.State);
      if (coatingLast_) TakeCoatingConstants(run.State.Stack, run.State.Materials.Coating);
      run.History = &history_;
    }
    NullSink sink;
    RunStressModel(run.State, sink);
  }

 private:
  void Apply(const std::vector<double>& values, ModelState& state) const {
    for (std::size_t j = 0; j < names_.size(); ++j) SetFitValue(state, names_[j], values[j]);
  }

  ModelState base_;
  std::vector<std::string> names_;
  bool thermalFitted_ = false;
  bool coatingLast_ = false;
  ModelState thermal_;
  BackFaceSink history_;
};

// Weighted residuals and their Jacobian at one point of the scaled parameters, computed once
// for all the residual blocks that ask for them; the model runs of the finite differences go
// on in parallel.
class Evaluator {
 public:
  Evaluator(const Model& model, const CalibrationRecord& record, std::vector<double> scale,
            std::vector<double> lower, std::vector<double> upper, int jobs)
      : model_(model),
        record_(record),
        scale_(std::move(scale)),
        lower_(std::move(lower)),
        upper_(std::move(upper)),
        jobs_(jobs) {
    for (std::size_t i = 0; i < record_.Time.size(); ++i) {
      if (record_.HasTemperature() && !std::isnan(record_.Temperature[i]))
        temperatureRows_.push_back(i);
    }
  }

  std::size_t ResidualCount() const { return record_.Time.size() + temperatureRows_.size(); }
  std::size_t CurvatureCount() const { return record_.Time.size(); }
  void SetNoise(double curvature, double temperature) {
    curvatureNoise_ = curvature;
    temperatureNoise_ = temperature;
    points_.clear();
  }

  struct Point {
    bool Computed = false;
    bool Ok = false;
    std::vector<double> Residual;
    bool HasJacobian = false;
    std::vector<double> Jacobian;  // row-major, residuals × parameters
  };

  const Point& At(const double* x, bool jacobian) {
    const std::vector<double> key(x, x + scale_.size());
    const std::lock_guard<std::mutex> lock(mutex_);
    Point& point = points_[key];
    if (!point.Computed) {
      point.Ok = Residuals(key, point.Residual);
      point.Computed = true;
    }
    if (jacobian && point.Ok && !point.HasJacobian) Differentiate(key, point);
    // Only the latest points are worth keeping.
    if (points_.size() > 64) {
      Point kept = point;
      points_.clear();
      return points_[key] = std::move(kept);
    }
    return point;
  }

  // Unweighted residuals (model − measured) of one model run.
  bool Residuals(const std::vector<double>& x, std::vector<double>& residual) const {
    Model::Run run;
    try {
      model_.Evaluate(Physical(x), run);
    } catch (const std::exception&) {
      return false;
    }
    residual.assign(ResidualCount(), 0);
    for (std::size_t i = 0; i < record_.Time.size(); ++i) {
      residual[i] =
          (CurvatureAt(run.State, record_.Time[i]) - record_.Curvature[i]) / curvatureNoise_;
    }
    for (std::size_t k = 0; k < temperatureRows_.size(); ++k) {
      const std::size_t i = temperatureRows_[k];
      const double model =
          Interpolate(run.History->Time, run.History->Temperature, record_.Time[i]);
      residual[record_.Time.size() + k] = (model - record_.Temperature[i]) / temperatureNoise_;
    }
    return std::all_of(residual.begin(), residual.end(), [](double r) { return std::isfinite(r); });
  }

  std::vector<double> Physical(const std::vector<double>& x) const {
    std::vector<double> values(x.size());
    for (std::size_t j = 0; j < x.size(); ++j) values[j] = x[j] * scale_[j];
    return values;
  }

 private:
  // Central differences, one-sided at a bound.
  void Differentiate(const std::vector<double>& x, Point& point) {
    const std::size_t p = x.size();
    const std::size_t m = ResidualCount();
    std::vector<std::vector<double>> probes;
    std::vector<double> steps(p);
    std::vector<std::pair<int, int>> pairs(p);  // probe index of x+h and x−h, −1 for x itself
    for (std::size_t j = 0; j < p; ++j) {
      const double h = 1e-6 * std::max(1.0, std::fabs(x[j]));
      const bool up = x[j] + h <= upper_[j];
      const bool down = x[j] - h >= lower_[j];
      std::vector<double> plus = x;
      std::vector<double> minus = x;
      plus[j] += up ? h : 0;
      minus[j] -= down ? h : 0;
      steps[j] = (up ? h : 0) + (down ? h : 0);
      pairs[j] = {up ? static_cast<int>(probes.size()) : -1, -1};
      if (up) probes.push_back(plus);
      if (down) {
        pairs[j].second = static_cast<int>(probes.size());
        probes.push_back(minus);
      }
    }
    std::vector<std::vector<double>> results(probes.size());
    std::vector<char> good(probes.size(), 0);
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
      for (std::size_t i = next++; i < probes.size(); i = next++) {
        good[i] = Residuals(probes[i], results[i]) ? 1 : 0;
      }
    };
    const unsigned threads =
        std::min<unsigned>(static_cast<unsigned>(probes.size()),
                           jobs_ > 0 ? static_cast<unsigned>(jobs_)
                                     : std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& thread : pool) thread.join();
    point.Jacobian.assign(m * p, 0);
    for (std::size_t j = 0; j < p; ++j) {
      const auto [plus, minus] = pairs[j];
      if ((plus >= 0 && !good[static_cast<std::size_t>(plus)]) ||
          (minus >= 0 && !good[static_cast<std::size_t>(minus)]) || steps[j] == 0) {
        continue;  // a column left at zero: the parameter shows as undetermined
      }
      for (std::size_t i = 0; i < m; ++i) {
        const double high =
            plus >= 0 ? results[static_cast<std::size_t>(plus)][i] : point.Residual[i];
        const double low =
            minus >= 0 ? results[static_cast<std::size_t>(minus)][i] : point.Residual[i];
        point.Jacobian[i * p + j] = (high - low) / steps[j];
      }
    }
    point.HasJacobian = true;
  }

  const Model& model_;
  const CalibrationRecord& record_;
  std::vector<double> scale_;
  std::vector<double> lower_;
  std::vector<double> upper_;
  int jobs_;
  std::vector<std::size_t> temperatureRows_;
  double curvatureNoise_ = 1;
  double temperatureNoise_ = 1;
  std::mutex mutex_;
  std::map<std::vector<double>, Point> points_;
};

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
    const Evaluator::Point& point = evaluator_.At(parameters[0], wantJacobian);
    if (!point.Ok) return false;
    residuals[0] = point.Residual[index_];
    if (wantJacobian) {
      const int p = parameter_block_sizes()[0];
      for (int j = 0; j < p; ++j) {
        jacobians[0][j] =
            point.Jacobian[index_ * static_cast<std::size_t>(p) + static_cast<std::size_t>(j)];
      }
    }
    return true;
  }

 private:
  Evaluator& evaluator_;
  std::size_t index_;
};

class IterationReport : public ceres::IterationCallback {
 public:
  IterationReport(const std::function<bool(int, double)>& report, int offset)
      : report_(report), offset_(offset) {}
  ceres::CallbackReturnType operator()(const ceres::IterationSummary& summary) override {
    if (report_ && !report_(offset_ + summary.iteration, summary.cost)) return ceres::SOLVER_ABORT;
    return ceres::SOLVER_CONTINUE;
  }

 private:
  const std::function<bool(int, double)>& report_;
  int offset_;
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

// The figures along which the residuals do not change at x: those that weigh in a direction of
// the (weighted) Jacobian's null space.
std::vector<bool> Undetermined(Evaluator& evaluator, const std::vector<double>& x) {
  const std::size_t p = x.size();
  std::vector<bool> undetermined(p, false);
  const Evaluator::Point& point = evaluator.At(x.data(), true);
  if (!point.Ok) return std::vector<bool>(p, true);
  const std::size_t m = point.Residual.size();
  Eigen::MatrixXd normal =
      Eigen::MatrixXd::Zero(static_cast<Eigen::Index>(p), static_cast<Eigen::Index>(p));
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < p; ++j) {
      for (std::size_t k = 0; k < p; ++k) {
        normal(static_cast<Eigen::Index>(j), static_cast<Eigen::Index>(k)) +=
            point.Jacobian[i * p + j] * point.Jacobian[i * p + k];
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

}  // namespace

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

FitParameter MakeFitParameter(const std::string& name, double lower, double upper) {
  if (std::find(std::begin(kFitParameters), std::end(kFitParameters), name) ==
      std::end(kFitParameters)) {
    throw RecordError("\"" + name +
                      "\" cannot be fitted; choose among coating.SigmaQ, "
                      "coating.ModuleYoung, coating.dilat, HeatFlux and contact.Lambda.");
  }
  FitParameter parameter{name, 0, 0};
  if (name == "HeatFlux") {
    const InputSpec& input = Input("HeatFlux");
    parameter.Lower = input.Min;
    parameter.Upper = input.Max;
  } else {
    const std::string column = name.substr(name.find('.') + 1);
    for (const MaterialBound& bound : MaterialBounds()) {
      if (column == bound.Column.Name) {
        parameter.Lower = bound.Min;
        parameter.Upper = bound.Max;
      }
    }
  }
  const auto shown = [](double v) { return format::FormatShortest(v); };
  if (!std::isnan(lower) || !std::isnan(upper)) {
    const double low = std::isnan(lower) ? parameter.Lower : lower;
    const double high = std::isnan(upper) ? parameter.Upper : upper;
    if (!(low < high)) {
      throw RecordError(name + ": the bounds " + shown(low) + " to " + shown(high) +
                        " are reversed or empty.");
    }
    if (low < parameter.Lower || high > parameter.Upper) {
      throw RecordError(name + ": the bounds " + shown(low) + " to " + shown(high) +
                        " go beyond the allowed " + shown(parameter.Lower) + " to " +
                        shown(parameter.Upper) + ".");
    }
    parameter.Lower = low;
    parameter.Upper = high;
  }
  return parameter;
}

double FitValue(const ModelState& state, const std::string& name) {
  if (name == "HeatFlux") return state.Input.HeatFlux;
  if (name == "contact.Lambda") return state.Materials.Contact.Lambda;
  if (name == "coating.SigmaQ") return state.Materials.Coating.SigmaQ;
  if (name == "coating.ModuleYoung") return state.Materials.Coating.ModuleYoung;
  return state.Materials.Coating.dilat;
}

void SetFitValue(ModelState& state, const std::string& name, double value) {
  if (name == "HeatFlux") {
    state.Input.HeatFlux = value;
  } else if (name == "contact.Lambda") {
    state.Materials.Contact.Lambda = value;
  } else if (name == "coating.SigmaQ") {
    state.Materials.Coating.SigmaQ = value;
  } else if (name == "coating.ModuleYoung") {
    state.Materials.Coating.ModuleYoung = value;
  } else {
    state.Materials.Coating.dilat = value;
  }
}

FitResult FitRecord(const ModelState& base, const CalibrationRecord& record,
                    const FitSettings& settings,
                    const std::function<bool(int, double)>& iteration) {
  FitResult result;
  const std::size_t p = settings.Parameters.size();
  std::vector<double> scale(p);
  std::vector<double> lower(p);
  std::vector<double> upper(p);
  std::vector<double> x(p);
  for (std::size_t j = 0; j < p; ++j) {
    const FitParameter& parameter = settings.Parameters[j];
    result.Names.push_back(parameter.Name);
    const double start =
        std::clamp(FitValue(base, parameter.Name), parameter.Lower, parameter.Upper);
    result.Start.push_back(start);
    // The solver works on values near 1: each parameter over its starting size.
    scale[j] = start != 0 ? std::fabs(start)
                          : std::max(std::fabs(parameter.Lower), std::fabs(parameter.Upper)) * 1e-3;
    lower[j] = parameter.Lower / scale[j];
    upper[j] = parameter.Upper / scale[j];
    x[j] = start / scale[j];
  }
  const Model model(base, result.Names);
  Evaluator evaluator(model, record, scale, lower, upper, settings.Jobs);
  const std::size_t curvatures = evaluator.CurvatureCount();
  const std::size_t temperatures = evaluator.ResidualCount() - curvatures;

  ceres::Problem::Options problemOptions;
  problemOptions.cost_function_ownership = ceres::TAKE_OWNERSHIP;
  problemOptions.loss_function_ownership = ceres::TAKE_OWNERSHIP;
  ceres::Problem problem(problemOptions);
  for (std::size_t i = 0; i < evaluator.ResidualCount(); ++i) {
    problem.AddResidualBlock(new ResidualBlock(evaluator, i, static_cast<int>(p)),
                             settings.Robust ? new ceres::HuberLoss(1.345) : nullptr, x.data());
  }
  for (std::size_t j = 0; j < p; ++j) {
    problem.SetParameterLowerBound(x.data(), static_cast<int>(j), lower[j]);
    problem.SetParameterUpperBound(x.data(), static_cast<int>(j), upper[j]);
  }
  ceres::Solver::Options options;
  options.linear_solver_type = ceres::DENSE_QR;
  options.max_num_iterations = 200;
  options.function_tolerance = 1e-15;
  options.gradient_tolerance = 1e-15;
  options.parameter_tolerance = 1e-13;
  options.logging_type = ceres::SILENT;
  options.update_state_every_iteration = true;

  // Weighed first by the spread of each record; then, unless the user gave the noise, by the
  // noise the first fit's residuals show, and fitted again from there.
  const bool estimate =
      settings.CurvatureNoise <= 0 || (temperatures > 0 && settings.TemperatureNoise <= 0);
  result.CurvatureNoise =
      settings.CurvatureNoise > 0 ? settings.CurvatureNoise : Spread(record.Curvature);
  result.TemperatureNoise = settings.TemperatureNoise > 0
                                ? settings.TemperatureNoise
                                : (temperatures > 0 ? Spread(record.Temperature) : 1);
  ceres::Solver::Summary summary;
  for (int stage = 0; stage < (estimate ? 2 : 1); ++stage) {
    evaluator.SetNoise(result.CurvatureNoise, result.TemperatureNoise);
    IterationReport report(iteration, result.Iterations);
    options.callbacks = {&report};
    ceres::Solve(options, &problem, &summary);
    result.Iterations += static_cast<int>(summary.iterations.size()) - 1;
    if (summary.termination_type == ceres::USER_FAILURE) {
      result.Cancelled = true;
      break;
    }
    if (stage == 0 && estimate) {
      std::vector<double> r;
      evaluator.Residuals(x, r);
      const double dof = std::max(1.0, static_cast<double>(r.size()) - static_cast<double>(p));
      const double factor = std::sqrt(static_cast<double>(r.size()) / dof);
      // A record the model meets exactly has no noise to show; a floor keeps the weights finite.
      if (settings.CurvatureNoise <= 0) {
        result.CurvatureNoise =
            std::max(RootMeanSquare(r, 0, curvatures) * result.CurvatureNoise * factor,
                     1e-12 * Spread(record.Curvature));
      }
      if (temperatures > 0 && settings.TemperatureNoise <= 0) {
        result.TemperatureNoise =
            std::max(RootMeanSquare(r, curvatures, temperatures) * result.TemperatureNoise * factor,
                     1e-12 * Spread(record.Temperature));
      }
    }
  }
  result.Termination = summary.message;

  const std::vector<double> fitted = evaluator.Physical(x);
  result.Value = fitted;
  result.StandardError.assign(p, kNaN);
  // Figures the record cannot see are held where they are, so that the others still get their
  // standard errors from Ceres' covariance.
  const std::vector<bool> undetermined =
      result.Cancelled ? std::vector<bool>(p, false) : Undetermined(evaluator, x);
  std::vector<int> held;
  for (std::size_t j = 0; j < p; ++j) {
    if (undetermined[j]) held.push_back(static_cast<int>(j));
  }
  bool known = false;
  std::vector<double> matrix(p * p, 0);
  if (!result.Cancelled && held.size() < p) {
    if (!held.empty())
      problem.SetManifold(x.data(), new ceres::SubsetManifold(static_cast<int>(p), held));
    ceres::Covariance::Options covarianceOptions;
    covarianceOptions.algorithm_type = ceres::DENSE_SVD;
    ceres::Covariance covariance(covarianceOptions);
    const std::vector<std::pair<const double*, const double*>> blocks = {{x.data(), x.data()}};
    known = covariance.Compute(blocks, &problem) &&
            covariance.GetCovarianceBlock(x.data(), x.data(), matrix.data());
  }
  if (known) {
    result.Correlation.assign(p, std::vector<double>(p, kNaN));
    for (std::size_t j = 0; j < p; ++j) {
      if (undetermined[j]) continue;
      result.StandardError[j] = std::sqrt(matrix[j * p + j]) * scale[j];
      for (std::size_t k = 0; k < p; ++k) {
        if (!undetermined[k]) {
          result.Correlation[j][k] =
              matrix[j * p + k] / std::sqrt(matrix[j * p + j] * matrix[k * p + k]);
        }
      }
    }
  }
  for (std::size_t j = 0; j < p; ++j) {
    const std::string& name = result.Names[j];
    if (undetermined[j] || (!known && !result.Cancelled)) {
      result.Notes.push_back(name +
                             " cannot be determined from this record: the model's curvature and "
                             "temperature do not change with it, or only together with another "
                             "figure (the covariance is singular). It was left at " +
                             format::FormatShortest(fitted[j]) + ".");
    } else if (!(result.StandardError[j] <= std::fabs(fitted[j]))) {
      result.Notes.push_back(name + " is not determined by this record: its standard error (" +
                             format::FormatShortest(result.StandardError[j]) +
                             ") exceeds its value (" + format::FormatShortest(fitted[j]) + ").");
    }
  }

  // The model at the fitted figures, for the residuals and the plots.
  Model::Run run;
  model.Evaluate(fitted, run);
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
  for (int k = 1; k <= run.State.Clock.LamellaCount; ++k) {
    result.CurveTime.insert(result.CurveTime.end(), {s.LamellaTime(k), s.LamellaTime(k)});
    result.CurveCurvature.insert(result.CurveCurvature.end(), {s.Curvature(k - 1), s.Curvature(k)});
  }
  result.CurveTime.insert(result.CurveTime.end(), {end, end, std::max(end, record.Time.back())});
  result.CurveCurvature.insert(result.CurveCurvature.end(),
                               {result.CurveCurvature.back(), s.FinalCurvature, s.FinalCurvature});
  result.ThermalTime = run.History->Time;
  result.ThermalBack = run.History->Temperature;
  return result;
}

}  // namespace quillane::fit
