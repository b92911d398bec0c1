#pragma once
// The input window: the legend of the thermal model, the substrate and deposit parameters with
// the two material lists, the options, the choice of the result files and the command that
// starts a run. Each box commits into the model state when it loses the focus, by the rule of
// GeometrieFields; a run goes to a worker thread while the window stays responsive.

#include <QLocale>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "materials/MaterialsCatalogue.h"
#include "materials/UserCatalogue.h"
#include "model/ModelState.h"
#include "session/FitForm.h"
#include "session/GeometrieFields.h"
#include "session/InputForm.h"
#include "session/RunReport.h"
#include "ui/ResultWindows.h"
#include "widgets/RunWorker.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QUndoStack;

namespace quillane::ui {

// The input window's field rules live below the window, free of Qt.
using session::CommitField;
using session::Field;
using session::FieldId;
using session::FieldInfo;
using session::Fields;
using session::LoadText;

class AjustementMesures;
class Couches;
class EtudeParametrique;
class Materiaux;

struct GeometrieOptions {
  std::filesystem::path CataloguePath = DefaultCataloguePath();
  // The user's own materials, laid over the shipped ones.
  std::filesystem::path UserCataloguePath = UserCatalogue::DefaultPath();
  // Decimal separator and digit grouping of the boxes and of the result files.
  QLocale Locale = QLocale::system();
};

class Geometrie : public QMainWindow {
  Q_OBJECT
 public:
  // Loads at once: opens the catalogue, applies the defaults and fills the boxes.
  Geometrie(ModelState& state, ResultWindows& windows, GeometrieOptions options = {},
            QWidget* parent = nullptr);
  ~Geometrie() override;

  // The box of that field.
  QLineEdit* Box(FieldId id) const { return boxes_.at(static_cast<std::size_t>(id)); }
  const MaterialsCatalogue& Catalogue() const { return catalogue_; }
  RunWorker& Worker() { return worker_; }
  // Where the next run writes its result files.
  ResultPaths& Paths() { return paths_; }
  QUndoStack& UndoStack() const { return *undoStack_; }
  // The coats' table, shown in place of the coating list while the case sprays several coats.
  Couches& CoatTable() const { return *couches_; }

  // Commands of the window, as the menus and buttons call them.
  void Execution();          // "Execution calculs"
  void ChooseThermalFile();  // "Choix fichier resultats (thermique)"
  void ChooseStressFile();   // "Choix fichier resultats(stress)"
  void Fin();                // quits as closing does: asks about unsaved changes, cancels a run
  void Raz();                // unloads the result windows; the state is kept
  void OpenCaseFile();       // asks for a case file and applies it
  void SaveCase();           // saves the case in its file; asks for one when it has none
  void SaveCaseAs();         // asks for a file name and saves the case
  void RestoreDefaults();    // "Valeurs par défaut"
  void OpenMaterials();      // the "Matériaux" window
  void OpenStudy();          // the "Étude paramétrique" window
  void OpenFit();            // the "Ajustement sur mesures" window
  void ShowAbout();          // "À propos de Quillane": the version and the catalogues
  void ShowGuide();          // "Guide": the installed README
  // Takes a fit in as one change that can be undone: reads the catalogue again, picks the
  // coating row when one is named and each coat's fitted row (`coats`, by coat), and sets the
  // heat flux when one is given. Refused (false) while a run owns the state.
  bool TakeFit(const std::string& coating, const std::vector<std::string>& coats,
               std::optional<double> heatFlux, const session::RowsWrite& rows = {});
  // Reads the catalogue again after the user's materials changed; the lists follow.
  void ReloadCatalogue();
  void OnCatalogueEdited(const std::vector<session::RowChange>& changes);
  // Changes the user's rows for an undo or a redo, telling a file that cannot be written, and
  // reads the catalogue again.
  void WriteUserRows(const std::function<void(UserCatalogue&)>& write);
  // Case files without a dialog; false (and a message) on failure.
  bool OpenCaseFrom(const QString& path);
  bool SaveCaseTo(const QString& path);
  // Tells a case not opened or saved, on the status line and in a box; false.
  bool RefuseCase(const std::string& box);

  // Commits the box that has the focus when its text was edited, as leaving it would.
  void CommitPendingEdit();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  using FormSnapshot = session::InputForm::Snapshot;
  class FormCommand;

  // The window's layout, its inputs in the cells the input table gives them.
  void BuildWidgets();
  QGroupBox* BuildLegend(QWidget* parent);
  // A frame of the window's inputs: its object name, its title, and whether each caption stands
  // beside its box (a field a row) rather than over it (two fields a row).
  struct FrameLook {
    WindowFrame Frame;
    const char* Name;
    const char* Title;
    bool Beside;
  };
  QGroupBox* BuildFrame(const FrameLook& look);
  QHBoxLayout* BuildCommands(QWidget* parent);
  QHBoxLayout* BuildRunRow(QWidget* parent);
  // The control of an input: its box (with its spin button), or the stress model's choice.
  QWidget* MakeInput(const InputSpec& input, QWidget* parent);
  QListWidget* MakeList(const InputSpec& input, QWidget* parent);
  QLineEdit* MakeBox(FieldId id, QWidget* parent);
  QWidget* BoxWithSpin(FieldId id, const char* spinName, QWidget* parent);
  void BuildMenus();
  // Alt and a letter press the commands; F5 starts a run.
  void AddKeys();
  void Load();
  void BindLists();

