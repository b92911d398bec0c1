#include "ui/Geometrie.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
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
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "format/NumberFormat.h"
#include "io/CaseFile.h"
#include "io/Summary.h"
#include "model/Errors.h"
#include "run/Validation.h"
#include "ui/AjustementMesures.h"
#include "ui/EtudeParametrique.h"
#include "ui/Materiaux.h"

namespace quillane::ui {

namespace {

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

// The filter of the result file dialogs: description|pattern pairs.
constexpr const char* kResultFilter =
    "Tous les fichiers "
    "(*.*)|*.*|Fichiers texte"
    "(*.txt)|*.txt|Fichiers batch (*.bat)|*.bat";

constexpr const char* kThermalProposed = "thermique.txt";
constexpr const char* kStressProposed = "stress.txt";

// Qt's name filters from a description|pattern|description|pattern text.
QStringList NameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    // Qt reads the patterns from the parentheses of the description.
    if (!description.contains(QLatin1Char('('))) description += " (" + parts[i + 1] + ")";
    filters << description;
  }
  return filters;
}

// The separators of a locale as single characters for the number routines.
RegionalSettings SettingsOf(const QLocale& locale) {
  RegionalSettings settings;
  const QString decimal = locale.decimalPoint();
  if (decimal.size() == 1 && decimal[0].unicode() < 0x80) {
    settings.DecimalSeparator = static_cast<char>(decimal[0].unicode());
  }
  const QString group = locale.groupSeparator();
  // A non-ASCII group separator (a narrow blank in French) is a blank for the parse rules.
  settings.GroupSeparator =
      group.size() == 1 && group[0].unicode() < 0x80 ? static_cast<char>(group[0].unicode()) : ' ';
  if (settings.GroupSeparator == settings.DecimalSeparator) settings.GroupSeparator = ' ';
  return settings;
}

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::size_t Index(FieldId id) {
  return static_cast<std::size_t>(id);
}

QLabel* Caption(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  // Plain text keeps the double blanks of the captions.
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

// ---- UpDown ----

UpDown::UpDown(const QString& name, QWidget* parent) : QWidget(parent) {
  setObjectName(name);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  up_ = new QToolButton(this);
  down_ = new QToolButton(this);
  up_->setObjectName(name + "Up");
  down_->setObjectName(name + "Down");
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {up_, down_}) {
    button->setAutoRepeat(true);
    // The arrow keys of the box do the same from the keyboard.
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    button->setFixedWidth(24);
    layout->addWidget(button);
  }
  up_->setToolTip(QStringLiteral("Augmenter"));
  down_->setToolTip(QStringLiteral("Diminuer"));
  connect(up_, &QToolButton::clicked, this, [this] { emit Stepped(1); });
  connect(down_, &QToolButton::clicked, this, [this] { emit Stepped(-1); });
}

// ---- undo ----

class Geometrie::FormCommand : public QUndoCommand {
 public:
  FormCommand(Geometrie& window, const QString& text, FormSnapshot before, FormSnapshot after)
      : QUndoCommand(text), window_(window), before_(std::move(before)), after_(std::move(after)) {}
  void undo() override { window_.Restore(before_); }
  void redo() override {
    // Pushing happens after the change was made.
    if (first_) {
      first_ = false;
      return;
    }
    window_.Restore(after_);
  }

 private:
  Geometrie& window_;
  FormSnapshot before_;
  FormSnapshot after_;
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
  setWindowTitle(QStringLiteral("Géometrie"));
  state_.Locale = SettingsOf(options_.Locale);
  undoStack_ = new QUndoStack(this);
  BuildWidgets();
  BuildMenus();
  connect(&worker_, &RunWorker::Finished, this, &Geometrie::OnRunFinished);
  connect(&worker_, &RunWorker::ProgressChanged, this, [this](double fraction) {
    progress_->setValue(static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * 1000)));
  });
  Load();
}

Geometrie::~Geometrie() {
  worker_.CancelAndWait();
  // The boxes outlive this object's members while the base class deletes them: they must
  // not reach the commit rules on their way out.
  for (QLineEdit* box : boxes_) {
    box->removeEventFilter(this);
    box->disconnect(this);
  }
  for (QListWidget* list : {substrateList_, coatingList_}) list->disconnect(this);
  // Clearing the stack on its deletion announces that nothing is left to undo.
  undoStack_->disconnect(this);
}

