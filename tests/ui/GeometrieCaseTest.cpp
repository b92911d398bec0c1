// Case files of the input window: what is written, that it reads back bit for bit, and that a
// case saved from the window and reopened restores every box.

#include <nlohmann/json.hpp>

#include "GeometrieTestSupport.h"
#include "cli/CaseFile.h"
#include "ui/GeometrieCase.h"

namespace quillane::test {
namespace {

using ui::FieldId;

InputParameters OddInputs() {
  ModelState state;
  LoadInputFormState(state);
  InputParameters in = state.Input;
  in.PassThickness = 0.1 + 0.2;  // a double with no short decimal form
  in.LamellaThickness = 1.0 / 3.0 * 1e-6;
  in.PassCount = 7;
  in.PassPeriod = 5.25;
  in.HeatingWindow = 1e-3;
  in.HeatFlux = 123456.789;
  in.ParticleTemperature = 2750;
  in.SubstrateThicknessInput = 0.0031;
  in.SubstrateWidth = 0.015;
  in.SubstrateTemperature = 600.5;
  in.GasTemperature = 1001;
  in.SpecimenLength = 0.07;
  in.SpecimenLengthText = "0.07";
  in.WitnessParticle = 3;
  in.WitnessCoat = 4;
  in.SubstrateMaterialName = "Acier \"316L\"";
  in.CoatingMaterialName = "NiCrAlY";
  in.InitialCurvatureText = "-0.3";
  return in;
}

TEST(CaseTextTest, WritesEveryInputUnderItsFieldName) {
  ModelState state;
  state.Input = OddInputs();
  state.Stress.StressWidth = state.Input.SubstrateWidth;
  const auto json = nlohmann::json::parse(ui::CaseText(state));
  const char* keys[] = {"PassThickness",
                        "LamellaThickness",
                        "PassCount",
                        "PassPeriod",
                        "HeatingWindow",
                        "HeatFlux",
                        "ParticleTemperature",
                        "SubstrateThicknessInput",
                        "SubstrateWidth",
                        "SubstrateTemperature",
                        "GasTemperature",
                        "SpecimenLength",
                        "WitnessParticle",
                        "WitnessCoat",
                        "SubstrateMaterialName",
                        "CoatingMaterialName",
                        "InitialCurvature"};
  EXPECT_EQ(json.size(), std::size(keys));
  for (const char* key : keys) EXPECT_TRUE(json.contains(key)) << key;
  EXPECT_EQ(json["PassThickness"].get<double>(), 0.1 + 0.2);
  EXPECT_EQ(json["PassCount"], 7);
  EXPECT_EQ(json["SubstrateMaterialName"], "Acier \"316L\"");
  EXPECT_EQ(json["InitialCurvature"].get<double>(), -0.3);
}

TEST(CaseTextTest, SavedCaseReadsBackBitForBit) {
  TempDir dir;
  ModelState saved;
  saved.Input = OddInputs();
  ui::SaveCase(dir / "case.json", saved);
  EXPECT_TRUE(std::filesystem::exists(dir / "case.json"));
  // Nothing but the case is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            1);

  ModelState opened;
  LoadInputFormState(opened);
  ui::OpenCase(dir / "case.json", opened);
  const InputParameters& a = saved.Input;
  const InputParameters& b = opened.Input;
  EXPECT_EQ(a.PassThickness, b.PassThickness);
  EXPECT_EQ(a.LamellaThickness, b.LamellaThickness);
  EXPECT_EQ(a.PassCount, b.PassCount);
  EXPECT_EQ(a.PassPeriod, b.PassPeriod);
  EXPECT_EQ(a.HeatingWindow, b.HeatingWindow);
  EXPECT_EQ(a.HeatFlux, b.HeatFlux);
  EXPECT_EQ(a.ParticleTemperature, b.ParticleTemperature);
  EXPECT_EQ(a.SubstrateThicknessInput, b.SubstrateThicknessInput);
  EXPECT_EQ(a.SubstrateWidth, b.SubstrateWidth);
  EXPECT_EQ(opened.Stress.StressWidth, a.SubstrateWidth);
  EXPECT_EQ(a.SubstrateTemperature, b.SubstrateTemperature);
  EXPECT_EQ(a.GasTemperature, b.GasTemperature);
  EXPECT_EQ(a.SpecimenLength, b.SpecimenLength);
  EXPECT_EQ(b.SpecimenLengthText, "0.07");
  EXPECT_EQ(a.WitnessParticle, b.WitnessParticle);
  EXPECT_EQ(a.WitnessCoat, b.WitnessCoat);
  EXPECT_EQ(a.SubstrateMaterialName, b.SubstrateMaterialName);
  EXPECT_EQ(a.CoatingMaterialName, b.CoatingMaterialName);
  EXPECT_EQ(b.InitialCurvatureText, "-0.3");
}

TEST(CaseTextTest, SavingReplacesAnEarlierFileAndRefusesInfinity) {
  TempDir dir;
  WriteFile(dir / "case.json", "earlier");
  ModelState state;
  LoadInputFormState(state);
  ui::SaveCase(dir / "case.json", state);
  EXPECT_NE(ReadFile(dir / "case.json"), "earlier");

  const std::string before = ReadFile(dir / "case.json");
  state.Input.ParticleTemperature = std::numeric_limits<double>::infinity();
  EXPECT_THROW(ui::SaveCase(dir / "case.json", state), cli::CaseError);
  EXPECT_EQ(ReadFile(dir / "case.json"), before);
  EXPECT_THROW(ui::SaveCase(dir / "no such folder" / "case.json", state), std::exception);
}

TEST(CaseTextTest, OpeningTakesDefaultsForMissingKeysAndKeepsTheStateOnFaults) {
  TempDir dir;
  WriteFile(dir / "partial.json", R"({"PassCount": 5})");
  ModelState state;
  LoadInputFormState(state);
  state.Input.HeatFlux = 1;
  state.Input.SubstrateMaterialName = "x";
  ui::OpenCase(dir / "partial.json", state);
  EXPECT_EQ(state.Input.PassCount, 5);
  EXPECT_EQ(state.Input.HeatFlux, 500000);
  EXPECT_TRUE(state.Input.SubstrateMaterialName.empty());

  WriteFile(dir / "bad.json", R"({"PassCount": 6, "Colour": "blue"})");
  EXPECT_THROW(ui::OpenCase(dir / "bad.json", state), cli::CaseError);
  EXPECT_EQ(state.Input.PassCount, 5);
}

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
  for (const auto& [id, text] : expected) EXPECT_EQ(Shown(id), text) << ui::Field(id).Name;
  EXPECT_EQ(Shown(FieldId::Text8), "6.0E+2");
  EXPECT_EQ(Shown(FieldId::Text16), "0.2");
  EXPECT_EQ(state.Input.HeatFlux, saved.HeatFlux);
  EXPECT_EQ(state.Input.PassCount, saved.PassCount);
  EXPECT_EQ(state.Input.GasTemperature, 900);
  EXPECT_EQ(state.Input.SubstrateTemperature, 550);
  EXPECT_EQ(state.Input.SubstrateMaterialName, "Acier 316L");
  EXPECT_EQ(state.Input.InitialCurvatureText, "0.2");
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
