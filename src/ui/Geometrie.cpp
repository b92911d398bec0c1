#include "ui/Geometrie.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QToolTip>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "Version.h"
#include "io/CaseFile.h"
#include "session/CoatEntry.h"
#include "session/WindowText.h"
#include "ui/AjustementMesures.h"
#include "ui/Couches.h"
#include "ui/EtudeParametrique.h"
#include "ui/Materiaux.h"
#include "widgets/UpDown.h"
#include "widgets/Widgets.h"

namespace quillane::ui {

namespace {

// The folder of the case dialogs, kept between sessions.
constexpr const char* kCaseDialog = "cas";

// The legend of the thermal model, exactly as the users know it.
const char* const kLegend[] = {
    "Modèle thermique de déposition  en  7 feuillets",
    "1er feuillet = substrat",
    "2eme feuillet = Résistance de contact pour la 1ere couche sinon  épaisseur  des couches "
    "précédentes. ",
    "3eme feuillet 1ere lamelle de la couche de dépôt en cours. ",
    "4eme feuillet épaisseur croissante = couche de dépôt en cours.",
    "5, 6eme feuillets épaisseur fixée =  lamelles pénultiémes",
    "7eme feuillet épaisseur fixée (initialement fondue) =  lamelle ultime",
};

QLabel* Caption(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  // Plain text keeps the double blanks of the captions.
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

// ---- undo ----

class Geometrie::FormCommand : public QUndoCommand {
 public:
  FormCommand(Geometrie& window, const QString& text, FormSnapshot before, FormSnapshot after,
              session::RowsWrite rows = {})
      : QUndoCommand(text),
        window_(window),
        before_(std::move(before)),
        after_(std::move(after)),
        rows_(std::move(rows)) {}
  void undo() override {
    if (!rows_.Written.empty()) {
      window_.WriteUserRows([this](UserCatalogue& user) { session::TakeBack(user, rows_); });
    }
    window_.Restore(before_);
  }
  void redo() override {
    // Pushing happens after the change was made.
    if (first_) {
      first_ = false;
      return;
    }
    if (!rows_.Written.empty()) {
      window_.WriteUserRows([this](UserCatalogue& user) { user.SaveAll(rows_.Written); });
    }
    window_.Restore(after_);
  }

 private:
  Geometrie& window_;
  FormSnapshot before_;
  FormSnapshot after_;
  session::RowsWrite rows_;  // the user's rows the change wrote, if any
  bool first_ = true;
};

// ---- window ----

Geometrie::Geometrie(ModelState& state, ResultWindows& windows, GeometrieOptions options,
                     QWidget* parent)
    : QMainWindow(parent),
      state_(state),
      form_(state),
      windows_(windows),
      options_(std::move(options)),
      user_(options_.UserCataloguePath),
      worker_(this) {
  setObjectName(QStringLiteral("Geometrie"));
  setWindowTitle(Q(session::CaseTitle({})));
  state_.Locale = SettingsOf(options_.Locale);
  undoStack_ = new QUndoStack(this);
  // The title marks changes since the case was opened or saved; undoing them takes it away.
  connect(undoStack_, &QUndoStack::cleanChanged, this,
          [this](bool clean) { setWindowModified(!clean); });
  BuildWidgets();
  BuildMenus();
  WrapStatusMessages(*statusBar());
  AddKeys();
  connect(&worker_, &RunWorker::Finished, this, &Geometrie::OnRunFinished);
  connect(&worker_, &RunWorker::ProgressChanged, this, [this](double fraction) {
    progress_->setValue(static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * 1000)));
    if (!worker_.IsLoading()) {
      windows_.ShowRunProgress(QStringLiteral("Calcul en cours…"), fraction);
    }
  });
  connect(&worker_, &RunWorker::Loading, this, &Geometrie::OnLoading);
  Load();
  FitWithinScreen(*this, sizeHint(), inputArea_);
}

Geometrie::~Geometrie() {
  worker_.CancelAndWait();
  // The study and fit windows read this window's inputs and catalogue until they are gone.
  delete etude_.data();
  delete ajustement_.data();
  // The boxes outlive this object's members while the base class deletes them: they must
  // not reach the commit rules on their way out.
  for (QLineEdit* box : boxes_) {
    box->removeEventFilter(this);
    box->disconnect(this);
  }
  for (QListWidget* list : {substrateList_, coatingList_}) list->disconnect(this);
  couches_->disconnect(this);
  // Clearing the stack on its deletion announces that nothing is left to undo.
  undoStack_->disconnect(this);
}

QLineEdit* Geometrie::MakeBox(FieldId id, QWidget* parent) {
  auto* box = Named<QLineEdit>(Field(id).Name(), parent);
  box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000.000E+00")));
  box->installEventFilter(this);
  boxes_[static_cast<std::size_t>(id)] = box;
  connect(box, &QLineEdit::textChanged, this,
          [this, id](const QString& text) { form_.Type(id, text.toStdString()); });
  // Enter commits as leaving the box would.
  connect(box, &QLineEdit::returnPressed, this, [this, id] { Commit(id); });
  return box;
}

QWidget* Geometrie::BoxWithSpin(FieldId id, const char* spinName, QWidget* parent) {
  auto* holder = new QWidget(parent);
  auto* layout = new QHBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  QLineEdit* box = MakeBox(id, holder);
  holder->setFocusProxy(box);
  auto* spin = new UpDown(QString::fromUtf8(spinName), holder);
  spin->setFixedHeight(box->sizeHint().height());
  layout->addWidget(box, 1);
  layout->addWidget(spin);
  connect(spin, &UpDown::Stepped, this, [this, id](int direction) { Step(id, direction); });
  return holder;
}

QWidget* Geometrie::MakeInput(const InputSpec& input, QWidget* parent) {
  if (!input.Choices.empty()) {
    // The one input picked among choices: the stress model.
    stressModel_ = MakeModelChoice(input.Control, parent);
    connect(stressModel_, &QComboBox::activated, this, &Geometrie::OnStressModelPicked);
    return stressModel_;
  }
  const FieldId id = session::FieldOf(input).Id;
  return input.Cell.Spin != nullptr ? BoxWithSpin(id, input.Cell.Spin, parent)
                                    : MakeBox(id, parent);
}

QListWidget* Geometrie::MakeList(const InputSpec& input, QWidget* parent) {
  auto* list = Named<QListWidget>(input.Control, parent);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  const bool substrate = input.TextField == &InputParameters::SubstrateMaterialName;
  (substrate ? substrateList_ : coatingList_) = list;
  connect(list, &QListWidget::itemSelectionChanged, this,
          [this, substrate] { OnMaterialPicked(substrate); });
  return list;
}

QWidget* Geometrie::MakeCoatingChoice(const InputSpec& input, QWidget* parent) {
  auto* holder = new QWidget(parent);
  auto* layout = new QVBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  severalCoats_ = Named<QCheckBox>("PlusieursCouches", QStringLiteral("Plusieurs couches"), holder);
  severalCoats_->setToolTip(
      QStringLiteral("Un système de couches (sous-couche et couche de finition, par exemple), "
                     "chacune avec son matériau et ses passes : modèle du dépôt complet"));
  couches_ = new Couches(holder);
  couches_->hide();
  layout->addWidget(severalCoats_);
  layout->addWidget(MakeList(input, holder), 1);
  layout->addWidget(couches_, 1);
  connect(severalCoats_, &QCheckBox::clicked, this, &Geometrie::OnCoatsToggled);
  connect(couches_, &Couches::CellEdited, this, &Geometrie::OnCoatEdited);
  connect(couches_, &Couches::AddClicked, this,
          [this] { ChangeCoats(QStringLiteral("Ajouter une couche"), session::AddCoat); });
  connect(couches_, &Couches::RemoveClicked, this, [this](int coat) {
    ChangeCoats(QStringLiteral("Retirer la couche %1").arg(coat + 1), [coat](InputParameters& in) {
      return session::RemoveCoat(in, static_cast<std::size_t>(coat));
    });
  });
  return holder;
}

QGroupBox* Geometrie::BuildFrame(const FrameLook& look) {
  auto* frame = Named<QGroupBox>(look.Name, QString::fromUtf8(look.Title), inputArea_);
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(8, 4, 8, 6);
  auto* grid = new QGridLayout;
  grid->setVerticalSpacing(look.Beside ? 3 : 2);
  // Each input of the table in its cell, made in reading order so that Tab follows it: a
  // material list at the top, the fields beneath, row by row.
  for (const InputSpec* input : session::FrameInputs(look.Frame)) {
    const WindowCell& cell = input->Cell;
    if (session::IsMaterialList(*input)) {
      const bool coating = input->TextField == &InputParameters::CoatingMaterialName;
      layout->addWidget(coating ? MakeCoatingChoice(*input, frame) : MakeList(*input, frame), 1);
      continue;
    }
    QLabel* caption = Caption(input->Caption, frame);
    QWidget* field = MakeInput(*input, frame);
    caption->setBuddy(field->focusProxy() != nullptr ? field->focusProxy() : field);
    if (look.Beside) {
      grid->addWidget(caption, cell.Row, 0);
      grid->addWidget(field, cell.Row, 1);
    } else {
      grid->addWidget(caption, 2 * cell.Row, cell.Column, 1, cell.Wide ? 2 : 1);
      grid->addWidget(field, 2 * cell.Row + 1, cell.Column);
    }
  }
  grid->setColumnStretch(0, look.Beside ? 0 : 1);
  grid->setColumnStretch(1, 1);
  layout->addLayout(grid);
  return frame;
}

QGroupBox* Geometrie::BuildLegend(QWidget* parent) {
  auto* titre = Named<QGroupBox>("Titre", QStringLiteral("Titre"), parent);
  auto* legend = new QVBoxLayout(titre);
  legend->setSpacing(0);
  legend->setContentsMargins(8, 2, 8, 4);
  for (std::size_t i = 0; i < std::size(kLegend); ++i) {
    QLabel* line = Caption(kLegend[i], titre);
    line->setObjectName(QStringLiteral("Label%1").arg(i + 1));
    if (i == 0) {
      QFont heading = line->font();
      heading.setBold(true);
      heading.setPointSizeF(heading.pointSizeF() * 1.15);
      line->setFont(heading);
    }
    legend->addWidget(line);
  }
  return titre;
}

QHBoxLayout* Geometrie::BuildCommands(QWidget* parent) {
  execution_ = Named<QPushButton>("Execution", QStringLiteral("Execution calculs"), parent);
  execution_->setEnabled(false);
  execution_->setToolTip(QStringLiteral("Choisir un substrat et un dépôt pour lancer un calcul"));
  thermalButton_ =
      Named<QPushButton>("Command3", QStringLiteral("Choix fichier resultats (thermique)"), parent);
  stressButton_ =
      Named<QPushButton>("Command2", QStringLiteral("Choix fichier resultats(stress)"), parent);
  for (QPushButton* button : {execution_, thermalButton_, stressButton_}) {
    button->setMinimumHeight(button->sizeHint().height() * 5 / 4);
  }
  connect(execution_, &QPushButton::clicked, this, &Geometrie::Execution);
  connect(thermalButton_, &QPushButton::clicked, this, &Geometrie::ChooseThermalFile);
  connect(stressButton_, &QPushButton::clicked, this, &Geometrie::ChooseStressFile);
  return MakeRow(parent, {{execution_, 1}, {thermalButton_, 1}, {stressButton_, 1}});
}

// What the last run did, with its progress and its cancel button beside it while one runs, so
// that neither cuts the messages of the status line.
QHBoxLayout* Geometrie::BuildRunRow(QWidget* parent) {
  summary_ = Named<QLabel>("RunSummary", QStringLiteral("Aucun calcul lancé."), parent);
  summary_->setWordWrap(true);
  summary_->setTextFormat(Qt::PlainText);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Room for two lines from the start, so the window does not jump when a run reports.
  summary_->setMinimumHeight(summary_->fontMetrics().lineSpacing() * 2);
  summary_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  progress_ = Named<QProgressBar>("RunProgress", parent);
  progress_->setRange(0, 1000);
  progress_->setTextVisible(true);
  progress_->setFormat(QStringLiteral("%p %"));
  progress_->setMinimumWidth(160);
  cancel_ = Named<QPushButton>("CancelRun", QStringLiteral("Annuler"), parent);
  cancel_->setToolTip(
      QStringLiteral("Arrêter le calcul ; aucun fichier de résultats n'est modifié"));
  progress_->hide();
  cancel_->hide();
  connect(cancel_, &QPushButton::clicked, this, [this] {
    worker_.Cancel();
    cancel_->setEnabled(false);
    Inform(QStringLiteral("Annulation du calcul…"));
  });
  QHBoxLayout* row = MakeRow(parent, {{summary_, 1}, progress_, cancel_});
  row->setAlignment(progress_, Qt::AlignTop);
  row->setAlignment(cancel_, Qt::AlignTop);
  return row;
}

void Geometrie::BuildWidgets() {
  auto* central = new QWidget(this);
  auto* main = new QVBoxLayout(central);
  // Tight spacing: the whole window fits a screen 768 pixels high with its title bar and panel.
  main->setContentsMargins(8, 6, 8, 4);
  main->setSpacing(4);
  // The legend, then the substrate and options on the left, the deposit on the right: all that
  // scrolls on a small screen, where the commands below stay in view.
  inputArea_ = new QWidget(central);
  auto* entries = new QVBoxLayout(inputArea_);
  entries->setContentsMargins(0, 0, 0, 0);
  entries->setSpacing(4);
  entries->addWidget(BuildLegend(inputArea_));
  auto* columns = new QHBoxLayout;
  entries->addLayout(columns, 1);
  auto* left = new QVBoxLayout;
  left->addWidget(BuildFrame({WindowFrame::Substrate, "Substrat", "Substrat", false}), 1);
  left->addWidget(BuildFrame({WindowFrame::Options, "options", "options", false}));
  columns->addLayout(left, 1);
  columns->addWidget(BuildFrame({WindowFrame::Deposit, "Depot", "Dépôt", true}), 1);
  main->addWidget(inputArea_, 1);
  main->addLayout(BuildCommands(central));
  main->addLayout(BuildRunRow(central));
  setCentralWidget(central);
}

void Geometrie::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&Fichier"));
  file->setObjectName(QStringLiteral("Fichier"));
  openAction_ = file->addAction(QStringLiteral("&Ouvrir un cas…"), this, &Geometrie::OpenCaseFile);
  openAction_->setObjectName(QStringLiteral("OpenCase"));
  openAction_->setShortcut(QKeySequence::Open);
  saveAction_ = file->addAction(QStringLiteral("&Enregistrer le cas"), this, &Geometrie::SaveCase);
  saveAction_->setObjectName(QStringLiteral("SaveCase"));
  saveAction_->setShortcut(QKeySequence::Save);
  saveAsAction_ =
      file->addAction(QStringLiteral("Enregistrer &sous…"), this, &Geometrie::SaveCaseAs);
  saveAsAction_->setObjectName(QStringLiteral("SaveCaseAs"));
  saveAsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  recentCases_ = file->addMenu(QStringLiteral("Fichiers &récents"));
  recentCases_->setObjectName(QStringLiteral("RecentCases"));
  FillRecentCases();
  file->addSeparator();
  defaultsAction_ =
      file->addAction(QStringLiteral("&Valeurs par défaut"), this, &Geometrie::RestoreDefaults);
  defaultsAction_->setObjectName(QStringLiteral("Defaults"));

