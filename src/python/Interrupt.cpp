#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "Bindings.h"

namespace quillane::python {

namespace {
// How often the calling thread looks for a signal: short enough that Ctrl-C feels immediate.
constexpr auto kSignalPoll = std::chrono::milliseconds(50);
}  // namespace

void RunInterruptibly(const std::function<void(std::stop_token)>& work) {
  std::stop_source stop;
  std::exception_ptr failure;
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  // The interpreter's exception raised by a signal handler (KeyboardInterrupt), kept while the
  // work winds down.
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* trace = nullptr;
  {
    const py::gil_scoped_release release;
    std::thread worker([&] {
      try {
        work(stop.get_token());
      } catch (...) {
        failure = std::current_exception();
      }
      const std::lock_guard lock(mutex);
      done = true;
      ended.notify_one();
    });
    std::unique_lock lock(mutex);
    while (!ended.wait_for(lock, kSignalPoll, [&] { return done; })) {
      if (type != nullptr) continue;
      lock.unlock();
      {
        // Signal handlers run in the main thread, when it holds the lock and asks for them.
        const py::gil_scoped_acquire acquire;
        if (PyErr_CheckSignals() != 0) {
          PyErr_Fetch(&type, &value, &trace);
          stop.request_stop();
        }
      }
      lock.lock();
    }
    lock.unlock();
    worker.join();
  }
  if (type != nullptr) {
    PyErr_Restore(type, value, trace);
    throw py::error_already_set();
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace quillane::python
