#include "ui/ChartFile.h"

#include <qcustomplot.h>
#include <QFileInfo>
#ifdef QUILLANE_HAVE_QT_SVG
#include <QSvgGenerator>
#endif

namespace quillane::ui {

bool CanSaveChartSvg() {
#ifdef QUILLANE_HAVE_QT_SVG
  return true;
#else
  return false;
#endif
}

bool SaveChartFile(QCustomPlot& chart, const QString& path, const QString& title) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("png")) return chart.savePng(path);
  if (suffix == QLatin1String("pdf")) return chart.savePdf(path);
#ifdef QUILLANE_HAVE_QT_SVG
  if (suffix == QLatin1String("svg")) {
    QSvgGenerator generator;
    generator.setFileName(path);
    generator.setSize(chart.size());
    generator.setViewBox(QRect(QPoint(0, 0), chart.size()));
    generator.setTitle(title);
    QCPPainter painter;
    if (!painter.begin(&generator)) return false;
    chart.toPainter(&painter, chart.width(), chart.height());
    return painter.end() && QFileInfo(path).size() > 0;
  }
#else
  (void)title;
#endif
  return false;
}

}  // namespace quillane::ui
