#include "ui/EtudeParametrique.h"

#include <qcustomplot.h>
#include <QCloseEvent>
#include <QComboBox>
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
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>

#include "format/NumberFormat.h"
#include "io/AtomicFile.h"
#include "run/Validation.h"
#include "study/StudyDesign.h"
#include "study/StudyPlots.h"
#include "study/StudyRunner.h"
#include "ui/ChartFile.h"

namespace quillane::ui {

namespace {

constexpr int kDefaultSteps = 4;
constexpr int kMostSteps = 1000;
constexpr int kDefaultSamples = 50;
constexpr int kPlanSampled = 1;  // index of "hypercube latin" in the plan box
constexpr int kLawNormal = 1;    // index of "normale" in a law box
constexpr QRgb kPalette[] = {0xFF0046A0, 0xFFC0392B, 0xFF27AE60, 0xFF8E44AD,
                             0xFFE67E22, 0xFF16A085, 0xFF7F8C8D, 0xFFB7950B};

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// A number of the table as the input window writes numbers (15 significant digits, the
// locale's separator); the exact value stays in the cell's data, and the exported table.
QString Shown(double value, char separator) {
  return std::isnan(value) ? QString() : Q(format::FormatGeneral(value, separator));
}

QString WithUnit(const std::string& name, const std::string& unit) {
  return unit.empty() ? Q(name) : Q(name + " (" + unit + ")");
}

// Every quantity a study can vary: the number inputs, then the figures of the three rows.
std::vector<std::pair<QString, QString>> QuantityChoices() {
  std::vector<std::pair<QString, QString>> choices;
  for (const InputSpec& input : InputTable()) {
    if (input.Type == InputType::Text) continue;
    choices.emplace_back(Q(input.Key) + QStringLiteral(" — ") + Q(input.Caption).trimmed(),
                         Q(input.Key));
  }
  const std::pair<const char*, const char*> rows[] = {
      {"substrate.", "substrat"}, {"coating.", "dépôt"}, {"contact.", "contact"}};
  for (const auto& [prefix, word] : rows) {
    for (const MaterialColumn& column : kMaterialColumns) {
      const QString name = Q(std::string(prefix) + column.Name);
      choices.emplace_back(name + QStringLiteral(" — ") + QString::fromUtf8(word) +
                               QStringLiteral(" : ") + WithUnit(column.Name, column.Unit),
                           name);
    }
  }
  return choices;
}

// The value the input window gives the quantity now, in the unit of the window's entries (the
// input window's box for an input, SI for a figure); NaN when no row is picked for a figure.
double CurrentValue(const study::Quantity& quantity, const StudyBase& base) {
  if (quantity.Input != nullptr) {
    return quantity.Input->ToDisplay(quantity.Input->Get(base.State.Input));
  }
  std::string name = kContactName;
  if (quantity.Role == study::MaterialRole::Substrate)
    name = base.State.Input.SubstrateMaterialName;
  if (quantity.Role == study::MaterialRole::Coating) name = base.State.Input.CoatingMaterialName;
  const MaterialRecord* row =
      base.Catalogue.IsOpen() && !name.empty() ? base.Catalogue.FindMaterial(name) : nullptr;
  return row != nullptr ? row->*quantity.Column->Field : std::nan("");
}

// Widens a range by a margin on each side (a factor on a logarithmic axis); a range without
// extent gets a tenth of its value, or 1 about zero.
QCPRange WithMargin(const QCPRange& range, bool log) {
  if (log && range.lower > 0) {
    const double factor =
        range.upper > range.lower ? std::pow(range.upper / range.lower, 0.04) : 1.1;
    return QCPRange(range.lower / factor, range.upper * factor);
  }
  if (range.size() > 0) {
    const double margin = range.size() * 0.04;
    return QCPRange(range.lower - margin, range.upper + margin);
  }
  const double half = range.center() != 0 ? std::fabs(range.center()) * 0.05 : 0.5;
  return QCPRange(range.center() - half, range.center() + half);
}

// Gives a sampled quantity its law from the two entries, in the unit of the window's entries
// (ends of a uniform law, or mean and standard deviation of a normal law). The fault in
// French, empty when the law can be used.
std::string ReadLaw(study::Quantity& quantity, bool normal, double a, double b, char separator) {
  const auto si = [&quantity](double shown) {
    return quantity.Input != nullptr ? quantity.Input->FromDisplay(shown) : shown;
  };
  if (normal) {
    if (!std::isfinite(a) || !std::isfinite(b)) {
      return "la moyenne et l'écart type doivent être des nombres finis.";
    }
    if (!(b > 0)) {
      return "l'écart type doit être au-dessus de zéro, pas " +
             format::FormatGeneral(b, separator) + ".";
    }
    quantity.Law = study::Distribution::Normal;
    quantity.LawA = si(a);
    quantity.LawB = si(b);
    return {};
  }
  const study::StudyFault range = study::FindRangeFault({a, b, 1, false}, separator);
  if (!range.None()) return range.French;
  quantity.Law = study::Distribution::Uniform;
  quantity.LawA = si(a);
  quantity.LawB = si(b);
  // Every draw lies between the ends, so the ends alone need checking.
  for (const double end : {quantity.LawA, quantity.LawB}) {
    const study::StudyFault fault = study::FindValueFault(quantity, end, separator);
    if (!fault.None()) return fault.French;
  }
  return {};
}

}  // namespace

EtudeParametrique::EtudeParametrique(std::function<StudyBase()> source, QWidget* parent)
    : QMainWindow(parent), source_(std::move(source)) {
  setObjectName(QStringLiteral("EtudeParametrique"));
  setWindowTitle(QStringLiteral("Étude paramétrique"));
  BuildWidgets();
  connect(&worker_, &StudyWorker::ProgressChanged, this, &EtudeParametrique::OnProgress);
  connect(&worker_, &StudyWorker::Finished, this, &EtudeParametrique::OnFinished);
  SetRunning(false);
  ResetRanges();
  resize(1100, 720);
}

EtudeParametrique::~EtudeParametrique() {
  worker_.CancelAndWait();
}

void EtudeParametrique::BuildQuantityRow(int index, QGridLayout* grid, QWidget* parent) {
  QuantityRow& row = quantities_[static_cast<std::size_t>(index)];
  const QString n = QString::number(index + 1);
  const int line = index + 1;
  row.Name = new QComboBox(parent);
  row.Name->setObjectName(QStringLiteral("Quantity") + n);
  if (index == 1) row.Name->addItem(QStringLiteral("(aucune)"), QString());
  for (const auto& [text, name] : QuantityChoices()) row.Name->addItem(text, name);
  row.Name->setMaxVisibleItems(20);
  row.From = new QLineEdit(parent);
  row.From->setObjectName(QStringLiteral("From") + n);
  row.To = new QLineEdit(parent);
  row.To->setObjectName(QStringLiteral("To") + n);
  row.Unit = new QLabel(parent);
  row.Unit->setObjectName(QStringLiteral("Unit") + n);
  row.Unit->setMinimumWidth(row.Unit->fontMetrics().horizontalAdvance(QStringLiteral("J/(kg·K)")));
  row.Steps = new QSpinBox(parent);
  row.Steps->setObjectName(QStringLiteral("Steps") + n);
  row.Steps->setRange(1, kMostSteps);
  row.Steps->setValue(kDefaultSteps);
  row.Scale = new QComboBox(parent);
  row.Scale->setObjectName(QStringLiteral("Scale") + n);
  row.Scale->addItem(QStringLiteral("linéaire"), false);
  row.Scale->addItem(QStringLiteral("logarithmique"), true);
  row.Law = new QComboBox(parent);
  row.Law->setObjectName(QStringLiteral("Law") + n);
  row.Law->addItem(QStringLiteral("uniforme"));
  row.Law->addItem(QStringLiteral("normale"));
  grid->addWidget(new QLabel(QStringLiteral("Grandeur %1").arg(n), parent), line, 0);
  grid->addWidget(row.Name, line, 1);
  grid->addWidget(row.From, line, 2);
  grid->addWidget(row.To, line, 3);
  grid->addWidget(row.Unit, line, 4);
  grid->addWidget(row.Steps, line, 5);
  grid->addWidget(row.Scale, line, 6);
  grid->addWidget(row.Law, line, 7);
  connect(row.Name, &QComboBox::currentIndexChanged, this, [this, index] {
    ResetRange(index, source_());
    UpdatePointCount();
  });
  // De and À mean other things under the other law: start again from the current value.
  connect(row.Law, &QComboBox::currentIndexChanged, this,
          [this, index] { ResetRange(index, source_()); });
  connect(row.Steps, &QSpinBox::valueChanged, this, [this] { UpdatePointCount(); });
}

void EtudeParametrique::BuildWidgets() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(8, 8, 8, 8);

