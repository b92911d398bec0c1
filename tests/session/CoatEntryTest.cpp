#include <gtest/gtest.h>

#include "TestSupport.h"
#include "session/CoatEntry.h"
#include "session/InputForm.h"

namespace quillane::session {
namespace {

class CoatEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ApplyDefaults(state);
    state.Input.StressModel = kWholeDepositModel;
    state.Input.SubstrateMaterialName = "Acier 316L";
    state.Input.CoatingMaterialName = "NiCrAlY";
    state.Input.PassCount = 4;
    StartCoats(state.Input);
  }
  std::size_t Column(const char* header) const {
    for (std::size_t c = 0; c < CoatColumns().size(); ++c)
      if (CoatColumns()[c].Header.starts_with(header)) return c;
    throw std::logic_error(header);
  }
  ModelState state;
};

TEST_F(CoatEntryTest, CellsReadIntoTheCoatInTheColumnsUnitAndRefusalsChangeNothing) {
  struct Row {
    const char* Header;
    const char* Text;
    bool Accepted;
    const char* Shown;  // the cell's text afterwards
  };
  const Row rows[] = {
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
  for (const Row& row : rows) {
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
  InputForm form(state);
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