  file->addSeparator();
  QAction* materials =
      file->addAction(QStringLiteral("&Matériaux…"), this, &Geometrie::OpenMaterials);
  materials->setObjectName(QStringLiteral("MaterialsWindow"));
  QAction* study =
      file->addAction(QStringLiteral("É&tude paramétrique…"), this, &Geometrie::OpenStudy);
  study->setObjectName(QStringLiteral("StudyWindow"));
  QAction* fit =
      file->addAction(QStringLiteral("&Ajustement sur mesures…"), this, &Geometrie::OpenFit);
  fit->setObjectName(QStringLiteral("FitWindow"));

  QMenu* edit = menuBar()->addMenu(QStringLiteral("É&dition"));
  edit->setObjectName(QStringLiteral("Edition"));
  undoAction_ = edit->addAction(QStringLiteral("&Annuler la saisie"));
  undoAction_->setObjectName(QStringLiteral("Undo"));
  undoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  redoAction_ = edit->addAction(QStringLiteral("&Rétablir la saisie"));
  redoAction_->setObjectName(QStringLiteral("Redo"));
  redoAction_->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  undoAction_->setEnabled(false);
  redoAction_->setEnabled(false);
  connect(undoAction_, &QAction::triggered, this, [this] {
    CommitPendingEdit();
    if (!undoStack_->canUndo()) return;
    const QString text = undoStack_->undoText();
    undoStack_->undo();
    Inform(QStringLiteral("Annulé : %1").arg(text));
  });
  connect(redoAction_, &QAction::triggered, this, [this] {
    CommitPendingEdit();
    if (!undoStack_->canRedo()) return;
    const QString text = undoStack_->redoText();
    undoStack_->redo();
    Inform(QStringLiteral("Rétabli : %1").arg(text));
  });
  connect(undoStack_, &QUndoStack::canUndoChanged, this,
          [this](bool can) { undoAction_->setEnabled(can && !worker_.IsRunning()); });
  connect(undoStack_, &QUndoStack::canRedoChanged, this,
          [this](bool can) { redoAction_->setEnabled(can && !worker_.IsRunning()); });

