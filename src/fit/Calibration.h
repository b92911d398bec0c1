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

// The one figure a fit has beyond the quantity table: how far the record's clock runs behind the
// model's (s, added to every time of the record), as a trigger started late shows. Its bounds are
// ±PassPeriod; MakeFitParameter gives it infinite bounds, which the fit narrows to those.
inline constexpr std::string_view kTimeShift = "record.TimeShift";

struct FitSettings {
  std::vector<FitParameter> Parameters;
  double CurvatureNoise = 0;    // 1/m; 0 to estimate it from the fit's residuals
  double TemperatureNoise = 0;  // K; same, for the back face
  double SurfaceNoise = 0;      // K; same, for the top surface
  // Huber loss on the weighted residuals; an estimated noise is then 1.4826 times the median
  // absolute residual, which outliers do not inflate.
  bool Robust = false;
  int Jobs = 0;  // threads for the model runs; 0 for every core
};

// The noise setting of the series a record's column names ("curvature", "temperature",
// "surface_temperature"), as --fit-noise and Python name them; nullptr for any other name.
double* NoiseOf(FitSettings& settings, std::string_view column);

// The significant digits that tell an interval's ends apart, and two more (3 to 15).
int IntervalDigits(double low, double high);

// What the record tells of a fitted figure, or of the whole fit, that the reader should know.
// The notes on the whole fit have no figure: their Parameter names a series or columns.
enum class NoteKind {
  // Its interval holds zero and reaches beyond its value's size: not even its sign is known.
  LargeError,
  // The misfit is not quadratic around it: the covariance's standard error (StandardError)
  // differs by more than 10 % from the profile's distance to an end of the interval (Low, High),
  // so no standard error is shown; the interval is the profile's.
  NotQuadratic,
  // A search around the fit (the profiles, or the one-pass model's restarts of a thermal figure)
  // found a lower misfit than where the solver stopped; the fit was taken up again from there
  // (Value).
  BetterPoint,
  // The fit stopped at a bound (Low or High, the other NaN): the record wants a value beyond it.
  AtBound,
  // The misfit, the other figures refitted, stays within one unit of χ² of its least from bound
  // to bound (Low, High): the record says nothing of it, and it is left at its start (Value).
  FlatRange,
  // The misfit stays within one unit of χ² from the fitted value to one bound (Low or High, the
  // other NaN): the record only says on which side of Value it lies.
  OneSided,
  // The model does not follow the record's series named by Parameter ("curvature",
  // "temperature", "surface_temperature"): with the noise given, its residuals' mean square is
  // over 4 times the noise's (Value the RMS, StandardError the noise); with the noise estimated,
  // their signs run in blocks too long for noise (Low runs where High are expected, a runs test
  // at 1e-3).
  PoorFit,
  // The record's columns named by Parameter (", " between them) are read by no fit.
  UnusedColumns,
  // The one-pass model does not follow a record that runs past the first of the case's passes
  // (Value passes): it follows the first alone; the whole-deposit model is the one to fit it
  // with.
  OnePassModel,
};

struct FitNote {
  NoteKind Kind = NoteKind::LargeError;
  std::string Parameter;
  double Value = 0;                                                 // where the fit left it
  double StandardError = std::numeric_limits<double>::quiet_NaN();  // from the covariance
  double Low = std::numeric_limits<double>::quiet_NaN();            // the interval's ends (SI)
  double High = std::numeric_limits<double>::quiet_NaN();
  // Whether the note is on the whole fit rather than on one figure.
  bool OnFit() const {
    return Kind == NoteKind::PoorFit || Kind == NoteKind::UnusedColumns ||
           Kind == NoteKind::OnePassModel;
  }
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
  // From the covariance, where it agrees with the profile within 10 % on both sides; NaN
  // elsewhere (a note then gives the covariance's).
  std::vector<double> StandardError;
  std::vector<std::vector<double>> Correlation;  // empty where the covariance is singular
  // The interval each figure is known within (68 %): the values where χ², the other figures
  // refitted, stays within 1 of its least. An end the misfit never leaves that band before is
  // the bound (the notes say so).
  std::vector<double> IntervalLow;
  std::vector<double> IntervalHigh;
  std::vector<FitNote> Notes;
  double CurvatureRms = 0;                                       // 1/m
  double TemperatureRms = 0;                                     // K; NaN without temperatures
  double SurfaceRms = std::numeric_limits<double>::quiet_NaN();  // K; NaN without them
  double CurvatureNoise = 0;                                     // the weights used
  double TemperatureNoise = 0;
  double SurfaceNoise = 0;
  int Iterations = 0;
  FitEnd End = FitEnd::Other;
  std::string Termination;  // the solver's own message
  bool Cancelled = false;
  // The solver could not run (the model gave no finite misfit at the start): nothing holds.
  bool Failed = false;
  int ModelRuns = 0;  // runs of the model the fit started
  // The model at the fitted figures: at each record time (on the model's clock, shifted), and
  // the full histories for plots.
  std::vector<double> ModelCurvature;
  std::vector<double> ModelTemperature;
  std::vector<double> ModelSurface;
  // One-pass model: a curvature step per lamella, then the final cooling; whole-deposit model:
  // every point of its history, then the cooling to room temperature. On the record's clock.
  std::vector<double> CurveTime;
  std::vector<double> CurveCurvature;
  std::vector<double> ThermalTime;  // every thermal row, on the record's clock
  std::vector<double> ThermalBack;
  std::vector<double> ThermalSurface;
  // The record's clock shift the fit found (s; 0 when not fitted).
  double TimeShift = 0;
};

// How far a fit has come, after each iteration of the solver.
struct FitProgress {
  int Iteration = 0;
  double Cost = 0;
  int ModelRuns = 0;
};

// `base` holds validated inputs with the picked rows in state.Materials. After the solve, each
// figure's interval comes from its misfit profile, and notes tell what the record does not
// determine and whether the model follows it at all. `progress` is
// called after each solver iteration; returning false stops the fit, as `stop` does. A stop ends
// the model run under way and starts no other: the result then only tells it was cancelled and
// after how many iterations. Throws FitSettingsError for a parameter that cannot be fitted.
FitResult FitRecord(const ModelState& base, const CalibrationRecord& record,
                    const FitSettings& settings,
                    const std::function<bool(const FitProgress&)>& progress = {},
                    std::stop_token stop = {});

// What sensors would record of a run of `state` (validated, rows picked), read as a fit reads
// the model: the curvature and the back face's and the top surface's temperatures at each of the
// times.
CalibrationRecord RecordOfRun(ModelState state, const std::vector<double>& times);

}  // namespace quillane::fit
