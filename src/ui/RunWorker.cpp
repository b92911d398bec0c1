#include "ui/RunWorker.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <array>
#include <map>

#include "core/Errors.h"
#include "core/RunSimulation.h"
#include "graphics/StressSurfaces.h"
#include "graphics/StressViews.h"

namespace quillane::ui {

namespace {

constexpr std::array<SurfaceId, 5> kSurfaceIds = {
    SurfaceId::BuildingPicture1, SurfaceId::BuildingPicture2, SurfaceId::CoolingPicture1,
    SurfaceId::CoolingPicture2, SurfaceId::ArrowPicture1};

constexpr std::array<GridId, 4> kGridIds = {GridId::Resultats, GridId::MSFlexGrid1,
                                            GridId::MSFlexGrid2, GridId::MSFlexGrid3};

graphics::DrawingSurface& SurfaceOf(graphics::StressSurfaces& surfaces, SurfaceId id) {
  switch (id) {
    case SurfaceId::BuildingPicture1:
      return surfaces.BuildingPicture1;
    case SurfaceId::BuildingPicture2:
      return surfaces.BuildingPicture2;
    case SurfaceId::CoolingPicture1:
      return surfaces.CoolingPicture1;
    case SurfaceId::CoolingPicture2:
      return surfaces.CoolingPicture2;
    case SurfaceId::ArrowPicture1:
      return surfaces.ArrowPicture1;
  }
  return surfaces.ArrowPicture1;
}

// What the worker's host needs of the interface thread.
struct InterfaceLink {
  std::shared_ptr<RunChannel> Channel;
  QObject* Context = nullptr;  // lives on the interface thread
  // Both run there, after applying what the worker queued before.
  std::function<std::string(GridId, int, int)> ReadCell;
  std::function<void()> ReportSingular;
};

// A grid seen from the worker: records the operations for the interface thread and answers
// the row count and the current column from what it knew at run start and has done since.
// Operations that would not change the grid (the thermal writer sets the same column count
// and widths before every row) are not recorded again.
class ProxyGrid : public ResultGrid {
 public:
  ProxyGrid(const InterfaceLink& link, GridId id, int rowCount, int currentColumn)
      : link_(link), id_(id), rowCount_(rowCount), currentColumn_(currentColumn) {}

  void SetColumnCount(int count) override {
    if (count == columnCount_) return;
    columnCount_ = count;
    Record(RunOperation::Kind::SetColumnCount, count);
  }
  int RowCount() const override { return rowCount_; }
  void FillBlock(int firstRow, int lastRow, int firstCol, int lastCol,
                 std::string_view text) override {
    Record(RunOperation::Kind::FillBlock, firstRow, lastRow, firstCol, lastCol, text);
  }
  void SetColumnWidth(int col, int twips) override {
    const auto known = widths_.find(col);
    if (known != widths_.end() && known->second == twips && columnCount_ == widthsForCount_) {
      return;
    }
    widths_[col] = twips;
    widthsForCount_ = columnCount_;
    Record(RunOperation::Kind::SetColumnWidth, col, twips);
  }
  void SetCurrentColumn(int col) override {
    if (col == currentColumn_ && currentRecorded_) return;
    currentColumn_ = col;
    currentRecorded_ = true;
    Record(RunOperation::Kind::SetCurrentColumn, col);
  }
  int CurrentColumn() const override { return currentColumn_; }
  void AddRow(std::string_view text) override {
    Record(RunOperation::Kind::AddRow, 0, 0, 0, 0, text);
    ++rowCount_;
  }
  // Cells live in the window: the interface thread reads one after applying what is queued.
  std::string Cell(int row, int col) const override {
    auto result = std::make_shared<std::string>();
    const auto read = link_.ReadCell;
    const GridId id = id_;
    link_.Channel->CallOnInterface(link_.Context,
                                   [read, id, row, col, result] { *result = read(id, row, col); });
    return *result;
  }

 private:
  void Record(RunOperation::Kind kind, int a = 0, int b = 0, int c = 0, int d = 0,
              std::string_view text = {}) {
    // A cancelled run stops at its next grid operation; nothing is published before the
    // last of them, so the result files stay as they were.
    if (link_.Channel->Cancelled()) throw RunCancelled();
    RunOperation operation;
    operation.What = kind;
    operation.Grid = id_;
    operation.A = a;
    operation.B = b;
    operation.C = c;
    operation.D = d;
    operation.Text.assign(text);
    link_.Channel->Push(std::move(operation), true);
  }

