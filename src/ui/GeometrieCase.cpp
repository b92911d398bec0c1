#include "ui/GeometrieCase.h"

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <system_error>

#include "cli/CaseFile.h"
#include "core/Errors.h"
#include "format/NumberFormat.h"

namespace quillane::ui {

namespace {

void AddNumber(std::string& out, const char* key, double value) {
  if (!std::isfinite(value)) {
    throw cli::CaseError(std::string("\"") + key +
                         "\" is not a finite number and cannot be saved.");
  }
  out += "  \"";
  out += key;
  out += "\": ";
  out += cli::RoundTripText(value);
  out += ",\n";
}

void AddInteger(std::string& out, const char* key, int value) {
  out += "  \"";
  out += key;
  out += "\": ";
  out += std::to_string(value);
  out += ",\n";
}

void AddText(std::string& out, const char* key, const std::string& value) {
  out += "  \"";
  out += key;
  out += "\": ";
  // The JSON library escapes quotes, backslashes and control characters; bytes that are not
  // valid UTF-8 are replaced rather than refused.
  out += nlohmann::json(value).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  out += ",\n";
}

std::filesystem::path TemporaryBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  std::filesystem::path temporary = target;
  temporary += ".saving-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  return temporary;
}

}  // namespace

std::string CaseText(const ModelState& state) {
  const InputParameters& in = state.Input;
  std::string out = "{\n";
  AddNumber(out, "PassThickness", in.PassThickness);
  AddNumber(out, "LamellaThickness", in.LamellaThickness);
  AddInteger(out, "PassCount", in.PassCount);
  AddNumber(out, "PassPeriod", in.PassPeriod);
  AddNumber(out, "HeatingWindow", in.HeatingWindow);
  AddNumber(out, "HeatFlux", in.HeatFlux);
  AddNumber(out, "ParticleTemperature", in.ParticleTemperature);
  AddNumber(out, "SubstrateThicknessInput", in.SubstrateThicknessInput);
  AddNumber(out, "SubstrateWidth", in.SubstrateWidth);
  AddNumber(out, "SubstrateTemperature", in.SubstrateTemperature);
  AddNumber(out, "GasTemperature", in.GasTemperature);
  AddNumber(out, "SpecimenLength", in.SpecimenLength);
  AddInteger(out, "WitnessParticle", in.WitnessParticle);
  AddInteger(out, "WitnessCoat", in.WitnessCoat);
  AddText(out, "SubstrateMaterialName", in.SubstrateMaterialName);
  AddText(out, "CoatingMaterialName", in.CoatingMaterialName);
  AddNumber(out, "InitialCurvature", format::ParseLenient(in.InitialCurvatureText));
  out.erase(out.size() - 2);  // the last comma
  out += "\n}\n";
  return out;
}

void SaveCase(const std::filesystem::path& path, const ModelState& state) {
  const std::string text = CaseText(state);
  const std::filesystem::path temporary = TemporaryBeside(path);
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) throw IoError("Cannot create " + temporary.string() + ".");
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const bool flushed = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
  const bool closed = std::fclose(file) == 0;
  std::error_code error;
  if (!written || !flushed || !closed) {
    std::filesystem::remove(temporary, error);
    throw IoError("Cannot write the case file " + path.string() + ".");
  }
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    throw IoError("Cannot replace " + path.string() + ": " + error.message() + ".");
  }
}

void OpenCase(const std::filesystem::path& path, ModelState& state) {
  // A scratch state starts from what the window shows after loading, so that a key the case
  // leaves out takes its default rather than whatever was typed before.
  ModelState scratch;
  scratch.Locale = state.Locale;
  LoadInputFormState(scratch);
  cli::ReadCaseFile(path, scratch);
  state.Input = scratch.Input;
  state.Stress.StressWidth = scratch.Stress.StressWidth;
}

}  // namespace quillane::ui
