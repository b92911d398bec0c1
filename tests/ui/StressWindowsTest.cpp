// The stress windows: the picture boxes replay their display lists where the surface's scale
// puts them, the menus switch and hide the views, and the Arrow grids are in sight.

#include <gtest/gtest.h>

#include <QAction>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include <cmath>
#include <numbers>

#include "graphics/DrawingSurface.h"
#include "graphics/StressSurfaces.h"
#include "ui/Arrow.h"
#include "ui/PictureBox.h"
#include "ui/ResultGridView.h"
#include "ui/ResultWindows.h"
#include "ui/Results.h"
#include "ui/building.h"
#include "ui/cooling.h"

namespace quillane::ui {
namespace {

using graphics::DrawingSurface;
using graphics::QBColor;
using graphics::StressSurfaces;

// A profile-sized surface whose user scale runs 0..100 left to right and 0..100 upwards.
DrawingSurface UnitSurface() {
  DrawingSurface surface(StressSurfaces::kProfileWidthTwips, StressSurfaces::kProfileHeightTwips);
  surface.ScaleMode(0);
  surface.ScaleLeft(0);
  surface.ScaleTop(100);
  surface.ScaleWidth(100);
  surface.ScaleHeight(-100);
  return surface;
}

QImage RenderImage(const DrawingSurface& surface, QSize size, QRectF target = QRectF()) {
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  PictureBox::Render(painter, surface, target.isNull() ? QRectF(QPointF(0, 0), size) : target);
  painter.end();
  return image;
}

// Pixel of user point (x, y) of UnitSurface drawn at zoom times its size.
QPoint PixelOf(double x, double y, double zoom = 1) {
  const double w = StressSurfaces::kProfileWidthTwips / 15.0;
  const double h = StressSurfaces::kProfileHeightTwips / 15.0;
  return QPoint(static_cast<int>(std::floor((0.5 + x / 100 * (w - 1)) * zoom)),
                static_cast<int>(std::floor((0.5 + (y - 100) / -100 * (h - 1)) * zoom)));
}

bool IsWhite(QRgb pixel) {
  return qRed(pixel) > 240 && qGreen(pixel) > 240 && qBlue(pixel) > 240;
}

TEST(PictureBox, LinesLandWhereTheUserScalePutsThem) {
  DrawingSurface surface = UnitSurface();
  surface.DrawWidth(3);
  surface.Line(10, 50, 90, 50, QBColor(12));
  const QImage image = RenderImage(surface, QSize(425, 273));
  EXPECT_EQ(image.pixel(PixelOf(50, 50)), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(PixelOf(85, 50)), qRgb(255, 0, 0));
  EXPECT_TRUE(IsWhite(image.pixel(PixelOf(50, 60))));
  EXPECT_TRUE(IsWhite(image.pixel(PixelOf(5, 50))));
  EXPECT_TRUE(IsWhite(image.pixel(PixelOf(95, 50))));

  // Twice the size: the same picture, twice as large.
  const QImage large = RenderImage(surface, QSize(850, 546));
  EXPECT_EQ(large.pixel(PixelOf(50, 50, 2)), qRgb(255, 0, 0));
  EXPECT_TRUE(IsWhite(large.pixel(PixelOf(50, 55, 2))));
}

TEST(PictureBox, BackgroundAndClippingStayInsideTheTarget) {
  DrawingSurface surface = UnitSurface();
  // From far outside the surface to its middle: only the inner part shows.
  surface.Line(-1e6f, 50, 50, 50, QBColor(9));
  const QImage image = RenderImage(surface, QSize(600, 400), QRectF(100, 100, 425, 273));
  EXPECT_EQ(image.pixel(20, 20), qRgba(0, 0, 0, 0));  // outside: untouched
  EXPECT_EQ(image.pixel(100 + 2, 100 + PixelOf(0, 50).y()), qRgb(0, 0, 255));
  EXPECT_EQ(image.pixel(50, 100 + PixelOf(0, 50).y()), qRgba(0, 0, 0, 0));
  EXPECT_TRUE(IsWhite(image.pixel(100 + 300, 100 + 20)));  // the surface's background
}

TEST(PictureBox, ArcsTurnCounterClockwiseOnTheScreen) {
  DrawingSurface surface = UnitSurface();
  surface.DrawWidth(3);
  // Upper half of a circle: from 0 to pi counter-clockwise passes through the top.
  surface.Circle(50, 50, 20, QBColor(10), 0.0f, static_cast<float>(std::numbers::pi));
  const QImage image = RenderImage(surface, QSize(425, 273));
  const double radiusPx = 20.0 / 100 * 424;
  const QPoint centre = PixelOf(50, 50);
  EXPECT_EQ(image.pixel(centre.x(), static_cast<int>(centre.y() - radiusPx)), qRgb(0, 255, 0));
  EXPECT_TRUE(IsWhite(image.pixel(centre.x(), static_cast<int>(centre.y() + radiusPx))));
  EXPECT_TRUE(IsWhite(image.pixel(centre)));

  DrawingSurface full = UnitSurface();
  full.DrawWidth(3);
  full.Circle(50, 50, 20, QBColor(10));
  const QImage circle = RenderImage(full, QSize(425, 273));
  EXPECT_EQ(circle.pixel(centre.x(), static_cast<int>(centre.y() + radiusPx)), qRgb(0, 255, 0));
  EXPECT_EQ(circle.pixel(static_cast<int>(centre.x() - radiusPx), centre.y()), qRgb(0, 255, 0));
}

TEST(PictureBox, TextStartsAtItsPositionWithItsSize) {
  DrawingSurface surface = UnitSurface();
  surface.FontSize(12);
  surface.CurrentX(20);
  surface.CurrentY(80);
  surface.Print({"FLECHES"});
  const QImage image = RenderImage(surface, QSize(425, 273));
  const QPoint topLeft = PixelOf(20, 80);
  const int em = static_cast<int>(12 * 96 / 72.0);  // 16 pixels
  int inside = 0;
  int outside = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (IsWhite(image.pixel(x, y))) continue;
      const bool inBox = x >= topLeft.x() - 1 && x <= topLeft.x() + 8 * em &&
                         y >= topLeft.y() - 1 && y <= topLeft.y() + em + 2;
      (inBox ? inside : outside)++;
    }
  }
  EXPECT_GT(inside, 40);
  EXPECT_EQ(outside, 0);
  // The glyphs reach down to the baseline, most of an em below the top.
  bool lowInk = false;
  for (int x = topLeft.x(); x < topLeft.x() + 8 * em; ++x) {
    if (!IsWhite(image.pixel(x, topLeft.y() + em * 2 / 3))) lowInk = true;
  }
  EXPECT_TRUE(lowInk);
}

