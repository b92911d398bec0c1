#include "cli/FitProgram.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <map>
#include <sstream>

#include "cli/Interrupt.h"
#include "fit/CalibrationOutput.h"
#include "format/NumberFormat.h"
#include "io/AtomicFile.h"
#include "io/FolderLock.h"
#include "model/Errors.h"
#include "run/Validation.h"
#ifdef QUILLANE_HAVE_PNG
#include "raster/RasterPicture.h"
#endif

namespace quillane::cli {

namespace {

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(',', start), text.size());
    std::string item = text.substr(start, end - start);
    while (!item.empty() && item.front() == ' ') item.erase(0, 1);
    while (!item.empty() && item.back() == ' ') item.pop_back();
    if (!item.empty()) items.push_back(item);
    start = end + 1;
  }
  return items;
}

double ReadNumber(const std::string& text, const std::string& where) {
  const auto value = format::ParseStrict(text, '.', '\0');
  if (!value) throw fit::RecordError(where + ": \"" + text + "\" is not a number.");
  return *value;
}

// "name=low:high" items; an empty side keeps the catalogue bound.
std::map<std::string, std::pair<double, double>> ReadBounds(const std::string& text) {
  std::map<std::string, std::pair<double, double>> bounds;
  for (const std::string& item : SplitList(text)) {
    const std::size_t equals = item.find('=');
    const std::size_t colon = item.find(':', equals == std::string::npos ? 0 : equals);
    if (equals == std::string::npos || colon == std::string::npos) {
      throw fit::RecordError("--fit-bounds: \"" + item + "\" is not NAME=LOW:HIGH.");
    }
    const std::string low = item.substr(equals + 1, colon - equals - 1);
    const std::string high = item.substr(colon + 1);
    bounds[item.substr(0, equals)] = {
        low.empty() ? std::nan("") : ReadNumber(low, "--fit-bounds"),
        high.empty() ? std::nan("") : ReadNumber(high, "--fit-bounds")};
  }
  return bounds;
}

void ReadNoise(const std::string& text, fit::FitSettings& settings) {
  for (const std::string& item : SplitList(text)) {
    const std::size_t equals = item.find('=');
    const std::string name = item.substr(0, equals);
    const double value =
        equals == std::string::npos ? NAN : ReadNumber(item.substr(equals + 1), "--fit-noise");
    double* noise = fit::NoiseOf(settings, name);
    if (!(value > 0) || noise == nullptr) {
      throw fit::RecordError("--fit-noise: \"" + item +
                             "\" is not curvature=SD, temperature=SD or surface_temperature=SD "
                             "with SD above zero.");
    }
    *noise = value;
  }
}

void PrintResult(const fit::FitResult& result, std::ostream& out) {
  out << "Fitted in " << result.Iterations << " iterations (" << result.Termination << ")\n";
  for (std::size_t j = 0; j < result.Names.size(); ++j) {
    const double low = result.IntervalLow[j];
    const double high = result.IntervalHigh[j];
    out << "  " << result.Names[j] << " = " << format::FormatShortest(result.Value[j]);
    if (std::isfinite(low) && std::isfinite(high)) {
      const int digits = fit::IntervalDigits(low, high);
      const auto shown = [digits](double v) {
        std::ostringstream text;
        text << std::setprecision(digits) << v;
        return text.str();
      };
      out << ", 68 % interval " << shown(low) << " to " << shown(high);
    }
    if (std::isfinite(result.StandardError[j])) {
      out << " (standard error " << format::FormatPattern(result.StandardError[j], "0.00E+00")
          << ")";
    }
    out << "\n";
  }
  out << "  RMS residual: curvature " << format::FormatShortest(result.CurvatureRms) << " 1/m";
  if (std::isfinite(result.TemperatureRms)) {
    out << ", temperature " << format::FormatShortest(result.TemperatureRms) << " K";
  }
  if (std::isfinite(result.SurfaceRms)) {
    out << ", surface temperature " << format::FormatShortest(result.SurfaceRms) << " K";
  }
  out << "\n";
}

}  // namespace

