// The desktop program's command line before any window: help, the version, and options neither
// the program's nor Qt's.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/DesktopCommandLine.h"

namespace quillane::session {
namespace {

TEST(DesktopCommandLineTest, HelpVersionAndUnknownOptionsAreAnsweredBeforeAnyWindow) {
  const struct {
    std::vector<std::string> Arguments;
    bool Answered;
    int Status;
    std::string Starts;  // of what is printed, on the output or the error stream
  } cases[] = {
      {{}, false, 0, ""},
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
