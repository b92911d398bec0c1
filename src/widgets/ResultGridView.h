#pragma once
// The table view of a result grid: one uniform row height and no per-row widgets, so that a
// grid of a million records scrolls smoothly; column widths from the grid's twips; a cell the
// user selects becomes the grid's current column and raises the grid's selection signal.

#include <QTableView>

#include <vector>

#include "widgets/ResultGridModel.h"

namespace quillane::ui {

class ResultGridView : public QTableView {
  Q_OBJECT
 public:
  // The view shows the model; it does not own it.
  explicit ResultGridView(ResultGridModel* model, QWidget* parent = nullptr);

  ResultGridModel* GridModel() const { return model_; }
  // A width in twips in this view's pixels: 15 twips per pixel at 96 dpi.
  int PixelsFromTwips(int twips) const;
  // The narrowest the view may be; a view of a short table (titles as rows) also widens to
  // show all its columns.
  void SetBaseMinimumWidth(int pixels);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void ApplyWidth(int col);
  // A row of words whose other cells are empty reads across the whole row.
  void SpanTextRows(int firstViewRow, int lastViewRow);
  // Short tables: a column widens beyond its set width to the widest text it holds.
  void FitColumnsToContents(int firstViewRow, int lastViewRow);
  // Long tables of numbers: the same, measuring only the longest text of each column.
  void FitLongColumns();
  // A click on a column's title chooses that column, as a click on one of its cells does.
  void OnTitleClicked(int col);
  void UpdateMinimumWidth();
  void OnCellChosen(const QModelIndex& index);
  void OnCurrentColumnMoved(int col);

  ResultGridModel* model_;
  std::vector<int> contentWidths_;
  int baseMinimumWidth_ = 0;
  bool movingCurrent_ = false;
  // Whether the mouse press under way already chose a cell through a new selection.
  bool selectedByThisPress_ = false;
};

}  // namespace quillane::ui
