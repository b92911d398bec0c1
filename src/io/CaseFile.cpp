#include "io/CaseFile.h"

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "format/NumberFormat.h"
#include "io/AtomicFile.h"
#include "io/JsonDepth.h"
#include "model/InputTable.h"

namespace quillane {

namespace {

using Json = nlohmann::ordered_json;

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

int IntegerOf(const Json& value, const InputSpec& input, const std::string& origin) {
  const std::string key = input.Key;
  const double number = NumberOf(value, key, origin);
  if (number != std::floor(number)) {
    throw CaseError(origin + ": \"" + key + "\" must be a whole number, not " + Shown(value) + ".");
  }
  // Beyond what the field holds, so the run's range check could not see it: told here.
  if (std::fabs(number) > 1e9) {
    throw CaseError(origin + ": \"" + key + "\" is " + Shown(value) + "; it must lie between " +
                    format::FormatGeneral(input.Min) + " and " + format::FormatGeneral(input.Max) +
                    ".");
  }
  return static_cast<int>(number);
}

void ApplyValue(const InputSpec& input, const Json& value, const std::string& origin,
                InputParameters& in) {
  switch (input.Type) {
    case InputType::Real:
      in.*input.RealField = NumberOf(value, input.Key, origin);
      return;
    case InputType::Integer:
      in.*input.IntegerField = IntegerOf(value, input, origin);
      return;
    case InputType::Text:
      if (!value.is_string()) {
        throw CaseError(origin + ": \"" + input.Key + "\" must be a text, not " + Shown(value) +
                        ".");
      }
      in.*input.TextField = value.get<std::string>();
      return;
  }
}

}  // namespace

void ApplyCaseText(std::string_view text, const std::string& origin, InputParameters& in,
                   std::string* catalogue) {
  if (JsonTooDeep(text)) throw CaseError(origin + ": not a case file: " + JsonDepthText() + ".");
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::parse_error& error) {
    throw CaseError(origin + ": not a valid JSON case file (" + error.what() + ").");
  } catch (const Json::out_of_range& error) {
    // A number beyond the double range ("1e400") is refused by the reader itself.
    throw CaseError(origin + ": a number is beyond the range of a double (" + error.what() + ").");
  }
  if (const std::string twice = DuplicateJsonKey(text); !twice.empty()) {
    throw CaseError(origin + ": the key \"" + twice + "\" is given twice.");
  }
  if (!root.is_object()) throw CaseError(origin + ": a case file must hold one JSON object.");
  // Everything is checked on a copy, so a faulty case leaves the inputs as they were.
  InputParameters read = in;
  for (const auto& [key, value] : root.items()) {
    if (key == kCaseCatalogueKey) {
      if (!value.is_string() || value.get<std::string>().empty()) {
        throw CaseError(origin + ": \"" + key + "\" must name a catalogue file.");
      }
      continue;
    }
    const InputSpec* input = FindInput(key);
    if (input == nullptr) throw CaseError(origin + ": unknown key \"" + key + "\".");
    ApplyValue(*input, value, origin, read);
  }
  in = std::move(read);
  if (catalogue != nullptr && root.contains(kCaseCatalogueKey)) {
    *catalogue = root[kCaseCatalogueKey].get<std::string>();
  }
}

void ReadCaseFile(const std::filesystem::path& path, InputParameters& in, std::string* catalogue) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw CaseError("Cannot read the case file " + path.string() + ".");
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) throw CaseError("Cannot read the case file " + path.string() + ".");
  std::string named;
  ApplyCaseText(text.str(), path.string(), in, &named);
  if (catalogue != nullptr && !named.empty()) {
    const std::filesystem::path file = named;
    *catalogue = (file.is_absolute() ? file : path.parent_path() / file).string();
  }
}

std::string CaseText(const InputParameters& in) {
  Json root = Json::object();
  for (const InputSpec& input : InputTable()) {
    switch (input.Type) {
      case InputType::Real: {
        const double value = in.*input.RealField;
        if (!std::isfinite(value)) {
          throw CaseError(std::string("\"") + input.Key +
                          "\" is not a finite number and cannot be saved.");
        }
        root[input.Key] = value;
        break;
      }
      case InputType::Integer:
        root[input.Key] = in.*input.IntegerField;
        break;
      case InputType::Text:
        root[input.Key] = in.*input.TextField;
        break;
    }
  }
  // Bytes that are not valid UTF-8 (a name typed in another encoding) are replaced rather than
  // refused.
  return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

void SaveCaseFile(const std::filesystem::path& path, const InputParameters& in) {
  AtomicFile::WriteWhole(path, CaseText(in), "case file");
}

}  // namespace quillane
