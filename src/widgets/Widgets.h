#pragma once
// What the windows build alike: texts handed to Qt, widgets made with their object name, a
// window brought to the front or sized within its screen, the separators of a locale, and a table's
// cell of a number.

#include <QSize>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "model/ModelState.h"

class QAbstractButton;
class QComboBox;
class QKeySequence;
class QGridLayout;
class QHBoxLayout;
class QLocale;
class QMainWindow;
class QStatusBar;
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

// An item of a row of widgets: a widget with its stretch, a caption (a label of the row's
// parent), a blank of some pixels or a stretch alone.
struct RowItem {
  RowItem(QWidget* widget, int stretch = 0) : Widget(widget), Stretch(stretch) {}
  RowItem(const char* caption) : Caption(caption) {}
  QWidget* Widget = nullptr;
  const char* Caption = nullptr;
  int Stretch = 0;
  int Blank = 0;  // pixels
};
inline RowItem Spring() {
  return {static_cast<QWidget*>(nullptr), 1};
}
inline RowItem Gap(int pixels) {
  RowItem item(static_cast<QWidget*>(nullptr));
  item.Blank = pixels;
  return item;
}
// The items side by side, left to right.
QHBoxLayout* MakeRow(QWidget* parent, std::initializer_list<RowItem> items);
// The widgets and captions of the items in line `row` of a grid, a column each from the first;
// an empty caption or any other item leaves its cell empty.
void AddGridRow(QGridLayout& grid, int row, QWidget* parent, std::initializer_list<RowItem> items);

// Shows a window non-modal in front of the others.
void ShowInFront(QWidget& window);

// Asks a question before an action that cannot be taken back without it: true when the user
// presses `act`; "Annuler" is the default, so that Enter or Escape changes nothing.
bool Ask(QWidget* parent, const QString& title, const QString& question, const QString& act);

// Gives a window the size it wants, within the room its screen leaves for windows, so that no
// button of it lies below the screen's edge.
void ResizeWithinScreen(QWidget& window, int width, int height);

// Gives a main window the size it wants within its screen; on a screen too small for its content,
// `scrolled` (the window's entries, whose layout holds it) goes in a scroll area, so that the rows
// of commands around it stay in view; without one, the whole content scrolls.
void FitWithinScreen(QMainWindow& window, QSize wanted, QWidget* scrolled = nullptr);

// The folder a file dialog (`dialog`: "cas", "graphique"…) last chose a file in, kept between
// sessions in the user's settings (~/.config/quillane/quillane.conf); at first, the folder of
// the results (kResultsFolder), where the user works.
QString RememberedFolder(const char* dialog);
void RememberFolder(const char* dialog, const QString& chosenFile);
// The folder of the result files last chosen or written (the current folder before any).
inline constexpr const char* kResultsFolder = "resultats";
// The cases opened or saved lately, the newest first, kept between sessions too.
QStringList RecentCases();
void AddRecentCase(const QString& path);

// The stress model's choice, as the input window offers it (its captions, the value as each
// item's data, the tooltip saying what each model does); the study and fit windows show it too,
// so that the user sees which model their points run on.
QComboBox* MakeModelChoice(const char* name, QWidget* parent);
// Shows `value` in the choice without telling its listeners; a value no item holds shows none.
void ShowModelChoice(QComboBox& choice, const std::string& value);

// Escape and Ctrl+W close the window, as they do a secondary window of any desktop program.
void CloseOnKeys(QWidget& window);

// Marks a box whose entry cannot be used (in red, with the property "outOfRange"), or unmarks it.
void MarkBox(QWidget& box, bool bad);

// Alt and the letter that begins `at` in the button's text press it: "nnuler" gives "A&nnuler".
void GiveMnemonic(QAbstractButton& button, const QString& at);
// `key` presses the button, while it is enabled, anywhere in `window`.
void PressOnKey(QWidget& window, QAbstractButton& button, const QKeySequence& key);

// The messages of a status bar wrap onto more lines instead of being cut at the window's edge:
// a label across the bar shows them (the bar's own message has no room left beside it).
void WrapStatusMessages(QStatusBar& bar);

// The separators of a locale as the number routines take them.
RegionalSettings SettingsOf(const QLocale& locale);

// A cell of a number: its text on the right, the exact value in the cell's data.
QTableWidgetItem* NumberItem(const std::string& text, double value);

}  // namespace quillane::ui
