// The program's application object. Every exception that escapes an event handler is shown in
// a message box with its text, and the program goes on: the widgets of the program report
// their own (through the event guard, which this object installs), and notify catches whatever
// else reaches the event dispatch. Every window shows the program's icon.
#pragma once

#include <QApplication>

class TqorApplication : public QApplication {
  Q_OBJECT

 public:
  TqorApplication(int& argc, char** argv);
  ~TqorApplication() override;
  bool notify(QObject* receiver, QEvent* event) override;
};
