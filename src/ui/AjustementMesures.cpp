#include "ui/AjustementMesures.h"

#include <qcustomplot.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "model/InputTable.h"
#include "session/FitView.h"
#include "session/RunReport.h"
#include "session/WindowText.h"
#include "widgets/Charts.h"
#include "widgets/Widgets.h"

namespace quillane::ui {

namespace {

// A cell's room beside its text on each side, its focus frame included.
constexpr int kCellMargin = 6;
// Tones of the palette: the record, the model and the residuals.
constexpr std::size_t kMeasured = 0;
constexpr std::size_t kModel = 1;
constexpr std::size_t kResidual = 6;

QVector<double> Values(const std::vector<double>& values) {
  return QVector<double>(values.begin(), values.end());
}

QCPGraph* AddPoints(QCustomPlot& chart, QCPAxisRect* rect, const QVector<double>& x,
                    const QVector<double>& y, std::size_t tone, const QString& name) {
  QCPGraph* graph = chart.addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
  graph->setData(x, y, true);
  graph->setLineStyle(QCPGraph::lsNone);
  graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, ChartTone(tone), 4));
  graph->setName(name);
  return graph;
}

QCPGraph* AddLine(QCustomPlot& chart, QCPAxisRect* rect, const QVector<double>& x,
                  const QVector<double>& y, std::size_t tone, const QString& name) {
  QCPGraph* graph = chart.addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
  // The model's curves are steps: a time may appear twice, in order.
  graph->setData(x, y, true);
  graph->setPen(QPen(ChartTone(tone), 1.5));
  graph->setName(name);
  return graph;
}

}  // namespace

AjustementMesures::AjustementMesures(FitLinks links, UserCatalogue& user, QWidget* parent)
    : QMainWindow(parent),
      links_(std::move(links)),
      user_(user),
      job_(BackgroundJob::kWindowTickMs) {
  setObjectName(QStringLiteral("AjustementMesures"));
  setWindowTitle(QStringLiteral("Ajustement sur mesures"));
  const session::StudyBase base = links_.Source();
  separator_ = base.State.Locale.DecimalSeparator;
  BuildWidgets();
  AddKeys();
  ShowModel(base.State.Input.StressModel);
  connect(&job_, &BackgroundJob::Tick, this, &AjustementMesures::OnTick);
  connect(&job_, &BackgroundJob::Finished, this, [this](bool) { OnFinished(); });
  SetRunning(false);
  Plot();
  CloseOnKeys(*this);
  FitWithinScreen(*this, QSize(1200, 760), entries_);
}

AjustementMesures::~AjustementMesures() {
  job_.CancelAndWait();
}

// The figures to fit with their bounds, beside the options of the fit.
QWidget* AjustementMesures::BuildEntries(QWidget* parent) {
  auto* group = new QGroupBox(QStringLiteral("Grandeurs ajustées"), parent);
  // A case of many coats lists many rows: beyond the one-coat figures, they scroll.
  parameterScroll_ = Named<QScrollArea>("FitFigures", group);
  parameterScroll_->setWidgetResizable(true);
  parameterScroll_->setFrameShape(QFrame::NoFrame);
  parameterScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  (new QVBoxLayout(group))->addWidget(parameterScroll_);
  ShowParameters(session::NewFitForm(separator_, links_.Source().State.Input.Coats.size()));

  auto* options = new QGroupBox(QStringLiteral("Options"), parent);
  auto* form = new QGridLayout(options);
  robust_ = Named<QCheckBox>("Robust", QStringLiteral("Pertes robustes (Huber)"), options);
  robust_->setToolTip(QStringLiteral("Réduit le poids des points aberrants"));
  curvatureNoise_ = Named<QLineEdit>(session::kCurvatureNoise, options);
  temperatureNoise_ = Named<QLineEdit>(session::kTemperatureNoise, options);
  for (QLineEdit* box : {curvatureNoise_, temperatureNoise_}) {
    box->setPlaceholderText(QStringLiteral("estimé"));
    box->setToolTip(
        QStringLiteral("Écart type des mesures ; vide, il est estimé par l'ajustement"));
  }
  // Which model the fit runs, in view, and changed here as in the input window.
  stressModel_ = MakeModelChoice("FitStressModel", options);
  connect(stressModel_, &QComboBox::activated, this, [this](int index) {
    if (index >= 0 && links_.PickModel) {
      links_.PickModel(stressModel_->itemData(index).toString().toStdString());
    }
  });
  form->addWidget(robust_, 0, 0, 1, 2);
  AddGridRow(*form, 1, options, {"Bruit de la courbure (1/m)", curvatureNoise_});
  AddGridRow(*form, 2, options, {"Bruit de la température (K)", temperatureNoise_});
  AddGridRow(*form, 3, options, {Input("StressModel").Caption, stressModel_});
  form->setRowStretch(4, 1);

  auto* entries = new QWidget(parent);
  auto* top = new QHBoxLayout(entries);
  top->setContentsMargins(0, 0, 0, 0);
  top->addWidget(group, 3);
  top->addWidget(options, 2);
  return entries;
}

