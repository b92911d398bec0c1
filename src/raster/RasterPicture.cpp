#include "raster/RasterPicture.h"

#include <QBuffer>
#include <QByteArray>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <numbers>

#include "graphics/PixelMapping.h"
#include "io/AtomicFile.h"

namespace quillane::raster {

namespace {

using graphics::DisplayItem;
using graphics::DrawingSurface;
using graphics::Finite;
using graphics::ItemKind;
using graphics::PixelMap;
using graphics::Snap;

constexpr double kPixelsPerPoint = 96.0 / 72.0;

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

class Replay {
 public:
  Replay(QPainter& painter, double widthPx, double heightPx)
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
    const double fontPx = static_cast<double>(item.FontSize) * kPixelsPerPoint;
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
    const QFontMetricsF metrics(font, painter_.device());
    painter_.drawText(QPointF(x, top + metrics.ascent()), QString::fromStdString(item.Text));
  }

  QPainter& painter_;
  double widthPx_;
  double heightPx_;
};

}  // namespace

void RenderSurface(QPainter& painter, const DrawingSurface& surface, const QRectF& target) {
  if (target.isEmpty()) return;
  painter.save();
  painter.setClipRect(target, Qt::IntersectClip);
  painter.fillRect(target, ToQColor(surface.BackColor()));
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
  painter.translate(target.topLeft());
  painter.scale(target.width() / surface.WidthPixels(), target.height() / surface.HeightPixels());
  Replay replay(painter, surface.WidthPixels(), surface.HeightPixels());
  for (const DisplayItem& item : surface.Items()) replay.Draw(item);
  painter.restore();
}

PngWriter::PngWriter() {
  // Text needs the platform's fonts, which come with an application object; a program without
  // one (the batch runner) gets a window-less one while the writer lives, and Qt's notes about
  // that session (no runtime folder, say) are kept off the user's terminal.
  if (QCoreApplication::instance() != nullptr) return;
  // Set for this application only: a program that opens windows later (a Python session) finds
  // its platform as it was.
  setsPlatform_ = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
  if (setsPlatform_) qputenv("QT_QPA_PLATFORM", "offscreen");
  previousHandler_ =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  application_ = std::make_unique<QGuiApplication>(argc_, argv_);
  ownsApplication_ = true;
}

PngWriter::~PngWriter() {
  application_.reset();
  if (ownsApplication_) qInstallMessageHandler(previousHandler_);
  if (setsPlatform_) qunsetenv("QT_QPA_PLATFORM");
}

void PngWriter::Write(const DrawingSurface& surface, const std::filesystem::path& path,
                      double zoom) const {
  AtomicFile::WriteWhole(path, Encode(surface, zoom), "picture");
}

std::string PngWriter::Encode(const DrawingSurface& surface, double zoom) const {
  QImage image(static_cast<int>(std::lround(surface.WidthPixels() * zoom)),
               static_cast<int>(std::lround(surface.HeightPixels() * zoom)), QImage::Format_RGB32);
  {
    QPainter painter(&image);
    RenderSurface(painter, surface, QRectF(0, 0, image.width(), image.height()));
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) throw std::runtime_error("Cannot encode a picture as PNG.");
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace quillane::raster
