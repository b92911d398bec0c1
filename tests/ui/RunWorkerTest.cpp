// Runs off the interface thread, started, shown and stopped from the windows.

#include <QHeaderView>

#include "GeometrieTestSupport.h"
#include "graphics/StressSurfaces.h"
#include "materials/MaterialsCatalogue.h"
#include "model/Errors.h"
#include "run/RunSimulation.h"
#include "ui/Results.h"
#include "ui/building.h"
#include "widgets/ResultGridView.h"
#include "widgets/RunWorker.h"
#include "widgets/Widgets.h"

namespace quillane::test {
namespace {

using ui::FieldId;

class RunTest : public GeometrieWindowFixture {
 protected:
  // A run long enough to be stopped half-way, over earlier results.
  void StartLongRun() {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Enter({{FieldId::Text4, "32767"}, {FieldId::Text5, "20"}});
    window->Paths() = {thermal.string(), stress.string()};
    WriteFile(thermal, "earlier thermal results\r\n");
    WriteFile(stress, "earlier stress results\r\n");
    files = Listing(dir.Path());
    QTest::mouseClick(Execution(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->Worker().Progress() > 0; }, 30000));
  }
  void ExpectEarlierFilesOnly() {
    EXPECT_EQ(ReadFile(thermal), "earlier thermal results\r\n");
    EXPECT_EQ(ReadFile(stress), "earlier stress results\r\n");
    EXPECT_EQ(Listing(dir.Path()), files);
  }
  bool RunToEnd() {
    QTest::mouseClick(Execution(), Qt::LeftButton);
    return QTest::qWaitFor([this] { return !window->Worker().IsRunning(); }, 60000);
  }

