#include "thermal/LinearSolver.h"

#include <array>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace quillane {

bool SolveLinearSystem(BasedMatrix<double>& a, const BasedArray<double>& rhs,
                       BasedArray<double>& solution, int n,
                       const std::function<void()>& reportSingular) {
  if (n < 1 || n > kMaxUnknowns) throw std::invalid_argument("linear system size out of range");
  // Working storage indexed from 1 like the matrix; the right-hand side is a one-column B.
  std::array<double, kMaxUnknowns + 1> b{};
  std::array<int, kMaxUnknowns + 1> pivotRow{};
  std::array<int, kMaxUnknowns + 1> pivotCol{};
  std::array<int, kMaxUnknowns + 1> pivotCount{};
  const auto singular = [&] {
    reportSingular();
    return false;
  };

  for (int i = 1; i <= n; ++i) b[i] = rhs(i);
  int row = 0;
  int col = 0;
  for (int i = 1; i <= n; ++i) {
    double big = 0;
    for (int j = 1; j <= n; ++j) {
      if (pivotCount[j] == 1) continue;
      for (int k = 1; k <= n; ++k) {
        if (pivotCount[k] > 1) return singular();
        if (pivotCount[k] == 0 && std::fabs(a(j, k)) > big) {
          big = std::fabs(a(j, k));
          row = j;
          col = k;
        }
      }
    }
    // Nothing eligible in the first stage: there is no pivot at all.
    if (col == 0) return singular();
    ++pivotCount[col];
    pivotRow[i] = row;
    pivotCol[i] = col;
    if (row != col) {
      for (int l = 1; l <= n; ++l) std::swap(a(row, l), a(col, l));
      std::swap(b[row], b[col]);
    }
    const double pivot = a(col, col);
    if (pivot == 0) return singular();
    a(col, col) = 1;
    for (int l = 1; l <= n; ++l) a(col, l) = a(col, l) / pivot;
    b[col] = b[col] / pivot;
    for (int r = 1; r <= n; ++r) {
      if (r == col) continue;
      const double d = a(r, col);
      a(r, col) = 0;
      for (int l = 1; l <= n; ++l) a(r, l) = a(r, l) - a(col, l) * d;
      b[r] = b[r] - b[col] * d;
    }
  }
  for (int l = n; l >= 1; --l) {
    if (pivotRow[l] != pivotCol[l]) {
      for (int k = 1; k <= n; ++k) std::swap(a(k, pivotRow[l]), a(k, pivotCol[l]));
    }
  }
  for (int i = 1; i <= n; ++i) {
    if (pivotCount[i] != 1) return singular();
  }
  for (int i = 1; i <= n; ++i) solution(i) = b[i];
  return true;
}

}  // namespace quillane
