#include "model/InputTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>

namespace quillane {

namespace {

using P = InputParameters;
constexpr auto kStrict = FieldParse::Strict;
constexpr auto kLenient = FieldParse::Lenient;

InputSpec Real(const char* key, const char* caption, const char* unit, const char* shown,
               double factor, double min, double max, double fallback, const char* control,
               const char* flag, FieldParse parse, const char* load, const char* commit,
               double spin, double P::*field) {
  return {key,   InputType::Real, caption, unit, shown, factor, true,   min,
          max,   fallback,        control, flag, parse, load,   commit, spin,
          field, nullptr,         nullptr, {}};
}

InputSpec Integer(const char* key, const char* caption, int fallback, const char* control,
                  const char* flag, const char* commit, int P::*field) {
  return {key,         InputType::Integer,
          caption,     "",
          "",          1,
          true,        0,
          kMaxInteger, static_cast<double>(fallback),
          control,     flag,
          kLenient,    "",
          commit,      0,
          nullptr,     field,
          nullptr,     {}};
}

InputSpec Name(const char* key, const char* caption, const char* control, const char* flag,
               std::string P::*field) {
  return {key,  InputType::Text,  caption, "", "", 1,       false,   0,     0, 0, control,
          flag, FieldParse::List, "",      "", 0,  nullptr, nullptr, field, {}};
}

InputSpec Choice(const char* key, const char* caption, const char* control, const char* flag,
                 std::string P::*field, std::span<const InputChoice> choices) {
  InputSpec spec = Name(key, caption, control, flag, field);
  spec.Choices = choices;
  return spec;
}

// Whole number 1 to 8: cells and steps of the whole-deposit field multiplied.
InputSpec Refinement() {
  InputSpec spec = Integer("ThermalRefinement", "Raffinement thermique (1 à 8)", 1, "Text21",
                           "--thermal-refinement", "", &P::ThermalRefinement);
  spec.Min = 1;
  spec.Max = 8;
  return spec;
}

InputSpec At(WindowCell cell, InputSpec spec) {
  spec.Cell = cell;
  return spec;
}

constexpr auto kSubstrate = WindowFrame::Substrate;
constexpr auto kDeposit = WindowFrame::Deposit;
constexpr auto kOptions = WindowFrame::Options;

constexpr InputChoice kStressModels[] = {{kOnePassModel, "une passe"},
                                         {kWholeDepositModel, "dépôt complet"}};

std::string Listed(const InputSpec& input, const char* InputChoice::*part, const char* last) {
  std::string text;
  const std::size_t count = input.Choices.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += i + 1 == count ? last : ", ";
    text += input.Choices[i].*part;
  }
  return text;
}

// The power of ten `factor` is exactly (as "1e-6" reads), if it is one.
std::optional<int> DecimalPower(double factor) {
  if (!(factor > 0) || !std::isfinite(factor)) return std::nullopt;
  const int power = static_cast<int>(std::lround(std::log10(factor)));
  const std::string text = "1e" + std::to_string(power);
  double exact = 0;
  std::from_chars(text.data(), text.data() + text.size(), exact);
  return exact == factor ? std::optional<int>(power) : std::nullopt;
}

// The value × 10^power read from its shortest digits with the exponent moved; nullopt where the
// result leaves the range of a double.
std::optional<double> ShiftDecimal(double value, int power) {
  char digits[64];
  const char* begin = digits;
  const char* end =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::scientific).ptr;
  const char* mark = std::find(begin, end, 'e');
  int exponent = 0;
  std::from_chars(mark + (mark[1] == '+' ? 2 : 1), end, exponent);
  const std::string text = std::string(begin, mark) + "e" + std::to_string(exponent + power);
  double shifted = 0;
  const auto read = std::from_chars(text.data(), text.data() + text.size(), shifted);
  if (read.ec != std::errc()) return std::nullopt;
  return shifted;
}

