// The input window's logic without widgets: the boxes' rules, the form, the coats' table.

#include <gtest/gtest.h>

#include "ModelFixture.h"
#include "format/NumberFormat.h"
#include "session/CoatEntry.h"
#include "session/GeometrieFields.h"
#include "session/InputForm.h"

namespace quillane::session {
namespace {

using Read = double (*)(const InputParameters&);
#define IN(member) [](const InputParameters& in) { return static_cast<double>(in.member); }

class InputFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::DefaultCase(state);
    form.ShowState();
  }
  ModelState state;
  InputForm form{state};
};

// The box rules; SetUp() brings back the defaults between cases.
using FieldRulesTest = InputFormTest;

// Two coats of the whole-deposit model, the first the case's own four passes.
class CoatEntryTest : public InputFormTest {
 protected:
  void SetUp() override {
    InputFormTest::SetUp();
    state.Input.StressModel = kWholeDepositModel;
    state.Input.PassCount = 4;
    StartCoats(state.Input);
  }
  std::size_t Column(const char* header) const {
    for (std::size_t c = 0; c < CoatColumns().size(); ++c)
      if (CoatColumns()[c].Header.starts_with(header)) return c;
    throw std::logic_error(header);
  }
};

TEST_F(FieldRulesTest, FieldsLoadInOrderWithTheirNamesAndTexts) {
  const std::pair<const char*, const char*> expected[] = {
      {"Text1", "1"},    {"Text2", "4.50"},  {"Text3", "973"},   {"Text4", "1"},
      {"Text5", "1."},   {"Text6", "02.0"},  {"Text7", "1.50"},  {"Text8", "5.0E+2"},
      {"text9", "573"},  {"Text10", "3000"}, {"Text12", "0.02"}, {"Text13", "0.08"},
      {"Text14", "1"},   {"Text15", "1"},    {"Text16", "0"},    {"Text17", "293.15"},
      {"Text18", "600"}, {"Text19", "0"},    {"Text20", "0"},    {"Text21", "1"}};
  ASSERT_EQ(Fields().size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_STREQ(Fields()[i].Name(), expected[i].first);
    EXPECT_EQ(LoadText(state, Fields()[i].Id), expected[i].second) << expected[i].first;
  }
}

TEST_F(FieldRulesTest, EachRuleScalesFormatsOrRefuses) {
  // Box, text, what the box then shows (nullptr: refused, the default value stays), the value
  // and whether the box is given the shown text or keeps the typed one.
  const std::tuple<FieldId, const char*, const char*, Read, double, bool> cases[] = {
      {FieldId::Text8, "250", "2.50E+02", IN(HeatFlux), 250000, true},
      {FieldId::Text8, "1e306", nullptr, IN(HeatFlux), 500000, true},
      {FieldId::Text5, "-12", "12", IN(PassThickness), 1.2e-5, true},
      {FieldId::Text4, "3.9 passes", "3", IN(PassCount), 3, true},
      {FieldId::Text4, "40000", nullptr, IN(PassCount), 1, true},
      {FieldId::Text14, "2.5", "", IN(WitnessParticle), 2, false},
      {FieldId::Text14, "3.5", "", IN(WitnessParticle), 4, false},
      // Where a box's pattern would hide digits of what runs, the general form shows them.
      {FieldId::Text1, "2.4", "2.4", IN(LamellaThickness), 2.4e-6, true},
      {FieldId::Text7, "120", "1.20E02", IN(HeatingWindow), 120, true},
      {FieldId::Text6, "3.5", "3.50", IN(SubstrateThicknessInput), 0.0035, true},
      {FieldId::Text10, "2500.5K", "2500.5", IN(ParticleTemperature), 2500.5, true},
      {FieldId::Text13, "-0.1234 m", "0.1234", IN(SpecimenLength), 0.1234, true},
      {FieldId::Text16, "-0.5x", "", IN(InitialCurvature), -0.5, false},
      {FieldId::Text17, "20 °C", nullptr, IN(RoomTemperature), 293.15, true},
  };
  for (const auto& [id, text, shown, read, value, reformat] : cases) {
    SetUp();
    const CommitOutcome outcome = CommitField(state, id, text);
    EXPECT_EQ(outcome.Accepted, shown != nullptr) << text;
    EXPECT_TRUE(outcome.Accepted || !outcome.Reason.empty()) << text;
    EXPECT_DOUBLE_EQ(read(state.Input), value) << text;
    if (shown == nullptr) continue;
    EXPECT_EQ(outcome.Reformat, reformat) << text;
    EXPECT_EQ(reformat ? outcome.Shown : "", shown) << text;
  }
  for (const char* text : {"", "  ", "4.5s", "1,5", "inf", "nan", "1e999"}) {
    EXPECT_FALSE(CommitField(state, FieldId::Text2, text).Accepted) << text;
    EXPECT_EQ(state.Input.PassPeriod, 4.5) << text;
  }
  // The refusal names the text, the box and the bound it broke.
  const std::string reason = CommitField(state, FieldId::Text2, "abc").Reason;
  EXPECT_NE(reason.find("abc"), std::string::npos);
  EXPECT_NE(reason.find("Période entre 2 passes (s)"), std::string::npos);
  // A fitted flux loaded into the window shows every digit, in the window's locale.
  state.Locale = RegionalSettings{',', ' '};
  state.Input.HeatFlux = 600952;
  EXPECT_EQ(LoadText(state, FieldId::Text8), "600,952");
  state.Input.HeatFlux = 600000;
  EXPECT_EQ(LoadText(state, FieldId::Text8), "6,0E+2");
  state.Locale = RegionalSettings{'.', ','};
  // A case's curvature is shown so that it reads back exactly.
  for (double curvature : {1.0 / 3.0, 1e-5}) {
    state.Input.InitialCurvature = curvature;
    EXPECT_EQ(LiveValue(LoadText(state, FieldId::Text16), state.Locale), curvature);
  }
}

