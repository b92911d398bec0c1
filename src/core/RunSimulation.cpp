#include "core/RunSimulation.h"

#include <cmath>

#include "core/Errors.h"
#include "core/Validation.h"
#include "stress/StressDriver.h"
#include "thermal/LayerStack.h"
#include "thermal/ThermalStep.h"
#include "thermal/ThermalWriter.h"

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

void SetTorchEnvironment(ModelState& state) {
  state.Stack.BackGasTemperature = state.Input.GasTemperature;
  state.Stack.TopGasTemperature = state.Input.HeatFlux / state.Heat.TopHeatCoeff;
}

// A thermal step records its row; the run records it a second time, unchanged.
void StepAndRecord(ModelState& state, RunHost& host) {
  ThermalStep(state, host);
  RepeatThermalRow(state, host);
}

void CheckProgress(ModelState& state, RunHost& host, int passLimit) {
  const double passes = passLimit > 0 ? passLimit : 1;
  const double lamellae = state.Clock.LamellaCount > 0 ? state.Clock.LamellaCount : 1;
  const double fraction =
      (state.Clock.PassNumber - 1 + state.Clock.LamellaIndex / (lamellae + 1)) / passes;
  if (!host.Progress(fraction)) throw RunCancelled();
}

// Phase 1: heating before deposition.
void HeatBeforeDeposition(ModelState& state, RunHost& host) {
  const double end = state.Input.HeatingWindow / 3;
  while (state.Clock.PassTime <= end) {
    SetTorchEnvironment(state);
    StepAndRecord(state, host);
    AdvancePassClocks(state, NextStep(state, 3.0, end, state.Clock.PassTime, Clamp::AtOrBeyond));
  }
}

// Phase 2, one lamella: arrival, then steps until its period is over, with the solidification
// plateau when its top node falls below the melting point less 100 K.
void DepositLamella(ModelState& state, RunHost& host) {
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
    ThermalStep(state, host);
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
      WriteThermalRow(state, host);
      lamellaTime += plateau;
      clock.PassTime += plateau;
      clock.ElapsedTime += plateau;
      stepFactor = 1.1;
      WriteThermalRow(state, host);
    } else {
      RepeatThermalRow(state, host);
    }
    if (lamellaTime > 1e-5) stepFactor = 2;
    const double step =
        NextStep(state, stepFactor, clock.LamellaPeriod, lamellaTime, Clamp::AtOrBeyond);
    lamellaTime += step;
    AdvancePassClocks(state, step);
  }
}

// Phase 3: heating after deposition, until the end of the heating window.
void HeatAfterDeposition(ModelState& state, RunHost& host) {
  state.Clock.TimeStep = 0.01;
  const double end = state.Input.HeatingWindow;
  while (state.Clock.PassTime <= end) {
    SetTorchEnvironment(state);
    StepAndRecord(state, host);
    AdvancePassClocks(state, NextStep(state, 3, end, state.Clock.PassTime, Clamp::Beyond));
  }
}

// Phase 4: cooling in the gases until the next pass.
void CoolUntilNextPass(ModelState& state, RunHost& host) {
  state.Clock.TimeStep = 0.1;
  const double end = state.Input.PassPeriod;
  while (state.Clock.PassTime < end) {
    state.Stack.BackGasTemperature = state.Input.GasTemperature;
    state.Stack.TopGasTemperature = state.Input.GasTemperature;
    StepAndRecord(state, host);
    AdvancePassClocks(state, NextStep(state, 3, end, state.Clock.PassTime, Clamp::Beyond));
  }
}

void RunPass(ModelState& state, RunHost& host, int passLimit) {
  Schedule& clock = state.Clock;
  clock.PassTime = 0;
  clock.PassStartThickness = (clock.PassNumber - 1) * state.Input.PassThickness;
  clock.TimeStep = 0.01;
  HeatBeforeDeposition(state, host);
  for (clock.LamellaIndex = 1; clock.LamellaIndex <= clock.LamellaCount; ++clock.LamellaIndex) {
    CheckProgress(state, host, passLimit);
    DepositLamella(state, host);
  }
  HeatAfterDeposition(state, host);
  CoolUntilNextPass(state, host);
  clock.PassEndSurfaceTemperature = state.Stack.NodeTemperature(state.Stack.NodeCount);
  clock.LamellaIndex = 0;
  clock.PassNumber = clock.PassNumber + 1;
}

// Every run starts like the first run of the program, from the rows the user picked.
void PrepareRun(ModelState& state) {
  Schedule& clock = state.Clock;
  clock.LamellaIndex = 0;
  clock.PassNumber = 0;
  clock.PassStartThickness = 0;
  state.Stress.SubstrateThickness = 0;
  state.Statistics = RunStatistics{};

  LayerStack& stack = state.Stack;
  TakeSubstrateConstants(stack, state.Materials.Substrate);
  TakeCoatingConstants(stack, state.Materials.Coating);
  stack.MeltingPoint = state.Materials.Coating.Tfusion;
  clock.PassEndSurfaceTemperature = state.Input.SubstrateTemperature;
}

}  // namespace

void RunSimulation(ModelState& state, RunHost& host) {
  PrepareRun(state);
  Schedule& clock = state.Clock;
  LayerStack& stack = state.Stack;
  const double ratio = state.Input.PassThickness / state.Input.LamellaThickness;
  stack.LayerCount = 1;
  clock.LamellaCount = static_cast<int>(std::floor(ratio)) + 1;
  clock.LamellaPeriod = state.Input.HeatingWindow / clock.LamellaCount / 3.0;
  stack.NodeCount = stack.LayerCount + 1;
  stack.StepsSinceSetup = 0;
  clock.ElapsedTime = 0;
  StressResults& s = state.Stress;
  for (BasedArray<double>* array : {&s.LamellaForce, &s.NeutralAxisPosition, &s.FlexuralRigidity,
                                    &s.Curvature, &s.SubstrateStressBack, &s.SubstrateStressFront,
                                    &s.LamellaStress, &s.LamellaStressFinal, &s.Deflection}) {
    array->Redim(0, clock.LamellaCount);
  }
  SetUpLayerStack(state);
  host.ShowResultsWindow();
  host.HideStressWindows();

  clock.ElapsedTime = 0;
  const int passLimit = state.Input.PassCount;
  clock.PassNumber = 1;
  while (clock.PassNumber <= passLimit) RunPass(state, host, passLimit);

  if (!host.Progress(1.0)) throw RunCancelled();
  host.Beep();
  RunStressModel(state, host);
  host.Beep();
  host.Beep();
  state.Files.Thermal.Close();
  state.Files.Stress.Close();
}

void ExecuteRun(ModelState& state, RunHost& host) {
  ValidateRunInputs(state);
  ResultFiles& files = state.Files;
  if (files.ThermalPath.empty()) files.ThermalPath = kDefaultThermalPath;
  if (files.StressPath.empty()) files.StressPath = kDefaultStressPath;
  try {
    files.Thermal.Open(files.ThermalPath);
    files.Stress.Open(files.StressPath);
    RunSimulation(state, host);
  } catch (...) {
    files.Thermal.Discard();
    files.Stress.Discard();
    throw;
  }
}

}  // namespace quillane
