#pragma once
// The deflection history after cooling ("Arrow after cooling"): the picture Picture1 and the
// three stress grids MSFlexGrid1 (before final cooling), MSFlexGrid2 (after final cooling)
// and MSFlexGrid3 (never filled), laid in a column beside the picture so that all of them are
// in sight at the window's first size. The window owns its surface and its grids.

#include <QLabel>

#include "graphics/DrawingSurface.h"
#include "graphics/StressSurfaces.h"
#include "ui/ResultWindow.h"

namespace quillane::ui {

class PictureBox;
class ResultGridModel;
class ResultGridView;

class Arrow : public ResultWindow {
  Q_OBJECT
 public:
  explicit Arrow(QWidget* parent = nullptr);

  graphics::DrawingSurface& Surface() { return surface_; }
  // Grid n = 1, 2 or 3 (MSFlexGrid1..3); throws std::out_of_range otherwise.
  ResultGridModel& Grid(int n);

  void RefreshPicture();
  // The time axis of the history, 0 to `seconds`, told under the picture.
  void ShowTimeSpan(double seconds, char separator);

 private:
  graphics::DrawingSurface surface_{graphics::StressSurfaces::kHistoryWidthTwips,
                                    graphics::StressSurfaces::kHistoryHeightTwips};
  PictureBox* picture1_ = nullptr;
  QLabel* timeSpan_ = nullptr;
  ResultGridModel* grids_[3] = {};
};

}  // namespace quillane::ui