void AjustementMesures::ShowParameters(const session::FitForm& form) {
  // The rows are made anew as one widget, so that the grid holds no rows of figures gone.
  parameters_.clear();
  parameterRows_ = new QWidget(parameterScroll_);
  auto* grid = new QGridLayout(parameterRows_);
  grid->setContentsMargins(0, 0, 0, 0);
  AddGridRow(*grid, 0, parameterRows_, {"Grandeur", "min", "max", "Unité"});
  for (const session::FitFormRow& entry : form.Rows) {
    const std::string& name = entry.Quantity->Name;
    const session::ProposedBounds allowed = session::ProposeBounds(*entry.Quantity, separator_);
    ParameterRow row{entry.Quantity};
    row.Fitted = Named<QCheckBox>(("Fit_" + name).c_str(),
                                  Q(entry.Quantity->Caption + " (" + name + ")"), parameterRows_);
    row.Fitted->setChecked(entry.Checked);
    row.Min = Named<QLineEdit>(("Min_" + name).c_str(), Q(entry.Min), parameterRows_);
    row.Max = Named<QLineEdit>(("Max_" + name).c_str(), Q(entry.Max), parameterRows_);
    for (QLineEdit* box : {row.Min, row.Max}) {
      box->setToolTip(QStringLiteral("Bornes permises : %1 à %2 ; elles peuvent être resserrées")
                          .arg(Q(allowed.Min), Q(allowed.Max)));
    }
    AddGridRow(*grid, static_cast<int>(parameters_.size()) + 1, parameterRows_,
               {row.Fitted, row.Min, row.Max, entry.Quantity->DisplayUnit.c_str()});
    parameters_.push_back(row);
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);
  parameterScroll_->setWidget(parameterRows_);  // deletes the rows shown before
  // Room for the header and the one-coat figures at least, for every row at most.
  const QSize whole = parameterRows_->sizeHint();
  const int shown = static_cast<int>(session::FitQuantities(0).size()) + 1;
  const int lines = static_cast<int>(parameters_.size()) + 1;
  parameterScroll_->setMinimumHeight(whole.height() * std::min(shown, lines) / lines);
  parameterScroll_->setMaximumHeight(whole.height());
  parameterScroll_->setMinimumWidth(
      parameterRows_->minimumSizeHint().width() +
      (lines > shown ? parameterScroll_->verticalScrollBar()->sizeHint().width() : 0));
}

void AjustementMesures::FollowCase() {
  if (job_.IsRunning()) return;
  session::FitForm form = Form();
  if (session::FollowCoats(form, links_.Source().State.Input.Coats.size(), separator_)) {
    ShowParameters(form);
  }
}

bool AjustementMesures::event(QEvent* event) {
  if (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate) FollowCase();
  return QMainWindow::event(event);
}

