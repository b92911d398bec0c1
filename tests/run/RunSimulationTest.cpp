#include "run/RunSimulation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ModelFixture.h"
#include "model/Errors.h"
#include "model/InputTable.h"
#include "run/ResultWriter.h"
#include "run/Validation.h"

namespace quillane {
namespace {

class RunSimulationTest : public test::ModelFixture {
 protected:
  void Execute(ResultRowStore* rows = nullptr) { ExecuteRun(state, &catalogue, paths, sink, rows); }
};

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
  EXPECT_TRUE(std::is_sorted(sink.progress.begin(), sink.progress.end()));
  EXPECT_EQ(sink.progress.back(), 1);
  EXPECT_EQ(sink.singularReports, 0);
}

// A stop asked at the start, in the stress model or with only the tables left to write is heard
// before any file is renamed: the earlier files stay and no temporary file is left.
TEST_F(RunSimulationTest, AStoppedRunChangesNoFile) {
  class StopAtFrame : public test::RecordingSink {
   public:
    explicit StopAtFrame(std::string at) : at_(std::move(at)) {}
    void Frame(ModelState& state, StressFrame frame) override {
      RecordingSink::Frame(state, frame);
      if (events.back().rfind(at_, 0) == 0) cancel = true;
    }

   private:
    std::string at_;
  };
  const struct {
    const char* model;
    int passes;
    double lamella;  // m
    const char* at;  // the frame after which the stop is asked
  } cases[] = {
      {kOnePassModel, 1, 1e-6, "the start"},
      // 1001 lamellae in the one pass the stress model builds.
      {kOnePassModel, 1, 1e-8, "build-up 1"},
      {kOnePassModel, 1, 1e-8, "history"},
      {kWholeDepositModel, 2, 1e-6, "build-up"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + c.at);
    state.Input.StressModel = c.model;
    state.Input.PassCount = c.passes;
    state.Input.LamellaThickness = c.lamella;
    const bool whole = ModelOf(state.Input) == StressModelKind::WholeDeposit;
    const std::filesystem::path out = dir / "out";
    std::filesystem::create_directories(out);
    ResultPaths files((out / "t.txt").string(), (out / "s.txt").string(),
                      whole ? (out / "h.csv").string() : std::string());
    for (const std::string& path : {files.Thermal, files.Stress, files.History}) {
      if (!path.empty()) test::WriteFile(path, "earlier");
    }
    const std::set<std::string> before = test::Listing(out);
    StopAtFrame stop(c.at);
    stop.cancel = std::string(c.at) == "the start";
    ModelState run = state;
    EXPECT_THROW(ExecuteRun(run, &catalogue, files, stop), RunCancelled);
    ASSERT_TRUE(stop.cancel) << "the frame came";
    EXPECT_EQ(test::Listing(out), before);
    for (const std::string& path : {files.Thermal, files.Stress, files.History}) {
      EXPECT_TRUE(path.empty() || test::ReadFile(path) == "earlier") << path;
    }
  }
  // ExecuteRun validates itself (what the faults say is the validation tests').
  test::WriteFile(paths.Thermal, "earlier");
  state.Input.LamellaThickness = 0;
  EXPECT_THROW(Execute(), InputError);
  EXPECT_EQ(test::ReadFile(paths.Thermal), "earlier");
}

// A run kept in memory and written afterwards gives the bytes of a run written as it goes, its
// history too; a history is refused before any file is opened, as ExecuteRun refuses it.
TEST_F(RunSimulationTest, KeptRowsWrittenAfterTheRunAreTheFilesOfTheRun) {
  state.Input.StressModel = kWholeDepositModel;
  paths.History = (dir / "history.csv").string();
  ModelState written = state;
  ExecuteRun(written, &catalogue, paths, sink);
  test::RecordingSink kept;
  ModelState run = state;
  ValidateRunInputs(run, &catalogue);
  RunSimulation(run, kept);
  const ResultPaths again((dir / "t2.txt").string(), (dir / "s2.txt").string(),
                          (dir / "h2.csv").string());
  WriteResultFiles(run, again, [&](RunSink& writer) {
    for (std::size_t i = 0; i < kept.rows.size(); ++i)
      writer.ThermalRow(kept.rows[i], kept.repeats[i]);
  });
  EXPECT_TRUE(test::ReadFile(again.Thermal) == test::ReadFile(paths.Thermal));
  EXPECT_EQ(test::ReadFile(again.Stress), test::ReadFile(paths.Stress));
  EXPECT_EQ(test::ReadFile(again.History), test::ReadFile(paths.History));
  state.Input.StressModel = kOnePassModel;
  ValidateRunInputs(state, &catalogue);
  const ResultPaths refused((dir / "t3.txt").string(), (dir / "s3.txt").string(),
                            (dir / "h3.csv").string());
  EXPECT_THROW(WriteResultFiles(state, refused, [](RunSink&) {}), InputError);
  EXPECT_FALSE(std::filesystem::exists(refused.Thermal));
}

class ValidationTest : public test::ModelFixture {};

// Each case sets an input (and the pass count when not 0) and the stress model: no fault, or one
// told in both languages.
TEST_F(ValidationTest, MessagesNameTheInputItsFlagAndItsRange) {
  const struct {
    const char* key;
    double value;
    int passes;
    const char* model;
    char separator;
    bool fault;
    const char* input = nullptr;  // at fault when not the key
  } cases[] = {
      {"SubstrateWidth", 1.5, 0, "one-pass", ',', true},
      // The flag is typed in another unit: its range is told in that unit too.
      {"SubstrateThicknessInput", 2.5, 0, "one-pass", '.', true},
      // A count has no unit; a caption's trailing blank is not shown.
      {"PassCount", 40000, 0, "one-pass", '.', true},
      {"HeatFlux", std::numeric_limits<double>::infinity(), 0, "one-pass", '.', true},
      {"InitialCurvature", 26, 0, "one-pass", ',', true},
      {"PassThickness", 0.04, 0, "one-pass", '.', true},
      // The whole deposit's passes follow each other.
      {"HeatingWindow", 5, 0, "whole-deposit", ',', true},
      // A stress model is one of two, named exactly; only the whole deposit bounds its lamellae.
      {"PassThickness", 30e-6, 32767, "whole-deposit", '.', false},
      {"PassThickness", 50e-6, 32767, "one-pass", '.', false},
      {"PassCount", 1, 0, "Whole-Deposit", '.', true, "StressModel"},
      // 32767 passes of 31 lamellae: over a million lamellae to keep.
      {"PassThickness", 31e-6, 32767, "whole-deposit", '.', true, "PassCount"},
  };
  const ModelState saved = state;
  std::vector<std::string> told;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + c.model);
    state = saved;
    state.Locale.DecimalSeparator = c.separator;
    state.Input.StressModel = c.model;
    Input(c.key).Set(state.Input, c.value);
    if (c.passes != 0) state.Input.PassCount = c.passes;
    const std::vector<InputFault> faults = FindInputFaults(state, &catalogue);
    if (!c.fault) {
      EXPECT_TRUE(faults.empty()) << faults.front().English;
      continue;
    }
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].Input, &Input(c.input != nullptr ? c.input : c.key));
    told.insert(told.end(), {faults[0].English, faults[0].French});
    EXPECT_THROW(ValidateRunInputs(state, &catalogue), InputError);
  }

  // The defaults pick no material: a run cannot start before the user picks both.
  ModelState fresh;
  ApplyDefaults(fresh);
  for (const InputFault& fault : FindInputFaults(fresh, &catalogue)) {
    told.insert(told.end(), {fault.English, fault.French});
  }
  test::ExpectMessages("input faults", told);
}

