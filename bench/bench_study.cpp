// Speed of parameter studies: a point that keeps no file against the same point with its files,
// a 200-point study of the default case on one thread and on every core, and the resident
// memory after studies of growing size.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>

#include "BenchCase.h"
#include "study/StudyDesign.h"
#include "study/StudyRunner.h"
#include "study/StudyTable.h"

namespace {

using namespace quillane;

// The default case with `points` heat fluxes, each run `passes` passes long.
study::Study HeatFluxStudy(long points, int passes) {
  study::Study study;
  study.Base = DefaultInputs();
  study.Base.SubstrateMaterialName = "Acier 316L";
  study.Base.CoatingMaterialName = "NiCrAlY";
  study.Base.PassCount = passes;
  study::Quantity flux;
  flux.Spec = &Quantity("HeatFlux");
  for (long i = 0; i < points; ++i) flux.Values.push_back(1e6 + 1e4 * static_cast<double>(i));
  study.Vary.push_back(flux);
  return study;
}

// One point of 20 passes; with the argument 1 its result files and summary are written.
void BM_Point(benchmark::State& state) {
  const MaterialsCatalogue catalogue = cases::OpenCatalogue();
  const study::Study study = HeatFluxStudy(1, 20);
  study::StudyOptions options;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quillane-bench-" + std::to_string(getpid()));
  if (state.range(0) == 1) options.KeepFilesIn = dir;
  long long rows = 0;
  for (auto _ : state) {
    const study::PointResult result =
        study::RunPoint(study, study.Vary[0].Values, catalogue, options, 0);
    rows += static_cast<long long>(result.Results[7]);
  }
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_Point)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A 200-point study of the default case on `jobs` threads; points per second as items.
void BM_Study200(benchmark::State& state) {
  const MaterialsCatalogue catalogue = cases::OpenCatalogue();
  const study::Study study = HeatFluxStudy(200, 1);
  const auto points = study::DesignPoints(study);
  std::vector<std::size_t> todo(points.size());
  for (std::size_t i = 0; i < todo.size(); ++i) todo[i] = i;
  study::StudyOptions options;
  options.Jobs = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::size_t done = 0;
    study::RunPoints(study, points, todo, catalogue, options,
                     [&](std::size_t, const study::PointResult&) { ++done; });
    benchmark::DoNotOptimize(done);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(points.size()));
}
BENCHMARK(BM_Study200)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Studies of growing size, smallest first: the peak resident size stays where the first put it
// when memory does not grow with the number of points.
void BM_StudyMemory(benchmark::State& state) {
  const MaterialsCatalogue catalogue = cases::OpenCatalogue();
  const study::Study study = HeatFluxStudy(state.range(0), 2);
  const auto points = study::DesignPoints(study);
  std::vector<std::size_t> todo(points.size());
  for (std::size_t i = 0; i < todo.size(); ++i) todo[i] = i;
  for (auto _ : state) {
    study::RunPoints(study, points, todo, catalogue, {},
                     [](std::size_t, const study::PointResult&) {});
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_kB"] = static_cast<double>(usage.ru_maxrss);
}
BENCHMARK(BM_StudyMemory)
    ->Arg(50)
    ->Arg(400)
    ->Arg(3200)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
