#pragma once
// A picture box of the stress windows: shows the display list of a drawing surface, scaled to
// the widget with the surface's proportions kept, on the surface's background colour. The
// mapping from user coordinates to the surface's pixels is the one of the SVG writer, so the
// window and the exported files show the same picture.

#include <QWidget>

#include "graphics/DrawingSurface.h"

class QPainter;

namespace quillane::ui {

class PictureBox : public QWidget {
  Q_OBJECT
 public:
  // The surface belongs to the window and outlives the widget.
  PictureBox(const graphics::DrawingSurface& surface, QWidget* parent = nullptr);

  const graphics::DrawingSurface& Surface() const { return surface_; }
  // Where the picture lies in the widget: the largest rectangle of the surface's proportions,
  // centred.
  QRectF PictureRect() const;

  // Draws the surface's display list into target (a rectangle of the painter's coordinates)
  // with its background, antialiased and clipped to target.
  static void Render(QPainter& painter, const graphics::DrawingSurface& surface,
                     const QRectF& target);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // Tall enough for the picture at that width, so the caption below sits right under it.
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const graphics::DrawingSurface& surface_;
};

}  // namespace quillane::ui
