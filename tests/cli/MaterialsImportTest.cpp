// The user's materials from the batch program: a CSV is imported whole or not at all, the
// merged catalogue is exported and runs use the user's rows.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "TestSupport.h"
#include "cli/BatchProgram.h"

namespace quillane::cli {
namespace {

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

  test::TempDir dir;
  const std::filesystem::path userFile = dir / "data" / "quillane" / "materiaux.db";
  const std::filesystem::path shipped = test::BuildDir() / "Brelon.db";
  const std::string shippedBytes = test::ReadFile(shipped);
  const std::string savedDataHome =
      std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(MaterialsImportTest, AFaultyCsvImportsNothingAndNamesEveryBadLine) {
  const std::string a = "A;1;1;1;1;1;1e9;0,3;1e-6;0;\n";
  const std::pair<std::string, const char*> cases[] = {
      // A figure out of its bounds between two good rows.
      {a + "B;0;1;1;1;1;1e9;0,3;1e-6;0;\nC;1;1;1;1;1;1e9;0,3;1e-6;0;\n",
       "line 3: Material \"B\": Lambda is 0; it must lie between 1E-06 and 10000 W/(m·K)."},
      // The same name twice, letter case aside.
      {a + "B;1;1;1;1;1;1e9;0,3;1e-6;0;\na;1;1;1;1;1;1e9;0,3;1e-6;0;\n",
       "line 4: \"a\" is already on line 2."},
      {a + "B;1;x;1;1;1;1e9;0,3;1e-6;0;\n", "line 3: Rho of \"B\" is not a number: \"x\"."},
  };
  for (const auto& [rows, fault] : cases) {
    test::WriteFile(dir / "m.csv", kHeader + rows);
    EXPECT_EQ(Run({"--import-materials", (dir / "m.csv").string()}), 1) << rows;
    EXPECT_NE(err.str().find(fault), std::string::npos) << err.str();
    EXPECT_FALSE(std::filesystem::exists(userFile)) << rows;
  }
}

TEST_F(MaterialsImportTest, ImportedRowsOverrideTheShippedOnesInRunsAndExports) {
  test::WriteFile(dir / "m.csv", std::string(kHeader) +
                                     "NiCrAlY;10,5;7800;480;1650;290000;100e9;0,3;13e-6;150e6;"
                                     "mesure 2026\n"
                                     "\"Mon; acier\";15;7900;500;1700;270000;190e9;0,3;16e-6;0;\n");
  ASSERT_EQ(Run({"--import-materials", (dir / "m.csv").string()}), 0) << err.str();
  EXPECT_NE(out.str().find("2 materials imported into " + userFile.string()), std::string::npos);

  ASSERT_EQ(Run({"--export-materials", (dir / "all.csv").string()}), 0) << err.str();
  const std::string exported = test::ReadFile(dir / "all.csv");
  EXPECT_NE(exported.find("NiCrAlY,10.5,7800,480,1650,290000,1e+11,0.3,1.3e-05,1.5e+08,utilisateur,"
                          "mesure 2026\n"),
            std::string::npos)
      << exported;
  EXPECT_NE(exported.find("Mon; acier,15,"), std::string::npos);
  EXPECT_NE(exported.find("Acier 316L,16.3,"), std::string::npos);

  // The export reads back as an import of the same figures, bit for bit (every row is then the
  // user's).
  ASSERT_EQ(Run({"--import-materials", (dir / "all.csv").string()}), 0) << err.str();
  ASSERT_EQ(Run({"--export-materials", (dir / "again.csv").string()}), 0);
  std::string expected = exported;
  for (std::size_t at; (at = expected.find(",livré,")) != std::string::npos;) {
    expected.replace(at, std::string(",livré,").size(), ",utilisateur,");
  }
  EXPECT_EQ(test::ReadFile(dir / "again.csv"), expected);

  // A run picks the user's NiCrAlY; --catalogue alone uses the file given.
  ASSERT_EQ(Run({"--list-materials"}), 0);
  EXPECT_NE(out.str().find("* NiCrAlY  (λ 10.5 W/m·K"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("\n* Acier 316L  (λ 16.3 W/m·K"), std::string::npos) << out.str();
  ASSERT_EQ(Run({"--list-materials", "--catalogue", shipped.string()}), 0);
  EXPECT_EQ(out.str().find("* NiCrAlY"), std::string::npos);
}

}  // namespace
}  // namespace quillane::cli
