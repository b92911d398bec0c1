#pragma once
// The run host of the batch program: grids kept in memory (the thermal grid only counts its
// records, so memory does not grow with the run), the five stress pictures drawn on display
// lists, the singular-matrix report as a warning, progress on standard error for long runs.

#include <chrono>
#include <ostream>

#include "core/RunHost.h"
#include "graphics/StressSurfaces.h"

namespace quillane::cli {

class BatchHost : public RunHost {
 public:
  BatchHost(std::ostream& err, bool showProgress);

  ResultGrid& Grid(GridId id) override;
  void ShowResultsWindow() override {}
  void HideStressWindows() override {}
  void DrawBuildUpView(ModelState& state, bool zoom) override;
  void DrawCoolingView(ModelState& state, bool zoom) override;
  void DrawDeflectionHistory(ModelState& state) override;
  void Beep() override {}
  void ReportSingularMatrix() override;
  bool Progress(double fraction) override;

  // Ends the progress line, if one was shown.
  void FinishProgress();
  const graphics::StressSurfaces& Surfaces() const { return surfaces_; }
  const TextGrid& StressGrid(GridId id) const;

 private:
  std::ostream& err_;
  bool showProgress_;
  bool progressShown_ = false;
  bool singularReported_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastProgress_;
  CountingGrid results_;
  TextGrid before_;
  TextGrid after_;
  TextGrid unused_;
  graphics::StressSurfaces surfaces_;
};

}  // namespace quillane::cli
