// Bad inputs, each told once: one table over the input table at the validation level (the run
// tests check the exact messages), the catalogue's faults, and a few runs of the real program.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string_view>

#include "ModelFixture.h"
#include "ReliabilitySupport.h"
#include "format/NumberFormat.h"
#include "io/Summary.h"
#include "model/Errors.h"

namespace quillane::test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Inputs set over the defaults (SI, or names) and a piece of each fault expected (none: it runs).
struct Setting {
  const char* key;
  double value = 0;
  std::string text = {};
};
struct Row {
  std::vector<Setting> set;
  std::vector<std::string> faults = {};
};

// A pass and its lamellae must stay within 32767 lamellae of each other: when one is at a
// bound, the other is set where that limit cannot be reached.
std::vector<Setting> Partner(std::string_view key) {
  if (key == "PassThickness") return {{"LamellaThickness", 1}};
  if (key == "LamellaThickness") return {{"PassThickness", 1e-9}};
  return {};
}

std::vector<Row> Rows() {
  std::vector<Row> rows;
  for (const InputSpec& input : InputTable()) {
    if (!input.Ranged) continue;
    const auto row = [&](double value, const std::string& fault) {
      std::vector<Setting> set = Partner(input.Key);
      set.push_back({input.Key, value});
      rows.push_back({set, fault.empty() ? std::vector<std::string>{} : std::vector{fault}});
    };
    const std::string named = std::string(input.Key) + " (" + input.Flag + ") is ";
    const bool whole = input.IntegerField != nullptr;
    row(input.Min, "");
    row(input.Max, "");
    row(whole ? input.Min - 1 : std::nextafter(input.Min, -kInf), named);
    row(whole ? input.Max + 1 : std::nextafter(input.Max, kInf), named);
    if (whole) continue;
    if (input.Min == 0) row(std::numeric_limits<double>::min(), "");
    for (double value : {kNaN, kInf, -kInf}) row(value, named + "not a finite number");
  }
  const std::string bend = "cannot bend more than 2 / length = ";
  const std::string count = "a pass must hold fewer than 32767 lamellae";
  const std::vector<Row> more = {
      // The checks across inputs are left out while one of the inputs is faulty: told once.
      {{{"LamellaThickness", 1e-13}}, {"LamellaThickness (--lamella-thickness) is"}},
      {{{"PassThickness", 5}}, {"PassThickness (--pass-thickness) is"}},
      {{{"SpecimenLength", 5}, {"InitialCurvature", 1}}, {"SpecimenLength (--specimen-length)"}},
      {{{"SubstrateWidth", 0}, {"GasTemperature", kNaN}}, {"SubstrateWidth", "GasTemperature"}},
      {{{"LamellaThickness", 0}, {"CoatingMaterialName", 0, "unobtainium"}},
       {"LamellaThickness", "unobtainium"}},
      {{{"PassThickness", 32767e-6}}, {count}},
      {{{"PassThickness", 32766.5e-6}}},
      // A radius that overflows, or whose square does, still runs.
      {{{"InitialCurvature", -25}}},
      {{{"InitialCurvature", 1e-310}}},
      {{{"InitialCurvature", -1e-155}}},
      {{{"InitialCurvature", std::nextafter(25, kInf)}}, {bend + "25 1/m"}},
      {{{"InitialCurvature", -26}}, {bend + "25 1/m"}},
      {{{"InitialCurvature", 2.0000001}, {"SpecimenLength", 1}}, {bend + "2 1/m"}},
      {{{"InitialCurvature", kNaN}}, {"InitialCurvature (--curvature) is not a finite number"}},
      // Exactly 2 / length, where 4 R² - L² rounds below 0: a half circle.
      {{{"InitialCurvature", 2 / 0.11}, {"SpecimenLength", 0.11}}},
      // Names are matched whole, as text (not as patterns), letter case aside.
      {{{"CoatingMaterialName", 0, "NiCrAlY "}}, {"The coating material \"NiCrAlY \" is not in"}},
      {{{"CoatingMaterialName", 0, std::string(5000, 'x')}}, {"The coating material \"xxx"}},
      {{{"SubstrateMaterialName", 0, "Acier_316L"}}, {"The substrate material \"Acier_316L\""}},
      {{{"CoatingMaterialName", 0, ""}}, {"No coating material is chosen."}},
      {{{"CoatingMaterialName", 0, "nicraly"}, {"SubstrateMaterialName", 0, "ACIER 316L"}}},
      // The whole deposit runs at both ends of the room temperature's range.
      {{{"StressModel", 0, "whole-deposit"}, {"RoomTemperature", 1e4}}},
      {{{"StressModel", 0, "whole-deposit"}, {"RoomTemperature", 1}, {"PassCount", 3}}},
  };
  rows.insert(rows.end(), more.begin(), more.end());
  return rows;
}

