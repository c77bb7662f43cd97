// The database login dialog: the database password, the user name and the user's password, as
// the login of a database asks for them (zuzDatabase.h), and the hook that lets a database use it.
//
//   +-- Database Login - <file name> ----------------+   336 x 174, centred on the screen
//   | Database Password:  [********            ]     |   enabled for the database password
//   | User name:          [                    ]     |   enabled for the user's log-on
//   | User Password:      [********            ]     |
//   |                              [ OK ] [Cancel]   |
//   +------------------------------------------------+
//
// Every field takes at most 40 characters; passwords are masked with "*". A disabled field is
// drawn in the window's background colour. Focus starts in the database password when it is
// asked for, else in the user's password.
#pragma once

#include <QDialog>
#include <QString>

#include "db/objects/zuzDatabase.h"

class QLineEdit;
class QWidget;

class TZuzPasswordDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMaxLength = 40;

  TZuzPasswordDialog(zuz::TZuzLoginMode mode, const QString& databaseFileName,
                     QWidget* parent = nullptr);

  QString DatabasePassword() const;
  QString UserName() const;
  QString UserPassword() const;
  void SetUserName(const QString& name);

  // Shows the dialog modally; true with the texts filled in when OK was chosen.
  static bool Ask(QWidget* parent, zuz::TZuzLoginMode mode, const QString& databaseFileName,
                  std::string& user, std::string& password, std::string& databasePassword);

 private:
  QLineEdit* databasePassword_;
  QLineEdit* userName_;
  QLineEdit* userPassword_;
};

// Makes the database ask for its login data with the dialog (over the parent window, which must
// outlive the database's connects) and show a failed log-on in an error message box before it asks
// again. BeforeLogin, when assigned, still comes first.
void InstallLoginDialog(zuz::TZuzDataBase& db, QWidget* parent);