  QAction* fin = menuBar()->addAction(QStringLiteral("Fin"), this, &Geometrie::Fin);
  fin->setObjectName(QStringLiteral("Fin"));
  fin->setShortcut(QKeySequence::Quit);
  QAction* raz = menuBar()->addAction(QStringLiteral("RAZ"), this, &Geometrie::Raz);
  raz->setObjectName(QStringLiteral("RAZ"));

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Aide"));
  help->setObjectName(QStringLiteral("Aide"));
  QAction* guide = help->addAction(QStringLiteral("&Guide"), this, &Geometrie::ShowGuide);
  guide->setObjectName(QStringLiteral("Guide"));
  guide->setShortcut(QKeySequence::HelpContents);
  help->addAction(QStringLiteral("À &propos de Quillane"), this, &Geometrie::ShowAbout)
      ->setObjectName(QStringLiteral("About"));
}

void Geometrie::AddKeys() {
  GiveMnemonic(*execution_, QStringLiteral("Execution"));
  GiveMnemonic(*thermalButton_, QStringLiteral("thermique"));
  GiveMnemonic(*stressButton_, QStringLiteral("stress"));
  // Alt+A opens "Aide".
  GiveMnemonic(*cancel_, QStringLiteral("nnuler"));
  PressOnKey(*this, *execution_, QKeySequence(Qt::Key_F5));
}

