// Speed of the whole-deposit model against the one-pass model on the same case: 20 passes of
// 100 lamellae. The whole deposit solves its own field (a tridiagonal system per step, over
// cells whose number grows with the logarithm of the deposit) on a grid fixed by the schedule;
// the goal is at most 3 times the one-pass run.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "BenchCase.h"
#include "materials/MaterialsCatalogue.h"
#include "run/RunSimulation.h"
#include "run/Validation.h"

namespace {

using namespace quillane;

// Seconds of one run: the model alone, or with its result files written.
double Seconds(const MaterialsCatalogue& catalogue, const char* model, bool files) {
  // 20 passes of 100 µm in lamellae of 1 µm.
  ModelState state = cases::NiCrAlYOn316L(catalogue, 20, 100e-6, model);
  NullSink sink;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quillane-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto start = std::chrono::steady_clock::now();
  if (files) {
    ExecuteRun(state, &catalogue, {(dir / "thermique.txt").string(), (dir / "stress.txt").string()},
               sink);
  } else {
    RunSimulation(state, sink);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::filesystem::remove_all(dir);
  benchmark::DoNotOptimize(state.Stress.FinalCurvature);
  return seconds;
}

void BM_TwentyPasses(benchmark::State& bench, const char* model, bool files) {
  const MaterialsCatalogue catalogue = cases::OpenCatalogue();
  for (auto _ : bench) {
    const double seconds = Seconds(catalogue, model, files);
    bench.SetIterationTime(seconds);
  }
}
BENCHMARK_CAPTURE(BM_TwentyPasses, one_pass, kOnePassModel, false)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TwentyPasses, whole_deposit, kWholeDepositModel, false)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Both models in turn, so that the ratio compares runs made under the same load of the machine.
void BM_WholeDepositOverOnePass(benchmark::State& bench) {
  const MaterialsCatalogue catalogue = cases::OpenCatalogue();
  const bool files = bench.range(0) != 0;
  double one = 0;
  double whole = 0;
  for (auto _ : bench) {
    one += Seconds(catalogue, kOnePassModel, files);
    whole += Seconds(catalogue, kWholeDepositModel, files);
  }
  bench.counters["ratio"] = whole / one;
  bench.counters["one_pass_ms"] = 1e3 * one / static_cast<double>(bench.iterations());
  bench.counters["whole_deposit_ms"] = 1e3 * whole / static_cast<double>(bench.iterations());
}
// 0: the models alone; 1: with the result files written.
BENCHMARK(BM_WholeDepositOverOnePass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