  const InterfaceLink& link_;
  GridId id_;
  int rowCount_;
  int currentColumn_;
  bool currentRecorded_ = false;
  int columnCount_ = -1;  // not known until the run sets it
  int widthsForCount_ = -1;
  std::map<int, int> widths_;
};

// The run host of the worker thread.
class WorkerHost : public RunHost {
 public:
  WorkerHost(InterfaceLink link, const std::array<int, 4>& rowCounts,
             const std::array<int, 4>& currentColumns, const graphics::StressSurfaces& surfaces)
      : link_(std::move(link)),
        grids_{ProxyGrid(link_, GridId::Resultats, rowCounts[0], currentColumns[0]),
               ProxyGrid(link_, GridId::MSFlexGrid1, rowCounts[1], currentColumns[1]),
               ProxyGrid(link_, GridId::MSFlexGrid2, rowCounts[2], currentColumns[2]),
               ProxyGrid(link_, GridId::MSFlexGrid3, rowCounts[3], currentColumns[3])},
        surfaces_(surfaces) {}

  ResultGrid& Grid(GridId id) override { return grids_[static_cast<std::size_t>(id)]; }
  void ShowResultsWindow() override { Post(RunOperation::Kind::ShowResults); }
  void HideStressWindows() override { Post(RunOperation::Kind::HideStressWindows); }
  void DrawBuildUpView(ModelState& state, bool zoom) override {
    StopIfCancelled();
    graphics::DrawRunBuildUpView(state, surfaces_, zoom);
  }
  void DrawCoolingView(ModelState& state, bool zoom) override {
    StopIfCancelled();
    graphics::DrawRunCoolingView(state, surfaces_, zoom);
  }
  void DrawDeflectionHistory(ModelState& state) override {
    StopIfCancelled();
    graphics::DrawRunDeflectionHistory(state, surfaces_);
  }
  void Beep() override { Post(RunOperation::Kind::Beep); }
  // The box is modal on the interface thread; the run waits for it to be closed.
  void ReportSingularMatrix() override {
    link_.Channel->CallOnInterface(link_.Context, link_.ReportSingular);
  }
  bool Progress(double fraction) override {
    link_.Channel->SetProgress(fraction);
    return !link_.Channel->Cancelled();
  }

  graphics::StressSurfaces& Surfaces() { return surfaces_; }

 private:
  void StopIfCancelled() const {
    if (link_.Channel->Cancelled()) throw RunCancelled();
  }
  // Window requests are not a reason to stop: they may come after the files were published.
  void Post(RunOperation::Kind kind) {
    RunOperation operation;
    operation.What = kind;
    link_.Channel->Push(std::move(operation), false);
  }

  InterfaceLink link_;
  std::array<ProxyGrid, 4> grids_;
  graphics::StressSurfaces surfaces_;
};

}  // namespace

// ---- RunChannel ----

struct RunChannel::Call {
  std::function<void()> Task;
  bool Done = false;
  bool Abandoned = false;
};

void RunChannel::Push(RunOperation operation, bool stopWhenCancelled) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.size() < kMaxQueued || cancelled_.load(); });
  if (cancelled_.load() && stopWhenCancelled) throw RunCancelled();
  queue_.push_back(std::move(operation));
}

std::vector<RunOperation> RunChannel::Take() {
  std::vector<RunOperation> taken;
  {
    std::lock_guard lock(mutex_);
    taken.swap(queue_);
  }
  changed_.notify_all();
  return taken;
}

std::size_t RunChannel::Queued() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

void RunChannel::Cancel() {
  {
    // Under the lock, so that a worker about to wait cannot miss the wake-up.
    std::lock_guard lock(mutex_);
    cancelled_.store(true);
  }
  changed_.notify_all();
}

void RunChannel::CallOnInterface(QObject* context, std::function<void()> task) {
  auto call = std::make_shared<Call>();
  call->Task = std::move(task);
  std::shared_ptr<RunChannel> self = shared_from_this();
  QMetaObject::invokeMethod(
      context,
      [self, call] {
        {
          std::lock_guard lock(self->mutex_);
          if (call->Abandoned) return;
        }
        call->Task();
        {
          std::lock_guard lock(self->mutex_);
          call->Done = true;
        }
        self->changed_.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this, &call] { return call->Done || cancelled_.load(); });
  if (!call->Done) {
    call->Abandoned = true;
    throw RunCancelled();
  }
}

// ---- RunWorker ----

RunWorker::RunWorker(ModelState& state, ResultWindows& windows, QWidget* dialogParent,
                     QObject* parent)
    : QObject(parent), state_(state), windows_(windows), dialogParent_(dialogParent) {
  qRegisterMetaType<quillane::ui::RunOutcome>();
  drainTimer_.setInterval(kDrainIntervalMs);
  connect(&drainTimer_, &QTimer::timeout, this, &RunWorker::Drain);
}