TEST_F(FieldRulesTest, ALenientBoxReadsWhatIsNoNumberAndSaysWhatItRead) {
  // Box, text, the value read (in the box's unit) and whether the user is told what was read; the
  // last four are numbers as the rule reads them: blanks anywhere, the locale's separator, &H.
  const std::tuple<FieldId, const char*, double, bool> cases[] = {
      {FieldId::Text4, "3,9 passes", 3, true}, {FieldId::Text10, " 2500,5K", 2500.5, true},
      {FieldId::Text13, "", 0, true},          {FieldId::Text14, "deux", 0, true},
      {FieldId::Text4, " 1 2 ", 12, false},    {FieldId::Text13, "0,125", 0.125, false},
      {FieldId::Text10, "&H10", 16, false},    {FieldId::Text15, "-2,5e0", 2, false}};
  std::vector<std::string> told;
  for (const auto& [id, text, value, tells] : cases) {
    SetUp();
    state.Locale = RegionalSettings{',', ' '};
    const CommitOutcome outcome = CommitField(state, id, text);
    EXPECT_TRUE(outcome.Accepted) << text;
    EXPECT_EQ(Field(id).Input->Get(state.Input), value) << text;
    EXPECT_EQ(outcome.Reason.empty(), !tells) << text;
    if (tells) told.push_back(outcome.Reason);
  }
  test::ExpectMessages("lenient boxes in French", told);
}

TEST_F(FieldRulesTest, TypedDecimalsReachTheStateAsTheirShortestSiFormAndShowAgain) {
  // The value each text must give is the double its SI text reads as, bit for bit.
  const std::tuple<FieldId, const char*, double> cases[] = {
      {FieldId::Text5, "3,75", 3.75e-6}, {FieldId::Text5, "0,3", 3e-7},
      {FieldId::Text6, "2,3", 2.3e-3},   {FieldId::Text8, "612,345", 612345},
      {FieldId::Text8, "0,1", 100},      {FieldId::Text5, "123456,789", 0.123456789},
  };
  state.Locale = RegionalSettings{',', ' '};
  for (const auto& [id, text, value] : cases) {
    ASSERT_TRUE(CommitField(state, id, text).Accepted) << text;
    const InputSpec& input = *Field(id).Input;
    EXPECT_EQ(input.Get(state.Input), value) << text;
    EXPECT_EQ(input.ToDisplay(value), *format::ParseStrict(text, ',', ' ')) << text;
  }
}

TEST_F(FieldRulesTest, SpinButtonsStepTheShownNumberWithinTheRange) {
  EXPECT_EQ(StepField(state, FieldId::Text3, "900", -1).Shown, "890");
  EXPECT_EQ(state.Input.GasTemperature, 890);
  StepField(state, FieldId::Text3, "9995", +1);
  StepField(state, FieldId::text9, "5", -1);
  EXPECT_EQ(std::tie(state.Input.GasTemperature, state.Input.SubstrateTemperature),
            std::tuple(10000, 1));
  // A text that is not a number steps the value in the state.
  EXPECT_EQ(StepField(state, FieldId::Text6, "épais", +1).Shown, "2.10");
  EXPECT_THROW(StepField(state, FieldId::Text1, "1", +1), std::logic_error);
  // Many small steps stay short decimals.
  std::string text = "02.0";
  for (int i = 0; i < 37; ++i) text = StepField(state, FieldId::Text6, text, +1).Shown;
  EXPECT_EQ(text, "5.70");
  EXPECT_DOUBLE_EQ(state.Input.SubstrateThicknessInput, 0.0057);
}

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
  std::vector<std::string> told = ResultFileFilters();
  for (const FieldNote& note : FieldNotes(state)) {
    EXPECT_FALSE(note.Outside) << note.Tip;
    told.push_back(note.Tip);
  }
  // A value out of its range marks its box alone, with the fault's words.
  state.Input.HeatFlux = -1;
  const std::vector<FieldNote> notes = FieldNotes(state);
  EXPECT_EQ(std::ranges::count_if(notes, &FieldNote::Outside), 1);
  told.push_back(notes[static_cast<std::size_t>(FieldId::Text8)].Tip);
  test::ExpectMessages("input box texts", told);
}

