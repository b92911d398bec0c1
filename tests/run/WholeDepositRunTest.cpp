// Whole runs of the whole-deposit model: the build-up closed form, force and moment balance at
// every point of the history, and results smooth in the heat flux.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "ModelFixture.h"
#include "io/CaseFile.h"
#include "model/Deposit.h"
#include "model/FigureTable.h"
#include "run/QuantityTable.h"
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
  // A small case of four passes set in `state`, its rows picked, and its run.
  ModelState SmallRun() {
    state.Input.PassCount = 4;
    state.Input.PassThickness = 12e-6;
    state.Input.LamellaThickness = 3e-6;
    state.Input.CoolingTime = 60;
    ResolveMaterials();
    return Ran(state);
  }
};

// Curvatures of the progressive deposition of `count` lamellae after Tsui and Clyne: lamella k's
// misfit sigmaQ(k) as a force with its arm to the axis before the lamella, rigidity after it.
std::vector<double> BuildUpCurvatures(int count, double h, double w, double b, double es, double ed,
                                      const std::function<double(int)>& sigmaQ, double curvature0) {
  std::vector<double> curvature{curvature0};
  double axisBefore = -h / 2;
  for (int k = 1; k <= count; ++k) {
    const double kw = k * w;
    const double force = sigmaQ(k) * b * w * (h * es + (k - 1) * w * ed) / (h * es + k * w * ed);
    const double axis = (kw * kw * ed - h * h * es) / (2 * (kw * ed + h * es));
    const double rigidity = ed * b * kw * (kw * kw / 3 - kw * axis + axis * axis) +
                            es * b * h * (h * h / 3 + h * axis + axis * axis);
    curvature.push_back(curvature.back() + force * ((k - 0.5) * w - axisBefore) / rigidity);
    axisBefore = axis;
  }
  return curvature;
}

// Nothing expands: each lamella adds the build-up's curvature of its misfit (tabled: the quenching
// stress at the surface it landed on), and the temperatures bend nothing, not even the cooling.
TEST_F(WholeDepositRunTest, WithoutExpansionTheCurvaturesAreTheBuildUpOfEveryLamella) {
  const struct {
    int passes;
    double passThickness, lamellaThickness, curvature0;
    int perPass;
    bool tabled;  // a quenching stress against the landing temperature
  } cases[] = {{3, 3e-6, 1e-6, 0.2, 3, false}, {3, 4e-6, 1e-6, 0.1, 4, true}};
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
    if (c.tabled) state.Materials.Coating.Tables.SigmaQ = {{400, 2.5e8}, {700, 0.5e8}};
    RunSimulation(state, sink);

    const StressResults& s = state.Stress;
    const int n = c.passes * c.perPass;
    ASSERT_EQ(state.Clock.LamellaCount, n);
    const MaterialRecord& sub = state.Materials.Substrate;
    const MaterialRecord& coat = state.Materials.Coating;
    const auto misfit = [&](int k) {
      const double t = s.Plate.LandingTemperature(k);
      return c.tabled ? 2.5e8 - 2e8 * std::clamp((t - 400) / 300, 0.0, 1.0) : coat.SigmaQ;
    };
    if (c.tabled) {
      EXPECT_GT(misfit(1) - misfit(n), 1e6) << "the surface warms through the passes";
    }
    const std::vector<double> expected =
        BuildUpCurvatures(n, state.Input.SubstrateThicknessInput, c.passThickness / c.perPass,
                          state.Input.SubstrateWidth, sub.ModuleYoung / (1 - sub.Poisson),
                          coat.ModuleYoung / (1 - coat.Poisson), misfit, c.curvature0);
    int k = 0;
    double lastTime = 0;
    for (const HistoryPoint& point : s.History) {
      if (point.Event.Kind != DepositEventKind::Arrival) continue;
      ++k;
      ASSERT_LE(k, n);
      const double scale = std::fabs(expected[c.tabled ? n : k]);
      EXPECT_NEAR(point.Curvature, expected[k], 1e-12 * scale) << "lamella " << k;
      EXPECT_EQ(point.Event.Time, s.LamellaTime(k));
      EXPECT_GT(point.Event.Time, lastTime);
      lastTime = point.Event.Time;
      if (k < n) {
        EXPECT_EQ(s.Curvature(k), point.Curvature);
      }
    }
    EXPECT_EQ(k, n);
    ASSERT_GE(s.History.size(), 2u);
    EXPECT_EQ(s.History.back().Event.Kind, DepositEventKind::Cooling);
    EXPECT_EQ(s.FinalCurvature, s.History[s.History.size() - 2].Curvature);
    ASSERT_EQ(s.PassEndCurvature.size(), static_cast<std::size_t>(c.passes));
    EXPECT_NEAR(s.PassEndCurvature.back(), expected[n], 1e-12 * std::fabs(expected[n]));
  }
}

