#pragma once
// Case files of the input window: opening applies a case over the defaults, saving writes every
// input of the window (the keys the batch program reads) so that the case reads back the same.

#include <filesystem>
#include <string>

#include "core/ModelState.h"

namespace quillane::ui {

// The case as JSON text: every input parameter under its model state name, plus
// "InitialCurvature" (1/m) read from the "1/Rcourbure" text; numbers in their shortest form
// that reads back bit for bit. Throws cli::CaseError naming the key when a value is not finite
// (JSON has no infinity).
std::string CaseText(const ModelState& state);

// Writes CaseText to a temporary file beside the target and renames it over the target, so
// that a failed save leaves an earlier file as it was. Throws IoError naming the path.
void SaveCase(const std::filesystem::path& path, const ModelState& state);

// Reads a case file: keys it does not name take the defaults of the input window (no material
// picked). Only the inputs change: state.Input and the width of the stress model. Throws
// cli::CaseError (naming the file and the key) and leaves the state as it was on any fault.
void OpenCase(const std::filesystem::path& path, ModelState& state);

}  // namespace quillane::ui
