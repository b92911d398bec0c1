#include "run/Validation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "format/NumberFormat.h"
#include "model/Deposit.h"
#include "model/Errors.h"
#include "model/FigureTable.h"

namespace quillane {

namespace {

std::string General(double value) {
  return format::FormatGeneral(value);
}

// A number with its unit ("2 m"), or bare for a count.
std::string WithUnit(const std::string& number, const char* unit) {
  return unit[0] != '\0' ? number + " " + unit : number;
}

// The caption without the blanks that end some of them.
std::string Caption(const InputSpec& input) {
  std::string text(input.Caption);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// A value in the unit of the window's box, with the locale's separator.
std::string Shown(const InputSpec& input, double value, char separator) {
  return WithUnit(format::FormatGeneral(input.ToDisplay(value), separator), input.DisplayUnit);
}

// The allowed range of an input, in English (SI, and the flag's unit where it differs) and in
// French (the box's unit).
std::string EnglishRange(const InputSpec& input) {
  std::string text = "it must lie between " + WithUnit(General(input.Min), input.Unit) + " and " +
                     WithUnit(General(input.Max), input.Unit);
  if (input.DisplayFactor != 1) {
    text += " (" + std::string(input.Flag) + " takes " + General(input.ToDisplay(input.Min)) +
            " to " + WithUnit(General(input.ToDisplay(input.Max)), input.DisplayUnit) + ")";
  }
  return text + ".";
}

std::string FrenchRange(const InputSpec& input, char separator) {
  return "la valeur doit être comprise entre " +
         format::FormatGeneral(input.ToDisplay(input.Min), separator) + " et " +
         Shown(input, input.Max, separator) + ".";
}

InputFault NotFinite(const InputSpec& input, char separator) {
  const std::string english =
      std::string(input.Key) + " (" + input.Flag + ") is not a finite number";
  const std::string french = Caption(input) + " : la valeur n'est pas un nombre fini";
  if (!input.Ranged) return {&input, english + ".", french + "."};
  return {&input, english + "; " + EnglishRange(input),
          french + " ; " + FrenchRange(input, separator)};
}

InputFault OutOfRange(const InputSpec& input, double value, char separator) {
  return {&input,
          std::string(input.Key) + " (" + input.Flag + ") is " +
              WithUnit(General(value), input.Unit) + "; " + EnglishRange(input),
          Caption(input) + " : " + Shown(input, value, separator) + " est hors limites ; " +
              FrenchRange(input, separator)};
}

bool WithinRange(const InputSpec& input, double value) {
  return std::isfinite(value) && value >= input.Min && value <= input.Max;
}

void CheckMaterialRow(const MaterialRecord& row, std::vector<InputFault>& faults, char separator) {
  const auto french = [separator](double value) { return format::FormatGeneral(value, separator); };
  for (const MaterialBound& bound : MaterialBounds()) {
    const double value = row.*bound.Column.Field;
    const std::string english = "Material \"" + row.Name + "\": " + bound.Column.Name;
    const std::string caption = "Matériau « " + row.Name + " » : " + bound.Column.Name;
    if (!std::isfinite(value)) {
      faults.push_back(
          {nullptr, english + " is not a finite number.", caption + " n'est pas un nombre fini."});
    } else if (bound.Column.Field == &MaterialRecord::Poisson && !(value < 1)) {
      // A ratio of 1 makes the biaxial modulus E / (1 - ν) infinite.
      faults.push_back(
          {nullptr, english + " is " + General(value) + "; it must be less than 1.",
           caption + " vaut " + french(value) + " ; la valeur doit être inférieure à 1."});
    } else if (value < bound.Min || value > bound.Max) {
      const std::string range =
          General(bound.Min) + " and " + WithUnit(General(bound.Max), bound.Column.Unit);
      faults.push_back(
          {nullptr, english + " is " + General(value) + "; it must lie between " + range + ".",
           caption + " vaut " + french(value) + " ; la valeur doit être comprise entre " +
               french(bound.Min) + " et " + WithUnit(french(bound.Max), bound.Column.Unit) + "."});
    }
  }
}

// The points of each figure the row gives against temperature: a sound table, every value within
// the figure's bounds.
void CheckMaterialTables(const MaterialRecord& row, std::vector<InputFault>& faults,
                         char separator) {
  const auto french = [separator](double value) { return format::FormatGeneral(value, separator); };
  for (const TableFigure& figure : kTableFigures) {
    const FigureTable& points = row.Tables.*figure.Points;
    if (points.empty()) continue;
    const std::string english =
        "Material \"" + row.Name + "\": " + figure.Name + " against temperature";
    const std::string caption =
        "Matériau « " + row.Name + " » : " + figure.Name + " en fonction de la température";
    const TableFault fault = FindTableFault(points);
    if (!fault.English.empty()) {
      faults.push_back(
          {nullptr, english + ": " + fault.English + ".", caption + " : " + fault.French + "."});
      continue;
    }
    for (const MaterialBound& bound : MaterialBounds()) {
      if (bound.Column.Field != figure.Constant) continue;
      for (const FigurePoint& point : points) {
        if (point.Value >= bound.Min && point.Value <= bound.Max) continue;
        faults.push_back(
            {nullptr,
             english + ": " + General(point.Value) + " at " + General(point.Temperature) +
                 " K; it must lie between " + General(bound.Min) + " and " +
                 WithUnit(General(bound.Max), bound.Column.Unit) + ".",
             caption + " : " + french(point.Value) + " à " + french(point.Temperature) +
                 " K ; la valeur doit être comprise entre " + french(bound.Min) + " et " +
                 WithUnit(french(bound.Max), bound.Column.Unit) + "."});
        break;
      }
    }
  }
}

// Figures against temperature are the whole-deposit model's: the one-pass model keeps the
// constants of its lumped layers, and the contact layer's conductance is a constant.
void CheckTablesTaken(const InputParameters& in, const std::vector<const MaterialRecord*>& rows,
                      std::vector<InputFault>& faults) {
  for (const MaterialRecord* row : rows) {
    if (row == nullptr) continue;
    const MaterialRecord folded = WithConstantsFolded(*row);
    std::string figures;
    for (const TableFigure& figure : kTableFigures) {
      if ((folded.Tables.*figure.Points).empty()) continue;
      figures += (figures.empty() ? "" : ", ") + std::string(figure.Name);
    }
    if (figures.empty()) continue;
    const std::string english = "Material \"" + row->Name + "\": " + figures;
    const std::string french = "Matériau « " + row->Name + " » : " + figures;
    if (row->Name == kContactName && !folded.Tables.Lambda.empty()) {
      faults.push_back({nullptr,
                        english + " against temperature; the contact layer takes a constant "
                                  "Lambda.",
                        french + " en fonction de la température ; la couche de contact prend "
                                 "un Lambda constant."});
    } else if (row->Name != kContactName && ModelOf(in) != StressModelKind::WholeDeposit) {
      faults.push_back(
          {&Input("StressModel"),
           english + " against temperature; the one-pass model takes constant figures (choose "
                     "StressModel \"whole-deposit\").",
           french + " en fonction de la température ; le modèle d'une passe prend des valeurs "
                    "constantes (choisissez le modèle du dépôt complet)."});
    }
  }
}

// A choice holds one of its values.
void CheckChoices(const InputParameters& in, std::vector<InputFault>& faults) {
  for (const InputSpec& input : InputTable()) {
    if (input.Choices.empty()) continue;
    const std::string& value = in.*input.TextField;
    if (ChoiceCaption(input, value)[0] != '\0') continue;
    faults.push_back({&input,
                      std::string(input.Key) + " (" + input.Flag + ") is \"" + value +
                          "\"; it must be " + ChoiceList(input) + ".",
                      Caption(input) + " : « " + value + " » n'est pas un choix possible ; " +
                          "choisir " + ChoiceCaptionList(input) + "."});
  }
}

// The whole-deposit model keeps every lamella of every pass.
void CheckWholeDepositSize(const InputParameters& in, std::vector<InputFault>& faults) {
  const InputSpec& passes = Input("PassCount");
  if (ModelOf(in) != StressModelKind::WholeDeposit || !in.Coats.empty() ||
      !WithinRange(passes, in.PassCount)) {
    return;
  }
  const double lamellae = static_cast<double>(in.PassCount) * LamellaePerPass(in);
  if (lamellae <= kMaxWholeDepositLamellae) return;
  const std::string count = General(lamellae);
  const std::string limit = General(kMaxWholeDepositLamellae);
  faults.push_back({&passes,
                    "PassCount (--passes) × lamellae per pass is " + count +
                        "; the whole-deposit model keeps at most " + limit + " lamellae.",
                    Caption(passes) + " × lamelles par passe vaut " + count +
                        " ; le modèle du dépôt complet garde au plus " + limit + " lamelles."});
}

// The whole-deposit model's passes follow each other: a torch window longer than the pass would
// overlap the next pass.
void CheckWholeDepositWindow(const InputParameters& in, char separator,
                             std::vector<InputFault>& faults) {
  const InputSpec& window = Input("HeatingWindow");
  const InputSpec& period = Input("PassPeriod");
  if (ModelOf(in) != StressModelKind::WholeDeposit || !in.Coats.empty() ||
      !WithinRange(window, in.HeatingWindow) || !WithinRange(period, in.PassPeriod) ||
      in.HeatingWindow <= in.PassPeriod) {
    return;
  }
  faults.push_back(
      {&window,
       "HeatingWindow (--heating-window) is " + General(in.HeatingWindow) +
           " s; in the whole-deposit model it cannot exceed PassPeriod (" + General(in.PassPeriod) +
           " s).",
       Caption(window) + " vaut " + format::FormatGeneral(in.HeatingWindow, separator) +
           " ; dans le modèle du dépôt complet il ne peut dépasser " + Caption(period) + " (" +
           format::FormatGeneral(in.PassPeriod, separator) + ")."});
}

struct Role {
  const char* English;
  const char* French;
};

const MaterialRecord* FindRow(const MaterialsCatalogue* catalogue, const std::string& name,
                              Role role, std::vector<InputFault>& faults) {
  if (name.empty()) {
    faults.push_back({nullptr, std::string("No ") + role.English + " material is chosen.",
                      std::string("Aucun matériau ") + role.French + " n'est choisi."});
    return nullptr;
  }
  if (catalogue == nullptr || !catalogue->IsOpen()) {
    faults.push_back({nullptr, "The materials catalogue is not open.",
                      "Le catalogue des matériaux n'est pas ouvert."});
    return nullptr;
  }
  const MaterialRecord* row = catalogue->FindMaterial(name);
  if (row == nullptr) {
    // Both catalogues are named: the row may have been a user row, since deleted. The name
    // comes from a case file or a flag: shown with its control characters escaped.
    const std::string shown = EscapedName(name);
    const std::string path = catalogue->Path().string();
    const std::string user = catalogue->UserPath().string();
    faults.push_back({nullptr,
                      std::string("The ") + role.English + " material \"" + shown +
                          "\" is not in the catalogue " + path +
                          (user.empty() ? "." : " nor in the user materials " + user + "."),
                      std::string("Le matériau ") + role.French + " « " + shown + " » n'est " +
                          (user.empty() ? "pas dans le catalogue " + path + "."
                                        : "ni dans le catalogue " + path +
                                              " ni dans vos matériaux " + user + ".")});
  }
  return row;
}

// The faults of one coat, each told with its number; whether its figures are all in range.
bool CheckCoat(const InputParameters& in, std::size_t k, char separator,
               std::vector<InputFault>& faults) {
  const CoatInput& coat = in.Coats[k];
  const std::string english = "Coat " + std::to_string(k + 1) + ": ";
  const std::string french = "Couche " + std::to_string(k + 1) + " : ";
  const auto told = [&](InputFault fault) {
    fault.English = english + fault.English;
    fault.French = french + fault.French;
    faults.push_back(std::move(fault));
    return false;
  };
  bool sound = true;
  const auto check = [&](const InputSpec& input, double value) {
    if (!std::isfinite(value)) sound = told(NotFinite(input, separator));
    if (std::isfinite(value) && !WithinRange(input, value)) {
      sound = told(OutOfRange(input, value, separator));
    }
  };
  check(Input("PassCount"), coat.PassCount);
  for (const CoatFigure& figure : kCoatFigures) {
    if ((coat.*figure.Field).has_value()) check(Input(figure.Key), *(coat.*figure.Field));
  }
  if (!(coat.PauseBefore >= 0 && coat.PauseBefore <= kLongestPause)) {
    const bool finite = std::isfinite(coat.PauseBefore);
    sound =
        told({nullptr,
              "PauseBefore " +
                  (finite ? "is " + General(coat.PauseBefore) + " s" : "is not a finite number") +
                  "; it must lie between 0 and " + General(kLongestPause) + " s.",
              "la pause avant la couche " +
                  (finite ? "vaut " + format::FormatGeneral(coat.PauseBefore, separator) + " s"
                          : "n'est pas un nombre fini") +
                  " ; la valeur doit être comprise entre 0 et " +
                  format::FormatGeneral(kLongestPause, separator) + " s."});
  }
  if (!sound) return false;
  const double pass = coat.PassThickness.value_or(in.PassThickness);
  const double lamella = coat.LamellaThickness.value_or(in.LamellaThickness);
  const double period = coat.PassPeriod.value_or(in.PassPeriod);
  const double window = coat.HeatingWindow.value_or(in.HeatingWindow);
  if (!(pass / lamella < kMaxInteger)) {
    return told({&Input("PassThickness"),
                 "PassThickness / LamellaThickness is " + General(pass / lamella) +
                     "; a pass must hold fewer than 32767 lamellae.",
                 "épaisseur par passe / épaisseur d'une lamelle vaut " +
                     format::FormatGeneral(pass / lamella, separator) +
                     " ; une passe doit compter moins de 32767 lamelles."});
  }
  if (window > period) {
    return told({&Input("HeatingWindow"),
                 "HeatingWindow is " + General(window) + " s; it cannot exceed PassPeriod (" +
                     General(period) + " s).",
                 "la fenêtre de chauffe vaut " + format::FormatGeneral(window, separator) +
                     " s ; elle ne peut dépasser la période d'une passe (" +
                     format::FormatGeneral(period, separator) + " s)."});
  }
  return true;
}

// A coating system: the whole-deposit model only, at most kMaxCoats coats, each sound and of a
// material the catalogue holds. The rows found are appended to `rows`.
void CheckCoats(const InputParameters& in, const MaterialsCatalogue* catalogue, char separator,
                std::vector<InputFault>& faults, std::vector<const MaterialRecord*>& rows) {
  if (ModelOf(in) != StressModelKind::WholeDeposit) {
    faults.push_back({&Input("StressModel"),
                      "Coats: the one-pass model sprays a single coat; coats need the "
                      "whole-deposit model (StressModel \"whole-deposit\").",
                      "Couches : le modèle d'une passe ne projette qu'une couche ; les couches "
                      "demandent le modèle du dépôt complet."});
    return;
  }
  if (in.Coats.size() > static_cast<std::size_t>(kMaxCoats)) {
    faults.push_back({nullptr,
                      "Coats: " + std::to_string(in.Coats.size()) +
                          " coats are given; a case sprays at most " + std::to_string(kMaxCoats) +
                          ".",
                      "Couches : " + std::to_string(in.Coats.size()) +
                          " couches sont données ; un cas en projette au plus " +
                          std::to_string(kMaxCoats) + "."});
    return;
  }
  bool sound = true;
  for (std::size_t k = 0; k < in.Coats.size(); ++k) {
    sound = CheckCoat(in, k, separator, faults) && sound;
    const std::string number = std::to_string(k + 1);
    const std::string english = "coat " + number;
    const std::string french = "de la couche " + number;
    rows.push_back(
        FindRow(catalogue, in.Coats[k].Material, {english.c_str(), french.c_str()}, faults));
  }
  if (!sound) return;
  double lamellae = 0;
  for (const CoatInput& coat : in.Coats) {
    InputParameters sprayed = in;
    sprayed.PassThickness = coat.PassThickness.value_or(in.PassThickness);
    sprayed.LamellaThickness = coat.LamellaThickness.value_or(in.LamellaThickness);
    lamellae += static_cast<double>(coat.PassCount) * LamellaePerPass(sprayed);
  }
  if (lamellae > kMaxWholeDepositLamellae) {
    const std::string count = General(lamellae);
    const std::string limit = General(kMaxWholeDepositLamellae);
    faults.push_back({&Input("PassCount"),
                      "Coats: their lamellae number " + count +
                          "; the whole-deposit model keeps at most " + limit + " lamellae.",
                      "Couches : leurs lamelles sont " + count +
                          " ; le modèle du dépôt complet garde au plus " + limit + " lamelles."});
  }
}

}  // namespace

const std::vector<MaterialBound>& MaterialBounds() {
  // In the order of kMaterialColumns. A zero Lambda, Rho, Cp or ModuleYoung divides by zero in
  // the model: their lower bounds are above 0.
  static const std::vector<MaterialBound> kBounds = [] {
    constexpr std::array<std::array<double, 2>, kMaterialColumns.size()> kRanges = {
        {{1e-6, 1e4},
         {1, 1e5},
         {1, 1e5},
         {0, 1e5},
         {0, 1e8},
         {1e3, 1e13},
         {-1, 1},
         {-1e-3, 1e-3},
         {-1e10, 1e10}}};
    std::vector<MaterialBound> bounds;
    for (std::size_t i = 0; i < kMaterialColumns.size(); ++i) {
      bounds.push_back({kMaterialColumns[i], kRanges[i][0], kRanges[i][1]});
    }
    return bounds;
  }();
  return kBounds;
}

std::vector<InputFault> FindMaterialFaults(const MaterialRecord& row, char separator) {
  std::vector<InputFault> faults;
  CheckMaterialRow(row, faults, separator);
  CheckMaterialTables(row, faults, separator);
  return faults;
}

std::vector<InputFault> FindInputFaults(const ModelState& state,
                                        const MaterialsCatalogue* catalogue) {
  std::vector<InputFault> faults;
  const InputParameters& in = state.Input;
  const char separator = state.Locale.DecimalSeparator;
  for (const InputSpec& input : InputTable()) {
    if (!input.Ranged) continue;
    const double value = input.Get(in);
    // A finite value typed in a larger unit can still overflow once in SI units.
    if (!std::isfinite(value)) {
      faults.push_back(NotFinite(input, separator));
    } else if (!WithinRange(input, value)) {
      faults.push_back(OutOfRange(input, value, separator));
    }
  }
  // The checks across inputs are made only between valid inputs, so that one faulty input is
  // told once.
  const InputSpec& pass = Input("PassThickness");
  const InputSpec& lamella = Input("LamellaThickness");
  if (WithinRange(pass, in.PassThickness) && WithinRange(lamella, in.LamellaThickness) &&
      !(in.PassThickness / in.LamellaThickness < kMaxInteger)) {
    const double ratio = in.PassThickness / in.LamellaThickness;
    faults.push_back({&pass,
                      "PassThickness / LamellaThickness is " + General(ratio) +
                          "; a pass must hold fewer than 32767 lamellae.",
                      Caption(pass) + " / " + Caption(lamella) + " vaut " +
                          format::FormatGeneral(ratio, separator) +
                          " ; une passe doit compter moins de 32767 lamelles."});
  }
  if (WithinRange(pass, in.PassThickness) && WithinRange(lamella, in.LamellaThickness) &&
      in.PassThickness / in.LamellaThickness < kMaxInteger) {
    CheckWholeDepositSize(in, faults);
  }
  CheckChoices(in, faults);
  CheckWholeDepositWindow(in, separator, faults);
  const InputSpec& curvature = Input("InitialCurvature");
  const InputSpec& length = Input("SpecimenLength");
  if (!std::isfinite(in.InitialCurvature)) {
    faults.push_back(NotFinite(curvature, separator));
  } else if (WithinRange(length, in.SpecimenLength) &&
             std::fabs(in.InitialCurvature) > 2 / in.SpecimenLength) {
    const double limit = 2 / in.SpecimenLength;
    faults.push_back(
        {&curvature,
         "InitialCurvature (--curvature) is " + General(in.InitialCurvature) +
             " 1/m; a specimen of " + General(in.SpecimenLength) +
             " m cannot bend more than 2 / length = " + General(limit) + " 1/m.",
         Caption(curvature) + " : " + format::FormatGeneral(in.InitialCurvature, separator) +
             " 1/m ; un témoin de " + format::FormatGeneral(in.SpecimenLength, separator) +
             " m ne peut pas être courbé au-delà de 2 / longueur = " +
             format::FormatGeneral(limit, separator) + " 1/m."});
  }
  std::vector<const MaterialRecord*> rows = {
      FindRow(catalogue, in.SubstrateMaterialName, {"substrate", "de substrat"}, faults)};
  if (in.Coats.empty()) {
    rows.push_back(FindRow(catalogue, in.CoatingMaterialName, {"coating", "de dépôt"}, faults));
  } else {
    CheckCoats(in, catalogue, separator, faults, rows);
  }
  if (catalogue != nullptr && catalogue->IsOpen()) {
    rows.push_back(FindRow(catalogue, kContactName, {"contact layer", "de contact"}, faults));
  }
  for (const MaterialRecord* row : rows) {
    if (row == nullptr) continue;
    CheckMaterialRow(*row, faults, separator);
    CheckMaterialTables(*row, faults, separator);
  }
  CheckTablesTaken(in, rows, faults);
  // A fault met twice (the same row picked twice, a closed catalogue) is told once.
  std::vector<InputFault> unique;
  for (InputFault& fault : faults) {
    const auto same = [&fault](const InputFault& f) { return f.English == fault.English; };
    if (std::find_if(unique.begin(), unique.end(), same) == unique.end()) {
      unique.push_back(std::move(fault));
    }
  }
  return unique;
}

void ValidateRunInputs(ModelState& state, const MaterialsCatalogue* catalogue) {
  const std::vector<InputFault> faults = FindInputFaults(state, catalogue);
  if (!faults.empty()) {
    std::vector<std::string> messages;
    for (const InputFault& fault : faults) messages.push_back(fault.English);
    throw InputError(std::move(messages));
  }
  // A table that holds one value is that constant, to the last bit of every result.
  const auto row = [catalogue](const std::string& name) {
    return WithConstantsFolded(catalogue->LookupMaterial(name));
  };
  state.Materials.Substrate = row(state.Input.SubstrateMaterialName);
  state.Materials.Contact = row(kContactName);
  state.Materials.LaterCoats.clear();
  if (state.Input.Coats.empty()) {
    state.Materials.Coating = row(state.Input.CoatingMaterialName);
    return;
  }
  const std::vector<CoatInput>& coats = state.Input.Coats;
  state.Materials.Coating = row(coats.front().Material);
  for (std::size_t k = 1; k < coats.size(); ++k) {
    state.Materials.LaterCoats.push_back(row(coats[k].Material));
  }
}

}  // namespace quillane
