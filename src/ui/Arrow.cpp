#include "ui/Arrow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <stdexcept>

#include "ui/PictureBox.h"
#include "ui/ResultGridModel.h"
#include "ui/ResultGridView.h"
#include "ui/ResultWindowStyle.h"

namespace quillane::ui {

namespace {
// Width of each grid in twips, as the grids of the original window were drawn.
constexpr int kGridWidthTwips = 3255;
}  // namespace

Arrow::Arrow(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Arrow"));
  setWindowTitle(QStringLiteral("Arrow after cooling"));
  setAttribute(Qt::WA_DeleteOnClose);
  ApplyResultWindowFont(*this);

  auto* central = new QWidget(this);
  auto* layout = new QHBoxLayout(central);
  layout->setContentsMargins(12, 8, 12, 8);
  layout->setSpacing(12);

  auto* pictureColumn = new QVBoxLayout;
  pictureColumn->setSpacing(6);
  picture1_ = new PictureBox(surface_, central);
  picture1_->setObjectName(QStringLiteral("Picture1"));
  pictureColumn->addWidget(picture1_);
  auto* label1 = new QLabel(QStringLiteral("View after cooling"), central);
  label1->setObjectName(QStringLiteral("Label1"));
  pictureColumn->addWidget(label1);
  pictureColumn->addStretch(1);
  layout->addLayout(pictureColumn, 1);

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

  // The history has one view only: the zoom menus are kept for a uniform menu bar and leave
  // the picture as it is.
  menuBar()->addAction(tr("Zoom in"))->setObjectName(QStringLiteral("zoomin"));
  menuBar()->addAction(tr("Zoom out"))->setObjectName(QStringLiteral("Zoomout"));
  QAction* mask = menuBar()->addAction(tr("Mask"));
  mask->setObjectName(QStringLiteral("mask"));
  connect(mask, &QAction::triggered, this, &Arrow::mask_Click);
  resize(sizeHint());
}

ResultGridModel& Arrow::Grid(int n) {
  if (n < 1 || n > 3)
    throw std::out_of_range("Arrow has the grids 1 to 3, not " + std::to_string(n));
  return *grids_[n - 1];
}

void Arrow::mask_Click() {
  hide();
}

void Arrow::RefreshPicture() {
  picture1_->update();
}

void Arrow::closeEvent(QCloseEvent* event) {
  event->accept();
  emit Closed();
}

}  // namespace quillane::ui
