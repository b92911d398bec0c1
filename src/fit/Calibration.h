#pragma once
// Calibration: the figures that make the model match an in-situ record, found by weighted
// least squares (Ceres Solver), with their standard errors and correlations.
//
// The model's curvature history: Curvature(k) from the time lamella k of the first pass is
// laid (LamellaTime(k)) until the next one; Curvature(0) before the first lamella; after the
// end of the run, FinalCurvature. Its temperature history: the substrate's back face in the
// thermal rows, interpolated linearly in time.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "fit/CalibrationRecord.h"
#include "model/ModelState.h"

namespace quillane::fit {

// The figures a record can be fitted to.
inline constexpr const char* kFitParameters[] = {"coating.SigmaQ", "coating.ModuleYoung",
                                                 "coating.dilat", "HeatFlux", "contact.Lambda"};

struct FitParameter {
  std::string Name;
  double Lower = 0;  // bounds, SI units
  double Upper = 0;
};

// A parameter by name with the bounds of the catalogue (or of the input table); throws
// RecordError naming it when it cannot be fitted. `lower`/`upper` narrow the bounds when given
// (NaN otherwise), and must lie within them.
FitParameter MakeFitParameter(const std::string& name, double lower, double upper);

struct FitSettings {
  std::vector<FitParameter> Parameters;
  double CurvatureNoise = 0;    // 1/m; 0 to estimate it from the fit's residuals
  double TemperatureNoise = 0;  // K; same
  bool Robust = false;          // Huber loss on the weighted residuals
  int Jobs = 0;                 // threads for the model runs; 0 for every core
};

struct FitResult {
  std::vector<std::string> Names;
  std::vector<double> Start;
  std::vector<double> Value;
  std::vector<double> StandardError;             // NaN where the covariance is singular
  std::vector<std::vector<double>> Correlation;  // empty where the covariance is singular
  std::vector<std::string> Notes;  // plain words on parameters the record cannot determine
  double CurvatureRms = 0;         // 1/m
  double TemperatureRms = 0;       // K; NaN without temperatures
  double CurvatureNoise = 0;       // the weights used
  double TemperatureNoise = 0;
  int Iterations = 0;
  std::string Termination;
  bool Cancelled = false;
  // The model at the fitted figures: at each record time, and the full histories for plots.
  std::vector<double> ModelCurvature;
  std::vector<double> ModelTemperature;
  std::vector<double> CurveTime;  // a curvature step per lamella, then the final cooling
  std::vector<double> CurveCurvature;
  std::vector<double> ThermalTime;  // every thermal row
  std::vector<double> ThermalBack;
};

// `base` holds validated inputs with the picked rows in state.Materials. `iteration` is called
// after each solver iteration with its number and cost; returning false stops the fit.
FitResult FitRecord(const ModelState& base, const CalibrationRecord& record,
                    const FitSettings& settings,
                    const std::function<bool(int, double)>& iteration = {});

// What sensors would record of a run of `state` (validated, rows picked), read as a fit reads
// the model: the curvature and the back face's temperature at each of the times.
CalibrationRecord RecordOfRun(ModelState state, const std::vector<double>& times);

// The value of a fit parameter in a state, and setting it.
double FitValue(const ModelState& state, const std::string& name);
void SetFitValue(ModelState& state, const std::string& name, double value);

}  // namespace quillane::fit
