#pragma once
// The input window over the reference catalogue, driven as a user does, and a watcher of dialogs.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include "TestSupport.h"
#include "model/ModelState.h"
#include "ui/Geometrie.h"
#include "ui/ResultWindows.h"

namespace quillane::test {

// Answers every modal dialog opened while it lives (by default, a box's first button or a
// rejection) and keeps the texts of the message boxes.
struct ModalWatcher : QObject {
  explicit ModalWatcher(std::function<void(QWidget*)> handler = {}) : handler_(handler) {
    timer_.setInterval(15);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Check(); });
    timer_.start();
  }

  QStringList MessageTexts;
  static bool Press(QWidget* widget, const QString& text) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    for (QAbstractButton* button : box != nullptr ? box->buttons() : QList<QAbstractButton*>{}) {
      if (button->text() == text) {
        button->click();
        return true;
      }
    }
    return false;
  }
  // Types a path into a file dialog and accepts it; other dialogs are dismissed.
  static void ChooseFile(QWidget* widget, const QString& path) {
    auto* dialog = qobject_cast<QFileDialog*>(widget);
    if (dialog == nullptr) return Dismiss(widget);
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, public through QDialog
  }
  static void Dismiss(QWidget* widget) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box != nullptr && !box->buttons().isEmpty()) return box->buttons().first()->click();
    if (auto* dialog = qobject_cast<QDialog*>(widget)) dialog->reject();
  }

  void Check() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible() || modal == busy_) return;
    busy_ = modal;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) MessageTexts << box->text();
    handler_ ? handler_(modal) : Dismiss(modal);
    busy_ = nullptr;
  }

  std::function<void(QWidget*)> handler_;
  QTimer timer_;
  QWidget* busy_ = nullptr;
};

class GeometrieWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildDatabase(DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
    windows = std::make_unique<ui::ResultWindows>();
  }

  // A window reporting a fault at once gives its message box the focus: wait for it on screen.
  void Open(const std::filesystem::path& catalogue, const QLocale& locale = QLocale::c(),
            bool active = true) {
    const ui::GeometrieOptions options{catalogue, dir / "user" / "materiaux.db", locale};
    window = std::make_unique<ui::Geometrie>(state, *windows, options);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(active ? QTest::qWaitForWindowActive(window.get())
                       : QTest::qWaitForWindowExposed(window.get()));
  }
  void Open() { Open(dir / "p1.db"); }
  QString PathOf(const char* name) const { return QString::fromStdString((dir / name).string()); }

  QLineEdit* Box(ui::FieldId id) const { return window->Box(id); }
  QString Shown(ui::FieldId id) const { return window->Box(id)->text(); }
  template <typename T>
  T* Child(const char* name) const {
    return window->findChild<T*>(QString::fromUtf8(name));
  }
  void Trigger(const char* action) { Child<QAction>(action)->trigger(); }
  QPushButton* Execution() const { return Child<QPushButton>("Execution"); }
  QString Status() const { return window->statusBar()->currentMessage(); }

  // Opens a secondary window by its action; it is found by its name.
  template <typename T>
  T* Show(const char* action, const char* name) {
    Trigger(action);
    auto* shown = Child<T>(name);
    EXPECT_TRUE(shown != nullptr && shown->isVisible()) << name;
    return shown;
  }

  // Types over a box's text, the box having the focus; Enter tabs away as a user does.
  void Type(ui::FieldId id, const QString& text) {
    QLineEdit* box = Box(id);
    box->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([box] { return box->hasFocus(); }, 2000));
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
  }
  void Enter(std::initializer_list<std::pair<ui::FieldId, const char*>> texts) {
    for (const auto& [id, text] : texts) {
      Type(id, text);
      QTest::keyClick(Box(id), Qt::Key_Tab);
    }
  }
  void PickBoth() {
    Pick("Datalist1", "Acier 316L");
    Pick("Datalist2", "NiCrAlY");
  }

  // Picks a material with the mouse, as a user does.
  void Pick(const char* list, const QString& name) {
    auto* widget = Child<QListWidget>(list);
    const auto items = widget->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << name.toStdString();
    widget->scrollToItem(items.first());
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, {},
                      widget->visualItemRect(items.first()).center());
  }

  TempDir dir;
  ModelState state;
  std::unique_ptr<ui::ResultWindows> windows;
  std::unique_ptr<ui::Geometrie> window;  // destroyed first: it holds the result windows
};

}  // namespace quillane::test
