#pragma once
// A result grid without a view: the grid operations of the model's tables (blocks of text filled
// line by line, widths in twips, the current column, the records of a run appended) over a
// compact row store, and what a view shows of its rows. The window's table model forwards to it
// and tells its views what changed.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "run/ResultRowStore.h"

namespace quillane::session {

class ResultGrid {
 public:
  const ResultRowStore& Store() const { return store_; }
  int RowCount() const { return store_.RowCount(); }
  int ColumnCount() const { return store_.ColumnCount(); }

  // Existing rows keep their cells up to the new count; the current column stays within it.
  void SetColumnCount(int count);
  // Fills rows firstRow..lastRow, one line of `text` each (lines end at a carriage return),
  // each line's tab-separated fields into columns firstCol..lastCol. Returns the rows filled.
  std::vector<int> FillBlock(int firstRow, int lastRow, int firstCol, int lastCol,
                             std::string_view text);
  // False when the column has no such width to change (out of range, or already that width).
  bool SetColumnWidth(int col, int twips);
  // Width set for a column, in twips; 0 when none was set.
  int ColumnWidthTwips(int col) const;
  int CurrentColumn() const { return currentColumn_; }
  // False when the column already was the current one.
  bool SetCurrentColumn(int col);
  void AddRow(std::string_view text) { store_.AppendRow(text); }

  // Whether the records of a run are taken whole: the grid holds no record yet and has the
  // run's columns.
  bool TakesWhole(const ResultRowStore& rows) const;
  // Appends the records of a run (the rows of `rows` after its two title rows); a grid that
  // takes them whole keeps its own title rows.
  void AppendRecords(ResultRowStore&& rows);

  // A row of words whose other cells are empty (no tab): it reads across the whole row.
  bool IsWordRow(int row) const;
  // Numbers line up on the right, titles and words read from the left: a cell below the title
  // rows whose text reads as a number (with a point or a comma) is a number.
  bool RightAligned(int row, int col) const;
  // A column's title in a header: its first title row, and the second on a line of its own
  // when the grid has a second title row at all, so that every header has as many lines.
  std::string HeaderTitle(int col) const;
  // The longest text of each column over rows first..last: numbers of a column differ in width
  // by their count of characters, so only these need measuring.
  std::vector<std::string> LongestCells(int first, int last) const;

 private:
  ResultRowStore store_;
  std::vector<int> widths_ = std::vector<int>(2, 0);
  int currentColumn_ = 0;
};

}  // namespace quillane::session
