#pragma once
// Figures given against temperature: their value, their integral, and the checks of their points.

#include <string>

#include "model/MaterialRecord.h"

namespace quillane {

// The figure at `temperature`: `constant` where `points` is empty, else linear between the
// points and the nearest point's value beyond them.
double FigureAt(const FigureTable& points, double constant, double temperature);

// d figure / dT at `temperature`: 0 beyond the points and for a constant; on a point, the slope
// of the segment above it.
double FigureSlope(const FigureTable& points, double temperature);

// ∫ figure dT from `from` to `to` (either order), exact for the piecewise linear figure.
double FigureIntegral(const FigureTable& points, double constant, double from, double to);

// The plate's thermal strain of a material is ExpansionScale(row) · ExpansionOf(row, T): its
// temperature times its expansion coefficient where that is a constant (the plain formula), else
// ∫ α dT from the table's first point.
double ExpansionOf(const MaterialRecord& row, double temperature);
double ExpansionScale(const MaterialRecord& row);

// True where the points hold one value (or there are none): the figure is that constant.
bool HoldsOneValue(const FigureTable& points);

// Does any figure of the row have points that do not hold one value?
bool HasTables(const MaterialRecord& row);

// The row with every table that holds one value made its constant, so that such a table gives
// exactly the constant's results.
MaterialRecord WithConstantsFolded(MaterialRecord row);

// Why the points cannot be a table, in English and French: fewer than two points, a temperature
// not above 0 K or not above the one before, a value not finite. Empty when they can.
struct TableFault {
  std::string English;
  std::string French;
};
TableFault FindTableFault(const FigureTable& points);

}  // namespace quillane
