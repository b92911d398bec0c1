#include "session/MaterialEntry.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "format/NumberFormat.h"
#include "model/FigureTable.h"
#include "model/InputTable.h"
#include "session/FormEntry.h"

namespace quillane::session {

std::string FigureText(double value, char separator) {
  if (!std::isfinite(value)) return {};
  // Figures of everyday size are written out ("300000", not "3e+05"), so that a column reads
  // alike from row to row; the digits are the same shortest exact ones either way.
  std::string text = format::FormatShortest(value);
  if (const double size = std::fabs(value); size >= 1e-4 && size < 1e7) {
    std::array<char, 64> fixed{};
    const auto written =
        std::to_chars(fixed.data(), fixed.data() + fixed.size(), value, std::chars_format::fixed);
    text.assign(fixed.data(), written.ptr);
  }
  std::replace(text.begin(), text.end(), '.', separator);
  std::replace(text.begin(), text.end(), 'e', 'E');
  return text;
}

MaterialEntries EntriesOf(const UserMaterial& material, char separator) {
  MaterialEntries entries;
  entries.Name = material.Row.Name;
  entries.Source = material.Source;
  entries.Tables = material.Row.Tables;
  for (std::size_t i = 0; i < kMaterialColumns.size(); ++i) {
    entries.Figures[i] = FigureText(material.Row.*kMaterialColumns[i].Field, separator);
  }
  return entries;
}

MaterialReading ReadMaterialEntries(const MaterialEntries& entries, char separator) {
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
      if (Trimmed(text).empty()) {
        reading.Faults.push_back(
            {nullptr, column + ": the box is empty.", column + " : la case est vide."});
      } else {
        reading.Faults.push_back({nullptr, column + ": \"" + text + "\" is not a number.",
                                  column + " : « " + text + " » n'est pas un nombre."});
      }
      continue;
    }
    material.Row.*kMaterialColumns[i].Field = *value;
  }
  // The points were checked as they were entered; checked again, so that no row of points
  // that make no table is ever written.
  material.Row.Tables = entries.Tables;
  for (const TableFigure& figure : kTableFigures) {
    const FigureTable& points = entries.Tables.*figure.Points;
    if (points.empty()) continue;
    if (const TableFault fault = FindTableFault(points); !fault.English.empty()) {
      const std::string name = figure.Name;
      reading.Faults.push_back({nullptr, name + " against temperature: " + fault.English + ".",
                                name + " en fonction de la température : " + fault.French + "."});
    }
  }
  if (reading.Faults.empty()) reading.Faults = FindMaterialFaults(material.Row, separator);
  if (reading.Faults.empty()) reading.Material = std::move(material);
  return reading;
}

std::vector<PointEntry> PointTexts(const FigureTable& points, char separator) {
  std::vector<PointEntry> lines;
  for (const FigurePoint& point : points) {
    lines.push_back({FigureText(point.Temperature, separator), FigureText(point.Value, separator)});
  }
  return lines;
}

PointsReading ReadPointEntries(const TableFigure& figure, const std::vector<PointEntry>& lines) {
  PointsReading reading;
  FigureTable points;
  const std::string name = figure.Name;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (Trimmed(lines[i][0]).empty() && Trimmed(lines[i][1]).empty()) continue;
    FigurePoint point;
    double* into[] = {&point.Temperature, &point.Value};
    const char* what[] = {"temperature", "value"};
    const char* quoi[] = {"température", "valeur"};
    bool read = true;
    for (std::size_t k = 0; k < 2; ++k) {
      const std::string& text = lines[i][k];
      const auto value = format::ParseStrict(text, ',', ' ');
      if (value) {
        *into[k] = *value;
        continue;
      }
      read = false;
      const std::string line = std::to_string(i + 1);
      reading.Faults.push_back(
          {nullptr,
           name + ", point " + line + ": the " + what[k] + " \"" + text + "\" is not a number.",
           name + ", point " + line + " : la " + quoi[k] + " « " + text +
               " » n'est pas un nombre."});
    }
    if (read) points.push_back(point);
  }
  if (!reading.Faults.empty()) return reading;
  std::stable_sort(points.begin(), points.end(),
                   [](const auto& a, const auto& b) { return a.Temperature < b.Temperature; });
  if (!points.empty()) {
    if (const TableFault fault = FindTableFault(points); !fault.English.empty()) {
      reading.Faults.push_back({nullptr, name + " against temperature: " + fault.English + ".",
                                name + " en fonction de la température : " + fault.French + "."});
      return reading;
    }
  }
  reading.Points = std::move(points);
  return reading;
}

std::string PointsButtonText(const FigureTable& points) {
  if (points.empty()) return "Points…";
  return std::to_string(points.size()) + " points…";
}

std::array<std::string, 2> PointHeaders(const TableFigure& figure) {
  std::string unit;
  for (const MaterialColumn& column : kMaterialColumns) {
    if (column.Field == figure.Constant) unit = column.Unit;
  }
  return {"Température (K)",
          unit.empty() ? std::string(figure.Name) : std::string(figure.Name) + " (" + unit + ")"};
}

