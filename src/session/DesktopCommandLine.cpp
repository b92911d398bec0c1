#include "session/DesktopCommandLine.h"

#include <algorithm>
#include <iterator>

namespace quillane::session {

namespace {

constexpr const char* kUsage =
    "Usage: quillane [CASE.quillane.json]\n"
    "       quillane --help | --version\n"
    "\n"
    "Opens the input window of Quillane, with the case named, if any.\n"
    "\n"
    "Options:\n"
    "  --help      Print this help and stop\n"
    "  --version   Print the version and stop\n";

// Qt's own options, which QApplication takes out of the arguments (after one dash or two).
constexpr std::string_view kQtOptions[] = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",  "qmljsdebugger",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "reverse", "session",
    "style",           "stylesheet",         "widgetcount",   "display", "geometry"};

bool IsUnknownOption(std::string_view argument) {
  if (argument.size() < 2 || argument[0] != '-') return false;
  argument.remove_prefix(argument[1] == '-' ? 2 : 1);
  argument = argument.substr(0, argument.find('='));
  return std::find(std::begin(kQtOptions), std::end(kQtOptions), argument) == std::end(kQtOptions);
}

}  // namespace

std::optional<EarlyAnswer> AnswerBeforeWindows(const std::vector<std::string>& arguments,
                                               std::string_view version) {
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") return EarlyAnswer{0, kUsage, {}};
    if (argument == "--version") {
      return EarlyAnswer{0, "quillane " + std::string(version) + "\n", {}};
    }
  }
  for (const std::string& argument : arguments) {
    if (IsUnknownOption(argument)) {
      return EarlyAnswer{2, {}, "quillane: unknown option " + argument + "\n\n" + kUsage};
    }
  }
  return std::nullopt;
}

}  // namespace quillane::session
