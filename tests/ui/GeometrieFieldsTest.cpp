// The field rules of the input window, without widgets.

#include <gtest/gtest.h>

#include "model/ModelState.h"
#include "ui/GeometrieFields.h"

namespace quillane::ui {
namespace {

class FieldRulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ApplyDefaults(state);
    state.Locale = RegionalSettings{'.', ','};
  }
  ModelState state;
};

TEST_F(FieldRulesTest, LoadTextsWithThePoint) {
  const std::pair<FieldId, const char*> expected[] = {
      {FieldId::Text1, "1"},     {FieldId::Text2, "4.50"},   {FieldId::Text3, "973"},
      {FieldId::Text4, "1"},     {FieldId::Text5, "1."},     {FieldId::Text6, "02.0"},
      {FieldId::Text7, "1.50"},  {FieldId::Text8, "5.0E+2"}, {FieldId::text9, "573"},
      {FieldId::Text10, "3000"}, {FieldId::Text12, "0.02"},  {FieldId::Text13, "0.08"},
      {FieldId::Text14, "1"},    {FieldId::Text15, "1"},     {FieldId::Text16, "0"},
  };
  for (const auto& [id, text] : expected) EXPECT_EQ(LoadText(state, id), text) << Field(id).Name();
}

TEST_F(FieldRulesTest, FieldsAreListedInLoadOrderWithTheirNames) {
  const char* names[] = {"Text1",  "Text2",  "Text3",  "Text4",  "Text5",
                         "Text6",  "Text7",  "Text8",  "text9",  "Text10",
                         "Text12", "Text13", "Text14", "Text15", "Text16"};
  ASSERT_EQ(Fields().size(), std::size(names));
  for (std::size_t i = 0; i < std::size(names); ++i) EXPECT_STREQ(Fields()[i].Name(), names[i]);
  EXPECT_STREQ(Field(FieldId::Text1).Caption(), "Epaisseur d'une  lamelle(µm)");
  EXPECT_STREQ(Field(FieldId::Text14).Caption(), "N° particule témoin ");
}

TEST_F(FieldRulesTest, HeatFluxInKilowatts) {
  const CommitOutcome outcome = CommitField(state, FieldId::Text8, "250");
  EXPECT_TRUE(outcome.Accepted);
  EXPECT_EQ(state.Input.HeatFlux, 250000);
  EXPECT_EQ(outcome.Shown, "2.50E+02");
}

TEST_F(FieldRulesTest, PassThicknessTakesTheMagnitudeInMicrometres) {
  const CommitOutcome outcome = CommitField(state, FieldId::Text5, "-12");
  EXPECT_DOUBLE_EQ(state.Input.PassThickness, 1.2e-5);
  EXPECT_EQ(outcome.Shown, "12");
}

TEST_F(FieldRulesTest, PassCountReadsTheLeadingNumber) {
  const CommitOutcome outcome = CommitField(state, FieldId::Text4, "3.9 passes");
  EXPECT_TRUE(outcome.Accepted);
  EXPECT_EQ(state.Input.PassCount, 3);
  EXPECT_TRUE(outcome.Reformat);
  EXPECT_EQ(outcome.Shown, "3");
  CommitField(state, FieldId::Text4, "passes");
  EXPECT_EQ(state.Input.PassCount, 0);
}

TEST_F(FieldRulesTest, WitnessBoxesRoundHalvesToEvenAndKeepTheirText) {
  CommitOutcome outcome = CommitField(state, FieldId::Text14, "2.5");
  EXPECT_TRUE(outcome.Accepted);
  EXPECT_FALSE(outcome.Reformat);
  EXPECT_EQ(state.Input.WitnessParticle, 2);
  CommitField(state, FieldId::Text14, "3.5");
  EXPECT_EQ(state.Input.WitnessParticle, 4);
  CommitField(state, FieldId::Text15, "-6.5");
  EXPECT_EQ(state.Input.WitnessCoat, 6);
}

