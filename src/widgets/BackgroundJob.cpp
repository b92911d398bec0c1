#include "widgets/BackgroundJob.h"

namespace quillane::ui {

BackgroundJob::BackgroundJob(int tickMs, QObject* parent) : QObject(parent) {
  ticks_.setInterval(tickMs);
  connect(&ticks_, &QTimer::timeout, this, &BackgroundJob::Tick);
}

BackgroundJob::~BackgroundJob() {
  CancelAndWait();
}

bool BackgroundJob::Start(Work work) {
  if (running_) return false;
  if (thread_.joinable()) thread_.join();
  running_ = true;
  const unsigned generation = ++generation_;
  ticks_.start();
  thread_ = std::jthread([this, work = std::move(work), generation](std::stop_token stop) {
    work(stop);
    QMetaObject::invokeMethod(
        this, [this, generation] { OnWorkDone(generation); }, Qt::QueuedConnection);
  });
  return true;
}

void BackgroundJob::Cancel() {
  if (running_) thread_.request_stop();
}

void BackgroundJob::CancelAndWait() {
  if (!running_) return;
  thread_.request_stop();
  thread_.join();
  ticks_.stop();
  running_ = false;
}

void BackgroundJob::OnWorkDone(unsigned generation) {
  // A job waited for by CancelAndWait has been dealt with already.
  if (!running_ || generation != generation_) return;
  const bool stopped = thread_.get_stop_token().stop_requested();
  thread_.join();
  ticks_.stop();
  running_ = false;
  emit Tick();
  emit Finished(stopped);
}

}  // namespace quillane::ui
