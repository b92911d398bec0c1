#pragma once
// The desktop program's command line, answered before any window system is needed, so that
// help, the version and a wrong option work without a display (QApplication would abort first).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillane::session {

// What the program prints and the status it ends with, without opening a window.
struct EarlyAnswer {
  int Status = 0;
  std::string Out;
  std::string Err;
};

// `arguments` without the program's name. "--help" (or "-h") and "--version" are answered; an
// option neither the program's nor Qt's (after one dash or two, with or without "=value") is
// refused with the usage, status 2. Nothing when the windows are to open, with the case named.
std::optional<EarlyAnswer> AnswerBeforeWindows(const std::vector<std::string>& arguments,
                                               std::string_view version);

}  // namespace quillane::session
