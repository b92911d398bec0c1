#pragma once
// A run host that sends everything a run produces to the result windows, on the calling
// (interface) thread, as the desktop program does once the rows reach that thread.

#include "core/ModelState.h"
#include "core/RunHost.h"
#include "graphics/StressViews.h"
#include "ui/ResultWindows.h"

namespace quillane::test {

class ResultWindowsHost : public RunHost {
 public:
  explicit ResultWindowsHost(ui::ResultWindows& windows) : windows_(windows) {}

  ResultGrid& Grid(GridId id) override { return windows_.Grid(id); }
  void ShowResultsWindow() override { windows_.ShowResults(); }
  void HideStressWindows() override { windows_.HideStressWindows(); }
  void DrawBuildUpView(ModelState& state, bool zoom) override {
    graphics::DrawBuildUpView(
        state,
        windows_.Surface(zoom ? ui::SurfaceId::BuildingPicture2 : ui::SurfaceId::BuildingPicture1),
        zoom);
  }
  void DrawCoolingView(ModelState& state, bool zoom) override {
    graphics::DrawCoolingView(
        state,
        windows_.Surface(zoom ? ui::SurfaceId::CoolingPicture2 : ui::SurfaceId::CoolingPicture1),
        zoom);
  }
  void DrawDeflectionHistory(ModelState& state) override {
    graphics::DrawDeflectionHistory(state, windows_.Surface(ui::SurfaceId::ArrowPicture1));
    windows_.RefreshPictures();
  }
  void Beep() override {}
  void ReportSingularMatrix() override { ++singularReports; }
  bool Progress(double) override { return true; }

  int singularReports = 0;

 private:
  ui::ResultWindows& windows_;
};

}  // namespace quillane::test
