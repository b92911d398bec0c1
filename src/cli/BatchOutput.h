#pragma once
// What the batch program does with a run's events: the five stress pictures drawn on display
// lists, the singular-matrix report as a warning, progress on standard error for long runs;
// and the picture of the whole-deposit model's thermal field once the run is over.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <ostream>

#include "graphics/StressSurfaces.h"
#include "model/RunSink.h"

namespace quillane::cli {

class BatchOutput : public RunSink {
 public:
  // A run stops (RunCancelled) once `stop` is set, when given.
  BatchOutput(std::ostream& err, bool showProgress, const std::atomic<bool>* stop = nullptr);

  void ThermalRow(const ThermalRecord&, bool) override {}
  void SingularMatrix() override;
  void Frame(ModelState& state, StressFrame frame) override;
  bool Progress(double fraction) override;

  // Ends the progress line, if one was shown.
  void FinishProgress();
  const graphics::StressSurfaces& Surfaces() const { return surfaces_; }

 private:
  std::ostream& err_;
  bool showProgress_;
  const std::atomic<bool>* stop_;
  bool progressShown_ = false;
  bool singularReported_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastProgress_;
  graphics::StressSurfaces surfaces_;
};

// The thermal field of a whole-deposit run as field.svg in dir, and as field.png too where the
// program is built with Qt; nothing for a run that sampled no field. Both files are replaced
// together or not at all.
void WriteFieldPictures(const ModelState& state, const std::filesystem::path& dir);

}  // namespace quillane::cli
