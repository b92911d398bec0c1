#include "ui/EtudeParametrique.h"

#include <qcustomplot.h>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
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
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

#include "graphics/ChartDrawing.h"
#include "model/InputTable.h"
#include "session/StudyView.h"
#include "session/WindowText.h"
#include "study/StudyDesign.h"
#include "study/StudyRunner.h"
#include "widgets/Charts.h"
#include "widgets/StudyTableModel.h"
#include "widgets/Widgets.h"

namespace quillane::ui {

namespace {

constexpr int kPlanSampled = 1;  // index of "hypercube latin" in the plan box
constexpr int kLawNormal = 1;    // index of "normale" in a law box

// The colour scale of the batch study's colour maps, so that a window and a file read alike.
QCPColorGradient BatchScale() {
  QCPColorGradient gradient;
  constexpr int kStops = 8;
  for (int i = 0; i <= kStops; ++i) {
    const double t = static_cast<double>(i) / kStops;
    const graphics::RGB colour = graphics::ScaleColour(t);
    gradient.setColorStopAt(t, QColor(colour.Red, colour.Green, colour.Blue));
  }
  return gradient;
}

}  // namespace

EtudeParametrique::EtudeParametrique(std::function<StudyBase()> source, QWidget* parent,
                                     session::StudyWork work)
    : QMainWindow(parent),
      source_(std::move(source)),
      work_(std::move(work)),
      worker_(BackgroundJob::kWindowTickMs) {
  setObjectName(QStringLiteral("EtudeParametrique"));
  setWindowTitle(QStringLiteral("Étude paramétrique"));
  BuildWidgets();
  AddKeys();
  connect(&worker_, &BackgroundJob::Tick, this, &EtudeParametrique::TakeRows);
  connect(&worker_, &BackgroundJob::Finished, this, &EtudeParametrique::OnFinished);
  SetRunning(false);
  FollowCase();
  ResetRanges();
  Plot();
  CloseOnKeys(*this);
  FitWithinScreen(*this, QSize(1100, 720));
}

EtudeParametrique::~EtudeParametrique() {
  worker_.CancelAndWait();
  // The boxes outlive this object's members while the base class deletes them: a box that loses
  // the focus on its way out must not read the entries.
  for (const QuantityRow& row : quantities_) {
    for (QLineEdit* box : {row.From, row.To}) box->disconnect(this);
  }
}

void EtudeParametrique::BuildQuantityRow(int index, QGridLayout* grid, QWidget* parent) {
  QuantityRow& row = quantities_[static_cast<std::size_t>(index)];
  const std::string n = std::to_string(index + 1);
  const int line = index + 1;
  row.Name = Named<QComboBox>(("Quantity" + n).c_str(), parent);
  if (index == 1) row.Name->addItem(QStringLiteral("(aucune)"), QString());
  // The coats' quantities come once the case is known (FollowCase).
  for (const session::QuantityChoice& choice : session::StudyQuantityChoices(0)) {
    row.Name->addItem(Q(session::ChoiceText(choice)), Q(choice.Name));
  }
  row.Name->setMaxVisibleItems(20);
  // The list shows each choice whole; the closed box gives its room to the entries.
  row.Name->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  row.Name->setMinimumContentsLength(28);
  row.From = Named<QLineEdit>(("From" + n).c_str(), parent);
  row.To = Named<QLineEdit>(("To" + n).c_str(), parent);
  // Room for a value of nine digits or one in exponent form, as the quantities need.
  for (QLineEdit* box : {row.From, row.To}) {
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("-0.000E+00 ")));
  }
  row.Unit = Named<QLabel>(("Unit" + n).c_str(), parent);
  row.Unit->setMinimumWidth(row.Unit->fontMetrics().horizontalAdvance(QStringLiteral("J/(kg·K)")));
  row.Steps = Named<QSpinBox>(("Steps" + n).c_str(), parent);
  row.Steps->setRange(1, session::kMostSteps);
  row.Steps->setValue(session::kDefaultSteps);
  row.Scale = Named<QComboBox>(("Scale" + n).c_str(), parent);
  row.Scale->addItem(QStringLiteral("linéaire"), false);
  row.Scale->addItem(QStringLiteral("logarithmique"), true);
  row.Law = Named<QComboBox>(("Law" + n).c_str(), parent);
  row.Law->addItem(QStringLiteral("uniforme"));
  row.Law->addItem(QStringLiteral("normale"));
  AddGridRow(*grid, line, parent,
             {("Grandeur " + n).c_str(), row.Name, row.From, row.To, row.Unit, row.Steps, row.Scale,
              row.Law});
  connect(row.Name, &QComboBox::currentIndexChanged, this, [this, index] {
    ResetRange(index, source_());
    UpdatePointCount();
  });
  // De and À mean other things under the other law: start again from the current value.
  connect(row.Law, &QComboBox::currentIndexChanged, this,
          [this, index] { ResetRange(index, source_()); });
  connect(row.Steps, &QSpinBox::valueChanged, this, [this] { UpdatePointCount(); });
  for (QLineEdit* box : {row.From, row.To}) {
    connect(box, &QLineEdit::editingFinished, this, &EtudeParametrique::MarkEntries);
  }
  connect(row.Scale, &QComboBox::currentIndexChanged, this, &EtudeParametrique::MarkEntries);
}

