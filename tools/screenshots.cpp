// Pictures of every window after a real run of a case, for a person to look at: the input
// window, the results with a charted column, the stress views, the deflection history, the
// thermal field of a whole-deposit case, the "Matériaux" window and its form, the "Étude
// paramétrique" window after a factorial study of two quantities, after a sampled one and after a
// grid of many curves, and the "Ajustement sur mesures" window after a fit of a record of the
// model. Run it offscreen:
//
//   QT_QPA_PLATFORM=offscreen quillane-screenshots CASE.json OUTDIR [WIDTHxHEIGHT]
//
// The size is the screen the windows are fitted into (1366x768 by default).

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "format/NumberFormat.h"
#include "graphics/StressSurfaces.h"
#include "io/AtomicFile.h"
#include "io/CaseFile.h"
#include "run/RunSimulation.h"
#include "run/Validation.h"
#include "ui/AjustementMesures.h"
#include "ui/Arrow.h"
#include "ui/EtudeParametrique.h"
#include "ui/Geometrie.h"
#include "ui/Materiaux.h"
#include "ui/ResultWindows.h"
#include "ui/Results.h"
#include "ui/ThermalField.h"
#include "ui/building.h"
#include "ui/cooling.h"
#include "widgets/ResultGridModel.h"
#include "widgets/ResultGridView.h"

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

// A record of the model with the deposit's quenching stress half as large again, as sensors
// would give it: every 0.05 s to a third beyond the run's end, with a little seeded noise.
std::string RecordOfModel(ModelState state) {
  state.Materials.Coating.SigmaQ *= 1.5;
  // The passes follow each other, each PassPeriod long.
  const double end = state.Input.PassCount * state.Input.PassPeriod;
  std::vector<double> times;
  for (int i = 1; 0.05 * i <= end * 4 / 3; ++i) times.push_back(0.05 * i);
  const fit::CalibrationRecord record = fit::RecordOfRun(state, times);
  const double spread = std::fabs(record.Curvature.back() - record.Curvature.front());
  std::mt19937_64 engine(7);
  std::normal_distribution<double> gauss;
  std::string text = "time,curvature,temperature\n";
  for (std::size_t i = 0; i < times.size(); ++i) {
    text += format::FormatShortest(times[i]) + "," +
            format::FormatShortest(record.Curvature[i] + 0.01 * spread * gauss(engine)) + "," +
            format::FormatShortest(record.Temperature[i] + 0.5 * gauss(engine)) + "\n";
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  QSize screen(1366, 768);
  if (argc > 3) {
    const QStringList size = QString::fromLocal8Bit(argv[3]).split(QLatin1Char('x'));
    if (size.size() == 2) screen = QSize(size[0].toInt(), size[1].toInt());
  }
  // Offscreen, the screen itself has that size, so the windows fit themselves into it as they
  // would on a real one.
  const std::filesystem::path screenFile =
      std::filesystem::temp_directory_path() / "quillane-shots-screen.json";
  if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
    std::ofstream(screenFile) << "{\"screens\": [{\"name\": \"shots\", \"x\": 0, \"y\": 0, "
                              << "\"width\": " << screen.width()
                              << ", \"height\": " << screen.height()
                              << ", \"logicalDpi\": 96, \"dpr\": 1}]}";
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + screenFile.c_str());
  }
  QApplication application(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() < 3) {
    std::fprintf(stderr, "usage: quillane-screenshots CASE.json OUTDIR [WIDTHxHEIGHT]\n");
    return 2;
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
  if (run.State.Model == StressModelKind::WholeDeposit) {
    shooter.Save(windows.FieldWindow(), QStringLiteral("ThermalField"));
  }
  windows.BuildingWindow().zoomin_Click();
  shooter.Save(windows.BuildingWindow(), QStringLiteral("building_zoom"));
  windows.CoolingWindow().zoomin_Click();
  shooter.Save(windows.CoolingWindow(), QStringLiteral("cooling_zoom"));

  input.OpenMaterials();
  if (auto* materials = input.findChild<ui::Materiaux*>(QStringLiteral("Materiaux"))) {
    shooter.Save(*materials, QStringLiteral("Materiaux"));
    UserMaterial sample;
    sample.Row = input.Catalogue().Rows().front();
    // A conductivity given against temperature, as a row may give it.
    sample.Row.Tables.Lambda = {{300, 16.3}, {700, 20.4}, {1200, 26.1}};
    ui::MaterialForm form(QStringLiteral("Modifier un matériau"), sample,
                          state.Locale.DecimalSeparator);
    form.findChild<QLineEdit*>(QStringLiteral("Lambda"))->setText(QStringLiteral("0"));
    form.accept();  // shows what is wrong
    shooter.Save(form, QStringLiteral("MaterialForm"));
    ui::PointsDialog points(kTableFigures[0], sample.Row.Tables.Lambda,
                            state.Locale.DecimalSeparator);
    shooter.Save(points, QStringLiteral("PointsDialog"));
  }

  // A study of the heat flux and the deposit's quenching stress, around the case's values; of
  // the top coat's, for a case of coats (whose own flux the coats may all replace).
  input.OpenStudy();
  if (auto* study = input.findChild<ui::EtudeParametrique*>(QStringLiteral("EtudeParametrique"))) {
    auto* first = study->findChild<QComboBox*>(QStringLiteral("Quantity1"));
    auto* second = study->findChild<QComboBox*>(QStringLiteral("Quantity2"));
    const std::size_t coats = state.Input.Coats.size();
    const QString top = QStringLiteral("coat%1.").arg(coats);
    first->setCurrentIndex(
        first->findData(coats > 0 ? top + QStringLiteral("HeatFlux") : QStringLiteral("HeatFlux")));
    second->setCurrentIndex(second->findData(coats > 1 ? top + QStringLiteral("SigmaQ")
                                                       : QStringLiteral("coating.SigmaQ")));
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

    // A larger grid: more curves than a legend tells apart, on a colour scale.
    study->findChild<QComboBox*>(QStringLiteral("Plan"))->setCurrentIndex(0);
    study->findChild<QComboBox*>(QStringLiteral("Law2"))->setCurrentIndex(0);
    study->findChild<QSpinBox*>(QStringLiteral("Steps1"))->setValue(20);
    study->findChild<QSpinBox*>(QStringLiteral("Steps2"))->setValue(14);
    if (study->Lancer()) {
      while (study->Worker().IsRunning()) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
      }
      QCoreApplication::processEvents();
    }
    shooter.Save(*study, QStringLiteral("EtudeParametrique_grande"));
  }

  // The deposit's quenching stress fitted to a record of the model.
  input.OpenFit();
  if (auto* fit = input.findChild<ui::AjustementMesures*>(QStringLiteral("AjustementMesures"))) {
    ModelState truth = state;
    ValidateRunInputs(truth, &input.Catalogue());
    AtomicFile::WriteWhole(scratch / "enregistrement.csv", RecordOfModel(truth), "record");
    fit->OpenRecord(QString::fromStdString((scratch / "enregistrement.csv").string()));
    fit->findChild<QCheckBox*>(QStringLiteral("Fit_coating.SigmaQ"))->setChecked(true);
    if (fit->Ajuster()) {
      while (fit->Worker().IsRunning()) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
      }
      QCoreApplication::processEvents();
    }
    shooter.Save(*fit, QStringLiteral("AjustementMesures"));
  }
  std::filesystem::remove_all(scratch);
  return shooter.Failed() ? 1 : 0;
}
