#pragma once
// A fit of a record off the interface thread, on its own copies of the validated inputs and of
// the record. The worker never touches a widget: the iteration and its cost are kept in atomics
// that a timer reads, a stop flag makes the solver's callback end the fit, and the result (or
// the fault that ended the fit) waits under a lock until the window takes it.

#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "fit/Calibration.h"
#include "fit/CalibrationRecord.h"
#include "model/ModelState.h"

namespace quillane::ui {

class FitWorker : public QObject {
  Q_OBJECT
 public:
  explicit FitWorker(QObject* parent = nullptr);
  ~FitWorker() override;
  FitWorker(const FitWorker&) = delete;
  FitWorker& operator=(const FitWorker&) = delete;

  // Fits `record` from `base` (validated inputs with the picked rows in state.Materials) unless
  // a fit is under way (returns false then).
  bool Start(ModelState base, fit::CalibrationRecord record, fit::FitSettings settings);
  bool IsRunning() const { return running_; }
  // Asks the fit to stop at the solver's next iteration; Finished follows.
  void Cancel();
  // Stops a fit under way and waits for its thread, without reporting (for closing).
  void CancelAndWait();

  // The last iteration reported and its cost (-1 before the first).
  int Iteration() const;
  double Cost() const;
  // The result of the fit that finished, or nothing when it failed (see Fault).
  const std::optional<fit::FitResult>& Result() const { return result_; }
  // Why the fit failed, in English as the library tells it; empty when it did not.
  const std::string& Fault() const { return fault_; }

  static constexpr int kProgressIntervalMs = 100;

 signals:
  void ProgressChanged(int iteration, double cost);
  // The thread has ended; Result or Fault tells how.
  void Finished();

 private:
  // What the thread and the interface share during one fit.
  struct Shared {
    std::atomic<bool> Stop{false};
    std::atomic<int> Iteration{-1};
    std::atomic<double> Cost{0};
    std::mutex Lock;
    std::optional<fit::FitResult> Result;
    std::string Fault;
  };

  void OnThreadDone(unsigned generation);

  QTimer progressTimer_;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  bool running_ = false;
  unsigned generation_ = 0;  // tells a finished fit from an earlier one already waited for
  int reported_ = -1;
  std::optional<fit::FitResult> result_;
  std::string fault_;
};

}  // namespace quillane::ui
