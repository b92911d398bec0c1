#include "run/RunSimulation.h"

#include "io/AtomicFile.h"
#include "model/Deposit.h"
#include "model/Errors.h"
#include "run/ResultWriter.h"
#include "run/Validation.h"
#include "stress/StressDriver.h"
#include "stress/WholeDeposit.h"
#include "thermal/DepositRun.h"
#include "thermal/LayerStack.h"
#include "thermal/ThermalRow.h"
#include "thermal/ThermalStep.h"

namespace quillane {

namespace {

constexpr double kMinStep = 1e-9;

// How the clock of a phase is clamped onto its end.
enum class Clamp { AtOrBeyond, Beyond };

struct PassClocks {
  double StepFactor = 0;
  double LamellaTime = 0;
};

// The common step rule: grow the step, land it just short of the phase end, never below 1e-9 s.
// Returns the step by which the clocks advance.
double NextStep(ModelState& state, double stepFactor, double end, double clock, Clamp clamp) {
  double& step = state.Clock.TimeStep;
  step = step * stepFactor;
  const double remaining = end - clock;
  if (clamp == Clamp::AtOrBeyond ? remaining <= step : remaining < step) {
    step = remaining - kMinStep;
  }
  if (step <= kMinStep) step = kMinStep;
  return step;
}

void AdvancePassClocks(ModelState& state, double step) {
  state.Clock.PassTime += step;
  state.Clock.ElapsedTime += step;
}

// The torch acts on the top surface as an equivalent gas temperature.
void SetTorchEnvironment(ModelState& state) {
  state.Stack.BackGasTemperature = state.Input.GasTemperature;
  state.Stack.TopGasTemperature = state.Input.HeatFlux / state.Heat.TopHeatCoeff;
}

// A thermal step records its row; the run records it a second time, unchanged.
void StepAndRecord(ModelState& state, RunSink& sink) {
  ThermalStep(state, sink);
  RepeatThermalRow(state, sink);
}

void CheckProgress(ModelState& state, RunSink& sink, int passLimit) {
  const double passes = passLimit > 0 ? passLimit : 1;
  const double lamellae = state.Clock.LamellaCount > 0 ? state.Clock.LamellaCount : 1;
  const double fraction =
      (state.Clock.PassNumber - 1 + state.Clock.LamellaIndex / (lamellae + 1)) / passes;
  if (!sink.Progress(fraction)) throw RunCancelled();
}

// Phase 1: heating before deposition.
void HeatBeforeDeposition(ModelState& state, RunSink& sink) {
  const double end = state.Input.HeatingWindow / 3;
  while (state.Clock.PassTime <= end) {
    SetTorchEnvironment(state);
    StepAndRecord(state, sink);
    AdvancePassClocks(state, NextStep(state, 3.0, end, state.Clock.PassTime, Clamp::AtOrBeyond));
  }
}

// Phase 2, one lamella: arrival, then steps until its period is over, with the solidification
// plateau when its top node falls below the melting point less 100 K.
void DepositLamella(ModelState& state, RunSink& sink) {
  LayerStack& stack = state.Stack;
  Schedule& clock = state.Clock;
  double lamellaTime = 0;
  double plateauBacklog = 0;
  double stepFactor = 1.1;
  bool molten = false;
  clock.TimeStep = kMinStep;
  SetUpLayerStack(state);
  while (lamellaTime < clock.LamellaPeriod) {
    const int n = stack.NodeCount;
    if (lamellaTime == 0) {
      stack.NodeTemperature(n - 1) =
          (state.Input.ParticleTemperature + stack.NodeTemperature(n - 1)) / 2;
      stack.NodeTemperature(n) = state.Input.ParticleTemperature;
      molten = true;
    }
    SetTorchEnvironment(state);
    ThermalStep(state, sink);
    const double solidus = stack.MeltingPoint - 100;
    if (stack.NodeTemperature(n) < solidus && molten) {
      plateauBacklog += stack.SolidificationTime;
      double plateau;
      if (plateauBacklog > clock.LamellaPeriod) {
        plateau = clock.LamellaPeriod - kMinStep;
      } else {
        plateau = plateauBacklog;
        molten = false;
      }
      plateauBacklog = plateauBacklog - plateau;
      stack.NodeTemperature(n) = solidus;
      stack.NodeTemperature(n - 1) = solidus;
      WriteThermalRow(state, sink);
      lamellaTime += plateau;
      clock.PassTime += plateau;
      clock.ElapsedTime += plateau;
      stepFactor = 1.1;
      WriteThermalRow(state, sink);
    } else {
      RepeatThermalRow(state, sink);
    }
    if (lamellaTime > 1e-5) stepFactor = 2;
    const double step =
        NextStep(state, stepFactor, clock.LamellaPeriod, lamellaTime, Clamp::AtOrBeyond);
    lamellaTime += step;
    AdvancePassClocks(state, step);
  }
}

// Phase 3: heating after deposition, until the end of the heating window.
void HeatAfterDeposition(ModelState& state, RunSink& sink) {
  state.Clock.TimeStep = 0.01;
  const double end = state.Input.HeatingWindow;
  while (state.Clock.PassTime <= end) {
    SetTorchEnvironment(state);
    StepAndRecord(state, sink);
    AdvancePassClocks(state, NextStep(state, 3, end, state.Clock.PassTime, Clamp::Beyond));
  }
}

// Phase 4: cooling in the gases until the next pass.
void CoolUntilNextPass(ModelState& state, RunSink& sink) {
  state.Clock.TimeStep = 0.1;
  const double end = state.Input.PassPeriod;
  while (state.Clock.PassTime < end) {
    state.Stack.BackGasTemperature = state.Input.GasTemperature;
    state.Stack.TopGasTemperature = state.Input.GasTemperature;
    StepAndRecord(state, sink);
    AdvancePassClocks(state, NextStep(state, 3, end, state.Clock.PassTime, Clamp::Beyond));
  }
}

// When the lamella about to be laid arrives. The model builds the lamellae of one pass, whose
// times are those of the first.
void RecordLamellaTime(ModelState& state) {
  const Schedule& clock = state.Clock;
  if (clock.PassNumber == 1) state.Stress.LamellaTime(clock.LamellaIndex) = clock.ElapsedTime;
}

void RunPass(ModelState& state, RunSink& sink, int passLimit) {
  Schedule& clock = state.Clock;
  clock.PassTime = 0;
  clock.PassStartThickness = (clock.PassNumber - 1) * state.Input.PassThickness;
  clock.TimeStep = 0.01;
  HeatBeforeDeposition(state, sink);
  for (clock.LamellaIndex = 1; clock.LamellaIndex <= clock.LamellaCount; ++clock.LamellaIndex) {
    CheckProgress(state, sink, passLimit);
    RecordLamellaTime(state);
    DepositLamella(state, sink);
  }
  HeatAfterDeposition(state, sink);
  CoolUntilNextPass(state, sink);
  clock.PassEndSurfaceTemperature = state.Stack.NodeTemperature(state.Stack.NodeCount);
  clock.LamellaIndex = 0;
  clock.PassNumber = clock.PassNumber + 1;
}

// Only the whole-deposit model keeps a history; asking the other for one is refused before any
// file is opened.
void CheckHistoryAsked(const ModelState& state, const ResultPaths& paths) {
  if (paths.History.empty() || ModelOf(state.Input) == StressModelKind::WholeDeposit) return;
  throw InputError(
      {"A history (--history) is kept by the whole-deposit model only "
       "(StressModel \"whole-deposit\", --stress-model whole-deposit)."});
}

// The files of a run, opened before it starts: until they are published, they are temporaries
// that a failure drops. The extras come first, so that they are renamed before the result files.
class ResultFiles {
 public:
  ResultFiles(const ResultPaths& paths, const RunExtras& extras) : extras_(extras) {
    if (extras.Open) extras.Open(files_);
    if (!paths.History.empty()) history_ = &files_.Open(paths.History, "history file");
    stress_ = &files_.Open(paths.Stress, "result file");
    thermal_ = &files_.Open(paths.Thermal, "result file");
  }

