#include "io/MaterialsCsv.h"

#include <array>
#include <sstream>
#include <unordered_map>

#include "format/NumberFormat.h"
#include "io/CsvText.h"

namespace quillane {

namespace {

std::string Quoted(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::vector<CsvMaterial> ReadMaterialsCsv(const std::filesystem::path& path) {
  CsvText csv;
  try {
    csv = ParseCsv(ReadCsvFile(path, "materials file"));
  } catch (const CsvError& error) {
    throw MaterialsCsvError(error.what());
  }
  const auto fault = [&path](std::size_t line, const std::string& why) {
    return MaterialsCsvError(path.string() + ", line " + std::to_string(line) + ": " + why);
  };
  if (csv.Lines.empty()) throw fault(1, "the file has no header.");
  const CsvLine& header = csv.Lines.front();
  const auto find = [&header](const std::string& name) {
    for (std::size_t i = 0; i < header.Fields.size(); ++i) {
      if (FoldName(header.Fields[i]) == FoldName(name)) return static_cast<int>(i);
    }
    return -1;
  };
  std::vector<int> columns;  // field index of the name, the nine numbers and the source
  columns.push_back(find("Matériaux"));
  if (columns.back() < 0) throw fault(header.Number, "the header has no column \"Matériaux\".");
  for (const MaterialColumn& column : kMaterialColumns) {
    columns.push_back(find(column.Name));
    if (columns.back() < 0) {
      throw fault(header.Number, std::string("the header has no column \"") + column.Name + "\".");
    }
  }
  columns.push_back(find("Source"));
  std::vector<CsvMaterial> rows;
  for (std::size_t k = 1; k < csv.Lines.size(); ++k) {
    const CsvLine& line = csv.Lines[k];
    CsvMaterial row;
    row.Line = static_cast<int>(line.Number);
    const auto field = [&line](int index) {
      return index >= 0 && static_cast<std::size_t>(index) < line.Fields.size()
                 ? line.Fields[static_cast<std::size_t>(index)]
                 : std::string();
    };
    row.Material.Row.Name = field(columns[0]);
    if (row.Material.Row.Name.empty()) throw fault(line.Number, "the material has no name.");
    // A NUL would cut the name short in the catalogue, and an escape sequence would reach the
    // terminal of every listing.
    if (HasControlCharacter(row.Material.Row.Name)) {
      throw fault(line.Number, "the name \"" + EscapedName(row.Material.Row.Name) +
                                   "\" holds a control character; a name may not.");
    }
    for (std::size_t i = 0; i < kMaterialColumns.size(); ++i) {
      const std::string text = field(columns[i + 1]);
      // With semicolons between fields, a decimal comma is accepted as well as a point.
      const auto value = format::ParseStrict(text, csv.Separator == ';' ? ',' : '.', ' ');
      if (!value) {
        throw fault(line.Number, std::string(kMaterialColumns[i].Name) + " of \"" +
                                     EscapedName(row.Material.Row.Name) + "\" is not a number: \"" +
                                     EscapedName(text) + "\".");
      }
      row.Material.Row.*kMaterialColumns[i].Field = *value;
    }
    row.Material.Source = field(columns.back());
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string MaterialsCsvText(const MaterialsCatalogue& catalogue,
                             const std::vector<UserMaterial>& userRows) {
  // The source of each user row by its folded name (the last row of a name, as the catalogue
  // keeps it), so that each row finds its own in one look-up.
  std::unordered_map<std::string, const std::string*> sources;
  sources.reserve(userRows.size());
  for (const UserMaterial& material : userRows) {
    sources.insert_or_assign(FoldName(material.Row.Name), &material.Source);
  }
  std::ostringstream out;
  out << "Matériaux";
  for (const MaterialColumn& column : kMaterialColumns) out << ',' << column.Name;
  out << ",Origine,Source\n";
  for (std::size_t i = 0; i < catalogue.Rows().size(); ++i) {
    const MaterialRecord& row = catalogue.Rows()[i];
    const bool user = catalogue.OriginOf(i) == MaterialsCatalogue::Origin::User;
    out << Quoted(row.Name);
    for (const MaterialColumn& column : kMaterialColumns) {
      out << ',' << format::FormatShortest(row.*column.Field);
    }
    const auto found = user ? sources.find(FoldName(row.Name)) : sources.end();
    const std::string& source = found != sources.end() ? *found->second : std::string();
    out << ',' << (user ? "utilisateur" : "livré") << ',' << Quoted(source) << '\n';
  }
  return out.str();
}

}  // namespace quillane
