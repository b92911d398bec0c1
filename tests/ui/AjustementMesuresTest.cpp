// The "Ajustement sur mesures" window; how its results are worded and charted is FitFormTest's.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
#include <map>

#include "GeometrieTestSupport.h"
#include "fit/Calibration.h"
#include "format/NumberFormat.h"
#include "io/AtomicFile.h"
#include "run/QuantityTable.h"
#include "run/RunSimulation.h"
#include "run/Validation.h"
#include "ui/AjustementMesures.h"
#include "ui/EtudeParametrique.h"

namespace quillane::test {
namespace {

class FitWindowTest : public GeometrieWindowFixture {
 protected:
  // What sensors would have recorded of the input window's case run with these figures: the
  // curvature and the back face's temperature every 0.05 s to 12 s (the run ends at 9 s).
  QString WriteRecordOf(const std::map<std::string, double>& figures) {
    ModelState truth = state;
    ValidateRunInputs(truth, &window->Catalogue());
    for (const auto& [name, value] : figures) Quantity(name).Set(truth, value);
    std::vector<double> times;
    for (int i = 1; i <= 240; ++i) times.push_back(0.05 * i);
    const fit::CalibrationRecord record = fit::RecordOfRun(truth, times);
    std::string text = "time,curvature,temperature\n";
    for (std::size_t i = 0; i < times.size(); ++i) {
      text += format::FormatShortest(times[i]) + "," + format::FormatShortest(record.Curvature[i]) +
              "," + format::FormatShortest(record.Temperature[i]) + "\n";
    }
    AtomicFile::WriteWhole(dir / "record.csv", text, "record");
    return QString::fromStdString((dir / "record.csv").string());
  }

  // The reference case in the input window, and the fit window over it.
  void OpenFit() {
    Open();
    ASSERT_TRUE(
        window->OpenCaseFrom(QString::fromStdString((DataDir() / "p1" / "case.json").string())));
    fit = Show<ui::AjustementMesures>("FitWindow", "AjustementMesures");
  }
  template <typename T>
  T* Part(const QString& name) const {
    return fit->findChild<T*>(name);
  }
  QString FitStatus() const { return Part<QLabel>("FitStatus")->text(); }

  ui::AjustementMesures* fit = nullptr;
};

TEST_F(FitWindowTest, ARecordOfTheModelGivesBackItsFiguresWhichApplyingSavesAndPicks) {
  QString answer = QStringLiteral("Annuler");
  ModalWatcher watcher([&answer](QWidget* modal) {
    if (!ModalWatcher::Press(modal, answer)) ModalWatcher::Dismiss(modal);
  });
  OpenFit();
  ASSERT_TRUE(fit->OpenRecord(WriteRecordOf({{"coating.SigmaQ", 1.5e8}, {"HeatFlux", 8e5}})));
  for (const char* name : {"coating.SigmaQ", "HeatFlux"})
    Part<QCheckBox>(QStringLiteral("Fit_") + QString::fromLatin1(name))->setChecked(true);
  QTest::mouseClick(Part<QPushButton>("Ajuster"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return !fit->Worker().IsRunning(); }, 90000));
  ASSERT_TRUE(fit->Result()) << FitStatus().toStdString();
  const fit::FitResult result = *fit->Result();
  ASSERT_EQ(result.Names, (std::vector<std::string>{"coating.SigmaQ", "HeatFlux"}));
  EXPECT_NEAR(result.Value[0] / 1.5e8, 1, 1e-6) << result.Termination;
  EXPECT_NEAR(result.Value[1] / 8e5, 1, 1e-6) << result.Termination;
  // The table holds the fitted values in the unit of the figure's boxes (MPa).
  EXPECT_EQ(fit->Table().item(0, 2)->data(Qt::UserRole).toDouble(),
            Quantity("coating.SigmaQ").ToDisplay(result.Value[0]));

