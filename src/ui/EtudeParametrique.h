#pragma once
// The "Étude paramétrique" window: one or two quantities (inputs of the input window or figures
// of the picked materials) varied over ranges (every combination) or drawn from laws (a latin
// hypercube), the points run off the interface thread on a copy of the input window's inputs
// and catalogue, the results table, a chart of any result against a varied quantity with, for
// a sampled study, its rank correlations, and the table and chart saved as files.

#include <QElapsedTimer>
#include <QMainWindow>
#include <array>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include "session/RedrawPace.h"
#include "session/RunReport.h"
#include "session/StudyForm.h"
#include "study/StudyFile.h"
#include "study/StudyTable.h"
#include "widgets/BackgroundJob.h"

class QComboBox;
class QGridLayout;
class QCustomPlot;
class QCPColorScale;
class QLabel;
class QLineEdit;
class QProgressBar;
class QEvent;
class QPushButton;
class QSpinBox;
class QTableView;

namespace quillane::ui {

class ChartFrame;
class StudyTableModel;
using session::StudyBase;

class EtudeParametrique : public QMainWindow {
  Q_OBJECT
 public:
  // `source` gives a copy of the input window's current inputs and catalogue; it is asked when
  // the ranges are filled, when the window is brought to the front or opened again (the lists
  // follow the case's coats) and when a study starts. `work` runs the points.
  explicit EtudeParametrique(std::function<StudyBase()> source, QWidget* parent = nullptr,
                             session::StudyWork work = session::RunStudy);
  ~EtudeParametrique() override;

  // Fills the range of each chosen quantity from its current value: half to one and a half
  // times it, in four intervals (for a normal law, the value and a tenth of it).
  void ResetRanges();
  // Shown again from the input window: the entries follow its inputs only while no study's
  // rows are shown, so that the table, the chart and an export always come from the entries
  // beside them.
  void Reopen();
  // Lists the quantities of the coats the input window's case has now; a quantity a row has
  // chosen stays listed. Nothing changes while a study runs.
  void FollowCase();
  // The stress model the points run on, as the input window holds it; picking another here asks
  // the input window to take it (`pick`).
  void ShowModel(const std::string& value);
  void OnModelPicked(std::function<void(const std::string&)> pick);

  // Reads and checks the entries and starts the study; false, telling why, when an entry or
  // the input window's inputs cannot be used.
  bool Lancer();
  // Stops the study under way; the finished rows stay.
  void Annuler();
  BackgroundJob& Worker() { return worker_; }
  // The points whose rows the window has taken in (the table lists them at its pace, and all
  // of them once the study has stopped).
  std::size_t FinishedPoints() const;

  // The study last started and its rows (the unfinished ones empty).
  const study::Study& CurrentStudy() const { return study_; }
  const study::StudyRows& Rows() const;

  // The rows as a model: each cell's text in the column's unit, its number as UserRole.
  QTableView& Table() const { return *table_; }
  QCustomPlot& Chart() const { return *chart_; }
  // Draws the chosen result against the chosen varied quantity: one curve per value of the
  // other quantity (told apart by a legend, or by a colour scale when there are many), or the
  // samples as points with their rank correlations.
  void Plot();

  // The table as comma-separated values, as the batch study writes it. False, telling why,
  // when there is nothing to write or the file cannot be written.
  bool ExportTable(const QString& path);
  // The chart as PNG, SVG or PDF, chosen by the file's suffix.
  bool SaveChart(const QString& path);

  // What quitting would lose here: the study under way, or rows not exported.
  void AddWork(session::WorkInHand& work) const;

 protected:
  // Brought to the front: the lists follow the input window's coats.
  bool event(QEvent* event) override;

 private:
  struct QuantityRow {
    QComboBox* Name = nullptr;
    QLineEdit* From = nullptr;
    QLineEdit* To = nullptr;
    QLabel* Unit = nullptr;
    QSpinBox* Steps = nullptr;
    QComboBox* Scale = nullptr;
    QComboBox* Law = nullptr;
  };

  using FinishedPoint = session::FinishedPoint;

  void BuildWidgets();
  QWidget* BuildEntries(QWidget* parent);
  QWidget* BuildResults(QWidget* parent);
  void BuildQuantityRow(int index, QGridLayout* grid, QWidget* parent);
  // Alt and a letter press the commands; F5 starts the study.
  void AddKeys();
  // The entries as they stand, and a row's entries shown back in its boxes.
  session::StudyForm Form() const;
  void ShowRow(int index, const session::StudyRowEntry& entry);
  void ResetRange(int index, const StudyBase& base);
  bool SampledPlan() const;
  // Enables the entries that the plan and the row's quantity use.
  void UpdateRowControls(int index);
  void OnPlanChanged();
  void UpdatePointCount();
  // Marks the De and À boxes that stop a study, at once, with the fault as their tooltip; the
  // status line tells the first fault, and is cleared once none is left.
  void MarkEntries();
  void SetRunning(bool running);
  // Takes in the rows handed over since the last tick; the chart follows at its pace.
  void TakeRows();
  // Lists the rows taken in but not yet in the table.
  void ListPending();
  void PlotAtPace();
  // Seconds since the study started.
  double Seconds() const;
  // The colour scale of many curves beside the plot, or none.
  // The legend in the corner where it hides least of the curves.
  void ShowColourScale(const session::StudyChart& data);
  void OnFinished(bool stopped);
  void ChooseTableFile();
  void Tell(const QString& text);

  std::function<StudyBase()> source_;
  std::function<void(const std::string&)> pickModel_;
  QComboBox* stressModel_ = nullptr;
  session::StudyWork work_;
  Handoff<FinishedPoint> finishedPoints_;
  BackgroundJob worker_;  // after the handoff it fills: waited for before it goes
  study::Study study_;
  std::vector<bool> logScales_;  // per varied quantity of study_
  char separator_ = '.';
  QElapsedTimer clock_;
  // Drawing the chart and the table of a large study while it runs takes at most these shares
  // of the thread.
  session::RedrawPace pace_{0.03};
  session::RedrawPace tablePace_{0.03};
  std::vector<FinishedPoint> pending_;  // taken in, not yet listed
  bool exported_ = false;               // the rows shown, as they are, written to a file
  bool faultTold_ = false;              // the status line tells a fault of the entries

  std::array<QuantityRow, 2> quantities_;
  QWidget* entries_ = nullptr;
  QComboBox* plan_ = nullptr;
  QWidget* sampling_ = nullptr;  // the samples and seed, shown for the sampled plan
  QSpinBox* samples_ = nullptr;
  QSpinBox* seed_ = nullptr;
  QLabel* fromHeader_ = nullptr;
  QLabel* toHeader_ = nullptr;
  QLabel* pointCount_ = nullptr;
  QPushButton* lancer_ = nullptr;
  QPushButton* annuler_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* status_ = nullptr;
  StudyTableModel* model_ = nullptr;
  QTableView* table_ = nullptr;
  QComboBox* result_ = nullptr;
  QComboBox* axis_ = nullptr;
  QCustomPlot* chart_ = nullptr;
  ChartFrame* frame_ = nullptr;
  QCPColorScale* colourScale_ = nullptr;
  QLabel* correlation_ = nullptr;
  QPushButton* exportTable_ = nullptr;
  QPushButton* saveChart_ = nullptr;
};

}  // namespace quillane::ui
