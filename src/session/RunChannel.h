#pragma once
// What a run off the interface thread and the interface share, without widgets: progress and
// cancelling through atomics, and a call the run makes on the interface thread (the
// singular-matrix box) while it waits; a cancel wakes it. The window says how a task reaches its
// thread.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "graphics/StressSurfaces.h"
#include "model/ModelState.h"
#include "model/RunSink.h"
#include "run/ResultRowStore.h"

namespace quillane::session {

// What a run works on and leaves behind: its state, the thermal rows as the results grid shows
// them (after two empty title rows) and the five stress pictures.
struct RunResults {
  ModelState State;
  ResultRowStore Rows;
  graphics::StressSurfaces Surfaces;
};

class RunChannel : public std::enable_shared_from_this<RunChannel> {
 public:
  // Hands a task to the interface thread, to be run there later.
  using Post = std::function<void(std::function<void()>)>;

  void Cancel();
  bool Cancelled() const { return cancelled_.load(); }
  void SetProgress(double fraction) { progress_.store(fraction); }
  double Progress() const { return progress_.load(); }

  // Worker side: has the interface thread run the task through `post` and waits until it has
  // run. Throws RunCancelled when the run is cancelled before the task ran; the task is then
  // skipped.
  void CallOnInterface(const Post& post, std::function<void()> task);

 private:
  struct Call;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<bool> cancelled_{false};
  std::atomic<double> progress_{0};
};

// The sink of a run off the interface thread: pictures on the run's own surfaces, progress and
// cancel through the channel, and `showSingular` run on the interface thread (through `post`)
// while the run waits.
class ChannelSink : public RunSink {
 public:
  ChannelSink(std::shared_ptr<RunChannel> channel, RunChannel::Post post,
              graphics::StressSurfaces& surfaces, std::function<void()> showSingular);

  void ThermalRow(const ThermalRecord&, bool) override {}
  void SingularMatrix() override;
  void Frame(ModelState& state, StressFrame frame) override;
  bool Progress(double fraction) override;

 private:
  std::shared_ptr<RunChannel> channel_;
  RunChannel::Post post_;
  graphics::StressSurfaces& surfaces_;
  std::function<void()> showSingular_;
};

}  // namespace quillane::session
