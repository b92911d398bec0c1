#include "model/FigureTable.h"

#include <algorithm>
#include <cmath>

namespace quillane {

namespace {

// The figure's value at t within [a, b] of two neighbouring points.
double Between(const FigurePoint& a, const FigurePoint& b, double t) {
  return a.Value + (b.Value - a.Value) * (t - a.Temperature) / (b.Temperature - a.Temperature);
}

// ∫ figure dT from the first point's temperature (or below it) up to `t`, for t >= from.
double IntegralUpTo(const FigureTable& points, double from, double t) {
  const FigurePoint& first = points.front();
  if (t <= first.Temperature) return first.Value * (t - from);
  double sum = from < first.Temperature ? first.Value * (first.Temperature - from) : 0;
  double low = std::max(from, first.Temperature);
  for (std::size_t i = 1; i < points.size() && low < t; ++i) {
    const FigurePoint& a = points[i - 1];
    const FigurePoint& b = points[i];
    if (b.Temperature <= low) continue;
    const double high = std::min(t, b.Temperature);
    sum += (high - low) * (Between(a, b, low) + Between(a, b, high)) / 2;
    low = high;
  }
  if (t > low) sum += points.back().Value * (t - low);
  return sum;
}

}  // namespace

double TableValue(const FigureTable& points, double temperature) {
  if (temperature <= points.front().Temperature) return points.front().Value;
  for (std::size_t i = 1; i < points.size(); ++i) {
    if (temperature <= points[i].Temperature) return Between(points[i - 1], points[i], temperature);
  }
  return points.back().Value;
}

FigureValue TableValueAndSlope(const FigureTable& points, double temperature) {
  if (temperature < points.front().Temperature) return {points.front().Value, 0};
  for (std::size_t i = 1; i < points.size(); ++i) {
    const FigurePoint& a = points[i - 1];
    const FigurePoint& b = points[i];
    if (temperature < b.Temperature) {
      return {Between(a, b, temperature), (b.Value - a.Value) / (b.Temperature - a.Temperature)};
    }
  }
  return {points.back().Value, 0};
}

double TableIntegral(const FigureTable& points, double from, double to) {
  if (to < from) return -TableIntegral(points, to, from);
  return IntegralUpTo(points, from, to);
}

const TableFigure* TableFigureOf(double MaterialRecord::*constant) {
  for (const TableFigure& figure : kTableFigures) {
    if (figure.Constant == constant) return &figure;
  }
  return nullptr;
}

const TableFigure* TableFigureNamed(std::string_view name) {
  // The names are ASCII: a name of other letters matches none of them anyway.
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  for (const TableFigure& figure : kTableFigures) {
    const std::string_view candidate = figure.Name;
    if (candidate.size() == name.size() &&
        std::equal(candidate.begin(), candidate.end(), name.begin(),
                   [&](char a, char b) { return lower(a) == lower(b); })) {
      return &figure;
    }
  }
  return nullptr;
}

bool HoldsOneValue(const FigureTable& points) {
  for (const FigurePoint& point : points) {
    if (point.Value != points.front().Value) return false;
  }
  return true;
}

bool HasTables(const MaterialRecord& row) {
  for (const TableFigure& figure : kTableFigures) {
    if (!HoldsOneValue(row.Tables.*figure.Points)) return true;
  }
  return false;
}

MaterialRecord WithConstantsFolded(MaterialRecord row) {
  for (const TableFigure& figure : kTableFigures) {
    FigureTable& points = row.Tables.*figure.Points;
    if (points.empty() || !HoldsOneValue(points)) continue;
    row.*figure.Constant = points.front().Value;
    points.clear();
  }
  return row;
}

TableFault FindTableFault(const FigureTable& points) {
  if (points.size() < 2) {
    return {"a table needs at least two points", "une table demande au moins deux points"};
  }
  for (std::size_t i = 0; i < points.size(); ++i) {
    const FigurePoint& point = points[i];
    if (!std::isfinite(point.Temperature) || !(point.Temperature > 0)) {
      return {"its temperatures must be above 0 K", "ses températures doivent dépasser 0 K"};
    }
    if (!std::isfinite(point.Value)) {
      return {"its values must be numbers", "ses valeurs doivent être des nombres"};
    }
    if (i > 0 && !(point.Temperature > points[i - 1].Temperature)) {
      return {"its temperatures must rise from one point to the next",
              "ses températures doivent croître d'un point au suivant"};
    }
  }
  return {};
}

}  // namespace quillane
