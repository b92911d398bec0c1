#include "io/MaterialsCsv.h"

#include <array>
#include <fstream>
#include <sstream>

#include "format/NumberFormat.h"

namespace quillane {

namespace {

// Splits a line at the separator, honouring double quotes ("" inside quotes is one quote).
std::vector<std::string> Fields(const std::string& line, char separator) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == separator) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  for (std::string& field : fields) {
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.pop_back();
    while (!field.empty() && (field.front() == ' ' || field.front() == '\t')) field.erase(0, 1);
  }
  return fields;
}

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
  std::ifstream in(path, std::ios::binary);
  if (!in) throw MaterialsCsvError("Cannot read " + path.string() + ".");
  const auto fault = [&path](int line, const std::string& why) {
    return MaterialsCsvError(path.string() + ", line " + std::to_string(line) + ": " + why);
  };
  std::string line;
  int number = 0;
  std::vector<int> columns;  // field index of the name, the nine numbers and the source
  char separator = ',';
  std::vector<CsvMaterial> rows;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (columns.empty()) {
      separator = line.find(';') != std::string::npos ? ';' : ',';
      const std::vector<std::string> header = Fields(line, separator);
      const auto find = [&header](const std::string& name) {
        for (std::size_t i = 0; i < header.size(); ++i) {
          if (FoldName(header[i]) == FoldName(name)) return static_cast<int>(i);
        }
        return -1;
      };
      columns.push_back(find("Matériaux"));
      if (columns.back() < 0) throw fault(number, "the header has no column \"Matériaux\".");
      for (const MaterialColumn& column : kMaterialColumns) {
        columns.push_back(find(column.Name));
        if (columns.back() < 0) {
          throw fault(number, std::string("the header has no column \"") + column.Name + "\".");
        }
      }
      columns.push_back(find("Source"));
      continue;
    }
    const std::vector<std::string> fields = Fields(line, separator);
    CsvMaterial row;
    row.Line = number;
    const auto field = [&fields](int index) {
      return index >= 0 && static_cast<std::size_t>(index) < fields.size()
                 ? fields[static_cast<std::size_t>(index)]
                 : std::string();
    };
    row.Material.Row.Name = field(columns[0]);
    if (row.Material.Row.Name.empty()) throw fault(number, "the material has no name.");
    // A NUL would cut the name short in the catalogue, and an escape sequence would reach the
    // terminal of every listing.
    if (HasControlCharacter(row.Material.Row.Name)) {
      throw fault(number, "the name \"" + EscapedName(row.Material.Row.Name) +
                              "\" holds a control character; a name may not.");
    }
    for (std::size_t i = 0; i < kMaterialColumns.size(); ++i) {
      const std::string text = field(columns[i + 1]);
      // With semicolons between fields, a decimal comma is accepted as well as a point.
      const auto value = format::ParseStrict(text, separator == ';' ? ',' : '.', ' ');
      if (!value) {
        throw fault(number, std::string(kMaterialColumns[i].Name) + " of \"" +
                                row.Material.Row.Name + "\" is not a number: \"" + text + "\".");
      }
      row.Material.Row.*kMaterialColumns[i].Field = *value;
    }
    row.Material.Source = field(columns.back());
    rows.push_back(std::move(row));
  }
  if (in.bad()) throw MaterialsCsvError("Cannot read " + path.string() + ".");
  if (columns.empty()) throw fault(number, "the file has no header.");
  return rows;
}

std::string MaterialsCsvText(const MaterialsCatalogue& catalogue,
                             const std::vector<UserMaterial>& userRows) {
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
    std::string source;
    if (user) {
      for (const UserMaterial& material : userRows) {
        if (FoldName(material.Row.Name) == FoldName(row.Name)) source = material.Source;
      }
    }
    out << ',' << (user ? "utilisateur" : "livré") << ',' << Quoted(source) << '\n';
  }
  return out.str();
}

}  // namespace quillane
