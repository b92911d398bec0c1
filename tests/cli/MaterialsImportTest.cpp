// The user's materials from the batch program: a CSV is imported whole or not at all, the
// merged catalogue is exported and runs use the user's rows.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "TestSupport.h"
#include "cli/BatchProgram.h"

namespace quillane::cli {
namespace {

using ::testing::HasSubstr;

constexpr const char* kHeader =
    "Matériaux;Lambda;Rho;Cp;Tfusion;Lfusion;ModuleYoung;Poisson;"
    "dilat;SigmaQ;Source\n";

// The user's catalogue goes to a folder of the test; the shipped one must never change.
class MaterialsImportTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1); }
  void TearDown() override {
    setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1);
    if (savedDataHome.empty()) unsetenv("XDG_DATA_HOME");
    EXPECT_TRUE(test::ReadFile(shipped) == shippedBytes) << "the shipped catalogue changed";
  }
  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    return RunBatch(args, out, err);
  }
  std::string Path(const std::string& name) const { return (dir / name).string(); }

  test::TempDir dir;
  const std::filesystem::path userFile = dir / "data" / "quillane" / "materiaux.db";
  const std::filesystem::path shipped = test::BuildDir() / "Brelon.db";
  const std::string shippedBytes = test::ReadFile(shipped);
  const std::string savedDataHome =
      std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
  std::ostringstream out;
  std::ostringstream err;
};

// A row or a point that cannot be read, of no known material, or that makes no table is named by
// its line, and nothing is imported.
TEST_F(MaterialsImportTest, AFaultyCsvImportsNothingAndNamesEveryBadLine) {
  const std::string a = "A;1;1;1;1;1;1e9;0,3;1e-6;0;\n";
  const std::string good = "A,Lambda,300,1\nA,Lambda,600,2\n";
  const std::pair<std::string, std::string> cases[] = {
      // A figure out of its bounds between two good rows.
      {a + "B;0;1;1;1;1;1e9;0,3;1e-6;0;\nC;1;1;1;1;1;1e9;0,3;1e-6;0;\n", ""},
      // The same name twice, letter case aside.
      {a + "B;1;1;1;1;1;1e9;0,3;1e-6;0;\na;1;1;1;1;1;1e9;0,3;1e-6;0;\n", ""},
      {a + "B;1;x;1;1;1;1e9;0,3;1e-6;0;\n", ""},
      // A NUL cut the name short, and the row replaced the shipped steel.
      {a + std::string("Acier 316L\0junk;1;1;1;1;1;1e9;0,3;1e-6;0;\n", 42), ""},
      {a, good + "Inconnu,Cp,300,1\nInconnu,Cp,600,2\n"},
      {a, good + "A,Rho,300,1\n"},
      {a, good + "A,Cp,chaud,1\n"},
      {a, good + "A,Cp,300\n"},
      {a, good + "A,Cp,300,1\nA,dilat,300,1\nA,Cp,300,2\n"},
  };
  std::vector<std::string> rows, points;  // the messages of each file's faults
  for (const auto& [csv, table] : cases) {
    test::WriteFile(dir / "m.csv", kHeader + csv);
    test::WriteFile(dir / "p.csv", "material,figure,temperature,value\n" + table);
    std::vector<std::string> args = {"--import-materials", Path("m.csv")};
    if (!table.empty()) args.push_back(Path("p.csv"));
    EXPECT_EQ(Run(args), 1) << csv << table;
    EXPECT_FALSE(std::filesystem::exists(userFile)) << csv << table;
    std::string told = err.str();
    const std::size_t at = told.find(dir.Path().string());
    if (at != std::string::npos) told.replace(at, dir.Path().string().size(), "<dir>");
    (table.empty() ? rows : points).push_back(told);
  }
  test::ExpectMessages("materials csv", rows);
  test::ExpectMessages("materials points csv", points);
}

