// The study window without a window: its entries and their faults, its chart, table and texts.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "ModelFixture.h"
#include "session/FormEntry.h"
#include "session/RedrawPace.h"
#include "session/StudyForm.h"
#include "session/StudyGrid.h"
#include "session/StudyView.h"
#include "study/StudyPlots.h"
#include "study/StudyTable.h"

namespace quillane::session {
namespace {

using test::kNaN;
using ::testing::DoubleEq;
using ::testing::ElementsAre;
using ::testing::Pointwise;
using ::testing::StartsWith;

class StudyFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::BuildDatabase(test::DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
    base.Catalogue.Open(dir / "p1.db");
    test::DefaultCase(base.State);
  }
  test::TempDir dir;
  StudyBase base;
};

StudyRowEntry Row(const char* quantity, const char* from, const char* to, long long steps,
                  bool log = false, bool normal = false) {
  return {quantity, from, to, steps, log, normal};
}

StudyForm Grid(StudyRowEntry first, StudyRowEntry second = {}) {
  StudyForm form;
  form.Rows = {std::move(first), std::move(second)};
  return form;
}

StudyForm Sampled(long long samples, StudyRowEntry first, StudyRowEntry second = {}) {
  StudyForm form = Grid(std::move(first), std::move(second));
  form.Plan = StudyPlan::LatinHypercube;
  form.Samples = samples;
  form.Seed = 5;
  return form;
}

// A fault whose unset figures (NaN) compare equal, to compare two faults in every field.
EntryFault Comparable(EntryFault fault) {
  for (double* figure : {&fault.Value, &fault.Value2, &fault.Min, &fault.Max})
    if (std::isnan(*figure)) *figure = -HUGE_VAL;
  return fault;
}

TEST_F(StudyFormTest, TheRangeStartsAroundTheCurrentValueInTheUnitOfTheBox) {
  base.State.Input.PassCount = 3;
  base.State.Input.InitialCurvature = -2;
  // A coat's inputs start from its own value, else the case's; a later coat's figures from its row.
  base.State.Input.Coats.resize(2);
  base.State.Input.Coats[0].Material = "NiCrAlY";
  base.State.Input.Coats[1].Material = "Acier 316L";
  base.State.Input.Coats[1].HeatFlux = 8e5;
  const struct {
    const char* quantity;
    bool sampled, normal;
    char separator;
    const char *from, *to;
    long long steps;  // 7 where the proposal leaves the steps as they were
  } cases[] = {
      // A normal law holds the mean and a tenth of it as its deviation; a uniform law a range.
      {"HeatFlux", true, true, '.', "500", "50", 7},
      {"HeatFlux", true, false, '.', "250", "750", 4},
      {"HeatFlux", false, true, '.', "250", "750", 4},
      {"InitialCurvature", true, true, ',', "-2", "0,2", 7},
      {"InitialCurvature", false, false, ',', "-3", "-1", 4},
      // Counts are whole, with one interval per value where there are few.
      {"PassCount", false, false, '.', "2", "5", 3},
      {"coating.SigmaQ", false, false, '.', "50", "150", 4},
      {"coat2.HeatFlux", false, false, '.', "400", "1200", 4},
      {"coat1.HeatFlux", false, false, '.', "250", "750", 4},
      {"coat2.ModuleYoung", false, false, '.', "96500", "289500", 4},
      {"coat3.HeatFlux", false, false, '.', "", "", 7},
      {"", false, false, '.', "", "", 7},
  };
  for (const auto& c : cases) {
    base.State.Locale.DecimalSeparator = c.separator;
    StudyForm form = Grid({c.quantity, "x", "y", 7, true, c.normal});
    if (c.sampled) form.Plan = StudyPlan::LatinHypercube;
    ProposeRange(form, 0, base);
    const StudyRowEntry& row = form.Rows[0];
    EXPECT_EQ(std::tuple(row.From, row.To, row.Steps, row.Log),
              std::tuple(c.from, c.to, c.steps, c.steps == 7))
        << c.quantity << " " << c.normal;
  }
  // A figure of a row not picked gives no range.
  base.State.Input.Coats.clear();
  base.State.Input.CoatingMaterialName.clear();
  StudyForm form = Grid(Row("coating.Rho", "a", "b", 7));
  ProposeRange(form, 0, base);
  EXPECT_EQ(form.Rows[0].From + form.Rows[0].To + std::to_string(form.Rows[0].Steps), "7");
}

TEST_F(StudyFormTest, TheListOffersTheCoatsTheCaseHas) {
  std::size_t oneCoat = 0;
  for (const QuantitySpec& spec : QuantityTable()) oneCoat += spec.Coat == 0 ? 1 : 0;
  const std::size_t own = 8;                                // a coat's spraying inputs
  const std::size_t later = own + kMaterialColumns.size();  // and its row's figures
  using Counts = std::vector<std::size_t>;
  const struct {
    std::size_t coats;
    std::vector<std::string> kept;
    Counts perCoat;  // quantities listed of coats 1 to 6
  } cases[] = {
      {0, {}, {0, 0, 0, 0, 0, 0}},
      // A row's choice stays listed when the case has lost its coat.
      {0, {"coat3.SigmaQ"}, {0, 0, 1, 0, 0, 0}},
      {2, {"coat1.HeatFlux", "coat5.PassCount"}, {own, later, 0, 0, 1, 0}},
      {kMaxCoats, {}, {own, later, later, later, later, later}},
  };
  for (const auto& c : cases) {
    Counts perCoat(kMaxCoats, 0);
    std::size_t others = 0;
    std::size_t previous = 0;  // table order
    for (const QuantityChoice& choice : StudyQuantityChoices(c.coats, c.kept)) {
      const QuantitySpec& spec = Quantity(choice.Name);
      const std::size_t at = static_cast<std::size_t>(&spec - QuantityTable().data());
      EXPECT_TRUE(others + perCoat[0] == 0 || at > previous) << choice.Name;
      previous = at;
      EXPECT_EQ(choice.Caption, spec.Caption);
      if (spec.Coat == 0)
        ++others;
      else
        ++perCoat[static_cast<std::size_t>(spec.Coat - 1)];
    }
    EXPECT_EQ(std::tie(others, perCoat), std::tie(oneCoat, c.perCoat)) << c.coats;
  }
}

TEST_F(StudyFormTest, EntriesGiveTheStudyInSiUnitsAndItsPoints) {
  base.State.Locale.DecimalSeparator = ',';
  StudyForm form =
      Grid(Row("HeatFlux", "250", "7,5e2", 2), Row("coating.SigmaQ", " 1e2 ", "1000", 1, true));
  StudyReading reading = ReadStudyForm(form, base);
  ASSERT_TRUE(reading.Ready());
  const study::Study& study = reading.Study;
  using Values = std::vector<double>;
  EXPECT_EQ(std::tie(study.Base, study.Design),
            std::tuple(base.State.Input, study::DesignKind::Factorial));
  ASSERT_EQ(study.Vary.size(), 2u);
  EXPECT_EQ(std::tuple(study.Vary[0].Name(), study.Vary[0].Values, study.Vary[1].Values),
            std::tuple("HeatFlux", Values{250000, 500000, 750000}, Values{1e8, 1e9}));
  EXPECT_EQ(reading.LogScales, (std::vector<bool>{false, true}));
  EXPECT_EQ(std::pair(PointCount(form), reading.Points.size()), std::pair(6LL, std::size_t{6}));
  EXPECT_EQ(reading.Points[1], (std::vector<double>{250000, 1e9}));
  // Typed decimals reach the study as the study file writes them: 3,75 µm is 3.75e-06 m.
  const StudyReading thickness = ReadStudyForm(Grid(Row("PassThickness", "2,5", "5", 2)), base);
  ASSERT_TRUE(thickness.Ready());
  EXPECT_EQ(thickness.Study.Vary[0].Values, (std::vector<double>{2.5e-6, 3.75e-6, 5e-6}));
  // An empty row counts for nothing.
  EXPECT_EQ(PointCount(Grid(Row("", "", "", 2), Row("PassCount", "", "", 9))), 10);

  form = Sampled(8, Row("HeatFlux", "300", "900", 1, true),
                 Row("coating.SigmaQ", "100", "20", 1, false, true));
  reading = ReadStudyForm(form, base);
  ASSERT_TRUE(reading.Ready());
  const study::Study& drawn = reading.Study;
  EXPECT_EQ(std::tuple(drawn.Design, drawn.Samples, drawn.Seed),
            std::tuple(study::DesignKind::LatinHypercube, 8, 5u));
  EXPECT_EQ(std::tuple(drawn.Vary[0].Law, drawn.Vary[0].LawA, drawn.Vary[0].LawB),
            std::tuple(study::Distribution::Uniform, 300000.0, 900000.0));
  EXPECT_EQ(std::tuple(drawn.Vary[1].Law, drawn.Vary[1].LawB),
            std::tuple(study::Distribution::Normal, 2e7));
  // A sampled plan has no scale.
  EXPECT_EQ(reading.LogScales, (std::vector<bool>{false, false}));
  EXPECT_EQ(std::pair(PointCount(form), reading.Points.size()), std::pair(8LL, std::size_t{8}));
}

TEST_F(StudyFormTest, DrawsAndTheBaseAreCheckedToo) {
  // A normal law wide enough to draw a Poisson ratio of 1 or below zero: the draw's fault is
  // that of the row it belongs to, the second here, behind an empty first row.
  {
    const StudyReading reading =
        ReadStudyForm(Sampled(200, {}, Row("coating.Poisson", "0.3", "0.5", 1, false, true)), base);
    ASSERT_EQ(reading.Faults.size(), 1u);
    const StudyFormFault& fault = reading.Faults[0];
    EXPECT_EQ(std::tie(fault.Drawn, fault.Row, fault.Fault.Quantity),
              std::tuple(true, 1u, &Quantity("coating.Poisson")));
    EXPECT_TRUE(CheckValue(Quantity("coating.Poisson"), fault.Fault.Value));
    EXPECT_TRUE(reading.Points.empty());
  }
  // The inputs that are not varied must allow a run; the entries are still all read.
  base.State.Input.PassThickness = 9;
  const StudyReading reading = ReadStudyForm(Grid(Row("HeatFlux", "900", "300", 2)), base);
  ASSERT_EQ(std::pair(reading.Faults.size(), reading.InputFaults.size()),
            std::pair(std::size_t{1}, std::size_t{1}));
  EXPECT_EQ(reading.InputFaults[0].Input, &Input("PassThickness"));
  // In French the entries' faults come first, the inputs' last.
  EXPECT_THAT(FrenchFaults(reading, Grid(Row("HeatFlux", "900", "300", 2)), ','),
              ElementsAre(StartsWith("Grandeur 1 (HeatFlux) : "), reading.InputFaults[0].French));
}

// Each bad entry is the study file's fault (in SI), marked as typed: a bad range by both boxes, a
// non-number by its own; the quantity's faults (twice, unknown) mark neither De nor À.
TEST_F(StudyFormTest, EachBadEntryIsAFaultOfItsRowAsInTheStudyFile) {
  const struct {
    StudyForm form;
    FaultKind kind;
    std::optional<std::size_t> row;
    const char* vary;  // the same entries as the study file's "vary" (and its design's samples)
  } cases[] = {
      {Grid(Row("HeatFlux", "2000", "1000", 2)), FaultKind::ReversedRange, 0,
       R"({"input": "HeatFlux", "from": 2e6, "to": 1e6, "steps": 2})"},
      {Grid(Row("InitialCurvature", "0", "1", 2, true)), FaultKind::LogNotPositive, 0,
       R"({"input": "InitialCurvature", "from": 0, "to": 1, "steps": 2, "scale": "log"})"},
      {Grid(Row("HeatFlux", "1000", "2e7", 1)), FaultKind::OutOfRange, 0,
       R"({"input": "HeatFlux", "from": 1e6, "to": 2e10, "steps": 1})"},
      {Grid(Row("HeatFlux", "1000", "2000", 1), Row("HeatFlux", "1000", "2000", 1)),
       FaultKind::SameQuantity, 1,
       R"({"input": "HeatFlux", "values": [1e6, 2e6]}, {"input": "HeatFlux", "values": [1e6, 2e6]})"},
      // An empty row is skipped but keeps its place.
      {Grid(Row("", "", "", 1), Row("Thickness", "1", "2", 1)), FaultKind::UnknownQuantity, 1,
       R"({"input": "Thickness", "values": [1, 2]})"},
      {Sampled(0, Row("HeatFlux", "1000", "2000", 1)), FaultKind::TooFewSamples, std::nullopt,
       R"({"input": "HeatFlux", "distribution": {"uniform": [1e6, 2e6]}})"},
      {Sampled(4, Row("HeatFlux", "2000", "1000", 1)), FaultKind::ReversedRange, 0,
       R"({"input": "HeatFlux", "distribution": {"uniform": [2e6, 1e6]}})"},
      {Sampled(4, Row("HeatFlux", "1000", "2e7", 1)), FaultKind::OutOfRange, 0,
       R"({"input": "HeatFlux", "distribution": {"uniform": [1e6, 2e10]}})"},
      {Sampled(4, Row("HeatFlux", "1000", "0", 1, false, true)), FaultKind::DeviationNotPositive, 0,
       R"({"input": "HeatFlux", "distribution": {"normal": [1e6, 0]}})"},
  };
  std::vector<std::string> told;  // in the window's French, as the tip of the boxes marked
  for (const auto& c : cases) {
    const std::string design = c.form.Sampled() ? R"("design": {"latin-hypercube": {"samples": )" +
                                                      std::to_string(c.form.Samples) + "}}, "
                                                : "";
    const std::string file = "{" + design + R"("vary": [)" + c.vary + "]}";
    const StudyReading reading = ReadStudyForm(c.form, base);
    EXPECT_FALSE(reading.Ready()) << file;
    EXPECT_TRUE(reading.Points.empty()) << file;
    ASSERT_EQ(reading.Faults.size(), 1u) << file;
    const StudyFormFault& fault = reading.Faults[0];
    EXPECT_EQ(std::tuple(fault.Fault.Kind, fault.Row, fault.Drawn),
              std::tuple(c.kind, c.row, false))
        << English(fault.Fault);
    const auto marks = MarkedEntries(reading, c.form, ',');
    const bool boxes =
        c.row && c.kind != FaultKind::UnknownQuantity && c.kind != FaultKind::SameQuantity;
    for (std::size_t r = 0; r < marks.size(); ++r) {
      const bool marked = boxes && r == *c.row;
      EXPECT_EQ(std::tuple(marks[r].From, marks[r].To, marks[r].Tip.empty()),
                std::tuple(marked, marked, !marked))
          << file;
    }
    told.push_back(boxes ? marks[*c.row].Tip : French(fault.Fault, ','));
    try {
      study::ReadStudyText(file, "s.json", base.State.Input, {});
      ADD_FAILURE() << "accepted: " << file;
    } catch (const study::StudyError& error) {
      ASSERT_TRUE(error.Fault()) << error.what();
      EXPECT_EQ(Comparable(fault.Fault), Comparable(*error.Fault())) << file << "\n"
                                                                     << English(fault.Fault) << "\n"
                                                                     << English(*error.Fault());
      // The file's message words the same fault, except for the uniform law's own wording.
      if (file.find("uniform\": [") == std::string::npos ||
          error.Fault()->Kind == FaultKind::OutOfRange) {
        EXPECT_NE(std::string(error.what()).find(English(*error.Fault())), std::string::npos)
            << error.what();
      }
    }
  }
  // Too many points in all: a fault of the whole study (the file's only when drawing its points).
  const StudyReading many = ReadStudyForm(
      Grid(Row("HeatFlux", "1", "2", 999), Row("coating.SigmaQ", "1", "2", 999)), base);
  ASSERT_EQ(many.Faults.size(), 1u);
  EXPECT_EQ(std::tie(many.Faults[0].Fault.Kind, many.Faults[0].Row),
            std::tuple(FaultKind::TooManyPoints, std::nullopt));
  told.push_back(French(many.Faults[0].Fault, ','));
  // Texts that are not numbers: both told, each with its box and text.
  const StudyForm typed = Grid(Row("HeatFlux", "abc", "900", 2), Row("PassCount", "1", "3,0", 1));
  const StudyReading words = ReadStudyForm(typed, base);
  ASSERT_EQ(words.Faults.size(), 2u);
  EXPECT_EQ(Comparable(words.Faults[0].Fault),
            Comparable(NotANumber(&Quantity("HeatFlux"), "début", "abc")));
  EXPECT_EQ(Comparable(words.Faults[1].Fault),
            Comparable(NotANumber(&Quantity("PassCount"), "fin", "3,0")));
  const auto marks = MarkedEntries(words, typed, '.');
  EXPECT_EQ((std::array{marks[0].From, marks[0].To, marks[1].From, marks[1].To}),
            (std::array{true, false, false, true}));
  told.insert(told.end(), {marks[0].Tip, marks[1].Tip});
  test::ExpectMessages("study entry faults in French", told);
}

// A study varying `first`, and `second` where it is given.
study::Study Varying(const char* first, const char* second = nullptr) {
  study::Study study;
  study.Vary.resize(second != nullptr ? 2 : 1);
  study.Vary[0].Spec = &Quantity(first);
  if (second != nullptr) study.Vary[1].Spec = &Quantity(second);
  return study;
}

std::optional<study::PointResult> Point(double a, double b, double y,
                                        const char* status = study::kStatusOk) {
  study::PointResult result{{a, b}, {}, status};
  result.Results.fill(y);
  return result;
}

TEST(StudyChartTest, MoreCurvesThanALegendTellsApartGoOnAColourScale) {
  const study::Study grid = Varying("HeatFlux", "SubstrateWidth");
  const struct {
    std::size_t Keys;  // values of the other quantity: 1 mm, 2 mm, 4 mm…
    bool Log, Scale;
    double SecondShade;
  } cases[] = {{12, true, false, 0}, {13, false, true, 1.0 / 4095}, {13, true, true, 1.0 / 12}};
  for (const auto& c : cases) {
    study::StudyRows rows;
    for (std::size_t k = 0; k < c.Keys; ++k) {
      for (const double flux : {1e5, 2e5})
        rows.push_back(Point(flux, 1e-3 * std::pow(2.0, static_cast<double>(k)), 1));
    }
    const StudyChart chart = ChartData(grid, rows, {false, c.Log}, 0, 0, ',');
    ASSERT_EQ(chart.Curves.size(), c.Keys);
    EXPECT_EQ(chart.Scale, c.Scale) << c.Keys;
    if (!c.Scale) continue;
    EXPECT_EQ(std::tie(chart.ScaleLog, chart.ScaleLabel, chart.Curves.front().Shade),
              std::tuple(c.Log, "SubstrateWidth (m)", 0));
    EXPECT_NEAR(chart.Curves[1].Shade, c.SecondShade, 1e-12);
    EXPECT_DOUBLE_EQ(chart.Curves.back().Shade, 1);
  }
}

TEST(StudyChartTest, CurvesGroupThePointsByTheOtherQuantityInTheUnitsShown) {
  const study::Study grid = Varying("HeatFlux", "coating.SigmaQ");
  // Six points of a 3 × 2 grid (SI), one unfinished and one that gave no result.
  const study::StudyRows rows = {Point(1000, 20e6, 5e6), Point(1000, 10e6, 4e6),
                                 Point(2500, 20e6, 7e6), std::nullopt,
                                 Point(3000, 20e6, 9e6), Point(3000, 10e6, kNaN, "failed")};
  // The quantities in their boxes' units (kW/m², MPa), stresses in MPa, other results in SI; the
  // labels, title and curves' names told.
  std::vector<std::string> told;
  const auto view = [&](std::size_t quantity, std::size_t result, std::vector<double> keys,
                        std::vector<std::vector<double>> x, std::vector<std::vector<double>> y) {
    const StudyChart chart = ChartData(grid, rows, {false, true}, quantity, result, ',');
    EXPECT_EQ(std::tie(chart.Other, chart.Cloud, chart.LogX),
              std::tuple(1 - quantity, false, quantity == 1));
    told.insert(told.end(), {chart.XLabel, chart.YLabel, chart.Title});
    ASSERT_EQ(chart.Curves.size(), keys.size()) << chart.Title;
    for (std::size_t k = 0; k < keys.size(); ++k) {
      EXPECT_DOUBLE_EQ(chart.Curves[k].Key, keys[k]);
      told.push_back(chart.Curves[k].Name);
      EXPECT_THAT(chart.Curves[k].X, Pointwise(DoubleEq(), x[k]));
      EXPECT_THAT(chart.Curves[k].Y, Pointwise(DoubleEq(), y[k]));
    }
  };
  view(0, 2, {10, 20}, {{1}, {1, 2.5, 3}}, {{4}, {5, 7, 9}});
  view(1, 0, {1, 2.5, 3}, {{20, 10}, {20}, {20}}, {{5e6, 4e6}, {7e6}, {9e6}});
  // The choice of results names the units the chart shows.
  const std::vector<std::string> choices = ResultChoices();
  told.insert(told.end(), choices.begin(), choices.end());

  // Samples are one cloud, whatever the values of the other quantity, and have no legend.
  study::Study sampled = grid;
  sampled.Design = study::DesignKind::LatinHypercube;
  const StudyChart cloud = ChartData(sampled, rows, {}, 0, 6, '.');
  EXPECT_EQ(std::tie(cloud.Cloud, cloud.Other, cloud.LogX), std::tuple(true, std::nullopt, false));
  ASSERT_EQ(cloud.Curves.size(), 1u);
  EXPECT_EQ(cloud.Curves[0].Name, "");
  EXPECT_THAT(cloud.Curves[0].X, Pointwise(DoubleEq(), std::vector<double>{1, 1, 2.5, 3}));
  EXPECT_EQ(cloud.Curves[0].Y, (std::vector<double>{5e6, 4e6, 7e6, 9e6}));
  // A varied thickness shows in µm.
  const StudyChart single = ChartData(
      Varying("PassThickness"), {Point(2e-6, kNaN, 1), Point(5e-6, kNaN, 2)}, {false}, 0, 1, '.');
  EXPECT_EQ(single.Other, std::nullopt);
  told.push_back(single.XLabel);
  ASSERT_EQ(single.Curves.size(), 1u);
  EXPECT_THAT(single.Curves[0].X, Pointwise(DoubleEq(), std::vector<double>{2, 5}));

  // The correlations take the points that gave the result (Spearman's rho of {1000, 1000, 2500,
  // 3000} and {20, 10, 20, 20} against {5, 4, 7, 9}: 4.5/sqrt(22.5) and 3/sqrt(15)).
  const std::vector<double> rho = RankCorrelations(sampled, rows, 2);
  EXPECT_THAT(rho, Pointwise(DoubleEq(), {4.5 / std::sqrt(22.5), 3 / std::sqrt(15.0)}));
  told.push_back(CorrelationText(sampled, rows, 2, ','));
  // A result that never varies has no rank correlation.
  told.push_back(CorrelationText(sampled, {Point(1000, 10, 1), Point(2000, 20, 1)}, 2, '.'));
  test::ExpectMessages("study chart texts", told);
}

TEST(StudyViewTest, TheTableListsFinishedPointsInOrderInTheUnitsOfTheBoxes) {
  const study::Study study = Varying("HeatFlux", "PassThickness");
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
  // The headings, then each line's texts, a cell's tip after it; a number in the units shown.
  std::vector<std::string> told(1);
  for (const std::string& heading : grid.Headers()) told[0] += heading + "|";
  for (std::size_t line = 0; line < grid.RowCount(); ++line) {
    told.emplace_back();
    for (std::size_t column = 0; column < grid.ColumnCount(); ++column) {
      const std::string tip = grid.Tip(line, column);
      told.back() += grid.Text(line, column) + (tip.empty() ? "|" : " (" + tip + ")|");
    }
  }
  test::ExpectMessages("study table", told);
  // The numbers behind the texts (which tell every cell's above): exact in the unit shown, in
  // the result's unit, and none for the state.
  EXPECT_EQ(std::pair(grid.Number(1, 1), grid.Number(1, 5)), std::pair(612.345, -2.48));
  EXPECT_TRUE(std::isnan(grid.Number(1, 14)));
  // The rows kept are the points' own, in SI, for the exported files.
  EXPECT_EQ(std::pair(grid.Rows()[1].has_value(), grid.Rows()[2]->Values[0]),
            std::pair(false, 612345.0));
  grid.Reset(study, 2, '.');
  EXPECT_EQ(std::tuple(grid.RowCount(), grid.Rows().size()), std::tuple(0u, 2u));
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

// The table's bytes are compared with the batch program's in StudyWindowTest.
TEST(StudyViewTest, AnExportWritesTheWholeTableOrNothingAndSaysWhich) {
  test::TempDir dir;
  const study::Study study = Varying("HeatFlux");
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
