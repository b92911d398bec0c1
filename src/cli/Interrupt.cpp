#include "cli/Interrupt.h"

namespace quillane::cli {

StopOnInterrupt::StopOnInterrupt(std::stop_source stop)
    : request_([stop]() mutable { stop.request_stop(); }) {
  Watch();
}

StopOnInterrupt::StopOnInterrupt(std::atomic<bool>& stop)
    : request_([&stop] { stop.store(true); }) {
  Watch();
}

void StopOnInterrupt::Watch() {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
  watcher_ = std::thread([this] {
    const timespec wait{0, 100'000'000};
    while (!finished_.load()) {
      if (sigtimedwait(&signals_, nullptr, &wait) > 0) request_();
    }
  });
}

StopOnInterrupt::~StopOnInterrupt() {
  finished_.store(true);
  watcher_.join();
  // A signal that came after the watcher's last look is taken here too: unblocked, it would
  // kill a program whose job has just ended well (its files published) as if it had stopped.
  const timespec now{0, 0};
  while (sigtimedwait(&signals_, nullptr, &now) > 0) request_();
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace quillane::cli
