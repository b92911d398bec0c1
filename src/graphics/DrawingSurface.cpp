#include "graphics/DrawingSurface.h"

#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "format/NumberFormat.h"

namespace quillane::graphics {

namespace {

// Twips per unit of each fixed scale mode.
double TwipsPerUnit(ScaleModeKind mode) {
  switch (mode) {
    case ScaleModeKind::Twips:
      return 1.0;
    case ScaleModeKind::Points:
      return 20.0;
    case ScaleModeKind::Pixels:
      return DrawingSurface::kTwipsPerPixel;
    case ScaleModeKind::User:
      break;
  }
  return 1.0;
}

constexpr double kTwipsPerPoint = 20.0;
constexpr double kLineHeightEm = 1.2;
constexpr double kCharWidthEm = 0.5;

}  // namespace

RGB QBColor(int n) {
  static constexpr std::array<RGB, 16> kPalette = {
      RGB(0, 0, 0),       RGB(0, 0, 128),   RGB(0, 128, 0),   RGB(0, 128, 128),
      RGB(128, 0, 0),     RGB(128, 0, 128), RGB(128, 128, 0), RGB(192, 192, 192),
      RGB(128, 128, 128), RGB(0, 0, 255),   RGB(0, 255, 0),   RGB(0, 255, 255),
      RGB(255, 0, 0),     RGB(255, 0, 255), RGB(255, 255, 0), RGB(255, 255, 255)};
  if (n < 0 || n >= static_cast<int>(kPalette.size())) {
    throw std::out_of_range("QBColor: colour number " + std::to_string(n) + " is outside 0..15");
  }
  return kPalette[static_cast<std::size_t>(n)];
}

std::string PrintItem::Text() const {
  if (const auto* text = std::get_if<std::string>(&value_)) return *text;
  const double number = std::get<double>(value_);
  std::string digits = format::FormatGeneral(number);
  // The sign position is always there: a blank stands for "not negative".
  if (!std::signbit(number) || std::isnan(number)) digits.insert(digits.begin(), ' ');
  digits.push_back(' ');
  return digits;
}

DrawingSurface::DrawingSurface(int widthTwips, int heightTwips)
    : widthTwips_(widthTwips), heightTwips_(heightTwips) {
  if (widthTwips <= 0 || heightTwips <= 0) {
    throw std::invalid_argument("DrawingSurface: the size must be positive, got " +
                                std::to_string(widthTwips) + " x " + std::to_string(heightTwips) +
                                " twips");
  }
  ScaleMode(ScaleModeKind::Twips);
}

void DrawingSurface::Cls() {
  items_.clear();
  currentX_ = 0;
  currentY_ = 0;
}

void DrawingSurface::ScaleMode(ScaleModeKind mode) {
  scaleMode_ = mode;
  if (mode == ScaleModeKind::User) return;
  const double unit = TwipsPerUnit(mode);
  scale_ = UserScale{0.0f, 0.0f, static_cast<float>(widthTwips_ / unit),
                     static_cast<float>(heightTwips_ / unit)};
}

void DrawingSurface::ScaleMode(int mode) {
  if (mode < 0 || mode > 3) {
    throw std::invalid_argument("ScaleMode: unsupported mode " + std::to_string(mode));
  }
  ScaleMode(static_cast<ScaleModeKind>(mode));
}

void DrawingSurface::SetUserScale(float UserScale::*field, float value, bool extent) {
  if (!std::isfinite(value) || (extent && value == 0.0f)) {
    throw std::invalid_argument(
        std::string("DrawingSurface: the scale cannot take the value ") +
        format::FormatGeneral(static_cast<double>(value)) +
        (extent ? " (a width or height must be finite and non-zero)" : " (must be finite)"));
  }
  scale_.*field = value;
  scaleMode_ = ScaleModeKind::User;
}

void DrawingSurface::ScaleLeft(float value) {
  SetUserScale(&UserScale::Left, value, false);
}
void DrawingSurface::ScaleTop(float value) {
  SetUserScale(&UserScale::Top, value, false);
}
void DrawingSurface::ScaleWidth(float value) {
  SetUserScale(&UserScale::Width, value, true);
}
void DrawingSurface::ScaleHeight(float value) {
  SetUserScale(&UserScale::Height, value, true);
}

void DrawingSurface::DrawWidth(int pixels) {
  if (pixels < 1) {
    throw std::invalid_argument("DrawWidth: the width must be at least 1 pixel, got " +
                                std::to_string(pixels));
  }
  drawWidth_ = pixels;
}

void DrawingSurface::FontSize(float points) {
  if (!(points > 0.0f) || !std::isfinite(points)) {
    throw std::invalid_argument("FontSize: the size must be a positive number of points");
  }
  fontSize_ = points;
}

DisplayItem DrawingSurface::NewItem(ItemKind kind, std::optional<RGB> colour) const {
  DisplayItem item;
  item.Kind = kind;
  item.Colour = colour.value_or(foreColor_);
  item.Width = drawWidth_;
  item.FontSize = fontSize_;
  item.Scale = scale_;
  return item;
}

void DrawingSurface::Line(float x1, float y1, float x2, float y2, std::optional<RGB> colour,
                          LineForm form) {
  DisplayItem item = NewItem(form == LineForm::Segment ? ItemKind::Line : ItemKind::Box, colour);
  item.Filled = form == LineForm::FilledBox;
  item.X1 = x1;
  item.Y1 = y1;
  item.X2 = x2;
  item.Y2 = y2;
  items_.push_back(std::move(item));
  currentX_ = x2;
  currentY_ = y2;
}

void DrawingSurface::Circle(float x, float y, float radius, std::optional<RGB> colour,
                            std::optional<float> startAngle, std::optional<float> endAngle,
                            float aspect) {
  DisplayItem item = NewItem(ItemKind::Circle, colour);
  item.X1 = x;
  item.Y1 = y;
  item.Radius = radius;
  item.Aspect = aspect;
  item.IsArc = startAngle.has_value() || endAngle.has_value();
  if (item.IsArc) {
    item.StartAngle = startAngle.value_or(0.0f);
    item.EndAngle = endAngle.value_or(static_cast<float>(2.0 * std::numbers::pi));
  }
  items_.push_back(std::move(item));
  currentX_ = x;
  currentY_ = y;
}

float DrawingSurface::TextWidth(std::string_view text) const {
  const double twips = static_cast<double>(text.size()) * kCharWidthEm * fontSize_ * kTwipsPerPoint;
  return static_cast<float>(twips * std::fabs(scale_.Width) / widthTwips_);
}

float DrawingSurface::TextHeight(std::string_view /*text*/) const {
  const double twips = kLineHeightEm * fontSize_ * kTwipsPerPoint;
  return static_cast<float>(twips * std::fabs(scale_.Height) / heightTwips_);
}

void DrawingSurface::Print(std::initializer_list<PrintItem> items, PrintEnd end) {
  std::string text;
  for (const PrintItem& part : items) text += part.Text();
  if (!text.empty()) {
    DisplayItem item = NewItem(ItemKind::Text, std::nullopt);
    item.X1 = currentX_;
    item.Y1 = currentY_;
    item.Text = text;
    items_.push_back(std::move(item));
  }
  if (end == PrintEnd::SameLine) {
    currentX_ = static_cast<float>(static_cast<double>(currentX_) +
                                   std::copysign(TextWidth(text), scale_.Width));
  } else {
    // One line further down the screen, whichever way the user y axis points.
    currentX_ = scale_.Left;
    currentY_ = static_cast<float>(static_cast<double>(currentY_) +
                                   std::copysign(TextHeight(text), scale_.Height));
  }
}

}  // namespace quillane::graphics