TEST_F(CoatEntryTest, CellsReadIntoTheCoatInTheColumnsUnitAndRefusalsChangeNothing) {
  const struct {
    const char* Header;
    const char* Text;
    bool Accepted;
    const char* Shown;  // the cell's text afterwards
  } rows[] = {
      {"Matériau", "Zircone", true, "Zircone"},
      {"Passes", "12", true, "12"},
      {"Ép. passe", "25", true, "25"},
      {"Flux", "750", true, "750"},
      {"T particules", "3100.0", true, "3100"},
      {"Pause", "30", true, "30"},
      {"Flux", "", true, ""},  // back to the case's
      {"Pause", "", true, "0"},
      {"Passes", "2.5", false, "12"},
      {"Passes", "40000", false, "12"},
      {"Passes", "", false, "12"},
      {"Ép. lamelle", "abc", false, ""},
      {"Période", "1e400", false, ""},
      {"Matériau", " ", false, "Zircone"},
  };
  std::vector<std::string> told;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.Header) + " " + row.Text);
    const std::size_t column = Column(row.Header);
    const auto outcome = CommitCoatCell(state, 1, column, row.Text);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->Accepted, row.Accepted);
    EXPECT_EQ(CoatCellText(state, 1, column), row.Shown);
    if (!row.Accepted) told.push_back(outcome->Reason);
  }
  // The cell's own text commits nothing; the first coat is untouched.
  EXPECT_FALSE(CommitCoatCell(state, 1, Column("Passes"), "12"));
  const CoatInput& coat = state.Input.Coats[1];
  EXPECT_EQ(std::tuple(coat.Material, coat.PassCount, coat.PassThickness, coat.HeatFlux,
                       coat.ParticleTemperature, coat.PauseBefore),
            std::tuple("Zircone", 12, std::optional(25e-6), std::optional<double>(),
                       std::optional(3100.0), 0.0));
  CoatInput first;
  first.Material = "NiCrAlY";
  first.PassCount = 4;
  EXPECT_EQ(state.Input.Coats[0], first);
  // An empty figure shows the case's own value.
  EXPECT_EQ(CoatCellPlaceholder(state, Column("Flux")), "500");
  test::ExpectMessages("coat cell faults in French", told);
}

TEST_F(CoatEntryTest, OnlyTheCellsAtFaultAreMarkedNotTheCasesBoxes) {
  state.Input.Coats[1].HeatFlux = -1000;
  state.Input.Coats[1].PauseBefore = 1e6;
  state.Input.Coats[0].Material = "";
  const auto notes = CoatNotes(state, nullptr);
  ASSERT_EQ(notes.size(), 2u);
  std::vector<std::string> told;
  for (std::size_t k = 0; k < notes.size(); ++k) {
    for (std::size_t c = 0; c < notes[k].size(); ++c) {
      const bool fault = (k == 1 && (c == Column("Flux") || c == Column("Pause"))) ||
                         (k == 0 && c == Column("Matériau"));
      EXPECT_EQ(notes[k][c].Outside, fault) << k << ' ' << c;
      if (fault) told.push_back(notes[k][c].Tip);
    }
  }
  told.push_back(notes[0][Column("Flux")].Tip);  // a sound cell's
  test::ExpectMessages("coat cell notes in French", told);
  // The case's own flux box is sound.
  EXPECT_FALSE(FieldNotes(state)[static_cast<std::size_t>(FieldId::Text8)].Outside);
  EXPECT_FALSE(form.BothPicked());
  // The coats' materials are the picks: each missing one named once.
  state.Input.Coats[0].Material = "NiCrAlY";
  EXPECT_TRUE(form.BothPicked());
  state.Input.CoatingMaterialName = "Inutilisé";
  EXPECT_EQ(form.MissingMaterials(MaterialsCatalogue{}),
            (std::vector<std::string>{"Acier 316L", "NiCrAlY"}));
}

TEST_F(CoatEntryTest, CoatsStartFromTheCaseAndStayWithinOneToSix) {
  EXPECT_EQ(state.Input.Coats.size(), 2u);
  StartCoats(state.Input);  // already started: unchanged
  EXPECT_EQ(state.Input.Coats.size(), 2u);
  state.Input.Coats[1].PauseBefore = 5;
  while (AddCoat(state.Input)) {
  }
  EXPECT_EQ(state.Input.Coats.size(), static_cast<std::size_t>(kMaxCoats));
  EXPECT_EQ(state.Input.Coats.back().PauseBefore, 5);
  EXPECT_FALSE(RemoveCoat(state.Input, kMaxCoats));
  while (RemoveCoat(state.Input, 0)) {
  }
  ASSERT_EQ(state.Input.Coats.size(), 1u);
  state.Input.Coats[0].Material = "Zircone";
  StopCoats(state.Input);
  EXPECT_EQ(std::tuple(state.Input.Coats.empty(), state.Input.CoatingMaterialName),
            std::tuple(true, "Zircone"));
  EXPECT_FALSE(AddCoat(state.Input));
}

}  // namespace
}  // namespace quillane::session