// Net force and moment (about the interface) per unit width, integrated exactly: a lamella's
// stress is linear across it (slope -Ed' (κ - κ at its arrival)), the substrate's Es' (ε - αs ΔT).
struct Balance {
  double Force = 0;
  double Moment = 0;
  double Scale = 0;  // ∫|σ|, for the relative tolerance
};

Balance BalanceOf(const ModelState& state, const std::vector<double>& lamellaTemperatures,
                  const std::vector<double>& curvatureBefore) {
  const StressResults& s = state.Stress;
  const DepositPlate& plate = s.Plate;
  const PlateTemperatures& now = plate.Temperatures;
  const double h = s.SubstrateThickness;
  const double w = s.LamellaThicknessCopy;
  const double es = s.SubstrateBiaxialModulus;
  const double alpha = state.Materials.Substrate.dilat;
  const double t0 = state.Input.SubstrateTemperature;
  // Total strain at the faces, and the thermal strain's integrals.
  const double back = plate.BackStress / es + alpha * (now.Back - t0);
  const double front = plate.FrontStress / es + alpha * (now.Front - t0);
  const double thermal = alpha * (now.SubstrateSum - t0 * h);
  const double thermalMoment = alpha * (now.SubstrateMoment + t0 * h * h / 2);
  Balance balance;
  balance.Force = es * (h * (back + front) / 2 - thermal);
  balance.Moment = es * (-h * h * (front / 6 + back / 3) - thermalMoment);
  balance.Scale = h * (std::fabs(plate.BackStress) + std::fabs(plate.FrontStress)) / 2;
  for (int i = 1; i <= plate.LaidCount; ++i) {
    const double mid = (i - 0.5) * w;
    const double sigma =
        LaidLamellaStress(state, i, lamellaTemperatures[static_cast<std::size_t>(i - 1)]);
    const double slope = -s.CoatingBiaxialModulus *
                         (plate.Curvature - curvatureBefore[static_cast<std::size_t>(i - 1)]);
    balance.Force += w * sigma;
    balance.Moment += w * sigma * mid + slope * w * w * w / 12;
    balance.Scale += w * std::fabs(sigma);
  }
  return balance;
}

