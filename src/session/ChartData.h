#pragma once
// What the windows' charts draw, as plain data: an axis span widened by its margin, the labels
// of an axis' ticks, and a column of the results grid as series against time. The windows hand
// these numbers and texts to the chart as they are.

#include <string>
#include <vector>

#include "run/ResultRowStore.h"

namespace quillane::session {

struct AxisSpan {
  double Lower = 0;
  double Upper = 0;

  bool operator==(const AxisSpan&) const = default;
};

// The span of the data with a margin of 4 % on each side (on a logarithmic axis, a factor of
// the span's ratio to the power 0.04); a span without extent gets a tenth of its value, or 1
// about zero, so that a flat series still shows.
AxisSpan WithMargin(AxisSpan span, bool log);

// The labels of evenly spaced ticks in the pattern "###0", with just enough decimals for ticks
// that far apart to read differently (a thickness in metres); where that takes more than six
// decimals, in the exponent form with enough digits to differ ("2E-12", "5.0000001E-01").
std::vector<std::string> TickLabels(const std::vector<double>& ticks, char decimal);

// One curve of a chart.
struct XYSeries {
  std::vector<double> X;
  std::vector<double> Y;
};

// A column of the results grid against its time column, below the two title rows: every row
// whose two cells read as numbers (with the locale's separators, then with the point of a grid
// written under another locale). Each run of rising times is a series of its own: a second run
// appended to the grid starts again at time 0 and is not joined to the end of the first.
std::vector<XYSeries> GridColumnSeries(const ResultRowStore& grid, int column, char decimal,
                                       char group);

// The column's name with its unit from the second title row: "Temperature (K)"; "Colonne 6"
// for a column without a name.
std::string GridColumnTitle(const ResultRowStore& grid, int column);

// The chart's value axis for a column, read from its unit in the second title row: temperatures
// (K) as "Temperature (K)", the thickness column, which holds metres, as "thickness (m)", the
// time as "temps (secondes)"; any other column by its title.
std::string GridValueAxis(const ResultRowStore& grid, int column);

}  // namespace quillane::session
