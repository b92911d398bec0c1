// The summary written piece by piece is the JSON library's own text of the same values.

#include "io/Summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>

#include "ModelFixture.h"

namespace quillane {
namespace {

using SummaryTest = test::ModelFixture;

// Both models, empty and long arrays, NaN: the text reads back and dumps again to itself, as
// nlohmann's dump with an indent of one writes it.
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
    int pieces = 0;
    std::string text;
    WriteSummaryJson(run, [&](std::string_view piece) {
      ++pieces;
      text += piece;
    });
    SCOPED_TRACE(std::string(c.model) + " " + std::to_string(pieces) + " pieces");
    EXPECT_EQ(text, nlohmann::ordered_json::parse(text).dump(1) + "\n");
    EXPECT_EQ(text, SummaryJson(run));
  }
}

// Two coats (the second under another flux, after a pause) of 4 lamellae a pass: coat 1 holds
// lamellae 1 to 4, coat 2 lamellae 5 to 16. Each coat's stresses are those of its own lamellae,
// its thickness its share of the deposit; a one-pass run's summary has no coats.
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
  second.HeatFlux = state.Input.HeatFlux * 0.8;
  second.PauseBefore = 20;
  state.Input.Coats = {first, second};
  ResolveMaterials();
  RunSimulation(state, sink);
  const nlohmann::json summary = nlohmann::json::parse(SummaryJson(state));
  ASSERT_EQ(state.Clock.LamellaCount, 16);
  EXPECT_EQ(summary["CoatMaterial"], nlohmann::json({"NiCrAlY", "NiCrAlY"}));
  const struct { int first, last; } lamellae[] = {{1, 4}, {5, 16}};
  double thickness = 0;
  for (std::size_t k = 0; k < 2; ++k) {
    SCOPED_TRACE("coat " + std::to_string(k + 1));
    double sum = 0;
    double lowest = 1e300;
    double highest = -1e300;
    for (int i = lamellae[k].first; i <= lamellae[k].last; ++i) {
      const double value = state.Stress.LamellaStressFinal(i);
      sum += value;
      lowest = std::min(lowest, value);
      highest = std::max(highest, value);
    }
    const int count = lamellae[k].last - lamellae[k].first + 1;
    EXPECT_DOUBLE_EQ(summary["CoatMeanStress"][k].get<double>(), sum / count);
    EXPECT_EQ(summary["CoatLowestStress"][k].get<double>(), lowest);
    EXPECT_EQ(summary["CoatHighestStress"][k].get<double>(), highest);
    EXPECT_NEAR(summary["CoatThickness"][k].get<double>(), count * 3e-6, 1e-18);
    thickness += summary["CoatThickness"][k].get<double>();
  }
  EXPECT_NEAR(thickness, summary["CoatingThickness"].get<double>(), 1e-18);

  ModelState onePass = state;
  onePass.Input.StressModel = kOnePassModel;
  onePass.Input.Coats.clear();
  ValidateRunInputs(onePass, &catalogue);
  RunSimulation(onePass, sink);
  EXPECT_FALSE(nlohmann::json::parse(SummaryJson(onePass)).contains("CoatMaterial"));
}

}  // namespace
}  // namespace quillane
