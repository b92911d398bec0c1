#pragma once
// The table of the "Étude paramétrique" window as plain data: the finished points in rising
// order, each cell written when it is shown, in the unit of the quantity's box (results as the
// chart shows them, stresses in MPa), and the longest text of each column, kept as the rows come
// in, so that a view sizes its columns without reading every row. The rows themselves stay in SI
// for the exported files.

#include <cstddef>
#include <string>
#include <vector>

#include "study/StudyTable.h"

namespace quillane {
struct QuantitySpec;
}

namespace quillane::session {

class StudyGrid {
 public:
  // Starts the table of `study`: its columns, no row listed, room for `points` points.
  void Reset(const study::Study& study, std::size_t points, char separator);

  std::size_t RowCount() const { return listed_.size(); }
  std::size_t ColumnCount() const { return headers_.size(); }
  // "point", each varied quantity and each result with its unit, "état".
  const std::vector<std::string>& Headers() const { return headers_; }
  // The longest text of each column so far, its heading included.
  const std::vector<std::string>& Widest() const { return widest_; }
  // Every point's row by index, the unfinished ones empty.
  const study::StudyRows& Rows() const { return rows_; }

  // The line a finished point's row takes among those listed.
  std::size_t LineOf(std::size_t index) const;
  // True when the point's row would come after every row listed.
  bool AfterLast(std::size_t index) const;
  // Lists a finished point's row at LineOf(index). A point listed already, or beyond the study,
  // is left out (false).
  bool Put(std::size_t index, study::PointResult point);

  // A cell as shown: its number in the column's unit ("" for a result the point did not give),
  // or the state ("ok", "échec"); its number (NaN for the state); its tooltip (the fault of a
  // failed point).
  std::string Text(std::size_t line, std::size_t column) const;
  double Number(std::size_t line, std::size_t column) const;
  std::string Tip(std::size_t line, std::size_t column) const;

 private:
  const study::PointResult& RowAt(std::size_t line) const { return *rows_[listed_[line]]; }
  bool StateColumn(std::size_t column) const { return column + 1 == headers_.size(); }

  std::vector<const QuantitySpec*> varied_;
  std::vector<double> resultFactors_;
  std::vector<std::string> headers_;
  std::vector<std::string> widest_;
  study::StudyRows rows_;
  std::vector<std::size_t> listed_;  // the points listed, in rising order
  char separator_ = '.';
};

}  // namespace quillane::session
