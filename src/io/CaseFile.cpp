#include "io/CaseFile.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>

#include "format/NumberFormat.h"
#include "io/AtomicFile.h"
#include "io/JsonDepth.h"
#include "io/TextFile.h"
#include "materials/MaterialsCatalogue.h"
#include "model/InputTable.h"

namespace quillane {

namespace {

using Json = nlohmann::ordered_json;

using Kind = CaseFault::Kind;

CaseFault MakeFault(Kind what, const std::string& origin, const std::string& key = {}) {
  CaseFault fault;
  fault.What = what;
  fault.Origin = origin;
  fault.Key = key;
  return fault;
}

// A wrong value as a fault shows it: an array or an object by its kind only, since its text could
// be as large, and nest as deeply, as the whole file; a long text cut between characters.
CaseFault Faulty(Kind what, const std::string& origin, const std::string& key, const Json& value) {
  CaseFault fault = MakeFault(what, origin, key);
  if (value.is_array() || value.is_object()) {
    fault.ValueShape = value.is_array() ? CaseFault::Shape::Array : CaseFault::Shape::Object;
    return fault;
  }
  std::string text = value.dump();
  fault.ValueShape = value.is_string() ? CaseFault::Shape::Text : CaseFault::Shape::Scalar;
  constexpr std::size_t kLongest = 60;
  if (text.size() > kLongest) {
    std::size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text = text.substr(0, cut) + "...";
  }
  fault.Value = std::move(text);
  return fault;
}

double NumberOf(const Json& value, const std::string& key, const std::string& origin) {
  if (!value.is_number()) throw CaseError(Faulty(Kind::NotNumber, origin, key, value));
  return value.get<double>();
}

int IntegerOf(const Json& value, const InputSpec& input, const std::string& origin) {
  const std::string key = input.Key;
  const double number = NumberOf(value, key, origin);
  if (number != std::floor(number)) throw CaseError(Faulty(Kind::NotWhole, origin, key, value));
  // Beyond what the field holds, so the run's range check could not see it: told here.
  if (std::fabs(number) > 1e9) {
    CaseFault fault = Faulty(Kind::OutOfRange, origin, key, value);
    fault.Low = input.Min;
    fault.High = input.Max;
    throw CaseError(std::move(fault));
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
      if (!value.is_string()) throw CaseError(Faulty(Kind::NotText, origin, input.Key, value));
      in.*input.TextField = value.get<std::string>();
      return;
  }
}

constexpr const char* kMaterialKey = "Material";
constexpr const char* kPauseKey = "PauseBefore";

// A fault of coat `number`'s key.
CaseError CoatFault(CaseError error, int number) {
  CaseFault fault = error.Fault();
  fault.Coat = number;
  return CaseError(std::move(fault));
}

CoatInput ReadCoat(const Json& object, int number, const std::string& origin) {
  if (!object.is_object()) throw CaseError(MakeFault(Kind::NotCoats, origin, kCoatsKey));
  CoatInput coat;
  for (const auto& [key, value] : object.items()) {
    try {
      if (key == kMaterialKey) {
        if (!value.is_string()) throw CaseError(Faulty(Kind::NotText, origin, key, value));
        coat.Material = value.get<std::string>();
      } else if (key == "PassCount") {
        coat.PassCount = IntegerOf(value, Input("PassCount"), origin);
      } else if (key == kPauseKey) {
        coat.PauseBefore = NumberOf(value, key, origin);
      } else {
        const auto* figure = std::find_if(kCoatFigures.begin(), kCoatFigures.end(),
                                          [&key](const CoatFigure& k) { return key == k.Key; });
        if (figure == kCoatFigures.end()) {
          throw CaseError(MakeFault(Kind::UnknownKey, origin, key));
        }
        coat.*figure->Field = NumberOf(value, key, origin);
      }
    } catch (const CaseError& error) {
      throw CoatFault(error, number);
    }
  }
  return coat;
}

std::vector<CoatInput> ReadCoats(const Json& value, const std::string& origin) {
  if (!value.is_array()) throw CaseError(MakeFault(Kind::NotCoats, origin, kCoatsKey));
  std::vector<CoatInput> coats;
  for (const Json& coat : value) {
    coats.push_back(ReadCoat(coat, static_cast<int>(coats.size()) + 1, origin));
  }
  return coats;
}

Json CoatsJson(const std::vector<CoatInput>& coats) {
  Json list = Json::array();
  for (std::size_t k = 0; k < coats.size(); ++k) {
    const CoatInput& coat = coats[k];
    const auto finite = [&k](const char* key, double value) {
      if (std::isfinite(value)) return value;
      CaseFault fault = MakeFault(Kind::NotFinite, std::string(), key);
      fault.Coat = static_cast<int>(k) + 1;
      throw CaseError(std::move(fault));
    };
    Json object = Json::object();
    object[kMaterialKey] = coat.Material;
    object["PassCount"] = coat.PassCount;
    for (const CoatFigure& figure : kCoatFigures) {
      if ((coat.*figure.Field).has_value()) {
        object[figure.Key] = finite(figure.Key, *(coat.*figure.Field));
      }
    }
    if (coat.PauseBefore != 0) object[kPauseKey] = finite(kPauseKey, coat.PauseBefore);
    list.push_back(std::move(object));
  }
  return list;
}

// Where the reader stopped, counted from 1, from the byte it names.
CaseFault SyntaxFault(std::string_view text, const std::string& origin, std::size_t byte) {
  CaseFault fault = MakeFault(Kind::NotJson, origin);
  const TextPosition position = PositionOfByte(text, byte);
  fault.Line = position.Line;
  fault.Column = position.Column;
  return fault;
}

std::string EnglishText(const CaseFault& fault) {
  const std::string at = fault.Origin.empty() ? std::string() : fault.Origin + ": ";
  const std::string key =
      "\"" + fault.Key + "\"" + (fault.Coat > 0 ? " of coat " + std::to_string(fault.Coat) : "");
  std::string value;
  switch (fault.ValueShape) {
    case CaseFault::Shape::Array:
      value = "an array";
      break;
    case CaseFault::Shape::Object:
      value = "an object";
      break;
    case CaseFault::Shape::Text:
    case CaseFault::Shape::Scalar:
      value = fault.Value;
      break;
  }
  switch (fault.What) {
    case Kind::Unreadable:
      return "Cannot read the case file " + fault.Origin + ".";
    case Kind::TooLarge:
      return "Cannot read the case file " + fault.Origin + ": it holds more than " +
             SizeText(static_cast<std::size_t>(fault.High)) + ", far more than any case file.";
    case Kind::TooDeep:
      return at + "not a case file: " + JsonDepthText() + ".";
    case Kind::NotJson:
      return at + "not a valid JSON case file (syntax error at line " + std::to_string(fault.Line) +
             ", column " + std::to_string(fault.Column) + ").";
    case Kind::NumberTooLarge:
      return at + "a number is beyond the range of a double.";
    case Kind::NotObject:
      return at + "a case file must hold one JSON object.";
    case Kind::KeyTwice:
      return at + "the key " + key + " is given twice.";
    case Kind::NotCatalogue:
      return at + key + " must name a catalogue file.";
    case Kind::UnknownKey:
      return at + "unknown key " + key + ".";
    case Kind::NotNumber:
      return at + key + " must be a number, not " + value + ".";
    case Kind::NotWhole:
      return at + key + " must be a whole number, not " + value + ".";
    case Kind::OutOfRange:
      return at + key + " is " + value + "; it must lie between " +
             format::FormatGeneral(fault.Low) + " and " + format::FormatGeneral(fault.High) + ".";
    case Kind::NotText:
      return at + key + " must be a text, not " + value + ".";
    case Kind::NotFinite:
      return key + " is not a finite number and cannot be saved.";
    case Kind::NotCoats:
      return at + "\"Coats\" must be a list of coats, each an object of keys.";
  }
  return at + "not a case file.";
}

}  // namespace

std::string English(const CaseFault& fault) {
  // Keys, texts and paths come from the file or the user: a terminal's escape or a byte that is
  // not text would reach the terminal, or cut a message short.
  return EscapedName(EnglishText(fault));
}

void ApplyCaseText(std::string_view text, const std::string& origin, InputParameters& in,
                   std::string* catalogue) {
  if (JsonTooDeep(text)) throw CaseError(MakeFault(Kind::TooDeep, origin));
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::parse_error& error) {
    // The reader's own text is for its developers: the fault keeps where it stopped.
    throw CaseError(SyntaxFault(text, origin, error.byte));
  } catch (const Json::out_of_range&) {
    // A number beyond the double range ("1e400") is refused by the reader itself.
    throw CaseError(MakeFault(Kind::NumberTooLarge, origin));
  }
  if (const std::string twice = DuplicateJsonKey(text); !twice.empty()) {
    throw CaseError(MakeFault(Kind::KeyTwice, origin, twice));
  }
  if (!root.is_object()) throw CaseError(MakeFault(Kind::NotObject, origin));
  // Everything is checked on a copy, so a faulty case leaves the inputs as they were.
  InputParameters read = in;
  for (const auto& [key, value] : root.items()) {
    if (key == kCaseCatalogueKey) {
      if (!value.is_string() || value.get<std::string>().empty()) {
        throw CaseError(MakeFault(Kind::NotCatalogue, origin, key));
      }
      continue;
    }
    if (key == kCoatsKey) {
      read.Coats = ReadCoats(value, origin);
      continue;
    }
    const InputSpec* input = FindInput(key);
    if (input == nullptr) throw CaseError(MakeFault(Kind::UnknownKey, origin, key));
    ApplyValue(*input, value, origin, read);
  }
  in = std::move(read);
  if (catalogue != nullptr && root.contains(kCaseCatalogueKey)) {
    *catalogue = root[kCaseCatalogueKey].get<std::string>();
  }
}

void ReadCaseFile(const std::filesystem::path& path, InputParameters& in, std::string* catalogue) {
  std::string text;
  try {
    text = ReadTextFile(path, "case file", kMaxJsonFileBytes);
  } catch (const TextFileError& error) {
    CaseFault fault =
        MakeFault(error.What() == TextFileError::Kind::TooLarge ? Kind::TooLarge : Kind::Unreadable,
                  path.string());
    fault.High = static_cast<double>(error.Limit());
    throw CaseError(std::move(fault));
  }
  std::string named;
  ApplyCaseText(text, path.string(), in, &named);
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
          throw CaseError(MakeFault(Kind::NotFinite, std::string(), input.Key));
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
  if (!in.Coats.empty()) root[kCoatsKey] = CoatsJson(in.Coats);
  // Bytes that are not valid UTF-8 (a name typed in another encoding) are replaced rather than
  // refused.
  return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

void SaveCaseFile(const std::filesystem::path& path, const InputParameters& in) {
  AtomicFile::WriteWhole(path, CaseText(in), "case file");
}

}  // namespace quillane
