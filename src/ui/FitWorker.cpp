#include "ui/FitWorker.h"

#include <exception>

namespace quillane::ui {

FitWorker::FitWorker(QObject* parent) : QObject(parent) {
  progressTimer_.setInterval(kProgressIntervalMs);
  connect(&progressTimer_, &QTimer::timeout, this, [this] {
    const int iteration = Iteration();
    if (iteration == reported_) return;
    reported_ = iteration;
    emit ProgressChanged(iteration, Cost());
  });
}

FitWorker::~FitWorker() {
  CancelAndWait();
}

bool FitWorker::Start(ModelState base, fit::CalibrationRecord record, fit::FitSettings settings) {
  if (running_) return false;
  shared_ = std::make_shared<Shared>();
  running_ = true;
  reported_ = -1;
  result_.reset();
  fault_.clear();
  const unsigned generation = ++generation_;
  progressTimer_.start();
  thread_ = std::thread([this, shared = shared_, base = std::move(base), record = std::move(record),
                         settings = std::move(settings), generation] {
    std::optional<fit::FitResult> result;
    std::string fault;
    try {
      result = fit::FitRecord(base, record, settings, [&shared](int iteration, double cost) {
        shared->Cost.store(cost);
        shared->Iteration.store(iteration);
        return !shared->Stop.load();
      });
    } catch (const std::exception& error) {
      fault = error.what();
    }
    {
      const std::lock_guard lock(shared->Lock);
      shared->Result = std::move(result);
      shared->Fault = std::move(fault);
    }
    QMetaObject::invokeMethod(
        this, [this, generation] { OnThreadDone(generation); }, Qt::QueuedConnection);
  });
  return true;
}

void FitWorker::Cancel() {
  if (running_ && shared_) shared_->Stop.store(true);
}

void FitWorker::CancelAndWait() {
  if (!running_) return;
  shared_->Stop.store(true);
  if (thread_.joinable()) thread_.join();
  progressTimer_.stop();
  running_ = false;
}

int FitWorker::Iteration() const {
  return shared_ ? shared_->Iteration.load() : -1;
}

double FitWorker::Cost() const {
  return shared_ ? shared_->Cost.load() : 0;
}

void FitWorker::OnThreadDone(unsigned generation) {
  // A fit waited for by CancelAndWait has been dealt with already.
  if (!running_ || generation != generation_) return;
  if (thread_.joinable()) thread_.join();
  progressTimer_.stop();
  running_ = false;
  {
    const std::lock_guard lock(shared_->Lock);
    result_ = std::move(shared_->Result);
    fault_ = std::move(shared_->Fault);
  }
  emit Finished();
}

}  // namespace quillane::ui
