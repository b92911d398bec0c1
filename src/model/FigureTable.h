#pragma once
// Figures given against temperature: their value, their integral, and the checks of their points.

#include <string>
#include <string_view>

#include "model/MaterialRecord.h"

namespace quillane {

// The figure of points that are not empty at `temperature`: linear between the points and the
// nearest point's value beyond them.
double TableValue(const FigureTable& points, double temperature);
// ∫ figure dT from `from` to `to` (either order) for points that are not empty, exact for the
// piecewise linear figure.
double TableIntegral(const FigureTable& points, double from, double to);
// A figure and its derivative in temperature (0 beyond the points and for a constant; on a
// point, the slope of the segment above it).
struct FigureValue {
  double Value = 0;
  double Slope = 0;
};
FigureValue TableValueAndSlope(const FigureTable& points, double temperature);
inline FigureValue FigureAndSlope(const FigureTable& points, double constant, double temperature) {
  return points.empty() ? FigureValue{constant, 0} : TableValueAndSlope(points, temperature);
}

// The figure: `constant` where `points` is empty, else the table's value. Inline, since the
// field asks for every cell at every iteration and a constant must cost nothing.
inline double FigureAt(const FigureTable& points, double constant, double temperature) {
  return points.empty() ? constant : TableValue(points, temperature);
}
inline double FigureIntegral(const FigureTable& points, double constant, double from, double to) {
  return points.empty() ? constant * (to - from) : TableIntegral(points, from, to);
}

// The plate's thermal strain of a material is ExpansionScale(row) · ExpansionOf(row, T): its
// temperature times its expansion coefficient where that is a constant (the plain formula), else
// ∫ α dT from the table's first point.
inline double ExpansionOf(const MaterialRecord& row, double temperature) {
  const FigureTable& points = row.Tables.dilat;
  return points.empty() ? temperature
                        : TableIntegral(points, points.front().Temperature, temperature);
}
inline double ExpansionScale(const MaterialRecord& row) {
  return row.Tables.dilat.empty() ? row.dilat : 1;
}

// The figure that may be a table whose constant is `constant`; nullptr for the others.
const TableFigure* TableFigureOf(double MaterialRecord::*constant);
// The figure that may be a table named `name`, letter case ignored; nullptr when none is.
const TableFigure* TableFigureNamed(std::string_view name);

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