  AtomicFile* Thermal() const { return thermal_; }
  AtomicFile* History() const { return history_; }

  // The tables that follow the thermal rows, the stress file and the extras, then every file
  // published: each reaches the disk before any replaces an earlier one (a full disk cannot leave
  // a new stress file beside the old thermal results), and the renames follow each other at
  // once, after a last look at the stop.
  void Publish(const ModelState& state, RunSink& watch) {
    WriteBeforeCoolingTable(state, *thermal_, &watch);
    WriteStressResultsFile(state, *stress_, &watch);
    if (extras_.Write) extras_.Write(state);
    files_.Publish([&watch] {
      if (!watch.Progress(1.0)) throw RunCancelled();
    });
  }

 private:
  const RunExtras& extras_;
  AtomicFileSet files_;
  AtomicFile* history_ = nullptr;
  AtomicFile* stress_ = nullptr;
  AtomicFile* thermal_ = nullptr;
};

// The plate follows the thermal run event by event.
class FollowingPlate : public DepositEventSink {
 public:
  explicit FollowingPlate(DepositPlateFollower& follower) : follower_(follower) {}
  void Begin() override { follower_.Start(); }
  void Event(const DepositEvent& event) override { follower_.Event(event); }
  void PassEnd() override { follower_.PassEnd(); }

