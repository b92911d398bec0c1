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

// The longest text of each column of a store over its rows first..last: numbers of a column differ
// in width by their count of characters, so only these need measuring.
std::vector<std::string> LongestCells(const ResultRowStore& store, int first, int last);
// Each text of `more` that is longer replaces the one of `longest` (which grows to its columns).
void Widen(std::vector<std::string>& longest, const std::vector<std::string>& more);

// The records of a grid (its rows after the two title rows, with its title rows before them), and
// the longest text of each column of the records, as a grid hands them over and takes them back.
struct GridRecords {
  ResultRowStore Rows;
  std::vector<std::string> Longest;
};

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
  void AddRow(std::string_view text);

  // Whether the records of a run are taken whole: the grid holds no record yet and has the
  // run's columns.
  bool TakesWhole(const ResultRowStore& rows) const;
  // Appends the records of a run (the rows of `records.Rows` after its two title rows); a grid
  // that takes them whole keeps its own title rows, and takes what was measured of them.
  void AppendRecords(GridRecords&& records);
  // Hands the records over, keeping the title rows, the widths and the current column.
  GridRecords TakeRecords();

  // A row of words whose other cells are empty (no tab): it reads across the whole row.
  bool IsWordRow(int row) const;
  // Numbers line up on the right, titles and words read from the left: a cell below the title
  // rows whose text reads as a number (with a point or a comma) is a number.
  bool RightAligned(int row, int col) const;
  // A column's title in a header: its first title row, and the second on a line of its own
  // when the grid has a second title row at all, so that every header has as many lines.
  std::string HeaderTitle(int col) const;
  // The longest text of each column of the records, kept as rows come: a view sizes its
  // columns by them without reading a million rows.
  const std::vector<std::string>& Longest() const { return longest_; }

 private:
  // The records from `first` on were added or changed: their cells may be the longest now.
  void Measure(int first);

  ResultRowStore store_;
  std::vector<std::string> longest_;
  std::vector<int> widths_ = std::vector<int>(2, 0);
  int currentColumn_ = 0;
};

}  // namespace quillane::session