  auto* group = new QGroupBox(QStringLiteral("Grandeurs étudiées"), central);
  entries_ = group;
  auto* groupLayout = new QVBoxLayout(group);
  auto* planLine = new QHBoxLayout;
  plan_ = new QComboBox(group);
  plan_->setObjectName(QStringLiteral("Plan"));
  plan_->addItem(QStringLiteral("factoriel"));
  plan_->addItem(QStringLiteral("hypercube latin"));
  plan_->setToolTip(
      QStringLiteral("Factoriel : toutes les combinaisons des valeurs ; hypercube latin : "
                     "échantillons tirés selon la loi de chaque grandeur"));
  sampling_ = new QWidget(group);
  auto* samplingLayout = new QHBoxLayout(sampling_);
  samplingLayout->setContentsMargins(0, 0, 0, 0);
  samples_ = new QSpinBox(sampling_);
  samples_->setObjectName(QStringLiteral("Samples"));
  // 0 can be typed so that it is refused with the other faults, not silently raised.
  samples_->setRange(0, static_cast<int>(study::kMaxPointsUnforced));
  samples_->setValue(kDefaultSamples);
  seed_ = new QSpinBox(sampling_);
  seed_->setObjectName(QStringLiteral("Seed"));
  seed_->setRange(0, std::numeric_limits<int>::max());
  seed_->setToolTip(QStringLiteral("La même graine redonne les mêmes échantillons"));
  samplingLayout->addWidget(new QLabel(QStringLiteral("Échantillons"), sampling_));
  samplingLayout->addWidget(samples_);
  samplingLayout->addSpacing(12);
  samplingLayout->addWidget(new QLabel(QStringLiteral("Graine"), sampling_));
  samplingLayout->addWidget(seed_);
  planLine->addWidget(new QLabel(QStringLiteral("Plan"), group));
  planLine->addWidget(plan_);
  planLine->addSpacing(12);
  planLine->addWidget(sampling_);
  planLine->addStretch(1);
  groupLayout->addLayout(planLine);
  auto* grid = new QGridLayout;
  groupLayout->addLayout(grid);
  const char* const headers[] = {"Grandeur", "De", "À", "Unité", "Intervalles", "Échelle", "Loi"};
  for (int column = 1; column < 8; ++column) {
    auto* header = new QLabel(QString::fromUtf8(headers[column - 1]), group);
    grid->addWidget(header, 0, column);
    if (column == 2) fromHeader_ = header;
    if (column == 3) toHeader_ = header;
  }
  BuildQuantityRow(0, grid, group);
  BuildQuantityRow(1, grid, group);
  grid->setColumnStretch(1, 3);
  grid->setColumnStretch(2, 1);
  grid->setColumnStretch(3, 1);
  layout->addWidget(group);

