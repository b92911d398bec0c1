#pragma once
// Replays the display list of a drawing surface as an SVG picture of the surface's size in
// pixels, so that the stress views can be saved without a windowing toolkit.

#include <filesystem>
#include <string>

#include "graphics/DrawingSurface.h"
#include "graphics/StressSurfaces.h"

namespace quillane::graphics {

// The picture as SVG text: width and height in pixels (twips / 15), background colour of the
// surface, every item mapped from the user coordinates it was drawn in so that the user range
// spans the surface from its first to its last pixel, strokes DrawWidth pixels wide, text with
// its top-left corner at the recorded position, everything clipped to the surface.
std::string RenderSvg(const DrawingSurface& surface);

// Writes the five stress pictures into dir (created when missing): building_global.svg,
// building_zoom.svg, cooling_global.svg, cooling_zoom.svg and arrow.svg. Each file is written
// beside its target and renamed over it, so a failure leaves an earlier file intact. Throws
// std::runtime_error naming the path on any failure.
void WritePlots(const StressSurfaces& surfaces, const std::filesystem::path& dir);

}  // namespace quillane::graphics