void Geometrie::FillRecentCases() {
  recentCases_->clear();
  const QStringList recent = RecentCases();
  for (int i = 0; i < recent.size(); ++i) {
    const QString path = recent[i];
    QAction* open = recentCases_->addAction(
        QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()), this, [this, path] {
          if (!worker_.IsRunning()) OpenCaseFrom(path);
        });
    open->setToolTip(path);
    open->setData(path);
  }
  recentCases_->setEnabled(!recent.isEmpty());
}

void Geometrie::ShowAbout() {
  QMessageBox::about(
      this, QStringLiteral("À propos de Quillane"),
      Q(session::AboutText(kVersion, options_.CataloguePath, options_.UserCataloguePath)));
}

void Geometrie::ShowGuide() {
  const std::filesystem::path path = session::GuidePath(options_.CataloguePath);
  QFile file(QString::fromStdString(path.string()));
  if (!file.open(QIODevice::ReadOnly)) {
    QMessageBox::information(
        this, QStringLiteral("Guide"),
        QStringLiteral("Le guide n'est pas installé : %1 est introuvable.").arg(file.fileName()));
    return;
  }
  auto* guide = new QDialog(this);
  guide->setObjectName(QStringLiteral("GuideWindow"));
  guide->setWindowTitle(QStringLiteral("Guide de Quillane"));
  guide->setAttribute(Qt::WA_DeleteOnClose);
  auto* text = new QTextBrowser(guide);
  text->setOpenExternalLinks(true);
  // Its pictures lie beside the README it links to.
  text->setSearchPaths({QFileInfo(QFileInfo(file.fileName()).canonicalFilePath()).absolutePath()});
  text->setMarkdown(QString::fromUtf8(file.readAll()));
  auto* layout = new QVBoxLayout(guide);
  layout->addWidget(text);
  ResizeWithinScreen(*guide, 900, 700);
  guide->show();
}

void Geometrie::OpenMaterials() {
  if (!materiaux_) {
    materiaux_ = new Materiaux(user_, state_.Locale.DecimalSeparator, this);
    materiaux_->setWindowFlag(Qt::Window);
    connect(materiaux_, &Materiaux::CatalogueChanged, this, &Geometrie::OnCatalogueEdited);
  }
  materiaux_->Show(catalogue_);
  ShowInFront(*materiaux_);
}

void Geometrie::OpenStudy() {
  CommitPendingEdit();
  if (!etude_) {
    // Each study starts from a copy of the inputs and of the catalogue as they are then.
    etude_ = new EtudeParametrique([this] { return StudyBase{state_, catalogue_}; }, this);
    etude_->setWindowFlag(Qt::Window);
    etude_->OnModelPicked([this](const std::string& value) { PickStressModel(value); });
  } else {
    etude_->Reopen();
  }
  ShowInFront(*etude_);
}

void Geometrie::OpenFit() {
  CommitPendingEdit();
  if (!ajustement_) {
    // Each fit starts from a copy of the inputs and of the catalogue as they are then.
    FitLinks links{[this] {
                     return StudyBase{state_, catalogue_};
                   },
                   [this] { return !worker_.IsRunning(); },
                   [this](const std::string& coating, const std::vector<std::string>& coats,
                          std::optional<double> heatFlux, const session::RowsWrite& rows) {
                     TakeFit(coating, coats, heatFlux, rows);
                   },
                   [this](const std::string& value) { PickStressModel(value); }};
    ajustement_ = new AjustementMesures(std::move(links), user_, this);
    ajustement_->setWindowFlag(Qt::Window);
  }
  ShowInFront(*ajustement_);
}

bool Geometrie::TakeFit(const std::string& coating, const std::vector<std::string>& coats,
                        std::optional<double> heatFlux, const session::RowsWrite& rows) {
  if (worker_.IsRunning()) return false;
  CommitPendingEdit();
  const FormSnapshot before = Snapshot();
  // Fitted figures may have been saved as user rows: the lists show them before one is picked.
  ReloadCatalogue();
  form_.TakeFit(coating, coats, heatFlux);
  ShowInputs();
  // A fitted "contact" row goes back with the inputs when the change is undone; a fitted
  // coating's row stays.
  undoStack_->push(new FormCommand(*this, QStringLiteral("Ajustement sur mesures"), before,
                                   Snapshot(), session::UndoneWithInputs(rows)));
  Inform(QStringLiteral("Valeurs ajustées reportées dans la saisie."));
  return true;
}

void Geometrie::WriteUserRows(const std::function<void(UserCatalogue&)>& write) {
  try {
    write(user_);
  } catch (const CatalogueError&) {
    QMessageBox::warning(
        this, QApplication::applicationName(),
        Q(session::NotWritten("Vos matériaux n'ont pas été modifiés", user_.Path())));
  }
  ReloadCatalogue();
}

void Geometrie::OnCatalogueEdited(const std::vector<session::RowChange>& changes) {
  const FormSnapshot before = Snapshot();
  ReloadCatalogue();
  // A replaced pick follows its row and a deleted one is no longer picked, so that the window
  // never offers a run that would be refused.
  if (!form_.FollowCatalogue(changes, catalogue_)) return;
  ShowInputs();
  PushChange(QStringLiteral("Matériaux"), before);
}

