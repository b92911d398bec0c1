#pragma once
// A run off the interface thread. The worker's run host never touches a widget: grid
// operations are recorded into a queue that the interface thread drains into the result
// windows every few tens of milliseconds; the stress pictures are drawn on copies of the
// windows' surfaces and copied back when the run ends well; windows, beeps and the
// singular-matrix report are carried out on the interface thread. Progress and cancelling go
// through atomics.

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/ModelState.h"
#include "core/RunHost.h"
#include "ui/ResultWindows.h"

class QWidget;

namespace quillane::ui {

// One thing the worker asks of the interface thread, in the order it asked.
struct RunOperation {
  enum class Kind {
    SetColumnCount,
    FillBlock,
    SetColumnWidth,
    SetCurrentColumn,
    AddRow,
    ShowResults,
    HideStressWindows,
    Beep,
  };
  Kind What = Kind::Beep;
  GridId Grid = GridId::Resultats;
  int A = 0;  // count, first row, column
  int B = 0;  // last row, width
  int C = 0;  // first column
  int D = 0;  // last column
  std::string Text;
};

// What the worker and the interface thread share during one run.
class RunChannel : public std::enable_shared_from_this<RunChannel> {
 public:
  // More queued operations than this make the worker wait for the interface thread, so that
  // a slow display cannot make the queue grow without bound.
  static constexpr std::size_t kMaxQueued = 200000;

  // Worker side. Waits while the queue is full. When the run is cancelled, throws
  // RunCancelled if stopWhenCancelled is set and queues the operation otherwise.
  void Push(RunOperation operation, bool stopWhenCancelled);
  // Interface side: everything queued so far, oldest first.
  std::vector<RunOperation> Take();
  std::size_t Queued() const;

  void Cancel();
  bool Cancelled() const { return cancelled_.load(); }
  void SetProgress(double fraction) { progress_.store(fraction); }
  double Progress() const { return progress_.load(); }

  // Worker side: has the interface thread run the task (with context as its receiver) after
  // draining the queue, and waits until it has run. Throws RunCancelled when the run is
  // cancelled before the task ran; the task is then skipped.
  void CallOnInterface(QObject* context, std::function<void()> task);

 private:
  struct Call;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<RunOperation> queue_;
  std::atomic<bool> cancelled_{false};
  std::atomic<double> progress_{0};
};

// The outcome of a run, as the window reports it.
struct RunOutcome {
  enum class Kind { Completed, Cancelled, InputFaults, Failed };
  Kind What = Kind::Failed;
  std::vector<std::string> Faults;  // InputFaults: one message per fault
  std::string Message;              // Failed: why
};

// Runs one simulation at a time on a worker thread, on behalf of the input window.
class RunWorker : public QObject {
  Q_OBJECT
 public:
  // The work done on the worker thread; the default validates, opens the files and runs.
  using Job = std::function<void(ModelState&, RunHost&)>;

  // dialogParent receives the singular-matrix box.
  RunWorker(ModelState& state, ResultWindows& windows, QWidget* dialogParent,
            QObject* parent = nullptr);
  ~RunWorker() override;
  RunWorker(const RunWorker&) = delete;
  RunWorker& operator=(const RunWorker&) = delete;

  // Starts a run unless one is in progress (returns false then). Reads the row counts of the
  // result grids and copies the stress pictures first, on this (the interface) thread. Until
  // Finished, nothing but the worker may touch the model state.
  bool Start(Job job = {});
  bool IsRunning() const { return running_; }
  // Asks the run to stop; Finished follows with a cancelled outcome.
  void Cancel();
  // Cancels a run in progress and waits for its thread, without reporting (for quitting).
  void CancelAndWait();
  // Fraction of the run done, 0 to 1.
  double Progress() const;

  // How often the queue is drained into the windows.
  static constexpr int kDrainIntervalMs = 60;

 signals:
  // After the last operations reached the windows (and, when the run ended well, the
  // pictures): the thread has ended and the model state is the interface thread's again.
  void Finished(const quillane::ui::RunOutcome& outcome);
  void ProgressChanged(double fraction);

 private:
  void Drain();
  void OnWorkerDone(unsigned generation, const RunOutcome& outcome);

  ModelState& state_;
  ResultWindows& windows_;
  QPointer<QWidget> dialogParent_;
  QTimer drainTimer_;
  std::shared_ptr<RunChannel> channel_;
  std::unique_ptr<RunHost> host_;
  std::thread thread_;
  bool running_ = false;
  unsigned generation_ = 0;  // tells a finished run from an earlier one already waited for
};

}  // namespace quillane::ui

Q_DECLARE_METATYPE(quillane::ui::RunOutcome)
