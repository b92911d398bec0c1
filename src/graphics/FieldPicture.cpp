#include "graphics/FieldPicture.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "format/NumberFormat.h"
#include "graphics/ChartDrawing.h"

namespace quillane::graphics {

namespace {

// The plotting area in pixels: the left margin holds the band captions and the height ticks,
// the right one the colour scale.
constexpr float kMapLeft = 124;
constexpr float kMapRightMargin = 118;
constexpr float kMapTop = 44;
constexpr float kMapBottomMargin = 58;
const RGB kInk(0, 0, 0);
// Red stands out against every colour of the scale, from dark violet to yellow.
const RGB kTopFaceColour(220, 0, 0);

void PutText(DrawingSurface& surface, float x, float y, const std::string& text,
             RGB colour = kInk) {
  surface.ForeColor(colour);
  surface.CurrentX(x);
  surface.CurrentY(y);
  surface.Print({text}, PrintEnd::SameLine);
}

// Ticks are multiples of the step: the binary noise of k·step is rounded away.
std::string RoundTickText(double value, double step) {
  const double rounded = std::round(value / step) * step;
  return format::FormatGeneral(std::fabs(rounded) < step * 1e-9 ? 0.0 : rounded);
}

// The heights of one material on a scale of their own, between two pixel rows.
struct HeightBand {
  std::vector<std::size_t> Rows;  // indices into the heights, bottom up
  double Low = 0;                 // m
  double High = 0;                // m
  float PixelTop = 0;
  float PixelBottom = 0;

  float Y(double height) const {
    return static_cast<float>(PixelBottom -
                              (height - Low) / (High - Low) * (PixelBottom - PixelTop));
  }
};

// The lower and upper edges of the band's r-th row: halfway to its neighbours, the band's ends
// for its outer rows, so that the rows tile the band.
double RowLow(const HeightBand& band, const std::vector<double>& heights, std::size_t r) {
  return r == 0 ? band.Low : (heights[band.Rows[r - 1]] + heights[band.Rows[r]]) / 2;
}
double RowHigh(const HeightBand& band, const std::vector<double>& heights, std::size_t r) {
  return r + 1 == band.Rows.size() ? band.High
                                   : (heights[band.Rows[r]] + heights[band.Rows[r + 1]]) / 2;
}

// Neighbouring samples merged into one drawn column: samples First..Last, from Left to Right (s).
struct TimeColumn {
  std::size_t First = 0;
  std::size_t Last = 0;
  double Left = 0;
  double Right = 0;
};

// The samples grouped by the column of the time axis they fall in; each sample reaches halfway
// to its neighbours, so the columns tile the axis however the samples are spaced.
std::vector<TimeColumn> MergeSamples(const std::vector<double>& times, double start, double end,
                                     int columns) {
  const auto columnOf = [&](std::size_t i) {
    return std::clamp(static_cast<int>((times[i] - start) / (end - start) * columns), 0,
                      columns - 1);
  };
  std::vector<TimeColumn> merged;
  for (std::size_t i = 0; i < times.size(); ++i) {
    const double left = i == 0 ? start : (times[i - 1] + times[i]) / 2;
    const double right = i + 1 == times.size() ? end : (times[i] + times[i + 1]) / 2;
    if (merged.empty() || columnOf(merged.back().Last) != columnOf(i)) {
      merged.push_back({i, i, left, right});
    } else {
      merged.back().Last = i;
      merged.back().Right = right;
    }
  }
  return merged;
}

// The boxes of the map, merged along time (a row's neighbouring columns of one level) and then
// upwards (the same run in the row above): the field of a thin plate hardly varies through its
// thickness, and is then drawn with a box per run rather than one per row.
class MapBoxes {
 public:
  // The pixel edges of the drawn columns.
  MapBoxes(DrawingSurface& surface, std::vector<float> lefts, std::vector<float> rights)
      : surface_(surface), lefts_(std::move(lefts)), rights_(std::move(rights)) {}

