// Bad inputs of the batch program, flag by flag: every numeric flag against texts that are not
// numbers, values that overflow, negatives, zero and values just outside its documented range
// (each must give exactly one message naming the input and its range, exit 1 and touch no
// file), and values on and just inside its range (each must run, exit 0). Then material names
// and faulty catalogues.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <set>
#include <sstream>
#include <string_view>

#include "ReliabilitySupport.h"
#include "TestSupport.h"
#include "cli/BatchProgram.h"
#include "format/NumberFormat.h"
#include "model/InputTable.h"

namespace quillane::test {
namespace {

// A numeric flag of the input table, with its range in the unit the flag is typed in, as the
// help gives it.
struct Flag {
  const InputSpec* input;
  const char* name;
  std::string min;
  std::string max;
  // Given with every run of this flag, so that the accepted runs stay short and valid.
  std::vector<std::string> companions;
};

const std::vector<Flag>& Flags() {
  static const std::vector<Flag> kFlags = [] {
    std::vector<Flag> flags;
    for (const auto& input : InputTable()) {
      if (!input.Ranged) continue;
      Flag flag{&input,
                input.Flag,
                format::FormatGeneral(input.Min / input.DisplayFactor),
                format::FormatGeneral(input.Max / input.DisplayFactor),
                {}};
      // A pass and its lamellae must stay within 32767 lamellae of each other.
      if (input.RealField == &InputParameters::PassThickness) {
        flag.companions = {"--lamella-thickness", "1000000"};
      } else if (input.RealField == &InputParameters::LamellaThickness) {
        flag.companions = {"--pass-thickness", "0.001"};
      }
      flags.push_back(std::move(flag));
    }
    return flags;
  }();
  return kFlags;
}

double Read(const std::string& text) {
  return *format::ParseStrict(text);
}

// The shown value scaled by (1 + relative), in the shortest text that reads back.
std::string Nudged(const std::string& text, double relative) {
  return format::FormatGeneral(Read(text) * (1 + relative));
}

std::string WithUnit(const std::string& number, const char* unit) {
  return unit[0] != '\0' ? number + " " + unit : number;
}

// The parts of an out-of-range message: the input named with its flag, its range in SI units
// and, when the flag is typed in another unit, in that unit.
std::vector<std::string> RangePieces(const Flag& flag) {
  const auto& input = *flag.input;
  std::vector<std::string> pieces = {
      std::string(input.Key) + " (" + flag.name + ") is ",
      "; it must lie between " + WithUnit(format::FormatGeneral(input.Min), input.Unit) + " and " +
          WithUnit(format::FormatGeneral(input.Max), input.Unit)};
  if (input.DisplayFactor != 1) {
    pieces.push_back("(" + std::string(flag.name) + " takes " + flag.min + " to " +
                     WithUnit(flag.max, input.DisplayUnit) + ").");
  }
  return pieces;
}

enum class Expect { NotANumber, NotWhole, OutOfRange, NotFinite, Accepted };

struct Case {
  const Flag* flag;
  std::string value;
  Expect expect;
};

// The whole matrix of one flag.
std::vector<Case> CasesOf(const Flag& flag) {
  std::vector<Case> cases;
  for (const char* text : {"", "abc", "nan", "NaN", "inf", "-inf", "Infinity", "1e999", "-1e999",
                           "12abc", "0x10", "1.2.3", "1e", " ", "1 000"}) {
    cases.push_back({&flag, text, Expect::NotANumber});
  }
  const bool zeroAllowed = Read(flag.min) == 0;
  cases.push_back({&flag, "-1", Expect::OutOfRange});
  cases.push_back({&flag, "0", zeroAllowed ? Expect::Accepted : Expect::OutOfRange});
  // Typed in a unit larger than SI, the largest doubles overflow once converted.
  const Expect huge = flag.input->DisplayFactor > 1 ? Expect::NotFinite : Expect::OutOfRange;
  cases.push_back({&flag, "1e308", huge});
  cases.push_back({&flag, "-1e308", huge});
  cases.push_back({&flag, flag.min, Expect::Accepted});
  cases.push_back({&flag, flag.max, Expect::Accepted});
  if (flag.input->IntegerField != nullptr) {
    cases.push_back({&flag, "2.5", Expect::NotWhole});
    cases.push_back({&flag, "1e-300", Expect::NotWhole});
    cases.push_back({&flag, std::to_string(std::lround(Read(flag.max)) + 1), Expect::OutOfRange});
    cases.push_back({&flag, std::to_string(std::lround(Read(flag.max)) - 1), Expect::Accepted});
    cases.push_back({&flag, "1", Expect::Accepted});
  } else {
    cases.push_back({&flag, Nudged(flag.max, 1e-6), Expect::OutOfRange});
    cases.push_back({&flag, Nudged(flag.max, -1e-6), Expect::Accepted});
    if (zeroAllowed) {
      cases.push_back({&flag, "-1e-300", Expect::OutOfRange});
      cases.push_back({&flag, "1e-300", Expect::Accepted});
    } else {
      cases.push_back({&flag, Nudged(flag.min, -1e-6), Expect::OutOfRange});
      cases.push_back({&flag, Nudged(flag.min, 1e-6), Expect::Accepted});
      cases.push_back({&flag, "1e-320", Expect::OutOfRange});
    }
  }
  return cases;
}

class BadInputMatrixTest : public ::testing::Test {
 protected:
  static constexpr const char* kEarlier = "earlier thermal results\r\n";

