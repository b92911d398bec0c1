#pragma once
// A run off the interface thread, on its own copy of the model state, the stress pictures and
// a row store. The worker never touches a widget: progress and cancelling go through atomics,
// and only the singular-matrix box is shown on the interface thread while the run waits. The
// window takes the results in when the run ends well; a cancelled or failed run leaves the
// windows as they were.

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"
#include "model/RunSink.h"
#include "run/ResultRowStore.h"
#include "run/RunSimulation.h"
#include "session/RunChannel.h"
#include "session/RunReport.h"
#include "widgets/BackgroundJob.h"

class QWidget;

namespace quillane::ui {

using session::RunResults;

// Runs one simulation at a time on a worker thread, on behalf of the input window.
class RunWorker : public QObject {
  Q_OBJECT
 public:
  // The work done on the worker thread, on the run's own results, reporting through the sink
  // (progress and cancel, the singular-matrix box, the stress pictures).
  using Job = std::function<void(RunSink& sink, RunResults& results)>;

  // The usual job: validates, opens the files, runs, publishes the files. Once a job has ended
  // well, its results are made ready for the windows on the worker thread too
  // (session::ReadyForWindows), so that taking them in costs the interface nothing. The run keeps
  // its own copy of the catalogue, so that materials edited meanwhile do not reach it.
  static Job ExecuteJob(MaterialsCatalogue catalogue, ResultPaths paths);

  // dialogParent receives the singular-matrix box.
  explicit RunWorker(QWidget* dialogParent, QObject* parent = nullptr);
  ~RunWorker() override;
  RunWorker(const RunWorker&) = delete;
  RunWorker& operator=(const RunWorker&) = delete;

  // Starts a run unless one is in progress (returns false then).
  bool Start(Job job, RunResults start);
  bool IsRunning() const { return job_.IsRunning(); }
  // Asks the run to stop; Finished follows with a cancelled outcome.
  void Cancel();
  // Cancels a run in progress and waits for its thread, without reporting (for quitting).
  void CancelAndWait();
  // Whether Loading was raised for the run under way.
  bool IsLoading() const { return loadingTold_; }
  // Fraction of the run done, 0 to 1.
  double Progress() const;
  // After Finished: what the run left (for a completed run, its results).
  RunResults TakeResults();

  // How often the progress is shown.
  static constexpr int kProgressIntervalMs = 60;

 signals:
  // The thread has ended; TakeResults gives what it left.
  void Finished(const quillane::session::RunOutcome& outcome);
  void ProgressChanged(double fraction);
  // The job has ended well and its results are being made ready for the windows: a cancel no
  // longer stops anything.
  void Loading();

 private:
  void OnJobFinished();
  // Raises Loading once the run's files are written.
  void TellLoading();
  void ShowSingularMatrix();

  QPointer<QWidget> dialogParent_;
  BackgroundJob job_;
  std::shared_ptr<session::RunChannel> channel_;
  std::unique_ptr<RunResults> results_;
  bool loadingTold_ = false;
  std::shared_ptr<Handoff<session::RunOutcome>> outcome_;
};

}  // namespace quillane::ui

Q_DECLARE_METATYPE(quillane::session::RunOutcome)
