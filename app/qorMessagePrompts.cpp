#include "app/qorMessagePrompts.h"

#include <QApplication>
#include <QMessageBox>

bool TqorMessagePrompts::Confirm(const std::string& text) {
  return QMessageBox::question(QApplication::activeWindow(), QStringLiteral("Vazadod"),
                               QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void TqorMessagePrompts::ShowMessage(const std::string& text) {
  QMessageBox::information(QApplication::activeWindow(), QStringLiteral("Vazadod"),
                           QString::fromStdString(text));
}
