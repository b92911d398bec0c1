#include "ui/ResultWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QMenuBar>
#include <QShortcut>

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
  // Ctrl+W closes it as its title bar does. Escape, which closes the other secondary windows,
  // does not: a stray press would drop the grids and pictures the window holds.
  auto* close = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this);
  close->setContext(Qt::WindowShortcut);
  connect(close, &QShortcut::activated, this, &QWidget::close);
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