// The fitted figures and the notes beside the chart of the record and the model.
QWidget* AjustementMesures::BuildResults(QWidget* parent) {
  auto* splitter = new QSplitter(Qt::Horizontal, parent);
  results_ = splitter;
  auto* resultPane = new QWidget(splitter);
  auto* resultLayout = new QVBoxLayout(resultPane);
  resultLayout->setContentsMargins(0, 0, 0, 0);
  table_ = Named<QTableWidget>("FitTable", 0, 5, resultPane);
  table_->setHorizontalHeaderLabels(
      {QStringLiteral("Grandeur"), QStringLiteral("Départ"), QStringLiteral("Ajustée"),
       QStringLiteral("Intervalle à 68 % (± σ)"), QStringLiteral("Unité")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  // The figures and their units in full; the captions take what is left, whole in their tips.
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  table_->setTextElideMode(Qt::ElideMiddle);
  summary_ = Named<QLabel>("FitSummary", resultPane);
  summary_->setWordWrap(true);
  summary_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  resultLayout->addWidget(table_, 1);
  resultLayout->addWidget(summary_, 1);
  chart_ = Named<QCustomPlot>("FitChart", splitter);
  chart_->setMinimumSize(360, 280);
  // Each panel has its own legend, filled by Plot.
  chart_->setAutoAddPlottableToLegend(false);
  frame_ = new ChartFrame(*chart_, QStringLiteral("ajustement.png"));
  frame_->OnReport([this](const QString& text) { Tell(text); });
  splitter->addWidget(resultPane);
  splitter->addWidget(chart_);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);
  splitter->setSizes({520, 680});
  return splitter;
}

void AjustementMesures::BuildWidgets() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(8, 8, 8, 8);
  ouvrir_ = Named<QPushButton>("OpenRecord", QStringLiteral("Ouvrir un enregistrement…"), central);
  recordLabel_ =
      Named<QLabel>("RecordLabel", QStringLiteral("Aucun enregistrement ouvert."), central);
  recordLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addLayout(MakeRow(central, {ouvrir_, {recordLabel_, 1}}));
  entries_ = BuildEntries(central);
  layout->addWidget(entries_);

  ajuster_ = Named<QPushButton>("Ajuster", QStringLiteral("Ajuster"), central);
  progress_ = Named<QProgressBar>("FitProgress", central);
  progress_->setTextVisible(false);
  progress_->setRange(0, 1);
  progress_->setValue(0);
  iteration_ = Named<QLabel>("FitIteration", central);
  iteration_->setMinimumWidth(iteration_->fontMetrics().horizontalAdvance(
      QStringLiteral("Itération 000 — coût 0,000E+00")));
  annuler_ = Named<QPushButton>("Annuler", QStringLiteral("Annuler"), central);
  annuler_->setToolTip(
      QStringLiteral("Arrêter l'ajustement ; rien de ce qui est affiché ne change"));
  layout->addLayout(MakeRow(central, {ajuster_, {progress_, 1}, iteration_, annuler_}));
  status_ = Named<QLabel>(
      "FitStatus", QStringLiteral("Ouvrez un enregistrement, cochez les grandeurs à ajuster."),
      central);
  status_->setWordWrap(true);
  layout->addWidget(status_);
  layout->addWidget(BuildResults(central), 1);

  saveChart_ =
      Named<QPushButton>("SaveChart", QStringLiteral("Enregistrer le graphique…"), central);
  appliquer_ = Named<QPushButton>("Appliquer",
                                  QStringLiteral("Appliquer comme matériau utilisateur"), central);
  appliquer_->setToolTip(
      QStringLiteral("Enregistre les valeurs ajustées dans vos matériaux et les reporte dans la "
                     "fenêtre de saisie"));
  layout->addLayout(MakeRow(central, {Spring(), saveChart_, appliquer_}));
  setCentralWidget(central);

  connect(ouvrir_, &QPushButton::clicked, this, &AjustementMesures::ChooseRecord);
  connect(ajuster_, &QPushButton::clicked, this, [this] { Ajuster(); });
  connect(annuler_, &QPushButton::clicked, this, &AjustementMesures::Annuler);
  connect(saveChart_, &QPushButton::clicked, this, [this] { frame_->SaveAs(); });
  connect(appliquer_, &QPushButton::clicked, this, [this] { Appliquer(); });
}

void AjustementMesures::AddKeys() {
  GiveMnemonic(*ouvrir_, QStringLiteral("Ouvrir"));
  GiveMnemonic(*ajuster_, QStringLiteral("juster"));
  GiveMnemonic(*annuler_, QStringLiteral("Annuler"));
  GiveMnemonic(*saveChart_, QStringLiteral("graphique"));
  GiveMnemonic(*appliquer_, QStringLiteral("ppliquer"));
  ajuster_->setToolTip(QStringLiteral("Lancer l'ajustement (F5)"));
  PressOnKey(*this, *ajuster_, QKeySequence(Qt::Key_F5));
}

bool AjustementMesures::RefuseRecord(const std::string& box) {
  const session::RunReport told = session::Refusal(box, "Enregistrement refusé : ");
  Tell(Q(told.Status));
  QMessageBox::warning(this, windowTitle(), Q(told.Box));
  return false;
}

