#include "thermal/LinearSolver.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillane {
namespace {

using Rows = std::vector<std::vector<double>>;

struct Solved {
  bool solved;
  BasedMatrix<double> a;  // the inverse once solved
  BasedArray<double> x;
};

// Solves a x = rhs, x holding `start` everywhere before.
Solved Solve(const Rows& rows, const std::vector<double>& right, double start = 0) {
  const int n = static_cast<int>(right.size());
  Solved s{false, {}, {}};
  BasedArray<double> rhs;
  s.a.Redim(n, n);
  rhs.Redim(1, n);
  s.x.Redim(1, n);
  for (int i = 1; i <= n; ++i) {
    rhs(i) = right[i - 1];
    s.x(i) = start;
    for (int j = 1; j <= n; ++j) s.a(i, j) = rows[i - 1][j - 1];
  }
  s.solved = SolveLinearSystem(s.a, rhs, s.x, n);
  return s;
}

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
      {{{2, 0, 0}, {0, 8, 0}, {0, 0, 4}}, {1, 2, 3}, {0.5, 0.25, 0.75}, {}},
      {tridiagonal, {500, 600, 700, 800, 900, 1000, 1100, 1200}, {}, {}},
      // A singular system is refused and keeps the solution it had.
      {{{1, 2}, {1, 2}}, {3, 3}, {7, 7}, {}, false},
      {{{0, 0}, {0, 0}}, {3, 3}, {7, 7}, {}, false},
  };
  for (const auto& c : cases) {
    const Solved s = Solve(c.a, c.rhs, 7);
    ASSERT_EQ(s.solved, c.solvable);
    const int n = static_cast<int>(c.rhs.size());
    for (int i = 1; i <= n; ++i) {
      double sum = 0;
      for (int j = 1; j <= n; ++j) sum += c.a[i - 1][j - 1] * s.x(j);
      if (c.solvable) {
        EXPECT_NEAR(sum, c.rhs[i - 1], 1e-9) << "residual of row " << i << " of " << n;
      }
      if (!c.solution.empty()) {
        EXPECT_DOUBLE_EQ(s.x(i), c.solution[i - 1]) << i << " of " << n;
      }
      for (int j = 1; j <= n && !c.inverse.empty(); ++j) {
        EXPECT_NEAR(s.a(i, j), c.inverse[i - 1][j - 1], 1e-15) << i << "," << j;
      }
    }
  }
}

}  // namespace
}  // namespace quillane
