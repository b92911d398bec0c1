#include "ui/ResultGridView.h"

#include <QHeaderView>

#include <cmath>

namespace quillane::ui {

namespace {
// Width of a column no writer sized, as the grids of the original desktop had it.
constexpr int kDefaultColumnTwips = 975;
constexpr int kTwipsPerInch = 1440;
}  // namespace

ResultGridView::ResultGridView(ResultGridModel* model, QWidget* parent)
    : QTableView(parent), model_(model) {
  setModel(model);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

  // Every row the same height: the view then never measures rows, whatever their number.
  QHeaderView* rows = verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(fontMetrics().height() + 6);
  rows->hide();

  QHeaderView* columns = horizontalHeader();
  columns->setSectionResizeMode(QHeaderView::Interactive);
  columns->setDefaultSectionSize(PixelsFromTwips(kDefaultColumnTwips));
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  columns->setHighlightSections(false);
  columns->setVisible(model->Titles() == ResultGridModel::TitleRows::AsHeader);

  for (int col = 0; col < model->ColumnCount(); ++col) ApplyWidth(col);
  connect(model, &ResultGridModel::ColumnWidthChanged, this, [this](int col, int) {
    ApplyWidth(col);
  });
  connect(model, &QAbstractItemModel::columnsInserted, this,
          [this](const QModelIndex&, int first, int last) {
            for (int col = first; col <= last; ++col) ApplyWidth(col);
          });
  connect(model, &ResultGridModel::CurrentColumnMoved, this,
          &ResultGridView::OnCurrentColumnMoved);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) { OnCurrentChanged(current); });

  if (model->Titles() == ResultGridModel::TitleRows::AsRows) {
    SpanTextRows(0, model->rowCount() - 1);
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { SpanTextRows(first, last); });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
              SpanTextRows(from.row(), to.row());
            });
  }
}

int ResultGridView::PixelsFromTwips(int twips) const {
  return static_cast<int>(std::lround(static_cast<double>(twips) * logicalDpiX() / kTwipsPerInch));
}

void ResultGridView::ApplyWidth(int col) {
  const int twips = model_->ColumnWidthTwips(col);
  setColumnWidth(col, PixelsFromTwips(twips > 0 ? twips : kDefaultColumnTwips));
}

void ResultGridView::SpanTextRows(int firstViewRow, int lastViewRow) {
  const int columns = model_->ColumnCount();
  if (columns < 2) return;
  for (int viewRow = firstViewRow; viewRow <= lastViewRow; ++viewRow) {
    const int gridRow = model_->GridRow(viewRow);
    const std::string text = model_->Store().RowText(gridRow);
    const bool words = !model_->Store().IsNumericRow(gridRow) && !text.empty() &&
                       text.find('\t') == std::string::npos;
    const int span = words ? columns : 1;
    if (rowSpan(viewRow, 0) != 1 || columnSpan(viewRow, 0) != span) setSpan(viewRow, 0, 1, span);
  }
}

void ResultGridView::OnCurrentChanged(const QModelIndex& current) {
  if (movingCurrent_ || !current.isValid()) return;
  model_->SelectCell(model_->GridRow(current.row()), current.column());
}

void ResultGridView::OnCurrentColumnMoved(int col) {
  const QModelIndex current = currentIndex();
  if (!current.isValid() || current.column() == col || col < 0 || col >= model_->ColumnCount()) {
    return;
  }
  movingCurrent_ = true;
  setCurrentIndex(model_->index(current.row(), col));
  movingCurrent_ = false;
}

}  // namespace quillane::ui