 private:
  DepositPlateFollower& follower_;
};

// Every run starts like the first run of the program, from the rows the user picked.
void PrepareRun(ModelState& state) {
  Schedule& clock = state.Clock;
  clock.LamellaIndex = 0;
  clock.PassNumber = 0;
  clock.PassStartThickness = 0;
  state.Stress.SubstrateThickness = 0;
  state.Statistics = RunStatistics{};
  state.Timeline = DepositTimeline{};
  // The stress model's width is the substrate's.
  state.Stress.StressWidth = state.Input.SubstrateWidth;

  LayerStack& stack = state.Stack;
  TakeSubstrateConstants(stack, state.Materials.Substrate);
  TakeCoatingConstants(stack, state.Materials.Coating);
  stack.MeltingPoint = state.Materials.Coating.Tfusion;
  clock.PassEndSurfaceTemperature = state.Input.SubstrateTemperature;
}

}  // namespace

void RunThermalHistory(ModelState& state, RunSink& sink) {
  state.Model = ModelOf(state.Input);
  if (state.Model == StressModelKind::WholeDeposit) {
    RunDepositThermalHistory(state, sink);
    return;
  }
  PrepareRun(state);
  Schedule& clock = state.Clock;
  LayerStack& stack = state.Stack;
  stack.LayerCount = 1;
  clock.LamellaCount = LamellaePerPass(state.Input);
  clock.LamellaPeriod = state.Input.HeatingWindow / clock.LamellaCount / 3.0;
  stack.NodeCount = stack.LayerCount + 1;
  stack.StepsSinceSetup = 0;
  clock.ElapsedTime = 0;
  // The stress model holds the lamellae of one pass.
  state.Stress.SizeLamellaArrays(clock.LamellaCount);
  SetUpLayerStack(state);

  clock.ElapsedTime = 0;
  const int passLimit = state.Input.PassCount;
  clock.PassNumber = 1;
  while (clock.PassNumber <= passLimit) RunPass(state, sink, passLimit);
}

void RunSimulation(ModelState& state, RunSink& sink, const HistoryKeeping& keeping) {
  state.Model = ModelOf(state.Input);
  if (state.Model != StressModelKind::WholeDeposit) {
    RunThermalHistory(state, sink);
    if (!sink.Progress(1.0)) throw RunCancelled();
    RunStressModel(state, sink);
    return;
  }
  DepositPlateFollower follower(state, sink,
                                SprayedPasses(SprayedCoats(state.Input, state.Materials)), keeping);
  FollowingPlate plate(follower);
  RunDepositThermalHistory(state, sink, &plate);
  if (!sink.Progress(1.0)) throw RunCancelled();
  follower.Finish();
}

std::vector<NamedOutput> NamedResultFiles(const ResultPaths& paths) {
  std::vector<NamedOutput> named{{"--thermal", paths.Thermal}, {"--stress", paths.Stress}};
  if (!paths.History.empty()) named.push_back({"--history", paths.History});
  return named;
}

void CheckDistinctOutputs(const std::vector<NamedOutput>& outputs) {
  std::vector<std::filesystem::path> resolved;
  for (const NamedOutput& output : outputs) {
    std::error_code error;
    // A device or a pipe is written to, never replaced: several outputs may go there.
    const auto status = std::filesystem::status(output.Path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
      resolved.emplace_back();
      continue;
    }
    std::filesystem::path path = std::filesystem::weakly_canonical(output.Path, error);
    if (error) path = std::filesystem::absolute(output.Path, error).lexically_normal();
    resolved.push_back(path);
  }
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (resolved[i].empty() || resolved[i] != resolved[j]) continue;
      throw InputError({outputs[j].Name + " (" + outputs[j].Path.string() + ") and " +
                        outputs[i].Name + " (" + outputs[i].Path.string() +
                        ") name the same file: one would replace the other."});
    }
  }
}

void ExecuteRun(ModelState& state, const MaterialsCatalogue* catalogue, const ResultPaths& paths,
                RunSink& observer, ResultRowStore* rows, const RunExtras& extras) {
  ValidateRunInputs(state, catalogue);
  CheckHistoryAsked(state, paths);
  CheckDistinctOutputs(NamedResultFiles(paths));
  ResultFiles files(paths, extras);
  ResultWriter writer(state.Locale.DecimalSeparator, observer, files.Thermal(), rows);
  HistoryKeeping keeping;
  keeping.Whole = extras.WholeHistory;
  if (!keeping.Whole && ModelOf(state.Input) == StressModelKind::WholeDeposit) {
    keeping.EndTime = DepositRunEndTime(state.Input, state.Materials);
  }
  // The history goes to its file point by point, as the plate follows the run.
  std::string line;
  if (AtomicFile* history = files.History()) {
    history->Write(std::string(kHistoryHeading) + "\n");
    keeping.Point = [history, &line](const HistoryPoint& point) {
      line.clear();
      AppendHistoryLine(line, point);
      history->Write(line);
    };
  }
  RunSimulation(state, writer, keeping);
  files.Publish(state, observer);
}

void WriteResultFiles(const ModelState& state, const ResultPaths& paths,
                      const std::function<void(RunSink&)>& replayRows, RunSink* watch,
                      const RunExtras& extras) {
  CheckHistoryAsked(state, paths);
  CheckDistinctOutputs(NamedResultFiles(paths));
  ResultFiles files(paths, extras);
  // The rows go to the files alone; `watch` is asked whether to go on, and told nothing else.
  NullSink none;
  RunSink& stop = watch != nullptr ? *watch : none;
  ResultWriter writer(state.Locale.DecimalSeparator, none, files.Thermal(), nullptr);
  replayRows(writer);
  if (AtomicFile* history = files.History()) WriteHistoryFile(state, *history, &stop);
  files.Publish(state, stop);
}

}  // namespace quillane