TEST_F(FieldRulesTest, IntegerBoxesRefuseWhatSixteenBitsCannotHold) {
  const CommitOutcome outcome = CommitField(state, FieldId::Text4, "40000");
  EXPECT_FALSE(outcome.Accepted);
  EXPECT_EQ(state.Input.PassCount, 1);
  EXPECT_NE(outcome.Reason.find("32767"), std::string::npos);
  EXPECT_TRUE(CommitField(state, FieldId::Text4, "32767").Accepted);
  EXPECT_EQ(state.Input.PassCount, 32767);
  EXPECT_FALSE(CommitField(state, FieldId::Text15, "1e999").Accepted);
}

TEST_F(FieldRulesTest, StrictBoxesRefuseTextThatIsNotANumber) {
  for (const char* text : {"abc", "", "  ", "4.5s", "1,5", "inf", "nan", "1e999"}) {
    const CommitOutcome outcome = CommitField(state, FieldId::Text2, text);
    EXPECT_FALSE(outcome.Accepted) << text;
    EXPECT_FALSE(outcome.Reason.empty()) << text;
    EXPECT_EQ(state.Input.PassPeriod, 4.5) << text;
  }
  const CommitOutcome outcome = CommitField(state, FieldId::Text2, "abc");
  EXPECT_NE(outcome.Reason.find("abc"), std::string::npos);
  EXPECT_NE(outcome.Reason.find("Période entre 2 passes (s)"), std::string::npos);
}

TEST_F(FieldRulesTest, StrictBoxesRefuseValuesThatOverflowWhenScaled) {
  EXPECT_FALSE(CommitField(state, FieldId::Text8, "1e306").Accepted);
  EXPECT_EQ(state.Input.HeatFlux, 500000);
}

TEST_F(FieldRulesTest, EveryStrictRuleScalesAndFormats) {
  EXPECT_EQ(CommitField(state, FieldId::Text1, "2.4").Shown, "2");
  EXPECT_DOUBLE_EQ(state.Input.LamellaThickness, 2.4e-6);
  EXPECT_EQ(CommitField(state, FieldId::Text2, "-3.25").Shown, "3.25E+00");
  EXPECT_EQ(state.Input.PassPeriod, 3.25);
  EXPECT_EQ(CommitField(state, FieldId::Text7, "0.012").Shown, "1.20E-02");
  EXPECT_EQ(state.Input.HeatingWindow, 0.012);
  EXPECT_EQ(CommitField(state, FieldId::Text7, "120").Shown, "1.20E02");
  EXPECT_EQ(CommitField(state, FieldId::Text6, "3.5").Shown, "3.50");
  EXPECT_DOUBLE_EQ(state.Input.SubstrateThicknessInput, 0.0035);
  EXPECT_EQ(CommitField(state, FieldId::Text10, "2500.5K").Shown, "2500.5");
  EXPECT_EQ(state.Input.ParticleTemperature, 2500.5);
}

TEST_F(FieldRulesTest, TemperaturesCommitLikeTheOtherStrictBoxes) {
  CommitOutcome outcome = CommitField(state, FieldId::text9, "-600");
  EXPECT_TRUE(outcome.Accepted);
  EXPECT_EQ(state.Input.SubstrateTemperature, 600);
  EXPECT_EQ(outcome.Shown, "600");
  outcome = CommitField(state, FieldId::Text3, "1000.5");
  EXPECT_EQ(state.Input.GasTemperature, 1000.5);
  EXPECT_EQ(outcome.Shown, "1000.5");
  EXPECT_FALSE(CommitField(state, FieldId::Text3, "chaud").Accepted);
  EXPECT_EQ(state.Input.GasTemperature, 1000.5);
}

TEST_F(FieldRulesTest, SpecimenLengthIsTheValueShownAfterItsCommit) {
  const CommitOutcome outcome = CommitField(state, FieldId::Text13, "-0.1234 m");
  EXPECT_EQ(outcome.Shown, "0.123");
  EXPECT_EQ(state.Input.SpecimenLength, 0.123);
}

