#include "ui/GeometrieFields.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "core/Validation.h"
#include "format/NumberFormat.h"

namespace quillane::ui {

namespace {

constexpr int kMaxInteger = 32767;  // the integer boxes hold 16-bit values

const std::vector<FieldInfo>& Table() {
  // Load order of the window. Spin steps: 10 K for the temperatures, 0.1 mm for the thickness.
  static const std::vector<FieldInfo> kFields = {
      {FieldId::Text1, "Text1", "Epaisseur d'une  lamelle(µm)", ParseKind::Strict, 0, 1e-6,
       nullptr},
      {FieldId::Text2, "Text2", "Période entre 2 passes (s)", ParseKind::Strict, 0, 1, nullptr},
      {FieldId::Text3, "Text3", "Temperature des gaz convectifs", ParseKind::Strict, 10, 1,
       "GasTemperature"},
      {FieldId::Text4, "Text4", "Nombre de passes", ParseKind::Lenient, 0, 1, nullptr},
      {FieldId::Text5, "Text5", "épaisseur par passe (µm)", ParseKind::Strict, 0, 1e-6, nullptr},
      {FieldId::Text6, "Text6", "épaisseur (mm)", ParseKind::Strict, 0.1, 1e-3,
       "SubstrateThicknessInput"},
      {FieldId::Text7, "Text7", "Créneau de chauffe (s)", ParseKind::Strict, 0, 1, nullptr},
      {FieldId::Text8, "Text8", "Flux thermique incident (kW/m2)", ParseKind::Strict, 0, 1000,
       nullptr},
      {FieldId::text9, "text9", "Temperature", ParseKind::Strict, 10, 1, "SubstrateTemperature"},
      {FieldId::Text10, "Text10", "T particules incidentes (K)", ParseKind::Lenient, 0, 1, nullptr},
      {FieldId::Text12, "Text12", "largeur (m)", ParseKind::Strict, 0, 1, nullptr},
      {FieldId::Text13, "Text13", "Longueur du témoin (m)", ParseKind::Lenient, 0, 1, nullptr},
      {FieldId::Text14, "Text14", "N° particule témoin ", ParseKind::Lenient, 0, 1, nullptr},
      {FieldId::Text15, "Text15", "N° couche témoin ", ParseKind::Lenient, 0, 1, nullptr},
      {FieldId::Text16, "Text16", "1/Rcourbure", ParseKind::Live, 0, 1, nullptr},
  };
  return kFields;
}

std::string General(double value, const RegionalSettings& locale) {
  return format::FormatGeneral(value, locale.DecimalSeparator);
}

std::string Pattern(double value, std::string_view pattern, const RegionalSettings& locale) {
  return format::FormatPattern(value, pattern, locale.DecimalSeparator);
}

// The caption without the blanks that end some of them, for messages.
std::string Trimmed(const char* caption) {
  std::string text(caption);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

CommitOutcome Refused(const FieldInfo& field, std::string reason) {
  CommitOutcome outcome;
  outcome.Reason = Trimmed(field.Caption) + " : " + std::move(reason);
  return outcome;
}

CommitOutcome Shown(std::string text) {
  CommitOutcome outcome;
  outcome.Accepted = true;
  outcome.Reformat = true;
  outcome.Shown = std::move(text);
  return outcome;
}

// The value of the field in the units the box shows, as the spin buttons step it.
double DisplayedValue(const ModelState& state, FieldId id) {
  const InputParameters& in = state.Input;
  switch (id) {
    case FieldId::Text3:
      return in.GasTemperature;
    case FieldId::Text6:
      return in.SubstrateThicknessInput * 1000;
    case FieldId::text9:
      return in.SubstrateTemperature;
    default:
      break;
  }
  throw std::logic_error("the box has no spin button");
}

// The text a box shows after its commit, from the state.
std::string CommitText(const ModelState& state, FieldId id) {
  const InputParameters& in = state.Input;
  const RegionalSettings& locale = state.Locale;
  switch (id) {
    case FieldId::Text1:
      return Pattern(in.LamellaThickness * 1e6, "##0", locale);
    case FieldId::Text2:
      return Pattern(in.PassPeriod, "0.00E+00", locale);
    case FieldId::Text3:
      return General(in.GasTemperature, locale);
    case FieldId::Text4:
      return General(in.PassCount, locale);
    case FieldId::Text5:
      return Pattern(in.PassThickness * 1e6, "##0", locale);
    case FieldId::Text6:
      return Pattern(in.SubstrateThicknessInput * 1000, "##0.00", locale);
    case FieldId::Text7:
      return Pattern(in.HeatingWindow, "0.00E-00", locale);
    case FieldId::Text8:
      return Pattern(in.HeatFlux / 1000, "0.00E+00", locale);
    case FieldId::text9:
      return General(in.SubstrateTemperature, locale);
    case FieldId::Text10:
      return General(in.ParticleTemperature, locale);
    case FieldId::Text12:
      return Pattern(in.SubstrateWidth, "0.000", locale);
    case FieldId::Text13:
      return Pattern(in.SpecimenLength, "0.000", locale);
    case FieldId::Text14:
      return General(in.WitnessParticle, locale);
    case FieldId::Text15:
      return General(in.WitnessCoat, locale);
    case FieldId::Text16:
      return BoxText(in.InitialCurvatureText, locale);
  }
  return {};
}

// Stores an accepted value (already made non-negative and scaled to SI units).
void Store(ModelState& state, FieldId id, double value) {
  InputParameters& in = state.Input;
  switch (id) {
    case FieldId::Text1:
      in.LamellaThickness = value;
      break;
    case FieldId::Text2:
      in.PassPeriod = value;
      break;
    case FieldId::Text3:
      in.GasTemperature = value;
      break;
    case FieldId::Text5:
      in.PassThickness = value;
      break;
    case FieldId::Text6:
      in.SubstrateThicknessInput = value;
      break;
    case FieldId::Text7:
      in.HeatingWindow = value;
      break;
    case FieldId::Text8:
      in.HeatFlux = value;
      break;
    case FieldId::text9:
      in.SubstrateTemperature = value;
      break;
    case FieldId::Text10:
      in.ParticleTemperature = value;
      break;
    case FieldId::Text12:
      // One width for the thermal and the stress model: the stress model reads its copy.
      in.SubstrateWidth = value;
      state.Stress.StressWidth = value;
      break;
    case FieldId::Text13:
      in.SpecimenLength = value;
      break;
    default:
      throw std::logic_error("the box does not hold a real number");
  }
}

CommitOutcome CommitStrict(ModelState& state, const FieldInfo& field, std::string_view text) {
  const RegionalSettings& locale = state.Locale;
  const auto number = format::ParseStrict(text, locale.DecimalSeparator, locale.GroupSeparator);
  if (!number) {
    std::string shown(text);
    while (!shown.empty() && (shown.back() == ' ' || shown.back() == '\t')) shown.pop_back();
    return Refused(field, shown.empty() ? "la case est vide ; la valeur précédente est conservée."
                                        : "« " + shown +
                                              " » n'est pas un nombre ; la valeur précédente "
                                              "est conservée.");
  }
  const double value = std::fabs(*number) * field.DisplayScale;
  if (!std::isfinite(value)) {
    return Refused(field, "la valeur est trop grande ; la valeur précédente est conservée.");
  }
  Store(state, field.Id, value);
  return Shown(CommitText(state, field.Id));
}

// The 16-bit integer boxes refuse what they cannot hold rather than wrap it.
CommitOutcome CommitInteger(ModelState& state, const FieldInfo& field, double magnitude) {
  if (!(magnitude <= kMaxInteger)) {
    return Refused(field, General(magnitude, state.Locale) + " dépasse " +
                              std::to_string(kMaxInteger) +
                              " ; la valeur précédente est conservée.");
  }
  InputParameters& in = state.Input;
  switch (field.Id) {
    case FieldId::Text4:
      in.PassCount = static_cast<int>(std::floor(magnitude));
      return Shown(CommitText(state, field.Id));
    case FieldId::Text14:
    case FieldId::Text15: {
      // Halves go to the even neighbour (the default rounding mode of the FPU).
      const int rounded = static_cast<int>(std::nearbyint(magnitude));
      (field.Id == FieldId::Text14 ? in.WitnessParticle : in.WitnessCoat) = rounded;
      CommitOutcome outcome;
      outcome.Accepted = true;
      return outcome;  // these boxes keep the text as typed
    }
    default:
      break;
  }
  throw std::logic_error("the box does not hold an integer");
}

CommitOutcome CommitLenient(ModelState& state, const FieldInfo& field, std::string_view text) {
  const std::string modelText = ModelText(text, state.Locale);
  const double magnitude = std::fabs(format::ParseLenient(modelText));
  switch (field.Id) {
    case FieldId::Text4:
    case FieldId::Text14:
    case FieldId::Text15:
      return CommitInteger(state, field, magnitude);
    case FieldId::Text13: {
      state.Input.SpecimenLength = magnitude;
      CommitOutcome outcome = Shown(CommitText(state, field.Id));
      // The layer set-up reads the box's text, which is now the one shown.
      state.Input.SpecimenLengthText = ModelText(outcome.Shown, state.Locale);
      return outcome;
    }
    default:
      Store(state, field.Id, magnitude);
      return Shown(CommitText(state, field.Id));
  }
}

}  // namespace

const std::vector<FieldInfo>& Fields() {
  return Table();
}

const FieldInfo& Field(FieldId id) {
  for (const FieldInfo& field : Table()) {
    if (field.Id == id) return field;
  }
  throw std::logic_error("unknown box");
}

std::string LoadText(const ModelState& state, FieldId id) {
  const InputParameters& in = state.Input;
  const RegionalSettings& locale = state.Locale;
  switch (id) {
    case FieldId::Text1:
      return General(in.LamellaThickness * 1e6, locale);
    case FieldId::Text2:
      return Pattern(in.PassPeriod, "0.00", locale);
    case FieldId::Text3:
      return General(in.GasTemperature, locale);
    case FieldId::Text4:
      return General(in.PassCount, locale);
    case FieldId::Text5:
      return Pattern(in.PassThickness * 1e6, "##0.#", locale);
    case FieldId::Text6:
      return Pattern(in.SubstrateThicknessInput * 1000, "#00.0", locale);
    case FieldId::Text7:
      return Pattern(in.HeatingWindow, "0.00", locale);
    case FieldId::Text8:
      return Pattern(in.HeatFlux / 1000, "#0.0E+0", locale);
    case FieldId::text9:
      return General(in.SubstrateTemperature, locale);
    case FieldId::Text10:
      return General(in.ParticleTemperature, locale);
    case FieldId::Text12:
      return General(in.SubstrateWidth, locale);
    case FieldId::Text13:
      return General(in.SpecimenLength, locale);
    case FieldId::Text14:
      return General(in.WitnessParticle, locale);
    case FieldId::Text15:
      return General(in.WitnessCoat, locale);
    case FieldId::Text16:
      return BoxText(in.InitialCurvatureText, locale);
  }
  return {};
}

CommitOutcome CommitField(ModelState& state, FieldId id, std::string_view text) {
  const FieldInfo& field = Field(id);
  switch (field.Parse) {
    case ParseKind::Strict:
      return CommitStrict(state, field, text);
    case ParseKind::Lenient:
      return CommitLenient(state, field, text);
    case ParseKind::Live:
      break;
  }
  // A live box has nothing to commit: the model reads its text.
  state.Input.InitialCurvatureText = ModelText(text, state.Locale);
  CommitOutcome outcome;
  outcome.Accepted = true;
  return outcome;
}

CommitOutcome StepField(ModelState& state, FieldId id, std::string_view text, int direction) {
  const FieldInfo& field = Field(id);
  if (field.SpinStep == 0) throw std::logic_error("the box has no spin button");
  const RegionalSettings& locale = state.Locale;
  const auto typed = format::ParseStrict(text, locale.DecimalSeparator, locale.GroupSeparator);
  const double shown = typed ? *typed : DisplayedValue(state, id);
  double next = shown + (direction > 0 ? field.SpinStep : -field.SpinStep);
  // Steps of 0.1 accumulate binary fractions; keep the value a short decimal.
  next = std::round(next * 1e9) / 1e9;
  for (const InputRange& range : InputRanges()) {
    if (std::strcmp(range.Field, field.RangeField) == 0) {
      next = std::clamp(next, range.Min / field.DisplayScale, range.Max / field.DisplayScale);
    }
  }
  if (!std::isfinite(next)) return Refused(field, "la valeur affichée n'est pas utilisable.");
  Store(state, id, std::fabs(next) * field.DisplayScale);
  return Shown(CommitText(state, id));
}

std::string ModelText(std::string_view boxText, const RegionalSettings& locale) {
  std::string text(boxText);
  if (locale.DecimalSeparator != '.')
    std::replace(text.begin(), text.end(), locale.DecimalSeparator, '.');
  return text;
}

std::string BoxText(std::string_view modelText, const RegionalSettings& locale) {
  std::string text(modelText);
  if (locale.DecimalSeparator != '.')
    std::replace(text.begin(), text.end(), '.', locale.DecimalSeparator);
  return text;
}

}  // namespace quillane::ui
