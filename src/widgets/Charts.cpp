#include "widgets/Charts.h"

#include <qcustomplot.h>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#ifdef QUILLANE_HAVE_QT_SVG
#include <QSvgGenerator>
#endif

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <utility>

#include "session/ChartData.h"
#include "session/WindowText.h"
#include "widgets/Widgets.h"

namespace quillane::ui {

namespace {

// Twelve tones, as many as a legend tells apart (session::kMostLegendCurves).
constexpr QRgb kPalette[] = {0xFF0046A0, 0xFFC0392B, 0xFF27AE60, 0xFF8E44AD,
                             0xFFE67E22, 0xFF16A085, 0xFF7F8C8D, 0xFFB7950B,
                             0xFFE84393, 0xFF6D4C41, 0xFF2E86C1, 0xFF000000};

class LocaleTicker : public QCPAxisTicker {
 protected:
  QVector<QString> createLabelVector(const QVector<double>& ticks, const QLocale&, QChar,
                                     int) override {
    QVector<QString> labels;
    labels.reserve(ticks.size());
    for (const std::string& label :
         session::TickLabels(std::vector<double>(ticks.begin(), ticks.end()),
                             SettingsOf(QLocale()).DecimalSeparator)) {
      labels.append(QString::fromStdString(label));
    }
    return labels;
  }
};

QString Formats() {
#ifdef QUILLANE_HAVE_QT_SVG
  return QStringLiteral("PNG, SVG ou PDF");
#else
  return QStringLiteral("PNG ou PDF");
#endif
}

// Asks where to save a chart, starting from `suggested`; the chosen filter's suffix is added to
// a name given without one. Empty when the user cancels.
QString ChooseChartPath(QWidget* parent, const QString& suggested) {
  QStringList filters{QStringLiteral("Images PNG (*.png)")};
#ifdef QUILLANE_HAVE_QT_SVG
  filters << QStringLiteral("Dessins SVG (*.svg)");
#endif
  filters << QStringLiteral("Documents PDF (*.pdf)");
  QString chosen = filters.front();
  const QString path =
      QFileDialog::getSaveFileName(parent, QStringLiteral("Enregistrer le graphique"),
                                   QDir(RememberedFolder("graphique")).filePath(suggested),
                                   filters.join(QStringLiteral(";;")), &chosen);
  if (path.isEmpty()) return {};
  RememberFolder("graphique", path);
  return Q(session::WithFilterSuffix(path.toStdString(), chosen.toStdString()));
}

// What a legend box at a corner would cover: data points weigh more than any number of
// stretches of line between them.
struct Covered {
  int Points = 0;
  int Lines = 0;
  bool operator<(const Covered& other) const {
    return Points != other.Points ? Points < other.Points : Lines < other.Lines;
  }
};

// The box a legend would have, drawn in the corner `alignment` of the panel.
QRectF LegendBox(const QCPAxisRect& panel, const QCPLegend& legend, Qt::Alignment alignment) {
  const QSize size = legend.minimumOuterSizeHint();
  const QRect area = panel.rect();
  const double left =
      alignment & Qt::AlignLeft ? area.left() : area.left() + area.width() - size.width();
  const double top =
      alignment & Qt::AlignTop ? area.top() : area.top() + area.height() - size.height();
  const QMargins margins = legend.margins();
  return QRectF(left + margins.left(), top + margins.top(),
                size.width() - margins.left() - margins.right(),
                size.height() - margins.top() - margins.bottom());
}

// The graphs drawn in the panel, as pixels, counted against a box (a marker's reach around it).
Covered CoveredBy(const QCustomPlot& plot, const QCPAxisRect& panel, const QRectF& box) {
  constexpr int kSteps = 8;
  constexpr double kMarker = 4;
  const QRectF reach = box.adjusted(-kMarker, -kMarker, kMarker, kMarker);
  Covered covered;
  for (int g = 0; g < plot.graphCount(); ++g) {
    const QCPGraph& graph = *plot.graph(g);
    if (graph.keyAxis()->axisRect() != &panel || !graph.visible()) continue;
    const bool line = graph.lineStyle() != QCPGraph::lsNone;
    QPointF last;
    bool first = true;
    for (const QCPGraphData& point : *graph.data()) {
      const QPointF at(graph.keyAxis()->coordToPixel(point.key),
                       graph.valueAxis()->coordToPixel(point.value));
      if (!std::isfinite(at.x()) || !std::isfinite(at.y())) continue;
      if (graph.scatterStyle().shape() != QCPScatterStyle::ssNone || !line) {
        covered.Points += reach.contains(at);
      }
      for (int k = 1; line && !first && k < kSteps; ++k) {
        covered.Lines += box.contains(last + (at - last) * k / kSteps);
      }
      last = at;
      first = false;
    }
  }
  return covered;
}

// The value axis of the panel grown upwards by the legend's height, so that the data, which it
// held before, lies below the legend at the top.
void MakeRoomAbove(QCPAxisRect& panel, const QCPLegend& legend) {
  QCPAxis& axis = *panel.axis(QCPAxis::atLeft);
  const double height = panel.rect().height();
  const double room = legend.minimumOuterSizeHint().height() + 8;
  if (height <= 2 * room) return;
  const double grow = height / (height - room);
  const QCPRange range = axis.range();
  if (axis.scaleType() == QCPAxis::stLogarithmic) {
    axis.setRangeUpper(range.lower * std::pow(range.upper / range.lower, grow));
  } else {
    axis.setRangeUpper(range.lower + (range.upper - range.lower) * grow);
  }
}

void FitAxis(QCPAxis& axis) {
  axis.rescale();
  const QCPRange range = axis.range();
  const session::AxisSpan span =
      session::WithMargin({range.lower, range.upper}, axis.scaleType() == QCPAxis::stLogarithmic);
  axis.setRange(span.Lower, span.Upper);
}

void DressAxes(QCPAxisRect& rect, const QFont& font) {
  for (QCPAxis* axis : {rect.axis(QCPAxis::atBottom), rect.axis(QCPAxis::atLeft)}) {
    ChartFrame::SetLogScale(*axis, false);
    axis->setLabelFont(font);
    axis->setTickLabelFont(font);
  }
}

// A curve that runs beneath the legend still shows through it.
void DressLegend(QCPLegend& legend, const QFont& font) {
  legend.setFont(font);
  legend.setBrush(QColor(255, 255, 255, 210));
}

}  // namespace

QColor ChartTone(std::size_t index) {
  return QColor(kPalette[index % std::size(kPalette)]);
}

ChartFrame::ChartFrame(QCustomPlot& plot, QString fileName)
    : QObject(&plot), plot_(plot), fileName_(std::move(fileName)) {
  plot_.setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  plot_.setNoAntialiasingOnDrag(true);
  QFont titleFont = plot_.font();
  titleFont.setBold(true);
  plot_.plotLayout()->insertRow(0);
  title_ = new QCPTextElement(&plot_, QString(), titleFont);
  plot_.plotLayout()->addElement(0, 0, title_);
  DressAxes(*plot_.axisRect(), plot_.font());
  DressLegend(*plot_.legend, plot_.font());
  plot_.setContextMenuPolicy(Qt::CustomContextMenu);
  connect(&plot_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& position) { ShowMenu(position); });
  connect(&plot_, &QCustomPlot::mouseDoubleClick, this, [this] { ResetView(); });
  connect(&plot_, &QCustomPlot::afterLayout, this, [this] { KeepLegendsClear(); });
}