using BadInputMatrixTest = ModelFixture;

TEST_F(BadInputMatrixTest, EveryInputOnAndBeyondItsRange) {
  // Typed as the help shows them, the bounds of every flag read back exactly.
  for (const InputSpec& input : InputTable()) {
    for (const double bound : {input.Min, input.Max}) {
      const auto typed = format::ParseStrict(format::FormatGeneral(input.ToDisplay(bound)));
      EXPECT_EQ(input.FromDisplay(typed.value_or(kNaN)), bound) << input.Flag;
    }
  }
  const ModelState defaults = state;
  int refused = 0;
  for (const Row& row : Rows()) {
    state = defaults;
    std::string what;
    for (const Setting& s : row.set) {
      const InputSpec& input = Input(s.key);
      if (input.TextField != nullptr) state.Input.*input.TextField = s.text;
      if (input.TextField == nullptr) input.Set(state.Input, s.value);
      what += std::string(s.key) + "=" + s.text + format::FormatGeneral(s.value) + " ";
    }
    SCOPED_TRACE(what);
    const std::vector<InputFault> faults = FindInputFaults(state, &catalogue);
    ASSERT_EQ(faults.size(), row.faults.size()) << (faults.empty() ? "" : faults[0].English);
    for (std::size_t i = 0; i < faults.size(); ++i) {
      EXPECT_THAT(faults[i].English, HasSubstr(row.faults[i]));
    }
    if (!faults.empty()) {
      EXPECT_THROW(ValidateRunInputs(state, &catalogue), InputError);
      ++refused;
      continue;
    }
    // Accepted values run to the end with finite results; 32767 passes or lamellae take long.
    ValidateRunInputs(state, &catalogue);
    if (state.Input.PassCount > 100 ||
        state.Input.PassThickness > 100 * state.Input.LamellaThickness) {
      continue;
    }
    EXPECT_NO_THROW(ExecuteRun(state, &catalogue, paths, sink));
    EXPECT_EQ(SummaryJson(state).find("null"), std::string::npos);
  }
  EXPECT_GT(refused, 70);
}

using CatalogueFaultTest = ResultFolderTest;

std::string Set(const char* material, const char* column, const char* value) {
  return std::string("UPDATE \"matériaux\" SET ") + column + " = " + value +
         " WHERE \"Matériaux\" = '" + material + "';";
}

