#include "widgets/PictureBox.h"

#include "raster/RasterPicture.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace quillane::ui {

namespace {

using graphics::DrawingSurface;

// Shown at one and a half times the surface's own size: the stress views print their numbers
// at 6 points, too small to read at the original size on today's screens.
constexpr double kPreferredZoom = 1.5;

}  // namespace

PictureBox::PictureBox(const DrawingSurface& surface, QWidget* parent)
    : QWidget(parent), surface_(surface) {
  QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QRectF PictureBox::PictureRect() const {
  const double w = surface_.WidthPixels();
  const double h = surface_.HeightPixels();
  const double zoom = std::min(width() / w, height() / h);
  const QSizeF size(w * zoom, h * zoom);
  return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void PictureBox::Render(QPainter& painter, const DrawingSurface& surface, const QRectF& target) {
  raster::RenderSurface(painter, surface, target);
}

QSize PictureBox::sizeHint() const {
  return QSize(static_cast<int>(std::lround(surface_.WidthPixels() * kPreferredZoom)),
               static_cast<int>(std::lround(surface_.HeightPixels() * kPreferredZoom)));
}

QSize PictureBox::minimumSizeHint() const {
  return QSize(static_cast<int>(surface_.WidthPixels() / 2),
               static_cast<int>(surface_.HeightPixels() / 2));
}

int PictureBox::heightForWidth(int width) const {
  return static_cast<int>(std::lround(width * surface_.HeightPixels() / surface_.WidthPixels()));
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), palette().window());
  const QRectF picture = PictureRect();
  Render(painter, surface_, picture);
  painter.setPen(QPen(palette().mid().color(), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(picture.adjusted(-0.5, -0.5, 0.5, 0.5));
}

}  // namespace quillane::ui
