#pragma once
// A QCustomPlot chart saved as a file: PNG, PDF, or SVG where Qt SVG is built.

#include <QString>

class QCustomPlot;
class QWidget;

namespace quillane::ui {

// Whether charts can be saved as SVG here.
bool CanSaveChartSvg();

// Saves the chart in the format its suffix names (png, pdf, svg); false when it could not.
bool SaveChartFile(QCustomPlot& chart, const QString& path, const QString& title);

// Asks where to save a chart (PNG, SVG where it can, PDF), starting from `suggested`; the
// chosen filter's suffix is added to a name given without one. Empty when the user cancels.
QString ChooseChartPath(QWidget* parent, const QString& suggested);

}  // namespace quillane::ui
