// Case files read back bit for bit, are saved whole or not at all, and a faulty one changes no
// input. The fuzzer's reproducers (fuzz/) lie in tests/data/reliability/ as case_*.json.

#include "io/CaseFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>

#include "TestSupport.h"
#include "io/TextFile.h"
#include "model/InputTable.h"

namespace quillane {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

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

// Reads the case over the given inputs; returns CaseError's message, empty on success.
std::string Apply(const std::string& text, InputParameters& in) {
  const InputParameters before = in;
  try {
    ApplyCaseText(text, "case.json", in);
  } catch (const CaseError& error) {
    const std::string message = error.what();
    EXPECT_EQ(message.rfind("case.json: ", 0), 0u) << message;
    EXPECT_LT(message.size(), 300u) << message;
    EXPECT_TRUE(SameBits(in, before)) << "a refused case changed the inputs";
    return message;
  }
  return {};
}

TEST(CaseFileTest, FaultsNameTheFileAndTheKeyAndKeepEveryInput) {
  // A nesting this deep overflowed the stack when the wrong value was written back whole; it is
  // refused before it is read, as is one just past the limit, and one at it reads on.
  const auto nested = [](int depth) {
    return R"({"PassCount": )" + std::string(static_cast<std::size_t>(depth), '[') +
           std::string(static_cast<std::size_t>(depth), ']') + "}";
  };
  // A long text is cut between characters, never inside one: here the 60th byte is the second
  // of a two-byte "é".
  std::string accented = R"({"HeatFlux": "ab)";
  for (int i = 0; i < 60; ++i) accented += "\xC3\xA9";
  const std::vector<std::string> cases = {
      R"({"PassCount": )",
      "[1, 2]",
      R"({"Passes": 2})",
      // A terminal's escapes (C0 and C1) and a NUL, which once cut the message short.
      R"({"\u001b[31m\u0000\u009b": 2})",
      // The reader keeps the last of two; the first would be lost unsaid.
      R"({"PassCount": 2, "PassCount": 3})",
      R"({"PassCount": 2, "HeatFlux": "lots"})",
      R"({"SubstrateMaterialName": 316})",
      R"({"CoatingMaterialName": {"a": [1]}})",
      nested(200000),
      nested(64),
      nested(63),
      R"({"HeatFlux": "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["})",
      accented + "\"}",
      // A whole number too large for the field is told with its range, not as a fraction.
      R"({"PassCount": 2.5})",
      R"({"PassCount": 1e10})",
      R"({"WitnessCoat": -5000000000})",
      // Numbers beyond the double range escaped the reader as the JSON library's own error.
      R"({"HeatFlux": 1e400})",
      test::ReadFile(test::DataDir() / "reliability" / "case_number_overflow.json"),
      // A coat's fault names the coat.
      R"({"Coats": {"Material": "NiCrAlY"}})",
      R"({"Coats": [2]})",
      R"({"Coats": [{"Material": "NiCrAlY", "PassCount": 2}, {"Material": 3}]})",
      R"({"Coats": [{"Material": "NiCrAlY", "PassCount": 2.5}]})",
      R"({"Coats": [{"Material": "NiCrAlY", "Flux": 5e5}]})",
  };
  std::vector<std::string> told;
  for (const std::string& text : cases) {
    InputParameters in = DefaultInputs();
    told.push_back(Apply(text, in));
  }
  test::ExpectMessages("case file faults", told);
  int reproducers = 0;
  for (const auto& entry : std::filesystem::directory_iterator(test::DataDir() / "reliability")) {
    if (entry.path().filename().string().rfind("case_", 0) != 0) continue;
    SCOPED_TRACE(entry.path().filename().string());
    InputParameters in = DefaultInputs();
    Apply(test::ReadFile(entry.path()), in);
    ++reproducers;
  }
  EXPECT_GT(reproducers, 0);
}

// A device without end, or a file far larger than any case, is refused by its size before
// it fills the memory (/dev/zero once took 4 GB).
TEST(CaseFileTest, AFileLargerThanAnyCaseIsRefusedByName) {
  const test::TempDir dir;
  test::WriteFile(dir / "huge.json", "{");
  std::filesystem::resize_file(dir / "huge.json", kMaxJsonFileBytes + 1);
  for (const std::filesystem::path& path :
       {std::filesystem::path("/dev/zero"), dir / "huge.json"}) {
    InputParameters in = DefaultInputs();
    EXPECT_THAT([&] { ReadCaseFile(path, in); },
                ThrowsMessage<CaseError>("Cannot read the case file " + path.string() +
                                         ": it holds more than 64 MiB, far more than any case "
                                         "file."));
  }
}

TEST(CaseFileTest, EveryDoubleOfEveryInputReadsBackBitForBit) {
  using Limits = std::numeric_limits<double>;
  std::vector<double> values = {0.1, 1.0 / 3, 2 / 0.11, -0.0, 1e-9, std::nextafter(1e-9, 1.0)};
  values.insert(values.end(), {Limits::denorm_min(), Limits::min(), Limits::max(), -Limits::max()});
  std::mt19937_64 random(20240611);
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

TEST(CaseFileTest, SavedCasesHoldEveryKeyAndReplaceTheEarlierFileWhole) {
  test::TempDir dir;
  InputParameters saved = DefaultInputs();
  saved.PassThickness = 0.1 + 0.2;
  saved.SubstrateMaterialName = "Acier \"316L\"";
  CoatInput bond;
  bond.Material = "NiCrAlY";
  bond.PassCount = 3;
  bond.HeatFlux = 0.1 + 0.7;
  CoatInput top;
  top.Material = "Zircone yttriée";
  top.PassCount = 20;
  top.LamellaThickness = 1.0 / 3 * 1e-5;
  top.PauseBefore = 45;
  saved.Coats = {bond, top};
  test::WriteFile(dir / "case.json", "earlier");
  SaveCaseFile(dir / "case.json", saved);
  const auto json = nlohmann::json::parse(test::ReadFile(dir / "case.json"));
  EXPECT_EQ(json.size(), InputTable().size() + 1);
  // A coat holds only what it gives.
  EXPECT_EQ(json["Coats"][0].size(), 3u);
  EXPECT_EQ(json["Coats"][1].size(), 4u);
  for (const InputSpec& input : InputTable()) EXPECT_TRUE(json.contains(input.Key)) << input.Key;
  EXPECT_EQ(json["SubstrateMaterialName"], saved.SubstrateMaterialName);
  InputParameters read = DefaultInputs();
  ReadCaseFile(dir / "case.json", read);
  EXPECT_TRUE(SameBits(read, saved));

  const std::string before = test::ReadFile(dir / "case.json");
  saved.ParticleTemperature = std::numeric_limits<double>::infinity();
  EXPECT_THROW(SaveCaseFile(dir / "case.json", saved), CaseError);
  saved.ParticleTemperature = 1500;
  saved.Coats[1].HeatFlux = std::nan("");
  EXPECT_THAT([&] { SaveCaseFile(dir / "case.json", saved); },
              ThrowsMessage<CaseError>(
                  "\"HeatFlux\" of coat 2 is not a finite number and cannot be saved."));
  EXPECT_EQ(test::ReadFile(dir / "case.json"), before);
  EXPECT_EQ(test::Listing(dir.Path()), std::set<std::string>{"case.json"});
  // Read from a file, faults name it as given.
  const auto reproducer = test::DataDir() / "reliability" / "case_number_overflow.json";
  EXPECT_THAT([&] { ReadCaseFile(reproducer, read); },
              ThrowsMessage<CaseError>(HasSubstr(reproducer.string() + ": a number is beyond")));
  EXPECT_THAT([&] { ReadCaseFile(dir / "missing.json", read); },
              ThrowsMessage<CaseError>(
                  HasSubstr("Cannot read the case file " + (dir / "missing.json").string())));
}

}  // namespace
}  // namespace quillane
