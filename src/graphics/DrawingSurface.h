#pragma once
// A drawing surface that behaves like a picture box but draws nothing itself: every operation
// is recorded in a retained display list, in the user coordinates in force at the time, so
// that any renderer (QPainter in the desktop program, SVG here) can replay it and tests can
// inspect exactly what was drawn. The surface keeps its own state across calls (current
// position, pen width, font size, colours and scale), as the drawing routines rely on it.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quillane::graphics {

// A colour as three 8-bit channels.
struct RGB {
  int Red = 0;
  int Green = 0;
  int Blue = 0;

  constexpr RGB() = default;
  constexpr RGB(int red, int green, int blue) : Red(red), Green(green), Blue(blue) {}

  // A raw colour value as the toolkit stores it: red in the low byte, then green, then blue.
  // The value 14 used directly as a colour is therefore RGB(14, 0, 0).
  static constexpr RGB FromValue(std::uint32_t value) {
    return RGB(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
               static_cast<int>((value >> 16) & 0xFFu));
  }

  friend constexpr bool operator==(const RGB&, const RGB&) = default;
};

// Colour n (0..15) of the fixed 16-colour palette; throws std::out_of_range otherwise.
RGB QBColor(int n);

// ScaleMode values: 0 is a user coordinate system, the others reset the scale to the size of
// the surface in that unit.
enum class ScaleModeKind { User = 0, Twips = 1, Points = 2, Pixels = 3 };

// The coordinate system of the surface: user x of the left edge, user y of the top edge and
// the user extent of the drawing area (a negative height makes y grow upwards).
struct UserScale {
  float Left = 0;
  float Top = 0;
  float Width = 1;
  float Height = 1;
  friend bool operator==(const UserScale&, const UserScale&) = default;
};

enum class ItemKind { Line, Box, Circle, Text };

// One recorded operation. Coordinates are user coordinates under Scale.
struct DisplayItem {
  ItemKind Kind = ItemKind::Line;
  // Line: from (X1, Y1) to (X2, Y2). Box: two opposite corners. Circle: centre in (X1, Y1).
  // Text: top-left corner in (X1, Y1).
  float X1 = 0;
  float Y1 = 0;
  float X2 = 0;
  float Y2 = 0;
  // Circle only: radius in user x units, aspect ratio (vertical over horizontal radius), and
  // the arc from StartAngle to EndAngle, counter-clockwise on the screen, when IsArc is set.
  float Radius = 0;
  float Aspect = 1;
  bool IsArc = false;
  float StartAngle = 0;
  float EndAngle = 0;
  RGB Colour;
  bool Filled = false;  // Box only: the inside painted in the colour too
  int Width = 1;        // pen width in pixels
  float FontSize = 0;   // points, the size in force when the item was drawn
  std::string Text;     // Text only: what Print drew, items already joined
  UserScale Scale;      // coordinate system in force when the item was drawn
};

// One item of a Print list: a text, drawn as it is, or a number.
class PrintItem {
 public:
  PrintItem(const char* text) : value_(std::string(text)) {}
  PrintItem(std::string text) : value_(std::move(text)) {}
  PrintItem(std::string_view text) : value_(std::string(text)) {}
  PrintItem(int number) : value_(static_cast<double>(number)) {}
  PrintItem(double number) : value_(number) {}

  // The drawn text: a number gets a blank in place of the sign when it is not negative, its
  // digits in the general form, and one trailing blank (" 124 ", "-0.5 ").
  std::string Text() const;

 private:
  std::variant<std::string, double> value_;
};

// Whether Print moves to the start of the next text line afterwards or stays behind the text.
enum class PrintEnd { NewLine, SameLine };

class DrawingSurface {
 public:
  static constexpr int kTwipsPerPixel = 15;
  static constexpr float kInitialFontSize = 8.25f;

  // A surface of the given size in twips; throws std::invalid_argument unless both are > 0.
  DrawingSurface(int widthTwips, int heightTwips);

  int WidthTwips() const { return widthTwips_; }
  int HeightTwips() const { return heightTwips_; }
  double WidthPixels() const { return static_cast<double>(widthTwips_) / kTwipsPerPixel; }
  double HeightPixels() const { return static_cast<double>(heightTwips_) / kTwipsPerPixel; }

