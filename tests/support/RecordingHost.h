#pragma once
// A run host for tests: keeps the grids in memory, counts beeps, singular-matrix reports and
// drawing calls, and can note the clock at every row the thermal writer records.

#include <functional>
#include <string>
#include <vector>

#include "core/ModelState.h"
#include "core/RunHost.h"

namespace quillane::test {

class RecordingHost : public RunHost {
 public:
  // Called with the state each time the writer asks for the results grid (once per row).
  std::function<void()> OnRow;

  ResultGrid& Grid(GridId id) override {
    if (id == GridId::Resultats && OnRow) OnRow();
    return grids[static_cast<int>(id)];
  }
  void ShowResultsWindow() override { events.push_back("show Results"); }
  void HideStressWindows() override { events.push_back("hide stress windows"); }
  void DrawBuildUpView(ModelState& state, bool zoom) override {
    events.push_back(std::string("building ") + (zoom ? "zoom " : "global ") +
                     std::to_string(state.Clock.LamellaIndex));
  }
  void DrawCoolingView(ModelState&, bool zoom) override {
    events.push_back(std::string("cooling ") + (zoom ? "zoom" : "global"));
  }
  void DrawDeflectionHistory(ModelState&) override { events.push_back("arrow"); }
  void Beep() override { events.push_back("beep"); }
  void ReportSingularMatrix() override { ++singularReports; }
  bool Progress(double) override { return !cancel; }

  TextGrid grids[4];
  std::vector<std::string> events;
  int singularReports = 0;
  bool cancel = false;
};

}  // namespace quillane::test
