// Speed of calibration: a fit of the coating's quenching stress and modulus to a curvature
// record of a 1000-lamella run, the thermal history included.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "fit/Calibration.h"
#include "run/RunSimulation.h"
#include "run/Validation.h"

namespace {

using namespace quillane;

void BM_FitTwoStressFigures1000Lamellae(benchmark::State& bench) {
  std::filesystem::path path = DefaultCataloguePath();
  if (!std::filesystem::exists(path)) path = path.parent_path().parent_path() / "Brelon.db";
  MaterialsCatalogue catalogue;
  catalogue.Open(path);
  ModelState state;
  ApplyDefaults(state);
  state.Input.SubstrateMaterialName = "Acier 316L";
  state.Input.CoatingMaterialName = "NiCrAlY";
  state.Input.PassCount = 1;
  state.Input.PassThickness = 1e-4;
  state.Input.LamellaThickness = 1.0001e-7;
  ValidateRunInputs(state, &catalogue);
  // The record: a run with other figures, read after every lamella and after the cooling.
  ModelState truth = state;
  truth.Materials.Coating.SigmaQ = state.Materials.Coating.SigmaQ * 1.3;
  truth.Materials.Coating.ModuleYoung = state.Materials.Coating.ModuleYoung * 0.8;
  NullSink sink;
  RunSimulation(truth, sink);
  fit::CalibrationRecord record;
  for (int k = 1; k <= truth.Clock.LamellaCount; ++k) {
    record.Time.push_back(truth.Stress.LamellaTime(k) + 1e-6);
    record.Curvature.push_back(truth.Stress.Curvature(k));
  }
  record.Time.push_back(truth.Clock.ElapsedTime + 1);
  record.Curvature.push_back(truth.Stress.FinalCurvature);
  fit::FitSettings settings;
  settings.Parameters = {fit::RequireFitParameter("coating.SigmaQ"),
                         fit::RequireFitParameter("coating.ModuleYoung")};
  for (auto _ : bench) {
    const fit::FitResult result = fit::FitRecord(state, record, settings);
    benchmark::DoNotOptimize(result.Value.data());
    bench.counters["iterations"] = result.Iterations;
  }
  bench.counters["lamellae"] = truth.Clock.LamellaCount;
}
BENCHMARK(BM_FitTwoStressFigures1000Lamellae)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
