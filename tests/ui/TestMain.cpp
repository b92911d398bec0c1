// One QApplication for the window tests, offscreen on the smallest screen the windows are laid
// out for (1024 × 640) unless QT_QPA_PLATFORM names another platform, with settings of their own,
// cleared before each test.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>

namespace {

// Every test starts as on a first start: no recent case nor folder of an earlier test.
class FreshSettings : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    QSettings(QStringLiteral("quillane"), QStringLiteral("quillane")).clear();
  }
};

}  // namespace

int main(int argc, char** argv) {
  const QString screen =
      QDir::temp().filePath(QStringLiteral("quillane-test-screen-%1.json").arg(getpid()));
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) {
    QFile config(screen);
    if (!config.open(QIODevice::WriteOnly)) return 2;
    config.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1024, "height": 640,
                    "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    config.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screen).toUtf8());
  }
  const QString settings =
      QDir::temp().filePath(QStringLiteral("quillane-test-config-%1").arg(getpid()));
  qputenv("XDG_CONFIG_HOME", settings.toUtf8());
  QApplication application(argc, argv);
  QFile::remove(screen);  // read once the application has started
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshSettings);
  const int status = RUN_ALL_TESTS();
  QDir(settings).removeRecursively();
  return status;
}