QLineEdit* Geometrie::MakeBox(FieldId id, QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QString::fromUtf8(Field(id).Name()));
  box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000.000E+00")));
  box->installEventFilter(this);
  boxes_[Index(id)] = box;
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
  auto* spin = new UpDown(QString::fromUtf8(spinName), holder);
  spin->setFixedHeight(box->sizeHint().height());
  layout->addWidget(box, 1);
  layout->addWidget(spin);
  connect(spin, &UpDown::Stepped, this, [this, id](int direction) { Step(id, direction); });
  return holder;
}

void Geometrie::BuildWidgets() {
  auto* central = new QWidget(this);
  auto* main = new QVBoxLayout(central);
  // Tight spacing: the whole window fits a screen 768 pixels high with its title bar and panel.
  main->setContentsMargins(8, 6, 8, 4);
  main->setSpacing(4);

  // Legend of the model.
  auto* titre = new QGroupBox(QStringLiteral("Titre"), central);
  titre->setObjectName(QStringLiteral("Titre"));
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
  main->addWidget(titre);

  inputArea_ = new QWidget(central);
  auto* columns = new QHBoxLayout(inputArea_);
  columns->setContentsMargins(0, 0, 0, 0);
  auto* left = new QVBoxLayout;

  // Substrate.
  auto* substrat = new QGroupBox(QStringLiteral("Substrat"), inputArea_);
  substrat->setObjectName(QStringLiteral("Substrat"));
  auto* substratLayout = new QVBoxLayout(substrat);
  substratLayout->setContentsMargins(8, 4, 8, 6);
  substrateList_ = new QListWidget(substrat);
  substrateList_->setObjectName(QStringLiteral("Datalist1"));
  substratLayout->addWidget(substrateList_, 1);
  auto* substratGrid = new QGridLayout;
  substratGrid->setVerticalSpacing(2);
  substratGrid->addWidget(Caption("épaisseur (mm)", substrat), 0, 0);
  substratGrid->addWidget(Caption("largeur (m)", substrat), 0, 1);
  substratGrid->addWidget(BoxWithSpin(FieldId::Text6, "ud3", substrat), 1, 0);
  substratGrid->addWidget(MakeBox(FieldId::Text12, substrat), 1, 1);
  substratGrid->addWidget(Caption("Temperature", substrat), 2, 0);
  substratGrid->addWidget(Caption("1/Rcourbure", substrat), 2, 1);
  substratGrid->addWidget(BoxWithSpin(FieldId::text9, "ud1", substrat), 3, 0);
  substratGrid->addWidget(MakeBox(FieldId::Text16, substrat), 3, 1);
  substratGrid->addWidget(Caption("Temperature des gaz convectifs", substrat), 4, 0, 1, 2);
  substratGrid->addWidget(BoxWithSpin(FieldId::Text3, "ud2", substrat), 5, 0);
  substratGrid->setColumnStretch(0, 1);
  substratGrid->setColumnStretch(1, 1);
  substratLayout->addLayout(substratGrid);
  left->addWidget(substrat, 1);

  // Options.
  auto* options = new QGroupBox(QStringLiteral("options"), inputArea_);
  options->setObjectName(QStringLiteral("options"));
  auto* optionsGrid = new QGridLayout(options);
  optionsGrid->setContentsMargins(8, 4, 8, 6);
  optionsGrid->setVerticalSpacing(2);
  optionsGrid->addWidget(Caption("Longueur du témoin (m)", options), 0, 0);
  optionsGrid->addWidget(Caption("Epaisseur d'une  lamelle(µm)", options), 0, 1);
  optionsGrid->addWidget(MakeBox(FieldId::Text13, options), 1, 0);
  optionsGrid->addWidget(MakeBox(FieldId::Text1, options), 1, 1);
  optionsGrid->addWidget(Caption(Field(FieldId::Text17).Caption(), options), 2, 0);
  const InputSpec& model = Input("StressModel");
  optionsGrid->addWidget(Caption(model.Caption, options), 2, 1);
  optionsGrid->addWidget(MakeBox(FieldId::Text17, options), 3, 0);
  stressModel_ = new QComboBox(options);
  stressModel_->setObjectName(QString::fromUtf8(model.Control));
  for (const InputChoice& choice : model.Choices) {
    stressModel_->addItem(QString::fromUtf8(choice.Caption), QString::fromUtf8(choice.Value));
  }
  stressModel_->setToolTip(
      QStringLiteral("Une passe : les lamelles d'une passe, refroidies depuis la fusion du dépôt.\n"
                     "Dépôt complet : toutes les lamelles de toutes les passes, chacune posée à "
                     "son heure, puis le refroidissement jusqu'à la température ambiante."));
  optionsGrid->addWidget(stressModel_, 3, 1);
  connect(stressModel_, &QComboBox::activated, this, &Geometrie::OnStressModelPicked);
  optionsGrid->setColumnStretch(0, 1);
  optionsGrid->setColumnStretch(1, 1);
  left->addWidget(options);
  columns->addLayout(left, 1);

  // Deposit.
  auto* depot = new QGroupBox(QStringLiteral("Dépôt"), inputArea_);
  depot->setObjectName(QStringLiteral("Depot"));
  auto* depotLayout = new QVBoxLayout(depot);
  depotLayout->setContentsMargins(8, 4, 8, 6);
  coatingList_ = new QListWidget(depot);
  coatingList_->setObjectName(QStringLiteral("Datalist2"));
  depotLayout->addWidget(coatingList_, 1);
  auto* depotGrid = new QGridLayout;
  depotGrid->setVerticalSpacing(3);
  const FieldId depotFields[] = {FieldId::Text5, FieldId::Text4,  FieldId::Text2,  FieldId::Text7,
                                 FieldId::Text8, FieldId::Text10, FieldId::Text14, FieldId::Text15};
  int row = 0;
  for (FieldId id : depotFields) {
    QLabel* caption = Caption(Field(id).Caption(), depot);
    depotGrid->addWidget(caption, row, 0);
    QLineEdit* box = MakeBox(id, depot);
    caption->setBuddy(box);
    depotGrid->addWidget(box, row, 1);
    ++row;
  }
  depotGrid->setColumnStretch(1, 1);
  depotLayout->addLayout(depotGrid);
  columns->addWidget(depot, 1);
  main->addWidget(inputArea_, 1);

  for (QListWidget* list : {substrateList_, coatingList_}) {
    list->setSelectionMode(QAbstractItemView::SingleSelection);
  }
  connect(substrateList_, &QListWidget::itemSelectionChanged, this,
          [this] { OnMaterialPicked(true); });
  connect(coatingList_, &QListWidget::itemSelectionChanged, this,
          [this] { OnMaterialPicked(false); });

  // Commands.
  auto* commands = new QHBoxLayout;
  execution_ = new QPushButton(QStringLiteral("Execution calculs"), central);
  execution_->setObjectName(QStringLiteral("Execution"));
  execution_->setEnabled(false);
  execution_->setToolTip(QStringLiteral("Choisir un substrat et un dépôt pour lancer un calcul"));
  thermalButton_ = new QPushButton(QStringLiteral("Choix fichier resultats (thermique)"), central);
  thermalButton_->setObjectName(QStringLiteral("Command3"));
  stressButton_ = new QPushButton(QStringLiteral("Choix fichier resultats(stress)"), central);
  stressButton_->setObjectName(QStringLiteral("Command2"));
  for (QPushButton* button : {execution_, thermalButton_, stressButton_}) {
    button->setMinimumHeight(button->sizeHint().height() * 5 / 4);
    commands->addWidget(button, 1);
  }
  main->addLayout(commands);
  summary_ = new QLabel(central);
  summary_->setObjectName(QStringLiteral("RunSummary"));
  summary_->setWordWrap(true);
  summary_->setTextFormat(Qt::PlainText);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  summary_->setText(QStringLiteral("Aucun calcul lancé."));
  // Room for two lines from the start, so the window does not jump when a run reports.
  summary_->setMinimumHeight(summary_->fontMetrics().lineSpacing() * 2);
  summary_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // The run's progress and its cancel button sit beside the summary, so that neither cuts the
  // messages of the status line.
  auto* runRow = new QHBoxLayout;
  runRow->addWidget(summary_, 1);
  progress_ = new QProgressBar(central);
  progress_->setObjectName(QStringLiteral("RunProgress"));
  progress_->setRange(0, 1000);
  progress_->setTextVisible(true);
  progress_->setFormat(QStringLiteral("%p %"));
  progress_->setMinimumWidth(160);
  cancel_ = new QPushButton(QStringLiteral("Annuler"), central);
  cancel_->setObjectName(QStringLiteral("CancelRun"));
  cancel_->setToolTip(
      QStringLiteral("Arrêter le calcul ; aucun fichier de résultats n'est modifié"));
  runRow->addWidget(progress_, 0, Qt::AlignTop);
  runRow->addWidget(cancel_, 0, Qt::AlignTop);
  main->addLayout(runRow);
  connect(execution_, &QPushButton::clicked, this, &Geometrie::Execution);
  connect(thermalButton_, &QPushButton::clicked, this, &Geometrie::ChooseThermalFile);
  connect(stressButton_, &QPushButton::clicked, this, &Geometrie::ChooseStressFile);

  setCentralWidget(central);

  progress_->hide();
  cancel_->hide();
  connect(cancel_, &QPushButton::clicked, this, [this] {
    worker_.Cancel();
    cancel_->setEnabled(false);
    Inform(QStringLiteral("Annulation du calcul…"));
  });
}

