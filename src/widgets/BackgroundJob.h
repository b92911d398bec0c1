#pragma once
// Work off the interface thread, one job at a time, for every window that starts long work (a
// run, a study, a fit). The work gets a stop token and hands what it finishes to the window
// through a Handoff; the window takes it on each Tick, on its own thread. A job that was waited
// for (closing a window) or replaced never reports: each job has its generation.

#include <QObject>
#include <QTimer>
#include <functional>
#include <stop_token>
#include <thread>

#include "session/Handoff.h"

namespace quillane::ui {

using session::Handoff;

class BackgroundJob : public QObject {
  Q_OBJECT
 public:
  using Work = std::function<void(std::stop_token)>;

  // How often the study and fit windows take in what their work handed over.
  static constexpr int kWindowTickMs = 100;

  // `tickMs`: how often Tick tells the window to take what the work handed over.
  explicit BackgroundJob(int tickMs, QObject* parent = nullptr);
  ~BackgroundJob() override;
  BackgroundJob(const BackgroundJob&) = delete;
  BackgroundJob& operator=(const BackgroundJob&) = delete;

  // Starts the work on its own thread unless a job is under way (returns false then). The work
  // must catch its own faults and hand them over.
  bool Start(Work work);
  bool IsRunning() const { return running_; }
  // Asks the work to stop; Finished follows once it has returned.
  void Cancel();
  // Asks the work to stop and waits for it, without reporting (for closing and quitting).
  void CancelAndWait();

 signals:
  // Every `tickMs` while the job runs, and once more before Finished.
  void Tick();
  // The work has returned; `stopped` when it was asked to stop.
  void Finished(bool stopped);

 private:
  void OnWorkDone(unsigned generation);

  QTimer ticks_;
  std::jthread thread_;
  bool running_ = false;
  unsigned generation_ = 0;
};

}  // namespace quillane::ui
