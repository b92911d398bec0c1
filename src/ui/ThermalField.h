#pragma once
// The whole-deposit model's thermal field ("Champ thermique"): the picture Picture1 of the
// temperature against time and height, from the last run that sampled one. The window owns its
// surface, and is given a copy of the run's drawing to show.

#include "graphics/DrawingSurface.h"
#include "graphics/FieldPicture.h"
#include "ui/ResultWindow.h"

namespace quillane::ui {

class PictureBox;

class ThermalField : public ResultWindow {
  Q_OBJECT
 public:
  explicit ThermalField(QWidget* parent = nullptr);

  graphics::DrawingSurface& Surface() { return surface_; }
  // Shows this drawing of a field in place of the one before.
  void ShowDrawing(const graphics::DrawingSurface& drawing);

 private:
  graphics::DrawingSurface surface_{graphics::kFieldWidthTwips, graphics::kFieldHeightTwips};
  PictureBox* picture1_ = nullptr;
};

}  // namespace quillane::ui
