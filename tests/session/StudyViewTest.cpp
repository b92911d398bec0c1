// What the study window shows of its entries and of a study, without a window: the entries a
// plan uses, the table's rows and cells, the status line and the pace of the chart's drawings.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "TestSupport.h"
#include "session/RedrawPace.h"
#include "session/StudyGrid.h"
#include "session/StudyView.h"
#include "study/StudyTable.h"

namespace quillane::session {
namespace {

TEST(StudyViewTest, ARowOffersTheEntriesItsPlanUses) {
  const struct {
    StudyPlan plan;
    const char* quantity;
    bool normal;
    RowControls want;
  } cases[] = {
      {StudyPlan::Factorial, "HeatFlux", true, {true, true, false, "Début", "Fin"}},
      {StudyPlan::LatinHypercube, "HeatFlux", false, {true, false, true, "Début", "Fin"}},
      {StudyPlan::LatinHypercube, "HeatFlux", true, {true, false, true, "Moyenne", "Écart type"}},
      {StudyPlan::Factorial, "", false, {false, false, false, "Début", "Fin"}},
      {StudyPlan::LatinHypercube, "Nope", false, {false, false, false, "Début", "Fin"}},
  };
  const auto fields = [](const RowControls& r) {
    return std::tuple(r.Range, r.Steps, r.Law, r.FromTip, r.ToTip);
  };
  for (const auto& c : cases) {
    StudyForm form;
    form.Plan = c.plan;
    form.Rows[1].Quantity = c.quantity;
    form.Rows[1].Normal = c.normal;
    EXPECT_EQ(fields(RowControlsOf(form, 1)), fields(c.want)) << c.quantity;
  }
  EXPECT_EQ(std::tuple(RangeHeadersOf(StudyPlan::Factorial).To,
                       RangeHeadersOf(StudyPlan::LatinHypercube).From),
            std::tuple("À", "De ou moyenne"));
  EXPECT_EQ(ChoiceText({"HeatFlux", "Flux thermique", "kW/m²"}),
            "HeatFlux — Flux thermique (kW/m²)");
}

study::Study VaryingFlux() {
  study::Study study;
  study.Vary.resize(1);
  study.Vary[0].Spec = &Quantity("HeatFlux");
  return study;
}

TEST(StudyViewTest, TheTableListsFinishedPointsInOrderInTheUnitsOfTheBoxes) {
  study::Study study = VaryingFlux();
  study.Vary.resize(2);
  study.Vary[1].Spec = &Quantity("PassThickness");
  const auto point = [](double flux, const char* status = study::kStatusOk) {
    study::PointResult result{{flux, 2.5e-6}, {}, status};
    result.Results.fill(std::nan(""));
    result.Results[2] = -2.48e6;  // SubstrateStressBackFinal
    result.Results[9] = 12;       // ThermalRowCount
    return result;
  };
  StudyGrid grid;
  grid.Reset(study, 4, ',');
  ASSERT_EQ(grid.ColumnCount(), 3 + study::kResultColumns.size() + 1);
  const std::vector<std::string> headings = {"point", "HeatFlux (kW/m²)", "PassThickness (µm)",
                                             "FinalCurvature (1/m)"};
  EXPECT_EQ(std::vector<std::string>(grid.Headers().begin(), grid.Headers().begin() + 4), headings);
  EXPECT_EQ(std::tie(grid.Headers()[5], grid.Headers()[10], grid.Headers().back()),
            std::tuple("SubstrateStressBackFinal (MPa)", "PeakSubstrateTemperature (K)", "état"));
  // Points come in out of order, once each, and only those of the study.
  const struct {
    std::size_t Index;
    double Flux;
    bool Listed;
    std::size_t Line;
  } arrivals[] = {{2, 612345, true, 0},
                  {0, 1e6, true, 0},
                  {2, 1, false, 1},
                  {4, 1, false, 2},
                  {3, 5e5, true, 2}};
  for (const auto& a : arrivals) {
    EXPECT_EQ(grid.LineOf(a.Index), a.Line) << a.Index;
    EXPECT_EQ(grid.Put(a.Index, point(a.Flux, a.Index == 3 ? "diverged" : study::kStatusOk)),
              a.Listed)
        << a.Index;
  }
  ASSERT_EQ(grid.RowCount(), 3u);
  EXPECT_EQ(std::pair(grid.AfterLast(4), grid.AfterLast(1)), std::pair(true, false));
  const struct {
    std::size_t Line, Column;
    const char* Text;
    double Number;
    const char* Tip;
  } cells[] = {{0, 0, "1", 1, ""},
               {1, 0, "3", 3, ""},
               {1, 1, "612,345", 612.345, ""},
               {1, 2, "2,5", 2.5, ""},
               {1, 3, "—", std::nan(""), ""},
               {1, 5, "-2,48", -2.48, ""},
               {1, 12, "12", 12, ""},
               {1, 14, "ok", std::nan(""), ""},
               {2, 14, "échec", std::nan(""), "diverged"}};
  for (const auto& cell : cells) {
    EXPECT_EQ(grid.Text(cell.Line, cell.Column), cell.Text) << cell.Line << ',' << cell.Column;
    const double number = grid.Number(cell.Line, cell.Column);
    EXPECT_TRUE(number == cell.Number || (std::isnan(number) && std::isnan(cell.Number)))
        << cell.Line << ',' << cell.Column;
    EXPECT_EQ(grid.Tip(cell.Line, cell.Column), cell.Tip);
  }
  // The rows kept are the points' own, in SI, for the exported files.
  EXPECT_EQ(std::pair(grid.Rows()[1].has_value(), grid.Rows()[2]->Values[0]),
            std::pair(false, 612345.0));
  // Each column's longest text, heading included, whatever the order the rows came in.
  EXPECT_EQ(std::tie(grid.Widest()[0], grid.Widest()[1], grid.Widest()[14]),
            std::tuple("point", "HeatFlux (kW/m²)", "échec"));
  // Every number as the tables show numbers: six digits, a power of ten from a million on.
  grid.Put(1, point(-1.23456789012345e9));
  EXPECT_EQ(std::tuple(grid.Text(1, 1), grid.Widest()[1]),
            std::tuple("-1,23457E+06", "HeatFlux (kW/m²)"));
  grid.Reset(study, 2, '.');
  EXPECT_EQ(std::tuple(grid.RowCount(), grid.Rows().size(), grid.Widest()[1]),
            std::tuple(0u, 2u, "HeatFlux (kW/m²)"));
}

TEST(StudyViewTest, AChartIsDrawnAgainOnlyAfterItsCostTimesTheShareGiven) {
  RedrawPace pace(0.25);
  const struct {
    double Now;
    bool Due;
    double Cost;  // of the drawing made when due
  } steps[] = {{0, true, 0.25}, {0.5, false, 0}, {1, true, 0.125}, {1.25, false, 0},
               {1.5, true, 2},  {5, false, 0},   {9.5, true, 0},   {9.5, true, 0}};
  for (const auto& step : steps) {
    EXPECT_EQ(pace.Due(step.Now), step.Due) << step.Now;
    if (step.Due) pace.Drawn(step.Now, step.Cost);
  }
  pace.Drawn(20, 1);
  pace.Restart();
  EXPECT_TRUE(pace.Due(20));
}

TEST(StudyViewTest, TheStatusLineFollowsThePoints) {
  std::vector<std::string> told = {RunningText(0, 8), RunningText(3, 8)};
  const struct {
    std::size_t finished, failed;
    bool stopped;
  } cases[] = {
      {8, 0, false},
      {8, 2, false},
      // Stopped once every point had finished: the study ended all the same.
      {8, 0, true},
      {3, 1, true},
  };
  for (const auto& c : cases) {
    // The points finish out of order: the rows left empty are the unfinished ones.
    study::StudyRows rows(8);
    for (std::size_t i = 0; i < c.finished; ++i)
      rows[7 - i] = study::PointResult{{}, {}, i < c.failed ? "diverged" : study::kStatusOk};
    told.push_back(EndText(rows, c.stopped, 1.25, ','));
  }
  test::ExpectMessages("study status line", told);
}

// An export writes the batch program's table or nothing, and says which (the table's bytes are
// compared with the batch program's in StudyWindowTest).
TEST(StudyViewTest, AnExportWritesTheWholeTableOrNothingAndSaysWhich) {
  test::TempDir dir;
  const study::Study study = VaryingFlux();
  study::StudyRows rows(2);
  const std::string path = (dir.Path() / "t.csv").string();
  const TableExport none = ExportTable(path, study, rows);
  EXPECT_EQ(std::tie(none.Written, none.Box, none.Text),
            std::tuple(false, false, std::string("Aucun résultat à exporter.")));
  EXPECT_FALSE(std::filesystem::exists(path));
  rows[1] = study::PointResult{{5e5}, {}, study::kStatusOk};
  const std::string lost = (dir.Path() / "absent" / "t.csv").string();
  const TableExport failed = ExportTable(lost, study, rows);
  EXPECT_EQ(std::tie(failed.Written, failed.Box, failed.Text),
            std::tuple(false, true, "Le tableau n'a pas pu être enregistré dans " + lost + "."));
  const TableExport written = ExportTable(path, study, rows);
  EXPECT_EQ(std::tie(written.Written, written.Text),
            std::tuple(true, "Tableau enregistré dans " + path + "."));
  EXPECT_EQ(test::ReadFile(path),
            study::TableCsv(study, rows, study::TableHeadings::NamesWithUnits));
}

}  // namespace
}  // namespace quillane::session
