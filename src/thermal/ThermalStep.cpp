#include "thermal/ThermalStep.h"

#include <cmath>

#include "thermal/FaceConstants.h"
#include "thermal/LinearSolver.h"
#include "thermal/ThermalRow.h"

namespace quillane {

namespace {

constexpr double kSurroundings = 300;  // K, radiation sink

// Takes the properties of layer k from its catalogue row and leaves the constants the stress
// model reads. Returns the effective heat capacity.
double ReadLayerMaterial(ModelState& state, int k) {
  LayerStack& stack = state.Stack;
  if (k == 1) {
    const MaterialRecord& row = state.Materials.Substrate;
    stack.LayerLambda = row.Lambda;
    stack.LayerRho = row.Rho;
    stack.MeltingPoint = row.Tfusion;
    TakeSubstrateConstants(stack, row);
    return row.Cp;
  }
  if (k == 2 && state.Clock.PassNumber == 1) {
    const MaterialRecord& row = state.Materials.Contact;
    stack.LayerLambda = row.Lambda;
    stack.LayerRho = row.Rho;
    TakeCoatingConstants(stack, row);
    return row.Cp;
  }
  const MaterialRecord& row = state.Materials.Coating;
  stack.LayerLambda = row.Lambda;
  stack.LayerRho = row.Rho;
  stack.MeltingPoint = row.Tfusion;
  // Latent heat as an apparent heat capacity spread over a 200 K window, opened by the
  // temperature of the substrate's back face.
  double cp = row.Cp;
  const double backFace = stack.NodeTemperature(1);
  if (stack.MeltingPoint - 100 < backFace && backFace < stack.MeltingPoint + 100) {
    cp = row.Cp + row.Lfusion / 200;
  }
  TakeCoatingConstants(stack, row);
  return cp;
}

// The temperatures the two faces are drawn to, each weighted in the step by its face's total
// coefficient.
struct FaceAmbients {
  double Back = 0;
  double Top = 0;
};

FaceAmbients UpdateHeatTransferCoefficients(ModelState& state) {
  const LayerStack& stack = state.Stack;
  const BasedArray<double>& t = stack.NodeTemperature;
  const int n = stack.NodeCount;
  HeatTransfer& heat = state.Heat;
  heat.TopHeatCoeff = kFaceConvection;
  heat.BackHeatCoeff = kFaceConvection;
  if (t(n - 1) - stack.TopGasTemperature <= 0) {
    heat.TopRadiativeCoeff = 0;
  } else {
    const int m = n == 2 ? 1 : n - 2;
    const double tm = t(m);
    if (tm == stack.TopGasTemperature) {
      // The limit of the linearised coefficient where the difference vanishes.
      heat.TopRadiativeCoeff = 4 * kFaceRadiation * std::pow(tm, 3);
    } else {
      heat.TopRadiativeCoeff = kFaceRadiation * (std::pow(tm, 4) - std::pow(kSurroundings, 4)) /
                               (tm - stack.TopGasTemperature);
    }
  }
  double backRadiative = 0;
  if (t(1) - stack.BackGasTemperature > 0) {
    backRadiative = kFaceRadiation * (std::pow(t(1), 4) - std::pow(kSurroundings, 4)) /
                    (t(1) - stack.BackGasTemperature);
  }
  heat.TopHeatCoeff = heat.TopRadiativeCoeff + kFaceConvection;
  heat.BackHeatCoeff = kFaceConvection + backRadiative;
  return {stack.BackGasTemperature, stack.TopGasTemperature};
}

FaceAmbients ComputeLayerCoefficients(ModelState& state) {
  LayerStack& stack = state.Stack;
  const int layers = stack.LayerCount;
  const double dt = state.Clock.TimeStep;
  // Both coefficients depend only on the temperatures, which the layer pass does not change.
  const FaceAmbients ambients = UpdateHeatTransferCoefficients(state);
  for (int k = 1; k <= layers; ++k) {
    const double below = k == 1 ? 1 : stack.LayerTable(k - 1, 3);
    stack.LayerStep = stack.LayerTable(k, 1) / (stack.LayerTable(k, 3) - below);
    const double cp = ReadLayerMaterial(state, k);
    const double a = stack.LayerLambda / (stack.LayerRho * cp);

    const double dx = stack.LayerStep;
    const double lambda = stack.LayerLambda;
    const double hb = state.Heat.BackHeatCoeff;
    const double ht = state.Heat.TopHeatCoeff;
    const double fo = a * dt / (dx * dx);
    stack.LayerFourier(k) = fo;
    stack.LayerCoeff(k, 1) = 2 * fo + 1 + a * 2 * hb * dt / (lambda * dx);
    stack.LayerCoeff(k, 2) = lambda / dx;
    stack.LayerCoeff(k, 6) = 2 * fo + 1 + a * 2 * ht * dt / (lambda * dx);
    stack.LayerCoeff(k, 9) = a * 2 * dt * hb / dx / lambda;
    stack.LayerCoeff(k, 12) = a * 2 * dt * ht / dx / lambda;
    if (layers == 1) break;
    if (k >= 2) {
      const double foBelow = stack.LayerFourier(k - 1);
      const double r = stack.LayerCoeff(k, 2) / stack.LayerCoeff(k - 1, 2);
      stack.InterfaceCoeff(k - 1, 1) = -2 * foBelow;
      stack.InterfaceCoeff(k - 1, 2) = 2 * foBelow * r + 2 * foBelow + 1;
      stack.InterfaceCoeff(k - 1, 3) = -2 * foBelow * r;
    }
  }
  return ambients;
}

void AssembleMatrix(LayerStack& stack) {
  const int n = stack.NodeCount;
  const int l = stack.LayerCount;
  BasedMatrix<double>& m = stack.ThermalMatrix;
  m.Fill(0);
  m(1, 1) = stack.LayerCoeff(1, 1);
  m(1, 2) = -2 * stack.LayerFourier(1);
  for (int i = 2; i <= n - 1; ++i) {
    m(i, i - 1) = stack.InterfaceCoeff(i - 1, 1);
    m(i, i) = stack.InterfaceCoeff(i - 1, 2);
    m(i, i + 1) = stack.InterfaceCoeff(i - 1, 3);
  }
  m(n, n - 1) = -2 * stack.LayerFourier(l);
  m(n, n) = stack.LayerCoeff(l, 6);
}

void ComputeNodeHeights(LayerStack& stack) {
  const int n = stack.NodeCount;
  stack.NodeHeight.Fill(0);
  for (int i = 1; i <= n - 1; ++i) {
    stack.NodeHeight(n) = stack.NodeHeight(n) + stack.LayerTable(i, 1);
    stack.NodeHeight(i + 1) = stack.NodeHeight(n);
  }
}

}  // namespace

void TakeSubstrateConstants(LayerStack& stack, const MaterialRecord& row) {
  stack.SubstrateYoung = row.ModuleYoung;
  stack.SubstratePoisson = row.Poisson;
  stack.SubstrateExpansion = row.dilat;
  stack.LastSigmaQ = row.SigmaQ;
}

void TakeCoatingConstants(LayerStack& stack, const MaterialRecord& row) {
  stack.CoatingYoung = row.ModuleYoung;
  stack.CoatingPoisson = row.Poisson;
  stack.CoatingExpansion = row.dilat;
  stack.LastSigmaQ = row.SigmaQ;
}

void ThermalStep(ModelState& state, RunSink& sink) {
  AdvanceNodeTemperatures(state, sink);
  WriteThermalRow(state, sink);
  state.Stack.StepsSinceSetup = state.Stack.StepsSinceSetup + 1;
}

void AdvanceNodeTemperatures(ModelState& state, RunSink& sink) {
  LayerStack& stack = state.Stack;
  const FaceAmbients ambients = ComputeLayerCoefficients(state);
  AssembleMatrix(stack);

  const int n = stack.NodeCount;
  const int l = stack.LayerCount;
  BasedArray<double>& t = stack.NodeTemperature;
  t(1) = t(1) + ambients.Back * stack.LayerCoeff(1, 9);
  t(n) = t(n) + ambients.Top * stack.LayerCoeff(l, 12);
  for (int i = 1; i <= n; ++i) stack.ThermalRhs(i) = t(i);

  // The first step after a set-up only adds the boundary terms, heat in without its losses.
  if (stack.StepsSinceSetup != 0) {
    if (!SolveLinearSystem(stack.ThermalMatrix, stack.ThermalRhs, stack.ThermalSolution, n)) {
      ++state.Statistics.SingularMatrixEvents;
      sink.SingularMatrix();
    }
    for (int i = 1; i <= n; ++i) t(i) = stack.ThermalSolution(i);
  }

  ComputeNodeHeights(stack);
}

}  // namespace quillane