bool AjustementMesures::OpenRecord(const QString& path) {
  if (job_.IsRunning()) return false;
  fit::CalibrationRecord record;
  try {
    record = fit::ReadRecordFile(std::filesystem::path(path.toStdString()));
  } catch (const fit::RecordError& error) {
    return RefuseRecord(session::RecordRefused(path.toStdString(), error.Fault(), separator_));
  } catch (const std::exception&) {
    return RefuseRecord(session::RecordRefused(path.toStdString(), nullptr, separator_));
  }
  record_ = std::move(record);
  recordPath_ = path;
  // A fit shown belongs to the record it was made on.
  result_.reset();
  table_->setRowCount(0);
  summary_->clear();
  recordLabel_->setText(
      Q(session::RecordText(*record_, QFileInfo(path).fileName().toStdString(), separator_)));
  recordLabel_->setToolTip(path);
  Tell(QStringLiteral("Enregistrement ouvert : %1.").arg(path));
  SetRunning(false);
  Plot();
  return true;
}

session::FitForm AjustementMesures::Form() const {
  session::FitForm form;
  for (const ParameterRow& row : parameters_) {
    form.Rows.push_back({row.Quantity, row.Fitted->isChecked(), row.Min->text().toStdString(),
                         row.Max->text().toStdString()});
  }
  form.CurvatureNoise = curvatureNoise_->text().toStdString();
  form.TemperatureNoise = temperatureNoise_->text().toStdString();
  form.Robust = robust_->isChecked();
  return form;
}

bool AjustementMesures::Ajuster() {
  if (job_.IsRunning()) return false;
  FollowCase();
  session::StudyBase base = links_.Source();
  separator_ = base.State.Locale.DecimalSeparator;
  session::FitReading reading =
      session::ReadFitForm(Form(), record_.has_value(), std::move(base.State), base.Catalogue);
  if (!reading.Ready()) {
    const std::vector<std::string> faults = session::FrenchFaults(reading, separator_);
    Tell(QStringLiteral("Ajustement non lancé : %1 donnée(s) à corriger.").arg(faults.size()));
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("L'ajustement ne peut pas démarrer :\n") + Q(session::Bullets(faults)));
    return false;
  }
  runningBase_ = reading.Base;
  auto steps = std::make_shared<Handoff<fit::FitProgress>>();
  auto outcome = std::make_shared<Handoff<session::FitOutcome>>();
  const bool started =
      job_.Start([steps, outcome, base = std::move(reading.Base), record = *record_,
                  settings = std::move(reading.Settings)](std::stop_token stop) {
        outcome->Put(session::RunFit(base, record, settings, *steps, stop));
      });
  if (!started) return false;
  steps_ = std::move(steps);
  outcome_ = std::move(outcome);
  SetRunning(true);
  iteration_->setText(QStringLiteral("Démarrage…"));
  Tell(QStringLiteral("Ajustement en cours…"));
  return true;
}

void AjustementMesures::Annuler() {
  if (!job_.IsRunning()) return;
  job_.Cancel();
  annuler_->setEnabled(false);
  Tell(QStringLiteral("Annulation de l'ajustement…"));
}

void AjustementMesures::SetRunning(bool running) {
  entries_->setEnabled(!running);
  ouvrir_->setEnabled(!running);
  ajuster_->setEnabled(!running && record_.has_value());
  annuler_->setEnabled(running);
  // A busy bar: the count of iterations is not known beforehand.
  progress_->setRange(0, running ? 0 : 1);
  progress_->setValue(0);
  saveChart_->setEnabled(!running && record_.has_value());
  appliquer_->setEnabled(!running && result_.has_value());
}

void AjustementMesures::OnTick() {
  if (!steps_) return;
  const std::vector<fit::FitProgress> steps = steps_->Take();
  if (steps.empty()) return;
  iteration_->setText(Q(session::IterationText(steps.back(), separator_)));
}

