#pragma once
// The "Ajustement sur mesures" window: an in-situ record (curvature, and the back face's
// temperature when it has it) opened from a CSV file, the figures to fit with their bounds,
// the fit run off the interface thread on a copy of the input window's inputs and catalogue,
// the overlay of the record and the model with the residuals beneath, the fitted values with
// their standard errors, and the fitted figures applied back to the input window.

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fit/Calibration.h"
#include "fit/CalibrationRecord.h"
#include "materials/UserCatalogue.h"
#include "model/ModelState.h"
#include "session/FitForm.h"
#include "session/RunReport.h"
#include "session/StudyForm.h"
#include "widgets/BackgroundJob.h"

class QCheckBox;
class QComboBox;
class QEvent;
class QCustomPlot;
class QLabel;
class QLineEdit;
class QProgressBar;
class QScrollArea;
class QPushButton;
class QSplitter;
class QTableWidget;

namespace quillane::ui {

class ChartFrame;

// What the window needs of the input window.
struct FitLinks {
  // A copy of the input window's current inputs and catalogue.
  std::function<session::StudyBase()> Source;
  // Whether the input window can take fitted figures now (not while a run owns its state).
  std::function<bool()> CanApply;
  // Reads the catalogue again and applies the fit: picks the coating row when one is named and
  // each coat's fitted row (`coats`, by coat, empty where none was fitted), sets the heat flux
  // when one is given; `rows` is the write of the user's rows, undone with the rest.
  std::function<void(const std::string& coating, const std::vector<std::string>& coats,
                     std::optional<double> heatFlux, const session::RowsWrite& rows)>
      Apply;
  // Has the input window take another stress model (one change it can undo).
  std::function<void(const std::string& model)> PickModel;
};

class AjustementMesures : public QMainWindow {
  Q_OBJECT
 public:
  AjustementMesures(FitLinks links, UserCatalogue& user, QWidget* parent = nullptr);
  ~AjustementMesures() override;

  // Reads a record; false, with a message naming the file and the line, when it cannot serve.
  bool OpenRecord(const QString& path);
  // Checks the entries and the input window's inputs and starts the fit; false, telling why,
  // when something cannot be used.
  bool Ajuster();
  // Stops the fit under way; nothing the window shows changes.
  void Annuler();
  // Saves the fitted material figures as user rows, then has the input window pick the coating
  // row and each later coat's fitted row, and take a fitted heat flux. False, telling why, when
  // there is nothing to apply or it cannot be applied now.
  bool Appliquer();
  // The stress model the fit runs, as the input window holds it.
  void ShowModel(const std::string& value);
  // The overlay as PNG, SVG or PDF, chosen by the file's suffix.
  bool SaveChart(const QString& path);
  // What quitting would lose here: the fit under way, or one not applied.
  void AddWork(session::WorkInHand& work) const;

  // Lists the figures of the coats the input window's case has now, keeping what is typed for
  // the figures still listed; nothing changes while a fit runs.
  void FollowCase();

  BackgroundJob& Worker() { return job_; }
  const std::optional<fit::FitResult>& Result() const { return result_; }
  QTableWidget& Table() const { return *table_; }
  QCustomPlot& Chart() const { return *chart_; }

 protected:
  // Shown or brought to the front: the rows follow the input window's coats.
  bool event(QEvent* event) override;

 private:
  struct ParameterRow {
    const QuantitySpec* Quantity = nullptr;
    QCheckBox* Fitted = nullptr;
    QLineEdit* Min = nullptr;
    QLineEdit* Max = nullptr;
  };

  void BuildWidgets();
  // Alt and a letter press the commands; F5 starts the fit.
  void AddKeys();
  QWidget* BuildEntries(QWidget* parent);
  // The figures' rows of `form`, in place of those shown.
  void ShowParameters(const session::FitForm& form);
  QWidget* BuildResults(QWidget* parent);
  // The entries as they are typed.
  session::FitForm Form() const;
  void SetRunning(bool running);
  void OnTick();
  void OnFinished();
  void ShowResult();
  // Widens the table's pane to show its figures whole, as far as the chart's least width allows.
  void WidenTablePane();
  void Plot();
  void ChooseRecord();
  void Tell(const QString& text);
  // Tells a record refused, on the status line and in a box; false.
  bool RefuseRecord(const std::string& box);

  FitLinks links_;
  UserCatalogue& user_;
  BackgroundJob job_;
  std::shared_ptr<Handoff<fit::FitProgress>> steps_;
  std::shared_ptr<Handoff<session::FitOutcome>> outcome_;
  char separator_ = '.';

  std::optional<fit::CalibrationRecord> record_;
  QString recordPath_;
  // The fit shown (of record_) and the validated inputs it started from; the fit under way
  // starts from runningBase_, which becomes fitBase_ only when the fit ends well.
  std::optional<fit::FitResult> result_;
  ModelState fitBase_;
  ModelState runningBase_;
  bool applied_ = false;  // the fit shown was applied

  QLabel* recordLabel_ = nullptr;
  QWidget* entries_ = nullptr;
  QScrollArea* parameterScroll_ = nullptr;
  QWidget* parameterRows_ = nullptr;  // the rows of parameters_, made anew when they change
  std::vector<ParameterRow> parameters_;
  QCheckBox* robust_ = nullptr;
  QLineEdit* curvatureNoise_ = nullptr;
  QLineEdit* temperatureNoise_ = nullptr;
  QComboBox* stressModel_ = nullptr;
  QPushButton* ouvrir_ = nullptr;
  QPushButton* ajuster_ = nullptr;
  QPushButton* annuler_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* iteration_ = nullptr;
  QLabel* status_ = nullptr;
  QSplitter* results_ = nullptr;
  QTableWidget* table_ = nullptr;
  QLabel* summary_ = nullptr;
  QCustomPlot* chart_ = nullptr;
  ChartFrame* frame_ = nullptr;
  QPushButton* saveChart_ = nullptr;
  QPushButton* appliquer_ = nullptr;
};

}  // namespace quillane::ui
