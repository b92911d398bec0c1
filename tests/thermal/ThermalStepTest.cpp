#include "thermal/ThermalStep.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ModelFixture.h"
#include "thermal/LayerStack.h"

namespace quillane {
namespace {

constexpr double kConvection = 147;             // W/(m²·K)
constexpr double kEmissivitySigma = 4.5352e-8;  // W/(m²·K⁴)

class ThermalStepTest : public test::ModelFixture {
 protected:
  void SetUp() override {
    ModelFixture::SetUp();
    ResolveMaterials();
    state.Stress.SizeLamellaArrays(4);
  }
  // Lamella `lamella` of the first pass, set up a second into the run with every node at t.
  void SetUpAt(int lamella, double t) {
    state.Clock.LamellaIndex = lamella;
    state.Clock.PassNumber = 1;
    SetUpLayerStack(state);
    state.Clock.ElapsedTime = 1;
    for (int i = 1; i <= state.Stack.NodeCount; ++i) state.Stack.NodeTemperature(i) = t;
  }
  void Environment(double back, double top, double dt) {
    state.Stack.BackGasTemperature = back;
    state.Stack.TopGasTemperature = top;
    state.Clock.TimeStep = dt;
  }
};

// Cold faces (and the first pass's contact layer) are walked by the reference case, byte for byte.
TEST_F(ThermalStepTest, HotFacesTakeTheirRadiationIntoTheirCoefficients) {
  // A hot back face radiates; node m below the top gas makes the top coefficient negative.
  SetUpAt(2, 1000);
  state.Stack.NodeTemperature(3) = 900;
  Environment(300, 973, 1e-3);
  ThermalStep(state, sink);
  const double back = kEmissivitySigma * (std::pow(1000, 4) - std::pow(300, 4)) / (1000 - 300);
  EXPECT_DOUBLE_EQ(state.Heat.BackHeatCoeff, kConvection + back);
  EXPECT_NEAR(state.Heat.TopHeatCoeff, -255, 1);
}

TEST_F(ThermalStepTest, LatentHeatWidensTheCoatingCapacityOnlyInsideTheWindowOfTheBackFace) {
  const MaterialRecord& coat = state.Materials.Coating;
  const struct {
    double offset;  // back face above the melting point, K
    bool inside;
  } cases[] = {{-100, false}, {-99.5, true}, {99.5, true}, {100, false}};
  for (const auto& c : cases) {
    SetUpAt(2, coat.Tfusion + c.offset);
    Environment(973, 973, 1e-3);
    ThermalStep(state, sink);
    const double cp = c.inside ? coat.Cp + coat.Lfusion / 200 : coat.Cp;
    const double dx = state.Input.LamellaThickness;  // layer 3 is one lamella over one node
    EXPECT_DOUBLE_EQ(state.Stack.LayerFourier(3), coat.Lambda / (coat.Rho * cp) * 1e-3 / (dx * dx))
        << c.offset;
  }
}

TEST_F(ThermalStepTest, SingularSystemsAreCountedAndTheRunGoesOn) {
  SetUpAt(0, 573);
  Environment(973, 973, 0.01);
  ThermalStep(state, sink);
  // A zero heat capacity makes every Fourier number infinite: the system cannot be solved.
  state.Materials.Substrate.Cp = 0;
  ThermalStep(state, sink);
  EXPECT_EQ(sink.singularReports, 1);
  EXPECT_EQ(state.Statistics.SingularMatrixEvents, 1);
}

// A thin copper plate is one lumped capacity: rho c L dT/dt = -2 (h (T - Tg) + sigma (T^4 - Ts^4)),
// the faces radiating while hotter than the gas.
TEST_F(ThermalStepTest, ThinConductivePlateCoolsAsALumpedCapacity) {
  MaterialRecord& copper = state.Materials.Substrate;
  copper = {"copper", 390, 8900, 385, 1356, 205000, 117e9, 0.34, 17e-6, 0, {}};
  state.Input.SubstrateThicknessInput = 5e-4;
  SetUpAt(0, 900);
  const double gas = 700;
  const double dt = 0.01;
  Environment(gas, gas, dt);
  ThermalStep(state, sink);  // boundary terms only
  double lumped = (state.Stack.NodeTemperature(1) + state.Stack.NodeTemperature(2)) / 2;
  const double start = lumped;
  const double capacity = copper.Rho * copper.Cp * 5e-4;
  const auto rate = [&](double t) {
    const double radiation = t > gas ? kEmissivitySigma * (std::pow(t, 4) - std::pow(300.0, 4)) : 0;
    return -2 * (kConvection * (t - gas) + radiation) / capacity;
  };
  for (int step = 0; step < 150; ++step) {
    ThermalStep(state, sink);
    // Fine Runge-Kutta integration of the lumped model over the same step.
    for (int sub = 0; sub < 10; ++sub) {
      const double h = dt / 10;
      const double k1 = rate(lumped), k2 = rate(lumped + h / 2 * k1);
      const double k3 = rate(lumped + h / 2 * k2), k4 = rate(lumped + h * k3);
      lumped += h / 6 * (k1 + 2 * k2 + 2 * k3 + k4);
    }
  }
  const double plate = (state.Stack.NodeTemperature(1) + state.Stack.NodeTemperature(2)) / 2;
  EXPECT_LT(plate, start - 50) << "the plate must have cooled noticeably";
  EXPECT_NEAR(plate, lumped, 0.01 * (start - lumped));
  EXPECT_NEAR(state.Stack.NodeTemperature(1), state.Stack.NodeTemperature(2), 0.1);
}

}  // namespace
}  // namespace quillane
