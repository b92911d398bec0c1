// Case files: every input written reads back bit for bit; a faulty case names the file and
// leaves every input as it was. Reproducer files found by the case-file fuzzer (fuzz/) lie in
// tests/data/reliability/ as case_*.json.

#include "io/CaseFile.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <random>

#include "TestSupport.h"
#include "model/Errors.h"
#include "model/InputTable.h"

namespace quillane {
namespace {

// Whether both hold the same bits in every field (operator== takes -0 for 0).
bool SameBits(const InputParameters& a, const InputParameters& b) {
  for (const auto& input : InputTable()) {
    if (input.RealField != nullptr && std::bit_cast<std::uint64_t>(a.*input.RealField) !=
                                          std::bit_cast<std::uint64_t>(b.*input.RealField)) {
      return false;
    }
  }
  return a == b;
}

// Reads the case over the defaults: either it is taken whole, or CaseError names the file and
// leaves every input as it was. Returns the message, empty on success.
std::string Apply(const std::string& text, InputParameters& in) {
  const InputParameters before = in;
  try {
    ApplyCaseText(text, "case.json", in);
  } catch (const CaseError& error) {
    const std::string message = error.what();
    EXPECT_EQ(message.rfind("case.json: ", 0), 0u) << message;
    EXPECT_TRUE(SameBits(in, before)) << "a refused case changed the inputs";
    return message;
  }
  return {};
}

std::string Apply(const std::string& text) {
  InputParameters in = DefaultInputs();
  return Apply(text, in);
}

TEST(CaseFileTest, EveryStoredReproducerIsReadOrRefusedCleanly) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(test::DataDir() / "reliability")) {
    if (entry.path().filename().string().rfind("case_", 0) == 0) files.push_back(entry.path());
  }
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    Apply(test::ReadFile(file));
  }
}

TEST(CaseFileTest, FaultsNameTheFileAndTheKeyAndKeepEveryInput) {
  // A nesting this deep overflowed the stack when the wrong value was written back whole.
  constexpr int kDepth = 200000;
  const std::string deep =
      R"({"PassCount": )" + std::string(kDepth, '[') + std::string(kDepth, ']') + "}";
  // A long text is cut between characters, never inside one: here the 60th byte is the second
  // of a two-byte "é".
  std::string accented = R"({"HeatFlux": "ab)";
  for (int i = 0; i < 60; ++i) accented += "\xC3\xA9";
  accented += "\"}";
  const struct {
    std::string text;
    std::string message;  // the whole message, or a part of it when `whole` is not set
    bool whole;
    const char* absent;  // a text the message must not hold
  } cases[] = {
      {R"({"PassCount": )", "case.json: not a valid JSON case file", false, nullptr},
      {"[1, 2]", "case.json: a case file must hold one JSON object.", true, nullptr},
      {R"({"Passes": 2})", "case.json: unknown key \"Passes\".", true, nullptr},
      {R"({"PassCount": 2, "HeatFlux": "lots"})",
       "case.json: \"HeatFlux\" must be a number, not \"lots\".", true, nullptr},
      {R"({"SubstrateMaterialName": 316})",
       "case.json: \"SubstrateMaterialName\" must be a text, not 316.", true, nullptr},
      {R"({"CoatingMaterialName": {"a": [1, 2]}})",
       "case.json: \"CoatingMaterialName\" must be a text, not an object.", true, nullptr},
      {deep, "case.json: \"PassCount\" must be a number, not an array.", true, nullptr},
      {R"({"HeatFlux": ")" + std::string(100000, 'x') + "\"}",
       "must be a number, not \"" + std::string(59, 'x') + "...", false, nullptr},
      {accented, "\xC3\xA9...", false, "\xC3..."},
      // A whole number too large for the field is told with its range, not as a fraction.
      {R"({"PassCount": 2.5})", "case.json: \"PassCount\" must be a whole number, not 2.5.", true,
       nullptr},
      {R"({"PassCount": 1e10})",
       "case.json: \"PassCount\" is 10000000000.0; it must lie between 0 and 32767.", true,
       nullptr},
      {R"({"WitnessCoat": -5000000000})",
       "case.json: \"WitnessCoat\" is -5000000000; it must lie between 0 and 32767.", true,
       nullptr},
      // Numbers beyond the double range escaped the reader as the JSON library's own error.
      {R"({"HeatFlux": 1e400})", "case.json: a number is beyond the range of a double", false,
       nullptr},
      {R"({"PassCount": -1e309})", "beyond the range of a double", false, nullptr},
      {R"({"SpecimenLength": 1.8e308})", "beyond the range of a double", false, nullptr},
      {test::ReadFile(test::DataDir() / "reliability" / "case_number_overflow.json"),
       "a number is beyond the range of a double", false, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    const std::string message = Apply(c.text);
    if (c.whole) {
      EXPECT_EQ(message, c.message);
    } else {
      EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
    EXPECT_LT(message.size(), 300u) << message;
    if (c.absent != nullptr) {
      EXPECT_EQ(message.find(c.absent), std::string::npos) << message;
    }
  }
}

TEST(CaseFileTest, EveryDoubleOfEveryInputReadsBackBitForBit) {
  const double awkward[] = {0.1,
                            1.0 / 3,
                            2 / 0.11,
                            -0.0,
                            1e-9,
                            std::nextafter(1e-9, 1.0),
                            std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::min(),
                            std::numeric_limits<double>::max(),
                            -std::numeric_limits<double>::max()};
  std::mt19937_64 random(20240611);
  std::vector<double> values(std::begin(awkward), std::end(awkward));
  while (values.size() < 2000) {
    const double value = std::bit_cast<double>(random());
    if (std::isfinite(value)) values.push_back(value);
  }
  const char* names[] = {"Acier \"316L\"", "N\xC3\xAF\\CrAlY\n", ""};
  for (std::size_t i = 0; i < values.size(); ++i) {
    InputParameters written = DefaultInputs();
    int field = 0;
    for (const auto& input : InputTable()) {
      ++field;
      if (input.RealField != nullptr) {
        // Each real input gets a different value of the list.
        written.*input.RealField = values[(i + static_cast<std::size_t>(field)) % values.size()];
      } else if (input.IntegerField != nullptr) {
        written.*input.IntegerField = static_cast<int>(i % 40000) - field;
      } else {
        written.*input.TextField = names[(i + static_cast<std::size_t>(field)) % 3];
      }
    }
    InputParameters read;
    ApplyCaseText(CaseText(written), "case.json", read);
    ASSERT_TRUE(SameBits(read, written)) << CaseText(written);
  }

  // Keys left out keep their values; the smallest subnormals read as zero or themselves.
  InputParameters in = DefaultInputs();
  EXPECT_EQ(Apply(R"({"InitialCurvature": 1e-400, "HeatFlux": 4.9e-324})", in), "");
  EXPECT_EQ(in.InitialCurvature, 0);
  EXPECT_EQ(in.HeatFlux, std::numeric_limits<double>::denorm_min());
  in.HeatFlux = DefaultInputs().HeatFlux;
  EXPECT_EQ(in, DefaultInputs());
}

}  // namespace
}  // namespace quillane