  std::filesystem::path thermal = dir / "thermique.txt";
  std::filesystem::path stress = dir / "stress.txt";
  std::set<std::string> files;
};

TEST_F(RunTest, AWindowRunWritesWhatAHeadlessRunWritesAndACancelledOrQuitOneChangesNothing) {
  Open();
  // The reference case, typed as a user would; files never chosen go to the current directory.
  PickBoth();
  Enter({{FieldId::Text5, "3"}, {FieldId::Text4, "2"}, {FieldId::Text8, "600"}});
  Enter({{FieldId::Text10, "2400"}, {FieldId::Text6, "2.5"}, {FieldId::Text13, "0.06"}});
  Enter({{FieldId::Text16, "0.2"}});
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  // Once the files are written the results load off the interface thread: told, no cancel left.
  QStringList told;
  const auto loading =
      QObject::connect(&window->Worker(), &ui::RunWorker::Loading, window.get(), [&] {
        told << Status() << Child<QLabel>("RunSummary")->text()
             << windows->ResultsWindow().findChild<QLabel*>(QStringLiteral("RunPanelText"))->text();
        EXPECT_FALSE(Child<QPushButton>("CancelRun")->isEnabled());
      });
  ASSERT_TRUE(RunToEnd());
  QObject::disconnect(loading);
  EXPECT_EQ(told, QStringList(3, QString::fromUtf8("Chargement des résultats…")));
  MaterialsCatalogue catalogue;
  catalogue.Open(dir / "p1.db");
  ModelState reference;
  ApplyDefaults(reference);
  reference.Input = state.Input;
  const ResultPaths paths{(dir / "headless-t.txt").string(), (dir / "headless-s.txt").string()};
  graphics::StressSurfaces surfaces;
  graphics::PictureSink pictures(surfaces);
  ExecuteRun(reference, &catalogue, paths, pictures);
  const std::string thermalText = ReadFile(dir / "Thermique.txt");
  EXPECT_TRUE(thermalText == ReadFile(paths.Thermal)) << "thermal files differ";
  EXPECT_EQ(ReadFile(dir / "Stress.txt"), ReadFile(paths.Stress));
  ui::ResultGridModel& grid = windows->Grid(ui::GridId::Resultats);
  const int records = reference.Statistics.ThermalRowCount;
  ASSERT_EQ(grid.RowCount() - 2, records);
  // The pictures drawn on the worker's copies are the windows' now.
  for (const auto& [id, drawn] : {std::pair{ui::kSurfaceIds[0], &surfaces.BuildingPicture1},
                                  {ui::kSurfaceIds[1], &surfaces.BuildingPicture2},
                                  {ui::kSurfaceIds[2], &surfaces.CoolingPicture1},
                                  {ui::kSurfaceIds[3], &surfaces.CoolingPicture2},
                                  {ui::kSurfaceIds[4], &surfaces.ArrowPicture1}}) {
    const auto& items = windows->Surface(id).Items();
    ASSERT_EQ(items.size(), drawn->Items().size());
    EXPECT_TRUE(!items.empty() && items.back().X2 == drawn->Items().back().X2);
  }
  EXPECT_TRUE(Status().contains(QString::fromUtf8("Calcul terminé"))) << Status().toStdString();

  // Every record reached the grid and its view (how the grid shows them is the grid's own test).
  EXPECT_EQ(windows->Grid(ui::GridId::MSFlexGrid1).RowCount(), 3 + 4);  // four lamellae
  EXPECT_EQ(grid.rowCount(), records);

  ui::Results& results = windows->ResultsWindow();
  // Then the grid shows them in place of the run's progress.
  EXPECT_TRUE(!results.findChild<QWidget*>(QStringLiteral("RunPanel"))->isVisible() &&
              results.GridView().isVisible());
  windows->ShowResults();
  // Taking the focus gives the grid a current cell, which is not a choice of the user.
  results.GridView().setFocus();
  QCoreApplication::processEvents();
  EXPECT_TRUE(results.Chart().isHidden());

  results.GridView().setCurrentIndex(grid.index(10, 0));
  EXPECT_TRUE(results.Chart().isVisible());
  ASSERT_EQ(results.Chart().graphCount(), 1);  // one run: the time only rises
  ASSERT_EQ(results.Chart().graph(0)->dataCount(), records);

  // A title click charts its column; temperatures are the cells as written.
  ui::ResultGridView& view = results.GridView();
  QTest::mouseClick(view.horizontalHeader()->viewport(), Qt::LeftButton, {},
                    QPoint(view.columnViewportPosition(2) + 5, 5));
  EXPECT_EQ(grid.CurrentColumn(), 2);
  for (int i = 0; i < records; i += 97) {
    EXPECT_DOUBLE_EQ(results.Chart().graph(0)->data()->at(i)->value,
                     std::stod(grid.Cell(2 + i, 2)));
  }

  // After cancelled file choices (no choice), a second run rewrites the same files and appends.
  const int rows = grid.RowCount();
  std::filesystem::remove(dir / "Thermique.txt");
  std::filesystem::remove(dir / "Stress.txt");
  {
    ModalWatcher watcher;
    QTest::mouseClick(Child<QPushButton>("Command3"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>("Command2"), Qt::LeftButton);
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(watcher.MessageTexts.isEmpty()) << watcher.MessageTexts.join("\n").toStdString();
  }
  std::filesystem::current_path(before);
  EXPECT_EQ(grid.RowCount(), 2 * rows - 2);
  EXPECT_TRUE(ReadFile(dir / "Thermique.txt") == thermalText);
  EXPECT_EQ(ReadFile(dir / "Stress.txt"), ReadFile(paths.Stress));

  // The second run's rows are their own series (how they follow the first's: ResultGridTest).
  results.GridView().setCurrentIndex(grid.index(10, 2));
  QCoreApplication::processEvents();
  const std::string lastRow = grid.Store().RowText(grid.RowCount() - 1);
  EXPECT_EQ(results.Chart().graphCount(), 2);
  const int points = results.ChartPointCount();
  EXPECT_EQ(points, 2 * (rows - 2));
  // With that column charted, a long run is started, then cancelled.
  const auto picture = windows->Surface(ui::SurfaceId::ArrowPicture1).Items().size();
  const int stressRows = windows->Grid(ui::GridId::MSFlexGrid1).RowCount();
  StartLongRun();
  // Meanwhile the inputs are out of reach, "RAZ" is refused, progress replaces summary and grid.
  EXPECT_EQ(Child<QLabel>("RunSummary")->text(), QString::fromUtf8("Calcul en cours…"));
  auto* panel = results.findChild<QWidget*>(QStringLiteral("RunPanel"));
  EXPECT_TRUE(panel->isVisible() && !results.GridView().isVisible());
  EXPECT_FALSE(Box(FieldId::Text1)->isEnabled());
  EXPECT_FALSE(Execution()->isEnabled());
  {
    ModalWatcher watcher;
    Trigger("RAZ");
    EXPECT_EQ(watcher.MessageTexts.size(), 1);
  }
  QTest::mouseClick(Child<QPushButton>("CancelRun"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Worker().IsRunning(); }, 30000));
  ExpectEarlierFilesOnly();
  EXPECT_TRUE(Status().contains(QString::fromUtf8("annulé"))) << Status().toStdString();
  // The grids, the chart and the pictures are those of the finished runs.
  QCoreApplication::processEvents();
  EXPECT_TRUE(!panel->isVisible() && results.GridView().isVisible());
  EXPECT_EQ(grid.RowCount(), 2 * rows - 2);
  EXPECT_EQ(grid.Store().RowText(grid.RowCount() - 1), lastRow);
  results.GridView().setCurrentIndex(grid.index(grid.rowCount() - 1, 2));
  QCoreApplication::processEvents();
  EXPECT_EQ(results.ChartPointCount(), points);
  EXPECT_EQ(windows->Surface(ui::SurfaceId::ArrowPicture1).Items().size(), picture);
  EXPECT_EQ(windows->Grid(ui::GridId::MSFlexGrid1).RowCount(), stressRows);

  // Ctrl+W closes a result window, as its title bar does; Escape leaves it and what it holds.
  ui::ShowInFront(windows->BuildingWindow());
  QPointer<ui::building> building = &windows->BuildingWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == building; }));
  QTest::keySequence(building, QKeySequence(Qt::Key_Escape));
  EXPECT_TRUE(building->isVisible());
  QTest::keySequence(building, QKeySequence(Qt::CTRL | Qt::Key_W));
  EXPECT_TRUE(QTest::qWaitFor([&] { return building.isNull(); }));

  // "RAZ" from a window's menu, delivered once the menu's click has returned, resets them all.
  QObject::connect(windows.get(), &ui::ResultWindows::RazRequested, windows.get(),
                   [this] { windows->Reset(); });
  QPointer<ui::Results> shown = &windows->ResultsWindow();
  shown->findChild<QAction*>(QStringLiteral("RAZ"))->trigger();
  EXPECT_FALSE(shown.isNull());
  QCoreApplication::processEvents();
  EXPECT_TRUE(shown.isNull());
  EXPECT_EQ(windows->Grid(ui::GridId::Resultats).RowCount(), 2);
  EXPECT_EQ(windows->Grid(ui::GridId::MSFlexGrid1).RowCount(), 2);
  EXPECT_TRUE(windows->Surface(ui::SurfaceId::ArrowPicture1).Items().empty());

  // "Fin" during a run names it first; "Annuler" keeps the window and its run.
  StartLongRun();
  {
    ModalWatcher watcher([](QWidget* modal) { ModalWatcher::Press(modal, "Annuler"); });
    window->Fin();
    ASSERT_EQ(watcher.MessageTexts.size(), 1);
    EXPECT_TRUE(watcher.MessageTexts[0].contains(QString::fromUtf8("le calcul en cours")));
  }
  EXPECT_TRUE(window->Worker().IsRunning());
  // Then unsaved changes are offered for saving.
  {
    ModalWatcher watcher([](QWidget* modal) {
      if (!ModalWatcher::Press(modal, "Quitter")) ModalWatcher::Press(modal, "Ne pas enregistrer");
    });
    window->Fin();
    EXPECT_EQ(watcher.MessageTexts.size(), 2);
  }
  EXPECT_FALSE(window->Worker().IsRunning());
  ExpectEarlierFilesOnly();
}

