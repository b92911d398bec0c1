#include "cli/CaseFile.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "core/Validation.h"
#include "format/NumberFormat.h"

namespace quillane::cli {

namespace {

using Json = nlohmann::json;

// A wrong value as a message shows it: a scalar as written (a long text cut short), a container
// by its kind only, since its text could be as large, and nest as deeply, as the whole file.
std::string Shown(const Json& value) {
  if (value.is_array()) return "an array";
  if (value.is_object()) return "an object";
  constexpr std::size_t kLongest = 60;
  std::string text = value.dump();
  if (text.size() > kLongest) {
    std::size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text = text.substr(0, cut) + "...";
  }
  return text;
}

double NumberOf(const Json& value, const std::string& key, const std::string& origin) {
  if (!value.is_number()) {
    throw CaseError(origin + ": \"" + key + "\" must be a number, not " + Shown(value) + ".");
  }
  return value.get<double>();
}

int IntegerOf(const Json& value, const std::string& key, const std::string& origin) {
  const double number = NumberOf(value, key, origin);
  if (number != std::floor(number)) {
    throw CaseError(origin + ": \"" + key + "\" must be a whole number, not " + Shown(value) + ".");
  }
  // Beyond what the field holds, so the run's range check could not see it: told here.
  if (std::fabs(number) > 1e9) {
    std::string range;
    for (const InputRange& r : InputRanges()) {
      if (key == r.Field) {
        range = "; it must lie between " + format::FormatGeneral(r.Min) + " and " +
                format::FormatGeneral(r.Max);
      }
    }
    throw CaseError(origin + ": \"" + key + "\" is " + Shown(value) + range + ".");
  }
  return static_cast<int>(number);
}

std::string TextOf(const Json& value, const std::string& key, const std::string& origin) {
  if (!value.is_string()) {
    throw CaseError(origin + ": \"" + key + "\" must be a text, not " + Shown(value) + ".");
  }
  return value.get<std::string>();
}

using Setter =
    std::function<void(ModelState&, const Json&, const std::string&, const std::string&)>;

Setter Real(double InputParameters::*field) {
  return [field](ModelState& s, const Json& v, const std::string& k, const std::string& o) {
    s.Input.*field = NumberOf(v, k, o);
  };
}

Setter Integer(int InputParameters::*field) {
  return [field](ModelState& s, const Json& v, const std::string& k, const std::string& o) {
    s.Input.*field = IntegerOf(v, k, o);
  };
}

Setter Text(std::string InputParameters::*field) {
  return [field](ModelState& s, const Json& v, const std::string& k, const std::string& o) {
    s.Input.*field = TextOf(v, k, o);
  };
}

const std::map<std::string, Setter>& Setters() {
  static const std::map<std::string, Setter> kSetters = {
      {"PassThickness", Real(&InputParameters::PassThickness)},
      {"LamellaThickness", Real(&InputParameters::LamellaThickness)},
      {"PassCount", Integer(&InputParameters::PassCount)},
      {"PassPeriod", Real(&InputParameters::PassPeriod)},
      {"HeatingWindow", Real(&InputParameters::HeatingWindow)},
      {"HeatFlux", Real(&InputParameters::HeatFlux)},
      {"ParticleTemperature", Real(&InputParameters::ParticleTemperature)},
      {"SubstrateThicknessInput", Real(&InputParameters::SubstrateThicknessInput)},
      {"SubstrateWidth",
       [](ModelState& s, const Json& v, const std::string& k, const std::string& o) {
         // The width is one value for the thermal and the stress model.
         s.Input.SubstrateWidth = NumberOf(v, k, o);
         s.Stress.StressWidth = s.Input.SubstrateWidth;
       }},
      {"SubstrateTemperature", Real(&InputParameters::SubstrateTemperature)},
      {"GasTemperature", Real(&InputParameters::GasTemperature)},
      {"SpecimenLength",
       [](ModelState& s, const Json& v, const std::string& k, const std::string& o) {
         s.Input.SpecimenLength = NumberOf(v, k, o);
         s.Input.SpecimenLengthText = RoundTripText(s.Input.SpecimenLength);
       }},
      {"WitnessParticle", Integer(&InputParameters::WitnessParticle)},
      {"WitnessCoat", Integer(&InputParameters::WitnessCoat)},
      {"SubstrateMaterialName", Text(&InputParameters::SubstrateMaterialName)},
      {"CoatingMaterialName", Text(&InputParameters::CoatingMaterialName)},
      {"InitialCurvature",
       [](ModelState& s, const Json& v, const std::string& k, const std::string& o) {
         s.Input.InitialCurvatureText = RoundTripText(NumberOf(v, k, o));
       }},
  };
  return kSetters;
}

}  // namespace

std::string RoundTripText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

void ApplyCaseText(std::string_view text, const std::string& origin, ModelState& state) {
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::parse_error& error) {
    throw CaseError(origin + ": not a valid JSON case file (" + error.what() + ").");
  } catch (const Json::out_of_range& error) {
    // A number beyond the double range ("1e400") is refused by the reader itself.
    throw CaseError(origin + ": a number is beyond the range of a double (" + error.what() + ").");
  }
  if (!root.is_object()) throw CaseError(origin + ": a case file must hold one JSON object.");
  // Check everything before changing anything, so a faulty case leaves the state as it was.
  const InputParameters inputBefore = state.Input;
  const double widthBefore = state.Stress.StressWidth;
  try {
    for (const auto& [key, value] : root.items()) {
      const auto setter = Setters().find(key);
      if (setter == Setters().end()) {
        throw CaseError(origin + ": unknown key \"" + key + "\".");
      }
      setter->second(state, value, key, origin);
    }
  } catch (...) {
    state.Input = inputBefore;
    state.Stress.StressWidth = widthBefore;
    throw;
  }
}

void ReadCaseFile(const std::filesystem::path& path, ModelState& state) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CaseError("Cannot read the case file " + path.string() + ".");
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw CaseError("Cannot read the case file " + path.string() + ".");
  ApplyCaseText(text.str(), path.string(), state);
}

}  // namespace quillane::cli
