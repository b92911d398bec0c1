// The study plots place what they show where the table says: one cell of the colour map per
// point, tiling the plane between the grid's values; one marker per point on a curve.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "graphics/ChartDrawing.h"
#include "study/StudyDesign.h"
#include "study/StudyPlots.h"

namespace quillane::study {
namespace {

using graphics::DisplayItem;
using graphics::ItemKind;

Study StudyOf(const char* text) {
  return ReadStudyText(text, "s.json", DefaultInputs(), {});
}

Study TwoQuantities() {
  return StudyOf(R"({"vary": [{"input": "HeatFlux", "values": [1e6, 2e6, 3e6]},
      {"input": "PassCount", "values": [1, 2]}]})");
}

// Rows whose curvature is the sum of both values, so that every cell differs (a quantity a
// point leaves at its base takes 5).
StudyRows RowsOf(const Study& study) {
  StudyRows rows;
  for (auto point : DesignPoints(study)) {
    for (double& value : point) value = std::isnan(value) ? 5 : value;
    PointResult row{point, {}, kStatusOk};
    row.Results.fill(0);
    double sum = 0;
    for (const double value : point) sum += value;
    row.Results[0] = sum;
    rows.push_back(row);
  }
  return rows;
}

std::vector<DisplayItem> Items(const StudyPlot& plot, ItemKind kind, bool filled) {
  std::vector<DisplayItem> items;
  for (const DisplayItem& item : plot.Surface.Items()) {
    if (item.Kind == kind && item.Filled == filled) items.push_back(item);
  }
  return items;
}

TEST(StudyPlotsTest, AColourMapHasOneCellPerPointTilingTheGrid) {
  const Study study = TwoQuantities();
  const std::vector<StudyPlot> plots = MakeStudyPlots(study, RowsOf(study), "FinalCurvature");
  ASSERT_EQ(plots.size(), 1u);
  // Six cells, then the forty colours of the scale beside the title, labelled at five points.
  std::vector<DisplayItem> cells = Items(plots[0], ItemKind::Box, true);
  ASSERT_EQ(cells.size(), 46u);
  std::set<std::string> texts;
  for (const DisplayItem& text : Items(plots[0], ItemKind::Text, false)) texts.insert(text.Text);
  EXPECT_THAT(texts, ::testing::IsSupersetOf({"1e+06", "1.5e+06", "2e+06", "2.5e+06", "3e+06"}));
  cells.resize(6);
  std::set<std::pair<float, float>> centres;
  std::set<float> lefts, widths;
  for (const DisplayItem& cell : cells) {
    centres.insert({(cell.X1 + cell.X2) / 2, (cell.Y1 + cell.Y2) / 2});
    lefts.insert(std::min(cell.X1, cell.X2));
    widths.insert(std::round(std::fabs(cell.X2 - cell.X1) * 100) / 100);
  }
  // Evenly spaced values give cells of one width, edge to edge.
  EXPECT_EQ(std::tuple(centres.size(), lefts.size(), widths.size()), std::tuple(6u, 3u, 1u));
  const float width = *widths.begin();
  EXPECT_NEAR(*std::next(lefts.begin()) - *lefts.begin(), width, 0.01);
  // A quantity of one value still gets cells of some height.
  const Study flat = StudyOf(R"({"vary": [{"input": "HeatFlux", "values": [1e6, 2e6]},
      {"input": "PassCount", "values": [3]}]})");
  for (const DisplayItem& cell :
       Items(MakeStudyPlots(flat, RowsOf(flat), "FinalCurvature")[0], ItemKind::Box, true)) {
    EXPECT_GT(std::fabs(cell.Y2 - cell.Y1), 1);
  }
  // The colours follow the values: the largest sum is the last stop of the scale.
  EXPECT_EQ(std::tie(cells.front().Colour, cells.back().Colour),
            std::tuple(graphics::ScaleColour(0), graphics::ScaleColour(1)));
}

