// What the charts draw, without a window: the margins of an axis, the labels of its ticks, and
// a column of the results grid as series against time.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "session/ChartData.h"

namespace quillane::session {
namespace {

TEST(ChartDataTest, AxesGetAMarginAndAFlatSeriesStillShows) {
  const double ratio = std::pow(100.0, 0.04);
  const struct {
    AxisSpan data;
    bool log;
    AxisSpan shown;
  } cases[] = {
      {{0, 10}, false, {-0.4, 10.4}},
      {{-3, 2}, false, {-3.2, 2.2}},
      {{5, 5}, false, {4.75, 5.25}},
      {{-2, -2}, false, {-2.1, -1.9}},
      {{0, 0}, false, {-0.5, 0.5}},
      {{1, 100}, true, {1 / ratio, 100 * ratio}},
      {{10, 10}, true, {10 / 1.1, 11}},
      // A logarithmic axis that reaches zero takes the linear margin.
      {{0, 10}, true, {-0.4, 10.4}},
  };
  for (const auto& c : cases) {
    const AxisSpan shown = WithMargin(c.data, c.log);
    EXPECT_DOUBLE_EQ(shown.Lower, c.shown.Lower) << c.data.Lower << " " << c.data.Upper;
    EXPECT_DOUBLE_EQ(shown.Upper, c.shown.Upper) << c.data.Lower << " " << c.data.Upper;
  }
}

TEST(ChartDataTest, TickLabelsShowJustEnoughDigitsToDiffer) {
  const struct {
    std::vector<double> ticks;
    char decimal;
    std::vector<std::string> labels;
  } cases[] = {
      {{0, 500, 1000}, '.', {"0", "500", "1000"}},
      {{-2, 0, 2}, ',', {"-2", "0", "2"}},
      {{0, 0.5, 1}, ',', {"0,0", "0,5", "1,0"}},
      {{0.0025, 0.005, 0.0075}, '.', {"0.0025", "0.0050", "0.0075"}},
      {{1e-4, 1.5e-4, 2e-4}, ',', {"0,00010", "0,00015", "0,00020"}},
      {{1e-6, 2e-6}, '.', {"0.000001", "0.000002"}},
      // Steps finer than a millionth: the exponent form, with the digits the step needs.
      {{-1e-12, 0, 1e-12}, '.', {"-1E-12", "0E+00", "1E-12"}},
      {{2.5e-9, 5e-9, 7.5e-9}, ',', {"2,5E-09", "5,0E-09", "7,5E-09"}},
      {{0.5, 0.50000001, 0.50000002}, '.', {"5.0000000E-01", "5.0000001E-01", "5.0000002E-01"}},
      // A single tick reads as a whole step.
      {{3}, '.', {"3"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TickLabels(c.ticks, c.decimal), c.labels) << c.labels.front();
}

TEST(ChartDataTest, AGridColumnGivesOneSeriesPerRunOfRisingTimes) {
  ResultRowStore grid;
  grid.SetColumnCount(4);
  grid.SetCells(0, 0, 3, " Temps\tT\t Epaisseur \tX");
  grid.SetCells(1, 0, 3, "s\t\tm ");
  for (const char* row : {"0\t300\t1", "1\t310\t", "2\tabc\t3", "3,5\t320\t4", "4\t330\t5,5",
                          "0\t300\t6", "\t301\t7", "1\t305\t8"}) {
    grid.AppendRow(row);
  }
  const struct {
    int column;
    char decimal;
    std::vector<std::vector<double>> x;
    std::vector<std::vector<double>> y;
  } cases[] = {
      // Empty cells and texts that are not numbers are left out; "3,5" is no number with the
      // point as separator (a comma is never a group separator in a cell).
      {1, '.', {{0, 1, 4}, {0, 1}}, {{300, 310, 330}, {300, 305}}},
      {2, '.', {{0, 2}, {0, 1}}, {{1, 3}, {6, 8}}},
      // With the comma as separator, the point of a grid written elsewhere still reads.
      {1, ',', {{0, 1, 3.5, 4}, {0, 1}}, {{300, 310, 320, 330}, {300, 305}}},
      {2, ',', {{0, 2, 3.5, 4}, {0, 1}}, {{1, 3, 4, 5.5}, {6, 8}}},
      // A column no row fills gives no series.
      {3, '.', {}, {}},
  };
  for (const auto& c : cases) {
    const std::vector<XYSeries> series =
        GridColumnSeries(grid, c.column, c.decimal, c.decimal == ',' ? ' ' : ',');
    ASSERT_EQ(series.size(), c.x.size()) << c.column << c.decimal;
    for (std::size_t s = 0; s < series.size(); ++s) {
      EXPECT_EQ(series[s].X, c.x[s]) << c.column << c.decimal << s;
      EXPECT_EQ(series[s].Y, c.y[s]) << c.column << c.decimal << s;
    }
  }
  EXPECT_EQ(std::tuple(GridColumnTitle(grid, 0), GridColumnTitle(grid, 1), GridColumnTitle(grid, 2),
                       GridColumnTitle(grid, 9)),
            std::tuple("Temps (s)", "T", "Epaisseur (m)", "Colonne 10"));
  // The value axis tells the unit the column holds.
  EXPECT_EQ(std::tuple(GridValueAxis(grid, 0), GridValueAxis(grid, 1), GridValueAxis(grid, 2)),
            std::tuple("temps (secondes)", "T", "thickness (m)"));
}

}  // namespace
}  // namespace quillane::session
