#pragma once
// The five drawing surfaces of the stress windows, sized as the windows show them (twips).
// One instance lives as long as the windows do, so that a later run draws on the same
// surfaces and finds the state (font size, scale) an earlier run left in them.

#include "graphics/DrawingSurface.h"

namespace quillane::graphics {

struct StressSurfaces {
  static constexpr int kProfileWidthTwips = 6375;
  static constexpr int kProfileHeightTwips = 4095;
  static constexpr int kHistoryWidthTwips = 6615;
  static constexpr int kHistoryHeightTwips = 4095;

  // Build-up views: global (substrate and deposit) and zoom (deposit only).
  DrawingSurface BuildingPicture1{kProfileWidthTwips, kProfileHeightTwips};
  DrawingSurface BuildingPicture2{kProfileWidthTwips, kProfileHeightTwips};
  // After-cooling views: global and zoom.
  DrawingSurface CoolingPicture1{kProfileWidthTwips, kProfileHeightTwips};
  DrawingSurface CoolingPicture2{kProfileWidthTwips, kProfileHeightTwips};
  // Deflection history.
  DrawingSurface ArrowPicture1{kHistoryWidthTwips, kHistoryHeightTwips};
};

}  // namespace quillane::graphics
