// The "Ajustement sur mesures" window; how its results are worded and charted is FitFormTest's.

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
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
  // A bad record is refused (its wording is the session's, FitViewTest); nothing to fit.
  AtomicFile::WriteWhole(dir / "bad.csv", "time,curvature\n0,0.1\n1,0.2\n1,0.3\n", "record");
  EXPECT_FALSE(fit->OpenRecord(PathOf("bad.csv")));
  ASSERT_EQ(watcher.MessageTexts.size(), 1);
  EXPECT_TRUE(watcher.MessageTexts[0].startsWith(QString::fromUtf8("L'enregistrement ") +
                                                 PathOf("bad.csv")));
  EXPECT_FALSE(Part<QPushButton>("Ajuster")->isEnabled());
  watcher.MessageTexts.clear();
  ASSERT_TRUE(fit->OpenRecord(WriteRecordOf({{"coating.SigmaQ", 1.5e8}, {"HeatFlux", 8e5}})));
  for (const char* name : {"coating.SigmaQ", "HeatFlux"})
    Part<QCheckBox>(QStringLiteral("Fit_") + QString::fromLatin1(name))->setChecked(true);

  // Cancelled at once: the window shows no fit and nothing can be applied.
  QTest::mouseClick(Part<QPushButton>("Ajuster"), Qt::LeftButton);
  QTest::mouseClick(Part<QPushButton>("Annuler"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return !fit->Worker().IsRunning(); }, 90000));
  EXPECT_TRUE(FitStatus().startsWith(QString::fromUtf8("Ajustement annulé")))
      << FitStatus().toStdString();
  EXPECT_FALSE(fit->Result());
  EXPECT_EQ(fit->Table().rowCount(), 0);
  EXPECT_FALSE(Part<QPushButton>("Appliquer")->isEnabled());

  QTest::mouseClick(Part<QPushButton>("Ajuster"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return !fit->Worker().IsRunning(); }, 90000));
  ASSERT_TRUE(fit->Result()) << FitStatus().toStdString();
  const fit::FitResult result = *fit->Result();
  ASSERT_EQ(result.Names, (std::vector<std::string>{"coating.SigmaQ", "HeatFlux"}));
  EXPECT_NEAR(result.Value[0] / 1.5e8, 1, 1e-6) << result.Termination;
  EXPECT_NEAR(result.Value[1] / 8e5, 1, 1e-6) << result.Termination;
  EXPECT_TRUE(watcher.MessageTexts.isEmpty()) << watcher.MessageTexts.join('\n').toStdString();
  // The table holds the fitted values, whole and unscrolled on a small screen, the chart the
  // record, the model and the residuals.
  ASSERT_EQ(fit->Table().rowCount(), 2);
  const QHeaderView& header = *fit->Table().horizontalHeader();
  const auto columnsWidth = [&header] {
    int width = 0;
    for (int column = 0; column < header.count(); ++column) width += header.sectionSize(column);
    return width;
  };
  // The pane widens and the table lays out after the rows come in: on a busy machine, later.
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return columnsWidth() <= fit->Table().viewport()->width(); }, 5000));
  for (int column = 1; column < header.count(); ++column) {
    for (int row = 0; row < 2; ++row) {
      const QString text = fit->Table().item(row, column)->text();
      EXPECT_GE(header.sectionSize(column), header.fontMetrics().horizontalAdvance(text))
          << text.toStdString();
    }
    EXPECT_GE(header.sectionSize(column), header.sectionSizeHint(column));
  }
  // In the unit of the figure's boxes (MPa).
  EXPECT_EQ(fit->Table().item(0, 2)->data(Qt::UserRole).toDouble(),
            Quantity("coating.SigmaQ").ToDisplay(result.Value[0]));
  EXPECT_EQ(fit->Chart().axisRectCount(), 4);

  // The user is asked first (every later run takes the row); refused, nothing is written.
  EXPECT_FALSE(fit->Appliquer());
  ASSERT_EQ(watcher.MessageTexts.size(), 1);
  EXPECT_TRUE(watcher.MessageTexts[0].contains(QString::fromUtf8("tous les calculs suivants")))
      << watcher.MessageTexts[0].toStdString();
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
  EXPECT_NE(window->Catalogue().FindMaterial("NiCrAlY (ajusté)"), nullptr);
  window->UndoStack().redo();
  EXPECT_EQ(UserCatalogue(dir / "user" / "materiaux.db").Read().size(), 1u);
  EXPECT_EQ(state.Input.CoatingMaterialName, "NiCrAlY (ajusté)");
}

