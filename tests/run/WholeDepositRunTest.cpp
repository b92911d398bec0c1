// Whole runs of the whole-deposit model: the build-up closed form, force and moment balance at
// every point of the history, and results smooth in the heat flux.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "ModelFixture.h"
#include "stress/StressDriver.h"
#include "stress/WholeDeposit.h"

namespace quillane {
namespace {

class WholeDepositRunTest : public test::ModelFixture {
 protected:
  void SetUp() override {
    ModelFixture::SetUp();
    state.Input.StressModel = kWholeDepositModel;
  }
};

// Curvatures of the progressive deposition of `count` lamellae after Tsui and Clyne: misfit
// force with its arm to the axis before the lamella, rigidity after it.
std::vector<double> BuildUpCurvatures(int count, double h, double w, double b, double es, double ed,
                                      double sigmaQ, double curvature0) {
  std::vector<double> curvature{curvature0};
  double axisBefore = -h / 2;
  for (int k = 1; k <= count; ++k) {
    const double kw = k * w;
    const double force = sigmaQ * b * w * (h * es + (k - 1) * w * ed) / (h * es + k * w * ed);
    const double axis = (kw * kw * ed - h * h * es) / (2 * (kw * ed + h * es));
    const double rigidity = ed * b * kw * (kw * kw / 3 - kw * axis + axis * axis) +
                            es * b * h * (h * h / 3 + h * axis + axis * axis);
    curvature.push_back(curvature.back() + force * ((k - 0.5) * w - axisBefore) / rigidity);
    axisBefore = axis;
  }
  return curvature;
}

TEST_F(WholeDepositRunTest, WithoutExpansionTheCurvaturesAreTheBuildUpOfEveryLamella) {
  const struct {
    int passes;
    double passThickness, lamellaThickness, curvature0;
    int perPass;
  } cases[] = {{3, 3e-6, 1e-6, 0.2, 3},
               {2, 2.6e-6, 1e-6, 0, 3},  // 2.6 lamellae round to 3 of 0.867 µm
               {4, 0.4e-6, 1e-6, -0.1, 1},
               {1, 50e-6, 2e-6, 0.05, 25}};
  const ModelState base = state;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.passThickness);
    state = base;
    state.Input.PassCount = c.passes;
    state.Input.PassThickness = c.passThickness;
    state.Input.LamellaThickness = c.lamellaThickness;
    state.Input.InitialCurvature = c.curvature0;
    ResolveMaterials();
    for (MaterialRecord* row :
         {&state.Materials.Substrate, &state.Materials.Coating, &state.Materials.Contact}) {
      row->dilat = 0;
    }
    RunSimulation(state, sink);

    const int n = c.passes * c.perPass;
    ASSERT_EQ(state.Clock.LamellaCount, n);
    const double w = c.passThickness / c.perPass;
    const MaterialRecord& sub = state.Materials.Substrate;
    const MaterialRecord& coat = state.Materials.Coating;
    const std::vector<double> expected =
        BuildUpCurvatures(n, state.Input.SubstrateThicknessInput, w, state.Input.SubstrateWidth,
                          sub.ModuleYoung / (1 - sub.Poisson),
                          coat.ModuleYoung / (1 - coat.Poisson), coat.SigmaQ, c.curvature0);
    int k = 0;
    double lastTime = 0;
    for (const HistoryPoint& point : state.Stress.History) {
      if (point.Event.Kind != DepositEventKind::Arrival) continue;
      ++k;
      ASSERT_LE(k, n);
      EXPECT_NEAR(point.Curvature, expected[k], 1e-12 * std::fabs(expected[k])) << "lamella " << k;
      EXPECT_EQ(point.Event.Time, state.Stress.LamellaTime(k));
      EXPECT_GT(point.Event.Time, lastTime);
      lastTime = point.Event.Time;
      if (k < n) {
        EXPECT_EQ(state.Stress.Curvature(k), point.Curvature);
      }
    }
    EXPECT_EQ(k, n);
    // Nothing expands: the temperatures bend nothing, not even the final cooling.
    const std::vector<HistoryPoint>& history = state.Stress.History;
    ASSERT_GE(history.size(), 2u);
    EXPECT_EQ(history.back().Event.Kind, DepositEventKind::Cooling);
    EXPECT_EQ(state.Stress.FinalCurvature, history[history.size() - 2].Curvature);
    ASSERT_EQ(state.Stress.PassEndCurvature.size(), static_cast<std::size_t>(c.passes));
    EXPECT_NEAR(state.Stress.PassEndCurvature.back(), expected[n], 1e-12 * std::fabs(expected[n]));
  }
}

// Net force and moment (about the interface) per unit width of the plate at one point: the
// substrate's profile is linear; each lamella's is linear too, with the mid-plane stress and a
// slope -Ed' (κ - κ before its arrival), so the integrals are exact.
struct Balance {
  double Force = 0;
  double Moment = 0;
  double Scale = 0;  // ∫|σ|, for the relative tolerance
};