QString ChartFrame::Title() const {
  return title_->text();
}

void ChartFrame::SetTitle(const QString& title) {
  title_->setText(title);
}

void ChartFrame::NewPanels() {
  plot_.clearPlottables();
  fitted_.clear();
  followers_.clear();
  QCPLayoutGrid* layout = plot_.plotLayout();
  if (layout->hasElement(1, 0)) layout->remove(layout->element(1, 0));
  auto* panels = new QCPLayoutGrid;
  layout->addElement(1, 0, panels);
}

QCPLayoutGrid& ChartFrame::Panels() const {
  return *qobject_cast<QCPLayoutGrid*>(plot_.plotLayout()->element(1, 0));
}

QCPAxisRect& ChartFrame::AddPanel(int row, int column) {
  auto* rect = new QCPAxisRect(&plot_);
  Panels().addElement(row, column, rect);
  DressAxes(*rect, plot_.font());
  return *rect;
}

QCPLegend& ChartFrame::AddLegend(QCPAxisRect& panel, Qt::Alignment corner) {
  auto* legend = new QCPLegend;
  panel.insetLayout()->addElement(legend, corner);
  legend->setLayer(QStringLiteral("legend"));
  DressLegend(*legend, plot_.font());
  for (int g = 0; g < plot_.graphCount(); ++g) {
    if (plot_.graph(g)->valueAxis() == panel.axis(QCPAxis::atLeft)) {
      plot_.graph(g)->addToLegend(legend);
    }
  }
  return *legend;
}