// The singular matrix box the worker waits for (RunChannelTest) is shown too.
TEST_F(RunTest, AFileThatCannotBeCreatedIsReportedAndNoOtherIsWritten) {
  Open();
  PickBoth();
  window->Paths() = {(dir / "no such folder" / "t.txt").string(), (dir / "s.txt").string()};
  ModalWatcher watcher;
  ASSERT_TRUE(RunToEnd());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.MessageTexts.isEmpty(); }, 5000));
  EXPECT_TRUE(watcher.MessageTexts[0].contains("no such folder"));
  EXPECT_TRUE(Status().contains(QString::fromUtf8("échoué")));
  EXPECT_FALSE(std::filesystem::exists(dir / "s.txt"));
  watcher.MessageTexts.clear();
  ASSERT_TRUE(window->Worker().Start(
      [](RunSink& sink, ui::RunResults&) {
        sink.SingularMatrix();
        throw RunCancelled();  // nothing computed for the windows to take in
      },
      {}));
  ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Worker().IsRunning(); }, 60000));
  EXPECT_EQ(watcher.MessageTexts, QStringList({"Matrix singular "}));
}

// Which cells are charted is the session's (ChartDataTest); the chart says when none is.
TEST_F(RunTest, AnEmptyColumnSaysSoAndKeepsNoRangeOfTheColumnBefore) {
  ui::ResultGridModel& grid = windows->Grid(ui::GridId::Resultats);
  ui::Results& results = windows->ResultsWindow();
  grid.SetColumnCount(10);
  grid.AddRow("00.000000000\t573.29\t\t\t\t\t\t\t\t.002500");
  grid.AddRow("00.030000000\t573.91\t580.88");
  grid.Publish();
  results.GridView().setCurrentIndex(grid.index(0, 2));
  EXPECT_EQ(results.ChartPointCount(), 1);
  results.GridView().setCurrentIndex(grid.index(0, 5));
  EXPECT_EQ(results.ChartPointCount(), 0);
  EXPECT_TRUE(ChartTitle(results.Chart()).endsWith(QString::fromUtf8("aucune donnée")));
  EXPECT_EQ(results.Chart().yAxis->range(), QCPRange(0, 1));
}

}  // namespace
}  // namespace quillane::test
