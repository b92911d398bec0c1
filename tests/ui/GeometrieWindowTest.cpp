// The input window as a user drives it: boxes, material lists, undo, case files, catalogues.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QScrollArea>
#include <QToolButton>
#include <map>
#include <nlohmann/json.hpp>

#include "GeometrieTestSupport.h"

namespace quillane::test {
namespace {

using ui::FieldId;

class GeometrieTest : public GeometrieWindowFixture {};

TEST_F(GeometrieTest, TheWindowLoadsAndCommitsByTheRulesAndMarksValuesOutOfRange) {
  Open();
  for (const auto& field : ui::Fields()) {
    EXPECT_EQ(Shown(field.Id).toStdString(), ui::LoadText(state, field.Id));
  }
  for (const char* name : {"Datalist1", "Datalist2"})
    EXPECT_EQ(Child<QListWidget>(name)->count(), 3);
  EXPECT_FALSE(Execution()->isEnabled());

  // Boxes commit on focus-out, Enter and the spin buttons only, by the field rules.
  Type(FieldId::Text8, "250");
  EXPECT_EQ(state.Input.HeatFlux, 500000);
  Type(FieldId::Text2, "6");
  QTest::keyClick(Box(FieldId::Text2), Qt::Key_Return);
  EXPECT_EQ(state.Input.PassPeriod, 6);
  QTest::mouseClick(Child<QToolButton>("ud1Up"), Qt::LeftButton);
  EXPECT_EQ(Shown(FieldId::text9), "583");
  // The curvature reaches the model while typing.
  Type(FieldId::Text16, "0.25");
  EXPECT_EQ(state.Input.InitialCurvature, 0.25);

  // A refusal restores the text and says why on the status line until a good entry.
  const QString period = Shown(FieldId::Text2);
  Enter({{FieldId::Text2, "abc"}});
  EXPECT_EQ(Shown(FieldId::Text2), period);
  EXPECT_EQ(Status().toStdString(), ui::CommitField(state, FieldId::Text2, "abc").Reason);
  Enter({{FieldId::Text8, "600"}});
  EXPECT_TRUE(Status().isEmpty()) << Status().toStdString();
  // A value outside its range is marked, and told, as soon as it is committed, until undone.
  Enter({{FieldId::Text12, "5"}});
  EXPECT_TRUE(Box(FieldId::Text12)->property("outOfRange").toBool());
  EXPECT_EQ(Box(FieldId::Text12)->toolTip(), Status());
  Enter({{FieldId::Text12, "0.05"}});
  EXPECT_FALSE(Box(FieldId::Text12)->property("outOfRange").toBool());
  window->UndoStack().undo();
  EXPECT_TRUE(Box(FieldId::Text12)->property("outOfRange").toBool());

  // Both picks enable the run.
  Pick("Datalist2", "NiCrAlY");
  EXPECT_FALSE(Execution()->isEnabled());
  Enter({{FieldId::Text8, "250"}, {FieldId::Text2, "3"}});
  Pick("Datalist1", "contact");
  EXPECT_TRUE(Execution()->isEnabled());

  // With no edit pending in the focused box, Ctrl+Z undoes the last committed change.
  Box(FieldId::Text1)->setFocus();
  QTest::keyClick(Box(FieldId::Text1), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(state.Input.SubstrateMaterialName.empty());
  EXPECT_TRUE(Status().contains(QString::fromUtf8("Annulé : Substrat"))) << Status().toStdString();
  QTest::keyClick(Box(FieldId::Text1), Qt::Key_Z, Qt::ControlModifier);
  QTest::keyClick(Box(FieldId::Text1), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Shown(FieldId::Text2), period);
  EXPECT_EQ(state.Input.HeatFlux, 600000);
  QTest::keyClick(Box(FieldId::Text1), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Shown(FieldId::Text8), "2.50E+02");
  // While a box holds an edit, Ctrl+Z belongs to the box.
  Type(FieldId::Text4, "7");
  QTest::keyClick(Box(FieldId::Text4), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(state.Input.HeatFlux, 250000);
  EXPECT_NE(Shown(FieldId::Text4), "7");

  // The defaults come back (the picks stay: InputFormTest) as one step of undo.
  Trigger("Defaults");
  EXPECT_EQ(state.Input.HeatFlux, 500000);
  Trigger("Undo");
  EXPECT_EQ(state.Input.HeatFlux, 250000);

  // The stress model is undone as boxes are.
  auto* model = Child<QComboBox>("Combo1");
  model->setFocus(Qt::MouseFocusReason);
  ASSERT_TRUE(QTest::qWaitFor([model] { return model->hasFocus(); }, 2000));
  QTest::keyClick(model, Qt::Key_Down);
  EXPECT_EQ(state.Input.StressModel, "whole-deposit");
  Trigger("Undo");
  EXPECT_EQ(model->currentText(), "une passe");
  Trigger("Redo");
  EXPECT_EQ(model->currentText(), QString::fromUtf8("dépôt complet"));
}

TEST_F(GeometrieTest, ACancelledFileChoiceKeepsTheFileChosenBefore) {
  Open();
  const std::filesystem::path chosen = dir / "out1" / "th_a.txt";
  std::filesystem::create_directories(chosen.parent_path());
  bool choose = false;
  QString openedIn;
  ModalWatcher watcher([&](QWidget* modal) {
    if (auto* dialog = qobject_cast<QFileDialog*>(modal))
      openedIn = dialog->directory().absolutePath();
    if (!choose) return ModalWatcher::Dismiss(modal);
    ModalWatcher::ChooseFile(modal, QString::fromStdString(chosen.string()));
  });
  window->ChooseStressFile();  // cancelled at once: the default file stays
  EXPECT_EQ(window->Paths().Stress, "Stress.txt");
  choose = true;
  window->ChooseThermalFile();
  choose = false;
  ASSERT_EQ(window->Paths().Thermal, chosen.string());
  window->ChooseThermalFile();
  EXPECT_EQ(window->Paths().Thermal, chosen.string());
  EXPECT_EQ(openedIn.toStdString(), chosen.parent_path().string());
  // A dialog not used yet opens where the results go.
  openedIn.clear();
  window->SaveCaseAs();
  EXPECT_EQ(openedIn.toStdString(), chosen.parent_path().string());
}

TEST_F(GeometrieTest, EveryWindowOpensWithinTheScreenAndTheSecondaryOnesCloseByKeys) {
  Open();
  PickBoth();
  window->OpenMaterials();
  Trigger("StudyWindow");
  Trigger("FitWindow");
  // The room the screen leaves for windows, less their title bar and frame.
  const QRect room = window->screen()->availableGeometry();
  ASSERT_EQ(room.size(), QSize(1024, 640));
  int shown = 0;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->isVisible()) continue;
    ++shown;
    top->layout()->activate();
    EXPECT_LE(top->width() + 16, room.width()) << top->objectName().toStdString();
    EXPECT_LE(top->height() + 48, room.height()) << top->objectName().toStdString();
    // Commands are in view: within the window, never in a part that scrolls.
    for (QPushButton* button : top->findChildren<QPushButton*>()) {
      if (button->window() != top || !button->isVisibleTo(top)) continue;
      const QRect where(button->mapTo(top, QPoint(0, 0)), button->size());
      EXPECT_TRUE(top->rect().contains(where)) << button->text().toStdString();
      for (QWidget* up = button->parentWidget(); up != top; up = up->parentWidget()) {
        EXPECT_EQ(qobject_cast<QScrollArea*>(up), nullptr) << button->text().toStdString();
      }
    }
  }
  EXPECT_GE(shown, 4);
  // The secondary windows close with Escape or Ctrl+W.
  const std::pair<const char*, const char*> secondary[] = {{"StudyWindow", "EtudeParametrique"},
                                                           {"MaterialsWindow", "Materiaux"},
                                                           {"FitWindow", "AjustementMesures"}};
  for (const auto& [action, name] : secondary) {
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
      Trigger(action);  // shown again after the first key
      auto* opened = window->findChild<QMainWindow*>(QString::fromUtf8(name));
      ASSERT_NE(opened, nullptr) << name;
      opened->activateWindow();
      ASSERT_TRUE(QTest::qWaitFor([opened] { return QApplication::activeWindow() == opened; }));
      QTest::keySequence(opened, keys);
      EXPECT_FALSE(opened->isVisible()) << name << ' ' << keys.toString().toStdString();
    }
  }
}

TEST_F(GeometrieTest, ASavedCaseReopensEveryBoxAndAFaultyOneChangesNothing) {
  Open();
  PickBoth();
  Enter({{FieldId::Text1, "2"}, {FieldId::Text10, "2400"}, {FieldId::Text17, "300"}});
  emit Child<QComboBox>("Combo1")->activated(1);  // as a pick in its list
  Type(FieldId::Text8, "600");                    // saving commits the box being edited
  const QString path = PathOf("cas.json");
  ASSERT_TRUE(window->SaveCaseTo(path));
  std::map<FieldId, QString> expected;
  for (const ui::FieldInfo& field : ui::Fields()) {
    expected[field.Id] = QString::fromStdString(ui::LoadText(state, field.Id));
  }

  Trigger("Defaults");
  EXPECT_EQ(Child<QComboBox>("Combo1")->currentText(), "une passe");
  Pick("Datalist1", "contact");
  ASSERT_TRUE(window->OpenCaseFrom(path));
  for (const auto& [id, text] : expected) EXPECT_EQ(Shown(id), text) << ui::Field(id).Name();
  EXPECT_EQ(Child<QListWidget>("Datalist1")->selectedItems().value(0)->text(), "Acier 316L");
  EXPECT_EQ(Child<QListWidget>("Datalist2")->selectedItems().value(0)->text(), "NiCrAlY");
  EXPECT_EQ(Child<QComboBox>("Combo1")->currentText(), QString::fromUtf8("dépôt complet"));

  // A faulty case is told and changes nothing; one made for another catalogue opens, told so.
  WriteFile(dir / "bad.json", R"({"HeatFlux": "hot"})");
  WriteFile(dir / "fitted.json", R"({"HeatFlux": 700000, "Catalogue": "fitted.db"})");
  const std::tuple<const char*, bool, double> opened[] = {{"bad.json", false, 600000},
                                                          {"fitted.json", true, 700000}};
  for (const auto& [name, opens, flux] : opened) {
    ModalWatcher watcher;
    EXPECT_EQ(window->OpenCaseFrom(PathOf(name)), opens) << name;
    EXPECT_EQ(watcher.MessageTexts.size(), 1) << name;
    EXPECT_EQ(state.Input.HeatFlux, flux) << name;
  }
  window->UndoStack().undo();
  // Opening a case is one step of undo.
  window->UndoStack().undo();
  EXPECT_EQ(state.Input.SubstrateMaterialName, "contact");
  EXPECT_EQ(state.Input.HeatFlux, 500000);
}

// The user's materials that cannot be read are never replaced by the shipped figures unasked.
TEST_F(GeometrieTest, AMissingOrDamagedCatalogueIsReportedWithItsPath) {
  const std::filesystem::path user = dir / "user" / "materiaux.db";
  WriteFile(dir / "bad.db", "not a database at all\n");
  const struct {
    std::filesystem::path catalogue, told;
    const char* answer;  // to the question about the user's materials
    int rows;
  } cases[] = {{dir / "absent" / "Brelon.db", dir / "absent" / "Brelon.db", nullptr, 0},
               {dir / "bad.db", dir / "bad.db", nullptr, 0},
               {dir / "p1.db", user, "Annuler", 0},
               {dir / "p1.db", user, session::kShippedMaterialsAlone, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.told.string() + (c.answer != nullptr ? c.answer : ""));
    if (c.answer != nullptr && !std::filesystem::exists(user)) {
      std::filesystem::create_directories(user.parent_path());
      WriteFile(user, "not a database, but the user's file");
    }
    ModalWatcher watcher([&c](QWidget* modal) {
      if (c.answer == nullptr) return ModalWatcher::Dismiss(modal);
      ASSERT_TRUE(ModalWatcher::Press(modal, QString::fromUtf8(c.answer)));
    });
    Open(c.catalogue, QLocale::c(), false);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return watcher.MessageTexts.size() == 1 && !QApplication::activeModalWidget(); }));
    EXPECT_TRUE(watcher.MessageTexts[0].contains(QString::fromStdString(c.told.string())));
    EXPECT_EQ(Child<QListWidget>("Datalist2")->count(), c.rows);
    EXPECT_EQ(Shown(FieldId::Text2), "4.50");  // the boxes still load
  }
  EXPECT_EQ(ReadFile(user), "not a database, but the user's file");
}

