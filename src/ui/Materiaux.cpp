#include "ui/Materiaux.h"

#include <qcustomplot.h>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "model/FigureTable.h"
#include "session/MaterialEntry.h"
#include "widgets/Charts.h"
#include "widgets/Widgets.h"

namespace quillane::ui {

namespace {

// A dialog's line of faults, in red, and its two buttons under it: `ok` accepts, "Annuler"
// rejects. Returns the line.
QLabel* AddFaultsAndButtons(QDialog& dialog, QVBoxLayout& layout, const char* faultsName,
                            const QString& ok) {
  auto* faults = Named<QLabel>(faultsName, &dialog);
  faults->setWordWrap(true);
  faults->setStyleSheet(QStringLiteral("color: #b03a2e;"));
  layout.addWidget(faults);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(ok);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout.addWidget(buttons);
  return faults;
}

}  // namespace

// ---- PointsDialog ----

PointsDialog::PointsDialog(const TableFigure& figure, const FigureTable& points, char separator,
                           QWidget* parent)
    : QDialog(parent), figure_(figure) {
  setObjectName(QStringLiteral("PointsDialog"));
  setWindowTitle(QStringLiteral("%1 en fonction de la température").arg(Q(figure.Name)));
  auto* layout = new QVBoxLayout(this);
  auto* panes = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  table_ = Named<QTableWidget>("PointTable", this);
  const std::array<std::string, 2> headers = session::PointHeaders(figure);
  table_->setColumnCount(2);
  table_->setHorizontalHeaderLabels({Q(headers[0]), Q(headers[1])});
  table_->verticalHeader()->hide();
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  const std::vector<session::PointEntry> lines = session::PointTexts(points, separator);
  table_->setRowCount(static_cast<int>(lines.size()));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    for (int k = 0; k < 2; ++k) {
      auto* item = new QTableWidgetItem(Q(lines[i][static_cast<std::size_t>(k)]));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(static_cast<int>(i), k, item);
    }
  }
  left->addWidget(table_, 1);
  auto* edits = new QHBoxLayout;
  auto* add = Named<QPushButton>("AddPoint", QStringLiteral("Ajouter un point"), this);
  auto* remove = Named<QPushButton>("RemovePoint", QStringLiteral("Retirer le point"), this);
  connect(add, &QPushButton::clicked, this, &PointsDialog::AddPoint);
  connect(remove, &QPushButton::clicked, this, &PointsDialog::RemovePoint);
  edits->addWidget(add);
  edits->addWidget(remove);
  left->addLayout(edits);
  panes->addLayout(left, 2);
  chart_ = Named<QCustomPlot>("PointChart", this);
  chart_->setMinimumSize(340, 240);
  frame_ = new ChartFrame(*chart_, QStringLiteral("%1.png").arg(Q(figure.Name)));
  chart_->xAxis->setLabel(Q(headers[0]));
  chart_->yAxis->setLabel(Q(headers[1]));
  panes->addWidget(chart_, 3);
  layout->addLayout(panes, 1);
  faults_ = AddFaultsAndButtons(*this, *layout, "PointFaults", QStringLiteral("Valider"));
  connect(table_, &QTableWidget::cellChanged, this, [this] { Redraw(); });
  Redraw();
  ResizeWithinScreen(*this, 760, 400);
}

