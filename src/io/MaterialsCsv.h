#pragma once
// Materials as CSV, for importing rows into the user catalogue and exporting the merged one:
// a header naming the catalogue's columns ("Matériaux", "Lambda" ... "SigmaQ", and optionally
// "Source"), a comma or a semicolon between fields, a point or (with semicolons) a decimal
// comma, fields in double quotes when they hold the separator.

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "materials/UserCatalogue.h"

namespace quillane {

// A CSV that cannot be read; the message names the file and the line.
class MaterialsCsvError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CsvMaterial {
  UserMaterial Material;
  int Line = 0;  // line of the file, from 1
};

// One point of the second form.
struct CsvPoint {
  std::string Material;
  const TableFigure* Figure = nullptr;
  FigurePoint Point;
  int Line = 0;
};

// What a file holds: rows, or points (the header tells which form).
struct MaterialsCsv {
  std::vector<CsvMaterial> Rows;
  std::vector<CsvPoint> Points;
};

// Every row or point of the file, in order. Throws MaterialsCsvError at the first line that is
// not a row of numbers (or a point) under the header; range checks are left to the caller.
MaterialsCsv ReadMaterialsCsv(const std::filesystem::path& path);

// Lays points read from `file` over `rows`: each figure a file gives for a material replaces
// that figure's points, in rising temperature. A point finds its row by name, letter case
// ignored, among `rows`, else `known` gives the row to start from (nullptr when no row has that
// name), which is then added to `rows`. Throws MaterialsCsvError naming the line of a point of
// no known material, and the lines of points that make no table.
void AddCsvPoints(const std::filesystem::path& file, const std::vector<CsvPoint>& points,
                  std::vector<UserMaterial>& rows,
                  const std::function<const UserMaterial*(const std::string&)>& known);

// The catalogue as CSV (comma-separated, every number in its shortest exact form), with the
// origin of each row ("livré" or "utilisateur") and its source.
std::string MaterialsCsvText(const MaterialsCatalogue& catalogue,
                             const std::vector<UserMaterial>& userRows);

// The points of every row that has some, in the second form; empty when no row has any.
std::string MaterialPointsCsvText(const MaterialsCatalogue& catalogue);
// The second form's header line, with its line end: a file of no points.
std::string MaterialPointsCsvHeader();
// Where an export of rows to `rows` writes the points: beside it, "materials.csv" giving
// "materials.points.csv".
std::filesystem::path PointsCsvPath(const std::filesystem::path& rows);

}  // namespace quillane
