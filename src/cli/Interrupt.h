#pragma once
// Ctrl-C during a long job (a study, a fit) asks it to stop, so that it can keep what it has.

#include <atomic>
#include <csignal>
#include <functional>
#include <stop_token>
#include <thread>

namespace quillane::cli {

// Turns Ctrl-C (and SIGTERM) into a request to stop while it lives: the signals are blocked in
// this thread and in the threads it starts, and a watcher thread waits for them.
class StopOnInterrupt {
 public:
  // The request goes to `stop`'s tokens.
  explicit StopOnInterrupt(std::stop_source stop);
  // The request sets `stop`, for a job that polls a flag.
  explicit StopOnInterrupt(std::atomic<bool>& stop);
  ~StopOnInterrupt();
  StopOnInterrupt(const StopOnInterrupt&) = delete;
  StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

 private:
  // Blocks the signals and starts the watcher.
  void Watch();

  std::function<void()> request_;
  std::atomic<bool> finished_{false};
  sigset_t signals_{};
  sigset_t previous_{};
  std::thread watcher_;
};

}  // namespace quillane::cli
