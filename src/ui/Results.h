#pragma once
// The thermal results window ("Results"): the grid Resultats with one row per thermal record,
// the chart MSChart1 of one grid column against time, shown over the grid when the user
// selects a cell, the button row that copies or hides the chart and opens the stress views and
// the thermal field, and the menus "Fin" and "RAZ".

#include "ui/ResultWindow.h"

class QCustomPlot;
class QLabel;
class QProgressBar;
class QPushButton;

namespace quillane::ui {

class ChartFrame;
class ResultGridModel;
class ResultGridView;

class Results : public ResultWindow {
  Q_OBJECT
 public:
  explicit Results(QWidget* parent = nullptr);

  ResultGridModel& Grid() { return *grid_; }
  ResultGridView& GridView() { return *view_; }
  QCustomPlot& Chart() { return *chart_; }

  // The chart fill: shows the chart and plots the grid's current column against the time
  // column for every record, skipping empty cells and texts that are not numbers.
  void PDraw_Click();
  // Number of points the last fill plotted.
  int ChartPointCount() const { return chartPoints_; }

  // "Edit Copy": the chart's picture to the clipboard.
  void Command1_Click();
  // "Mask graphics": hides the chart, which uncovers the grid.
  void Command5_Click();

  // Saves the chart as PNG, PDF or, where the toolkit has it, SVG, chosen by the file's
  // suffix. False when the file cannot be written or the suffix names no such format.
  bool SaveChart(const QString& path);

  // "Champ thermique" opens the thermal field, which only a whole-deposit run samples.
  void EnableFieldView(bool enabled);

  // While a run goes on, its progress (`text`, and the fraction done) in place of the grid, the
  // chart and the buttons of the views, which would show the run before; EndRunProgress shows
  // them again.
  void ShowRunProgress(const QString& text, double fraction);
  void EndRunProgress();

 signals:
  // The buttons that open the stress views, and the two menus.
  void BuildingViewRequested();
  void CoolingViewRequested();
  void ArrowViewRequested();
  void FieldViewRequested();
  void FinClicked();
  void RazClicked();

 private:
  void SetUpChart();
  // The run's progress, hidden until a run starts.
  void AddRunPanel();
  // Point marks and a wider line only while few points are in view: marks for a million
  // records, or a wide antialiased line through them, would cost seconds per redraw, while a
  // thin sampled line takes milliseconds.
  void UpdatePointMarks();

  ResultGridModel* grid_ = nullptr;
  ResultGridView* view_ = nullptr;
  QCustomPlot* chart_ = nullptr;
  ChartFrame* frame_ = nullptr;
  QPushButton* fieldButton_ = nullptr;
  QWidget* area_ = nullptr;     // the grid with the chart over it
  QWidget* buttons_ = nullptr;  // the row of buttons beneath
  QWidget* runPanel_ = nullptr;
  QLabel* runText_ = nullptr;
  QProgressBar* runProgress_ = nullptr;
  bool fieldView_ = false;  // "Champ thermique" is enabled outside a run
  bool runShown_ = false;   // the run's progress is shown
  int chartPoints_ = 0;
};

}  // namespace quillane::ui
