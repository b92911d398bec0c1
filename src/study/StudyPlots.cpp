#include "study/StudyPlots.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "format/NumberFormat.h"
#include "graphics/ChartDrawing.h"
#include "graphics/SvgWriter.h"
#include "io/AtomicFile.h"
#include "model/Errors.h"

namespace quillane::study {

namespace {

using graphics::ChartArea;
using graphics::DrawingSurface;
using graphics::RGB;

constexpr int kWidthTwips = 800 * DrawingSurface::kTwipsPerPixel;
constexpr int kHeightTwips = 500 * DrawingSurface::kTwipsPerPixel;
// The results worth a plot (the final state and the peak temperatures): the counts are left to
// the table.
constexpr std::size_t kHeadlineResults = 9;
const RGB kBlue(31, 119, 180);

// Four significant digits: enough to read a scale's ends.
std::string Short(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

std::string AxisLabel(const std::string& name, const std::string& unit) {
  const PlotUnit shown = ShownUnit(unit);
  return shown.Unit.empty() ? name : name + " (" + shown.Unit + ")";
}

struct Series {
  std::vector<double> X;
  std::vector<double> Y;
};

// The finished rows of points that pass `keep`, as (quantity q, result r) pairs, in units shown.
template <typename Keep>
Series Collect(const Study& study, const StudyRows& rows, std::size_t q, std::size_t r, Keep keep) {
  Series series;
  const double xFactor = ShownUnit(study.Vary[q].Unit()).Factor;
  const double yFactor = ShownUnit(kResultColumns[r].Unit).Factor;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i] || rows[i]->Status != kStatusOk || !keep(i)) continue;
    const double x = rows[i]->Values[q] * xFactor;
    const double y = rows[i]->Results[r] * yFactor;
    // A value no axis can hold (a run that overflowed) is left out of the picture.
    if (!std::isfinite(x) || !std::isfinite(y)) continue;
    series.X.push_back(x);
    series.Y.push_back(y);
  }
  return series;
}

StudyPlot NewPlot(std::string name) {
  return {std::move(name), DrawingSurface(kWidthTwips, kHeightTwips)};
}

std::pair<double, double> Extent(const std::vector<double>& values) {
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  return {*low, *high};
}

// Values over decades (a logarithmic range of a study, or results that follow one) are read on
// a logarithmic axis.
graphics::AxisScale ScaleOf(const std::vector<double>& values) {
  const auto [low, high] = Extent(values);
  return graphics::SpansDecades(low, high) ? graphics::AxisScale::Logarithmic
                                           : graphics::AxisScale::Linear;
}

StudyPlot ResultAgainst(const Study& study, const Series& series, std::size_t q, std::size_t r) {
  const std::string quantity = study.Vary[q].Name();
  const std::string result = kResultColumns[r].Name;
  StudyPlot plot = NewPlot(result + "_vs_" + quantity);
  const auto [xLow, xHigh] = Extent(series.X);
  const auto [yLow, yHigh] = Extent(series.Y);
  ChartArea chart(plot.Surface, result + " against " + quantity,
                  AxisLabel(quantity, study.Vary[q].Unit()),
                  AxisLabel(result, kResultColumns[r].Unit), xLow, xHigh, yLow, yHigh,
                  ScaleOf(series.X), ScaleOf(series.Y));
  chart.Curve(series.X, series.Y, kBlue);
  chart.Markers(series.X, series.Y, kBlue);
  return plot;
}

// Cell edges around sorted distinct values: halfway between neighbours, on the axis's scale.
std::vector<double> CellEdges(std::vector<double> values, graphics::AxisScale scale) {
  const bool log = scale == graphics::AxisScale::Logarithmic;
  for (double& value : values) value = log ? std::log10(value) : value;
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  std::vector<double> edges;
  const double lone = values.front() == 0 ? 1 : std::fabs(values.front()) * 0.1;
  for (std::size_t i = 0; i <= values.size(); ++i) {
    if (values.size() == 1) {
      edges.push_back(values[0] + (i == 0 ? -lone : lone));
    } else if (i == 0) {
      edges.push_back(values[0] - (values[1] - values[0]) / 2);
    } else if (i == values.size()) {
      edges.push_back(values[i - 1] + (values[i - 1] - values[i - 2]) / 2);
    } else {
      edges.push_back((values[i - 1] + values[i]) / 2);
    }
  }
  for (double& edge : edges) edge = log ? std::pow(10.0, edge) : edge;
  return edges;
}

std::size_t CellOf(const std::vector<double>& edges, double value) {
  const auto at = std::upper_bound(edges.begin(), edges.end(), value);
  return static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(
      at - edges.begin() - 1, 0, static_cast<std::ptrdiff_t>(edges.size()) - 2));
}

