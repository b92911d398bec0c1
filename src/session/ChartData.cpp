#include "session/ChartData.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <string_view>

#include "format/NumberFormat.h"
#include "session/FormEntry.h"

namespace quillane::session {

namespace {

constexpr int kMostFixedDecimals = 6;

// Decimals needed for a step to read as itself: none for whole steps, else just enough (the
// tickers step by 1, 2, 2.5 or 5 times a power of ten).
int DecimalsForStep(double step) {
  step = std::fabs(step);
  if (!(step > 0) || !std::isfinite(step)) return 0;
  for (int decimals = 0; decimals < 15; ++decimals) {
    const double scaled = step * std::pow(10.0, decimals);
    if (std::fabs(scaled - std::round(scaled)) <= 1e-6 * scaled) return decimals;
  }
  return 15;
}

// A cell as a number: the locale's conventions first, then the point that a grid written
// under another locale carries.
std::optional<double> ReadNumber(std::string_view text, char decimal, char group) {
  if (auto value = format::ParseStrict(text, decimal, group)) return value;
  if (decimal != '.') return format::ParseStrict(text, '.', ',');
  return std::nullopt;
}

}  // namespace

AxisSpan WithMargin(AxisSpan span, bool log) {
  const double size = span.Upper - span.Lower;
  if (log && span.Lower > 0) {
    const double factor = size > 0 ? std::pow(span.Upper / span.Lower, 0.04) : 1.1;
    return {span.Lower / factor, span.Upper * factor};
  }
  if (size > 0) {
    const double margin = size * 0.04;
    return {span.Lower - margin, span.Upper + margin};
  }
  const double centre = (span.Lower + span.Upper) / 2;
  const double half = centre != 0 ? std::fabs(centre) * 0.05 : 0.5;
  return {centre - half, centre + half};
}

std::vector<std::string> TickLabels(const std::vector<double>& ticks, char decimal) {
  const double step = ticks.size() >= 2 ? ticks[1] - ticks[0] : 1.0;
  const int decimals = DecimalsForStep(step);
  std::string pattern;
  if (decimals <= kMostFixedDecimals) {
    pattern = "###0";
    if (decimals > 0) pattern += '.' + std::string(static_cast<std::size_t>(decimals), '0');
  } else {
    // Tiny steps (residuals at rounding level): the mantissa of the largest tick carries the
    // digits the step needs.
    double largest = 0;
    for (const double tick : ticks) largest = std::max(largest, std::fabs(tick));
    const double magnitude = largest > 0 ? largest : std::fabs(step);
    double exponent = std::floor(std::log10(magnitude));
    // log10 may land a hair off a power of ten.
    if (magnitude / std::pow(10.0, exponent) >= 10) exponent += 1;
    if (magnitude / std::pow(10.0, exponent) < 1) exponent -= 1;
    const int digits = std::min(DecimalsForStep(step / std::pow(10.0, exponent)), 14);
    pattern =
        digits > 0 ? "0." + std::string(static_cast<std::size_t>(digits), '0') + "E+00" : "0E+00";
  }
  const format::NumberPattern compiled(pattern);
  std::vector<std::string> labels;
  labels.reserve(ticks.size());
  for (const double tick : ticks) labels.push_back(compiled.Format(tick, decimal));
  return labels;
}

std::vector<XYSeries> GridColumnSeries(const ResultRowStore& grid, int column, char decimal,
                                       char group) {
  std::vector<XYSeries> series;
  XYSeries current;
  const auto flush = [&] {
    if (current.X.empty()) return;
    series.push_back(std::move(current));
    current = {};
  };
  grid.ForEachRow(2, grid.RowCount() - 1, [&](int, std::string_view text) {
    const std::string_view timeText = ResultRowStore::Field(text, 0);
    const std::string_view valueText = ResultRowStore::Field(text, column);
    if (timeText.empty() || valueText.empty()) return;
    const std::optional<double> time = ReadNumber(timeText, decimal, group);
    const std::optional<double> value = ReadNumber(valueText, decimal, group);
    if (!time || !value) return;
    if (!current.X.empty() && *time < current.X.back()) flush();
    current.X.push_back(*time);
    current.Y.push_back(*value);
  });
  flush();
  return series;
}

std::string GridColumnTitle(const ResultRowStore& grid, int column) {
  std::string title = Trimmed(grid.Cell(0, column));
  // A column without a name still needs a title that says which one it is.
  if (title.empty()) title = "Colonne " + std::to_string(column + 1);
  const std::string unit = Trimmed(grid.Cell(1, column));
  if (!unit.empty()) title += " (" + unit + ")";
  return title;
}

std::string GridValueAxis(const ResultRowStore& grid, int column) {
  const std::string unit = Trimmed(grid.Cell(1, column));
  if (unit == "K") return "Temperature (K)";
  if (unit == "m") return "thickness (m)";
  if (unit == "s") return "temps (secondes)";
  return GridColumnTitle(grid, column);
}

}  // namespace quillane::session