  auto* commands = new QHBoxLayout;
  pointCount_ = new QLabel(central);
  pointCount_->setObjectName(QStringLiteral("PointCount"));
  lancer_ = new QPushButton(QStringLiteral("Lancer l'étude"), central);
  lancer_->setObjectName(QStringLiteral("Lancer"));
  progress_ = new QProgressBar(central);
  progress_->setObjectName(QStringLiteral("StudyProgress"));
  progress_->setFormat(QStringLiteral("%v / %m points"));
  progress_->setRange(0, 1);
  progress_->setValue(0);
  annuler_ = new QPushButton(QStringLiteral("Annuler"), central);
  annuler_->setObjectName(QStringLiteral("Annuler"));
  annuler_->setToolTip(QStringLiteral("Arrêter l'étude ; les points terminés restent au tableau"));
  commands->addWidget(pointCount_);
  commands->addWidget(lancer_);
  commands->addWidget(progress_, 1);
  commands->addWidget(annuler_);
  layout->addLayout(commands);
  status_ = new QLabel(QStringLiteral("Aucune étude lancée."), central);
  status_->setObjectName(QStringLiteral("StudyStatus"));
  status_->setWordWrap(true);
  layout->addWidget(status_);

  auto* splitter = new QSplitter(Qt::Horizontal, central);
  table_ = new QTableWidget(splitter);
  table_->setObjectName(QStringLiteral("StudyTable"));
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  auto* chartPane = new QWidget(splitter);
  auto* chartLayout = new QVBoxLayout(chartPane);
  chartLayout->setContentsMargins(0, 0, 0, 0);
  auto* choices = new QHBoxLayout;
  result_ = new QComboBox(chartPane);
  result_->setObjectName(QStringLiteral("ResultChoice"));
  for (const study::ResultColumn& column : study::kResultColumns) {
    result_->addItem(WithUnit(column.Name, column.Unit));
  }
  axis_ = new QComboBox(chartPane);
  axis_->setObjectName(QStringLiteral("AxisChoice"));
  choices->addWidget(new QLabel(QStringLiteral("Résultat"), chartPane));
  choices->addWidget(result_, 1);
  choices->addWidget(new QLabel(QStringLiteral("en fonction de"), chartPane));
  choices->addWidget(axis_, 1);
  chartLayout->addLayout(choices);
  chart_ = new QCustomPlot(chartPane);
  chart_->setObjectName(QStringLiteral("StudyChart"));
  chart_->setMinimumSize(360, 280);
  chart_->plotLayout()->insertRow(0);
  QFont titleFont = font();
  titleFont.setBold(true);
  chartTitle_ = new QCPTextElement(chart_, QString(), titleFont);
  chart_->plotLayout()->addElement(0, 0, chartTitle_);
  chart_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  chart_->legend->setFont(font());
  chartLayout->addWidget(chart_, 1);
  correlation_ = new QLabel(chartPane);
  correlation_->setObjectName(QStringLiteral("RankCorrelation"));
  correlation_->setWordWrap(true);
  correlation_->setToolTip(
      QStringLiteral("Corrélation des rangs des échantillons : ±1 quand le résultat suit la "
                     "grandeur dans le même ordre ou dans l'ordre inverse, 0 sans lien"));
  chartLayout->addWidget(correlation_);
  splitter->addWidget(table_);
  splitter->addWidget(chartPane);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({550, 550});
  layout->addWidget(splitter, 1);

