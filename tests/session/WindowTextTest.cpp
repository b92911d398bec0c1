// What the windows write alike, and the desktop program's answers before any window.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "session/DesktopCommandLine.h"
#include "session/WindowText.h"

namespace quillane::session {
namespace {

// WithUnit is checked by the study table's headings (StudyViewTest), with a unit and without.
TEST(WindowTextTest, ALocaleGivesSeparatorsTheNumberRoutinesCanRead) {
  const struct {
    const char *decimal, *group;
    char wantDecimal, wantGroup;
  } cases[] = {
      {".", ",", '.', ','},
      {",", "\u202f", ',', ' '},  // French: a narrow blank groups the digits
      {",", ",", ',', ' '},       // a group separator that is the decimal one
      {"\u066b", "\u066c", '.', ' '},
  };
  for (const auto& c : cases) {
    const RegionalSettings settings = SeparatorsOf(c.decimal, c.group);
    EXPECT_EQ(std::tuple(settings.DecimalSeparator, settings.GroupSeparator),
              std::tuple(c.wantDecimal, c.wantGroup))
        << c.decimal << c.group;
  }
}

TEST(WindowTextTest, FiltersTakeTheirPatternAndNamesTheChosenSuffix) {
  EXPECT_EQ(NameFilters("Tout (*.*)|*.*|Texte|*.txt|Reste"),
            (std::vector<std::string>{"Tout (*.*)", "Texte (*.txt)"}));
  EXPECT_TRUE(NameFilters("").empty());
  const struct {
    const char *path, *filter, *want;
  } cases[] = {
      {"/tmp/courbe", "Images PNG (*.png)", "/tmp/courbe.png"},
      {"/tmp/v1.2/courbe", "Dessins SVG (*.svg)", "/tmp/v1.2/courbe.svg"},
      {"/tmp/courbe.pdf", "Images PNG (*.png)", "/tmp/courbe.pdf"},
      {"", "Images PNG (*.png)", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(WithFilterSuffix(c.path, c.filter), c.want) << c.path;
}

TEST(WindowTextTest, TheProgramTellsItsVersionItsCataloguesAndWhereItsGuideLies) {
  test::ExpectMessages("about the program", {AboutText("1.2.0", "/usr/share/quillane/Brelon.db",
                                                       "/home/a/.local/m.db")});
  EXPECT_EQ(GuidePath("/usr/share/quillane/Brelon.db").string(),
            "/usr/share/doc/quillane-batch/README.md");
  // In the build tree the README lies beside the programs.
  const std::filesystem::path build = QUILLANE_BUILD_DIR;
  EXPECT_EQ(GuidePath(build / "Brelon.db"), build / "README.md");
  EXPECT_TRUE(std::filesystem::is_regular_file(build / "README.md"));
}

TEST(WindowTextTest, TheRecentFilesPutTheLastFirstOnceAndKeepEight) {
  const std::vector<std::string> full = {"1", "2", "3", "4", "5", "6", "7", "8"};
  const struct {
    std::vector<std::string> Before;
    const char* Path;
    std::vector<std::string> After;
  } cases[] = {{{}, "a", {"a"}},
               {{"a", "", "b"}, "b", {"b", "a"}},
               {full, "9", {"9", "1", "2", "3", "4", "5", "6", "7"}},
               {full, "5", {"5", "1", "2", "3", "4", "6", "7", "8"}}};
  for (const auto& c : cases) EXPECT_EQ(WithRecent(c.Before, c.Path), c.After) << c.Path;
}

TEST(DesktopCommandLineTest, HelpVersionAndUnknownOptionsAreAnsweredBeforeAnyWindow) {
  const struct {
    std::vector<std::string> Arguments;
    bool Answered;
    int Status;
    std::string Starts;  // of what is printed, on the output or the error stream
  } cases[] = {
      {{"essai.json"}, false, 0, ""},
      // Qt's own options, after one dash or two, with their value beside or after them.
      {{"-platform", "offscreen", "essai.json"}, false, 0, ""},
      {{"--style=fusion"}, false, 0, ""},
      {{"-"}, false, 0, ""},
      {{"--version"}, true, 0, "quillane 9.8.7\n"},
      {{"essai.json", "-h"}, true, 0, "Usage: quillane [CASE.quillane.json]\n"},
      // Help wins over a wrong option anywhere on the line.
      {{"--bogus", "--help"}, true, 0, "Usage: quillane"},
      {{"--bogus"}, true, 2, "quillane: unknown option --bogus\n\nUsage: quillane"},
      {{"-styles=x"}, true, 2, "quillane: unknown option -styles=x\n"},
  };
  for (const auto& c : cases) {
    const auto answer = AnswerBeforeWindows(c.Arguments, "9.8.7");
    ASSERT_EQ(answer.has_value(), c.Answered) << c.Arguments.size();
    if (!answer) continue;
    EXPECT_EQ(answer->Status, c.Status);
    const std::string& printed = c.Status == 0 ? answer->Out : answer->Err;
    EXPECT_EQ(printed.substr(0, c.Starts.size()), c.Starts);
    EXPECT_TRUE((c.Status == 0 ? answer->Err : answer->Out).empty());
  }
}

}  // namespace
}  // namespace quillane::session
