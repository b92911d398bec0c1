#include "study/StudyFile.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "format/NumberFormat.h"
#include "io/CaseFile.h"
#include "io/JsonDepth.h"
#include "io/TextFile.h"
#include "study/StudyDesign.h"

namespace quillane::study {

namespace {

using Json = nlohmann::json;

std::string Number(double value) {
  return format::FormatShortest(value);
}

// Reads one study entry; `where` names it in messages ("study.json: vary[0] (\"HeatFlux\")").
class EntryReader {
 public:
  explicit EntryReader(std::string where) : where_(std::move(where)) {}

  [[noreturn]] void Fail(const std::string& what) const { throw StudyError(where_ + ": " + what); }
  // A fault the windows tell too: its English, and the fault as data.
  [[noreturn]] void Fail(const EntryFault& fault) const {
    throw StudyError(where_ + ": " + English(fault), fault);
  }

  double NumberAt(const Json& object, const char* key) const {
    const auto found = object.find(key);
    if (found == object.end()) Fail(std::string("\"") + key + "\" is missing.");
    if (!found->is_number()) Fail(std::string("\"") + key + "\" must be a number.");
    const double value = found->get<double>();
    if (!std::isfinite(value)) Fail(std::string("\"") + key + "\" must be finite.");
    return value;
  }

  long long CountAt(const Json& object, const char* key) const {
    const double value = NumberAt(object, key);
    if (value < 0)
      Fail(std::string("\"") + key + "\" must not be negative: " + Number(value) + ".");
    if (value != std::floor(value) || value > 1e15) {
      Fail(std::string("\"") + key + "\" must be a whole number, not " + Number(value) + ".");
    }
    return static_cast<long long>(value);
  }

  void OnlyKeys(const Json& object, std::initializer_list<const char*> keys) const {
    for (const auto& item : object.items()) {
      bool known = false;
      for (const char* key : keys) known = known || item.key() == key;
      if (!known) Fail("unknown key \"" + item.key() + "\".");
    }
  }

  const std::string& Where() const { return where_; }