void Geometrie::ReloadCatalogue() {
  session::CatalogueOpening opening =
      session::OpenCatalogue(options_.CataloguePath, user_, false, shippedOnly_);
  if (!opening.Told.Status.empty()) Inform(Q(opening.Told.Status));
  if (!opening.Catalogue) return;
  catalogue_ = std::move(*opening.Catalogue);
  // The lists follow at once, keeping what was picked (a deleted pick stays named, and a run
  // then says it is not in the catalogue).
  restoring_ = true;
  BindLists();
  SelectMaterial(substrateList_, state_.Input.SubstrateMaterialName);
  SelectMaterial(coatingList_, state_.Input.CoatingMaterialName);
  ShowCoats();
  restoring_ = false;
  if (materiaux_) materiaux_->Show(catalogue_);
}

void Geometrie::Load() {
  // The catalogue first: the lists are bound to it before the defaults fill the boxes.
  session::CatalogueOpening opening = session::OpenCatalogue(options_.CataloguePath, user_, true);
  if (opening.Catalogue) catalogue_ = std::move(*opening.Catalogue);
  if (!opening.Told.Status.empty()) {
    statusBar()->showMessage(Q(opening.Told.Status));
    // Told once the window is on screen, so that the box has a parent to stand on.
    QTimer::singleShot(0, this, [this, told = opening.Told, damaged = opening.UserDamaged] {
      if (!damaged) {
        QMessageBox::critical(this, QApplication::applicationName(), Q(told.Box));
        return;
      }
      // Runs take the shipped figures in place of the user's only when asked to.
      if (Ask(this, QApplication::applicationName(), Q(told.Box),
              QString::fromUtf8(session::kShippedMaterialsAlone))) {
        shippedOnly_ = true;
        ReloadCatalogue();
        Inform(QStringLiteral("Matériaux livrés seuls : vos matériaux ne sont pas utilisés."));
      }
    });
  }
  BindLists();

  ApplyDefaults(state_);
  form_.ShowState();
  ShowForm();
  ShowStressModel();
  undoStack_->clear();
  MarkRanges();
}

void Geometrie::BindLists() {
  // Eight rows show at once, so that the window fits a screen 768 pixels high; more scroll.
  constexpr int kShownRows = 8;
  const int shown = std::clamp(static_cast<int>(catalogue_.Rows().size()), 7, kShownRows);
  for (QListWidget* list : {substrateList_, coatingList_}) {
    const QSignalBlocker blocker(list);
    list->clear();
    for (const MaterialRecord& row : catalogue_.Rows()) list->addItem(Q(row.Name));
    const int rowHeight =
        list->count() > 0 ? list->sizeHintForRow(0) : list->fontMetrics().height();
    list->setMinimumHeight(rowHeight * shown + 2 * list->frameWidth() + 4);
  }
}

QString Geometrie::Text(FieldId id) const {
  return Box(id)->text();
}

FieldId Geometrie::IdOf(const QObject* box) const {
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    if (boxes_[i] == box) return static_cast<FieldId>(i);
  }
  throw std::logic_error("not a box of the window");
}

void Geometrie::SetBoxText(FieldId id, const QString& text) {
  QLineEdit* box = Box(id);
  box->setText(text);
  box->setCursorPosition(0);
}

void Geometrie::ShowForm() {
  for (const FieldInfo& field : Fields()) SetBoxText(field.Id, Q(form_.Shown(field.Id)));
}

void Geometrie::ShowInputs() {
  restoring_ = true;
  ShowForm();
  SelectMaterial(substrateList_, state_.Input.SubstrateMaterialName);
  SelectMaterial(coatingList_, state_.Input.CoatingMaterialName);
  ShowStressModel();
  restoring_ = false;
  UpdateExecutionEnabled();
  MarkRanges();
}

void Geometrie::ShowCoats() {
  const bool several = !state_.Input.Coats.empty();
  severalCoats_->setChecked(several);
  severalCoats_->setEnabled(several || state_.Input.StressModel == kWholeDepositModel);
  coatingList_->setVisible(!several);
  couches_->setVisible(several);
  couches_->Show(state_, catalogue_, session::CoatNotes(state_, &catalogue_));
}

void Geometrie::OnCoatsToggled(bool several) {
  if (restoring_) return;
  ChangeCoats(QStringLiteral("Plusieurs couches"), [several](InputParameters& in) {
    several ? session::StartCoats(in) : session::StopCoats(in);
    return true;
  });
}

void Geometrie::ChangeCoats(const QString& text,
                            const std::function<bool(InputParameters&)>& change) {
  if (worker_.IsRunning()) return;
  CommitPendingEdit();
  const FormSnapshot before = Snapshot();
  if (!change(state_.Input)) return;
  ShowInputs();
  PushChange(text, before);
}

void Geometrie::OnCoatEdited(int coat, int column, const QString& text) {
  if (restoring_ || worker_.IsRunning()) return;
  const FormSnapshot before = Snapshot();
  const auto at = static_cast<std::size_t>(column);
  const std::optional<session::CommitOutcome> outcome =
      session::CommitCoatCell(state_, static_cast<std::size_t>(coat), at, text.toStdString());
  // The cell shows what the coat now holds: a refused text goes, a number is shown again.
  MarkRanges();
  if (!outcome) return;
  if (!outcome->Accepted) {
    QApplication::beep();
    statusBar()->showMessage(Q(outcome->Reason), 20000);
    return;
  }
  UpdateExecutionEnabled();
  PushChange(
      QStringLiteral("Couche %1 : %2").arg(coat + 1).arg(Q(session::CoatColumns()[at].Header)),
      before);
  if (couches_->Marked(coat, column)) {
    const QTableWidget& table = *couches_->Table();
    const QTableWidgetItem* item = table.item(coat, column);
    statusBar()->showMessage(item != nullptr ? item->toolTip()
                                             : table.cellWidget(coat, column)->toolTip());
  } else {
    statusBar()->clearMessage();
  }
}

