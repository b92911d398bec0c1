// Case files written from the inputs: every input under its key, read back bit for bit, written
// safely.

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>

#include "TestSupport.h"
#include "io/CaseFile.h"
#include "model/Errors.h"
#include "model/InputTable.h"

namespace quillane::test {
namespace {

InputParameters OddInputs() {
  InputParameters in = DefaultInputs();
  in.PassThickness = 0.1 + 0.2;  // a double with no short decimal form
  in.LamellaThickness = 1.0 / 3.0 * 1e-6;
  in.PassCount = 7;
  in.HeatFlux = 123456.789;
  in.SubstrateTemperature = 600.5;
  in.SpecimenLength = 0.07;
  in.InitialCurvature = -0.3;
  in.WitnessCoat = 4;
  in.SubstrateMaterialName = "Acier \"316L\"";
  in.CoatingMaterialName = "NiCrAlY";
  return in;
}

TEST(CaseRoundTripTest, EveryInputIsWrittenAndReadsBackBitForBit) {
  TempDir dir;
  const InputParameters saved = OddInputs();
  WriteFile(dir / "case.json", "earlier");
  SaveCaseFile(dir / "case.json", saved);
  const auto json = nlohmann::json::parse(ReadFile(dir / "case.json"));
  EXPECT_EQ(json.size(), InputTable().size());
  for (const InputSpec& input : InputTable()) EXPECT_TRUE(json.contains(input.Key)) << input.Key;
  EXPECT_EQ(json["SubstrateMaterialName"], "Acier \"316L\"");
  // Nothing but the case is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            1);

  InputParameters read = DefaultInputs();
  ReadCaseFile(dir / "case.json", read);
  EXPECT_TRUE(read == saved);
}

TEST(CaseRoundTripTest, AValueThatCannotBeSavedLeavesTheEarlierFile) {
  TempDir dir;
  InputParameters in = DefaultInputs();
  SaveCaseFile(dir / "case.json", in);
  const std::string before = ReadFile(dir / "case.json");
  in.ParticleTemperature = std::numeric_limits<double>::infinity();
  EXPECT_THROW(SaveCaseFile(dir / "case.json", in), CaseError);
  EXPECT_EQ(ReadFile(dir / "case.json"), before);
  in = DefaultInputs();
  EXPECT_THROW(SaveCaseFile(dir / "no such folder" / "case.json", in), IoError);
}

}  // namespace
}  // namespace quillane::test