 private:
  std::string where_;
};

// The range of a "from", "to", "steps" entry, with its "scale".
std::vector<double> ReadRange(const Json& entry, const QuantitySpec& quantity,
                              const EntryReader& reader) {
  ValueRange range;
  range.From = reader.NumberAt(entry, "from");
  range.To = reader.NumberAt(entry, "to");
  range.Steps = reader.CountAt(entry, "steps");
  std::string scale = "linear";
  if (entry.contains("scale")) {
    if (!entry["scale"].is_string()) reader.Fail("\"scale\" must be \"linear\" or \"log\".");
    scale = entry["scale"].get<std::string>();
    if (scale != "linear" && scale != "log") {
      reader.Fail("\"scale\" must be \"linear\" or \"log\", not \"" + scale + "\".");
    }
  }
  range.Log = scale == "log";
  if (std::optional<EntryFault> fault = CheckRange(range)) {
    fault->Quantity = &quantity;
    reader.Fail(*fault);
  }
  return RangeValues(range);
}

// Whether a normal law is cut to its input's range ("truncate": true beside "normal").
bool ReadTruncate(const Json& law, const EntryReader& reader) {
  if (!law.contains("truncate")) return false;
  if (!law.contains("normal")) reader.Fail("\"truncate\" belongs to a normal law.");
  if (!law["truncate"].is_boolean()) reader.Fail("\"truncate\" must be true or false.");
  return law["truncate"].get<bool>();
}

// The probability a truncated law keeps: below it, the draws would all crowd at one end.
constexpr double kLeastKeptProbability = 1e-6;

void CheckTruncatedLaw(const Quantity& quantity, const EntryReader& reader) {
  const QuantitySpec& spec = *quantity.Spec;
  const double kept = NormalCdf((spec.Max - quantity.LawA) / quantity.LawB) -
                      NormalCdf((spec.Min - quantity.LawA) / quantity.LawB);
  if (!(kept >= kLeastKeptProbability)) {
    reader.Fail("the normal law [" + Number(quantity.LawA) + ", " + Number(quantity.LawB) +
                "] puts almost nothing within the input's range [" + Number(spec.Min) + ", " +
                Number(spec.Max) + "]; it cannot be truncated to it.");
  }
}

void ReadDistribution(const Json& law, Quantity& quantity, const EntryReader& reader) {
  if (!law.is_object() || law.size() != 1 + (law.contains("truncate") ? 1u : 0u)) {
    reader.Fail(
        "\"distribution\" must be {\"uniform\": [a, b]} or {\"normal\": [mean, sd]}, the "
        "latter with \"truncate\": true to draw within the input's range.");
  }
  quantity.Truncate = ReadTruncate(law, reader);
  // The iterator's key is a view into the iterator: kept as a copy.
  const auto entry = law.begin().key() == "truncate" ? std::next(law.begin()) : law.begin();
  const std::string kind = entry.key();
  const Json& pair = entry.value();
  if (kind != "uniform" && kind != "normal") {
    reader.Fail("unknown distribution \"" + kind + "\"; use \"uniform\" or \"normal\".");
  }
  if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number() || !pair[1].is_number()) {
    reader.Fail("\"" + kind + "\" takes two numbers.");
  }
  quantity.LawA = pair[0].get<double>();
  quantity.LawB = pair[1].get<double>();
  if (!std::isfinite(quantity.LawA) || !std::isfinite(quantity.LawB)) {
    reader.Fail("\"" + kind + "\" takes finite numbers.");
  }
  if (kind == "uniform") {
    quantity.Law = Distribution::Uniform;
    // The ends as a range of one interval, told in the law's own words.
    if (std::optional<EntryFault> fault = CheckRange({quantity.LawA, quantity.LawB, 1, false})) {
      fault->Quantity = quantity.Spec;
      throw StudyError(reader.Where() + ": the uniform range [" + Number(quantity.LawA) + ", " +
                           Number(quantity.LawB) + "] is " +
                           (fault->Kind == FaultKind::EmptyRange ? "empty." : "reversed."),
                       *fault);
    }
  } else {
    quantity.Law = Distribution::Normal;
    if (!(quantity.LawB > 0)) {
      EntryFault fault;
      fault.Kind = FaultKind::DeviationNotPositive;
      fault.Quantity = quantity.Spec;
      fault.Value = quantity.LawA;
      fault.Value2 = quantity.LawB;
      reader.Fail(fault);
    }
    if (quantity.Truncate && quantity.Spec->Bounded) CheckTruncatedLaw(quantity, reader);
  }
}

Quantity ReadQuantity(const Json& entry, std::size_t index, bool sampled,
                      const std::string& origin) {
  EntryReader reader(origin + ": vary[" + std::to_string(index) + "]");
  if (!entry.is_object()) reader.Fail("must be an object with an \"input\".");
  if (!entry.contains("input") || !entry["input"].is_string()) {
    reader.Fail("\"input\" (a case key or substrate./coating./contact.<column>) is missing.");
  }
  const std::string name = entry["input"].get<std::string>();
  reader = EntryReader(reader.Where() + " (\"" + name + "\")");
  Quantity quantity;
  quantity.Spec = FindQuantity(name);
  if (quantity.Spec == nullptr) {
    EntryFault fault;
    fault.Kind = FaultKind::UnknownQuantity;
    fault.Text = name;
    reader.Fail(fault);
  }
  reader.OnlyKeys(entry, {"input", "values", "from", "to", "steps", "scale", "distribution"});
  if (sampled) {
    if (!entry.contains("distribution")) {
      reader.Fail("a latin-hypercube study draws each quantity from a \"distribution\".");
    }
    ReadDistribution(entry["distribution"], quantity, reader);
    if (quantity.Law == Distribution::Uniform) {
      for (const double end : {quantity.LawA, quantity.LawB}) {
        if (const auto fault = CheckValue(*quantity.Spec, end)) reader.Fail(*fault);
      }
    }
    return quantity;
  }
  if (entry.contains("distribution")) {
    reader.Fail(
        "\"distribution\" belongs to a latin-hypercube study; give \"values\" or a "
        "range here.");
  }
  if (entry.contains("values") &&
      (entry.contains("from") || entry.contains("to") || entry.contains("steps"))) {
    reader.Fail("give either \"values\" or \"from\", \"to\" and \"steps\", not both.");
  }
  if (entry.contains("values")) {
    const Json& values = entry["values"];
    if (!values.is_array() || values.empty()) reader.Fail("\"values\" must be a non-empty list.");
    for (const Json& value : values) {
      if (!value.is_number()) reader.Fail("\"values\" must hold numbers only.");
      quantity.Values.push_back(value.get<double>());
    }
  } else if (entry.contains("from") || entry.contains("to") || entry.contains("steps")) {
    quantity.Values = ReadRange(entry, *quantity.Spec, reader);
  } else {
    reader.Fail("give \"values\", or \"from\", \"to\" and \"steps\".");
  }
  for (const double value : quantity.Values) {
    if (const auto fault = CheckValue(*quantity.Spec, value)) reader.Fail(*fault);
  }
  return quantity;
}

void ReadDesign(const Json& design, Study& study, const std::string& origin) {
  EntryReader reader(origin + ": design");
  if (design.is_string()) {
    const std::string name = design.get<std::string>();
    if (name == "factorial") {
      study.Design = DesignKind::Factorial;
    } else if (name == "one-at-a-time") {
      study.Design = DesignKind::OneAtATime;
    } else {
      reader.Fail("unknown design \"" + name +
                  "\"; use \"factorial\", \"one-at-a-time\" or {\"latin-hypercube\": …}.");
    }
    return;
  }
  if (!design.is_object() || !design.contains("latin-hypercube") || design.size() != 1 ||
      !design["latin-hypercube"].is_object()) {
    reader.Fail(
        "must be \"factorial\", \"one-at-a-time\" or {\"latin-hypercube\": "
        "{\"samples\": N, \"seed\": S}}.");
  }
  const Json& settings = design["latin-hypercube"];
  reader.OnlyKeys(settings, {"samples", "seed"});
  study.Design = DesignKind::LatinHypercube;
  study.Samples = reader.CountAt(settings, "samples");
  if (study.Samples == 0) {
    EntryFault fault;
    fault.Kind = FaultKind::TooFewSamples;
    reader.Fail(fault);
  }
  study.Seed =
      settings.contains("seed") ? static_cast<std::uint64_t>(reader.CountAt(settings, "seed")) : 0;
}

}  // namespace

