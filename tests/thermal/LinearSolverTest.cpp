#include "thermal/LinearSolver.h"

#include <gtest/gtest.h>

namespace quillane {
namespace {

struct System {
  BasedMatrix<double> a;
  BasedArray<double> rhs;
  BasedArray<double> solution;

  explicit System(std::initializer_list<std::initializer_list<double>> rows,
                  std::initializer_list<double> right) {
    const int n = static_cast<int>(right.size());
    a.Redim(n, n);
    rhs.Redim(1, n);
    solution.Redim(1, n);
    int i = 1;
    for (const auto& row : rows) {
      int j = 1;
      for (double value : row) a(i, j++) = value;
      ++i;
    }
    i = 1;
    for (double value : right) rhs(i++) = value;
  }
  bool Solve() { return SolveLinearSystem(a, rhs, solution, rhs.Upper()); }
};

TEST(LinearSolver, SymmetricSystemLeavesItsInverse) {
  System s({{3, -2}, {-2, 3}}, {1, 1});
  ASSERT_TRUE(s.Solve());
  EXPECT_DOUBLE_EQ(s.solution(1), 1);
  EXPECT_DOUBLE_EQ(s.solution(2), 1);
  EXPECT_DOUBLE_EQ(s.a(1, 1), 0.6);
  EXPECT_DOUBLE_EQ(s.a(1, 2), 0.4);
  EXPECT_DOUBLE_EQ(s.a(2, 1), 0.4);
  EXPECT_DOUBLE_EQ(s.a(2, 2), 0.6);
}

TEST(LinearSolver, OffDiagonalPivotSwapsRowsAndRestoresColumns) {
  System s({{1, 4}, {2, 1}}, {5, 3});
  ASSERT_TRUE(s.Solve());
  EXPECT_DOUBLE_EQ(s.solution(1), 1);
  EXPECT_DOUBLE_EQ(s.solution(2), 1);
  EXPECT_NEAR(s.a(1, 1), -1.0 / 7, 1e-15);
  EXPECT_NEAR(s.a(1, 2), 4.0 / 7, 1e-15);
  EXPECT_NEAR(s.a(2, 1), 2.0 / 7, 1e-15);
  EXPECT_NEAR(s.a(2, 2), -1.0 / 7, 1e-15);
}

TEST(LinearSolver, DiagonalMatrixDividesTheRightHandSide) {
  System s({{2, 0, 0}, {0, 8, 0}, {0, 0, 4}}, {1, 2, 3});
  ASSERT_TRUE(s.Solve());
  EXPECT_DOUBLE_EQ(s.solution(1), 0.5);
  EXPECT_DOUBLE_EQ(s.solution(2), 0.25);
  EXPECT_DOUBLE_EQ(s.solution(3), 0.75);
}

TEST(LinearSolver, SingularMatrixIsRefusedAndKeepsTheSolution) {
  for (auto rows : {std::initializer_list<std::initializer_list<double>>{{1, 2}, {1, 2}},
                    std::initializer_list<std::initializer_list<double>>{{0, 0}, {0, 0}}}) {
    System s(rows, {3, 3});
    s.solution(1) = 7;
    s.solution(2) = 8;
    EXPECT_FALSE(s.Solve());
    EXPECT_EQ(s.solution(1), 7);
    EXPECT_EQ(s.solution(2), 8);
  }
}

TEST(LinearSolver, TridiagonalSystemOfEightUnknownsMatchesItsResidual) {
  // The shape the thermal step assembles, at its largest size.
  System s({{3, -1, 0, 0, 0, 0, 0, 0},
            {-1, 3, -1, 0, 0, 0, 0, 0},
            {0, -1, 3, -1, 0, 0, 0, 0},
            {0, 0, -1, 3, -1, 0, 0, 0},
            {0, 0, 0, -1, 3, -1, 0, 0},
            {0, 0, 0, 0, -1, 3, -1, 0},
            {0, 0, 0, 0, 0, -1, 3, -1},
            {0, 0, 0, 0, 0, 0, -1, 3}},
           {500, 600, 700, 800, 900, 1000, 1100, 1200});
  const BasedMatrix<double> original = s.a;
  ASSERT_TRUE(s.Solve());
  for (int i = 1; i <= 8; ++i) {
    double sum = 0;
    for (int j = 1; j <= 8; ++j) sum += original(i, j) * s.solution(j);
    EXPECT_NEAR(sum, s.rhs(i), 1e-9) << "row " << i;
  }
}

}  // namespace
}  // namespace quillane
