// The summary written piece by piece is the JSON library's own text of the same values.

#include "io/Summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "ModelFixture.h"

namespace quillane {
namespace {

using SummaryTest = test::ModelFixture;

// Both models, empty and long arrays, NaN: the text is nlohmann's dump of itself at indent one.
TEST_F(SummaryTest, PiecesMakeTheLibrarysOwnText) {
  const struct {
    const char* model;
    int passes;
    double lamella;  // m
  } cases[] = {
      {kOnePassModel, 2, 1e-6}, {kWholeDepositModel, 0, 1e-6}, {kWholeDepositModel, 3, 2e-8}};
  for (const auto& c : cases) {
    ModelState run = state;
    run.Input.StressModel = c.model;
    run.Input.PassCount = c.passes;
    run.Input.LamellaThickness = c.lamella;
    ValidateRunInputs(run, &catalogue);
    RunSimulation(run, sink);
    run.Stress.StressAxisMin = std::nan("");
    SCOPED_TRACE(testing::Message() << c.model << " " << c.passes << " passes");
    std::string text;
    WriteSummaryJson(run, [&](std::string_view piece) { text += piece; });
    EXPECT_EQ(text, nlohmann::ordered_json::parse(text).dump(1) + "\n");
    EXPECT_EQ(text, SummaryJson(run));
  }
}

// Two coats (the second under another flux, after a pause) of 4 lamellae a pass: coat 1 holds
// lamellae 1 to 4, coat 2 lamellae 5 to 16, and each gives the stresses of its own lamellae.
TEST_F(SummaryTest, EachCoatGivesItsThicknessAndTheStressesOfItsLamellae) {
  state.Input.StressModel = kWholeDepositModel;
  state.Input.PassThickness = 12e-6;
  state.Input.LamellaThickness = 3e-6;
  state.Input.PassCount = 4;
  CoatInput first;
  first.Material = "NiCrAlY";
  first.PassCount = 1;
  CoatInput second = first;
  second.PassCount = 3;
  second.HeatFlux = 5e5;
  second.PauseBefore = 20;
  state.Input.Coats = {first, second};
  ResolveMaterials();
  RunSimulation(state, sink);
  const nlohmann::json summary = nlohmann::json::parse(SummaryJson(state));
  EXPECT_EQ(summary["CoatMaterial"], nlohmann::json({"NiCrAlY", "NiCrAlY"}));
  double thickness = 0;
  for (const auto& [k, first, last] : {std::tuple{0, 1, 4}, std::tuple{1, 5, 16}}) {
    std::vector<double> stresses;
    for (int i = first; i <= last; ++i) stresses.push_back(state.Stress.LamellaStressFinal(i));
    const auto [lowest, highest] = std::minmax_element(stresses.begin(), stresses.end());
    const double mean = std::accumulate(stresses.begin(), stresses.end(), 0.0) / stresses.size();
    EXPECT_DOUBLE_EQ(summary["CoatMeanStress"][k].get<double>(), mean) << k;
    EXPECT_EQ(summary["CoatLowestStress"][k].get<double>(), *lowest) << k;
    EXPECT_EQ(summary["CoatHighestStress"][k].get<double>(), *highest) << k;
    EXPECT_NEAR(summary["CoatThickness"][k].get<double>(), stresses.size() * 3e-6, 1e-18) << k;
    thickness += summary["CoatThickness"][k].get<double>();
  }
  EXPECT_NEAR(thickness, summary["CoatingThickness"].get<double>(), 1e-18);
}

}  // namespace
}  // namespace quillane
