// Runs off the interface thread, started, shown and stopped from the windows.

#include "GeometrieTestSupport.h"
#include "graphics/StressSurfaces.h"
#include "materials/MaterialsCatalogue.h"
#include "model/Errors.h"
#include "run/RunSimulation.h"
#include "ui/Results.h"
#include "widgets/ResultGridModel.h"
#include "widgets/RunWorker.h"

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
  ASSERT_TRUE(RunToEnd());
  std::filesystem::current_path(before);
  MaterialsCatalogue catalogue;
  catalogue.Open(dir / "p1.db");
  ModelState reference;
  ApplyDefaults(reference);
  reference.Input = state.Input;
  const ResultPaths paths{(dir / "headless-t.txt").string(), (dir / "headless-s.txt").string()};
  graphics::StressSurfaces surfaces;
  graphics::PictureSink pictures(surfaces);
  ExecuteRun(reference, &catalogue, paths, pictures);
  EXPECT_TRUE(ReadFile(dir / "Thermique.txt") == ReadFile(paths.Thermal)) << "thermal files differ";
  EXPECT_EQ(ReadFile(dir / "Stress.txt"), ReadFile(paths.Stress));
  // Every record reached the grids (how the grid shows them is the grid's own test).
  ui::ResultGridModel& grid = windows->Grid(ui::GridId::Resultats);
  const int rows = grid.RowCount();
  ASSERT_EQ(rows - 2, reference.Statistics.ThermalRowCount);
  const int stressRows = windows->Grid(ui::GridId::MSFlexGrid1).RowCount();
  EXPECT_EQ(stressRows, 3 + 4);  // four lamellae
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

  // A long run cancelled leaves the files, the grids and the pictures of the finished run.
  const auto picture = windows->Surface(ui::SurfaceId::ArrowPicture1).Items().size();
  StartLongRun();
  QTest::mouseClick(Child<QPushButton>("CancelRun"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Worker().IsRunning(); }, 30000));
  ExpectEarlierFilesOnly();
  QCoreApplication::processEvents();
  EXPECT_EQ(grid.RowCount(), rows);
  EXPECT_EQ(windows->Surface(ui::SurfaceId::ArrowPicture1).Items().size(), picture);
  EXPECT_EQ(windows->Grid(ui::GridId::MSFlexGrid1).RowCount(), stressRows);

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

  // "Fin" during a run asks first; "Annuler" keeps the window and its run.
  StartLongRun();
  {
    ModalWatcher watcher([](QWidget* modal) { ModalWatcher::Press(modal, "Annuler"); });
    window->Fin();
    EXPECT_EQ(watcher.MessageTexts.size(), 1);
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

}  // namespace
}  // namespace quillane::test
