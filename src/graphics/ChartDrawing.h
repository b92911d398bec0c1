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
            const std::string& yLabel, double xLow, double xHigh, double yLow, double yHigh);
  // The same in one panel of the surface, which is not cleared (charts stacked on one surface).
  ChartArea(DrawingSurface& surface, const ChartPanel& panel, const std::string& title,
            const std::string& xLabel, const std::string& yLabel, double xLow, double xHigh,
            double yLow, double yHigh);

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
  DrawingSurface& surface_;
  float left_;
  float right_;
  float top_;
  float bottom_;
  double xLow_ = 0;
  double xHigh_ = 1;
  double yLow_ = 0;
  double yHigh_ = 1;
};

// A colour of a blue-to-yellow scale for t in [0, 1] (perceptually ordered, printable in grey).
RGB ScaleColour(double t);

}  // namespace quillane::graphics
