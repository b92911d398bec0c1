#include "core/Validation.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/Errors.h"
#include "format/NumberFormat.h"

namespace quillane {

namespace {

constexpr int kMaxInteger = 32767;  // 16-bit fields of the input window
constexpr const char* kContactName = "contact";

std::string Number(double value) {
  return format::FormatGeneral(value);
}

double FieldValue(const ModelState& state, const std::string& field) {
  const InputParameters& in = state.Input;
  if (field == "PassThickness") return in.PassThickness;
  if (field == "LamellaThickness") return in.LamellaThickness;
  if (field == "PassCount") return in.PassCount;
  if (field == "PassPeriod") return in.PassPeriod;
  if (field == "HeatingWindow") return in.HeatingWindow;
  if (field == "HeatFlux") return in.HeatFlux;
  if (field == "ParticleTemperature") return in.ParticleTemperature;
  if (field == "SubstrateThicknessInput") return in.SubstrateThicknessInput;
  if (field == "SubstrateWidth") return in.SubstrateWidth;
  if (field == "SubstrateTemperature") return in.SubstrateTemperature;
  if (field == "GasTemperature") return in.GasTemperature;
  if (field == "SpecimenLength") return format::ParseLenient(in.SpecimenLengthText);
  if (field == "WitnessParticle") return in.WitnessParticle;
  return in.WitnessCoat;
}

// A value with the unit of its range ("2 m"), or bare for a count.
std::string WithUnit(const InputRange& range, double value) {
  std::string text = Number(value);
  if (range.Unit[0] != '\0') text += std::string(" ") + range.Unit;
  return text;
}

std::string RangeFault(const InputRange& range, const std::string& what) {
  return std::string(range.Field) + " (\"" + range.Caption + "\") " + what +
         "; it must lie between " + WithUnit(range, range.Min) + " and " +
         WithUnit(range, range.Max) + ".";
}

bool WithinRange(const InputRange& range, double value) {
  return std::isfinite(value) && value >= range.Min && value <= range.Max;
}

const InputRange& RangeOf(const std::string& field) {
  for (const InputRange& range : InputRanges()) {
    if (field == range.Field) return range;
  }
  throw std::logic_error("no range for " + field);
}

void CheckMaterialRow(const MaterialRecord& row, std::vector<std::string>& faults) {
  // Physical bounds wide enough for any real material, narrow enough that no figure can
  // overflow the model's arithmetic.
  const struct {
    const char* column;
    double value;
    bool positive;  // must be greater than 0 (a zero divides by zero in the model)
    double min;
    double max;
    const char* unit;
  } columns[] = {{"Lambda", row.Lambda, true, 1e-6, 1e4, "W/(m·K)"},
                 {"Rho", row.Rho, true, 1, 1e5, "kg/m³"},
                 {"Cp", row.Cp, true, 1, 1e5, "J/(kg·K)"},
                 {"Tfusion", row.Tfusion, false, 0, 1e5, "K"},
                 {"Lfusion", row.Lfusion, false, 0, 1e8, "J/kg"},
                 {"ModuleYoung", row.ModuleYoung, true, 1e3, 1e13, "Pa"},
                 {"Poisson", row.Poisson, false, -1, 1, ""},
                 {"dilat", row.dilat, false, -1e-3, 1e-3, "1/K"},
                 {"SigmaQ", row.SigmaQ, false, -1e10, 1e10, "Pa"}};
  const std::string material = "Material \"" + row.Name + "\": ";
  for (const auto& c : columns) {
    const std::string figure = material + c.column + " is " + Number(c.value);
    if (!std::isfinite(c.value)) {
      faults.push_back(material + c.column + " is not a finite number.");
    } else if (c.positive && !(c.value > 0)) {
      faults.push_back(figure + "; it must be greater than 0.");
    } else if (c.column == std::string("Poisson") && !(c.value < 1)) {
      // A ratio of 1 makes the biaxial modulus E / (1 - ν) infinite.
      faults.push_back(figure + "; it must be less than 1.");
    } else if (c.value < c.min || c.value > c.max) {
      faults.push_back(figure + "; it must lie between " + Number(c.min) + " and " + Number(c.max) +
                       (c.unit[0] ? " " : "") + c.unit + ".");
    }
  }
}

const MaterialRecord* FindRow(const ModelState& state, const std::string& name, const char* what,
                              std::vector<std::string>& faults) {
  const MaterialsCatalogue* catalogue = state.Materials.Catalogue;
  if (name.empty()) {
    faults.push_back(std::string("No ") + what + " material is chosen.");
    return nullptr;
  }
  if (catalogue == nullptr || !catalogue->IsOpen()) {
    faults.push_back("The materials catalogue is not open.");
    return nullptr;
  }
  const MaterialRecord* row = catalogue->FindMaterial(name);
  if (row == nullptr) {
    faults.push_back(std::string("The ") + what + " material \"" + name +
                     "\" is not in the catalogue " + catalogue->Path().string() + ".");
  }
  return row;
}

}  // namespace

const std::vector<InputRange>& InputRanges() {
  static const std::vector<InputRange> kRanges = {
      {"PassThickness", "épaisseur par passe (µm)", 1e-9, 1, "m"},
      {"PassCount", "Nombre de passes", 0, kMaxInteger, ""},
      {"PassPeriod", "Période entre 2 passes (s)", 1e-6, 1e6, "s"},
      {"HeatingWindow", "Créneau de chauffe (s)", 1e-6, 1e6, "s"},
      {"HeatFlux", "Flux thermique incident (kW/m2)", 0, 1e10, "W/m²"},
      {"ParticleTemperature", "T particules incidentes (K)", 1, 1e4, "K"},
      {"WitnessParticle", "N° particule témoin ", 0, kMaxInteger, ""},
      {"WitnessCoat", "N° couche témoin ", 0, kMaxInteger, ""},
      {"SubstrateThicknessInput", "épaisseur (mm)", 1e-9, 1, "m"},
      {"SubstrateWidth", "largeur (m)", 1e-9, 1, "m"},
      {"SubstrateTemperature", "Temperature", 1, 1e4, "K"},
      {"GasTemperature", "Temperature des gaz convectifs", 1, 1e4, "K"},
      {"SpecimenLength", "Longueur du témoin (m)", 1e-9, 1, "m"},
      {"LamellaThickness", "Epaisseur d'une  lamelle(µm)", 1e-9, 1, "m"},
  };
  return kRanges;
}

std::vector<std::string> FindInputFaults(const ModelState& state) {
  std::vector<std::string> faults;
  for (const InputRange& range : InputRanges()) {
    const double value = FieldValue(state, range.Field);
    // A finite value typed in a larger unit can still overflow once in SI units.
    if (!std::isfinite(value)) {
      faults.push_back(RangeFault(range, "is not a finite number"));
    } else if (!WithinRange(range, value)) {
      faults.push_back(RangeFault(range, "is " + WithUnit(range, value)));
    }
  }
  // The checks across inputs are made only between valid inputs, so that one faulty input is
  // told once.
  const InputParameters& in = state.Input;
  if (WithinRange(RangeOf("PassThickness"), in.PassThickness) &&
      WithinRange(RangeOf("LamellaThickness"), in.LamellaThickness) &&
      !(in.PassThickness / in.LamellaThickness < kMaxInteger)) {
    faults.push_back("PassThickness / LamellaThickness is " +
                     Number(in.PassThickness / in.LamellaThickness) +
                     "; a pass must hold fewer than 32767 lamellae.");
  }
  const double length = format::ParseLenient(in.SpecimenLengthText);
  const double curvature = format::ParseLenient(in.InitialCurvatureText);
  if (!std::isfinite(curvature)) {
    faults.push_back("InitialCurvature (\"1/Rcourbure\") is not a finite number.");
  } else if (WithinRange(RangeOf("SpecimenLength"), length) && std::fabs(curvature) > 2 / length) {
    faults.push_back("InitialCurvature (\"1/Rcourbure\") is " + Number(curvature) +
                     " 1/m; a specimen of " + Number(length) +
                     " m cannot bend more than 2 / length = " + Number(2 / length) + " 1/m.");
  }
  const MaterialRecord* rows[] = {FindRow(state, in.SubstrateMaterialName, "substrate", faults),
                                  FindRow(state, in.CoatingMaterialName, "coating", faults),
                                  state.Materials.Catalogue && state.Materials.Catalogue->IsOpen()
                                      ? FindRow(state, kContactName, "contact layer", faults)
                                      : nullptr};
  for (const MaterialRecord* row : rows) {
    if (row != nullptr) CheckMaterialRow(*row, faults);
  }
  // A fault met twice (the same row picked twice, a closed catalogue) is told once.
  std::vector<std::string> unique;
  for (std::string& fault : faults) {
    if (std::find(unique.begin(), unique.end(), fault) == unique.end()) {
      unique.push_back(std::move(fault));
    }
  }
  return unique;
}

void ValidateRunInputs(ModelState& state) {
  std::vector<std::string> faults = FindInputFaults(state);
  if (!faults.empty()) throw InputError(std::move(faults));
  const MaterialsCatalogue& catalogue = *state.Materials.Catalogue;
  state.Materials.Substrate = catalogue.LookupMaterial(state.Input.SubstrateMaterialName);
  state.Materials.Coating = catalogue.LookupMaterial(state.Input.CoatingMaterialName);
  state.Materials.Contact = catalogue.LookupMaterial(kContactName);
}

}  // namespace quillane
