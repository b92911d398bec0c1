#pragma once
#include "core/ModelState.h"
#include "core/RunHost.h"

namespace quillane {

// One simulation run: the thermal history pass after pass, then the stress model. Both result
// files must be open; the run closes them (which publishes them) when it ends well. Throws
// RunCancelled when the host cancels and IoError when a file cannot be written; the files are
// then left unpublished.
void RunSimulation(ModelState& state, RunHost& host);

// What the "Execution calculs" command does: validates the inputs (InputError lists every
// fault, nothing opened), opens both result files (the default paths when none was chosen),
// runs, and on any failure discards what was written so that earlier files stay as they were.
void ExecuteRun(ModelState& state, RunHost& host);

// Default result files, in the current directory.
inline constexpr const char* kDefaultThermalPath = "Thermique.txt";
inline constexpr const char* kDefaultStressPath = "Stress.txt";

}  // namespace quillane