  // The next row up, from pixel y `bottom` to `top`: a level per column, -1 where blank.
  void AddRow(const std::vector<int>& levels, float bottom, float top) {
    std::vector<Run> next;
    std::size_t j = 0;
    for (std::size_t c = 0; c < levels.size();) {
      std::size_t end = c + 1;
      while (end < levels.size() && levels[end] == levels[c]) ++end;
      if (levels[c] >= 0) {
        while (j < open_.size() && open_[j].First < c) Draw(open_[j++]);
        if (j < open_.size() && open_[j].First == c && open_[j].Last == end - 1 &&
            open_[j].Level == levels[c]) {
          next.push_back(open_[j++]);
          next.back().Top = top;
        } else {
          next.push_back({c, end - 1, levels[c], bottom, top});
        }
      }
      c = end;
    }
    while (j < open_.size()) Draw(open_[j++]);
    open_ = std::move(next);
  }

  // Draws the boxes still open below the top row.
  void Finish() {
    for (const Run& run : open_) Draw(run);
    open_.clear();
  }

 private:
  // Columns First..Last of one level, from pixel y Bottom up to Top.
  struct Run {
    std::size_t First = 0;
    std::size_t Last = 0;
    int Level = 0;
    float Bottom = 0;
    float Top = 0;
  };

  void Draw(const Run& run) {
    surface_.Line(lefts_[run.First], run.Top, rights_[run.Last], run.Bottom,
                  ScaleColour(static_cast<double>(run.Level) / (kFieldColourLevels - 1)),
                  DrawingSurface::LineForm::FilledBox);
  }