Balance BalanceOf(const ModelState& state, const std::vector<double>& curvatureBefore) {
  const StressResults& s = state.Stress;
  const DepositPlate& plate = s.Plate;
  const double h = s.SubstrateThickness;
  const double w = s.LamellaThicknessCopy;
  Balance balance;
  balance.Force = h * (plate.BackStress + plate.FrontStress) / 2;
  balance.Moment = -h * h * (plate.FrontStress / 6 + plate.BackStress / 3);
  balance.Scale = h * (std::fabs(plate.BackStress) + std::fabs(plate.FrontStress)) / 2;
  for (int i = 1; i <= plate.LaidCount; ++i) {
    const double mid = (i - 0.5) * w;
    const double sigma = LaidLamellaStress(state, i);
    const double slope =
        -s.CoatingBiaxialModulus * (plate.Curvature - curvatureBefore[static_cast<size_t>(i)]);
    balance.Force += w * sigma;
    balance.Moment += w * sigma * mid + slope * w * w * w / 12;
    balance.Scale += w * std::fabs(sigma);
  }
  return balance;
}

TEST_F(WholeDepositRunTest, EveryPointOfTheHistoryAndTheFinalStateBalanceForcesAndMoments) {
  state.Input.PassCount = 3;
  state.Input.PassThickness = 20e-6;
  state.Input.LamellaThickness = 5e-6;
  state.Input.SubstrateThicknessInput = 0.001;
  state.Input.HeatFlux = 900000;
  ResolveMaterials();
  RunThermalHistory(state, sink);
  ModelState replay = state;
  RunStressModel(state, sink);

  const double h = state.Stress.SubstrateThickness;
  const double t = state.Clock.LamellaCount * state.Stress.LamellaThicknessCopy;
  // A nearly unstressed plate is judged against a strain of 1e-6 across the substrate.
  const double floor = h * state.Stress.SubstrateBiaxialModulus * 1e-6;
  StartDepositPlate(replay);
  std::vector<double> curvatureBefore{0};
  std::vector<DepositEvent> events = replay.Timeline.Events;
  events.push_back(RoomCoolingEvent(replay));
  for (const DepositEvent& event : events) {
    if (event.Kind == DepositEventKind::Arrival) {
      curvatureBefore.push_back(replay.Stress.Plate.Curvature);
    }
    ApplyDepositEvent(replay, event);
    const Balance b = BalanceOf(replay, curvatureBefore);
    const double scale = std::max(b.Scale, floor);
    ASSERT_NEAR(b.Force, 0, 1e-9 * scale) << "at " << event.Time;
    ASSERT_NEAR(b.Moment, 0, 1e-9 * scale * (h + t)) << "at " << event.Time;
  }
  EXPECT_GT(BalanceOf(replay, curvatureBefore).Scale, 10 * floor) << "a stressed plate";
  // The replay is the run.
  ASSERT_EQ(replay.Stress.History.size(), state.Stress.History.size());
  EXPECT_EQ(replay.Stress.Plate.Curvature, state.Stress.FinalCurvature);
  EXPECT_EQ(replay.Stress.Plate.BackStress, state.Stress.SubstrateStressBackFinal);
  for (int i = 1; i <= state.Clock.LamellaCount; ++i) {
    EXPECT_EQ(LaidLamellaStress(replay, i), state.Stress.LamellaStressFinal(i));
  }
}

// Whether a sampled response has a jump: a second difference far beyond the spread of the
// first differences (their median absolute deviation, which one jump does not move).
bool HasJump(const std::vector<double>& values, double multiple) {
  std::vector<double> first;
  for (std::size_t i = 1; i < values.size(); ++i) first.push_back(values[i] - values[i - 1]);
  std::vector<double> sorted = first;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double median = sorted[sorted.size() / 2];
  for (double& d : sorted) d = std::fabs(d - median);
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double spread = sorted[sorted.size() / 2];
  for (std::size_t i = 1; i < first.size(); ++i) {
    if (std::fabs(first[i] - first[i - 1]) > multiple * spread) return true;
  }
  return false;
}

std::vector<double> FinalCurvatures(ModelState base, double low, double high, int steps) {
  std::vector<double> curvatures;
  for (int i = 0; i <= steps; ++i) {
    ModelState run = base;
    run.Input.HeatFlux = (low + (high - low) * i / steps) * 1000;
    NullSink sink;
    RunSimulation(run, sink);
    curvatures.push_back(run.Stress.FinalCurvature);
  }
  return curvatures;
}

TEST_F(WholeDepositRunTest, TheFinalCurvatureMovesSmoothlyWithTheHeatFlux) {
  // Seven passes: the back face passes the gas temperature on the way.
  state.Input.PassCount = 7;
  ResolveMaterials();
  EXPECT_FALSE(HasJump(FinalCurvatures(state, 699, 701, 200), 10));
  // The one-pass model's back face is pinned to the gases as it passes them, at some fluxes
  // and not others: the same look finds its jumps.
  state.Input.StressModel = kOnePassModel;
  EXPECT_TRUE(HasJump(FinalCurvatures(state, 680.4, 681.2, 200), 10));
}

}  // namespace
}  // namespace quillane