  auto* files = new QHBoxLayout;
  exportTable_ = new QPushButton(QStringLiteral("Exporter le tableau…"), central);
  exportTable_->setObjectName(QStringLiteral("ExportTable"));
  saveChart_ = new QPushButton(QStringLiteral("Enregistrer le graphique…"), central);
  saveChart_->setObjectName(QStringLiteral("SaveChart"));
  files->addStretch(1);
  files->addWidget(exportTable_);
  files->addWidget(saveChart_);
  layout->addLayout(files);
  setCentralWidget(central);

  connect(plan_, &QComboBox::currentIndexChanged, this, &EtudeParametrique::OnPlanChanged);
  connect(samples_, &QSpinBox::valueChanged, this, [this] { UpdatePointCount(); });
  connect(lancer_, &QPushButton::clicked, this, [this] { Lancer(); });
  connect(annuler_, &QPushButton::clicked, this, &EtudeParametrique::Annuler);
  connect(result_, &QComboBox::currentIndexChanged, this, [this] { Plot(); });
  connect(axis_, &QComboBox::currentIndexChanged, this, [this] { Plot(); });
  connect(exportTable_, &QPushButton::clicked, this, &EtudeParametrique::ChooseTableFile);
  connect(saveChart_, &QPushButton::clicked, this, &EtudeParametrique::ChooseChartFile);
}

void EtudeParametrique::ResetRanges() {
  const StudyBase base = source_();
  separator_ = base.State.Locale.DecimalSeparator;
  for (int i = 0; i < 2; ++i) ResetRange(i, base);
  OnPlanChanged();
}

bool EtudeParametrique::SampledPlan() const {
  return plan_->currentIndex() == kPlanSampled;
}

void EtudeParametrique::UpdateRowControls(int index) {
  QuantityRow& row = quantities_[static_cast<std::size_t>(index)];
  study::Quantity quantity;
  const std::string name = row.Name->currentData().toString().toStdString();
  const bool chosen = !name.empty() && study::ResolveQuantity(name, quantity);
  const bool sampled = SampledPlan();
  row.From->setEnabled(chosen);
  row.To->setEnabled(chosen);
  row.Steps->setEnabled(chosen && !sampled);
  row.Scale->setEnabled(chosen && !sampled);
  row.Law->setEnabled(chosen && sampled);
  const bool normal = sampled && row.Law->currentIndex() == kLawNormal;
  row.From->setToolTip(normal ? QStringLiteral("Moyenne") : QStringLiteral("Début"));
  row.To->setToolTip(normal ? QStringLiteral("Écart type") : QStringLiteral("Fin"));
}

void EtudeParametrique::OnPlanChanged() {
  const bool sampled = SampledPlan();
  sampling_->setVisible(sampled);
  fromHeader_->setText(sampled ? QStringLiteral("De ou moyenne") : QStringLiteral("De"));
  toHeader_->setText(sampled ? QStringLiteral("À ou écart type") : QStringLiteral("À"));
  for (int i = 0; i < 2; ++i) {
    // A row under the normal law holds a mean and a deviation, not a range: start it again.
    if (quantities_[static_cast<std::size_t>(i)].Law->currentIndex() == kLawNormal) {
      ResetRange(i, source_());
    }
    UpdateRowControls(i);
  }
  UpdatePointCount();
}

