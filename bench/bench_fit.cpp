// Speed of calibration: a fit of the coating's quenching stress and modulus to a curvature
// record of a 1000-lamella run, and of its quenching stress, modulus and expansion to a record of
// a whole 20-pass deposit of 100 lamellae per pass (goal: under 5 s on 2 cores); the thermal
// history and the checks before the fit reports included.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "BenchCase.h"
#include "fit/Calibration.h"
#include "model/Deposit.h"
#include "run/RunSimulation.h"
#include "run/Validation.h"

namespace {

using namespace quillane;

void BM_FitTwoStressFigures1000Lamellae(benchmark::State& bench) {
  const MaterialsCatalogue catalogue = cases::OpenCatalogue();
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

// 20 passes of 100 µm in lamellae of 1 µm, NiCrAlY on 316L, in the whole-deposit model: a record
// made by the model with other coating figures, read every 0.25 s through the passes and for a
// while after the cooling to room temperature.
void BM_FitThreeStressFiguresWholeDeposit(benchmark::State& bench) {
  const MaterialsCatalogue catalogue = cases::OpenCatalogue();
  const ModelState state = cases::NiCrAlYOn316L(catalogue, 20, 100e-6, kWholeDepositModel);
  ModelState truth = state;
  MaterialRecord& coating = truth.Materials.Coating;
  coating.SigmaQ *= 1.3;
  coating.ModuleYoung *= 0.8;
  coating.dilat *= 1.1;
  const double end = state.Input.PassCount * state.Input.PassPeriod;
  std::vector<double> times;
  for (double t = 0.25; t < end + 10; t += 0.25) times.push_back(t);
  fit::CalibrationRecord record = fit::RecordOfRun(truth, times);
  record.Temperature.clear();
  fit::FitSettings settings;
  settings.Parameters = {fit::RequireFitParameter("coating.SigmaQ"),
                         fit::RequireFitParameter("coating.ModuleYoung"),
                         fit::RequireFitParameter("coating.dilat")};
  settings.Jobs = 2;
  for (auto _ : bench) {
    const fit::FitResult result = fit::FitRecord(state, record, settings);
    benchmark::DoNotOptimize(result.Value.data());
    bench.counters["iterations"] = result.Iterations;
    bench.counters["model_runs"] = result.ModelRuns;
    bench.counters["notes"] = static_cast<double>(result.Notes.size());
    bench.counters["sigma_q_error"] = result.Value[0] / coating.SigmaQ - 1;
    bench.counters["dilat_error"] = result.Value[2] / coating.dilat - 1;
  }
  bench.counters["lamellae"] = state.Input.PassCount * LamellaePerPass(state.Input);
  bench.counters["record_rows"] = static_cast<double>(record.Time.size());
}
BENCHMARK(BM_FitThreeStressFiguresWholeDeposit)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
