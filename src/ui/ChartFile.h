#pragma once
// A QCustomPlot chart saved as a file: PNG, PDF, or SVG where Qt SVG is built.

#include <QString>

class QCustomPlot;

namespace quillane::ui {

// Whether charts can be saved as SVG here.
bool CanSaveChartSvg();

// Saves the chart in the format its suffix names (png, pdf, svg); false when it could not.
bool SaveChartFile(QCustomPlot& chart, const QString& path, const QString& title);

}  // namespace quillane::ui
