#include "ui/ThermalField.h"

#include <QVBoxLayout>

#include "widgets/PictureBox.h"
#include "widgets/Widgets.h"

namespace quillane::ui {

ThermalField::ThermalField(QWidget* parent)
    : ResultWindow(QStringLiteral("ThermalField"), QStringLiteral("Champ thermique"), parent) {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(12, 8, 12, 8);
  picture1_ = new PictureBox(surface_, central);
  picture1_->setObjectName(QStringLiteral("Picture1"));
  layout->addWidget(picture1_, 1);
  setCentralWidget(central);
  AddMaskMenu();
  FitWithinScreen(*this, sizeHint());
}

void ThermalField::ShowDrawing(const graphics::DrawingSurface& drawing) {
  surface_ = drawing;
  picture1_->update();
}

}  // namespace quillane::ui
