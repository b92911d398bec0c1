#pragma once
// Ctrl-C during a long job (a study, a fit) asks it to stop, so that it can keep what it has.

#include <atomic>
#include <csignal>
#include <thread>

namespace quillane::cli {

// Turns Ctrl-C (and SIGTERM) into a request to stop while it lives: the signals are blocked in
// this thread and in the threads it starts, and a watcher thread waits for them.
class StopOnInterrupt {
 public:
  explicit StopOnInterrupt(std::atomic<bool>& stop);
  ~StopOnInterrupt();
  StopOnInterrupt(const StopOnInterrupt&) = delete;
  StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

 private:
  std::atomic<bool>& stop_;
  std::atomic<bool> finished_{false};
  sigset_t signals_{};
  sigset_t previous_{};
  std::thread watcher_;
};

}  // namespace quillane::cli
