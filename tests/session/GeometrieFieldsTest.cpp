// The field rules of the input window, without widgets.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "format/NumberFormat.h"
#include "model/ModelState.h"
#include "session/GeometrieFields.h"

namespace quillane::session {
namespace {

using Read = double (*)(const InputParameters&);
#define IN(member) [](const InputParameters& in) { return static_cast<double>(in.member); }

class FieldRulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ApplyDefaults(state);
    state.Locale = RegionalSettings{'.', ','};
  }
  ModelState state;
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
      {FieldId::Text15, "-6.5", "", IN(WitnessCoat), 6, false},
      // Where a box's pattern would hide digits of what runs, the general form shows them.
      {FieldId::Text1, "2.4", "2.4", IN(LamellaThickness), 2.4e-6, true},
      {FieldId::Text5, "3.456", "3.456", IN(PassThickness), 3.456e-6, true},
      {FieldId::Text6, "2.3456", "2.3456", IN(SubstrateThicknessInput), 0.0023456, true},
      {FieldId::Text8, "612.345", "612.345", IN(HeatFlux), 612345, true},
      {FieldId::Text2, "-3.25", "3.25E+00", IN(PassPeriod), 3.25, true},
      {FieldId::Text7, "120", "1.20E02", IN(HeatingWindow), 120, true},
      {FieldId::Text6, "3.5", "3.50", IN(SubstrateThicknessInput), 0.0035, true},
      {FieldId::Text10, "2500.5K", "2500.5", IN(ParticleTemperature), 2500.5, true},
      {FieldId::text9, "-600", "600", IN(SubstrateTemperature), 600, true},
      {FieldId::Text13, "-0.1234 m", "0.1234", IN(SpecimenLength), 0.1234, true},
      {FieldId::Text16, "-0.5x", "", IN(InitialCurvature), -0.5, false},
      {FieldId::Text17, "-300.5", "300.5", IN(RoomTemperature), 300.5, true},
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
      {FieldId::Text4, "abc", 0, true},
      {FieldId::Text4, "3,9 passes", 3, true},
      {FieldId::Text10, " 2500,5K", 2500.5, true},
      {FieldId::Text13, "", 0, true},
      {FieldId::Text14, "deux", 0, true},
      {FieldId::Text4, " 1 2 ", 12, false},
      {FieldId::Text13, "0,125", 0.125, false},
      {FieldId::Text10, "&H10", 16, false},
      {FieldId::Text15, "-2,5e0", 2, false}};
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
      {FieldId::Text1, "2,5", 2.5e-6},     {FieldId::Text5, "3,75", 3.75e-6},
      {FieldId::Text5, "0,3", 3e-7},       {FieldId::Text6, "2,3", 2.3e-3},
      {FieldId::Text6, "0,7", 7e-4},       {FieldId::Text8, "612,345", 612345},
      {FieldId::Text8, "0,1", 100},        {FieldId::Text1, "1e3", 1e-3},
      {FieldId::Text1, "0,000001", 1e-12}, {FieldId::Text5, "123456,789", 0.123456789},
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
  // The boxes that step are those with spin buttons: the temperatures and the thickness.
  for (const FieldInfo& field : Fields()) {
    const bool spins =
        field.Id == FieldId::Text3 || field.Id == FieldId::text9 || field.Id == FieldId::Text6;
    EXPECT_EQ(field.Spins(), spins) << field.Name();
  }
  // Many small steps stay short decimals.
  std::string text = "02.0";
  for (int i = 0; i < 37; ++i) text = StepField(state, FieldId::Text6, text, +1).Shown;
  EXPECT_EQ(text, "5.70");
  EXPECT_DOUBLE_EQ(state.Input.SubstrateThicknessInput, 0.0057);
}

}  // namespace
}  // namespace quillane::session
