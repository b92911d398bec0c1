// The input window as a user drives it: boxes, material lists, undo, case files, catalogues.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QToolButton>
#include <map>

#include "GeometrieTestSupport.h"

namespace quillane::test {
namespace {

using ui::FieldId;

class GeometrieTest : public GeometrieWindowFixture {};

TEST_F(GeometrieTest, BoxesCommitOnLeavingOnEnterAndBySpinAndUndoAndRefusalsAreTold) {
  Open();
  for (const auto& field : ui::Fields()) {
    EXPECT_EQ(Shown(field.Id).toStdString(), ui::LoadText(state, field.Id));
  }
  const double flux = state.Input.HeatFlux, period = state.Input.PassPeriod;
  Type(FieldId::Text8, "250");
  EXPECT_EQ(state.Input.HeatFlux, flux);  // not while typing
  Type(FieldId::Text2, "6");
  EXPECT_EQ(state.Input.HeatFlux, 250000);
  QTest::keyClick(Box(FieldId::Text2), Qt::Key_Return);
  EXPECT_EQ(state.Input.PassPeriod, 6);
  const std::string spun = ui::LoadText(state, FieldId::text9);
  QTest::mouseClick(Child<QToolButton>("ud1Up"), Qt::LeftButton);
  EXPECT_EQ(ui::LoadText(state, FieldId::text9), "583");

  // A refusal restores the text and says why on the status line.
  const QString shown = Shown(FieldId::Text2);
  Enter({{FieldId::Text2, "abc"}});
  EXPECT_EQ(Shown(FieldId::Text2), shown);
  EXPECT_EQ(Status().toStdString(), ui::CommitField(state, FieldId::Text2, "abc").Reason);

  // With no edit pending in the focused box, Ctrl+Z undoes the last committed change.
  Box(FieldId::Text1)->setFocus();
  QTest::keyClick(Box(FieldId::Text1), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(ui::LoadText(state, FieldId::text9), spun);
  Trigger("Undo");
  EXPECT_EQ(state.Input.PassPeriod, period);
}

TEST_F(GeometrieTest, ACancelledFileChoiceKeepsTheFileChosenBefore) {
  Open();
  const QString chosen = PathOf("th_a.txt");
  bool choose = true;
  ModalWatcher watcher([&](QWidget* modal) {
    choose ? ModalWatcher::ChooseFile(modal, chosen) : ModalWatcher::Dismiss(modal);
  });
  window->ChooseThermalFile();
  choose = false;
  window->ChooseThermalFile();
  EXPECT_EQ(window->Paths().Thermal, chosen.toStdString());
  window->ChooseStressFile();
  EXPECT_EQ(window->Paths().Stress, "Stress.txt");
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
  Pick("Datalist1", "contact");
  ASSERT_TRUE(window->OpenCaseFrom(path));
  for (const auto& [id, text] : expected) EXPECT_EQ(Shown(id), text) << ui::Field(id).Name();
  EXPECT_EQ(Child<QListWidget>("Datalist1")->selectedItems().value(0)->text(), "Acier 316L");
  EXPECT_EQ(Child<QListWidget>("Datalist2")->selectedItems().value(0)->text(), "NiCrAlY");
  EXPECT_EQ(Child<QComboBox>("Combo1")->currentText(), QString::fromUtf8("dépôt complet"));

  WriteFile(dir / "bad.json", R"({"HeatFlux": "hot"})");
  ModalWatcher watcher;
  EXPECT_FALSE(window->OpenCaseFrom(PathOf("bad.json")));
  EXPECT_EQ(watcher.MessageTexts.size(), 1);
  EXPECT_EQ(state.Input.HeatFlux, 600000);
}

// The user's materials that cannot be read are never replaced by the shipped figures unasked.
TEST_F(GeometrieTest, AMissingOrDamagedCatalogueIsReportedWithItsPath) {
  const std::filesystem::path user = dir / "user" / "materiaux.db";
  const struct {
    std::filesystem::path catalogue, told;
    const char* answer;  // to the question about the user's materials
    int rows;
  } cases[] = {{dir / "absent" / "Brelon.db", dir / "absent" / "Brelon.db", nullptr, 0},
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
  }
  EXPECT_EQ(ReadFile(user), "not a database, but the user's file");
}

TEST_F(GeometrieTest, AValueRefusedAtTheStartOfARunStartsNothingAndWritesNothing) {
  Open();
  PickBoth();
  window->Paths() = {(dir / "t.txt").string(), (dir / "s.txt").string()};
  Enter({{FieldId::Text1, "0"}});
  ModalWatcher watcher;
  QTest::mouseClick(Execution(), Qt::LeftButton);
  EXPECT_EQ(watcher.MessageTexts.size(), 1);
  EXPECT_FALSE(window->Worker().IsRunning());
  EXPECT_FALSE(std::filesystem::exists(dir / "t.txt") || std::filesystem::exists(dir / "s.txt"));
}

TEST_F(GeometrieTest, ClosingWithUnsavedChangesAsksFirstAndASavedCaseClosesAtOnce) {
  Open();
  EXPECT_FALSE(window->isWindowModified());
  Enter({{FieldId::Text4, "3"}});
  {
    ModalWatcher watcher([](QWidget* modal) { ModalWatcher::Press(modal, "Annuler"); });
    window->close();
    EXPECT_EQ(watcher.MessageTexts.size(), 1);
  }
  EXPECT_TRUE(window->isVisible());
  ASSERT_TRUE(window->SaveCaseTo(PathOf("essai.json")));
  ModalWatcher watcher;
  window->close();
  EXPECT_TRUE(watcher.MessageTexts.isEmpty());
  EXPECT_FALSE(window->isVisible());
}

// A new input needs no layout code: its control lies in its cell's frame, its caption its buddy.
TEST_F(GeometrieTest, EveryInputOfTheTableHasItsRowInTheWindow) {
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
}

}  // namespace
}  // namespace quillane::test
