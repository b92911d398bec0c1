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

#include "graphics/DrawingSurface.h"
#include "graphics/FieldPicture.h"
#include "graphics/StressSurfaces.h"
#include "model/ModelState.h"
#include "model/RunSink.h"
#include "run/ResultRowStore.h"
#include "session/ResultGrid.h"

namespace quillane::session {

// What a run works on and leaves behind: its state, the thermal rows as the results grid shows
// them (after two empty title rows) and the five stress pictures. The results grid's records of
// the runs before are taken out while it runs (`Earlier`): a run that does not end well gives them
// back as they were.
struct RunResults {
  ModelState State;
  ResultRowStore Rows;
  graphics::StressSurfaces Surfaces;
  GridRecords Earlier;
  // Made ready for the windows (ReadyForWindows): the run's records after the earlier ones, what
  // was measured of them, and the thermal field of a whole-deposit run.
  bool Ready = false;
  GridRecords Records;
  graphics::DrawingSurface Field{graphics::kFieldWidthTwips, graphics::kFieldHeightTwips};
  bool FieldDrawn = false;
};

// Makes the results of a run that ended well ready for the windows, which then only take them
// in: the earlier records followed by the run's, the longest cells of each column, and the
// thermal field of a whole-deposit run drawn. Off the interface thread, as it reads every row.
void ReadyForWindows(RunResults& results);

class RunChannel : public std::enable_shared_from_this<RunChannel> {
 public:
  // Hands a task to the interface thread, to be run there later.
  using Post = std::function<void(std::function<void()>)>;

  void Cancel();
  bool Cancelled() const { return cancelled_.load(); }
  void SetProgress(double fraction) { progress_.store(fraction); }
  double Progress() const { return progress_.load(); }
  // The run's files are written: what is left is making its results ready for the windows,
  // which a cancel no longer stops.
  void SetLoading() { loading_.store(true); }
  bool Loading() const { return loading_.load(); }

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
  std::atomic<bool> loading_{false};
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
