#include "cli/BatchOutput.h"

#include <cmath>

#include "graphics/FieldPicture.h"
#include "graphics/SvgWriter.h"
#include "io/AtomicFile.h"
#ifdef QUILLANE_HAVE_PNG
#include "raster/RasterPicture.h"
#endif

namespace quillane::cli {

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kProgressInterval = std::chrono::milliseconds(200);
}  // namespace

BatchOutput::BatchOutput(std::ostream& err, bool showProgress, const std::atomic<bool>* stop)
    : err_(err),
      showProgress_(showProgress),
      stop_(stop),
      start_(Clock::now()),
      lastProgress_(start_) {}

void BatchOutput::Frame(ModelState& state, StressFrame frame) {
  graphics::DrawRunFrame(state, surfaces_, frame);
}

void BatchOutput::SingularMatrix() {
  // Told once; the summary gives the count.
  if (singularReported_) return;
  FinishProgress();
  err_ << "warning: Matrix singular \n";
  singularReported_ = true;
}

bool BatchOutput::Progress(double fraction) {
  if (stop_ != nullptr && stop_->load()) return false;
  if (!showProgress_) return true;
  const auto now = Clock::now();
  if (now - start_ < kQuietStart || now - lastProgress_ < kProgressInterval) return true;
  lastProgress_ = now;
  const int percent = static_cast<int>(std::lround(std::fmin(std::fmax(fraction, 0.0), 1.0) * 100));
  err_ << "\rRunning... " << percent << " %" << std::flush;
  progressShown_ = true;
  return true;
}

void BatchOutput::FinishProgress() {
  if (progressShown_) err_ << "\rRunning... done.  \n";
  progressShown_ = false;
}

void WriteFieldPictures(const ModelState& state, const std::filesystem::path& dir) {
  if (state.Model != StressModelKind::WholeDeposit || state.Field.Picture.Times.empty()) return;
  graphics::DrawingSurface surface(graphics::kFieldWidthTwips, graphics::kFieldHeightTwips);
  graphics::DrawThermalField(state, surface);
  AtomicFileSet files;
  files.Add(dir / "field.svg", graphics::RenderSvg(surface), "picture");
#ifdef QUILLANE_HAVE_PNG
  files.Add(dir / "field.png", raster::PngWriter().Encode(surface), "picture");
#endif
  files.Publish();
}

}  // namespace quillane::cli