bool Geometrie::eventFilter(QObject* watched, QEvent* event) {
  const auto* box = qobject_cast<QLineEdit*>(watched);
  if (box == nullptr || std::find(boxes_.begin(), boxes_.end(), box) == boxes_.end()) {
    return QMainWindow::eventFilter(watched, event);
  }
  const FieldId id = IdOf(box);
  switch (event->type()) {
    case QEvent::FocusOut: {
      // Focus moving to another window or to a menu is not leaving the box.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) Commit(id);
      break;
    }
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (Field(id).Spins() && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
        Step(id, key->key() == Qt::Key_Up ? 1 : -1);
        return true;
      }
      break;
    }
    case QEvent::ShortcutOverride: {
      // While the box holds an edit, Ctrl+Z undoes typing in it; otherwise the window's
      // undo of committed edits takes the key.
      auto* key = static_cast<QKeyEvent*>(event);
      const bool undoKey =
          key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
          key->keyCombination() == QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z);
      if (undoKey && box->text() == Q(form_.Shown(id))) {
        event->ignore();
        return true;
      }
      break;
    }
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

void Geometrie::Commit(FieldId id) {
  const FormSnapshot before = Snapshot();
  const std::optional<session::CommitOutcome> outcome = form_.Commit(id, Text(id).toStdString());
  if (!outcome) return;
  if (Text(id) != Q(form_.Shown(id))) SetBoxText(id, Q(form_.Shown(id)));
  Committed(id, *outcome, before);
}

void Geometrie::Step(FieldId id, int direction) {
  if (worker_.IsRunning()) return;
  const FormSnapshot before = Snapshot();
  const session::CommitOutcome outcome = form_.Step(id, Text(id).toStdString(), direction);
  if (outcome.Accepted) SetBoxText(id, Q(form_.Shown(id)));
  Committed(id, outcome, before);
}

void Geometrie::Committed(FieldId id, const session::CommitOutcome& outcome,
                          const FormSnapshot& before) {
  const auto tell = [&] {
    const QString text = Q(outcome.Reason);
    QApplication::beep();
    statusBar()->showMessage(text, 20000);
    QLineEdit* box = Box(id);
    QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), text, box);
  };
  if (!outcome.Accepted) {
    tell();
    return;
  }
  PushChange(QString::fromUtf8(Field(id).Caption()).trimmed(), before);
  MarkRanges();
  // A text a lenient box read as a number it is not is told all the same.
  if (!outcome.Reason.empty()) {
    tell();
    return;
  }
  // The newest event speaks: an earlier refusal does not stay after a good entry.
  QLineEdit* box = Box(id);
  if (box->property("outOfRange").toBool()) {
    statusBar()->showMessage(box->toolTip());
  } else {
    statusBar()->clearMessage();
  }
}

void Geometrie::MarkRanges() {
  const std::vector<session::FieldNote> notes = session::FieldNotes(state_);
  for (const FieldInfo& field : Fields()) {
    const session::FieldNote& note = notes[static_cast<std::size_t>(field.Id)];
    QLineEdit* box = Box(field.Id);
    MarkBox(*box, note.Outside);
    box->setToolTip(Q(note.Tip));
  }
  ShowCoats();
  ForgetMendedRefusal();
}

void Geometrie::ForgetMendedRefusal() {
  if (summaryBeforeRefusal_.isNull() || !FindInputFaults(state_, &catalogue_).empty()) return;
  if (statusBar()->currentMessage() == summary_->text()) statusBar()->clearMessage();
  summary_->setText(summaryBeforeRefusal_);
  summaryBeforeRefusal_ = QString();
}

void Geometrie::CommitPendingEdit() {
  QWidget* focus = QApplication::focusWidget();
  // A cell being typed commits as leaving it would.
  if (focus != nullptr && couches_->isAncestorOf(focus) && qobject_cast<QLineEdit*>(focus)) {
    focus->clearFocus();
    return;
  }
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    if (boxes_[i] == focus) Commit(static_cast<FieldId>(i));
  }
}

void Geometrie::OnMaterialPicked(bool substrate) {
  if (restoring_) return;
  QListWidget* list = substrate ? substrateList_ : coatingList_;
  const QList<QListWidgetItem*> selected = list->selectedItems();
  if (selected.isEmpty()) return;
  const FormSnapshot before = Snapshot();
  if (!form_.Pick(substrate, selected.first()->text().toStdString())) return;
  UpdateExecutionEnabled();
  PushChange(substrate ? QStringLiteral("Substrat") : QStringLiteral("Dépôt"), before);
  ForgetMendedRefusal();
}

void Geometrie::OnStressModelPicked(int index) {
  if (restoring_ || index < 0) return;
  PickStressModel(stressModel_->itemData(index).toString().toStdString());
}

void Geometrie::PickStressModel(const std::string& value) {
  if (state_.Input.StressModel == value) return;
  const FormSnapshot before = Snapshot();
  state_.Input.StressModel = value;
  PushChange(QString::fromUtf8(Input("StressModel").Caption), before);
  ShowStressModel();
}

void Geometrie::ShowStressModel() {
  // A value no choice holds (from a case file) shows no choice; the run then tells why. The
  // study and fit windows show the same model.
  ShowModelChoice(*stressModel_, state_.Input.StressModel);
  if (etude_) etude_->ShowModel(state_.Input.StressModel);
  if (ajustement_) ajustement_->ShowModel(state_.Input.StressModel);
  severalCoats_->setEnabled(!state_.Input.Coats.empty() ||
                            state_.Input.StressModel == kWholeDepositModel);
}

void Geometrie::UpdateExecutionEnabled() {
  // Enabled while both materials are named and no run is in progress.
  const bool ready = !worker_.IsRunning() && form_.BothPicked();
  execution_->setEnabled(ready);
  execution_->setToolTip(
      ready ? QStringLiteral("Lancer le calcul (F5)")
            : QStringLiteral("Choisir un substrat et un dépôt pour lancer un calcul"));
}

void Geometrie::SelectMaterial(QListWidget* list, const std::string& name) {
  const QSignalBlocker blocker(list);
  list->clearSelection();
  const MaterialRecord* row = catalogue_.IsOpen() ? catalogue_.FindMaterial(name) : nullptr;
  if (row == nullptr) return;
  const QList<QListWidgetItem*> items = list->findItems(Q(row->Name), Qt::MatchExactly);
  if (items.isEmpty()) return;
  list->setCurrentItem(items.first());
  items.first()->setSelected(true);
  list->scrollToItem(items.first());
}

