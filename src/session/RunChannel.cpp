#include "session/RunChannel.h"

#include <algorithm>
#include <string>

#include "model/Errors.h"

namespace quillane::session {

void ReadyForWindows(RunResults& results) {
  constexpr int kTitleRows = 2;
  const int newest = results.Earlier.Rows.RowCount();
  GridRecords& records = results.Records;
  records = std::move(results.Earlier);
  results.Earlier = {};
  if (newest > kTitleRows) {
    // A run's records follow those of the runs before, as the grid shows them.
    std::string text;
    for (int row = kTitleRows; row < results.Rows.RowCount(); ++row) {
      results.Rows.RowText(row, text);
      records.Rows.AppendRow(text);
    }
    results.Rows = ResultRowStore();
  } else {
    records.Rows = std::move(results.Rows);
    records.Longest.clear();
  }
  Widen(records.Longest,
        LongestCells(records.Rows, std::max(newest, kTitleRows), records.Rows.RowCount() - 1));
  results.FieldDrawn = results.State.Model == StressModelKind::WholeDeposit &&
                       !results.State.Field.Picture.Times.empty();
  if (results.FieldDrawn) graphics::DrawThermalField(results.State, results.Field);
  results.Ready = true;
}

struct RunChannel::Call {
  std::function<void()> Task;
  bool Done = false;
  bool Abandoned = false;
};

void RunChannel::Cancel() {
  {
    // Under the lock, so that a worker about to wait cannot miss the wake-up.
    std::lock_guard lock(mutex_);
    cancelled_.store(true);
  }
  changed_.notify_all();
}

void RunChannel::CallOnInterface(const Post& post, std::function<void()> task) {
  auto call = std::make_shared<Call>();
  call->Task = std::move(task);
  std::shared_ptr<RunChannel> self = shared_from_this();
  post([self, call] {
    {
      std::lock_guard lock(self->mutex_);
      if (call->Abandoned) return;
    }
    call->Task();
    {
      std::lock_guard lock(self->mutex_);
      call->Done = true;
    }
    self->changed_.notify_all();
  });
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this, &call] { return call->Done || cancelled_.load(); });
  if (!call->Done) {
    call->Abandoned = true;
    throw RunCancelled();
  }
}

ChannelSink::ChannelSink(std::shared_ptr<RunChannel> channel, RunChannel::Post post,
                         graphics::StressSurfaces& surfaces, std::function<void()> showSingular)
    : channel_(std::move(channel)),
      post_(std::move(post)),
      surfaces_(surfaces),
      showSingular_(std::move(showSingular)) {}

// The box is modal on the interface thread; the run waits for it to be closed.
void ChannelSink::SingularMatrix() {
  channel_->CallOnInterface(post_, showSingular_);
}

void ChannelSink::Frame(ModelState& state, StressFrame frame) {
  if (channel_->Cancelled()) throw RunCancelled();
  graphics::DrawRunFrame(state, surfaces_, frame);
}

bool ChannelSink::Progress(double fraction) {
  channel_->SetProgress(fraction);
  return !channel_->Cancelled();
}

}  // namespace quillane::session
