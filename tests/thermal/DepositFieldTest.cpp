// The whole-deposit model's thermal field against closed forms (slab, steady plate, thin plate
// cooling) and against its energy balance, step by step through whole runs.

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "model/Deposit.h"
#include "model/FigureTable.h"
#include "model/InputTable.h"
#include "thermal/FieldSchedule.h"
#include "thermal/FieldSolver.h"

namespace quillane {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFaceConvection = 147;       // W/(m²·K)
constexpr double kFaceRadiation = 4.5352e-8;  // εσ, W/(m²·K⁴)

// Steel (316L), a plasma-sprayed NiCrAlY, alumina and C35 steel; the contact as shipped: λ, ρ, c,
// melting point and latent heat, all the field reads of a row.
const MaterialRecord kSteel{"", 16.3, 8000, 500, 1673, 280e3, 0, 0, 0, 0, {}};
const MaterialRecord kNiCrAlY{"", 9.0, 7300, 500, 1630, 300e3, 0, 0, 0, 0, {}};
const MaterialRecord kAlumina{"", 3.0, 3500, 880, 2327, 1.09e6, 0, 0, 0, 0, {}};
const MaterialRecord kC35{"", 51.9, 7850, 486, 1768, 260e3, 0, 0, 0, 0, {}};
const MaterialRecord kContact{"", 1.0, 4000, 600, 0, 0, 0, 0, 0, 0, {}};

RunMaterials Materials(const MaterialRecord& substrate, const MaterialRecord& coating) {
  return {substrate, kContact, coating, {}};
}

double FaceLoss(double t, double gas, double room) {
  return kFaceConvection * (t - gas) + kFaceRadiation * (std::pow(t, 4) - std::pow(room, 4));
}

TEST(DepositFieldTest, AThickSlabUnderAConstantFluxWarmsAsTheSemiInfiniteSolid) {
  // Faces start at the gas and room temperature, so the losses stay below 0.5 % of the flux.
  const double q = 1e7;
  const double t0 = 293.15;
  DepositField field;
  LayOutField(field, 0.01, {{1e-6, 0, 0}}, 4, t0);
  const RunMaterials m = Materials(kSteel, kNiCrAlY);
  const FaceExchange exchange{t0, t0, q, 0, 0};
  const double effusivity = std::sqrt(kSteel.Lambda * kSteel.Rho * kSteel.Cp);
  double t = 0;
  for (const double end : {0.01, 0.03, 0.1}) {
    while (t < end - 1e-12) {
      StepField(field, m, exchange, 1e-5);
      t += 1e-5;
    }
    const double rise = 2 * q * std::sqrt(t / kPi) / effusivity;
    EXPECT_NEAR(field.Surface - t0, rise, 0.01 * rise) << "at " << t << " s";
    EXPECT_NEAR(field.BackFace, t0, 1e-6) << "the back face has not felt it";
  }
}

TEST(DepositFieldTest, TheSteadyStateOfAPlateWithItsDepositIsItsSeriesOfResistances) {
  // 2 mm of steel, the contact and 100 µm of NiCrAlY under 300 kW/m²; a holder at the back.
  DepositField field;
  LayOutField(field, 0.002, {{10e-6, 0, 0}}, 1, 500);
  const RunMaterials m = Materials(kSteel, kNiCrAlY);
  for (int i = 0; i < 10; ++i) LayLamella(field, m, 0, 500);
  const FaceExchange exchange{600, 300, 3e5, 2000, 400};
  // Backward Euler with a step far beyond every time constant lands on the steady state.
  for (int i = 0; i < 3; ++i) StepField(field, m, exchange, 1e9);
  // The heat through the plate is what the back face gives to the gas, the room and the holder;
  // the surface loses the rest of the flux.
  const double back = field.BackFace;
  const double through = FaceLoss(back, 600, 300) + 2000 * (back - 400);
  const double resistance =
      0.002 / kSteel.Lambda + 10e-6 / kContact.Lambda + 100e-6 / kNiCrAlY.Lambda;
  EXPECT_NEAR(field.Surface - back, through * resistance, 1e-6);
  EXPECT_NEAR(field.SubstrateTop - back, through * 0.002 / kSteel.Lambda, 1e-6);
  EXPECT_NEAR(FaceLoss(field.Surface, 600, 300) + through, 3e5, 1e-6 * 3e5);
}

// ∫ f dT of a table (constant beyond its points) by Simpson's rule on 20,000 steps.
double SimpsonIntegral(const FigureTable& f, double from, double to) {
  const auto at = [&f](double t) {
    if (t <= f.front().Temperature) return f.front().Value;
    for (std::size_t k = 1; k < f.size(); ++k) {
      if (t <= f[k].Temperature) {
        return f[k - 1].Value + (f[k].Value - f[k - 1].Value) * (t - f[k - 1].Temperature) /
                                    (f[k].Temperature - f[k - 1].Temperature);
      }
    }
    return f.back().Value;
  };
  const int steps = 20000;
  const double dt = (to - from) / steps;
  double sum = at(from) + at(to);
  for (int i = 1; i < steps; ++i) sum += (i % 2 == 1 ? 4 : 2) * at(from + i * dt);
  return sum * dt / 3;
}

TEST(DepositFieldTest, ConductivitiesAgainstTemperatureCarryTheSteadyFluxOfKirchhoffsIntegral) {
  // Steady, q = ∫ λ dT / L through a layer: exact where λ is linear across a cell; a table's point
  // within a cell (650 K, 710 K) leaves an error that finer cells shrink.
  MaterialRecord steel = kSteel;
  steel.Tables.Lambda = {{300, 12}, {650, 19}, {1200, 28}};
  MaterialRecord zirconia{"", 2.0, 5900, 500, 0, 0, 0, 0, 0, 0, {}};
  zirconia.Tables.Lambda = {{300, 2.6}, {710, 2.2}, {1500, 1.6}};
  const RunMaterials m = Materials(steel, zirconia);
  double previous = 1;
  for (const int refinement : {1, 4}) {
    SCOPED_TRACE(refinement);
    DepositField field;
    LayOutField(field, 0.002, {{10e-6, 0, 0}}, refinement, 500);
    for (int i = 0; i < 30; ++i) LayLamella(field, m, 0, 500);
    for (int i = 0; i < 3; ++i) StepField(field, m, {600, 300, 5e5, 2000, 400}, 1e9);
    const double back = field.BackFace;
    const double through = FaceLoss(back, 600, 300) + 2000 * (back - 400);
    const double under = field.SubstrateTop + through * 10e-6 / kContact.Lambda;
    ASSERT_LT(back, 650);
    ASSERT_GT(field.SubstrateTop, 650);
    ASSERT_LT(under, 710);
    ASSERT_GT(field.Surface, 710);
    const double error =
        std::max(std::fabs(SimpsonIntegral(steel.Tables.Lambda, back, field.SubstrateTop) / 0.002 -
                           through),
                 std::fabs(SimpsonIntegral(zirconia.Tables.Lambda, under, field.Surface) / 300e-6 -
                           through)) /
        through;
    EXPECT_LT(error, 1e-5);
    EXPECT_LT(error, previous / 10) << "finer cells";
    previous = error;
    EXPECT_NEAR(FaceLoss(field.Surface, 600, 300) + through, 5e5, 1e-9 * 5e5);
    // ∫ (∫ α dT) dy and its moment over the substrate's piecewise-linear profile, which crosses a
    // table point, against the profile sampled finely.
    MaterialRecord expanding = steel;
    expanding.Tables.dilat = {{300, 12e-6}, {640, 14e-6}, {900, 17e-6}};
    const PlateTemperatures plate = PlateTemperaturesOf(field, Materials(expanding, zirconia));
    std::vector<std::pair<double, double>> knots = {{-0.002, back}};
    for (int i = 0; i < field.SubstrateCells; ++i) {
      const FieldCell& cell = field.Cells[static_cast<std::size_t>(i)];
      knots.push_back({cell.Bottom + cell.Thickness / 2, cell.Temperature});
    }
    knots.push_back({0, field.SubstrateTop});
    const int samples = 200000;
    double sum = 0, moment = 0;
    std::size_t k = 1;
    for (int i = 0; i < samples; ++i) {
      const double y = -0.002 * (1 - (i + 0.5) / samples);
      while (knots[k].first < y) ++k;
      const auto [y0, t0] = knots[k - 1];
      const auto [y1, t1] = knots[k];
      const double strain = ExpansionOf(expanding, t0 + (t1 - t0) * (y - y0) / (y1 - y0));
      sum += strain * 0.002 / samples;
      moment += strain * y * 0.002 / samples;
    }
    EXPECT_NEAR(plate.SubstrateSum, sum, 1e-7 * std::fabs(sum));
    EXPECT_NEAR(plate.SubstrateMoment, moment, 1e-7 * std::fabs(moment));
  }
}

TEST(DepositFieldTest, AThinPlateCoolsAsItsLumpedBalanceIntegratedFinely) {
  // 0.2 mm of copper: its Biot number is 1e-4, so the plate is one temperature.
  const MaterialRecord copper{"", 391, 8940, 385, 0, 0, 0, 0, 0, 0, {}};
  const double h = 2e-4;
  const double gas = 400, room = 293.15;
  DepositField field;
  LayOutField(field, h, {{1e-6, 0, 0}}, 1, 1000);
  const RunMaterials m = Materials(copper, kNiCrAlY);
  const FaceExchange exchange{gas, room, 0, 0, 0};
  // ρ c h dT/dt = -2 loss(T), by classic Runge-Kutta with 1e-4 s steps.
  const auto slope = [&](double t) {
    return -2 * FaceLoss(t, gas, room) / (copper.Rho * copper.Cp * h);
  };
  double lumped = 1000;
  for (int step = 1; step <= 20000; ++step) {
    const double dt = 1e-4;
    const double k1 = slope(lumped), k2 = slope(lumped + dt * k1 / 2);
    const double k3 = slope(lumped + dt * k2 / 2), k4 = slope(lumped + dt * k3);
    lumped += dt * (k1 + 2 * k2 + 2 * k3 + k4) / 6;
    StepField(field, m, exchange, dt);
    if (step % 5000 == 0) {
      EXPECT_NEAR(field.Surface, lumped, 0.05) << "at " << step * 1e-4 << " s";
      EXPECT_NEAR(field.BackFace, lumped, 0.05);
    }
  }
  EXPECT_LT(lumped, 700) << "the plate has cooled well below its start";
}

// The schedule run on the field directly: each step's enthalpy change against the lamellae
// arrived and the faces' heat, from the test's own exchange laws at the step's three points.
// Gives the worst |imbalance| / largest term over the steps.
double AuditRun(InputParameters in, const RunMaterials& m) {
  in.StressModel = kWholeDepositModel;
  const std::vector<SprayedCoat> coats = SprayedCoats(in, m);
  DepositField field;
  LayOutField(field, in.SubstrateThicknessInput, FieldCoats(coats, m), in.ThermalRefinement,
              in.SubstrateTemperature);
  double worst = 0;
  double time = 0;
  ScheduleVisitor visit;
  visit.Land = [&](int, double, std::size_t k) {
    const double before = FieldEnthalpy(field, m);
    const SprayedCoat& coat = coats[k];
    const double brought = LayLamella(field, m, static_cast<int>(k), coat.ParticleTemperature);
    // The lamella brings its own enthalpy, at the particles' temperature and molten.
    const MaterialRecord& c = CoatRow(m, coat.Given);
    const double heat =
        c.Tables.Cp.empty()
            ? c.Cp * (coat.ParticleTemperature - in.SubstrateTemperature)
            : SimpsonIntegral(c.Tables.Cp, in.SubstrateTemperature, coat.ParticleTemperature);
    EXPECT_NEAR(brought, c.Rho * coat.LaidThickness * (heat + c.Lfusion), 1e-9 * brought);
    EXPECT_NEAR(FieldEnthalpy(field, m), before + brought, 1e-9 * brought)
        << "a merge keeps the enthalpy";
  };
  visit.Step = [&](const GridStep& step) {
    const double gas = step.Spraying ? in.GasTemperature : in.RoomTemperature;
    const double flux = step.Torch ? coats[step.Coat].HeatFlux : 0;
    const double before = FieldEnthalpy(field, m);
    const double dt = step.End - time;
    const FieldStepFaces e =
        StepField(field, m, {gas, in.RoomTemperature, flux, 0, 0}, dt, step.AfterLanding);
    double heat = 0;
    double largest = 0;
    for (int k = 0; k < 3; ++k) {
      const double net = flux - FaceLoss(e.Surface[k], gas, in.RoomTemperature) -
                         FaceLoss(e.Back[k], gas, in.RoomTemperature);
      heat += e.Weight[k] * net;
      largest = std::max({largest, e.Weight[k] * std::fabs(net), e.Weight[k] * flux});
    }
    const double change = FieldEnthalpy(field, m) - before;
    EXPECT_NEAR(e.Weight[0] + e.Weight[1] + e.Weight[2], dt, 1e-12 * dt);
    largest = std::max(largest, std::fabs(change));
    worst = std::max(worst, std::fabs(change - heat) / largest);
    time = step.End;
  };
  WalkSchedule(in, coats, visit);
  return worst;
}

TEST(DepositFieldTest, EveryStepOfARunConservesEnergy) {
  // A second coat, when given: alumina by a hotter torch after a pause, on thicker lamellae.
  CoatInput top;
  top.Material = "alumina", top.PassCount = 2, top.LamellaThickness = 5e-6;
  top.HeatFlux = 1.5e6, top.ParticleTemperature = 2600, top.PauseBefore = 20;
  // Conductivity and heat capacity against temperature, a point on each side of the ranges the
  // run passes through and within them.
  MaterialRecord tabledSteel = kSteel;
  tabledSteel.Tables.Lambda = {{300, 14}, {500, 17}, {900, 23}};
  tabledSteel.Tables.Cp = {{300, 470}, {600, 540}, {1000, 600}};
  MaterialRecord ceramic{"", 2.0, 5900, 500, 1900, 7e5, 0, 0, 0, 0, {}};
  ceramic.Tables.Lambda = {{300, 2.6}, {1500, 1.6}};
  ceramic.Tables.Cp = {{300, 450}, {800, 600}, {2000, 660}};
  const struct {
    const char* name;
    MaterialRecord substrate, coating;
    int passes;
    double pass, lamella, flux;
    bool topCoat;
  } cases[] = {{"NiCrAlY on 316L", kSteel, kNiCrAlY, 4, 25e-6, 1e-6, 5e5, false},
               {"a ceramic on a steel, both against temperature", tabledSteel, ceramic, 3, 20e-6,
                2e-6, 8e5, false},
               {"alumina on C35", kC35, kAlumina, 3, 30e-6, 10e-6, 2e6, false},
               {"alumina over NiCrAlY on 316L", kSteel, kNiCrAlY, 2, 25e-6, 1e-6, 5e5, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InputParameters in = DefaultInputs();
    in.PassCount = c.passes;
    in.PassThickness = c.pass;
    in.LamellaThickness = c.lamella;
    in.HeatFlux = c.flux;
    in.CoolingTime = 30;
    RunMaterials materials = Materials(c.substrate, c.coating);
    if (c.topCoat) {
      CoatInput bond;
      bond.Material = "NiCrAlY", bond.PassCount = c.passes;
      in.Coats = {bond, top};
      materials.LaterCoats = {kAlumina};
    }
    EXPECT_LT(AuditRun(in, materials), 1e-9);
  }
}

}  // namespace
}  // namespace quillane
