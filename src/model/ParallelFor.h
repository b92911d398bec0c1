#pragma once
// One way to spread independent pieces of work over threads: the points of a study, the model
// runs of a fit's finite differences. Each index runs once, on whichever thread takes it next;
// a stop request ends the loop before the next index is taken (the pieces under way finish).

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace quillane {

// The threads to use for `count` pieces when `jobs` are asked for (0 or less: every core).
inline unsigned ThreadCount(int jobs, std::size_t count) {
  const unsigned asked =
      jobs > 0 ? static_cast<unsigned>(jobs) : std::max(1u, std::thread::hardware_concurrency());
  return static_cast<unsigned>(std::clamp<std::size_t>(count, 1, asked));
}

// Calls body(i) for every i below `count` on up to `jobs` threads, the caller's among them.
// The first exception a body throws stops the loop and is rethrown here once every thread has
// ended. Returns false when `stop` ended the loop before every index ran.
template <typename Body>
bool ParallelFor(std::size_t count, int jobs, Body&& body, std::stop_token stop = {}) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr fault;
  std::mutex faultLock;
  const auto work = [&] {
    for (;;) {
      if (stop.stop_requested() || failed.load()) return;
      const std::size_t index = next.fetch_add(1);
      if (index >= count) return;
      try {
        body(index);
      } catch (...) {
        const std::lock_guard lock(faultLock);
        if (!fault) fault = std::current_exception();
        failed.store(true);
        return;
      }
    }
  };
  {
    std::vector<std::jthread> pool;
    const unsigned threads = ThreadCount(jobs, count);
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
  }  // the pool joins here
  if (fault) std::rethrow_exception(fault);
  return next.load() >= count;
}

}  // namespace quillane
