// Runs off the interface thread, on their own copies: a run started from the window writes what
// a headless run writes, and cancelling or quitting changes no file and no window.

#include <QLabel>
#include <QProgressBar>
#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>

#include <qcustomplot.h>

#include "GeometrieTestSupport.h"
#include "graphics/StressSurfaces.h"
#include "materials/MaterialsCatalogue.h"
#include "model/Errors.h"
#include "run/RunSimulation.h"
#include "ui/ResultGridModel.h"
#include "ui/ResultGridView.h"
#include "ui/Results.h"
#include "ui/RunWorker.h"

namespace quillane::test {
namespace {

using ui::FieldId;
using ui::GridId;
using namespace std::chrono_literals;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  std::istringstream in(line);
  for (std::string cell; std::getline(in, cell, '\t');) cells.push_back(cell);
  return cells;
}

std::size_t FilesIn(const std::filesystem::path& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                std::filesystem::directory_iterator()));
}

class RunTest : public GeometrieWindowFixture {
 protected:
  void SetUp() override {
    GeometrieWindowFixture::SetUp();
    thermal = dir / "thermique.txt";
    stress = dir / "stress.txt";
  }

  // The reference case, typed as a user would.
  void EnterReferenceCase() {
    Pick("Datalist1", "Acier 316L");
    Pick("Datalist2", "NiCrAlY");
    TypeAndLeave(FieldId::Text5, "3");
    TypeAndLeave(FieldId::Text4, "2");
    TypeAndLeave(FieldId::Text8, "600");
    TypeAndLeave(FieldId::Text10, "2400");
    TypeAndLeave(FieldId::Text6, "2.5");
    TypeAndLeave(FieldId::Text13, "0.06");
    TypeAndLeave(FieldId::Text16, "0.2");
    window->Paths() = {thermal.string(), stress.string()};
  }

  // A run long enough to be stopped half-way.
  void EnterLongRun() {
    Pick("Datalist1", "Acier 316L");
    Pick("Datalist2", "NiCrAlY");
    TypeAndLeave(FieldId::Text4, "32767");
    TypeAndLeave(FieldId::Text5, "20");
    window->Paths() = {thermal.string(), stress.string()};
    WriteFile(thermal, "earlier thermal results\r\n");
    WriteFile(stress, "earlier stress results\r\n");
  }

  bool WaitUntilIdle(int milliseconds = 60000) {
    return QTest::qWaitFor([this] { return !window->Worker().IsRunning(); }, milliseconds);
  }
  bool WaitForProgress() {
    return QTest::qWaitFor([this] { return window->Worker().Progress() > 0; }, 30000);
  }

  std::filesystem::path thermal;
  std::filesystem::path stress;
};

