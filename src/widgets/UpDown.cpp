#include "widgets/UpDown.h"

#include <QSizePolicy>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillane::ui {

UpDown::UpDown(const QString& name, QWidget* parent) : QWidget(parent) {
  setObjectName(name);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  up_ = new QToolButton(this);
  down_ = new QToolButton(this);
  up_->setObjectName(name + "Up");
  down_->setObjectName(name + "Down");
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {up_, down_}) {
    button->setAutoRepeat(true);
    // The arrow keys of the box do the same from the keyboard.
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    button->setFixedWidth(24);
    layout->addWidget(button);
  }
  up_->setToolTip(QStringLiteral("Augmenter"));
  down_->setToolTip(QStringLiteral("Diminuer"));
  connect(up_, &QToolButton::clicked, this, [this] { emit Stepped(1); });
  connect(down_, &QToolButton::clicked, this, [this] { emit Stepped(-1); });
}

}  // namespace quillane::ui
