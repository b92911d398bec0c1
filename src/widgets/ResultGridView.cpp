#include "widgets/ResultGridView.h"

#include <QHeaderView>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cmath>

namespace quillane::ui {

namespace {
// Width of a column no writer sized, as the grids of the original desktop had it.
constexpr int kDefaultColumnTwips = 975;
constexpr int kTwipsPerInch = 1440;

// Draws the first title row in bold, in the view's own font.
class TitleRowDelegate : public QStyledItemDelegate {
 public:
  TitleRowDelegate(const ResultGridModel& model, QObject* parent)
      : QStyledItemDelegate(parent), model_(model) {}

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (model_.GridRow(index.row()) == 0) option->font.setBold(true);
  }

 private:
  const ResultGridModel& model_;
};
}  // namespace

ResultGridView::ResultGridView(ResultGridModel* model, QWidget* parent)
    : QTableView(parent), model_(model) {
  setModel(model);
  setItemDelegate(new TitleRowDelegate(*model, this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

  // Every row the same height: the view then never measures rows, whatever their number.
  QHeaderView* rows = verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(fontMetrics().height() + 6);
  rows->hide();

  QHeaderView* columns = horizontalHeader();
  columns->setSectionResizeMode(QHeaderView::Interactive);
  columns->setDefaultSectionSize(PixelsFromTwips(kDefaultColumnTwips));
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  columns->setHighlightSections(false);
  columns->setVisible(model->Titles() == ResultGridModel::TitleRows::AsHeader);

  for (int col = 0; col < model->ColumnCount(); ++col) ApplyWidth(col);
  connect(model, &ResultGridModel::ColumnWidthChanged, this,
          [this](int col, int) { ApplyWidth(col); });
  connect(model, &QAbstractItemModel::columnsInserted, this,
          [this](const QModelIndex&, int first, int last) {
            for (int col = first; col <= last; ++col) ApplyWidth(col);
          });
  connect(model, &ResultGridModel::CurrentColumnMoved, this, &ResultGridView::OnCurrentColumnMoved);
  // A selection that changes is the user's choice of a cell; the view also moves its current
  // cell by itself (when it takes the focus) without selecting, which is not. A click on the
  // cell already selected chooses it again.
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection&) {
            if (!selected.indexes().isEmpty()) OnCellChosen(selected.indexes().first());
          });
  connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
    if (!selectedByThisPress_) OnCellChosen(index);
  });

  if (model->Titles() == ResultGridModel::TitleRows::AsHeader) {
    connect(columns, &QHeaderView::sectionClicked, this, &ResultGridView::OnTitleClicked);
    // The grid keeps the longest cells of its records as they come.
    connect(model, &QAbstractItemModel::rowsInserted, this, &ResultGridView::FitLongColumns);
    connect(model, &QAbstractItemModel::modelReset, this, &ResultGridView::FitLongColumns);
  } else {
    const auto rowsChanged = [this](int first, int last) {
      SpanTextRows(first, last);
      FitColumnsToContents(first, last);
    };
    rowsChanged(0, model->rowCount() - 1);
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [rowsChanged](const QModelIndex&, int first, int last) { rowsChanged(first, last); });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [rowsChanged](const QModelIndex& from, const QModelIndex& to) {
              rowsChanged(from.row(), to.row());
            });
  }
}

int ResultGridView::PixelsFromTwips(int twips) const {
  return static_cast<int>(std::lround(static_cast<double>(twips) * logicalDpiX() / kTwipsPerInch));
}

void ResultGridView::ApplyWidth(int col) {
  const int twips = model_->ColumnWidthTwips(col);
  int width = PixelsFromTwips(twips > 0 ? twips : kDefaultColumnTwips);
  if (col < static_cast<int>(contentWidths_.size())) {
    width = std::max(width, contentWidths_[static_cast<std::size_t>(col)]);
  }
  setColumnWidth(col, width);
  UpdateMinimumWidth();
}

void ResultGridView::SetBaseMinimumWidth(int pixels) {
  baseMinimumWidth_ = pixels;
  UpdateMinimumWidth();
}

void ResultGridView::UpdateMinimumWidth() {
  int width = baseMinimumWidth_;
  if (model_->Titles() == ResultGridModel::TitleRows::AsRows) {
    int columns = 0;
    for (int col = 0; col < model_->ColumnCount(); ++col) columns += columnWidth(col);
    width = std::max(width,
                     columns + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * frameWidth());
  }
  setMinimumWidth(width);
}