TEST_F(MaterialsImportTest, ImportedRowsOverrideTheShippedOnesInRunsAndExports) {
  test::WriteFile(dir / "m.csv", std::string(kHeader) +
                                     "NiCrAlY;10,5;7800;480;1650;290000;100e9;0,3;13e-6;150e6;"
                                     "mesure 2026\n"
                                     "\"Mon; acier\";15;7900;500;1700;270000;190e9;0,3;16e-6;0;\n");
  ASSERT_EQ(Run({"--import-materials", Path("m.csv")}), 0) << err.str();
  EXPECT_THAT(out.str(), HasSubstr("2 materials imported into " + userFile.string()));

  ASSERT_EQ(Run({"--export-materials", Path("all.csv")}), 0) << err.str();
  const std::string exported = test::ReadFile(dir / "all.csv");
  EXPECT_THAT(exported,
              HasSubstr("NiCrAlY,10.5,7800,480,1650,290000,1e+11,0.3,1.3e-05,1.5e+08,utilisateur,"
                        "mesure 2026\n"));
  EXPECT_THAT(exported, HasSubstr("Mon; acier,15,"));
  EXPECT_THAT(exported, HasSubstr("Acier 316L,16.3,"));

  // The export reads back as an import of the same figures, bit for bit (every row is then the
  // user's).
  ASSERT_EQ(Run({"--import-materials", Path("all.csv")}), 0) << err.str();
  ASSERT_EQ(Run({"--export-materials", Path("again.csv")}), 0);
  std::string expected = exported;
  for (std::size_t at; (at = expected.find(",livré,")) != std::string::npos;) {
    expected.replace(at, std::string(",livré,").size(), ",utilisateur,");
  }
  EXPECT_EQ(test::ReadFile(dir / "again.csv"), expected);

  // A run picks the user's NiCrAlY; --catalogue alone uses the file given.
  ASSERT_EQ(Run({"--list-materials"}), 0);
  EXPECT_THAT(out.str(), HasSubstr("* NiCrAlY  (λ 10.5 W/m·K"));
  EXPECT_THAT(out.str(), HasSubstr("\n* Acier 316L  (λ 16.3 W/m·K"));
  ASSERT_EQ(Run({"--list-materials", "--catalogue", shipped.string()}), 0);
  EXPECT_EQ(out.str().find("* NiCrAlY"), std::string::npos);
}

// Points against temperature travel in their own form beside the rows: imported onto rows of
// the same import or of the catalogue, exported beside the rows, read back the same, and marked
// in the listing.
TEST_F(MaterialsImportTest, PointsAgainstTemperatureRoundTripAndAreMarkedInTheListing) {
  test::WriteFile(dir / "m.csv", std::string(kHeader) +
                                     "Mon acier;15;7900;500;1700;270000;190e9;0,3;16e-6;1e8;\n");
  test::WriteFile(dir / "p.csv",
                  "material,figure,temperature,value\n"
                  "mon acier,Lambda,800,21.5\nMon acier,Lambda,300,15\n"
                  "NiCrAlY,SigmaQ,293,1.5e8\nNiCrAlY,SigmaQ,900,5e7\nNiCrAlY,Cp,300,450\n"
                  "NiCrAlY,Cp,1000,600\n");
  ASSERT_EQ(Run({"--import-materials", Path("m.csv"), Path("p.csv")}), 0) << err.str();
  EXPECT_THAT(out.str(), HasSubstr("2 materials (with 6 points against temperature) imported"));
  ASSERT_EQ(Run({"--export-materials", Path("all.csv")}), 0) << err.str();
  EXPECT_THAT(out.str(),
              HasSubstr("their points against temperature to " + Path("all.points.csv")));
  const std::string points =
      "material,figure,temperature,value\n"
      "Mon acier,Lambda,300,15\nMon acier,Lambda,800,21.5\n"
      "NiCrAlY,Cp,300,450\nNiCrAlY,Cp,1000,600\nNiCrAlY,SigmaQ,293,1.5e+08\n"
      "NiCrAlY,SigmaQ,900,5e+07\n";
  EXPECT_EQ(test::ReadFile(dir / "all.points.csv"), points);
  std::filesystem::remove(userFile);
  ASSERT_EQ(Run({"--import-materials", Path("all.points.csv"), Path("all.csv")}), 0) << err.str();
  ASSERT_EQ(Run({"--export-materials", Path("again.csv")}), 0) << err.str();
  EXPECT_EQ(test::ReadFile(dir / "again.points.csv"), points);
  ASSERT_EQ(Run({"--list-materials"}), 0) << err.str();
  EXPECT_THAT(out.str(), HasSubstr("* Mon acier  (λ 15† W/m·K, E 190 GPa, Tf 1700 K, σq 100 MPa)"));
  EXPECT_THAT(out.str(), HasSubstr("* NiCrAlY  (λ 9 W/m·K, E 120 GPa, Tf 1630 K, σq 100† MPa)\n"));
  EXPECT_THAT(out.str(),
              HasSubstr("\n† given against temperature (the constant shown is the row's own):\n"
                        "  Mon acier: Lambda 2 points from 300 to 800 K\n"
                        "  NiCrAlY: Cp 2 points from 300 to 1000 K; SigmaQ 2 points from 293 to "
                        "900 K\n"));
  // An export without points empties the points file an earlier one left beside it.
  ASSERT_EQ(Run({"--shipped-materials", "--export-materials", Path("all.csv")}), 0);
  EXPECT_EQ(test::ReadFile(dir / "all.points.csv"), "material,figure,temperature,value\n");
}

