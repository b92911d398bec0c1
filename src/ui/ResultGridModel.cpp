#include "ui/ResultGridModel.h"

#include <QApplication>
#include <QPalette>

#include <algorithm>

namespace quillane::ui {

ResultGridModel::ResultGridModel(TitleRows titles, QObject* parent)
    : QAbstractTableModel(parent), titles_(titles), widths_(2, 0) {}

void ResultGridModel::SetColumnCount(int count) {
  count = std::max(count, 0);
  const int old = store_.ColumnCount();
  if (count == old) return;
  if (count > old) {
    beginInsertColumns(QModelIndex(), old, count - 1);
    store_.SetColumnCount(count);
    widths_.resize(static_cast<std::size_t>(count), 0);
    endInsertColumns();
  } else {
    beginRemoveColumns(QModelIndex(), count, old - 1);
    store_.SetColumnCount(count);
    widths_.resize(static_cast<std::size_t>(count));
    endRemoveColumns();
  }
  if (currentColumn_ >= count) currentColumn_ = std::max(count - 1, 0);
}

void ResultGridModel::FillBlock(int firstRow, int lastRow, int firstCol, int lastCol,
                                std::string_view text) {
  std::size_t start = 0;
  for (int row = firstRow; row <= lastRow && row < store_.RowCount(); ++row) {
    if (start > text.size()) break;
    const std::size_t end = std::min(text.find('\r', start), text.size());
    if (row >= 0) {
      store_.SetCells(row, firstCol, lastCol, text.substr(start, end - start));
      RowChanged(row, std::max(firstCol, 0), std::min(lastCol, store_.ColumnCount() - 1));
    }
    start = end + 1;
  }
}

void ResultGridModel::SetColumnWidth(int col, int twips) {
  if (col < 0 || col >= store_.ColumnCount()) return;
  int& width = widths_[static_cast<std::size_t>(col)];
  if (width == twips) return;
  width = twips;
  emit ColumnWidthChanged(col, twips);
}

int ResultGridModel::ColumnWidthTwips(int col) const {
  return col >= 0 && col < store_.ColumnCount() ? widths_[static_cast<std::size_t>(col)] : 0;
}

void ResultGridModel::SetCurrentColumn(int col) {
  if (col == currentColumn_) return;
  currentColumn_ = col;
  emit CurrentColumnMoved(col);
}

void ResultGridModel::SelectCell(int row, int col) {
  currentColumn_ = col;
  emit CellSelected(row, col);
}

void ResultGridModel::AddRow(std::string_view text) {
  store_.AppendRow(text);
  SchedulePublish();
}

void ResultGridModel::AppendRecords(ResultRowStore&& rows) {
  if (store_.RowCount() == 2 && rows.ColumnCount() == store_.ColumnCount()) {
    for (int row = 0; row < 2; ++row) {
      rows.SetCells(row, 0, store_.ColumnCount() - 1, store_.RowText(row));
    }
    beginResetModel();
    store_ = std::move(rows);
    publishedRows_ = store_.RowCount();
    publishScheduled_ = false;
    endResetModel();
    return;
  }
  std::string text;
  for (int row = 2; row < rows.RowCount(); ++row) {
    rows.RowText(row, text);
    store_.AppendRow(text);
  }
  SchedulePublish();
}

void ResultGridModel::SchedulePublish() {
  if (publishScheduled_) return;
  publishScheduled_ = true;
  QMetaObject::invokeMethod(
      this, [this] { Publish(); }, Qt::QueuedConnection);
}

void ResultGridModel::Publish() {
  publishScheduled_ = false;
  const int rows = store_.RowCount();
  if (rows <= publishedRows_) return;
  beginInsertRows(QModelIndex(), ViewRow(publishedRows_), ViewRow(rows - 1));
  publishedRows_ = rows;
  endInsertRows();
}

void ResultGridModel::RowChanged(int gridRow, int firstCol, int lastCol) {
  if (gridRow >= publishedRows_ || firstCol > lastCol) return;
  if (gridRow < TitleOffset()) {
    emit headerDataChanged(Qt::Horizontal, firstCol, lastCol);
    return;
  }
  const int viewRow = ViewRow(gridRow);
  emit dataChanged(index(viewRow, firstCol), index(viewRow, lastCol));
}

std::size_t ResultGridModel::MemoryBytes() const {
  return store_.MemoryBytes() + (sizeof(*this) - sizeof(store_)) + widths_.capacity() * sizeof(int);
}

int ResultGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : publishedRows_ - TitleOffset();
}

int ResultGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : store_.ColumnCount();
}

QVariant ResultGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
    return {};
  }
  const int row = GridRow(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
      const std::string text = store_.Cell(row, index.column());
      if (role == Qt::ToolTipRole && text.empty()) return {};
      return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    case Qt::TextAlignmentRole:
      // Numbers line up on the right, titles and words read from the left.
      return static_cast<int>(
          Qt::AlignVCenter |
          (store_.IsNumericRow(row) && row >= 2 ? Qt::AlignRight : Qt::AlignLeft));
    case Qt::BackgroundRole:
      if (row < 2) return QApplication::palette().brush(QPalette::Button);
      return {};
    default:
      return {};
  }
}

QVariant ResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || titles_ != TitleRows::AsHeader || section < 0 ||
      section >= store_.ColumnCount()) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  QString title = QString::fromStdString(store_.Cell(0, section));
  // A second line only when the grid has a second title row at all, so every header has the
  // same number of lines.
  if (!store_.RowText(1).empty()) title += '\n' + QString::fromStdString(store_.Cell(1, section));
  return title;
}

Qt::ItemFlags ResultGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace quillane::ui
