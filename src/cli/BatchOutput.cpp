#include "cli/BatchOutput.h"

#include <cmath>
#include <iterator>
#include <stdexcept>

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

// The stress pictures, as graphics::WritePlots names them (without their extension).
constexpr std::pair<graphics::DrawingSurface graphics::StressSurfaces::*, const char*> kPlots[] = {
    {&graphics::StressSurfaces::BuildingPicture1, "building_global"},
    {&graphics::StressSurfaces::BuildingPicture2, "building_zoom"},
    {&graphics::StressSurfaces::CoolingPicture1, "cooling_global"},
    {&graphics::StressSurfaces::CoolingPicture2, "cooling_zoom"},
    {&graphics::StressSurfaces::ArrowPicture1, "arrow"}};

#ifdef QUILLANE_HAVE_PNG
constexpr bool kHavePng = true;
#else
constexpr bool kHavePng = false;
#endif

// A picture in the form its file's name ends with.
std::string EncodePicture(const graphics::DrawingSurface& surface, const std::string& name) {
#ifdef QUILLANE_HAVE_PNG
  if (name.ends_with(".png")) return raster::PngWriter().Encode(surface);
#else
  (void)name;
#endif
  return graphics::RenderSvg(surface);
}

}  // namespace

std::vector<std::string> PlotFormats::Names(const std::string& stem) const {
  std::vector<std::string> names;
  if (Svg) names.push_back(stem + ".svg");
  if (Png) names.push_back(stem + ".png");
  return names;
}

PlotFormats DefaultPlotFormats() {
  return {true, kHavePng};
}

PlotFormats ReadPlotFormats(const std::string& text) {
  PlotFormats formats{false, false};
  if (text == "svg" || text == "svg,png" || text == "png,svg") formats.Svg = true;
  if (text == "png" || text == "svg,png" || text == "png,svg") formats.Png = true;
  if (!formats.Svg && !formats.Png) {
    throw std::invalid_argument("\"" + text + "\" is not svg, png or svg,png");
  }
  if (formats.Png && !kHavePng) {
    throw std::invalid_argument("this program was built without PNG pictures: use svg");
  }
  return formats;
}

PlotFiles::PlotFiles(std::filesystem::path dir, bool field, PlotFormats formats)
    : dir_(std::move(dir)), field_(field), formats_(formats) {}

std::vector<std::filesystem::path> PlotFiles::Paths() const {
  std::vector<std::filesystem::path> paths;
  for (const auto& plot : kPlots) {
    for (const std::string& name : formats_.Names(plot.second)) paths.push_back(dir_ / name);
  }
  if (field_) {
    for (const std::string& name : formats_.Names("field")) paths.push_back(dir_ / name);
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
  std::size_t next = 0;
  for (const auto& plot : kPlots) {
    for (std::size_t form = 0; form < formats_.Names(plot.second).size(); ++form, ++next) {
      goOn();
      files_[next].second->Write(EncodePicture(surfaces.*plot.first, files_[next].first));
    }
  }
  if (!field_) return;
  graphics::DrawingSurface surface(graphics::kFieldWidthTwips, graphics::kFieldHeightTwips);
  goOn();
  graphics::DrawThermalField(state, surface);
  for (; next < files_.size(); ++next) {
    goOn();
    files_[next].second->Write(EncodePicture(surface, files_[next].first));
  }
}

}  // namespace quillane::cli
