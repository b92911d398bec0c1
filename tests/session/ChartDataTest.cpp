// The result grid and what the charts draw of it, without a view.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "session/ChartData.h"
#include "session/ResultGrid.h"

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
      // Empty cells and non-numbers are left out; "3,5" is none under a point separator.
      {1, '.', {{0, 1, 4}, {0, 1}}, {{300, 310, 330}, {300, 305}}},
      {2, '.', {{0, 2}, {0, 1}}, {{1, 3}, {6, 8}}},
      // With the comma as separator, the point of a grid written elsewhere still reads.
      {1, ',', {{0, 1, 3.5, 4}, {0, 1}}, {{300, 310, 320, 330}, {300, 305}}},
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
}

TEST(ResultGridTest, ABlockIsFilledOneLineARow) {
  ResultGrid grid;
  grid.SetColumnCount(3);
  grid.AddRow("");
  grid.AddRow("");
  const struct {
    int firstRow, lastRow, firstCol, lastCol;
    const char* text;
    std::vector<int> filled;
  } cases[] = {
      {0, 1, 0, 2, "a\tb\tc\rd\te", {0, 1}},
      {2, 5, 1, 2, "x\ty\rz", {2, 3}},   // rows beyond the grid are ignored
      {-1, 0, 0, 0, "skipped\rq", {0}},  // a row above the grid takes its line
      {1, 3, 2, 2, "only", {1}},         // fewer lines than rows
  };
  for (const auto& c : cases) {
    EXPECT_EQ(grid.FillBlock(c.firstRow, c.lastRow, c.firstCol, c.lastCol, c.text), c.filled)
        << c.text;
  }
  const ResultRowStore& store = grid.Store();
  EXPECT_EQ(std::tuple(store.RowText(0), store.RowText(1), store.RowText(2), store.RowText(3)),
            std::tuple("q\tb\tc", "d\te\tonly", "\tx\ty", "\tz"));
}

TEST(ResultGridTest, WidthsAndTheCurrentColumnChangeOnlyWhenTheyDo) {
  ResultGrid grid;
  grid.SetColumnCount(4);
  // Set once, the width is no change; a column beyond the grid has none.
  for (const auto& [column, changed] : {std::pair{1, true}, {1, false}, {4, false}, {-1, false}})
    EXPECT_EQ(grid.SetColumnWidth(column, 1500), changed) << column;
  EXPECT_EQ(std::pair(grid.ColumnWidthTwips(1), grid.ColumnWidthTwips(9)), std::pair(1500, 0));
  EXPECT_TRUE(grid.SetCurrentColumn(3));
  EXPECT_FALSE(grid.SetCurrentColumn(3));
  // A narrower grid keeps the current column within it, and the widths of its columns.
  for (const auto& [count, current] : {std::pair{3, 2}, {2, 1}}) {
    grid.SetColumnCount(count);
    EXPECT_EQ(grid.CurrentColumn(), current) << count;
  }
  EXPECT_EQ(grid.ColumnWidthTwips(1), 1500);
  grid.SetColumnCount(0);
  EXPECT_EQ(grid.CurrentColumn(), 0);
  grid.SetColumnCount(5);
  EXPECT_EQ(grid.ColumnWidthTwips(3), 0);
}

TEST(ResultGridTest, ARunsRecordsAreTakenWholeOnceThenAppended) {
  ResultGrid grid;
  grid.SetColumnCount(2);
  grid.FillBlock(0, 1, 0, 1, "Time\tT\rs\tK");
  const auto run = [](const char* first, const char* second) {
    ResultRowStore rows;
    rows.SetColumnCount(2);
    rows.AppendRow(first);
    rows.AppendRow(second);
    return rows;
  };
  ResultRowStore one = run("0\t300", "1\t310");
  EXPECT_TRUE(grid.TakesWhole(one));
  // Taken whole, the records come with what was measured of them.
  grid.AppendRecords({std::move(one), {"1", "310"}});
  ResultRowStore two = run("0\t301", "10\t311");
  EXPECT_FALSE(grid.TakesWhole(two));
  grid.AppendRecords({std::move(two), {}});
  ASSERT_EQ(grid.RowCount(), 6);
  EXPECT_EQ(std::tuple(grid.Store().RowText(0), grid.Store().RowText(1), grid.Store().RowText(4)),
            std::tuple("Time\tT", "s\tK", "0\t301"));
  EXPECT_EQ(grid.HeaderTitle(1), "T\nK");
  const std::vector<std::string> longest = {"10", "310"};
  EXPECT_EQ(grid.Longest(), longest);
  // Handed over for a run and given back, the records keep their titles and their measures.
  GridRecords taken = grid.TakeRecords();
  EXPECT_EQ(std::tuple(grid.RowCount(), grid.HeaderTitle(1), grid.Longest().size()),
            std::tuple(2, "T\nK", 0u));
  grid.AppendRecords(std::move(taken));
  EXPECT_EQ(std::tuple(grid.RowCount(), grid.Store().RowText(5), grid.Longest()),
            std::tuple(6, "10\t311", longest));
}

TEST(ResultGridTest, ViewsSpanWordsAlignNumbersAndMeasureTheLongestCells) {
  ResultGrid grid;
  grid.SetColumnCount(3);
  grid.FillBlock(0, 0, 0, 2, "Time\tT\tq");
  EXPECT_EQ(grid.HeaderTitle(0), "Time");  // no second title row, no second line
  grid.AddRow("Avant refroidissement");
  grid.AddRow("1.5\t-300\t7");
  grid.AddRow("12.25\t2\t");
  grid.AddRow(" 1.5E-06\t9,97E+07\tx");
  // Only words make a word row; an empty row is none.
  EXPECT_EQ(std::tuple(grid.IsWordRow(1), grid.IsWordRow(2), grid.IsWordRow(3)),
            std::tuple(false, true, false));
  // Numbers on the right, in rows of text too (the stress tables' SIGMA has the locale's comma).
  EXPECT_EQ(std::tuple(grid.RightAligned(2, 0), grid.RightAligned(3, 0), grid.RightAligned(5, 0),
                       grid.RightAligned(5, 1), grid.RightAligned(5, 2)),
            std::tuple(false, true, true, true, false));
  EXPECT_EQ(LongestCells(grid.Store(), 3, 4), (std::vector<std::string>{"12.25", "-300", "7"}));
  EXPECT_EQ(LongestCells(grid.Store(), 4, 3), (std::vector<std::string>(3)));
  // The grid keeps the longest of its records as they come.
  EXPECT_EQ(grid.Longest(), (std::vector<std::string>{"Avant refroidissement", "9,97E+07", "7"}));
}

}  // namespace
}  // namespace quillane::session
