// Speed of the model: one thermal step of the full stack, a whole run written to disk, and the
// stress build-up of a long pass.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <unistd.h>
#include <filesystem>

#include "cli/BatchHost.h"
#include "core/RunSimulation.h"
#include "core/Validation.h"
#include "stress/StressDriver.h"
#include "thermal/LayerStack.h"
#include "thermal/ThermalStep.h"

namespace {

using namespace quillane;

// A host that draws nothing: the benchmarks measure the model alone.
class QuietHost : public RunHost {
 public:
  ResultGrid& Grid(GridId id) override { return id == GridId::Resultats ? rows_ : tables_; }
  void ShowResultsWindow() override {}
  void HideStressWindows() override {}
  void DrawBuildUpView(ModelState&, bool) override {}
  void DrawCoolingView(ModelState&, bool) override {}
  void DrawDeflectionHistory(ModelState&) override {}
  void Beep() override {}
  void ReportSingularMatrix() override {}
  bool Progress(double) override { return true; }

 private:
  CountingGrid rows_;
  CountingGrid tables_;
};

struct Catalogue {
  MaterialsCatalogue catalogue;
  Catalogue() {
    // The catalogue built beside the programs (the benchmarks live one folder below).
    std::filesystem::path path = DefaultCataloguePath();
    if (!std::filesystem::exists(path)) path = path.parent_path().parent_path() / "Brelon.db";
    catalogue.Open(path);
  }
};

void Prepare(ModelState& state, const MaterialsCatalogue& catalogue) {
  LoadInputFormState(state);
  state.Input.SubstrateMaterialName = "Acier 316L";
  state.Input.CoatingMaterialName = "NiCrAlY";
  state.Materials.Catalogue = &catalogue;
  ValidateRunInputs(state);
}

long MaxResidentKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_ThermalStepEightNodes(benchmark::State& bench) {
  Catalogue c;
  ModelState state;
  QuietHost host;
  Prepare(state, c.catalogue);
  for (BasedArray<double>* a :
       {&state.Stress.Curvature, &state.Stress.Deflection, &state.Stress.NeutralAxisPosition,
        &state.Stress.SubstrateStressBack, &state.Stress.SubstrateStressFront}) {
    a->Redim(0, 10);
  }
  state.Clock.PassNumber = 1;
  state.Clock.LamellaIndex = 7;
  SetUpLayerStack(state);
  state.Clock.ElapsedTime = 1;
  for (int i = 1; i <= 8; ++i) state.Stack.NodeTemperature(i) = 600 + 50 * i;
  state.Stack.StepsSinceSetup = 1;
  state.Stack.BackGasTemperature = 973;
  state.Stack.TopGasTemperature = 973;
  state.Clock.TimeStep = 1e-4;
  for (auto _ : bench) {
    AdvanceNodeTemperatures(state, host);
    benchmark::DoNotOptimize(state.Stack.NodeTemperature(8));
  }
  bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(BM_ThermalStepEightNodes);

// 100 passes of 50 lamellae, thermal file written to disk.
void BM_WholeRun(benchmark::State& bench) {
  Catalogue c;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quillane-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  long long steps = 0;
  long rssBefore = 0;
  for (auto _ : bench) {
    ModelState state;
    Prepare(state, c.catalogue);
    state.Input.PassCount = static_cast<int>(bench.range(0));
    state.Input.PassThickness = 49.5e-6;
    state.Files.ThermalPath = (dir / "thermique.txt").string();
    state.Files.StressPath = (dir / "stress.txt").string();
    QuietHost host;
    rssBefore = MaxResidentKilobytes();
    ExecuteRun(state, host);
    // Each step writes its row twice (a third row when a lamella solidifies).
    steps += state.Statistics.ThermalRowCount / 2;
  }
  std::filesystem::remove_all(dir);
  bench.counters["steps_per_s"] =
      benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
  bench.counters["max_rss_growth_kB"] = static_cast<double>(MaxResidentKilobytes() - rssBefore);
}
BENCHMARK(BM_WholeRun)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

// The stresses of one pass of many lamellae, without drawing.
void BM_StressBuildUp(benchmark::State& bench) {
  const int n = static_cast<int>(bench.range(0));
  for (auto _ : bench) {
    bench.PauseTiming();
    ModelState state;
    QuietHost host;
    state.Clock.LamellaCount = n;
    for (BasedArray<double>* a : {&state.Stress.LamellaForce, &state.Stress.NeutralAxisPosition,
                                  &state.Stress.FlexuralRigidity, &state.Stress.Curvature,
                                  &state.Stress.SubstrateStressBack,
                                  &state.Stress.SubstrateStressFront, &state.Stress.LamellaStress,
                                  &state.Stress.LamellaStressFinal, &state.Stress.Deflection}) {
      a->Redim(0, n);
    }
    state.Stress.SubstrateThickness = 0.002;
    state.Stress.LamellaThicknessCopy = 1e-6;
    state.Stress.StressWidth = 0.02;
    state.Input.SpecimenLength = 0.08;
    state.Stack.SubstrateYoung = 193e9;
    state.Stack.SubstratePoisson = 0.3;
    state.Stack.CoatingYoung = 120e9;
    state.Stack.CoatingPoisson = 0.3;
    state.Stack.LastSigmaQ = 1e8;
    state.Stack.SubstrateExpansion = 16e-6;
    state.Stack.CoatingExpansion = 14e-6;
    state.Stack.MeltingPoint = 1630;
    state.Clock.PassEndSurfaceTemperature = 700;
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    state.Files.Thermal.Open(dir / ("quillane-bench-t-" + std::to_string(getpid())));
    state.Files.Stress.Open(dir / ("quillane-bench-s-" + std::to_string(getpid())));
    bench.ResumeTiming();
    RunStressModel(state, host);
    benchmark::DoNotOptimize(state.Stress.FinalCurvature);
  }
  bench.SetItemsProcessed(bench.iterations() * n);
}
BENCHMARK(BM_StressBuildUp)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