void Geometrie::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&Fichier"));
  file->setObjectName(QStringLiteral("Fichier"));
  openAction_ = file->addAction(QStringLiteral("&Ouvrir un cas…"), this, &Geometrie::OpenCaseFile);
  openAction_->setObjectName(QStringLiteral("OpenCase"));
  openAction_->setShortcut(QKeySequence::Open);
  saveAction_ =
      file->addAction(QStringLiteral("&Enregistrer le cas…"), this, &Geometrie::SaveCaseFile);
  saveAction_->setObjectName(QStringLiteral("SaveCase"));
  saveAction_->setShortcut(QKeySequence::Save);
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
}

void Geometrie::OpenMaterials() {
  if (!materiaux_) {
    materiaux_ = new Materiaux(user_, this);
    materiaux_->setWindowFlag(Qt::Window);
    connect(materiaux_, &Materiaux::CatalogueChanged, this, &Geometrie::ReloadCatalogue);
  }
  materiaux_->Show(catalogue_);
  materiaux_->show();
  materiaux_->raise();
  materiaux_->activateWindow();
}

void Geometrie::OpenStudy() {
  CommitPendingEdit();
  if (!etude_) {
    // Each study starts from a copy of the inputs and of the catalogue as they are then.
    etude_ = new EtudeParametrique([this] { return StudyBase{state_, catalogue_}; }, this);
    etude_->setWindowFlag(Qt::Window);
  } else if (!etude_->Worker().IsRunning()) {
    etude_->ResetRanges();
  }
  etude_->show();
  etude_->raise();
  etude_->activateWindow();
}

