#pragma once
// The points of a study run off the interface thread, on the study's own copies of the inputs
// and of the catalogue, on a pool of every core. The worker never touches a widget: the rows
// and the count of finished points are kept under a lock, which a timer reads to report
// progress, and a stop flag cancels. A cancelled study keeps the rows it finished.

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "materials/MaterialsCatalogue.h"
#include "study/StudyFile.h"
#include "study/StudyTable.h"

namespace quillane::ui {

class StudyWorker : public QObject {
  Q_OBJECT
 public:
  explicit StudyWorker(QObject* parent = nullptr);
  ~StudyWorker() override;
  StudyWorker(const StudyWorker&) = delete;
  StudyWorker& operator=(const StudyWorker&) = delete;

  // Runs every point of `points` (one value per varied quantity) unless a study is under way
  // (returns false then). `jobs` threads, 0 for every core.
  bool Start(study::Study study, std::vector<std::vector<double>> points,
             MaterialsCatalogue catalogue, int jobs = 0);
  bool IsRunning() const { return running_; }
  // Asks the study to stop; the points under way are dropped and Finished follows.
  void Cancel();
  // Stops a study under way and waits for its threads, without reporting (for closing).
  void CancelAndWait();

  std::size_t Done() const;
  std::size_t Total() const;
  // The rows so far, one per point (the unfinished ones empty).
  study::StudyRows Rows() const;

  // How often the progress is read.
  static constexpr int kProgressIntervalMs = 100;

 signals:
  void ProgressChanged(std::size_t done, std::size_t total);
  // The threads have ended; `cancelled` when the stop flag ended the study.
  void Finished(bool cancelled);

 private:
  // What the threads and the interface share during one study.
  struct Shared {
    std::atomic<bool> Stop{false};
    mutable std::mutex Lock;
    study::StudyRows Rows;
    std::size_t Done = 0;
  };

  void OnThreadDone(unsigned generation);

  QTimer progressTimer_;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  bool running_ = false;
  unsigned generation_ = 0;  // tells a finished study from an earlier one already waited for
  std::size_t reported_ = 0;
};

}  // namespace quillane::ui
