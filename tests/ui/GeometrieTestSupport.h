#pragma once
// Helpers of the input window tests: a window over the small reference catalogue with the C
// locale, typing into boxes and leaving them, and a watcher that answers modal dialogs.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QUndoStack>
#include <functional>
#include <memory>

#include "TestSupport.h"
#include "model/ModelState.h"
#include "ui/Geometrie.h"
#include "ui/ResultGridModel.h"
#include "ui/ResultWindows.h"

namespace quillane::test {

// Answers every modal dialog that opens while it lives: the handler decides (the default
// presses the first button of a message box, or rejects any other dialog); the texts of the
// message boxes seen are kept.
class ModalWatcher : public QObject {
 public:
  using Handler = std::function<void(QWidget*)>;

  explicit ModalWatcher(Handler handler = {}) : handler_(std::move(handler)) {
    timer_.setInterval(15);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Check(); });
    timer_.start();
  }

  QStringList MessageTexts;
  QStringList DialogNames;

  static void Dismiss(QWidget* widget) {
    if (auto* box = qobject_cast<QMessageBox*>(widget)) {
      const auto buttons = box->buttons();
      if (!buttons.isEmpty()) {
        buttons.first()->click();
        return;
      }
    }
    if (auto* dialog = qobject_cast<QDialog*>(widget)) dialog->reject();
  }

 private:
  void Check() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible() || modal == busy_) return;
    busy_ = modal;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) MessageTexts << box->text();
    DialogNames << modal->objectName();
    if (handler_) {
      handler_(modal);
    } else {
      Dismiss(modal);
    }
    busy_ = nullptr;
  }

  Handler handler_;
  QTimer timer_;
  QWidget* busy_ = nullptr;
};

class GeometrieWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildDatabase(DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
    windows = std::make_unique<ui::ResultWindows>();
  }

  void TearDown() override {
    window.reset();
    windows.reset();
  }

  // Opens the window; a window that reports a fault at once gives the focus to its message
  // box, so it is only waited for until it is on screen.
  void Open(const std::filesystem::path& catalogue, const QLocale& locale = QLocale::c(),
            bool active = true) {
    ui::GeometrieOptions options;
    options.CataloguePath = catalogue;
    options.UserCataloguePath = dir / "user" / "materiaux.db";
    options.Locale = locale;
    window = std::make_unique<ui::Geometrie>(state, *windows, options);
    window->show();
    window->activateWindow();
    if (active) {
      ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    } else {
      ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
  }
  void Open() { Open(dir / "p1.db"); }

  QLineEdit* Box(ui::FieldId id) const { return window->Box(id); }
  QString Shown(ui::FieldId id) const { return window->Box(id)->text(); }
  template <typename T>
  T* Child(const char* name) const {
    return window->findChild<T*>(QString::fromUtf8(name));
  }
  void Trigger(const char* action) {
    auto* found = Child<QAction>(action);
    ASSERT_NE(found, nullptr) << action;
    found->trigger();
  }
  QPushButton* Execution() const { return Child<QPushButton>("Execution"); }
  QString Status() const { return window->statusBar()->currentMessage(); }

  // Replaces the text of a box by typing, the box having the focus.
  void Type(ui::FieldId id, const QString& text) {
    QLineEdit* box = Box(id);
    box->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([box] { return box->hasFocus(); }, 2000));
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
  }
  // Moves the focus away from a box, as the Tab key does.
  void Leave(ui::FieldId id) {
    QLineEdit* box = Box(id);
    QTest::keyClick(box, Qt::Key_Tab);
    ASSERT_FALSE(box->hasFocus());
  }
  void TypeAndLeave(ui::FieldId id, const QString& text) {
    Type(id, text);
    Leave(id);
  }

  // Picks a material with the mouse, as a user does.
  void Pick(const char* list, const QString& name) {
    auto* widget = Child<QListWidget>(list);
    ASSERT_NE(widget, nullptr);
    const auto items = widget->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << name.toStdString();
    widget->scrollToItem(items.first());
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, {},
                      widget->visualItemRect(items.first()).center());
  }

  TempDir dir;
  ModelState state;
  std::unique_ptr<ui::ResultWindows> windows;
  std::unique_ptr<ui::Geometrie> window;
};

}  // namespace quillane::test