TEST_F(GeometrieTest, ACommaLocaleReadsBothSeparatorsAndFaultsStopARunBeforeItStarts) {
  Open(dir / "p1.db", QLocale(QLocale::French, QLocale::France));
  Enter({{FieldId::Text2, "1.5"}});
  EXPECT_EQ(Shown(FieldId::Text2), "1,50E+00");
  Enter({{FieldId::Text13, "0,06"}});
  EXPECT_EQ(state.Input.SpecimenLength, 0.06);
  // A value refused at the start of a run starts nothing and writes nothing.
  PickBoth();
  window->Paths() = {(dir / "t.txt").string(), (dir / "s.txt").string()};
  Enter({{FieldId::Text1, "0"}});
  ModalWatcher watcher;
  QTest::mouseClick(Execution(), Qt::LeftButton);
  EXPECT_EQ(watcher.MessageTexts.size(), 1);
  EXPECT_FALSE(window->Worker().IsRunning());
  EXPECT_FALSE(std::filesystem::exists(dir / "t.txt") || std::filesystem::exists(dir / "s.txt"));
}

TEST_F(GeometrieTest, TheTitleNamesTheCaseMarksChangesAndClosingAsksToSaveThem) {
  Open();
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Géometrie — sans titre[*]"));
  EXPECT_FALSE(window->isWindowModified());
  Enter({{FieldId::Text4, "3"}});
  EXPECT_TRUE(window->isWindowModified());
  // Closing asks; "Annuler" keeps the window and its changes.
  {
    ModalWatcher watcher([](QWidget* modal) { ModalWatcher::Press(modal, "Annuler"); });
    window->close();
    EXPECT_EQ(watcher.MessageTexts.size(), 1);
  }
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->isWindowModified());
  // A saved case is named and unchanged; undoing past it changes it again.
  const QString path = PathOf("essai.json");
  ASSERT_TRUE(window->SaveCaseTo(path));
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Géometrie — essai.json[*]"));
  EXPECT_FALSE(window->isWindowModified());
  Trigger("Undo");
  EXPECT_TRUE(window->isWindowModified());
  Trigger("Redo");
  EXPECT_FALSE(window->isWindowModified());
  // Ctrl+S saves in the case's file at once; Ctrl+Shift+S proposes a Quillane case beside it.
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  Enter({{FieldId::Text4, "5"}});
  {
    QStringList proposed;
    ModalWatcher watcher([&proposed](QWidget* modal) {
      if (auto* dialog = qobject_cast<QFileDialog*>(modal)) proposed << dialog->selectedFiles();
      ModalWatcher::Dismiss(modal);
    });
    QTest::keySequence(window.get(), QKeySequence::Save);
    EXPECT_TRUE(proposed.isEmpty());
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_EQ(nlohmann::json::parse(ReadFile(dir / "essai.json"))["PassCount"], 5);
    QTest::keySequence(window.get(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    EXPECT_EQ(proposed, QStringList{PathOf("essai.quillane.json")});
  }
  // The case saved is the first recent file, in this window and in the next session's.
  const auto recent = [this] {
    QStringList paths;
    for (QAction* action : Child<QMenu>("RecentCases")->actions())
      paths << action->data().toString();
    return paths;
  };
  EXPECT_EQ(recent(), QStringList{path});
  window.reset();
  Open();
  EXPECT_EQ(recent(), QStringList{path});
  Enter({{FieldId::Text4, "7"}});
  Child<QMenu>("RecentCases")->actions().front()->trigger();
  EXPECT_EQ(Shown(FieldId::Text4), "5");
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Géometrie — essai.json[*]"));
  EXPECT_FALSE(window->isWindowModified());
  // "À propos" names the version and both catalogues.
  ModalWatcher about;
  Trigger("About");
  ASSERT_EQ(about.MessageTexts.size(), 1);
  EXPECT_TRUE(about.MessageTexts[0].contains(QString::fromStdString((dir / "p1.db").string())));
}

// A new input needs no layout code: its control lies in its cell's frame, its caption its buddy.
// Tab follows the form, Alt and a letter press the commands, F5 runs.
TEST_F(GeometrieTest, EveryInputHasItsRowAndTheKeyboardFollowsTheFormAndPressesTheCommands) {
  Open();
  const std::map<WindowFrame, const char*> frames = {{WindowFrame::Substrate, "Substrat"},
                                                     {WindowFrame::Deposit, "Depot"},
                                                     {WindowFrame::Options, "options"}};
  for (const InputSpec& input : InputTable()) {
    SCOPED_TRACE(input.Key);
    ASSERT_TRUE(frames.contains(input.Cell.Frame));
    auto* frame = Child<QGroupBox>(frames.at(input.Cell.Frame));
    auto* control = frame->findChild<QWidget*>(QString::fromUtf8(input.Control));
    ASSERT_NE(control, nullptr);
    // A material list stands under its frame's title.
    if (session::IsMaterialList(input)) continue;
    int captions = 0;
    for (const QLabel* label : frame->findChildren<QLabel*>()) {
      if (label->text() != QString::fromUtf8(input.Caption)) continue;
      ++captions;
      EXPECT_EQ(label->buddy(), control);
    }
    EXPECT_EQ(captions, 1);
  }
  PickBoth();
  const QStringList form = {"Datalist1", "Text6",    "Text12",    "text9",  "Text16", "Text3",
                            "Text13",    "Text1",    "Text17",    "Combo1", "Text18", "Text21",
                            "Text19",    "Text20",   "Datalist2", "Text5",  "Text4",  "Text2",
                            "Text7",     "Text8",    "Text10",    "Text14", "Text15", "Execution",
                            "Command3",  "Command2", "Datalist1"};
  Child<QListWidget>("Datalist1")->setFocus(Qt::TabFocusReason);
  QStringList visited;
  for (int i = 0; i < form.size(); ++i) {
    visited << QApplication::focusWidget()->objectName();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(visited, form);
  for (const auto& [button, letter] :
       {std::pair{"Execution", Qt::Key_E}, {"Command3", Qt::Key_T}, {"Command2", Qt::Key_S}}) {
    EXPECT_EQ(QKeySequence::mnemonic(Child<QPushButton>(button)->text()),
              QKeySequence(Qt::ALT | letter))
        << button;
  }
  EXPECT_TRUE(Execution()->toolTip().contains("F5"));
  window->Paths() = {(dir / "t.txt").string(), (dir / "s.txt").string()};
  QTest::keyClick(window.get(), Qt::Key_F5);
  EXPECT_TRUE(window->Worker().IsRunning());
  ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Worker().IsRunning(); }, 60000));
  EXPECT_TRUE(std::filesystem::exists(dir / "t.txt"));
}

}  // namespace
}  // namespace quillane::test
