#include "ui/AjustementMesures.h"

#include <qcustomplot.h>
#include <QCheckBox>
#include <QCloseEvent>
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
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "fit/FittedMaterials.h"
#include "format/NumberFormat.h"
#include "materials/UserCatalogue.h"
#include "run/EntryFault.h"
#include "session/FitView.h"
#include "ui/Charts.h"

namespace quillane::ui {

namespace {

// Tones of the palette: the record, the model and the residuals.
constexpr std::size_t kMeasured = 0;
constexpr std::size_t kModel = 1;
constexpr std::size_t kResidual = 6;
constexpr int kTickMs = 100;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QString Bullets(const std::vector<std::string>& lines) {
  QStringList list;
  for (const std::string& line : lines) list << Q(line);
  return QStringLiteral("\n• ") + list.join(QStringLiteral("\n• "));
}

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
    : QMainWindow(parent), links_(std::move(links)), user_(user), job_(kTickMs) {
  setObjectName(QStringLiteral("AjustementMesures"));
  setWindowTitle(QStringLiteral("Ajustement sur mesures"));
  separator_ = links_.Source().State.Locale.DecimalSeparator;
  BuildWidgets();
  connect(&job_, &BackgroundJob::Tick, this, &AjustementMesures::OnTick);
  connect(&job_, &BackgroundJob::Finished, this, [this](bool) { OnFinished(); });
  SetRunning(false);
  Plot();
  resize(1200, 760);
}

AjustementMesures::~AjustementMesures() {
  job_.CancelAndWait();
}

void AjustementMesures::BuildWidgets() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(8, 8, 8, 8);

  auto* recordLine = new QHBoxLayout;
  ouvrir_ = new QPushButton(QStringLiteral("Ouvrir un enregistrement…"), central);
  ouvrir_->setObjectName(QStringLiteral("OpenRecord"));
  recordLabel_ = new QLabel(QStringLiteral("Aucun enregistrement ouvert."), central);
  recordLabel_->setObjectName(QStringLiteral("RecordLabel"));
  recordLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  recordLine->addWidget(ouvrir_);
  recordLine->addWidget(recordLabel_, 1);
  layout->addLayout(recordLine);

