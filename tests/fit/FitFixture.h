#pragma once
// The fit tests' set-up: the reference case over the small catalogue, the settings of a fit of
// some figures, and records the model itself makes, with seeded noise where asked.

#include <gmock/gmock.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "ModelFixture.h"
#include "fit/Calibration.h"
#include "io/CaseFile.h"
#include "run/QuantityTable.h"

namespace quillane::fit {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

class FitFixture : public test::ModelFixture {
 protected:
  void SetUp() override {
    ModelFixture::SetUp();
    ReadCaseFile(test::DataDir() / "p1" / "case.json", state.Input);
    ResolveMaterials();
  }

  static FitSettings Fitting(const std::vector<std::string>& names) {
    FitSettings settings;
    for (const std::string& name : names) settings.Parameters.push_back(RequireFitParameter(name));
    return settings;
  }

  // A small whole-deposit case whose curvature moves visibly.
  void ThreeWholePasses() {
    state.Input.StressModel = kWholeDepositModel;
    state.Input.PassCount = 3;
    state.Input.PassThickness = 20e-6;
    state.Input.LamellaThickness = 2e-6;
    ResolveMaterials();
  }

  ModelState With(const std::map<std::string, double>& figures) const {
    ModelState changed = state;
    for (const auto& [name, value] : figures) Quantity(name).Set(changed, value);
    return changed;
  }

  double End() const {
    ModelState run = state;
    NullSink none;
    RunSimulation(run, none);
    return run.Clock.ElapsedTime;
  }

  // What sensors record of a run of `truth` every `step` s until `after` s past the end of a run
  // of the state, the curvature with seeded Gaussian noise of that deviation.
  CalibrationRecord RecordOf(const ModelState& truth, double step, double after,
                             double noise = 0) const {
    const double end = End() + after;
    std::vector<double> times;
    for (int i = 1; i * step < end; ++i) times.push_back(i * step);
    CalibrationRecord record = RecordOfRun(truth, times);
    std::mt19937_64 engine(20260521);
    std::normal_distribution<double> gauss;
    for (double& c : record.Curvature) c += noise * gauss(engine);
    return record;
  }
};

}  // namespace quillane::fit