  void SetUp() override {
    setenv("LC_ALL", "C", 1);
    BuildCatalogue(ReferenceRows(), dir / "p1.db");
    WriteFile(dir / "Thermique.txt", kEarlier);
  }

  int Run(std::vector<std::string> args, const std::string& catalogue = "p1.db") {
    args.insert(args.end(), {"--catalogue", (dir / catalogue).string(), "--thermal",
                             (dir / "Thermique.txt").string(), "--stress",
                             (dir / "Stress.txt").string(), "--quiet"});
    out.str("");
    err.str("");
    return cli::RunBatch(args, out, err);
  }

  // The fault lines of the last run: those listed under the input header, or the one line of
  // any other fault.
  std::vector<std::string> Faults() const {
    constexpr std::string_view kProgram = "quillane-batch: ";
    std::vector<std::string> lines;
    std::istringstream text(err.str());
    for (std::string line; std::getline(text, line);) {
      if (line.rfind("  ", 0) == 0) {
        lines.push_back(line.substr(2));
      } else if (line.rfind(kProgram, 0) == 0 &&
                 line.find("inputs cannot be used") == std::string::npos) {
        lines.push_back(line.substr(kProgram.size()));
      }
    }
    return lines;
  }

  // A refused run: exit 1, one message that holds every expected piece, no file changed.
  void ExpectRefused(int exitCode, const std::vector<std::string>& pieces,
                     const std::string& what) {
    EXPECT_EQ(exitCode, 1) << what;
    const std::vector<std::string> faults = Faults();
    ASSERT_EQ(faults.size(), 1u) << what << "\n" << err.str();
    for (const std::string& piece : pieces) {
      EXPECT_NE(faults[0].find(piece), std::string::npos)
          << what << ": \"" << piece << "\" missing from: " << faults[0];
    }
    EXPECT_EQ(ReadFile(dir / "Thermique.txt"), kEarlier) << what;
    EXPECT_EQ(Listing(dir.Path()), before) << what << ": a file was left or removed";
  }

  void ExpectAccepted(int exitCode, const std::string& what) {
    EXPECT_EQ(exitCode, 0) << what << "\n" << err.str();
    EXPECT_NE(ReadFile(dir / "Thermique.txt"), kEarlier) << what;
    WriteFile(dir / "Thermique.txt", kEarlier);
    std::filesystem::remove(dir / "Stress.txt");
  }