void EtudeParametrique::ResetRange(int index, const StudyBase& base) {
  QuantityRow& row = quantities_[static_cast<std::size_t>(index)];
  const std::string name = row.Name->currentData().toString().toStdString();
  study::Quantity quantity;
  const bool chosen = !name.empty() && study::ResolveQuantity(name, quantity);
  UpdateRowControls(index);
  row.From->clear();
  row.To->clear();
  row.Unit->clear();
  if (!chosen) return;
  row.Unit->setText(Q(quantity.Input != nullptr ? quantity.Input->DisplayUnit : quantity.Unit()));
  const double value = CurrentValue(quantity, base);
  if (std::isnan(value)) return;
  if (SampledPlan() && row.Law->currentIndex() == kLawNormal) {
    row.From->setText(Q(format::FormatGeneral(value, separator_)));
    row.To->setText(Q(format::FormatGeneral(std::fabs(value) / 10, separator_)));
    return;
  }
  double from = std::min(value * 0.5, value * 1.5);
  double to = std::max(value * 0.5, value * 1.5);
  int steps = kDefaultSteps;
  if (quantity.Input != nullptr && quantity.Input->Ranged) {
    from = std::max(from, quantity.Input->ToDisplay(quantity.Input->Min));
    to = std::min(to, quantity.Input->ToDisplay(quantity.Input->Max));
  }
  if (quantity.Input != nullptr && quantity.Input->Type == InputType::Integer) {
    // Counts take whole values only: one interval per value where there are few.
    from = std::round(from);
    to = std::round(to);
    if (to > from) steps = static_cast<int>(std::min<double>(kDefaultSteps, to - from));
  }
  row.From->setText(Q(format::FormatGeneral(from, separator_)));
  row.To->setText(Q(format::FormatGeneral(to, separator_)));
  row.Steps->setValue(steps);
  row.Scale->setCurrentIndex(0);
}

void EtudeParametrique::UpdatePointCount() {
  if (SampledPlan()) {
    pointCount_->setText(QStringLiteral("%1 points").arg(samples_->value()));
    return;
  }
  long long points = 1;
  for (const QuantityRow& row : quantities_) {
    if (!row.Name->currentData().toString().isEmpty()) points *= row.Steps->value() + 1;
  }
  pointCount_->setText(QStringLiteral("%1 points").arg(points));
}

bool EtudeParametrique::ReadStudy(const StudyBase& base, study::Study& study,
                                  std::vector<bool>& logScales,
                                  std::vector<std::string>& faults) const {
  study = study::Study{};
  study.Base = base.State.Input;
  const bool sampled = SampledPlan();
  study.Design = sampled ? study::DesignKind::LatinHypercube : study::DesignKind::Factorial;
  if (sampled) {
    study.Samples = samples_->value();
    study.Seed = static_cast<std::uint64_t>(seed_->value());
    if (study.Samples < 1) faults.emplace_back("Il faut au moins 1 échantillon.");
  }
  logScales.clear();
  const RegionalSettings& locale = base.State.Locale;
  for (int i = 0; i < 2; ++i) {
    const QuantityRow& row = quantities_[static_cast<std::size_t>(i)];
    const std::string name = row.Name->currentData().toString().toStdString();
    if (name.empty()) continue;
    const std::string label = "Grandeur " + std::to_string(i + 1) + " (" + name + ")";
    study::Quantity quantity;
    if (!study::ResolveQuantity(name, quantity)) {
      faults.push_back(label + " : grandeur inconnue.");
      continue;
    }
    if (!study.Vary.empty() && study.Vary.front().Name == name) {
      faults.push_back(label + " : la grandeur 1 est déjà celle-là.");
      continue;
    }
    const std::string fromText = row.From->text().toStdString();
    const std::string toText = row.To->text().toStdString();
    const auto from = format::ParseStrict(fromText, locale.DecimalSeparator, locale.GroupSeparator);
    const auto to = format::ParseStrict(toText, locale.DecimalSeparator, locale.GroupSeparator);
    if (!from) faults.push_back(label + " : le début « " + fromText + " » n'est pas un nombre.");
    if (!to) faults.push_back(label + " : la fin « " + toText + " » n'est pas un nombre.");
    if (!from || !to) continue;
    if (sampled) {
      const std::string fault = ReadLaw(quantity, row.Law->currentIndex() == kLawNormal, *from, *to,
                                        locale.DecimalSeparator);
      if (!fault.empty()) {
        faults.push_back(label + " : " + fault);
        continue;
      }
      study.Vary.push_back(std::move(quantity));
      logScales.push_back(false);
      continue;
    }
    const study::ValueRange range{*from, *to, row.Steps->value(),
                                  row.Scale->currentData().toBool()};
    const study::StudyFault rangeFault = study::FindRangeFault(range, locale.DecimalSeparator);
    if (!rangeFault.None()) {
      faults.push_back(label + " : " + rangeFault.French);
      continue;
    }
    // The entries are in the input window's unit; the study holds SI values.
    for (const double shown : study::RangeValues(range)) {
      const double value = quantity.Input != nullptr ? quantity.Input->FromDisplay(shown) : shown;
      const study::StudyFault fault =
          study::FindValueFault(quantity, value, locale.DecimalSeparator);
      if (!fault.None()) {
        faults.push_back(label + " : " + fault.French);
        break;
      }
      quantity.Values.push_back(value);
    }
    if (quantity.Values.size() != static_cast<std::size_t>(range.Steps) + 1) continue;
    study.Vary.push_back(std::move(quantity));
    logScales.push_back(range.Log);
  }
  if (faults.empty() && study::PointCount(study) > study::kMaxPointsUnforced) {
    faults.push_back("L'étude compterait " + std::to_string(study::PointCount(study)) +
                     " points, plus que " + std::to_string(study::kMaxPointsUnforced) +
                     " ; réduisez le nombre d'intervalles.");
  }
  // The inputs that are not varied must allow a run, as for a single run.
  for (const InputFault& fault : FindInputFaults(base.State, &base.Catalogue)) {
    faults.push_back(fault.French);
  }
  return faults.empty();
}

