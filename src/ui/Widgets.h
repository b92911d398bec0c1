#pragma once
// What the windows build alike: texts handed to Qt, widgets made with their object name, a
// window brought to the front, the separators of a locale, and a table's cell of a number.

#include <QString>
#include <QStringList>
#include <string>
#include <utility>
#include <vector>

#include "model/ModelState.h"

class QLocale;
class QTableWidgetItem;
class QWidget;

namespace quillane::ui {

inline QString Q(const std::string& text) {
  return QString::fromStdString(text);
}
QStringList Q(const std::vector<std::string>& texts);

// A new widget of that object name (the control names the tests and tools look for).
template <typename Widget, typename... Args>
Widget* Named(const char* name, Args&&... args) {
  auto* widget = new Widget(std::forward<Args>(args)...);
  widget->setObjectName(QString::fromUtf8(name));
  return widget;
}

// Shows a window non-modal in front of the others.
void ShowInFront(QWidget& window);

// The separators of a locale as the number routines take them.
RegionalSettings SettingsOf(const QLocale& locale);

// A cell of a number: its text on the right, the exact value in the cell's data.
QTableWidgetItem* NumberItem(const std::string& text, double value);

}  // namespace quillane::ui
