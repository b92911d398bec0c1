#include "cli/BatchOutput.h"

#include <cmath>
#include <iterator>

#include "graphics/FieldPicture.h"
#include "graphics/SvgWriter.h"
#include "io/AtomicFile.h"
#include "model/Errors.h"
#ifdef QUILLANE_HAVE_PNG
#include "raster/RasterPicture.h"
#endif

namespace quillane::cli {

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kProgressInterval = std::chrono::milliseconds(200);
}  // namespace

BatchOutput::BatchOutput(std::ostream& err, bool showProgress, const std::atomic<bool>* stop,
                         bool drawPictures)
    : err_(err),
      showProgress_(showProgress),
      stop_(stop),
      drawPictures_(drawPictures),
      start_(Clock::now()),
      lastProgress_(start_) {}

void BatchOutput::Frame(ModelState& state, StressFrame frame) {
  if (drawPictures_) graphics::DrawRunFrame(state, surfaces_, frame);
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

namespace {

// The stress pictures' files, as graphics::WritePlots names them.
constexpr std::pair<graphics::DrawingSurface graphics::StressSurfaces::*, const char*> kPlots[] = {
    {&graphics::StressSurfaces::BuildingPicture1, "building_global.svg"},
    {&graphics::StressSurfaces::BuildingPicture2, "building_zoom.svg"},
    {&graphics::StressSurfaces::CoolingPicture1, "cooling_global.svg"},
    {&graphics::StressSurfaces::CoolingPicture2, "cooling_zoom.svg"},
    {&graphics::StressSurfaces::ArrowPicture1, "arrow.svg"}};

std::vector<std::string> FieldNames() {
#ifdef QUILLANE_HAVE_PNG
  return {"field.svg", "field.png"};
#else
  return {"field.svg"};
#endif
}

}  // namespace

PlotFiles::PlotFiles(std::filesystem::path dir, bool field) : dir_(std::move(dir)), field_(field) {}

std::vector<std::filesystem::path> PlotFiles::Paths() const {
  std::vector<std::filesystem::path> paths;
  for (const auto& plot : kPlots) paths.push_back(dir_ / plot.second);
  if (field_) {
    for (const std::string& name : FieldNames()) paths.push_back(dir_ / name);
  }
  return paths;
}

void PlotFiles::Open(AtomicFileSet& files) {
  std::error_code error;
  std::filesystem::create_directories(dir_, error);
  if (error || !std::filesystem::is_directory(dir_)) {
    throw IoError("Cannot create the plot directory " + dir_.string() + ".");
  }
  for (const std::filesystem::path& path : Paths()) {
    files_.emplace_back(path.filename().string(), &files.Open(path, "picture"));
  }
}

void PlotFiles::Write(const ModelState& state, const graphics::StressSurfaces& surfaces,
                      RunSink& watch) {
  const auto goOn = [&watch] {
    if (!watch.Progress(1.0)) throw RunCancelled();
  };
  for (std::size_t i = 0; i < std::size(kPlots); ++i) {
    goOn();
    files_[i].second->Write(graphics::RenderSvg(surfaces.*kPlots[i].first));
  }
  if (!field_) return;
  graphics::DrawingSurface surface(graphics::kFieldWidthTwips, graphics::kFieldHeightTwips);
  goOn();
  graphics::DrawThermalField(state, surface);
  for (std::size_t i = std::size(kPlots); i < files_.size(); ++i) {
    goOn();
#ifdef QUILLANE_HAVE_PNG
    if (files_[i].first == "field.png") {
      files_[i].second->Write(raster::PngWriter().Encode(surface));
      continue;
    }
#endif
    files_[i].second->Write(graphics::RenderSvg(surface));
  }
}

}  // namespace quillane::cli
