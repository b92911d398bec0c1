// The desktop program: the input window over one model state, with the result windows.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTimer>
#include <QTranslator>
#include <algorithm>
#include <cstring>
#include <iostream>
#include <string_view>

#include "Version.h"
#include "model/ModelState.h"
#include "ui/Geometrie.h"
#include "ui/ResultWindows.h"

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

// An option neither ours nor Qt's: told before any window system is needed, since without a
// display QApplication would abort before reading it.
bool IsUnknownOption(std::string_view argument) {
  if (argument.size() < 2 || argument[0] != '-') return false;
  argument.remove_prefix(argument[1] == '-' ? 2 : 1);
  argument = argument.substr(0, argument.find('='));
  return std::find(std::begin(kQtOptions), std::end(kQtOptions), argument) == std::end(kQtOptions);
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before any window system is needed, so that they work without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << kUsage;
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << "quillane " << quillane::kVersion << "\n";
      return 0;
    }
  }
  for (int i = 1; i < argc; ++i) {
    if (IsUnknownOption(argv[i])) {
      std::cerr << "quillane: unknown option " << argv[i] << "\n\n" << kUsage;
      return 2;
    }
  }

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillane"));
  QApplication::setApplicationVersion(QString::fromLatin1(quillane::kVersion));
  QApplication::setOrganizationName(QStringLiteral("Quillane"));
  QApplication::setDesktopFileName(QStringLiteral("org.quillane.Quillane"));
  // Qt's own dialogs ("Enregistrer", "Annuler", "Regarder dans") in the user's language, from
  // the system's Qt translations.
  QTranslator qtTranslations;
  if (qtTranslations.load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTranslations);
  }

  // The one model state of the program, shared by every window for the program's life.
  quillane::ModelState state;
  quillane::ui::ResultWindows windows;
  quillane::ui::Geometrie input(state, windows);
  QObject::connect(&windows, &quillane::ui::ResultWindows::FinRequested, &input,
                   &quillane::ui::Geometrie::Fin);
  QObject::connect(&windows, &quillane::ui::ResultWindows::RazRequested, &input,
                   &quillane::ui::Geometrie::Raz);
  input.show();

  // A case named on the command line (Qt has taken its own options out): opened once the window
  // is on screen, so that a fault is told in a box in front of it and the defaults stay.
  const QStringList arguments = QApplication::arguments().mid(1);
  if (!arguments.isEmpty()) {
    const QString path = arguments.first();
    QTimer::singleShot(0, &input, [&input, path] { input.OpenCaseFrom(path); });
  }
  return QApplication::exec();
}
