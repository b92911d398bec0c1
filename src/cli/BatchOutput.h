#pragma once
// What the batch program does with a run's events: the five stress pictures drawn on display
// lists, the singular-matrix report as a warning, progress on standard error for long runs;
// and the picture of the whole-deposit model's thermal field once the run is over.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "graphics/StressSurfaces.h"
#include "io/AtomicFile.h"
#include "model/RunSink.h"

namespace quillane::cli {

class BatchOutput : public RunSink {
 public:
  // A run stops (RunCancelled) once `stop` is set, when given. Without `drawPictures` the frames
  // draw nothing: the pictures of a million lamellae hold a gigabyte of strokes.
  BatchOutput(std::ostream& err, bool showProgress, const std::atomic<bool>* stop = nullptr,
              bool drawPictures = true);

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
  bool drawPictures_;
  bool progressShown_ = false;
  bool singularReported_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastProgress_;
  graphics::StressSurfaces surfaces_;
};

// The forms pictures are written in (--plots-format): SVG, PNG (where the program is built with
// cairo) or both, the default where both can be written.
struct PlotFormats {
  bool Svg = true;
  bool Png = false;
  // The file names of a picture named `stem`, one per form.
  std::vector<std::string> Names(const std::string& stem) const;
};
PlotFormats DefaultPlotFormats();
// "svg", "png", "svg,png" or "png,svg"; throws std::invalid_argument otherwise, and for PNG
// where the program cannot write it.
PlotFormats ReadPlotFormats(const std::string& text);

// The pictures --plots asks for: the five stress pictures, and for a whole-deposit run its
// thermal field, in each form asked for.
class PlotFiles {
 public:
  PlotFiles(std::filesystem::path dir, bool field, PlotFormats formats = DefaultPlotFormats());
  // Every picture's path, for the check that no two outputs are one file.
  std::vector<std::filesystem::path> Paths() const;
  // Creates the folder and opens every picture in the set, before the run.
  void Open(AtomicFileSet& files);
  // Draws them once the run has ended, asking `watch` whether to go on between two pictures.
  void Write(const ModelState& state, const graphics::StressSurfaces& surfaces, RunSink& watch);

 private:
  std::filesystem::path dir_;
  bool field_;
  PlotFormats formats_;
  std::vector<std::pair<std::string, AtomicFile*>> files_;
};

}  // namespace quillane::cli