TEST_F(RunTest, ARunFromTheWindowWritesWhatAHeadlessRunWrites) {
  Open();
  EnterReferenceCase();
  ModalWatcher watcher;
  QTest::mouseClick(Execution(), Qt::LeftButton);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_TRUE(watcher.MessageTexts.isEmpty()) << watcher.MessageTexts.join("\n").toStdString();

  MaterialsCatalogue catalogue;
  catalogue.Open(dir / "p1.db");
  ModelState reference;
  ApplyDefaults(reference);
  reference.Input.PassThickness = 3e-6;
  reference.Input.PassCount = 2;
  reference.Input.HeatFlux = 600000;
  reference.Input.ParticleTemperature = 2400;
  reference.Input.SubstrateThicknessInput = 0.0025;
  reference.Input.SpecimenLength = 0.06;
  reference.Input.InitialCurvature = 0.2;
  reference.Input.SubstrateMaterialName = "Acier 316L";
  reference.Input.CoatingMaterialName = "NiCrAlY";
  const ResultPaths paths{(dir / "reference-thermique.txt").string(),
                          (dir / "reference-stress.txt").string()};
  graphics::StressSurfaces surfaces;
  graphics::PictureSink pictures(surfaces);
  ExecuteRun(reference, &catalogue, paths, pictures);

  const std::string thermalText = ReadFile(thermal);
  EXPECT_TRUE(thermalText == ReadFile(paths.Thermal)) << "thermal files differ";
  EXPECT_EQ(ReadFile(stress), ReadFile(paths.Stress));
  // The same case was computed independently once.
  EXPECT_TRUE(thermalText == ReadFile(DataDir() / "p1" / "thermique.txt"));
  // The window's state is the run's now.
  EXPECT_EQ(state.Stress.FinalCurvature, reference.Stress.FinalCurvature);
  EXPECT_EQ(state.Statistics.ThermalRowCount, reference.Statistics.ThermalRowCount);

  // Every row reached the results grid, in order.
  ui::ResultGridModel& results = windows->Grid(GridId::Resultats);
  const auto lines = Lines(thermalText);
  const int records = results.RowCount() - 2;
  ASSERT_EQ(records, reference.Statistics.ThermalRowCount);
  for (int row : {2, 3, records / 2, records + 1}) {
    const auto cells = Cells(lines[static_cast<std::size_t>(row - 2)]);
    for (int col : {0, 1, 9}) {
      EXPECT_EQ(results.Cell(row, col), cells[static_cast<std::size_t>(col)]) << row << "," << col;
    }
  }
  EXPECT_EQ(results.Cell(0, 0), "Temps");

  // The pictures drawn on the worker's copies are the windows' now.
  const std::pair<ui::SurfaceId, const graphics::DrawingSurface*> drawn[] = {
      {ui::SurfaceId::BuildingPicture1, &surfaces.BuildingPicture1},
      {ui::SurfaceId::BuildingPicture2, &surfaces.BuildingPicture2},
      {ui::SurfaceId::CoolingPicture1, &surfaces.CoolingPicture1},
      {ui::SurfaceId::CoolingPicture2, &surfaces.CoolingPicture2},
      {ui::SurfaceId::ArrowPicture1, &surfaces.ArrowPicture1}};
  for (const auto& [id, expected] : drawn) {
    const auto& items = windows->Surface(id).Items();
    ASSERT_EQ(items.size(), expected->Items().size()) << static_cast<int>(id);
    ASSERT_FALSE(items.empty());
    for (std::size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(items[i].Text, expected->Items()[i].Text);
      EXPECT_EQ(items[i].X2, expected->Items()[i].X2);
    }
  }

  EXPECT_TRUE(Status().contains(QString::fromUtf8("Calcul terminé"))) << Status().toStdString();
  const QString summary = Child<QLabel>("RunSummary")->text();
  EXPECT_TRUE(summary.contains(QString::fromStdString(thermal.string()))) << summary.toStdString();
  EXPECT_TRUE(summary.contains(QString::fromStdString(stress.string())));
  EXPECT_TRUE(Execution()->isEnabled());
  EXPECT_TRUE(Box(FieldId::Text1)->isEnabled());

}

TEST_F(RunTest, ASecondRunAppendsToTheGridAndRewritesTheFiles) {
  Open();
  EnterReferenceCase();
  QTest::mouseClick(Execution(), Qt::LeftButton);
  ASSERT_TRUE(WaitUntilIdle());
  const int rows = windows->Grid(GridId::Resultats).RowCount();
  const std::string first = ReadFile(thermal);
  QTest::mouseClick(Execution(), Qt::LeftButton);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(windows->Grid(GridId::Resultats).RowCount(), 2 * rows - 2);
  EXPECT_TRUE(ReadFile(thermal) == first);
}

// The current directory of the process, for one test.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::filesystem::path& path)
      : before_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~CurrentDirectory() { std::filesystem::current_path(before_); }

 private:
  std::filesystem::path before_;
};

