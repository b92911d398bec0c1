// The result grid as the views see it: title rows as rows or as a header, appended rows
// published in batches, widths from twips, the current column and the selection signal.

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include "ui/ResultGridModel.h"
#include "ui/ResultGridView.h"

namespace quillane::ui {
namespace {

using TitleRows = ResultGridModel::TitleRows;

TEST(GridModel, NewGridHasTwoRowsAndTwoColumns) {
  ResultGridModel rows(TitleRows::AsRows);
  EXPECT_EQ(rows.RowCount(), 2);
  EXPECT_EQ(rows.ColumnCount(), 2);
  EXPECT_EQ(rows.rowCount(), 2);
  EXPECT_EQ(rows.columnCount(), 2);
  ResultGridModel header(TitleRows::AsHeader);
  EXPECT_EQ(header.RowCount(), 2);
  EXPECT_EQ(header.rowCount(), 0);
  EXPECT_EQ(header.CurrentColumn(), 0);
}

TEST(GridModel, AppendedRowsReachTheViewsInOneBatch) {
  ResultGridModel grid(TitleRows::AsHeader);
  grid.SetColumnCount(10);
  QSignalSpy inserted(&grid, &QAbstractItemModel::rowsInserted);
  for (int i = 0; i < 500; ++i) grid.AddRow(std::to_string(i) + "\t573.29");
  // The grid operations see the rows at once; the views at the next turn of the event loop.
  EXPECT_EQ(grid.RowCount(), 502);
  EXPECT_EQ(grid.Cell(501, 0), "499");
  EXPECT_EQ(grid.rowCount(), 0);
  QCoreApplication::processEvents();
  ASSERT_EQ(inserted.count(), 1);
  EXPECT_EQ(inserted[0][1].toInt(), 0);
  EXPECT_EQ(inserted[0][2].toInt(), 499);
  EXPECT_EQ(grid.rowCount(), 500);
  EXPECT_EQ(grid.data(grid.index(499, 1)).toString(), QStringLiteral("573.29"));
  grid.AddRow("500");
  grid.Publish();
  EXPECT_EQ(grid.rowCount(), 501);
  EXPECT_EQ(inserted.count(), 2);
  QCoreApplication::processEvents();  // the scheduled publication finds nothing left to do
  EXPECT_EQ(inserted.count(), 2);
}

TEST(GridModel, TitleRowsShowAsHeaderOrAsTheFirstRows) {
  ResultGridModel header(TitleRows::AsHeader);
  header.SetColumnCount(3);
  QSignalSpy headerChanged(&header, &QAbstractItemModel::headerDataChanged);
  header.FillBlock(0, 0, 0, 2, "Temps\tTsubstratI\tEpaisseur");
  EXPECT_EQ(headerChanged.count(), 1);
  EXPECT_EQ(header.headerData(1, Qt::Horizontal).toString(), QStringLiteral("TsubstratI"));
  header.FillBlock(1, 1, 0, 2, "s\tK\tm");
  EXPECT_EQ(header.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Epaisseur\nm"));
  EXPECT_EQ(header.Cell(0, 2), "Epaisseur");

  ResultGridModel rows(TitleRows::AsRows);
  QSignalSpy dataChanged(&rows, &QAbstractItemModel::dataChanged);
  rows.FillBlock(0, 1, 0, 1, "POSITION DE L'AXE NEUTRE : \t-.0012\rX\tSIGMA");
  EXPECT_EQ(dataChanged.count(), 2);
  EXPECT_EQ(rows.data(rows.index(0, 0)).toString(), QStringLiteral("POSITION DE L'AXE NEUTRE : "));
  EXPECT_EQ(rows.data(rows.index(1, 1)).toString(), QStringLiteral("SIGMA"));
  EXPECT_TRUE(rows.data(rows.index(1, 0), Qt::BackgroundRole).isValid());
  rows.AddRow("1\t2");
  rows.Publish();
  EXPECT_FALSE(rows.data(rows.index(2, 0), Qt::BackgroundRole).isValid());
}

TEST(GridModel, NumbersAlignRightAndWordsLeft) {
  ResultGridModel grid(TitleRows::AsRows);
  grid.AddRow("CONTRAINTES AVANT REFROIDISSEMENT FINAL ");
  grid.AddRow(" 5E-07\t9.96E+07");
  grid.Publish();
  const auto alignment = [&](int row) {
    return grid.data(grid.index(row, 0), Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask;
  };
  EXPECT_EQ(alignment(2), Qt::AlignLeft);
  EXPECT_EQ(alignment(3), Qt::AlignRight);
}

TEST(GridModel, ColumnCountChangesKeepCellsAndTellTheViews) {
  ResultGridModel grid(TitleRows::AsRows);
  QSignalSpy inserted(&grid, &QAbstractItemModel::columnsInserted);
  QSignalSpy removed(&grid, &QAbstractItemModel::columnsRemoved);
  grid.SetColumnCount(10);
  grid.SetColumnCount(10);
  EXPECT_EQ(inserted.count(), 1);
  grid.AddRow("1\t2\t3\t4");
  grid.SetColumnCount(3);
  ASSERT_EQ(removed.count(), 1);
  EXPECT_EQ(removed[0][1].toInt(), 3);
  EXPECT_EQ(removed[0][2].toInt(), 9);
  EXPECT_EQ(grid.Cell(2, 2), "3");
  EXPECT_EQ(grid.Cell(2, 3), "");
  EXPECT_EQ(grid.columnCount(), 3);
}

TEST(GridModel, ColumnWidthsAreTwipsShownAsPixels) {
  ResultGridModel grid(TitleRows::AsHeader);
  grid.SetColumnCount(10);
  ResultGridView view(&grid);
  QSignalSpy widthChanged(&grid, &ResultGridModel::ColumnWidthChanged);
  grid.SetColumnWidth(0, 1500);
  grid.SetColumnWidth(0, 1500);  // unchanged: no signal
  grid.SetColumnWidth(1, 1000);
  grid.SetColumnWidth(12, 1000);  // no such column
  EXPECT_EQ(widthChanged.count(), 2);
  EXPECT_EQ(grid.ColumnWidthTwips(0), 1500);
  EXPECT_EQ(grid.ColumnWidthTwips(2), 0);
  const double pixelsPerTwip = view.logicalDpiX() / 1440.0;
  EXPECT_NEAR(view.columnWidth(0), 1500 * pixelsPerTwip, 1.0);
  EXPECT_NEAR(view.columnWidth(1), 1000 * pixelsPerTwip, 1.0);
  if (view.logicalDpiX() == 96) {
    EXPECT_EQ(view.columnWidth(0), 100);
  }
}

TEST(GridModel, SelectingACellMakesItsColumnCurrentAndRaisesTheSignal) {
  ResultGridModel grid(TitleRows::AsHeader);
  grid.SetColumnCount(10);
  for (int i = 0; i < 10; ++i) grid.AddRow("1\t2\t3\t4\t5");
  grid.Publish();
  ResultGridView view(&grid);
  QSignalSpy selected(&grid, &ResultGridModel::CellSelected);
  view.setCurrentIndex(grid.index(4, 3));
  ASSERT_EQ(selected.count(), 1);
  EXPECT_EQ(selected[0][0].toInt(), 6);  // grid row: two title rows above the view's rows
  EXPECT_EQ(selected[0][1].toInt(), 3);
  EXPECT_EQ(grid.CurrentColumn(), 3);

  // The run setting the current column moves the view's cell without a new selection.
  grid.SetCurrentColumn(0);
  EXPECT_EQ(grid.CurrentColumn(), 0);
  EXPECT_EQ(view.currentIndex().column(), 0);
  EXPECT_EQ(view.currentIndex().row(), 4);
  EXPECT_EQ(selected.count(), 1);
}

TEST(GridModel, ClickingACellInAViewSelectsIt) {
  ResultGridModel grid(TitleRows::AsHeader);
  grid.SetColumnCount(4);
  for (int i = 0; i < 30; ++i) grid.AddRow("1\t2\t3\t4");
  grid.Publish();
  ResultGridView view(&grid);
  view.resize(400, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  QSignalSpy selected(&grid, &ResultGridModel::CellSelected);
  const QRect cell = view.visualRect(grid.index(2, 2));
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_EQ(selected.count(), 1);
  EXPECT_EQ(selected[0][1].toInt(), 2);
}

TEST(GridModel, WordRowsOfTheStressGridsReadAcrossTheRow) {
  ResultGridModel grid(TitleRows::AsRows);
  ResultGridView view(&grid);
  grid.AddRow("CONTRAINTES AVANT REFROIDISSEMENT FINAL ");
  grid.AddRow("-.0025\t3.20E+05");
  grid.Publish();
  EXPECT_EQ(view.columnSpan(2, 0), 2);
  EXPECT_EQ(view.columnSpan(3, 0), 1);
}

TEST(GridModel, AccountsForItsMemory) {
  ResultGridModel grid(TitleRows::AsHeader);
  grid.SetColumnCount(10);
  const std::size_t empty = grid.MemoryBytes();
  constexpr int kRecords = 200000;
  for (int i = 0; i < kRecords; ++i) {
    grid.AddRow("01.234567890\t573.29\t578.07\t\t\t\t\t\t\t.002500\t");
  }
  // 21 packed bytes, a 2-byte header and an 8-byte locator, and the unused end of the last
  // arena chunk shared among the records.
  const double perRecord = static_cast<double>(grid.MemoryBytes() - empty) / kRecords;
  EXPECT_LT(perRecord, 40.0);
  EXPECT_GT(perRecord, 20.0);
}

}  // namespace
}  // namespace quillane::ui
