#include "thermal/LinearSolver.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillane {
namespace {

using Rows = std::vector<std::vector<double>>;

TEST(LinearSolver, SolvesAndLeavesTheInverseOrRefusesASingularSystem) {
  // The tridiagonal shape the thermal step assembles, at its largest size.
  Rows tridiagonal(8, std::vector<double>(8, 0.0));
  for (std::size_t i = 0; i < 8; ++i) {
    tridiagonal[i][i] = 3;
    if (i > 0) tridiagonal[i][i - 1] = tridiagonal[i - 1][i] = -1;
  }
  const struct {
    Rows a;
    std::vector<double> rhs, solution;
    Rows inverse;  // empty: not checked
    bool solvable = true;
  } cases[] = {
      {{{3, -2}, {-2, 3}}, {1, 1}, {1, 1}, {{0.6, 0.4}, {0.4, 0.6}}},
      // An off-diagonal pivot swaps rows, and the columns are restored.
      {{{1, 4}, {2, 1}}, {5, 3}, {1, 1}, {{-1.0 / 7, 4.0 / 7}, {2.0 / 7, -1.0 / 7}}},
      {tridiagonal, {500, 600, 700, 800, 900, 1000, 1100, 1200}, {}, {}},
      // A singular system is refused and keeps the solution it had.
      {{{1, 2}, {1, 2}}, {3, 3}, {7, 7}, {}, false},
      {{{0, 0}, {0, 0}}, {3, 3}, {7, 7}, {}, false},
  };
  for (const auto& c : cases) {
    // The solution starts at 7 everywhere; the matrix is left holding the inverse once solved.
    const int n = static_cast<int>(c.rhs.size());
    BasedMatrix<double> a;
    BasedArray<double> rhs, x;
    a.Redim(n, n);
    rhs.Redim(1, n);
    x.Redim(1, n);
    for (int i = 1; i <= n; ++i) {
      rhs(i) = c.rhs[i - 1];
      x(i) = 7;
      for (int j = 1; j <= n; ++j) a(i, j) = c.a[i - 1][j - 1];
    }
    ASSERT_EQ(SolveLinearSystem(a, rhs, x, n), c.solvable);
    for (int i = 1; i <= n; ++i) {
      double sum = 0;
      for (int j = 1; j <= n; ++j) sum += c.a[i - 1][j - 1] * x(j);
      if (c.solvable) {
        EXPECT_NEAR(sum, c.rhs[i - 1], 1e-9) << "residual of row " << i << " of " << n;
      }
      if (!c.solution.empty()) {
        EXPECT_DOUBLE_EQ(x(i), c.solution[i - 1]) << i << " of " << n;
      }
      for (int j = 1; j <= n && !c.inverse.empty(); ++j) {
        EXPECT_NEAR(a(i, j), c.inverse[i - 1][j - 1], 1e-15) << i << "," << j;
      }
    }
  }
}

}  // namespace
}  // namespace quillane