void EtudeParametrique::AddKeys() {
  GiveMnemonic(*lancer_, QStringLiteral("Lancer"));
  GiveMnemonic(*annuler_, QStringLiteral("Annuler"));
  GiveMnemonic(*exportTable_, QStringLiteral("Exporter"));
  GiveMnemonic(*saveChart_, QStringLiteral("graphique"));
  lancer_->setToolTip(QStringLiteral("Lancer l'étude (F5)"));
  PressOnKey(*this, *lancer_, QKeySequence(Qt::Key_F5));
}

// The plan, its samples and the stress model on one line, the two quantities' rows beneath.
QWidget* EtudeParametrique::BuildEntries(QWidget* parent) {
  auto* group = new QGroupBox(QStringLiteral("Grandeurs étudiées"), parent);
  auto* layout = new QVBoxLayout(group);
  plan_ = Named<QComboBox>("Plan", group);
  plan_->addItems({QStringLiteral("factoriel"), QStringLiteral("hypercube latin")});
  plan_->setToolTip(
      QStringLiteral("Factoriel : toutes les combinaisons des valeurs ; hypercube latin : "
                     "échantillons tirés selon la loi de chaque grandeur"));
  sampling_ = new QWidget(group);
  samples_ = Named<QSpinBox>("Samples", sampling_);
  // 0 can be typed so that it is refused with the other faults, not silently raised.
  samples_->setRange(0, static_cast<int>(study::kMaxPointsUnforced));
  samples_->setValue(static_cast<int>(session::kDefaultSamples));
  seed_ = Named<QSpinBox>("Seed", sampling_);
  seed_->setRange(0, std::numeric_limits<int>::max());
  seed_->setToolTip(QStringLiteral("La même graine redonne les mêmes échantillons"));
  QHBoxLayout* samplingLine =
      MakeRow(sampling_, {"Échantillons", samples_, Gap(12), "Graine", seed_});
  samplingLine->setContentsMargins(0, 0, 0, 0);
  sampling_->setLayout(samplingLine);
  // Which model the points run on, in view, and changed here as in the input window.
  stressModel_ = MakeModelChoice("StudyStressModel", group);
  connect(stressModel_, &QComboBox::activated, this, [this](int index) {
    if (index >= 0 && pickModel_)
      pickModel_(stressModel_->itemData(index).toString().toStdString());
  });
  layout->addLayout(MakeRow(group, {"Plan", plan_, Gap(12), sampling_, Spring(),
                                    Input("StressModel").Caption, stressModel_}));
  auto* grid = new QGridLayout;
  layout->addLayout(grid);
  AddGridRow(*grid, 0, group,
             {"", "Grandeur", "De", "À", "Unité", "Intervalles", "Échelle", "Loi"});
  // "De" and "À" change their captions under a normal law.
  fromHeader_ = qobject_cast<QLabel*>(grid->itemAtPosition(0, 2)->widget());
  toHeader_ = qobject_cast<QLabel*>(grid->itemAtPosition(0, 3)->widget());
  BuildQuantityRow(0, grid, group);
  BuildQuantityRow(1, grid, group);
  grid->setColumnStretch(1, 3);
  grid->setColumnStretch(2, 1);
  grid->setColumnStretch(3, 1);
  return group;
}

