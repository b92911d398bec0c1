#include "ui/RunWorker.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "model/Errors.h"

namespace quillane::ui {

namespace {

// The sink of the worker thread: pictures on the run's own surfaces, progress and cancel
// through the channel, the singular-matrix box on the interface thread.
class WorkerSink : public RunSink {
 public:
  WorkerSink(std::shared_ptr<RunChannel> channel, QObject* context,
             graphics::StressSurfaces& surfaces, std::function<void()> showSingular)
      : channel_(std::move(channel)),
        context_(context),
        surfaces_(surfaces),
        showSingular_(std::move(showSingular)) {}

  void ThermalRow(const ThermalRecord&, bool) override {}
  // The box is modal on the interface thread; the run waits for it to be closed.
  void SingularMatrix() override { channel_->CallOnInterface(context_, showSingular_); }
  void Frame(ModelState& state, StressFrame frame) override {
    if (channel_->Cancelled()) throw RunCancelled();
    graphics::DrawRunFrame(state, surfaces_, frame);
  }
  bool Progress(double fraction) override {
    channel_->SetProgress(fraction);
    return !channel_->Cancelled();
  }

 private:
  std::shared_ptr<RunChannel> channel_;
  QObject* context_;
  graphics::StressSurfaces& surfaces_;
  std::function<void()> showSingular_;
};

}  // namespace

// ---- RunChannel ----

struct RunChannel::Call {
  std::function<void()> Task;
  bool Done = false;
  bool Abandoned = false;
};

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

RunWorker::Job RunWorker::ExecuteJob(MaterialsCatalogue catalogue, ResultPaths paths) {
  return [catalogue = std::move(catalogue), paths = std::move(paths)](RunSink& sink,
                                                                      RunResults& results) {
    ExecuteRun(results.State, &catalogue, paths, sink, &results.Rows);
  };
}

RunWorker::RunWorker(QWidget* dialogParent, QObject* parent)
    : QObject(parent), dialogParent_(dialogParent) {
  qRegisterMetaType<quillane::ui::RunOutcome>();
  progressTimer_.setInterval(kProgressIntervalMs);
  connect(&progressTimer_, &QTimer::timeout, this,
          [this] { emit ProgressChanged(channel_ ? channel_->Progress() : 0.0); });
}

RunWorker::~RunWorker() {
  CancelAndWait();
}

void RunWorker::ShowSingularMatrix() {
  QMessageBox box(dialogParent_.data());
  box.setIcon(QMessageBox::Warning);
  box.setWindowTitle(QApplication::applicationName());
  box.setText(QStringLiteral("Matrix singular "));
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

bool RunWorker::Start(Job job, RunResults start) {
  if (running_) return false;
  channel_ = std::make_shared<RunChannel>();
  results_ = std::make_unique<RunResults>(std::move(start));
  running_ = true;
  const unsigned generation = ++generation_;
  progressTimer_.start();
  auto sink = std::make_shared<WorkerSink>(channel_, this, results_->Surfaces,
                                           [this] { ShowSingularMatrix(); });
  RunResults* results = results_.get();
  thread_ = std::thread([this, job = std::move(job), sink, results, generation] {
    RunOutcome outcome;
    try {
      job(*sink, *results);
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
  progressTimer_.stop();
  running_ = false;
}

double RunWorker::Progress() const {
  return channel_ ? channel_->Progress() : 0.0;
}

RunResults RunWorker::TakeResults() {
  if (running_ || !results_) return {};
  RunResults taken = std::move(*results_);
  results_.reset();
  return taken;
}

void RunWorker::OnWorkerDone(unsigned generation, const RunOutcome& outcome) {
  // A run waited for by CancelAndWait has been dealt with already.
  if (!running_ || generation != generation_) return;
  if (thread_.joinable()) thread_.join();
  progressTimer_.stop();
  running_ = false;
  emit ProgressChanged(channel_->Progress());
  emit Finished(outcome);
}

}  // namespace quillane::ui
