#include "graphics/SvgWriter.h"

#include "graphics/PixelMapping.h"
#include "io/AtomicFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <system_error>

namespace quillane::graphics {

namespace {

constexpr const char* kFontFamily =
    "'MS Sans Serif', 'Microsoft Sans Serif', 'DejaVu Sans', "
    "Arial, sans-serif";

// Shortest fixed form with at most two decimals, independent of the locale.
std::string Num(double value) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  std::string text(buffer, result.ptr);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
}

std::string Hex(const RGB& colour) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text = "#";
  for (int channel : {colour.Red, colour.Green, colour.Blue}) {
    const int value = std::clamp(channel, 0, 255);
    text += kDigits[value / 16];
    text += kDigits[value % 16];
  }
  return text;
}

// Text content for XML: markup characters escaped, control characters (not allowed in XML
// 1.0) dropped.
std::string EscapeXml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
        break;
    }
  }
  return out;
}

struct Rect {
  double X0, Y0, X1, Y1;
};

std::string StrokeAttributes(const DisplayItem& item) {
  std::string text =
      " stroke=\"" + Hex(item.Colour) + "\" stroke-width=\"" + std::to_string(item.Width) + "\"";
  // Wide pens of the toolkit end round; a hairline ends where it is told to.
  if (item.Width > 1) text += " stroke-linecap=\"round\"";
  return text;
}

class SvgBuilder {
 public:
  SvgBuilder(double widthPx, double heightPx) : widthPx_(widthPx), heightPx_(heightPx) {}

  void Add(const DisplayItem& item) {
    const PixelMap map(item.Scale, widthPx_, heightPx_);
    switch (item.Kind) {
      case ItemKind::Line:
        AddLine(item, map);
        break;
      case ItemKind::Box:
        AddBox(item, map);
        break;
      case ItemKind::Circle:
        AddCircle(item, map);
        break;
      case ItemKind::Text:
        AddText(item, map);
        break;
    }
  }

  const std::string& Body() const { return body_; }

 private:
  // Generous bounds around the surface: geometry beyond them cannot show, and cutting it
  // keeps coordinates of lines that start far off-screen (a substrate in the zoom view) small.
  Rect Bounds(double margin) const {
    return {-margin, -margin, widthPx_ + margin, heightPx_ + margin};
  }

  void AddLine(const DisplayItem& item, const PixelMap& map) {
    double x0 = Snap(map.X(item.X1), item.Width);
    double y0 = Snap(map.Y(item.Y1), item.Width);
    double x1 = Snap(map.X(item.X2), item.Width);
    double y1 = Snap(map.Y(item.Y2), item.Width);
    if (!Finite({x0, y0, x1, y1})) return;
    const Rect clip = Bounds(item.Width + 2.0);
    if (!ClipSegment(x0, y0, x1, y1, clip.X0, clip.Y0, clip.X1, clip.Y1)) return;
    body_ += "<line x1=\"" + Num(x0) + "\" y1=\"" + Num(y0) + "\" x2=\"" + Num(x1) + "\" y2=\"" +
             Num(y1) + "\"" + StrokeAttributes(item) + "/>\n";
  }

  void AddBox(const DisplayItem& item, const PixelMap& map) {
    const Rect bounds = Bounds(item.Width + 2.0);
    auto clampX = [&](double v) { return std::clamp(v, bounds.X0, bounds.X1); };
    auto clampY = [&](double v) { return std::clamp(v, bounds.Y0, bounds.Y1); };
    const double xa = Snap(map.X(item.X1), item.Width);
    const double ya = Snap(map.Y(item.Y1), item.Width);
    const double xb = Snap(map.X(item.X2), item.Width);
    const double yb = Snap(map.Y(item.Y2), item.Width);
    if (!Finite({xa, ya, xb, yb})) return;
    // An outline edge pushed to the margin stays out of sight, so clamping is exact here.
    const double x0 = clampX(std::min(xa, xb));
    const double x1 = clampX(std::max(xa, xb));
    const double y0 = clampY(std::min(ya, yb));
    const double y1 = clampY(std::max(ya, yb));
    body_ += "<rect x=\"" + Num(x0) + "\" y=\"" + Num(y0) + "\" width=\"" + Num(x1 - x0) +
             "\" height=\"" + Num(y1 - y0) + "\"" + StrokeAttributes(item) +
             (item.Filled ? " fill=\"" + Hex(item.Colour) + "\"" : std::string()) + "/>\n";
  }

