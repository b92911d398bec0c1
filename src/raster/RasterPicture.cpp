#include "raster/RasterPicture.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <numbers>
#include <sstream>
#include <stdexcept>

#include "graphics/PixelMapping.h"
#include "io/AtomicFile.h"

namespace quillane::raster {

namespace {

using graphics::DisplayItem;
using graphics::DrawingSurface;
using graphics::Finite;
using graphics::ItemKind;
using graphics::PixelMap;
using graphics::Snap;

struct SurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
  void operator()(cairo_t* context) const { cairo_destroy(context); }
};

// cairo's own limit on either side of an image surface.
constexpr double kMaxSide = 32767;

[[noreturn]] void Fail(const std::string& what, cairo_status_t status) {
  throw std::runtime_error(what + ": " + cairo_status_to_string(status) + ".");
}

void SetColour(cairo_t* cr, const graphics::RGB& colour) {
  const auto channel = [](int value) { return std::clamp(value, 0, 255) / 255.0; };
  cairo_set_source_rgb(cr, channel(colour.Red), channel(colour.Green), channel(colour.Blue));
}

void SetPen(cairo_t* cr, const DisplayItem& item) {
  SetColour(cr, item.Colour);
  cairo_set_line_width(cr, item.Width);
  // Wide pens end round, a hairline ends where it is told to, as in the SVG file.
  cairo_set_line_cap(cr, item.Width > 1 ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
}

// Unhinted outlines at fractional sizes: text scales with the picture without shifting from
// one size to the next, as in the SVG file.
void SetFont(cairo_t* cr) {
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

// Replays display items in the surface's pixels, with the SVG writer's mapping, snapping and
// clipping.
class CairoReplay {
 public:
  CairoReplay(cairo_t* cr, double widthPx, double heightPx)
      : cr_(cr), widthPx_(widthPx), heightPx_(heightPx) {}

  void Draw(const DisplayItem& item) {
    const PixelMap map(item.Scale, widthPx_, heightPx_);
    switch (item.Kind) {
      case ItemKind::Line:
        DrawLine(item, map);
        break;
      case ItemKind::Box:
        DrawBox(item, map);
        break;
      case ItemKind::Circle:
        DrawCircle(item, map);
        break;
      case ItemKind::Text:
        DrawText(item, map);
        break;
    }
  }

 private:
  void DrawLine(const DisplayItem& item, const PixelMap& map) {
    double x0 = Snap(map.X(item.X1), item.Width);
    double y0 = Snap(map.Y(item.Y1), item.Width);
    double x1 = Snap(map.X(item.X2), item.Width);
    double y1 = Snap(map.Y(item.Y2), item.Width);
    if (!Finite({x0, y0, x1, y1})) return;
    const double margin = item.Width + 2.0;
    if (!graphics::ClipSegment(x0, y0, x1, y1, -margin, -margin, widthPx_ + margin,
                               heightPx_ + margin)) {
      return;
    }
    SetPen(cr_, item);
    cairo_move_to(cr_, x0, y0);
    cairo_line_to(cr_, x1, y1);
    cairo_stroke(cr_);
  }

  void DrawBox(const DisplayItem& item, const PixelMap& map) {
    const double xa = Snap(map.X(item.X1), item.Width);
    const double ya = Snap(map.Y(item.Y1), item.Width);
    const double xb = Snap(map.X(item.X2), item.Width);
    const double yb = Snap(map.Y(item.Y2), item.Width);
    if (!Finite({xa, ya, xb, yb})) return;
    // An edge pushed to the margin stays out of sight, so clamping keeps the picture exact.
    const double margin = item.Width + 2.0;
    const auto clampX = [&](double v) { return std::clamp(v, -margin, widthPx_ + margin); };
    const auto clampY = [&](double v) { return std::clamp(v, -margin, heightPx_ + margin); };
    const double x0 = clampX(std::min(xa, xb));
    const double y0 = clampY(std::min(ya, yb));
    cairo_rectangle(cr_, x0, y0, clampX(std::max(xa, xb)) - x0, clampY(std::max(ya, yb)) - y0);
    SetPen(cr_, item);
    if (item.Filled) cairo_fill_preserve(cr_);
    cairo_stroke(cr_);
  }

  void DrawCircle(const DisplayItem& item, const PixelMap& map) {
    const double cx = Snap(map.X(item.X1), item.Width);
    const double cy = Snap(map.Y(item.Y1), item.Width);
    const double radius = std::fabs(static_cast<double>(item.Radius)) * map.PixelsPerUnitX();
    const double aspect = std::fabs(static_cast<double>(item.Aspect));
    // Up to an aspect of 1 the radius is the horizontal one, above it the vertical one.
    const double rx = aspect <= 1 ? radius : radius / aspect;
    const double ry = aspect <= 1 ? radius * aspect : radius;
    // A flat ellipse draws nothing, as in the SVG file.
    if (!Finite({cx, cy, rx, ry}) || rx <= 0 || ry <= 0) return;
    const double reach = std::max(rx, ry) + item.Width;
    if (cx + reach < 0 || cx - reach > widthPx_ || cy + reach < 0 || cy - reach > heightPx_) {
      return;
    }
    // The path is made on a unit circle scaled to the ellipse; the pen is set after, unscaled.
    cairo_save(cr_);
    cairo_translate(cr_, cx, cy);
    cairo_scale(cr_, rx, ry);
    if (item.IsArc) {
      // Counter-clockwise on the screen from the start to the end angle, whatever the direction
      // of the user y axis: with y down, that is cairo's negative direction.
      constexpr double kTurn = 2 * std::numbers::pi;
      const double start = item.StartAngle;
      double sweep = std::fmod(static_cast<double>(item.EndAngle) - start, kTurn);
      if (sweep <= 0) sweep += kTurn;
      cairo_new_sub_path(cr_);
      cairo_arc_negative(cr_, 0, 0, 1, -start, -(start + sweep));
    } else {
      cairo_arc(cr_, 0, 0, 1, 0, 2 * std::numbers::pi);
    }
    cairo_restore(cr_);
    SetPen(cr_, item);
    cairo_stroke(cr_);
  }

  void DrawText(const DisplayItem& item, const PixelMap& map) {
    const double x = std::floor(map.X(item.X1));
    const double top = std::floor(map.Y(item.Y1));
    const double fontPx = static_cast<double>(item.FontSize) * graphics::kPixelsPerPoint;
    if (!Finite({x, top, fontPx}) || fontPx <= 0) return;
    if (x > widthPx_ || top > heightPx_ || top + 2 * fontPx < 0) return;
    SetColour(cr_, item.Colour);
    cairo_set_font_size(cr_, fontPx);
    // Text that is not UTF-8 is left out, rather than put the whole picture in an error state.
    cairo_glyph_t* glyphs = nullptr;
    int count = 0;
    const cairo_status_t status = cairo_scaled_font_text_to_glyphs(
        cairo_get_scaled_font(cr_), x, top + graphics::kAscentEm * fontPx, item.Text.data(),
        static_cast<int>(item.Text.size()), &glyphs, &count, nullptr, nullptr, nullptr);
    if (status == CAIRO_STATUS_SUCCESS) cairo_show_glyphs(cr_, glyphs, count);
    cairo_glyph_free(glyphs);
  }

  cairo_t* cr_;
  double widthPx_;
  double heightPx_;
};

void Paint(cairo_t* cr, const DrawingSurface& surface, int width, int height) {
  SetColour(cr, surface.BackColor());
  cairo_paint(cr);
  cairo_scale(cr, width / surface.WidthPixels(), height / surface.HeightPixels());
  SetFont(cr);
  CairoReplay replay(cr, surface.WidthPixels(), surface.HeightPixels());
  for (const DisplayItem& item : surface.Items()) replay.Draw(item);
}

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  try {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
  } catch (const std::bad_alloc&) {
    return CAIRO_STATUS_NO_MEMORY;
  }
}

}  // namespace

void PngWriter::Write(const DrawingSurface& surface, const std::filesystem::path& path,
                      double zoom) const {
  AtomicFile::WriteWhole(path, Encode(surface, zoom), "picture");
}

std::string PngWriter::Encode(const DrawingSurface& surface, double zoom) const {
  const double width = std::round(surface.WidthPixels() * zoom);
  const double height = std::round(surface.HeightPixels() * zoom);
  if (!(width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide)) {
    std::ostringstream what;
    what << "Cannot paint a picture of " << width << " x " << height << " pixels";
    Fail(what.str(), CAIRO_STATUS_INVALID_SIZE);
  }
  const std::unique_ptr<cairo_surface_t, SurfaceDeleter> image(cairo_image_surface_create(
      CAIRO_FORMAT_RGB24, static_cast<int>(width), static_cast<int>(height)));
  if (cairo_surface_status(image.get()) != CAIRO_STATUS_SUCCESS) {
    Fail("Cannot paint a picture", cairo_surface_status(image.get()));
  }
  {
    const std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(image.get()));
    Paint(cr.get(), surface, static_cast<int>(width), static_cast<int>(height));
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) {
      Fail("Cannot paint a picture", cairo_status(cr.get()));
    }
  }
  std::string bytes;
  const cairo_status_t written =
      cairo_surface_write_to_png_stream(image.get(), AppendBytes, &bytes);
  if (written != CAIRO_STATUS_SUCCESS) Fail("Cannot encode a picture as PNG", written);
  return bytes;
}

}  // namespace quillane::raster
