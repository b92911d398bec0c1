#pragma once
// Calibration: the figures that make the model match an in-situ record, found by weighted
// least squares (Ceres Solver), with their standard errors and correlations. The figures a
// record can be fitted to, their names and bounds, are those of the quantity table
// (FittableQuantities).

#include <functional>
#include <limits>
#include <stop_token>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fit/CalibrationRecord.h"
#include "model/ModelState.h"
#include "run/EntryFault.h"

namespace quillane::fit {

struct FitParameter {
  std::string Name;
  double Lower = 0;  // bounds, SI units
  double Upper = 0;
};

// The fittable quantity of that name with the table's bounds, narrowed to `lower`/`upper` where
// they are given (NaN otherwise); or why not: a name that cannot be fitted (NotFittable), bounds
// reversed or empty (BoundsReversed), bounds beyond the table's (BoundsBeyond).
std::variant<FitParameter, EntryFault> MakeFitParameter(
    std::string_view name, double lower = std::numeric_limits<double>::quiet_NaN(),
    double upper = std::numeric_limits<double>::quiet_NaN());

// A figure or bounds a fit cannot take: the fault as data, told in English as the message
// ("coating.SigmaQ: the bounds 2E+08 to 1E+08 are reversed or empty.").
class FitSettingsError : public RecordError {
 public:
  explicit FitSettingsError(EntryFault fault);
  const EntryFault& Fault() const { return fault_; }

 private:
  EntryFault fault_;
};

// MakeFitParameter for callers that take a fault as an error: throws FitSettingsError.
FitParameter RequireFitParameter(std::string_view name,
                                 double lower = std::numeric_limits<double>::quiet_NaN(),
                                 double upper = std::numeric_limits<double>::quiet_NaN());

struct FitSettings {
  std::vector<FitParameter> Parameters;
  double CurvatureNoise = 0;    // 1/m; 0 to estimate it from the fit's residuals
  double TemperatureNoise = 0;  // K; same
  // Huber loss on the weighted residuals; an estimated noise is then 1.4826 times the median
  // absolute residual, which outliers do not inflate.
  bool Robust = false;
  int Jobs = 0;  // threads for the model runs; 0 for every core
};

// What the record tells of a fitted figure that the reader should know.
enum class NoteKind {
  Undetermined,  // the model does not change with it, or only together with another figure
  LargeError,    // its standard error exceeds its value
  // The model's response near the fitted value is not smooth: its slopes over the solver's step
  // and over a step near one standard error disagree, so the covariance does not hold there.
  Rough,
  // A scan within ±5 standard errors found a lower misfit than where the solver stopped; the
  // fit reports that point (Value).
  BetterPoint,
  // The solver, started again from either side of a thermal figure (HeatFlux, contact.Lambda),
  // found a lower misfit than where it first stopped; the fit reports that minimum (Value).
  BetterStart,
  // The fit stopped at a bound (Low or High, the other NaN): the record wants a value beyond it,
  // and no standard error is claimed for it.
  AtBound,
  // Its standard error reaches half way or more to the nearer bound (Low or High, the other
  // NaN): the bounds, not the record, decide where it lies.
  NearBound,
  // The others held, the misfit at either bound (Low and High) is within one unit of χ² of the
  // fit's: the record says nothing of it, and it is left at its start (Value).
  FlatRange,
  // The misfit changes by less than one unit of χ² from the fitted value to one bound (Low or
  // High, the other NaN): the record only says on which side of Value it lies; no standard
  // error is claimed.
  OneSided,
};

struct FitNote {
  NoteKind Kind = NoteKind::Undetermined;
  std::string Parameter;
  double Value = 0;                                                 // where the fit left it
  double StandardError = std::numeric_limits<double>::quiet_NaN();  // from the covariance
  // Rough, BetterPoint and BetterStart: the interval the scan gives (SI), where the misfit stays
  // within one unit of χ² of the least it found.
  double Low = std::numeric_limits<double>::quiet_NaN();
  double High = std::numeric_limits<double>::quiet_NaN();
};

// The note as fit.json and the batch program give it.
std::string English(const FitNote& note);

// Why the solver stopped.
enum class FitEnd {
  FunctionTolerance,  // the cost no longer changes
  GradientTolerance,
  ParameterTolerance,  // the figures no longer change
  IterationLimit,
  Other,  // see the solver's message
};

struct FitResult {
  std::vector<std::string> Names;
  std::vector<double> Start;
  std::vector<double> Value;
  std::vector<double> StandardError;             // NaN where the covariance is singular
  std::vector<std::vector<double>> Correlation;  // empty where the covariance is singular
  // The interval each figure is known within: value ± standard error from the covariance, or,
  // where the checks found the response rough or a better point near it, from the scan (NaN
  // where neither gives one).
  std::vector<double> IntervalLow;
  std::vector<double> IntervalHigh;
  std::vector<bool> IntervalFromScan;
  // On figures the record cannot determine, or not as the covariance says. An Undetermined
  // figure is left at its start value.
  std::vector<FitNote> Notes;
  double CurvatureRms = 0;    // 1/m
  double TemperatureRms = 0;  // K; NaN without temperatures
  double CurvatureNoise = 0;  // the weights used
  double TemperatureNoise = 0;
  int Iterations = 0;
  FitEnd End = FitEnd::Other;
  std::string Termination;  // the solver's own message
  bool Cancelled = false;
  int ModelRuns = 0;  // runs of the model the fit started
  // The model at the fitted figures: at each record time, and the full histories for plots.
  std::vector<double> ModelCurvature;
  std::vector<double> ModelTemperature;
  // One-pass model: a curvature step per lamella, then the final cooling; whole-deposit model:
  // every point of its history, then the cooling to room temperature.
  std::vector<double> CurveTime;
  std::vector<double> CurveCurvature;
  std::vector<double> ThermalTime;  // every thermal row
  std::vector<double> ThermalBack;
};

// How far a fit has come, after each iteration of the solver.
struct FitProgress {
  int Iteration = 0;
  double Cost = 0;
  int ModelRuns = 0;
};

// `base` holds validated inputs with the picked rows in state.Materials. Before it reports, the
// fit checks that the model's response near the optimum is smooth and that no point within ±5
// standard errors (inside the bounds) fits better; notes tell where either fails. `progress` is
// called after each solver iteration; returning false stops the fit, as `stop` does. A stop ends
// the model run under way and starts no other: the result then only tells it was cancelled and
// after how many iterations. Throws FitSettingsError for a parameter that cannot be fitted.
FitResult FitRecord(const ModelState& base, const CalibrationRecord& record,
                    const FitSettings& settings,
                    const std::function<bool(const FitProgress&)>& progress = {},
                    std::stop_token stop = {});

// What sensors would record of a run of `state` (validated, rows picked), read as a fit reads
// the model: the curvature and the back face's temperature at each of the times.
CalibrationRecord RecordOfRun(ModelState state, const std::vector<double>& times);

}  // namespace quillane::fit
