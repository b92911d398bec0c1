// The build-up keeps its sums over the lamellae from one lamella to the next. Summing every
// term again from the first lamella, in the same order, must give the same bits.

#include <gtest/gtest.h>

#include "StressArrays.h"
#include "stress/BuildUpStress.h"

namespace quillane {
namespace {

TEST(IncrementalSums, MatchTheSumsFromTheFirstLamellaBitForBit) {
  ModelState state;
  const int n = 9;
  state.Clock.LamellaCount = n + 1;  // no table written: the last lamella is never reached
  test::SizeStressArrays(state.Stress, n + 1);
  StressResults& s = state.Stress;
  const double h = 0.0013, w = 3.7e-6, b = 0.021, es = 211e9 / 0.7, ed = 73e9 / 0.77;
  s.SubstrateThickness = h;
  s.LamellaThicknessCopy = w;
  s.StressWidth = b;
  s.SubstrateBiaxialModulus = es;
  s.CoatingBiaxialModulus = ed;
  s.StressScale = 1e-9;
  s.Curvature(0) = -0.37;
  s.NeutralAxisPosition(0) = -h / 2;
  state.Stack.LastSigmaQ = 87.3e6;
  state.Input.SpecimenLength = 0.07;

  for (int k = 1; k <= n; ++k) {
    state.Clock.LamellaIndex = k;
    ComputeBuildUpStress(state);
    const auto dk = [&](int j) { return s.Curvature(j) - s.Curvature(j - 1); };
    double back = 0, front = 0;
    for (int j = 1; j <= k; ++j) {
      const double u = -es * s.LamellaForce(j) / (b * (h * es + (j - 1) * w * ed));
      back += u + es * dk(j) * (h + s.NeutralAxisPosition(j));
      front += u + es * dk(j) * s.NeutralAxisPosition(j);
    }
    EXPECT_EQ(s.SubstrateStressBack(k), back) << "lamella " << k;
    EXPECT_EQ(s.SubstrateStressFront(k), front) << "lamella " << k;
    for (int i = 1; i <= k; ++i) {
      double stress =
          s.LamellaForce(i) / (b * w) - ed * dk(i) * ((i - 0.5) * w - s.NeutralAxisPosition(i));
      for (int j = i + 1; j <= k; ++j) {
        stress += -ed * s.LamellaForce(j) / (b * (h * es + (j - 1) * w * ed)) -
                  ed * dk(j) * ((i - 0.5) * w - s.NeutralAxisPosition(j));
      }
      EXPECT_EQ(s.LamellaStress(i), stress) << "lamella " << i << " after " << k;
    }
  }
}

}  // namespace
}  // namespace quillane
