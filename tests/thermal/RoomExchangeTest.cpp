// The whole-deposit model's heat exchange: convection to the gases and radiation to the room at
// both faces, and the torch's flux into the top surface. Held long enough, the plate reaches the
// steady state where the flux in equals what the two faces lose.

#include <gtest/gtest.h>

#include <cmath>

#include "ModelFixture.h"

namespace quillane {
namespace {

constexpr double kConvection = 147;             // W/(m²·K)
constexpr double kEmissivitySigma = 4.5352e-8;  // W/(m²·K⁴)

// What a face at temperature t loses per unit area.
double Loss(double t, double gas, double room) {
  return kConvection * (t - gas) + kEmissivitySigma * (std::pow(t, 4) - std::pow(room, 4));
}

// The temperature at which a face loses nothing (Newton's method; the loss grows with t).
double NeutralTemperature(double gas, double room) {
  double t = gas;
  for (int i = 0; i < 50; ++i) {
    t -= Loss(t, gas, room) / (kConvection + 4 * kEmissivitySigma * t * t * t);
  }
  return t;
}

using RoomExchangeTest = test::ModelFixture;

TEST_F(RoomExchangeTest, HeldLongTheFacesLoseWhatTheTorchBringsIn) {
  const struct {
    double flux, gas, room;
  } cases[] = {{0, 973, 293.15}, {0, 500, 900}, {20000, 973, 293.15}, {150000, 600, 300}};
  const ModelState base = state;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flux);
    state = base;
    state.Input.StressModel = kWholeDepositModel;
    state.Input.HeatFlux = c.flux;
    state.Input.GasTemperature = c.gas;
    state.Input.RoomTemperature = c.room;
    // The torch stays on for the whole pass, long enough for the steady state.
    state.Input.HeatingWindow = 1e5;
    state.Input.PassPeriod = 1e5;
    ResolveMaterials();
    RunThermalHistory(state, sink);
    const BasedArray<double>& t = state.Stack.NodeTemperature;
    const double back = t(1);
    const double top = t(state.Stack.NodeCount);
    const double lost = Loss(back, c.gas, c.room) + Loss(top, c.gas, c.room);
    if (c.flux == 0) {
      const double neutral = NeutralTemperature(c.gas, c.room);
      EXPECT_NEAR(back, neutral, 1e-9 * neutral);
      EXPECT_NEAR(top, neutral, 1e-9 * neutral);
      EXPECT_NEAR(lost, 0, 1e-9 * kConvection * neutral);
    } else {
      EXPECT_NEAR(lost, c.flux, 1e-9 * c.flux);
      EXPECT_GT(top, back) << "the heat flows from the sprayed face to the back";
    }
  }
}

}  // namespace
}  // namespace quillane
