#include "ui/Widgets.h"

#include <QLocale>
#include <QTableWidgetItem>
#include <QWidget>

#include "session/WindowText.h"

namespace quillane::ui {

QStringList Q(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& text : texts) list << Q(text);
  return list;
}

void ShowInFront(QWidget& window) {
  window.show();
  window.raise();
  window.activateWindow();
}

RegionalSettings SettingsOf(const QLocale& locale) {
  return session::SeparatorsOf(locale.decimalPoint().toStdString(),
                               locale.groupSeparator().toStdString());
}

QTableWidgetItem* NumberItem(const std::string& text, double value) {
  auto* item = new QTableWidgetItem(Q(text));
  item->setData(Qt::UserRole, value);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

}  // namespace quillane::ui
