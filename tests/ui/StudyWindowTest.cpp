// The "Étude paramétrique" window; the rules behind its entries, table and charts are
// StudyFormTest's and StudyViewTest's.

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QSpinBox>
#include <QTableView>

#include "GeometrieTestSupport.h"
#include "run/QuantityTable.h"
#include "study/StudyDesign.h"
#include "study/StudyRunner.h"
#include "ui/AjustementMesures.h"
#include "ui/EtudeParametrique.h"
#include "ui/Results.h"

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

// The actions of a chart's context menu as "name=text"; the one named `pick` is triggered.
QStringList ChartMenu(QCustomPlot& chart, const QString& pick = QString()) {
  QStringList actions;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
      if (action->isSeparator()) continue;
      actions << action->objectName() + '=' + action->text();
      if (action->objectName() == pick) action->trigger();
    }
    menu->close();
  });
  emit chart.customContextMenuRequested(QPoint(20, 20));
  return actions;
}

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
  QVariant Data(int row, int column, int role) const {
    const QAbstractItemModel& model = *study->Table().model();
    return model.data(model.index(row, column), role);
  }
  // A cell's number, in the unit of its column.
  double Cell(int row, int column) const { return Data(row, column, Qt::UserRole).toDouble(); }
  int RowCount() const { return study->Table().model()->rowCount(); }
  QString Status() const { return Part<QLabel>("StudyStatus")->text(); }

  ui::EtudeParametrique* study = nullptr;
};

TEST_F(StudyWindowTest, OneQuantityGivesTheBatchTableAndItsChartWithTheSharedMenu) {
  OpenStudy();
  QCustomPlot& chart = study->Chart();
  EXPECT_EQ(ChartTitle(chart), QString::fromUtf8("Aucune donnée"));
  const QStringList menu = {QStringLiteral("copyChart=Copier"),
                            QString::fromUtf8("saveChart=Enregistrer…"),
                            QString::fromUtf8("resetView=Réinitialiser le zoom")};
  EXPECT_EQ(ChartMenu(chart), menu);
  Set(1, {"HeatFlux"});
  Part<QSpinBox>("Steps1")->setValue(2);
  RunToEnd();
  EXPECT_TRUE(Status().startsWith(QString::fromUtf8("Étude terminée : 3 points")))
      << Status().toStdString();
  EXPECT_EQ(Part<QProgressBar>("StudyProgress")->value(), 3);

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

  // The chart (its wording is StudyChartTest's): a zoom is undone from the menu; stresses in
  // MPa, as in the table.
  EXPECT_EQ(ChartTitle(chart), "FinalCurvature en fonction de HeatFlux");
  const QCPRange fittedX = chart.xAxis->range(), fittedY = chart.yAxis->range();
  chart.xAxis->setRange(0, 10);
  chart.yAxis->setRange(0, 10);
  EXPECT_EQ(ChartMenu(chart, QStringLiteral("resetView")), menu);
  EXPECT_EQ(chart.xAxis->range(), fittedX);
  EXPECT_EQ(chart.yAxis->range(), fittedY);
  constexpr int kSubstrateBack = 2;
  Part<QComboBox>("ResultChoice")->setCurrentIndex(kSubstrateBack);
  EXPECT_EQ(chart.yAxis->label(), "SubstrateStressBackFinal (MPa)");
  ASSERT_EQ(chart.graph(0)->data()->size(), 3);
  for (int row = 0; row < 3; ++row)
    EXPECT_DOUBLE_EQ(chart.graph(0)->data()->at(row)->value, Cell(row, 2 + kSubstrateBack));
  // A format the chart cannot be saved in is named with those it can.
  {
    const QString jpg = PathOf("chart.jpg");
    ModalWatcher watcher([&jpg](QWidget* modal) { ModalWatcher::ChooseFile(modal, jpg); });
    QTest::mouseClick(Part<QPushButton>("SaveChart"), Qt::LeftButton);
    ASSERT_EQ(watcher.MessageTexts.size(), 1);
    EXPECT_EQ(watcher.MessageTexts[0],
              QString::fromUtf8("Le graphique n'a pas pu être enregistré dans %1 (formats "
                                "possibles : PNG, SVG ou PDF).")
                  .arg(jpg));
    EXPECT_FALSE(std::filesystem::exists(dir / "chart.jpg"));
  }

  // Shown again, the window keeps the entries beside the rows they gave; the range started around
  // the input window's value, in its unit (500 kW/m²).
  study->close();
  ShowStudy();
  EXPECT_EQ(Part<QLineEdit>("From1")->text(), "250");
  EXPECT_EQ(Part<QSpinBox>("Steps1")->value(), 2);
  EXPECT_EQ(RowCount(), 3);
  // The fit window's chart before any record, and the results chart, offer the same menu.
  auto* fit = Show<ui::AjustementMesures>("FitWindow", "AjustementMesures");
  EXPECT_EQ(ChartTitle(fit->Chart()), QString::fromUtf8("Aucune donnée"));
  EXPECT_EQ(ChartMenu(fit->Chart()), menu);
  EXPECT_EQ(ChartMenu(windows->ResultsWindow().Chart()), menu);
}

