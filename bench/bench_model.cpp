// Speed of the model: one thermal step of the full stack, a whole run written to disk (and how
// close it comes to a bare loop doing the same steps and rows), and the stress build-up of a
// long pass.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>

#include "io/AtomicFile.h"
#include "materials/MaterialsCatalogue.h"
#include "run/ResultWriter.h"
#include "run/RunSimulation.h"
#include "run/Validation.h"
#include "stress/StressDriver.h"
#include "thermal/LayerStack.h"
#include "thermal/ThermalRow.h"
#include "thermal/ThermalStep.h"

namespace {

using namespace quillane;

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
  ApplyDefaults(state);
  state.Input.SubstrateMaterialName = "Acier 316L";
  state.Input.CoatingMaterialName = "NiCrAlY";
  ValidateRunInputs(state, &catalogue);
}

long MaxResidentKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

std::filesystem::path BenchDir() {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quillane-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  return dir;
}

// A thermal stack of the given node count (2 to 8), with the model's working arrays, at the
// given elapsed time (0 fills every node with the substrate temperature).
void SetUpStack(ModelState& state, int nodes, double elapsed) {
  for (BasedArray<double>* a :
       {&state.Stress.Curvature, &state.Stress.Deflection, &state.Stress.NeutralAxisPosition,
        &state.Stress.SubstrateStressBack, &state.Stress.SubstrateStressFront}) {
    a->Redim(0, 10);
  }
  // Two nodes on a bare substrate, three in a later pass, then a lamella per node.
  state.Clock.PassNumber = nodes == 3 ? 2 : 1;
  state.Clock.LamellaIndex = nodes <= 3 ? 0 : nodes - 3;
  state.Clock.ElapsedTime = elapsed;
  SetUpLayerStack(state);
}

