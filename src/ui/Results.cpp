#include "ui/Results.h"

#include <qcustomplot.h>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <optional>
#include <string>

#include "format/NumberFormat.h"
#include "ui/ChartFile.h"
#include "ui/ResultGridModel.h"
#include "ui/ResultGridView.h"
#include "ui/ResultWindowStyle.h"

namespace quillane::ui {

namespace {

constexpr QRgb kSeriesColour = 0xFF0046A0;

struct Separators {
  char Decimal = '.';
  char Group = ',';
};

// The decimal and group separators of the system locale, as the writers use them.
Separators LocaleSeparators() {
  const QLocale locale;
  Separators separators;
  const QString decimal = locale.decimalPoint();
  const QString group = locale.groupSeparator();
  if (decimal.size() == 1 && decimal[0].unicode() < 0x80)
    separators.Decimal = decimal[0].toLatin1();
  separators.Group = group.size() == 1 && group[0].unicode() < 0x80 ? group[0].toLatin1() : '\0';
  return separators;
}

// A cell as a number: the locale's conventions first, then the point that a grid written
// under another locale carries.
std::optional<double> ReadNumber(std::string_view text, const Separators& separators) {
  if (auto value = format::ParseStrict(text, separators.Decimal, separators.Group)) return value;
  if (separators.Decimal != '.') return format::ParseStrict(text, '.', ',');
  return std::nullopt;
}

// Decimals needed for ticks that far apart to read differently: none for whole steps, else
// just enough for the step itself (the tickers step by 1, 2, 2.5 or 5 times a power of ten).
int DecimalsForStep(double step) {
  step = std::fabs(step);
  if (!(step > 0) || !std::isfinite(step)) return 0;
  for (int decimals = 0; decimals < 15; ++decimals) {
    const double scaled = step * std::pow(10.0, decimals);
    if (std::fabs(scaled - std::round(scaled)) <= 1e-6 * scaled) return decimals;
  }
  return 15;
}

// Tick labels in the pattern "###0", widened with decimals where the axis spans too little
// for whole numbers to differ (the thickness column, in metres).
class PatternTicker : public QCPAxisTicker {
 protected:
  QVector<QString> createLabelVector(const QVector<double>& ticks, const QLocale&, QChar,
                                     int) override {
    const double step = ticks.size() >= 2 ? ticks[1] - ticks[0] : 1.0;
    const int decimals = DecimalsForStep(step);
    std::string pattern = "###0";
    if (decimals > 0) pattern += '.' + std::string(static_cast<std::size_t>(decimals), '0');
    const char decimal = LocaleSeparators().Decimal;
    QVector<QString> labels;
    labels.reserve(ticks.size());
    for (double tick : ticks) {
      labels.append(QString::fromStdString(format::FormatPattern(tick, pattern, decimal)));
    }
    return labels;
  }
};

// Widens a range by a margin on each side; a range without extent gets a tenth of its value
// (or 1 about zero) so that a flat series still shows.
QCPRange WithMargin(const QCPRange& range) {
  if (range.size() > 0) {
    const double margin = range.size() * 0.04;
    return QCPRange(range.lower - margin, range.upper + margin);
  }
  const double half = range.center() != 0 ? std::fabs(range.center()) * 0.05 : 0.5;
  return QCPRange(range.center() - half, range.center() + half);
}

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
    const int left = width() / 5;
    chart_->setGeometry(left, 2, width() - left, std::max(height() - 4, 0));
  }
  QWidget* grid_ = nullptr;
  QWidget* chart_ = nullptr;
};

}  // namespace

Results::Results(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Results"));
  setWindowTitle(QStringLiteral("Results"));
  setAttribute(Qt::WA_DeleteOnClose);
  ApplyResultWindowFont(*this);

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
                  {"Command4", QStringLiteral("Arrow view")}};
  QPushButton* made[5] = {};
  for (int i = 0; i < 5; ++i) {
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

  QAction* fin = menuBar()->addAction(QStringLiteral("Fin"));
  fin->setObjectName(QStringLiteral("Fin"));
  connect(fin, &QAction::triggered, this, &Results::FinClicked);
  QAction* raz = menuBar()->addAction(QStringLiteral("RAZ"));
  raz->setObjectName(QStringLiteral("RAZ"));
  connect(raz, &QAction::triggered, this, &Results::RazClicked);

  connect(grid_, &ResultGridModel::CellSelected, this, [this] { PDraw_Click(); });
  resize(960, 640);
}

void Results::SetUpChart() {
  chart_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  chart_->axisRect()->setRangeDrag(Qt::Horizontal | Qt::Vertical);
  chart_->axisRect()->setRangeZoom(Qt::Horizontal | Qt::Vertical);
  chart_->setNoAntialiasingOnDrag(true);
  chart_->setFont(font());
  QFont axisFont = font();
  chart_->xAxis->setLabel(QStringLiteral("temps (secondes)"));
  chart_->yAxis->setLabel(QStringLiteral("Temperature (K)/thickness(mm)"));
  for (QCPAxis* axis : {chart_->xAxis, chart_->yAxis}) {
    axis->setTicker(QSharedPointer<PatternTicker>::create());
    axis->setLabelFont(axisFont);
    axis->setTickLabelFont(axisFont);
  }
  chart_->plotLayout()->insertRow(0);
  QFont titleFont = font();
  titleFont.setBold(true);
  chartTitle_ = new QCPTextElement(chart_, QString(), titleFont);
  chart_->plotLayout()->addElement(0, 0, chartTitle_);
  chart_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(chart_, &QWidget::customContextMenuRequested, this, &Results::ShowChartMenu);
  connect(chart_, &QCustomPlot::mouseDoubleClick, this, [this] { ResetChartView(); });
  connect(chart_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
          [this] { UpdatePointMarks(); });
}