Geometrie::FormSnapshot Geometrie::Snapshot() const {
  return form_.Take();
}

void Geometrie::Restore(const FormSnapshot& snapshot) {
  form_.Restore(snapshot);
  ShowInputs();
}

void Geometrie::PushChange(const QString& text, const FormSnapshot& before) {
  FormSnapshot after = Snapshot();
  if (after == before) return;
  undoStack_->push(new FormCommand(*this, text, before, std::move(after)));
}

void Geometrie::Inform(const QString& text) {
  statusBar()->showMessage(text);
}

void Geometrie::Report(const session::RunReport& report) {
  Inform(Q(report.Status));
  summary_->setText(Q(report.Summary));
  if (report.Critical) {
    QMessageBox::critical(this, QApplication::applicationName(), Q(report.Box));
  } else if (!report.Box.empty()) {
    QMessageBox::warning(this, QApplication::applicationName(), Q(report.Box));
  }
}

// ---- commands ----

void Geometrie::Execution() {
  if (worker_.IsRunning()) return;
  CommitPendingEdit();
  const std::vector<InputFault> faults = FindInputFaults(state_, &catalogue_);
  if (!faults.empty()) {
    if (summaryBeforeRefusal_.isNull()) summaryBeforeRefusal_ = summary_->text();
    Report(session::RefusedRun(faults));
    return;
  }
  summaryBeforeRefusal_ = QString();
  SetRunning(true);
  progress_->setValue(0);
  if (!worker_.Start(RunWorker::ExecuteJob(catalogue_, paths_), windows_.PrepareRun(state_))) {
    SetRunning(false);
    return;
  }
  // The other file dialogs start where the results go.
  RememberFolder(kResultsFolder, QString::fromStdString(paths_.Thermal));
  windows_.ShowResults();
  windows_.HideStressWindows();
  // The summary of the run before does not stay beside the one under way.
  Inform(QStringLiteral("Calcul en cours…"));
  summary_->setText(QStringLiteral("Calcul en cours…"));
}

void Geometrie::SetRunning(bool running) {
  // During a run the model state belongs to the worker: nothing here may change it.
  inputArea_->setEnabled(!running);
  thermalButton_->setEnabled(!running);
  stressButton_->setEnabled(!running);
  openAction_->setEnabled(!running);
  saveAction_->setEnabled(!running);
  saveAsAction_->setEnabled(!running);
  defaultsAction_->setEnabled(!running);
  undoAction_->setEnabled(!running && undoStack_->canUndo());
  redoAction_->setEnabled(!running && undoStack_->canRedo());
  progress_->setVisible(running);
  cancel_->setVisible(running);
  cancel_->setEnabled(running);
  if (running) {
    execution_->setEnabled(false);
  } else {
    UpdateExecutionEnabled();
  }
}

void Geometrie::OnLoading() {
  // The files are written: there is nothing left to cancel.
  cancel_->setEnabled(false);
  progress_->setValue(progress_->maximum());
  const QString loading = QStringLiteral("Chargement des résultats…");
  Inform(loading);
  summary_->setText(loading);
  windows_.ShowRunProgress(loading, 1);
}

void Geometrie::OnRunFinished(const session::RunOutcome& outcome) {
  SetRunning(false);
  RunResults results = worker_.TakeResults();
  if (outcome.What == session::RunOutcome::Kind::Completed) {
    // The run's rows, tables and pictures go to the result windows, and its state becomes
    // the window's.
    windows_.TakeIn(results);
    state_ = std::move(results.State);
    QApplication::beep();
  } else {
    windows_.GiveBack(results);
  }
  const QLocale& locale = options_.Locale;
  Report(session::EndOfRun(outcome, state_, paths_,
                           locale.toString(state_.Stress.FinalCurvature, 'g', 6).toStdString(),
                           locale.toString(state_.Stress.FinalDeflection, 'g', 6).toStdString()));
}

bool Geometrie::ChooseResultFile(QFileDialog*& dialog, const char* name, const QString& caption,
                                 const char* proposed, std::string& path) {
  const QStringList filters = Q(session::ResultFileFilters());
  if (dialog == nullptr) {
    // One dialog per file, kept for the life of the window so it remembers its folder.
    dialog = Named<QFileDialog>(name, this, caption);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    // The file is written by the next run, not now: no question about replacing it here.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(filters);
  }
  dialog->selectNameFilter(filters.value(session::kResultFilterChosen));
  // The dialog opens on the file chosen before, in its folder; the first time, on the name
  // proposed.
  dialog->selectFile(QString::fromStdString(session::ResultDialogStart(path, proposed)));
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
    // A cancel keeps the file chosen before: results go only where the user asked.
    return false;
  }
  const QString chosen = dialog->selectedFiles().first();
  path = chosen.toStdString();
  RememberFolder(kResultsFolder, chosen);
  QMessageBox::information(this, QApplication::applicationName(), chosen, QMessageBox::Ok);
  return true;
}

void Geometrie::ChooseThermalFile() {
  if (worker_.IsRunning()) return;
  ChooseResultFile(thermalDialog_, "ThermalFileDialog",
                   QStringLiteral("Choix fichier resultats (thermique)"), session::kThermalProposed,
                   paths_.Thermal);
}

void Geometrie::ChooseStressFile() {
  if (worker_.IsRunning()) return;
  ChooseResultFile(stressDialog_, "StressFileDialog",
                   QStringLiteral("Choix fichier resultats(stress)"), session::kStressProposed,
                   paths_.Stress);
}

void Geometrie::Fin() {
  // As closing the window: unsaved changes of the case are offered for saving first, then a
  // run in progress is stopped, so that no result file is left half written.
  close();
}

