#pragma once
// Display lists painted with Qt: into a window's painter, or into a PNG file. The mapping from
// user coordinates to pixels is the one of the SVG writer, so a window, an SVG file and a PNG
// file show the same picture.

#include <QGuiApplication>
#include <QRectF>
#include <filesystem>
#include <memory>
#include <string>

#include "graphics/DrawingSurface.h"

class QPainter;

namespace quillane::raster {

// Draws the surface's display list into target (a rectangle of the painter's coordinates) with
// its background, antialiased and clipped to target.
void RenderSurface(QPainter& painter, const graphics::DrawingSurface& surface,
                   const QRectF& target);

// Writes pictures as PNG files. A program without a Qt application (the batch runner) gets a
// window-less one for as long as the writer lives.
class PngWriter {
 public:
  PngWriter();
  ~PngWriter();
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;

  // The picture at `zoom` times the surface's size in pixels. Throws std::runtime_error naming
  // the path on failure; an earlier file stays as it was.
  void Write(const graphics::DrawingSurface& surface, const std::filesystem::path& path,
             double zoom = 1) const;
  // The PNG file's bytes, for a caller that writes them with other files.
  std::string Encode(const graphics::DrawingSurface& surface, double zoom = 1) const;

 private:
  int argc_ = 1;
  char name_[9] = "quillane";
  char* argv_[2] = {name_, nullptr};
  bool ownsApplication_ = false;
  bool setsPlatform_ = false;
  QtMessageHandler previousHandler_ = nullptr;
  std::unique_ptr<QGuiApplication> application_;
};

}  // namespace quillane::raster
