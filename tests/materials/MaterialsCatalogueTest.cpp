#include "materials/MaterialsCatalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <memory>

#include <algorithm>
#include <cctype>
#include <functional>
#include <set>

#include "TestSupport.h"

namespace quillane {
namespace {

using test::BuildDir;
using test::DataDir;
using test::TempDir;
using ::testing::AllOf;
using ::testing::HasSubstr;

const std::string kCreate =
    "CREATE TABLE \"matériaux\" (\"Matériaux\" TEXT PRIMARY KEY COLLATE NOCASE, \"Lambda\" "
    "REAL, \"Rho\" REAL, \"Cp\" REAL, \"Tfusion\" REAL, \"Lfusion\" REAL, \"ModuleYoung\" REAL, "
    "\"Poisson\" REAL, \"dilat\" REAL, \"SigmaQ\" REAL);";

// Builds a database file from SQL text, as the build does with the sqlite3 shell.
std::filesystem::path MakeDb(const TempDir& dir, const std::string& sql) {
  const std::filesystem::path path = dir / "catalogue.db";
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
            SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
      << (error != nullptr ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
  return path;
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const CatalogueError& error) {
    return error.what();
  }
  ADD_FAILURE() << "no CatalogueError was raised";
  return {};
}

std::string OpenError(const std::filesystem::path& path) {
  MaterialsCatalogue catalogue;
  std::string message = ErrorOf([&] { catalogue.Open(path); });
  EXPECT_FALSE(catalogue.IsOpen());
  EXPECT_TRUE(catalogue.Rows().empty());
  return message;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

MaterialsCatalogue OpenBuilt() {
  MaterialsCatalogue catalogue;
  catalogue.Open(BuildDir() / "Brelon.db");
  return catalogue;
}

TEST(BuiltCatalogue, HoldsTheExpectedMaterialsSortedByName) {
  const MaterialsCatalogue catalogue = OpenBuilt();
  ASSERT_TRUE(catalogue.IsOpen());
  const auto& rows = catalogue.Rows();
  EXPECT_GE(rows.size(), 14u);
  for (const char* name : {"contact", "Acier C35", "Acier 316L", "Aluminium 2017", "Ti-6Al-4V",
                           "Inconel 718", "Cuivre", "Alumine", "Zircone yttriée", "NiCrAlY", "NiAl",
                           "Molybdène", "WC-Co", "Chromine"}) {
    const MaterialRecord* row = catalogue.FindMaterial(name);
    ASSERT_NE(row, nullptr) << name;
    EXPECT_EQ(row->Name, name);
  }
  EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
    return Lower(a.Name) < Lower(b.Name);
  }));
}

TEST(BuiltCatalogue, EveryRowIsPhysicallySane) {
  const MaterialsCatalogue catalogue = OpenBuilt();
  for (const MaterialRecord& row : catalogue.Rows()) {
    SCOPED_TRACE(row.Name);
    EXPECT_GT(row.Lambda, 0);
    EXPECT_GT(row.Rho, 0);
    EXPECT_GT(row.Cp, 0);
    EXPECT_GT(row.Poisson, 0);
    EXPECT_LT(row.Poisson, 0.5);
    EXPECT_GT(row.dilat, 1e-6);
    EXPECT_LT(row.dilat, 3e-5);
    EXPECT_GT(row.ModuleYoung, 1e9);
    EXPECT_LT(row.ModuleYoung, 7e11);
    EXPECT_GE(row.SigmaQ, 0);
    EXPECT_LT(row.SigmaQ, 3e8);
    if (row.Name != "contact") {
      EXPECT_GT(row.Tfusion, 500);
      EXPECT_GT(row.Lfusion, 0);
    }
  }
}

TEST(BuiltCatalogue, ContactResistanceIsInTheMeasuredRange) {
  const double resistance = 0.5e-6 / OpenBuilt().LookupMaterial("contact").Lambda;
  EXPECT_GE(resistance, 1e-7);
  EXPECT_LE(resistance, 1e-6);
}

