// An independently computed case: its two result files must match byte for byte and every
// number of its summary to 1e-12.

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ModelFixture.h"
#include "io/CaseFile.h"
#include "io/Summary.h"
#include "run/RunSimulation.h"

namespace quillane {
namespace {

void ExpectClose(const nlohmann::json& actual, const nlohmann::json& expected,
                 const std::string& path) {
  if (expected.is_array()) {
    ASSERT_TRUE(actual.is_array()) << path;
    ASSERT_EQ(actual.size(), expected.size()) << path;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ExpectClose(actual[i], expected[i], path + "[" + std::to_string(i) + "]");
    }
    return;
  }
  const double a = actual.get<double>();
  const double e = expected.get<double>();
  EXPECT_NEAR(a, e, 1e-12 * std::max(1.0, std::fabs(e))) << path;
}

class ReferenceCaseTest : public test::ModelFixture {};

TEST_F(ReferenceCaseTest, ResultFilesAndSummaryMatch) {
  const auto reference = test::DataDir() / "p1";
  ReadCaseFile(reference / "case.json", state.Input);
  ExecuteRun(state, &catalogue, paths, sink);
  EXPECT_TRUE(test::ReadFile(paths.Thermal) == test::ReadFile(reference / "thermique.txt"))
      << "thermal results differ";
  EXPECT_EQ(test::ReadFile(paths.Stress), test::ReadFile(reference / "stress.txt"));
  const auto expected = nlohmann::json::parse(test::ReadFile(reference / "summary.json"));
  const auto actual = nlohmann::json::parse(SummaryJson(state));
  for (const auto& [key, value] : expected.items()) {
    ASSERT_TRUE(actual.contains(key)) << key;
    ExpectClose(actual[key], value, key);
  }
  // Beyond the reference's keys: the times the lamellae of the first pass are laid.
  EXPECT_EQ(actual.size(), expected.size() + 1);
  EXPECT_EQ(actual["LamellaTime"].size(), expected["Curvature"].size());

  // The printed summary gives the same results in engineering units.
  std::ostringstream printed;
  PrintSummary(state, 0, printed);
  for (const char* line :
       {"Lamellae per pass                 4 (2 passes)",
        "Final curvature                   0.205399 1/m",
        "Final deflection                  92.430 µm", "back face 1.241 MPa, interface -2.480 MPa",
        "Lamella stresses after cooling    386.884 to 387.180 MPa"}) {
    EXPECT_NE(printed.str().find(line), std::string::npos) << line << "\n" << printed.str();
  }
}

}  // namespace
}  // namespace quillane