  // Empties the display list (the surface shows its background only) and moves the current
  // position to (0, 0). The scale, pen and font stay.
  void Cls();

  ScaleModeKind ScaleMode() const { return scaleMode_; }
  // User keeps the current scale; another mode resets the scale to the surface size in that
  // unit with the origin at the top-left corner.
  void ScaleMode(ScaleModeKind mode);
  void ScaleMode(int mode);

  // Setting any of these selects user coordinates. A zero or non-finite width or height
  // cannot map onto the surface and throws std::invalid_argument, as does a non-finite edge.
  float ScaleLeft() const { return scale_.Left; }
  float ScaleTop() const { return scale_.Top; }
  float ScaleWidth() const { return scale_.Width; }
  float ScaleHeight() const { return scale_.Height; }
  void ScaleLeft(float value);
  void ScaleTop(float value);
  void ScaleWidth(float value);
  void ScaleHeight(float value);
  const UserScale& Scale() const { return scale_; }

  float CurrentX() const { return currentX_; }
  float CurrentY() const { return currentY_; }
  void CurrentX(float value) { currentX_ = value; }
  void CurrentY(float value) { currentY_ = value; }

  int DrawWidth() const { return drawWidth_; }
  // Pen width in pixels, at least 1 (std::invalid_argument otherwise).
  void DrawWidth(int pixels);

  float FontSize() const { return fontSize_; }
  // Text size in points, > 0 (std::invalid_argument otherwise).
  void FontSize(float points);

  RGB ForeColor() const { return foreColor_; }
  void ForeColor(RGB colour) { foreColor_ = colour; }
  RGB BackColor() const { return backColor_; }
  void BackColor(RGB colour) { backColor_ = colour; }

  // A straight line, or with LineForm::Box the outline of the rectangle with these corners
  // (FilledBox fills it too). Without a colour the foreground colour is used. The current
  // position moves to (x2, y2).
  enum class LineForm { Segment, Box, FilledBox };
  void Line(float x1, float y1, float x2, float y2, std::optional<RGB> colour = std::nullopt,
            LineForm form = LineForm::Segment);

  // A circle, ellipse or arc centred at (x, y); the radius is in user x units. Giving a start
  // or an end angle draws an arc counter-clockwise from start (default 0) to end (default
  // 2π), in radians from the positive x direction. Aspect is the ratio of the vertical to the
  // horizontal radius: up to 1 the radius is the horizontal one, above 1 the vertical one.
  // The current position moves to the centre.
  void Circle(float x, float y, float radius, std::optional<RGB> colour = std::nullopt,
              std::optional<float> startAngle = std::nullopt,
              std::optional<float> endAngle = std::nullopt, float aspect = 1.0f);

  // Draws the items one after the other with their top-left corner at the current position,
  // in the foreground colour and the current font size. With PrintEnd::NewLine the current
  // position then moves to the left edge of the surface, one text line lower; otherwise it
  // moves right by the width of the text.
  void Print(std::initializer_list<PrintItem> items, PrintEnd end = PrintEnd::NewLine);

  // Estimated extent of a text in the current font, in user units (magnitudes). There is no
  // font rasteriser here: a line is 1.2 em high and a character 0.5 em wide on average, close
  // to the default sans-serif face of the desktop.
  float TextWidth(std::string_view text) const;
  float TextHeight(std::string_view text) const;

  const std::vector<DisplayItem>& Items() const { return items_; }

 private:
  DisplayItem NewItem(ItemKind kind, std::optional<RGB> colour) const;
  void SetUserScale(float UserScale::*field, float value, bool extent);

  int widthTwips_;
  int heightTwips_;
  ScaleModeKind scaleMode_ = ScaleModeKind::Twips;
  UserScale scale_;
  float currentX_ = 0;
  float currentY_ = 0;
  int drawWidth_ = 1;
  float fontSize_ = kInitialFontSize;
  RGB foreColor_{0, 0, 0};
  RGB backColor_{255, 255, 255};
  std::vector<DisplayItem> items_;
};

}  // namespace quillane::graphics
