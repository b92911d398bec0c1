#include "ui/ResultWindowStyle.h"

#include <QFont>
#include <QWidget>

namespace quillane::ui {

void ApplyResultWindowFont(QWidget& window) {
  QFont font = window.font();
  font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(9);
  window.setFont(font);
}

}  // namespace quillane::ui
