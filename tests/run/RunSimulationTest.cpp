#include "run/RunSimulation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "ModelFixture.h"
#include "model/Errors.h"
#include "run/ResultWriter.h"

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
  void Execute(ResultRowStore* rows = nullptr) { ExecuteRun(state, &catalogue, paths, sink, rows); }
};

TEST_F(RunSimulationTest, ScheduleOfTheFirstPhaseAndEveryPhaseEndsOnItsBoundary) {
  state.Input.PassCount = 2;
  // The clock moves after every step, so the rows of one step share their pass time.
  std::vector<StepRecord> steps;
  sink.OnRow = [&] {
    if (steps.empty() || steps.back().PassTime != state.Clock.PassTime) {
      steps.push_back({state.Clock.PassTime, state.Clock.TimeStep, state.Clock.LamellaIndex,
                       state.Clock.ElapsedTime});
    }
  };
  Execute();
  EXPECT_EQ(state.Clock.LamellaCount, 2);
  EXPECT_EQ(state.Clock.LamellaPeriod, 0.25);
  ASSERT_GT(steps.size(), 7u);
  EXPECT_EQ(steps[6].Lamella, 1) << "the seventh step belongs to the first lamella";

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

// The file, the row store and the sink see the same rows; then the frames, and a progress that
// never goes back.
TEST_F(RunSimulationTest, RowsFramesAndProgressReachTheFileTheStoreAndTheSink) {
  ResultRowStore rows;
  rows.SetColumnCount(kThermalColumns);
  Execute(&rows);
  // The rows (their pairs and plateaus are pinned by the reference files) come before the
  // tables; the store keeps each below its two title rows, without the line end and the empty
  // cell after the last tab; a repeated record is the one before it, value for value.
  const std::vector<std::string> lines = test::Lines(test::ReadFile(paths.Thermal));
  const std::size_t count = sink.rows.size();
  ASSERT_LT(count, lines.size());
  EXPECT_EQ(lines[count].rfind("POSITION", 0), 0u);
  EXPECT_EQ(state.Statistics.ThermalRowCount, static_cast<long long>(count));
  ASSERT_EQ(rows.RowCount(), 2 + static_cast<int>(count));
  for (std::size_t row = 0; row < count; ++row) {
    ASSERT_EQ(rows.RowText(static_cast<int>(2 + row)), lines[row].substr(0, lines[row].size() - 2));
    if (!sink.repeats[row]) continue;
    const ThermalRecord& a = sink.rows[row - 1];
    const ThermalRecord& b = sink.rows[row];
    EXPECT_TRUE(a.Time == b.Time && a.NodeCount == b.NodeCount && a.Temperature == b.Temperature &&
                a.Thickness == b.Thickness)
        << "row " << row;
  }
  EXPECT_FALSE(sink.repeats[0]);
  EXPECT_EQ(sink.events,
            (std::vector<std::string>{"build-up 1", "build-up 2", "cooling", "history"}));
  ASSERT_FALSE(sink.progress.empty());
  EXPECT_GE(sink.progress.front(), 0);
  for (std::size_t k = 1; k < sink.progress.size(); ++k) {
    EXPECT_GE(sink.progress[k], sink.progress[k - 1]) << "report " << k;
  }
  EXPECT_EQ(sink.progress.back(), 1);
  EXPECT_EQ(sink.singularReports, 0);
}

TEST_F(RunSimulationTest, FailedOrCancelledRunsLeaveEarlierFilesUntouched) {
  test::WriteFile(paths.Thermal, "earlier thermal");
  test::WriteFile(paths.Stress, "earlier stress");
  sink.cancel = true;
  EXPECT_THROW(Execute(), RunCancelled);
  EXPECT_EQ(test::ReadFile(paths.Thermal), "earlier thermal");
  EXPECT_EQ(test::ReadFile(paths.Stress), "earlier stress");

  sink.cancel = false;
  state.Input.LamellaThickness = 0;
  state.Input.CoatingMaterialName = "unobtainium";
  try {
    Execute();
    FAIL() << "a zero lamella thickness must be refused";
  } catch (const InputError& error) {
    ASSERT_EQ(error.Faults().size(), 2u);
    EXPECT_NE(error.Faults()[0].find("LamellaThickness"), std::string::npos);
    EXPECT_NE(error.Faults()[1].find("unobtainium"), std::string::npos);
  }
  EXPECT_EQ(test::ReadFile(paths.Thermal), "earlier thermal");

  state.Input.LamellaThickness = 1e-6;
  state.Input.CoatingMaterialName = "NiCrAlY";
  paths.Stress = "/dev/full";
  EXPECT_THROW(Execute(), IoError);
  EXPECT_EQ(test::ReadFile(paths.Thermal), "earlier thermal");
}

// A run kept in memory and written afterwards gives the bytes of a run written as it goes, in
// both stress models; a history is refused before any file is opened, as ExecuteRun refuses it.
TEST_F(RunSimulationTest, KeptRowsWrittenAfterTheRunAreTheFilesOfTheRun) {
  for (const char* model : {kOnePassModel, kWholeDepositModel}) {
    SCOPED_TRACE(model);
    state.Input.StressModel = model;
    const bool whole = WholeDeposit(state.Input);
    paths.History = whole ? (dir / "history.csv").string() : std::string();
    ModelState written = state;
    ExecuteRun(written, &catalogue, paths, sink);
    test::RecordingSink kept;
    ModelState run = state;
    ValidateRunInputs(run, &catalogue);
    RunSimulation(run, kept);
    const ResultPaths again((dir / "t2.txt").string(), (dir / "s2.txt").string(),
                            whole ? (dir / "h2.csv").string() : std::string());
    WriteResultFiles(run, again, [&](RunSink& writer) {
      for (std::size_t i = 0; i < kept.rows.size(); ++i)
        writer.ThermalRow(kept.rows[i], kept.repeats[i]);
    });
    EXPECT_TRUE(test::ReadFile(again.Thermal) == test::ReadFile(paths.Thermal));
    EXPECT_EQ(test::ReadFile(again.Stress), test::ReadFile(paths.Stress));
    if (whole) {
      EXPECT_EQ(test::ReadFile(again.History), test::ReadFile(paths.History));
    }
  }
  state.Input.StressModel = kOnePassModel;
  ValidateRunInputs(state, &catalogue);
  const ResultPaths refused((dir / "t3.txt").string(), (dir / "s3.txt").string(),
                            (dir / "h3.csv").string());
  EXPECT_THROW(WriteResultFiles(state, refused, [](RunSink&) {}), InputError);
  EXPECT_FALSE(std::filesystem::exists(refused.Thermal));
}

}  // namespace
}  // namespace quillane
