#pragma once
// A run sink for tests: keeps the thermal records, names every frame, counts singular-matrix
// reports, and can cancel the run or note the state at every row.

#include <functional>
#include <string>
#include <vector>

#include "model/ModelState.h"
#include "model/RunSink.h"

namespace quillane::test {

class RecordingSink : public RunSink {
 public:
  // Called at every thermal row.
  std::function<void()> OnRow;

  void ThermalRow(const ThermalRecord& record, bool repeat) override {
    rows.push_back(record);
    repeats.push_back(repeat);
    if (OnRow) OnRow();
  }
  void SingularMatrix() override { ++singularReports; }
  void Frame(ModelState& state, StressFrame frame) override {
    switch (frame) {
      case StressFrame::BuildUp:
        events.push_back("build-up " + std::to_string(state.Clock.LamellaIndex));
        break;
      case StressFrame::Cooling:
        events.push_back("cooling");
        break;
      case StressFrame::DeflectionHistory:
        events.push_back("history");
        break;
    }
  }
  bool Progress(double fraction) override {
    progress.push_back(fraction);
    return !cancel;
  }

  std::vector<ThermalRecord> rows;
  std::vector<bool> repeats;
  std::vector<std::string> events;
  std::vector<double> progress;
  int singularReports = 0;
  bool cancel = false;
};

}  // namespace quillane::test
