// The compact row store under the result grids: every text reads back exactly as written,
// whichever way it was stored, and a thermal record costs well under 100 bytes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/NumberFormat.h"
#include "run/ResultRowStore.h"

namespace quillane {
namespace {

TEST(GridStore, NewStoreHasTwoEmptyRowsAndTwoColumns) {
  const ResultRowStore store;
  EXPECT_EQ(store.RowCount(), 2);
  EXPECT_EQ(store.ColumnCount(), 2);
  EXPECT_EQ(store.Cell(0, 0), "");
  EXPECT_EQ(store.Cell(1, 1), "");
  EXPECT_EQ(store.Cell(2, 0), "");
  EXPECT_EQ(store.Cell(0, 2), "");
}

TEST(GridStore, RunWrittenNumbersReadBackExactly) {
  ResultRowStore store;
  store.SetColumnCount(10);
  const std::vector<std::string> texts = {
      "01.234567890\t573.29\t578.07\t\t\t\t\t\t\t.002500\t",
      "00.500000001\t1287.55\t1280.01\t1275.93\t1270.00\t1269.99\t1269.98\t1269.97\t1269.96\t."
      "002508",
      "-.0025\t3.20E+05",
      " 0\t-6.39E+05",
      " 5E-07\t9.96E+07",
      " 1.5E-06\t-.002",
      "07,200000001\t776,34\t780,83",  // a comma locale
      "1\t2",                          // odd and even lengths
      "12\t3",
      "\t\t\t573.29",  // leading empty cells
      "",
  };
  for (const std::string& text : texts) store.AppendRow(text);
  ASSERT_EQ(store.RowCount(), 2 + static_cast<int>(texts.size()));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const int row = 2 + static_cast<int>(i);
    std::size_t start = 0;
    for (int col = 0; col < 10; ++col) {
      const std::size_t tab = texts[i].find('\t', start);
      const std::string expected =
          start > texts[i].size()
              ? ""
              : texts[i].substr(start, tab == std::string::npos ? std::string::npos : tab - start);
      EXPECT_EQ(store.Cell(row, col), expected) << "row " << row << " column " << col;
      start = tab == std::string::npos ? texts[i].size() + 1 : tab + 1;
    }
    EXPECT_TRUE(store.IsNumericRow(row)) << texts[i];
  }
}

TEST(GridStore, WordsAndMixedSeparatorsAreKeptAsText) {
  ResultRowStore store;
  store.AppendRow("POSITION DE L'AXE NEUTRE : \t-.00124875572487474");
  store.AppendRow("1.5\t2,5");  // both separators: cannot share one packed alphabet
  store.AppendRow("Temps\ts");
  store.AppendRow("1e-5\t\xc3\xa9t\xc3\xa9");  // a small e and UTF-8 letters
  EXPECT_FALSE(store.IsNumericRow(2));
  EXPECT_FALSE(store.IsNumericRow(3));
  EXPECT_FALSE(store.IsNumericRow(4));
  EXPECT_EQ(store.Cell(2, 0), "POSITION DE L'AXE NEUTRE : ");
  EXPECT_EQ(store.Cell(2, 1), "-.00124875572487474");
  EXPECT_EQ(store.Cell(3, 0), "1.5");
  EXPECT_EQ(store.Cell(3, 1), "2,5");
  EXPECT_EQ(store.Cell(5, 1), "\xc3\xa9t\xc3\xa9");
}

TEST(GridStore, RowsTakeOneCellPerColumnAndDropTheRest) {
  ResultRowStore store;
  store.SetColumnCount(2);
  store.AppendRow("a\tb\tc\td");
  EXPECT_EQ(store.Cell(2, 0), "a");
  EXPECT_EQ(store.Cell(2, 1), "b");
  EXPECT_EQ(store.RowText(2), "a\tb");
  // Widening the grid later does not bring the dropped cells back.
  store.SetColumnCount(4);
  EXPECT_EQ(store.Cell(2, 2), "");
}

TEST(GridStore, ShrinkingTheColumnsDropsCellsOfExistingRows) {
  ResultRowStore store;
  store.SetColumnCount(3);
  store.AppendRow("1\t2\t3");
  store.AppendRow("x\ty\tz");
  store.SetColumnCount(1);
  store.SetColumnCount(3);
  EXPECT_EQ(store.RowText(2), "1");
  EXPECT_EQ(store.RowText(3), "x");
  EXPECT_EQ(store.Cell(3, 1), "");
}

TEST(GridStore, SetCellsReplacesOnlyTheGivenBlock) {
  ResultRowStore store;
  store.SetColumnCount(4);
  store.AppendRow("1\t2\t3\t4");
  store.SetCells(2, 1, 2, "b\tc\tignored");
  EXPECT_EQ(store.RowText(2), "1\tb\tc\t4");
  // Fewer fields than cells: the cells left keep their text.
  store.SetCells(2, 0, 3, "A");
  EXPECT_EQ(store.RowText(2), "A\tb\tc\t4");
  // Out of range: nothing happens.
  store.SetCells(7, 0, 3, "zzz");
  store.SetCells(2, 5, 9, "zzz");
  EXPECT_EQ(store.RowText(2), "A\tb\tc\t4");
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
  EXPECT_EQ(store.Cell(1, 0), "Temps number 59999");
  EXPECT_EQ(store.Cell(1, 2), "TsubstratE");
  for (int i = 0; i < 20000; i += 997) EXPECT_EQ(store.Cell(2 + i, 0), std::to_string(i));
  EXPECT_EQ(store.Cell(20001, 1), "573.29");
  // The rewrites left no more than the reclaim threshold of dead bytes behind.
  EXPECT_LT(store.MemoryBytes(), std::size_t{4} << 20);
}

TEST(GridStore, ThermalRecordsCostWellUnderAHundredBytes) {
  const format::NumberPattern time("00.000000000");
  const format::NumberPattern temperature("###0.00");
  const format::NumberPattern thickness("#.000000");
  ResultRowStore store;
  store.SetColumnCount(10);
  const std::size_t empty = store.MemoryBytes();
  constexpr int kRecords = 100000;
  std::string row;
  for (int i = 0; i < kRecords; ++i) {
    row.clear();
    time.AppendTo(row, 0.01 * i);
    row += '\t';
    for (int node = 1; node <= 8; ++node) {
      temperature.AppendTo(row, 300 + 0.37 * i + node);
      row += '\t';
    }
    thickness.AppendTo(row, 0.0025);
    row += '\t';
    store.AppendRow(row);
    if (i == kRecords - 1) {
      EXPECT_EQ(store.RowText(store.RowCount() - 1) + '\t', row);
    }
  }
  const double perRecord = static_cast<double>(store.MemoryBytes() - empty) / kRecords;
  // About half the text (80 to 95 characters) plus an 8-byte locator and a 2-byte header.
  EXPECT_LT(perRecord, 64.0);
  EXPECT_GT(perRecord, 40.0);
}

TEST(GridStore, ForEachRowVisitsTheRequestedRowsWithTheirText) {
  ResultRowStore store;
  for (int i = 0; i < 5; ++i) store.AppendRow(std::to_string(i) + "\t" + std::to_string(i * i));
  std::vector<std::string> seen;
  store.ForEachRow(3, 100, [&](int row, std::string_view text) {
    seen.push_back(std::to_string(row) + ":" + std::string(ResultRowStore::Field(text, 1)));
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"3:1", "4:4", "5:9", "6:16"}));
  EXPECT_EQ(ResultRowStore::Field("a\tb", 2), "");
  EXPECT_EQ(ResultRowStore::Field("a\t\tc", 1), "");
  EXPECT_EQ(ResultRowStore::Field("a\t\tc", 2), "c");
}

TEST(GridStore, ClearGivesANewGridBack) {
  ResultRowStore store;
  store.SetColumnCount(10);
  for (int i = 0; i < 1000; ++i) store.AppendRow("1\t2");
  store.Clear();
  EXPECT_EQ(store.RowCount(), 2);
  EXPECT_EQ(store.ColumnCount(), 2);
  EXPECT_EQ(store.RowText(0), "");
}

}  // namespace
}  // namespace quillane
