#include "ui/StudyWorker.h"

#include <numeric>

#include "study/StudyRunner.h"

namespace quillane::ui {

StudyWorker::StudyWorker(QObject* parent) : QObject(parent) {
  progressTimer_.setInterval(kProgressIntervalMs);
  connect(&progressTimer_, &QTimer::timeout, this, [this] {
    const std::size_t done = Done();
    if (done == reported_) return;
    reported_ = done;
    emit ProgressChanged(done, Total());
  });
}

StudyWorker::~StudyWorker() {
  CancelAndWait();
}

bool StudyWorker::Start(study::Study study, std::vector<std::vector<double>> points,
                        MaterialsCatalogue catalogue, int jobs) {
  if (running_) return false;
  shared_ = std::make_shared<Shared>();
  shared_->Rows.resize(points.size());
  running_ = true;
  reported_ = 0;
  const unsigned generation = ++generation_;
  progressTimer_.start();
  thread_ =
      std::thread([this, shared = shared_, study = std::move(study), points = std::move(points),
                   catalogue = std::move(catalogue), jobs, generation] {
        std::vector<std::size_t> todo(points.size());
        std::iota(todo.begin(), todo.end(), std::size_t{0});
        study::StudyOptions options;
        options.Jobs = jobs;
        study::RunPoints(
            study, points, todo, catalogue, options,
            [&shared](std::size_t index, const study::PointResult& result) {
              const std::lock_guard lock(shared->Lock);
              shared->Rows[index] = result;
              ++shared->Done;
            },
            shared->Stop);
        QMetaObject::invokeMethod(
            this, [this, generation] { OnThreadDone(generation); }, Qt::QueuedConnection);
      });
  return true;
}

void StudyWorker::Cancel() {
  if (running_ && shared_) shared_->Stop.store(true);
}

void StudyWorker::CancelAndWait() {
  if (!running_) return;
  shared_->Stop.store(true);
  if (thread_.joinable()) thread_.join();
  progressTimer_.stop();
  running_ = false;
}

std::size_t StudyWorker::Done() const {
  if (!shared_) return 0;
  const std::lock_guard lock(shared_->Lock);
  return shared_->Done;
}

std::size_t StudyWorker::Total() const {
  return shared_ ? shared_->Rows.size() : 0;
}

study::StudyRows StudyWorker::Rows() const {
  if (!shared_) return {};
  const std::lock_guard lock(shared_->Lock);
  return shared_->Rows;
}

void StudyWorker::OnThreadDone(unsigned generation) {
  // A study waited for by CancelAndWait has been dealt with already.
  if (!running_ || generation != generation_) return;
  if (thread_.joinable()) thread_.join();
  progressTimer_.stop();
  running_ = false;
  reported_ = Done();
  emit ProgressChanged(reported_, Total());
  emit Finished(shared_->Stop.load() && reported_ < Total());
}

}  // namespace quillane::ui
