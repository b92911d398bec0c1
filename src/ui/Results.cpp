#include "ui/Results.h"

#include <qcustomplot.h>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "session/ChartData.h"
#include "widgets/Charts.h"
#include "widgets/ResultGridModel.h"
#include "widgets/ResultGridView.h"
#include "widgets/Widgets.h"

namespace quillane::ui {

namespace {

// The grid fills the area; the chart lies over it from a fifth of the width to the right
// edge, so the time column stays in sight beside it.
class ChartOverGrid : public QWidget {
 public:
  explicit ChartOverGrid(QWidget* parent) : QWidget(parent) {}
  void Place(QWidget* grid, QWidget* chart) {
    grid_ = grid;
    chart_ = chart;
    Layout();
  }
  QSize sizeHint() const override { return QSize(900, 520); }

 protected:
  void resizeEvent(QResizeEvent*) override { Layout(); }

 private:
  void Layout() {
    if (grid_ == nullptr || chart_ == nullptr) return;
    grid_->setGeometry(rect());
    // The chart covers the grid to its edges: rows behind it must not peep out above or below.
    const int left = width() / 5;
    chart_->setGeometry(left, 0, width() - left, height());
  }
  QWidget* grid_ = nullptr;
  QWidget* chart_ = nullptr;
};

}  // namespace

Results::Results(QWidget* parent)
    : ResultWindow(QStringLiteral("Results"), QStringLiteral("Results"), parent) {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(8);

  auto* area = new ChartOverGrid(central);
  grid_ = new ResultGridModel(ResultGridModel::TitleRows::AsHeader, this);
  view_ = new ResultGridView(grid_, area);
  view_->setObjectName(QStringLiteral("Resultats"));
  chart_ = new QCustomPlot(area);
  chart_->setObjectName(QStringLiteral("MSChart1"));
  area->Place(view_, chart_);
  layout->addWidget(area, 1);
  area_ = area;
  SetUpChart();
  chart_->hide();

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(6);
  const struct {
    const char* Name;
    QString Text;
  } kButtons[] = {{"Command1", QStringLiteral("Edit Copy")},
                  {"Command5", QStringLiteral("Mask graphics")},
                  {"Command2", QStringLiteral("Building stress view")},
                  {"Command3", QStringLiteral("After cooling stress view")},
                  {"Command4", QStringLiteral("Arrow view")},
                  {"Command6", QStringLiteral("Champ thermique")}};
  QPushButton* made[6] = {};
  for (int i = 0; i < 6; ++i) {
    made[i] = new QPushButton(kButtons[i].Text, central);
    made[i]->setObjectName(QString::fromLatin1(kButtons[i].Name));
    made[i]->setAutoDefault(false);
    buttons->addWidget(made[i]);
  }
  buttons->addStretch(1);
  layout->addLayout(buttons);
  setCentralWidget(central);

  connect(made[0], &QPushButton::clicked, this, &Results::Command1_Click);
  connect(made[1], &QPushButton::clicked, this, &Results::Command5_Click);
  connect(made[2], &QPushButton::clicked, this, &Results::BuildingViewRequested);
  connect(made[3], &QPushButton::clicked, this, &Results::CoolingViewRequested);
  connect(made[4], &QPushButton::clicked, this, &Results::ArrowViewRequested);
  fieldButton_ = made[5];
  fieldButton_->setEnabled(false);
  connect(fieldButton_, &QPushButton::clicked, this, &Results::FieldViewRequested);

  QAction* fin = menuBar()->addAction(QStringLiteral("Fin"));
  fin->setObjectName(QStringLiteral("Fin"));
  connect(fin, &QAction::triggered, this, &Results::FinClicked);
  QAction* raz = menuBar()->addAction(QStringLiteral("RAZ"));
  raz->setObjectName(QStringLiteral("RAZ"));
  connect(raz, &QAction::triggered, this, &Results::RazClicked);

  connect(grid_, &ResultGridModel::CellSelected, this, [this] { PDraw_Click(); });
  AddRunPanel();
  ResizeWithinScreen(*this, 960, 640);
}

void Results::AddRunPanel() {
  runPanel_ = Named<QWidget>("RunPanel");
  auto* panel = new QVBoxLayout(runPanel_);
  runText_ = Named<QLabel>("RunPanelText", runPanel_);
  runText_->setAlignment(Qt::AlignCenter);
  runProgress_ = Named<QProgressBar>("RunPanelProgress", runPanel_);
  runProgress_->setRange(0, 1000);
  runProgress_->setFormat(QStringLiteral("%p %"));
  runProgress_->setMinimumWidth(320);
  panel->addStretch(1);
  panel->addWidget(runText_);
  panel->addWidget(runProgress_, 0, Qt::AlignHCenter);
  panel->addStretch(1);
  auto* layout = static_cast<QVBoxLayout*>(centralWidget()->layout());
  layout->insertWidget(0, runPanel_, 1);
  runPanel_->hide();
}

void Results::ShowRunProgress(const QString& text, double fraction) {
  if (!runShown_) {
    runShown_ = true;
    area_->hide();
    chart_->hide();
    runPanel_->show();
    for (QPushButton* button : findChildren<QPushButton*>()) button->setEnabled(false);
  }
  runText_->setText(text);
  runProgress_->setValue(static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * 1000)));
}

