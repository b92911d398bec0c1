#include "ui/cooling.h"

namespace quillane::ui {

cooling::cooling(QWidget* parent)
    : ProfileWindow(QStringLiteral("cooling"), QStringLiteral("After cooling"),
                    QStringLiteral("Global view after cooling"),
                    QStringLiteral("Zoom after cooling"), parent) {}

}  // namespace quillane::ui