// Where a result lies on the colour scale from low to high, by decades where it spans them.
double ScalePosition(double value, double low, double high) {
  if (!(high > low)) return 0.5;
  if (graphics::SpansDecades(low, high)) return std::log(value / low) / std::log(high / low);
  return (value - low) / (high - low);
}

// The colour scale right of the title: a bar of the scale's colours with the values at five
// points along it, evenly spaced on the scale (by decades where it spans them).
void DrawColourScale(const ChartArea& chart, DrawingSurface& surface, double low, double high) {
  constexpr int kSteps = 40;
  constexpr float kLength = 240;
  const float x0 = chart.Right() - kLength;
  for (int i = 0; i < kSteps; ++i) {
    const float a = x0 + kLength * static_cast<float>(i) / kSteps;
    const float b = x0 + kLength * static_cast<float>(i + 1) / kSteps;
    surface.Line(a, 10, b, 22, graphics::ScaleColour((i + 0.5) / kSteps),
                 DrawingSurface::LineForm::FilledBox);
  }
  const bool log = graphics::SpansDecades(low, high);
  for (int k = 0; k <= 4; ++k) {
    const double t = k / 4.0;
    const double value = log ? low * std::pow(high / low, t) : low + (high - low) * t;
    const std::string text = Short(high > low ? value : low);
    const float x = x0 + kLength * static_cast<float>(t);
    surface.Line(x, 22, x, 26, RGB(0, 0, 0));
    surface.CurrentX(x - surface.TextWidth(text) / 2);
    surface.CurrentY(28);
    surface.ForeColor(RGB(0, 0, 0));
    surface.Print({text}, graphics::PrintEnd::SameLine);
    if (!(high > low)) break;
  }
}

StudyPlot ColourMap(const Study& study, const StudyRows& rows, std::size_t r) {
  const std::string result = kResultColumns[r].Name;
  StudyPlot plot = NewPlot(result + "_map");
  const Series xs = Collect(study, rows, 0, r, [](std::size_t) { return true; });
  const Series ys = Collect(study, rows, 1, r, [](std::size_t) { return true; });
  if (xs.X.empty()) return plot;
  const graphics::AxisScale xScale = ScaleOf(xs.X);
  const graphics::AxisScale yScale = ScaleOf(ys.X);
  const std::vector<double> xEdges = CellEdges(xs.X, xScale);
  const std::vector<double> yEdges = CellEdges(ys.X, yScale);
  const auto [low, high] = Extent(xs.Y);
  ChartArea chart(plot.Surface, result + " (" + ShownUnit(kResultColumns[r].Unit).Unit + ")",
                  AxisLabel(study.Vary[0].Name(), study.Vary[0].Unit()),
                  AxisLabel(study.Vary[1].Name(), study.Vary[1].Unit()), xEdges.front(),
                  xEdges.back(), yEdges.front(), yEdges.back(), xScale, yScale);
  for (std::size_t i = 0; i < xs.X.size(); ++i) {
    const std::size_t cx = CellOf(xEdges, xs.X[i]);
    const std::size_t cy = CellOf(yEdges, ys.X[i]);
    chart.Cell(xEdges[cx], yEdges[cy], xEdges[cx + 1], yEdges[cy + 1],
               graphics::ScaleColour(ScalePosition(xs.Y[i], low, high)));
  }
  DrawColourScale(chart, plot.Surface, low, high);
  return plot;
}

StudyPlot Histogram(const std::vector<double>& values, std::size_t r) {
  const std::string result = kResultColumns[r].Name;
  StudyPlot plot = NewPlot("histogram_" + result);
  const auto [low, high] = Extent(values);
  // Square-root rule, at least 5 bins.
  const std::size_t bins = std::max<std::size_t>(
      5, static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(values.size())))));
  // Equal values, or values so close (denormal ones) that a bin's width would be zero, share one.
  const double spread = (high - low) / static_cast<double>(bins);
  const double width = spread > 0 ? spread : 1;
  std::vector<double> counts(bins, 0);
  for (const double value : values) {
    counts[std::min(bins - 1, static_cast<std::size_t>((value - low) / width))] += 1;
  }
  ChartArea chart(plot.Surface, "Distribution of " + result,
                  AxisLabel(result, kResultColumns[r].Unit), "points", low,
                  low + width * static_cast<double>(bins), 0,
                  *std::max_element(counts.begin(), counts.end()));
  for (std::size_t b = 0; b < bins; ++b) {
    if (counts[b] > 0) {
      chart.Cell(low + width * static_cast<double>(b), 0, low + width * static_cast<double>(b + 1),
                 counts[b], kBlue);
    }
  }
  return plot;
}