TEST(PictureBox, PictureKeepsTheSurfaceProportions) {
  const DrawingSurface surface = UnitSurface();
  PictureBox box(surface);
  box.resize(1000, 300);
  const QRectF rect = box.PictureRect();
  EXPECT_DOUBLE_EQ(rect.height(), 300);
  EXPECT_NEAR(rect.width() / rect.height(), 6375.0 / 4095.0, 1e-9);
  EXPECT_NEAR(rect.center().x(), 500, 1e-9);
  EXPECT_GE(box.sizeHint().width(), 425);
}

class StressWindowsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    windows.Reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  static void Trigger(QWidget& window, const char* action) {
    auto* found = window.findChild<QAction*>(QString::fromLatin1(action));
    ASSERT_NE(found, nullptr) << action;
    found->trigger();
  }
  static QWidget* Child(QWidget& window, const char* name) {
    return window.findChild<QWidget*>(QString::fromLatin1(name));
  }
  ResultWindows windows;
};

TEST_F(StressWindowsTest, CaptionsAndLabels) {
  EXPECT_EQ(windows.BuildingWindow().windowTitle(), QStringLiteral("DuringBuilding"));
  EXPECT_EQ(windows.CoolingWindow().windowTitle(), QStringLiteral("After cooling"));
  EXPECT_EQ(windows.ArrowWindow().windowTitle(), QStringLiteral("Arrow after cooling"));
  EXPECT_EQ(windows.ResultsWindow().windowTitle(), QStringLiteral("Results"));
  const auto label = [](QWidget& window, const char* name) {
    return window.findChild<QLabel*>(QString::fromLatin1(name))->text();
  };
  EXPECT_EQ(label(windows.BuildingWindow(), "Label1"),
            QStringLiteral("Global view before cooling"));
  EXPECT_EQ(label(windows.BuildingWindow(), "Label2"), QStringLiteral("Zoom before cooling"));
  EXPECT_EQ(label(windows.CoolingWindow(), "Label1"), QStringLiteral("Global view after cooling"));
  EXPECT_EQ(label(windows.CoolingWindow(), "Label2"), QStringLiteral("Zoom after cooling"));
  EXPECT_EQ(label(windows.ArrowWindow(), "Label1"), QStringLiteral("View after cooling"));
}