TEST_F(WholeDepositRunTest, ThePlateAfterTheLastPassAndAtRoomTemperatureBalancesForcesAndMoments) {
  state.Input.PassCount = 3;
  state.Input.PassThickness = 20e-6;
  state.Input.LamellaThickness = 5e-6;
  state.Input.SubstrateThicknessInput = 0.001;
  state.Input.HeatFlux = 900000;
  state.Input.CoolingTime = 20;
  ResolveMaterials();
  RunThermalHistory(state, sink);
  ModelState replay = state;
  StartDepositPlate(replay, state.Input.SubstrateTemperature);
  const std::size_t lastPass = state.Timeline.PassEnds.back();
  std::vector<double> curvatureBefore;
  for (std::size_t i = 0; i < lastPass; ++i) {
    const DepositEvent& event = state.Timeline.Events[i];
    if (event.Kind == DepositEventKind::Arrival) {
      curvatureBefore.push_back(replay.Stress.Plate.Curvature);
      ApplyArrival(replay, event.SurfaceTemperature);
    } else {
      ApplyTemperatures(replay, event.Plate);
    }
  }
  const double h = state.Stress.SubstrateThickness;
  const double t = state.Clock.LamellaCount * state.Stress.LamellaThicknessCopy;
  const auto expectBalanced = [&](const ModelState& plate, const std::vector<double>& lamellae) {
    const Balance b = BalanceOf(plate, lamellae, curvatureBefore);
    EXPECT_GT(b.Scale, 0);
    EXPECT_NEAR(b.Force, 0, 1e-9 * b.Scale);
    EXPECT_NEAR(b.Moment, 0, 1e-9 * b.Scale * (h + t));
  };
  expectBalanced(replay, state.Timeline.LamellaTemperatures);
  // The lamellae were not all at one temperature: the balance holds across their gradient.
  const auto [coolest, hottest] = std::minmax_element(state.Timeline.LamellaTemperatures.begin(),
                                                      state.Timeline.LamellaTemperatures.end());
  EXPECT_GT(*hottest - *coolest, 0.01);
  RunStressModel(state, sink);
  const std::vector<double> room(static_cast<std::size_t>(state.Clock.LamellaCount),
                                 state.Input.RoomTemperature);
  expectBalanced(state, room);
  EXPECT_EQ(state.Stress.Curvature(state.Clock.LamellaCount), replay.Stress.Plate.Curvature);
}

// A jump: a second difference far beyond the first differences' median absolute deviation,
// which one jump does not move.
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
  // The one-pass model pins the back face to the gases at some fluxes: the same look finds it.
  state.Input.StressModel = kOnePassModel;
  EXPECT_TRUE(HasJump(FinalCurvatures(state, 680.4, 681.2, 200), 10));
}

// A 6 mm titanium plate under 2 MW/m² with tabled figures, whose skin the torch heats far above
// its back.
TEST_F(WholeDepositRunTest, FourTimesFinerCellsAndStepsMovePeaksByLessThanHalfAKelvin) {
  state.Input.PassCount = 3;
  state.Input.PassThickness = 50e-6;
  state.Input.LamellaThickness = 5e-6;
  state.Input.PassPeriod = 6;
  state.Input.HeatFlux = 2e6;
  state.Input.SubstrateThicknessInput = 0.006;
  ResolveMaterials();
  MaterialRecord& ti = state.Materials.Substrate;
  ti.Lambda = 6.7, ti.Rho = 4430, ti.Cp = 526, ti.Tfusion = 1933, ti.Lfusion = 286e3;
  ti.ModuleYoung = 114e9, ti.Poisson = 0.33, ti.dilat = 8.6e-6;
  ti.Tables.Lambda = {{300, 6.7}, {700, 12}, {1100, 17.5}};
  ti.Tables.Cp = {{300, 526}, {800, 650}};
  ti.Tables.ModuleYoung = {{300, 114e9}, {800, 90e9}};
  ti.Tables.dilat = {{300, 8.6e-6}, {800, 10e-6}};
  ModelState coarse = state;
  ModelState fine = state;
  fine.Input.ThermalRefinement = 4;
  RunSimulation(coarse, sink);
  RunSimulation(fine, sink);
  const RunStatistics& a = coarse.Statistics;
  const RunStatistics& b = fine.Statistics;
  EXPECT_NEAR(a.PeakSubstrateTemperature, b.PeakSubstrateTemperature, 0.5);
  EXPECT_NEAR(a.PeakInterfaceTemperature, b.PeakInterfaceTemperature, 0.5);
  EXPECT_NEAR(a.PeakSurfaceTemperature, b.PeakSurfaceTemperature, 0.5);
  // Curvatures within 0.2 %, of the run's largest bending where a pass ends near flat.
  double scale = 0;
  for (const HistoryPoint& point : fine.Stress.History) {
    scale = std::max(scale, std::fabs(point.Curvature));
  }
  const StressResults& x = coarse.Stress;
  const StressResults& y = fine.Stress;
  EXPECT_NEAR(x.FinalCurvature, y.FinalCurvature, 2e-3 * std::fabs(y.FinalCurvature));
  ASSERT_EQ(x.PassEndCurvature.size(), y.PassEndCurvature.size());
  for (std::size_t p = 0; p < x.PassEndCurvature.size(); ++p) {
    EXPECT_NEAR(x.PassEndCurvature[p], y.PassEndCurvature[p],
                2e-3 * std::max(std::fabs(y.PassEndCurvature[p]), 0.1 * scale))
        << "pass " << p + 1;
  }
}