void Geometrie::OpenFit() {
  CommitPendingEdit();
  if (!ajustement_) {
    // Each fit starts from a copy of the inputs and of the catalogue as they are then.
    FitLinks links{[this] {
                     return StudyBase{state_, catalogue_};
                   },
                   [this] { return !worker_.IsRunning(); },
                   [this](const std::string& coating, std::optional<double> heatFlux) {
                     TakeFit(coating, heatFlux);
                   }};
    ajustement_ = new AjustementMesures(std::move(links), user_, this);
    ajustement_->setWindowFlag(Qt::Window);
  }
  ajustement_->show();
  ajustement_->raise();
  ajustement_->activateWindow();
}

bool Geometrie::TakeFit(const std::string& coating, std::optional<double> heatFlux) {
  if (worker_.IsRunning()) return false;
  CommitPendingEdit();
  const FormSnapshot before = Snapshot();
  // Fitted figures may have been saved as user rows: the lists show them before one is picked.
  ReloadCatalogue();
  form_.TakeFit(coating, heatFlux);
  restoring_ = true;
  SelectMaterial(coatingList_, state_.Input.CoatingMaterialName);
  ShowForm();
  restoring_ = false;
  UpdateExecutionEnabled();
  PushChange(QStringLiteral("Ajustement sur mesures"), before);
  MarkRanges();
  Inform(QStringLiteral("Valeurs ajustées reportées dans la saisie."));
  return true;
}