TEST_F(StressWindowsTest, ZoomMenusSwitchPicturesAndLabels) {
  for (QWidget* window : {static_cast<QWidget*>(&windows.BuildingWindow()),
                          static_cast<QWidget*>(&windows.CoolingWindow())}) {
    window->show();
    EXPECT_TRUE(Child(*window, "Picture1")->isVisible());
    EXPECT_FALSE(Child(*window, "Picture2")->isVisible());
    EXPECT_TRUE(Child(*window, "Label1")->isVisible());
    EXPECT_FALSE(Child(*window, "Label2")->isVisible());
    Trigger(*window, "zoomin");
    Trigger(*window, "zoomin");  // twice: still the zoom view
    EXPECT_FALSE(Child(*window, "Picture1")->isVisible());
    EXPECT_TRUE(Child(*window, "Picture2")->isVisible());
    EXPECT_FALSE(Child(*window, "Label1")->isVisible());
    EXPECT_TRUE(Child(*window, "Label2")->isVisible());
    Trigger(*window, "Zoomout");
    EXPECT_TRUE(Child(*window, "Picture1")->isVisible());
    EXPECT_FALSE(Child(*window, "Picture2")->isVisible());
    EXPECT_TRUE(Child(*window, "Label1")->isVisible());
    EXPECT_FALSE(Child(*window, "Label2")->isVisible());
  }
}

TEST_F(StressWindowsTest, MaskThenShowKeepsTheZoomView) {
  Results& results = windows.ResultsWindow();
  building& window = windows.BuildingWindow();
  results.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
  ASSERT_TRUE(window.isVisible());
  Trigger(window, "zoomin");
  Trigger(window, "mask");
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(&windows.BuildingWindow(), &window);  // hidden, not discarded
  results.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.ShowsZoom());
  EXPECT_TRUE(Child(window, "Picture2")->isVisible());
  EXPECT_TRUE(Child(window, "Label2")->isVisible());
}

TEST_F(StressWindowsTest, ArrowHasNoZoomMenusAndMaskHides) {
  Arrow& arrow = windows.ArrowWindow();
  arrow.show();
  EXPECT_EQ(arrow.findChild<QAction*>(QStringLiteral("zoomin")), nullptr);
  EXPECT_EQ(arrow.findChild<QAction*>(QStringLiteral("Zoomout")), nullptr);
  EXPECT_TRUE(Child(arrow, "Picture1")->isVisible());
  EXPECT_TRUE(arrow.isVisible());
  Trigger(arrow, "mask");
  EXPECT_FALSE(arrow.isVisible());
}

