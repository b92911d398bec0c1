#include "ui/Materiaux.h"

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

#include "session/MaterialEntry.h"
#include "widgets/Widgets.h"

namespace quillane::ui {

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
  for (std::size_t i = 0; i < kMaterialColumns.size(); ++i) {
    figures_[i] = Named<QLineEdit>(kMaterialColumns[i].Name, Q(entries.Figures[i]), this);
    form->addRow(Q(session::FigureCaption(kMaterialColumns[i])), figures_[i]);
  }
  source_ = Named<QLineEdit>("Source", Q(entries.Source), this);
  source_->setPlaceholderText(QStringLiteral("source des valeurs, remarque"));
  form->addRow(QStringLiteral("Source"), source_);
  layout->addLayout(form);
  faults_ = Named<QLabel>("Faults", this);
  faults_->setWordWrap(true);
  faults_->setStyleSheet(QStringLiteral("color: #b03a2e;"));
  layout->addWidget(faults_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Enregistrer"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
  connect(buttons, &QDialogButtonBox::accepted, this, &MaterialForm::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &MaterialForm::reject);
  layout->addWidget(buttons);
  setMinimumWidth(460);
}

void MaterialForm::accept() {
  session::MaterialEntries entries;
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