bool EtudeParametrique::Lancer() {
  if (worker_.IsRunning()) return false;
  StudyBase base = source_();
  separator_ = base.State.Locale.DecimalSeparator;
  study::Study study;
  std::vector<bool> logScales;
  std::vector<std::string> faults;
  std::vector<std::vector<double>> points;
  if (ReadStudy(base, study, logScales, faults)) {
    try {
      points = study::DesignPoints(study);
    } catch (const study::SampleError& error) {
      const study::Quantity& quantity = study.Vary[error.QuantityIndex()];
      faults.push_back("Grandeur " + std::to_string(error.QuantityIndex() + 1) + " (" +
                       quantity.Name + ") : un échantillon tiré n'est pas utilisable : " +
                       study::FindValueFault(quantity, error.Value(), separator_).French +
                       " Réduisez l'écart type ou rapprochez la moyenne du milieu des limites.");
    } catch (const study::StudyError& error) {
      faults.emplace_back(error.what());
    }
  }
  if (!faults.empty()) {
    QString text = QStringLiteral("L'étude ne peut pas démarrer :\n");
    for (const std::string& fault : faults) text += QStringLiteral("\n• ") + Q(fault);
    Tell(QStringLiteral("Étude non lancée : %1 donnée(s) à corriger.").arg(faults.size()));
    QMessageBox::warning(this, windowTitle(), text);
    return false;
  }
  study_ = study;
  logScales_ = logScales;
  rows_.assign(points.size(), std::nullopt);
  ResetTable();
  {
    const QSignalBlocker blocker(axis_);
    axis_->clear();
    for (const study::Quantity& quantity : study_.Vary) axis_->addItem(Q(quantity.Name));
  }
  progress_->setRange(0, static_cast<int>(points.size()));
  progress_->setValue(0);
  SetRunning(true);
  clock_.start();
  worker_.Start(std::move(study), std::move(points), std::move(base.Catalogue));
  Tell(QStringLiteral("Étude en cours : %1 points…").arg(rows_.size()));
  Plot();
  return true;
}

void EtudeParametrique::Annuler() {
  if (!worker_.IsRunning()) return;
  worker_.Cancel();
  annuler_->setEnabled(false);
  Tell(QStringLiteral("Annulation de l'étude…"));
}

void EtudeParametrique::SetRunning(bool running) {
  entries_->setEnabled(!running);
  lancer_->setEnabled(!running);
  annuler_->setEnabled(running);
  const bool any = std::any_of(rows_.begin(), rows_.end(), [](const auto& row) { return row; });
  exportTable_->setEnabled(!running && any);
  saveChart_->setEnabled(!running && any);
}

void EtudeParametrique::OnProgress(std::size_t done, std::size_t total) {
  progress_->setValue(static_cast<int>(done));
  rows_ = worker_.Rows();
  FillTable();
  Plot();
  if (worker_.IsRunning()) {
    Tell(QStringLiteral("Étude en cours : %1 points sur %2…").arg(done).arg(total));
  }
}

