// The result windows fed by a real run: the grids hold exactly what the run wrote, the chart
// plots a column against time, the buttons and menus open, hide and reset the windows.

#include <gtest/gtest.h>

#include <qcustomplot.h>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <set>

#include "ModelFixture.h"
#include "RunIntoWindows.h"
#include "io/CaseFile.h"
#include "run/ResultWriter.h"
#include "ui/Arrow.h"
#include "ui/PictureBox.h"
#include "ui/ResultGridModel.h"
#include "ui/ResultGridView.h"
#include "ui/ResultWindows.h"
#include "ui/Results.h"
#include "ui/building.h"
#include "ui/cooling.h"

namespace quillane {
namespace {

using ui::ResultGridModel;
using ui::SurfaceId;

void DeleteClosedWindows() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class ResultWindowsTest : public test::ModelFixture {
 protected:
  void SetUp() override {
    ModelFixture::SetUp();
    ReadCaseFile(test::DataDir() / "p1" / "case.json", state.Input);
  }
  void TearDown() override {
    windows.Reset();
    DeleteClosedWindows();
  }

  void RunInWindows() {
    test::RunIntoWindows(windows, state, catalogue, paths);
    QCoreApplication::processEvents();
  }

  ResultGridModel& ResultsGrid() { return windows.ResultsWindow().Grid(); }

  // Selects a cell of the results grid as the user does (view row, column).
  void SelectCell(int viewRow, int col) {
    ui::ResultGridView& view = windows.ResultsWindow().GridView();
    view.setCurrentIndex(ResultsGrid().index(viewRow, col));
  }

  QCustomPlot& Chart() { return windows.ResultsWindow().Chart(); }

  ui::ResultWindows windows;
};

// The lines of a result file, without their CR LF.
std::vector<std::string> FileLines(const std::filesystem::path& path) {
  std::vector<std::string> lines;
  const std::string text = test::ReadFile(path);
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST_F(ResultWindowsTest, GridsHoldExactlyWhatTheRunWrote) {
  RunInWindows();
  // Every record of the results grid is a row of the thermal file, in order; the before-cooling
  // table follows the records in the file and fills the first stress grid.
  const std::vector<std::string> lines = FileLines(paths.Thermal);
  const int records = ResultsGrid().RowCount() - 2;
  ASSERT_GT(static_cast<int>(lines.size()), records);
  for (int i = 0; i < records; ++i) {
    // Every field of a thermal row is followed by a tab.
    std::string cells;
    for (int col = 0; col < 10; ++col) cells += ResultsGrid().Cell(i + 2, col) + "\t";
    ASSERT_EQ(cells, lines[static_cast<std::size_t>(i)]) << "record " << i;
  }
  ResultGridModel& before = windows.Grid(ui::GridId::MSFlexGrid1);
  EXPECT_EQ(before.Cell(0, 0) + "\t" + before.Cell(0, 1), lines[static_cast<std::size_t>(records)]);
  EXPECT_EQ(before.Cell(2, 0), lines[static_cast<std::size_t>(records) + 1]);
  const int lamellae = before.RowCount() - 3;
  EXPECT_EQ(lamellae, 4);
  for (int i = 0; i < lamellae; ++i) {
    EXPECT_EQ(before.Cell(3 + i, 0) + "\t" + before.Cell(3 + i, 1),
              lines[static_cast<std::size_t>(records + 5 + i)]);
  }
  EXPECT_EQ(windows.Grid(ui::GridId::MSFlexGrid2).RowCount(), 2 + lamellae);
  EXPECT_EQ(windows.Grid(ui::GridId::MSFlexGrid3).RowCount(), 2);
  EXPECT_GT(ResultsGrid().RowCount(), 1000);
  EXPECT_EQ(ResultsGrid().Cell(0, 0), "Temps");
  EXPECT_EQ(ResultsGrid().Cell(1, 9), "m");
  EXPECT_EQ(ResultsGrid().Cell(2, 0), "00.000000000");
  EXPECT_EQ(ResultsGrid().Cell(2, 9), ".002500");
  // Every record reached the view, below the two title rows shown as its header.
  EXPECT_EQ(ResultsGrid().rowCount(), ResultsGrid().RowCount() - 2);
  EXPECT_EQ(ResultsGrid().headerData(0, Qt::Horizontal).toString(), QStringLiteral("Temps\ns"));
}

TEST_F(ResultWindowsTest, SecondRunAppendsItsRowsWithoutNewTitles) {
  RunInWindows();
  const int first = ResultsGrid().RowCount();
  const int firstCooling = windows.Grid(ui::GridId::MSFlexGrid2).RowCount();
  RunInWindows();
  const int records = first - 2;
  EXPECT_EQ(ResultsGrid().RowCount(), 2 + 2 * records);
  EXPECT_EQ(windows.Grid(ui::GridId::MSFlexGrid2).RowCount(), 2 * firstCooling - 2);
  for (int col = 0; col < 10; ++col) {
    EXPECT_EQ(ResultsGrid().Cell(2 + records, col), ResultsGrid().Cell(2, col));
    EXPECT_EQ(ResultsGrid().Cell(1 + 2 * records, col), ResultsGrid().Cell(1 + records, col));
  }
  EXPECT_EQ(ResultsGrid().Cell(0, 1), "TsubstratI");
}

TEST_F(ResultWindowsTest, ResetDiscardsTheWindowsWithTheirGridsAndDrawings) {
  RunInWindows();
  QPointer<ui::Results> results = &windows.ResultsWindow();
  QPointer<ui::building> building = &windows.BuildingWindow();
  QPointer<ui::Arrow> arrow = &windows.ArrowWindow();
  ASSERT_FALSE(windows.Surface(SurfaceId::BuildingPicture1).Items().empty());
  windows.Reset();
  EXPECT_TRUE(results.isNull());
  EXPECT_TRUE(building.isNull());
  EXPECT_TRUE(arrow.isNull());
  EXPECT_EQ(windows.Grid(ui::GridId::Resultats).RowCount(), 2);
  EXPECT_EQ(windows.Grid(ui::GridId::MSFlexGrid1).RowCount(), 2);
  EXPECT_TRUE(windows.Surface(SurfaceId::BuildingPicture1).Items().empty());
  EXPECT_TRUE(windows.Surface(SurfaceId::ArrowPicture1).Items().empty());
  EXPECT_FALSE(windows.ResultsWindow().isVisible());
  // The next run writes the title rows again.
  RunInWindows();
  EXPECT_EQ(ResultsGrid().Cell(0, 0), "Temps");
}

TEST_F(ResultWindowsTest, RunShowsResultsAndLeavesTheStressWindowsHidden) {
  RunInWindows();
  EXPECT_TRUE(windows.ResultsWindow().isVisible());
  EXPECT_FALSE(windows.BuildingWindow().isVisible());
  EXPECT_FALSE(windows.CoolingWindow().isVisible());
  EXPECT_FALSE(windows.ArrowWindow().isVisible());
  EXPECT_TRUE(Chart().isHidden());
  // Taking the focus gives the grid a current cell, which is not a choice of the user.
  windows.ResultsWindow().GridView().setFocus();
  QCoreApplication::processEvents();
  EXPECT_TRUE(Chart().isHidden());
}

TEST_F(ResultWindowsTest, TimeColumnPlotsTimeAgainstItselfForEveryRecord) {
  RunInWindows();
  SelectCell(10, 0);
  EXPECT_TRUE(Chart().isVisible());
  const int records = ResultsGrid().RowCount() - 2;
  EXPECT_EQ(windows.ResultsWindow().ChartPointCount(), records);
  int points = 0;
  for (int g = 0; g < Chart().graphCount(); ++g) {
    for (auto it = Chart().graph(g)->data()->constBegin();
         it != Chart().graph(g)->data()->constEnd(); ++it) {
      EXPECT_DOUBLE_EQ(it->key, it->value);
      ++points;
    }
  }
  EXPECT_EQ(points, records);
  // The last record is there too.
  const double lastTime = std::stod(ResultsGrid().Cell(ResultsGrid().RowCount() - 1, 0));
  EXPECT_DOUBLE_EQ(Chart()
                       .graph(Chart().graphCount() - 1)
                       ->data()
                       ->at(Chart().graph(Chart().graphCount() - 1)->dataCount() - 1)
                       ->key,
                   lastTime);
}

TEST_F(ResultWindowsTest, TemperatureColumnPlotsTheCellsAsWritten) {
  RunInWindows();
  SelectCell(0, 2);
  ASSERT_EQ(Chart().graphCount(), 1);  // one run: the time only rises
  const QCPGraph& graph = *Chart().graph(0);
  ASSERT_EQ(graph.dataCount(), ResultsGrid().RowCount() - 2);
  for (int i = 0; i < graph.dataCount(); i += 97) {
    EXPECT_DOUBLE_EQ(graph.data()->at(i)->value, std::stod(ResultsGrid().Cell(2 + i, 2))) << i;
  }
  Chart().replot();
  for (const QString& label : Chart().yAxis->tickVectorLabels()) {
    EXPECT_FALSE(label.contains('.')) << label.toStdString();  // "###0"
  }
  EXPECT_EQ(Chart().xAxis->label(), QStringLiteral("temps (secondes)"));
  EXPECT_EQ(Chart().yAxis->label(), QStringLiteral("Temperature (K)/thickness(mm)"));
}

TEST_F(ResultWindowsTest, ThicknessLabelsShowEnoughDecimalsToDiffer) {
  RunInWindows();
  SelectCell(0, 9);
  Chart().replot();
  const QVector<QString> labels = Chart().yAxis->tickVectorLabels();
  ASSERT_GE(labels.size(), 2);
  const std::set<QString> distinct(labels.begin(), labels.end());
  EXPECT_EQ(distinct.size(), static_cast<std::size_t>(labels.size()));
  EXPECT_TRUE(labels[0].contains('.')) << labels[0].toStdString();
}

TEST_F(ResultWindowsTest, EmptyCellsAreSkippedAndShortGridsStillPlot) {
  ResultGridModel& grid = ResultsGrid();
  grid.SetColumnCount(10);
  grid.AddRow("00.000000000\t573.29\t\t\t\t\t\t\t\t.002500");
  grid.AddRow("00.030000000\t573.91\t580.88");
  grid.AddRow("00.120000000\t576.40\t588.68");
  grid.Publish();
  SelectCell(0, 2);
  EXPECT_EQ(windows.ResultsWindow().ChartPointCount(), 2);
  SelectCell(0, 1);
  EXPECT_EQ(windows.ResultsWindow().ChartPointCount(), 3);
  SelectCell(0, 5);
  EXPECT_EQ(windows.ResultsWindow().ChartPointCount(), 0);
  EXPECT_FALSE(Chart().isHidden());
  // An empty column says so and keeps no range of the column charted before.
  auto* title = qobject_cast<QCPTextElement*>(Chart().plotLayout()->element(0, 0));
  ASSERT_NE(title, nullptr);
  EXPECT_TRUE(title->text().endsWith(QString::fromUtf8("aucune donnée")))
      << title->text().toStdString();
  EXPECT_EQ(Chart().yAxis->range().lower, 0);
  EXPECT_EQ(Chart().yAxis->range().upper, 1);
}

TEST_F(ResultWindowsTest, TheHistoryGrowsWithItsWindowAndTellsItsTimeSpan) {
  RunInWindows();
  ui::Arrow& arrow = windows.ArrowWindow();
  arrow.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&arrow));
  auto* picture = arrow.findChild<QWidget*>(QStringLiteral("Picture1"));
  const int before = picture->width();
  arrow.resize(arrow.width() + 400, arrow.height() + 300);
  QCoreApplication::processEvents();
  EXPECT_GE(picture->width(), before + 300);
  // p1 has 4 lamellae: 4 s each, then 120 s of cooling.
  EXPECT_EQ(arrow.findChild<QLabel*>(QStringLiteral("TimeSpan"))->text(),
            QString::fromUtf8("temps : de 0 à 136 s"));
}

TEST_F(ResultWindowsTest, ColumnsFitTheirLongestTextAndATitleClickChartsItsColumn) {
  RunInWindows();
  ui::ResultGridView& view = windows.ResultsWindow().GridView();
  const std::string longestTime = ResultsGrid().Cell(ResultsGrid().RowCount() - 1, 0);
  EXPECT_GE(view.columnWidth(0),
            view.fontMetrics().horizontalAdvance(QString::fromStdString(longestTime)));
  QTest::mouseClick(view.horizontalHeader()->viewport(), Qt::LeftButton, {},
                    QPoint(view.columnViewportPosition(2) + 5, 5));
  EXPECT_TRUE(Chart().isVisible());
  EXPECT_EQ(ResultsGrid().CurrentColumn(), 2);
  EXPECT_EQ(windows.ResultsWindow().ChartPointCount(), ResultsGrid().RowCount() - 2);
}

TEST_F(ResultWindowsTest, ASecondRunIsPlottedAsItsOwnSeries) {
  RunInWindows();
  RunInWindows();
  SelectCell(0, 1);
  EXPECT_EQ(Chart().graphCount(), 2);
  EXPECT_EQ(Chart().graph(0)->dataCount(), Chart().graph(1)->dataCount());
  EXPECT_EQ(windows.ResultsWindow().ChartPointCount(), ResultsGrid().RowCount() - 2);
}

TEST_F(ResultWindowsTest, MaskGraphicsHidesTheChartUntilTheNextSelection) {
  RunInWindows();
  SelectCell(3, 1);
  ASSERT_TRUE(Chart().isVisible());
  auto* mask = windows.ResultsWindow().findChild<QPushButton*>(QStringLiteral("Command5"));
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(mask->text(), QStringLiteral("Mask graphics"));
  mask->click();
  EXPECT_FALSE(Chart().isVisible());
  SelectCell(4, 3);
  EXPECT_TRUE(Chart().isVisible());
  EXPECT_EQ(ResultsGrid().CurrentColumn(), 3);
}

TEST_F(ResultWindowsTest, ChartLiesOverTheGridRightOfTheTimeColumn) {
  RunInWindows();
  SelectCell(0, 1);
  QWidget& grid = windows.ResultsWindow().GridView();
  const QRect chart = Chart().geometry();
  EXPECT_NEAR(chart.left(), grid.width() / 5, 2);
  EXPECT_EQ(chart.right(), grid.geometry().right());
  EXPECT_GE(chart.left(), windows.ResultsWindow().GridView().columnWidth(0));
  auto* copy = windows.ResultsWindow().findChild<QPushButton*>(QStringLiteral("Command1"));
  ASSERT_NE(copy, nullptr);
  EXPECT_LT(Chart().mapTo(&windows.ResultsWindow(), QPoint(0, Chart().height())).y(),
            copy->mapTo(&windows.ResultsWindow(), QPoint(0, 0)).y());
}

TEST_F(ResultWindowsTest, EditCopyPutsTheChartOnTheClipboard) {
  RunInWindows();
  SelectCell(0, 1);
  QGuiApplication::clipboard()->clear();
  windows.ResultsWindow().findChild<QPushButton*>(QStringLiteral("Command1"))->click();
  const QImage image = QGuiApplication::clipboard()->image();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size() / image.devicePixelRatio(), Chart().size());
}

