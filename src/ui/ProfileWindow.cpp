#include "ui/ProfileWindow.h"

#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>

#include "widgets/PictureBox.h"
#include "widgets/Widgets.h"

namespace quillane::ui {

ProfileWindow::ProfileWindow(const QString& objectName, const QString& caption,
                             const QString& globalCaption, const QString& zoomCaption,
                             QWidget* parent)
    : ResultWindow(objectName, caption, parent) {
  auto* central = new QWidget(this);
  auto* layout = new QGridLayout(central);
  layout->setContentsMargins(12, 8, 12, 8);
  layout->setVerticalSpacing(6);

  // Both pictures share one cell: the menus decide which of them shows.
  picture1_ = new PictureBox(global_, central);
  picture1_->setObjectName(QStringLiteral("Picture1"));
  picture2_ = new PictureBox(zoom_, central);
  picture2_->setObjectName(QStringLiteral("Picture2"));
  picture2_->hide();
  layout->addWidget(picture1_, 0, 0);
  layout->addWidget(picture2_, 0, 0);

  label1_ = new QLabel(globalCaption, central);
  label1_->setObjectName(QStringLiteral("Label1"));
  label2_ = new QLabel(zoomCaption, central);
  label2_->setObjectName(QStringLiteral("Label2"));
  label2_->hide();
  layout->addWidget(label1_, 1, 0);
  layout->addWidget(label2_, 1, 0);
  // Extra height goes below the caption; the picture keeps its proportions.
  layout->setRowStretch(2, 1);
  setCentralWidget(central);

  QAction* zoomIn = menuBar()->addAction(tr("Zoom in"));
  zoomIn->setObjectName(QStringLiteral("zoomin"));
  connect(zoomIn, &QAction::triggered, this, &ProfileWindow::zoomin_Click);
  QAction* zoomOut = menuBar()->addAction(tr("Zoom out"));
  zoomOut->setObjectName(QStringLiteral("Zoomout"));
  connect(zoomOut, &QAction::triggered, this, &ProfileWindow::Zoomout_Click);
  AddMaskMenu();
  FitWithinScreen(*this, sizeHint());
}

void ProfileWindow::zoomin_Click() {
  picture1_->hide();
  picture2_->show();
  label1_->hide();
  label2_->show();
}

void ProfileWindow::Zoomout_Click() {
  picture2_->hide();
  picture1_->show();
  label2_->hide();
  label1_->show();
}

void ProfileWindow::RefreshPictures() {
  picture1_->update();
  picture2_->update();
}

}  // namespace quillane::ui
