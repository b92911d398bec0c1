#include <gtest/gtest.h>

#include "TestSupport.h"
#include "session/InputForm.h"

namespace quillane::session {
namespace {

class InputFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ApplyDefaults(state);
    state.Input.SubstrateMaterialName = "Acier 316L";
    state.Input.CoatingMaterialName = "NiCrAlY";
    form.ShowState();
  }
  ModelState state;
  InputForm form{state};
};

TEST_F(InputFormTest, OnlyAnEditedBoxCommitsAndARefusalChangesNothing) {
  // The shown text, rounded as it is, commits nothing: re-reading it would change the value.
  state.Input.HeatFlux = 512345;
  form.ShowState();
  EXPECT_FALSE(form.Commit(FieldId::Text8, form.Shown(FieldId::Text8)));
  EXPECT_EQ(state.Input.HeatFlux, 512345);
  // A refusal keeps the value and the text (accepted commits: the snapshot and window tests).
  const auto refused = form.Commit(FieldId::Text8, "abc");
  ASSERT_TRUE(refused);
  EXPECT_EQ(std::tuple(refused->Accepted, state.Input.HeatFlux, form.Shown(FieldId::Text8)),
            std::tuple(false, 512345.0, LoadText(state, FieldId::Text8)));
}

TEST_F(InputFormTest, ASnapshotBringsBackTheAcceptedTextsNotAHalfTypedEdit) {
  const InputForm::Snapshot before = form.Take();
  ASSERT_TRUE(form.Commit(FieldId::Text6, "3")->Accepted);
  form.Type(FieldId::Text13, "0.5");  // typed, not accepted
  EXPECT_EQ(state.Input.SpecimenLength, 0.5);
  const InputForm::Snapshot after = form.Take();
  EXPECT_EQ(std::tie(after.Input.SpecimenLength, after.Input.SubstrateThicknessInput),
            std::tuple(before.Input.SpecimenLength, 0.003));
  form.Restore(before);
  EXPECT_EQ(state.Input, before.Input);
  EXPECT_EQ(form.Take(), before);
}

TEST_F(InputFormTest, CasesDefaultsAndFitsFillTheBoxesFromTheState) {
  test::TempDir dir;
  test::WriteFile(dir / "case.json",
                  R"({"HeatFlux": 600000, "CoatingMaterialName": "Inconnu", "PassCount": 3})");
  ASSERT_TRUE(form.Commit(FieldId::Text6, "3")->Accepted);
  EXPECT_EQ(form.OpenCase(dir / "case.json"), "");
  // A key the case leaves out takes its default, not what was typed.
  EXPECT_EQ(std::tie(state.Input.HeatFlux, state.Input.SubstrateThicknessInput,
                     state.Input.SubstrateMaterialName),
            std::tuple(600000, DefaultInputs().SubstrateThicknessInput, ""));
  EXPECT_EQ(std::tuple(form.Shown(FieldId::Text4), form.BothPicked()), std::tuple("3", false));
  EXPECT_EQ(form.MissingMaterials(MaterialsCatalogue{}), std::vector<std::string>{"Inconnu"});
  // A file that cannot be read changes nothing.
  EXPECT_ANY_THROW(form.OpenCase(dir / "missing.json"));
  EXPECT_EQ(state.Input.HeatFlux, 600000);

  EXPECT_TRUE(form.Pick(true, "Acier 316L"));
  EXPECT_FALSE(form.Pick(true, "Acier 316L"));
  form.RestoreDefaults();  // the picks stay
  EXPECT_EQ(std::tie(state.Input.HeatFlux, state.Input.SubstrateMaterialName,
                     state.Input.CoatingMaterialName),
            std::tuple(DefaultInputs().HeatFlux, "Acier 316L", "Inconnu"));

  form.TakeFit("NiCrAlY (ajusté)", {}, 612345.0);
  EXPECT_EQ(std::tuple(state.Input.CoatingMaterialName, state.Input.HeatFlux,
                       form.Shown(FieldId::Text8), form.BothPicked()),
            std::tuple("NiCrAlY (ajusté)", 612345.0, LoadText(state, FieldId::Text8), true));
  // A fit picks each coat's fitted row, for the coats the case still has.
  using Names = std::vector<std::string>;
  const struct {
    const char* coating;
    Names fitted, coats;  // coats: after
  } fits[] = {
      {"", {"", "", "C (ajusté, couche 3)"}, {"A", "B", "C (ajusté, couche 3)"}},
      {"A (ajusté)",
       {"A (ajusté)", "B (ajusté, couche 2)"},
       {"A (ajusté)", "B (ajusté, couche 2)", "C"}},
      {"", {"", "", "", "D (ajusté, couche 4)"}, {"A", "B", "C"}},
  };
  for (const auto& fit : fits) {
    state.Input.Coats.assign(3, CoatInput{});
    for (std::size_t k = 0; k < 3; ++k)
      state.Input.Coats[k].Material = std::string(1, char('A' + k));
    form.TakeFit(fit.coating, fit.fitted, std::nullopt);
    Names coats;
    for (const CoatInput& coat : state.Input.Coats) coats.push_back(coat.Material);
    EXPECT_EQ(coats, fit.coats) << fit.coating;
  }
}

TEST_F(InputFormTest, ABoxTellsItsValueAndRange) {
  state.Input.PassThickness = 3.456e-6;
  const std::vector<FieldNote> notes = FieldNotes(state);
  ASSERT_EQ(notes.size(), kFieldCount);
  for (const FieldNote& note : notes) {
    EXPECT_FALSE(note.Outside) << note.Tip;
    EXPECT_EQ(note.Tip.rfind("Valeur : ", 0), 0u) << note.Tip;
  }
  // A value out of its range is marked and told: GeometrieTest.TheWindowLoadsAndCommitsByTheRules.
  std::vector<std::string> told = ResultFileFilters();
  told.insert(told.begin(), notes[static_cast<std::size_t>(FieldId::Text5)].Tip);
  test::ExpectMessages("input box texts", told);
}

}  // namespace
}  // namespace quillane::session