  void Commit(FieldId id);
  void Step(FieldId id, int direction);
  // A refused text is told on the status line and beside the box; an accepted one is a change
  // that can be undone, and the status line tells whether its value lies outside its range.
  void Committed(FieldId id, const session::CommitOutcome& outcome, const FormSnapshot& before);
  // Marks every box whose value lies outside its range (with the reason as its tooltip; the
  // range otherwise).
  void MarkRanges();
  // A refused run's summary goes once its faults are mended, giving back the one it covered.
  void ForgetMendedRefusal();
  void SetBoxText(FieldId id, const QString& text);
  // Every box shows the form's text.
  void ShowForm();
  // The boxes, the lists and the stress model show the inputs, and the ranges are marked.
  void ShowInputs();
  void OnMaterialPicked(bool substrate);
  // The stress model's choice: picked by the user, or shown from the state.
  void OnStressModelPicked(int index);
  // The stress model chosen here or in the study or fit window, as one change that can be undone.
  void PickStressModel(const std::string& value);
  void ShowStressModel();
  void UpdateExecutionEnabled();
  void SelectMaterial(QListWidget* list, const std::string& name);
  // The coating's list and the "Plusieurs couches" check box, with the coats' table below them.
  QWidget* MakeCoatingChoice(const InputSpec& input, QWidget* parent);
  // The coats' table or the coating list, as the case has coats or not, with its marks; the
  // check box is offered with the whole-deposit model (or to go back to one coat).
  void ShowCoats();
  void OnCoatsToggled(bool several);
  void OnCoatEdited(int coat, int column, const QString& text);
  // A coat added or removed, as one change that can be undone.
  void ChangeCoats(const QString& text, const std::function<bool(InputParameters&)>& change);

  FormSnapshot Snapshot() const;
  void Restore(const FormSnapshot& snapshot);
  void PushChange(const QString& text, const FormSnapshot& before);

  // What quitting would lose: the run, the study and the fit under way or not saved.
  session::WorkInHand WorkInHand() const;
  // Asks before quitting when work would be lost; false when the window is to stay open.
  bool QuitDespiteWork();
  // Asks whether to save the case's unsaved changes, and saves them when asked; false when
  // the window is to stay open (cancelled, or not saved).
  bool SaveBeforeClosing();
  // The case now is the file `path`, as it was opened or saved: the title names it, unchanged.
  void CaseIsNow(const QString& path);
  // "Fichiers récents": the cases last opened or saved, in this session or an earlier one.
  void FillRecentCases();
  bool ChooseResultFile(QFileDialog*& dialog, const char* name, const QString& caption,
                        const char* proposed, std::string& path);
  void SetRunning(bool running);
  // The run's files are written and its results are being made ready for the windows.
  void OnLoading();
  void OnRunFinished(const session::RunOutcome& outcome);
  void Inform(const QString& text);
  // A run's report on the status line, beneath the commands and, when it has one, in a box.
  void Report(const session::RunReport& report);
  QString Text(FieldId id) const;
  FieldId IdOf(const QObject* box) const;

  ModelState& state_;
  session::InputForm form_;  // the boxes' texts and what they commit into state_
  ResultWindows& windows_;
  GeometrieOptions options_;
  MaterialsCatalogue catalogue_;
  UserCatalogue user_;
  QPointer<Materiaux> materiaux_;
  QPointer<EtudeParametrique> etude_;
  QPointer<AjustementMesures> ajustement_;
  RunWorker worker_;
  ResultPaths paths_;

  std::array<QLineEdit*, session::kFieldCount> boxes_{};
  QComboBox* stressModel_ = nullptr;  // "Combo1"
  QListWidget* substrateList_ = nullptr;
  QListWidget* coatingList_ = nullptr;
  QCheckBox* severalCoats_ = nullptr;  // "Plusieurs couches"
  Couches* couches_ = nullptr;
  QPushButton* execution_ = nullptr;
  QPushButton* thermalButton_ = nullptr;
  QPushButton* stressButton_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QLabel* summary_ = nullptr;  // what the last run did, with the files it wrote
  QWidget* inputArea_ = nullptr;
  QFileDialog* thermalDialog_ = nullptr;
  QFileDialog* stressDialog_ = nullptr;
  QUndoStack* undoStack_ = nullptr;
  QAction* openAction_ = nullptr;
  QMenu* recentCases_ = nullptr;
  QAction* saveAction_ = nullptr;
  QAction* saveAsAction_ = nullptr;
  QAction* defaultsAction_ = nullptr;
  QAction* undoAction_ = nullptr;
  QAction* redoAction_ = nullptr;

  QString summaryBeforeRefusal_;  // null unless the summary tells a refused run
  QString caseFile_;              // the case as last opened or saved; empty before
  bool shippedOnly_ = false;      // the shipped materials alone, as asked for when the user's fail
  bool restoring_ = false;        // while the window itself sets texts and selections
};

}  // namespace quillane::ui
