#pragma once
// The stress profile after final cooling ("After cooling"), drawn once per run.

#include "ui/ProfileWindow.h"

namespace quillane::ui {

class cooling : public ProfileWindow {
  Q_OBJECT
 public:
  explicit cooling(QWidget* parent = nullptr);
};

}  // namespace quillane::ui
