#include "thermal/LinearSolver.h"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace quillane {

bool SolveLinearSystem(BasedMatrix<double>& matrix, const BasedArray<double>& rhs,
                       BasedArray<double>& solution, int n) {
  if (n < 1 || n > kMaxUnknowns) throw std::invalid_argument("linear system size out of range");
  // The system is worked on in fixed local storage indexed from 1 like the matrix, and the
  // matrix is written back at the end (the inverse it leaves is part of the result).
  constexpr int kSize = kMaxUnknowns + 1;
  double a[kSize][kSize];
  double b[kSize];
  int pivotRow[kSize] = {};
  int pivotCol[kSize] = {};
  int pivotCount[kSize] = {};
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) a[i][j] = matrix(i, j);
    b[i] = rhs(i);
  }
  const auto finish = [&](bool solved) {
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= n; ++j) matrix(i, j) = a[i][j];
    }
    if (!solved) return false;
    for (int i = 1; i <= n; ++i) solution(i) = b[i];
    return true;
  };

  int row = 0;
  int col = 0;
  for (int i = 1; i <= n; ++i) {
    // A column used twice means a singular matrix, whichever element the search meets first.
    int free[kSize];
    int freeCount = 0;
    for (int k = 1; k <= n; ++k) {
      if (pivotCount[k] > 1) return finish(false);
      if (pivotCount[k] == 0) free[freeCount++] = k;
    }
    // Rows and, within a row, columns in increasing order: a tie keeps the first element met.
    double big = 0;
    for (int j = 1; j <= n; ++j) {
      if (pivotCount[j] == 1) continue;
      for (int f = 0; f < freeCount; ++f) {
        const int k = free[f];
        if (std::fabs(a[j][k]) > big) {
          big = std::fabs(a[j][k]);
          row = j;
          col = k;
        }
      }
    }
    // Nothing eligible in the first stage: there is no pivot at all.
    if (col == 0) return finish(false);
    ++pivotCount[col];
    pivotRow[i] = row;
    pivotCol[i] = col;
    if (row != col) {
      for (int l = 1; l <= n; ++l) std::swap(a[row][l], a[col][l]);
      std::swap(b[row], b[col]);
    }
    const double pivot = a[col][col];
    if (pivot == 0) return finish(false);
    a[col][col] = 1;
    for (int l = 1; l <= n; ++l) a[col][l] = a[col][l] / pivot;
    b[col] = b[col] / pivot;
    for (int r = 1; r <= n; ++r) {
      if (r == col) continue;
      const double d = a[r][col];
      // A zero multiplier leaves the row as it is (the thermal matrix is tridiagonal, so most
      // are zero); only the sign of a zero element could differ, which no result depends on.
      if (d == 0) continue;
      a[r][col] = 0;
      for (int l = 1; l <= n; ++l) a[r][l] = a[r][l] - a[col][l] * d;
      b[r] = b[r] - b[col] * d;
    }
  }
  for (int l = n; l >= 1; --l) {
    if (pivotRow[l] != pivotCol[l]) {
      for (int k = 1; k <= n; ++k) std::swap(a[k][pivotRow[l]], a[k][pivotCol[l]]);
    }
  }
  for (int i = 1; i <= n; ++i) {
    if (pivotCount[i] != 1) return finish(false);
  }
  return finish(true);
}

}  // namespace quillane