void AjustementMesures::OnFinished() {
  std::vector<session::FitOutcome> ended =
      outcome_ ? outcome_->Take() : std::vector<session::FitOutcome>{};
  const session::FitOutcome done = ended.empty() ? session::FitOutcome{} : std::move(ended.back());
  if (!done.Result) {
    SetRunning(false);
    iteration_->clear();
    const QString fault = Q(done.Fault);
    Tell(QStringLiteral("Ajustement échoué : %1").arg(fault));
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("L'ajustement a échoué :\n%1\nRien n'a changé.").arg(fault));
    return;
  }
  if (done.Result->Cancelled || done.Result->Failed) {
    SetRunning(false);
    Tell(Q(session::EndText(*done.Result)));
    return;
  }
  result_ = done.Result;
  applied_ = false;
  fitBase_ = runningBase_;
  SetRunning(false);
  iteration_->setText(QStringLiteral("%1 itérations").arg(result_->Iterations));
  ShowResult();
  Plot();
  Tell(Q(session::EndText(*result_)));
}

void AjustementMesures::ShowResult() {
  const fit::FitResult& result = *result_;
  const std::vector<session::FitTableRow> rows = session::FitTable(result, separator_);
  table_->setRowCount(static_cast<int>(rows.size()));
  for (std::size_t j = 0; j < rows.size(); ++j) {
    const int row = static_cast<int>(j);
    auto* label = new QTableWidgetItem(Q(rows[j].Caption));
    label->setToolTip(Q(rows[j].Caption + " (" + rows[j].Name + ")"));
    table_->setItem(row, 0, label);
    for (std::size_t c = 0; c < 3; ++c) {
      table_->setItem(row, static_cast<int>(c) + 1,
                      NumberItem(rows[j].Texts[c], rows[j].Values[c]));
    }
    table_->setItem(row, 4, new QTableWidgetItem(Q(rows[j].Unit)));
  }
  summary_->setText(Q(session::FitSummary(result, separator_)));
  summary_->setToolTip(Q(result.Termination));
  WidenTablePane();
}

void AjustementMesures::WidenTablePane() {
  const QFontMetrics metrics = table_->fontMetrics();
  const QHeaderView& header = *table_->horizontalHeader();
  // Room for a few letters of the captions, which are whole in their tips.
  int wanted = metrics.horizontalAdvance(QStringLiteral("Contrainte…")) + 2 * table_->frameWidth() +
               table_->verticalScrollBar()->sizeHint().width();
  for (int column = 1; column < table_->columnCount(); ++column) {
    int widest = header.sectionSizeHint(column);
    for (int row = 0; row < table_->rowCount(); ++row) {
      if (const QTableWidgetItem* item = table_->item(row, column)) {
        widest = std::max(widest, metrics.horizontalAdvance(item->text()) + 2 * kCellMargin);
      }
    }
    wanted += widest;
  }
  const QList<int> sizes = results_->sizes();
  const int total = sizes.value(0) + sizes.value(1);
  const int pane = std::min(wanted, total - chart_->minimumWidth());
  if (pane > sizes.value(0)) results_->setSizes({pane, total - pane});
}

void AjustementMesures::Plot() {
  frame_->NewPanels();
  if (!record_) {
    // An empty frame until a record is opened.
    QCPAxisRect& rect = frame_->AddPanel(0, 0);
    rect.axis(QCPAxis::atLeft)->setLabel(QStringLiteral("Courbure (1/m)"));
    rect.axis(QCPAxis::atBottom)->setLabel(QStringLiteral("Temps (s)"));
    frame_->ShowEmpty(QString());
    return;
  }
  const bool fitted = result_.has_value();
  const std::vector<session::OverlaySeries> series =
      session::FitOverlay(*record_, fitted ? &*result_ : nullptr);
  for (std::size_t c = 0; c < series.size(); ++c) {
    const session::OverlaySeries& s = series[c];
    const int column = static_cast<int>(c);
    auto* group = new QCPMarginGroup(chart_);
    QCPAxisRect& main = frame_->AddPanel(0, column);
    main.setMarginGroup(QCP::msLeft | QCP::msRight, group);
    main.axis(QCPAxis::atLeft)->setLabel(Q(s.ValueAxis));
    AddPoints(*chart_, &main, Values(s.Time), Values(s.Measured), kMeasured,
              QStringLiteral("Mesure"));
    if (fitted) {
      AddLine(*chart_, &main, Values(s.CurveTime), Values(s.Curve), kModel,
              QStringLiteral("Modèle ajusté"));
    }
    // Curvature and temperature grow during the build-up: the bottom right corner stays clear.
    frame_->AddLegend(main, Qt::AlignBottom | Qt::AlignRight);
    QCPAxis* mainTime = main.axis(QCPAxis::atBottom);
    if (!fitted) {
      mainTime->setLabel(QStringLiteral("Temps (s)"));
      continue;
    }
    QCPAxisRect& below = frame_->AddPanel(1, column);
    below.setMarginGroup(QCP::msLeft | QCP::msRight, group);
    below.axis(QCPAxis::atLeft)->setLabel(Q(s.ResidualAxis));
    below.axis(QCPAxis::atBottom)->setLabel(QStringLiteral("Temps (s)"));
    // A low panel: three ticks keep its labels apart.
    below.axis(QCPAxis::atLeft)->ticker()->setTickCount(3);
    AddLine(*chart_, &below, {s.From, s.To}, {0.0, 0.0}, kModel, QString())
        ->setPen(QPen(ChartTone(kModel), 1));
    AddPoints(*chart_, &below, Values(s.Time), Values(s.Residual), kResidual, QString());
    // Both panels of a column show the same times.
    frame_->Follow(*below.axis(QCPAxis::atBottom), *mainTime);
  }
  if (frame_->Panels().rowCount() > 1) frame_->Panels().setRowStretchFactors({2.4, 1});
  frame_->SetTitle(
      Q(session::OverlayTitle(QFileInfo(recordPath_).fileName().toStdString(), fitted)));
  frame_->ResetView();
}