TEST_F(StudyWindowTest, TwoQuantitiesGiveCurvesOnALegendOrAColourScaleOrWhenSampledACloud) {
  OpenStudy();
  Set(1, {"HeatFlux", "300", "900", 1, true});
  Set(2, {"SubstrateTemperature", "300", "365", 13, false});
  // Before any study the bar counts the points the entries ask for. A bad entry is marked and
  // told as soon as it is left, and no longer once mended.
  EXPECT_EQ(Part<QProgressBar>("StudyProgress")->text(), "0 / 28 points");
  auto* from = Part<QLineEdit>("From1");
  from->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([from] { return from->hasFocus(); }));
  from->selectAll();
  QTest::keyClicks(from, "abc");
  QTest::keyClick(from, Qt::Key_Tab);
  EXPECT_TRUE(from->property("outOfRange").toBool());
  EXPECT_TRUE(Status().contains(QString::fromUtf8("« abc »"))) << Status().toStdString();
  EXPECT_EQ(from->toolTip(), Status());
  {
    // A study with a fault does not start; the box says why (the wording is the session's).
    ModalWatcher watcher;
    EXPECT_FALSE(study->Lancer());
    ASSERT_EQ(watcher.MessageTexts.size(), 1);
    EXPECT_TRUE(
        watcher.MessageTexts[0].startsWith(QString::fromUtf8("L'étude ne peut pas démarrer")));
    EXPECT_FALSE(study->Worker().IsRunning());
  }
  from->setText(QStringLiteral("300"));
  emit from->editingFinished();
  EXPECT_FALSE(from->property("outOfRange").toBool());
  EXPECT_TRUE(Status().isEmpty()) << Status().toStdString();
  RunToEnd();
  ASSERT_EQ(RowCount(), 28);
  QCustomPlot& chart = study->Chart();
  const struct {
    int Axis, Curves;
    bool Scale;
  } views[] = {{0, 14, true}, {1, 2, false}, {0, 14, true}};
  for (const auto& view : views) {
    Part<QComboBox>("AxisChoice")->setCurrentIndex(view.Axis);
    ASSERT_EQ(chart.graphCount(), view.Curves);
    EXPECT_EQ(chart.legend->visible(), !view.Scale);
    for (int g = 0; g < view.Curves; ++g)
      EXPECT_EQ(chart.graph(g)->data()->size(), 28 / view.Curves);
    EXPECT_EQ(chart.plotLayout()->hasElement(1, 1) &&
                  qobject_cast<QCPColorScale*>(chart.plotLayout()->element(1, 1)) != nullptr,
              view.Scale)
        << view.Axis;
  }
  EXPECT_EQ(chart.xAxis->scaleType(), QCPAxis::stLogarithmic);
  EXPECT_FALSE(Part<QLabel>("RankCorrelation")->isVisible());
  for (const char* suffix : {"png", "svg", "pdf"}) {
    const auto path = dir / (std::string("chart.") + suffix);
    EXPECT_TRUE(study->SaveChart(QString::fromStdString(path.string()))) << suffix;
    EXPECT_GT(std::filesystem::file_size(path), 500u) << suffix;
  }
  // One line per row, each cell's text whole in its column.
  const QTableView& table = study->Table();
  EXPECT_FALSE(table.wordWrap());
  const QFontMetrics metrics(table.font());
  for (int column = 0; column < table.model()->columnCount(); ++column) {
    for (int row = 0; row < RowCount(); ++row) {
      EXPECT_LT(metrics.horizontalAdvance(Data(row, column, Qt::DisplayRole).toString()),
                table.columnWidth(column))
          << row << ',' << column;
    }
  }

  // A sampled study: the drawn points as a cloud, with their rank correlations.
  Part<QComboBox>("Plan")->setCurrentIndex(1);
  Set(1, {"HeatFlux", "300", "900", 1, false, false});
  Set(2, {"coating.SigmaQ", "100", "20", 1, false, true});  // MPa
  Part<QSpinBox>("Samples")->setValue(8);
  Part<QSpinBox>("Seed")->setValue(11);
  EXPECT_EQ(Part<QLabel>("PointCount")->text(), "8 points");
  RunToEnd();

  // The rows are the points the same study file draws.
  const study::Study expected = study::ReadStudyText(
      R"({"design": {"latin-hypercube": {"samples": 8, "seed": 11}}, "vary": [
          {"input": "HeatFlux", "distribution": {"uniform": [300000, 900000]}},
          {"input": "coating.SigmaQ", "distribution": {"normal": [1e8, 2e7]}}]})",
      "s.json", state.Input, {});
  const auto points = study::DesignPoints(expected);
  ASSERT_EQ(RowCount(), 8);
  // One cloud of points, no line, each a row of the table: (heat flux, peak temperature).
  constexpr int kPeakTemperature = 6;
  Part<QComboBox>("ResultChoice")->setCurrentIndex(kPeakTemperature);
  ASSERT_EQ(chart.graphCount(), 1);
  EXPECT_EQ(chart.graph(0)->lineStyle(), QCPGraph::lsNone);
  EXPECT_EQ(chart.graph(0)->dataCount(), 8);
  for (int row = 0; row < 8; ++row) {
    EXPECT_EQ(Cell(row, 1), Quantity("HeatFlux").ToDisplay(points[row][0])) << row;
    EXPECT_EQ(Cell(row, 2), Quantity("coating.SigmaQ").ToDisplay(points[row][1])) << row;
  }
  // The correlations and their wording are the session's (StudyFormTest); the window shows them.
  EXPECT_TRUE(Part<QLabel>("RankCorrelation")->isVisible());
  EXPECT_TRUE(Part<QLabel>("RankCorrelation")
                  ->text()
                  .startsWith(QString::fromUtf8("Corrélation de rang (Spearman) : HeatFlux ")));
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
  EXPECT_EQ(Part<QProgressBar>("StudyProgress")->value(), rows);
  EXPECT_TRUE(Status().startsWith(
      QString::fromUtf8("Étude annulée : %1 point(s) terminé(s) sur 1001").arg(rows)))
      << Status().toStdString();
  for (int row = 1; row < rows; ++row) EXPECT_LT(Cell(row - 1, 0), Cell(row, 0));
  EXPECT_TRUE(Part<QPushButton>("Lancer")->isEnabled());
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
