// Runs off the interface thread: a run started from the window writes what a headless run
// writes, cancelling or quitting changes no file, and the worker's host reaches the windows
// only through the interface thread.

#include <QLabel>
#include <QProgressBar>
#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>

#include "GeometrieTestSupport.h"
#include "cli/BatchHost.h"
#include "core/Errors.h"
#include "core/RunSimulation.h"
#include "materials/MaterialsCatalogue.h"
#include "ui/RunWorker.h"

namespace quillane::test {
namespace {

using ui::FieldId;
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
    state.Files.ThermalPath = thermal.string();
    state.Files.StressPath = stress.string();
  }

  // A run long enough to be stopped half-way.
  void EnterLongRun() {
    Pick("Datalist1", "Acier 316L");
    Pick("Datalist2", "NiCrAlY");
    TypeAndLeave(FieldId::Text4, "32767");
    TypeAndLeave(FieldId::Text5, "20");
    state.Files.ThermalPath = thermal.string();
    state.Files.StressPath = stress.string();
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
  LoadInputFormState(reference);
  reference.Input.PassThickness = 3e-6;
  reference.Input.PassCount = 2;
  reference.Input.HeatFlux = 600000;
  reference.Input.ParticleTemperature = 2400;
  reference.Input.SubstrateThicknessInput = 0.0025;
  reference.Input.SpecimenLength = 0.06;
  reference.Input.SpecimenLengthText = "0.06";
  reference.Input.InitialCurvatureText = "0.2";
  reference.Input.SubstrateMaterialName = "Acier 316L";
  reference.Input.CoatingMaterialName = "NiCrAlY";
  reference.Materials.Catalogue = &catalogue;
  reference.Files.ThermalPath = (dir / "reference-thermique.txt").string();
  reference.Files.StressPath = (dir / "reference-stress.txt").string();
  std::ostringstream messages;
  cli::BatchHost host(messages, false);
  ExecuteRun(reference, host);

  const std::string thermalText = ReadFile(thermal);
  EXPECT_TRUE(thermalText == ReadFile(reference.Files.ThermalPath)) << "thermal files differ";
  EXPECT_EQ(ReadFile(stress), ReadFile(reference.Files.StressPath));
  // The same case was computed independently once.
  EXPECT_TRUE(thermalText == ReadFile(DataDir() / "p1" / "thermique.txt"));
  EXPECT_EQ(state.Stress.FinalCurvature, reference.Stress.FinalCurvature);

  // Every row reached the results grid, in order.
  ResultGrid& results = windows->Grid(GridId::Resultats);
  const ResultGrid& headless = host.Grid(GridId::Resultats);
  ASSERT_EQ(results.RowCount(), headless.RowCount());
  const auto lines = Lines(thermalText);
  const int records = results.RowCount() - 2;
  ASSERT_GT(records, 100);
  for (int row : {2, 3, records / 2, records + 1}) {
    const auto cells = Cells(lines[static_cast<std::size_t>(row - 2)]);
    for (int col : {0, 1, 9}) {
      EXPECT_EQ(results.Cell(row, col), cells[static_cast<std::size_t>(col)]) << row << "," << col;
    }
  }
  EXPECT_EQ(results.Cell(0, 0), "Temps");
  for (GridId id : {GridId::MSFlexGrid1, GridId::MSFlexGrid2}) {
    const TextGrid& expected = host.StressGrid(id);
    ResultGrid& shown = windows->Grid(id);
    ASSERT_EQ(shown.RowCount(), expected.RowCount());
    for (int row = 0; row < expected.RowCount(); ++row) {
      for (int col = 0; col < 2; ++col) EXPECT_EQ(shown.Cell(row, col), expected.Cell(row, col));
    }
  }

  // The pictures drawn on the worker's copies are the windows' now.
  const std::pair<ui::SurfaceId, const graphics::DrawingSurface*> pictures[] = {
      {ui::SurfaceId::BuildingPicture1, &host.Surfaces().BuildingPicture1},
      {ui::SurfaceId::BuildingPicture2, &host.Surfaces().BuildingPicture2},
      {ui::SurfaceId::CoolingPicture1, &host.Surfaces().CoolingPicture1},
      {ui::SurfaceId::CoolingPicture2, &host.Surfaces().CoolingPicture2},
      {ui::SurfaceId::ArrowPicture1, &host.Surfaces().ArrowPicture1}};
  for (const auto& [id, expected] : pictures) {
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

  std::filesystem::create_directories(BuildDir() / "screenshots");
  EXPECT_TRUE(window->grab().save(
      QString::fromStdString((BuildDir() / "screenshots" / "Geometrie-run.png").string())));
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
  state.Files.ThermalPath.clear();
  state.Files.StressPath.clear();
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

TEST_F(RunTest, CancellingStopsTheRunAndChangesNoFile) {
  Open();
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
  state.Files.ThermalPath = (dir / "no such folder" / "thermique.txt").string();
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
  int rowsWhenShown = -1;
  ModalWatcher watcher([&](QWidget* modal) {
    rowsWhenShown = windows->Grid(GridId::MSFlexGrid3).RowCount();
    QTest::qWait(100);
    EXPECT_FALSE(passed.load());
    ModalWatcher::Dismiss(modal);
  });
  ASSERT_TRUE(window->Worker().Start([&passed](ModelState&, RunHost& host) {
    host.Grid(GridId::MSFlexGrid3).AddRow("a\tb");
    host.ReportSingularMatrix();
    passed = true;
  }));
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_TRUE(passed.load());
  EXPECT_EQ(watcher.MessageTexts, QStringList({"Matrix singular "}));
  // Rows recorded before the report were in the window when the box came up.
  EXPECT_EQ(rowsWhenShown, 3);
}

TEST_F(RunTest, TheWorkersGridsRecordAndAnswerFromTheWindow) {
  Open();
  windows->Grid(GridId::MSFlexGrid3).AddRow("x\ty");
  int startRows = 0;
  int endRows = 0;
  int current = -1;
  std::vector<std::string> read;
  std::thread::id worker;
  std::atomic<bool> seen{false};
  ASSERT_TRUE(window->Worker().Start([&](ModelState&, RunHost& host) {
    worker = std::this_thread::get_id();
    ResultGrid& grid = host.Grid(GridId::MSFlexGrid3);
    startRows = grid.RowCount();
    grid.SetColumnCount(3);
    grid.FillBlock(0, 0, 0, 2, "A\tB\tC");
    grid.AddRow("1\t2\t3");
    grid.AddRow("4\t5\t6");
    endRows = grid.RowCount();
    grid.SetCurrentColumn(2);
    current = grid.CurrentColumn();
    read.push_back(grid.Cell(0, 1));
    read.push_back(grid.Cell(4, 2));
    host.Progress(0.25);
    for (int i = 0; i < 500 && !seen.load(); ++i) std::this_thread::sleep_for(10ms);
  }));
  ASSERT_TRUE(QTest::qWaitFor([this] { return Child<QProgressBar>("RunProgress")->value() == 250; },
                              10000));
  seen = true;
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_NE(worker, std::this_thread::get_id());
  EXPECT_EQ(startRows, 3);
  EXPECT_EQ(endRows, 5);
  EXPECT_EQ(current, 2);
  EXPECT_EQ(read, (std::vector<std::string>{"B", "6"}));
  ResultGrid& shown = windows->Grid(GridId::MSFlexGrid3);
  EXPECT_EQ(shown.RowCount(), 5);
  EXPECT_EQ(shown.Cell(3, 0), "1");
  EXPECT_EQ(shown.CurrentColumn(), 2);
}

TEST_F(RunTest, GridOperationsStopACancelledJob) {
  Open();
  std::atomic<bool> looping{false};
  std::atomic<bool> added{false};
  ASSERT_TRUE(window->Worker().Start([&](ModelState&, RunHost& host) {
    while (host.Progress(0.1)) {
      looping = true;
      std::this_thread::sleep_for(1ms);
    }
    host.Grid(GridId::MSFlexGrid3).AddRow("too late");
    added = true;
  }));
  ASSERT_TRUE(QTest::qWaitFor([&] { return looping.load(); }, 5000));
  window->Worker().Cancel();
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_FALSE(added.load());
  EXPECT_EQ(windows->Grid(GridId::MSFlexGrid3).RowCount(), 2);
  EXPECT_TRUE(Status().contains(QString::fromUtf8("annulé")));
}

TEST(RunChannelTest, AFullQueueMakesTheWorkerWait) {
  auto channel = std::make_shared<ui::RunChannel>();
  std::atomic<std::size_t> pushed{0};
  std::thread worker([&] {
    for (std::size_t i = 0; i <= ui::RunChannel::kMaxQueued; ++i) {
      ui::RunOperation operation;
      operation.What = ui::RunOperation::Kind::AddRow;
      channel->Push(std::move(operation), true);
      ++pushed;
    }
  });
  while (pushed.load() < ui::RunChannel::kMaxQueued) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(pushed.load(), ui::RunChannel::kMaxQueued);
  EXPECT_EQ(channel->Take().size(), ui::RunChannel::kMaxQueued);
  worker.join();
  EXPECT_EQ(channel->Queued(), 1u);
}

TEST(RunChannelTest, CancellingWakesAWaitingWorker) {
  auto channel = std::make_shared<ui::RunChannel>();
  for (std::size_t i = 0; i < ui::RunChannel::kMaxQueued; ++i) {
    channel->Push(ui::RunOperation{}, true);
  }
  std::atomic<bool> stopped{false};
  std::atomic<bool> queued{false};
  std::thread grid([&] {
    try {
      channel->Push(ui::RunOperation{}, true);
    } catch (const RunCancelled&) {
      stopped = true;
    }
  });
  std::thread window([&] {
    channel->Push(ui::RunOperation{}, false);
    queued = true;
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(stopped.load());
  channel->Cancel();
  grid.join();
  window.join();
  EXPECT_TRUE(stopped.load());
  // Window requests are still carried out: they may follow the publication of the files.
  EXPECT_TRUE(queued.load());
  EXPECT_TRUE(channel->Cancelled());
}

}  // namespace
}  // namespace quillane::test