// The reference case was computed with these rows: the shipped catalogue must agree with it.
TEST(BuiltCatalogue, AgreesWithTheReferenceCatalogueWhereRowsAreShared) {
  TempDir dir;
  MaterialsCatalogue reference;
  reference.Open(MakeDb(dir, test::ReadFile(DataDir() / "p1" / "catalogue.sql")));
  ASSERT_EQ(reference.Rows().size(), 3u);
  EXPECT_DOUBLE_EQ(reference.LookupMaterial("acier 316l").dilat, 1.6e-5);
  const MaterialsCatalogue built = OpenBuilt();
  for (const MaterialRecord& want : reference.Rows()) {
    SCOPED_TRACE(want.Name);
    const MaterialRecord& got = built.LookupMaterial(want.Name);
    for (double MaterialRecord::*field :
         {&MaterialRecord::Lambda, &MaterialRecord::Rho, &MaterialRecord::Cp,
          &MaterialRecord::Tfusion, &MaterialRecord::Lfusion, &MaterialRecord::ModuleYoung,
          &MaterialRecord::Poisson, &MaterialRecord::dilat, &MaterialRecord::SigmaQ}) {
      EXPECT_DOUBLE_EQ(got.*field, want.*field);
    }
  }
}

TEST(BuiltCatalogue, OpeningLeavesTheFileUntouched) {
  const std::string before = test::ReadFile(BuildDir() / "Brelon.db");
  OpenBuilt().Close();
  EXPECT_EQ(test::ReadFile(BuildDir() / "Brelon.db"), before);
}

TEST(Lookup, IgnoresLetterCase) {
  const MaterialsCatalogue catalogue = OpenBuilt();
  EXPECT_EQ(catalogue.LookupMaterial("nicraly").Name, "NiCrAlY");
  EXPECT_EQ(catalogue.LookupMaterial("NICRALY").Name, "NiCrAlY");
  EXPECT_EQ(catalogue.LookupMaterial("ZIRCONE YTTRIÉE").Name, "Zircone yttriée");
  EXPECT_EQ(catalogue.LookupMaterial("MOLYBDÈNE").Name, "Molybdène");
  EXPECT_EQ(&catalogue.LookupMaterial("CONTACT"), catalogue.FindMaterial("contact"));
  EXPECT_EQ(catalogue.FindMaterial("Zircone yttriee"), nullptr);  // accents are not dropped
  EXPECT_EQ(catalogue.FindMaterial("NiCrAl"), nullptr);           // no prefix matching
}

TEST(Lookup, QuoteInANameIsAnOrdinaryCharacter) {
  TempDir dir;
  const auto path =
      MakeDb(dir, kCreate +
                      "INSERT INTO \"matériaux\" VALUES('Acier d''Inox',"
                      "1,2,3,4,5,6e9,0.3,1e-5,7);"
                      "INSERT INTO \"matériaux\" VALUES('Zinc',2,2,3,4,5,6e9,0.3,1e-5,7);");
  MaterialsCatalogue catalogue;
  catalogue.Open(path);
  EXPECT_EQ(catalogue.LookupMaterial("acier D'INOX").Name, "Acier d'Inox");
  EXPECT_EQ(catalogue.FindMaterial("x' OR '1'='1"), nullptr);
  EXPECT_EQ(ErrorOf([&] { catalogue.LookupMaterial("x' OR '1'='1"); }),
            "Unknown material \"x' OR '1'='1\" in " + path.string());
}

