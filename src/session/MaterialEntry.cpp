#include "session/MaterialEntry.h"

#include <cmath>

#include "format/NumberFormat.h"
#include "session/FormEntry.h"

namespace quillane::session {

std::string FigureText(double value) {
  return std::isfinite(value) ? format::FormatShortest(value) : std::string();
}

MaterialEntries EntriesOf(const UserMaterial& material) {
  MaterialEntries entries;
  entries.Name = material.Row.Name;
  entries.Source = material.Source;
  for (std::size_t i = 0; i < kMaterialColumns.size(); ++i) {
    entries.Figures[i] = FigureText(material.Row.*kMaterialColumns[i].Field);
  }
  return entries;
}

MaterialReading ReadMaterialEntries(const MaterialEntries& entries) {
  MaterialReading reading;
  UserMaterial material;
  material.Row.Name = Trimmed(entries.Name);
  material.Source = Trimmed(entries.Source);
  if (material.Row.Name.empty()) {
    reading.Faults.push_back({nullptr, "The material has no name.", "Le matériau n'a pas de nom."});
  }
  for (std::size_t i = 0; i < kMaterialColumns.size(); ++i) {
    const std::string& text = entries.Figures[i];
    const auto value = format::ParseStrict(text, ',', ' ');
    if (!value) {
      const std::string column = kMaterialColumns[i].Name;
      reading.Faults.push_back({nullptr, column + ": \"" + text + "\" is not a number.",
                                column + " : « " + text + " » n'est pas un nombre."});
      continue;
    }
    material.Row.*kMaterialColumns[i].Field = *value;
  }
  if (reading.Faults.empty()) reading.Faults = FindMaterialFaults(material.Row);
  if (reading.Faults.empty()) reading.Material = std::move(material);
  return reading;
}

UserMaterial NewMaterial() {
  UserMaterial blank;
  blank.Row.Name = "Nouveau matériau";
  for (const MaterialColumn& figure : kMaterialColumns) blank.Row.*figure.Field = std::nan("");
  return blank;
}

UserMaterial CopyOf(const MaterialRecord& row) {
  UserMaterial copy;
  copy.Row = row;
  copy.Row.Name += " (copie)";
  return copy;
}

}  // namespace quillane::session
