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

#include <algorithm>
#include <cmath>

#include "format/NumberFormat.h"
#include "model/Errors.h"
#include "run/Validation.h"
#include "ui/ChartFile.h"

namespace quillane::ui {

namespace {

constexpr const char* kAdjusted = " (ajusté)";
constexpr QRgb kMeasured = 0xFF0046A0;
constexpr QRgb kModel = 0xFFC0392B;
constexpr QRgb kResidual = 0xFF5D6D7E;

// What the window calls each figure a record can be fitted to, and its SI unit.
struct FitCaption {
  const char* Name;
  const char* Label;
  const char* Unit;
};
constexpr FitCaption kCaptions[] = {
    {"coating.SigmaQ", "Contrainte de trempe du dépôt", "Pa"},
    {"coating.ModuleYoung", "Module d'Young du dépôt", "Pa"},
    {"coating.dilat", "Dilatation thermique du dépôt", "1/K"},
    {"HeatFlux", "Flux thermique incident", "W/m²"},
    {"contact.Lambda", "Conductivité thermique du contact", "W/(m·K)"},
};

const FitCaption& CaptionOf(const std::string& name) {
  for (const FitCaption& caption : kCaptions) {
    if (name == caption.Name) return caption;
  }
  return kCaptions[0];
}

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QString Label(const std::string& name) {
  return QString::fromUtf8(CaptionOf(name).Label);
}

// A figure of the window: up to seven significant digits by default, as the solver's accuracy
// warrants, without trailing zeros ("1.5E+08", "1E-06").
QString Shown(double value, char separator, int digits = 7) {
  if (std::isnan(value)) return QStringLiteral("—");
  if (value == 0) return QStringLiteral("0");
  const std::string pattern =
      "0." + std::string(static_cast<std::size_t>(digits - 1), '#') + "E+00";
  QString text = Q(format::FormatPattern(value, pattern, separator));
  return text.replace(QString(QLatin1Char(separator)) + QLatin1Char('E'), QStringLiteral("E"));
}

// The solver's reason for stopping in French; its figures are left to the English message.
QString FrenchTermination(const std::string& message) {
  const std::pair<const char*, const char*> reasons[] = {
      {"Function tolerance reached", "tolérance sur la variation du coût atteinte"},
      {"Gradient tolerance reached", "tolérance sur le gradient atteinte"},
      {"Parameter tolerance reached", "tolérance sur la variation des grandeurs atteinte"},
      {"Maximum number of iterations reached", "nombre maximal d'itérations atteint"},
  };
  for (const auto& [english, french] : reasons) {
    if (message.rfind(english, 0) == 0) return QString::fromUtf8(french);
  }
  return Q(message);
}

// The library's notes in plain French: each names its figure first.
QString FrenchNote(const std::string& note, const fit::FitResult& result, char separator) {
  for (std::size_t j = 0; j < result.Names.size(); ++j) {
    const std::string& name = result.Names[j];
    if (note.rfind(name + " ", 0) != 0) continue;
    const QString unit = QString::fromUtf8(CaptionOf(name).Unit);
    if (std::isnan(result.StandardError[j])) {
      return QStringLiteral(
                 "La grandeur « %1 » ne peut pas être déterminée par cet enregistrement : la "
                 "courbure et la température du modèle n'en dépendent pas, ou seulement avec une "
                 "autre grandeur. Elle est restée à %2 %3.")
          .arg(Label(name), Shown(result.Value[j], separator), unit);
    }
    return QStringLiteral(
               "La grandeur « %1 » n'est pas déterminée par cet enregistrement : son écart type "
               "(%2 %4) dépasse sa valeur (%3 %4).")
        .arg(Label(name), Shown(result.StandardError[j], separator),
             Shown(result.Value[j], separator), unit);
  }
  return Q(note);
}

QCPAxisRect* AddAxisRect(QCustomPlot& chart, int row, int column, QCPMarginGroup* group,
                         const QString& yLabel, bool timeLabel) {
  auto* rect = new QCPAxisRect(&chart);
  chart.plotLayout()->addElement(row, column, rect);
  rect->setMarginGroup(QCP::msLeft | QCP::msRight, group);
  rect->axis(QCPAxis::atLeft)->setLabel(yLabel);
  if (timeLabel) rect->axis(QCPAxis::atBottom)->setLabel(QStringLiteral("Temps (s)"));
  return rect;
}

QCPGraph* AddPoints(QCustomPlot& chart, QCPAxisRect* rect, const QVector<double>& x,
                    const QVector<double>& y, QRgb colour, const QString& name) {
  QCPGraph* graph = chart.addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
  graph->setData(x, y, true);
  graph->setLineStyle(QCPGraph::lsNone);
  graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, QColor(colour), 4));
  graph->setName(name);
  return graph;
}

