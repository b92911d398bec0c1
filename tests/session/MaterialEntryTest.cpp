#include <gtest/gtest.h>
#include "TestSupport.h"
#include "format/NumberFormat.h"
#include "session/MaterialEntry.h"

namespace quillane::session {
namespace {

MaterialEntries Steel() {
  MaterialEntries entries;
  entries.Name = "  Mon acier ";
  entries.Figures = {"16,2", "7990", "500", "1700", "2.7e5", "1.93e11", "0.3", "1,6e-5", "0"};
  entries.Source = " fiche 12 ";
  return entries;
}

TEST(MaterialEntryTest, ReadsBothSeparatorsAndTrimsTheTexts) {
  const MaterialReading reading = ReadMaterialEntries(Steel(), ',');
  ASSERT_TRUE(reading.Material) << (reading.Faults.empty() ? "" : reading.Faults[0].English);
  const UserMaterial& read = *reading.Material;
  EXPECT_EQ(std::tie(read.Row.Name, read.Source, read.Row.Lambda, read.Row.dilat),
            std::tuple("Mon acier", "fiche 12", 16.2, 1.6e-5));
  // What the form shows of a row, with either separator, reads back as the same row.
  const struct {
    char Separator;
    const char* Lambda;
    const char* Young;
  } shown[] = {{',', "16,2", "1,93E+11"}, {'.', "16.2", "1.93E+11"}};
  for (const auto& c : shown) {
    const MaterialEntries entries = EntriesOf(*reading.Material, c.Separator);
    EXPECT_EQ(std::tie(entries.Figures[0], entries.Figures[5]), std::tie(c.Lambda, c.Young));
    const MaterialReading again = ReadMaterialEntries(entries, c.Separator);
    ASSERT_TRUE(again.Material);
    EXPECT_EQ(again.Material->Row, reading.Material->Row);
  }
}

TEST(MaterialEntryTest, FiguresOfEverydaySizeAreWrittenOutAndOthersKeepAnExponent) {
  const struct {
    double Value;
    const char* Text;
  } figures[] = {{3e5, "300000"},       {-3e5, "-300000"},        {1357.8, "1357,8"},
                 {1e-4, "0,0001"},      {9.5e-5, "9,5E-05"},      {1e7, "1E+07"},
                 {1.93e11, "1,93E+11"}, {6543210.5, "6543210,5"}, {0, "0"}};
  for (const auto& f : figures) {
    EXPECT_EQ(FigureText(f.Value, ','), f.Text) << f.Value;
    EXPECT_EQ(format::ParseStrict(f.Text, ',', ' '), f.Value) << f.Text;
  }
}

TEST(MaterialEntryTest, EveryFaultIsToldAndNoRowIsMade) {
  void (*const changes[])(MaterialEntries&) = {
      [](MaterialEntries& e) { e.Name = "  "; },
      [](MaterialEntries& e) { e.Figures[1] = "lourd"; },
      [](MaterialEntries& e) { e.Figures[2] = ""; },
      [](MaterialEntries& e) { e.Figures[6] = "1,2"; },
  };
  std::vector<std::string> told;
  for (const auto change : changes) {
    MaterialEntries entries = Steel();
    change(entries);
    const MaterialReading reading = ReadMaterialEntries(entries, ',');
    ASSERT_EQ(std::pair(bool(reading.Material), reading.Faults.size()),
              std::pair(false, std::size_t{1}));
    told.push_back(reading.Faults[0].French);
  }
  test::ExpectMessages("material entry faults", told);
}

TEST(MaterialEntryTest, NewRowsStartEmptyAndCopiesTakeANameOfTheirOwn) {
  const MaterialEntries blank = EntriesOf(NewMaterial(), ',');
  EXPECT_EQ(blank.Figures, decltype(blank.Figures){});
  EXPECT_FALSE(ReadMaterialEntries(blank, ',').Material);
  MaterialRecord row;
  row.Name = "NiCrAlY";
  row.Lambda = 4.5;
  const UserMaterial copy = CopyOf(row);
  EXPECT_EQ(std::tie(copy.Row.Name, copy.Row.Lambda), std::tuple("NiCrAlY (copie)", 4.5));
}

// A figure's points as its little table gives them: read in any order, blank lines skipped,
// every fault told; the row carries them and its table line marks the figure.
TEST(MaterialEntryTest, PointsAreReadCheckedAndCarriedByTheRow) {
  const TableFigure& lambda = kTableFigures[0];
  const PointsReading read =
      ReadPointEntries(lambda, {{"800", "21,5"}, {" ", ""}, {"300", "15"}, {"1,2E+03", "27"}});
  ASSERT_TRUE(read.Points);
  const FigureTable points{{300, 15}, {800, 21.5}, {1200, 27}};
  EXPECT_EQ(*read.Points, points);
  EXPECT_EQ(PointTexts(points, ','),
            (std::vector<PointEntry>{{"300", "15"}, {"800", "21,5"}, {"1200", "27"}}));
  EXPECT_EQ(ReadPointEntries(lambda, {{"", ""}}).Points, FigureTable{});
  const FigureCurve curve = CurveOf(points);
  EXPECT_EQ(curve.Temperatures, (std::vector<double>{210, 300, 800, 1200, 1290}));
  EXPECT_EQ(curve.Values, (std::vector<double>{15, 15, 21.5, 27, 27}));

  // A table's own faults are the figure tables' (one stands for them all here).
  const std::vector<std::vector<PointEntry>> bad = {{{"300", "chaud"}, {"froid", "1"}},
                                                    {{"300", "15"}}};
  std::vector<std::string> told;
  for (const auto& lines : bad) {
    const PointsReading reading = ReadPointEntries(lambda, lines);
    EXPECT_FALSE(reading.Points);
    for (const InputFault& fault : reading.Faults) told.push_back(fault.French);
  }
  test::ExpectMessages("material points faults", told);

  MaterialEntries entries = Steel();
  entries.Tables.Lambda = points;
  const MaterialReading row = ReadMaterialEntries(entries, ',');
  ASSERT_TRUE(row.Material);
  EXPECT_EQ(row.Material->Row.Tables.Lambda, points);
  EXPECT_EQ(EntriesOf(*row.Material, ',').Tables, entries.Tables);
  entries.Tables.Cp = {{300, 500}};
  EXPECT_FALSE(ReadMaterialEntries(entries, ',').Material);
}

// The small catalogue's shipped rows, with (`with`) or without the user's "Mon NiCr" over them.
class MaterialTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::BuildDatabase(test::DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
    UserCatalogue mine(dir / "mine.db");
    MaterialEntries entries = Steel();
    entries.Name = "Mon NiCr";
    entries.Tables.SigmaQ = {{293, 0}, {900, 1e6}};
    mine.Save(*ReadMaterialEntries(entries, ',').Material);
    std::string fault;
    with = OpenMergedCatalogue(dir / "p1.db", mine, fault);
    without = OpenMergedCatalogue(dir / "p1.db", UserCatalogue(dir / "none.db"), fault);
  }
  test::TempDir dir;
  MaterialsCatalogue with, without;
};

// Figures as every table shows numbers (stresses and moduli in MPa), a figure against T marked.
TEST_F(MaterialTableTest, TheTableShowsEveryRowWithItsOriginAndTheUsersSources) {
  const auto joined = [](const std::vector<std::string>& cells) {
    std::string line;
    for (const std::string& cell : cells) line += "|" + cell;
    return line + "|";
  };
  // The source is found whatever the case of the name.
  UserMaterial mine = *ReadMaterialEntries(Steel(), ',').Material;
  mine.Row.Name = "MON NICR";
  std::vector<std::string> told = {joined(CatalogueHeaders())};
  const std::vector<CatalogueLine> lines = CatalogueLines(with, {mine}, ',');
  for (std::size_t i = 0; i < lines.size(); ++i) {
    // A shipped row is never written nor deleted.
    EXPECT_EQ(Removable(with, i), lines[i].Mine);
    EXPECT_EQ(Replacing(with, i), lines[i].Mine ? with.Rows()[i].Name : "");
    told.push_back(joined(lines[i].Cells));
  }
  test::ExpectMessages("materials table", told);
}

// Only the first and the fourth save ask (the reference file keeps no empty line).
TEST_F(MaterialTableTest, ASaveThatReplacesAnotherRowAsksFirstAndNamesIt) {
  const struct {
    const char *Name, *Edited;
    std::vector<RowChange> Changes;
    const char* Replacing = "";
  } cases[] = {
      {"mon nicr", "", {{"Mon NiCr", "mon nicr"}}},
      {"MON NICR", "Mon NiCr", {{"Mon NiCr", "MON NICR"}}, "Mon NiCr"},
      {"Autre", "Mon NiCr", {{"Mon NiCr", "Autre"}}, "Mon NiCr"},
      {"nicraly", "", {{"NiCrAlY", "nicraly"}}},
      {"Autre", "", {}},
  };
  std::vector<std::string> told;
  for (const auto& c : cases) {
    const std::string question = ReplaceQuestion(with, c.Name, c.Edited);
    if (!question.empty()) told.push_back(question);
    EXPECT_EQ(SaveChanges(with, c.Name, c.Replacing), c.Changes) << c.Name;
  }
  told.push_back(DeleteQuestion("Mon NiCr"));
  test::ExpectMessages("material questions", told);
}

TEST_F(MaterialTableTest, APickFollowsItsRowReplacedAndIsClearedWhenItsRowIsGone) {
  const struct {
    const char* Picked;
    std::vector<RowChange> Changes;
    const MaterialsCatalogue* After;
    const char* Followed;
  } cases[] = {
      {"mon nicr", {{"Mon NiCr", "Mon NiCr 2"}}, &with, "Mon NiCr 2"},
      {"Mon NiCr", {{"Mon NiCr", ""}}, &without, ""},
      // A deleted user row uncovers the shipped row of its name, which stays picked.
      {"contact", {{"Contact", ""}}, &without, "contact"},
      {"NiCrAlY", {{"Mon NiCr", ""}}, &without, "NiCrAlY"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FollowedPick(c.Picked, c.Changes, *c.After), c.Followed) << c.Picked;
}

}  // namespace
}  // namespace quillane::session
