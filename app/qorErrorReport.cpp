#include "app/qorErrorReport.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <stdexcept>

#include "app/core/qorChangedElsewhere.h"
#include "db/storage/zuzError.h"

namespace {
bool boxOpen = false;
std::function<void(const QString&)> changedElsewhere;
}  // namespace

void SetChangedElsewhereHandler(std::function<void(const QString& text)> handler) {
  changedElsewhere = std::move(handler);
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
  } catch (const EqorChangedElsewhere& e) {
    if (changedElsewhere) {
      // A copy: the handler may replace itself.
      const auto handler = changedElsewhere;
      handler(QString::fromUtf8(e.what()));
    } else {
      ShowErrorMessage(QString::fromUtf8(e.what()));
    }
  } catch (const zuz::EZuzDatabaseError& e) {
    if (e.ErrorCode() == zuz::ZUZ_ERR_LOCK_TIMEOUT)
      ShowErrorMessage(QStringLiteral("The plan stayed busy in another program, and Vazadod gave "
                                      "up waiting for it: your change was not made. Try again "
                                      "in a moment.\n\n") +
                       QString::fromUtf8(e.what()));
    else
      ShowErrorMessage(QString::fromUtf8(e.what()));
  } catch (const std::exception& e) {
    ShowErrorMessage(QString::fromUtf8(e.what()));
  } catch (...) {
    ShowErrorMessage(QStringLiteral("An unknown error occurred."));
  }
}
