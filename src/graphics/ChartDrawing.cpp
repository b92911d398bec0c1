#include "graphics/ChartDrawing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "format/NumberFormat.h"

namespace quillane::graphics {

namespace {

constexpr float kMarginLeft = 90;
constexpr float kMarginRight = 45;
constexpr float kMarginTop = 50;
constexpr float kMarginBottom = 60;
const RGB kGrid(225, 225, 225);
// The narrowest span a chart ticks, relative to its values' magnitude and absolute: below them
// the values are one value to a reader (results that differ by rounding alone), or the step
// would not be a normal double.
constexpr double kNarrowestSpan = 1e-9;
constexpr double kSmallestSpan = 1e-300;

// A tick with the digits that tell it from its neighbours, no more: a step of 0.2 reads "55.4",
// not the binary noise of 277·0.2.
std::string TickText(double value, double step) {
  // Ticks are multiples of the step: round away the binary noise of k·step.
  double rounded = std::round(value / step) * step;
  if (!std::isfinite(rounded)) rounded = value;  // an outer tick at the largest doubles
  if (std::fabs(rounded) < step * 1e-9) rounded = 0.0;
  // The digits down to the step's, and at least those of the whole part (1000000, not 1e+06).
  const double magnitude = std::max(std::fabs(rounded), step);
  const double whole = std::floor(std::log10(magnitude)) + 1;
  const double down = whole - std::floor(std::log10(step));
  const int digits = static_cast<int>(std::clamp(std::max(whole, down), 1.0, 15.0));
  char text[40];
  const auto end =
      std::to_chars(text, text + sizeof text, rounded, std::chars_format::general, digits);
  return std::string(text, end.ptr);
}

// A decade as it reads best: "0.001" to "10000" in full, "1e+06" beyond.
std::string DecadeText(double value) {
  char text[40];
  const bool full = value >= 1e-3 && value < 1e5;
  const auto end =
      full ? std::to_chars(text, text + sizeof text, value, std::chars_format::general, 7)
           : std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 0);
  return std::string(text, end.ptr);
}

// Decades covering [low, high] (low > 0), every one of them up to eight, or every second,
// third… beyond, so that the labels keep apart.
std::vector<double> DecadeTicks(double low, double high) {
  const int first = static_cast<int>(std::floor(std::log10(low)));
  const int last = std::max(first + 1, static_cast<int>(std::ceil(std::log10(high))));
  const int every = (last - first + 7) / 8;
  std::vector<double> ticks;
  for (int k = first; k < last + every; k += every) ticks.push_back(std::pow(10.0, k));
  return ticks;
}

// The surface emptied, for a chart that fills it.
DrawingSurface& Cleared(DrawingSurface& surface) {
  surface.Cls();
  return surface;
}

}  // namespace

std::vector<double> NiceTicks(double low, double high, int count) {
  count = std::max(count, 1);
  // A range that cannot be ticked (not finite, or wider than a double holds) is shown as [0, 1].
  if (!std::isfinite(low) || !std::isfinite(high) || !std::isfinite(high - low)) {
    low = 0;
    high = 1;
  }
  // A span too narrow for its magnitude (ticks that k·step could not tell apart, their count
  // past what a double counts exactly) or too small for a step of normal doubles (denormal
  // values, whose steps underflow to zero) is one value to the chart: widened around it.
  const double magnitude = std::max(std::fabs(low), std::fabs(high));
  if (!(high - low > std::max(magnitude * kNarrowestSpan, kSmallestSpan))) {
    const double middle = low + (high - low) / 2;
    const double half = std::fabs(middle) > kSmallestSpan ? std::fabs(middle) * 0.1 : 1;
    low = middle - half;
    high = middle + half;
  }
  const double raw = (high - low) / count;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    step = factor * power;
    if (step >= raw) break;
  }
  // At most count + 2 ticks: the step is no finer than the span over count.
  const double first = std::floor(low / step);
  const auto intervals = static_cast<int>(std::ceil(high / step) - first);
  std::vector<double> ticks;
  for (int k = 0; k <= intervals; ++k) ticks.push_back((first + k) * step);
  // Next to the largest double no round tick lies beyond the values: the range's end is the tick.
  if (!std::isfinite(ticks.front())) ticks.front() = low;
  if (!std::isfinite(ticks.back())) ticks.back() = high;
  return ticks;
}

ChartArea::ChartArea(DrawingSurface& surface, const std::string& title, const std::string& xLabel,
                     const std::string& yLabel, double xLow, double xHigh, double yLow,
                     double yHigh, AxisScale xScale, AxisScale yScale)
    : ChartArea(Cleared(surface),
                {0, 0, static_cast<float>(surface.WidthPixels()),
                 static_cast<float>(surface.HeightPixels())},
                title, xLabel, yLabel, xLow, xHigh, yLow, yHigh, xScale, yScale) {}

