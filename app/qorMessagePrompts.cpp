#include "app/qorMessagePrompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QString DisplayText(const std::string& text) {
  return QString::fromStdString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

}  // namespace

bool TqorMessagePrompts::Confirm(const std::string& text) {
  return QMessageBox::question(QApplication::activeWindow(), QStringLiteral("Vazadod"),
                               DisplayText(text), QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void TqorMessagePrompts::ShowMessage(const std::string& text) {
  QMessageBox::information(QApplication::activeWindow(), QStringLiteral("Vazadod"),
                           DisplayText(text));
}

bool TqorMessagePrompts::InputQuery(const std::string& caption, const std::string& label,
                                    std::string& value) {
  QInputDialog dialog(QApplication::activeWindow());
  dialog.setObjectName(QStringLiteral("InputQuery"));
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setWindowTitle(QString::fromStdString(caption));
  dialog.setLabelText(QString::fromStdString(label));
  dialog.setTextValue(QString::fromStdString(value));
  if (dialog.exec() != QDialog::Accepted) return false;
  value = dialog.textValue().toStdString();
  return true;
}