// The results table beside the chart of a result against a quantity.
QWidget* EtudeParametrique::BuildResults(QWidget* parent) {
  auto* splitter = new QSplitter(Qt::Horizontal, parent);
  table_ = Named<QTableView>("StudyTable", splitter);
  model_ = new StudyTableModel(table_);
  table_->setModel(model_);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->verticalHeader()->hide();
  // Every row one line high: the view then never measures rows.
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  auto* chartPane = new QWidget(splitter);
  auto* chartLayout = new QVBoxLayout(chartPane);
  chartLayout->setContentsMargins(0, 0, 0, 0);
  result_ = Named<QComboBox>("ResultChoice", chartPane);
  result_->addItems(Q(session::ResultChoices()));
  axis_ = Named<QComboBox>("AxisChoice", chartPane);
  chartLayout->addLayout(
      MakeRow(chartPane, {"Résultat", {result_, 1}, "en fonction de", {axis_, 1}}));
  chart_ = Named<QCustomPlot>("StudyChart", chartPane);
  chart_->setMinimumSize(360, 280);
  frame_ = new ChartFrame(*chart_, QStringLiteral("etude.png"));
  frame_->OnReport([this](const QString& text) { Tell(text); });
  // Kept aside until a chart of many curves needs it beside the plot.
  chart_->setAutoAddPlottableToLegend(false);
  colourScale_ = new QCPColorScale(chart_);
  colourScale_->setVisible(false);
  colourScale_->setGradient(BatchScale());
  colourScale_->axis()->setLabelFont(chart_->font());
  chartLayout->addWidget(chart_, 1);
  correlation_ = Named<QLabel>("RankCorrelation", chartPane);
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
  return splitter;
}

void EtudeParametrique::BuildWidgets() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(8, 8, 8, 8);
  entries_ = BuildEntries(central);
  layout->addWidget(entries_);
  pointCount_ = Named<QLabel>("PointCount", central);
  lancer_ = Named<QPushButton>("Lancer", QStringLiteral("Lancer l'étude"), central);
  progress_ = Named<QProgressBar>("StudyProgress", central);
  progress_->setFormat(QStringLiteral("%v / %m points"));
  progress_->setRange(0, 1);
  progress_->setValue(0);
  annuler_ = Named<QPushButton>("Annuler", QStringLiteral("Annuler"), central);
  annuler_->setToolTip(QStringLiteral("Arrêter l'étude ; les points terminés restent au tableau"));
  layout->addLayout(MakeRow(central, {pointCount_, lancer_, {progress_, 1}, annuler_}));
  status_ = Named<QLabel>("StudyStatus", QStringLiteral("Aucune étude lancée."), central);
  status_->setWordWrap(true);
  layout->addWidget(status_);
  layout->addWidget(BuildResults(central), 1);
  exportTable_ = Named<QPushButton>("ExportTable", QStringLiteral("Exporter le tableau…"), central);
  saveChart_ =
      Named<QPushButton>("SaveChart", QStringLiteral("Enregistrer le graphique…"), central);
  layout->addLayout(MakeRow(central, {Spring(), exportTable_, saveChart_}));
  setCentralWidget(central);

  connect(plan_, &QComboBox::currentIndexChanged, this, &EtudeParametrique::OnPlanChanged);
  connect(samples_, &QSpinBox::valueChanged, this, [this] { UpdatePointCount(); });
  connect(lancer_, &QPushButton::clicked, this, [this] { Lancer(); });
  connect(annuler_, &QPushButton::clicked, this, &EtudeParametrique::Annuler);
  connect(result_, &QComboBox::currentIndexChanged, this, [this] { Plot(); });
  connect(axis_, &QComboBox::currentIndexChanged, this, [this] { Plot(); });
  connect(exportTable_, &QPushButton::clicked, this, &EtudeParametrique::ChooseTableFile);
  connect(saveChart_, &QPushButton::clicked, this, [this] { frame_->SaveAs(); });
}

void EtudeParametrique::ResetRanges() {
  const StudyBase base = source_();
  separator_ = base.State.Locale.DecimalSeparator;
  ShowModelChoice(*stressModel_, base.State.Input.StressModel);
  for (int i = 0; i < 2; ++i) ResetRange(i, base);
  OnPlanChanged();
}

void EtudeParametrique::ShowModel(const std::string& value) {
  ShowModelChoice(*stressModel_, value);
}

void EtudeParametrique::OnModelPicked(std::function<void(const std::string&)> pick) {
  pickModel_ = std::move(pick);
}

void EtudeParametrique::Reopen() {
  FollowCase();
  if (!worker_.IsRunning() && FinishedPoints() == 0) ResetRanges();
}

