#include "app/qorApplication.h"

#include "app/qorAppIcon.h"
#include "app/qorErrorReport.h"
#include "planner/grid/qorEventGuard.h"

TqorApplication::TqorApplication(int& argc, char** argv) : QApplication(argc, argv) {
  SetEventErrorReport(&ReportCurrentException);
  setWindowIcon(AppIcon());
}

TqorApplication::~TqorApplication() {
  SetEventErrorReport(nullptr);
}

bool TqorApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportCurrentException();
    return false;
  }
}
