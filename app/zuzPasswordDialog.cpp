#include "app/zuzPasswordDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QLineEdit* MakeEdit(QWidget* parent, const char* objectName, bool masked, bool enabled) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QLatin1String(objectName));
  edit->setMaxLength(TZuzPasswordDialog::kMaxLength);
  if (masked) {
    edit->setEchoMode(QLineEdit::Password);
    // "*" whatever the style's own password character is.
    edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
  }
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Disabled, QPalette::Base, palette.color(QPalette::Window));
  edit->setPalette(palette);
  edit->setEnabled(enabled);
  return edit;
}

}  // namespace

TZuzPasswordDialog::TZuzPasswordDialog(zuz::TZuzLoginMode mode, const QString& databaseFileName,
                                       QWidget* parent)
    : QDialog(parent) {
  using zuz::TZuzLoginMode;
  setWindowTitle(QStringLiteral("Database Login") + QStringLiteral(" - ") + databaseFileName);
  const bool askDatabase = mode == TZuzLoginMode::DatabasePassword || mode == TZuzLoginMode::All;
  const bool askUser = mode == TZuzLoginMode::User || mode == TZuzLoginMode::All;
  databasePassword_ = MakeEdit(this, "databasePassword", true, askDatabase);
  userName_ = MakeEdit(this, "userName", false, askUser);
  userPassword_ = MakeEdit(this, "userPassword", true, askUser);

  auto* form = new QFormLayout;
  auto addRow = [&](const char* text, QLineEdit* edit) {
    auto* label = new QLabel(QString::fromLatin1(text), this);
    label->setBuddy(edit);
    form->addRow(label, edit);
  };
  addRow("Database Password:", databasePassword_);
  addRow("User name:", userName_);
  addRow("User Password:", userPassword_);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  ok->setObjectName(QStringLiteral("ok"));
  cancel->setObjectName(QStringLiteral("cancel"));
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addStretch();
  layout->addWidget(buttons);

  resize(336, 174);
  if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  (askDatabase ? databasePassword_ : userPassword_)->setFocus();
}

QString TZuzPasswordDialog::DatabasePassword() const {
  return databasePassword_->text();
}

QString TZuzPasswordDialog::UserName() const {
  return userName_->text();
}

QString TZuzPasswordDialog::UserPassword() const {
  return userPassword_->text();
}

void TZuzPasswordDialog::SetUserName(const QString& name) {
  userName_->setText(name);
}

bool TZuzPasswordDialog::Ask(QWidget* parent, zuz::TZuzLoginMode mode,
                             const QString& databaseFileName, std::string& user,
                             std::string& password, std::string& databasePassword) {
  TZuzPasswordDialog dialog(mode, databaseFileName, parent);
  dialog.SetUserName(QString::fromStdString(user));
  if (dialog.exec() != QDialog::Accepted) return false;
  user = dialog.UserName().toStdString();
  password = dialog.UserPassword().toStdString();
  databasePassword = dialog.DatabasePassword().toStdString();
  return true;
}

void InstallLoginDialog(zuz::TZuzDataBase& db, QWidget* parent) {
  db.LoginDialog = [parent](zuz::TZuzDataBase& database, zuz::TZuzLoginMode mode, std::string& user,
                            std::string& password, std::string& key) {
    return TZuzPasswordDialog::Ask(parent, mode, QString::fromStdString(database.DataBaseName()),
                                   user, password, key);
  };
  db.LoginError = [parent](zuz::TZuzDataBase&, const std::string& message) {
    QMessageBox::critical(parent ? parent : QApplication::activeWindow(), QStringLiteral("Vazadod"),
                          QString::fromStdString(message));
  };
}
