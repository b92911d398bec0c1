#include "session/ResultGrid.h"

#include <algorithm>

#include "format/NumberFormat.h"

namespace quillane::session {

namespace {

constexpr int kTitleRows = 2;

}  // namespace

std::vector<std::string> LongestCells(const ResultRowStore& store, int first, int last) {
  std::vector<std::string> longest(static_cast<std::size_t>(store.ColumnCount()));
  if (first > last) return longest;
  // Each row's cells in one walk along it: millions of rows are measured off the interface thread
  // while the user waits.
  store.ForEachRow(first, last, [&](int, std::string_view text) {
    std::size_t start = 0;
    for (std::string& kept : longest) {
      if (start > text.size()) break;
      const std::size_t tab = std::min(text.find('\t', start), text.size());
      if (tab - start > kept.size()) kept.assign(text.substr(start, tab - start));
      start = tab + 1;
    }
  });
  return longest;
}

void Widen(std::vector<std::string>& longest, const std::vector<std::string>& more) {
  if (longest.size() < more.size()) longest.resize(more.size());
  for (std::size_t col = 0; col < more.size(); ++col) {
    if (more[col].size() > longest[col].size()) longest[col] = more[col];
  }
}

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
      if (row >= kTitleRows) Widen(longest_, LongestCells(store_, row, row));
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

void ResultGrid::AddRow(std::string_view text) {
  store_.AppendRow(text);
  Measure(store_.RowCount() - 1);
}

void ResultGrid::AppendRecords(GridRecords&& records) {
  ResultRowStore& rows = records.Rows;
  if (TakesWhole(rows)) {
    for (int row = 0; row < kTitleRows; ++row) {
      rows.SetCells(row, 0, store_.ColumnCount() - 1, store_.RowText(row));
    }
    store_ = std::move(rows);
    longest_ = std::move(records.Longest);
    return;
  }
  const int first = store_.RowCount();
  std::string text;
  for (int row = kTitleRows; row < rows.RowCount(); ++row) {
    rows.RowText(row, text);
    store_.AppendRow(text);
  }
  Measure(first);
}

GridRecords ResultGrid::TakeRecords() {
  GridRecords records{std::move(store_), std::move(longest_)};
  store_ = ResultRowStore();
  store_.SetColumnCount(records.Rows.ColumnCount());
  for (int row = 0; row < kTitleRows; ++row)
    store_.SetCells(row, 0, ColumnCount() - 1, records.Rows.RowText(row));
  longest_.clear();
  return records;
}

void ResultGrid::Measure(int first) {
  Widen(longest_, LongestCells(store_, std::max(first, kTitleRows), store_.RowCount() - 1));
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

}  // namespace quillane::session
