#pragma once
// The operations the run needs of a result grid (a table of text cells, rows and columns from
// 0, row 0 a title row, a new grid has 2 rows and 2 columns). The desktop windows implement it
// over their table views; TextGrid keeps the cells in memory for headless runs and tests.

#include <string>
#include <string_view>
#include <vector>

namespace quillane {

class ResultGrid {
 public:
  virtual ~ResultGrid() = default;
  virtual void SetColumnCount(int count) = 0;
  virtual int RowCount() const = 0;
  // Fills the block firstRow..lastRow × firstCol..lastCol from a text whose cells are separated
  // by tabs (and rows by carriage returns), left to right and top to bottom.
  virtual void FillBlock(int firstRow, int lastRow, int firstCol, int lastCol,
                         std::string_view text) = 0;
  virtual void SetColumnWidth(int col, int twips) = 0;
  virtual void SetCurrentColumn(int col) = 0;
  virtual int CurrentColumn() const = 0;
  // Appends a row whose cells come from the tab-separated text, one per column.
  virtual void AddRow(std::string_view text) = 0;
  virtual std::string Cell(int row, int col) const = 0;
};

// A grid kept as text in memory.
class TextGrid : public ResultGrid {
 public:
  TextGrid();
  void SetColumnCount(int count) override;
  int RowCount() const override { return static_cast<int>(cells_.size()); }
  void FillBlock(int firstRow, int lastRow, int firstCol, int lastCol,
                 std::string_view text) override;
  void SetColumnWidth(int col, int twips) override;
  void SetCurrentColumn(int col) override { currentColumn_ = col; }
  int CurrentColumn() const override { return currentColumn_; }
  void AddRow(std::string_view text) override;
  std::string Cell(int row, int col) const override;
  int ColumnCount() const { return columnCount_; }
  int ColumnWidth(int col) const;

 private:
  int columnCount_ = 2;
  int currentColumn_ = 0;
  std::vector<std::vector<std::string>> cells_;
  std::vector<int> widths_;
};

// A headless grid for long runs: keeps the title rows and counts the records without storing
// them, so that the memory of a run does not grow with its length.
class CountingGrid : public TextGrid {
 public:
  int RowCount() const override { return TextGrid::RowCount() + extraRows_; }
  void AddRow(std::string_view text) override;

 private:
  long long extraRows_ = 0;
};

}  // namespace quillane
