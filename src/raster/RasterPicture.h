#pragma once
// Display lists painted into PNG files with cairo, which needs no windowing toolkit: the batch
// program and the Python module write PNG pictures on a machine without Qt or a display. The
// mapping from user coordinates to pixels is the one of the SVG writer, so an SVG file, a PNG
// file and a window show the same picture.

#include <filesystem>
#include <string>

#include "graphics/DrawingSurface.h"

namespace quillane::raster {

// Writes pictures as PNG files, antialiased, their text in DejaVu Sans.
class PngWriter {
 public:
  // The picture at `zoom` times the surface's size in pixels. Throws std::runtime_error naming
  // the path on failure; an earlier file stays as it was.
  void Write(const graphics::DrawingSurface& surface, const std::filesystem::path& path,
             double zoom = 1) const;
  // The PNG file's bytes, for a caller that writes them with other files. Throws
  // std::runtime_error when the picture cannot be painted (too large for memory, say).
  std::string Encode(const graphics::DrawingSurface& surface, double zoom = 1) const;
};

}  // namespace quillane::raster