double Scaled(double value, double factor, bool toSi) {
  const std::optional<int> power = DecimalPower(factor);
  if (power && value != 0 && std::isfinite(value)) {
    if (const auto shifted = ShiftDecimal(value, toSi ? *power : -*power)) return *shifted;
  }
  return toSi ? value * factor : value / factor;
}

}  // namespace

double ScaleToSi(double shown, double factor) {
  return Scaled(shown, factor, true);
}

double ScaleFromSi(double si, double factor) {
  return Scaled(si, factor, false);
}

double InputSpec::Get(const InputParameters& in) const {
  if (RealField != nullptr) return in.*RealField;
  if (IntegerField != nullptr) return in.*IntegerField;
  throw std::logic_error(std::string(Key) + " is not a number input");
}

void InputSpec::Set(InputParameters& in, double value) const {
  if (RealField != nullptr) {
    in.*RealField = value;
  } else if (IntegerField != nullptr) {
    in.*IntegerField = static_cast<int>(value);
  } else {
    throw std::logic_error(std::string(Key) + " is not a number input");
  }
}

const std::vector<InputSpec>& InputTable() {
  // Spin steps: 10 K for the temperatures, 0.1 mm for the substrate thickness.
  static const std::vector<InputSpec> kTable = {
      At({kDeposit, 0, 0},
         Real("PassThickness", "épaisseur par passe (µm)", "m", "µm", 1e-6, 1e-9, 1, 1e-6, "Text5",
              "--pass-thickness", kStrict, "##0.#", "##0", 0, &P::PassThickness)),
      At({kDeposit, 1, 0},
         Integer("PassCount", "Nombre de passes", 1, "Text4", "--passes", "", &P::PassCount)),
      At({kDeposit, 2, 0},
         Real("PassPeriod", "Période entre 2 passes (s)", "s", "s", 1, 1e-6, 1e6, 4.5, "Text2",
              "--pass-period", kStrict, "0.00", "0.00E+00", 0, &P::PassPeriod)),
      At({kDeposit, 3, 0},
         Real("HeatingWindow", "Créneau de chauffe (s)", "s", "s", 1, 1e-6, 1e6, 1.5, "Text7",
              "--heating-window", kStrict, "0.00", "0.00E-00", 0, &P::HeatingWindow)),
      At({kDeposit, 4, 0},
         Real("HeatFlux", "Flux thermique incident (kW/m²)", "W/m²", "kW/m²", 1000, 0, 1e10, 500000,
              "Text8", "--heat-flux", kStrict, "#0.0E+0", "0.00E+00", 0, &P::HeatFlux)),
      At({kDeposit, 5, 0},
         Real("ParticleTemperature", "T particules incidentes (K)", "K", "K", 1, 1, 1e4, 3000,
              "Text10", "--particle-temperature", kLenient, "", "", 0, &P::ParticleTemperature)),
      At({kDeposit, 6, 0}, Integer("WitnessParticle", "N° particule témoin ", 1, "Text14",
                                   "--witness-particle", nullptr, &P::WitnessParticle)),
      At({kDeposit, 7, 0}, Integer("WitnessCoat", "N° couche témoin ", 1, "Text15",
                                   "--witness-coat", nullptr, &P::WitnessCoat)),
      At({kSubstrate, 0, 0, false, "ud3"},
         Real("SubstrateThicknessInput", "épaisseur (mm)", "m", "mm", 1e-3, 1e-9, 1, 0.002, "Text6",
              "--substrate-thickness", kStrict, "#00.0", "##0.00", 0.1,
              &P::SubstrateThicknessInput)),
      At({kSubstrate, 0, 1},
         Real("SubstrateWidth", "largeur (m)", "m", "m", 1, 1e-9, 1, 0.02, "Text12", "--width",
              kStrict, "", "0.000", 0, &P::SubstrateWidth)),
      At({kSubstrate, 1, 0, false, "ud1"},
         Real("SubstrateTemperature", "Temperature", "K", "K", 1, 1, 1e4, 573, "text9",
              "--substrate-temperature", kStrict, "", "", 10, &P::SubstrateTemperature)),
      At({kSubstrate, 2, 0, true, "ud2"},
         Real("GasTemperature", "Temperature des gaz convectifs", "K", "K", 1, 1, 1e4, 973, "Text3",
              "--gas-temperature", kStrict, "", "", 10, &P::GasTemperature)),
      At({kOptions, 0, 0},
         Real("SpecimenLength", "Longueur du témoin (m)", "m", "m", 1, 1e-9, 1, 0.08, "Text13",
              "--specimen-length", kLenient, "", "0.000", 0, &P::SpecimenLength)),
      // Bounded by 2 / SpecimenLength, a check across inputs.
      {"InitialCurvature",
       InputType::Real,
       "1/Rcourbure",
       "1/m",
       "1/m",
       1,
       false,
       0,
       0,
       0,
       "Text16",
       "--curvature",
       FieldParse::Live,
       "",
       nullptr,
       0,
       &P::InitialCurvature,
       nullptr,
       nullptr,
       {},
       {kSubstrate, 1, 1}},
      At({kOptions, 0, 1},
         Real("LamellaThickness", "Epaisseur d'une  lamelle(µm)", "m", "µm", 1e-6, 1e-9, 1, 1e-6,
              "Text1", "--lamella-thickness", kStrict, "", "##0", 0, &P::LamellaThickness)),
      At({kOptions, 1, 0},
         Real("RoomTemperature", "Température ambiante (K)", "K", "K", 1, 1, 1e4, 293.15, "Text17",
              "--room-temperature", kStrict, "", "", 0, &P::RoomTemperature)),
      At({kOptions, 1, 1}, Choice("StressModel", "Modèle des contraintes", "Combo1",
                                  "--stress-model", &P::StressModel, kStressModels)),
      // The whole-deposit model's thermal field.
      At({kOptions, 2, 0},
         Real("CoolingTime", "Refroidissement final (s)", "s", "s", 1, 0, 1e6, 600, "Text18",
              "--cooling-time", kStrict, "", "", 0, &P::CoolingTime)),
      At({kOptions, 3, 0}, Real("BackFaceCoefficient", "Échange face arrière (W/m²K)", "W/(m²·K)",
                                "W/(m²·K)", 1, 0, 1e6, 0, "Text19", "--back-face-coefficient",
                                kStrict, "", "", 0, &P::BackFaceCoefficient)),
      // 0 stands for the plate's starting temperature.
      At({kOptions, 3, 1},
         Real("BackFaceTemperature", "T du support (K, 0 : T substrat)", "K", "K", 1, 0, 1e4, 0,
              "Text20", "--back-face-temperature", kStrict, "", "", 0, &P::BackFaceTemperature)),
      At({kOptions, 2, 1}, Refinement()),
      At({kSubstrate, 0, 0}, Name("SubstrateMaterialName", "Substrat", "Datalist1", "--substrate",
                                  &P::SubstrateMaterialName)),
      At({kDeposit, 0, 0},
         Name("CoatingMaterialName", "Dépôt", "Datalist2", "--coating", &P::CoatingMaterialName)),
  };
  return kTable;
}

const char* ChoiceCaption(const InputSpec& input, const std::string& value) {
  for (const InputChoice& choice : input.Choices) {
    if (value == choice.Value) return choice.Caption;
  }
  return "";
}

std::string ChoiceList(const InputSpec& input) {
  return Listed(input, &InputChoice::Value, " or ");
}

std::string ChoiceCaptionList(const InputSpec& input) {
  return Listed(input, &InputChoice::Caption, " ou ");
}

const InputSpec* FindInput(const std::string& key) {
  for (const InputSpec& input : InputTable()) {
    if (key == input.Key) return &input;
  }
  return nullptr;
}

const InputSpec& Input(const std::string& key) {
  const InputSpec* input = FindInput(key);
  if (input == nullptr) throw std::logic_error("no input " + key);
  return *input;
}

}  // namespace quillane
