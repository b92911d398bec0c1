#pragma once
#include <functional>
#include <string>
#include <utility>

#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"
#include "model/RunSink.h"
#include "run/ResultRowStore.h"

namespace quillane {

// One simulation run on the state given (the caller's own copy): the thermal history pass
// after pass, then the stress model, handing rows and events to the sink. Throws RunCancelled
// when the sink's progress asks to stop.
void RunSimulation(ModelState& state, RunSink& sink);

// The thermal part of RunSimulation alone: every pass, leaving the state as the stress model
// reads it. The stress model depends on the coating's SigmaQ, ModuleYoung and dilat, which the
// thermal history does not read, so a fit of those runs the history once and RunStressModel
// (stress/StressDriver.h) on copies of the result.
void RunThermalHistory(ModelState& state, RunSink& sink);

// Default result files, in the current directory.
inline constexpr const char* kDefaultThermalPath = "Thermique.txt";
inline constexpr const char* kDefaultStressPath = "Stress.txt";

// Where a run's result files go.
struct ResultPaths {
  ResultPaths() = default;
  ResultPaths(std::string thermal, std::string stress, std::string history = {})
      : Thermal(std::move(thermal)), Stress(std::move(stress)), History(std::move(history)) {}

  std::string Thermal = kDefaultThermalPath;
  std::string Stress = kDefaultStressPath;
  std::string History;  // the whole-deposit history (CSV), none when empty
};

// What the "Execution calculs" command does: validates the inputs (InputError lists every
// fault, nothing opened), takes the picked rows from the catalogue, opens both result files,
// runs, writes the stress tables and publishes both files (and the history when asked for; only
// the whole-deposit model keeps one). On any failure (cancel included)
// it discards what was written, so that earlier files stay as they were. Every event also
// reaches `observer`; when `rows` is given, it receives the thermal rows as the grid shows
// them.
void ExecuteRun(ModelState& state, const MaterialsCatalogue* catalogue, const ResultPaths& paths,
                RunSink& observer, ResultRowStore* rows = nullptr);

// The same files for a run that has ended (`state` as RunSimulation left it) whose thermal rows
// were kept: `replayRows` hands each row to the sink it is given, with its repeat flag, in the
// order the run gave them. The files hold the bytes ExecuteRun would have written.
void WriteResultFiles(const ModelState& state, const ResultPaths& paths,
                      const std::function<void(RunSink&)>& replayRows);

}  // namespace quillane