  auto* top = new QHBoxLayout;
  auto* group = new QGroupBox(QStringLiteral("Grandeurs ajustées"), central);
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel(QStringLiteral("Grandeur"), group), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("min"), group), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("max"), group), 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("Unité"), group), 0, 3);
  const session::FitForm proposed = session::NewFitForm(separator_);
  for (const session::FitFormRow& entry : proposed.Rows) {
    const QString name = Q(entry.Quantity->Name);
    const int line = static_cast<int>(parameters_.size()) + 1;
    ParameterRow row{entry.Quantity};
    row.Fitted = new QCheckBox(
        Q(entry.Quantity->Caption) + QStringLiteral(" (") + name + QLatin1Char(')'), group);
    row.Fitted->setObjectName(QStringLiteral("Fit_") + name);
    row.Min = new QLineEdit(Q(entry.Min), group);
    row.Min->setObjectName(QStringLiteral("Min_") + name);
    row.Max = new QLineEdit(Q(entry.Max), group);
    row.Max->setObjectName(QStringLiteral("Max_") + name);
    for (QLineEdit* box : {row.Min, row.Max}) {
      box->setToolTip(QStringLiteral("Bornes permises : %1 à %2 ; elles peuvent être resserrées")
                          .arg(Q(entry.Min), Q(entry.Max)));
    }
    grid->addWidget(row.Fitted, line, 0);
    grid->addWidget(row.Min, line, 1);
    grid->addWidget(row.Max, line, 2);
    grid->addWidget(new QLabel(Q(entry.Quantity->Unit), group), line, 3);
    parameters_.push_back(row);
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);
  top->addWidget(group, 3);

  auto* options = new QGroupBox(QStringLiteral("Options"), central);
  auto* form = new QGridLayout(options);
  robust_ = new QCheckBox(QStringLiteral("Pertes robustes (Huber)"), options);
  robust_->setObjectName(QStringLiteral("Robust"));
  robust_->setToolTip(QStringLiteral("Réduit le poids des points aberrants"));
  curvatureNoise_ = new QLineEdit(options);
  curvatureNoise_->setObjectName(QStringLiteral("CurvatureNoise"));
  temperatureNoise_ = new QLineEdit(options);
  temperatureNoise_->setObjectName(QStringLiteral("TemperatureNoise"));
  for (QLineEdit* box : {curvatureNoise_, temperatureNoise_}) {
    box->setPlaceholderText(QStringLiteral("estimé"));
    box->setToolTip(
        QStringLiteral("Écart type des mesures ; vide, il est estimé par l'ajustement"));
  }
  form->addWidget(robust_, 0, 0, 1, 2);
  form->addWidget(new QLabel(QStringLiteral("Bruit de la courbure (1/m)"), options), 1, 0);
  form->addWidget(curvatureNoise_, 1, 1);
  form->addWidget(new QLabel(QStringLiteral("Bruit de la température (K)"), options), 2, 0);
  form->addWidget(temperatureNoise_, 2, 1);
  form->setRowStretch(3, 1);
  top->addWidget(options, 2);
  entries_ = new QWidget(central);
  entries_->setLayout(top);
  top->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(entries_);

  auto* commands = new QHBoxLayout;
  ajuster_ = new QPushButton(QStringLiteral("Ajuster"), central);
  ajuster_->setObjectName(QStringLiteral("Ajuster"));
  progress_ = new QProgressBar(central);
  progress_->setObjectName(QStringLiteral("FitProgress"));
  progress_->setTextVisible(false);
  progress_->setRange(0, 1);
  progress_->setValue(0);
  iteration_ = new QLabel(central);
  iteration_->setObjectName(QStringLiteral("FitIteration"));
  iteration_->setMinimumWidth(iteration_->fontMetrics().horizontalAdvance(
      QStringLiteral("Itération 000 — coût 0,000E+00")));
  annuler_ = new QPushButton(QStringLiteral("Annuler"), central);
  annuler_->setObjectName(QStringLiteral("Annuler"));
  annuler_->setToolTip(
      QStringLiteral("Arrêter l'ajustement ; rien de ce qui est affiché ne change"));
  commands->addWidget(ajuster_);
  commands->addWidget(progress_, 1);
  commands->addWidget(iteration_);
  commands->addWidget(annuler_);
  layout->addLayout(commands);
  status_ = new QLabel(QStringLiteral("Ouvrez un enregistrement, cochez les grandeurs à ajuster."),
                       central);
  status_->setObjectName(QStringLiteral("FitStatus"));
  status_->setWordWrap(true);
  layout->addWidget(status_);

  auto* splitter = new QSplitter(Qt::Horizontal, central);
  auto* resultPane = new QWidget(splitter);
  auto* resultLayout = new QVBoxLayout(resultPane);
  resultLayout->setContentsMargins(0, 0, 0, 0);
  table_ = new QTableWidget(0, 5, resultPane);
  table_->setObjectName(QStringLiteral("FitTable"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Grandeur"), QStringLiteral("Départ"),
                                     QStringLiteral("Ajustée"), QStringLiteral("± écart type"),
                                     QStringLiteral("Unité")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  summary_ = new QLabel(resultPane);
  summary_->setObjectName(QStringLiteral("FitSummary"));
  summary_->setWordWrap(true);
  summary_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  resultLayout->addWidget(table_, 1);
  resultLayout->addWidget(summary_, 1);
  chart_ = new QCustomPlot(splitter);
  chart_->setObjectName(QStringLiteral("FitChart"));
  chart_->setMinimumSize(420, 320);
  // Each panel has its own legend, filled by Plot.
  chart_->setAutoAddPlottableToLegend(false);
  frame_ = new ChartFrame(*chart_, QStringLiteral("ajustement.png"));
  frame_->OnReport([this](const QString& text) { Tell(text); });
  splitter->addWidget(resultPane);
  splitter->addWidget(chart_);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);
  splitter->setSizes({520, 680});
  layout->addWidget(splitter, 1);

  auto* files = new QHBoxLayout;
  saveChart_ = new QPushButton(QStringLiteral("Enregistrer le graphique…"), central);
  saveChart_->setObjectName(QStringLiteral("SaveChart"));
  appliquer_ = new QPushButton(QStringLiteral("Appliquer comme matériau utilisateur"), central);
  appliquer_->setObjectName(QStringLiteral("Appliquer"));
  appliquer_->setToolTip(
      QStringLiteral("Enregistre les valeurs ajustées dans vos matériaux et les reporte dans la "
                     "fenêtre de saisie"));
  files->addStretch(1);
  files->addWidget(saveChart_);
  files->addWidget(appliquer_);
  layout->addLayout(files);
  setCentralWidget(central);

  connect(ouvrir_, &QPushButton::clicked, this, &AjustementMesures::ChooseRecord);
  connect(ajuster_, &QPushButton::clicked, this, [this] { Ajuster(); });
  connect(annuler_, &QPushButton::clicked, this, &AjustementMesures::Annuler);
  connect(saveChart_, &QPushButton::clicked, this, [this] { frame_->SaveAs(); });
  connect(appliquer_, &QPushButton::clicked, this, [this] { Appliquer(); });
}

