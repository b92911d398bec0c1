#pragma once
// The form of a user material without widgets: the texts of its boxes, read into a row that a
// run can use or into the faults that stop it, and the rows the "Matériaux" window starts from.

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "materials/MaterialsCatalogue.h"
#include "materials/UserCatalogue.h"
#include "run/Validation.h"

namespace quillane::session {

struct MaterialEntries {
  std::string Name;
  std::array<std::string, kMaterialColumns.size()> Figures;  // in the catalogue's column order
  std::string Source;
  FigureTables Tables;  // the figures given against temperature, as read by ReadPointEntries
};

// A figure as its box and the table show it: its shortest exact digits with the locale's
// `separator`, written out between 1e-4 and 1e7 and with an exponent ("E") beyond, so that editing
// a row changes only what the user types; a figure not given yet shows as an empty box.
std::string FigureText(double value, char separator);
MaterialEntries EntriesOf(const UserMaterial& material, char separator);

struct MaterialReading {
  std::optional<UserMaterial> Material;  // when the entries make a row a run can use
  std::vector<InputFault> Faults;        // otherwise, every reason
};
// The point and the comma both read as the decimal separator; names and sources are trimmed;
// the faults' French writes numbers with `separator`.
MaterialReading ReadMaterialEntries(const MaterialEntries& entries, char separator);

// The points of one figure as its little table shows them: a temperature and a value a line.
using PointEntry = std::array<std::string, 2>;
std::vector<PointEntry> PointTexts(const FigureTable& points, char separator);
struct PointsReading {
  std::optional<FigureTable> Points;  // in rising temperature; empty for the row's constant
  std::vector<InputFault> Faults;     // otherwise, every reason
};
// Lines left blank are skipped; the others give the points, in any order. No point at all
// makes the figure the row's constant again.
PointsReading ReadPointEntries(const TableFigure& figure, const std::vector<PointEntry>& lines);
// The points' button in the form: "Points…", or "3 points…" where the figure has some.
std::string PointsButtonText(const FigureTable& points);
// The table's captions: "Température (K)" and the figure with its unit.
std::array<std::string, 2> PointHeaders(const TableFigure& figure);

// The curve drawn for a figure's points: linear between them and flat beyond, over the points'
// span and a tenth of it on each side.
struct FigureCurve {
  std::vector<double> Temperatures;
  std::vector<double> Values;
};
FigureCurve CurveOf(const FigureTable& points);

// A new row to fill in (no figure given yet), and a copy of a row under a name of its own.
UserMaterial NewMaterial();
UserMaterial CopyOf(const MaterialRecord& row);

// A figure's caption in the form: "Lambda (W/(m·K))", or the name alone without a unit.
std::string FigureCaption(const MaterialColumn& column);

// The table of the "Matériaux" window: its headings (each figure with the unit the tables show
// it in: stresses and moduli in MPa), then one line per row of the catalogue with its origin,
// its figures as every table shows numbers (format::FormatTableNumber; a figure given against
// temperature followed by " †") and, for the user's rows, their source.
// The table's columns: the name, the origin, the figures from this one on, the source.
inline constexpr std::size_t kFirstFigureColumn = 2;
struct CatalogueLine {
  std::vector<std::string> Cells;
  bool Mine = false;  // a row of the user's
};
std::vector<std::string> CatalogueHeaders();
std::vector<CatalogueLine> CatalogueLines(const MaterialsCatalogue& catalogue,
                                          const std::vector<UserMaterial>& user, char separator);

// The row an edit of the catalogue's row `index` replaces: a user row, under its name. A shipped
// row is never written: editing it makes a user row of the same name over it, replacing nothing.
std::string Replacing(const MaterialsCatalogue& catalogue, std::size_t index);
// Only the user's rows can be deleted.
bool Removable(const MaterialsCatalogue& catalogue, std::size_t index);

// The question asked before saving a row named `name` from a form that started from the row
// `edited` ("" for a new row or a copy): when the save would replace a user row other than the
// one edited, or lay a user row over a shipped row the form did not start from. Empty when the
// save replaces nothing else.
std::string ReplaceQuestion(const MaterialsCatalogue& catalogue, const std::string& name,
                            const std::string& edited);
// The question asked before deleting the user row `name`.
std::string DeleteQuestion(const std::string& name);

// Why the user's rows were not written or deleted, in French: `head` ("Le matériau n'a pas été
// enregistré"), the file and what can cause it. The storage's own text is not the user's.
std::string NotWritten(const std::string& head, const std::filesystem::path& file);

// A row of the catalogue replaced (`After` its new name) or deleted (`After` empty).
struct RowChange {
  std::string Before;
  std::string After;
  bool operator==(const RowChange&) const = default;
};
// The rows a save of `name` replaces, from a form that started from the user row `replacing`.
std::vector<RowChange> SaveChanges(const MaterialsCatalogue& catalogue, const std::string& name,
                                   const std::string& replacing);
// A picked material once `changes` are in `catalogue`: a replaced row is followed under its new
// name, a deleted row no longer in the catalogue is no longer picked; others stay as they are
// (a case's missing material stays named, and a run then tells it).
std::string FollowedPick(const std::string& picked, const std::vector<RowChange>& changes,
                         const MaterialsCatalogue& catalogue);

}  // namespace quillane::session
