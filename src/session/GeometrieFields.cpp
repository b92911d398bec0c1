#include "session/GeometrieFields.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <tuple>

#include "format/NumberFormat.h"
#include "session/FormEntry.h"

namespace quillane::session {

namespace {

// The control names of the boxes, in the order of FieldId.
constexpr const char* kControls[] = {"Text1",  "Text2",  "Text3",  "Text4",  "Text5",
                                     "Text6",  "Text7",  "Text8",  "text9",  "Text10",
                                     "Text12", "Text13", "Text14", "Text15", "Text16",
                                     "Text17", "Text18", "Text19", "Text20", "Text21"};
static_assert(std::size(kControls) == kFieldCount);

const std::vector<FieldInfo>& Table() {
  static const std::vector<FieldInfo> kFields = [] {
    std::vector<FieldInfo> fields;
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
      const auto input = std::find_if(
          InputTable().begin(), InputTable().end(),
          [i](const InputSpec& s) { return s.Control == std::string_view(kControls[i]); });
      if (input == InputTable().end()) throw std::logic_error("no input for a box");
      fields.push_back({static_cast<FieldId>(i), &*input});
    }
    return fields;
  }();
  return kFields;
}

std::string General(double value, const RegionalSettings& locale) {
  return format::FormatGeneral(value, locale.DecimalSeparator);
}

// A value rounded to the seven significant digits a box must never hide.
double SevenDigits(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6e", value);
  return std::strtod(text, nullptr);
}

// A value in the box's unit by a pattern of the table ("" for the general form). Where the
// pattern would drop significant digits of the value (up to seven), the general form shows it
// instead: what a box shows must be what runs.
std::string Shown(double value, const char* pattern, const RegionalSettings& locale) {
  if (pattern[0] == '\0') return General(value, locale);
  std::string text = format::FormatPattern(value, pattern, locale.DecimalSeparator);
  const auto read = format::ParseStrict(text, locale.DecimalSeparator, locale.GroupSeparator);
  if (!read || SevenDigits(*read) != SevenDigits(value)) return General(value, locale);
  return text;
}

// The shortest text that reads back as the curvature, with the box's separator.
std::string CurvatureText(double value, const RegionalSettings& locale) {
  std::string text = format::FormatShortest(value);
  std::replace(text.begin(), text.end(), '.', locale.DecimalSeparator);
  return text;
}

CommitOutcome Refused(const FieldInfo& field, std::string reason) {
  CommitOutcome outcome;
  outcome.Reason = Trimmed(field.Caption()) + " : " + std::move(reason);
  return outcome;
}

CommitOutcome Accepted(std::string text) {
  CommitOutcome outcome;
  outcome.Accepted = true;
  outcome.Reformat = true;
  outcome.Shown = std::move(text);
  return outcome;
}

// The text a box shows after its commit, from the state.
std::string CommitText(const ModelState& state, const FieldInfo& field) {
  const InputSpec& input = *field.Input;
  return Shown(input.ToDisplay(input.Get(state.Input)), input.CommitPattern, state.Locale);
}

CommitOutcome CommitStrict(ModelState& state, const FieldInfo& field, std::string_view text) {
  const RegionalSettings& locale = state.Locale;
  const auto number = format::ParseStrict(text, locale.DecimalSeparator, locale.GroupSeparator);
  if (!number && std::isinf(LiveValue(text, locale))) {
    // A number beyond the range of a double ("1e400") is a number all the same.
    return Refused(field, "la valeur est trop grande ; la valeur précédente est conservée.");
  }
  if (!number) {
    std::string shown(text);
    while (!shown.empty() && (shown.back() == ' ' || shown.back() == '\t')) shown.pop_back();
    return Refused(field, shown.empty() ? "la case est vide ; la valeur précédente est conservée."
                                        : "« " + shown +
                                              " » n'est pas un nombre ; la valeur précédente "
                                              "est conservée.");
  }
  const double value = field.Input->FromDisplay(std::fabs(*number));
  if (!std::isfinite(value)) {
    return Refused(field, "la valeur est trop grande ; la valeur précédente est conservée.");
  }
  field.Input->Set(state.Input, value);
  return Accepted(CommitText(state, field));
}

// The 16-bit integer boxes refuse what they cannot hold rather than wrap it.
CommitOutcome CommitInteger(ModelState& state, const FieldInfo& field, double magnitude) {
  if (!(magnitude <= kMaxInteger)) {
    return Refused(field, General(magnitude, state.Locale) + " dépasse " +
                              std::to_string(kMaxInteger) +
                              " ; la valeur précédente est conservée.");
  }
  if (field.Input->CommitPattern != nullptr) {
    field.Input->Set(state.Input, std::floor(magnitude));
    return Accepted(CommitText(state, field));
  }
  // The witness boxes keep the text as typed; halves go to the even neighbour (the default
  // rounding mode of the FPU).
  field.Input->Set(state.Input, std::nearbyint(magnitude));
  CommitOutcome outcome;
  outcome.Accepted = true;
  return outcome;
}

// Whether a lenient box's text is a number as typed: blanks anywhere aside, a number in the
// locale's conventions or a hexadecimal or octal integer ("&H1F").
bool WholeNumber(std::string_view text, const RegionalSettings& locale) {
  std::string kept;
  for (const char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') kept += c;
  }
  if (kept.size() > 2 && kept[0] == '&' && std::strchr("HhOo", kept[1]) != nullptr) return true;
  return format::ParseStrict(kept, locale.DecimalSeparator, locale.GroupSeparator).has_value();
}

// A lenient box reads what leads its text and never refuses it, but a text that is not a number
// is told, with the value it gave, as the strict boxes tell theirs.
CommitOutcome NotedLenient(CommitOutcome outcome, const ModelState& state, const FieldInfo& field,
                           std::string_view text) {
  if (!outcome.Accepted || WholeNumber(text, state.Locale)) return outcome;
  std::string shown = Trimmed(std::string(text));
  const std::string value =
      General(field.Input->ToDisplay(field.Input->Get(state.Input)), state.Locale);
  outcome.Reason =
      Trimmed(field.Caption()) + " : " +
      (shown.empty() ? std::string("la case est vide") : "« " + shown + " » n'est pas un nombre") +
      " ; la valeur retenue est " + value + ".";
  return outcome;
}

CommitOutcome CommitLenient(ModelState& state, const FieldInfo& field, std::string_view text) {
  const double magnitude = std::fabs(LiveValue(text, state.Locale));
  if (field.Input->Type == InputType::Integer) {
    return NotedLenient(CommitInteger(state, field, magnitude), state, field, text);
  }
  field.Input->Set(state.Input, magnitude);
  CommitOutcome outcome = Accepted(CommitText(state, field));
  // A live box's value follows its text, which is now the one shown.
  if (field.Id == FieldId::Text13) {
    state.Input.SpecimenLength = LiveValue(outcome.Shown, state.Locale);
  }
  return NotedLenient(std::move(outcome), state, field, text);
}

}  // namespace