  DrawingSurface& surface_;
  std::vector<float> lefts_;
  std::vector<float> rights_;
  std::vector<Run> open_;  // the runs of the row below, left to right
};

// A length unit that gives a band's extent a few legible digits.
struct LengthUnit {
  double PerMetre;
  const char* Name;
};
LengthUnit UnitFor(double extent) {
  return extent < 1e-3 ? LengthUnit{1e6, "(µm)"} : LengthUnit{1e3, "(mm)"};
}

// The band's height ticks on the left axis, with labels that keep clear of those already
// drawn (both bands label the top face of the substrate).
void DrawHeightTicks(DrawingSurface& surface, const HeightBand& band,
                     std::vector<float>& labelled) {
  const LengthUnit unit = UnitFor(band.High - band.Low);
  const int count = std::max(2, static_cast<int>((band.PixelBottom - band.PixelTop) / 45));
  const std::vector<double> ticks =
      NiceTicks(band.Low * unit.PerMetre, band.High * unit.PerMetre, count);
  const double step = ticks[1] - ticks[0];
  const float line = surface.TextHeight("0");
  for (const double tick : ticks) {
    const double height = tick / unit.PerMetre;
    const double slack = 1e-9 * (band.High - band.Low);
    if (height < band.Low - slack || height > band.High + slack) continue;
    const float y = band.Y(height);
    surface.Line(kMapLeft - 4, y, kMapLeft, y, kInk);
    if (std::any_of(labelled.begin(), labelled.end(),
                    [&](float other) { return std::fabs(other - y) < line; })) {
      continue;
    }
    const std::string text = RoundTickText(tick, step);
    PutText(surface, kMapLeft - 7 - surface.TextWidth(text), y - line / 2, text);
    labelled.push_back(y);
  }
}

// The colour scale right of the map: one box per level, coldest at the bottom, its two ends
// labelled with the extremes drawn and round values between them.
void DrawColourScale(DrawingSurface& surface, float right, float top, float bottom, double coldest,
                     double hottest) {
  const float x0 = right + 22;
  const float x1 = x0 + 18;
  const auto yOf = [&](double fraction) {
    return static_cast<float>(bottom - fraction * (bottom - top));
  };
  for (int level = 0; level < kFieldColourLevels; ++level) {
    surface.Line(x0, yOf(static_cast<double>(level) / kFieldColourLevels), x1,
                 yOf(static_cast<double>(level + 1) / kFieldColourLevels),
                 ScaleColour(static_cast<double>(level) / (kFieldColourLevels - 1)),
                 DrawingSurface::LineForm::FilledBox);
  }
  surface.Line(x0, top, x1, bottom, kInk, DrawingSurface::LineForm::Box);
  const float line = surface.TextHeight("0");
  const auto tick = [&](float y, const std::string& text) {
    surface.Line(x1, y, x1 + 4, y, kInk);
    PutText(surface, x1 + 7, y - line / 2, text);
  };
  tick(bottom, format::FormatPattern(coldest, "0"));
  tick(top, format::FormatPattern(hottest, "0"));
  const std::vector<double> round = NiceTicks(coldest, hottest, 5);
  const double step = round[1] - round[0];
  for (const double value : round) {
    const float y = yOf((value - coldest) / (hottest - coldest));
    // Well clear of the ends' labels, which tell the extremes exactly.
    if (y > bottom - 1.5f * line || y < top + 1.5f * line) continue;
    tick(y, RoundTickText(value, step));
  }
  PutText(surface, x0 - 4, top - line - 6, "T (K)");
}

}  // namespace

void DrawThermalField(const ModelState& state, DrawingSurface& surface) {
  const FieldPicture& picture = state.Field.Picture;
  const std::vector<double>& times = picture.Times;
  const std::vector<double>& heights = picture.Heights;
  if (picture.Temperatures.size() != times.size() * heights.size()) {
    throw std::invalid_argument("the thermal field holds " +
                                std::to_string(picture.Temperatures.size()) + " temperatures for " +
                                std::to_string(times.size()) + " times of " +
                                std::to_string(heights.size()) + " heights");
  }
  surface.Cls();
  if (times.empty() || heights.empty()) return;
  surface.ScaleMode(ScaleModeKind::Pixels);
  surface.DrawWidth(1);
  const float right = static_cast<float>(surface.WidthPixels()) - kMapRightMargin;
  const float bottom = static_cast<float>(surface.HeightPixels()) - kMapBottomMargin;

  // The deposit is mostly a small fraction of the substrate's thickness: on one scale it would
  // be a thin strip. Each band gets a share of the height by its count of rows instead, so that
  // every sampled row is drawn alike, and a scale of its own.
  HeightBand substrate;
  HeightBand deposit;
  for (std::size_t i = 0; i < heights.size(); ++i) {
    (heights[i] <= 0 ? substrate : deposit).Rows.push_back(i);
  }
  if (!substrate.Rows.empty()) substrate.Low = std::min(heights[substrate.Rows.front()], 0.0);
  if (!deposit.Rows.empty()) deposit.High = heights[deposit.Rows.back()];
  for (HeightBand* band : {&substrate, &deposit}) {
    if (!(band->High > band->Low)) band->High = band->Low + 1e-6;
  }
  const float split = kMapTop + (bottom - kMapTop) * static_cast<float>(deposit.Rows.size()) /
                                    static_cast<float>(heights.size());
  deposit.PixelTop = kMapTop;
  deposit.PixelBottom = substrate.PixelTop = split;
  substrate.PixelBottom = bottom;

  // One mean per drawn column and row, over the samples with deposit there.
  const double start = times.front();
  const double end = times.back() > start ? times.back() : start + 1;
  const int columnCount = std::max(1, static_cast<int>((right - kMapLeft) / kFieldPixelsPerColumn));
  const std::vector<TimeColumn> columns = MergeSamples(times, start, end, columnCount);
  const std::size_t rowCount = heights.size();
  std::vector<double> means(columns.size() * rowCount, std::nan(""));
  double coldest = HUGE_VAL;
  double hottest = -HUGE_VAL;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    for (std::size_t row = 0; row < rowCount; ++row) {
      double sum = 0;
      int count = 0;
      for (std::size_t i = columns[c].First; i <= columns[c].Last; ++i) {
        const double t = picture.Temperatures[i * rowCount + row];
        if (!std::isfinite(t)) continue;
        sum += t;
        ++count;
      }
      if (count == 0) continue;
      const double mean = sum / count;
      means[c * rowCount + row] = mean;
      coldest = std::min(coldest, mean);
      hottest = std::max(hottest, mean);
    }
  }
  const bool anyDrawn = hottest >= coldest;
  if (anyDrawn && !(hottest > coldest)) {
    coldest -= 0.5;
    hottest += 0.5;
  }

