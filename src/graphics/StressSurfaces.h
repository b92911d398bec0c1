#pragma once
// The five drawing surfaces of the stress windows, sized as the windows show them (twips).
// One instance lives as long as the windows do, so that a later run draws on the same
// surfaces and finds the state (font size, scale) an earlier run left in them.

#include "graphics/DrawingSurface.h"
#include "model/ModelState.h"
#include "model/RunSink.h"

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

// A frame of a run on the surfaces of its windows: zoom view on Picture2, then global view on
// Picture1. Every build-up frame erases the one before and leaves its surface in the same
// state whichever lamella it showed, so only the first frame (after which the surface keeps its
// smaller font) and the last one are drawn: the pictures are those of drawing every frame,
// without a cost that grows with the square of the lamella count.
void DrawRunFrame(ModelState& state, StressSurfaces& surfaces, StressFrame frame);

// A sink that draws a run's frames on its surfaces and keeps nothing else.
class PictureSink : public RunSink {
 public:
  explicit PictureSink(StressSurfaces& surfaces) : surfaces_(surfaces) {}
  void ThermalRow(const ThermalRecord&, bool) override {}
  void SingularMatrix() override {}
  void Frame(ModelState& state, StressFrame frame) override {
    DrawRunFrame(state, surfaces_, frame);
  }
  bool Progress(double) override { return true; }

 private:
  StressSurfaces& surfaces_;
};

}  // namespace quillane::graphics
