#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "ModelFixture.h"
#include "StressArrays.h"
#include "stress/BuildUpStress.h"
#include "stress/FinalCooling.h"
#include "stress/StressDriver.h"

namespace quillane {
namespace {

// A specimen set up by hand: substrate h, lamellae w, biaxial moduli from Young's moduli with a
// Poisson ratio of 0, quenching stress sigmaQ, cooling from tm to te.
struct Specimen {
  int n = 4;
  double h = 0.002, w = 1e-6, es = 200e9, ed = 100e9, sigmaQ = 1e8, curvature0 = 0;
  double alphaS = 16e-6, alphaD = 12e-6, tm = 1700, te = 600;
};

class StressModelTest : public test::ModelFixture {
 protected:
  void Prepare(const Specimen& c) {
    state.Clock.LamellaCount = c.n;
    test::SizeStressArrays(state.Stress, c.n);
    state.Stress.SubstrateThickness = c.h;
    state.Stress.StressWidth = 0.02;
    state.Stress.LamellaThicknessCopy = c.w;
    state.Stress.Curvature(0) = c.curvature0;
    state.Stack.SubstrateYoung = c.es;
    state.Stack.SubstratePoisson = 0;
    state.Stack.CoatingYoung = c.ed;
    state.Stack.CoatingPoisson = 0;
    state.Stack.LastSigmaQ = c.sigmaQ;
    state.Stack.SubstrateExpansion = c.alphaS;
    state.Stack.CoatingExpansion = c.alphaD;
    state.Stack.MeltingPoint = c.tm;
    state.Clock.PassEndSurfaceTemperature = c.te;
  }
  void Run(const Specimen& c) {
    Prepare(c);
    RunStressModel(state, sink);
  }
  // Net in-plane force and moment (about the interface) per unit width, after lamella k at
  // curvature `curvature`: the substrate's profile is linear; each lamella's is linear too, with
  // the mid-plane stress and a slope -Ed (κ - κ before its arrival), so the integrals are exact.
  std::pair<double, double> Net(double back, double front, const BasedArray<double>& lamellae,
                                int k, double curvature) {
    const double h = state.Stress.SubstrateThickness;
    const double w = state.Stress.LamellaThicknessCopy;
    double force = h * (back + front) / 2;
    double moment = -h * h * (front / 6 + back / 3);
    for (int i = 1; i <= k; ++i) {
      const double slope = -state.Stack.CoatingYoung * (curvature - state.Stress.Curvature(i - 1));
      force += w * lamellae(i);
      moment += w * lamellae(i) * (i - 0.5) * w + slope * w * w * w / 12;
    }
    return {force, moment};
  }
};

TEST_F(StressModelTest, EveryStateBalancesItsForcesAndMoments) {
  Specimen c;
  c.n = 6;
  c.curvature0 = 0.3;
  Prepare(c);
  const StressResults& s = state.Stress;
  state.Stress.NeutralAxisPosition(0) = -c.h / 2;
  const double scale = c.sigmaQ * c.n * c.w;
  for (int k = 1; k <= c.n; ++k) {
    state.Clock.LamellaIndex = k;
    state.Stress.StressScale = 1e-9;
    state.Stress.SubstrateBiaxialModulus = c.es;
    state.Stress.CoatingBiaxialModulus = c.ed;
    ComputeBuildUpStress(state);
    const auto [force, moment] = Net(s.SubstrateStressBack(k), s.SubstrateStressFront(k),
                                     s.LamellaStress, k, s.Curvature(k));
    EXPECT_NEAR(force, 0, 1e-9 * scale) << "after lamella " << k;
    EXPECT_NEAR(moment, 0, 1e-9 * scale * c.h) << "after lamella " << k;
  }
  ComputeFinalCooling(state);
  const auto [force, moment] = Net(s.SubstrateStressBackFinal, s.SubstrateStressFrontFinal,
                                   s.LamellaStressFinal, c.n, s.FinalCurvature);
  EXPECT_NEAR(force, 0, 1e-9 * scale) << "after cooling";
  EXPECT_NEAR(moment, 0, 1e-9 * scale * c.h) << "after cooling";
  EXPECT_EQ(state.Clock.LamellaIndex, c.n + 1);
}

TEST_F(StressModelTest, ThinDepositOnEqualModuliFollowsStoney) {
  Specimen c;
  c.n = 20;
  c.ed = c.es;
  Run(c);
  const double t = c.n * c.w;
  const double stoney = 6 * c.sigmaQ * t / (c.es * c.h * c.h);
  EXPECT_NEAR(state.Stress.Curvature(c.n), stoney, 0.03 * stoney);
}

TEST_F(StressModelTest, CoolingCurvatureIsTheBilayerValue) {
  Specimen c;
  c.n = 50;
  c.w = 2e-5;  // a 1 mm deposit on 2 mm of substrate
  Run(c);
  // Timoshenko's bimetal curvature, written with the thickness and modulus ratios.
  const double t = c.n * c.w;
  const double m = t / c.h;
  const double r = c.ed / c.es;
  // Cooling shrinks the layer that expands more the most: the other side turns convex.
  const double misfit = (c.alphaD - c.alphaS) * (c.tm - c.te);
  const double timoshenko =
      6 * (1 + m) * (1 + m) * misfit /
      ((t + c.h) * (3 * (1 + m) * (1 + m) + (1 + m * r) * (m * m + 1 / (m * r))));
  EXPECT_NEAR(state.Stress.FinalCurvature - state.Stress.Curvature(c.n), timoshenko,
              1e-9 * std::fabs(timoshenko));
}

TEST_F(StressModelTest, ACoatingThatContractsLessThanItsSubstrateEndsCompressedAndConvex) {
  Specimen c;  // alphaD 12e-6 below alphaS 16e-6, as NiCrAlY on 316L
  c.sigmaQ = 0;
  c.n = 10;
  Run(c);
  EXPECT_LT(state.Stress.FinalCurvature, 0) << "the coating side turns convex";
  for (int i = 1; i <= c.n; ++i) EXPECT_LT(state.Stress.LamellaStressFinal(i), 0) << i;
  // The substrate carries the balancing tension at the interface.
  EXPECT_GT(state.Stress.SubstrateStressFrontFinal, 0);
}

TEST_F(StressModelTest, WorkedCasesOfTheBuildUp) {
  // No quenching stress on a flat plate: nothing bends, nothing is stressed.
  Specimen flat;
  flat.sigmaQ = 0;
  flat.alphaD = flat.alphaS;
  Run(flat);
  for (int k = 1; k <= flat.n; ++k) {
    EXPECT_EQ(state.Stress.Curvature(k), 0);
    EXPECT_EQ(state.Stress.Deflection(k), 0) << "a flat plate has no deflection";
    EXPECT_EQ(state.Stress.LamellaStressFinal(k), 0);
  }
  EXPECT_EQ(state.Stress.Deflection(0), 1e-9);

  // Equal moduli and a substrate as thick as one lamella: the axis sits at the interface.
  Specimen equal;
  equal.n = 1;
  equal.ed = equal.es;
  equal.h = equal.w;
  Run(equal);
  EXPECT_NEAR(state.Stress.NeutralAxisPosition(1), 0, 1e-24);
  EXPECT_NEAR(state.Stress.LamellaForce(1), equal.sigmaQ * 0.02 * equal.w / 2, 1e-18);
  EXPECT_NEAR(state.Stress.FlexuralRigidity(1), 2 * equal.es * 0.02 * std::pow(equal.w, 3) / 3,
              1e-12 * state.Stress.FlexuralRigidity(1));
  const double expected = 3 * equal.sigmaQ / (4 * equal.es * equal.w);
  EXPECT_NEAR(state.Stress.Curvature(1), expected, 1e-12 * expected);
  // Cooling with equal moduli and t = h: a three-quarter misfit over h, P = b misfit E h / 2.
  const double misfit = (equal.alphaD - equal.alphaS) * (equal.tm - equal.te);
  EXPECT_NEAR(state.Stress.FinalCurvature - state.Stress.Curvature(1), 0.75 * misfit / equal.h,
              1e-9 * std::fabs(0.75 * misfit / equal.h));
}

TEST_F(StressModelTest, NoMismatchLeavesTheBuildUpStresses) {
  Specimen c;
  for (int variant = 0; variant < 2; ++variant) {
    if (variant == 0) c.alphaD = c.alphaS;
    if (variant == 1) c.te = c.tm;
    Run(c);
    const StressResults& s = state.Stress;
    EXPECT_EQ(s.FinalCurvature, s.Curvature(c.n));
    EXPECT_EQ(s.SubstrateStressBackFinal, s.SubstrateStressBack(c.n));
    EXPECT_EQ(s.SubstrateStressFrontFinal, s.SubstrateStressFront(c.n));
    for (int i = 1; i <= c.n; ++i) EXPECT_EQ(s.LamellaStressFinal(i), s.LamellaStress(i));
  }
}

TEST_F(StressModelTest, StartDeflectionIsTheArcRiseMirroredForNegativeCurvatures) {
  EXPECT_NEAR(StartDeflection(0.08, 1), 1 - 0.5 * std::sqrt(4 - 0.0064), 1e-18);
  EXPECT_NEAR(StartDeflection(0.08, 0.1), 8.00003e-5, 1e-10);
  EXPECT_EQ(StartDeflection(0.08, -1), -StartDeflection(0.08, 1));
  EXPECT_EQ(StartDeflection(0.08, 0), 1e-9);
  // At the bound 2 / L the chord is a diameter: 4R² - L² rounds below 0 for L = 0.11 m, and
  // the rise must still be the radius, not NaN.
  const double bound = 2 / 0.11;
  ASSERT_LT(4 * (1 / bound) * (1 / bound) - 0.11 * 0.11, 0);
  EXPECT_EQ(StartDeflection(0.11, bound), 1 / bound);
  EXPECT_EQ(StartDeflection(0.11, -bound), -1 / bound);
  // A radius whose square overflows still has its shallow rise L² κ / 8.
  EXPECT_NEAR(StartDeflection(0.08, 1e-300), 0.0064e-300 / 8, 1e-15 * 0.0064e-300);
  EXPECT_EQ(StartDeflection(0.08, -1e-300), -StartDeflection(0.08, 1e-300));
  EXPECT_EQ(ShallowArcDeflection(0.08, 0), 0);
  EXPECT_DOUBLE_EQ(ShallowArcDeflection(0.08, 0.5), 0.0004);
  EXPECT_EQ(MaxOf(2, 2), 2);
  EXPECT_EQ(MinOf(-0.0, 0.0), 0.0);
  EXPECT_TRUE(std::signbit(MinOf(-0.0, 0.0))) << "a tie keeps the first argument";
  EXPECT_FALSE(std::signbit(MaxOf(0.0, -0.0)));
}

}  // namespace
}  // namespace quillane