  const auto xOf = [&](double t) {
    return static_cast<float>(kMapLeft + (t - start) / (end - start) * (right - kMapLeft));
  };
  const auto levelOf = [&](double mean) {
    if (!std::isfinite(mean)) return -1;
    return static_cast<int>(
        std::lround((mean - coldest) / (hottest - coldest) * (kFieldColourLevels - 1)));
  };
  std::vector<float> lefts;
  std::vector<float> rights;
  for (const TimeColumn& column : columns) {
    lefts.push_back(xOf(column.Left));
    rights.push_back(xOf(column.Right));
  }
  MapBoxes boxes(surface, std::move(lefts), std::move(rights));
  std::vector<int> levels(columns.size());
  for (const HeightBand* band : {&substrate, &deposit}) {
    for (std::size_t r = 0; r < band->Rows.size(); ++r) {
      for (std::size_t c = 0; c < columns.size(); ++c) {
        levels[c] = levelOf(means[c * rowCount + band->Rows[r]]);
      }
      boxes.AddRow(levels, band->Y(RowLow(*band, heights, r)), band->Y(RowHigh(*band, heights, r)));
    }
  }
  boxes.Finish();
  surface.Line(kMapLeft, kMapTop, right, bottom, kInk, DrawingSurface::LineForm::Box);

  surface.FontSize(11);
  PutText(surface, kMapLeft, 12, "CHAMP THERMIQUE");
  surface.FontSize(9);
  const float line = surface.TextHeight("0");
  const std::vector<double> timeTicks = NiceTicks(start, end, 8);
  for (const double tick : timeTicks) {
    if (tick < start - 1e-9 * (end - start) || tick > end + 1e-9 * (end - start)) continue;
    const float x = xOf(tick);
    surface.Line(x, bottom, x, bottom + 4, kInk);
    const std::string text = RoundTickText(tick, timeTicks[1] - timeTicks[0]);
    PutText(surface, x - surface.TextWidth(text) / 2, bottom + 7, text);
  }
  const std::string timeCaption = "temps (s)";
  PutText(surface, (kMapLeft + right) / 2 - surface.TextWidth(timeCaption) / 2, bottom + 9 + line,
          timeCaption);

  PutText(surface, 8, kMapTop - line - 6, "hauteur");
  std::vector<float> labelled;
  const struct {
    const HeightBand* Band;
    const char* Name;
  } bands[] = {{&substrate, "substrat"}, {&deposit, "dépôt"}};
  for (const auto& [band, name] : bands) {
    if (band->Rows.empty()) continue;
    DrawHeightTicks(surface, *band, labelled);
    const float middle = (band->PixelTop + band->PixelBottom) / 2;
    PutText(surface, 8, middle - line, name);
    PutText(surface, 8, middle, UnitFor(band->High - band->Low).Name);
  }
  // The top face of the substrate, where the two scales meet.
  const float face = substrate.Rows.empty() ? deposit.Y(0) : substrate.Y(0);
  surface.DrawWidth(2);
  surface.Line(kMapLeft - 4, face, right, face, kTopFaceColour);
  surface.DrawWidth(1);
  PutText(surface, 8, face - line / 2, "interface", kTopFaceColour);

  if (anyDrawn) DrawColourScale(surface, right, kMapTop, bottom, coldest, hottest);
  surface.ForeColor(kInk);
}

}  // namespace quillane::graphics