TEST_F(RunTest, FilesNeverChosenOrCancelledGoToTheCurrentDirectory) {
  Open();
  EnterReferenceCase();
  window->Paths() = {};
  const CurrentDirectory here(dir.Path());
  QTest::mouseClick(Execution(), Qt::LeftButton);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_TRUE(ReadFile(dir / "Thermique.txt") == ReadFile(DataDir() / "p1" / "thermique.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir / "Stress.txt"));

  // After cancelled choices the files are the proposed names.
  ModalWatcher watcher;
  QTest::mouseClick(Child<QPushButton>("Command3"), Qt::LeftButton);
  QTest::mouseClick(Child<QPushButton>("Command2"), Qt::LeftButton);
  EXPECT_EQ(watcher.DialogNames, QStringList({"ThermalFileDialog", "StressFileDialog"}));
  QTest::mouseClick(Execution(), Qt::LeftButton);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_TRUE(ReadFile(dir / "thermique.txt") == ReadFile(dir / "Thermique.txt"));
  EXPECT_EQ(ReadFile(dir / "stress.txt"), ReadFile(dir / "Stress.txt"));
}

TEST_F(RunTest, CancellingStopsTheRunAndChangesNoFileAndNoWindow) {
  Open();
  // A finished run first, with a column charted.
  EnterReferenceCase();
  QTest::mouseClick(Execution(), Qt::LeftButton);
  ASSERT_TRUE(WaitUntilIdle());
  ui::Results& resultsWindow = windows->ResultsWindow();
  ui::ResultGridModel& grid = resultsWindow.Grid();
  resultsWindow.GridView().setCurrentIndex(grid.index(10, 2));
  QCoreApplication::processEvents();
  const int rowsBefore = grid.RowCount();
  const std::string lastRowBefore = grid.Store().RowText(rowsBefore - 1);
  const int pointsBefore = resultsWindow.Chart().graph(0)->dataCount();
  ASSERT_GT(pointsBefore, 100);
  const auto picture = windows->Surface(ui::SurfaceId::ArrowPicture1).Items().size();
  const int stressRows = windows->Grid(GridId::MSFlexGrid1).RowCount();

  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  EnterLongRun();
  const std::size_t filesBefore = FilesIn(dir.Path());
  QTest::mouseClick(Execution(), Qt::LeftButton);
  ASSERT_TRUE(window->Worker().IsRunning());
  ASSERT_TRUE(WaitForProgress());

  // The window answers while the run goes on, with its inputs out of reach.
  bool answered = false;
  QTimer::singleShot(0, window.get(), [&answered] { answered = true; });
  EXPECT_TRUE(QTest::qWaitFor([&answered] { return answered; }, 1000));
  EXPECT_FALSE(Box(FieldId::Text1)->isEnabled());
  EXPECT_FALSE(Child<QListWidget>("Datalist1")->isEnabled());
  EXPECT_FALSE(Execution()->isEnabled());
  EXPECT_FALSE(Child<QPushButton>("Command3")->isEnabled());
  EXPECT_TRUE(Child<QProgressBar>("RunProgress")->isVisible());

  // "RAZ" is refused during a run.
  {
    ModalWatcher watcher;
    Trigger("RAZ");
    EXPECT_EQ(watcher.MessageTexts.size(), 1);
    EXPECT_TRUE(window->Worker().IsRunning());
  }

  QTest::mouseClick(Child<QPushButton>("CancelRun"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntilIdle(30000));
  EXPECT_EQ(ReadFile(thermal), "earlier thermal results\r\n");
  EXPECT_EQ(ReadFile(stress), "earlier stress results\r\n");
  EXPECT_EQ(FilesIn(dir.Path()), filesBefore);
  EXPECT_TRUE(Status().contains(QString::fromUtf8("annulé"))) << Status().toStdString();
  EXPECT_TRUE(Box(FieldId::Text1)->isEnabled());
  EXPECT_TRUE(Execution()->isEnabled());
  EXPECT_FALSE(Child<QProgressBar>("RunProgress")->isVisible());
  // The grids, the chart and the pictures are those of the finished run.
  QCoreApplication::processEvents();
  EXPECT_EQ(grid.RowCount(), rowsBefore);
  EXPECT_EQ(grid.rowCount(), rowsBefore - 2);
  EXPECT_EQ(grid.Store().RowText(rowsBefore - 1), lastRowBefore);
  EXPECT_EQ(resultsWindow.Chart().graph(0)->dataCount(), pointsBefore);
  resultsWindow.GridView().setCurrentIndex(grid.index(grid.rowCount() - 1, 2));
  QCoreApplication::processEvents();
  EXPECT_EQ(resultsWindow.Chart().graph(0)->dataCount(), pointsBefore);
  EXPECT_EQ(windows->Surface(ui::SurfaceId::ArrowPicture1).Items().size(), picture);
  EXPECT_EQ(windows->Grid(GridId::MSFlexGrid1).RowCount(), stressRows);
}

TEST_F(RunTest, FinDuringARunStopsItFirst) {
  Open();
  EnterLongRun();
  const std::size_t filesBefore = FilesIn(dir.Path());
  QTest::mouseClick(Execution(), Qt::LeftButton);
  ASSERT_TRUE(WaitForProgress());
  window->Fin();
  EXPECT_FALSE(window->Worker().IsRunning());
  EXPECT_EQ(ReadFile(thermal), "earlier thermal results\r\n");
  EXPECT_EQ(ReadFile(stress), "earlier stress results\r\n");
  EXPECT_EQ(FilesIn(dir.Path()), filesBefore);
}

TEST_F(RunTest, AFileThatCannotBeCreatedIsReported) {
  Open();
  EnterReferenceCase();
  window->Paths().Thermal = (dir / "no such folder" / "thermique.txt").string();
  ModalWatcher watcher;
  QTest::mouseClick(Execution(), Qt::LeftButton);
  ASSERT_TRUE(WaitUntilIdle());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.MessageTexts.isEmpty(); }, 5000));
  EXPECT_TRUE(watcher.MessageTexts[0].contains("no such folder"));
  EXPECT_TRUE(Status().contains(QString::fromUtf8("échoué")));
  EXPECT_FALSE(std::filesystem::exists(stress));
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
        // The job computed nothing for the windows to take in.
        throw RunCancelled();
      },
      {}));
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_TRUE(passed.load());
  EXPECT_EQ(watcher.MessageTexts, QStringList({"Matrix singular "}));
}

}  // namespace
}  // namespace quillane::test
