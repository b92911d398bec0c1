#include "widgets/RunWorker.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace quillane::ui {

RunWorker::Job RunWorker::ExecuteJob(MaterialsCatalogue catalogue, ResultPaths paths) {
  return [catalogue = std::move(catalogue), paths = std::move(paths)](RunSink& sink,
                                                                      RunResults& results) {
    ExecuteRun(results.State, &catalogue, paths, sink, &results.Rows);
  };
}

RunWorker::RunWorker(QWidget* dialogParent, QObject* parent)
    : QObject(parent), dialogParent_(dialogParent), job_(kProgressIntervalMs) {
  qRegisterMetaType<quillane::session::RunOutcome>();
  connect(&job_, &BackgroundJob::Tick, this, [this] {
    emit ProgressChanged(Progress());
    TellLoading();
  });
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
  auto channel = std::make_shared<session::RunChannel>();
  auto results = std::make_unique<RunResults>(std::move(start));
  auto outcome = std::make_shared<Handoff<session::RunOutcome>>();
  // The singular-matrix box is shown on the interface thread, through this object's queue.
  const auto post = [this](std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
  };
  auto sink = std::make_shared<session::ChannelSink>(channel, post, results->Surfaces,
                                                     [this] { ShowSingularMatrix(); });
  RunResults* own = results.get();
  const bool started =
      job_.Start([job = std::move(job), channel, sink, own, outcome](std::stop_token stop) {
        // A stop request wakes a run waiting for the singular-matrix box.
        const std::stop_callback wake(stop, [&channel] { channel->Cancel(); });
        outcome->Put(session::OutcomeOf([&] {
          job(*sink, *own);
          // The files are written; the results are made ready for the windows here, off the
          // interface thread.
          channel->SetLoading();
          session::ReadyForWindows(*own);
        }));
      });
  if (!started) return false;
  channel_ = std::move(channel);
  loadingTold_ = false;
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

void RunWorker::TellLoading() {
  if (loadingTold_ || !channel_ || !channel_->Loading()) return;
  loadingTold_ = true;
  emit Loading();
}

void RunWorker::OnJobFinished() {
  // Told even when the results were ready before the next tick, so that a run that ended well
  // always passes through it.
  TellLoading();
  std::vector<session::RunOutcome> outcomes = outcome_->Take();
  emit Finished(outcomes.empty() ? session::RunOutcome{} : outcomes.back());
}

}  // namespace quillane::ui