// A record of the whole-deposit model fitted while the one-pass model is chosen.
TEST_F(FitWindowTest, TheModelIsInViewAndAFitThatDoesNotFollowAsksBeforeApplying) {
  ModalWatcher watcher([](QWidget* modal) {
    if (!ModalWatcher::Press(modal, QStringLiteral("Annuler"))) ModalWatcher::Dismiss(modal);
  });
  OpenFit();
  auto* model = Part<QComboBox>("FitStressModel");
  ASSERT_TRUE(model != nullptr);
  EXPECT_EQ(model->currentData().toString(), QString::fromStdString(kOnePassModel));
  // Picked here, the input window takes it; undone there, this window follows.
  model->setCurrentIndex(model->findData(QString::fromStdString(kWholeDepositModel)));
  emit model->activated(model->currentIndex());
  EXPECT_EQ(state.Input.StressModel, kWholeDepositModel);
  ASSERT_TRUE(fit->OpenRecord(WriteRecordOf({{"coating.SigmaQ", 1.5e8}})));
  window->UndoStack().undo();
  EXPECT_EQ(state.Input.StressModel, kOnePassModel);
  EXPECT_EQ(model->currentData().toString(), QString::fromStdString(kOnePassModel));
  // The study window shows it too, and changes it alike.
  Trigger("StudyWindow");
  auto* studied = window->findChild<QComboBox*>(QStringLiteral("StudyStressModel"));
  ASSERT_TRUE(studied != nullptr);
  EXPECT_EQ(studied->currentData().toString(), QString::fromStdString(kOnePassModel));
  studied->setCurrentIndex(studied->findData(QString::fromStdString(kWholeDepositModel)));
  emit studied->activated(studied->currentIndex());
  EXPECT_EQ(model->currentData().toString(), QString::fromStdString(kWholeDepositModel));
  window->UndoStack().undo();
  EXPECT_EQ(studied->currentData().toString(), QString::fromStdString(kOnePassModel));

  Part<QCheckBox>("Fit_coating.SigmaQ")->setChecked(true);
  QTest::mouseClick(Part<QPushButton>("Ajuster"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return !fit->Worker().IsRunning(); }, 90000));
  ASSERT_TRUE(fit->Result()) << FitStatus().toStdString();
  // The notes' wording is the session's (FitViewTest); the window shows them.
  EXPECT_TRUE(FitStatus().contains(QString::fromUtf8("ne suit pas l'enregistrement")))
      << FitStatus().toStdString();
  EXPECT_TRUE(Part<QLabel>("FitSummary")->text().contains(QString::fromUtf8("dépôt entier")));
  EXPECT_FALSE(fit->Appliquer());
  ASSERT_EQ(watcher.MessageTexts.size(), 1);
  EXPECT_TRUE(watcher.MessageTexts[0].contains(QString::fromUtf8("ne suit pas")));
  EXPECT_FALSE(UserCatalogue(dir / "user" / "materiaux.db").Exists());
}

TEST_F(FitWindowTest, TheWindowsListTheCoatsOfTheCaseAndAFitPicksACoatsRow) {
  WriteFile(dir / "two.json", R"({"StressModel": "whole-deposit",
    "SubstrateMaterialName": "Acier 316L", "CoatingMaterialName": "NiCrAlY",
    "Coats": [{"Material": "NiCrAlY", "PassCount": 3},
              {"Material": "Acier 316L", "PassCount": 5, "PauseBefore": 20}]})");
  OpenFit();
  auto* study = Show<ui::EtudeParametrique>("StudyWindow", "EtudeParametrique");
  auto* quantity = study->findChild<QComboBox*>(QStringLiteral("Quantity1"));
  Part<QLineEdit>("Min_HeatFlux")->setText(QStringLiteral("100"));
  const auto listed = [&] {
    return std::pair(Part<QCheckBox>("Fit_coat2.SigmaQ") != nullptr,
                     quantity->findData(QStringLiteral("coat2.SigmaQ")) >= 0);
  };
  EXPECT_EQ(listed(), std::pair(false, false));
  const struct {
    const char* file;
    bool coats;
  } cases[] = {{"two.json", true}, {"p1/case.json", false}};
  for (const auto& c : cases) {
    const std::filesystem::path path = c.coats ? dir / c.file : DataDir() / c.file;
    ASSERT_TRUE(window->OpenCaseFrom(QString::fromStdString(path.string())));
    // Brought to the front, each window follows; what was typed for a figure that stays stays.
    // Offscreen, the windows share one activation: the fit window's is sent.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(fit, &activate);
    Trigger("StudyWindow");
    EXPECT_EQ(listed(), std::pair(c.coats, c.coats)) << c.file;
    EXPECT_EQ(Part<QLineEdit>("Min_HeatFlux")->text(), QStringLiteral("100"));
    if (!c.coats) {
      // A row's choice stays listed, so that its entries never change behind it.
      EXPECT_EQ(quantity->currentData().toString(), QStringLiteral("coat2.PauseBefore"));
      continue;
    }
    // A coat's quantity starts its range from the coat's value.
    quantity->setCurrentIndex(quantity->findData(QStringLiteral("coat2.PauseBefore")));
    EXPECT_EQ(study->findChild<QLineEdit*>(QStringLiteral("From1"))->text(), QStringLiteral("10"));
    // A fitted later coat's row is picked for its coat, as one change that can be undone.
    ASSERT_TRUE(window->TakeFit("", {"", "NiCrAlY"}, std::nullopt));
    EXPECT_EQ(state.Input.Coats[1].Material, "NiCrAlY");
    window->UndoStack().undo();
    EXPECT_EQ(state.Input.Coats[1].Material, "Acier 316L");
  }
}

}  // namespace
}  // namespace quillane::test
