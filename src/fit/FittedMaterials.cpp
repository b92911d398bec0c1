#include "fit/FittedMaterials.h"

#include "run/QuantityTable.h"

namespace quillane::fit {

FittedMaterials FitMaterials(const ModelState& base, const FitResult& result,
                             const std::string& recordName) {
  FittedMaterials fitted;
  ModelState state = base;
  bool coating = false;
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
    fitted.Contact = fitted.Contact || figure->Role == QuantityRole::Contact;
    if (figure->Name == "HeatFlux") fitted.HeatFlux = result.Value[j];
  }
  const std::string source = "ajusté sur " + recordName;
  fitted.Inputs = state.Input;
  if (coating) {
    MaterialRecord row = state.Materials.Coating;
    const std::string suffix = kFittedSuffix;
    if (row.Name.size() < suffix.size() ||
        row.Name.compare(row.Name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      row.Name += suffix;
    }
    fitted.CoatingName = row.Name;
    fitted.Inputs.CoatingMaterialName = row.Name;
    fitted.Rows.push_back({row, source});
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
