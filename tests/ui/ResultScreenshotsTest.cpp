// Pictures of the four result windows after a real run, written to screenshots/ of the build
// tree for a person to look at; the test checks that each picture shows more than a blank.

#include <gtest/gtest.h>

#include <qcustomplot.h>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include <set>

#include "ModelFixture.h"
#include "RunIntoWindows.h"
#include "io/CaseFile.h"
#include "ui/Arrow.h"
#include "ui/ResultGridModel.h"
#include "ui/ResultGridView.h"
#include "ui/ResultWindows.h"
#include "ui/Results.h"
#include "ui/building.h"
#include "ui/cooling.h"

namespace quillane {
namespace {

class ResultScreenshots : public test::ModelFixture {
 protected:
  void TearDown() override {
    windows.Reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // Grabs the window and saves it; returns the number of distinct colours in the picture.
  static int Save(QWidget& window, const QString& name) {
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    const QImage image = window.grab().toImage();
    const QString dir = QStringLiteral(QUILLANE_BUILD_DIR "/screenshots/");
    QDir().mkpath(dir);
    EXPECT_TRUE(image.save(dir + name)) << name.toStdString();
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
      for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    }
    return static_cast<int>(colours.size());
  }

  ui::ResultWindows windows;
};

TEST_F(ResultScreenshots, FourWindowsAfterARun) {
  ReadCaseFile(test::DataDir() / "p1" / "case.json", state.Input);
  test::RunIntoWindows(windows, state, catalogue, paths);
  QCoreApplication::processEvents();

  ui::Results& results = windows.ResultsWindow();
  results.GridView().setCurrentIndex(results.Grid().index(40, 2));
  ASSERT_TRUE(results.Chart().isVisible());
  EXPECT_GT(Save(results, QStringLiteral("Results.png")), 20);
  EXPECT_GT(Save(windows.BuildingWindow(), QStringLiteral("building.png")), 20);
  EXPECT_GT(Save(windows.CoolingWindow(), QStringLiteral("cooling.png")), 20);
  EXPECT_GT(Save(windows.ArrowWindow(), QStringLiteral("Arrow.png")), 20);

  windows.BuildingWindow().zoomin_Click();
  EXPECT_GT(Save(windows.BuildingWindow(), QStringLiteral("building_zoom.png")), 20);
  windows.CoolingWindow().zoomin_Click();
  EXPECT_GT(Save(windows.CoolingWindow(), QStringLiteral("cooling_zoom.png")), 20);
  results.GridView().setCurrentIndex(results.Grid().index(40, 9));
  EXPECT_GT(Save(results, QStringLiteral("Results_thickness.png")), 20);
  results.findChild<QWidget*>(QStringLiteral("Command5"))->setFocus();
  results.Command5_Click();
  EXPECT_GT(Save(results, QStringLiteral("Results_grid.png")), 5);
}

}  // namespace
}  // namespace quillane
