#include "ui/ResultWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QMenuBar>

namespace quillane::ui {

ResultWindow::ResultWindow(const QString& objectName, const QString& caption, QWidget* parent)
    : QMainWindow(parent) {
  setObjectName(objectName);
  setWindowTitle(caption);
  setAttribute(Qt::WA_DeleteOnClose);
  QFont face = font();
  face.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
  face.setStyleHint(QFont::SansSerif);
  face.setPointSizeF(9);
  setFont(face);
}

void ResultWindow::mask_Click() {
  hide();
}

void ResultWindow::AddMaskMenu() {
  QAction* mask = menuBar()->addAction(tr("Mask"));
  mask->setObjectName(QStringLiteral("mask"));
  connect(mask, &QAction::triggered, this, &ResultWindow::mask_Click);
}

void ResultWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  emit Closed();
}

}  // namespace quillane::ui