QCPGraph* AddLine(QCustomPlot& chart, QCPAxisRect* rect, const QVector<double>& x,
                  const QVector<double>& y, QRgb colour, const QString& name) {
  QCPGraph* graph = chart.addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
  // The model's curves are steps: a time may appear twice, in order.
  graph->setData(x, y, true);
  graph->setPen(QPen(QColor(colour), 1.5));
  graph->setName(name);
  return graph;
}

}  // namespace

AjustementMesures::AjustementMesures(FitLinks links, UserCatalogue& user, QWidget* parent)
    : QMainWindow(parent), links_(std::move(links)), user_(user) {
  setObjectName(QStringLiteral("AjustementMesures"));
  setWindowTitle(QStringLiteral("Ajustement sur mesures"));
  const StudyBase base = links_.Source();
  separator_ = base.State.Locale.DecimalSeparator;
  group_ = base.State.Locale.GroupSeparator;
  BuildWidgets();
  connect(&worker_, &FitWorker::ProgressChanged, this, &AjustementMesures::OnProgress);
  connect(&worker_, &FitWorker::Finished, this, &AjustementMesures::OnFinished);
  SetRunning(false);
  Plot();
  resize(1200, 760);
}

AjustementMesures::~AjustementMesures() {
  worker_.CancelAndWait();
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
  for (std::size_t i = 0; i < parameters_.size(); ++i) {
    const std::string name = fit::kFitParameters[i];
    const fit::FitParameter bounds = fit::MakeFitParameter(name, NAN, NAN);
    ParameterRow& row = parameters_[i];
    const int line = static_cast<int>(i) + 1;
    row.Fitted =
        new QCheckBox(Label(name) + QStringLiteral(" (") + Q(name) + QLatin1Char(')'), group);
    row.Fitted->setObjectName(QStringLiteral("Fit_") + Q(name));
    row.DefaultMin = Shown(bounds.Lower, separator_);
    row.DefaultMax = Shown(bounds.Upper, separator_);
    row.Min = new QLineEdit(row.DefaultMin, group);
    row.Min->setObjectName(QStringLiteral("Min_") + Q(name));
    row.Max = new QLineEdit(row.DefaultMax, group);
    row.Max->setObjectName(QStringLiteral("Max_") + Q(name));
    for (QLineEdit* box : {row.Min, row.Max}) {
      box->setToolTip(QStringLiteral("Bornes permises : %1 à %2 ; elles peuvent être resserrées")
                          .arg(row.DefaultMin, row.DefaultMax));
    }
    grid->addWidget(row.Fitted, line, 0);
    grid->addWidget(row.Min, line, 1);
    grid->addWidget(row.Max, line, 2);
    grid->addWidget(new QLabel(QString::fromUtf8(CaptionOf(name).Unit), group), line, 3);
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
  connect(saveChart_, &QPushButton::clicked, this, &AjustementMesures::ChooseChartFile);
  connect(appliquer_, &QPushButton::clicked, this, [this] { Appliquer(); });
}

bool AjustementMesures::OpenRecord(const QString& path) {
  if (worker_.IsRunning()) return false;
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

bool AjustementMesures::ReadSettings(fit::FitSettings& settings, QStringList& faults) const {
  settings = fit::FitSettings{};
  const auto read = [this](const QString& text) {
    return format::ParseStrict(text.trimmed().toStdString(), separator_, group_);
  };
  for (std::size_t i = 0; i < parameters_.size(); ++i) {
    const ParameterRow& row = parameters_[i];
    if (!row.Fitted->isChecked()) continue;
    const std::string name = fit::kFitParameters[i];
    const QString label = Label(name);
    // A bound left as proposed (or emptied) keeps the exact default.
    double bound[2] = {NAN, NAN};
    bool readable = true;
    const QLineEdit* boxes[2] = {row.Min, row.Max};
    const QString defaults[2] = {row.DefaultMin, row.DefaultMax};
    for (int side = 0; side < 2; ++side) {
      const QString text = boxes[side]->text().trimmed();
      if (text.isEmpty() || text == defaults[side]) continue;
      const auto value = read(text);
      if (!value) {
        faults << QStringLiteral("%1 : le %2 « %3 » n'est pas un nombre.")
                      .arg(label, side == 0 ? QStringLiteral("min") : QStringLiteral("max"), text);
        readable = false;
        continue;
      }
      bound[side] = *value;
    }
    if (!readable) continue;
    const fit::FitParameter allowed = fit::MakeFitParameter(name, NAN, NAN);
    const double low = std::isnan(bound[0]) ? allowed.Lower : bound[0];
    const double high = std::isnan(bound[1]) ? allowed.Upper : bound[1];
    if (!(low < high)) {
      faults << QStringLiteral("%1 : le min doit être inférieur au max.").arg(label);
      continue;
    }
    if (low < allowed.Lower || high > allowed.Upper) {
      faults << QStringLiteral("%1 : les bornes doivent rester entre %2 et %3.")
                    .arg(label, row.DefaultMin, row.DefaultMax);
      continue;
    }
    settings.Parameters.push_back(fit::MakeFitParameter(name, bound[0], bound[1]));
  }
  if (settings.Parameters.empty() && faults.isEmpty()) {
    faults << QStringLiteral("Cochez au moins une grandeur à ajuster.");
  }
  const std::pair<QLineEdit*, double*> noises[] = {{curvatureNoise_, &settings.CurvatureNoise},
                                                   {temperatureNoise_, &settings.TemperatureNoise}};
  for (const auto& [box, target] : noises) {
    const QString text = box->text().trimmed();
    if (text.isEmpty()) continue;
    const auto value = read(text);
    if (!value || !(*value > 0)) {
      faults << QStringLiteral("%1 : « %2 » n'est pas un nombre positif.")
                    .arg(box == curvatureNoise_ ? QStringLiteral("Bruit de la courbure")
                                                : QStringLiteral("Bruit de la température"),
                         text);
      continue;
    }
    *target = *value;
  }
  settings.Robust = robust_->isChecked();
  return faults.isEmpty();
}

bool AjustementMesures::Ajuster() {
  if (worker_.IsRunning()) return false;
  StudyBase base = links_.Source();
  separator_ = base.State.Locale.DecimalSeparator;
  group_ = base.State.Locale.GroupSeparator;
  QStringList faults;
  if (!record_) faults << QStringLiteral("Ouvrez d'abord un enregistrement.");
  fit::FitSettings settings;
  ReadSettings(settings, faults);
  // The inputs must allow a run, as for a single run.
  for (const InputFault& fault : FindInputFaults(base.State, &base.Catalogue)) {
    faults << Q(fault.French);
  }
  if (faults.isEmpty()) {
    try {
      ValidateRunInputs(base.State, &base.Catalogue);
    } catch (const InputError& error) {
      for (const std::string& fault : error.Faults()) faults << Q(fault);
    }
  }
  if (!faults.isEmpty()) {
    Tell(QStringLiteral("Ajustement non lancé : %1 donnée(s) à corriger.").arg(faults.size()));
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("L'ajustement ne peut pas démarrer :\n\n• ") +
                             faults.join(QStringLiteral("\n• ")));
    return false;
  }
  runningBase_ = base.State;
  if (!worker_.Start(std::move(base.State), *record_, std::move(settings))) return false;
  SetRunning(true);
  iteration_->setText(QStringLiteral("Démarrage…"));
  Tell(QStringLiteral("Ajustement en cours…"));
  return true;
}

void AjustementMesures::Annuler() {
  if (!worker_.IsRunning()) return;
  worker_.Cancel();
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

void AjustementMesures::OnProgress(int iteration, double cost) {
  if (iteration < 0) return;
  iteration_->setText(QStringLiteral("Itération %1 — coût %2")
                          .arg(iteration)
                          .arg(Q(format::FormatPattern(cost, "0.000E+00", separator_))));
}

void AjustementMesures::OnFinished() {
  const std::optional<fit::FitResult>& result = worker_.Result();
  if (!result) {
    SetRunning(false);
    iteration_->clear();
    const QString fault = Q(worker_.Fault());
    Tell(QStringLiteral("Ajustement échoué : %1").arg(fault));
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("L'ajustement a échoué :\n%1\nRien n'a changé.").arg(fault));
    return;
  }
  if (result->Cancelled) {
    SetRunning(false);
    Tell(QStringLiteral("Ajustement annulé après %1 itération(s) : rien n'a changé.")
             .arg(result->Iterations));
    return;
  }
  result_ = result;
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
    const std::string& name = result.Names[j];
    auto* label = new QTableWidgetItem(Label(name));
    label->setToolTip(Q(name));
    table_->setItem(row, 0, label);
    const double numbers[] = {result.Start[j], result.Value[j], result.StandardError[j]};
    for (int c = 0; c < 3; ++c) {
      // Three digits tell a standard error.
      auto* item = new QTableWidgetItem(Shown(numbers[c], separator_, c == 2 ? 3 : 7));
      // The exact value stays in the cell's data.
      item->setData(Qt::UserRole, numbers[c]);
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(row, c + 1, item);
    }
    table_->setItem(row, 4, new QTableWidgetItem(QString::fromUtf8(CaptionOf(name).Unit)));
  }
  table_->resizeColumnsToContents();

  QString text = QStringLiteral("Résidus RMS : courbure %1 1/m")
                     .arg(Shown(result.CurvatureRms, separator_, 4));
  if (std::isfinite(result.TemperatureRms)) {
    text += QStringLiteral(", température %1 K").arg(Shown(result.TemperatureRms, separator_, 4));
  }
  text += QStringLiteral(".\nItérations : %1. Fin du solveur : %2.")
              .arg(result.Iterations)
              .arg(FrenchTermination(result.Termination));
  if (!result.Notes.empty()) {
    text += QStringLiteral("\n\nRemarques :");
    for (const std::string& note : result.Notes) {
      text += QStringLiteral("\n• ") + FrenchNote(note, result, separator_);
    }
  }
  summary_->setText(text);
  summary_->setToolTip(Q(result.Termination));
}

