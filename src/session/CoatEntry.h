#pragma once
// The input window's table of coats, without widgets: its columns, the text of each cell, how a
// typed cell is read back into the coat it stands for, and which cells hold a value a run
// refuses. A figure left empty takes the case's own value, which the cell shows greyed.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "materials/MaterialsCatalogue.h"
#include "model/InputTable.h"
#include "model/ModelState.h"
#include "session/GeometrieFields.h"
#include "session/InputForm.h"

namespace quillane::session {

enum class CoatColumnKind { Material, PassCount, Figure, Pause };

struct CoatColumn {
  CoatColumnKind Kind;
  std::string Header;  // with the unit of its cells
  // The input whose unit and range the column takes (none for the material and the pause).
  const InputSpec* Input;
  std::optional<double> CoatInput::*Field;  // the figure's, for a Figure column
};

// The table's columns, in their order.
const std::vector<CoatColumn>& CoatColumns();

// The text of a cell of coat `coat` (counted from 0): the material's name, the passes, a figure
// in its column's unit ("" when the coat takes the case's), the pause.
std::string CoatCellText(const ModelState& state, std::size_t coat, std::size_t column);
// What an empty figure stands for: the case's own value in the column's unit ("" for columns
// that are never empty).
std::string CoatCellPlaceholder(const ModelState& state, std::size_t column);

// Reads a typed cell into its coat. Only a text that differs from the cell's commits (nullopt
// otherwise). A text that is not a number is refused and changes nothing; an empty figure goes
// back to the case's value. Values out of range are taken, and marked by CoatNotes.
std::optional<CommitOutcome> CommitCoatCell(ModelState& state, std::size_t coat, std::size_t column,
                                            std::string_view text);

// The coats of a case that sprays several: the first two from the case's own coating. Nothing
// when it already has its coats.
void StartCoats(InputParameters& in);
// One coat for the case again: the first coat's material becomes the coating.
void StopCoats(InputParameters& in);
// A coat added after the last (a copy of it), or the coat `coat` taken away; false when the
// table is full, or would be left empty.
bool AddCoat(InputParameters& in);
bool RemoveCoat(InputParameters& in, std::size_t coat);

// Per coat, per column: whether the cell holds what a run refuses, and why, in French; the
// column's range otherwise.
std::vector<std::vector<FieldNote>> CoatNotes(const ModelState& state,
                                              const MaterialsCatalogue* catalogue);

}  // namespace quillane::session
