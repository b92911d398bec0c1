#include "io/MaterialsCsv.h"

#include <algorithm>
#include <array>
#include <sstream>
#include <unordered_map>

#include "format/NumberFormat.h"
#include "io/CsvText.h"
#include "model/FigureTable.h"

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

MaterialsCsvError LineFault(const std::filesystem::path& path, std::size_t line,
                            const std::string& why) {
  return MaterialsCsvError(path.string() + ", line " + std::to_string(line) + ": " + why);
}

// The header of the second form, field by field.
constexpr std::array<const char*, 4> kPointsHeader = {"material", "figure", "temperature", "value"};

bool IsPointsHeader(const CsvLine& header) {
  return std::equal(header.Fields.begin(), header.Fields.end(), kPointsHeader.begin(),
                    kPointsHeader.end());
}

// A material's name as a line gives it; throws naming the line when no row may bear it.
std::string NameOf(const std::filesystem::path& path, const CsvLine& line, std::string name) {
  if (name.empty()) throw LineFault(path, line.Number, "the material has no name.");
  // A NUL would cut the name short in the catalogue, and an escape sequence would reach the
  // terminal of every listing.
  if (HasControlCharacter(name)) {
    throw LineFault(
        path, line.Number,
        "the name \"" + EscapedName(name) + "\" holds a control character; a name may not.");
  }
  return name;
}

std::vector<CsvPoint> ReadPoints(const std::filesystem::path& path, const CsvText& csv) {
  std::vector<CsvPoint> points;
  for (std::size_t k = 1; k < csv.Lines.size(); ++k) {
    const CsvLine& line = csv.Lines[k];
    if (line.Fields.size() != kPointsHeader.size()) {
      throw LineFault(path, line.Number,
                      "a point has four fields: material, figure, temperature, value.");
    }
    CsvPoint point;
    point.Line = static_cast<int>(line.Number);
    point.Material = NameOf(path, line, line.Fields[0]);
    point.Figure = TableFigureNamed(line.Fields[1]);
    if (point.Figure == nullptr) {
      throw LineFault(path, line.Number,
                      "\"" + EscapedName(line.Fields[1]) +
                          "\" is not a figure given against temperature (Lambda, Cp, "
                          "ModuleYoung, dilat, SigmaQ).");
    }
    const char* what[] = {"the temperature", "the value"};
    double* into[] = {&point.Point.Temperature, &point.Point.Value};
    for (std::size_t i = 0; i < 2; ++i) {
      const std::string& text = line.Fields[i + 2];
      const auto value = csv.Number(text);
      if (!value) {
        throw LineFault(path, line.Number,
                        std::string(what[i]) + " of " + point.Figure->Name + " of \"" +
                            EscapedName(point.Material) + "\" is not a number: \"" +
                            EscapedName(text) + "\".");
      }
      *into[i] = *value;
    }
    points.push_back(std::move(point));
  }
  return points;
}

}  // namespace

