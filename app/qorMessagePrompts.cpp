#include "app/qorMessagePrompts.h"

#include <QApplication>
#include <QMessageBox>

#include "app/qorDialogFields.h"

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
  return CheckedInputQuery(caption, label, value, {});
}

bool TqorMessagePrompts::CheckedInputQuery(const std::string& caption, const std::string& label,
                                           std::string& value, const TqorInputCheck& check) {
  QString text = QString::fromStdString(value);
  if (!::InputQuery(QApplication::activeWindow(), QString::fromStdString(caption),
                    QString::fromStdString(label), text, 0, check))
    return false;
  value = text.toStdString();
  return true;
}
