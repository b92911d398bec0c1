#pragma once
// What the two stress-profile windows (during build-up, after cooling) share: two picture
// boxes at the same place, the global view (Picture1) and the zoom view (Picture2), each with
// its caption below (Label1, Label2), and the menus "Zoom in", "Zoom out" and "Mask". The
// window owns the drawing surfaces, so discarding the window discards its drawings.

#include "graphics/DrawingSurface.h"
#include "graphics/StressSurfaces.h"
#include "ui/ResultWindow.h"

class QLabel;

namespace quillane::ui {

class PictureBox;

class ProfileWindow : public ResultWindow {
  Q_OBJECT
 public:
  graphics::DrawingSurface& GlobalSurface() { return global_; }
  graphics::DrawingSurface& ZoomSurface() { return zoom_; }

  // "Zoom in": the zoom view and its caption replace the global ones.
  void zoomin_Click();
  // "Zoom out": back to the global view.
  void Zoomout_Click();
  // Repaints both pictures after their surfaces were drawn.
  void RefreshPictures();

 protected:
  ProfileWindow(const QString& objectName, const QString& caption, const QString& globalCaption,
                const QString& zoomCaption, QWidget* parent);

 private:
  graphics::DrawingSurface global_{graphics::StressSurfaces::kProfileWidthTwips,
                                   graphics::StressSurfaces::kProfileHeightTwips};
  graphics::DrawingSurface zoom_{graphics::StressSurfaces::kProfileWidthTwips,
                                 graphics::StressSurfaces::kProfileHeightTwips};
  PictureBox* picture1_ = nullptr;
  PictureBox* picture2_ = nullptr;
  QLabel* label1_ = nullptr;
  QLabel* label2_ = nullptr;
};

}  // namespace quillane::ui
