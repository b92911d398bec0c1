#pragma once
// Model states filled by hand for the drawing tests, and the items they find in a drawing.

#include <functional>
#include <string>
#include <vector>

#include "graphics/DrawingSurface.h"
#include "model/ModelState.h"

namespace quillane::graphics::test {

// Stress results for n lamellae of e on ts, distinct values everywhere, stress axis ymin..ymax.
inline ModelState MakeStressState(int n, double e, double ts, double ymin = -0.3,
                                  double ymax = 0.2) {
  ModelState state;
  state.Clock.LamellaCount = state.Clock.LamellaIndex = n;
  StressResults& s = state.Stress;
  s.LamellaThicknessCopy = e;
  s.SubstrateThickness = ts;
  s.StressScale = 1e-9;
  s.StressAxisMin = ymin;
  s.StressAxisMax = ymax;
  s.SizeLamellaArrays(n);
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

inline std::vector<DisplayItem> ItemsWhere(const DrawingSurface& surface,
                                           const std::function<bool(const DisplayItem&)>& keep) {
  std::vector<DisplayItem> found;
  for (const DisplayItem& item : surface.Items()) {
    if (keep(item)) found.push_back(item);
  }
  return found;
}

inline std::vector<DisplayItem> Texts(const DrawingSurface& surface, const std::string& text) {
  return ItemsWhere(surface, [&](const DisplayItem& item) {
    return item.Kind == ItemKind::Text && item.Text == text;
  });
}

}  // namespace quillane::graphics::test