RunWorker::~RunWorker() {
  CancelAndWait();
}

bool RunWorker::Start(Job job) {
  if (running_) return false;
  if (!job) job = [](ModelState& state, RunHost& host) { ExecuteRun(state, host); };

  // Everything the worker needs of the windows is read here, on the interface thread.
  std::array<int, 4> rowCounts{};
  std::array<int, 4> currentColumns{};
  for (std::size_t i = 0; i < kGridIds.size(); ++i) {
    const ResultGrid& grid = windows_.Grid(kGridIds[i]);
    rowCounts[i] = grid.RowCount();
    currentColumns[i] = grid.CurrentColumn();
  }
  graphics::StressSurfaces surfaces;
  for (SurfaceId id : kSurfaceIds) SurfaceOf(surfaces, id) = windows_.Surface(id);

  channel_ = std::make_shared<RunChannel>();
  InterfaceLink link;
  link.Channel = channel_;
  link.Context = this;
  link.ReadCell = [this](GridId id, int row, int col) {
    Drain();
    return windows_.Grid(id).Cell(row, col);
  };
  link.ReportSingular = [this] {
    Drain();
    QMessageBox box(dialogParent_.data());
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QApplication::applicationName());
    box.setText(QStringLiteral("Matrix singular "));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
  };
  host_ = std::make_unique<WorkerHost>(std::move(link), rowCounts, currentColumns, surfaces);

  running_ = true;
  const unsigned generation = ++generation_;
  drainTimer_.start();
  RunHost* host = host_.get();
  ModelState* state = &state_;
  thread_ = std::thread([this, job = std::move(job), host, state, generation] {
    RunOutcome outcome;
    try {
      job(*state, *host);
      outcome.What = RunOutcome::Kind::Completed;
    } catch (const InputError& error) {
      outcome.What = RunOutcome::Kind::InputFaults;
      outcome.Faults = error.Faults();
    } catch (const RunCancelled&) {
      outcome.What = RunOutcome::Kind::Cancelled;
    } catch (const std::exception& error) {
      outcome.What = RunOutcome::Kind::Failed;
      outcome.Message = error.what();
    } catch (...) {
      outcome.What = RunOutcome::Kind::Failed;
      outcome.Message = "unknown error";
    }
    QMetaObject::invokeMethod(
        this, [this, outcome, generation] { OnWorkerDone(generation, outcome); },
        Qt::QueuedConnection);
  });
  return true;
}

void RunWorker::Cancel() {
  if (running_ && channel_) channel_->Cancel();
}

void RunWorker::CancelAndWait() {
  if (!running_) return;
  channel_->Cancel();
  if (thread_.joinable()) thread_.join();
  drainTimer_.stop();
  running_ = false;
}

double RunWorker::Progress() const {
  return channel_ ? channel_->Progress() : 0.0;
}

void RunWorker::Drain() {
  if (!channel_) return;
  for (RunOperation& operation : channel_->Take()) {
    using Kind = RunOperation::Kind;
    switch (operation.What) {
      case Kind::SetColumnCount:
        windows_.Grid(operation.Grid).SetColumnCount(operation.A);
        break;
      case Kind::FillBlock:
        windows_.Grid(operation.Grid)
            .FillBlock(operation.A, operation.B, operation.C, operation.D, operation.Text);
        break;
      case Kind::SetColumnWidth:
        windows_.Grid(operation.Grid).SetColumnWidth(operation.A, operation.B);
        break;
      case Kind::SetCurrentColumn:
        windows_.Grid(operation.Grid).SetCurrentColumn(operation.A);
        break;
      case Kind::AddRow:
        windows_.Grid(operation.Grid).AddRow(operation.Text);
        break;
      case Kind::ShowResults:
        windows_.ShowResults();
        break;
      case Kind::HideStressWindows:
        windows_.HideStressWindows();
        break;
      case Kind::Beep:
        QApplication::beep();
        break;
    }
  }
  emit ProgressChanged(channel_->Progress());
}

void RunWorker::OnWorkerDone(unsigned generation, const RunOutcome& outcome) {
  // A run waited for by CancelAndWait has been dealt with already.
  if (!running_ || generation != generation_) return;
  if (thread_.joinable()) thread_.join();
  drainTimer_.stop();
  Drain();
  if (outcome.What == RunOutcome::Kind::Completed) {
    auto& surfaces = static_cast<WorkerHost&>(*host_).Surfaces();
    for (SurfaceId id : kSurfaceIds) windows_.Surface(id) = SurfaceOf(surfaces, id);
    windows_.RefreshPictures();
  }
  running_ = false;
  emit Finished(outcome);
}

}  // namespace quillane::ui