  TempDir dir;
  std::ostringstream out;
  std::ostringstream err;
  std::set<std::string> before;
};

TEST_F(BadInputMatrixTest, FlagRangesReadBackAsTheRangesOfTheTable) {
  EXPECT_EQ(Flags().size(), 14u);
  for (const Flag& flag : Flags()) {
    // Typing a boundary as the help shows it must give the SI boundary exactly.
    EXPECT_EQ(Read(flag.min) * flag.input->DisplayFactor, flag.input->Min) << flag.name;
    EXPECT_EQ(Read(flag.max) * flag.input->DisplayFactor, flag.input->Max) << flag.name;
  }
}

TEST_F(BadInputMatrixTest, EveryNumericFlagAgainstEveryKindOfBadValue) {
  before = Listing(dir.Path());
  int refused = 0;
  int accepted = 0;
  for (const Flag& flag : Flags()) {
    for (const Case& c : CasesOf(flag)) {
      std::vector<std::string> args = {flag.name, c.value};
      args.insert(args.end(), flag.companions.begin(), flag.companions.end());
      // The longest accepted runs are cut short: a run of 32767 passes is only validated, by
      // asking for a summary in a folder that does not exist (checked after the inputs).
      const bool validateOnly = c.expect == Expect::Accepted &&
                                flag.name == std::string("--passes") && Read(c.value) > 10;
      if (validateOnly) args.insert(args.end(), {"--summary", (dir / "no" / "s.json").string()});
      const std::string what = std::string(flag.name) + " \"" + c.value + "\"";
      const int code = Run(args);
      switch (c.expect) {
        case Expect::NotANumber:
          ExpectRefused(code, {std::string(flag.name) + ": \"" + c.value + "\" is not a number."},
                        what);
          break;
        case Expect::NotWhole:
          ExpectRefused(code,
                        {std::string(flag.name) + ": \"" + c.value + "\" is not a whole number."},
                        what);
          break;
        case Expect::OutOfRange:
          // A count beyond what its field holds is refused as the flag is read.
          if (flag.input->IntegerField != nullptr && std::fabs(Read(c.value)) > 1e9) {
            ExpectRefused(code,
                          {std::string(flag.name) + ": \"" + c.value + "\" is out of range; " +
                           flag.name + " takes " + flag.min + " to " + flag.max + "."},
                          what);
          } else {
            ExpectRefused(code, RangePieces(flag), what);
          }
          break;
        case Expect::NotFinite:
          ExpectRefused(code,
                        {std::string(flag.input->Key) + " (" + flag.name +
                         ") is not a finite number; " + "it must lie between"},
                        what);
          break;
        case Expect::Accepted:
          if (validateOnly) {
            EXPECT_EQ(code, 1) << what;
            EXPECT_EQ(err.str().find("inputs cannot be used"), std::string::npos) << err.str();
            EXPECT_NE(err.str().find("Cannot create"), std::string::npos) << err.str();
          } else {
            ExpectAccepted(code, what);
          }
          ++accepted;
          continue;
      }
      ++refused;
    }
  }
  RecordProperty("refused", refused);
  RecordProperty("accepted", accepted);
  std::cout << "bad-input matrix: " << refused << " refused, " << accepted << " accepted\n";
  EXPECT_GE(refused, 280);
  EXPECT_GE(accepted, 60);
}

TEST_F(BadInputMatrixTest, OneFaultyInputIsToldOnceEvenWhereInputsDependOnEachOther) {
  before = Listing(dir.Path());
  // The lamella count and the curvature limit are checked only between valid inputs.
  ExpectRefused(Run({"--lamella-thickness", "1e-7"}), {"LamellaThickness"}, "thin lamella");
  ExpectRefused(Run({"--pass-thickness", "5000000"}), {"PassThickness"}, "thick pass");
  ExpectRefused(Run({"--specimen-length", "5", "--curvature", "1"}), {"SpecimenLength"},
                "long specimen");
  // Both faulty: two messages, one each.
  EXPECT_EQ(Run({"--width", "0", "--gas-temperature", "abc"}), 1);
  EXPECT_EQ(Faults().size(), 2u) << err.str();
}

TEST_F(BadInputMatrixTest, CurvatureIsBoundedByTwiceTheInverseSpecimenLength) {
  before = Listing(dir.Path());
  for (const char* text : {"", "nan", "inf", "-inf", "1e999", "x"}) {
    ExpectRefused(Run({"--curvature", text}),
                  {std::string("--curvature: \"") + text + "\" is not a number."}, text);
  }
  for (const char* text : {"1e308", "-1e308", "25.000001", "-25.000001", "26"}) {
    ExpectRefused(Run({"--curvature", text}),
                  {"InitialCurvature", "cannot bend more than 2 / length = 25 1/m"}, text);
  }
  ExpectRefused(Run({"--curvature", "2.0000001", "--specimen-length", "1"}),
                {"InitialCurvature", "2 / length = 2 1/m"}, "one metre");
  // Even a radius whose square overflows gives a finite run.
  for (const char* text :
       {"0", "-0", "25", "-25", "24.99999", "1e-100", "-1e-100", "1e-300", "-1e-155", "1e-310"}) {
    ExpectAccepted(Run({"--curvature", text}), text);
  }
  ExpectAccepted(Run({"--curvature", "2", "--specimen-length", "1"}), "one metre, 2 1/m");
  // Exactly 2 / length, where 4 R² - L² rounds below 0: a half circle, with finite results.
  ExpectAccepted(Run({"--curvature", "18.181818181818183", "--specimen-length", "0.11", "--summary",
                      (dir / "half.json").string()}),
                 "half circle");
  EXPECT_EQ(ReadFile(dir / "half.json").find("null"), std::string::npos);
  std::filesystem::remove(dir / "half.json");
}

TEST_F(BadInputMatrixTest, LamellaCountPerPassStaysBelowTheLimit) {
  before = Listing(dir.Path());
  ExpectRefused(Run({"--pass-thickness", "32767", "--lamella-thickness", "1"}),
                {"fewer than 32767 lamellae"}, "32767 lamellae");
  ExpectRefused(Run({"--pass-thickness", "1000000", "--lamella-thickness", "30"}),
                {"fewer than 32767 lamellae"}, "1 m in 30 µm lamellae");
  // 32767 lamellae in one pass: only validated (see above).
  EXPECT_EQ(Run({"--pass-thickness", "32766.5", "--lamella-thickness", "1", "--summary",
                 (dir / "no" / "s.json").string()}),
            1);
  EXPECT_EQ(err.str().find("inputs cannot be used"), std::string::npos) << err.str();
}

TEST_F(BadInputMatrixTest, UnknownAndQuotedMaterialNames) {
  before = Listing(dir.Path());
  const struct {
    const char* flag;
    std::string name;
  } unknown[] = {
      {"--substrate", "NiCrAlY\""},
      {"--coating", "\"NiCrAlY\""},
      {"--coating", "'NiCrAlY'"},
      {"--coating", "NiCrAlY "},
      {"--coating", "NiCr%"},
      {"--substrate", "Acier_316L"},
      {"--coating", "NiCrAlY'; DROP TABLE \"matériaux\"; --"},
      {"--coating",
       "N\xC3\xAF"
       "CrAlY"},
      {"--coating", std::string(5000, 'x')},
  };
  for (const auto& u : unknown) {
    const std::string role = u.flag == std::string("--coating") ? "coating" : "substrate";
    ExpectRefused(Run({u.flag, u.name}),
                  {"The " + role + " material \"" + u.name + "\" is not in the catalogue"}, u.name);
  }
  ExpectRefused(Run({"--coating", ""}), {"No coating material is chosen."}, "empty name");
  // Letter case does not matter; the catalogue still holds the names as written.
  ExpectAccepted(Run({"--coating", "nicraly", "--substrate", "ACIER 316L", "--passes", "0"}),
                 "case");
}

TEST_F(BadInputMatrixTest, FaultyCatalogueFiguresAreToldWithTheMaterialAndColumn) {
  before = Listing(dir.Path());
  const struct {
    const char* material;
    std::string CatalogueRow::*column;
    const char* value;
    const char* message;
  } faults[] = {
      {"NiCrAlY", &CatalogueRow::Lambda, "0.0",
       "Material \"NiCrAlY\": Lambda is 0; it must lie between 1E-06 and 10000 W/(m·K)."},
      {"Acier 316L", &CatalogueRow::Poisson, "1.0",
       "Material \"Acier 316L\": Poisson is 1; it must be less than 1."},
      {"NiCrAlY", &CatalogueRow::Poisson, "1.5", "Poisson is 1.5"},
      {"Acier 316L", &CatalogueRow::ModuleYoung, "0",
       "Material \"Acier 316L\": ModuleYoung is 0; it must lie between 1000 and 10000000000000 "
       "Pa."},
      {"contact", &CatalogueRow::Rho, "-1", "Material \"contact\": Rho is -1"},
      {"Acier 316L", &CatalogueRow::Cp, "0", "Material \"Acier 316L\": Cp is 0"},
      {"NiCrAlY", &CatalogueRow::Lambda, "'abc'", "\"Lambda\" for material \"NiCrAlY\""},
      {"NiCrAlY", &CatalogueRow::ModuleYoung, "NULL", "is missing (NULL)"},
      {"NiCrAlY", &CatalogueRow::dilat, "1e999", "is not a finite number"},
      {"NiCrAlY", &CatalogueRow::SigmaQ, "X'00'", "binary data"},
  };
  int index = 0;
  for (const auto& f : faults) {
    std::vector<CatalogueRow> rows = ReferenceRows();
    for (CatalogueRow& row : rows) {
      if (row.Name == f.material) row.*f.column = f.value;
    }
    const std::string name = "bad" + std::to_string(index++) + ".db";
    BuildCatalogue(rows, dir / name);
    before.insert(name);
    ExpectRefused(Run({}, name), {f.message}, f.message);
  }
  std::vector<CatalogueRow> rows = ReferenceRows();
  rows.pop_back();
  BuildCatalogue(rows, dir / "nocontact.db");
  before.insert("nocontact.db");
  ExpectRefused(Run({}, "nocontact.db"), {"The contact layer material \"contact\" is not in"},
                "no contact row");
  WriteFile(dir / "text.db", "this is not a database, only text\n");
  before.insert("text.db");
  ExpectRefused(Run({}, "text.db"), {}, "a text file");
  EXPECT_NE(err.str().find("not a valid SQLite database"), std::string::npos) << err.str();
}

// Figures the checks let through but the model cannot handle well: the run either ends, with
// warnings where its results leave physical ground, or fails with a message saying that no
// result file was changed.
TEST_F(BadInputMatrixTest, ExtremeCatalogueFiguresAreRefusedWithTheirRange) {
  before = Listing(dir.Path());
  const struct {
    std::string CatalogueRow::*column;
    const char* value;
    const char* message;
  } figures[] = {
      {&CatalogueRow::SigmaQ, "1e300",
       "SigmaQ is 1E+300; it must lie between -10000000000 and 10000000000 Pa."},
      {&CatalogueRow::Lambda, "1e300", "Lambda is 1E+300; it must lie between 1E-06 and 10000"},
      {&CatalogueRow::Rho, "1e-300", "Rho is 1E-300; it must lie between 1 and 100000"},
      {&CatalogueRow::ModuleYoung, "1e300", "ModuleYoung is 1E+300"},
      {&CatalogueRow::dilat, "1e10",
       "dilat is 10000000000; it must lie between -0.001 and 0.001 1/K."},
      {&CatalogueRow::Poisson, "-1e300", "Poisson is -1E+300; it must lie between -1 and 1."},
      {&CatalogueRow::Tfusion, "-1e300", "Tfusion is -1E+300; it must lie between 0 and 100000 K"},
      {&CatalogueRow::Cp, "1e-300", "Cp is 1E-300"}};
  for (const auto& f : figures) {
    std::vector<CatalogueRow> rows = ReferenceRows();
    rows[1].*f.column = f.value;
    BuildCatalogue(rows, dir / "extreme.db");
    const int code = Run({}, "extreme.db");
    EXPECT_EQ(code, 1) << f.value;
    EXPECT_NE(err.str().find(std::string("Material \"NiCrAlY\": ") + f.message), std::string::npos)
        << err.str();
    EXPECT_EQ(ReadFile(dir / "Thermique.txt"), kEarlier) << f.value;
    std::filesystem::remove(dir / "extreme.db");
    EXPECT_EQ(Listing(dir.Path()), before) << f.value;
  }
}

// The real program, for a few of the cases above: its exit status and its standard error.
TEST_F(BadInputMatrixTest, TheProgramItselfExitsWithStatusOneAndOneMessage) {
  const std::string catalogue = (dir / "p1.db").string();
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--heat-flux", "nan"}, "--heat-flux: \"nan\" is not a number."},
      {{"--passes", "1e308"}, "--passes: \"1e308\" is out of range; --passes takes 0 to 32767."},
      {{"--width", "0"}, "SubstrateWidth (--width) is 0 m; it must lie between 1E-09 m and 1 m."},
      {{"--coating", "x' OR '1'='1"}, "\"x' OR '1'='1\" is not in the catalogue"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--catalogue", catalogue, "--quiet"});
    const ProgramRun run = RunProgram(args, {dir.Path()});
    EXPECT_EQ(run.exitCode, 1) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_EQ(ReadFile(dir / "Thermique.txt"), kEarlier);
    EXPECT_FALSE(std::filesystem::exists(dir / "Stress.txt"));
  }
  const ProgramRun run =
      RunProgram({"--catalogue", catalogue, "--passes", "0", "-q"}, {dir.Path()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(ReadFile(dir / "Thermique.txt"), kEarlier);
}

}  // namespace
}  // namespace quillane::test