std::optional<EntryFault> CheckRange(const ValueRange& range) {
  EntryFault fault;
  fault.Value = range.From;
  fault.Value2 = range.To;
  fault.Count = range.Steps;
  fault.Max = static_cast<double>(kMaxRangeSteps);
  if (range.Steps < 1) {
    fault.Kind = FaultKind::TooFewSteps;
  } else if (range.Steps > kMaxRangeSteps) {
    fault.Kind = FaultKind::TooManySteps;
  } else if (!std::isfinite(range.From) || !std::isfinite(range.To)) {
    fault.Kind = FaultKind::EndsNotFinite;
  } else if (range.From == range.To) {
    fault.Kind = FaultKind::EmptyRange;
  } else if (range.From > range.To) {
    fault.Kind = FaultKind::ReversedRange;
  } else if (range.Log && !(range.From > 0)) {
    fault.Kind = FaultKind::LogNotPositive;
  } else {
    return std::nullopt;
  }
  return fault;
}

Study ReadStudyText(std::string_view text, const std::string& origin,
                    const InputParameters& defaults, const std::filesystem::path& folder) {
  if (JsonTooDeep(text)) throw StudyError(origin + ": not a study: " + JsonDepthText() + ".");
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::parse_error& error) {
    // The reader's own text is for its developers (and quotes the bytes it met, text or not):
    // told as a case file's fault is.
    const TextPosition position = PositionOfByte(text, error.byte);
    throw StudyError(origin + ": not valid JSON (syntax error at line " +
                     std::to_string(position.Line) + ", column " + std::to_string(position.Column) +
                     ").");
  } catch (const Json::out_of_range&) {
    // A number beyond the double range ("1e400") is refused by the reader itself.
    throw StudyError(origin + ": a number is beyond the range of a double.");
  }
  const EntryReader reader(origin);
  if (const std::string twice = DuplicateJsonKey(text); !twice.empty()) {
    reader.Fail("the key \"" + twice + "\" is given twice.");
  }
  if (!root.is_object())
    reader.Fail("a study is a JSON object with \"base\", \"vary\" and \"design\".");
  reader.OnlyKeys(root, {"base", "vary", "design"});
  Study study;
  study.Base = defaults;
  if (root.contains("base")) {
    const Json& base = root["base"];
    try {
      if (base.is_string()) {
        const std::filesystem::path path = folder / base.get<std::string>();
        ReadCaseFile(path, study.Base);
      } else if (base.is_object()) {
        ApplyCaseText(base.dump(), origin + " (base)", study.Base);
      } else {
        reader.Fail("\"base\" must be a case (an object) or the name of a case file.");
      }
    } catch (const CaseError& error) {
      // A base given inline is already named "s.json (base)"; a file names itself.
      throw StudyError(base.is_object() ? std::string(error.what())
                                        : origin + ": base: " + error.what());
    }
  }
  if (root.contains("design")) ReadDesign(root["design"], study, origin);
  if (!root.contains("vary") || !root["vary"].is_array() || root["vary"].empty()) {
    reader.Fail("\"vary\" must list at least one quantity.");
  }
  const bool sampled = study.Design == DesignKind::LatinHypercube;
  for (std::size_t i = 0; i < root["vary"].size(); ++i) {
    Quantity quantity = ReadQuantity(root["vary"][i], i, sampled, origin);
    for (const Quantity& earlier : study.Vary) {
      if (earlier.Spec == quantity.Spec) {
        EntryFault fault;
        fault.Kind = FaultKind::SameQuantity;
        fault.Quantity = quantity.Spec;
        EntryReader(origin + ": vary[" + std::to_string(i) + "] (\"" + quantity.Name() + "\")")
            .Fail(fault);
      }
    }
    study.Vary.push_back(std::move(quantity));
  }
  return study;
}

std::string ReadStudyFileText(const std::filesystem::path& path) {
  try {
    return ReadTextFile(path, "study file", kMaxJsonFileBytes);
  } catch (const TextFileError& error) {
    throw StudyError(error.what());
  }
}

Study ReadStudyFile(const std::filesystem::path& path, const InputParameters& defaults) {
  return ReadStudyText(ReadStudyFileText(path), path.string(), defaults, path.parent_path());
}

}  // namespace quillane::study