void EtudeParametrique::FollowCase() {
  if (worker_.IsRunning()) return;
  const std::size_t coats = source_().State.Input.Coats.size();
  for (std::size_t i = 0; i < quantities_.size(); ++i) {
    QComboBox& box = *quantities_[i].Name;
    const QString chosen = box.currentData().toString();
    const std::vector<session::QuantityChoice> choices =
        session::StudyQuantityChoices(coats, {chosen.toStdString()});
    // The second row's first item is "(aucune)".
    const int first = i == 0 ? 0 : 1;
    bool same = box.count() == first + static_cast<int>(choices.size());
    for (std::size_t c = 0; same && c < choices.size(); ++c) {
      same = box.itemData(first + static_cast<int>(c)).toString() == Q(choices[c].Name);
    }
    if (same) continue;
    // The choice stays the same, and so do its entries.
    const QSignalBlocker blocker(&box);
    while (box.count() > first) box.removeItem(box.count() - 1);
    for (const session::QuantityChoice& choice : choices) {
      box.addItem(Q(session::ChoiceText(choice)), Q(choice.Name));
    }
    box.setCurrentIndex(std::max(0, box.findData(chosen)));
  }
}

bool EtudeParametrique::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FollowCase();
  return QMainWindow::event(event);
}

std::size_t EtudeParametrique::FinishedPoints() const {
  return model_->Grid().RowCount() + pending_.size();
}

const study::StudyRows& EtudeParametrique::Rows() const {
  return model_->Grid().Rows();
}

bool EtudeParametrique::SampledPlan() const {
  return plan_->currentIndex() == kPlanSampled;
}

session::StudyForm EtudeParametrique::Form() const {
  session::StudyForm form;
  form.Plan = SampledPlan() ? session::StudyPlan::LatinHypercube : session::StudyPlan::Factorial;
  form.Samples = samples_->value();
  form.Seed = static_cast<std::uint64_t>(seed_->value());
  for (std::size_t i = 0; i < quantities_.size(); ++i) {
    const QuantityRow& row = quantities_[i];
    session::StudyRowEntry& entry = form.Rows[i];
    entry.Quantity = row.Name->currentData().toString().toStdString();
    entry.From = row.From->text().toStdString();
    entry.To = row.To->text().toStdString();
    entry.Steps = row.Steps->value();
    entry.Log = row.Scale->currentData().toBool();
    entry.Normal = row.Law->currentIndex() == kLawNormal;
  }
  return form;
}

void EtudeParametrique::ShowRow(int index, const session::StudyRowEntry& entry) {
  QuantityRow& row = quantities_[static_cast<std::size_t>(index)];
  row.From->setText(Q(entry.From));
  row.To->setText(Q(entry.To));
  row.Steps->setValue(static_cast<int>(entry.Steps));
  row.Scale->setCurrentIndex(entry.Log ? 1 : 0);
}

void EtudeParametrique::UpdateRowControls(int index) {
  QuantityRow& row = quantities_[static_cast<std::size_t>(index)];
  const session::RowControls use = session::RowControlsOf(Form(), static_cast<std::size_t>(index));
  row.From->setEnabled(use.Range);
  row.To->setEnabled(use.Range);
  row.Steps->setEnabled(use.Steps);
  row.Scale->setEnabled(use.Steps);
  row.Law->setEnabled(use.Law);
  row.From->setToolTip(Q(use.FromTip));
  row.To->setToolTip(Q(use.ToTip));
}

void EtudeParametrique::OnPlanChanged() {
  const session::StudyForm form = Form();
  sampling_->setVisible(form.Sampled());
  const session::RangeHeaders headers = session::RangeHeadersOf(form.Plan);
  fromHeader_->setText(Q(headers.From));
  toHeader_->setText(Q(headers.To));
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
  UpdateRowControls(index);
  session::StudyForm form = Form();
  const std::size_t i = static_cast<std::size_t>(index);
  session::ProposeRange(form, i, base);
  const QuantitySpec* quantity = session::RowQuantity(form.Rows[i]);
  quantities_[i].Unit->setText(quantity != nullptr ? Q(quantity->DisplayUnit) : QString());
  ShowRow(index, form.Rows[i]);
}

void EtudeParametrique::UpdatePointCount() {
  const long long points = session::PointCount(Form());
  pointCount_->setText(QStringLiteral("%1 points").arg(points));
  // Before any study the bar counts the points the entries ask for.
  if (!worker_.IsRunning() && Rows().empty()) {
    progress_->setRange(
        0, static_cast<int>(std::clamp<long long>(points, 0, std::numeric_limits<int>::max())));
    progress_->setValue(0);
  }
  MarkEntries();
}