void Results::EndRunProgress() {
  if (!runShown_) return;
  runShown_ = false;
  runPanel_->hide();
  area_->show();
  for (QPushButton* button : findChildren<QPushButton*>()) button->setEnabled(true);
  fieldButton_->setEnabled(fieldView_);
}

void Results::SetUpChart() {
  frame_ = new ChartFrame(*chart_, QStringLiteral("chart.png"));
  chart_->xAxis->setLabel(QStringLiteral("temps (secondes)"));
  chart_->yAxis->setLabel(QStringLiteral("Temperature (K)/thickness(mm)"));
  frame_->OnViewReset([this] { UpdatePointMarks(); });
  connect(chart_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
          [this] { UpdatePointMarks(); });
}

void Results::PDraw_Click() {
  chart_->show();
  chart_->raise();
  chart_->clearGraphs();
  chartPoints_ = 0;

  const int column = grid_->CurrentColumn();
  // The separators of the system locale, as the writers use them.
  const RegionalSettings locale = SettingsOf(QLocale());
  for (const session::XYSeries& series : session::GridColumnSeries(
           grid_->Store(), column, locale.DecimalSeparator, locale.GroupSeparator)) {
    QCPGraph* graph = chart_->addGraph();
    graph->setData(QVector<double>(series.X.begin(), series.X.end()),
                   QVector<double>(series.Y.begin(), series.Y.end()), true);
    graph->setAdaptiveSampling(true);
    chartPoints_ += static_cast<int>(series.X.size());
  }
  const QString title = QString::fromStdString(session::GridColumnTitle(grid_->Store(), column));
  chart_->yAxis->setLabel(QString::fromStdString(session::GridValueAxis(grid_->Store(), column)));
  if (chartPoints_ == 0) {
    // Nothing to plot (a column no row of the run filled): say so, with no range left over
    // from an earlier column.
    frame_->ShowEmpty(title);
    return;
  }
  frame_->SetTitle(title);
  frame_->ResetView();
}

void Results::UpdatePointMarks() {
  constexpr qsizetype kMostMarkedPoints = 5000;
  const QCPRange range = chart_->xAxis->range();
  qsizetype visible = 0;
  for (int i = 0; i < chart_->graphCount(); ++i) {
    const auto data = chart_->graph(i)->data();
    visible += data->findEnd(range.upper) - data->findBegin(range.lower);
  }
  const bool few = visible <= kMostMarkedPoints;
  const QCPScatterStyle marks = few ? QCPScatterStyle(QCPScatterStyle::ssDisc, ChartTone(0), 3.5)
                                    : QCPScatterStyle(QCPScatterStyle::ssNone);
  const QPen pen(ChartTone(0), few ? 1.5 : 1.0);
  for (int i = 0; i < chart_->graphCount(); ++i) {
    chart_->graph(i)->setScatterStyle(marks);
    chart_->graph(i)->setPen(pen);
  }
}

void Results::Command1_Click() {
  frame_->Copy();
}

void Results::Command5_Click() {
  chart_->hide();
}

bool Results::SaveChart(const QString& path) {
  return frame_->Save(path);
}

void Results::EnableFieldView(bool enabled) {
  fieldView_ = enabled;
  fieldButton_->setEnabled(enabled && !runShown_);
}

}  // namespace quillane::ui
