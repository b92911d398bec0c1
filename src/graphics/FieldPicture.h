#pragma once
// The whole-deposit model's thermal field as a picture: temperature against time (across) and
// height (up) as a colour map, with its colour scale in kelvins. The substrate and the deposit
// each get a band of their own scale, split by the substrate's top face.

#include "graphics/DrawingSurface.h"
#include "model/ModelState.h"

namespace quillane::graphics {

// The surface the picture is drawn for: 900 × 540 pixels.
inline constexpr int kFieldWidthTwips = 13500;
inline constexpr int kFieldHeightTwips = 8100;

// Levels of the colour scale. Neighbouring cells of one level are drawn as one box, and the
// scale beside the map as one box per level.
inline constexpr int kFieldColourLevels = 64;

// Pixels of the map's width per drawn time column: neighbouring samples that fall in one
// column are averaged, so that the number of boxes (and the size of an SVG file) does not grow
// with the number of samples.
inline constexpr float kFieldPixelsPerColumn = 2;

// Clears the surface and draws state.Field.Picture: each cell of a height and a time column in
// the colour of its temperature, between the coldest and the hottest drawn, cells without
// deposit left blank; the time axis, both height bands with their captions, the top face of the
// substrate as a red line, and the colour scale with its ends and round values labelled. A
// picture without samples leaves the surface empty. Throws std::invalid_argument when the
// temperatures do not hold one row of the heights per time.
void DrawThermalField(const ModelState& state, DrawingSurface& surface);

}  // namespace quillane::graphics