void ChartFrame::Follow(QCPAxis& follower, QCPAxis& leader) {
  follower.setRange(leader.range());
  connect(&leader, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), &follower,
          qOverload<const QCPRange&>(&QCPAxis::setRange));
  // Dragged or zoomed, it would part from its leader.
  QCPAxisRect* rect = follower.axisRect();
  const Qt::Orientations own = ~Qt::Orientations(follower.orientation());
  rect->setRangeDrag(rect->rangeDrag() & own);
  rect->setRangeZoom(rect->rangeZoom() & own);
  followers_.push_back(&follower);
}

void ChartFrame::SetLogScale(QCPAxis& axis, bool log) {
  axis.setScaleType(log ? QCPAxis::stLogarithmic : QCPAxis::stLinear);
  if (log) {
    axis.setTicker(QSharedPointer<QCPAxisTickerLog>::create());
  } else {
    axis.setTicker(QSharedPointer<LocaleTicker>::create());
  }
}

void ChartFrame::FitAxes() {
  for (QCPAxisRect* rect : plot_.axisRects()) {
    for (QCPAxis* axis : {rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft)}) {
      if (std::find(followers_.begin(), followers_.end(), axis) == followers_.end()) {
        FitAxis(*axis);
      }
    }
  }
}

void ChartFrame::OnViewReset(std::function<void()> then) {
  afterReset_ = std::move(then);
}

void ChartFrame::ResetView() {
  FitAxes();
  if (afterReset_) afterReset_();
  resetting_ = true;
  plot_.replot();
  resetting_ = false;
}

