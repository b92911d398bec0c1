#pragma once
// Runs the points of a study, each on its own copy of the state and of the catalogue, on a
// pool of threads. A point that fails gets its fault as its status; the others go on.

#include <array>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"
#include "study/StudyFile.h"

namespace quillane::study {

// The headline results of a point, in the order of the results table, with their units.
struct ResultColumn {
  const char* Name;
  const char* Unit;
  bool Count = false;  // a whole number, written as one in results.json
};
inline constexpr std::array<ResultColumn, 11> kResultColumns = {{
    {"FinalCurvature", "1/m"},
    {"FinalDeflection", "m"},
    {"SubstrateStressBackFinal", "Pa"},
    {"SubstrateStressFrontFinal", "Pa"},
    {"LamellaStressFinalMin", "Pa"},
    {"LamellaStressFinalMax", "Pa"},
    {"PeakSurfaceTemperature", "K"},
    {"PeakSubstrateTemperature", "K"},
    {"PeakInterfaceTemperature", "K"},
    {"ThermalRowCount", "", true},
    {"SingularMatrixEvents", "", true},
}};
inline constexpr const char* kStatusOk = "ok";

struct PointResult {
  std::vector<double> Values;                           // each varied quantity as the run used it
  std::array<double, kResultColumns.size()> Results{};  // NaN when the point failed
  std::string Status;                                   // kStatusOk or the fault
};

struct StudyOptions {
  int Jobs = 0;                       // threads; 0 for every core
  std::filesystem::path KeepFilesIn;  // when set, each point's files go to <dir>/points/NNNN/
  RegionalSettings Locale;            // of the kept result files
};

// The folder of a point's kept files: points/0001 for the first point.
std::filesystem::path PointFolder(const std::filesystem::path& out, std::size_t index);

// The varied values a point's run uses (the point's own, or the base value where it has NaN),
// without running it; NaN for a figure of a material the catalogue lacks.
std::vector<double> PointValues(const Study& study, const std::vector<double>& values,
                                const MaterialsCatalogue& catalogue);

// Runs one point (`values` one per varied quantity; NaN keeps the base value). Throws
// RunCancelled when a stop is requested during the run; every other fault goes to the status.
PointResult RunPoint(const Study& study, const std::vector<double>& values,
                     const MaterialsCatalogue& catalogue, const StudyOptions& options,
                     std::size_t index, std::stop_token stop = {});

// Runs the points of `todo` (indices into `points`) on the pool. `done` is called for each
// finished point, one call at a time, from the pool's threads. A stop request ends the study
// soon: the points under way are dropped and not reported.
void RunPoints(const Study& study, const std::vector<std::vector<double>>& points,
               const std::vector<std::size_t>& todo, const MaterialsCatalogue& catalogue,
               const StudyOptions& options,
               const std::function<void(std::size_t, const PointResult&)>& done,
               std::stop_token stop = {});

}  // namespace quillane::study
