#pragma once
// What the result windows share: a legible sans-serif face (DejaVu Sans where installed) at the
// desktop's usual size, deletion when the user closes one from its title bar (told by Closed),
// and "Mask", which hides one and keeps its pictures and grids for the next showing.

#include <QMainWindow>

namespace quillane::ui {

class ResultWindow : public QMainWindow {
  Q_OBJECT
 public:
  // "Mask": hides the window, which keeps its pictures and its grids.
  void mask_Click();

 signals:
  // Raised when the user closes the window from its title bar; the window is then deleted.
  void Closed();

 protected:
  ResultWindow(const QString& objectName, const QString& caption, QWidget* parent);
  // The "Mask" menu.
  void AddMaskMenu();
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace quillane::ui