TEST_F(ResultWindowsTest, ChartSavesAsPngAndPdf) {
  RunInWindows();
  SelectCell(0, 1);
  ui::Results& results = windows.ResultsWindow();
  const auto png = dir / "chart.png";
  const auto pdf = dir / "chart.pdf";
  ASSERT_TRUE(results.SaveChart(QString::fromStdString(png.string())));
  ASSERT_TRUE(results.SaveChart(QString::fromStdString(pdf.string())));
  const QImage image(QString::fromStdString(png.string()));
  EXPECT_EQ(image.size(), Chart().size());
  EXPECT_EQ(test::ReadFile(pdf).substr(0, 5), "%PDF-");
  EXPECT_FALSE(results.SaveChart(QString::fromStdString((dir / "chart.bmpx").string())));
  // SVG where the toolkit's SVG module is there.
  const auto svg = dir / "chart.svg";
  ASSERT_EQ(results.SaveChart(QString::fromStdString(svg.string())), ui::Results::CanSaveSvg());
  if (ui::Results::CanSaveSvg()) {
    const std::string text = test::ReadFile(svg);
    EXPECT_NE(text.find("<svg"), std::string::npos);
    EXPECT_NE(text.find("temps (secondes)"), std::string::npos);
  }
}

TEST_F(ResultWindowsTest, ButtonsShowTheStressWindows) {
  ui::Results& results = windows.ResultsWindow();
  const std::pair<const char*, QWidget*> buttons[] = {{"Command2", &windows.BuildingWindow()},
                                                      {"Command3", &windows.CoolingWindow()},
                                                      {"Command4", &windows.ArrowWindow()}};
  for (const auto& [name, window] : buttons) {
    EXPECT_FALSE(window->isVisible()) << name;
    results.findChild<QPushButton*>(QString::fromLatin1(name))->click();
    EXPECT_TRUE(window->isVisible()) << name;
  }
}

