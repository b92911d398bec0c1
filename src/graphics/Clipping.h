#pragma once

namespace quillane::graphics {

// Cuts the segment (x0, y0)-(x1, y1) to the rectangle [left, right] × [top, bottom] (Liang-
// Barsky); false when nothing of it is inside. Lines that start far outside (the substrate in a
// zoom view) then stay in a range every renderer handles exactly.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double left, double top,
                 double right, double bottom);

}  // namespace quillane::graphics