TEST_F(FieldRulesTest, CurvatureBoxReadsItsLeadingNumberAndKeepsItsText) {
  const InputParameters before = state.Input;
  const CommitOutcome outcome = CommitField(state, FieldId::Text16, "-0.5x");
  EXPECT_TRUE(outcome.Accepted);
  EXPECT_FALSE(outcome.Reformat);
  EXPECT_EQ(state.Input.InitialCurvature, -0.5);
  EXPECT_EQ(state.Input.SpecimenLength, before.SpecimenLength);
  // A case's curvature is shown so that it reads back exactly.
  state.Input.InitialCurvature = 1.0 / 3.0;
  EXPECT_EQ(LiveValue(LoadText(state, FieldId::Text16), state.Locale), 1.0 / 3.0);
  state.Input.InitialCurvature = 1e-5;
  EXPECT_EQ(LiveValue(LoadText(state, FieldId::Text16), state.Locale), 1e-5);
}

TEST_F(FieldRulesTest, SpinButtonsStepTheShownNumberAndCommit) {
  CommitOutcome outcome = StepField(state, FieldId::text9, "573", +1);
  EXPECT_EQ(state.Input.SubstrateTemperature, 583);
  EXPECT_EQ(outcome.Shown, "583");
  // The number being typed is the one stepped.
  outcome = StepField(state, FieldId::Text3, "900", -1);
  EXPECT_EQ(state.Input.GasTemperature, 890);
  outcome = StepField(state, FieldId::Text6, "02.0", +1);
  EXPECT_DOUBLE_EQ(state.Input.SubstrateThicknessInput, 0.0021);
  EXPECT_EQ(outcome.Shown, "2.10");
  // Text that is not a number steps the value in the state.
  outcome = StepField(state, FieldId::Text6, "épais", -1);
  EXPECT_DOUBLE_EQ(state.Input.SubstrateThicknessInput, 0.002);
  EXPECT_EQ(outcome.Shown, "2.00");
}

TEST_F(FieldRulesTest, SpinButtonsStayWithinTheDocumentedRange) {
  StepField(state, FieldId::text9, "5", -1);
  EXPECT_EQ(state.Input.SubstrateTemperature, 1);
  StepField(state, FieldId::Text3, "9995", +1);
  EXPECT_EQ(state.Input.GasTemperature, 10000);
  StepField(state, FieldId::Text6, "0.05", -1);
  EXPECT_GT(state.Input.SubstrateThicknessInput, 0);
  EXPECT_THROW(StepField(state, FieldId::Text1, "1", +1), std::logic_error);
}

TEST_F(FieldRulesTest, ManySmallStepsStayShortDecimals) {
  std::string text = LoadText(state, FieldId::Text6);
  for (int i = 0; i < 37; ++i) text = StepField(state, FieldId::Text6, text, +1).Shown;
  EXPECT_EQ(text, "5.70");
  EXPECT_DOUBLE_EQ(state.Input.SubstrateThicknessInput, 0.0057);
}

class CommaLocaleTest : public FieldRulesTest {
 protected:
  void SetUp() override {
    FieldRulesTest::SetUp();
    state.Locale = RegionalSettings{',', ' '};
  }
};

TEST_F(CommaLocaleTest, BoxesShowTheCommaAndStrictBoxesReadBothSeparators) {
  EXPECT_EQ(LoadText(state, FieldId::Text2), "4,50");
  EXPECT_EQ(LoadText(state, FieldId::Text8), "5,0E+2");
  EXPECT_EQ(CommitField(state, FieldId::Text2, "1,5").Shown, "1,50E+00");
  EXPECT_EQ(state.Input.PassPeriod, 1.5);
  EXPECT_TRUE(CommitField(state, FieldId::Text2, "2.5").Accepted);
  EXPECT_EQ(state.Input.PassPeriod, 2.5);
}

TEST_F(CommaLocaleTest, TheModelReadsTheSpecimenLengthShownWithAComma) {
  const CommitOutcome outcome = CommitField(state, FieldId::Text13, "0,1");
  EXPECT_EQ(state.Input.SpecimenLength, 0.1);
  EXPECT_EQ(outcome.Shown, "0,100");
  EXPECT_EQ(LiveValue("0,25", state.Locale), 0.25);
  state.Input.InitialCurvature = 0.25;
  EXPECT_EQ(LoadText(state, FieldId::Text16), "0,25");
}

}  // namespace
}  // namespace quillane::ui
