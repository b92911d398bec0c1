#include "graphics/StressSurfaces.h"

#include "graphics/StressViews.h"

namespace quillane::graphics {

void DrawRunBuildUpView(ModelState& state, StressSurfaces& surfaces, bool zoom) {
  const int k = state.Clock.LamellaIndex;
  if (k != 1 && k != state.Clock.LamellaCount) return;
  DrawBuildUpView(state, zoom ? surfaces.BuildingPicture2 : surfaces.BuildingPicture1, zoom);
}

void DrawRunCoolingView(ModelState& state, StressSurfaces& surfaces, bool zoom) {
  DrawCoolingView(state, zoom ? surfaces.CoolingPicture2 : surfaces.CoolingPicture1, zoom);
}

void DrawRunDeflectionHistory(ModelState& state, StressSurfaces& surfaces) {
  DrawDeflectionHistory(state, surfaces.ArrowPicture1);
}

}  // namespace quillane::graphics