namespace {

std::vector<session::PointEntry> EntriesOf(const QTableWidget& table) {
  std::vector<session::PointEntry> lines;
  for (int row = 0; row < table.rowCount(); ++row) {
    session::PointEntry line;
    for (int k = 0; k < 2; ++k) {
      const QTableWidgetItem* item = table.item(row, k);
      line[static_cast<std::size_t>(k)] = item != nullptr ? item->text().toStdString() : "";
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace

void PointsDialog::AddPoint() {
  const auto selected = table_->selectionModel()->selectedRows();
  const int at = selected.isEmpty() ? table_->rowCount() : selected.first().row() + 1;
  table_->insertRow(at);
  for (int k = 0; k < 2; ++k) {
    auto* item = new QTableWidgetItem;
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table_->setItem(at, k, item);
  }
  table_->setCurrentCell(at, 0);
}

void PointsDialog::RemovePoint() {
  const auto selected = table_->selectionModel()->selectedRows();
  if (selected.isEmpty()) {
    faults_->setText(QStringLiteral("Choisissez d'abord le point à retirer."));
    return;
  }
  table_->removeRow(selected.first().row());
  Redraw();
}

void PointsDialog::Redraw() {
  const session::PointsReading reading = session::ReadPointEntries(figure_, EntriesOf(*table_));
  chart_->clearGraphs();
  const QString title = Q(figure_.Name);
  if (!reading.Points || reading.Points->empty()) {
    frame_->ShowEmpty(title);
    chart_->replot();
    return;
  }
  frame_->SetTitle(title);
  const session::FigureCurve curve = session::CurveOf(*reading.Points);
  QCPGraph* line = chart_->addGraph();
  line->setPen(QPen(ChartTone(0), 2));
  line->setData(QVector<double>(curve.Temperatures.begin(), curve.Temperatures.end()),
                QVector<double>(curve.Values.begin(), curve.Values.end()), true);
  QCPGraph* marks = chart_->addGraph();
  marks->setLineStyle(QCPGraph::lsNone);
  marks->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, ChartTone(0), 6));
  QVector<double> temperatures;
  QVector<double> values;
  for (const FigurePoint& point : *reading.Points) {
    temperatures << point.Temperature;
    values << point.Value;
  }
  marks->setData(temperatures, values, true);
  frame_->FitAxes();
  chart_->replot();
}

void PointsDialog::accept() {
  session::PointsReading reading = session::ReadPointEntries(figure_, EntriesOf(*table_));
  if (!reading.Points) {
    QStringList faults;
    for (const InputFault& fault : reading.Faults) faults << Q(fault.French);
    faults_->setText(faults.join(QLatin1Char('\n')));
    return;
  }
  result_ = std::move(reading.Points);
  QDialog::accept();
}

// ---- MaterialForm ----

MaterialForm::MaterialForm(const QString& title, const UserMaterial& material, char separator,
                           QWidget* parent)
    : QDialog(parent), separator_(separator) {
  setObjectName(QStringLiteral("MaterialForm"));
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  const session::MaterialEntries entries = session::EntriesOf(material, separator);
  name_ = Named<QLineEdit>("Matériaux", Q(entries.Name), this);
  form->addRow(QStringLiteral("Matériaux"), name_);
  tables_ = entries.Tables;
  for (std::size_t i = 0; i < kMaterialColumns.size(); ++i) {
    figures_[i] = Named<QLineEdit>(kMaterialColumns[i].Name, Q(entries.Figures[i]), this);
    const TableFigure* figure = TableFigureOf(kMaterialColumns[i].Field);
    if (figure == nullptr) {
      form->addRow(Q(session::FigureCaption(kMaterialColumns[i])), figures_[i]);
      continue;
    }
    // A figure that may be given against temperature has its points beside its constant.
    const std::size_t table = static_cast<std::size_t>(figure - kTableFigures.data());
    const std::string name = "Points" + std::string(figure->Name);
    auto* button = Named<QPushButton>(name.c_str(),
                                      Q(session::PointsButtonText(tables_.*figure->Points)), this);
    button->setToolTip(
        QStringLiteral("Points de %1 en fonction de la température").arg(Q(figure->Name)));
    connect(button, &QPushButton::clicked, this, [this, table] { EditPoints(table); });
    pointButtons_[table] = button;
    auto* line = new QHBoxLayout;
    line->addWidget(figures_[i], 1);
    line->addWidget(button);
    form->addRow(Q(session::FigureCaption(kMaterialColumns[i])), line);
  }
  source_ = Named<QLineEdit>("Source", Q(entries.Source), this);
  source_->setPlaceholderText(QStringLiteral("source des valeurs, remarque"));
  form->addRow(QStringLiteral("Source"), source_);
  layout->addLayout(form);
  faults_ = AddFaultsAndButtons(*this, *layout, "Faults", QStringLiteral("Enregistrer"));
  setMinimumWidth(460);
}

void MaterialForm::accept() {
  session::MaterialEntries entries;
  entries.Tables = tables_;
  entries.Name = name_->text().toStdString();
  entries.Source = source_->text().toStdString();
  for (std::size_t i = 0; i < kMaterialColumns.size(); ++i) {
    entries.Figures[i] = figures_[i]->text().toStdString();
  }
  session::MaterialReading reading = session::ReadMaterialEntries(entries, separator_);
  if (!reading.Material) {
    QStringList faults;
    for (const InputFault& fault : reading.Faults) faults << Q(fault.French);
    faults_->setText(faults.join(QLatin1Char('\n')));
    // The form grows to show every fault whole.
    adjustSize();
    return;
  }
  result_ = std::move(reading.Material);
  QDialog::accept();
}

void MaterialForm::EditPoints(std::size_t index) {
  const TableFigure& figure = kTableFigures.at(index);
  PointsDialog dialog(figure, tables_.*figure.Points, separator_, this);
  if (dialog.exec() != QDialog::Accepted || !dialog.Result()) return;
  tables_.*figure.Points = *dialog.Result();
  pointButtons_[index]->setText(Q(session::PointsButtonText(tables_.*figure.Points)));
}

// ---- Materiaux ----

Materiaux::Materiaux(UserCatalogue& user, char separator, QWidget* parent)
    : QMainWindow(parent), user_(user), separator_(separator) {
  setObjectName(QStringLiteral("Materiaux"));
  setWindowTitle(QStringLiteral("Matériaux"));
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  table_ = Named<QTableWidget>("MaterialTable", central);
  const QStringList headers = Q(session::CatalogueHeaders());
  table_->setColumnCount(static_cast<int>(headers.size()));
  table_->setHorizontalHeaderLabels(headers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  layout->addWidget(table_, 1);

  auto* buttons = new QHBoxLayout;
  const struct {
    const char* Name;
    const char* Text;
    void (Materiaux::*Command)();
  } kCommands[] = {{"Ajouter", "Ajouter…", &Materiaux::Ajouter},
                   {"Dupliquer", "Dupliquer…", &Materiaux::Dupliquer},
                   {"Modifier", "Modifier…", &Materiaux::Modifier},
                   {"Supprimer", "Supprimer", &Materiaux::Supprimer}};
  for (const auto& command : kCommands) {
    auto* button = Named<QPushButton>(command.Name, QString::fromUtf8(command.Text), central);
    connect(button, &QPushButton::clicked, this, command.Command);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  layout->addLayout(buttons);
  auto* where = new QLabel(
      QStringLiteral("Vos matériaux : %1").arg(QString::fromStdString(user_.Path().string())),
      central);
  where->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(where);
  setCentralWidget(central);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { Modifier(); });
  CloseOnKeys(*this);
  FitWithinScreen(*this, QSize(1000, 480));
}

void Materiaux::Show(const MaterialsCatalogue& catalogue) {
  shown_ = catalogue;
  std::vector<UserMaterial> user;
  try {
    user = user_.Read();
  } catch (const CatalogueError&) {
    // Told by the input window when it read the catalogue; the shipped rows still show.
  }
  const std::vector<session::CatalogueLine> lines =
      session::CatalogueLines(catalogue, user, separator_);
  table_->setRowCount(static_cast<int>(lines.size()));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    for (int col = 0; col < static_cast<int>(lines[i].Cells.size()); ++col) {
      const auto column = static_cast<std::size_t>(col);
      auto* item = new QTableWidgetItem(Q(lines[i].Cells[column]));
      // Figures align to the right, as numbers do in every table of the windows.
      if (column >= session::kFirstFigureColumn &&
          column < session::kFirstFigureColumn + kMaterialColumns.size()) {
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (item->text().endsWith(QString::fromUtf8("†"))) {
          item->setToolTip(
              QStringLiteral("Donnée en fonction de la température ; « Modifier… » "
                             "montre ses points."));
        }
      }
      if (lines[i].Mine) {
        QFont font = item->font();
        font.setBold(col == 1);
        item->setFont(font);
      }
      table_->setItem(static_cast<int>(i), col, item);
    }
  }
  table_->resizeColumnsToContents();
}

int Materiaux::SelectedRow(const QString& action) {
  const auto rows = table_->selectionModel()->selectedRows();
  if (rows.isEmpty()) {
    Tell(QStringLiteral("Choisissez d'abord le matériau à %1.").arg(action));
    return -1;
  }
  return rows.first().row();
}

void Materiaux::Tell(const QString& text) {
  statusBar()->showMessage(text);
}

void Materiaux::Edit(const QString& title, const UserMaterial& start, const std::string& replacing,
                     const std::string& edited) {
  MaterialForm form(title, start, separator_, this);
  if (form.exec() != QDialog::Accepted || !form.Result()) return;
  const std::string& name = form.Result()->Row.Name;
  const std::string question = session::ReplaceQuestion(shown_, name, edited);
  if (!question.empty() && !Ask(this, windowTitle(), Q(question), QStringLiteral("Remplacer"))) {
    Tell(QStringLiteral("Rien n'a été enregistré."));
    return;
  }
  const std::vector<session::RowChange> changes = session::SaveChanges(shown_, name, replacing);
  try {
    user_.Save(*form.Result(), replacing);
  } catch (const CatalogueError&) {
    QMessageBox::warning(
        this, windowTitle(),
        Q(session::NotWritten("Le matériau n'a pas été enregistré", user_.Path())));
    return;
  }
  Tell(QStringLiteral("« %1 » enregistré dans vos matériaux.").arg(Q(name)));
  emit CatalogueChanged(changes);
}

void Materiaux::Ajouter() {
  Edit(QStringLiteral("Ajouter un matériau"), session::NewMaterial(), {}, {});
}

void Materiaux::Dupliquer() {
  const int row = SelectedRow(QStringLiteral("dupliquer"));
  if (row < 0) return;
  Edit(QStringLiteral("Dupliquer un matériau"),
       session::CopyOf(shown_.Rows()[static_cast<std::size_t>(row)]), {}, {});
}

void Materiaux::Modifier() {
  const int row = SelectedRow(QStringLiteral("modifier"));
  if (row < 0) return;
  const auto index = static_cast<std::size_t>(row);
  UserMaterial material;
  material.Row = shown_.Rows()[index];
  material.Source = table_->item(row, table_->columnCount() - 1)->text().toStdString();
  Edit(QStringLiteral("Modifier un matériau"), material, session::Replacing(shown_, index),
       material.Row.Name);
}

void Materiaux::Supprimer() {
  const int row = SelectedRow(QStringLiteral("supprimer"));
  if (row < 0) return;
  const auto index = static_cast<std::size_t>(row);
  const std::string name = shown_.Rows()[index].Name;
  if (!session::Removable(shown_, index)) {
    Tell(QStringLiteral("« %1 » vient du catalogue livré, qui n'est jamais modifié.").arg(Q(name)));
    return;
  }
  if (!Ask(this, windowTitle(), Q(session::DeleteQuestion(name)), QStringLiteral("Supprimer"))) {
    return;
  }
  try {
    user_.Remove(name);
  } catch (const CatalogueError&) {
    QMessageBox::warning(this, windowTitle(),
                         Q(session::NotWritten("Le matériau n'a pas été supprimé", user_.Path())));
    return;
  }
  Tell(QStringLiteral("« %1 » supprimé de vos matériaux.").arg(Q(name)));
  emit CatalogueChanged({{name, std::string()}});
}

}  // namespace quillane::ui