void AjustementMesures::Plot() {
  chart_->clearPlottables();
  chart_->plotLayout()->clear();
  if (!record_) {
    // An empty frame until a record is opened.
    auto* group = new QCPMarginGroup(chart_);
    QCPAxisRect* rect = AddAxisRect(*chart_, 0, 0, group, QStringLiteral("Courbure (1/m)"), true);
    rect->axis(QCPAxis::atBottom)->setRange(0, 1);
    chart_->replot();
    return;
  }
  const fit::CalibrationRecord& record = *record_;
  const fit::FitResult* fit = result_ ? &*result_ : nullptr;
  const QVector<double> time(record.Time.begin(), record.Time.end());
  const QVector<double> zero = {std::min(0.0, record.Time.front()), record.Time.back()};

  struct Series {
    QString Label;
    QString Unit;
    const std::vector<double>* Measured;
    const std::vector<double>* AtTimes;  // the model at the record's times
    const std::vector<double>* CurveTime;
    const std::vector<double>* Curve;
  };
  std::vector<Series> series = {{QStringLiteral("Courbure"), QStringLiteral("1/m"),
                                 &record.Curvature, fit ? &fit->ModelCurvature : nullptr,
                                 fit ? &fit->CurveTime : nullptr,
                                 fit ? &fit->CurveCurvature : nullptr}};
  if (record.HasTemperature()) {
    series.push_back({QStringLiteral("Température de la face arrière"), QStringLiteral("K"),
                      &record.Temperature, fit ? &fit->ModelTemperature : nullptr,
                      fit ? &fit->ThermalTime : nullptr, fit ? &fit->ThermalBack : nullptr});
  }
  for (std::size_t c = 0; c < series.size(); ++c) {
    const Series& s = series[c];
    const int column = static_cast<int>(c);
    auto* group = new QCPMarginGroup(chart_);
    QCPAxisRect* main = AddAxisRect(*chart_, 0, column, group,
                                    s.Label + QStringLiteral(" (") + s.Unit + ')', false);
    QVector<double> x;
    QVector<double> measured;
    QVector<double> residual;
    for (std::size_t i = 0; i < record.Time.size(); ++i) {
      const double value = (*s.Measured)[i];
      if (std::isnan(value)) continue;
      x.append(record.Time[i]);
      measured.append(value);
      if (fit) residual.append(value - (*s.AtTimes)[i]);
    }
    AddPoints(*chart_, main, x, measured, kMeasured, QStringLiteral("Mesure"));
    if (fit) {
      AddLine(*chart_, main, QVector<double>(s.CurveTime->begin(), s.CurveTime->end()),
              QVector<double>(s.Curve->begin(), s.Curve->end()), kModel,
              QStringLiteral("Modèle ajusté"));
    }
    main->axis(QCPAxis::atBottom)->rescale();
    main->axis(QCPAxis::atLeft)->rescale();
    const QCPRange values = main->axis(QCPAxis::atLeft)->range();
    main->axis(QCPAxis::atLeft)
        ->setRange(values.lower - values.size() * 0.05, values.upper + values.size() * 0.05);
    // Curvature and temperature grow during the build-up: the bottom right corner stays clear.
    auto* legend = new QCPLegend;
    main->insetLayout()->addElement(legend, Qt::AlignBottom | Qt::AlignRight);
    legend->setLayer(QStringLiteral("legend"));
    legend->setFont(font());
    for (int g = 0; g < chart_->graphCount(); ++g) {
      if (chart_->graph(g)->valueAxis() == main->axis(QCPAxis::atLeft)) {
        chart_->graph(g)->addToLegend(legend);
      }
    }
    QCPAxis* mainTime = main->axis(QCPAxis::atBottom);
    if (!fit) {
      mainTime->setLabel(QStringLiteral("Temps (s)"));
      continue;
    }
    QCPAxisRect* below =
        AddAxisRect(*chart_, 1, column, group, QStringLiteral("Résidu (") + s.Unit + ')', true);
    AddLine(*chart_, below, zero, {0.0, 0.0}, kModel, QString())->setPen(QPen(QColor(kModel), 1));
    AddPoints(*chart_, below, x, residual, kResidual, QString());
    below->axis(QCPAxis::atLeft)->rescale();
    // A record the model meets exactly has residuals at rounding level: the axis stays readable.
    QCPRange range = below->axis(QCPAxis::atLeft)->range();
    if (range.size() <= 0) range = QCPRange(range.center() - 1, range.center() + 1);
    below->axis(QCPAxis::atLeft)
        ->setRange(range.lower - range.size() * 0.1, range.upper + range.size() * 0.1);
    // Both panels of a column show the same times.
    below->axis(QCPAxis::atBottom)->setRange(mainTime->range());
    connect(mainTime, qOverload<const QCPRange&>(&QCPAxis::rangeChanged),
            below->axis(QCPAxis::atBottom), qOverload<const QCPRange&>(&QCPAxis::setRange));
  }
  if (chart_->plotLayout()->rowCount() > 1) {
    chart_->plotLayout()->setRowStretchFactors({2.4, 1});
  }
  chart_->replot();
}

