// What a run off the interface thread shares with the interface, without a window: a call made
// on the interface thread while the run waits, a cancel that wakes it, and the sink's progress.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "model/Errors.h"
#include "session/Handoff.h"
#include "session/RunChannel.h"

namespace quillane::session {
namespace {

using Task = std::function<void()>;

// The interface thread's queue: what the run posted, once it has posted it.
std::vector<Task> Posted(Handoff<Task>& queue) {
  std::vector<Task> tasks;
  while ((tasks = queue.Take()).empty()) std::this_thread::yield();
  return tasks;
}

TEST(RunChannelTest, ACallWaitsForTheInterfaceAndACancelWakesIt) {
  auto channel = std::make_shared<RunChannel>();
  Handoff<Task> queue;
  const RunChannel::Post post = [&queue](Task task) { queue.Put(std::move(task)); };
  bool ran = false;
  std::thread run([&] { channel->CallOnInterface(post, [&ran] { ran = true; }); });
  Posted(queue)[0]();
  run.join();
  EXPECT_TRUE(ran);

  // Cancelled before the interface ran it: the run stops, and the task is skipped afterwards.
  ran = false;
  bool stopped = false;
  std::thread waiting([&] {
    try {
      channel->CallOnInterface(post, [&ran] { ran = true; });
    } catch (const RunCancelled&) {
      stopped = true;
    }
  });
  const std::vector<Task> late = Posted(queue);
  channel->Cancel();
  waiting.join();
  late[0]();
  EXPECT_TRUE(stopped);
  EXPECT_FALSE(ran);
  // Once cancelled, a call does not wait for the interface at all.
  EXPECT_THROW(channel->CallOnInterface(post, [] {}), RunCancelled);
}

TEST(RunChannelTest, TheSinkTellsTheProgressAndStopsACancelledRun) {
  auto channel = std::make_shared<RunChannel>();
  graphics::StressSurfaces surfaces;
  ChannelSink sink(
      channel, [](Task task) { task(); }, surfaces, [] {});
  EXPECT_TRUE(sink.Progress(0.25));
  EXPECT_EQ(channel->Progress(), 0.25);
  channel->Cancel();
  EXPECT_FALSE(sink.Progress(0.5));
  EXPECT_EQ(channel->Progress(), 0.5);
  ModelState state;
  EXPECT_THROW(sink.Frame(state, StressFrame::Cooling), RunCancelled);
}

}  // namespace
}  // namespace quillane::session
