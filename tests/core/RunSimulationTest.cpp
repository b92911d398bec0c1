#include "core/RunSimulation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "ModelFixture.h"
#include "core/Errors.h"

namespace quillane {
namespace {

struct StepRecord {
  double PassTime;
  double TimeStep;
  int Lamella;
  double Elapsed;
};

class RunSimulationTest : public test::ModelFixture {
 protected:
  // Notes the clock at every thermal step.
  std::vector<StepRecord> RecordSteps() {
    // The clock moves after every step, so the rows of one step share their pass time.
    std::vector<StepRecord> steps;
    host.OnRow = [&] {
      if (steps.empty() || steps.back().PassTime != state.Clock.PassTime) {
        steps.push_back({state.Clock.PassTime, state.Clock.TimeStep, state.Clock.LamellaIndex,
                         state.Clock.ElapsedTime});
      }
    };
    ExecuteRun(state, host);
    host.OnRow = nullptr;
    return steps;
  }

  std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(test::ReadFile(path));
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
  }
};

TEST_F(RunSimulationTest, DefaultScheduleOfTheFirstPhase) {
  const std::vector<StepRecord> steps = RecordSteps();
  EXPECT_EQ(state.Clock.LamellaCount, 2);
  EXPECT_EQ(state.Clock.LamellaPeriod, 0.25);
  const double times[] = {0, 0.03, 0.12, 0.39, 0.499999999, 0.5};
  const double lengths[] = {0.01, 0.03, 0.09, 0.27, 0.109999999, 1e-9};
  ASSERT_GT(steps.size(), 7u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(steps[i].PassTime, times[i], 1e-12) << "step " << i;
    EXPECT_NEAR(steps[i].TimeStep, lengths[i], 1e-12) << "step " << i;
    EXPECT_EQ(steps[i].Lamella, 0);
  }
  EXPECT_EQ(steps[6].Lamella, 1) << "the seventh step belongs to the first lamella";
  EXPECT_NEAR(steps[6].PassTime, 0.500000001, 1e-12);
}

TEST_F(RunSimulationTest, EveryPhaseEndsOnItsBoundary) {
  state.Input.PassCount = 2;
  const std::vector<StepRecord> steps = RecordSteps();
  // The first step of each phase comes when the previous phase's clock reached its end, or
  // at most 1e-9 s past it (each phase can add its own 1e-9 s).
  std::vector<double> starts;  // elapsed time at the first step of every phase after the first
  for (std::size_t i = 1; i < steps.size(); ++i) {
    const bool newLamella = steps[i].Lamella != steps[i - 1].Lamella && steps[i].Lamella > 0;
    const bool cooling = steps[i].TimeStep == 0.1 && steps[i - 1].TimeStep != 0.1;
    const bool heatingAfter = steps[i].Lamella == 0 && steps[i - 1].Lamella > 0;
    const bool newPass = steps[i].PassTime == 0;
    if (newLamella || cooling || heatingAfter || newPass) starts.push_back(steps[i].Elapsed);
  }
  const std::vector<double> ends = {0.5, 0.75, 1.0, 1.5, 4.5, 5.0, 5.25, 5.5, 6.0};
  ASSERT_EQ(starts.size(), ends.size());
  for (std::size_t i = 0; i < ends.size(); ++i) {
    EXPECT_GE(starts[i], ends[i] - 1e-12) << "phase end " << ends[i];
    EXPECT_LE(starts[i], ends[i] + 1e-9 * static_cast<double>(i + 1) + 1e-12)
        << "phase end " << ends[i];
  }
  EXPECT_NEAR(state.Clock.ElapsedTime, 9, 1e-8);
  EXPECT_EQ(state.Clock.PassNumber, 3);
  EXPECT_EQ(state.Clock.LamellaIndex, 3) << "left by the final cooling";
}

TEST_F(RunSimulationTest, RowsAreWrittenTwiceAndThriceAfterASolidification) {
  ExecuteRun(state, host);
  const std::vector<std::string> lines = Lines(state.Files.ThermalPath);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].substr(0, 13), "00.000000000\t");
  EXPECT_EQ(lines[0].substr(lines[0].size() - 10), "\t.002000\t\r");
  // Rows come in identical pairs, except the step on which a lamella solidifies: its own row,
  // then a pair with the two top nodes at the melting point less 100 K (1530 K for NiCrAlY).
  int solidified = 0;
  std::size_t i = 0;
  while (i < lines.size() && lines[i].rfind("POSITION", 0) != 0) {
    std::size_t same = 1;
    while (i + same < lines.size() && lines[i + same] == lines[i]) ++same;
    if (same == 1) {
      ++solidified;
      ASSERT_LT(i + 2, lines.size());
      EXPECT_EQ(lines[i + 1], lines[i + 2]) << "line " << i;
      EXPECT_EQ(lines[i].substr(0, 13), lines[i + 1].substr(0, 13)) << "same time";
      EXPECT_NE(lines[i + 1].find("\t1530.00\t1530.00\t"), std::string::npos) << lines[i + 1];
      i += 3;
      continue;
    }
    EXPECT_EQ(same, 2u) << "line " << i << ": " << lines[i];
    i += same;
  }
  EXPECT_EQ(solidified, 2) << "each of the two lamellae solidifies once";
  EXPECT_EQ(state.Statistics.ThermalRowCount, static_cast<long long>(i));
}

