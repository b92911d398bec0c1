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
                             robust ? new ceres::HuberLoss(1.345) : nullptr, scaled.X.data());
  }
  for (std::size_t j = 0; j < p; ++j) {
    problem.SetParameterLowerBound(scaled.X.data(), static_cast<int>(j), scaled.Lower[j]);
    problem.SetParameterUpperBound(scaled.X.data(), static_cast<int>(j), scaled.Upper[j]);
  }
}

// Solve: weighed first by the spread of each record; then, unless the user gave the noise, by
// the noise the first fit's residuals show, and fitted again from there.
void Solve(ceres::Problem& problem, Evaluator& evaluator, const FitModel& model,
           const CalibrationRecord& record, const FitSettings& settings, Scaled& scaled,
           const Progress& progress, std::stop_source& stop, FitResult& result) {
  const std::size_t p = scaled.X.size();
  const std::size_t curvatures = evaluator.CurvatureCount();
  const std::size_t temperatures = evaluator.ResidualCount() - curvatures;
  ceres::Solver::Options options;
  options.linear_solver_type = ceres::DENSE_QR;
  options.max_num_iterations = 200;
  options.function_tolerance = 1e-15;
  options.gradient_tolerance = 1e-15;
  options.parameter_tolerance = 1e-13;
  options.logging_type = ceres::SILENT;
  options.update_state_every_iteration = true;

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
    IterationReport report(progress, result.Iterations, model, stop);
    options.callbacks = {&report};
    ceres::Solve(options, &problem, &summary);
    result.Iterations += static_cast<int>(summary.iterations.size()) - 1;
    result.Termination = summary.message;
    result.End = EndOf(summary);
    if (summary.termination_type == ceres::USER_FAILURE || stop.stop_requested()) {
      result.Cancelled = true;
      return;
    }
    if (stage == 1 || !estimate) break;
    // The residuals at the first fit's figures, weighed by the spreads: the solver has them.
    const std::shared_ptr<const Evaluator::Point> point = evaluator.At(scaled.X.data(), false);
    if (!point->Ok) break;
    const std::vector<double>& r = point->Residual;
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
    if (!held.empty()) {
      problem.SetManifold(scaled.X.data(), new ceres::SubsetManifold(static_cast<int>(p), held));
    }
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
  for (int k = 1; k <= run.State.Clock.LamellaCount; ++k) {
    result.CurveTime.insert(result.CurveTime.end(), {s.LamellaTime(k), s.LamellaTime(k)});
    result.CurveCurvature.insert(result.CurveCurvature.end(), {s.Curvature(k - 1), s.Curvature(k)});
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
    // A stop during the diagnosis leaves it unfinished.
    result.Cancelled = result.Cancelled || own.stop_requested();
    if (!result.Cancelled) Curves(*model, record, result);
  } catch (const RunCancelled&) {
    result.Cancelled = true;
  }
  result.ModelRuns = model ? model->Runs() : 0;
  return result;
}

}  // namespace quillane::fit