bool AjustementMesures::Appliquer() {
  if (job_.IsRunning()) return false;
  if (!result_) {
    Tell(QStringLiteral("Aucun ajustement à appliquer."));
    return false;
  }
  if (!links_.CanApply()) {
    const QString text = QStringLiteral(
        "Un calcul est en cours dans la fenêtre de saisie : appliquez l'ajustement quand il sera "
        "terminé.");
    Tell(text);
    QMessageBox::information(this, windowTitle(), text);
    return false;
  }
  session::FitSaving saving =
      session::PrepareFit(fitBase_, *result_, QFileInfo(recordPath_).fileName().toStdString());
  if (!saving.Fitted) {
    QMessageBox::warning(this, windowTitle(), Q(saving.Refusal));
    return false;
  }
  // A fit the model does not follow is applied only once the user says so, knowing it.
  if (!session::FollowsRecord(*result_) &&
      !Ask(this, windowTitle(),
           QStringLiteral("Le modèle ne suit pas l'enregistrement (voir les remarques) : ses "
                          "valeurs ajustées ne valent pas une mesure. Les appliquer quand même ?"),
           QStringLiteral("Appliquer"))) {
    Tell(QStringLiteral("Ajustement non appliqué : rien n'a changé."));
    return false;
  }
  // Rows of the user's catalogue change every later run: the user says so first.
  const std::string question = session::ApplyQuestion(*saving.Fitted);
  if (!question.empty() && !Ask(this, windowTitle(), Q(question), QStringLiteral("Appliquer"))) {
    Tell(QStringLiteral("Ajustement non appliqué : rien n'a changé."));
    return false;
  }
  if (!session::WriteFit(saving, user_)) {
    QMessageBox::warning(this, windowTitle(), Q(saving.Refusal));
    return false;
  }
  const fit::FittedMaterials& fitted = *saving.Fitted;
  links_.Apply(fitted.CoatingName, session::FittedCoats(fitted), fitted.HeatFlux, saving.Write);
  applied_ = true;
  Tell(Q(session::AppliedText(fitted)));
  return true;
}

void AjustementMesures::ShowModel(const std::string& value) {
  ShowModelChoice(*stressModel_, value);
}

bool AjustementMesures::SaveChart(const QString& path) {
  return frame_->Save(path);
}

void AjustementMesures::ChooseRecord() {
  const QString path = QFileDialog::getOpenFileName(
      this, QStringLiteral("Ouvrir un enregistrement"),
      recordPath_.isEmpty() ? RememberedFolder("enregistrement")
                            : QFileInfo(recordPath_).absolutePath(),
      QStringLiteral("Enregistrements CSV (*.csv *.txt);;Tous les fichiers (*)"), nullptr,
      QFileDialog::DontUseNativeDialog);
  if (path.isEmpty()) return;
  RememberFolder("enregistrement", path);
  OpenRecord(path);
}

void AjustementMesures::Tell(const QString& text) {
  status_->setText(text);
}

void AjustementMesures::AddWork(session::WorkInHand& work) const {
  work.FitGoing = job_.IsRunning();
  work.FitUnapplied = result_.has_value() && !applied_;
}

}  // namespace quillane::ui
