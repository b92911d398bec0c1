// The "Étude paramétrique" window opened from the input window: its rows are those of single
// points of the same study, two quantities give one curve per value of the second, bad entries
// are refused before any run, and cancelling keeps the finished rows.

#include <qcustomplot.h>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>
#include <QTableWidget>

#include "GeometrieTestSupport.h"
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
};

class StudyWindowTest : public GeometrieWindowFixture {
 protected:
  // The input window with both materials picked, and the study window it opens.
  void OpenStudy() {
    Open();
    PickBoth();
    ShowStudy();
  }
  void ShowStudy() {
    Trigger("StudyWindow");
    study = window->findChild<ui::EtudeParametrique*>(QStringLiteral("EtudeParametrique"));
    ASSERT_NE(study, nullptr);
    ASSERT_TRUE(study->isVisible());
  }
  template <typename T>
  T* Part(const QString& name) const {
    return study->findChild<T*>(name);
  }
  // Chooses the quantity of row 1 or 2 and, when given, its range.
  void Set(int row, const Entry& entry) {
    const QString n = QString::number(row);
    auto* name = Part<QComboBox>("Quantity" + n);
    const int index = name->findData(QString::fromLatin1(entry.Quantity));
    ASSERT_GE(index, 0) << entry.Quantity;
    name->setCurrentIndex(index);
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
  double Cell(int row, int column) const {
    return study->Table().item(row, column)->data(Qt::UserRole).toDouble();
  }
  QString Status() const { return Part<QLabel>("StudyStatus")->text(); }

  ui::EtudeParametrique* study = nullptr;
};

TEST_F(StudyWindowTest, OneQuantityGivesTheRowsOfSinglePointsAndExportsTheBatchTable) {
  OpenStudy();
  Set(1, {"HeatFlux"});
  // The range starts around the input window's value, in its unit (500 kW/m²).
  EXPECT_EQ(Part<QLineEdit>("From1")->text(), "250");
  EXPECT_EQ(Part<QLineEdit>("To1")->text(), "750");
  EXPECT_EQ(Part<QLabel>("Unit1")->text(), QString::fromUtf8("kW/m²"));
  Part<QSpinBox>("Steps1")->setValue(2);
  RunToEnd();
  EXPECT_TRUE(Status().startsWith(QString::fromUtf8("Étude terminée : 3 points")))
      << Status().toStdString();
  EXPECT_EQ(Part<QProgressBar>("StudyProgress")->value(), 3);

  // The same study as a file describes it, run point by point.
  const study::Study expected = study::ReadStudyText(
      R"({"vary": [{"input": "HeatFlux", "from": 250000, "to": 750000, "steps": 2}]})", "s.json",
      state.Input, {});
  const auto points = study::DesignPoints(expected);
  ASSERT_EQ(study->Table().rowCount(), 3);
  ASSERT_EQ(study->Table().columnCount(), 12);
  study::StudyRows rows(points.size());
  const std::atomic<bool> stop{false};
  for (std::size_t i = 0; i < points.size(); ++i) {
    rows[i] = study::RunPoint(expected, points[i], window->Catalogue(), {}, i, stop);
    ASSERT_EQ(rows[i]->Status, study::kStatusOk);
    const int row = static_cast<int>(i);
    EXPECT_EQ(Cell(row, 0), static_cast<double>(i + 1));
    EXPECT_EQ(Cell(row, 1), points[i][0]);
    for (std::size_t r = 0; r < study::kResultColumns.size(); ++r) {
      EXPECT_EQ(Cell(row, static_cast<int>(r) + 2), rows[i]->Results[r]) << r;
    }
    EXPECT_EQ(study->Table().item(row, 11)->text(), "ok");
  }
  // Not every point gives the same curvature: the value varied does reach the runs.
  EXPECT_NE(Cell(0, 2), Cell(2, 2));
  ASSERT_TRUE(study->ExportTable(QString::fromStdString((dir / "table.csv").string())));
  EXPECT_EQ(ReadFile(dir / "table.csv"), study::TableCsv(expected, rows));
}

TEST_F(StudyWindowTest, TwoQuantitiesGiveOneCurvePerValueOfTheOther) {
  OpenStudy();
  Set(1, {"HeatFlux", "300", "900", 2, false});
  Set(2, {"coating.SigmaQ", "5e7", "2e8", 1, true});
  EXPECT_EQ(Part<QLabel>("PointCount")->text(), "6 points");
  RunToEnd();
  ASSERT_EQ(study->Table().rowCount(), 6);
  QCustomPlot& chart = study->Chart();
  const struct {
    int Axis;
    int Curves;
    int PointsEach;
    const char* FirstName;
  } views[] = {{0, 2, 3, "coating.SigmaQ = 50000000 Pa"}, {1, 3, 2, "HeatFlux = 300000 W/m²"}};
  for (const auto& view : views) {
    Part<QComboBox>("AxisChoice")->setCurrentIndex(view.Axis);
    ASSERT_EQ(chart.graphCount(), view.Curves) << view.Axis;
    EXPECT_TRUE(chart.legend->visible());
    EXPECT_EQ(chart.graph(0)->name(), QString::fromUtf8(view.FirstName));
    // Each curve holds the rows of one value of the other quantity, against the chosen one.
    for (int g = 0; g < view.Curves; ++g) {
      const auto data = chart.graph(g)->data();
      ASSERT_EQ(data->size(), view.PointsEach);
      for (auto point = data->constBegin(); point != data->constEnd(); ++point) {
        bool found = false;
        for (int row = 0; row < 6; ++row) {
          const int other = 2 - view.Axis;
          const double otherValue = chart.graph(g)->name().section(' ', 2, 2).toDouble();
          found = found || (Cell(row, 1 + view.Axis) == point->key &&
                            Cell(row, other) == otherValue && Cell(row, 3) == point->value);
        }
        EXPECT_TRUE(found) << view.Axis << " " << g << " " << point->key;
      }
    }
  }
  EXPECT_EQ(chart.xAxis->scaleType(), QCPAxis::stLogarithmic);
  for (const char* suffix : {"png", "svg", "pdf"}) {
    const auto path = dir / (std::string("chart.") + suffix);
    EXPECT_TRUE(study->SaveChart(QString::fromStdString(path.string()))) << suffix;
    EXPECT_GT(std::filesystem::file_size(path), 500u) << suffix;
  }
}

TEST_F(StudyWindowTest, BadEntriesAreRefusedBeforeAnyRun) {
  OpenStudy();
  const struct {
    Entry First;
    Entry Second;
    const char* Message;
  } cases[] = {
      {{"HeatFlux", "900", "300", 2, false},
       {},
       "Grandeur 1 (HeatFlux) : l'intervalle est inversé : le début 900 est au-dessus de la fin "
       "300."},
      {{"HeatFlux", "abc", "300", 2, false}, {}, "le début « abc » n'est pas un nombre."},
      {{"HeatFlux", "0", "300", 2, true}, {}, "une échelle logarithmique"},
      {{"PassCount", "1", "3", 4, false}, {}, "la valeur 1.5 n'est pas un nombre entier"},
      {{"PassThickness", "1", "2e6", 1, false},
       {},
       "la valeur 2000000 µm est hors limites ; elle doit être comprise entre 0.001 et 1000000 "
       "µm."},
      {{"coating.Poisson", "0.5", "1.5", 2, false}, {}, "doit être inférieure à 1"},
      {{"HeatFlux", "300", "900", 2, false},
       {"HeatFlux", "300", "900", 2, false},
       "Grandeur 2 (HeatFlux) : la grandeur 1 est déjà celle-là."},
  };
  for (const auto& c : cases) {
    Set(1, c.First);
    Set(2, c.Second);
    ModalWatcher watcher;
    EXPECT_FALSE(study->Lancer());
    ASSERT_EQ(watcher.MessageTexts.size(), 1);
    EXPECT_TRUE(
        watcher.MessageTexts[0].startsWith(QString::fromUtf8("L'étude ne peut pas démarrer")));
    EXPECT_TRUE(watcher.MessageTexts[0].contains(QString::fromUtf8(c.Message)))
        << watcher.MessageTexts[0].toStdString();
    EXPECT_FALSE(study->Worker().IsRunning());
    EXPECT_EQ(study->Table().rowCount(), 0);
    EXPECT_TRUE(Status().startsWith(QString::fromUtf8("Étude non lancée")));
  }
}

TEST_F(StudyWindowTest, CancelKeepsTheFinishedRowsInOrder) {
  Open();
  PickBoth();
  // More passes make each point long enough that cancelling leaves most of them undone.
  TypeAndLeave(ui::FieldId::Text4, "20");
  ShowStudy();
  Set(1, {"HeatFlux", "300", "900", 1000, false});
  QTest::mouseClick(Part<QPushButton>("Lancer"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return study->Worker().Done() > 0; }, 30000));
  QTest::mouseClick(Part<QPushButton>("Annuler"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return !study->Worker().IsRunning(); }, 30000));
  const int rows = study->Table().rowCount();
  EXPECT_GE(rows, 1);
  EXPECT_LT(rows, 1001);
  EXPECT_EQ(Part<QProgressBar>("StudyProgress")->value(), rows);
  EXPECT_TRUE(Status().startsWith(
      QString::fromUtf8("Étude annulée : %1 point(s) terminé(s) sur 1001").arg(rows)))
      << Status().toStdString();
  for (int row = 1; row < rows; ++row) EXPECT_LT(Cell(row - 1, 0), Cell(row, 0));
  EXPECT_TRUE(Part<QPushButton>("Lancer")->isEnabled());
}

}  // namespace
}  // namespace quillane::test
