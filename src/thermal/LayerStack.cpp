#include "thermal/LayerStack.h"

#include <cmath>

#include "model/Deposit.h"

namespace quillane {

namespace {

int LayerCountFor(int lamellaIndex, int passNumber) {
  switch (lamellaIndex) {
    case 0:
      return passNumber > 1 ? 2 : 1;
    case 1:
      return 3;
    case 2:
      return 4;
    case 3:
      return 5;
    case 4:
      return 6;
    default:
      return 7;
  }
}

void RecreateWorkingArrays(LayerStack& stack) {
  const int nodes = stack.NodeCount;
  const int layers = stack.LayerCount;
  stack.ThermalMatrix.Redim(nodes, nodes);
  stack.ThermalRhs.Redim(1, nodes);
  stack.ThermalSolution.Redim(1, nodes);
  stack.NodeHeight.Redim(1, nodes);
  stack.LayerFourier.Redim(1, layers);
  stack.LayerTable.Redim(layers, 3);
  stack.LayerCoeff.Redim(layers, 13);
  stack.InterfaceCoeff.Redim(layers, 12);
  if (stack.NodeTemperature.Empty()) {
    stack.NodeTemperature.Redim(1, nodes);
  } else {
    stack.NodeTemperature.RedimPreserve(nodes);
  }
}

}  // namespace

void SetUpLayerStack(ModelState& state) {
  LayerStack& stack = state.Stack;
  StressResults& stress = state.Stress;
  const InputParameters& in = state.Input;
  const int lamella = state.Clock.LamellaIndex;
  const double laid = LaidLamellaThickness(in);

  stack.LayerCount = LayerCountFor(lamella, state.Clock.PassNumber);
  stack.NodeCount = stack.LayerCount + 1;

  // What the stress model starts from that the layers know; the rest of its start is its own
  // (StartStressModel).
  stress.Curvature(0) = in.InitialCurvature;
  stress.LamellaThicknessCopy = laid;

  RecreateWorkingArrays(stack);

  const int layers = stack.LayerCount;
  for (int k = 1; k <= layers; ++k) {
    double thickness = laid;
    if (k == 1) {
      thickness = in.SubstrateThicknessInput;
      stress.SubstrateThickness = thickness;
    } else if (k == 2) {
      thickness = state.Clock.PassStartThickness + 1e-6;
      if (state.Clock.PassNumber == 1) thickness = 5e-7;
    } else if (k == 4 && lamella > 5) {
      thickness = (lamella - 4) * laid;
    }
    stack.LayerTable(k, 1) = thickness;
    stack.LayerTable(k, 3) = k + 1;
  }

  state.Heat.TopHeatCoeff = 34.82;
  stack.StepsSinceSetup = 0;
  if (state.Clock.ElapsedTime == 0) {
    for (int i = 1; i <= stack.NodeCount; ++i) stack.NodeTemperature(i) = in.SubstrateTemperature;
  }
}

}  // namespace quillane