// Every point of the history and every lamella's final stress, to the last bit.
void ExpectSameBits(const StressResults& s, const StressResults& reference) {
  ASSERT_EQ(s.History.size(), reference.History.size());
  for (std::size_t i = 0; i < reference.History.size(); ++i) {
    ASSERT_EQ(s.History[i].Curvature, reference.History[i].Curvature) << i;
  }
  EXPECT_EQ(s.LamellaStressFinal.Values(), reference.LamellaStressFinal.Values());
}

void ExpectCurvaturesClose(const StressResults& s, const StressResults& reference,
                           const std::string& what) {
  EXPECT_NEAR(s.FinalCurvature, reference.FinalCurvature,
              1e-6 * std::fabs(reference.FinalCurvature))
      << what;
  ASSERT_EQ(s.PassEndCurvature.size(), reference.PassEndCurvature.size()) << what;
  for (std::size_t p = 0; p < reference.PassEndCurvature.size(); ++p) {
    EXPECT_NEAR(s.PassEndCurvature[p], reference.PassEndCurvature[p],
                1e-6 * std::fabs(reference.PassEndCurvature[p]))
        << what << ", pass " << p + 1;
  }
}

// Two coats of one process are the one-coat run to the last bit; any figure of the second moved
// by 1e-10 of itself, or a nanosecond's pause before it, moves the curvatures by under 1e-6.
TEST_F(WholeDepositRunTest, TwoCoatsOfOneProcessAreTheOneCoatRunAndMoveSmoothlyApart) {
  const ModelState one = SmallRun();
  CoatInput first;
  first.Material = "NiCrAlY", first.PassCount = 1;
  CoatInput second = first;
  second.PassCount = 3;
  state.Input.Coats = {first, second};
  ResolveMaterials();
  ExpectSameBits(Ran(state).Stress, one.Stress);
  for (const QuantitySpec& spec : QuantityTable()) {
    if (spec.Coat != 2 || spec.Whole || spec.Get(state) == 0) continue;
    ModelState moved = state;
    spec.Set(moved, spec.Get(state) * (1 + 1e-10));
    RunSimulation(moved, sink);
    EXPECT_EQ(moved.Stress.Coats.size(), 2u) << spec.Name;
    ExpectCurvaturesClose(moved.Stress, one.Stress, spec.Name);
  }
  ModelState paused = state;
  paused.Input.Coats[1].PauseBefore = 1e-9;
  ValidateRunInputs(paused, &catalogue);
  RunSimulation(paused, sink);
  ExpectCurvaturesClose(paused.Stress, one.Stress, "a pause of a nanosecond");
}

// The bond coat and top coat example (its case keeps its own PassCount of 1): every coat's passes
// are sprayed, the top coat after its pause.
TEST_F(WholeDepositRunTest, ABondCoatAndATopCoatAreSprayedEachOnItsOwnSchedule) {
  MaterialsCatalogue shipped;
  shipped.Open(test::BuildDir() / "Brelon.db");
  ReadCaseFile(test::DataDir() / "coats" / "case.json", state.Input);
  ValidateRunInputs(state, &shipped);
  RunSimulation(state, sink);
  const StressResults& s = state.Stress;
  ASSERT_EQ(state.Clock.LamellaCount, 150);
  EXPECT_EQ(s.PassEndCurvature.size(), 30u);
  EXPECT_DOUBLE_EQ(LamellaMid(s, 51), 100e-6 + 1.5e-6);
  EXPECT_DOUBLE_EQ(DepositTop(s, 150), 400e-6);
  // The bond coat's ten passes of 6 s, then a minute's pause before the top coat's first lamella.
  EXPECT_DOUBLE_EQ(s.LamellaTime(51) - s.LamellaTime(50),
                   60 + 6 - 0.3 / 3 - 4 * 0.3 / 15 + 0.5 / 3);
}