TEST_F(RunSimulationTest, TwoRunsWithTheSameInputsWriteTheSameFiles) {
  ExecuteRun(state, host);
  const std::string thermal = test::ReadFile(state.Files.ThermalPath);
  const std::string stress = test::ReadFile(state.Files.StressPath);
  ExecuteRun(state, host);
  EXPECT_EQ(test::ReadFile(state.Files.ThermalPath), thermal);
  EXPECT_EQ(test::ReadFile(state.Files.StressPath), stress);
  // The grid keeps the rows of both runs below one pair of title rows.
  const TextGrid& grid = host.grids[static_cast<int>(GridId::Resultats)];
  EXPECT_EQ(grid.RowCount(), 2 + 2 * state.Statistics.ThermalRowCount);
  EXPECT_EQ(grid.Cell(0, 0), "Temps");
  EXPECT_EQ(grid.Cell(1, 9), "m");
  EXPECT_EQ(grid.Cell(2, 0), "00.000000000");
}

TEST_F(RunSimulationTest, RunWithoutPassesStillComputesFiniteStresses) {
  state.Input.PassCount = 0;
  ExecuteRun(state, host);
  EXPECT_EQ(state.Statistics.ThermalRowCount, 0);
  EXPECT_TRUE(std::isfinite(state.Stress.FinalCurvature));
  EXPECT_TRUE(std::isfinite(state.Stress.LamellaStressFinal(1)));
  EXPECT_EQ(state.Clock.PassEndSurfaceTemperature, 573);
}

TEST_F(RunSimulationTest, HostSeesWindowsDrawingsAndBeepsInOrder) {
  ExecuteRun(state, host);
  const std::vector<std::string> expected = {"show Results",
                                             "hide stress windows",
                                             "beep",
                                             "building zoom 1",
                                             "building global 1",
                                             "beep",
                                             "building zoom 2",
                                             "building global 2",
                                             "beep",
                                             "cooling zoom",
                                             "cooling global",
                                             "beep",
                                             "arrow",
                                             "beep",
                                             "beep",
                                             "beep"};
  EXPECT_EQ(host.events, expected);
}

TEST_F(RunSimulationTest, FailedOrCancelledRunsLeaveEarlierFilesUntouched) {
  test::WriteFile(state.Files.ThermalPath, "earlier thermal");
  test::WriteFile(state.Files.StressPath, "earlier stress");
  host.cancel = true;
  EXPECT_THROW(ExecuteRun(state, host), RunCancelled);
  EXPECT_EQ(test::ReadFile(state.Files.ThermalPath), "earlier thermal");
  EXPECT_EQ(test::ReadFile(state.Files.StressPath), "earlier stress");

  host.cancel = false;
  state.Input.LamellaThickness = 0;
  state.Input.CoatingMaterialName = "unobtainium";
  try {
    ExecuteRun(state, host);
    FAIL() << "a zero lamella thickness must be refused";
  } catch (const InputError& error) {
    ASSERT_EQ(error.Faults().size(), 2u);
    EXPECT_NE(error.Faults()[0].find("LamellaThickness"), std::string::npos);
    EXPECT_NE(error.Faults()[1].find("unobtainium"), std::string::npos);
  }
  EXPECT_EQ(test::ReadFile(state.Files.ThermalPath), "earlier thermal");

  state.Input.LamellaThickness = 1e-6;
  state.Input.CoatingMaterialName = "NiCrAlY";
  state.Files.StressPath = "/dev/full";
  EXPECT_THROW(ExecuteRun(state, host), IoError);
  EXPECT_EQ(test::ReadFile(state.Files.ThermalPath), "earlier thermal");
}

}  // namespace
}  // namespace quillane
