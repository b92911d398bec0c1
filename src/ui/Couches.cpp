#include "ui/Couches.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include "session/CoatEntry.h"
#include "widgets/Widgets.h"

namespace quillane::ui {

namespace {

// The case's own value of an empty figure, and whether the cell is marked.
constexpr int kPlaceholderRole = Qt::UserRole;
constexpr int kMarkedRole = Qt::UserRole + 1;

// An empty figure shows the case's value greyed, in the cell and in its editor.
class PlaceholderDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      line->setPlaceholderText(index.data(kPlaceholderRole).toString());
    }
    return editor;
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const QString placeholder = index.data(kPlaceholderRole).toString();
    if (!option->text.isEmpty() || placeholder.isEmpty()) return;
    option->text = placeholder;
    option->font.setItalic(true);
    option->palette.setColor(QPalette::Text, option->palette.color(QPalette::PlaceholderText));
  }
};

}  // namespace

Couches::Couches(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Couches"));
  const std::vector<session::CoatColumn>& columns = session::CoatColumns();
  table_ = Named<QTableWidget>("CoatTable", 0, static_cast<int>(columns.size()), this);
  QStringList headers;
  // The unit under the name: narrower columns, more of them in view.
  for (const session::CoatColumn& column : columns) {
    headers << Q(column.Header).replace(QStringLiteral(" ("), QStringLiteral("\n("));
  }
  table_->setHorizontalHeaderLabels(headers);
  table_->setItemDelegate(new PlaceholderDelegate(table_));
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  // The figures as wide as their texts; the materials' lists narrower than their longest name,
  // so that more of the figures are in view in the deposit's half of the window (the table
  // scrolls for the rest).
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
  table_->setColumnWidth(
      0, table_->fontMetrics().horizontalAdvance(QStringLiteral("Acier 316L")) + 40);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  add_ = Named<QPushButton>("AddCoat", QStringLiteral("Ajouter une couche"), this);
  remove_ = Named<QPushButton>("RemoveCoat", QStringLiteral("Retirer la couche"), this);
  remove_->setToolTip(QStringLiteral("Retire la couche de la ligne choisie (la dernière sinon)"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(3);
  layout->addWidget(table_, 1);
  layout->addLayout(MakeRow(this, {add_, remove_, Spring()}));
  connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (!showing_) emit CellEdited(item->row(), item->column(), item->text());
  });
  connect(add_, &QPushButton::clicked, this, [this] { emit AddClicked(); });
  connect(remove_, &QPushButton::clicked, this, [this] { emit RemoveClicked(ChosenCoat()); });
}

int Couches::ChosenCoat() const {
  const int current = table_->currentRow();
  return current >= 0 && current < table_->rowCount() ? current : table_->rowCount() - 1;
}

bool Couches::Marked(int coat, int column) const {
  if (column == 0) {
    const QWidget* list = table_->cellWidget(coat, 0);
    return list != nullptr && list->property("outOfRange").toBool();
  }
  const QTableWidgetItem* item = table_->item(coat, column);
  return item != nullptr && item->data(kMarkedRole).toBool();
}

void Couches::ShowMaterials(int coat, const std::string& picked,
                            const MaterialsCatalogue& catalogue) {
  auto* list = qobject_cast<QComboBox*>(table_->cellWidget(coat, 0));
  if (list == nullptr) {
    list = new QComboBox(table_);
    list->setObjectName(QStringLiteral("CoatMaterial%1").arg(coat + 1));
    table_->setCellWidget(coat, 0, list);
    connect(list, &QComboBox::activated, this, [this, list](int) {
      // The row the list stands in now, rows having come and gone since it was made.
      for (int row = 0; row < table_->rowCount(); ++row) {
        if (table_->cellWidget(row, 0) == list) emit CellEdited(row, 0, list->currentText());
      }
    });
  }
  const QSignalBlocker blocker(list);
  list->clear();
  for (const MaterialRecord& row : catalogue.Rows()) list->addItem(Q(row.Name));
  // A name the catalogue does not hold (from a case file) stays shown, and is marked.
  if (list->findText(Q(picked)) < 0) list->insertItem(0, Q(picked));
  list->setCurrentIndex(list->findText(Q(picked)));
}

void Couches::Show(const ModelState& state, const MaterialsCatalogue& catalogue,
                   const std::vector<std::vector<session::FieldNote>>& notes) {
  showing_ = true;
  const int coats = static_cast<int>(state.Input.Coats.size());
  table_->setRowCount(coats);
  const std::vector<session::CoatColumn>& columns = session::CoatColumns();
  for (int k = 0; k < coats; ++k) {
    const auto coat = static_cast<std::size_t>(k);
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const int column = static_cast<int>(c);
      const session::FieldNote& note = notes.at(coat).at(c);
      if (columns[c].Kind == session::CoatColumnKind::Material) {
        ShowMaterials(k, state.Input.Coats[coat].Material, catalogue);
        QWidget* list = table_->cellWidget(k, column);
        list->setProperty("outOfRange", note.Outside);
        list->setStyleSheet(note.Outside ? QStringLiteral("QComboBox { background: #fde2df; "
                                                          "border: 1px solid #c0392b; }")
                                         : QString());
        list->setToolTip(Q(note.Tip));
        continue;
      }
      QTableWidgetItem* item = table_->item(k, column);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(k, column, item);
      }
      item->setText(Q(session::CoatCellText(state, coat, c)));
      item->setData(kPlaceholderRole, Q(session::CoatCellPlaceholder(state, c)));
      item->setData(kMarkedRole, note.Outside);
      item->setBackground(note.Outside ? QBrush(QColor(0xfd, 0xe2, 0xdf)) : QBrush());
      item->setToolTip(Q(note.Tip));
    }
  }
  table_->setVerticalHeaderLabels([coats] {
    QStringList labels;
    for (int k = 1; k <= coats; ++k) labels << QString::number(k);
    return labels;
  }());
  add_->setEnabled(coats < kMaxCoats);
  remove_->setEnabled(coats > 1);
  showing_ = false;
}

}  // namespace quillane::ui
