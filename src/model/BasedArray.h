#pragma once
// Arrays that keep the model's own indexing visible: nodes and layers count from 1, lamellae
// from 0, and two-dimensional tables are indexed [row][column]. Bounds are checked in debug
// builds so that an off-by-one shows up at once instead of in the tenth decimal of a file.

#include <cassert>
#include <cstddef>
#include <vector>

namespace quillane {

template <typename T>
class BasedArray {
 public:
  BasedArray() = default;
  BasedArray(int lower, int upper) { Redim(lower, upper); }

  // Re-dimensions to lower..upper with every element value-initialised (empty).
  void Redim(int lower, int upper) {
    lower_ = lower;
    data_.assign(upper >= lower ? static_cast<std::size_t>(upper - lower + 1) : 0, T{});
  }
  // Changes the upper bound and keeps every element whose index still exists.
  void RedimPreserve(int upper) {
    data_.resize(upper >= lower_ ? static_cast<std::size_t>(upper - lower_ + 1) : 0, T{});
  }
  void Fill(const T& value) { data_.assign(data_.size(), value); }

  T& operator()(int i) {
    assert(i >= lower_ && i <= Upper());
    return data_[static_cast<std::size_t>(i - lower_)];
  }
  const T& operator()(int i) const {
    assert(i >= lower_ && i <= Upper());
    return data_[static_cast<std::size_t>(i - lower_)];
  }

  int Lower() const { return lower_; }
  int Upper() const { return lower_ + static_cast<int>(data_.size()) - 1; }
  bool Empty() const { return data_.empty(); }
  bool Contains(int i) const { return i >= lower_ && i <= Upper(); }
  const std::vector<T>& Values() const { return data_; }

 private:
  int lower_ = 0;
  std::vector<T> data_;
};

template <typename T>
class BasedMatrix {
 public:
  BasedMatrix() = default;

  // Rows and columns both start at 1, as in every table of the thermal model.
  void Redim(int rows, int cols) {
    rows_ = rows;
    cols_ = cols;
    data_.assign(static_cast<std::size_t>(rows > 0 && cols > 0 ? rows * cols : 0), T{});
  }
  void Fill(const T& value) { data_.assign(data_.size(), value); }

  T& operator()(int row, int col) {
    assert(row >= 1 && row <= rows_ && col >= 1 && col <= cols_);
    return data_[static_cast<std::size_t>((row - 1) * cols_ + (col - 1))];
  }
  const T& operator()(int row, int col) const {
    assert(row >= 1 && row <= rows_ && col >= 1 && col <= cols_);
    return data_[static_cast<std::size_t>((row - 1) * cols_ + (col - 1))];
  }

  int Rows() const { return rows_; }
  int Cols() const { return cols_; }
  // Row after row.
  const std::vector<T>& Values() const { return data_; }

 private:
  int rows_ = 0;
  int cols_ = 0;
  std::vector<T> data_;
};

}  // namespace quillane