void BM_ThermalStepEightNodes(benchmark::State& bench) {
  Catalogue c;
  ModelState state;
  NullSink sink;
  Prepare(state, c.catalogue);
  SetUpStack(state, 8, 1);
  for (int i = 1; i <= 8; ++i) state.Stack.NodeTemperature(i) = 600 + 50 * i;
  state.Stack.StepsSinceSetup = 1;
  state.Stack.BackGasTemperature = 973;
  state.Stack.TopGasTemperature = 973;
  state.Clock.TimeStep = 1e-4;
  for (auto _ : bench) {
    AdvanceNodeTemperatures(state, sink);
    benchmark::DoNotOptimize(state.Stack.NodeTemperature(8));
  }
  bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(BM_ThermalStepEightNodes);

// Counts the rows of a run by their node count, so that a bare loop can write as many of each.
class RowCounter : public NullSink {
 public:
  void ThermalRow(const ThermalRecord& record, bool) override { ++rows[record.NodeCount]; }
  std::array<long long, ThermalRecord::kMaxNodes + 1> rows{};
};

// What a run writes of each row and nothing else: the formatted text into the thermal file.
class FileRows : public NullSink {
 public:
  FileRows(char separator, AtomicFile& file) : formatter_(separator), file_(file) {}
  void ThermalRow(const ThermalRecord& record, bool repeat) override {
    file_.WriteLine(formatter_.Format(record, repeat));
  }

 private:
  ThermalRowFormatter formatter_;
  AtomicFile& file_;
};

struct WholeRun {
  long long steps = 0;
  double seconds = 0;
  std::array<long long, ThermalRecord::kMaxNodes + 1> rows{};
};

// 50 lamellae a pass, thermal file written to disk.
WholeRun RunWhole(const MaterialsCatalogue& catalogue, int passes,
                  const std::filesystem::path& dir) {
  ModelState state;
  Prepare(state, catalogue);
  state.Input.PassCount = passes;
  state.Input.PassThickness = 49.5e-6;
  const ResultPaths paths{(dir / "thermique.txt").string(), (dir / "stress.txt").string()};
  RowCounter counter;
  const auto start = std::chrono::steady_clock::now();
  ExecuteRun(state, &catalogue, paths, counter);
  WholeRun run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // Each step writes its row twice (a third row when a lamella solidifies).
  run.steps = state.Statistics.ThermalRowCount / 2;
  run.rows = counter.rows;
  return run;
}

// The floor of a whole run: as many steps, on stacks of the same node counts, each assembled,
// solved, formatted and written twice to a file as the run does; no schedule, no layer set-up
// between lamellae, no observer, no stress model. Returns the seconds taken.
double RunFloor(const MaterialsCatalogue& catalogue, const WholeRun& whole,
                const std::filesystem::path& dir) {
  ModelState state;
  Prepare(state, catalogue);
  SetUpStack(state, 2, 0);
  const auto start = std::chrono::steady_clock::now();
  AtomicFile file;
  file.Open(dir / "floor.txt");
  FileRows rows(state.Locale.DecimalSeparator, file);
  for (int nodes = 2; nodes <= ThermalRecord::kMaxNodes; ++nodes) {
    const long long count = whole.rows[static_cast<std::size_t>(nodes)];
    if (count == 0) continue;
    SetUpStack(state, nodes, 1);
    for (int i = 1; i <= nodes; ++i) {
      if (state.Stack.NodeTemperature(i) == 0) state.Stack.NodeTemperature(i) = 900;
    }
    state.Stack.BackGasTemperature = state.Input.GasTemperature;
    state.Stack.TopGasTemperature = state.Input.GasTemperature;
    state.Clock.TimeStep = 1e-3;
    for (long long written = 0; written < count; written += 2) {
      ThermalStep(state, rows);
      if (written + 1 < count) RepeatThermalRow(state, rows);
      state.Clock.ElapsedTime += state.Clock.TimeStep;
    }
  }
  file.Flush();
  file.Close();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_WholeRun(benchmark::State& bench) {
  Catalogue c;
  const std::filesystem::path dir = BenchDir();
  long long steps = 0;
  long rssBefore = 0;
  for (auto _ : bench) {
    rssBefore = MaxResidentKilobytes();
    steps += RunWhole(c.catalogue, static_cast<int>(bench.range(0)), dir).steps;
  }
  std::filesystem::remove_all(dir);
  bench.counters["steps_per_s"] =
      benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
  bench.counters["max_rss_growth_kB"] = static_cast<double>(MaxResidentKilobytes() - rssBefore);
}
BENCHMARK(BM_WholeRun)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

// A whole run and its floor, one after the other: the ratio of their step rates tells what the
// run's own machinery costs over the bare work of its rows (1 would be no cost at all).
void BM_WholeRunOverFloor(benchmark::State& bench) {
  Catalogue c;
  const std::filesystem::path dir = BenchDir();
  double wholeSeconds = 0;
  double floorSeconds = 0;
  long long steps = 0;
  for (auto _ : bench) {
    const WholeRun whole = RunWhole(c.catalogue, static_cast<int>(bench.range(0)), dir);
    wholeSeconds += whole.seconds;
    floorSeconds += RunFloor(c.catalogue, whole, dir);
    steps += whole.steps;
  }
  std::filesystem::remove_all(dir);
  bench.counters["whole_steps_per_s"] = static_cast<double>(steps) / wholeSeconds;
  bench.counters["floor_steps_per_s"] = static_cast<double>(steps) / floorSeconds;
  bench.counters["whole_over_floor"] = floorSeconds / wholeSeconds;
}
BENCHMARK(BM_WholeRunOverFloor)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);

// The stresses of one pass of many lamellae, without drawing.
void BM_StressBuildUp(benchmark::State& bench) {
  const int n = static_cast<int>(bench.range(0));
  NullSink sink;
  for (auto _ : bench) {
    bench.PauseTiming();
    ModelState state;
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
    bench.ResumeTiming();
    RunStressModel(state, sink);
    benchmark::DoNotOptimize(state.Stress.FinalCurvature);
  }
  bench.SetItemsProcessed(bench.iterations() * n);
}
BENCHMARK(BM_StressBuildUp)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
