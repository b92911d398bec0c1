#pragma once
// The fit's least squares: the scaled problem Ceres Solver works on, its weights (the noise of
// each series, given or estimated from the residuals) and its solves, whole or with some figures
// held. The interval search and the fit itself build on these; nothing here reports.

#include <ceres/ceres.h>

#include <functional>
#include <limits>
#include <stop_token>
#include <vector>

#include "fit/Calibration.h"
#include "fit/FitModel.h"

namespace quillane::fit {

using Progress = std::function<bool(const FitProgress&)>;

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The cost (half χ²) a point must gain on the fit to count as better: less is rounding.
inline constexpr double kBetterBy = 1e-3;

// The figures, where they start (within their bounds) and the scaled problem the solver works
// on, each figure over its starting size so that its values lie near 1.
struct Scaled {
  std::vector<const QuantitySpec*> Figures;  // nullptr for the record's time shift
  std::vector<double> Scale;
  std::vector<double> Lower;
  std::vector<double> Upper;
  std::vector<double> X;
  // The covariance of the scaled figures at X (p × p, row-major); empty where singular.
  std::vector<double> Covariance;
};

// The cost as the solver sees it: half the sum of the squares, or of Huber's loss of them.
double CostOf(const std::vector<double>& residual, bool robust);
double RootMeanSquare(const std::vector<double>& values, std::size_t from, std::size_t count);

// The residuals of the record at scaled.X as cost blocks of `problem`, with the bounds.
void AddResiduals(ceres::Problem& problem, Evaluator& evaluator, Scaled& scaled, bool robust);

// The noise each series is weighed by: the user's, or estimated from the residuals.
SeriesValues GivenNoise(const FitSettings& settings);
// Whether the fit estimates the noise of a series the record holds (the user gave none).
bool EstimatesNoise(const Evaluator& evaluator, const FitSettings& settings);

// Solve: weighed first by the spread of each series; then, unless the user gave the noise, by
// the noise the first fit's residuals show, and fitted again from there. The noise used goes to
// `noise`; false when stopped (result.Cancelled) or when the solver could not run
// (result.Failed).
bool Solve(ceres::Problem& problem, Evaluator& evaluator, const FitModel& model,
           const CalibrationRecord& record, const FitSettings& settings, Scaled& scaled,
           SeriesValues& noise, const Progress& progress, std::stop_source& stop,
           FitResult& result);
// The noise the residuals at scaled.X show, where the user gave none, set as the evaluator's
// weights; false when the model cannot run there.
bool EstimateNoise(Evaluator& evaluator, const CalibrationRecord& record,
                   const FitSettings& settings, const Scaled& scaled, SeriesValues& noise);
// One solve of `problem` from where the figures are; false when stopped or failed.
bool SolveOnce(ceres::Problem& problem, const FitModel& model, const Progress& progress,
               std::stop_source& stop, FitResult& result);

// The one-pass model's thermal figures' responses jump (its back face is pinned to the gases at
// some heat fluxes), so the solver runs again from either side of each, 2 % away. The lowest end
// that betters the fit replaces it, and the figure whose start found it is returned (the figure
// count when none did).
std::size_t RestartThermal(ceres::Problem& problem, Evaluator& evaluator, const FitModel& model,
                           Scaled& scaled, bool robust, const Progress& progress,
                           std::stop_source& stop, FitResult& result);

// The least cost with the figures `held` at their values in x and the others free within their
// bounds, from where x puts them; x ends at that least. NaN when the model cannot run there or a
// stop came.
double SolveHeld(Evaluator& evaluator, const Scaled& scaled, const std::vector<bool>& held,
                 bool robust, std::vector<double>& x, std::stop_source& stop);

}  // namespace quillane::fit
