#pragma once
// What the windows' charts share, so that they behave alike: a bold title above the plot, drag
// and zoom, the palette, axes fitted to their data with a margin, tick labels with the locale's
// separator, the empty chart that says so, the context menu (Copier, Enregistrer…,
// Réinitialiser le zoom), and saving as PNG, SVG (where Qt SVG is built) or PDF.

#include <QColor>
#include <QObject>
#include <QString>
#include <cstddef>
#include <functional>
#include <map>
#include <utility>
#include <vector>

class QCPAxis;
class QCPAxisRect;
class QCPLayoutGrid;
class QCPLegend;
class QCPTextElement;
class QCustomPlot;
class QPoint;

namespace quillane::ui {

// The tones of the charts' curves, in order, again from the first after the last.
QColor ChartTone(std::size_t index);

// Dresses a plot as the windows' chart and does its chores; a child of the plot.
class ChartFrame : public QObject {
 public:
  // `fileName` is what the save dialog proposes ("etude.png").
  ChartFrame(QCustomPlot& plot, QString fileName);

  QCustomPlot& Plot() const { return plot_; }
  QString Title() const;
  void SetTitle(const QString& title);

  // Empties the plot beneath the title (plottables, axis rects, legends) for panels of axis
  // rects, added with AddPanel; Panels is their grid.
  void NewPanels();
  QCPLayoutGrid& Panels() const;
  QCPAxisRect& AddPanel(int row, int column);
  // A legend of the panel's own in one of its corners, holding the graphs drawn against its
  // value axis. Every legend moves to a corner where it covers no data (see KeepLegendsClear).
  QCPLegend& AddLegend(QCPAxisRect& panel, Qt::Alignment corner);
  // `follower` shows the range of `leader`, and fitting the axes leaves it to follow.
  void Follow(QCPAxis& follower, QCPAxis& leader);

  // A linear axis with the locale's tick labels, or a logarithmic one.
  static void SetLogScale(QCPAxis& axis, bool log);

  // Every axis rescaled to its data, with its margin.
  void FitAxes();
  // What a reset of the view does once the axes are fitted, before the plot is drawn again.
  void OnViewReset(std::function<void()> then);
  // "Réinitialiser le zoom", and a double click: the axes fitted, then drawn.
  void ResetView();
  // Nothing to draw: the title says so ("title : aucune donnée"), every axis from 0 to 1.
  void ShowEmpty(const QString& title);

  // The chart's picture to the clipboard.
  void Copy() const;
  // Saves the chart in the format its suffix names (png, pdf, svg); false when it could not.
  bool Save(const QString& path) const;
  // Asks where to save the chart and saves it there, warning when it cannot; tells the outcome
  // through OnReport. False when cancelled or not saved.
  bool SaveAs();
  void OnReport(std::function<void(const QString&)> report);

 private:
  void ShowMenu(const QPoint& position);
  // Each shown legend to the first corner of its panel, from the one it stands in, where it
  // covers no data point and the fewest stretches of line. Where every corner covers a point
  // and the view is as the last reset left it (the panel may have been resized since), the
  // value axis grows upwards from the data's range until the top right is clear.
  void KeepLegendsClear();
  void Report(const QString& text) const;

  QCustomPlot& plot_;
  QCPTextElement* title_ = nullptr;
  QString fileName_;
  std::vector<QCPAxis*> followers_;
  std::function<void()> afterReset_;
  bool resetting_ = false;
  // Per panel, the value range the last reset fitted to the data and the one it showed, with
  // room made above for the legend: a view still showing it is not the user's own.
  struct FittedRange {
    std::pair<double, double> Data;
    std::pair<double, double> Shown;
  };
  std::map<const QCPAxisRect*, FittedRange> fitted_;
  std::function<void(const QString&)> report_;
};

}  // namespace quillane::ui