bool AjustementMesures::Appliquer() {
  if (worker_.IsRunning()) return false;
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
  const fit::FitResult& result = *result_;
  ModelState fitted = fitBase_;
  bool coating = false;
  bool contact = false;
  std::optional<double> heatFlux;
  for (std::size_t j = 0; j < result.Names.size(); ++j) {
    const std::string& name = result.Names[j];
    fit::SetFitValue(fitted, name, result.Value[j]);
    coating = coating || name.rfind("coating.", 0) == 0;
    contact = contact || name.rfind("contact.", 0) == 0;
    if (name == "HeatFlux") heatFlux = result.Value[j];
  }
  const std::string source = "ajusté sur " + QFileInfo(recordPath_).fileName().toStdString();
  std::vector<UserMaterial> rows;
  std::string coatingName;
  if (coating) {
    MaterialRecord row = fitted.Materials.Coating;
    // Fitting an adjusted row again replaces it rather than stacking the suffix.
    const std::string suffix = kAdjusted;
    if (row.Name.size() < suffix.size() ||
        row.Name.compare(row.Name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      row.Name += suffix;
    }
    coatingName = row.Name;
    rows.push_back({row, source});
  }
  // The contact layer is always the row named "contact": a user row of that name replaces it.
  if (contact) rows.push_back({fitted.Materials.Contact, source});
  QStringList faults;
  for (const UserMaterial& material : rows) {
    for (const InputFault& fault : FindMaterialFaults(material.Row)) faults << Q(fault.French);
  }
  if (!faults.isEmpty()) {
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("Les valeurs ajustées ne peuvent pas être enregistrées :"
                                        "\n\n• ") +
                             faults.join(QStringLiteral("\n• ")));
    return false;
  }
  if (!rows.empty()) {
    try {
      user_.SaveAll(rows);
    } catch (const CatalogueError& error) {
      QMessageBox::warning(
          this, windowTitle(),
          QStringLiteral("Le matériau n'a pas été enregistré :\n%1").arg(Q(error.what())));
      return false;
    }
  }
  links_.Apply(coatingName, heatFlux);
  QStringList done;
  if (coating) {
    done << QStringLiteral("matériau « %1 » enregistré et choisi comme dépôt").arg(Q(coatingName));
  }
  if (contact) done << QStringLiteral("ligne « contact » de vos matériaux enregistrée");
  if (heatFlux) done << QStringLiteral("flux thermique reporté dans la fenêtre de saisie");
  Tell(QStringLiteral("Ajustement appliqué : %1.").arg(done.join(QStringLiteral(" ; "))));
  return true;
}

