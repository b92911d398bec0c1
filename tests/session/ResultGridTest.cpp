// A result grid without a view: blocks of text filled line by line, widths, the current column,
// a run's records taken in, and what a view shows of the rows.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/ResultGrid.h"

namespace quillane::session {
namespace {

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
  EXPECT_EQ(store.RowText(0), "q\tb\tc");
  EXPECT_EQ(store.RowText(1), "d\te\tonly");
  EXPECT_EQ(store.RowText(2), "\tx\ty");
  EXPECT_EQ(store.RowText(3), "\tz");
}

TEST(ResultGridTest, WidthsAndTheCurrentColumnChangeOnlyWhenTheyDo) {
  ResultGrid grid;
  grid.SetColumnCount(4);
  EXPECT_TRUE(grid.SetColumnWidth(1, 1500));
  EXPECT_FALSE(grid.SetColumnWidth(1, 1500));
  EXPECT_FALSE(grid.SetColumnWidth(4, 1500));
  EXPECT_FALSE(grid.SetColumnWidth(-1, 1500));
  EXPECT_EQ(grid.ColumnWidthTwips(1), 1500);
  EXPECT_EQ(grid.ColumnWidthTwips(9), 0);
  EXPECT_TRUE(grid.SetCurrentColumn(3));
  EXPECT_FALSE(grid.SetCurrentColumn(3));
  // A narrower grid keeps the current column within it, and the widths of its columns.
  grid.SetColumnCount(2);
  EXPECT_EQ(grid.CurrentColumn(), 1);
  EXPECT_EQ(grid.ColumnWidthTwips(1), 1500);
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
  grid.AppendRecords(std::move(one));
  ResultRowStore two = run("0\t301", "1\t311");
  EXPECT_FALSE(grid.TakesWhole(two));
  grid.AppendRecords(std::move(two));
  ASSERT_EQ(grid.RowCount(), 6);
  EXPECT_EQ(grid.Store().RowText(0), "Time\tT");
  EXPECT_EQ(grid.Store().RowText(1), "s\tK");
  EXPECT_EQ(grid.Store().RowText(4), "0\t301");
  EXPECT_EQ(grid.HeaderTitle(1), "T\nK");
}

TEST(ResultGridTest, ViewsSpanWordsAlignNumbersAndMeasureTheLongestCells) {
  ResultGrid grid;
  grid.SetColumnCount(3);
  grid.FillBlock(0, 0, 0, 2, "Time\tT\tq");
  EXPECT_EQ(grid.HeaderTitle(0), "Time");  // no second title row, no second line
  grid.AddRow("Avant refroidissement");
  grid.AddRow("1.5\t-300\t7");
  grid.AddRow("12.25\t2\t");
  EXPECT_TRUE(grid.IsWordRow(2));
  EXPECT_FALSE(grid.IsWordRow(3));
  EXPECT_FALSE(grid.IsWordRow(1));  // empty
  EXPECT_FALSE(grid.RightAligned(2));
  EXPECT_TRUE(grid.RightAligned(3));
  EXPECT_EQ(grid.LongestCells(3, 4), (std::vector<std::string>{"12.25", "-300", "7"}));
  EXPECT_EQ(grid.LongestCells(4, 3), (std::vector<std::string>(3)));
}

}  // namespace
}  // namespace quillane::session
