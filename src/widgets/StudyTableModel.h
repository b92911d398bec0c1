#pragma once
// The study window's table as a Qt table model over the rows it keeps (session::StudyGrid):
// cells are written when a view shows them, so that a study of many points costs the interface
// thread only the rows that came in. A cell's number (in the column's unit) is its UserRole.

#include <QAbstractTableModel>
#include <cstddef>
#include <vector>

#include "session/StudyForm.h"
#include "session/StudyGrid.h"

class QTableView;

namespace quillane::ui {

class StudyTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit StudyTableModel(QObject* parent = nullptr);

  const session::StudyGrid& Grid() const { return grid_; }
  // A new study's table: its columns, no row.
  void Reset(const study::Study& study, std::size_t points, char separator);
  // Lists finished points, each at its place; the points that come after every listed row
  // reach the views in one insertion.
  void Add(std::vector<session::FinishedPoint> points);
  // Each column of `view` as wide as its longest text so far, its heading included.
  void SizeColumns(QTableView& view) const;

  // QAbstractTableModel
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  session::StudyGrid grid_;
};

}  // namespace quillane::ui
