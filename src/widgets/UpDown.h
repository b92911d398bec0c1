#pragma once
// The spin arrows beside a box of the input window.

#include <QString>
#include <QWidget>

class QToolButton;

namespace quillane::ui {

// The spin button beside a box: an up and a down arrow that step the number in the box.
class UpDown : public QWidget {
  Q_OBJECT
 public:
  explicit UpDown(const QString& name, QWidget* parent = nullptr);
  QToolButton* Up() const { return up_; }
  QToolButton* Down() const { return down_; }

 signals:
  // +1 for the up arrow, -1 for the down arrow.
  void Stepped(int direction);

 private:
  QToolButton* up_;
  QToolButton* down_;
};

}  // namespace quillane::ui
