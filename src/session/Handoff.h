#pragma once
// What work off the interface thread hands over as it goes, taken by the interface thread in the
// order given: the points of a study, the iterations and the end of a fit, the end of a run.

#include <mutex>
#include <utility>
#include <vector>

namespace quillane::session {

template <typename T>
class Handoff {
 public:
  void Put(T item) {
    const std::lock_guard lock(mutex_);
    items_.push_back(std::move(item));
  }
  // Everything handed over since the last call.
  std::vector<T> Take() {
    std::vector<T> taken;
    const std::lock_guard lock(mutex_);
    taken.swap(items_);
    return taken;
  }

 private:
  std::mutex mutex_;
  std::vector<T> items_;
};

}  // namespace quillane::session