TEST_F(ResultWindowsTest, FinAndRazMenusRaiseTheirRequests) {
  QSignalSpy fin(&windows, &ui::ResultWindows::FinRequested);
  QSignalSpy raz(&windows, &ui::ResultWindows::RazRequested);
  ui::Results& results = windows.ResultsWindow();
  results.findChild<QAction*>(QStringLiteral("Fin"))->trigger();
  results.findChild<QAction*>(QStringLiteral("RAZ"))->trigger();
  // Delivered once the menu's own click has returned.
  EXPECT_EQ(fin.count(), 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(fin.count(), 1);
  EXPECT_EQ(raz.count(), 1);
  // The reset can then unload the window whose menu was used.
  QObject::connect(&windows, &ui::ResultWindows::RazRequested, &windows,
                   [this] { windows.Reset(); });
  QPointer<ui::Results> old = &results;
  old->findChild<QAction*>(QStringLiteral("RAZ"))->trigger();
  QCoreApplication::processEvents();
  EXPECT_TRUE(old.isNull());
}

TEST_F(ResultWindowsTest, ClosingAWindowDiscardsItAndItsDrawings) {
  RunInWindows();
  ui::building& first = windows.BuildingWindow();
  first.zoomin_Click();
  QPointer<ui::building> closed = &first;
  first.show();
  first.close();
  DeleteClosedWindows();
  EXPECT_TRUE(closed.isNull());
  ui::building& fresh = windows.BuildingWindow();
  EXPECT_TRUE(fresh.GlobalSurface().Items().empty());
  EXPECT_TRUE(fresh.ZoomSurface().Items().empty());
  EXPECT_FALSE(fresh.ShowsZoom());

  QPointer<ui::Results> results = &windows.ResultsWindow();
  results->close();
  DeleteClosedWindows();
  EXPECT_TRUE(results.isNull());
  EXPECT_EQ(windows.Grid(ui::GridId::Resultats).RowCount(), 2);
}

TEST_F(ResultWindowsTest, StressWindowsKeepTheirDrawingsWhileHidden) {
  RunInWindows();
  const std::size_t items = windows.Surface(SurfaceId::CoolingPicture1).Items().size();
  windows.CoolingWindow().show();
  windows.HideStressWindows();
  EXPECT_FALSE(windows.CoolingWindow().isVisible());
  EXPECT_EQ(windows.Surface(SurfaceId::CoolingPicture1).Items().size(), items);
  EXPECT_GT(items, 10u);
}

}  // namespace
}  // namespace quillane