FigureCurve CurveOf(const FigureTable& points) {
  FigureCurve curve;
  if (points.empty()) return curve;
  const double span = points.back().Temperature - points.front().Temperature;
  const double margin = span > 0 ? span / 10 : 10;
  curve.Temperatures.push_back(points.front().Temperature - margin);
  curve.Values.push_back(points.front().Value);
  for (const FigurePoint& point : points) {
    curve.Temperatures.push_back(point.Temperature);
    curve.Values.push_back(point.Value);
  }
  curve.Temperatures.push_back(points.back().Temperature + margin);
  curve.Values.push_back(points.back().Value);
  return curve;
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

std::string FigureCaption(const MaterialColumn& column) {
  return column.Unit[0] == '\0' ? std::string(column.Name)
                                : std::string(column.Name) + " (" + column.Unit + ")";
}

std::vector<std::string> CatalogueHeaders() {
  std::vector<std::string> headers{"Matériaux", "Origine"};
  for (const MaterialColumn& figure : kMaterialColumns) {
    const std::string unit = format::TableUnit(figure.Unit).Unit;
    headers.push_back(unit.empty() ? figure.Name : std::string(figure.Name) + " (" + unit + ")");
  }
  headers.emplace_back("Source");
  return headers;
}

std::vector<CatalogueLine> CatalogueLines(const MaterialsCatalogue& catalogue,
                                          const std::vector<UserMaterial>& user, char separator) {
  std::vector<CatalogueLine> lines;
  for (std::size_t i = 0; i < catalogue.Rows().size(); ++i) {
    const MaterialRecord& row = catalogue.Rows()[i];
    CatalogueLine line;
    line.Mine = catalogue.OriginOf(i) == MaterialsCatalogue::Origin::User;
    line.Cells = {row.Name, line.Mine ? "utilisateur" : "catalogue livré"};
    for (const MaterialColumn& figure : kMaterialColumns) {
      const double factor = format::TableUnit(figure.Unit).Factor;
      line.Cells.push_back(
          format::FormatTableNumber(ScaleFromSi(row.*figure.Field, factor), separator));
    }
    // A figure given against temperature shows its constant marked.
    for (const TableFigure& figure : kTableFigures) {
      if ((row.Tables.*figure.Points).empty()) continue;
      for (std::size_t k = 0; k < kMaterialColumns.size(); ++k) {
        if (kMaterialColumns[k].Field == figure.Constant) {
          line.Cells[kFirstFigureColumn + k] += " †";
        }
      }
    }
    std::string source;
    for (const UserMaterial& material : user) {
      if (line.Mine && FoldName(material.Row.Name) == FoldName(row.Name)) source = material.Source;
    }
    line.Cells.push_back(source);
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string Replacing(const MaterialsCatalogue& catalogue, std::size_t index) {
  return Removable(catalogue, index) ? catalogue.Rows().at(index).Name : std::string();
}

bool Removable(const MaterialsCatalogue& catalogue, std::size_t index) {
  return catalogue.OriginOf(index) == MaterialsCatalogue::Origin::User;
}

namespace {

// The index of the row named `name`, letter case ignored, or the catalogue's size.
std::size_t IndexOf(const MaterialsCatalogue& catalogue, const std::string& name) {
  const std::string key = FoldName(name);
  std::size_t i = 0;
  while (i < catalogue.Rows().size() && FoldName(catalogue.Rows()[i].Name) != key) ++i;
  return i;
}

}  // namespace

std::string ReplaceQuestion(const MaterialsCatalogue& catalogue, const std::string& name,
                            const std::string& edited) {
  const std::size_t i = IndexOf(catalogue, name);
  if (i == catalogue.Rows().size() || FoldName(name) == FoldName(edited)) return {};
  const std::string& existing = catalogue.Rows()[i].Name;
  if (Removable(catalogue, i)) {
    return "Vos matériaux ont déjà une ligne « " + existing + " ». La remplacer par « " + name +
           " » ?";
  }
  return "« " + existing + " » vient du catalogue livré. Votre matériau « " + name +
         " » le remplacera dans tous les calculs suivants. Continuer ?";
}

std::string NotWritten(const std::string& head, const std::filesystem::path& file) {
  return head + " :\nvos matériaux (" + file.string() +
         ") ne peuvent pas être écrits : dossier protégé, disque plein, fichier endommagé ou "
         "ouvert par un autre programme. Le fichier reste tel qu'il était.";
}

std::string DeleteQuestion(const std::string& name) {
  return "Supprimer « " + name +
         " » de vos matériaux ? Cette suppression ne peut pas être annulée.";
}

std::vector<RowChange> SaveChanges(const MaterialsCatalogue& catalogue, const std::string& name,
                                   const std::string& replacing) {
  std::vector<RowChange> changes;
  if (!replacing.empty()) changes.push_back({replacing, name});
  const std::size_t i = IndexOf(catalogue, name);
  if (i < catalogue.Rows().size() && FoldName(catalogue.Rows()[i].Name) != FoldName(replacing)) {
    changes.push_back({catalogue.Rows()[i].Name, name});
  }
  return changes;
}

std::string FollowedPick(const std::string& picked, const std::vector<RowChange>& changes,
                         const MaterialsCatalogue& catalogue) {
  for (const RowChange& change : changes) {
    if (picked.empty() || FoldName(picked) != FoldName(change.Before)) continue;
    if (!change.After.empty()) return change.After;
    // A user row over a shipped row of the same name uncovers it when deleted.
    return IndexOf(catalogue, picked) < catalogue.Rows().size() ? picked : std::string();
  }
  return picked;
}

}  // namespace quillane::session
