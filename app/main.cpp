// The program entry: the application object, the main window, the event loop.
#include <QApplication>

#include "app/qorApplication.h"
#include "app/qorMessagePrompts.h"
#include "app/uVazadod.h"

int main(int argc, char** argv) {
  TqorApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vazadod"));
  QApplication::setApplicationDisplayName(QStringLiteral("Vazadod"));
  QGuiApplication::setDesktopFileName(QStringLiteral("vazadod"));

  TqorMessagePrompts prompts;
  SetUserPrompts(&prompts);

  // The dialogs of the planner join the main window here, each created once for the whole run.
  int result = 0;
  {
    TfrmVazadod frmVazadod;
    frmVazadod.show();
    result = app.exec();
  }
  SetUserPrompts(nullptr);
  return result;
}