MaterialsCsv ReadMaterialsCsv(const std::filesystem::path& path) {
  CsvText csv;
  try {
    csv = ParseCsv(ReadCsvFile(path, "materials file"));
  } catch (const CsvError& error) {
    throw MaterialsCsvError(error.what());
  }
  const auto fault = [&path](std::size_t line, const std::string& why) {
    return LineFault(path, line, why);
  };
  if (csv.Lines.empty()) throw fault(1, "the file has no header.");
  const CsvLine& header = csv.Lines.front();
  MaterialsCsv read;
  if (IsPointsHeader(header)) {
    read.Points = ReadPoints(path, csv);
    return read;
  }
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
  std::vector<CsvMaterial>& rows = read.Rows;
  for (std::size_t k = 1; k < csv.Lines.size(); ++k) {
    const CsvLine& line = csv.Lines[k];
    CsvMaterial row;
    row.Line = static_cast<int>(line.Number);
    const auto field = [&line](int index) {
      return index >= 0 && static_cast<std::size_t>(index) < line.Fields.size()
                 ? line.Fields[static_cast<std::size_t>(index)]
                 : std::string();
    };
    row.Material.Row.Name = NameOf(path, line, field(columns[0]));
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
  return read;
}

void AddCsvPoints(const std::filesystem::path& file, const std::vector<CsvPoint>& points,
                  std::vector<UserMaterial>& rows,
                  const std::function<const UserMaterial*(const std::string&)>& known) {
  // The points of each material and figure, in the order the file first names them.
  struct Group {
    const CsvPoint* First;
    FigureTable Table;
    std::vector<int> Lines;
  };
  std::vector<Group> groups;
  std::unordered_map<std::string, std::size_t> groupOf;
  for (const CsvPoint& point : points) {
    const std::string key = FoldName(point.Material) + '\n' + point.Figure->Name;
    const auto [found, added] = groupOf.emplace(key, groups.size());
    if (added) groups.push_back({&point, {}, {}});
    groups[found->second].Table.push_back(point.Point);
    groups[found->second].Lines.push_back(point.Line);
  }
  std::unordered_map<std::string, std::size_t> rowOf;
  for (std::size_t i = 0; i < rows.size(); ++i) rowOf[FoldName(rows[i].Row.Name)] = i;
  for (Group& group : groups) {
    const CsvPoint& first = *group.First;
    const std::string name = "\"" + EscapedName(first.Material) + "\"";
    auto row = rowOf.find(FoldName(first.Material));
    if (row == rowOf.end()) {
      const UserMaterial* start = known(first.Material);
      if (start == nullptr) {
        throw LineFault(file, static_cast<std::size_t>(first.Line),
                        "no material " + name + " in the catalogue or among the rows imported.");
      }
      row = rowOf.emplace(FoldName(first.Material), rows.size()).first;
      rows.push_back(*start);
    }
    // A set of points: in rising temperature they make the table, and two at one temperature
    // are then told.
    std::vector<std::size_t> order(group.Table.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return group.Table[a].Temperature < group.Table[b].Temperature;
    });
    FigureTable table;
    for (const std::size_t i : order) table.push_back(group.Table[i]);
    if (const TableFault fault = FindTableFault(table); !fault.English.empty()) {
      std::string lines;
      for (const int line : group.Lines) {
        lines += (lines.empty() ? "" : ", ") + std::to_string(line);
      }
      throw MaterialsCsvError(file.string() + (group.Lines.size() == 1 ? ", line " : ", lines ") +
                              lines + ": the points of " + first.Figure->Name + " of " + name +
                              " are not a table: " + fault.English + ".");
    }
    rows[row->second].Row.Tables.*first.Figure->Points = std::move(table);
  }
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

std::string MaterialPointsCsvText(const MaterialsCatalogue& catalogue) {
  std::ostringstream out;
  for (const MaterialRecord& row : catalogue.Rows()) {
    for (const TableFigure& figure : kTableFigures) {
      for (const FigurePoint& point : row.Tables.*figure.Points) {
        out << Quoted(row.Name) << ',' << figure.Name << ','
            << format::FormatShortest(point.Temperature) << ','
            << format::FormatShortest(point.Value) << '\n';
      }
    }
  }
  if (out.view().empty()) return {};
  return MaterialPointsCsvHeader() + out.str();
}

std::string MaterialPointsCsvHeader() {
  std::string header;
  for (const char* field : kPointsHeader) {
    header += (header.empty() ? "" : ",") + std::string(field);
  }
  return header + '\n';
}

std::filesystem::path PointsCsvPath(const std::filesystem::path& rows) {
  std::filesystem::path points = rows;
  const std::string extension = rows.has_extension() ? rows.extension().string() : ".csv";
  return points.replace_filename(rows.stem().string() + ".points" + extension);
}

}  // namespace quillane
