// The user's materials over the shipped catalogue: rows override or add by name, the shipped
// file is never written, a damaged user file is told and left alone.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "materials/UserCatalogue.h"

namespace quillane::test {
namespace {

class UserCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildDatabase(DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
    shippedBytes = ReadFile(dir / "p1.db");
  }

  static UserMaterial Material(const std::string& name, double lambda, const std::string& source) {
    UserMaterial material;
    material.Row = {name, lambda, 7800, 480, 1650, 290000, 100e9, 0.3, 13e-6, 150e6};
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
  for (std::size_t i = 0; i < merged.Rows().size(); ++i) {
    const bool mine = merged.Rows()[i].Name != "Acier 316L" && merged.Rows()[i].Name != "contact";
    EXPECT_EQ(merged.OriginOf(i) == MaterialsCatalogue::Origin::User, mine)
        << merged.Rows()[i].Name;
  }
  // Sorted as the pick lists show them.
  EXPECT_EQ(merged.Rows().front().Name, "Acier 316L");
  EXPECT_EQ(merged.Rows()[1].Name, "Autre");

  // Replacing under a new name, then removing, with the sources kept per row.
  user.Save(Material("Mon acier inox", 16, "revu"), "MON ACIER");
  user.Remove("autre");
  const std::vector<UserMaterial> rows = user.Read();
  ASSERT_EQ(rows.size(), 2u);
  for (const UserMaterial& row : rows) {
    EXPECT_TRUE(row.Row.Name == "nicraly" || row.Row.Name == "Mon acier inox") << row.Row.Name;
    EXPECT_EQ(row.Source, row.Row.Name == "nicraly" ? "mesure 2026" : "revu");
  }
  EXPECT_TRUE(ReadFile(dir / "p1.db") == shippedBytes);
}

TEST_F(UserCatalogueTest, ADamagedUserFileIsToldAndLeftAsItIs) {
  std::filesystem::create_directories(user.Path().parent_path());
  WriteFile(user.Path(), "not a database at all, but the user's own file");
  std::string fault;
  const MaterialsCatalogue merged = OpenMergedCatalogue(dir / "p1.db", user, fault);
  EXPECT_NE(fault.find(user.Path().string()), std::string::npos) << fault;
  EXPECT_EQ(merged.Rows().size(), 3u);
  EXPECT_EQ(ReadFile(user.Path()), "not a database at all, but the user's own file");
  EXPECT_THROW(user.Save(Material("X", 1, "")), CatalogueError);
  EXPECT_EQ(ReadFile(user.Path()), "not a database at all, but the user's own file");
}

TEST(UserCataloguePathTest, FollowsTheDataFolderOfTheUser) {
  const char* before = std::getenv("XDG_DATA_HOME");
  const std::string saved = before ? before : "";
  setenv("XDG_DATA_HOME", "/somewhere/data", 1);
  EXPECT_EQ(UserCatalogue::DefaultPath(), "/somewhere/data/quillane/materiaux.db");
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", std::getenv("HOME") ? std::getenv("HOME") : "/root", 1);
  EXPECT_EQ(UserCatalogue::DefaultPath(),
            std::filesystem::path(std::getenv("HOME")) / ".local/share/quillane/materiaux.db");
  if (before) setenv("XDG_DATA_HOME", saved.c_str(), 1);
}

}  // namespace
}  // namespace quillane::test
