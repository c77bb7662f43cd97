// The database login dialog: its fields, texts, enabling and masking by login mode, the texts it
// returns, and a database connecting through it (asked again after a failed log-on, cancelled).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>

#include "app/zuzPasswordDialog.h"
#include "db/objects/zuzDatabase.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzMemoryFile.h"
#include "tests/qtTestEnvironment.h"

namespace {

using zuz::TZuzLoginMode;

const auto* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QApplication>("app_login_tests"));

QLineEdit* Edit(QWidget* dialog, const char* name) {
  return dialog->findChild<QLineEdit*>(QLatin1String(name));
}

QString LabelOf(QWidget* dialog, QLineEdit* edit) {
  for (QLabel* label : dialog->findChildren<QLabel*>()) {
    if (label->buddy() == edit) return label->text();
  }
  return {};
}

TEST(LoginDialog, FieldsByMode) {
  struct TCase {
    TZuzLoginMode mode;
    bool database, user;
    const char* focus;
  };
  for (const TCase& c : {TCase{TZuzLoginMode::DatabasePassword, true, false, "databasePassword"},
                         TCase{TZuzLoginMode::User, false, true, "userPassword"},
                         TCase{TZuzLoginMode::All, true, true, "databasePassword"}}) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    TZuzPasswordDialog dialog(c.mode, QStringLiteral("Vazadod.zuz"));
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Database Login - Vazadod.zuz"));
    EXPECT_EQ(dialog.size(), QSize(336, 174));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((dialog.frameGeometry().center() - screen.center()).manhattanLength(), 40);
    QLineEdit* database = Edit(&dialog, "databasePassword");
    QLineEdit* name = Edit(&dialog, "userName");
    QLineEdit* password = Edit(&dialog, "userPassword");
    ASSERT_TRUE(database && name && password);
    EXPECT_EQ(LabelOf(&dialog, database), QStringLiteral("Database Password:"));
    EXPECT_EQ(LabelOf(&dialog, name), QStringLiteral("User name:"));
    EXPECT_EQ(LabelOf(&dialog, password), QStringLiteral("User Password:"));
    EXPECT_EQ(database->isEnabled(), c.database);
    EXPECT_EQ(name->isEnabled(), c.user);
    EXPECT_EQ(password->isEnabled(), c.user);
    EXPECT_EQ(dialog.focusWidget(), Edit(&dialog, c.focus));
    for (QLineEdit* e : {database, name, password}) {
      EXPECT_EQ(e->maxLength(), 40);
      // A disabled field shows the window's background.
      EXPECT_EQ(e->palette().color(QPalette::Disabled, QPalette::Base),
                e->palette().color(QPalette::Window));
    }
    for (QLineEdit* e : {database, password}) {
      EXPECT_EQ(e->echoMode(), QLineEdit::Password);
      EXPECT_EQ(e->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, e), '*');
    }
    EXPECT_EQ(name->echoMode(), QLineEdit::Normal);
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("ok"));
    auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("cancel"));
    ASSERT_TRUE(ok && cancel);
    EXPECT_EQ(ok->text(), QStringLiteral("&OK"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
  }
}

// Answers the dialogs and message boxes that open, one step for each, in order.
class TAnswers {
 public:
  std::deque<std::function<void(QWidget*)>> steps;
  QStringList messages;

  TAnswers() {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
  }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || steps.empty()) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) messages << box->text();
    auto step = std::move(steps.front());
    steps.pop_front();
    step(modal);
  }
  QTimer timer_;
};

// Fills in the dialog's enabled fields and presses Enter (OK is the default button).
std::function<void(QWidget*)> Type(QString database, QString user, QString password,
                                   TZuzLoginMode expected) {
  return [=](QWidget* w) {
    auto* dialog = qobject_cast<TZuzPasswordDialog*>(w);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(Edit(dialog, "databasePassword")->isEnabled(), expected != TZuzLoginMode::User);
    EXPECT_EQ(Edit(dialog, "userName")->isEnabled(), expected != TZuzLoginMode::DatabasePassword);
    if (Edit(dialog, "databasePassword")->isEnabled()) {
      QTest::keyClicks(Edit(dialog, "databasePassword"), database);
    }
    if (Edit(dialog, "userName")->isEnabled()) {
      Edit(dialog, "userName")->setText(user);
      QTest::keyClicks(Edit(dialog, "userPassword"), password);
    }
    QTest::keyClick(Edit(dialog, "userPassword"), Qt::Key_Return);
  };
}

void Press(QWidget* w, const char* button) {
  w->findChild<QPushButton*>(QLatin1String(button))->click();
}

int ErrorCodeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const zuz::EZuzDatabaseError& e) {
    return e.ErrorCode();
  }
  return 0;
}

TEST(LoginDialog, DatabaseConnectsThroughIt) {
  zuz::TMemoryFileSystem fs;
  zuz::TZuzDataBase db(&fs);
  db.SetDataBaseName("/mem/Locked.zuz");
  db.SetMasterKey("database-pw");
  db.CreateDatabase();
  db.SetMasterKey("");
  InstallLoginDialog(db, nullptr);
  TAnswers answers;
  answers.steps.push_back(Type("database-pw", "", "", TZuzLoginMode::DatabasePassword));
  db.Open();
  EXPECT_TRUE(db.Connected());
  db.Close();
  answers.steps.push_back([](QWidget* w) { Press(w, "cancel"); });
  EXPECT_EQ(ErrorCodeOf([&] { db.Open(); }), zuz::ZUZ_ERR_INVALID_LOGIN);
  EXPECT_FALSE(db.Connected());

  // Users and groups: a failed log-on is shown, then only the user is asked for again.
  zuz::TZuzDataBase users(&fs);
  users.SetDataBaseName("/mem/Users.zuz");
  users.UserSecurity = true;
  users.CreateDatabase();
  InstallLoginDialog(users, nullptr);
  answers.steps.push_back(Type("", "administrator", "first", TZuzLoginMode::All));
  users.Open();  // the administrator's first log-on
  users.Close();
  answers.steps.push_back(Type("", "administrator", "wrong", TZuzLoginMode::All));
  answers.steps.push_back([](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_TRUE(box);
    box->button(QMessageBox::Ok)->click();
  });
  answers.steps.push_back(
      Type("", "administrator", zuz::TSecurityManager::kInitialPassword, TZuzLoginMode::User));
  users.Open();
  EXPECT_TRUE(users.Connected());
  ASSERT_EQ(answers.messages.size(), 1);
  EXPECT_TRUE(answers.messages[0].contains(QStringLiteral("Bad user name or password")));
  EXPECT_TRUE(answers.steps.empty());
}

}  // namespace
