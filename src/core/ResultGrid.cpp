#include "core/ResultGrid.h"

#include <algorithm>

namespace quillane {

namespace {

// Splits a text at every occurrence of the separator, keeping empty pieces.
std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace

TextGrid::TextGrid() : cells_(2, std::vector<std::string>(2)), widths_(2, 0) {}

void TextGrid::SetColumnCount(int count) {
  if (count == columnCount_) return;
  columnCount_ = std::max(count, 0);
  for (auto& row : cells_) row.resize(static_cast<std::size_t>(columnCount_));
  widths_.resize(static_cast<std::size_t>(columnCount_), 0);
}

void TextGrid::FillBlock(int firstRow, int lastRow, int firstCol, int lastCol,
                         std::string_view text) {
  const auto lines = Split(text, '\r');
  for (int row = firstRow; row <= lastRow && row < RowCount(); ++row) {
    const std::size_t line = static_cast<std::size_t>(row - firstRow);
    if (line >= lines.size()) break;
    const auto fields = Split(lines[line], '\t');
    for (int col = firstCol; col <= lastCol && col < columnCount_; ++col) {
      const std::size_t field = static_cast<std::size_t>(col - firstCol);
      if (field >= fields.size()) break;
      cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = fields[field];
    }
  }
}

void TextGrid::SetColumnWidth(int col, int twips) {
  if (col >= 0 && col < columnCount_) widths_[static_cast<std::size_t>(col)] = twips;
}

int TextGrid::ColumnWidth(int col) const {
  return col >= 0 && col < columnCount_ ? widths_[static_cast<std::size_t>(col)] : 0;
}

void TextGrid::AddRow(std::string_view text) {
  std::vector<std::string> row(static_cast<std::size_t>(columnCount_));
  const auto fields = Split(text, '\t');
  for (std::size_t i = 0; i < fields.size() && i < row.size(); ++i) row[i] = fields[i];
  cells_.push_back(std::move(row));
}

std::string TextGrid::Cell(int row, int col) const {
  if (row < 0 || row >= static_cast<int>(cells_.size()) || col < 0 || col >= columnCount_) {
    return {};
  }
  return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

void CountingGrid::AddRow(std::string_view) {
  ++extraRows_;
}

}  // namespace quillane