StudyPlot Influence(const Study& study, const StudyRows& rows, std::size_t r) {
  const std::string result = kResultColumns[r].Name;
  StudyPlot plot = NewPlot("influence_" + result);
  std::vector<std::pair<double, std::size_t>> ranked;
  for (std::size_t q = 0; q < study.Vary.size(); ++q) {
    const Series series = Collect(study, rows, q, r, [](std::size_t) { return true; });
    const double rho = RankCorrelation(series.X, series.Y);
    ranked.emplace_back(std::isnan(rho) ? 0 : rho, q);
  }
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
    return std::fabs(a.first) > std::fabs(b.first);
  });
  const double n = static_cast<double>(ranked.size());
  ChartArea chart(plot.Surface, "Influence on " + result + " (Spearman's rank correlation)",
                  "rank correlation", "", -1, 1, 0, n, graphics::AxisScale::Linear,
                  graphics::AxisScale::Unticked);
  for (std::size_t k = 0; k < ranked.size(); ++k) {
    const double top = n - static_cast<double>(k);
    const double rho = ranked[k].first;
    chart.Cell(std::min(0.0, rho), top - 0.8, std::max(0.0, rho), top - 0.2,
               rho < 0 ? RGB(214, 39, 40) : kBlue);
    chart.Label(chart.X(-0.98), chart.Y(top - 0.2) + 2,
                study.Vary[ranked[k].second].Name() + " " + format::FormatPattern(rho, "0.00"));
  }
  return plot;
}

std::vector<double> Ranks(const std::vector<double>& values) {
  std::vector<std::size_t> order(values.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return values[a] < values[b]; });
  std::vector<double> ranks(values.size());
  for (std::size_t i = 0; i < order.size();) {
    std::size_t j = i;
    while (j + 1 < order.size() && values[order[j + 1]] == values[order[i]]) ++j;
    const double mean = (static_cast<double>(i) + static_cast<double>(j)) / 2 + 1;
    for (std::size_t k = i; k <= j; ++k) ranks[order[k]] = mean;
    i = j + 1;
  }
  return ranks;
}

}  // namespace

PlotUnit ShownUnit(const std::string& unit) {
  if (unit == "Pa") return {1e-6, "MPa"};
  return {1, unit};
}

double RankCorrelation(const std::vector<double>& a, const std::vector<double>& b) {
  const std::vector<double> ra = Ranks(a);
  const std::vector<double> rb = Ranks(b);
  const double n = static_cast<double>(ra.size());
  const double mean = (n + 1) / 2;
  double sab = 0;
  double saa = 0;
  double sbb = 0;
  for (std::size_t i = 0; i < ra.size(); ++i) {
    sab += (ra[i] - mean) * (rb[i] - mean);
    saa += (ra[i] - mean) * (ra[i] - mean);
    sbb += (rb[i] - mean) * (rb[i] - mean);
  }
  if (saa == 0 || sbb == 0) return std::nan("");
  return sab / std::sqrt(saa * sbb);
}

int ResultIndex(const std::string& name) {
  for (std::size_t r = 0; r < kResultColumns.size(); ++r) {
    if (name == kResultColumns[r].Name) return static_cast<int>(r);
  }
  return -1;
}

std::vector<StudyPlot> MakeStudyPlots(const Study& study, const StudyRows& rows,
                                      const std::string& mapResult) {
  std::vector<StudyPlot> plots;
  const auto any = [](std::size_t) { return true; };
  if (study.Design == DesignKind::LatinHypercube) {
    for (std::size_t r = 0; r < kHeadlineResults; ++r) {
      const Series series = Collect(study, rows, 0, r, any);
      if (series.Y.empty()) continue;
      plots.push_back(Histogram(series.Y, r));
      plots.push_back(Influence(study, rows, r));
    }
    return plots;
  }
  if (study.Design == DesignKind::Factorial && study.Vary.size() == 2) {
    const int r = ResultIndex(mapResult);
    if (r >= 0) plots.push_back(ColourMap(study, rows, static_cast<std::size_t>(r)));
    return plots;
  }
  if (study.Design == DesignKind::Factorial && study.Vary.size() > 2) return plots;
  // One quantity, or each quantity of a one-at-a-time study over its own points.
  std::size_t first = 0;
  for (std::size_t q = 0; q < study.Vary.size(); ++q) {
    const std::size_t count =
        study.Design == DesignKind::OneAtATime ? study.Vary[q].Values.size() : rows.size();
    const auto own = [&](std::size_t i) { return i >= first && i < first + count; };
    for (std::size_t r = 0; r < kHeadlineResults; ++r) {
      const Series series = Collect(study, rows, q, r, own);
      if (!series.X.empty()) plots.push_back(ResultAgainst(study, series, q, r));
    }
    first += count;
  }
  return plots;
}

void AddStudyPlots(const std::vector<StudyPlot>& plots, const std::filesystem::path& dir,
                   AtomicFileSet& files) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    throw IoError("Cannot create the plot folder " + dir.string() + ": " + error.message() + ".");
  }
  for (const StudyPlot& plot : plots) {
    files.Add(dir / (plot.Name + ".svg"), graphics::RenderSvg(plot.Surface), "plot");
  }
}

}  // namespace quillane::study