ChartArea::ChartArea(DrawingSurface& surface, const ChartPanel& panel, const std::string& title,
                     const std::string& xLabel, const std::string& yLabel, double xLow,
                     double xHigh, double yLow, double yHigh, AxisScale xScale, AxisScale yScale)
    : surface_(surface),
      left_(panel.Left + kMarginLeft),
      right_(panel.Right - kMarginRight),
      top_(panel.Top + kMarginTop),
      bottom_(panel.Bottom - kMarginBottom),
      xScale_(SpansDecades(xLow, xHigh) || xScale != AxisScale::Logarithmic ? xScale
                                                                            : AxisScale::Linear),
      yScale_(SpansDecades(yLow, yHigh) || yScale != AxisScale::Logarithmic ? yScale
                                                                            : AxisScale::Linear) {
  surface_.ScaleMode(ScaleModeKind::Pixels);
  const std::vector<double> xTicks = Ticks(xLow, xHigh, xScale_);
  const std::vector<double> yTicks = Ticks(yLow, yHigh, yScale_);
  xLow_ = xTicks.front();
  xHigh_ = xTicks.back();
  yLow_ = yTicks.front();
  yHigh_ = yTicks.back();
  surface_.FontSize(11);
  Label(left_, panel.Top + 12, title);
  surface_.FontSize(9);
  if (xScale_ != AxisScale::Unticked) {
    for (std::size_t i = 0; i < xTicks.size(); ++i) {
      const double x = xTicks[i];
      surface_.Line(X(x), top_, X(x), bottom_, kGrid);
      const std::string text =
          xScale_ == AxisScale::Linear ? TickText(x, xTicks[1] - xTicks[0]) : DecadeText(x);
      Label(X(x) - surface_.TextWidth(text) / 2, bottom_ + 6, text);
    }
  }
  if (yScale_ != AxisScale::Unticked) {
    for (std::size_t i = 0; i < yTicks.size(); ++i) {
      const double y = yTicks[i];
      surface_.Line(left_, Y(y), right_, Y(y), kGrid);
      const std::string text =
          yScale_ == AxisScale::Linear ? TickText(y, yTicks[1] - yTicks[0]) : DecadeText(y);
      Label(left_ - 6 - surface_.TextWidth(text), Y(y) - surface_.TextHeight(text) / 2, text);
    }
  }
  surface_.Line(left_, top_, right_, bottom_, RGB(0, 0, 0), DrawingSurface::LineForm::Box);
  Label((left_ + right_) / 2 - surface_.TextWidth(xLabel) / 2, bottom_ + 30, xLabel);
  Label(panel.Left + 4, top_ - 22, yLabel);
}

std::vector<double> ChartArea::Ticks(double low, double high, AxisScale scale) const {
  switch (scale) {
    case AxisScale::Logarithmic:
      return DecadeTicks(low, high);
    case AxisScale::Unticked:
      if (std::isfinite(low) && std::isfinite(high) && high > low) return {low, high};
      break;
    case AxisScale::Linear:
      break;
  }
  return NiceTicks(low, high);
}

double ChartArea::Fraction(double value, double low, double high, AxisScale scale) {
  if (scale == AxisScale::Logarithmic) {
    return std::log(value / low) / std::log(high / low);
  }
  return (value - low) / (high - low);
}

bool SpansDecades(double low, double high) {
  return low > 0 && std::isfinite(high) && high >= 100 * low;
}

float ChartArea::X(double x) const {
  return static_cast<float>(left_ + Fraction(x, xLow_, xHigh_, xScale_) * (right_ - left_));
}

float ChartArea::Y(double y) const {
  return static_cast<float>(bottom_ - Fraction(y, yLow_, yHigh_, yScale_) * (bottom_ - top_));
}

void ChartArea::Curve(const std::vector<double>& xs, const std::vector<double>& ys, RGB colour) {
  surface_.DrawWidth(2);
  for (std::size_t i = 1; i < xs.size() && i < ys.size(); ++i) {
    surface_.Line(X(xs[i - 1]), Y(ys[i - 1]), X(xs[i]), Y(ys[i]), colour);
  }
  surface_.DrawWidth(1);
}

void ChartArea::Markers(const std::vector<double>& xs, const std::vector<double>& ys, RGB colour) {
  for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
    surface_.Circle(X(xs[i]), Y(ys[i]), 3, colour);
  }
}

void ChartArea::Cell(double x0, double y0, double x1, double y1, RGB colour) {
  surface_.Line(X(x0), Y(y0), X(x1), Y(y1), colour, DrawingSurface::LineForm::FilledBox);
}

void ChartArea::Label(float x, float y, const std::string& text, RGB colour) {
  surface_.ForeColor(colour);
  surface_.CurrentX(x);
  surface_.CurrentY(y);
  surface_.Print({text}, PrintEnd::SameLine);
}

RGB ScaleColour(double t) {
  // Stops of a blue-green-yellow scale, interpolated linearly.
  static constexpr std::array<std::array<double, 3>, 5> kStops = {
      {{68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}}};
  t = std::clamp(std::isfinite(t) ? t : 0.0, 0.0, 1.0) * (kStops.size() - 1);
  const std::size_t i = std::min(static_cast<std::size_t>(t), kStops.size() - 2);
  const double f = t - static_cast<double>(i);
  const auto mix = [&](int c) {
    return static_cast<int>(std::lround(kStops[i][c] + (kStops[i + 1][c] - kStops[i][c]) * f));
  };
  return RGB(mix(0), mix(1), mix(2));
}

}  // namespace quillane::graphics
