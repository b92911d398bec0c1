// The "Étude paramétrique" window; the rules behind its entries, table and charts are
// StudyFormTest's and StudyViewTest's.

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QTableView>

#include "GeometrieTestSupport.h"
#include "run/QuantityTable.h"
#include "study/StudyDesign.h"
#include "study/StudyRunner.h"
#include "ui/EtudeParametrique.h"

namespace quillane::test {
namespace {

struct Entry {
  const char* Quantity = "";   // "" for none
  const char* From = nullptr;  // nullptr keeps the range the window proposes
  const char* To = nullptr;
  int Steps = 0;
  bool Log = false;
  bool Normal = false;  // the law of a sampled study: normal (mean, deviation) or uniform
};

class StudyWindowTest : public GeometrieWindowFixture {
 protected:
  void OpenStudy() {
    Open();
    PickBoth();
    ShowStudy();
  }
  void ShowStudy() { study = Show<ui::EtudeParametrique>("StudyWindow", "EtudeParametrique"); }
  template <typename T>
  T* Part(const QString& name) const {
    return study->findChild<T*>(name);
  }
  // Chooses row 1 or 2's quantity and, when given, its range; the law first, as it proposes some.
  void Set(int row, const Entry& entry) {
    const QString n = QString::number(row);
    auto* name = Part<QComboBox>("Quantity" + n);
    const int index = name->findData(QString::fromLatin1(entry.Quantity));
    ASSERT_GE(index, 0) << entry.Quantity;
    name->setCurrentIndex(index);
    Part<QComboBox>("Law" + n)->setCurrentIndex(entry.Normal ? 1 : 0);
    if (entry.From == nullptr) return;
    Part<QLineEdit>("From" + n)->setText(QString::fromUtf8(entry.From));
    Part<QLineEdit>("To" + n)->setText(QString::fromUtf8(entry.To));
    Part<QSpinBox>("Steps" + n)->setValue(entry.Steps);
    Part<QComboBox>("Scale" + n)->setCurrentIndex(entry.Log ? 1 : 0);
  }
  void RunToEnd() {
    QTest::mouseClick(Part<QPushButton>("Lancer"), Qt::LeftButton);
    ASSERT_TRUE(study->Worker().IsRunning());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !study->Worker().IsRunning(); }, 60000));
  }
  // A cell's number, in the unit of its column.
  double Cell(int row, int column) const {
    return study->Table().model()->index(row, column).data(Qt::UserRole).toDouble();
  }
  int RowCount() const { return study->Table().model()->rowCount(); }
  QString Status() const { return Part<QLabel>("StudyStatus")->text(); }

  ui::EtudeParametrique* study = nullptr;
};

TEST_F(StudyWindowTest, OneQuantityGivesTheBatchTable) {
  OpenStudy();
  Set(1, {"HeatFlux"});
  Part<QSpinBox>("Steps1")->setValue(2);
  RunToEnd();
  // The export holds the rows of the same study as a file describes it, run point by point, in SI
  // with the units in its headings (the cells' units and wording: StudyViewTest).
  const study::Study expected = study::ReadStudyText(
      R"({"vary": [{"input": "HeatFlux", "from": 250000, "to": 750000, "steps": 2}]})", "s.json",
      state.Input, {});
  const auto points = study::DesignPoints(expected);
  study::StudyRows rows(points.size());
  for (std::size_t i = 0; i < points.size(); ++i)
    rows[i] = study::RunPoint(expected, points[i], window->Catalogue(), {}, i);
  ASSERT_TRUE(study->ExportTable(PathOf("table.csv")));
  const std::string batch = study::TableCsv(expected, rows);
  EXPECT_EQ(
      ReadFile(dir / "table.csv"),
      "point,HeatFlux (W/m²),FinalCurvature (1/m),FinalDeflection (m),SubstrateStressBackFinal "
      "(Pa),SubstrateStressFrontFinal (Pa),LamellaStressFinalMin (Pa),LamellaStressFinalMax "
      "(Pa),PeakSurfaceTemperature (K),PeakSubstrateTemperature (K),PeakInterfaceTemperature "
      "(K),ThermalRowCount,SingularMatrixEvents,status\n" +
          batch.substr(batch.find('\n') + 1));
}