void EtudeParametrique::OnFinished(bool cancelled) {
  rows_ = worker_.Rows();
  FillTable();
  SetRunning(false);
  Plot();
  std::size_t done = 0;
  std::size_t failed = 0;
  for (const auto& row : rows_) {
    if (!row) continue;
    ++done;
    failed += row->Status != study::kStatusOk ? 1 : 0;
  }
  if (cancelled) {
    Tell(QStringLiteral(
             "Étude annulée : %1 point(s) terminé(s) sur %2 ; le tableau ne montre que ceux-là.")
             .arg(done)
             .arg(rows_.size()));
    return;
  }
  const double seconds = static_cast<double>(clock_.elapsed()) / 1000;
  QString text = QStringLiteral("Étude terminée : %1 points en %2 s")
                     .arg(done)
                     .arg(Q(format::FormatPattern(seconds, "0.00", separator_)));
  if (failed > 0) text += QStringLiteral(", dont %1 en échec").arg(failed);
  Tell(text + QLatin1Char('.'));
}

void EtudeParametrique::ResetTable() {
  const std::vector<std::string> columns = study::TableColumns(study_);
  const std::size_t quantities = study_.Vary.size();
  QStringList headers;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    std::string unit;
    if (c >= 1 && c <= quantities) unit = study_.Vary[c - 1].Unit();
    if (c > quantities && c + 1 < columns.size()) {
      unit = study::kResultColumns[c - 1 - quantities].Unit;
    }
    headers << (c + 1 == columns.size() ? QStringLiteral("état") : WithUnit(columns[c], unit));
  }
  table_->setRowCount(0);
  table_->setColumnCount(static_cast<int>(columns.size()));
  table_->setHorizontalHeaderLabels(headers);
  table_->resizeColumnsToContents();
  listed_.assign(rows_.size(), false);
}

void EtudeParametrique::FillTable() {
  // Points finish out of order: each new row goes in at its place among those listed.
  constexpr int kMostRowsSized = 500;
  int line = 0;
  bool added = false;
  for (std::size_t index = 0; index < rows_.size() && index < listed_.size(); ++index) {
    if (!rows_[index]) continue;
    if (listed_[index]) {
      ++line;
      continue;
    }
    const study::PointResult& point = *rows_[index];
    std::vector<double> numbers{static_cast<double>(index + 1)};
    numbers.insert(numbers.end(), point.Values.begin(), point.Values.end());
    numbers.insert(numbers.end(), point.Results.begin(), point.Results.end());
    table_->insertRow(line);
    for (std::size_t c = 0; c < numbers.size(); ++c) {
      auto* item = new QTableWidgetItem(Shown(numbers[c], separator_));
      item->setData(Qt::UserRole, numbers[c]);
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(line, static_cast<int>(c), item);
    }
    const bool ok = point.Status == study::kStatusOk;
    auto* status = new QTableWidgetItem(ok ? QStringLiteral("ok") : QStringLiteral("échec"));
    if (!ok) status->setToolTip(Q(point.Status));
    table_->setItem(line, static_cast<int>(numbers.size()), status);
    listed_[index] = true;
    added = true;
    ++line;
  }
  // Sizing the columns reads every row: done while the table is short.
  if (added && table_->rowCount() <= kMostRowsSized) table_->resizeColumnsToContents();
}

