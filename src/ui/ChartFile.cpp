#include "ui/ChartFile.h"

#include <qcustomplot.h>
#include <QFileDialog>
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

QString ChooseChartPath(QWidget* parent, const QString& suggested) {
  QStringList filters{QStringLiteral("Images PNG (*.png)")};
  if (CanSaveChartSvg()) filters << QStringLiteral("Dessins SVG (*.svg)");
  filters << QStringLiteral("Documents PDF (*.pdf)");
  QString chosen = filters.front();
  QString path =
      QFileDialog::getSaveFileName(parent, QStringLiteral("Enregistrer le graphique"), suggested,
                                   filters.join(QStringLiteral(";;")), &chosen);
  if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
    // The suffix of the chosen filter: "Images PNG (*.png)" gives "png".
    path += chosen.mid(chosen.lastIndexOf(QLatin1Char('.'))).chopped(1);
  }
  return path;
}

}  // namespace quillane::ui
