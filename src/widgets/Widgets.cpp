#include "widgets/Widgets.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTableWidgetItem>
#include <QWidget>

#include "model/InputTable.h"
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

namespace {

QWidget* ItemWidget(const RowItem& item, QWidget* parent) {
  if (item.Widget != nullptr || item.Caption == nullptr || item.Caption[0] == '\0') {
    return item.Widget;
  }
  return new QLabel(QString::fromUtf8(item.Caption), parent);
}

}  // namespace

QHBoxLayout* MakeRow(QWidget* parent, std::initializer_list<RowItem> items) {
  auto* row = new QHBoxLayout;
  for (const RowItem& item : items) {
    if (QWidget* widget = ItemWidget(item, parent)) {
      row->addWidget(widget, item.Stretch);
    } else if (item.Blank > 0) {
      row->addSpacing(item.Blank);
    } else {
      row->addStretch(item.Stretch);
    }
  }
  return row;
}

void AddGridRow(QGridLayout& grid, int row, QWidget* parent, std::initializer_list<RowItem> items) {
  int column = 0;
  for (const RowItem& item : items) {
    if (QWidget* widget = ItemWidget(item, parent)) grid.addWidget(widget, row, column);
    ++column;
  }
}

bool Ask(QWidget* parent, const QString& title, const QString& question, const QString& act) {
  QMessageBox box(QMessageBox::Question, title, question, QMessageBox::NoButton, parent);
  QPushButton* cancel = box.addButton(QStringLiteral("Annuler"), QMessageBox::RejectRole);
  QPushButton* yes = box.addButton(act, QMessageBox::AcceptRole);
  box.setDefaultButton(cancel);
  box.setEscapeButton(cancel);
  box.exec();
  return box.clickedButton() == yes;
}

namespace {

// The room a screen leaves for a window's content: its available area less the title bar and
// the frame, which the window manager adds around the size a window is given.
QSize Room(const QWidget& window) {
  const QScreen* screen = window.screen();
  if (screen == nullptr) return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  return screen->availableGeometry().size() - QSize(16, 48);
}

}  // namespace

void ResizeWithinScreen(QWidget& window, int width, int height) {
  window.resize(QSize(width, height).boundedTo(Room(window)));
}

void FitWithinScreen(QMainWindow& window, QSize wanted, QWidget* scrolled) {
  const QSize room = Room(window);
  const QSize least = window.minimumSizeHint();
  if (least.width() > room.width() || least.height() > room.height()) {
    // Too big for this screen even at its smallest: the entries scroll.
    auto* scroll = Named<QScrollArea>("Scroll");
    scroll->setFrameShape(QFrame::NoFrame);
    // The boxes inside take the focus, not the area around them.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    QLayout* holder = scrolled != nullptr && scrolled->parentWidget() != nullptr
                          ? scrolled->parentWidget()->layout()
                          : nullptr;
    if (holder != nullptr && holder->indexOf(scrolled) >= 0) {
      // In the entries' place, with their stretch; no wider than they need.
      delete holder->replaceWidget(scrolled, scroll);
      scroll->setWidget(scrolled);
      scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      scroll->setMinimumWidth(scrolled->minimumSizeHint().width() +
                              scroll->verticalScrollBar()->sizeHint().width());
      holder->activate();
    } else {
      scroll->setWidget(window.takeCentralWidget());
      window.setCentralWidget(scroll);
    }
  }
  // The window's least size is that of the new layout before it takes its size.
  if (window.layout() != nullptr) window.layout()->activate();
  window.resize(wanted.boundedTo(room));
}

namespace {

QSettings UserSettings() {
  return QSettings(QStringLiteral("quillane"), QStringLiteral("quillane"));
}

}  // namespace

QString RememberedFolder(const char* dialog) {
  QSettings settings = UserSettings();
  const QString results =
      settings
          .value(QStringLiteral("folders/") + QLatin1String(kResultsFolder), QDir::currentPath())
          .toString();
  return settings.value(QStringLiteral("folders/") + QLatin1String(dialog), results).toString();
}

void RememberFolder(const char* dialog, const QString& chosenFile) {
  UserSettings().setValue(QStringLiteral("folders/") + QLatin1String(dialog),
                          QFileInfo(chosenFile).absolutePath());
}

QStringList RecentCases() {
  return UserSettings().value(QStringLiteral("recentCases")).toStringList();
}

void AddRecentCase(const QString& path) {
  std::vector<std::string> recent;
  for (const QString& earlier : RecentCases()) recent.push_back(earlier.toStdString());
  UserSettings().setValue(
      QStringLiteral("recentCases"),
      Q(session::WithRecent(recent, QFileInfo(path).absoluteFilePath().toStdString())));
}

void CloseOnKeys(QWidget& window) {
  for (const QKeySequence& keys :
       {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
    auto* shortcut = new QShortcut(keys, &window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, &window, &QWidget::close);
  }
}

void MarkBox(QWidget& box, bool bad) {
  if (box.property("outOfRange").toBool() == bad) return;
  box.setProperty("outOfRange", bad);
  box.setStyleSheet(bad ? QStringLiteral("QLineEdit { background: #fde2df; "
                                         "border: 1px solid #c0392b; }")
                        : QString());
}

void GiveMnemonic(QAbstractButton& button, const QString& at) {
  QString text = button.text();
  const qsizetype where = text.indexOf(at);
  if (where < 0) return;
  text.insert(where, QLatin1Char('&'));
  button.setText(text);
}

void PressOnKey(QWidget& window, QAbstractButton& button, const QKeySequence& key) {
  auto* shortcut = new QShortcut(key, &window);
  shortcut->setContext(Qt::WindowShortcut);
  // A disabled button ignores the click.
  QObject::connect(shortcut, &QShortcut::activated, &button, &QAbstractButton::click);
}

void WrapStatusMessages(QStatusBar& bar) {
  auto* label = new QLabel(&bar);
  label->setObjectName(QStringLiteral("StatusMessage"));
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // One line even when empty, so that the window does not jump when a message comes.
  label->setMinimumHeight(label->fontMetrics().lineSpacing());
  bar.addPermanentWidget(label, 1);
  QObject::connect(&bar, &QStatusBar::messageChanged, label, &QLabel::setText);
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

QComboBox* MakeModelChoice(const char* name, QWidget* parent) {
  const InputSpec& model = Input("StressModel");
  auto* choice = Named<QComboBox>(name, parent);
  for (const InputChoice& item : model.Choices) {
    choice->addItem(QString::fromUtf8(item.Caption), QString::fromUtf8(item.Value));
  }
  choice->setToolTip(
      QStringLiteral("Une passe : les lamelles d'une passe, refroidies depuis la fusion du dépôt.\n"
                     "Dépôt complet : toutes les lamelles de toutes les passes, chacune posée à "
                     "son heure, puis le refroidissement jusqu'à la température ambiante."));
  return choice;
}

void ShowModelChoice(QComboBox& choice, const std::string& value) {
  const QSignalBlocker blocker(&choice);
  choice.setCurrentIndex(choice.findData(QString::fromStdString(value)));
}

}  // namespace quillane::ui
