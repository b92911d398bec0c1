// The result grid as its views see it: batched rows, twip widths, current column, selection.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "widgets/ResultGridModel.h"
#include "widgets/ResultGridView.h"

namespace quillane::ui {
namespace {

using TitleRows = ResultGridModel::TitleRows;

TEST(GridModel, AppendedRowsReachTheViewsInOneBatch) {
  ResultGridModel grid(TitleRows::AsHeader);
  grid.SetColumnCount(10);
  QSignalSpy inserted(&grid, &QAbstractItemModel::rowsInserted);
  for (int i = 0; i < 500; ++i) grid.AddRow(std::to_string(i) + "\t573.29");
  // The grid operations see the rows at once; the views at the next turn of the event loop.
  EXPECT_EQ(grid.Cell(501, 0), "499");
  EXPECT_EQ(grid.rowCount(), 0);
  QCoreApplication::processEvents();
  ASSERT_EQ(inserted.count(), 1);
  EXPECT_EQ(inserted[0][2].toInt(), 499);
}

TEST(GridModel, ClickingACellMakesItsColumnCurrentAndRaisesTheSignalOnce) {
  ResultGridModel grid(TitleRows::AsHeader);
  grid.SetColumnCount(4);
  for (int i = 0; i < 30; ++i) grid.AddRow("1\t2\t3\t4");
  grid.Publish();
  ResultGridView view(&grid);
  view.resize(400, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  QSignalSpy selected(&grid, &ResultGridModel::CellSelected);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                    view.visualRect(grid.index(4, 2)).center());
  ASSERT_EQ(selected.count(), 1);
  EXPECT_EQ(selected[0][0].toInt(), 6);  // grid row: two title rows above the view's rows
  EXPECT_EQ(selected[0][1].toInt(), 2);
  EXPECT_EQ(grid.CurrentColumn(), 2);
  // The run setting the current column moves the view's cell without a new selection.
  grid.SetCurrentColumn(0);
  EXPECT_EQ(view.currentIndex(), grid.index(4, 0));
  EXPECT_EQ(selected.count(), 1);
  // Widths are twips, shown as pixels; a narrower grid keeps the cells of its columns.
  grid.SetColumnWidth(1, 1500);
  EXPECT_NEAR(view.columnWidth(1), 1500 * view.logicalDpiX() / 1440.0, 1.0);
  grid.SetColumnCount(3);
  EXPECT_EQ(grid.Cell(5, 2), "3");
}

}  // namespace
}  // namespace quillane::ui
