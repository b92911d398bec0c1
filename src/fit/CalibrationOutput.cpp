#include "fit/CalibrationOutput.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "fit/FittedMaterials.h"
#include "graphics/ChartDrawing.h"
#include "graphics/SvgWriter.h"
#include "io/AtomicFile.h"
#include "io/CaseFile.h"
#include "materials/UserCatalogue.h"
#include "model/Errors.h"

namespace quillane::fit {

namespace {

using graphics::ChartArea;
using graphics::ChartPanel;
using graphics::DrawingSurface;
using graphics::RGB;

constexpr float kWidth = 900;
constexpr float kMainHeight = 330;
constexpr float kResidualHeight = 200;
const RGB kMeasured(90, 90, 90);
const RGB kModel(214, 39, 40);

nlohmann::ordered_json Number(double value) {
  return std::isfinite(value) ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
}

std::pair<double, double> Extent(const std::vector<double>& a, const std::vector<double>& b = {}) {
  double low = INFINITY;
  double high = -INFINITY;
  for (const auto* values : {&a, &b}) {
    for (const double v : *values) {
      if (std::isnan(v)) continue;
      low = std::min(low, v);
      high = std::max(high, v);
    }
  }
  return std::isfinite(low) ? std::make_pair(low, high) : std::make_pair(0.0, 1.0);
}

// A long curve as the chart can show it: in each pixel column, the first, lowest, highest and
// last of its points, in their order, so that the drawn line looks the same with far fewer
// strokes (a whole-deposit history has a point per thermal row).
void Thin(const std::vector<double>& time, const std::vector<double>& value, double t0, double t1,
          std::vector<double>& keptTime, std::vector<double>& keptValue) {
  const double columns = kWidth;
  if (time.size() <= 4 * static_cast<std::size_t>(columns) || !(t1 > t0)) {
    keptTime = time;
    keptValue = value;
    return;
  }
  const auto column = [&](double t) { return std::floor((t - t0) / (t1 - t0) * columns); };
  std::size_t i = 0;
  while (i < time.size()) {
    std::size_t end = i + 1;
    while (end < time.size() && column(time[end]) == column(time[i])) ++end;
    std::size_t low = i;
    std::size_t high = i;
    for (std::size_t k = i; k < end; ++k) {
      if (value[k] < value[low]) low = k;
      if (value[k] > value[high]) high = k;
    }
    std::size_t kept[] = {i, std::min(low, high), std::max(low, high), end - 1};
    for (std::size_t n = 0; n < 4; ++n) {
      if (n > 0 && kept[n] == kept[n - 1]) continue;
      keptTime.push_back(time[kept[n]]);
      keptValue.push_back(value[kept[n]]);
    }
    i = end;
  }
}

// One quantity: the record's points and the model's curve, then the residuals beneath.
void DrawQuantity(DrawingSurface& surface, float top, const std::string& name,
                  const std::string& unit, const std::vector<double>& time,
                  const std::vector<double>& measured, const std::vector<double>& atRecord,
                  const std::vector<double>& curveTime, const std::vector<double>& curve) {
  const auto [t0, t1] = Extent(time, curveTime);
  const auto [y0, y1] = Extent(measured, curve);
  ChartArea chart(surface, {0, top, kWidth, top + kMainHeight},
                  name + ": record (points) and model (line)", "time (s)", name + " (" + unit + ")",
                  t0, t1, y0, y1);
  std::vector<double> ts;
  std::vector<double> ys;
  std::vector<double> residuals;
  for (std::size_t i = 0; i < time.size(); ++i) {
    if (std::isnan(measured[i])) continue;
    ts.push_back(time[i]);
    ys.push_back(measured[i]);
    residuals.push_back(measured[i] - atRecord[i]);
  }
  // A long record's points are thinned as the model's curve is: a million rows would draw a
  // picture of hundreds of megabytes that looks the same.
  std::vector<double> markerTime;
  std::vector<double> markers;
  Thin(ts, ys, t0, t1, markerTime, markers);
  chart.Markers(markerTime, markers, kMeasured);
  std::vector<double> shownTime;
  std::vector<double> shown;
  Thin(curveTime, curve, t0, t1, shownTime, shown);
  chart.Curve(shownTime, shown, kModel);
  const auto [r0, r1] = Extent(residuals);
  const double reach = std::max({std::fabs(r0), std::fabs(r1), 1e-300});
  ChartArea below(surface, {0, top + kMainHeight, kWidth, top + kMainHeight + kResidualHeight},
                  "residuals (record − model)", "time (s)", unit, t0, t1, -reach, reach);
  below.Curve({t0, t1}, {0, 0}, kModel);
  std::vector<double> residualTime;
  std::vector<double> shownResiduals;
  Thin(ts, residuals, t0, t1, residualTime, shownResiduals);
  below.Markers(residualTime, shownResiduals, kMeasured);
}

}  // namespace

std::string FitJson(const FitResult& result) {
  nlohmann::ordered_json root;
  nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
  for (std::size_t j = 0; j < result.Names.size(); ++j) {
    nlohmann::ordered_json parameter = {{"value", Number(result.Value[j])},
                                        {"stderr", Number(result.StandardError[j])},
                                        {"start", Number(result.Start[j])}};
    // Where χ², the other figures refitted, stays within 1 of its least.
    const bool interval = j < result.IntervalLow.size() && std::isfinite(result.IntervalLow[j]) &&
                          std::isfinite(result.IntervalHigh[j]);
    parameter["interval"] =
        interval ? nlohmann::ordered_json::array({result.IntervalLow[j], result.IntervalHigh[j]})
                 : nlohmann::ordered_json(nullptr);
    parameter["interval_from"] = "profile";
    parameters[result.Names[j]] = parameter;
  }
  root["parameters"] = parameters;
  nlohmann::ordered_json correlation = nlohmann::ordered_json::array();
  for (const auto& row : result.Correlation) {
    nlohmann::ordered_json line = nlohmann::ordered_json::array();
    for (const double value : row) line.push_back(Number(value));
    correlation.push_back(line);
  }
  root["correlation"] = result.Correlation.empty() ? nlohmann::ordered_json(nullptr) : correlation;
  root["rms"] = {{"curvature", Number(result.CurvatureRms)},
                 {"temperature", Number(result.TemperatureRms)},
                 {"surface_temperature", Number(result.SurfaceRms)}};
  root["noise"] = {
      {"curvature", Number(result.CurvatureNoise)},
      {"temperature",
       Number(std::isnan(result.TemperatureRms) ? result.TemperatureRms : result.TemperatureNoise)},
      {"surface_temperature",
       Number(std::isnan(result.SurfaceRms) ? result.SurfaceRms : result.SurfaceNoise)}};
  if (std::find(result.Names.begin(), result.Names.end(), kTimeShift) != result.Names.end()) {
    root["time_shift"] = result.TimeShift;
  }
  root["iterations"] = result.Iterations;
  root["termination"] = result.Termination;
  nlohmann::ordered_json notes = nlohmann::ordered_json::array();
  for (const FitNote& note : result.Notes) notes.push_back(English(note));
  root["notes"] = notes;
  return root.dump(1) + "\n";
}

graphics::DrawingSurface DrawOverlay(const CalibrationRecord& record, const FitResult& result) {
  const float block = kMainHeight + kResidualHeight;
  const float height = block * static_cast<float>(1 + (record.HasTemperature() ? 1 : 0) +
                                                  (record.Has(Series::Surface) ? 1 : 0));
  DrawingSurface surface(static_cast<int>(kWidth) * DrawingSurface::kTwipsPerPixel,
                         static_cast<int>(height) * DrawingSurface::kTwipsPerPixel);
  DrawQuantity(surface, 0, "curvature", "1/m", record.Time, record.Curvature, result.ModelCurvature,
               result.CurveTime, result.CurveCurvature);
  float top = block;
  if (record.HasTemperature()) {
    DrawQuantity(surface, top, "back-face temperature", "K", record.Time, record.Temperature,
                 result.ModelTemperature, result.ThermalTime, result.ThermalBack);
    top += block;
  }
  if (record.Has(Series::Surface)) {
    DrawQuantity(surface, top, "surface temperature", "K", record.Time, record.SurfaceTemperature,
                 result.ModelSurface, result.ThermalTime, result.ThermalSurface);
  }
  return surface;
}

void AddFittedCase(AtomicFileSet& files, const std::filesystem::path& dir, const ModelState& base,
                   const MaterialsCatalogue& catalogue, const FitResult& result,
                   const std::string& recordName) {
  const FittedMaterials fitted = FitMaterials(base, result, recordName);
  if (!fitted.Faults.empty()) {
    std::vector<std::string> faults;
    for (const InputFault& fault : fitted.Faults) faults.push_back(fault.English);
    throw InputError(faults);
  }
  nlohmann::ordered_json text = nlohmann::ordered_json::parse(CaseText(fitted.Inputs));
  if (!fitted.Rows.empty()) {
    // The whole catalogue, so that the copy serves alone, with the fitted rows over it. SQLite
    // fills the temporary file; the earlier copy stays until the whole set is complete.
    const std::vector<UserMaterial> rows = RowsWithOwn(catalogue, fitted.Rows);
    const std::filesystem::path target = dir / "fitted.db";
    const AtomicFile& db = files.Open(target, "fitted catalogue");
    try {
      UserCatalogue(db.TemporaryPath()).SaveAll(rows);
    } catch (const CatalogueError& error) {
      // Told under the name the file will have.
      std::string message = error.what();
      const std::string temporary = db.TemporaryPath().string();
      for (auto at = message.find(temporary); at != std::string::npos;
           at = message.find(temporary, at)) {
        message.replace(at, temporary.size(), target.string());
      }
      throw IoError(message);
    }
    text[kCaseCatalogueKey] = "fitted.db";
  }
  files.Add(dir / "fitted_case.json", text.dump(1) + "\n", "case file");
}

void AddFitFolder(AtomicFileSet& files, const std::filesystem::path& dir, const ModelState& base,
                  const MaterialsCatalogue& catalogue, const CalibrationRecord& record,
                  const FitResult& result, const std::string& recordName,
                  const std::function<std::string(const graphics::DrawingSurface&)>& png) {
  AddFittedCase(files, dir, base, catalogue, result, recordName);
  files.Add(dir / "fit.json", FitJson(result), "fit file");
  const graphics::DrawingSurface overlay = DrawOverlay(record, result);
  files.Add(dir / "overlay.svg", graphics::RenderSvg(overlay), "plot");
  if (png) files.Add(dir / "overlay.png", png(overlay), "picture");
}

void WriteFittedCase(const std::filesystem::path& dir, const ModelState& base,
                     const MaterialsCatalogue& catalogue, const FitResult& result,
                     const std::string& recordName) {
  AtomicFileSet files;
  AddFittedCase(files, dir, base, catalogue, result, recordName);
  files.Publish();
}

}  // namespace quillane::fit
