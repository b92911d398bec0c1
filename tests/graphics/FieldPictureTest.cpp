// The thermal field's picture, drawn from fields sampled by hand.

#include "graphics/FieldPicture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "GraphicsStates.h"
#include "graphics/ChartDrawing.h"

namespace quillane::graphics {
namespace {

const double kNaN = std::nan("");

// A field of these times and heights, temperatures row by row (one row per time).
ModelState FieldState(std::vector<double> times, std::vector<double> heights,
                      std::vector<double> temperatures) {
  ModelState state;
  state.Model = StressModelKind::WholeDeposit;
  state.Field.Picture = {std::move(times), std::move(heights), std::move(temperatures)};
  return state;
}

// The map's filled boxes and its colour scale's (the right-most column of boxes).
struct DrawnBoxes {
  std::vector<DisplayItem> Map;
  std::vector<DisplayItem> Scale;
};

// A box's edges, whichever corners it was drawn from.
const auto BoxLeft = [](const DisplayItem& box) { return std::min(box.X1, box.X2); };
const auto BoxRight = [](const DisplayItem& box) { return std::max(box.X1, box.X2); };
const auto BoxTop = [](const DisplayItem& box) { return std::min(box.Y1, box.Y2); };
const auto BoxBottom = [](const DisplayItem& box) { return std::max(box.Y1, box.Y2); };

DrawnBoxes FilledBoxes(const DrawingSurface& surface) {
  const std::vector<DisplayItem> filled = test::ItemsWhere(
      surface, [](const DisplayItem& item) { return item.Kind == ItemKind::Box && item.Filled; });
  float scaleLeft = 0;
  for (const DisplayItem& box : filled) scaleLeft = std::max(scaleLeft, BoxLeft(box));
  DrawnBoxes boxes;
  for (const DisplayItem& box : filled) {
    (BoxLeft(box) == scaleLeft ? boxes.Scale : boxes.Map).push_back(box);
  }
  return boxes;
}

// Two substrate rows and two deposit rows over three times, the top of the deposit not laid at
// the first: coldest bottom left, hottest top right.
TEST(FieldPictureTest, CellsTakeTheColourOfTheirTemperatureAndUnlaidCellsStayBlank) {
  const ModelState state = FieldState({0, 1, 2}, {-2e-3, 0, 1e-5, 2e-5},
                                      {300, 310, 320, kNaN,  //
                                       400, 420, 450, 500,   //
                                       600, 650, 700, 850});
  DrawingSurface surface(kFieldWidthTwips, kFieldHeightTwips);
  DrawThermalField(state, surface);
  const DrawnBoxes boxes = FilledBoxes(surface);
  ASSERT_EQ(boxes.Map.size(), 11u);
  EXPECT_EQ(boxes.Scale.size(), static_cast<std::size_t>(kFieldColourLevels));

  const float left = BoxLeft(std::ranges::min(boxes.Map, {}, BoxLeft));
  const float right = BoxRight(std::ranges::max(boxes.Map, {}, BoxRight));
  const float top = BoxTop(std::ranges::min(boxes.Map, {}, BoxTop));
  const float bottom = BoxBottom(std::ranges::max(boxes.Map, {}, BoxBottom));
  const auto at = [&](bool atRight, bool atTop) {
    const auto found = std::find_if(boxes.Map.begin(), boxes.Map.end(), [&](const DisplayItem& b) {
      return (atRight ? BoxRight(b) == right : BoxLeft(b) == left) &&
             (atTop ? BoxTop(b) == top : BoxBottom(b) == bottom);
    });
    return found == boxes.Map.end() ? nullptr : &*found;
  };
  ASSERT_NE(at(true, true), nullptr);
  EXPECT_EQ(at(true, true)->Colour, ScaleColour(1));
  ASSERT_NE(at(false, false), nullptr);
  EXPECT_EQ(at(false, false)->Colour, ScaleColour(0));
  EXPECT_NE(at(false, false)->Colour, at(true, false)->Colour);
  // The deposit's top at the first time was not laid: nothing is drawn there.
  EXPECT_EQ(at(false, true), nullptr);
  // The scale's labels tell both extremes.
  EXPECT_FALSE(test::Texts(surface, "300").empty());
  EXPECT_FALSE(test::Texts(surface, "850").empty());
}

// Thousands of samples merge into columns of the picture; a row of one temperature is one box
// across the whole map, and rows alike through the thickness draw as one.
TEST(FieldPictureTest, BoxesStayFewWhateverTheSampleAndRowCounts) {
  constexpr int kTimes = 5000;
  std::vector<double> times;
  std::vector<double> varied;
  std::vector<double> alike;
  std::vector<double> single;
  for (int i = 0; i < kTimes; ++i) {
    times.push_back(0.01 * i);
    varied.insert(varied.end(), {300, 400 + 100 * std::sin(0.37 * i),
                                 500 + 200 * std::cos(0.11 * i), 900 - 0.05 * i});
    const double t = 600 + 300 * std::sin(0.05 * i);
    alike.insert(alike.end(), {t, t, t, t});
    single.push_back(t);
  }
  const std::vector<double> heights = {-1e-3, -5e-4, 0, 1e-4};
  DrawingSurface surface(kFieldWidthTwips, kFieldHeightTwips);
  DrawThermalField(FieldState(times, heights, varied), surface);
  const DrawnBoxes boxes = FilledBoxes(surface);
  const double columns = surface.WidthPixels() / kFieldPixelsPerColumn;
  EXPECT_LE(static_cast<double>(boxes.Map.size()), 3 * columns + 1);
  const float bottom = BoxBottom(std::ranges::max(boxes.Map, {}, BoxBottom));
  EXPECT_EQ(std::count_if(boxes.Map.begin(), boxes.Map.end(),
                          [&](const DisplayItem& box) { return BoxBottom(box) == bottom; }),
            1);

  DrawThermalField(FieldState(times, heights, alike), surface);
  const std::size_t alikeBoxes = FilledBoxes(surface).Map.size();
  DrawThermalField(FieldState(times, {1e-4}, single), surface);
  EXPECT_GT(alikeBoxes, 20u);
  EXPECT_EQ(alikeBoxes, FilledBoxes(surface).Map.size());
}

TEST(FieldPictureTest, AFieldWithoutSamplesDrawsNothingAndAShortOneIsRefused) {
  DrawingSurface surface(kFieldWidthTwips, kFieldHeightTwips);
  surface.Line(0, 0, 10, 10);
  DrawThermalField(ModelState(), surface);
  EXPECT_TRUE(surface.Items().empty());
  EXPECT_THROW(DrawThermalField(FieldState({0, 1}, {-1e-3, 1e-5}, {300, 310, 320}), surface),
               std::invalid_argument);
}

}  // namespace
}  // namespace quillane::graphics
