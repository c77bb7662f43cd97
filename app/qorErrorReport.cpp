#include "app/qorErrorReport.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <stdexcept>

namespace {
bool boxOpen = false;
}

void ShowErrorMessage(const QString& text) {
  if (boxOpen) {
    std::fprintf(stderr, "Vazadod: %s\n", text.toLocal8Bit().constData());
    return;
  }
  boxOpen = true;
  try {
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Vazadod"), text);
  } catch (...) {
    boxOpen = false;
    throw;
  }
  boxOpen = false;
}

void ReportCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    ShowErrorMessage(QString::fromUtf8(e.what()));
  } catch (...) {
    ShowErrorMessage(QStringLiteral("An unknown error occurred."));
  }
}
