#pragma once
// The stress profile during build-up ("DuringBuilding"): the run redraws both views after
// every lamella, so the window shows the latest one.

#include "ui/ProfileWindow.h"

namespace quillane::ui {

class building : public ProfileWindow {
  Q_OBJECT
 public:
  explicit building(QWidget* parent = nullptr);
};

}  // namespace quillane::ui
