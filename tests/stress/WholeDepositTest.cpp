// The whole-deposit model on timelines written by hand, against closed forms: a bare plate under
// a linear temperature change, and Timoshenko's bimetal.

#include "stress/WholeDeposit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "RecordingSink.h"
#include "StressArrays.h"
#include "stress/StressDriver.h"

namespace quillane {
namespace {

// A plate set up by hand: substrate h under `lamellae` lamellae of w, biaxial moduli (Poisson
// ratios of 0), expansions, quenching stress, first temperature t0, room temperature.
struct Plate {
  int lamellae = 1;
  double h = 0.002, w = 1e-4, es = 200e9, ed = 70e9;
  double alphaS = 16e-6, alphaD = 10e-6, sigmaQ = 0;
  double t0 = 600, room = 293.15, curvature0 = 0;
};

DepositEvent At(DepositEventKind kind, double back, double top) {
  return {0, kind, back, top};
}

ModelState Prepared(const Plate& p, std::vector<DepositEvent> events) {
  ModelState state;
  state.Input.StressModel = kWholeDepositModel;
  state.Input.SpecimenLength = 0.08;
  state.Input.SubstrateTemperature = p.t0;
  state.Input.RoomTemperature = p.room;
  state.Clock.LamellaCount = p.lamellae;
  test::SizeStressArrays(state.Stress, p.lamellae);
  state.Stress.SubstrateThickness = p.h;
  state.Stress.LamellaThicknessCopy = p.w;
  state.Stress.StressWidth = 0.02;
  state.Stress.Curvature(0) = p.curvature0;
  LayerStack& stack = state.Stack;
  stack.SubstrateYoung = p.es;
  stack.CoatingYoung = p.ed;
  stack.SubstrateExpansion = p.alphaS;
  stack.CoatingExpansion = p.alphaD;
  stack.LastSigmaQ = p.sigmaQ;
  state.Timeline.Events = std::move(events);
  return state;
}

TEST(WholeDepositPlate, ABarePlateBendsWithoutStressUnderALinearTemperatureChange) {
  const struct {
    double curvature0, back, top;
  } cases[] = {{0, 650, 720}, {0.3, 900, 610}, {-0.1, 600, 600}, {0.05, 1500, 300.5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.top);
    Plate p;
    p.lamellae = 0;
    p.curvature0 = c.curvature0;
    ModelState state = Prepared(p, {At(DepositEventKind::Row, c.back, c.top)});
    // Just after the change, the plate is bent but holds no stress.
    const double stressScale = p.es * p.alphaS * 1000;
    ModelState changed = state;
    StartDepositPlate(changed);
    ApplyDepositEvent(changed, state.Timeline.Events[0]);
    EXPECT_NEAR(changed.Stress.Plate.BackStress, 0, 1e-12 * stressScale);
    EXPECT_NEAR(changed.Stress.Plate.FrontStress, 0, 1e-12 * stressScale);
    test::RecordingSink sink;
    RunStressModel(state, sink);
    const StressResults& s = state.Stress;
    ASSERT_EQ(s.History.size(), 2u);
    const double expected = c.curvature0 - p.alphaS * ((c.top - p.t0) - (c.back - p.t0)) / p.h;
    EXPECT_NEAR(s.History[0].Curvature, expected, 1e-12 * std::fabs(p.alphaS * 1000 / p.h));
    EXPECT_DOUBLE_EQ(s.History[0].Deflection, 0.08 * 0.08 * s.History[0].Curvature / 8);
    // Back at a uniform temperature, the plate is as it started.
    EXPECT_NEAR(s.FinalCurvature, c.curvature0, 1e-12 * p.alphaS * 1000 / p.h);
    EXPECT_NEAR(s.SubstrateStressBackFinal, 0, 1e-12 * stressScale);
    EXPECT_NEAR(s.SubstrateStressFrontFinal, 0, 1e-12 * stressScale);
    EXPECT_EQ(s.History[1].Event.Kind, DepositEventKind::Cooling);
  }
}

TEST(WholeDepositPlate, CoolingOneLamellaWithoutQuenchingStressIsTimoshenkosBimetal) {
  // Thickness ratio t/h and modulus ratio Ed/Es.
  const struct {
    double m, r;
  } cases[] = {{0.05, 1.0 / 3}, {0.5, 1.0 / 3}, {1, 1}, {0.2, 3}, {2, 0.6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.m);
    Plate p;
    p.w = c.m * p.h;
    p.ed = c.r * p.es;
    p.curvature0 = 0.12;
    // Heated uniformly before the lamella lands, then cooled to the room.
    ModelState state =
        Prepared(p, {At(DepositEventKind::Row, 640, 640), At(DepositEventKind::Arrival, 640, 640)});
    test::RecordingSink sink;
    RunStressModel(state, sink);
    const double t = p.w;
    const double misfit = (p.alphaD - p.alphaS) * (640 - p.room);
    const double m = c.m, r = c.r;
    const double timoshenko =
        6 * (1 + m) * (1 + m) * misfit /
        ((t + p.h) * (3 * (1 + m) * (1 + m) + (1 + m * r) * (m * m + 1 / (m * r))));
    const StressResults& s = state.Stress;
    EXPECT_NEAR(s.History[1].Curvature, p.curvature0, 1e-15) << "no quenching stress";
    EXPECT_NEAR(s.FinalCurvature - s.History[1].Curvature, timoshenko,
                1e-12 * std::fabs(timoshenko));
    // The coating expands less than its substrate: it ends compressed, its side convex.
    EXPECT_LT(s.LamellaStressFinal(1), 0);
    EXPECT_LT(s.FinalCurvature, p.curvature0);
  }
}

TEST(WholeDepositPlate, ATimelineWithMoreLamellaeThanTheModelHoldsIsRefused) {
  Plate p;
  ModelState state = Prepared(
      p, {At(DepositEventKind::Arrival, 600, 600), At(DepositEventKind::Arrival, 600, 600)});
  test::RecordingSink sink;
  EXPECT_THROW(RunStressModel(state, sink), std::logic_error);
}

}  // namespace
}  // namespace quillane
