// The chart's ticks: steps of 1, 2 or 5 times a power of ten, no finer than the range over
// `count`, covering the range; a range of no width is widened around its value.

#include <gtest/gtest.h>

#include <vector>

#include "graphics/ChartDrawing.h"

namespace quillane::graphics {
namespace {

TEST(NiceTicksTest, StepsOfOneTwoOrFiveCoverTheRangeAndAPointIsWidened) {
  const struct {
    double low, high;
    std::vector<double> ticks;
  } cases[] = {
      {0, 10, {0, 2, 4, 6, 8, 10}},
      {0, 3, {0, 1, 2, 3}},                       // 0.6 a tick: 0.5 is too fine, 1 it is
      {0.3, 2.2, {0, 0.5, 1, 1.5, 2, 2.5}},       // 0.38 a tick: 0.5, the range rounded out
      {-7, 13, {-10, -5, 0, 5, 10, 15}},          // 4 a tick: 5 is the nearest step above
      {5, 5, {4.4, 4.6, 4.8, 5, 5.2, 5.4, 5.6}},  // widened by a tenth of the value each way
      {0, 0, {-1, -0.5, 0, 0.5, 1}},              // widened by 1 each way
      {-200, -200, {-220, -210, -200, -190, -180}},
  };
  for (const auto& c : cases) {
    const std::vector<double> ticks = NiceTicks(c.low, c.high, 5);
    ASSERT_EQ(ticks.size(), c.ticks.size()) << c.low << " to " << c.high;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
      EXPECT_NEAR(ticks[i], c.ticks[i], 1e-12) << c.low << " to " << c.high << ", tick " << i;
    }
  }
}

}  // namespace
}  // namespace quillane::graphics
