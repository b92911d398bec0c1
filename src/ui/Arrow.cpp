#include "ui/Arrow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "format/NumberFormat.h"
#include "widgets/PictureBox.h"
#include "widgets/ResultGridModel.h"
#include "widgets/ResultGridView.h"
#include "widgets/Widgets.h"

namespace quillane::ui {

namespace {
// Width of each grid in twips, as the grids of the original window were drawn.
constexpr int kGridWidthTwips = 3255;

// The picture as large as the room allows with its proportions kept, and its captions right
// beneath it: the history grows with the window as the profile windows' pictures do.
class PictureWithCaptions : public QWidget {
 public:
  explicit PictureWithCaptions(QWidget* parent) : QWidget(parent) {}
  void Place(PictureBox* picture, std::vector<QLabel*> captions) {
    picture_ = picture;
    captions_ = std::move(captions);
    Layout();
  }
  QSize sizeHint() const override {
    int height = picture_ ? picture_->sizeHint().height() : 0;
    for (const QLabel* caption : captions_) height += caption->sizeHint().height();
    return QSize(picture_ ? picture_->sizeHint().width() : 0, height);
  }
  QSize minimumSizeHint() const override {
    int height = picture_ ? picture_->minimumSizeHint().height() : 0;
    for (const QLabel* caption : captions_) height += caption->sizeHint().height();
    return QSize(picture_ ? picture_->minimumSizeHint().width() : 0, height);
  }

 protected:
  void resizeEvent(QResizeEvent*) override { Layout(); }

 private:
  void Layout() {
    if (picture_ == nullptr) return;
    int captionsHeight = 0;
    for (const QLabel* caption : captions_) captionsHeight += caption->sizeHint().height();
    const int pictureHeight =
        std::min(picture_->heightForWidth(width()), std::max(height() - captionsHeight, 0));
    picture_->setGeometry(0, 0, width(), pictureHeight);
    int y = pictureHeight;
    for (QLabel* caption : captions_) {
      const int h = caption->sizeHint().height();
      caption->setGeometry(0, y, width(), h);
      y += h;
    }
  }

  PictureBox* picture_ = nullptr;
  std::vector<QLabel*> captions_;
};
}  // namespace

Arrow::Arrow(QWidget* parent)
    : ResultWindow(QStringLiteral("Arrow"), QStringLiteral("Arrow after cooling"), parent) {
  auto* central = new QWidget(this);
  auto* layout = new QHBoxLayout(central);
  layout->setContentsMargins(12, 8, 12, 8);
  layout->setSpacing(12);

  auto* pictureArea = new PictureWithCaptions(central);
  picture1_ = new PictureBox(surface_, pictureArea);
  picture1_->setObjectName(QStringLiteral("Picture1"));
  auto* label1 = new QLabel(QStringLiteral("View after cooling"), pictureArea);
  label1->setObjectName(QStringLiteral("Label1"));
  // The time labels of the history stand on its zero deflection, out of the picture when every
  // deflection is far from zero: the time span is told under the picture as well.
  timeSpan_ = new QLabel(pictureArea);
  timeSpan_->setObjectName(QStringLiteral("TimeSpan"));
  pictureArea->Place(picture1_, {label1, timeSpan_});
  layout->addWidget(pictureArea, 1);

  auto* gridColumn = new QVBoxLayout;
  gridColumn->setSpacing(4);
  const QString captions[3] = {tr("Before final cooling"), tr("After final cooling"), QString()};
  ResultGridView* views[3] = {};
  for (int i = 0; i < 3; ++i) {
    grids_[i] = new ResultGridModel(ResultGridModel::TitleRows::AsRows, this);
    views[i] = new ResultGridView(grids_[i], central);
    views[i]->setObjectName(QStringLiteral("MSFlexGrid%1").arg(i + 1));
    if (!captions[i].isEmpty()) {
      auto* caption = new QLabel(captions[i], central);
      caption->setBuddy(views[i]);
      gridColumn->addWidget(caption);
    }
    // The grid nothing fills takes less room than the two stress tables.
    gridColumn->addWidget(views[i], i < 2 ? 3 : 1);
  }
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const int gridWidth =
      views[0]->PixelsFromTwips(kGridWidthTwips) + scrollBar + 2 * views[0]->frameWidth();
  for (ResultGridView* view : views) view->SetBaseMinimumWidth(gridWidth);
  layout->addLayout(gridColumn, 0);
  setCentralWidget(central);

  // The history has a single view: no zoom menus.
  AddMaskMenu();
  FitWithinScreen(*this, sizeHint());
}

ResultGridModel& Arrow::Grid(int n) {
  if (n < 1 || n > 3)
    throw std::out_of_range("Arrow has the grids 1 to 3, not " + std::to_string(n));
  return *grids_[n - 1];
}

void Arrow::RefreshPicture() {
  picture1_->update();
}

void Arrow::ShowTimeSpan(double seconds, char separator) {
  timeSpan_->setText(
      QStringLiteral("temps : de 0 à %1 s").arg(Q(format::FormatTableNumber(seconds, separator))));
}

}  // namespace quillane::ui
