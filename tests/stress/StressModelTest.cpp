// Both stress models on specimens set up by hand, against balances and closed forms: Stoney,
// Timoshenko's bimetal, and for the whole deposit a bare plate under a linear temperature change.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "RecordingSink.h"
#include "model/Deposit.h"
#include "model/FigureTable.h"
#include "stress/BuildUpStress.h"
#include "stress/FinalCooling.h"
#include "stress/StressDriver.h"
#include "stress/WholeDeposit.h"

namespace quillane {
namespace {

// Substrate h under n lamellae of w, Poisson ratios of 0. The one-pass model cools from tm to te;
// the whole deposit starts at t0 and cools to the room.
struct Specimen {
  int n = 4;
  double h = 0.002, w = 1e-6, es = 200e9, ed = 100e9, sigmaQ = 1e8, curvature0 = 0;
  double alphaS = 16e-6, alphaD = 12e-6, tm = 1700, te = 600, t0 = 600, room = 293.15;
};

ModelState Prepared(const Specimen& c, const char* model = kOnePassModel,
                    std::vector<DepositEvent> events = {}) {
  ModelState state;
  ApplyDefaults(state);
  state.Input.StressModel = model;
  state.Input.SpecimenLength = 0.08;
  state.Input.SubstrateTemperature = c.t0;
  state.Input.RoomTemperature = c.room;
  state.Clock.LamellaCount = c.n;
  state.Clock.PassEndSurfaceTemperature = c.te;
  state.Stress.SizeLamellaArrays(c.n);
  state.Stress.SubstrateThickness = c.h;
  state.Stress.StressWidth = 0.02;
  state.Stress.LamellaThicknessCopy = c.w;
  state.Stress.Curvature(0) = c.curvature0;
  LayerStack& stack = state.Stack;
  stack.SubstrateYoung = c.es;
  stack.SubstratePoisson = stack.CoatingPoisson = 0;
  stack.CoatingYoung = c.ed;
  stack.LastSigmaQ = c.sigmaQ;
  stack.SubstrateExpansion = c.alphaS;
  stack.CoatingExpansion = c.alphaD;
  stack.MeltingPoint = c.tm;
  // The whole deposit reads the picked rows.
  state.Materials.Substrate.ModuleYoung = c.es;
  state.Materials.Substrate.dilat = c.alphaS;
  state.Materials.Coating.ModuleYoung = c.ed;
  state.Materials.Coating.dilat = c.alphaD;
  state.Materials.Coating.SigmaQ = c.sigmaQ;
  state.Model = ModelOf(state.Input);
  // The events make one pass, after which every lamella is at the last event's top temperature.
  if (!events.empty()) {
    state.Timeline.PassEnds = {events.size()};
    state.Timeline.LamellaTemperatures.assign(static_cast<std::size_t>(c.n),
                                              events.back().TopSubstrateTemperature);
  }
  state.Timeline.Events = std::move(events);
  return state;
}

StressResults Stresses(ModelState state) {
  test::RecordingSink sink;
  RunStressModel(state, sink);
  return state.Stress;
}

// An event of the whole deposit on the bare specimen: the substrate's profile linear from `back`
// to `top`; an arrival lands on a surface at `top`.
DepositEvent At(const Specimen& p, DepositEventKind kind, double back, double top) {
  const PlateTemperatures plate{
      back, top, p.h * (back + top) / 2, -p.h * p.h * (2 * back + top) / 6, {}, {}};
  return {0, kind, back, top, top, plate};
}

// Timoshenko's bimetal curvature for a misfit strain, thickness ratio m = t / h and modulus
// ratio r = Ed / Es.
double Timoshenko(double misfit, double t, double h, double r) {
  const double m = t / h;
  return 6 * (1 + m) * (1 + m) * misfit /
         ((t + h) * (3 * (1 + m) * (1 + m) + (1 + m * r) * (m * m + 1 / (m * r))));
}

// Net force and moment (about the interface) per unit width after lamella k, integrated exactly:
// each lamella's stress is linear with a slope -Ed (κ - κ before its arrival).
std::pair<double, double> Net(const ModelState& state, double back, double front,
                              const BasedArray<double>& lamellae, int k, double curvature) {
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

TEST(StressModelTest, EveryStateBalancesItsForcesAndMoments) {
  const Specimen c{.n = 6, .curvature0 = 0.3};
  ModelState state = Prepared(c);
  const StressResults& s = state.Stress;
  state.Stress.NeutralAxisPosition(0) = -c.h / 2;
  const double scale = c.sigmaQ * c.n * c.w;
  for (int k = 1; k <= c.n; ++k) {
    state.Clock.LamellaIndex = k;
    state.Stress.StressScale = 1e-9;
    state.Stress.SubstrateBiaxialModulus = c.es;
    state.Stress.CoatingBiaxialModulus = c.ed;
    ComputeBuildUpStress(state);
    const auto [force, moment] = Net(state, s.SubstrateStressBack(k), s.SubstrateStressFront(k),
                                     s.LamellaStress, k, s.Curvature(k));
    EXPECT_NEAR(force, 0, 1e-9 * scale) << "after lamella " << k;
    EXPECT_NEAR(moment, 0, 1e-9 * scale * c.h) << "after lamella " << k;
  }
  ComputeFinalCooling(state);
  const auto [force, moment] = Net(state, s.SubstrateStressBackFinal, s.SubstrateStressFrontFinal,
                                   s.LamellaStressFinal, c.n, s.FinalCurvature);
  EXPECT_NEAR(force, 0, 1e-9 * scale) << "after cooling";
  EXPECT_NEAR(moment, 0, 1e-9 * scale * c.h) << "after cooling";
  EXPECT_EQ(state.Clock.LamellaIndex, c.n + 1);
}

TEST(StressModelTest, WorkedCasesOfTheBuildUpAndTheCooling) {
  // A thin deposit on equal moduli follows Stoney.
  Specimen thin{.n = 20};
  thin.ed = thin.es;
  const double stoney = 6 * thin.sigmaQ * thin.n * thin.w / (thin.es * thin.h * thin.h);
  EXPECT_NEAR(Stresses(Prepared(thin)).Curvature(thin.n), stoney, 0.03 * stoney);

  // A 1 mm deposit on 2 mm of substrate cools as the bilayer.
  const Specimen thick{.n = 50, .w = 2e-5};
  StressResults s = Stresses(Prepared(thick));
  const double timoshenko = Timoshenko((thick.alphaD - thick.alphaS) * (thick.tm - thick.te),
                                       thick.n * thick.w, thick.h, thick.ed / thick.es);
  EXPECT_NEAR(s.FinalCurvature - s.Curvature(thick.n), timoshenko, 1e-9 * std::fabs(timoshenko));

  // No quenching stress on a flat plate: nothing bends, nothing is stressed.
  Specimen flat{.sigmaQ = 0};
  flat.alphaD = flat.alphaS;
  s = Stresses(Prepared(flat));
  for (int k = 1; k <= flat.n; ++k) {
    EXPECT_EQ(s.Curvature(k), 0);
    EXPECT_EQ(s.Deflection(k), 0) << "a flat plate has no deflection";
    EXPECT_EQ(s.LamellaStressFinal(k), 0);
  }
  EXPECT_EQ(s.Deflection(0), 1e-9);

  // Equal moduli and a substrate as thick as one lamella: the axis sits at the interface.
  Specimen equal{.n = 1};
  equal.ed = equal.es;
  equal.h = equal.w;
  s = Stresses(Prepared(equal));
  EXPECT_NEAR(s.NeutralAxisPosition(1), 0, 1e-24);
  EXPECT_NEAR(s.LamellaForce(1), equal.sigmaQ * 0.02 * equal.w / 2, 1e-18);
  EXPECT_NEAR(s.FlexuralRigidity(1), 2 * equal.es * 0.02 * std::pow(equal.w, 3) / 3,
              1e-12 * s.FlexuralRigidity(1));
  const double expected = 3 * equal.sigmaQ / (4 * equal.es * equal.w);
  EXPECT_NEAR(s.Curvature(1), expected, 1e-12 * expected);
  // Cooling with equal moduli and t = h: a three-quarter misfit over h, P = b misfit E h / 2.
  const double misfit = (equal.alphaD - equal.alphaS) * (equal.tm - equal.te);
  EXPECT_NEAR(s.FinalCurvature - s.Curvature(1), 0.75 * misfit / equal.h,
              1e-9 * std::fabs(0.75 * misfit / equal.h));

  // Either no expansion mismatch or no cooling, each alone, leaves the build-up's stresses.
  Specimen sameExpansion, noCooling;
  sameExpansion.alphaD = sameExpansion.alphaS;
  noCooling.te = noCooling.tm;
  for (const Specimen& c : {sameExpansion, noCooling}) {
    s = Stresses(Prepared(c));
    EXPECT_EQ(s.FinalCurvature, s.Curvature(c.n));
    EXPECT_EQ(s.SubstrateStressBackFinal, s.SubstrateStressBack(c.n));
    EXPECT_EQ(s.SubstrateStressFrontFinal, s.SubstrateStressFront(c.n));
    for (int i = 1; i <= c.n; ++i) EXPECT_EQ(s.LamellaStressFinal(i), s.LamellaStress(i));
  }
}

TEST(StressModelTest, StartDeflectionIsTheArcRiseMirroredForNegativeCurvatures) {
  EXPECT_NEAR(StartDeflection(0.08, 1), 1 - 0.5 * std::sqrt(4 - 0.0064), 1e-18);
  EXPECT_EQ(StartDeflection(0.08, -1), -StartDeflection(0.08, 1));
  EXPECT_EQ(StartDeflection(0.08, 0), 1e-9);
  // At the bound 2 / L the chord is a diameter: 4R² - L² rounds below 0 for L = 0.11 m, and
  // the rise must still be the radius, not NaN.
  const double bound = 2 / 0.11;
  ASSERT_LT(4 * (1 / bound) * (1 / bound) - 0.11 * 0.11, 0);
  EXPECT_EQ(StartDeflection(0.11, bound), 1 / bound);
  // A radius whose square overflows still has its shallow rise L² κ / 8.
  EXPECT_NEAR(StartDeflection(0.08, 1e-300), 0.0064e-300 / 8, 1e-15 * 0.0064e-300);
  EXPECT_EQ(StartDeflection(0.08, -1e-300), -StartDeflection(0.08, 1e-300));
  EXPECT_TRUE(std::signbit(MinOf(-0.0, 0.0))) << "a tie keeps the first argument";
  EXPECT_FALSE(std::signbit(MaxOf(0.0, -0.0)));
}

TEST(WholeDepositPlate, ABarePlateBendsWithoutStressUnderALinearTemperatureChange) {
  const struct {
    double curvature0, back, top;
  } cases[] = {{0, 650, 720}, {0.3, 900, 610}, {0.05, 1500, 300.5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.top);
    const Specimen p{.n = 0, .curvature0 = c.curvature0};
    const ModelState state =
        Prepared(p, kWholeDepositModel, {At(p, DepositEventKind::Row, c.back, c.top)});
    // Just after the change, the plate is bent but holds no stress.
    const double stressScale = p.es * p.alphaS * 1000;
    ModelState changed = state;
    StartDepositPlate(changed, p.t0);
    ApplyTemperatures(changed, state.Timeline.Events[0].Plate);
    EXPECT_NEAR(changed.Stress.Plate.BackStress, 0, 1e-12 * stressScale);
    EXPECT_NEAR(changed.Stress.Plate.FrontStress, 0, 1e-12 * stressScale);
    const StressResults s = Stresses(state);
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

// ∫ α dT from `from` to `to` of a table, by the midpoint rule on a million steps.
double ExpansionIntegral(const FigureTable& alpha, double from, double to) {
  const int steps = 1000000;
  const double dt = (to - from) / steps;
  double sum = 0;
  for (int i = 0; i < steps; ++i) {
    const double t = from + (i + 0.5) * dt;
    std::size_t k = 1;
    while (k + 1 < alpha.size() && alpha[k].Temperature < t) ++k;
    const FigurePoint& a = alpha[k - 1];
    const FigurePoint& b = alpha[k];
    const double x = std::clamp((t - a.Temperature) / (b.Temperature - a.Temperature), 0.0, 1.0);
    sum += (a.Value + x * (b.Value - a.Value)) * dt;
  }
  return sum;
}

TEST(WholeDepositPlate, CoolingOneLamellaWithoutQuenchingStressIsTimoshenkosBimetal) {
  // A lamella landing unstressed and cooling to the room is Timoshenko's bimetal of the misfit
  // ∫ (αd - αs) dT at the room's moduli (total form: the path does not matter), tables or not.
  const FigureTable superalloy = {{300, 12e-6}, {800, 14e-6}, {1100, 18e-6}};
  const FigureTable ceramic = {{350, 9e-6}, {900, 11e-6}};
  const struct {
    FigureTable es, ed, alphaS, alphaD;
    double landing;
    double m = 0.3, r = 0.4;
  } cases[] = {
      {{}, {}, {}, {}, 640, 0.05, 1.0 / 3},
      {{}, {}, {}, {}, 640, 1, 1},
      {{}, {}, {}, {}, 640, 0.2, 3},
      {{}, {}, superalloy, ceramic, 640},
      {{}, {}, superalloy, ceramic, 1000},
      {{}, {}, superalloy, ceramic, 320},
      {{{300, 200e9}, {900, 150e9}}, {{300, 50e9}, {500, 80e9}, {1000, 20e9}}, {}, {}, 850},
      {{{300, 120e9}, {700, 190e9}}, {{600, 100e9}, {800, 70e9}}, superalloy, ceramic, 850},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.landing) + " K, t / h " + std::to_string(c.m));
    Specimen p{.n = 1, .sigmaQ = 0, .curvature0 = 0.12, .t0 = c.landing};
    p.w = c.m * p.h;
    p.ed = c.r * p.es;
    ModelState state =
        Prepared(p, kWholeDepositModel, {At(p, DepositEventKind::Arrival, p.t0, p.t0)});
    MaterialRecord& substrate = state.Materials.Substrate;
    MaterialRecord& coating = state.Materials.Coating;
    substrate.Tables = {{}, {}, c.es, c.alphaS, {}};
    coating.Tables = {{}, {}, c.ed, c.alphaD, {}};
    // The field at the arrival, uniform, which the plate in total form reads: the substrate's
    // integrals and the lamella's cell.
    const double e = FigureAt(c.es, p.es, p.t0);
    const double theta = ExpansionOf(substrate, p.t0);
    state.Timeline.Moduli = {{e * p.h,
                              -e * p.h * p.h / 2,
                              e * p.h * p.h * p.h / 3,
                              e * theta * p.h,
                              -e * theta * p.h * p.h / 2,
                              {{1, 1, p.t0}}}};
    const StressResults s = Stresses(state);
    EXPECT_NEAR(s.History[0].Curvature, p.curvature0, 1e-12 * p.curvature0)
        << "no quenching stress";
    const auto integral = [&p](const FigureTable& alpha, double constant) {
      return alpha.empty() ? constant * (p.t0 - p.room) : ExpansionIntegral(alpha, p.room, p.t0);
    };
    const double misfit = integral(c.alphaD, p.alphaD) - integral(c.alphaS, p.alphaS);
    const double ratio = FigureAt(c.ed, p.ed, p.room) / FigureAt(c.es, p.es, p.room);
    const double timoshenko = Timoshenko(misfit, p.w, p.h, ratio);
    const bool constant = c.alphaS.empty() && c.alphaD.empty();
    EXPECT_NEAR(s.FinalCurvature - p.curvature0, timoshenko,
                (constant ? 1e-12 : 1e-9) * std::fabs(timoshenko));
    EXPECT_LT(s.LamellaStressFinal(1), 0) << "the coating expands less than its substrate";
  }
}

// Three bonded layers each shrinking by its own strain: the k of the strain c + k y (y up, the
// substrate below 0) that balances forces and moments; coating side concave is k < 0.
double ThreeLayerCurvature(const std::array<double, 3>& modulus,
                           const std::array<double, 3>& bottom, const std::array<double, 3>& top,
                           const std::array<double, 3>& freeStrain) {
  double a11 = 0, a12 = 0, a22 = 0, b1 = 0, b2 = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    const double e = modulus[i];
    const double m0 = top[i] - bottom[i];
    const double m1 = (top[i] * top[i] - bottom[i] * bottom[i]) / 2;
    const double m2 = (std::pow(top[i], 3) - std::pow(bottom[i], 3)) / 3;
    a11 += e * m0;
    a12 += e * m1;
    a22 += e * m2;
    b1 += e * freeStrain[i] * m0;
    b2 += e * freeStrain[i] * m1;
  }
  return (a11 * b2 - a12 * b1) / (a11 * a22 - a12 * a12);
}

TEST(WholeDepositPlate, TwoCoatsOfOneLamellaCooledTogetherBendAsAThreeLayerStrip) {
  // Each coat's lamella against the substrate: thickness ratio, modulus ratio, expansion.
  const struct {
    double m1, r1, alpha1, m2, r2, alpha2;
  } cases[] = {{0.05, 1.0, 14e-6, 0.3, 0.25, 10e-6}, {0.02, 1.2, 16e-6, 1.5, 0.1, 20e-6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.m2);
    Specimen p{.n = 2, .sigmaQ = 0, .alphaD = c.alpha1};
    p.w = c.m1 * p.h;
    p.ed = c.r1 * p.es;
    ModelState state = Prepared(
        p, kWholeDepositModel,
        {At(p, DepositEventKind::Row, 640, 640), At(p, DepositEventKind::Arrival, 640, 640),
         At(p, DepositEventKind::Arrival, 640, 640)});
    const double w2 = c.m2 * p.h;
    state.Stress.Coats = {{.Material = "", .LaidThickness = p.w, .FirstLamella = 1, .Lamellae = 1},
                          {.Material = "",
                           .LaidThickness = w2,
                           .FirstLamella = 2,
                           .Lamellae = 1,
                           .Base = p.w,
                           .Given = 1}};
    MaterialRecord top = state.Materials.Coating;
    top.ModuleYoung = c.r2 * p.es;
    top.dilat = c.alpha2;
    state.Materials.LaterCoats = {top};
    const StressResults s = Stresses(state);
    EXPECT_NEAR(s.History[2].Curvature, p.curvature0, 1e-12) << "no quenching stress";
    const double cooling = p.room - 640;
    const double k =
        ThreeLayerCurvature({p.es, p.ed, top.ModuleYoung}, {-p.h, 0, p.w}, {0, p.w, p.w + w2},
                            {p.alphaS * cooling, c.alpha1 * cooling, c.alpha2 * cooling});
    EXPECT_NEAR(s.FinalCurvature - s.History[2].Curvature, -k, 1e-11 * std::fabs(k));
  }
}

TEST(WholeDepositPlate, ATimelineWithMoreLamellaeThanTheModelHoldsIsRefused) {
  const Specimen p{.n = 1};
  const ModelState state = Prepared(
      p, kWholeDepositModel,
      {At(p, DepositEventKind::Arrival, 600, 600), At(p, DepositEventKind::Arrival, 600, 600)});
  EXPECT_THROW(Stresses(state), std::logic_error);
}

// The deflection range folds a start known only at the end with every point before it: the same
// value as folding them in order, whatever NaNs, infinities and signed zeros come.
TEST(DeflectionFoldTest, FoldsAsMinOfAndMaxOfInOrder) {
  const double nan = std::nan("");
  const double inf = INFINITY;
  const std::vector<std::vector<double>> sequences = {
      {},          {1, 2, 3},     {3, 1, 2},   {nan},          {1, nan},
      {nan, 2, 1}, {2, nan, 3},   {0.0, -0.0}, {-0.0, 0.0, 1}, {inf, -inf, nan, 5},
      {5, 5, nan}, {-1, nan, nan}};
  for (const std::vector<double>& values : sequences) {
    for (const double start : {0.0, -0.0, 2.5, -7.0, nan, inf}) {
      for (const bool lowest : {true, false}) {
        DeflectionFold fold(lowest);
        double expected = start;
        for (const double v : values) {
          fold.Add(v);
          expected = lowest ? MinOf(expected, v) : MaxOf(expected, v);
        }
        const double got = fold.From(start);
        const bool same = std::isnan(expected)
                              ? std::isnan(got)
                              : got == expected && std::signbit(got) == std::signbit(expected);
        EXPECT_TRUE(same) << "start " << start << (lowest ? " min" : " max") << " of "
                          << values.size() << " values: " << got << " not " << expected;
      }
    }
  }
}

}  // namespace
}  // namespace quillane
