// The "Matériaux" window; the rows' rules and wording are MaterialEntryTest's.

#include <QLabel>
#include <QTableWidget>

#include "GeometrieTestSupport.h"
#include "materials/UserCatalogue.h"
#include "ui/Materiaux.h"

namespace quillane::test {
namespace {

class MateriauxTest : public GeometrieWindowFixture {};

TEST_F(MateriauxTest, AnEditedRowAndItsPointsReachTheSavedRowsAndNeverTheShippedFile) {
  Open();
  const std::string shippedBytes = ReadFile(dir / "p1.db");
  Pick("Datalist1", "Acier 316L");
  auto* materials = Show<ui::Materiaux>("MaterialsWindow", "Materiaux");
  QTableWidget& table = materials->Table();
  ASSERT_EQ(table.rowCount(), 3);

  // A figure out of its bounds keeps the form open and says which and why.
  {
    QStringList faults;
    QString answer = QStringLiteral("Annuler");
    ModalWatcher watcher([&](QWidget* modal) {
      if (qobject_cast<QMessageBox*>(modal) != nullptr) {
        if (!ModalWatcher::Press(modal, answer)) ModalWatcher::Dismiss(modal);
        return;
      }
      auto* form = qobject_cast<ui::MaterialForm*>(modal);
      if (form == nullptr) return ModalWatcher::Dismiss(modal);
      form->findChild<QLineEdit*>(QString::fromUtf8("Matériaux"))
          ->setText(QStringLiteral("Mon NiCr"));
      const std::pair<const char*, const char*> figures[] = {
          {"Lambda", "0"},     {"Rho", "7800"},       {"Cp", "480"},
          {"Tfusion", "1650"}, {"Lfusion", "290000"}, {"ModuleYoung", "1e11"},
          {"Poisson", "0.3"},  {"dilat", "1,3e-5"},   {"SigmaQ", "150e6"}};
      for (const auto& [column, text] : figures) {
        form->findChild<QLineEdit*>(QString::fromLatin1(column))->setText(QString::fromUtf8(text));
      }
      form->findChild<QLineEdit*>(QStringLiteral("Source"))->setText("essai");
      form->accept();
      faults << form->findChild<QLabel*>(QStringLiteral("Faults"))->text();
      EXPECT_TRUE(form->isVisible());
      form->findChild<QLineEdit*>(QStringLiteral("Lambda"))->setText("12,5");
      form->accept();
    });
    materials->Ajouter();
    // The fault's wording is the session's (MaterialEntryTest).
    ASSERT_EQ(faults.size(), 1);
    EXPECT_TRUE(faults[0].startsWith(QString::fromUtf8("Matériau « Mon NiCr » : Lambda vaut 0 ;")));

    const std::vector<UserMaterial> saved = UserCatalogue(dir / "user" / "materiaux.db").Read();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].Row.Lambda, 12.5);
    EXPECT_EQ(saved[0].Source, "essai");
    // The input window's lists have it at once, and the pick is kept.
    EXPECT_EQ(Child<QListWidget>("Datalist2")->findItems("Mon NiCr", Qt::MatchExactly).size(), 1);
    EXPECT_EQ(Child<QListWidget>("Datalist1")->selectedItems().value(0)->text(), "Acier 316L");

    // The user's row goes once the user says so (a shipped row never: MaterialTableTest), and a
    // pick of it is cleared, so that no run is offered that would be refused.
    Pick("Datalist2", "Mon NiCr");
    ASSERT_EQ(state.Input.CoatingMaterialName, "Mon NiCr");
    table.selectRow(table.findItems("Mon NiCr", Qt::MatchExactly).value(0)->row());
    materials->Supprimer();
    EXPECT_EQ(watcher.MessageTexts.size(), 1);
    EXPECT_EQ(table.rowCount(), 4);
    answer = QStringLiteral("Supprimer");
    materials->Supprimer();
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_TRUE(UserCatalogue(dir / "user" / "materiaux.db").Read().empty());
    EXPECT_EQ(state.Input.CoatingMaterialName, "");
  }

  // Points edited in the form are checked as they are accepted and saved with the row.
  ASSERT_EQ(table.item(0, 0)->text(), QStringLiteral("Acier 316L"));
  table.selectRow(0);
  QStringList faults;
  bool opened = false;
  bool edited = false;
  ModalWatcher watcher([&](QWidget* modal) {
    if (auto* points = qobject_cast<ui::PointsDialog*>(modal)) {
      QTableWidget& lines = points->Table();
      points->AddPoint();
      points->AddPoint();
      const char* texts[2][2] = {{"300", "15"}, {"300", "20,5"}};
      for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
          lines.item(row, column)->setText(QString::fromLatin1(texts[row][column]));
        }
      }
      points->accept();
      faults << points->findChild<QLabel*>(QStringLiteral("PointFaults"))->text();
      lines.item(1, 0)->setText(QStringLiteral("900"));
      points->accept();
      edited = true;
      return;
    }
    auto* form = qobject_cast<ui::MaterialForm*>(modal);
    if (form == nullptr) return ModalWatcher::Dismiss(modal);
    // The points open from the form's own loop, where the watcher sees them.
    if (!edited) {
      if (!opened) QTimer::singleShot(0, form, [form] { form->EditPoints(0); });
      opened = true;
      return;
    }
    form->accept();
  });
  materials->Modifier();
  ASSERT_EQ(faults.size(), 1);
  EXPECT_TRUE(faults[0].startsWith(QString::fromUtf8("Lambda en fonction de la température :")));
  const std::vector<UserMaterial> saved = UserCatalogue(dir / "user" / "materiaux.db").Read();
  const auto steel = std::ranges::find_if(
      saved, [](const UserMaterial& row) { return row.Row.Name == "Acier 316L"; });
  ASSERT_NE(steel, saved.end());
  EXPECT_EQ(steel->Row.Tables.Lambda, (FigureTable{{300, 15}, {900, 20.5}}));
  EXPECT_TRUE(ReadFile(dir / "p1.db") == shippedBytes);
}

}  // namespace
}  // namespace quillane::test
