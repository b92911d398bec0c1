#include "widgets/ResultGridModel.h"

#include <QApplication>
#include <QPalette>

#include <algorithm>

namespace quillane::ui {

ResultGridModel::ResultGridModel(TitleRows titles, QObject* parent)
    : QAbstractTableModel(parent), titles_(titles) {}

void ResultGridModel::SetColumnCount(int count) {
  count = std::max(count, 0);
  const int old = grid_.ColumnCount();
  if (count == old) return;
  if (count > old) {
    beginInsertColumns(QModelIndex(), old, count - 1);
    grid_.SetColumnCount(count);
    endInsertColumns();
  } else {
    beginRemoveColumns(QModelIndex(), count, old - 1);
    grid_.SetColumnCount(count);
    endRemoveColumns();
  }
}

void ResultGridModel::FillBlock(int firstRow, int lastRow, int firstCol, int lastCol,
                                std::string_view text) {
  for (const int row : grid_.FillBlock(firstRow, lastRow, firstCol, lastCol, text)) {
    RowChanged(row, std::max(firstCol, 0), std::min(lastCol, grid_.ColumnCount() - 1));
  }
}

void ResultGridModel::SetColumnWidth(int col, int twips) {
  if (grid_.SetColumnWidth(col, twips)) emit ColumnWidthChanged(col, twips);
}

void ResultGridModel::SetCurrentColumn(int col) {
  if (grid_.SetCurrentColumn(col)) emit CurrentColumnMoved(col);
}

void ResultGridModel::SelectCell(int row, int col) {
  grid_.SetCurrentColumn(col);
  emit CellSelected(row, col);
}

void ResultGridModel::AddRow(std::string_view text) {
  grid_.AddRow(text);
  SchedulePublish();
}

void ResultGridModel::AppendRecords(session::GridRecords&& records) {
  if (!grid_.TakesWhole(records.Rows)) {
    grid_.AppendRecords(std::move(records));
    SchedulePublish();
    return;
  }
  beginResetModel();
  grid_.AppendRecords(std::move(records));
  publishedRows_ = grid_.RowCount();
  publishScheduled_ = false;
  endResetModel();
}

session::GridRecords ResultGridModel::TakeRecords() {
  beginResetModel();
  session::GridRecords records = grid_.TakeRecords();
  publishedRows_ = grid_.RowCount();
  publishScheduled_ = false;
  endResetModel();
  return records;
}

void ResultGridModel::SchedulePublish() {
  if (publishScheduled_) return;
  publishScheduled_ = true;
  QMetaObject::invokeMethod(
      this, [this] { Publish(); }, Qt::QueuedConnection);
}

void ResultGridModel::Publish() {
  publishScheduled_ = false;
  const int rows = grid_.RowCount();
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

int ResultGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : publishedRows_ - TitleOffset();
}

int ResultGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.ColumnCount();
}

QVariant ResultGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
    return {};
  }
  const int row = GridRow(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
      const std::string text = Cell(row, index.column());
      if (role == Qt::ToolTipRole && text.empty()) return {};
      return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    case Qt::TextAlignmentRole:
      // Numbers line up on the right, titles and words read from the left.
      return static_cast<int>(
          Qt::AlignVCenter |
          (grid_.RightAligned(row, index.column()) ? Qt::AlignRight : Qt::AlignLeft));
    case Qt::BackgroundRole:
      if (row < 2) return QApplication::palette().brush(QPalette::Button);
      return {};
    default:
      return {};
  }
}

QVariant ResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || titles_ != TitleRows::AsHeader || section < 0 ||
      section >= grid_.ColumnCount()) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  return QString::fromStdString(grid_.HeaderTitle(section));
}

Qt::ItemFlags ResultGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace quillane::ui