bool AjustementMesures::SaveChart(const QString& path) {
  return SaveChartFile(*chart_, path, windowTitle());
}

void AjustementMesures::ChooseRecord() {
  const QString path = QFileDialog::getOpenFileName(
      this, QStringLiteral("Ouvrir un enregistrement"), QFileInfo(recordPath_).absolutePath(),
      QStringLiteral("Enregistrements CSV (*.csv *.txt);;Tous les fichiers (*)"), nullptr,
      QFileDialog::DontUseNativeDialog);
  if (!path.isEmpty()) OpenRecord(path);
}

void AjustementMesures::ChooseChartFile() {
  const QString path = ChooseChartPath(this, QStringLiteral("ajustement.png"));
  if (path.isEmpty()) return;
  if (!SaveChart(path)) {
    const QString text =
        QStringLiteral("Le graphique n'a pas pu être enregistré dans %1.").arg(path);
    Tell(text);
    QMessageBox::warning(this, windowTitle(), text);
    return;
  }
  Tell(QStringLiteral("Graphique enregistré dans %1.").arg(path));
}

void AjustementMesures::Tell(const QString& text) {
  status_->setText(text);
}

void AjustementMesures::closeEvent(QCloseEvent* event) {
  if (worker_.IsRunning()) {
    worker_.CancelAndWait();
    SetRunning(false);
    Tell(QStringLiteral("Ajustement annulé à la fermeture de la fenêtre : rien n'a changé."));
  }
  event->accept();
}

}  // namespace quillane::ui