fit::FitSettings ReadFitSettings(const FitCommand& command) {
  fit::FitSettings settings;
  auto bounds = ReadBounds(command.Bounds);
  for (const std::string& name : SplitList(command.Parameters)) {
    const auto given = bounds.find(name);
    const double low = given != bounds.end() ? given->second.first : std::nan("");
    const double high = given != bounds.end() ? given->second.second : std::nan("");
    for (const fit::FitParameter& earlier : settings.Parameters) {
      if (earlier.Name == name)
        throw fit::RecordError("--fit-params: " + name + " is named twice.");
    }
    settings.Parameters.push_back(fit::RequireFitParameter(name, low, high));
    if (given != bounds.end()) bounds.erase(given);
  }
  if (settings.Parameters.empty()) {
    throw fit::RecordError("--fit-params: name the figures to fit, e.g. coating.SigmaQ,HeatFlux.");
  }
  if (!bounds.empty()) {
    throw fit::RecordError("--fit-bounds: " + bounds.begin()->first + " is not fitted.");
  }
  ReadNoise(command.Noise, settings);
  settings.Robust = command.Robust;
  settings.Jobs = command.Jobs;
  return settings;
}

int RunFitCommand(const FitCommand& command, ModelState base, const MaterialsCatalogue& catalogue,
                  std::ostream& out, std::ostream& err) {
  const fit::FitSettings settings = ReadFitSettings(command);
  const fit::CalibrationRecord record = fit::ReadRecordFile(command.RecordPath);
  ValidateRunInputs(base, &catalogue);
  const std::filesystem::path dir = command.OutDir;
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error || !std::filesystem::is_directory(dir)) {
    throw IoError("Cannot create the output folder " + dir.string() + ": " +
                  (error ? error.message() : std::string("it is not a folder")) + ".");
  }
  const FolderLock lock(dir, "quillane-batch --fit " + command.RecordPath);
  // Every output must be writable before the fit runs, not found faulty after it.
  for (const char* name : fit::kFitFolderFiles) AtomicFile("fit output").Open(dir / name);

  // Ctrl-C ends the model run under way, and the fit with it.
  std::stop_source stop;
  fit::FitResult result;
  {
    const StopOnInterrupt interrupt(stop);
    result = fit::FitRecord(
        base, record, settings,
        [&](const fit::FitProgress& progress) {
          if (!command.Quiet) {
            err << "\rIteration " << progress.Iteration << ", cost "
                << format::FormatPattern(progress.Cost, "0.000E+00") << "     " << std::flush;
          }
          return true;
        },
        stop.get_token());
  }
  if (!command.Quiet) err << "\n";
  if (result.Cancelled) {
    err << "quillane-batch: the fit was stopped; nothing was written.\n";
    return 130;
  }
  if (result.Failed) {
    err << "quillane-batch: the fit could not be made (" << result.Termination
        << "): the model gives no finite misfit of this record at its start. Nothing was "
           "written; an earlier fit in "
        << dir.string() << " is kept.\n";
    return 1;
  }
  // The outputs as a set: the earlier fit's files stay whole until every new one is complete.
  AtomicFileSet files;
  std::function<std::string(const graphics::DrawingSurface&)> png;
#ifdef QUILLANE_HAVE_PNG
  png = [](const graphics::DrawingSurface& picture) { return raster::PngWriter().Encode(picture); };
#endif
  fit::AddFitFolder(files, dir, base, catalogue, record, result,
                    std::filesystem::path(command.RecordPath).filename().string(), png);
  files.Publish();
  for (const fit::FitNote& note : result.Notes) err << "note: " << fit::English(note) << "\n";
  if (!command.Quiet) {
    PrintResult(result, out);
    out << "Written to " << (dir / "fit.json").string() << ", fitted_case.json and overlay.svg\n";
  }
  return 0;
}

}  // namespace quillane::cli
