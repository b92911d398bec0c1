#include "model/Errors.h"

namespace quillane {

namespace {
std::string JoinFaults(const std::vector<std::string>& faults) {
  std::string text;
  for (const std::string& fault : faults) {
    if (!text.empty()) text += '\n';
    text += fault;
  }
  return text;
}
}  // namespace

InputError::InputError(std::vector<std::string> faults)
    : std::runtime_error(JoinFaults(faults)), faults_(std::move(faults)) {}

}  // namespace quillane