// A coating system: each coat's fault is told with its number, in both languages; sound coats
// pick their rows in spraying order.
TEST_F(ValidationTest, EachCoatIsCheckedAndToldByItsNumber) {
  state.Input.StressModel = kWholeDepositModel;
  CoatInput bond;
  bond.Material = "NiCrAlY", bond.PassCount = 2;
  CoatInput top = bond;
  top.Material = "Acier 316L", top.PassCount = 3;
  const auto with = [&](auto change) {
    std::vector<CoatInput> coats = {bond, top};
    change(coats);
    return coats;
  };
  const std::vector<std::vector<CoatInput>> cases = {
      with([](auto& c) { c[1].Material = "Unobtainium"; }),
      with([](auto& c) { c[1].HeatFlux = -1; }),
      with([](auto& c) { c[0].PassCount = -2; }),
      with([](auto& c) { c[1].PauseBefore = std::nan(""); }),
      with([](auto& c) { c[1].HeatingWindow = 20; }),
      with([](auto& c) {
        c[0].PassThickness = 1e-3;
        c[0].LamellaThickness = 1e-8;
      }),
      with([](auto& c) { c.assign(7, c[0]); }),
  };
  std::vector<std::string> told;
  for (const std::vector<CoatInput>& coats : cases) {
    state.Input.Coats = coats;
    const std::vector<InputFault> faults = FindInputFaults(state, &catalogue);
    ASSERT_EQ(faults.size(), 1u) << coats.size();
    for (std::string text : {faults[0].English, faults[0].French}) {
      // The catalogue lies in a folder of its own each time.
      const std::string folder = dir.Path().string();
      if (const auto at = text.find(folder); at != std::string::npos) {
        text.replace(at, folder.size(), "<dir>");
      }
      told.push_back(text);
    }
  }
  // The one-pass model sprays one coat.
  state.Input.Coats = {bond, top};
  state.Input.StressModel = kOnePassModel;
  for (const InputFault& fault : FindInputFaults(state, &catalogue)) {
    told.insert(told.end(), {fault.English, fault.French});
  }
  test::ExpectMessages("coat faults", told);
  state.Input.StressModel = kWholeDepositModel;
  ValidateRunInputs(state, &catalogue);
  EXPECT_EQ(state.Materials.Coating.Name, "NiCrAlY");
  ASSERT_EQ(state.Materials.LaterCoats.size(), 1u);
  EXPECT_EQ(state.Materials.LaterCoats[0].Name, "Acier 316L");
}

