#include "ui/building.h"

namespace quillane::ui {

building::building(QWidget* parent)
    : ProfileWindow(QStringLiteral("building"), QStringLiteral("DuringBuilding"),
                    QStringLiteral("Global view before cooling"),
                    QStringLiteral("Zoom before cooling"), parent) {}

}  // namespace quillane::ui