void EtudeParametrique::MarkEntries() {
  if (worker_.IsRunning()) return;
  const session::StudyForm form = Form();
  const session::StudyReading reading = session::ReadStudyForm(form, source_());
  const auto marks = session::MarkedEntries(reading, form, separator_);
  QString fault;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const QuantityRow& row = quantities_[i];
    const session::RowControls use = session::RowControlsOf(form, i);
    MarkBox(*row.From, marks[i].From);
    MarkBox(*row.To, marks[i].To);
    row.From->setToolTip(Q(marks[i].From ? marks[i].Tip : use.FromTip));
    row.To->setToolTip(Q(marks[i].To ? marks[i].Tip : use.ToTip));
    if (fault.isEmpty() && !marks[i].Tip.empty()) fault = Q(marks[i].Tip).section('\n', 0, 0);
  }
  if (!fault.isEmpty()) {
    Tell(fault);
    faultTold_ = true;
  } else if (faultTold_ && reading.Ready()) {
    Tell(QString());
    faultTold_ = false;
  }
}

bool EtudeParametrique::Lancer() {
  if (worker_.IsRunning()) return false;
  FollowCase();
  StudyBase base = source_();
  separator_ = base.State.Locale.DecimalSeparator;
  const session::StudyForm form = Form();
  session::StudyReading reading = session::ReadStudyForm(form, base);
  if (!reading.Ready()) {
    const std::vector<std::string> faults = session::FrenchFaults(reading, form, separator_);
    Tell(QStringLiteral("Étude non lancée : %1 donnée(s) à corriger.").arg(faults.size()));
    faultTold_ = true;
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("L'étude ne peut pas démarrer :\n") + Q(session::Bullets(faults)));
    return false;
  }
  study_ = std::move(reading.Study);
  logScales_ = std::move(reading.LogScales);
  model_->Reset(study_, reading.Points.size(), separator_);
  model_->SizeColumns(*table_);
  pace_.Restart();
  tablePace_.Restart();
  pending_.clear();
  exported_ = false;
  {
    const QSignalBlocker blocker(axis_);
    axis_->clear();
    for (const study::Quantity& quantity : study_.Vary) axis_->addItem(Q(quantity.Name()));
  }
  progress_->setRange(0, static_cast<int>(Rows().size()));
  progress_->setValue(0);
  SetRunning(true);
  clock_.start();
  worker_.Start([this, study = study_, points = std::move(reading.Points),
                 catalogue = std::move(base.Catalogue)](std::stop_token stop) {
    work_(study, points, catalogue, finishedPoints_, stop);
  });
  Tell(Q(session::RunningText(0, Rows().size())));
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
  exportTable_->setEnabled(!running && FinishedPoints() > 0);
  saveChart_->setEnabled(!running && FinishedPoints() > 0);
}

void EtudeParametrique::TakeRows() {
  std::vector<FinishedPoint> taken = finishedPoints_.Take();
  if (taken.empty()) return;
  pending_.insert(pending_.end(), std::make_move_iterator(taken.begin()),
                  std::make_move_iterator(taken.end()));
  progress_->setValue(static_cast<int>(FinishedPoints()));
  // The table is drawn again whenever rows come in: it follows at its pace, as the chart does.
  const double now = Seconds();
  if (tablePace_.Due(now)) {
    ListPending();
    table_->viewport()->repaint();
    tablePace_.Drawn(now, Seconds() - now);
  }
  PlotAtPace();
  if (worker_.IsRunning()) {
    Tell(Q(session::RunningText(FinishedPoints(), Rows().size())));
  }
}

void EtudeParametrique::ListPending() {
  if (pending_.empty()) return;
  const std::vector<std::string> widest = model_->Grid().Widest();
  model_->Add(std::move(pending_));
  pending_.clear();
  if (model_->Grid().Widest() != widest) model_->SizeColumns(*table_);
}

double EtudeParametrique::Seconds() const {
  return static_cast<double>(clock_.nsecsElapsed()) * 1e-9;
}

void EtudeParametrique::PlotAtPace() {
  const double now = Seconds();
  if (!pace_.Due(now)) return;
  Plot();
  pace_.Drawn(now, Seconds() - now);
}

void EtudeParametrique::OnFinished(bool stopped) {
  ListPending();
  SetRunning(false);
  Plot();
  const double seconds = static_cast<double>(clock_.elapsed()) / 1000;
  Tell(Q(session::EndText(Rows(), stopped, seconds, separator_)));
}