void EtudeParametrique::Plot() {
  chart_->clearGraphs();
  const int x = axis_->currentIndex();
  const int result = result_->currentIndex();
  const bool sampled = study_.Design == study::DesignKind::LatinHypercube;
  correlation_->setVisible(sampled);
  if (x < 0 || result < 0 || static_cast<std::size_t>(x) >= study_.Vary.size()) {
    correlation_->clear();
    chartTitle_->setText(QStringLiteral("Aucune étude"));
    chart_->legend->setVisible(false);
    chart_->replot();
    return;
  }
  const std::size_t q = static_cast<std::size_t>(x);
  // Samples share no values: they are all one cloud of points.
  const bool two = study_.Vary.size() == 2 && !sampled;
  const std::size_t other = two ? 1 - q : q;
  // One curve per value of the other quantity, in rising order.
  std::map<double, std::pair<QVector<double>, QVector<double>>> curves;
  for (const auto& row : rows_) {
    if (!row) continue;
    const double y = row->Results[static_cast<std::size_t>(result)];
    if (std::isnan(y)) continue;
    auto& curve = curves[two ? row->Values[other] : 0.0];
    curve.first.append(row->Values[q]);
    curve.second.append(y);
  }
  const study::Quantity& shownQuantity = study_.Vary[q];
  const study::ResultColumn& column = study::kResultColumns[static_cast<std::size_t>(result)];
  std::size_t colour = 0;
  for (const auto& [key, data] : curves) {
    QCPGraph* graph = chart_->addGraph();
    graph->setData(data.first, data.second);
    const QColor tone(kPalette[colour++ % std::size(kPalette)]);
    graph->setPen(QPen(tone, 1.5));
    graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, tone, 6));
    if (sampled) graph->setLineStyle(QCPGraph::lsNone);
    if (two) {
      const std::string unit = study_.Vary[other].Unit();
      graph->setName(Q(study_.Vary[other].Name + " = " + format::FormatGeneral(key, separator_) +
                       (unit.empty() ? "" : " " + unit)));
    }
  }
  chart_->legend->setVisible(two && !curves.empty());
  if (sampled) correlation_->setText(CorrelationText(static_cast<std::size_t>(result)));
  const bool log = q < logScales_.size() && logScales_[q];
  chart_->xAxis->setScaleType(log ? QCPAxis::stLogarithmic : QCPAxis::stLinear);
  if (log) {
    chart_->xAxis->setTicker(QSharedPointer<QCPAxisTickerLog>::create());
  } else {
    chart_->xAxis->setTicker(QSharedPointer<QCPAxisTicker>::create());
  }
  chart_->xAxis->setLabel(WithUnit(shownQuantity.Name, shownQuantity.Unit()));
  chart_->yAxis->setLabel(WithUnit(column.Name, column.Unit));
  chartTitle_->setText(curves.empty()
                           ? QStringLiteral("%1 : aucun résultat").arg(column.Name)
                           : QStringLiteral("%1 en fonction de %2")
                                 .arg(QString::fromUtf8(column.Name), Q(shownQuantity.Name)));
  if (!curves.empty()) {
    chart_->rescaleAxes();
    chart_->xAxis->setRange(WithMargin(chart_->xAxis->range(), log));
    chart_->yAxis->setRange(WithMargin(chart_->yAxis->range(), false));
  }
  chart_->replot();
}

bool EtudeParametrique::ExportTable(const QString& path) {
  const bool any = std::any_of(rows_.begin(), rows_.end(), [](const auto& row) { return row; });
  if (!any) {
    Tell(QStringLiteral("Aucun résultat à exporter."));
    return false;
  }
  try {
    AtomicFile::WriteWhole(path.toStdString(), study::TableCsv(study_, rows_), "results table");
  } catch (const std::exception&) {
    const QString text = QStringLiteral("Le tableau n'a pas pu être enregistré dans %1.").arg(path);
    Tell(text);
    QMessageBox::warning(this, windowTitle(), text);
    return false;
  }
  Tell(QStringLiteral("Tableau enregistré dans %1.").arg(path));
  return true;
}

bool EtudeParametrique::SaveChart(const QString& path) {
  return SaveChartFile(*chart_, path, chartTitle_->text());
}

void EtudeParametrique::ChooseTableFile() {
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Exporter le tableau"),
                                              QStringLiteral("etude.csv"),
                                              QStringLiteral("Tableaux CSV (*.csv)"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
  ExportTable(path);
}

void EtudeParametrique::ChooseChartFile() {
  const QString path = ChooseChartPath(this, QStringLiteral("etude.png"));
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

QString EtudeParametrique::CorrelationText(std::size_t result) const {
  QStringList parts;
  for (std::size_t q = 0; q < study_.Vary.size(); ++q) {
    // The finished points that gave the result, as the batch study's influence plots take them.
    std::vector<double> values;
    std::vector<double> results;
    for (const auto& row : rows_) {
      if (!row || row->Status != study::kStatusOk || std::isnan(row->Results[result])) continue;
      values.push_back(row->Values[q]);
      results.push_back(row->Results[result]);
    }
    const double rho = study::RankCorrelation(values, results);
    parts << Q(study_.Vary[q].Name) + QLatin1Char(' ') +
                 (std::isnan(rho) ? QStringLiteral("indéfinie")
                                  : Q(format::FormatPattern(rho, "0.00", separator_)));
  }
  return QStringLiteral("Corrélation de rang (Spearman) : ") + parts.join(QStringLiteral(" ; "));
}

void EtudeParametrique::Tell(const QString& text) {
  status_->setText(text);
}

void EtudeParametrique::closeEvent(QCloseEvent* event) {
  // The rows of a study stopped by closing stay in the window for when it opens again.
  if (worker_.IsRunning()) {
    worker_.CancelAndWait();
    rows_ = worker_.Rows();
    FillTable();
    SetRunning(false);
    Tell(QStringLiteral("Étude annulée à la fermeture de la fenêtre."));
  }
  event->accept();
}

}  // namespace quillane::ui