const std::vector<FieldInfo>& Fields() {
  return Table();
}

const FieldInfo& Field(FieldId id) {
  return Table().at(static_cast<std::size_t>(id));
}

const FieldInfo& FieldOf(const InputSpec& input) {
  for (const FieldInfo& field : Table()) {
    if (field.Input == &input) return field;
  }
  throw std::logic_error(std::string("no box for the input ") + input.Key);
}

bool IsMaterialList(const InputSpec& input) {
  return input.Parse == FieldParse::List && input.Choices.empty();
}

std::vector<const InputSpec*> FrameInputs(WindowFrame frame) {
  std::vector<const InputSpec*> inputs;
  for (const InputSpec& input : InputTable()) {
    if (input.Cell.Frame == frame) inputs.push_back(&input);
  }
  const auto place = [](const InputSpec* input) {
    return std::tuple(!IsMaterialList(*input), input->Cell.Row, input->Cell.Column);
  };
  std::sort(inputs.begin(), inputs.end(),
            [&place](const InputSpec* a, const InputSpec* b) { return place(a) < place(b); });
  return inputs;
}

std::string LoadText(const ModelState& state, FieldId id) {
  const InputSpec& input = *Field(id).Input;
  if (input.Parse == FieldParse::Live) return CurvatureText(input.Get(state.Input), state.Locale);
  return Shown(input.ToDisplay(input.Get(state.Input)), input.LoadPattern, state.Locale);
}

CommitOutcome CommitField(ModelState& state, FieldId id, std::string_view text) {
  const FieldInfo& field = Field(id);
  switch (field.Parse()) {
    case FieldParse::Strict:
      return CommitStrict(state, field, text);
    case FieldParse::Lenient:
      return CommitLenient(state, field, text);
    case FieldParse::Live:
    case FieldParse::List:
      break;
  }
  // A live box has nothing to commit: its value follows its text.
  field.Input->Set(state.Input, LiveValue(text, state.Locale));
  CommitOutcome outcome;
  outcome.Accepted = true;
  return outcome;
}

CommitOutcome StepField(ModelState& state, FieldId id, std::string_view text, int direction) {
  const FieldInfo& field = Field(id);
  const InputSpec& input = *field.Input;
  if (input.SpinStep == 0) throw std::logic_error("the box has no spin button");
  const RegionalSettings& locale = state.Locale;
  const auto typed = format::ParseStrict(text, locale.DecimalSeparator, locale.GroupSeparator);
  const double shown = typed ? *typed : input.ToDisplay(input.Get(state.Input));
  double next = shown + (direction > 0 ? input.SpinStep : -input.SpinStep);
  // Steps of 0.1 accumulate binary fractions; keep the value a short decimal.
  next = std::round(next * 1e9) / 1e9;
  next = std::clamp(next, input.ToDisplay(input.Min), input.ToDisplay(input.Max));
  if (!std::isfinite(next)) return Refused(field, "la valeur affichée n'est pas utilisable.");
  input.Set(state.Input, input.FromDisplay(std::fabs(next)));
  return Accepted(CommitText(state, field));
}

std::string RangeText(const FieldInfo& field, const RegionalSettings& locale) {
  const InputSpec& input = *field.Input;
  if (!input.Ranged) return "Plage : au plus 2 / longueur du témoin, en valeur absolue";
  std::string text = "Plage : " + General(input.ToDisplay(input.Min), locale) + " à " +
                     General(input.ToDisplay(input.Max), locale);
  if (input.DisplayUnit[0] != '\0') text += std::string(" ") + input.DisplayUnit;
  return text;
}

std::string ValueText(const ModelState& state, const FieldInfo& field) {
  const InputSpec& input = *field.Input;
  std::string text = "Valeur : " + General(input.ToDisplay(input.Get(state.Input)), state.Locale);
  if (input.DisplayUnit[0] != '\0') text += std::string(" ") + input.DisplayUnit;
  return text;
}

double LiveValue(std::string_view boxText, const RegionalSettings& locale) {
  std::string text(boxText);
  if (locale.DecimalSeparator != '.') {
    std::replace(text.begin(), text.end(), locale.DecimalSeparator, '.');
  }
  return format::ParseLenient(text);
}

}  // namespace quillane::session
