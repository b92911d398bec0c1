#pragma once
#include <stdexcept>
#include <string>
#include <vector>

namespace quillane {

// A file could not be created, written, closed or renamed; the message names the path.
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The inputs of a run are not usable; one message per fault, each naming the field and its
// allowed range. Nothing has been opened when this is raised.
class InputError : public std::runtime_error {
 public:
  explicit InputError(std::vector<std::string> faults);
  const std::vector<std::string>& Faults() const { return faults_; }

 private:
  std::vector<std::string> faults_;
};

// The host asked the run to stop; no result file has been changed.
class RunCancelled : public std::runtime_error {
 public:
  RunCancelled() : std::runtime_error("The run was cancelled.") {}
};

}  // namespace quillane
