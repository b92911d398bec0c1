#include "materials/MaterialsCatalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <set>

#include "TestSupport.h"
#include "materials/MaterialTable.h"
#include "materials/UserCatalogue.h"

namespace quillane {
namespace {

using test::BuildDatabase;
using test::BuildDir;
using test::DataDir;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

const std::string kCreate =
    "CREATE TABLE \"matériaux\" (\"Matériaux\", Lambda, Rho, Cp, Tfusion, Lfusion, "
    "ModuleYoung, Poisson, dilat, SigmaQ);";
const std::string kZinc = "INSERT INTO \"matériaux\" VALUES('Zinc',1,1,1,1,1,1,0.3,1e-5,0);";

// Runs SQL text on a database file, made when missing, as the build does.
fs::path MakeDb(const fs::path& path, const std::string& sql) {
  WriteFile(fs::path(path).concat(".sql"), sql);
  BuildDatabase(fs::path(path).concat(".sql"), path);
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

MaterialsCatalogue Opened(const fs::path& path = BuildDir() / "Brelon.db") {
  MaterialsCatalogue catalogue;
  catalogue.Open(path);
  return catalogue;
}

TEST(BuiltCatalogue, HoldsSaneMaterialsSortedByNameAndStaysUntouched) {
  const std::string before = ReadFile(BuildDir() / "Brelon.db");
  const MaterialsCatalogue catalogue = Opened();
  EXPECT_EQ(ReadFile(BuildDir() / "Brelon.db"), before);
  for (const char* name : {"contact", "Acier C35", "Acier 316L", "Aluminium 2017", "Ti-6Al-4V",
                           "Inconel 718", "Cuivre", "Alumine", "Zircone yttriée", "NiCrAlY", "NiAl",
                           "Molybdène", "WC-Co", "Chromine"}) {
    EXPECT_NE(catalogue.FindMaterial(name), nullptr) << name;
  }
  for (const MaterialRecord& row : catalogue.Rows()) {
    SCOPED_TRACE(row.Name);
    EXPECT_GT(row.Lambda, 0);
    EXPECT_GT(row.Rho, 0);
    EXPECT_GT(row.Cp, 0);
    EXPECT_TRUE(row.Poisson > 0 && row.Poisson < 0.5);
    EXPECT_TRUE(row.dilat > 1e-6 && row.dilat < 3e-5);
    EXPECT_TRUE(row.ModuleYoung > 1e9 && row.ModuleYoung < 7e11);
    EXPECT_TRUE(row.SigmaQ >= 0 && row.SigmaQ < 3e8);
    EXPECT_TRUE(row.Name == "contact" || (row.Tfusion > 500 && row.Lfusion > 0));
  }
  // The contact row stands for a 0.5 µm layer of the measured resistance.
  const double resistance = 0.5e-6 / catalogue.LookupMaterial("contact").Lambda;
  EXPECT_TRUE(resistance >= 1e-7 && resistance <= 1e-6) << resistance;
}

// The reference case was computed with these rows: the shipped catalogue must agree with it.
TEST(BuiltCatalogue, AgreesWithTheReferenceCatalogueWhereRowsAreShared) {
  TempDir dir;
  BuildDatabase(DataDir() / "p1" / "catalogue.sql", dir / "reference.db");
  const MaterialsCatalogue reference = Opened(dir / "reference.db");
  ASSERT_EQ(reference.Rows().size(), 3u);
  const MaterialsCatalogue built = Opened();
  for (const MaterialRecord& want : reference.Rows()) {
    EXPECT_EQ(built.LookupMaterial(want.Name), want) << want.Name;
  }
}

// Case (accented too) and nothing else; the exact name first, then byte order; quotes plain.
TEST(Lookup, IgnoresLetterCaseButNothingElse) {
  TempDir dir;
  std::string sql = kCreate;
  for (const char* name :
       {"NiCrAlY", "Zircone yttriée", "Molybdène", "Acier d''Inox", "éa", "Éa"}) {
    sql += "INSERT INTO \"matériaux\" VALUES('" + std::string(name) + "',1,1,1,1,1,1,0.3,1e-5,0);";
  }
  const fs::path path = MakeDb(dir / "names.db", sql);
  const MaterialsCatalogue catalogue = Opened(path);
  std::vector<std::string> names;
  for (const MaterialRecord& row : catalogue.Rows()) names.push_back(row.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Acier d'Inox", "Molybdène", "NiCrAlY",
                                             "Zircone yttriée", "Éa", "éa"}));
  // The name found, empty for none.
  const std::pair<const char*, std::string> cases[] = {{"nicraly", "NiCrAlY"},
                                                       {"ZIRCONE YTTRIÉE", "Zircone yttriée"},
                                                       {"éa", "éa"},
                                                       {"ÉA", "Éa"},
                                                       {"Zircone yttriee", ""},
                                                       {"NiCrAl", ""}};
  for (const auto& [query, name] : cases) {
    const MaterialRecord* row = catalogue.FindMaterial(query);
    EXPECT_EQ(row != nullptr ? row->Name : "", name) << query;
  }
  EXPECT_EQ(ErrorOf([&] { catalogue.LookupMaterial("x' OR '1'='1"); }),
            "Unknown material \"x' OR '1'='1\" in " + path.string());
}

TEST(Open, ColumnsByNameAndNumbersWrittenAsText) {
  TempDir dir;
  const MaterialsCatalogue catalogue =
      Opened(MakeDb(dir / "c.db",
                    "CREATE TABLE \"MATéRIAUX\" (SIGMAQ, extra, DILAT, poisson, moduleyoung, "
                    "LFUSION, tfusion, cp, rho, lambda, \"MATÉRIAUX\");"
                    "INSERT INTO \"MATéRIAUX\" VALUES(9,'x',8,7,6,5,4,3,2,1,'Verre');"
                    "INSERT INTO \"MATéRIAUX\" VALUES(0,'y','1.18e-5',0.29,211e9,2.47e5,"
                    "1811,449,'7874',' +80.2 ','Fer');"));
  const MaterialRecord& row = catalogue.LookupMaterial("verre");
  const std::vector<double> got{row.Lambda,      row.Rho,     row.Cp,    row.Tfusion, row.Lfusion,
                                row.ModuleYoung, row.Poisson, row.dilat, row.SigmaQ};
  EXPECT_EQ(got, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_DOUBLE_EQ(catalogue.LookupMaterial("Fer").Lambda, 80.2);
}

// A folder, and a catalogue whose write was interrupted (its journal left beside it, which a
// read-only reader cannot roll back), are told as what they are, not as SQLite's I/O faults.
TEST(Open, AFolderOrAnInterruptedWriteIsToldAsSuch) {
  TempDir dir;
  const fs::path db = MakeDb(dir / "c.db", kCreate + kZinc);
  fs::create_directory(dir / "folder.db");
  const pid_t child = fork();
  if (child == 0) {
    // A long write, its pages spilled to the file before it is killed.
    sqlite3* writer = nullptr;
    sqlite3_open(db.c_str(), &writer);
    sqlite3_exec(writer, "PRAGMA cache_size = 2; BEGIN", nullptr, nullptr, nullptr);
    for (int i = 0; i < 2000; ++i) {
      const std::string row = "INSERT INTO \"matériaux\" VALUES('" + std::string(200, 'm') +
                              std::to_string(i) + "',1,1,1,1,1,1,0.3,1e-5,0)";
      sqlite3_exec(writer, row.c_str(), nullptr, nullptr, nullptr);
    }
    kill(getpid(), SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(fs::exists(db.string() + "-journal"));
  const std::pair<fs::path, std::string> cases[] = {
      {dir / "folder.db",
       "Materials catalogue " + (dir / "folder.db").string() + " is a folder, not a file"},
      {db, "Cannot read materials catalogue " + db.string() +
               ": a write to it was interrupted, and its journal " + db.string() +
               "-journal cannot be rolled back"},
  };
  for (const auto& [path, message] : cases) {
    MaterialsCatalogue catalogue;
    EXPECT_THAT(ErrorOf([&] { catalogue.Open(path); }), HasSubstr(message));
  }
}

// Opening another file replaces every row; a catalogue closed, or one that fails to open, keeps
// no row of the one open before.
TEST(Lifetime, ReopenedClosedOrFailedToOpenKeepsNoEarlierRow) {
  MaterialsCatalogue catalogue = Opened();
  TempDir dir;
  catalogue.Open(MakeDb(dir / "zinc.db", kCreate + kZinc));
  EXPECT_EQ(catalogue.FindMaterial("Cuivre"), nullptr);
  catalogue.Close();
  EXPECT_THAT(ErrorOf([&] { catalogue.LookupMaterial("Zinc"); }), HasSubstr("not open"));
  catalogue.Open(dir / "zinc.db");
  EXPECT_THAT(ErrorOf([&] { catalogue.Open(dir / "zinc.db.sql"); }), HasSubstr("zinc.db.sql"));
  EXPECT_FALSE(catalogue.IsOpen());
  EXPECT_TRUE(catalogue.Rows().empty());
}

// The user's rows override or add by name; the shipped file is never written.
class UserCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildDatabase(DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
    shippedBytes = ReadFile(dir / "p1.db");
  }

  static UserMaterial Material(const std::string& name, double lambda, const std::string& source) {
    UserMaterial material;
    material.Row = {name, lambda, 7800, 480, 1650, 290000, 100e9, 0.3, 13e-6, 150e6, {}};
    material.Source = source;
    return material;
  }

  TempDir dir;
  std::string shippedBytes;
  UserCatalogue user{dir / "data" / "quillane" / "materiaux.db"};
};

TEST_F(UserCatalogueTest, UserRowsOverrideOrAddByNameAndTheShippedFileIsNeverWritten) {
  EXPECT_FALSE(user.Exists());
  user.Save(Material("nicraly", 12, "mesure 2026"));  // another letter case of a shipped row
  user.SaveAll({Material("Mon acier", 15, "essai"), Material("Autre", 2, "")});
  ASSERT_TRUE(user.Exists());

  std::string fault;
  const MaterialsCatalogue merged = OpenMergedCatalogue(dir / "p1.db", user, fault);
  EXPECT_TRUE(fault.empty()) << fault;
  ASSERT_EQ(merged.Rows().size(), 5u);  // Acier 316L, contact, NiCrAlY replaced, and two added
  const MaterialRecord* nicraly = merged.FindMaterial("NiCrAlY");
  ASSERT_NE(nicraly, nullptr);
  EXPECT_EQ(nicraly->Lambda, 12);
  // Replacing under a new name, then removing, with the sources kept per row.
  user.Save(Material("Mon acier inox", 16, "revu"), "MON ACIER");
  user.Remove("autre");
  // Within one import, a later row replaces an earlier one of the same name.
  user.SaveAll({Material("Dup", 1, "un"), Material("DUP", 2, "deux")});
  // A NUL would cut the name short in the file: refused, and nothing of the import written.
  EXPECT_THROW(user.SaveAll({Material("Z", 1, ""), Material(std::string("Dup\0x", 5), 1, "")}),
               CatalogueError);
  std::set<std::string> rows;
  for (const UserMaterial& row : user.Read()) rows.insert(row.Row.Name + ": " + row.Source);
  EXPECT_EQ(rows,
            (std::set<std::string>{"DUP: deux", "Mon acier inox: revu", "nicraly: mesure 2026"}));
  EXPECT_TRUE(ReadFile(dir / "p1.db") == shippedBytes);
}

TEST_F(UserCatalogueTest, BadRowsAreEachNamedTheGoodOnesKeptAndTheFileLeftAsItIs) {
  user.SaveAll({Material("Bon", 15, "essai"), Material("Texte", 2, ""), Material("Vide", 3, "")});
  MakeDb(user.Path(),
         "UPDATE \"matériaux\" SET Lambda = 'beaucoup' WHERE \"Matériaux\" = 'Texte';"
         "UPDATE \"matériaux\" SET Rho = NULL WHERE \"Matériaux\" = 'Vide';");
  const std::string bytes = ReadFile(user.Path());
  std::string fault;
  const MaterialsCatalogue merged = OpenMergedCatalogue(dir / "p1.db", user, fault);
  EXPECT_EQ(merged.Rows().size(), 4u);
  ASSERT_NE(merged.FindMaterial("Bon"), nullptr);
  EXPECT_EQ(merged.FindMaterial("Bon")->Lambda, 15);
  for (const char* bad : {"\"Lambda\" for material \"Texte\"", "\"Rho\" for material \"Vide\""}) {
    EXPECT_NE(fault.find(bad), std::string::npos) << fault;
  }
  EXPECT_THROW(user.Save(Material("Nouveau", 1, "")), CatalogueError);
  EXPECT_THROW(user.Remove("Texte"), CatalogueError);
  EXPECT_TRUE(ReadFile(user.Path()) == bytes);
}

// A file that is no database, a link to nothing or that loops, a folder: refused by reads and
// writes alike, and left so, the shipped rows standing alone.
TEST_F(UserCatalogueTest, AnEmptyFileHoldsNothingAndALinkToNothingOrAFolderIsRefusedByName) {
  const fs::path folder = user.Path().parent_path();
  const struct {
    std::function<void()> make;
    const char* told;  // empty: read as no materials, and written
  } cases[] = {
      {[&] { WriteFile(user.Path(), ""); }, ""},
      {[&] { WriteFile(user.Path(), "not a database, but the user's own file"); },
       "(file is not a database)"},
      {[&] { fs::create_symlink(dir / "nowhere.db", user.Path()); }, "is a symbolic link to "},
      {[&] { fs::create_symlink(user.Path().filename(), user.Path()); },
       "is a symbolic link that leads back to itself"},
      {[&] { fs::create_directory(user.Path()); }, "is a folder, not a file"},
  };
  for (const auto& c : cases) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    c.make();
    SCOPED_TRACE(c.told);
    if (c.told[0] == '\0') {
      EXPECT_TRUE(user.Read().empty());
      user.Save(Material("Mon acier", 15, ""));
      EXPECT_EQ(user.Read().size(), 1u);
      continue;
    }
    const auto bytes = [&] {
      std::error_code none;
      return fs::is_regular_file(user.Path(), none) ? ReadFile(user.Path()) : "";
    };
    const std::string before = bytes();
    std::string fault;
    EXPECT_EQ(OpenMergedCatalogue(dir / "p1.db", user, fault).Rows().size(), 3u);
    EXPECT_THAT(fault, HasSubstr(user.Path().string() + " " + c.told));
    EXPECT_THAT(ErrorOf([&] { user.Save(Material("Mon acier", 15, "")); }), HasSubstr(c.told));
    EXPECT_FALSE(fs::exists(dir / "nowhere.db"));
    EXPECT_EQ(bytes(), before);
  }
}

// A first write that fails leaves no file, where it once left an empty one beside its journal
// that every later read refused.
TEST_F(UserCatalogueTest, AFailedFirstWriteLeavesNoFile) {
  EXPECT_THROW(user.SaveAll({Material("Bon", 1, ""), Material(std::string("A\0B", 3), 1, "")}),
               CatalogueError);
  EXPECT_FALSE(fs::exists(user.Path()));
  std::string fault;
  OpenMergedCatalogue(dir / "p1.db", user, fault);
  EXPECT_EQ(fault, "");
}

// Points against temperature go with their row: saved, read, carried by a rename and deleted
// with it; the shipped reader reads them too, and a file without them reads as before.
TEST_F(UserCatalogueTest, PointsGoWithTheirRow) {
  UserMaterial tabled = Material("Tabulé", 15, "");
  tabled.Row.Tables.Lambda = {{300, 15}, {800, 21.5}, {1200, 27}};
  tabled.Row.Tables.SigmaQ = {{293, 1.5e8}, {900, 0.5e8}};
  user.SaveAll({tabled, Material("Plain", 2, "")});
  const auto byName = [&](const std::string& name) {
    for (const UserMaterial& row : user.Read()) {
      if (row.Row.Name == name) return row.Row;
    }
    return MaterialRecord{};
  };
  EXPECT_EQ(byName("Tabulé"), tabled.Row);
  EXPECT_EQ(byName("Plain").Tables, FigureTables{});
  tabled.Row.Name = "Renommé";
  user.Save(tabled, "TABULÉ");
  EXPECT_EQ(byName("Renommé"), tabled.Row);
  EXPECT_EQ(Opened(user.Path()).LookupMaterial("renommé").Tables, tabled.Row.Tables);
  user.Remove("Renommé");
  // A row deleted by a program that knows nothing of points takes them along: re-added, it has
  // none.
  user.Save(tabled);
  MakeDb(user.Path(), "DELETE FROM \"matériaux\" WHERE \"Matériaux\" = 'Renommé';");
  // Points that make no table are refused before anything is written.
  tabled.Row.Tables.Cp = {{400, 500}};
  std::string told = ErrorOf([&] { user.Save(tabled); });
  told.replace(told.find(user.Path().string()), user.Path().string().size(), "materiaux.db");
  test::ExpectMessages("user catalogue points", {told});
  EXPECT_EQ(user.Read().size(), 1u);
  MakeDb(user.Path(), "INSERT INTO \"matériaux\" VALUES('Renommé',1,1,1,1,1,1,0.3,1e-5,0);");
  EXPECT_EQ(byName("Renommé").Tables, FigureTables{});
}

// Points that cannot be read, of an unknown figure or that make no table: the others still read.
TEST(Points, BadPointsMakeTheirRowABadRow) {
  const std::string points =
      "CREATE TABLE points (\"Matériaux\", Figure, \"Température\", Valeur);"
      "INSERT INTO \"matériaux\" VALUES('Bon',1,1,1,1,1,1,0.3,1e-5,0);"
      "INSERT INTO points VALUES('Bon','Cp',600,700),('bon','Cp',300,500),('Autre','x',1,1);";
  const struct {
    const char* rows;
    const char* told;
  } cases[] = {
      {"('Zinc','Rho',300,1),('Zinc','Rho',600,2)", "name \"Rho\", which is not a figure"},
      {"('Zinc','Lambda',300,'chaud'),('Zinc','Lambda',600,2)", "is not a number: \"chaud\""},
      {"('Zinc','Lambda',300,1)", "a table needs at least two points"},
      {"('Zinc','dilat',300,1e-5),('Zinc','dilat',300,2e-5)", "must rise"},
      {"('Zinc','SigmaQ',-10,1),('Zinc','SigmaQ',600,2)", "above 0 K"},
  };
  std::vector<std::string> messages;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.told);
    TempDir dir;
    const fs::path path =
        MakeDb(dir / "c.db", kCreate + kZinc + points + "INSERT INTO points VALUES" + c.rows + ";");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::vector<std::string> bad;
    const std::vector<MaterialRecord> rows = ReadMaterialTable(db, path, &bad);
    sqlite3_close(db);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Tables.Cp, (FigureTable{{300, 500}, {600, 700}}));
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_THAT(bad[0], HasSubstr("\"Zinc\""));
    EXPECT_THAT(bad[0], HasSubstr(c.told));
    messages.push_back(bad[0].replace(bad[0].find(path.string()), path.string().size(), "c.db"));
    MaterialsCatalogue shipped;
    EXPECT_THAT(ErrorOf([&] { shipped.Open(path); }), HasSubstr(c.told));
  }
  test::ExpectMessages("catalogue points", messages);
}

// Under XDG_DATA_HOME, as the batch program's import tests find it; else in the home folder.
TEST(UserCataloguePath, FollowsTheDataFolderOfTheUser) {
  const char* before = std::getenv("XDG_DATA_HOME");
  const std::string saved = before ? before : "";
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", std::getenv("HOME") ? std::getenv("HOME") : "/root", 1);
  EXPECT_EQ(UserCatalogue::DefaultPath(),
            std::filesystem::path(std::getenv("HOME")) / ".local/share/quillane/materiaux.db");
  if (before) setenv("XDG_DATA_HOME", saved.c_str(), 1);
}

}  // namespace
}  // namespace quillane
