#include "cli/BatchHost.h"

#include <cmath>

namespace quillane::cli {

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kProgressInterval = std::chrono::milliseconds(200);
}  // namespace

BatchHost::BatchHost(std::ostream& err, bool showProgress)
    : err_(err), showProgress_(showProgress), start_(Clock::now()), lastProgress_(start_) {}

ResultGrid& BatchHost::Grid(GridId id) {
  switch (id) {
    case GridId::Resultats:
      return results_;
    case GridId::MSFlexGrid1:
      return before_;
    case GridId::MSFlexGrid2:
      return after_;
    case GridId::MSFlexGrid3:
      return unused_;
  }
  return unused_;
}

const TextGrid& BatchHost::StressGrid(GridId id) const {
  return id == GridId::MSFlexGrid1 ? before_ : id == GridId::MSFlexGrid2 ? after_ : unused_;
}

void BatchHost::DrawBuildUpView(ModelState& state, bool zoom) {
  graphics::DrawRunBuildUpView(state, surfaces_, zoom);
}

void BatchHost::DrawCoolingView(ModelState& state, bool zoom) {
  graphics::DrawRunCoolingView(state, surfaces_, zoom);
}

void BatchHost::DrawDeflectionHistory(ModelState& state) {
  graphics::DrawRunDeflectionHistory(state, surfaces_);
}

void BatchHost::ReportSingularMatrix() {
  if (!singularReported_) FinishProgress();
  if (!singularReported_) err_ << "warning: Matrix singular \n";
  singularReported_ = true;
}

bool BatchHost::Progress(double fraction) {
  if (!showProgress_) return true;
  const auto now = Clock::now();
  if (now - start_ < kQuietStart || now - lastProgress_ < kProgressInterval) return true;
  lastProgress_ = now;
  const int percent = static_cast<int>(std::lround(std::fmin(std::fmax(fraction, 0.0), 1.0) * 100));
  err_ << "\rRunning... " << percent << " %" << std::flush;
  progressShown_ = true;
  return true;
}

void BatchHost::FinishProgress() {
  if (progressShown_) err_ << "\rRunning... done.  \n";
  progressShown_ = false;
}

}  // namespace quillane::cli
