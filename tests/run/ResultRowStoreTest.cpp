// The row store under the result grids: texts read back exactly, cells follow the column count.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/ResultRowStore.h"

namespace quillane {
namespace {

TEST(GridStore, EveryTextReadsBackExactlyPackedOrNot) {
  const struct {
    const char* text;
    bool numeric;  // stored packed, two characters a byte
  } rows[] = {
      {"01.234567890\t573.29\t578.07\t\t\t\t\t\t\t.002500\t", true},
      {"-.0025\t3.20E+05", true},
      {" 5E-07\t9.96E+07", true},
      {"07,200000001\t776,34\t780,83", true},  // a comma locale
      {"12\t3", true},                         // odd and even lengths
      {"\t\t\t573.29", true},                  // leading empty cells
      {"", true},
      {"POSITION DE L'AXE NEUTRE : \t-.00124875572487474", false},
      {"1.5\t2,5", false},                 // both separators cannot share one packed alphabet
      {"1e-5\t\xc3\xa9t\xc3\xa9", false},  // a small e and UTF-8 letters
  };
  ResultRowStore store;
  EXPECT_EQ(store.RowCount(), 2);
  EXPECT_EQ(store.ColumnCount(), 2);
  store.SetColumnCount(10);
  for (const auto& row : rows) store.AppendRow(row.text);
  std::vector<std::string> visited;
  store.ForEachRow(2, 100, [&](int, std::string_view text) { visited.emplace_back(text); });
  ASSERT_EQ(visited.size(), std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const int gridRow = 2 + static_cast<int>(i);
    for (int col = 0; col < 10; ++col) {
      const std::string_view cell = ResultRowStore::Field(rows[i].text, col);
      EXPECT_EQ(store.Cell(gridRow, col), cell) << i << "," << col;
      EXPECT_EQ(ResultRowStore::Field(visited[i], col), cell);
    }
    EXPECT_EQ(store.IsNumericRow(gridRow), rows[i].numeric) << rows[i].text;
  }
  store.Clear();
  EXPECT_EQ(store.RowCount(), 2);
  EXPECT_EQ(store.ColumnCount(), 2);
  EXPECT_EQ(store.RowText(0), "");
}

TEST(GridStore, CellsFollowTheColumnCountAndTheBlocksWritten) {
  ResultRowStore store;
  store.SetColumnCount(4);
  store.AppendRow("1\t2\t3\t4\t5");  // a field beyond the columns is dropped
  EXPECT_EQ(store.RowText(2), "1\t2\t3\t4");
  store.SetCells(2, 1, 2, "b\tc\tignored");
  EXPECT_EQ(store.RowText(2), "1\tb\tc\t4");
  store.SetCells(2, 0, 3, "A");  // fewer fields than cells: the others keep their text
  EXPECT_EQ(store.RowText(2), "A\tb\tc\t4");
  store.SetCells(7, 0, 3, "zzz");  // out of range: nothing happens
  store.SetCells(2, 5, 9, "zzz");
  EXPECT_EQ(store.RowText(2), "A\tb\tc\t4");
  // Shrinking drops cells of existing rows; widening does not bring them back.
  store.SetColumnCount(1);
  store.SetColumnCount(3);
  EXPECT_EQ(store.RowText(2), "A");
  EXPECT_EQ(store.Cell(2, 1), "");
  EXPECT_EQ(store.RowCount(), 3);
}

TEST(GridStore, RewrittenRowsKeepEveryOtherRowIntact) {
  ResultRowStore store;
  store.SetColumnCount(10);
  for (int i = 0; i < 20000; ++i) store.AppendRow(std::to_string(i) + "\t573.29");
  // Enough rewrites of the title rows to make the store reclaim the old bytes several times.
  for (int i = 0; i < 60000; ++i) {
    store.SetCells(i % 2, 0, 9, "Temps number " + std::to_string(i) + "\tTsubstratI\tTsubstratE");
  }
  EXPECT_EQ(store.Cell(0, 0), "Temps number 59998");
  EXPECT_EQ(store.Cell(1, 2), "TsubstratE");
  for (int i = 0; i < 20000; i += 997) EXPECT_EQ(store.Cell(2 + i, 0), std::to_string(i));
  EXPECT_EQ(store.Cell(20001, 1), "573.29");
  // The rewrites left no more than the reclaim threshold of dead bytes behind.
  EXPECT_LT(store.MemoryBytes(), std::size_t{4} << 20);
}

}  // namespace
}  // namespace quillane