TEST_F(WholeDepositRunTest, NoInputNorFigureMovedByOneTenBillionthMovesTheCurvaturesByAMillionth) {
  state.Input.InitialCurvature = 0.05;
  state.Input.BackFaceCoefficient = 500;
  state.Input.BackFaceTemperature = 550;
  const StressResults reference = SmallRun().Stress;
  for (const QuantitySpec& spec : QuantityTable()) {
    // A coat's quantities have a test of their own, on a case of coats.
    if (spec.Whole || spec.Coat > 0 || spec.Get(state) == 0) continue;
    ModelState moved = state;
    spec.Set(moved, spec.Get(state) * (1 + 1e-10));
    RunSimulation(moved, sink);
    ExpectCurvaturesClose(moved.Stress, reference, spec.Name);
  }
}

// Points of one value are the constant to the last bit; a slope of 1e-10 moves nothing.
TEST_F(WholeDepositRunTest, TablesOfOneValueAreTheConstantAndATinySlopeMovesNothing) {
  const ModelState constant = SmallRun();
  for (const double slope : {0.0, 1e-10}) {
    SCOPED_TRACE(slope);
    std::vector<MaterialRecord> rows;
    for (const char* name : {"Acier 316L", "NiCrAlY"}) {
      MaterialRecord row = catalogue.LookupMaterial(name);
      for (const TableFigure& figure : kTableFigures) {
        const double value = row.*figure.Constant;
        row.Tables.*figure.Points = {{250, value}, {900, value * (1 + slope)}, {2000, value}};
      }
      rows.push_back(row);
    }
    catalogue.AddUserRows(rows, dir / "own.db");
    ResolveMaterials();
    ASSERT_EQ(HasTables(state.Materials.Coating), slope > 0);
    const ModelState tabled = Ran(state);
    if (slope > 0) {
      ExpectCurvaturesClose(tabled.Stress, constant.Stress, "a slope of 1e-10");
      continue;
    }
    ExpectSameBits(tabled.Stress, constant.Stress);
  }
  // The plate in total form (a modulus table selects it) is the incremental one, to rounding,
  // when the moduli do not change.
  ModelState total = constant;
  for (MaterialRecord* row : {&total.Materials.Substrate, &total.Materials.Coating}) {
    row->Tables = {};
    row->Tables.ModuleYoung = {{300, row->ModuleYoung}, {900, row->ModuleYoung}};
  }
  RunSimulation(total, sink);
  const StressResults& a = total.Stress;
  const StressResults& b = constant.Stress;
  ASSERT_EQ(a.History.size(), b.History.size());
  for (std::size_t i = 0; i < b.History.size(); ++i) {
    ASSERT_NEAR(a.History[i].Curvature, b.History[i].Curvature, 1e-11 * std::fabs(b.FinalCurvature))
        << i;
  }
  for (int i = 1; i <= total.Clock.LamellaCount; ++i) {
    EXPECT_NEAR(a.LamellaStressFinal(i), b.LamellaStressFinal(i), 1e-3) << i;  // Pa
    EXPECT_NEAR(a.LamellaForce(i), b.LamellaForce(i), 1e-12 * std::fabs(b.LamellaForce(i))) << i;
  }
  EXPECT_NEAR(a.SubstrateStressBackFinal, b.SubstrateStressBackFinal, 1e-3);
}

}  // namespace
}  // namespace quillane
