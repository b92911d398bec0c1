#include "session/StudyGrid.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "run/QuantityTable.h"
#include "session/StudyForm.h"
#include "session/StudyView.h"
#include "session/WindowText.h"
#include "study/StudyPlots.h"

namespace quillane::session {

namespace {

// Characters, not bytes: "µ" and "é" are one each.
std::size_t Length(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

void StudyGrid::Reset(const study::Study& study, std::size_t points, char separator) {
  separator_ = separator;
  varied_.clear();
  resultFactors_.clear();
  headers_ = {"point"};
  for (const study::Quantity& quantity : study.Vary) {
    varied_.push_back(quantity.Spec);
    headers_.push_back(WithUnit(quantity.Name(), quantity.Spec->DisplayUnit));
  }
  for (std::size_t r = 0; r < study::kResultColumns.size(); ++r) {
    const ShownResult shown = ResultShown(r);
    resultFactors_.push_back(shown.Factor);
    headers_.push_back(shown.Caption);
  }
  headers_.emplace_back("état");
  widest_ = headers_;
  rows_.assign(points, std::nullopt);
  listed_.clear();
  listed_.reserve(points);
}

std::size_t StudyGrid::LineOf(std::size_t index) const {
  return static_cast<std::size_t>(std::lower_bound(listed_.begin(), listed_.end(), index) -
                                  listed_.begin());
}

bool StudyGrid::AfterLast(std::size_t index) const {
  return listed_.empty() || index > listed_.back();
}

bool StudyGrid::Put(std::size_t index, study::PointResult point) {
  if (index >= rows_.size() || rows_[index]) return false;
  rows_[index] = std::move(point);
  const std::size_t line = LineOf(index);
  listed_.insert(listed_.begin() + static_cast<std::ptrdiff_t>(line), index);
  for (std::size_t c = 0; c < headers_.size(); ++c) {
    std::string text = Text(line, c);
    if (Length(text) > Length(widest_[c])) widest_[c] = std::move(text);
  }
  return true;
}

double StudyGrid::Number(std::size_t line, std::size_t column) const {
  const study::PointResult& row = RowAt(line);
  if (column == 0) return static_cast<double>(listed_[line] + 1);
  if (column <= varied_.size()) return varied_[column - 1]->ToDisplay(row.Values[column - 1]);
  const std::size_t result = column - 1 - varied_.size();
  if (result < resultFactors_.size()) return row.Results[result] * resultFactors_[result];
  return std::numeric_limits<double>::quiet_NaN();
}

std::string StudyGrid::Text(std::size_t line, std::size_t column) const {
  if (StateColumn(column)) return StateText(RowAt(line));
  return CellText(Number(line, column), separator_);
}

std::string StudyGrid::Tip(std::size_t line, std::size_t column) const {
  return StateColumn(column) ? StateTip(RowAt(line)) : std::string();
}

}  // namespace quillane::session