TEST_F(MaterialsImportTest, AnImportIntoALockedCatalogueIsToldAsAWriteFault) {
  test::WriteFile(dir / "m.csv", std::string(kHeader) + "A;1;1;1;1;1;1e9;0,3;1e-6;0;\n");
  ASSERT_EQ(Run({"--import-materials", Path("m.csv")}), 0) << err.str();
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(userFile.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(Run({"--import-materials", Path("m.csv")}), 1);
  EXPECT_THAT(err.str(), HasSubstr("Cannot write materials catalogue " + userFile.string() +
                                   ": database is locked"));
  sqlite3_close(other);
}

// A name in a catalogue made elsewhere may hold a terminal's escape sequence: the listing shows
// it escaped, never sends it to the terminal.
TEST_F(MaterialsImportTest, ListedNamesShowTheirControlCharactersEscaped) {
  std::string sql = test::ReadFile(test::DataDir() / "p1" / "catalogue.sql");
  sql.insert(sql.rfind("COMMIT;"),
             "INSERT INTO \"matériaux\" VALUES('Red' || char(27) || '[31m' || char(10) || 'x', 1, "
             "1, 1, 1, 1, 1e9, 0.3, 1e-6, 0);\n");
  test::WriteFile(dir / "c.sql", sql);
  test::BuildDatabase(dir / "c.sql", dir / "c.db");
  ASSERT_EQ(Run({"--list-materials", "--catalogue", Path("c.db")}), 0) << err.str();
  EXPECT_THAT(out.str(), HasSubstr("\n  Red\\x1B[31m\\x0Ax  (λ 1 W/m·K"));
  EXPECT_EQ(out.str().find('\x1B'), std::string::npos);
}

// An import killed halfway leaves a hot journal beside a half-written file. The next reader rolls
// it back and sees the user's rows as they were; a catalogue that cannot be read stops the run
// rather than let the shipped figures stand in for the user's, unless asked for those.
TEST_F(MaterialsImportTest, AKilledImportIsRolledBackAndAnUnreadableCatalogueStopsRuns) {
  test::WriteFile(dir / "m.csv", std::string(kHeader) +
                                     "NiCrAlY;10,5;7800;480;1650;290000;100e9;0,3;13e-6;4e8;\n");
  ASSERT_EQ(Run({"--import-materials", Path("m.csv")}), 0) << err.str();
  const pid_t child = fork();
  if (child == 0) {
    // A long import, its pages spilled to the file before it is killed.
    sqlite3* db = nullptr;
    sqlite3_open(userFile.c_str(), &db);
    sqlite3_exec(db, "PRAGMA cache_size = 2; BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "DELETE FROM \"matériaux\"", nullptr, nullptr, nullptr);
    for (int i = 0; i < 2000; ++i) {
      const std::string row = "INSERT INTO \"sources\" VALUES ('m" + std::to_string(i) + "', '" +
                              std::string(200, 'x') + "')";
      sqlite3_exec(db, row.c_str(), nullptr, nullptr, nullptr);
    }
    kill(getpid(), SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_TRUE(std::filesystem::exists(userFile.string() + "-journal"));

  ASSERT_EQ(Run({"--list-materials"}), 0) << err.str();
  EXPECT_THAT(out.str(), HasSubstr("* NiCrAlY  (λ 10.5 W/m·K, E 100 GPa, Tf 1650 K, σq 400 MPa)"))
      << out.str() << err.str();
  EXPECT_EQ(err.str(), "");
  EXPECT_FALSE(std::filesystem::exists(userFile.string() + "-journal"));

  test::WriteFile(userFile, "not a database, but the user's file");
  EXPECT_EQ(Run({"--list-materials"}), 1);
  EXPECT_THAT(err.str(), HasSubstr(userFile.string()));
  EXPECT_THAT(err.str(),
              HasSubstr("Give --shipped-materials to run with the shipped materials alone"));
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(Run({"--list-materials", "--shipped-materials"}), 0) << err.str();
  EXPECT_EQ(out.str().find("* "), std::string::npos) << out.str();
  EXPECT_EQ(test::ReadFile(userFile), "not a database, but the user's file");
}

}  // namespace
}  // namespace quillane::cli
