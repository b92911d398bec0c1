#include "session/ResultGrid.h"

#include <algorithm>

#include "format/NumberFormat.h"

namespace quillane::session {

void ResultGrid::SetColumnCount(int count) {
  count = std::max(count, 0);
  store_.SetColumnCount(count);
  widths_.resize(static_cast<std::size_t>(count), 0);
  if (currentColumn_ >= count) currentColumn_ = std::max(count - 1, 0);
}

std::vector<int> ResultGrid::FillBlock(int firstRow, int lastRow, int firstCol, int lastCol,
                                       std::string_view text) {
  std::vector<int> filled;
  std::size_t start = 0;
  for (int row = firstRow; row <= lastRow && row < store_.RowCount(); ++row) {
    if (start > text.size()) break;
    const std::size_t end = std::min(text.find('\r', start), text.size());
    if (row >= 0) {
      store_.SetCells(row, firstCol, lastCol, text.substr(start, end - start));
      filled.push_back(row);
    }
    start = end + 1;
  }
  return filled;
}

bool ResultGrid::SetColumnWidth(int col, int twips) {
  if (col < 0 || col >= store_.ColumnCount()) return false;
  int& width = widths_[static_cast<std::size_t>(col)];
  if (width == twips) return false;
  width = twips;
  return true;
}

int ResultGrid::ColumnWidthTwips(int col) const {
  return col >= 0 && col < store_.ColumnCount() ? widths_[static_cast<std::size_t>(col)] : 0;
}

bool ResultGrid::SetCurrentColumn(int col) {
  if (col == currentColumn_) return false;
  currentColumn_ = col;
  return true;
}

bool ResultGrid::TakesWhole(const ResultRowStore& rows) const {
  return store_.RowCount() == 2 && rows.ColumnCount() == store_.ColumnCount();
}

void ResultGrid::AppendRecords(ResultRowStore&& rows) {
  if (TakesWhole(rows)) {
    for (int row = 0; row < 2; ++row) {
      rows.SetCells(row, 0, store_.ColumnCount() - 1, store_.RowText(row));
    }
    store_ = std::move(rows);
    return;
  }
  std::string text;
  for (int row = 2; row < rows.RowCount(); ++row) {
    rows.RowText(row, text);
    store_.AppendRow(text);
  }
}

bool ResultGrid::IsWordRow(int row) const {
  const std::string text = store_.RowText(row);
  return !store_.IsNumericRow(row) && !text.empty() && text.find('\t') == std::string::npos;
}

bool ResultGrid::RightAligned(int row, int col) const {
  if (row < 2) return false;
  if (store_.IsNumericRow(row)) return true;
  // Rows of text hold numbers too (the stress tables, SIGMA with the locale's separator).
  return format::ParseStrict(store_.Cell(row, col), ',', ' ').has_value();
}

std::string ResultGrid::HeaderTitle(int col) const {
  std::string title = store_.Cell(0, col);
  if (!store_.RowText(1).empty()) title += '\n' + store_.Cell(1, col);
  return title;
}

std::vector<std::string> ResultGrid::LongestCells(int first, int last) const {
  std::vector<std::string> longest(static_cast<std::size_t>(store_.ColumnCount()));
  if (first > last) return longest;
  store_.ForEachRow(first, last, [&](int, std::string_view text) {
    for (int col = 0; col < store_.ColumnCount(); ++col) {
      const std::string_view cell = ResultRowStore::Field(text, col);
      std::string& kept = longest[static_cast<std::size_t>(col)];
      if (cell.size() > kept.size()) kept.assign(cell);
    }
  });
  return longest;
}

}  // namespace quillane::session
