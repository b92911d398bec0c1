#include "thermal/LayerStack.h"

#include <gtest/gtest.h>

#include <vector>

#include "ModelFixture.h"
#include "model/Deposit.h"

namespace quillane {
namespace {

class LayerStackTest : public test::ModelFixture {
 protected:
  // Sets up the stack for a lamella of a pass and returns the layer thicknesses.
  std::vector<double> Thicknesses(int lamella, int pass) {
    state.Clock.LamellaIndex = lamella;
    state.Clock.PassNumber = pass;
    SetUpLayerStack(state);
    std::vector<double> result;
    for (int k = 1; k <= state.Stack.LayerCount; ++k) {
      EXPECT_EQ(state.Stack.LayerTable(k, 3), k + 1);
      result.push_back(state.Stack.LayerTable(k, 1));
    }
    EXPECT_EQ(state.Stack.NodeCount, state.Stack.LayerCount + 1);
    return result;
  }

  void SetUp() override {
    ModelFixture::SetUp();
    state.Stress.SizeLamellaArrays(10);
    state.Input.LamellaThickness = 2e-6;
    state.Clock.PassStartThickness = 4e-6;
  }
};

TEST_F(LayerStackTest, ThicknessesFollowTheLamellaAndThePass) {
  const double w = 2e-6;
  const double h = 0.002;
  EXPECT_EQ(Thicknesses(0, 1), (std::vector<double>{h}));
  EXPECT_EQ(Thicknesses(0, 3), (std::vector<double>{h, 4e-6 + 1e-6}));
  EXPECT_EQ(Thicknesses(5, 1), (std::vector<double>{h, 5e-7, w, w, w, w, w}));
  EXPECT_EQ(Thicknesses(6, 1), (std::vector<double>{h, 5e-7, w, 2 * w, w, w, w}));
}

TEST_F(LayerStackTest, NodeTemperaturesStayAttachedToTheirIndices) {
  state.Clock.ElapsedTime = 0;
  Thicknesses(0, 1);
  EXPECT_EQ(state.Stack.NodeTemperature(1), 573);
  EXPECT_EQ(state.Stack.NodeTemperature(2), 573);

  state.Clock.ElapsedTime = 1;
  Thicknesses(4, 1);
  for (int i = 1; i <= 7; ++i) state.Stack.NodeTemperature(i) = 600 + i;
  Thicknesses(5, 1);
  EXPECT_EQ(state.Stack.NodeTemperature(7), 607);
  EXPECT_EQ(state.Stack.NodeTemperature(8), 0) << "a new node waits for the arriving lamella";
  Thicknesses(1, 2);
  ASSERT_EQ(state.Stack.NodeTemperature.Upper(), 4);
  EXPECT_EQ(state.Stack.NodeTemperature(4), 604);
}

TEST_F(LayerStackTest, TheWholeDepositLaysWholePassesOfEvenLamellae) {
  const struct {
    const char* model;
    double pass, lamella;
    int perPass;
    double laid;
  } cases[] = {
      {kOnePassModel, 1e-6, 1e-6, 2, 1e-6},  // Int(ratio) + 1: one lamella more
      {kOnePassModel, 2.5e-6, 1e-6, 3, 1e-6},
      {kWholeDepositModel, 2.5e-6, 1e-6, 3, 2.5e-6 / 3},  // a half rounds away from zero
      {kWholeDepositModel, 2.4e-6, 1e-6, 2, 1.2e-6},
      {kWholeDepositModel, 0.3e-6, 1e-6, 1, 0.3e-6},  // never fewer than one
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.pass));
    state.Input.StressModel = c.model;
    state.Input.PassThickness = c.pass;
    state.Input.LamellaThickness = c.lamella;
    EXPECT_EQ(LamellaePerPass(state.Input), c.perPass);
    EXPECT_DOUBLE_EQ(LaidLamellaThickness(state.Input), c.laid);
    // The stack and the stress model use the lamellae laid.
    const std::vector<double> layers = Thicknesses(6, 1);
    EXPECT_EQ(layers[2], LaidLamellaThickness(state.Input));
    EXPECT_EQ(layers[3], 2 * LaidLamellaThickness(state.Input));
    EXPECT_EQ(state.Stress.LamellaThicknessCopy, LaidLamellaThickness(state.Input));
  }
}

}  // namespace
}  // namespace quillane
