// Pictures of every window after a real run of a case, for a person to look at: the input
// window, the results with a charted column, the stress views, the deflection history, the
// "Matériaux" window and its form, and the "Étude paramétrique" window after a factorial study
// of two quantities and after a sampled one. Run it offscreen:
//
//   QT_QPA_PLATFORM=offscreen quillane-screenshots CASE.json OUTDIR [WIDTHxHEIGHT]
//
// The size is the screen the windows are fitted into (1366x768 by default).

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "graphics/StressSurfaces.h"
#include "io/CaseFile.h"
#include "run/RunSimulation.h"
#include "ui/Arrow.h"
#include "ui/EtudeParametrique.h"
#include "ui/Geometrie.h"
#include "ui/Materiaux.h"
#include "ui/ResultGridModel.h"
#include "ui/ResultGridView.h"
#include "ui/ResultWindows.h"
#include "ui/Results.h"
#include "ui/building.h"
#include "ui/cooling.h"

namespace {

using namespace quillane;

class Shooter {
 public:
  Shooter(QString folder, QSize screen) : folder_(std::move(folder)), screen_(screen) {}

  // Shows the window within the screen, lets it lay out, saves it.
  void Save(QWidget& window, const QString& name) {
    window.resize(window.size().boundedTo(screen_));
    window.show();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    const QString path = folder_ + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!window.grab().save(path)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      failed_ = true;
      return;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), window.width(), window.height());
  }
  bool Failed() const { return failed_; }

 private:
  QString folder_;
  QSize screen_;
  bool failed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() < 3) {
    std::fprintf(stderr, "usage: quillane-screenshots CASE.json OUTDIR [WIDTHxHEIGHT]\n");
    return 2;
  }
  QSize screen(1366, 768);
  if (args.size() > 3) {
    const QStringList size = args[3].split(QLatin1Char('x'));
    if (size.size() == 2) screen = QSize(size[0].toInt(), size[1].toInt());
  }
  QDir().mkpath(args[2]);
  Shooter shooter(args[2], screen);
  const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "quillane-shots";
  std::filesystem::create_directories(scratch);

  ModelState state;
  ui::ResultWindows windows;
  ui::GeometrieOptions options;
  options.UserCataloguePath = scratch / "materiaux.db";
  ui::Geometrie input(state, windows, options);
  if (!input.OpenCaseFrom(args[1])) return 1;
  shooter.Save(input, QStringLiteral("Geometrie"));

  // The run as the window's worker does it, on this thread.
  ui::RunResults run = windows.PrepareRun(state);
  graphics::PictureSink pictures(run.Surfaces);
  ExecuteRun(run.State, &input.Catalogue(),
             {(scratch / "thermique.txt").string(), (scratch / "stress.txt").string()}, pictures,
             &run.Rows);
  windows.TakeIn(run);

  ui::Results& results = windows.ResultsWindow();
  results.GridView().setCurrentIndex(results.Grid().index(40, 2));
  shooter.Save(results, QStringLiteral("Results"));
  shooter.Save(windows.BuildingWindow(), QStringLiteral("building"));
  shooter.Save(windows.CoolingWindow(), QStringLiteral("cooling"));
  shooter.Save(windows.ArrowWindow(), QStringLiteral("Arrow"));
  windows.BuildingWindow().zoomin_Click();
  shooter.Save(windows.BuildingWindow(), QStringLiteral("building_zoom"));
  windows.CoolingWindow().zoomin_Click();
  shooter.Save(windows.CoolingWindow(), QStringLiteral("cooling_zoom"));

  input.OpenMaterials();
  if (auto* materials = input.findChild<ui::Materiaux*>(QStringLiteral("Materiaux"))) {
    shooter.Save(*materials, QStringLiteral("Materiaux"));
    UserMaterial sample;
    sample.Row = input.Catalogue().Rows().front();
    ui::MaterialForm form(QStringLiteral("Modifier un matériau"), sample);
    form.findChild<QLineEdit*>(QStringLiteral("Lambda"))->setText(QStringLiteral("0"));
    form.accept();  // shows what is wrong
    shooter.Save(form, QStringLiteral("MaterialForm"));
  }

  // A study of the heat flux and the deposit's quenching stress, around the case's values.
  input.OpenStudy();
  if (auto* study = input.findChild<ui::EtudeParametrique*>(QStringLiteral("EtudeParametrique"))) {
    auto* first = study->findChild<QComboBox*>(QStringLiteral("Quantity1"));
    auto* second = study->findChild<QComboBox*>(QStringLiteral("Quantity2"));
    first->setCurrentIndex(first->findData(QStringLiteral("HeatFlux")));
    second->setCurrentIndex(second->findData(QStringLiteral("coating.SigmaQ")));
    study->findChild<QSpinBox*>(QStringLiteral("Steps2"))->setValue(2);
    if (study->Lancer()) {
      while (study->Worker().IsRunning()) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
      }
      QCoreApplication::processEvents();
    }
    shooter.Save(*study, QStringLiteral("EtudeParametrique"));

    // The same quantities sampled: the flux uniform over its range, the quenching stress
    // normal about its value, the points as a cloud with their rank correlations.
    study->findChild<QComboBox*>(QStringLiteral("Plan"))->setCurrentIndex(1);
    study->findChild<QComboBox*>(QStringLiteral("Law2"))->setCurrentIndex(1);
    study->findChild<QSpinBox*>(QStringLiteral("Samples"))->setValue(40);
    study->findChild<QSpinBox*>(QStringLiteral("Seed"))->setValue(1);
    if (study->Lancer()) {
      while (study->Worker().IsRunning()) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
      }
      QCoreApplication::processEvents();
    }
    study->findChild<QComboBox*>(QStringLiteral("AxisChoice"))->setCurrentIndex(1);
    shooter.Save(*study, QStringLiteral("EtudeParametrique_hypercube"));
  }
  std::filesystem::remove_all(scratch);
  return shooter.Failed() ? 1 : 0;
}
