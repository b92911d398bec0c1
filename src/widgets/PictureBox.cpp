#include "widgets/PictureBox.h"

#include <QFont>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/PixelMapping.h"

namespace quillane::ui {

namespace {

using graphics::DisplayItem;
using graphics::DrawingSurface;
using graphics::Finite;
using graphics::ItemKind;
using graphics::PixelMap;
using graphics::Snap;

// Shown at one and a half times the surface's own size: the stress views print their numbers
// at 6 points, too small to read at the original size on today's screens.
constexpr double kPreferredZoom = 1.5;

QColor ToQColor(const graphics::RGB& colour) {
  return QColor(std::clamp(colour.Red, 0, 255), std::clamp(colour.Green, 0, 255),
                std::clamp(colour.Blue, 0, 255));
}

QPen PenFor(const DisplayItem& item) {
  QPen pen(ToQColor(item.Colour));
  pen.setWidthF(item.Width);
  // Wide pens end round, a hairline ends where it is told to.
  pen.setCapStyle(item.Width > 1 ? Qt::RoundCap : Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  return pen;
}

class PainterReplay {
 public:
  PainterReplay(QPainter& painter, double widthPx, double heightPx)
      : painter_(painter), widthPx_(widthPx), heightPx_(heightPx) {}

  void Draw(const DisplayItem& item) {
    const PixelMap map(item.Scale, widthPx_, heightPx_);
    switch (item.Kind) {
      case ItemKind::Line:
        DrawLine(item, map);
        break;
      case ItemKind::Box:
        DrawBox(item, map);
        break;
      case ItemKind::Circle:
        DrawCircle(item, map);
        break;
      case ItemKind::Text:
        DrawText(item, map);
        break;
    }
  }

 private:
  QRectF Bounds(double margin) const {
    return QRectF(-margin, -margin, widthPx_ + 2 * margin, heightPx_ + 2 * margin);
  }

  void DrawLine(const DisplayItem& item, const PixelMap& map) {
    double x0 = Snap(map.X(item.X1), item.Width);
    double y0 = Snap(map.Y(item.Y1), item.Width);
    double x1 = Snap(map.X(item.X2), item.Width);
    double y1 = Snap(map.Y(item.Y2), item.Width);
    if (!Finite({x0, y0, x1, y1})) return;
    const QRectF clip = Bounds(item.Width + 2.0);
    if (!graphics::ClipSegment(x0, y0, x1, y1, clip.left(), clip.top(), clip.right(),
                               clip.bottom())) {
      return;
    }
    painter_.setPen(PenFor(item));
    // A wide line of no length is a round dot, as in the files; the painter would leave it out.
    if (x0 == x1 && y0 == y1) {
      if (item.Width > 1) painter_.drawPoint(QPointF(x0, y0));
      return;
    }
    painter_.drawLine(QPointF(x0, y0), QPointF(x1, y1));
  }

  void DrawBox(const DisplayItem& item, const PixelMap& map) {
    const QRectF bounds = Bounds(item.Width + 2.0);
    const double xa = Snap(map.X(item.X1), item.Width);
    const double ya = Snap(map.Y(item.Y1), item.Width);
    const double xb = Snap(map.X(item.X2), item.Width);
    const double yb = Snap(map.Y(item.Y2), item.Width);
    if (!Finite({xa, ya, xb, yb})) return;
    // An edge pushed to the margin stays out of sight, so clamping keeps the picture exact.
    const double x0 = std::clamp(std::min(xa, xb), bounds.left(), bounds.right());
    const double x1 = std::clamp(std::max(xa, xb), bounds.left(), bounds.right());
    const double y0 = std::clamp(std::min(ya, yb), bounds.top(), bounds.bottom());
    const double y1 = std::clamp(std::max(ya, yb), bounds.top(), bounds.bottom());
    painter_.setPen(PenFor(item));
    if (item.Filled) {
      painter_.setBrush(ToQColor(item.Colour));
    } else {
      painter_.setBrush(Qt::NoBrush);
    }
    painter_.drawRect(QRectF(x0, y0, x1 - x0, y1 - y0));
  }

  void DrawCircle(const DisplayItem& item, const PixelMap& map) {
    const double cx = Snap(map.X(item.X1), item.Width);
    const double cy = Snap(map.Y(item.Y1), item.Width);
    const double radius = std::fabs(static_cast<double>(item.Radius)) * map.PixelsPerUnitX();
    const double aspect = std::fabs(static_cast<double>(item.Aspect));
    // Up to an aspect of 1 the radius is the horizontal one, above it the vertical one.
    const double rx = aspect <= 1 ? radius : radius / aspect;
    const double ry = aspect <= 1 ? radius * aspect : radius;
    if (!Finite({cx, cy, rx, ry})) return;
    const double reach = std::max(rx, ry) + item.Width;
    if (cx + reach < 0 || cx - reach > widthPx_ || cy + reach < 0 || cy - reach > heightPx_) {
      return;
    }
    painter_.setPen(PenFor(item));
    painter_.setBrush(Qt::NoBrush);
    const QRectF box(cx - rx, cy - ry, 2 * rx, 2 * ry);
    if (!item.IsArc) {
      painter_.drawEllipse(box);
      return;
    }
    // Counter-clockwise on the screen from the start to the end angle, whatever the direction
    // of the user y axis; the painter counts degrees counter-clockwise on the screen too.
    constexpr double kTurn = 2 * std::numbers::pi;
    const double start = item.StartAngle;
    double sweep = std::fmod(static_cast<double>(item.EndAngle) - start, kTurn);
    if (sweep <= 0) sweep += kTurn;
    constexpr double kDegrees = 180.0 / std::numbers::pi;
    QPainterPath path;
    path.arcMoveTo(box, start * kDegrees);
    path.arcTo(box, start * kDegrees, sweep * kDegrees);
    painter_.drawPath(path);
  }

  void DrawText(const DisplayItem& item, const PixelMap& map) {
    const double x = std::floor(map.X(item.X1));
    const double top = std::floor(map.Y(item.Y1));
    const double fontPx = static_cast<double>(item.FontSize) * graphics::kPixelsPerPoint;
    if (!Finite({x, top, fontPx}) || fontPx <= 0) return;
    if (x > widthPx_ || top > heightPx_ || top + 2 * fontPx < 0) return;
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    // Unhinted outlines scale with the picture without shifting from one size to the next.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPointSizeF(fontPx * 72.0 / painter_.device()->logicalDpiY());
    painter_.setFont(font);
    painter_.setPen(ToQColor(item.Colour));
    // The SVG writer's baseline, so that the window and the files set text alike.
    painter_.drawText(QPointF(x, top + graphics::kAscentEm * fontPx),
                      QString::fromStdString(item.Text));
  }

  QPainter& painter_;
  double widthPx_;
  double heightPx_;
};

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
  if (target.isEmpty()) return;
  painter.save();
  painter.setClipRect(target, Qt::IntersectClip);
  painter.fillRect(target, ToQColor(surface.BackColor()));
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
  painter.translate(target.topLeft());
  painter.scale(target.width() / surface.WidthPixels(), target.height() / surface.HeightPixels());
  PainterReplay replay(painter, surface.WidthPixels(), surface.HeightPixels());
  for (const DisplayItem& item : surface.Items()) replay.Draw(item);
  painter.restore();
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