void Geometrie::ReloadCatalogue() {
  std::string userFault;
  try {
    catalogue_ = OpenMergedCatalogue(options_.CataloguePath, user_, userFault);
  } catch (const CatalogueError& error) {
    Inform(QStringLiteral("Catalogue des matériaux illisible : %1").arg(Q(error.what())));
    return;
  }
  if (!userFault.empty())
    Inform(QStringLiteral("Vos matériaux n'ont pas pu être lus : %1").arg(Q(userFault)));
  // The lists follow at once, keeping what was picked (a deleted pick stays named, and a run
  // then says it is not in the catalogue).
  restoring_ = true;
  BindLists();
  SelectMaterial(substrateList_, state_.Input.SubstrateMaterialName);
  SelectMaterial(coatingList_, state_.Input.CoatingMaterialName);
  restoring_ = false;
  if (materiaux_) materiaux_->Show(catalogue_);
}

void Geometrie::Load() {
  // The catalogue first: the lists are bound to it before the defaults fill the boxes.
  try {
    std::string userFault;
    catalogue_ = OpenMergedCatalogue(options_.CataloguePath, user_, userFault);
    if (!userFault.empty()) {
      // The user's file is left as it is; the shipped materials still serve.
      const QString text =
          QStringLiteral(
              "Vos matériaux (%1) n'ont pas pu être lus :\n%2\n\n"
              "Les matériaux du catalogue livré restent disponibles ; votre fichier n'est pas "
              "modifié.")
              .arg(QString::fromStdString(user_.Path().string()), Q(userFault));
      statusBar()->showMessage(QStringLiteral("Vos matériaux n'ont pas pu être lus : %1")
                                   .arg(QString::fromStdString(user_.Path().string())));
      QTimer::singleShot(0, this, [this, text] {
        QMessageBox::warning(this, QApplication::applicationName(), text);
      });
    }
  } catch (const CatalogueError& error) {
    const QString text =
        QStringLiteral(
            "Le catalogue des matériaux %1 n'a pas pu être ouvert :\n%2\n\n"
            "Les listes de matériaux restent vides et aucun calcul n'est possible.")
            .arg(QString::fromStdString(options_.CataloguePath.string()), Q(error.what()));
    statusBar()->showMessage(QStringLiteral("Catalogue des matériaux introuvable ou illisible : %1")
                                 .arg(QString::fromStdString(options_.CataloguePath.string())));
    // Told once the window is on screen, so that the box has a parent to stand on.
    QTimer::singleShot(0, this, [this, text] {
      QMessageBox::critical(this, QApplication::applicationName(), text);
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
      if (Field(id).Input->SpinStep != 0 &&
          (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
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
  const std::optional<CommitOutcome> outcome = form_.Commit(id, Text(id).toStdString());
  if (!outcome) return;
  if (Text(id) != Q(form_.Shown(id))) SetBoxText(id, Q(form_.Shown(id)));
  if (!outcome->Accepted) {
    ShowRefusal(id, outcome->Reason);
    return;
  }
  PushChange(QString::fromUtf8(Field(id).Caption()).trimmed(), before);
  TellRange(id);
}

void Geometrie::Step(FieldId id, int direction) {
  if (worker_.IsRunning()) return;
  const FormSnapshot before = Snapshot();
  const CommitOutcome outcome = form_.Step(id, Text(id).toStdString(), direction);
  if (!outcome.Accepted) {
    ShowRefusal(id, outcome.Reason);
    return;
  }
  SetBoxText(id, Q(form_.Shown(id)));
  PushChange(QString::fromUtf8(Field(id).Caption()).trimmed(), before);
  TellRange(id);
}

void Geometrie::MarkRanges() {
  const std::vector<InputFault> faults = FindInputFaults(state_, nullptr);
  for (const FieldInfo& field : Fields()) {
    QString fault;
    for (const InputFault& f : faults) {
      if (f.Input != field.Input) continue;
      if (!fault.isEmpty()) fault += QLatin1Char('\n');
      fault += Q(f.French);
    }
    QLineEdit* box = Box(field.Id);
    const bool outside = !fault.isEmpty();
    if (box->property("outOfRange").toBool() != outside) {
      box->setProperty("outOfRange", outside);
      box->setStyleSheet(outside ? QStringLiteral("QLineEdit { background: #fde2df; "
                                                  "border: 1px solid #c0392b; }")
                                 : QString());
    }
    box->setToolTip(outside ? fault : Q(RangeText(field, state_.Locale)));
  }
}

void Geometrie::TellRange(FieldId id) {
  MarkRanges();
  // The newest event speaks: an earlier refusal does not stay after a good entry.
  QLineEdit* box = Box(id);
  if (box->property("outOfRange").toBool()) {
    statusBar()->showMessage(box->toolTip());
  } else {
    statusBar()->clearMessage();
  }
}

void Geometrie::ShowRefusal(FieldId id, const std::string& reason) {
  const QString text = Q(reason);
  QApplication::beep();
  statusBar()->showMessage(text, 20000);
  QLineEdit* box = Box(id);
  QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), text, box);
}

void Geometrie::CommitPendingEdit() {
  QWidget* focus = QApplication::focusWidget();
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
}

void Geometrie::OnStressModelPicked(int index) {
  if (restoring_ || index < 0) return;
  const std::string value = stressModel_->itemData(index).toString().toStdString();
  if (state_.Input.StressModel == value) return;
  const FormSnapshot before = Snapshot();
  state_.Input.StressModel = value;
  PushChange(QString::fromUtf8(Input("StressModel").Caption), before);
}

void Geometrie::ShowStressModel() {
  const QSignalBlocker blocker(stressModel_);
  // A value no choice holds (from a case file) shows no choice; the run then tells why.
  stressModel_->setCurrentIndex(stressModel_->findData(Q(state_.Input.StressModel)));
}

void Geometrie::UpdateExecutionEnabled() {
  // Enabled once both materials are named; nothing disables it again (but a run in progress).
  if (!worker_.IsRunning() && form_.BothPicked()) {
    execution_->setEnabled(true);
    execution_->setToolTip(QStringLiteral("Lancer le calcul"));
  }
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
  restoring_ = true;
  form_.Restore(snapshot);
  ShowForm();
  SelectMaterial(substrateList_, state_.Input.SubstrateMaterialName);
  SelectMaterial(coatingList_, state_.Input.CoatingMaterialName);
  ShowStressModel();
  restoring_ = false;
  UpdateExecutionEnabled();
  MarkRanges();
}

void Geometrie::PushChange(const QString& text, const FormSnapshot& before) {
  FormSnapshot after = Snapshot();
  if (after == before) return;
  undoStack_->push(new FormCommand(*this, text, before, std::move(after)));
}

void Geometrie::Inform(const QString& text) {
  statusBar()->showMessage(text);
}

// ---- commands ----

void Geometrie::Execution() {
  if (worker_.IsRunning()) return;
  CommitPendingEdit();
  const std::vector<InputFault> faults = FindInputFaults(state_, &catalogue_);
  if (!faults.empty()) {
    QString text = QStringLiteral("Le calcul ne peut pas démarrer :\n");
    for (const InputFault& fault : faults) text += QStringLiteral("\n• ") + Q(fault.French);
    const QString refused =
        QStringLiteral("Calcul non lancé : %1 donnée(s) à corriger.").arg(faults.size());
    Inform(refused);
    summary_->setText(refused);
    QMessageBox::warning(this, QApplication::applicationName(), text);
    return;
  }
  SetRunning(true);
  progress_->setValue(0);
  if (!worker_.Start(RunWorker::ExecuteJob(catalogue_, paths_), windows_.PrepareRun(state_))) {
    SetRunning(false);
    return;
  }
  windows_.ShowResults();
  windows_.HideStressWindows();
  Inform(QStringLiteral("Calcul en cours…"));
}

void Geometrie::SetRunning(bool running) {
  // During a run the model state belongs to the worker: nothing here may change it.
  inputArea_->setEnabled(!running);
  thermalButton_->setEnabled(!running);
  stressButton_->setEnabled(!running);
  openAction_->setEnabled(!running);
  saveAction_->setEnabled(!running);
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

void Geometrie::OnRunFinished(const RunOutcome& outcome) {
  SetRunning(false);
  const QLocale& locale = options_.Locale;
  switch (outcome.What) {
    case RunOutcome::Kind::Completed: {
      // The run's rows, tables and pictures go to the result windows, and its state becomes
      // the window's.
      RunResults results = worker_.TakeResults();
      windows_.TakeIn(results);
      state_ = std::move(results.State);
      QApplication::beep();
      const auto absolute = [](const std::string& path) {
        std::error_code error;
        const auto full = std::filesystem::absolute(path, error);
        return QString::fromStdString(error ? path : full.lexically_normal().string());
      };
      QString text = QStringLiteral("Calcul terminé : courbure finale %1 1/m, flèche finale %2 m.")
                         .arg(locale.toString(state_.Stress.FinalCurvature, 'g', 6),
                              locale.toString(state_.Stress.FinalDeflection, 'g', 6));
      // Every value no specimen can have, as the batch program warns of it.
      for (const RunWarning& warning : FindRunWarnings(state_)) {
        text += QLatin1Char(' ') + Q(French(warning, state_.Locale.DecimalSeparator));
      }
      Inform(text);
      // The paths can be long: they go below the commands, where they can wrap and be copied.
      summary_->setText(text + QStringLiteral("\nFichiers écrits : %1 ; %2")
                                   .arg(absolute(paths_.Thermal), absolute(paths_.Stress)));
      break;
    }
    case RunOutcome::Kind::Cancelled: {
      const QString text =
          QStringLiteral("Calcul annulé : aucun fichier de résultats n'a été modifié.");
      Inform(text);
      summary_->setText(text);
      break;
    }
    case RunOutcome::Kind::InputFaults: {
      QString text = QStringLiteral("Le calcul ne peut pas démarrer :\n");
      for (const std::string& fault : outcome.Faults) text += QStringLiteral("\n• ") + Q(fault);
      Inform(QStringLiteral("Calcul non lancé : données à corriger."));
      summary_->setText(QStringLiteral("Calcul non lancé : données à corriger."));
      QMessageBox::warning(this, QApplication::applicationName(), text);
      break;
    }
    case RunOutcome::Kind::Failed: {
      const QString text =
          QStringLiteral("Le calcul a échoué : %1\nAucun fichier de résultats n'a été modifié.")
              .arg(Q(outcome.Message));
      Inform(QStringLiteral("Calcul échoué : %1").arg(Q(outcome.Message)));
      summary_->setText(text);
      QMessageBox::critical(this, QApplication::applicationName(), text);
      break;
    }
  }
}

bool Geometrie::ChooseResultFile(QFileDialog*& dialog, const char* name, const QString& caption,
                                 const QString& proposed, std::string& path) {
  const QStringList filters = NameFilters(QString::fromUtf8(kResultFilter));
  if (dialog == nullptr) {
    // One dialog per file, kept for the life of the window so it remembers its folder.
    dialog = new QFileDialog(this, caption);
    dialog->setObjectName(QString::fromUtf8(name));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    // The file is written by the next run, not now: no question about replacing it here.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(filters);
  }
  dialog->selectNameFilter(filters.value(1));
  dialog->selectFile(proposed);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
    // After a cancel the file is the proposed name, in the current directory.
    path = proposed.toStdString();
    return false;
  }
  const QString chosen = dialog->selectedFiles().first();
  path = chosen.toStdString();
  QMessageBox::information(this, QApplication::applicationName(), chosen, QMessageBox::Ok);
  return true;
}

void Geometrie::ChooseThermalFile() {
  if (worker_.IsRunning()) return;
  ChooseResultFile(thermalDialog_, "ThermalFileDialog",
                   QStringLiteral("Choix fichier resultats (thermique)"),
                   QString::fromUtf8(kThermalProposed), paths_.Thermal);
}

void Geometrie::ChooseStressFile() {
  if (worker_.IsRunning()) return;
  ChooseResultFile(stressDialog_, "StressFileDialog",
                   QStringLiteral("Choix fichier resultats(stress)"),
                   QString::fromUtf8(kStressProposed), paths_.Stress);
}

void Geometrie::Fin() {
  // A run in progress is stopped first, so that no result file is left half written.
  worker_.CancelAndWait();
  QCoreApplication::quit();
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

void Geometrie::closeEvent(QCloseEvent* event) {
  // Closing the input window ends the program, as "Fin" does.
  worker_.CancelAndWait();
  event->accept();
  QCoreApplication::quit();
}

// ---- case files ----

void Geometrie::OpenCaseFile() {
  if (worker_.IsRunning()) return;
  const QString path =
      QFileDialog::getOpenFileName(this, QStringLiteral("Ouvrir un cas"), lastCaseDirectory_,
                                   QStringLiteral("Cas Quillane (*.json);;Tous les fichiers (*)"),
                                   nullptr, QFileDialog::DontUseNativeDialog);
  if (path.isEmpty()) return;
  lastCaseDirectory_ = QFileInfo(path).absolutePath();
  OpenCaseFrom(path);
}

void Geometrie::SaveCaseFile() {
  if (worker_.IsRunning()) return;
  QFileDialog dialog(this, QStringLiteral("Enregistrer le cas"), lastCaseDirectory_,
                     QStringLiteral("Cas Quillane (*.json);;Tous les fichiers (*)"));
  dialog.setObjectName(QStringLiteral("SaveCaseDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("json"));
  dialog.selectFile(QStringLiteral("cas.json"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().first();
  lastCaseDirectory_ = QFileInfo(path).absolutePath();
  SaveCaseTo(path);
}

bool Geometrie::OpenCaseFrom(const QString& path) {
  if (worker_.IsRunning()) return false;
  CommitPendingEdit();
  const FormSnapshot before = Snapshot();
  std::string namedCatalogue;
  try {
    namedCatalogue = form_.OpenCase(std::filesystem::path(path.toStdString()));
  } catch (const std::exception& error) {
    Inform(QStringLiteral("Cas non ouvert : %1").arg(Q(error.what())));
    QMessageBox::warning(
        this, QApplication::applicationName(),
        QStringLiteral("Le cas n'a pas pu être ouvert :\n%1").arg(Q(error.what())));
    return false;
  }
  restoring_ = true;
  ShowForm();
  SelectMaterial(substrateList_, state_.Input.SubstrateMaterialName);
  SelectMaterial(coatingList_, state_.Input.CoatingMaterialName);
  ShowStressModel();
  restoring_ = false;
  UpdateExecutionEnabled();
  PushChange(QStringLiteral("Ouvrir le cas"), before);
  MarkRanges();
  QString text = QStringLiteral("Cas ouvert : %1").arg(path);
  for (const std::string& name : form_.MissingMaterials(catalogue_)) {
    text += QStringLiteral(" ; le matériau « %1 » n'est pas dans le catalogue").arg(Q(name));
  }
  Inform(text);
  // The window runs with its own catalogue; a case made for another one (a fitted copy) would
  // otherwise run silently with other figures.
  if (!namedCatalogue.empty()) {
    QMessageBox::warning(
        this, QApplication::applicationName(),
        QStringLiteral("Ce cas a été préparé pour le catalogue %1, que la fenêtre n'utilise pas : "
                       "les calculs prendront les matériaux du catalogue habituel et les vôtres. "
                       "Pour des figures ajustées, appliquez l'ajustement comme matériau "
                       "utilisateur, ou lancez ce cas avec quillane-batch.")
            .arg(Q(namedCatalogue)));
  }
  return true;
}

bool Geometrie::SaveCaseTo(const QString& path) {
  if (worker_.IsRunning()) return false;
  CommitPendingEdit();
  try {
    quillane::SaveCaseFile(std::filesystem::path(path.toStdString()), state_.Input);
  } catch (const std::exception& error) {
    Inform(QStringLiteral("Cas non enregistré : %1").arg(Q(error.what())));
    QMessageBox::warning(
        this, QApplication::applicationName(),
        QStringLiteral("Le cas n'a pas pu être enregistré :\n%1").arg(Q(error.what())));
    return false;
  }
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
