// Case files of the input window: a case saved from the window and reopened restores every
// box, a faulty one changes nothing.

#include <nlohmann/json.hpp>

#include "GeometrieTestSupport.h"

namespace quillane::test {
namespace {

using ui::FieldId;

class GeometrieCaseTest : public GeometrieWindowFixture {};

TEST_F(GeometrieCaseTest, ASavedCaseReopenedRestoresEveryBox) {
  Open();
  Pick("Datalist1", "Acier 316L");
  Pick("Datalist2", "NiCrAlY");
  TypeAndLeave(FieldId::Text1, "2");
  TypeAndLeave(FieldId::Text2, "3.75");
  TypeAndLeave(FieldId::Text3, "900");
  TypeAndLeave(FieldId::Text4, "4");
  TypeAndLeave(FieldId::Text5, "6");
  TypeAndLeave(FieldId::Text6, "2.5");
  TypeAndLeave(FieldId::Text7, "1.2");
  TypeAndLeave(FieldId::Text8, "600");
  TypeAndLeave(FieldId::text9, "550");
  TypeAndLeave(FieldId::Text10, "2400");
  TypeAndLeave(FieldId::Text12, "0.03");
  TypeAndLeave(FieldId::Text13, "0.06");
  TypeAndLeave(FieldId::Text14, "3");
  TypeAndLeave(FieldId::Text15, "5");
  TypeAndLeave(FieldId::Text16, "0.2");
  const InputParameters saved = state.Input;
  const QString path = QString::fromStdString((dir / "cas.json").string());
  ASSERT_TRUE(window->SaveCaseTo(path));

  // The boxes a fresh window shows for these inputs.
  std::map<FieldId, QString> expected;
  for (const ui::FieldInfo& field : ui::Fields()) {
    expected[field.Id] = QString::fromStdString(ui::LoadText(state, field.Id));
  }
  Trigger("Defaults");
  Pick("Datalist1", "contact");
  ASSERT_EQ(state.Input.HeatFlux, 500000);

  ASSERT_TRUE(window->OpenCaseFrom(path));
  for (const auto& [id, text] : expected) EXPECT_EQ(Shown(id), text) << ui::Field(id).Name();
  EXPECT_EQ(Shown(FieldId::Text8), "6.0E+2");
  EXPECT_EQ(Shown(FieldId::Text16), "0.2");
  EXPECT_EQ(state.Input.HeatFlux, saved.HeatFlux);
  EXPECT_EQ(state.Input.PassCount, saved.PassCount);
  EXPECT_EQ(state.Input.GasTemperature, 900);
  EXPECT_EQ(state.Input.SubstrateTemperature, 550);
  EXPECT_EQ(state.Input.SubstrateMaterialName, "Acier 316L");
  EXPECT_EQ(state.Input.InitialCurvature, 0.2);
  EXPECT_EQ(Child<QListWidget>("Datalist1")->selectedItems().value(0)->text(), "Acier 316L");
  EXPECT_EQ(Child<QListWidget>("Datalist2")->selectedItems().value(0)->text(), "NiCrAlY");
  EXPECT_TRUE(Execution()->isEnabled());

  // Opening a case is one step of undo.
  window->UndoStack().undo();
  EXPECT_EQ(state.Input.SubstrateMaterialName, "contact");
  EXPECT_EQ(state.Input.HeatFlux, 500000);
}

TEST_F(GeometrieCaseTest, AFaultyCaseIsReportedAndChangesNothing) {
  Open();
  TypeAndLeave(FieldId::Text8, "250");
  WriteFile(dir / "bad.json", R"({"HeatFlux": "hot"})");
  ModalWatcher watcher;
  EXPECT_FALSE(window->OpenCaseFrom(QString::fromStdString((dir / "bad.json").string())));
  ASSERT_EQ(watcher.MessageTexts.size(), 1);
  EXPECT_TRUE(watcher.MessageTexts[0].contains("HeatFlux"));
  EXPECT_TRUE(
      watcher.MessageTexts[0].contains(QString::fromStdString((dir / "bad.json").string())));
  EXPECT_EQ(state.Input.HeatFlux, 250000);
  EXPECT_EQ(Shown(FieldId::Text8), "2.50E+02");
}

TEST_F(GeometrieCaseTest, SavingCommitsTheBoxBeingEdited) {
  Open();
  Type(FieldId::Text8, "250");
  const QString path = QString::fromStdString((dir / "cas.json").string());
  ASSERT_TRUE(window->SaveCaseTo(path));
  EXPECT_EQ(state.Input.HeatFlux, 250000);
  const auto json = nlohmann::json::parse(ReadFile(dir / "cas.json"));
  EXPECT_EQ(json["HeatFlux"].get<double>(), 250000);
}

}  // namespace
}  // namespace quillane::test