void Geometrie::Raz() {
  if (worker_.IsRunning()) {
    Inform(QStringLiteral("RAZ impossible pendant un calcul : annulez-le d'abord."));
    QMessageBox::information(
        this, QApplication::applicationName(),
        QStringLiteral("Un calcul est en cours. Annulez-le avant de remettre à zéro."));
    return;
  }
  // No result file is open between runs; the result windows go, the inputs stay.
  windows_.Reset();
  Inform(QStringLiteral("RAZ : fenêtres de résultats fermées ; les données sont conservées."));
}

session::WorkInHand Geometrie::WorkInHand() const {
  session::WorkInHand work;
  work.RunGoing = worker_.IsRunning();
  if (etude_) etude_->AddWork(work);
  if (ajustement_) ajustement_->AddWork(work);
  return work;
}

bool Geometrie::QuitDespiteWork() {
  const std::string question = session::QuitQuestion(WorkInHand());
  return question.empty() ||
         Ask(this, QApplication::applicationName(), Q(question), QStringLiteral("Quitter"));
}

void Geometrie::closeEvent(QCloseEvent* event) {
  if (!QuitDespiteWork() || (isWindowModified() && !SaveBeforeClosing())) {
    event->ignore();
    return;
  }
  // Closing the input window ends the program, as "Fin" does.
  worker_.CancelAndWait();
  event->accept();
  QCoreApplication::quit();
}

// ---- case files ----

bool Geometrie::SaveBeforeClosing() {
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                  Q(session::SaveQuestion(caseFile_.toStdString())), QMessageBox::NoButton, this);
  QPushButton* save = box.addButton(QStringLiteral("Enregistrer"), QMessageBox::AcceptRole);
  QPushButton* discard =
      box.addButton(QStringLiteral("Ne pas enregistrer"), QMessageBox::DestructiveRole);
  box.addButton(QStringLiteral("Annuler"), QMessageBox::RejectRole);
  box.setDefaultButton(save);
  box.exec();
  if (box.clickedButton() == discard) return true;
  if (box.clickedButton() != save) return false;
  SaveCase();
  return !isWindowModified();
}

void Geometrie::CaseIsNow(const QString& path) {
  AddRecentCase(path);
  FillRecentCases();
  caseFile_ = path;
  undoStack_->setClean();
  setWindowTitle(Q(session::CaseTitle(path.toStdString())));
  setWindowModified(false);
}

void Geometrie::OpenCaseFile() {
  if (worker_.IsRunning()) return;
  const QString path = QFileDialog::getOpenFileName(
      this, QStringLiteral("Ouvrir un cas"), RememberedFolder(kCaseDialog),
      QStringLiteral("Cas Quillane (*.json);;Tous les fichiers (*)"), nullptr,
      QFileDialog::DontUseNativeDialog);
  if (path.isEmpty()) return;
  RememberFolder(kCaseDialog, path);
  OpenCaseFrom(path);
}

void Geometrie::SaveCase() {
  if (caseFile_.isEmpty()) {
    SaveCaseAs();
  } else {
    SaveCaseTo(caseFile_);
  }
}

void Geometrie::SaveCaseAs() {
  if (worker_.IsRunning()) return;
  QFileDialog dialog(
      this, QStringLiteral("Enregistrer le cas"), QString(),
      QStringLiteral("Cas Quillane (*.quillane.json *.json);;Tous les fichiers (*)"));
  dialog.setObjectName(QStringLiteral("SaveCaseDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("quillane.json"));
  dialog.selectFile(Q(session::ProposedCaseFile(caseFile_.toStdString(),
                                                RememberedFolder(kCaseDialog).toStdString())));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().first();
  RememberFolder(kCaseDialog, path);
  SaveCaseTo(path);
}

bool Geometrie::OpenCaseFrom(const QString& path) {
  if (worker_.IsRunning()) return false;
  CommitPendingEdit();
  const FormSnapshot before = Snapshot();
  std::string namedCatalogue;
  try {
    namedCatalogue = form_.OpenCase(std::filesystem::path(path.toStdString()));
  } catch (const CaseError& error) {
    return RefuseCase(
        session::CaseNotOpened(path.toStdString(), &error.Fault(), state_.Locale.DecimalSeparator));
  } catch (const std::exception&) {
    return RefuseCase(session::CaseNotOpened(path.toStdString(), nullptr, '.'));
  }
  ShowInputs();
  PushChange(QStringLiteral("Ouvrir le cas"), before);
  CaseIsNow(path);
  Inform(Q(session::CaseOpened(path.toStdString(), form_.MissingMaterials(catalogue_))));
  // The window runs with its own catalogue; a case made for another one (a fitted copy) would
  // otherwise run silently with other figures.
  if (!namedCatalogue.empty()) {
    QMessageBox::warning(this, QApplication::applicationName(),
                         Q(session::OtherCatalogue(namedCatalogue)));
  }
  return true;
}

bool Geometrie::RefuseCase(const std::string& box) {
  const session::RunReport told = session::Refusal(box);
  Inform(Q(told.Status));
  QMessageBox::warning(this, QApplication::applicationName(), Q(told.Box));
  return false;
}

bool Geometrie::SaveCaseTo(const QString& path) {
  if (worker_.IsRunning()) return false;
  CommitPendingEdit();
  try {
    quillane::SaveCaseFile(std::filesystem::path(path.toStdString()), state_.Input);
  } catch (const CaseError& error) {
    return RefuseCase(
        session::CaseNotSaved(path.toStdString(), &error.Fault(), state_.Locale.DecimalSeparator));
  } catch (const std::exception&) {
    return RefuseCase(session::CaseNotSaved(path.toStdString(), nullptr, '.'));
  }
  CaseIsNow(path);
  Inform(QStringLiteral("Cas enregistré : %1").arg(path));
  return true;
}

void Geometrie::RestoreDefaults() {
  if (worker_.IsRunning()) return;
  CommitPendingEdit();
  const FormSnapshot before = Snapshot();
  // The picked materials and the run's results stay.
  form_.RestoreDefaults();
  ShowForm();
  ShowStressModel();
  PushChange(QStringLiteral("Valeurs par défaut"), before);
  MarkRanges();
  Inform(QStringLiteral("Valeurs par défaut rétablies."));
}

}  // namespace quillane::ui
