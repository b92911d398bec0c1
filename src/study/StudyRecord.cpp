#include "study/StudyRecord.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "format/NumberFormat.h"
#include "io/CaseFile.h"
#include "io/JsonDepth.h"
#include "run/Validation.h"

namespace quillane::study {

namespace {

// Keys in the order written, so that a record reads as it was made.
using OrderedJson = nlohmann::ordered_json;

OrderedJson RowJson(const MaterialsCatalogue& catalogue, const std::string& name) {
  const MaterialRecord* row = catalogue.FindMaterial(name);
  if (row == nullptr) return nullptr;
  OrderedJson figures = {{"Name", row->Name}};
  for (const MaterialColumn& column : kMaterialColumns) figures[column.Name] = row->*column.Field;
  // The figures given against temperature, as [temperature, value] pairs, where there are some.
  for (const TableFigure& figure : kTableFigures) {
    const FigureTable& points = row->Tables.*figure.Points;
    if (points.empty()) continue;
    OrderedJson& table = figures["Tables"][figure.Name];
    for (const FigurePoint& point : points) table.push_back({point.Temperature, point.Value});
  }
  return figures;
}

// "base.HeatFlux" for the pointer "/base/HeatFlux".
std::string EntryName(const std::string& pointer) {
  std::string name = pointer.substr(pointer.empty() ? 0 : 1);
  for (char& c : name) c = c == '/' ? '.' : c;
  return name;
}

OrderedJson ParseRecord(std::string_view text, const std::string& origin) {
  try {
    if (!JsonTooDeep(text)) {
      OrderedJson record = OrderedJson::parse(text);
      if (record.is_object()) return record.flatten();
    }
  } catch (const std::exception&) {
  }
  throw StudyError(origin + " is not a study's record of its inputs.");
}

bool SameValue(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

}  // namespace

std::string StudyRecordJson(const Study& study, const MaterialsCatalogue& catalogue,
                            const StudyOptions& options, const std::string& program) {
  OrderedJson record;
  record["program"] = program;
  record["base"] = OrderedJson::parse(CaseText(study.Base));
  record["materials"] = {{"substrate", RowJson(catalogue, study.Base.SubstrateMaterialName)},
                         {"coating", RowJson(catalogue, study.Base.CoatingMaterialName)},
                         {"contact", RowJson(catalogue, kContactName)}};
  // Each coat's row, where the case sprays coats: a resumed study must find them unchanged too.
  for (const CoatInput& coat : study.Base.Coats) {
    record["materials"]["coats"].push_back(RowJson(catalogue, coat.Material));
  }
  // The kept result files show numbers with the user's separators.
  record["kept files"] = !options.KeepFilesIn.empty();
  if (!options.KeepFilesIn.empty()) {
    record["decimal separator"] = std::string(1, options.Locale.DecimalSeparator);
    record["group separator"] = std::string(1, options.Locale.GroupSeparator);
  }
  return record.dump(1) + "\n";
}

std::string RecordDifference(std::string_view saved, std::string_view current,
                             const std::string& origin) {
  const OrderedJson then = ParseRecord(saved, origin);
  const OrderedJson now = ParseRecord(current, "the current record");
  std::string text;
  const auto told = [](const OrderedJson& entries, const std::string& key) {
    const auto found = entries.find(key);
    if (found == entries.end() || found->is_null()) return std::string("absent");
    if (found->is_number()) return format::FormatShortest(found->get<double>());
    return found->is_string() ? found->get<std::string>() : found->dump();
  };
  const auto differ = [&](const std::string& key) {
    const std::string was = told(then, key);
    const std::string is = told(now, key);
    if (was == is) return;
    text += (text.empty() ? "" : "; ") + EntryName(key) + " is " + is + " now, " + was + " in " +
            origin;
  };
  for (const auto& entry : now.items()) differ(entry.key());
  for (const auto& entry : then.items()) {
    if (!now.contains(entry.key())) differ(entry.key());
  }
  return text;
}

void CheckKeptRows(const Study& study, const std::vector<std::vector<double>>& points,
                   const StudyRows& rows, const MaterialsCatalogue& catalogue,
                   const std::string& origin) {
  for (std::size_t i = 0; i < rows.size() && i < points.size(); ++i) {
    if (!rows[i]) continue;
    const std::vector<double> expected = PointValues(study, points[i], catalogue);
    for (std::size_t q = 0; q < expected.size(); ++q) {
      if (SameValue(rows[i]->Values[q], expected[q])) continue;
      throw StudyError(origin + ": point " + std::to_string(i + 1) + " has " +
                       study.Vary[q].Name() + " " + format::FormatShortest(rows[i]->Values[q]) +
                       ", but this study's point " + std::to_string(i + 1) + " has " +
                       format::FormatShortest(expected[q]) +
                       "; the table belongs to another study.");
    }
  }
}

}  // namespace quillane::study