TEST(Lookup, ExactNameWinsAmongNamesDifferingOnlyInCase) {
  TempDir dir;
  MaterialsCatalogue catalogue;
  catalogue.Open(MakeDb(dir,
                        "CREATE TABLE \"matériaux\" (\"Matériaux\" TEXT, Lambda, Rho, Cp, Tfusion, "
                        "Lfusion, ModuleYoung, Poisson, dilat, SigmaQ);"
                        "INSERT INTO \"matériaux\" VALUES('éa',2,1,1,1,1,1,0.3,1e-5,0);"
                        "INSERT INTO \"matériaux\" VALUES('Éa',1,1,1,1,1,1,0.3,1e-5,0);"));
  ASSERT_EQ(catalogue.Rows().size(), 2u);
  EXPECT_EQ(catalogue.Rows()[0].Name, "Éa");  // equal ignoring case: byte order decides
  EXPECT_EQ(catalogue.LookupMaterial("éa").Lambda, 2);
  EXPECT_EQ(catalogue.LookupMaterial("Éa").Lambda, 1);
  EXPECT_EQ(catalogue.LookupMaterial("ÉA").Name, "Éa");
}

TEST(Open, MissingFileIsNamedAndNotCreated) {
  TempDir dir;
  const auto path = dir / "absent.db";
  EXPECT_EQ(OpenError(path), "Materials catalogue not found: " + path.string());
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(Open, FileThatIsNotADatabase) {
  TempDir dir;
  const auto path = dir / "notes.db";
  test::WriteFile(path, std::string(4096, 'x'));
  EXPECT_THAT(OpenError(path), AllOf(HasSubstr(path.string()), HasSubstr("not a valid SQLite")));
}

TEST(Open, DamagedDatabase) {
  TempDir dir;
  std::string sql = kCreate + "BEGIN;";
  for (int i = 0; i < 300; ++i) {
    sql += "INSERT INTO \"matériaux\" VALUES('Material number " + std::to_string(i) +
           " with a long name to fill pages',1,1,1,1,1,1,0.3,1e-5,0);";
  }
  const auto path = MakeDb(dir, sql + "COMMIT;");
  std::string bytes = test::ReadFile(path);
  ASSERT_GT(bytes.size(), 3 * 4096u);
  std::fill(bytes.begin() + 4096, bytes.end(), '\x5a');  // every page but the schema page
  test::WriteFile(path, bytes);
  EXPECT_THAT(OpenError(path), AllOf(HasSubstr(path.string()), HasSubstr("not a valid SQLite")));
}

TEST(Open, MissingTable) {
  TempDir dir;
  const auto path = MakeDb(dir, "CREATE TABLE materials (name TEXT);");
  EXPECT_THAT(OpenError(path), AllOf(HasSubstr(path.string()), HasSubstr("\"matériaux\"")));
}

TEST(Open, MissingColumn) {
  TempDir dir;
  const auto path = MakeDb(dir,
                           "CREATE TABLE \"matériaux\" (\"Matériaux\" TEXT, Lambda, Rho, Cp, "
                           "Tfusion, Lfusion, ModuleYoung, Poisson, dilat);");
  EXPECT_THAT(OpenError(path), AllOf(HasSubstr(path.string()), HasSubstr("\"SigmaQ\"")));
}

TEST(Open, ColumnsAreFoundByNameWhateverTheirOrderAndCase) {
  TempDir dir;
  MaterialsCatalogue catalogue;
  catalogue.Open(MakeDb(dir,
                        "CREATE TABLE \"MATéRIAUX\" (SIGMAQ, extra, DILAT, poisson, moduleyoung, "
                        "LFUSION, tfusion, cp, rho, lambda, \"MATÉRIAUX\");"
                        "INSERT INTO \"MATéRIAUX\" VALUES(9,'x',8,7,6,5,4,3,2,1,'Verre');"));
  const MaterialRecord& row = catalogue.LookupMaterial("verre");
  const std::vector<double> got{row.Lambda,      row.Rho,     row.Cp,    row.Tfusion, row.Lfusion,
                                row.ModuleYoung, row.Poisson, row.dilat, row.SigmaQ};
  EXPECT_EQ(got, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(Open, ValuesMustBeNumbers) {
  const std::string untyped =
      "CREATE TABLE \"matériaux\" (\"Matériaux\", Lambda, Rho, Cp, Tfusion, Lfusion, "
      "ModuleYoung, Poisson, dilat, SigmaQ);";
  TempDir textNumbers;
  MaterialsCatalogue catalogue;
  catalogue.Open(MakeDb(textNumbers, untyped + "INSERT INTO \"matériaux\" VALUES('Fer',"
                                               "' +80.2 ','7874',449,1811,2.47e5,211e9,0.29,"
                                               "'1.18e-5',0);"));
  EXPECT_DOUBLE_EQ(catalogue.LookupMaterial("Fer").Lambda, 80.2);
  EXPECT_DOUBLE_EQ(catalogue.LookupMaterial("Fer").Rho, 7874);
  EXPECT_DOUBLE_EQ(catalogue.LookupMaterial("Fer").dilat, 1.18e-5);

  TempDir text;
  const auto textPath = MakeDb(text, kCreate +
                                         "INSERT INTO \"matériaux\" VALUES('Acier Z',"
                                         "'abc',1,1,1,1,1,0.3,1e-5,0);");
  EXPECT_THAT(OpenError(textPath), AllOf(HasSubstr("\"Acier Z\""), HasSubstr("\"Lambda\""),
                                         HasSubstr(textPath.string()), HasSubstr("abc")));
  TempDir null;
  const auto nullPath = MakeDb(null, kCreate +
                                         "INSERT INTO \"matériaux\" VALUES('Verre',"
                                         "1,1,NULL,1,1,1,0.3,1e-5,0);");
  EXPECT_THAT(OpenError(nullPath),
              AllOf(HasSubstr("\"Verre\""), HasSubstr("\"Cp\""), HasSubstr(nullPath.string())));
  TempDir partial;
  const auto partialPath = MakeDb(partial, untyped +
                                               "INSERT INTO \"matériaux\" VALUES('Laiton',"
                                               "1,'8.5e3kg',1,1,1,1,0.3,1e-5,0);");
  EXPECT_THAT(OpenError(partialPath), AllOf(HasSubstr("\"Laiton\""), HasSubstr("\"Rho\"")));
}

TEST(Lifetime, CopyCloseAndReopen) {
  // A run takes a copy: it reads the same rows whatever becomes of the original.
  auto first = std::make_unique<MaterialsCatalogue>(OpenBuilt());
  const std::size_t count = first->Rows().size();
  MaterialsCatalogue third(*first);
  first.reset();
  EXPECT_TRUE(third.IsOpen());
  EXPECT_EQ(third.Rows().size(), count);
  EXPECT_EQ(third.Path(), BuildDir() / "Brelon.db");
  EXPECT_EQ(third.LookupMaterial("WC-CO").Name, "WC-Co");

  TempDir dir;
  third.Open(MakeDb(dir, kCreate + "INSERT INTO \"matériaux\" VALUES('Zinc',1,1,1,1,1,1,0.3,"
                                   "1e-5,0);"));
  ASSERT_EQ(third.Rows().size(), 1u);
  EXPECT_EQ(third.FindMaterial("Cuivre"), nullptr);

  third.Close();
  EXPECT_FALSE(third.IsOpen());
  EXPECT_EQ(third.FindMaterial("Zinc"), nullptr);
  EXPECT_THAT(ErrorOf([&] { third.LookupMaterial("Zinc"); }), HasSubstr("not open"));
}

TEST(DefaultCataloguePath, LiesBesideTheRunningProgram) {
  const std::filesystem::path path = DefaultCataloguePath();
  EXPECT_EQ(path.filename(), "Brelon.db");
  // The test programs are built into the top of the build tree, beside the catalogue.
  EXPECT_TRUE(std::filesystem::equivalent(path, BuildDir() / "Brelon.db"));
}

}  // namespace
}  // namespace quillane
