// Inputs the fuzzers (fuzz/) or the review of their findings turned up, kept as regression
// tests. Reproducer files lie in tests/data/reliability/, named by the reader they exercise:
// case_*.json for the case-file reader, catalogue_*.db for the catalogue opener (the damaged
// database file itself).

#include <gtest/gtest.h>

#include <sstream>

#include "ModelFixture.h"
#include "ReliabilitySupport.h"
#include "TestSupport.h"
#include "cli/BatchProgram.h"
#include "cli/CaseFile.h"
#include "core/Validation.h"
#include "materials/MaterialsCatalogue.h"

namespace quillane::test {
namespace {

std::vector<std::filesystem::path> Reproducers(const std::string& prefix) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(DataDir() / "reliability")) {
    if (entry.path().filename().string().rfind(prefix, 0) == 0) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class CaseFileRegressionTest : public ModelFixture {
 protected:
  // Reads the case text into the fixture's state: either it is taken whole, or CaseError names
  // the file and leaves every input as it was. Returns the message, empty on success.
  std::string Apply(const std::string& text) {
    const std::string before = cli::RoundTripText(state.Input.HeatFlux) +
                               std::to_string(state.Input.PassCount) +
                               state.Input.InitialCurvatureText + state.Input.CoatingMaterialName;
    try {
      cli::ApplyCaseText(text, "case.json", state);
    } catch (const cli::CaseError& error) {
      const std::string message = error.what();
      EXPECT_EQ(message.rfind("case.json: ", 0), 0u) << message;
      EXPECT_EQ(cli::RoundTripText(state.Input.HeatFlux) + std::to_string(state.Input.PassCount) +
                    state.Input.InitialCurvatureText + state.Input.CoatingMaterialName,
                before);
      return message;
    }
    for (const std::string& fault : FindInputFaults(state)) EXPECT_FALSE(fault.empty());
    return {};
  }
};

TEST_F(CaseFileRegressionTest, EveryStoredReproducerIsReadOrRefusedCleanly) {
  const auto files = Reproducers("case_");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    Apply(ReadFile(file));
  }
}

// Found by the case-file fuzzer: a number beyond the double range escaped the reader as the
// JSON library's own exception, and the batch program told it without naming the file.
TEST_F(CaseFileRegressionTest, NumberBeyondTheDoubleRange) {
  EXPECT_NE(Apply(ReadFile(DataDir() / "reliability" / "case_number_overflow.json"))
                .find("a number is beyond the range of a double"),
            std::string::npos);
  for (const char* text :
       {R"({"HeatFlux": 1e400})", R"({"PassCount": -1e309})", R"({"SpecimenLength": 1.8e308})"}) {
    EXPECT_NE(Apply(text).find("beyond the range of a double"), std::string::npos) << text;
  }
  // The smallest subnormals still read, as zero or themselves.
  EXPECT_EQ(Apply(R"({"InitialCurvature": 1e-400, "HeatFlux": 4.9e-324})"), "");

  std::ostringstream out;
  std::ostringstream err;
  const auto catalogue = dir / "p1.db";
  EXPECT_EQ(cli::RunBatch({(DataDir() / "reliability" / "case_number_overflow.json").string(),
                           "--catalogue", catalogue.string(), "--thermal", (dir / "t.txt").string(),
                           "--stress", (dir / "s.txt").string()},
                          out, err),
            1);
  EXPECT_NE(err.str().find("case_number_overflow.json: a number is beyond"), std::string::npos)
      << err.str();
  EXPECT_FALSE(std::filesystem::exists(dir / "t.txt"));
}

// Found in review of that finding: the fault message wrote the whole wrong value back, and
// writing a deeply nested one recursed once per level (a stack overflow from about 100,000
// levels in an optimised build).
TEST_F(CaseFileRegressionTest, DeeplyNestedAndHugeValuesAreShownByTheirKind) {
  constexpr int kDepth = 200000;
  const std::string deep =
      R"({"PassCount": )" + std::string(kDepth, '[') + std::string(kDepth, ']') + "}";
  EXPECT_EQ(Apply(deep), "case.json: \"PassCount\" must be a number, not an array.");
  EXPECT_EQ(Apply(R"({"CoatingMaterialName": {"a": [1, 2]}})"),
            "case.json: \"CoatingMaterialName\" must be a text, not an object.");
  const std::string message = Apply(R"({"HeatFlux": ")" + std::string(100000, 'x') + "\"}");
  EXPECT_LT(message.size(), 200u) << message;
  EXPECT_NE(message.find("must be a number, not \"xxx"), std::string::npos) << message;
  // A long text is cut between characters, never inside one: here the 60th byte is the second
  // of a two-byte "é".
  std::string accented = R"({"HeatFlux": "ab)";
  for (int i = 0; i < 60; ++i) accented += "\xC3\xA9";
  const std::string cut = Apply(accented + "\"}");
  EXPECT_NE(cut.find("\xC3\xA9..."), std::string::npos) << cut;
  EXPECT_EQ(cut.find("\xC3..."), std::string::npos) << cut;
}

// A whole number too large for the field is told with its range, not as a fraction.
TEST_F(CaseFileRegressionTest, HugeWholeNumbersAreOutOfRange) {
  EXPECT_EQ(Apply(R"({"PassCount": 1e10})"),
            "case.json: \"PassCount\" is 10000000000.0; it must lie between 0 and 32767.");
  EXPECT_EQ(Apply(R"({"WitnessCoat": -5000000000})"),
            "case.json: \"WitnessCoat\" is -5000000000; it must lie between 0 and 32767.");
  EXPECT_EQ(Apply(R"({"PassCount": 2.5})"),
            "case.json: \"PassCount\" must be a whole number, not 2.5.");
}

// Opens a damaged catalogue: it either opens, and every row is then found by its name, or
// CatalogueError names the file; returns the message, empty when it opened.
std::string OpenDamaged(const std::filesystem::path& file) {
  MaterialsCatalogue catalogue;
  try {
    catalogue.Open(file);
  } catch (const CatalogueError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find(file.string()), std::string::npos) << message;
    EXPECT_FALSE(catalogue.IsOpen());
    return message;
  }
  for (const MaterialRecord& row : catalogue.Rows()) {
    EXPECT_EQ(catalogue.FindMaterial(row.Name), &catalogue.LookupMaterial(row.Name));
  }
  return {};
}

TEST(CatalogueRegressionTest, EveryStoredReproducerOpensOrIsRefusedCleanly) {
  const auto files = Reproducers("catalogue_");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    OpenDamaged(file);
  }
}

// Found by the catalogue fuzzer: a damaged row name holding a NUL byte went into the message
// as it was, and what() ended the message there, before the file and the reason.
TEST(CatalogueRegressionTest, ControlCharactersOfNamesAreEscapedInMessages) {
  const auto file = DataDir() / "reliability" / "catalogue_name_with_nul.db";
  const std::string message = OpenDamaged(file);
  EXPECT_NE(message.find("\\x00"), std::string::npos) << message;
  EXPECT_NE(message.find("is missing (NULL)"), std::string::npos) << message;
  for (const char c : message) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << message;

  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(cli::RunBatch({"--catalogue", file.string(), "--list-materials"}, out, err), 1);
  EXPECT_NE(err.str().find(file.string()), std::string::npos) << err.str();
}

}  // namespace
}  // namespace quillane::test