bool AjustementMesures::OpenRecord(const QString& path) {
  if (job_.IsRunning()) return false;
  fit::CalibrationRecord record;
  try {
    record = fit::ReadRecordFile(std::filesystem::path(path.toStdString()));
  } catch (const std::exception& error) {
    const QString text =
        QStringLiteral("L'enregistrement %1 ne peut pas servir à un ajustement :\n%2")
            .arg(path, Q(error.what()));
    Tell(QStringLiteral("Enregistrement refusé : %1").arg(Q(error.what())));
    QMessageBox::warning(this, windowTitle(), text);
    return false;
  }
  record_ = std::move(record);
  recordPath_ = path;
  // A fit shown belongs to the record it was made on.
  result_.reset();
  table_->setRowCount(0);
  summary_->clear();
  const std::size_t rows = record_->Time.size();
  recordLabel_->setText(QStringLiteral("%1 — %2 points de %3 à %4 s%5")
                            .arg(QFileInfo(path).fileName())
                            .arg(rows)
                            .arg(Q(format::FormatGeneral(record_->Time.front(), separator_)),
                                 Q(format::FormatGeneral(record_->Time.back(), separator_)),
                                 record_->HasTemperature()
                                     ? QStringLiteral(", avec la température de la face arrière")
                                     : QString()));
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
  session::StudyBase base = links_.Source();
  separator_ = base.State.Locale.DecimalSeparator;
  session::FitReading reading =
      session::ReadFitForm(Form(), record_.has_value(), std::move(base.State), base.Catalogue);
  if (!reading.Ready()) {
    const std::vector<std::string> faults = session::FrenchFaults(reading, separator_);
    Tell(QStringLiteral("Ajustement non lancé : %1 donnée(s) à corriger.").arg(faults.size()));
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("L'ajustement ne peut pas démarrer :\n") + Bullets(faults));
    return false;
  }
  runningBase_ = reading.Base;
  auto steps = std::make_shared<Handoff<fit::FitProgress>>();
  auto outcome = std::make_shared<Handoff<Outcome>>();
  const bool started =
      job_.Start([steps, outcome, base = std::move(reading.Base), record = *record_,
                  settings = std::move(reading.Settings)](std::stop_token stop) {
        Outcome done;
        try {
          done.Result = fit::FitRecord(
              base, record, settings,
              [&steps](const fit::FitProgress& progress) {
                steps->Put(progress);
                return true;
              },
              stop);
        } catch (const std::exception& error) {
          done.Fault = error.what();
        }
        outcome->Put(std::move(done));
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
  iteration_->setText(
      QStringLiteral("Itération %1 — coût %2")
          .arg(steps.back().Iteration)
          .arg(Q(format::FormatPattern(steps.back().Cost, "0.000E+00", separator_))));
}

void AjustementMesures::OnFinished() {
  std::vector<Outcome> ended = outcome_ ? outcome_->Take() : std::vector<Outcome>{};
  const Outcome done = ended.empty() ? Outcome{} : std::move(ended.back());
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
  if (done.Result->Cancelled) {
    SetRunning(false);
    Tell(QStringLiteral("Ajustement annulé après %1 itération(s) : rien n'a changé.")
             .arg(done.Result->Iterations));
    return;
  }
  result_ = done.Result;
  fitBase_ = runningBase_;
  SetRunning(false);
  iteration_->setText(QStringLiteral("%1 itérations").arg(result_->Iterations));
  ShowResult();
  Plot();
  Tell(QStringLiteral("Ajustement terminé en %1 itérations.").arg(result_->Iterations) +
       (result_->Notes.empty() ? QString() : QStringLiteral(" Voir les remarques.")));
}

void AjustementMesures::ShowResult() {
  const fit::FitResult& result = *result_;
  table_->setRowCount(static_cast<int>(result.Names.size()));
  for (std::size_t j = 0; j < result.Names.size(); ++j) {
    const int row = static_cast<int>(j);
    const QuantitySpec& figure = Quantity(result.Names[j]);
    auto* label = new QTableWidgetItem(Q(figure.Caption));
    label->setToolTip(Q(figure.Name));
    table_->setItem(row, 0, label);
    const double numbers[] = {result.Start[j], result.Value[j], result.StandardError[j]};
    for (int c = 0; c < 3; ++c) {
      // Three digits tell a standard error.
      auto* item = new QTableWidgetItem(Q(ExponentFigure(numbers[c], separator_, c == 2 ? 3 : 7)));
      // The exact value stays in the cell's data.
      item->setData(Qt::UserRole, numbers[c]);
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(row, c + 1, item);
    }
    table_->setItem(row, 4, new QTableWidgetItem(Q(figure.Unit)));
  }
  table_->resizeColumnsToContents();
  summary_->setText(Q(session::FitSummary(result, separator_)));
  summary_->setToolTip(Q(result.Termination));
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
  const fit::FittedMaterials fitted =
      fit::FitMaterials(fitBase_, *result_, QFileInfo(recordPath_).fileName().toStdString());
  if (!fitted.Faults.empty()) {
    std::vector<std::string> faults;
    for (const InputFault& fault : fitted.Faults) faults.push_back(fault.French);
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("Les valeurs ajustées ne peuvent pas être enregistrées :\n") +
            Bullets(faults));
    return false;
  }
  if (!fitted.Rows.empty()) {
    try {
      user_.SaveAll(fitted.Rows);
    } catch (const CatalogueError& error) {
      QMessageBox::warning(
          this, windowTitle(),
          QStringLiteral("Le matériau n'a pas été enregistré :\n%1").arg(Q(error.what())));
      return false;
    }
  }
  links_.Apply(fitted.CoatingName, fitted.HeatFlux);
  QStringList done;
  if (!fitted.CoatingName.empty()) {
    done << QStringLiteral("matériau « %1 » enregistré et choisi comme dépôt")
                .arg(Q(fitted.CoatingName));
  }
  if (fitted.Contact) done << QStringLiteral("ligne « contact » de vos matériaux enregistrée");
  if (fitted.HeatFlux) done << QStringLiteral("flux thermique reporté dans la fenêtre de saisie");
  Tell(QStringLiteral("Ajustement appliqué : %1.").arg(done.join(QStringLiteral(" ; "))));
  return true;
}

bool AjustementMesures::SaveChart(const QString& path) {
  return frame_->Save(path);
}

void AjustementMesures::ChooseRecord() {
  const QString path = QFileDialog::getOpenFileName(
      this, QStringLiteral("Ouvrir un enregistrement"), QFileInfo(recordPath_).absolutePath(),
      QStringLiteral("Enregistrements CSV (*.csv *.txt);;Tous les fichiers (*)"), nullptr,
      QFileDialog::DontUseNativeDialog);
  if (!path.isEmpty()) OpenRecord(path);
}

void AjustementMesures::Tell(const QString& text) {
  status_->setText(text);
}

void AjustementMesures::closeEvent(QCloseEvent* event) {
  if (job_.IsRunning()) {
    job_.CancelAndWait();
    SetRunning(false);
    Tell(QStringLiteral("Ajustement annulé à la fermeture de la fenêtre : rien n'a changé."));
  }
  event->accept();
}

}  // namespace quillane::ui
