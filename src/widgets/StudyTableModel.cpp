#include "widgets/StudyTableModel.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>
#include <cmath>

#include "widgets/Widgets.h"

namespace quillane::ui {

StudyTableModel::StudyTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void StudyTableModel::Reset(const study::Study& study, std::size_t points, char separator) {
  beginResetModel();
  grid_.Reset(study, points, separator);
  endResetModel();
}

void StudyTableModel::Add(std::vector<session::FinishedPoint> points) {
  const auto byIndex = [](const auto& a, const auto& b) { return a.first < b.first; };
  std::sort(points.begin(), points.end(), byIndex);
  // A point handed over twice, listed already or beyond the study is not listed again.
  points.erase(std::unique(points.begin(), points.end(),
                           [](const auto& a, const auto& b) { return a.first == b.first; }),
               points.end());
  std::erase_if(points, [this](const auto& point) {
    return point.first >= grid_.Rows().size() || grid_.Rows()[point.first].has_value();
  });
  // Points finish nearly in order: the few that come in among the listed rows go one by one,
  // the rest at the end in one insertion.
  auto tail = points.begin();
  while (tail != points.end() && !grid_.AfterLast(tail->first)) ++tail;
  for (auto point = points.begin(); point != tail; ++point) {
    const int line = static_cast<int>(grid_.LineOf(point->first));
    beginInsertRows({}, line, line);
    grid_.Put(point->first, std::move(point->second));
    endInsertRows();
  }
  if (tail == points.end()) return;
  const int first = rowCount();
  beginInsertRows({}, first, first + static_cast<int>(points.end() - tail) - 1);
  for (auto point = tail; point != points.end(); ++point) {
    grid_.Put(point->first, std::move(point->second));
  }
  endInsertRows();
}

void StudyTableModel::SizeColumns(QTableView& view) const {
  const QFontMetrics body(view.font());
  const QFontMetrics heading(view.horizontalHeader()->font());
  // The cell's and the heading's own margins, as the style draws them.
  const int margin = 2 * body.horizontalAdvance(QLatin1Char('0')) + 8;
  const std::vector<std::string>& widest = grid_.Widest();
  for (std::size_t c = 0; c < widest.size(); ++c) {
    const QString text = Q(widest[c]);
    const int width = std::max(body.horizontalAdvance(text), heading.horizontalAdvance(text));
    view.setColumnWidth(static_cast<int>(c), width + margin);
  }
}

int StudyTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(grid_.RowCount());
}

int StudyTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(grid_.ColumnCount());
}

QVariant StudyTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  const auto line = static_cast<std::size_t>(index.row());
  const auto column = static_cast<std::size_t>(index.column());
  switch (role) {
    case Qt::DisplayRole:
      return Q(grid_.Text(line, column));
    case Qt::ToolTipRole: {
      const std::string tip = grid_.Tip(line, column);
      return tip.empty() ? QVariant() : QVariant(Q(tip));
    }
    case Qt::UserRole: {
      const double number = grid_.Number(line, column);
      return std::isnan(number) ? QVariant() : QVariant(number);
    }
    case Qt::TextAlignmentRole:
      return static_cast<int>(Qt::AlignVCenter |
                              (column + 1 == grid_.ColumnCount() ? Qt::AlignLeft : Qt::AlignRight));
    default:
      return {};
  }
}

QVariant StudyTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= columnCount()) {
    return {};
  }
  return Q(grid_.Headers()[static_cast<std::size_t>(section)]);
}

}  // namespace quillane::ui
