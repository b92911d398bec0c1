#pragma once
// Charts of tables on a drawing surface: a framed plotting area with ticked, labelled axes in
// data units, onto which curves, markers and filled cells are drawn. Coordinates stay doubles
// until they are pixels, so that data of any magnitude is placed exactly.

#include <string>
#include <vector>

#include "graphics/DrawingSurface.h"

namespace quillane::graphics {

// Round tick values that cover [low, high] with about `count` steps (1, 2 or 5 times a power
// of ten); a span of zero is widened around its value.
std::vector<double> NiceTicks(double low, double high, int count = 5);

// How an axis maps its values: evenly, by decades (positive values spanning a few of them), or
// evenly without ticks (an axis of slots rather than values, as rows of a ranking).
enum class AxisScale { Linear, Logarithmic, Unticked };

// Whether values are better read on a logarithmic axis: all positive, over two decades or more.
bool SpansDecades(double low, double high);

// A part of a surface, in pixels, that holds one chart with its labels.
struct ChartPanel {
  float Left = 0;
  float Top = 0;
  float Right = 0;
  float Bottom = 0;
};

class ChartArea {
 public:
  // Clears the surface, draws the title, the frame and both axes with ticks and labels; the
  // plotting area then spans the outermost ticks.
  ChartArea(DrawingSurface& surface, const std::string& title, const std::string& xLabel,
            const std::string& yLabel, double xLow, double xHigh, double yLow, double yHigh,
            AxisScale xScale = AxisScale::Linear, AxisScale yScale = AxisScale::Linear);
  // The same in one panel of the surface, which is not cleared (charts stacked on one surface).
  ChartArea(DrawingSurface& surface, const ChartPanel& panel, const std::string& title,
            const std::string& xLabel, const std::string& yLabel, double xLow, double xHigh,
            double yLow, double yHigh, AxisScale xScale = AxisScale::Linear,
            AxisScale yScale = AxisScale::Linear);

  // Pixel positions of data values.
  float X(double x) const;
  float Y(double y) const;

  void Curve(const std::vector<double>& xs, const std::vector<double>& ys, RGB colour);
  void Markers(const std::vector<double>& xs, const std::vector<double>& ys, RGB colour);
  // A cell from (x0, y0) to (x1, y1) painted in the colour (bars, colour maps).
  void Cell(double x0, double y0, double x1, double y1, RGB colour);
  // A text at a pixel position, its top-left corner there.
  void Label(float x, float y, const std::string& text, RGB colour = RGB(0, 0, 0));

  float Left() const { return left_; }
  float Right() const { return right_; }
  float Top() const { return top_; }
  float Bottom() const { return bottom_; }

 private:
  // The ticks of one axis over [low, high]; the axis's ends are the outermost ones.
  std::vector<double> Ticks(double low, double high, AxisScale scale) const;
  // Where a value lies between an axis's ends, 0 at the low end and 1 at the high one.
  static double Fraction(double value, double low, double high, AxisScale scale);

  DrawingSurface& surface_;
  float left_;
  float right_;
  float top_;
  float bottom_;
  double xLow_ = 0;
  double xHigh_ = 1;
  double yLow_ = 0;
  double yHigh_ = 1;
  AxisScale xScale_ = AxisScale::Linear;
  AxisScale yScale_ = AxisScale::Linear;
};

// A colour of a blue-to-yellow scale for t in [0, 1] (perceptually ordered, printable in grey).
RGB ScaleColour(double t);

}  // namespace quillane::graphics
