#pragma once
// What a fit leaves: fit.json, the case with the fitted figures (and the catalogue copy that
// holds fitted material figures), and the overlay of the record and the model.

#include <filesystem>
#include <functional>
#include <string>

#include "fit/Calibration.h"
#include "graphics/DrawingSurface.h"
#include "io/AtomicFile.h"
#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"

namespace quillane::fit {

// {"parameters": {name: {"value", "stderr"}}, "correlation", "rms", "iterations",
// "termination"}, with the notes on undetermined parameters and the noise used.
std::string FitJson(const FitResult& result);

// The measured points and the model against time, each with its residuals beneath: curvature,
// then temperature when the record has it.
graphics::DrawingSurface DrawOverlay(const CalibrationRecord& record, const FitResult& result);

// Adds fitted_case.json to the files published together: the case with the fitted figures.
// Fitted material rows (FitMaterials, their source naming `recordName`) go to fitted.db beside
// it, a copy of the catalogue with those rows over it, which the case names; the copy is added
// first, so that it is in place when the case that names it is. Throws InputError when a fitted
// row lies beyond the catalogue's bounds.
void AddFittedCase(AtomicFileSet& files, const std::filesystem::path& dir, const ModelState& base,
                   const MaterialsCatalogue& catalogue, const FitResult& result,
                   const std::string& recordName);
// Every file of a fit's folder, in the order a writer checks them before a fit.
inline constexpr const char* kFitFolderFiles[] = {"fit.json", "fitted.db", "fitted_case.json",
                                                  "overlay.svg", "overlay.png"};
// Adds a fit's folder to the files published together: fitted_case.json (with fitted.db, as
// AddFittedCase adds them), fit.json and the overlay as SVG, and as PNG where `png` encodes one
// (a program that draws with Qt). The batch program and the Python module both write this.
void AddFitFolder(AtomicFileSet& files, const std::filesystem::path& dir, const ModelState& base,
                  const MaterialsCatalogue& catalogue, const CalibrationRecord& record,
                  const FitResult& result, const std::string& recordName,
                  const std::function<std::string(const graphics::DrawingSurface&)>& png);

// The same, written at once.
void WriteFittedCase(const std::filesystem::path& dir, const ModelState& base,
                     const MaterialsCatalogue& catalogue, const FitResult& result,
                     const std::string& recordName);

}  // namespace quillane::fit