void EtudeParametrique::Plot() {
  chart_->clearGraphs();
  const int x = axis_->currentIndex();
  const int result = result_->currentIndex();
  const bool sampled = study_.Design == study::DesignKind::LatinHypercube;
  correlation_->setVisible(sampled);
  chart_->legend->setVisible(false);
  if (x < 0 || result < 0 || static_cast<std::size_t>(x) >= study_.Vary.size()) {
    correlation_->clear();
    frame_->ShowEmpty(QString());
    return;
  }
  const std::size_t r = static_cast<std::size_t>(result);
  const session::StudyChart data =
      session::ChartData(study_, Rows(), logScales_, static_cast<std::size_t>(x), r, separator_);
  for (std::size_t c = 0; c < data.Curves.size(); ++c) {
    const session::StudyCurve& curve = data.Curves[c];
    QCPGraph* graph = chart_->addGraph();
    graph->setData(QVector<double>(curve.X.begin(), curve.X.end()),
                   QVector<double>(curve.Y.begin(), curve.Y.end()));
    // Many curves are told apart by their shade; their points would hide the lines.
    const QColor tone =
        data.Scale ? colourScale_->gradient().color(curve.Shade, {0, 1}) : ChartTone(c);
    graph->setPen(QPen(tone, data.Scale ? 1.0 : 1.5));
    if (!data.Scale) graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, tone, 6));
    if (data.Cloud) graph->setLineStyle(QCPGraph::lsNone);
    graph->setName(Q(curve.Name));
    // Only a legend that is shown gets the curves: filling one takes longer than drawing them.
    if (!data.Scale) graph->addToLegend();
  }
  chart_->legend->setVisible(data.Other && !data.Curves.empty() && !data.Scale);
  ShowColourScale(data);
  if (sampled) correlation_->setText(Q(session::CorrelationText(study_, Rows(), r, separator_)));
  ChartFrame::SetLogScale(*chart_->xAxis, data.LogX);
  chart_->xAxis->setLabel(Q(data.XLabel));
  chart_->yAxis->setLabel(Q(data.YLabel));
  if (data.Curves.empty()) {
    frame_->ShowEmpty(Q(data.Title));
    return;
  }
  frame_->SetTitle(Q(data.Title));
  frame_->ResetView();
}

void EtudeParametrique::ShowColourScale(const session::StudyChart& data) {
  QCPLayoutGrid& layout = *chart_->plotLayout();
  const bool shown = layout.hasElement(1, 1);
  if (data.Scale && !shown) layout.addElement(1, 1, colourScale_);
  if (!data.Scale && shown) {
    layout.take(colourScale_);
    layout.simplify();
  }
  colourScale_->setVisible(data.Scale);
  if (!data.Scale) return;
  colourScale_->axis()->setLabel(Q(data.ScaleLabel));
  ChartFrame::SetLogScale(*colourScale_->axis(), data.ScaleLog);
  colourScale_->setDataRange({data.Curves.front().Key, data.Curves.back().Key});
  colourScale_->setDataScaleType(data.ScaleLog ? QCPAxis::stLogarithmic : QCPAxis::stLinear);
}

bool EtudeParametrique::ExportTable(const QString& path) {
  const session::TableExport told = session::ExportTable(path.toStdString(), study_, Rows());
  Tell(Q(told.Text));
  if (told.Box) QMessageBox::warning(this, windowTitle(), Q(told.Text));
  // Rows still to come are not in the file.
  exported_ = told.Written && !worker_.IsRunning();
  return told.Written;
}

bool EtudeParametrique::SaveChart(const QString& path) {
  return frame_->Save(path);
}

void EtudeParametrique::ChooseTableFile() {
  const QString filter = QStringLiteral("Tableaux CSV (*.csv)");
  const QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("Exporter le tableau"),
      QDir(RememberedFolder("tableau")).filePath(QStringLiteral("etude.csv")), filter);
  if (path.isEmpty()) return;
  RememberFolder("tableau", path);
  ExportTable(Q(session::WithFilterSuffix(path.toStdString(), filter.toStdString())));
}

void EtudeParametrique::Tell(const QString& text) {
  status_->setText(text);
  faultTold_ = false;
}

void EtudeParametrique::AddWork(session::WorkInHand& work) const {
  work.StudyGoing = worker_.IsRunning();
  work.StudyRows = FinishedPoints();
  work.StudyPoints = Rows().size();
  work.StudyExported = exported_;
}

}  // namespace quillane::ui
