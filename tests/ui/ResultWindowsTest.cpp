// The result windows fed by a real run: the grids hold exactly what the run wrote, the chart
// plots a column against time, and "RAZ" resets the windows.

#include <gtest/gtest.h>

#include <qcustomplot.h>
#include <QAction>
#include <QHeaderView>
#include <QTest>

#include "ModelFixture.h"
#include "graphics/StressSurfaces.h"
#include "io/CaseFile.h"
#include "run/RunSimulation.h"
#include "ui/ResultGridModel.h"
#include "ui/ResultGridView.h"
#include "ui/ResultWindows.h"
#include "ui/Results.h"

namespace quillane {
namespace {

using ui::GridId;

class ResultWindowsTest : public test::ModelFixture {
 protected:
  void SetUp() override {
    ModelFixture::SetUp();
    ReadCaseFile(test::DataDir() / "p1" / "case.json", state.Input);
  }
  void TearDown() override {
    windows.Reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  // Runs the case as the input window's worker does, the windows taking in its results.
  void RunInWindows() {
    windows.ShowResults();
    windows.HideStressWindows();
    ui::RunResults run = windows.PrepareRun(state);
    graphics::PictureSink pictures(run.Surfaces);
    ExecuteRun(run.State, &catalogue, paths, pictures, &run.Rows);
    windows.TakeIn(run);
    QCoreApplication::processEvents();
  }
  ui::ResultGridModel& Grid(GridId id = GridId::Resultats) { return windows.Grid(id); }
  // Selects a cell of the results grid as the user does (view row, column).
  void SelectCell(int viewRow, int col) {
    windows.ResultsWindow().GridView().setCurrentIndex(Grid().index(viewRow, col));
  }
  QCustomPlot& Chart() { return windows.ResultsWindow().Chart(); }
  int Points() { return windows.ResultsWindow().ChartPointCount(); }

  ui::ResultWindows windows;
};

TEST_F(ResultWindowsTest, GridsHoldWhatTheRunsWroteTheChartPlotsAColumnAndRazResetsAll) {
  RunInWindows();
  // Every record is a row of the thermal file, each field followed by a tab; the before-cooling
  // table follows the records in the file and fills the first stress grid.
  std::vector<std::string> lines = test::Lines(test::ReadFile(paths.Thermal));
  for (std::string& line : lines) line.pop_back();  // the "\r"
  const int records = Grid().RowCount() - 2;
  ASSERT_GT(static_cast<int>(lines.size()), records + 8);
  for (int i = 0; i < records; ++i) {
    std::string cells;
    for (int col = 0; col < 10; ++col) cells += Grid().Cell(i + 2, col) + "\t";
    ASSERT_EQ(cells, lines[i]) << "record " << i;
  }
  ui::ResultGridModel& before = Grid(GridId::MSFlexGrid1);
  EXPECT_EQ(before.Cell(0, 0) + "\t" + before.Cell(0, 1), lines[records]);
  EXPECT_EQ(before.Cell(2, 0), lines[records + 1]);
  ASSERT_EQ(before.RowCount(), 3 + 4);  // four lamellae
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(before.Cell(3 + i, 0) + "\t" + before.Cell(3 + i, 1), lines[records + 5 + i]);
  }
  EXPECT_EQ(Grid(GridId::MSFlexGrid2).RowCount(), 2 + 4);
  // Every record reached the view, below the two title rows shown as its header.
  EXPECT_EQ(Grid().rowCount(), records);
  EXPECT_EQ(Grid().headerData(0, Qt::Horizontal).toString(), QStringLiteral("Temps\ns"));

  // Taking the focus gives the grid a current cell, which is not a choice of the user.
  windows.ResultsWindow().GridView().setFocus();
  QCoreApplication::processEvents();
  EXPECT_TRUE(Chart().isHidden());

  SelectCell(10, 0);
  EXPECT_TRUE(Chart().isVisible());
  ASSERT_EQ(Chart().graphCount(), 1);  // one run: the time only rises
  const QCPGraph& time = *Chart().graph(0);
  ASSERT_EQ(time.dataCount(), records);
  for (auto it = time.data()->constBegin(); it != time.data()->constEnd(); ++it) {
    EXPECT_DOUBLE_EQ(it->key, it->value);
  }

  // A title click charts its column; temperatures are the cells as written, without decimals.
  ui::ResultGridView& view = windows.ResultsWindow().GridView();
  QTest::mouseClick(view.horizontalHeader()->viewport(), Qt::LeftButton, {},
                    QPoint(view.columnViewportPosition(2) + 5, 5));
  EXPECT_EQ(Grid().CurrentColumn(), 2);
  for (int i = 0; i < records; i += 97) {
    EXPECT_DOUBLE_EQ(Chart().graph(0)->data()->at(i)->value, std::stod(Grid().Cell(2 + i, 2)));
  }
  Chart().replot();
  for (const QString& label : Chart().yAxis->tickVectorLabels()) EXPECT_FALSE(label.contains('.'));

  // "RAZ" from a window's menu, delivered once the menu's click has returned, resets them all.
  QObject::connect(&windows, &ui::ResultWindows::RazRequested, &windows,
                   [this] { windows.Reset(); });
  QPointer<ui::Results> results = &windows.ResultsWindow();
  results->findChild<QAction*>(QStringLiteral("RAZ"))->trigger();
  EXPECT_FALSE(results.isNull());
  QCoreApplication::processEvents();
  EXPECT_TRUE(results.isNull());
  EXPECT_EQ(Grid().RowCount(), 2);
  EXPECT_EQ(Grid(GridId::MSFlexGrid1).RowCount(), 2);
  EXPECT_TRUE(windows.Surface(ui::SurfaceId::ArrowPicture1).Items().empty());
}

TEST_F(ResultWindowsTest, EmptyCellsAreSkippedAndAnEmptyColumnSaysSo) {
  Grid().SetColumnCount(10);
  Grid().AddRow("00.000000000\t573.29\t\t\t\t\t\t\t\t.002500");
  Grid().AddRow("00.030000000\t573.91\t580.88");
  Grid().AddRow("00.120000000\t576.40\t588.68");
  Grid().Publish();
  SelectCell(0, 2);
  EXPECT_EQ(Points(), 2);
  SelectCell(0, 5);
  EXPECT_EQ(Points(), 0);
  // No range of the column charted before is kept.
  auto* title = qobject_cast<QCPTextElement*>(Chart().plotLayout()->element(0, 0));
  EXPECT_TRUE(title != nullptr && title->text().endsWith(QString::fromUtf8("aucune donnée")));
  EXPECT_EQ(Chart().yAxis->range(), QCPRange(0, 1));
}

}  // namespace
}  // namespace quillane
