#pragma once
// quillane-batch --fit: fits chosen figures to an in-situ record and writes fit.json, the fitted
// case and the overlay plot into an output folder.

#include <ostream>
#include <string>

#include "fit/Calibration.h"
#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"

namespace quillane::cli {

struct FitCommand {
  std::string RecordPath;
  std::string Parameters;  // "coating.SigmaQ,coating.ModuleYoung"
  std::string Bounds;      // "coating.SigmaQ=1e7:5e8,HeatFlux=1e5:1e7"
  std::string Noise;       // "curvature=1e-4,temperature=0.5"
  bool Robust = false;
  std::string OutDir;
  int Jobs = 0;
  bool Quiet = false;
};

// The settings the command asks for. Throws fit::RecordError naming the flag, or
// fit::FitSettingsError (the fault as data) for a figure that cannot be fitted within its bounds.
fit::FitSettings ReadFitSettings(const FitCommand& command);

// Fits over `base` (the case and flags, validated here). Returns 0 when the fit ends (its notes
// tell of undetermined figures), 1 on a fault of the record, the settings or the files, 130
// when stopped by Ctrl-C.
int RunFitCommand(const FitCommand& command, ModelState base, const MaterialsCatalogue& catalogue,
                  std::ostream& out, std::ostream& err);

}  // namespace quillane::cli