// Each case gives a row points (a figure of the coating unless `row` says) under a model: no
// fault, or one told in both languages.
TEST_F(ValidationTest, FiguresAgainstTemperatureAreCheckedAndTakenByTheWholeDepositModelOnly) {
  using F = FigureTables;
  const struct {
    FigureTable F::*figure;
    FigureTable points;
    const char* model;
    bool fault;
    const char* row = "NiCrAlY";
  } cases[] = {
      {&F::SigmaQ, {{400, 2e8}, {700, 5e7}}, kWholeDepositModel, false},
      {&F::Lambda, {{400, 9}}, kWholeDepositModel, true},
      {&F::Cp, {{400, 500}, {400, 510}}, kWholeDepositModel, true},
      {&F::Cp, {{-5, 500}, {400, 510}}, kWholeDepositModel, true},
      {&F::Lambda, {{300, 9}, {900, 0}}, kWholeDepositModel, true},
      {&F::dilat, {{300, 1e-5}, {900, std::nan("")}}, kWholeDepositModel, true},
      {&F::dilat, {{300, 1e-5}, {900, 2e-5}}, kOnePassModel, true},
      {&F::dilat, {{300, 1e-5}, {900, 1e-5}}, kOnePassModel, false},
      {&F::Lambda, {{300, 1}, {900, 2}}, kWholeDepositModel, true, "contact"},
  };
  std::vector<std::string> told;
  for (const auto& c : cases) {
    SCOPED_TRACE(told.size());
    MaterialRecord row = catalogue.LookupMaterial(c.row);
    row.Tables.*c.figure = c.points;
    MaterialsCatalogue own = catalogue;
    own.AddUserRows({row}, dir / "own.db");
    state.Input.StressModel = c.model;
    const std::vector<InputFault> faults = FindInputFaults(state, &own);
    ASSERT_EQ(faults.size(), c.fault ? 1u : 0u);
    for (const InputFault& fault : faults) told.insert(told.end(), {fault.English, fault.French});
  }
  test::ExpectMessages("figure tables", told);
}

}  // namespace
}  // namespace quillane
