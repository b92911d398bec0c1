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
    : QObject(parent), dialogParent_(dialogParent), job_(kProgressIntervalMs) {
  qRegisterMetaType<quillane::session::RunOutcome>();
  connect(&job_, &BackgroundJob::Tick, this, [this] { emit ProgressChanged(Progress()); });
  connect(&job_, &BackgroundJob::Finished, this, &RunWorker::OnJobFinished);
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
  if (IsRunning()) return false;
  auto channel = std::make_shared<RunChannel>();
  auto results = std::make_unique<RunResults>(std::move(start));
  auto outcome = std::make_shared<Handoff<session::RunOutcome>>();
  auto sink = std::make_shared<WorkerSink>(channel, this, results->Surfaces,
                                           [this] { ShowSingularMatrix(); });
  RunResults* own = results.get();
  const bool started =
      job_.Start([job = std::move(job), channel, sink, own, outcome](std::stop_token stop) {
        // A stop request wakes a run waiting for the singular-matrix box.
        const std::stop_callback wake(stop, [&channel] { channel->Cancel(); });
        outcome->Put(session::OutcomeOf([&] { job(*sink, *own); }));
      });
  if (!started) return false;
  channel_ = std::move(channel);
  results_ = std::move(results);
  outcome_ = std::move(outcome);
  return true;
}

void RunWorker::Cancel() {
  job_.Cancel();
}

void RunWorker::CancelAndWait() {
  job_.CancelAndWait();
}

double RunWorker::Progress() const {
  return channel_ ? channel_->Progress() : 0.0;
}

RunResults RunWorker::TakeResults() {
  if (IsRunning() || !results_) return {};
  RunResults taken = std::move(*results_);
  results_.reset();
  return taken;
}

void RunWorker::OnJobFinished() {
  std::vector<session::RunOutcome> outcomes = outcome_->Take();
  emit Finished(outcomes.empty() ? session::RunOutcome{} : outcomes.back());
}

}  // namespace quillane::ui