  // The user is asked first (every later run takes the row); refused, nothing is written.
  EXPECT_FALSE(fit->Appliquer());
  ASSERT_EQ(watcher.MessageTexts.size(), 1);
  EXPECT_FALSE(UserCatalogue(dir / "user" / "materiaux.db").Exists());
  answer = QStringLiteral("Appliquer");
  QTest::mouseClick(Part<QPushButton>("Appliquer"), Qt::LeftButton);

  // The user row: NiCrAlY's figures with the fitted quenching stress, and where it comes from.
  const std::vector<UserMaterial> saved = UserCatalogue(dir / "user" / "materiaux.db").Read();
  ASSERT_EQ(saved.size(), 1u);
  MaterialRecord expected = *window->Catalogue().FindMaterial("NiCrAlY");
  expected.Name = "NiCrAlY (ajusté)";
  expected.SigmaQ = result.Value[0];
  EXPECT_EQ(saved[0].Row, expected);
  EXPECT_EQ(saved[0].Source, "ajusté sur record.csv");
  // The input window picks it and takes the fitted heat flux, as one change it can undo.
  EXPECT_EQ(state.Input.CoatingMaterialName, "NiCrAlY (ajusté)");
  EXPECT_EQ(state.Input.HeatFlux, result.Value[1]);
  EXPECT_EQ(Child<QListWidget>("Datalist2")->selectedItems().value(0)->text(),
            QString::fromUtf8("NiCrAlY (ajusté)"));
  // Undone, the picks and the heat flux go back; the saved row stays, as a case may name it.
  window->UndoStack().undo();
  EXPECT_EQ(state.Input.CoatingMaterialName, "NiCrAlY");
  EXPECT_EQ(state.Input.HeatFlux, 600000);
  EXPECT_EQ(UserCatalogue(dir / "user" / "materiaux.db").Read().size(), 1u);
}

TEST_F(FitWindowTest, TheModelPickedHereReachesTheCaseAndFollowsItsUndo) {
  OpenFit();
  auto* model = Part<QComboBox>("FitStressModel");
  ASSERT_TRUE(model != nullptr);
  model->setCurrentIndex(model->findData(QString::fromStdString(kWholeDepositModel)));
  emit model->activated(model->currentIndex());
  EXPECT_EQ(state.Input.StressModel, kWholeDepositModel);
  window->UndoStack().undo();
  EXPECT_EQ(model->currentData().toString(), QString::fromStdString(kOnePassModel));
}

TEST_F(FitWindowTest, TheWindowsListTheCoatsOfTheCaseAndAFitPicksACoatsRow) {
  WriteFile(dir / "two.json", R"({"StressModel": "whole-deposit",
    "SubstrateMaterialName": "Acier 316L", "CoatingMaterialName": "NiCrAlY",
    "Coats": [{"Material": "NiCrAlY", "PassCount": 3},
              {"Material": "Acier 316L", "PassCount": 5, "PauseBefore": 20}]})");
  OpenFit();
  auto* study = Show<ui::EtudeParametrique>("StudyWindow", "EtudeParametrique");
  auto* quantity = study->findChild<QComboBox*>(QStringLiteral("Quantity1"));
  const auto listed = [&] {
    return std::pair(Part<QCheckBox>("Fit_coat2.SigmaQ") != nullptr,
                     quantity->findData(QStringLiteral("coat2.SigmaQ")) >= 0);
  };
  EXPECT_EQ(listed(), std::pair(false, false));
  ASSERT_TRUE(window->OpenCaseFrom(PathOf("two.json")));
  // Brought to the front, each window follows. Offscreen, the windows share one activation: the
  // fit window's is sent.
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(fit, &activate);
  Trigger("StudyWindow");
  EXPECT_EQ(listed(), std::pair(true, true));
  // A fitted later coat's row is picked for its coat, as one change that can be undone.
  ASSERT_TRUE(window->TakeFit("", {"", "NiCrAlY"}, std::nullopt));
  EXPECT_EQ(state.Input.Coats[1].Material, "NiCrAlY");
  window->UndoStack().undo();
  EXPECT_EQ(state.Input.Coats[1].Material, "Acier 316L");
}

}  // namespace
}  // namespace quillane::test
