// The summary written piece by piece is the JSON library's own text of the same values.

#include "io/Summary.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillane
