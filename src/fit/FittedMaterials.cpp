#include "fit/FittedMaterials.h"

#include "run/QuantityTable.h"

namespace quillane::fit {

FittedMaterials FitMaterials(const ModelState& base, const FitResult& result,
                             const std::string& recordName) {
  FittedMaterials fitted;
  ModelState state = base;
  bool coating = false;
  std::vector<bool> laterCoats(base.Materials.LaterCoats.size(), false);
  for (std::size_t j = 0; j < result.Names.size(); ++j) {
    if (result.Names[j] == kTimeShift) continue;  // the record's, not the case's
    const QuantitySpec* figure = FindQuantity(result.Names[j]);
    if (figure == nullptr || !figure->Fittable) {
      EntryFault fault;
      fault.Kind = FaultKind::NotFittable;
      fault.Text = result.Names[j];
      throw FitSettingsError(fault);
    }
    figure->Set(state, result.Value[j]);
    coating = coating || figure->Role == QuantityRole::Coating;
    if (figure->Role == QuantityRole::CoatFigure) {
      laterCoats.at(static_cast<std::size_t>(figure->Coat - 2)) = true;
    }
    fitted.Contact = fitted.Contact || figure->Role == QuantityRole::Contact;
    if (figure->Name == "HeatFlux") fitted.HeatFlux = result.Value[j];
  }
  const std::string source = "ajusté sur " + recordName;
  fitted.Inputs = state.Input;
  // A fitted coat's row is renamed, and the fitted case's coat picks it. A later coat's row
  // names its coat, since two coats of one material may be fitted apart.
  const auto renamed = [&](MaterialRecord row, const std::string& suffix) {
    if (row.Name.size() < suffix.size() ||
        row.Name.compare(row.Name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      row.Name += suffix;
    }
    fitted.Rows.push_back({row, source});
    return row.Name;
  };
  std::vector<CoatInput>& coats = fitted.Inputs.Coats;
  if (coating) {
    fitted.CoatingName = renamed(state.Materials.Coating, kFittedSuffix);
    fitted.Inputs.CoatingMaterialName = fitted.CoatingName;
    if (!coats.empty()) coats.front().Material = fitted.CoatingName;
  }
  for (std::size_t k = 0; k < laterCoats.size(); ++k) {
    if (!laterCoats[k]) continue;
    const std::string suffix = " (ajusté, couche " + std::to_string(k + 2) + ")";
    coats.at(k + 1).Material = renamed(state.Materials.LaterCoats[k], suffix);
  }
  if (fitted.Contact) fitted.Rows.push_back({state.Materials.Contact, source});
  for (const UserMaterial& material : fitted.Rows) {
    for (InputFault& fault : FindMaterialFaults(material.Row)) {
      fitted.Faults.push_back(std::move(fault));
    }
  }
  return fitted;
}

}  // namespace quillane::fit