void ResultGridView::FitColumnsToContents(int firstViewRow, int lastViewRow) {
  const int columns = model_->ColumnCount();
  contentWidths_.resize(static_cast<std::size_t>(columns), 0);
  // Room for the cell's margins on both sides of the text.
  const int padding =
      2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 4;
  QFont bold = font();
  bold.setBold(true);
  const QFontMetrics plainMetrics(font());
  const QFontMetrics boldMetrics(bold);
  std::vector<bool> widened(static_cast<std::size_t>(columns), false);
  for (int viewRow = std::max(firstViewRow, 0); viewRow <= lastViewRow; ++viewRow) {
    if (columnSpan(viewRow, 0) > 1) continue;  // a row of words reads across the others
    const int gridRow = model_->GridRow(viewRow);
    const QFontMetrics& metrics = gridRow == 0 ? boldMetrics : plainMetrics;
    const std::string text = model_->Store().RowText(gridRow);
    for (int col = 0; col < columns; ++col) {
      const std::string_view cell = ResultRowStore::Field(text, col);
      if (cell.empty()) continue;
      const int width = metrics.horizontalAdvance(
                            QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()))) +
                        padding;
      int& widest = contentWidths_[static_cast<std::size_t>(col)];
      if (width > widest) {
        widest = width;
        widened[static_cast<std::size_t>(col)] = true;
      }
    }
  }
  for (int col = 0; col < columns; ++col) {
    if (widened[static_cast<std::size_t>(col)]) ApplyWidth(col);
  }
}

void ResultGridView::FitLongColumns() {
  const int columns = model_->ColumnCount();
  contentWidths_.resize(static_cast<std::size_t>(columns), 0);
  // Only the longest text of each column is measured: the grid keeps it as its records come.
  std::vector<std::string> longest = model_->Grid().Longest();
  longest.resize(static_cast<std::size_t>(columns));
  const int padding =
      2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 8;
  const QFontMetrics titleMetrics(horizontalHeader()->font());
  for (int col = 0; col < columns; ++col) {
    const std::string& text = longest[static_cast<std::size_t>(col)];
    if (text.empty()) continue;
    // The column's two title lines in the header need their room too.
    int title = 0;
    for (int row = 0; row < 2; ++row) {
      const QString line = QString::fromStdString(model_->Cell(row, col));
      title = std::max(title, titleMetrics.horizontalAdvance(line));
    }
    const int width =
        std::max(fontMetrics().horizontalAdvance(QString::fromStdString(text)), title) + padding;
    int& widest = contentWidths_[static_cast<std::size_t>(col)];
    if (width > widest) {
      widest = width;
      ApplyWidth(col);
    }
  }
}

void ResultGridView::OnTitleClicked(int col) {
  const int row = currentIndex().isValid() ? currentIndex().row() : 0;
  if (model_->rowCount() == 0) {
    model_->SelectCell(model_->GridRow(0), col);
    return;
  }
  const QModelIndex index = model_->index(row, col);
  if (index == currentIndex()) {
    OnCellChosen(index);
  } else {
    setCurrentIndex(index);
  }
}

void ResultGridView::SpanTextRows(int firstViewRow, int lastViewRow) {
  const int columns = model_->ColumnCount();
  if (columns < 2) return;
  for (int viewRow = firstViewRow; viewRow <= lastViewRow; ++viewRow) {
    const int span = model_->Grid().IsWordRow(model_->GridRow(viewRow)) ? columns : 1;
    if (rowSpan(viewRow, 0) != 1 || columnSpan(viewRow, 0) != span) setSpan(viewRow, 0, 1, span);
  }
}

void ResultGridView::OnCellChosen(const QModelIndex& index) {
  if (movingCurrent_ || !index.isValid()) return;
  selectedByThisPress_ = true;
  model_->SelectCell(model_->GridRow(index.row()), index.column());
}

void ResultGridView::mousePressEvent(QMouseEvent* event) {
  selectedByThisPress_ = false;
  QTableView::mousePressEvent(event);
}

void ResultGridView::OnCurrentColumnMoved(int col) {
  const QModelIndex current = currentIndex();
  if (!current.isValid() || current.column() == col || col < 0 || col >= model_->ColumnCount()) {
    return;
  }
  movingCurrent_ = true;
  setCurrentIndex(model_->index(current.row(), col));
  movingCurrent_ = false;
}

}  // namespace quillane::ui
