#pragma once
// From a display list's user coordinates to the pixels of a picture, shared by every renderer
// so that the SVG file and the window show the same picture.

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "graphics/DrawingSurface.h"

namespace quillane::graphics {

// The left and right user edges fall on the centres of the first and the last pixel column
// (and likewise for rows), so that the border of a frame is never clipped away.
class PixelMap {
 public:
  PixelMap(const UserScale& scale, double widthPx, double heightPx)
      : scale_(scale), widthPx_(widthPx), heightPx_(heightPx) {}
  double X(float x) const {
    return 0.5 + (static_cast<double>(x) - scale_.Left) / scale_.Width * (widthPx_ - 1);
  }
  double Y(float y) const {
    return 0.5 + (static_cast<double>(y) - scale_.Top) / scale_.Height * (heightPx_ - 1);
  }
  double PixelsPerUnitX() const { return (widthPx_ - 1) / std::fabs(scale_.Width); }

 private:
  UserScale scale_;
  double widthPx_;
  double heightPx_;
};

// A stroke of odd width is centred on a pixel, one of even width on a pixel boundary, so that
// horizontal and vertical lines come out sharp.
inline double Snap(double p, int width) {
  return width % 2 == 1 ? std::floor(p) + 0.5 : std::floor(p + 0.5);
}

// Font sizes are in points, pictures at 96 pixels per inch (15 twips per pixel, 20 per point).
constexpr double kPixelsPerPoint = 96.0 / 72.0;
// A text line's baseline below its top, in em: the ascent of the usual sans-serif faces.
constexpr double kAscentEm = 0.9;

inline bool Finite(std::initializer_list<double> values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// Cuts the segment (x0, y0)-(x1, y1) to the rectangle [left, right] × [top, bottom] (Liang-
// Barsky); false when nothing of it is inside. Lines that start far outside (the substrate in a
// zoom view) then stay in a range every renderer handles exactly.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double left, double top,
                 double right, double bottom);

}  // namespace quillane::graphics
