// The one CSV reader: what spreadsheets write (byte-order mark, CRLF, quotes, ';' with decimal
// commas) reads as the plain text does, for records and materials alike.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "io/CsvText.h"
#include "io/MaterialsCsv.h"

namespace quillane {
namespace {

using Fields = std::vector<std::string>;

TEST(CsvTextTest, SpreadsheetTextReadsAsPlainText) {
  const struct {
    std::string text;
    char separator;
    std::vector<Fields> lines;
  } cases[] = {
      {"\xEF\xBB\xBF"
       "a,b\r\n1,2\r\n",
       ',',
       {{"a", "b"}, {"1", "2"}}},
      // The separator is the header's; a ';' inside quotes does not count.
      {"\"x;y\",b\n1,2\n", ',', {{"x;y", "b"}, {"1", "2"}}},
      {"a; b\r\n\r\n \"1,5\" ; \" q \"\"u\"\" \"\r\n", ';', {{"a", "b"}, {"1,5", " q \"u\" "}}},
      {"a,b\n1,\"2", ',', {{"a", "b"}, {"1", "2"}}},
  };
  for (const auto& c : cases) {
    const CsvText csv = ParseCsv(c.text);
    EXPECT_EQ(csv.Separator, c.separator) << c.text;
    ASSERT_EQ(csv.Lines.size(), c.lines.size()) << c.text;
    for (std::size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(csv.Lines[i].Fields, c.lines[i]);
  }
  // The line numbers count the blank lines left out; an open quote is told.
  const CsvText csv = ParseCsv("a,b\n\n1,\"2\n");
  EXPECT_EQ(csv.Lines[1].Number, 3u);
  EXPECT_FALSE(csv.Lines[1].Closed);
  EXPECT_EQ(ParseCsv("a;b\n").Number("1,5"), 1.5);
  EXPECT_EQ(ParseCsv("a,b\n").Number("1,5"), std::nullopt);
}

TEST(CsvTextTest, AMaterialsFileWithAByteOrderMarkImportsItsRows) {
  const test::TempDir dir;
  const std::string header =
      "Matériaux;Lambda;Rho;Cp;Tfusion;Lfusion;ModuleYoung;Poisson;dilat;SigmaQ;Source\r\n";
  test::WriteFile(dir / "m.csv", "\xEF\xBB\xBF" + header +
                                     "\"Acier; doux\";15;7900;500;1700;270000;190e9;0,3;16e-6;0;"
                                     "\"manuel, p. 3\"\r\n");
  const std::vector<CsvMaterial> rows = ReadMaterialsCsv(dir / "m.csv").Rows;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Material.Row.Name, "Acier; doux");
  EXPECT_THAT([&] { ReadMaterialsCsv(dir.Path()); },
              testing::ThrowsMessage<MaterialsCsvError>("Cannot read the materials file " +
                                                        dir.Path().string() +
                                                        ": it is a folder, not a file."));
}

}  // namespace
}  // namespace quillane
