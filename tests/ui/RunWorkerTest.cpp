// Runs off the interface thread, on their own copies: a run started from the window writes what
// a headless run writes, and cancelling or quitting changes no file and no window.

#include <qcustomplot.h>

#include <atomic>

#include "GeometrieTestSupport.h"
#include "graphics/StressSurfaces.h"
#include "materials/MaterialsCatalogue.h"
#include "model/Errors.h"
#include "run/RunSimulation.h"
#include "ui/ResultGridView.h"
#include "ui/Results.h"
#include "ui/RunWorker.h"

namespace quillane::test {
namespace {

using ui::FieldId;

class RunTest : public GeometrieWindowFixture {
 protected:
  // The reference case, typed as a user would.
  void EnterReferenceCase() {
    PickBoth();
    TypeAll({{FieldId::Text5, "3"}, {FieldId::Text4, "2"}, {FieldId::Text8, "600"}});
    TypeAll({{FieldId::Text10, "2400"}, {FieldId::Text6, "2.5"}, {FieldId::Text13, "0.06"}});
    TypeAndLeave(FieldId::Text16, "0.2");
    window->Paths() = {thermal.string(), stress.string()};
  }
  // A run long enough to be stopped half-way, over earlier results.
  void StartLongRun() {
    TypeAll({{FieldId::Text4, "32767"}, {FieldId::Text5, "20"}});
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

TEST_F(RunTest, AWindowRunWritesWhatAHeadlessRunWritesAndACancelledOneChangesNothing) {
  Open();
  EnterReferenceCase();
  // Files never chosen go to the current directory.
  window->Paths() = {};
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  ASSERT_TRUE(RunToEnd());
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
  // The same case was computed independently once.
  EXPECT_TRUE(thermalText == ReadFile(DataDir() / "p1" / "thermique.txt"));
  ui::ResultGridModel& grid = windows->Grid(ui::GridId::Resultats);
  ASSERT_EQ(grid.RowCount() - 2, reference.Statistics.ThermalRowCount);
  // The pictures drawn on the worker's copies are the windows' now.
  const graphics::DrawingSurface* drawn[] = {&surfaces.BuildingPicture1, &surfaces.BuildingPicture2,
                                             &surfaces.CoolingPicture1, &surfaces.CoolingPicture2,
                                             &surfaces.ArrowPicture1};
  for (std::size_t i = 0; i < std::size(drawn); ++i) {
    const auto& items = windows->Surface(ui::kSurfaceIds[i]).Items();
    ASSERT_EQ(items.size(), drawn[i]->Items().size()) << i;
    EXPECT_TRUE(!items.empty() && items.back().X2 == drawn[i]->Items().back().X2) << i;
  }
  EXPECT_TRUE(Status().contains(QString::fromUtf8("Calcul terminé"))) << Status().toStdString();

  // After cancelled choices, a second run writes the same to the proposed names and appends to
  // the grid.
  const int rows = grid.RowCount();
  {
    ModalWatcher watcher;
    QTest::mouseClick(Child<QPushButton>("Command3"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>("Command2"), Qt::LeftButton);
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(watcher.MessageTexts.isEmpty()) << watcher.MessageTexts.join("\n").toStdString();
  }
  std::filesystem::current_path(before);
  EXPECT_EQ(grid.RowCount(), 2 * rows - 2);
  EXPECT_TRUE(ReadFile(dir / "thermique.txt") == thermalText);
  EXPECT_EQ(ReadFile(dir / "stress.txt"), ReadFile(paths.Stress));

  // With a column charted, a long run is started, then cancelled.
  ui::Results& results = windows->ResultsWindow();
  results.GridView().setCurrentIndex(grid.index(10, 2));
  QCoreApplication::processEvents();
  // The second run's rows follow the first's without new titles, and are their own series.
  const std::string lastRow = grid.Store().RowText(grid.RowCount() - 1);
  EXPECT_EQ(lastRow, grid.Store().RowText(rows - 1));
  EXPECT_EQ(results.Chart().graphCount(), 2);
  const int points = results.ChartPointCount();
  EXPECT_EQ(points, 2 * (rows - 2));
  const auto picture = windows->Surface(ui::SurfaceId::ArrowPicture1).Items().size();
  const int stressRows = windows->Grid(ui::GridId::MSFlexGrid1).RowCount();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  StartLongRun();
  // While the run goes on, the inputs are out of reach and "RAZ" is refused.
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
  EXPECT_EQ(grid.RowCount(), 2 * rows - 2);
  EXPECT_EQ(grid.Store().RowText(grid.RowCount() - 1), lastRow);
  results.GridView().setCurrentIndex(grid.index(grid.rowCount() - 1, 2));
  QCoreApplication::processEvents();
  EXPECT_EQ(results.ChartPointCount(), points);
  EXPECT_EQ(windows->Surface(ui::SurfaceId::ArrowPicture1).Items().size(), picture);
  EXPECT_EQ(windows->Grid(ui::GridId::MSFlexGrid1).RowCount(), stressRows);
}

TEST_F(RunTest, FinDuringARunStopsItFirst) {
  Open();
  PickBoth();
  StartLongRun();
  window->Fin();
  EXPECT_FALSE(window->Worker().IsRunning());
  ExpectEarlierFilesOnly();
}

TEST_F(RunTest, AFileThatCannotBeCreatedIsReportedAndNoOtherIsWritten) {
  Open();
  PickBoth();
  window->Paths() = {(dir / "no such folder" / "t.txt").string(), (dir / "s.txt").string()};
  ModalWatcher watcher;
  QTest::mouseClick(Execution(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Worker().IsRunning(); }, 60000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.MessageTexts.isEmpty(); }, 5000));
  EXPECT_TRUE(watcher.MessageTexts[0].contains("no such folder"));
  EXPECT_TRUE(Status().contains(QString::fromUtf8("échoué")));
  EXPECT_FALSE(std::filesystem::exists(dir / "s.txt"));
}

TEST_F(RunTest, TheSingularMatrixBoxIsShownWhileTheWorkerWaits) {
  Open();
  std::atomic<bool> passed{false};
  ModalWatcher watcher([&](QWidget* modal) {
    QTest::qWait(100);
    EXPECT_FALSE(passed.load());
    ModalWatcher::Dismiss(modal);
  });
  ASSERT_TRUE(window->Worker().Start(
      [&passed](RunSink& sink, ui::RunResults&) {
        sink.SingularMatrix();
        passed = true;
        throw RunCancelled();  // nothing computed for the windows to take in
      },
      {}));
  ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Worker().IsRunning(); }, 60000));
  EXPECT_TRUE(passed.load());
  EXPECT_EQ(watcher.MessageTexts, QStringList({"Matrix singular "}));
}

}  // namespace
}  // namespace quillane::test
