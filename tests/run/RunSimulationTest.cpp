#include "run/RunSimulation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "ModelFixture.h"
#include "model/Errors.h"
#include "run/ResultWriter.h"

namespace quillane {
namespace {

class RunSimulationTest : public test::ModelFixture {
 protected:
  void Execute(ResultRowStore* rows = nullptr) { ExecuteRun(state, &catalogue, paths, sink, rows); }
};

// The file, the row store and the sink see the same rows, then the frames; progress never goes
// back.
TEST_F(RunSimulationTest, RowsFramesAndProgressReachTheFileTheStoreAndTheSink) {
  ResultRowStore rows;
  rows.SetColumnCount(kThermalColumns);
  Execute(&rows);
  // The store keeps each row below its two title rows, without "\t\r"; a repeat is the record
  // before it, value for value.
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

  // ExecuteRun validates itself (what the faults say is the validation tests').
  sink.cancel = false;
  state.Input.LamellaThickness = 0;
  EXPECT_THROW(Execute(), InputError);
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