void Results::PDraw_Click() {
  chart_->show();
  chart_->raise();
  chart_->clearGraphs();
  chartPoints_ = 0;

  const int column = grid_->CurrentColumn();
  const Separators separators = LocaleSeparators();
  QVector<double> keys;
  QVector<double> values;
  // Each run of rising times is one series: a second run appended to the grid starts again
  // at time 0 and must not be joined to the end of the first.
  auto flush = [&] {
    if (keys.isEmpty()) return;
    QCPGraph* graph = chart_->addGraph();
    graph->setData(keys, values, true);
    graph->setLineStyle(QCPGraph::lsLine);
    graph->setAdaptiveSampling(true);
    chartPoints_ += static_cast<int>(keys.size());
    keys.clear();
    values.clear();
  };
  const ResultRowStore& store = grid_->Store();
  store.ForEachRow(2, store.RowCount() - 1, [&](int, std::string_view text) {
    const std::string_view timeText = ResultRowStore::Field(text, 0);
    const std::string_view valueText = ResultRowStore::Field(text, column);
    if (timeText.empty() || valueText.empty()) return;
    const std::optional<double> time = ReadNumber(timeText, separators);
    const std::optional<double> value = ReadNumber(valueText, separators);
    if (!time || !value) return;
    if (!keys.isEmpty() && *time < keys.back()) flush();
    keys.append(*time);
    values.append(*value);
  });
  flush();

  QString title = QString::fromStdString(grid_->Cell(0, column)).trimmed();
  const QString unit = QString::fromStdString(grid_->Cell(1, column)).trimmed();
  if (!unit.isEmpty()) title += QStringLiteral(" (%1)").arg(unit);
  if (chartPoints_ == 0) {
    // Nothing to plot (a column no row of the run filled): say so, with no range left over
    // from an earlier column.
    chartTitle_->setText(title + QStringLiteral(" : aucune donnée"));
    chart_->xAxis->setRange(0, 1);
    chart_->yAxis->setRange(0, 1);
    chart_->replot();
    return;
  }
  chartTitle_->setText(title);
  ResetChartView();
}

void Results::ResetChartView() {
  chart_->rescaleAxes();
  chart_->xAxis->setRange(WithMargin(chart_->xAxis->range()));
  chart_->yAxis->setRange(WithMargin(chart_->yAxis->range()));
  UpdatePointMarks();
  chart_->replot();
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
  const QCPScatterStyle marks =
      few ? QCPScatterStyle(QCPScatterStyle::ssDisc, QColor(kSeriesColour), 3.5)
          : QCPScatterStyle(QCPScatterStyle::ssNone);
  const QPen pen(QColor(kSeriesColour), few ? 1.5 : 1.0);
  for (int i = 0; i < chart_->graphCount(); ++i) {
    chart_->graph(i)->setScatterStyle(marks);
    chart_->graph(i)->setPen(pen);
  }
}

void Results::Command1_Click() {
  QGuiApplication::clipboard()->setPixmap(chart_->toPixmap());
}

void Results::Command5_Click() {
  chart_->hide();
}

bool Results::CanSaveSvg() {
  return CanSaveChartSvg();
}

bool Results::SaveChart(const QString& path) {
  return SaveChartFile(*chart_, path, chartTitle_->text());
}

void Results::SaveChartAs(const QString& suffix, const QString& filter) {
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Enregistrer le graphique"),
                                              QStringLiteral("chart.") + suffix, filter);
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().toLower() != suffix) path += '.' + suffix;
  if (!SaveChart(path)) {
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("Le graphique n'a pas pu être enregistré dans %1.").arg(path));
  }
}

void Results::ShowChartMenu(const QPoint& position) {
  QMenu menu(this);
  QAction* png = menu.addAction(QStringLiteral("Enregistrer en PNG…"), this, [this] {
    SaveChartAs(QStringLiteral("png"), QStringLiteral("Images PNG (*.png)"));
  });
  png->setObjectName(QStringLiteral("savePng"));
  if (CanSaveSvg()) {
    menu.addAction(
            QStringLiteral("Enregistrer en SVG…"), this,
            [this] { SaveChartAs(QStringLiteral("svg"), QStringLiteral("Dessins SVG (*.svg)")); })
        ->setObjectName(QStringLiteral("saveSvg"));
  }
  menu.addAction(
          QStringLiteral("Enregistrer en PDF…"), this,
          [this] { SaveChartAs(QStringLiteral("pdf"), QStringLiteral("Documents PDF (*.pdf)")); })
      ->setObjectName(QStringLiteral("savePdf"));
  menu.addAction(QStringLiteral("Copier"), this, &Results::Command1_Click)
      ->setObjectName(QStringLiteral("copyChart"));
  menu.addSeparator();
  menu.addAction(QStringLiteral("Vue d'ensemble"), this, &Results::ResetChartView)
      ->setObjectName(QStringLiteral("resetView"));
  menu.exec(chart_->mapToGlobal(position));
}

void Results::closeEvent(QCloseEvent* event) {
  event->accept();
  emit Closed();
}

}  // namespace quillane::ui
