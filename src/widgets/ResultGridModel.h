#pragma once
// A result grid for the windows: the grid operations of the model's tables, over a compact
// row store, seen by Qt views as a table model. Rows and columns of the grid operations count
// from 0 with the two title rows first; views either show the title rows as the first two
// table rows or, for the long thermal grid, as a two-line column header that stays in sight
// while the records scroll.
//
// Appended rows reach the views in batches: the grid operations see them at once, the views
// at the next turn of the event loop (or at Publish()), with one insertion per batch, so that
// a run writing a million rows does not pay a view update per row.

#include <QAbstractTableModel>

#include <string>
#include <string_view>

#include "session/ResultGrid.h"

namespace quillane::ui {

class ResultGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum class TitleRows { AsRows, AsHeader };

  explicit ResultGridModel(TitleRows titles = TitleRows::AsRows, QObject* parent = nullptr);

  // The grid operations.
  void SetColumnCount(int count);
  int RowCount() const { return grid_.RowCount(); }
  void FillBlock(int firstRow, int lastRow, int firstCol, int lastCol, std::string_view text);
  void SetColumnWidth(int col, int twips);
  void SetCurrentColumn(int col);
  int CurrentColumn() const { return grid_.CurrentColumn(); }
  void AddRow(std::string_view text);
  // Appends the records of a finished run (the rows of `records.Rows` after its two title rows).
  // A grid that holds no record yet takes the store whole, with its own title rows put in it,
  // and what was measured of them.
  void AppendRecords(session::GridRecords&& records);
  // Hands the records over (for a run to add its own to them); the grid keeps its title rows.
  session::GridRecords TakeRecords();
  std::string Cell(int row, int col) const { return grid_.Store().Cell(row, col); }

  int ColumnCount() const { return grid_.ColumnCount(); }
  // Width set for a column, in twips; 0 when none was set.
  int ColumnWidthTwips(int col) const { return grid_.ColumnWidthTwips(col); }
  TitleRows Titles() const { return titles_; }
  const ResultRowStore& Store() const { return grid_.Store(); }
  const session::ResultGrid& Grid() const { return grid_; }

  // The user selected a cell (grid row and column): it becomes the current column and
  // CellSelected is raised.
  void SelectCell(int row, int col);

  // Makes the rows appended so far visible to the views now.
  void Publish();

  // Grid row of a view row and back.
  int GridRow(int viewRow) const { return viewRow + TitleOffset(); }
  int ViewRow(int gridRow) const { return gridRow - TitleOffset(); }

  // QAbstractTableModel
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  void CellSelected(int row, int col);
  void ColumnWidthChanged(int col, int twips);
  // The run moved the current column (not raised for a user selection).
  void CurrentColumnMoved(int col);

 private:
  int TitleOffset() const { return titles_ == TitleRows::AsHeader ? 2 : 0; }
  void SchedulePublish();
  // After cells of a grid row changed: tell the views that already show it.
  void RowChanged(int gridRow, int firstCol, int lastCol);

  TitleRows titles_;
  session::ResultGrid grid_;
  int publishedRows_ = 2;
  bool publishScheduled_ = false;
};

}  // namespace quillane::ui