  void AddCircle(const DisplayItem& item, const PixelMap& map) {
    const double cx = Snap(map.X(item.X1), item.Width);
    const double cy = Snap(map.Y(item.Y1), item.Width);
    const double radius = std::fabs(static_cast<double>(item.Radius)) * map.PixelsPerUnitX();
    const double aspect = std::fabs(static_cast<double>(item.Aspect));
    // Up to an aspect of 1 the radius is the horizontal one, above it the vertical one.
    const double rx = aspect <= 1 ? radius : radius / aspect;
    const double ry = aspect <= 1 ? radius * aspect : radius;
    if (!Finite({cx, cy, rx, ry})) return;
    const double reach = std::max(rx, ry) + item.Width;
    if (cx + reach < 0 || cx - reach > widthPx_ || cy + reach < 0 || cy - reach > heightPx_) {
      return;
    }
    const std::string stroke = StrokeAttributes(item) + "/>\n";
    if (!item.IsArc) {
      body_ += "<ellipse cx=\"" + Num(cx) + "\" cy=\"" + Num(cy) + "\" rx=\"" + Num(rx) +
               "\" ry=\"" + Num(ry) + "\"" + stroke;
      return;
    }
    // Counter-clockwise on the screen, whatever the direction of the user y axis.
    constexpr double kTurn = 2 * std::numbers::pi;
    const double start = item.StartAngle;
    double sweep = std::fmod(static_cast<double>(item.EndAngle) - start, kTurn);
    if (sweep <= 0) sweep += kTurn;
    auto pointX = [&](double angle) { return cx + rx * std::cos(angle); };
    auto pointY = [&](double angle) { return cy - ry * std::sin(angle); };
    std::string d = "M " + Num(pointX(start)) + " " + Num(pointY(start));
    // An SVG arc cannot close on itself: a full turn is drawn as two halves.
    const int pieces = sweep > std::numbers::pi ? 2 : 1;
    for (int piece = 1; piece <= pieces; ++piece) {
      const double angle = start + sweep * piece / pieces;
      d += " A " + Num(rx) + " " + Num(ry) + " 0 0 0 " + Num(pointX(angle)) + " " +
           Num(pointY(angle));
    }
    body_ += "<path d=\"" + d + "\"" + stroke;
  }

  void AddText(const DisplayItem& item, const PixelMap& map) {
    const double x = std::floor(map.X(item.X1));
    const double top = std::floor(map.Y(item.Y1));
    const double fontPx = static_cast<double>(item.FontSize) * kPixelsPerPoint;
    if (!Finite({x, top, fontPx})) return;
    if (x > widthPx_ || top > heightPx_ || top + 2 * fontPx < 0) return;
    body_ += "<text x=\"" + Num(x) + "\" y=\"" + Num(top + kAscentEm * fontPx) + "\" font-size=\"" +
             Num(fontPx) + "\" fill=\"" + Hex(item.Colour) + "\" xml:space=\"preserve\">" +
             EscapeXml(item.Text) + "</text>\n";
  }

  double widthPx_;
  double heightPx_;
  std::string body_;
};

}  // namespace

std::string RenderSvg(const DrawingSurface& surface) {
  const double width = surface.WidthPixels();
  const double height = surface.HeightPixels();
  SvgBuilder builder(width, height);
  for (const DisplayItem& item : surface.Items()) builder.Add(item);

  const std::string w = Num(width);
  const std::string h = Num(height);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
         "\" viewBox=\"0 0 " + w + " " + h + "\">\n";
  svg += "<defs><clipPath id=\"surface\"><rect x=\"0\" y=\"0\" width=\"" + w + "\" height=\"" + h +
         "\"/></clipPath></defs>\n";
  svg += "<rect x=\"0\" y=\"0\" width=\"" + w + "\" height=\"" + h + "\" fill=\"" +
         Hex(surface.BackColor()) + "\"/>\n";
  svg += "<g clip-path=\"url(#surface)\" fill=\"none\" font-family=\"" + std::string(kFontFamily) +
         "\">\n";
  svg += builder.Body();
  svg += "</g>\n</svg>\n";
  return svg;
}

void WritePlots(const StressSurfaces& surfaces, const std::filesystem::path& dir) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    throw std::runtime_error("cannot create the directory " + dir.string() + ": " +
                             error.message());
  }
  const std::pair<const DrawingSurface*, const char*> plots[] = {
      {&surfaces.BuildingPicture1, "building_global.svg"},
      {&surfaces.BuildingPicture2, "building_zoom.svg"},
      {&surfaces.CoolingPicture1, "cooling_global.svg"},
      {&surfaces.CoolingPicture2, "cooling_zoom.svg"},
      {&surfaces.ArrowPicture1, "arrow.svg"}};
  for (const auto& [surface, name] : plots) {
    AtomicFile::WriteWhole(dir / name, RenderSvg(*surface), "picture");
  }
}

}  // namespace quillane::graphics
