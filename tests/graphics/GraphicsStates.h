#pragma once
// Model states filled by hand for the drawing tests, and compact checks on display lists.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/DrawingSurface.h"
#include "model/ModelState.h"

namespace quillane::graphics::test {

// A state after a stress computation with n lamellae of thickness e on a substrate of
// thickness ts: every per-lamella array sized 0..n and filled with distinct values, the
// stress axis from ymin to ymax (scaled units), the deflection axis spanning the deflections.
inline ModelState MakeStressState(int n, double e, double ts, double ymin = -0.3,
                                  double ymax = 0.2) {
  ModelState state;
  state.Clock.LamellaCount = n;
  state.Clock.LamellaIndex = n;
  StressResults& s = state.Stress;
  s.LamellaThicknessCopy = e;
  s.SubstrateThickness = ts;
  s.StressScale = 1e-9;
  s.StressAxisMin = ymin;
  s.StressAxisMax = ymax;
  for (BasedArray<double>* array : {&s.LamellaForce, &s.NeutralAxisPosition, &s.FlexuralRigidity,
                                    &s.Curvature, &s.SubstrateStressBack, &s.SubstrateStressFront,
                                    &s.LamellaStress, &s.LamellaStressFinal, &s.Deflection}) {
    array->Redim(0, n);
  }
  for (int i = 0; i <= n; ++i) {
    s.NeutralAxisPosition(i) = -ts / 2 + i * e / 3;
    s.Curvature(i) = 0.05 * i;
    s.Deflection(i) = 0.06 * 0.06 * s.Curvature(i) / 8;  // L² κ / 8 over 6 cm
    s.SubstrateStressBack(i) = 4e5 + 1e4 * i;
    s.SubstrateStressFront(i) = -6e5 - 1e4 * i;
    s.LamellaStress(i) = 1.2e8 - 5e6 * i;
    s.LamellaStressFinal(i) = -1.6e8 + 8e6 * i;
  }
  s.FinalCurvature = -0.3;
  s.FinalDeflection = 0.06 * 0.06 * s.FinalCurvature / 8;
  s.SubstrateStressBackFinal = 3e5;
  s.SubstrateStressFrontFinal = -5e5;
  s.DeflectionAxisMin = s.FinalDeflection;
  s.DeflectionAxisMax = s.Deflection(n);
  return state;
}

// The items of one kind (and colour, when given), in drawing order.
inline std::vector<DisplayItem> ItemsOf(const DrawingSurface& surface, ItemKind kind,
                                        std::optional<RGB> colour = std::nullopt) {
  std::vector<DisplayItem> found;
  for (const DisplayItem& item : surface.Items()) {
    if (item.Kind == kind && (!colour || item.Colour == *colour)) found.push_back(item);
  }
  return found;
}

// A float handed to the surface equals a value computed in double, to a few float steps.
inline bool SameFloat(float actual, double expected) {
  const double e = static_cast<float>(expected);
  return std::fabs(actual - e) <=
         4 * std::numeric_limits<float>::epsilon() * std::max(std::fabs(e), 1e-30);
}

inline std::string Describe(const DisplayItem& item) {
  std::ostringstream text;
  text << std::setprecision(9) << "item kind " << static_cast<int>(item.Kind) << " (" << item.X1
       << ", " << item.Y1 << ")-(" << item.X2 << ", " << item.Y2 << ") colour (" << item.Colour.Red
       << "," << item.Colour.Green << "," << item.Colour.Blue << ") width " << item.Width
       << " text \"" << item.Text << "\"";
  return text.str();
}

// A line or box between these points, in this colour and width.
inline ::testing::AssertionResult IsLine(const DisplayItem& item, double x1, double y1, double x2,
                                         double y2, RGB colour, int width,
                                         ItemKind kind = ItemKind::Line) {
  if (item.Kind == kind && SameFloat(item.X1, x1) && SameFloat(item.Y1, y1) &&
      SameFloat(item.X2, x2) && SameFloat(item.Y2, y2) && item.Colour == colour &&
      item.Width == width) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << Describe(item);
}

// A circle (whole when start and end are not given) of this centre, radius, colour and width.
inline ::testing::AssertionResult IsCircle(const DisplayItem& item, double x, double y,
                                           double radius, RGB colour, int width,
                                           std::optional<float> start = std::nullopt,
                                           std::optional<float> end = std::nullopt) {
  const bool arcMatches =
      start ? item.IsArc && item.StartAngle == *start && item.EndAngle == *end : !item.IsArc;
  if (item.Kind == ItemKind::Circle && SameFloat(item.X1, x) && SameFloat(item.Y1, y) &&
      SameFloat(item.Radius, radius) && item.Aspect == 1.0f && item.Colour == colour &&
      item.Width == width && arcMatches) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << Describe(item) << " radius " << item.Radius << " arc " << item.IsArc << " "
         << item.StartAngle << ".." << item.EndAngle;
}

// Exactly one text item with this text, at this position and font size.
inline ::testing::AssertionResult HasText(const DrawingSurface& surface, const std::string& text,
                                          double x, double y, float fontSize) {
  const auto texts = ItemsOf(surface, ItemKind::Text);
  const auto count = std::count_if(texts.begin(), texts.end(),
                                   [&](const DisplayItem& item) { return item.Text == text; });
  if (count != 1) {
    return ::testing::AssertionFailure() << count << " texts \"" << text << "\"";
  }
  const DisplayItem& item = *std::find_if(
      texts.begin(), texts.end(), [&](const DisplayItem& item) { return item.Text == text; });
  if (SameFloat(item.X1, x) && SameFloat(item.Y1, y) && item.FontSize == fontSize) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << Describe(item) << " font " << item.FontSize;
}

inline bool HasText(const DrawingSurface& surface, const std::string& text) {
  const auto texts = ItemsOf(surface, ItemKind::Text);
  return std::any_of(texts.begin(), texts.end(),
                     [&](const DisplayItem& item) { return item.Text == text; });
}

// Two drawings record the same items.
inline ::testing::AssertionResult SameDrawing(const DrawingSurface& a, const DrawingSurface& b) {
  if (a.Items().size() != b.Items().size()) {
    return ::testing::AssertionFailure()
           << a.Items().size() << " items against " << b.Items().size();
  }
  for (std::size_t i = 0; i < a.Items().size(); ++i) {
    const DisplayItem& p = a.Items()[i];
    const DisplayItem& q = b.Items()[i];
    const bool same = p.Kind == q.Kind && p.X1 == q.X1 && p.Y1 == q.Y1 && p.X2 == q.X2 &&
                      p.Y2 == q.Y2 && p.Radius == q.Radius && p.IsArc == q.IsArc &&
                      p.StartAngle == q.StartAngle && p.EndAngle == q.EndAngle &&
                      p.Colour == q.Colour && p.Width == q.Width && p.FontSize == q.FontSize &&
                      p.Text == q.Text && p.Scale == q.Scale;
    if (!same) {
      return ::testing::AssertionFailure() << "item " << i << ": " << Describe(p);
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace quillane::graphics::test
