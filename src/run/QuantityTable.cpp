#include "run/QuantityTable.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <utility>

#include "format/NumberFormat.h"
#include "model/FigureTable.h"
#include "run/Validation.h"

namespace quillane {

namespace {

struct RoleWords {
  QuantityRole Role;
  const char* Prefix;  // of the name
  const char* Owner;   // of the French caption: "du dépôt"
};
constexpr RoleWords kRoles[] = {{QuantityRole::Substrate, "substrate.", "du substrat"},
                                {QuantityRole::Coating, "coating.", "du dépôt"},
                                {QuantityRole::Contact, "contact.", "du contact"}};

// The French name of each catalogue figure, in the order of kMaterialColumns.
constexpr std::array<const char*, kMaterialColumns.size()> kFigureCaptions = {
    "Conductivité thermique", "Masse volumique",      "Chaleur massique",
    "Température de fusion",  "Chaleur latente",      "Module d'Young",
    "Coefficient de Poisson", "Dilatation thermique", "Contrainte de trempe"};

// What a record can be fitted to: the figures it shows, in the fit window's order.
constexpr const char* kFittable[] = {"coating.SigmaQ", "coating.ModuleYoung", "coating.dilat",
                                     "HeatFlux", "contact.Lambda"};

// A later coat's row shows in a record as the coating's does: the same three figures.
constexpr const char* kCoatFittable[] = {"SigmaQ", "ModuleYoung", "dilat"};

bool IsFittable(const std::string& name) {
  return std::find(std::begin(kFittable), std::end(kFittable), name) != std::end(kFittable);
}

// The input window's caption without its unit, with single blanks: "Flux thermique incident
// (kW/m²)" gives "Flux thermique incident", "Epaisseur d'une  lamelle(µm)" "Epaisseur d'une
// lamelle".
std::string PlainCaption(const char* caption) {
  std::string text;
  for (const char* c = caption; *c != '\0'; ++c) {
    if (*c != ' ' || (!text.empty() && text.back() != ' ')) text += *c;
  }
  const std::size_t unit = text.rfind('(');
  if (unit != std::string::npos && text.back() == ')') text.erase(unit);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

QuantitySpec InputQuantity(const InputSpec& input) {
  QuantitySpec spec;
  spec.Name = input.Key;
  spec.Role = QuantityRole::Input;
  spec.Input = &input;
  spec.Unit = input.Unit;
  spec.DisplayUnit = input.DisplayUnit;
  spec.DisplayFactor = input.DisplayFactor;
  spec.Caption = PlainCaption(input.Caption);
  spec.Whole = input.Type == InputType::Integer;
  spec.Bounded = input.Ranged;
  spec.Min = input.Min;
  spec.Max = input.Max;
  spec.Fittable = IsFittable(spec.Name);
  return spec;
}

// A coat's own spraying inputs are named "coat2.HeatFlux", and so is the pause before it.
constexpr const char* kPauseName = "PauseBefore";

std::string CoatPrefix(int coat) {
  return "coat" + std::to_string(coat) + ".";
}

QuantitySpec CoatInputQuantity(int coat, const char* key) {
  QuantitySpec spec;
  if (key == std::string(kPauseName)) {
    spec.Name = key;
    spec.Unit = spec.DisplayUnit = "s";
    spec.Caption = "Pause avant la couche";
    spec.Min = 0;
    spec.Max = kLongestPause;
  } else {
    spec = InputQuantity(Input(key));
    spec.Fittable = false;
  }
  spec.Name = CoatPrefix(coat) + spec.Name;
  spec.Role = QuantityRole::CoatInput;
  spec.Caption += " de la couche " + std::to_string(coat);
  spec.Coat = coat;
  return spec;
}

QuantitySpec FigureQuantity(const RoleWords& role, std::size_t column) {
  const MaterialBound& bound = MaterialBounds()[column];
  QuantitySpec spec;
  spec.Name = std::string(role.Prefix) + kMaterialColumns[column].Name;
  spec.Role = role.Role;
  spec.Column = &kMaterialColumns[column];
  spec.Unit = spec.Column->Unit;
  // Stresses and moduli in MPa, as the windows' tables show them.
  const format::ShownUnit shown = format::TableUnit(spec.Unit);
  spec.DisplayUnit = shown.Unit;
  spec.DisplayFactor = shown.Factor;
  spec.Caption = std::string(kFigureCaptions[column]) + " " + role.Owner;
  spec.Min = bound.Min;
  spec.Max = bound.Max;
  spec.Fittable = IsFittable(spec.Name);
  return spec;
}

// The picked row of a quantity, const or not.
template <typename State>
auto& Row(State& state, const QuantitySpec& spec) {
  switch (spec.Role) {
    case QuantityRole::Substrate:
      return state.Materials.Substrate;
    case QuantityRole::Coating:
      return state.Materials.Coating;
    case QuantityRole::CoatFigure:
      return state.Materials.LaterCoats.at(static_cast<std::size_t>(spec.Coat - 2));
    case QuantityRole::Contact:
    case QuantityRole::Input:
    case QuantityRole::CoatInput:
      break;
  }
  return state.Materials.Contact;
}

// The field of a coat that coat input `spec` sets.
std::optional<double> CoatInput::*CoatField(const QuantitySpec& spec) {
  const std::string key = spec.Name.substr(spec.Name.find('.') + 1);
  for (const CoatFigure& figure : kCoatFigures) {
    if (key == figure.Key) return figure.Field;
  }
  throw std::logic_error(spec.Name + " sets no figure of a coat");
}

}  // namespace

bool QuantitySpec::Thermal() const {
  // Every input but the stress model's own and the witnesses changes the temperatures; of the
  // figures, those the conduction reads.
  if (IsInput()) {
    return Name != "InitialCurvature" && Name != "SpecimenLength" && Name != "SubstrateWidth" &&
           Name != "WitnessParticle" && Name != "WitnessCoat";
  }
  const auto field = Column->Field;
  return field == &MaterialRecord::Lambda || field == &MaterialRecord::Rho ||
         field == &MaterialRecord::Cp || field == &MaterialRecord::Tfusion ||
         field == &MaterialRecord::Lfusion;
}

double QuantitySpec::ToDisplay(double si) const {
  return Input != nullptr ? Input->ToDisplay(si) : ScaleFromSi(si, DisplayFactor);
}

bool QuantitySpec::IsTable(const MaterialRecord& row) const {
  const TableFigure* figure = Column != nullptr ? TableFigureOf(Column->Field) : nullptr;
  return figure != nullptr && !HoldsOneValue(row.Tables.*figure->Points);
}

const MaterialRecord* QuantitySpec::PickedRow(const ModelState& state) const {
  if (Column == nullptr) return nullptr;
  if (Role == QuantityRole::CoatFigure &&
      static_cast<std::size_t>(Coat - 1) > state.Materials.LaterCoats.size()) {
    return nullptr;
  }
  return &Row(state, *this);
}

double QuantitySpec::Get(const ModelState& state) const {
  const std::vector<CoatInput>& coats = state.Input.Coats;
  const std::size_t coat = static_cast<std::size_t>(Coat - 1);
  switch (Role) {
    case QuantityRole::Input:
      return Input->Get(state.Input);
    case QuantityRole::CoatInput: {
      if (coat >= coats.size()) return std::nan("");
      if (Input == nullptr) return coats[coat].PauseBefore;
      if (Whole) return coats[coat].PassCount;
      return (coats[coat].*CoatField(*this)).value_or(Input->Get(state.Input));
    }
    case QuantityRole::CoatFigure:
      if (coat >= coats.size() || coat > state.Materials.LaterCoats.size()) return std::nan("");
      break;
    default:
      break;
  }
  return Row(state, *this).*(Column->Field);
}

void QuantitySpec::Set(ModelState& state, double value) const {
  std::vector<CoatInput>& coats = state.Input.Coats;
  const std::size_t coat = static_cast<std::size_t>(Coat - 1);
  if (Role == QuantityRole::Input) {
    Input->Set(state.Input, value);
  } else if (Role == QuantityRole::CoatInput) {
    if (coat >= coats.size()) throw std::out_of_range(Name + ": the case has no such coat");
    if (Input == nullptr) {
      coats[coat].PauseBefore = value;
    } else if (Whole) {
      coats[coat].PassCount = static_cast<int>(value);
    } else {
      coats[coat].*CoatField(*this) = value;
    }
  } else {
    Row(state, *this).*(Column->Field) = value;
  }
}

std::string QuantitySpec::RowName(const InputParameters& inputs) const {
  switch (Role) {
    case QuantityRole::Substrate:
      return inputs.SubstrateMaterialName;
    case QuantityRole::Coating:
      return inputs.Coats.empty() ? inputs.CoatingMaterialName : inputs.Coats.front().Material;
    case QuantityRole::CoatFigure:
      return static_cast<std::size_t>(Coat) <= inputs.Coats.size()
                 ? inputs.Coats[static_cast<std::size_t>(Coat - 1)].Material
                 : std::string();
    case QuantityRole::Contact:
      return kContactName;
    case QuantityRole::CoatInput:
    case QuantityRole::Input:
      break;
  }
  return {};
}

UnknownQuantity::UnknownQuantity(const std::string& name)
    : std::invalid_argument("unknown quantity \"" + name +
                            "\"; give a numeric case key such as \"PassThickness\", a material "
                            "figure such as \"coating.SigmaQ\", or a coat's such as "
                            "\"coat2.HeatFlux\" or \"coat2.SigmaQ\"."),
      name_(name) {}

const std::vector<QuantitySpec>& QuantityTable() {
  static const std::vector<QuantitySpec> kTable = [] {
    std::vector<QuantitySpec> table;
    for (const InputSpec& input : InputTable()) {
      if (input.Type != InputType::Text) table.push_back(InputQuantity(input));
    }
    for (const RoleWords& role : kRoles) {
      for (std::size_t column = 0; column < kMaterialColumns.size(); ++column) {
        table.push_back(FigureQuantity(role, column));
      }
    }
    for (int coat = 1; coat <= kMaxCoats; ++coat) {
      table.push_back(CoatInputQuantity(coat, "PassCount"));
      for (const CoatFigure& figure : kCoatFigures) {
        table.push_back(CoatInputQuantity(coat, figure.Key));
      }
      table.push_back(CoatInputQuantity(coat, kPauseName));
      if (coat == 1) continue;
      const std::string owner = "de la couche " + std::to_string(coat);
      const std::string prefix = CoatPrefix(coat);
      for (std::size_t column = 0; column < kMaterialColumns.size(); ++column) {
        QuantitySpec spec =
            FigureQuantity({QuantityRole::CoatFigure, prefix.c_str(), owner.c_str()}, column);
        spec.Coat = coat;
        spec.Fittable =
            std::find(std::begin(kCoatFittable), std::end(kCoatFittable),
                      std::string(kMaterialColumns[column].Name)) != std::end(kCoatFittable);
        table.push_back(spec);
      }
    }
    return table;
  }();
  return kTable;
}

const QuantitySpec* FindQuantity(std::string_view name) {
  for (const QuantitySpec& spec : QuantityTable()) {
    if (spec.Name == name) return &spec;
  }
  return nullptr;
}

const QuantitySpec& Quantity(std::string_view name) {
  const QuantitySpec* spec = FindQuantity(name);
  if (spec == nullptr) throw UnknownQuantity(std::string(name));
  return *spec;
}

std::vector<const QuantitySpec*> FittableQuantities() {
  std::vector<const QuantitySpec*> list;
  for (const char* name : kFittable) list.push_back(&Quantity(name));
  return list;
}

std::string FittableNames() {
  std::string text;
  const std::size_t count = std::size(kFittable);
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += i + 1 == count ? " and " : ", ";
    text += kFittable[i];
  }
  return text + " (and coat2.SigmaQ, coat2.ModuleYoung, coat2.dilat for a later coat)";
}

}  // namespace quillane