// Every fault of a catalogue: unreadable, a figure not a number (refused as it opens) or beyond
// its bounds (refused before the run); told once with material and column, nothing changed.
TEST_F(CatalogueFaultTest, EveryFaultIsToldWithTheFileMaterialAndColumn) {
  const std::string reference = ReadFile(DataDir() / "p1" / "catalogue.sql");
  using Faults = std::vector<std::pair<std::string, const char*>>;
  const Faults bounds = {
      {Set("NiCrAlY", "Lambda", "1e300"), "Lambda is 1E+300; it must lie between 1E-06 and"},
      {Set("contact", "Rho", "-1"), "Material \"contact\": Rho is -1; it must lie between 1"},
      {Set("NiCrAlY", "Rho", "1e-300"), "Rho is 1E-300; it must lie between 1 and 100000"},
      {Set("Acier 316L", "Cp", "0"), "Material \"Acier 316L\": Cp is 0"},
      {Set("NiCrAlY", "Tfusion", "-1e300"), "Tfusion is -1E+300; it must lie between 0 and"},
      {Set("NiCrAlY", "Lfusion", "1e9"), "Lfusion is 1000000000; it must lie between 0 and"},
      {Set("Acier 316L", "ModuleYoung", "0"), "ModuleYoung is 0; it must lie between 1000 and"},
      {Set("Acier 316L", "Poisson", "1.0"), "Acier 316L\": Poisson is 1; it must be less than 1."},
      {Set("NiCrAlY", "Poisson", "-1e300"), "Poisson is -1E+300; it must lie between -1 and 1."},
      {Set("NiCrAlY", "dilat", "1e10"), "dilat is 10000000000; it must lie between -0.001"},
      {Set("NiCrAlY", "SigmaQ", "1e300"), "SigmaQ is 1E+300; it must lie between -10000000000 and"},
  };
  // The faults found as the catalogue opens name its file too.
  const Faults unreadable = {
      {Set("NiCrAlY", "dilat", "1e999"), "is not a finite number"},
      {Set("NiCrAlY", "SigmaQ", "X'00'"), "binary data"},
      {"DELETE FROM \"matériaux\" WHERE \"Matériaux\" = 'contact';",
       "The contact layer material \"contact\" is not in"},
      {"ALTER TABLE \"matériaux\" DROP COLUMN SigmaQ;", "\"SigmaQ\""},
      {"ALTER TABLE \"matériaux\" RENAME TO materials;", "\"matériaux\""},
  };
  const auto expectRefused = [&](const std::filesystem::path& db, const std::string& message,
                                 bool atOpening = true) {
    const std::string bytes = std::filesystem::exists(db) ? ReadFile(db) : "";
    ExpectRefused(Run({"--catalogue", db.string()}), message);
    EXPECT_EQ(err.str().find(db.string()) != std::string::npos, atOpening) << err.str();
    EXPECT_EQ(std::filesystem::exists(db) ? ReadFile(db) : "", bytes) << message;
  };
  int made = 0;
  for (const bool atOpening : {false, true}) {
    for (const auto& [change, message] : atOpening ? unreadable : bounds) {
      const std::filesystem::path db = catalogueDir / ("bad" + std::to_string(++made) + ".db");
      WriteFile(db.string() + ".sql", reference + change);
      BuildDatabase(db.string() + ".sql", db);
      expectRefused(db, message, atOpening);
    }
  }
  expectRefused(catalogueDir / "none.db", "Materials catalogue not found: ");
  WriteFile(catalogueDir / "text.db", "this is not a database, only text\n");
  expectRefused(catalogueDir / "text.db", "not a valid SQLite");
  // Every page but the schema page overwritten.
  std::string bytes = ReadFile(catalogueDir / "bad1.db");
  ASSERT_GT(bytes.size(), 4096u);
  std::fill(bytes.begin() + 4096, bytes.end(), '\x5a');
  WriteFile(catalogueDir / "pages.db", bytes);
  expectRefused(catalogueDir / "pages.db", "not a valid SQLite");
}

TEST_F(CatalogueFaultTest, TheProgramItselfRefusesWithOneMessage) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"--heat-flux", "nan"}, "--heat-flux: \"nan\" is not a number."},
      {{"--passes", "2.5"}, "--passes: \"2.5\" is not a whole number."},
      {{"--passes", "1e308"}, "--passes: \"1e308\" is out of range; --passes takes 0 to 32767."},
      // Typed in kW/m², the largest doubles overflow once in W/m².
      {{"--heat-flux", "1e308"}, "HeatFlux (--heat-flux) is not a finite number"},
  };
  for (auto [args, message] : cases) {
    args.insert(args.end(), {"--catalogue", Catalogue(), "--quiet"});
    const ProgramRun run = RunProgram(args, dir.Path());
    ExpectRefused(run.exitCode, message, run.err);
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
  EXPECT_EQ(RunProgram({"--catalogue", Catalogue(), "-q"}, dir.Path()).exitCode, 0);
  EXPECT_NE(ReadFile(dir / "Thermique.txt"), kEarlierThermal);
}

}  // namespace
}  // namespace quillane::test
