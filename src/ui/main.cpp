// The desktop program: the input window over one model state, with the result windows.
#include <QApplication>

#include "model/ModelState.h"
#include "ui/Geometrie.h"
#include "ui/ResultWindows.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillane"));
  QApplication::setOrganizationName(QStringLiteral("Quillane"));

  // The one model state of the program, shared by every window for the program's life.
  quillane::ModelState state;
  quillane::ui::ResultWindows windows;
  quillane::ui::Geometrie input(state, windows);
  QObject::connect(&windows, &quillane::ui::ResultWindows::FinRequested, &input,
                   &quillane::ui::Geometrie::Fin);
  QObject::connect(&windows, &quillane::ui::ResultWindows::RazRequested, &input,
                   &quillane::ui::Geometrie::Raz);
  input.show();
  return QApplication::exec();
}