TEST(StudyPlotsTest, CurvesMarkEveryPointInOrderAndLeaveOutWhatNoAxisHolds) {
  Study study = TwoQuantities();
  study.Design = DesignKind::OneAtATime;
  StudyRows rows = RowsOf(study);
  // A run whose deflection overflowed is left out of its plot, not drawn off the axis.
  rows[1]->Results[1] = INFINITY;
  const std::vector<StudyPlot> plots = MakeStudyPlots(study, rows, "FinalCurvature");
  // Nine results against each of the two quantities, each over its own points.
  ASSERT_EQ(plots.size(), 18u);
  EXPECT_EQ(std::tie(plots[0].Name, plots[1].Name, plots[8].Name, plots[9].Name),
            std::tuple("FinalCurvature_vs_HeatFlux", "FinalDeflection_vs_HeatFlux",
                       "PeakInterfaceTemperature_vs_HeatFlux", "FinalCurvature_vs_PassCount"));
  const std::vector<DisplayItem> markers = Items(plots[0], ItemKind::Circle, false);
  ASSERT_EQ(markers.size(), 3u);
  // Larger flux, larger curvature: right of and above the previous marker.
  for (std::size_t i = 1; i < markers.size(); ++i) {
    EXPECT_GT(markers[i].X1, markers[i - 1].X1);
    EXPECT_LT(markers[i].Y1, markers[i - 1].Y1);
  }
  EXPECT_EQ(std::tuple(Items(plots[9], ItemKind::Circle, false).size(),
                       Items(plots[1], ItemKind::Circle, false).size()),
            std::tuple(2u, 2u));
}

// Eight points at 0 and one at 1: five bins, the first holding eight, the last one, the three
// between none and so not drawn.
TEST(StudyPlotsTest, AHistogramCountsEachPointOnceInItsBin) {
  const Study study =
      StudyOf(R"({"vary": [{"input": "HeatFlux", "distribution": {"uniform": [1e6, 2e6]}}],
          "design": {"latin-hypercube": {"samples": 9}}})");
  StudyRows rows;
  for (int i = 0; i < 9; ++i) {
    PointResult row{{1e6}, {}, kStatusOk};
    row.Results.fill(i == 8 ? 1 : 0);
    rows.push_back(row);
  }
  const std::vector<StudyPlot> plots = MakeStudyPlots(study, rows, "FinalCurvature");
  ASSERT_FALSE(plots.empty());
  EXPECT_EQ(plots[0].Name, "histogram_FinalCurvature");
  const std::vector<DisplayItem> bars = Items(plots[0], ItemKind::Box, true);
  ASSERT_EQ(bars.size(), 2u);
  const auto height = [](const DisplayItem& bar) { return std::fabs(bar.Y2 - bar.Y1); };
  EXPECT_NEAR(height(bars[0]) / height(bars[1]), 8, 1e-3);
  EXPECT_LT(std::min(bars[0].X1, bars[0].X2), std::min(bars[1].X1, bars[1].X2));
}

// Values a double barely tells apart, and denormal results: every plot is drawn with every
// point, on a few ticks (their loop once grew until memory ran out).
TEST(StudyPlotsTest, NearlyEqualAndDenormalValuesArePlottedWithEveryPoint) {
  const struct {
    const char* study;
    double results[3];
    std::size_t drawn;  // markers on the first curve, or bars of the first histogram
  } cases[] = {
      {R"({"vary": [{"input": "HeatFlux",
           "values": [600000, 600000.0000000001, 600000.0000000002]}]})",
       {1, 1.0000000000000002, 1.0000000000000004},
       3},
      {R"({"vary": [{"input": "HeatFlux", "values": [1e6, 2e6, 3e6]}]})", {5e-324, 1e-323, 0}, 3},
      {R"({"vary": [{"input": "HeatFlux", "distribution": {"uniform": [1e6, 2e6]}}],
           "design": {"latin-hypercube": {"samples": 3}}})",
       {5e-324, 1e-323, 1e-323},
       1},  // too close for bins of their own
  };
  for (const auto& c : cases) {
    const Study study = StudyOf(c.study);
    StudyRows rows;
    for (std::size_t i = 0; i < 3; ++i) {
      PointResult row{
          {study.Vary[0].Values.empty() ? 1e6 : study.Vary[0].Values[i]}, {}, kStatusOk};
      row.Results.fill(c.results[i]);
      rows.push_back(row);
    }
    const std::vector<StudyPlot> plots = MakeStudyPlots(study, rows, "FinalCurvature");
    ASSERT_FALSE(plots.empty()) << c.study;
    const bool sampled = study.Design == DesignKind::LatinHypercube;
    EXPECT_EQ(sampled ? Items(plots[0], ItemKind::Box, true).size()
                      : Items(plots[0], ItemKind::Circle, false).size(),
              c.drawn)
        << c.study;
    EXPECT_LT(plots[0].Surface.Items().size(), 200u) << c.study;
  }
}

}  // namespace
}  // namespace quillane::study