TEST_F(StressWindowsTest, ArrowGridsAreInSightAtTheFirstSize) {
  Arrow& arrow = windows.ArrowWindow();
  arrow.Grid(1).FillBlock(0, 0, 0, 1, "POSITION DE L'AXE NEUTRE : \t-.0012");
  arrow.Grid(1).SetColumnWidth(0, 1500);
  arrow.Grid(1).SetColumnWidth(1, 1500);
  arrow.Grid(1).AddRow("CONTRAINTES AVANT REFROIDISSEMENT FINAL ");
  arrow.Grid(1).AddRow("-.0025\t3.20E+05");
  arrow.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&arrow));
  for (const char* name : {"MSFlexGrid1", "MSFlexGrid2", "MSFlexGrid3"}) {
    auto* grid = arrow.findChild<ResultGridView*>(QString::fromLatin1(name));
    ASSERT_NE(grid, nullptr) << name;
    EXPECT_TRUE(grid->isVisible()) << name;
    const QRect inWindow(grid->mapTo(&arrow, QPoint(0, 0)), grid->size());
    EXPECT_TRUE(arrow.rect().contains(inWindow)) << name;
    EXPECT_GE(grid->height(), 3 * grid->verticalHeader()->defaultSectionSize()) << name;
  }
  auto* first = arrow.findChild<ResultGridView*>(QStringLiteral("MSFlexGrid1"));
  // Both columns of the stress tables are in sight without scrolling sideways.
  EXPECT_GE(first->viewport()->width(), first->columnWidth(0) + first->columnWidth(1));
  QWidget* picture = Child(arrow, "Picture1");
  EXPECT_TRUE(arrow.rect().contains(QRect(picture->mapTo(&arrow, QPoint(0, 0)), picture->size())));
  EXPECT_THROW(arrow.Grid(4), std::out_of_range);
}

TEST_F(StressWindowsTest, EveryWindowFitsItsControlsAtTheFirstSize) {
  QWidget* all[] = {&windows.ResultsWindow(), &windows.BuildingWindow(), &windows.CoolingWindow(),
                    &windows.ArrowWindow()};
  for (QWidget* window : all) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    for (QWidget* child : window->findChildren<QWidget*>()) {
      if (!child->isVisible() || child->objectName().isEmpty() || child->isWindow()) continue;
      const QRect inWindow(child->mapTo(window, QPoint(0, 0)), child->size());
      EXPECT_TRUE(window->rect().contains(inWindow))
          << window->objectName().toStdString() << "/" << child->objectName().toStdString();
    }
  }
}

TEST_F(StressWindowsTest, SurfacesBelongToTheirWindows) {
  EXPECT_EQ(&windows.Surface(SurfaceId::BuildingPicture1),
            &windows.BuildingWindow().GlobalSurface());
  EXPECT_EQ(&windows.Surface(SurfaceId::BuildingPicture2), &windows.BuildingWindow().ZoomSurface());
  EXPECT_EQ(&windows.Surface(SurfaceId::CoolingPicture1), &windows.CoolingWindow().GlobalSurface());
  EXPECT_EQ(&windows.Surface(SurfaceId::CoolingPicture2), &windows.CoolingWindow().ZoomSurface());
  EXPECT_EQ(&windows.Surface(SurfaceId::ArrowPicture1), &windows.ArrowWindow().Surface());
  EXPECT_EQ(windows.Surface(SurfaceId::ArrowPicture1).WidthTwips(),
            StressSurfaces::kHistoryWidthTwips);
  EXPECT_EQ(windows.Surface(SurfaceId::CoolingPicture2).WidthTwips(),
            StressSurfaces::kProfileWidthTwips);
  EXPECT_EQ(&windows.Grid(GridId::MSFlexGrid2), &windows.ArrowWindow().Grid(2));
  // A picture repaints from its surface: what was drawn shows at the next paint.
  building& window = windows.BuildingWindow();
  window.GlobalSurface().Line(0, 0, 6375, 4095, QBColor(12));
  window.resize(700, 500);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  windows.RefreshPictures();
  const QImage shot = Child(window, "Picture1")->grab().toImage();
  bool red = false;
  for (int y = 0; y < shot.height() && !red; ++y) {
    for (int x = 0; x < shot.width() && !red; ++x) red = shot.pixel(x, y) == qRgb(255, 0, 0);
  }
  EXPECT_TRUE(red);
}

}  // namespace
}  // namespace quillane::ui
