#include "model/Deposit.h"

#include <algorithm>
#include <cmath>

namespace quillane {

int LamellaePerPass(const InputParameters& in) {
  const double ratio = in.PassThickness / in.LamellaThickness;
  if (ModelOf(in) != StressModelKind::WholeDeposit) return static_cast<int>(std::floor(ratio)) + 1;
  // std::round takes halves away from zero.
  return std::max(1, static_cast<int>(std::round(ratio)));
}

double LaidLamellaThickness(const InputParameters& in) {
  if (ModelOf(in) != StressModelKind::WholeDeposit) return in.LamellaThickness;
  return in.PassThickness / LamellaePerPass(in);
}

}  // namespace quillane
