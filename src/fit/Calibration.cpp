#include "fit/Calibration.h"

#include <ceres/covariance.h>
#include <ceres/manifold.h>

#include <Eigen/Dense>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>

#include "fit/FitNotes.h"
#include "fit/FitProfile.h"
#include "fit/FitSolve.h"
#include "format/NumberFormat.h"
#include "model/Errors.h"
#include "run/QuantityTable.h"
#include "run/RunSimulation.h"

namespace quillane::fit {

namespace {

constexpr int kProfileRounds = 3;  // fits taken up again from a better point the profiles found

// The fault as the batch program tells it: the figure's name first, when there is one.
std::string Told(const EntryFault& fault) {
  return fault.Quantity != nullptr ? fault.Quantity->Name + ": " + English(fault) : English(fault);
}

// The bounds of the record's time shift: the user's, within ±PassPeriod.
FitParameter ShiftBounds(const ModelState& base, FitParameter shift) {
  const double period = base.Input.PassPeriod;
  const std::string told = std::string(kTimeShift) + ": ";
  if (ModelOf(base.Input) != StressModelKind::WholeDeposit) {
    throw RecordError(told +
                      "a record's clock can be shifted against the whole-deposit model only (the "
                      "one-pass model's curvature moves in steps).");
  }
  if (std::isinf(shift.Lower)) shift.Lower = -period;
  if (std::isinf(shift.Upper)) shift.Upper = period;
  if (!(shift.Lower < shift.Upper) || shift.Lower < -period || shift.Upper > period) {
    throw RecordError(told + "the bounds " + format::FormatShortest(shift.Lower) + " to " +
                      format::FormatShortest(shift.Upper) + " s must be increasing and within " +
                      "±PassPeriod (" + format::FormatShortest(period) + " s).");
  }
  return shift;
}

Scaled SetUp(const ModelState& base, const FitSettings& settings, FitResult& result) {
  Scaled s;
  for (const FitParameter& given : settings.Parameters) {
    // Parameters made by hand are held to the rules MakeFitParameter keeps.
    FitParameter parameter = RequireFitParameter(given.Name, given.Lower, given.Upper);
    const bool shift = parameter.Name == kTimeShift;
    if (shift) parameter = ShiftBounds(base, parameter);
    const QuantitySpec* figure = shift ? nullptr : &Quantity(parameter.Name);
    if (figure != nullptr && figure->Coat > 0 && std::isnan(figure->Get(base))) {
      EntryFault fault;
      fault.Kind = FaultKind::NoSuchCoat;
      fault.Text = figure->Name;
      fault.Count = static_cast<long long>(base.Input.Coats.size());
      throw FitSettingsError(fault);
    }
    const MaterialRecord* row = figure != nullptr ? figure->PickedRow(base) : nullptr;
    if (row != nullptr && figure->IsTable(*row)) {
      EntryFault fault;
      fault.Kind = FaultKind::TableFigure;
      fault.Text = figure->Name;
      fault.Field = row->Name;
      throw FitSettingsError(fault);
    }
    const double start =
        std::clamp(shift ? 0.0 : figure->Get(base), parameter.Lower, parameter.Upper);
    const double scale =
        start != 0 ? std::fabs(start)
                   : std::max(std::fabs(parameter.Lower), std::fabs(parameter.Upper)) * 1e-3;
    result.Names.push_back(parameter.Name);
    result.Start.push_back(start);
    s.Figures.push_back(figure);
    s.Scale.push_back(scale);
    s.Lower.push_back(parameter.Lower / scale);
    s.Upper.push_back(parameter.Upper / scale);
    s.X.push_back(start / scale);
  }
  return s;
}

// A noise the user gave that would weigh the record beyond what a double holds.
void CheckNoise(const FitSettings& settings) {
  const SeriesValues given = GivenNoise(settings);
  for (std::size_t s = 0; s < kSeriesCount; ++s) {
    const auto series = static_cast<Series>(s);
    const double largest = series == Series::Curvature ? kLargestCurvature : kLargestTemperature;
    // The weighted squares of a record of 1e9 rows of the largest values stay finite.
    if (given[s] > 0 && !(largest / given[s] < 1e145)) {
      throw RecordError(std::string("the ") + ColumnName(series) + " noise " +
                        format::FormatShortest(given[s]) + (s == 0 ? " 1/m" : " K") +
                        " is too small to weigh a record by: give it in the record's units, "
                        "or leave it to be estimated.");
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

// Diagnose: the standard errors and correlations from Ceres' covariance, and the covariance of
// the scaled figures for the profile search (empty where singular).
void Diagnose(ceres::Problem& problem, Evaluator& evaluator, Scaled& scaled, FitResult& result) {
  const std::size_t p = scaled.X.size();
  result.Value = evaluator.Physical(scaled.X);
  result.StandardError.assign(p, kNaN);
  result.Correlation.clear();
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
  scaled.Covariance.clear();
  if (known && held.empty()) scaled.Covariance = matrix;
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
}

// Curves: the model at the fitted figures, at the record's times for the residuals, and its
// whole histories for the plots.
void Curves(const FitModel& model, const CalibrationRecord& record, FitResult& result) {
  FitModel::Run run;
  model.Evaluate(result.Value, run);
  const double shift = result.TimeShift;
  std::array<std::vector<double>, kSeriesCount> residuals;
  std::array<std::vector<double>*, kSeriesCount> atTimes = {
      &result.ModelCurvature, &result.ModelTemperature, &result.ModelSurface};
  for (std::size_t i = 0; i < record.Time.size(); ++i) {
    const double t = record.Time[i] + shift;
    for (std::size_t k = 0; k < kSeriesCount; ++k) {
      const auto series = static_cast<Series>(k);
      const double value = series == Series::Curvature
                               ? CurvatureAt(run.State, t)
                               : TemperatureAt(run.State, *run.History, series, t);
      atTimes[k]->push_back(value);
      const std::vector<double>& measured = record.Values(series);
      if (!measured.empty() && !std::isnan(measured[i])) {
        residuals[k].push_back(value - measured[i]);
      }
    }
  }
  result.CurvatureRms = RootMeanSquare(residuals[0], 0, residuals[0].size());
  result.TemperatureRms = RootMeanSquare(residuals[1], 0, residuals[1].size());
  result.SurfaceRms = RootMeanSquare(residuals[2], 0, residuals[2].size());
  const StressResults& s = run.State.Stress;
  const double end = run.State.Clock.ElapsedTime;
  result.CurveTime.push_back(std::min(0.0, record.Time.front() + shift));
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
  result.CurveTime.insert(result.CurveTime.end(),
                          {end, end, std::max(end, record.Time.back() + shift)});
  result.CurveCurvature.insert(result.CurveCurvature.end(),
                               {result.CurveCurvature.back(), s.FinalCurvature, s.FinalCurvature});
  result.ThermalTime = run.History->Time;
  result.ThermalBack = run.History->Temperature;
  result.ThermalSurface = run.History->Surface;
  // On the record's clock.
  for (double& t : result.CurveTime) t -= shift;
  for (double& t : result.ThermalTime) t -= shift;
}

}  // namespace

std::variant<FitParameter, EntryFault> MakeFitParameter(std::string_view name, double lower,
                                                        double upper) {
  if (name == kTimeShift) {
    // Its bounds are the case's (±PassPeriod), narrowed where given; SetUp checks them.
    return FitParameter{std::string(kTimeShift), std::isnan(lower) ? -INFINITY : lower,
                        std::isnan(upper) ? INFINITY : upper};
  }
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

double* NoiseOf(FitSettings& settings, std::string_view column) {
  return column == ColumnName(Series::Curvature) ? &settings.CurvatureNoise
         : column == ColumnName(Series::Back)    ? &settings.TemperatureNoise
         : column == ColumnName(Series::Surface) ? &settings.SurfaceNoise
                                                 : nullptr;
}

int IntervalDigits(double low, double high) {
  const double size = std::max(std::fabs(low), std::fabs(high));
  if (!(high > low) || !(size > 0)) return 3;
  return std::clamp(static_cast<int>(std::ceil(std::log10(size / (high - low)))) + 2, 3, 15);
}

CalibrationRecord RecordOfRun(ModelState state, const std::vector<double>& times) {
  BackFaceSink history;
  RunSimulation(state, history);
  CalibrationRecord record;
  for (const double t : times) {
    record.Time.push_back(t);
    record.Curvature.push_back(CurvatureAt(state, t));
    record.Temperature.push_back(TemperatureAt(state, history, Series::Back, t));
    record.SurfaceTemperature.push_back(TemperatureAt(state, history, Series::Surface, t));
  }
  return record;
}

FitResult FitRecord(const ModelState& base, const CalibrationRecord& record,
                    const FitSettings& settings, const Progress& progress, std::stop_token stop) {
  FitResult result;
  Scaled scaled = SetUp(base, settings, result);
  CheckNoise(settings);
  // The caller's stop and the progress's answer end the fit alike.
  std::stop_source own;
  const std::stop_callback forward(stop, [&own] { own.request_stop(); });
  std::optional<FitModel> model;
  try {
    model.emplace(base, scaled.Figures, own.get_token());
    Evaluator evaluator(*model, record, scaled.Scale, scaled.Lower, scaled.Upper, settings.Jobs);
    const auto shift = std::find(result.Names.begin(), result.Names.end(), kTimeShift);
    evaluator.ShiftBy(static_cast<std::size_t>(shift - result.Names.begin()));
    ceres::Problem::Options problemOptions;
    problemOptions.cost_function_ownership = ceres::TAKE_OWNERSHIP;
    problemOptions.loss_function_ownership = ceres::TAKE_OWNERSHIP;
    ceres::Problem problem(problemOptions);
    AddResiduals(problem, evaluator, scaled, settings.Robust);
    SeriesValues noise{1, 1, 1};
    if (!Solve(problem, evaluator, *model, record, settings, scaled, noise, progress, own,
               result)) {
      result.ModelRuns = model->Runs();
      return result;
    }
    std::vector<std::size_t> bettered;
    if (ModelOf(base.Input) == StressModelKind::OnePass) {
      const std::size_t from = RestartThermal(problem, evaluator, *model, scaled, settings.Robust,
                                              progress, own, result);
      if (own.stop_requested()) throw RunCancelled();
      if (from < scaled.X.size()) {
        bettered.push_back(from);
        if (EstimatesNoise(evaluator, settings)) {
          EstimateNoise(evaluator, record, settings, scaled, noise);
        }
        if (!SolveOnce(problem, *model, progress, own, result) && result.Cancelled) {
          throw RunCancelled();
        }
      }
    }
    // The intervals from the profiles; a better point one of them finds is fitted again from.
    Profiles profiles;
    for (int round = 0; round < kProfileRounds; ++round) {
      result.Value = evaluator.Physical(scaled.X);
      Diagnose(problem, evaluator, scaled, result);
      const std::shared_ptr<const Evaluator::Point> at = evaluator.At(scaled.X.data(), false);
      if (!at->Ok) break;
      profiles = ProfileAll(evaluator, scaled, settings.Robust,
                            CostOf(at->Residual, settings.Robust), round + 1 < kProfileRounds, own);
      if (profiles.Stopped || own.stop_requested()) throw RunCancelled();
      if (profiles.Better.empty()) break;
      if (std::find(bettered.begin(), bettered.end(), profiles.BetterFigure) == bettered.end()) {
        bettered.push_back(profiles.BetterFigure);
      }
      std::copy(profiles.Better.begin(), profiles.Better.end(), scaled.X.begin());
      if (EstimatesNoise(evaluator, settings)) {
        EstimateNoise(evaluator, record, settings, scaled, noise);
      }
      if (!SolveOnce(problem, *model, progress, own, result)) {
        if (result.Cancelled) throw RunCancelled();
        break;
      }
    }
    if (result.Failed) {
      result.ModelRuns = model->Runs();
      return result;
    }
    result.Value = evaluator.Physical(scaled.X);
    if (profiles.Ends.size() != scaled.X.size()) {
      // The model could not run at the fit: nothing holds.
      result.Failed = true;
      result.ModelRuns = model->Runs();
      return result;
    }
    result.CurvatureNoise = noise[0];
    result.TemperatureNoise = noise[1];
    result.SurfaceNoise = noise[2];
    for (const std::size_t j : bettered) {
      result.Notes.push_back({NoteKind::BetterPoint, result.Names[j], result.Value[j]});
    }
    NoteIntervals(scaled, profiles, result);
    const std::shared_ptr<const Evaluator::Point> at = evaluator.At(scaled.X.data(), false);
    if (at->Ok) {
      NoteGoodness(evaluator, at->Residual, noise, GivenNoise(settings), scaled.X.size(), result);
    }
    NoteRecord(base, record, result);
    if (shift != result.Names.end()) {
      result.TimeShift = result.Value[static_cast<std::size_t>(shift - result.Names.begin())];
    }
    Curves(*model, record, result);
  } catch (const RunCancelled&) {
    result.Cancelled = true;
  }
  result.ModelRuns = model ? model->Runs() : 0;
  return result;
}

}  // namespace quillane::fit
