#pragma once
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "io/AtomicFile.h"
#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"
#include "model/RunSink.h"
#include "run/ResultRowStore.h"
#include "stress/WholeDeposit.h"

namespace quillane {

// One simulation run on the state given (the caller's own copy): the thermal history pass
// after pass, then the stress model, handing rows and events to the sink. Throws RunCancelled
// when the sink's progress asks to stop. The whole-deposit plate follows the thermal run event
// by event, so that its timeline is not kept (state.Timeline keeps the lamellae's temperatures
// only); `keeping` says what it keeps of its history.
void RunSimulation(ModelState& state, RunSink& sink, const HistoryKeeping& keeping = {});

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

// What a caller writes and keeps beside the result files.
struct RunExtras {
  // Files published with the result files, in one set: opened before the run (a bad path then
  // changes nothing) and renamed before them, in the order opened; filled by Write once the run
  // has ended well, before any file is renamed.
  std::function<void(AtomicFileSet&)> Open;
  std::function<void(const ModelState&)> Write;
  // Whether the state keeps the whole-deposit model's whole history, or only the points its
  // deflection picture draws; the history file gets every point either way.
  bool WholeHistory = true;
};

// An output of a run and what names it in messages ("--summary").
struct NamedOutput {
  std::string Name;
  std::filesystem::path Path;
};

// Refuses (InputError) two outputs that are one file once links, "." and ".." are resolved,
// naming both. Devices and pipes, which are written to rather than replaced, may be shared.
void CheckDistinctOutputs(const std::vector<NamedOutput>& outputs);

// The result files as the batch program's flags name them.
std::vector<NamedOutput> NamedResultFiles(const ResultPaths& paths);

// What the "Execution calculs" command does: validates the inputs (InputError lists every
// fault, nothing opened), refuses outputs that are one file, takes the picked rows from the
// catalogue, opens the result files and the extras, runs (the thermal rows and the history go
// to their files as they are made), writes the stress tables and the extras, and publishes every
// file in one set (the extras, the history when asked for, which only the whole-deposit model
// keeps, the stress file, then the thermal file). On any failure (cancel included, which
// `observer`'s progress is asked for until the first rename) it discards what was written, so
// that earlier files stay as they were. Every event also reaches `observer`; when `rows` is
// given, it receives the thermal rows as the grid shows them.
void ExecuteRun(ModelState& state, const MaterialsCatalogue* catalogue, const ResultPaths& paths,
                RunSink& observer, ResultRowStore* rows = nullptr, const RunExtras& extras = {});

// The same files for a run that has ended (`state` as RunSimulation left it, with its whole
// history) whose thermal rows were kept: `replayRows` hands each row to the sink it is given,
// with its repeat flag, in the order the run gave them. The files hold the bytes ExecuteRun
// would have written. `watch`'s progress, when given, is asked whether to go on.
void WriteResultFiles(const ModelState& state, const ResultPaths& paths,
                      const std::function<void(RunSink&)>& replayRows, RunSink* watch = nullptr,
                      const RunExtras& extras = {});

}  // namespace quillane
