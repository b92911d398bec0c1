// The desktop program: the input window over one model state, with the result windows.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTimer>
#include <QTranslator>
#include <iostream>

#include "Version.h"
#include "model/ModelState.h"
#include "session/DesktopCommandLine.h"
#include "ui/Geometrie.h"
#include "ui/ResultWindows.h"

int main(int argc, char** argv) {
  // Help, the version and a wrong option are answered before any window system is needed.
  if (const auto answer =
          quillane::session::AnswerBeforeWindows({argv + 1, argv + argc}, quillane::kVersion)) {
    std::cout << answer->Out;
    std::cerr << answer->Err;
    return answer->Status;
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
