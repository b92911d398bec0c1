// The input window's coats' table as a user drives it: a case's coats opened, edited, undone.

#include <QCheckBox>
#include <QComboBox>
#include <QTableWidget>

#include "GeometrieTestSupport.h"
#include "session/CoatEntry.h"
#include "ui/Couches.h"

namespace quillane::test {
namespace {

class CoatsWindowTest : public GeometrieWindowFixture {
 protected:
  QTableWidget& Table() const { return *window->CoatTable().Table(); }
  // Types into a cell through its editor and presses Enter, as a user does.
  void TypeInCell(int row, int column, const QString& text) {
    Table().setCurrentCell(row, column);
    Table().editItem(Table().item(row, column));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    // The table takes the editor's text once back in its event loop.
    QPointer<QLineEdit> gone(editor);
    ASSERT_TRUE(QTest::qWaitFor([&gone] { return gone.isNull(); }, 2000));
  }
  int Column(const char* header) const {
    for (std::size_t c = 0; c < session::CoatColumns().size(); ++c) {
      if (session::CoatColumns()[c].Header.starts_with(header)) return static_cast<int>(c);
    }
    throw std::logic_error(header);
  }
};

TEST_F(CoatsWindowTest, ACaseWithTwoCoatsOpensIntoTheTableWhoseEditsAreUndone) {
  WriteFile(dir / "two.json", R"({"StressModel": "whole-deposit", "PassCount": 4,
    "SubstrateMaterialName": "Acier 316L", "CoatingMaterialName": "NiCrAlY",
    "Coats": [{"Material": "NiCrAlY", "PassCount": 3, "HeatFlux": 600000},
              {"Material": "Acier 316L", "PassCount": 5, "HeatingWindow": 1.0,
               "PauseBefore": 20}]})");
  Open();
  auto* several = Child<QCheckBox>("PlusieursCouches");
  ASSERT_TRUE(window->OpenCaseFrom(PathOf("two.json")));
  const std::vector<CoatInput> opened = state.Input.Coats;
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_TRUE(several->isChecked());
  EXPECT_EQ(Table().item(0, Column("Flux"))->text(), "600");
  EXPECT_EQ(Table().item(1, Column("Pause"))->text(), "20");
  EXPECT_EQ(qobject_cast<QComboBox*>(Table().cellWidget(1, 0))->currentText(), "Acier 316L");

  // An edit reaches the coat and is undone; a refused one is told and changes nothing.
  TypeInCell(1, Column("Flux"), "800");
  EXPECT_EQ(state.Input.Coats[1].HeatFlux, 800000);
  TypeInCell(1, Column("Passes"), "abc");
  EXPECT_EQ(Table().item(1, Column("Passes"))->text(), "5");
  EXPECT_TRUE(Status().startsWith("Couche 2, Passes : « abc »")) << Status().toStdString();
  window->UndoStack().undo();
  EXPECT_EQ(state.Input.Coats, opened);

  // A coat added shows as a row; back to one coat, the coats go. (Saving the coats is the case
  // file's round trip, opening them into the table the open above.)
  Child<QPushButton>("AddCoat")->click();
  EXPECT_EQ(std::tuple(state.Input.Coats.size(), Table().rowCount()), std::tuple(3u, 3));
  several->click();
  EXPECT_TRUE(state.Input.Coats.empty());
}

}  // namespace
}  // namespace quillane::test