TEST_F(StudyWindowTest, AFaultyEntryIsToldAndStopsTheStudyAndASampledOneGivesTheFilesPoints) {
  OpenStudy();
  Set(1, {"HeatFlux", "300", "900", 1, true});
  auto* from = Part<QLineEdit>("From1");
  from->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([from] { return from->hasFocus(); }));
  from->selectAll();
  QTest::keyClicks(from, "abc");
  QTest::keyClick(from, Qt::Key_Tab);
  EXPECT_TRUE(Status().contains(QString::fromUtf8("« abc »"))) << Status().toStdString();
  {
    ModalWatcher watcher;
    EXPECT_FALSE(study->Lancer());
    EXPECT_EQ(watcher.MessageTexts.size(), 1);
    EXPECT_FALSE(study->Worker().IsRunning());
  }
  from->setText(QStringLiteral("300"));
  emit from->editingFinished();

  Part<QComboBox>("Plan")->setCurrentIndex(1);
  Set(1, {"HeatFlux", "300", "900", 1, false, false});
  Set(2, {"coating.SigmaQ", "100", "20", 1, false, true});  // MPa
  Part<QSpinBox>("Samples")->setValue(8);
  Part<QSpinBox>("Seed")->setValue(11);
  RunToEnd();
  // The rows are the points the same study file draws.
  const study::Study expected = study::ReadStudyText(
      R"({"design": {"latin-hypercube": {"samples": 8, "seed": 11}}, "vary": [
          {"input": "HeatFlux", "distribution": {"uniform": [300000, 900000]}},
          {"input": "coating.SigmaQ", "distribution": {"normal": [1e8, 2e7]}}]})",
      "s.json", state.Input, {});
  const auto points = study::DesignPoints(expected);
  ASSERT_EQ(RowCount(), 8);
  for (int row = 0; row < 8; ++row) {
    EXPECT_EQ(Cell(row, 1), Quantity("HeatFlux").ToDisplay(points[row][0])) << row;
    EXPECT_EQ(Cell(row, 2), Quantity("coating.SigmaQ").ToDisplay(points[row][1])) << row;
  }
}

// Quitting names the study under way, then its rows until exported (wording: RunReportTest).
TEST_F(StudyWindowTest, EscapeHidesAStudyThatGoesOnQuittingAsksAndCancelKeepsTheRows) {
  Open();
  PickBoth();
  // More passes make each point long enough that cancelling leaves most of them undone.
  Enter({{ui::FieldId::Text4, "20"}});
  ShowStudy();
  Set(1, {"HeatFlux", "300", "900", 1000, false});
  QTest::mouseClick(Part<QPushButton>("Lancer"), Qt::LeftButton);
  study->activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == study; }));
  QTest::keyClick(study, Qt::Key_Escape);
  EXPECT_FALSE(study->isVisible());
  EXPECT_TRUE(study->Worker().IsRunning());
  ASSERT_TRUE(QTest::qWaitFor([this] { return study->FinishedPoints() > 1; }, 30000));
  const auto quit = [this](const char* answer) {
    ModalWatcher watcher([answer](QWidget* modal) { ModalWatcher::Press(modal, answer); });
    window->close();
    return watcher.MessageTexts;
  };
  const QStringList running = quit("Annuler");
  ASSERT_EQ(running.size(), 1);
  EXPECT_TRUE(running[0].contains(QString::fromUtf8("l'étude paramétrique en cours (")));
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(study->Worker().IsRunning());
  ShowStudy();
  QTest::mouseClick(Part<QPushButton>("Annuler"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return !study->Worker().IsRunning(); }, 30000));
  const int rows = RowCount();
  EXPECT_GE(rows, 2);
  EXPECT_LT(rows, 1001);
  const QStringList stopped = quit("Annuler");
  ASSERT_EQ(stopped.size(), 1);
  EXPECT_TRUE(stopped[0].contains(QString::fromUtf8("les %1 lignes de l'étude").arg(rows)));
  ASSERT_TRUE(study->ExportTable(PathOf("t.csv")));
  // Only the case's changes are left to ask about.
  const QStringList exported = quit("Ne pas enregistrer");
  ASSERT_EQ(exported.size(), 1);
  EXPECT_TRUE(exported[0].startsWith(QString::fromUtf8("Le cas")));
  EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace quillane::test