void ChartFrame::KeepLegendsClear() {
  constexpr Qt::Alignment kCorners[] = {Qt::AlignTop | Qt::AlignRight, Qt::AlignTop | Qt::AlignLeft,
                                        Qt::AlignBottom | Qt::AlignRight,
                                        Qt::AlignBottom | Qt::AlignLeft};
  for (QCPAxisRect* panel : plot_.axisRects()) {
    QCPAxis& value = *panel->axis(QCPAxis::atLeft);
    const std::pair<double, double> range(value.range().lower, value.range().upper);
    if (resetting_) fitted_[panel] = {range, range};
    const auto fitted = fitted_.find(panel);
    const bool asFitted = fitted != fitted_.end() && range == fitted->second.Shown;
    if (asFitted) value.setRange(fitted->second.Data.first, fitted->second.Data.second);
    QCPLayoutInset& inset = *panel->insetLayout();
    for (int i = 0; i < inset.elementCount(); ++i) {
      auto* legend = qobject_cast<QCPLegend*>(inset.elementAt(i));
      if (legend == nullptr || !legend->visible() || legend->itemCount() == 0) continue;
      // On a panel too small for it in a column, the legend lies in one row.
      legend->setFillOrder(QCPLayoutGrid::foRowsFirst);
      if (legend->minimumOuterSizeHint().height() * 3 > panel->rect().height()) {
        legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
      }
      Qt::Alignment best = inset.insetAlignment(i);
      Covered least = CoveredBy(plot_, *panel, LegendBox(*panel, *legend, best));
      for (const Qt::Alignment corner : kCorners) {
        const Covered covered = CoveredBy(plot_, *panel, LegendBox(*panel, *legend, corner));
        if (covered < least) {
          least = covered;
          best = corner;
        }
      }
      if (least.Points > 0 && asFitted) {
        MakeRoomAbove(*panel, *legend);
        best = Qt::AlignTop | Qt::AlignRight;
      }
      inset.setInsetAlignment(i, best);
      // The legend's box and the entries inside it, where the layout just put them.
      inset.update(QCPLayoutElement::upLayout);
    }
    if (asFitted) fitted->second.Shown = {value.range().lower, value.range().upper};
  }
}

void ChartFrame::ShowEmpty(const QString& title) {
  SetTitle(title.isEmpty() ? QStringLiteral("Aucune donnée")
                           : title + QStringLiteral(" : aucune donnée"));
  for (QCPAxisRect* rect : plot_.axisRects()) {
    rect->axis(QCPAxis::atBottom)->setRange(0, 1);
    rect->axis(QCPAxis::atLeft)->setRange(0, 1);
  }
  plot_.replot();
}

void ChartFrame::Copy() const {
  QGuiApplication::clipboard()->setPixmap(plot_.toPixmap());
}

bool ChartFrame::Save(const QString& path) const {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("png")) return plot_.savePng(path);
  if (suffix == QLatin1String("pdf")) return plot_.savePdf(path);
#ifdef QUILLANE_HAVE_QT_SVG
  if (suffix == QLatin1String("svg")) {
    QSvgGenerator generator;
    generator.setFileName(path);
    generator.setSize(plot_.size());
    generator.setViewBox(QRect(QPoint(0, 0), plot_.size()));
    generator.setTitle(Title());
    QCPPainter painter;
    if (!painter.begin(&generator)) return false;
    plot_.toPainter(&painter, plot_.width(), plot_.height());
    return painter.end() && QFileInfo(path).size() > 0;
  }
#endif
  return false;
}

bool ChartFrame::SaveAs() {
  QWidget* window = plot_.window();
  const QString path = ChooseChartPath(window, fileName_);
  if (path.isEmpty()) return false;
  if (Save(path)) {
    Report(QStringLiteral("Graphique enregistré dans %1.").arg(path));
    return true;
  }
  const QString text =
      QStringLiteral("Le graphique n'a pas pu être enregistré dans %1 (formats possibles : %2).")
          .arg(path, Formats());
  Report(text);
  QMessageBox::warning(window, window->windowTitle(), text);
  return false;
}

void ChartFrame::OnReport(std::function<void(const QString&)> report) {
  report_ = std::move(report);
}

void ChartFrame::Report(const QString& text) const {
  if (report_) report_(text);
}

void ChartFrame::ShowMenu(const QPoint& position) {
  QMenu menu(&plot_);
  menu.addAction(QStringLiteral("Copier"), this, [this] { Copy(); })
      ->setObjectName(QStringLiteral("copyChart"));
  menu.addAction(QStringLiteral("Enregistrer…"), this, [this] { SaveAs(); })
      ->setObjectName(QStringLiteral("saveChart"));
  menu.addSeparator();
  menu.addAction(QStringLiteral("Réinitialiser le zoom"), this, [this] { ResetView(); })
      ->setObjectName(QStringLiteral("resetView"));
  menu.exec(plot_.mapToGlobal(position));
}

}  // namespace quillane::ui
