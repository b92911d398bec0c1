#include "graphics/StressSurfaces.h"

#include "graphics/StressViews.h"

namespace quillane::graphics {

void DrawRunFrame(ModelState& state, StressSurfaces& surfaces, StressFrame frame) {
  switch (frame) {
    case StressFrame::BuildUp: {
      const int k = state.Clock.LamellaIndex;
      if (k != 1 && k != state.Clock.LamellaCount) return;
      DrawBuildUpView(state, surfaces.BuildingPicture2, true);
      DrawBuildUpView(state, surfaces.BuildingPicture1, false);
      return;
    }
    case StressFrame::Cooling:
      DrawCoolingView(state, surfaces.CoolingPicture2, true);
      DrawCoolingView(state, surfaces.CoolingPicture1, false);
      return;
    case StressFrame::DeflectionHistory:
      DrawDeflectionHistory(state, surfaces.ArrowPicture1);
      return;
  }
}

}  // namespace quillane::graphics
