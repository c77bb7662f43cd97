// Database passwords, users, groups and privileges: the login of each security level through
// BeforeLogin and through a login dialog, the administrator's first log-on, wrong and expired
// passwords, the privileges of reads and of every kind of write through SQL and through table
// datasets, and the bytes an encrypted database leaves in its files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "db/objects/zuzDatabase.h"
#include "db/objects/zuzSQL.h"
#include "db/objects/zuzTable.h"
#include "db/record/zuzDataUnit.h"
#include "db/storage/zuzCrypt.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzLogger.h"
#include "db/storage/zuzMemoryFile.h"
#include "db/storage/zuzSystemInfo.h"
#include "tests/db/dbRecordingFileSystem.h"
#include "tests/db/dbTestUtil.h"

namespace zuz::test {
namespace {

constexpr const char* kPath = "/mem/db/Guarded.zuz";
constexpr const char* kDbPassword = "Open-Sesame-99";
using V = std::vector<std::string>;

int64_t Exec(TZuzDataBase& db, const std::string& sql) {
  TZuzQuery q;
  q.SetDataBase(&db);
  q.SetSQL(sql);
  q.ExecSQL();
  return q.RowsAffected();
}

V Column(TZuzDataBase& db, const std::string& sql) {
  TZuzQuery q;
  q.SetDataBase(&db);
  q.SetSQL(sql);
  q.Open();
  V out;
  for (; !q.Eof(); q.Next()) out.push_back(q.FieldValue(0).ToText());
  return out;
}

// Supplies fixed login data through BeforeLogin, recording the modes asked for.
void LoginWith(TZuzDataBase& db, std::string user, std::string password, std::string key,
               std::vector<TZuzLoginMode>* modes = nullptr) {
  db.BeforeLogin = [=](TZuzDataBase& d, std::string& u, std::string& p, std::string& k) {
    if (modes) modes->push_back(d.LoginMode());
    u = user;
    p = password;
    k = key;
  };
}

bool LogMentions(const std::string& text) {
  for (const std::string& line : TDBLogger::Instance().Lines()) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

std::map<std::string, std::vector<uint8_t>> Files(TMemoryFileSystem& fs) {
  std::map<std::string, std::vector<uint8_t>> out;
  for (std::string path :
       {std::string(kPath), std::string("/mem/db/Guarded.lck"), std::string(kPath) + ".journal"}) {
    if (auto bytes = fs.Contents(path)) out[path] = *bytes;
  }
  return out;
}

TEST(DbSecurity, DatabasePasswordLogin) {
  TMemoryFileSystem fs;
  TZuzDataBase db(&fs);
  db.SetDataBaseName(kPath);
  db.SetMasterKey("abc");  // too short; the password never shows in the message
  EXPECT_EQ(ErrorCodeOf([&] { db.CreateDatabase(); }), ZUZ_ERR_INVALID_LOGIN);
  EXPECT_EQ(ErrorTextOf([&] { db.CreateDatabase(); }).find("abc"), std::string::npos);
  db.SetMasterKey(kDbPassword);
  db.CreateDatabase();
  // The password set beforehand opens it without a login; disconnecting forgets it.
  db.Open();
  db.Close();
  EXPECT_EQ(ErrorCodeOf([&] { db.Open(); }), ZUZ_ERR_INVALID_LOGIN);  // nobody to ask
  EXPECT_FALSE(db.Connected());

  // A wrong password is refused without changing any file, and forgotten.
  const auto before = Files(fs);
  std::vector<TZuzLoginMode> modes;
  LoginWith(db, "", "", "Open-Sesame-98", &modes);
  EXPECT_EQ(ErrorCodeOf([&] { db.Open(); }), ZUZ_ERR_CORRUPT);
  EXPECT_FALSE(db.Connected());
  EXPECT_EQ(Files(fs), before);
  EXPECT_EQ(modes, (std::vector<TZuzLoginMode>{TZuzLoginMode::DatabasePassword}));
  LoginWith(db, "", "", kDbPassword, &modes);
  db.Open();
  EXPECT_EQ(modes.size(), 2u);
  db.Close();

  // Without BeforeLogin the dialog asks; cancelling it is 10015.
  db.BeforeLogin = nullptr;
  int asked = 0;
  bool accept = false;
  db.LoginDialog = [&](TZuzDataBase&, TZuzLoginMode mode, std::string&, std::string&,
                       std::string& key) {
    ++asked;
    EXPECT_EQ(mode, TZuzLoginMode::DatabasePassword);
    key = kDbPassword;
    return accept;
  };
  EXPECT_EQ(ErrorCodeOf([&] { db.Open(); }), ZUZ_ERR_INVALID_LOGIN);
  EXPECT_FALSE(db.Connected());
  accept = true;
  db.Open();
  EXPECT_EQ(asked, 2);
  db.Close();
  LoginWith(db, "", "", kDbPassword);  // BeforeLogin comes before the dialog
  db.Open();
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(LogMentions(kDbPassword));
  EXPECT_FALSE(LogMentions("Open-Sesame-98"));
}

class DbUsers : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.SetDataBaseName(kPath);
    db_.UserSecurity = true;
    db_.CreateDatabase();
    // The first log-on of the administrator creates the group and the user, unchecked.
    LoginWith(db_, "administrator", "anything", "");
    db_.Open();
    TSecurityManager& s = *db_.Security();
    EXPECT_EQ(s.UserName(), "administrator");
    EXPECT_EQ(s.GroupName(), "administrators");
    s.SetPassword("administrator", "admin-pw");
    Exec(db_, "CREATE TABLE Tasks (Id INTEGER, Name VARCHAR(20), PRIMARY KEY (Id))");
    Exec(db_, "CREATE TABLE Notes (Id INTEGER, Body VARCHAR(20))");
    Exec(db_, "INSERT INTO Tasks VALUES (1, 'plan')");
    Exec(db_, "INSERT INTO Notes VALUES (1, 'secret')");
    s.AddGroup("staff");
    s.AddUser("ann", "ann-pw", "staff");
    s.Grant("staff", "tasks", TZuzPrivilege::Open);
    s.Grant("staff", "Tasks", TZuzPrivilege::Insert);
    db_.Close();
  }
  // Connects the second program as the user.
  void As(const std::string& user, const std::string& password) {
    other_.Close();
    other_.SetDataBaseName(kPath);
    LoginWith(other_, user, password, "");
    other_.Open();
  }
  void AsAdministrator() {
    db_.Close();
    LoginWith(db_, "administrator", "admin-pw", "");
    db_.Open();
  }
  // The code raised by the statement as the user, with the table name it named.
  std::pair<int, std::string> Refused(const std::string& sql) {
    try {
      TZuzQuery q;
      q.SetDataBase(&other_);
      q.SetSQL(sql);
      if (sql.rfind("SELECT", 0) == 0) {
        q.Open();
      } else {
        q.ExecSQL();
      }
    } catch (const EZuzDatabaseError& e) {
      return {e.ErrorCode(), e.CustomMessage()};
    }
    return {0, ""};
  }

  TMemoryFileSystem fs_;
  TZuzDataBase db_{&fs_};
  TZuzDataBase other_{&fs_};
};

TEST_F(DbUsers, LogOnAndPasswords) {
  // After the first log-on the administrator's password is checked; names compare without case.
  LoginWith(db_, "administrator", "anything", "");
  EXPECT_EQ(ErrorCodeOf([&] { db_.Open(); }), ZUZ_ERR_BAD_PASSWORD);
  EXPECT_FALSE(db_.Connected());
  LoginWith(db_, "Administrator", "admin-pw", "");
  db_.Open();
  EXPECT_TRUE(db_.Security()->IsAdministrator());
  // Unknown users and wrong passwords alike; the login asks for the database password too.
  std::vector<TZuzLoginMode> modes;
  other_.SetDataBaseName(kPath);
  LoginWith(other_, "nobody", "ann-pw", "", &modes);
  EXPECT_EQ(ErrorCodeOf([&] { other_.Open(); }), ZUZ_ERR_BAD_PASSWORD);
  EXPECT_EQ(modes, (std::vector<TZuzLoginMode>{TZuzLoginMode::All}));
  EXPECT_EQ(ErrorCodeOf([&] { As("ann", "ANN-PW"); }), ZUZ_ERR_BAD_PASSWORD);
  As("ANN", "ann-pw");
  EXPECT_EQ(other_.Security()->UserName(), "ann");
  EXPECT_EQ(other_.Security()->GroupName(), "staff");
  // Only administrators manage users; a user may change the own password.
  EXPECT_EQ(ErrorCodeOf([&] { other_.Security()->AddUser("bob", "x", "staff"); }),
            ZUZ_ERR_PRIVILEGE);
  EXPECT_EQ(ErrorCodeOf([&] { other_.Security()->SetPassword("administrator", "x"); }),
            ZUZ_ERR_PRIVILEGE);
  other_.Security()->SetPassword("ann", "ann-new");
  EXPECT_EQ(ErrorCodeOf([&] { As("ann", "ann-pw"); }), ZUZ_ERR_BAD_PASSWORD);
  As("ann", "ann-new");

  // Edits the stored row of the user.
  TSecurityManager& s = *db_.Security();
  auto withRow = [&](const std::string& user, const std::function<void(TOpenTable&)>& f) {
    auto users = db_.Tables()->OpenTable(TSecurityManager::kUsersTable);
    for (uint32_t a : users->RecordAddresses()) {
      if (users->ReadRecord(a) && std::get<std::string>(users->GetValue(1)) == user) f(*users);
    }
  };
  // The stored digest is SHA-1's five words (the published digest of "abc").
  s.AddUser("abc-user", "abc", "staff");
  std::vector<int64_t> words;
  withRow("abc-user", [&](TOpenTable& t) {
    for (int w = 0; w < 5; ++w) words.push_back(std::get<int64_t>(t.GetValue(2 + w)));
  });
  EXPECT_EQ(words, (std::vector<int64_t>{static_cast<int32_t>(0xA9993E36u), 0x4706816A,
                                         static_cast<int32_t>(0xBA3E2571u), 0x7850C26C,
                                         static_cast<int32_t>(0x9CD0D89Du)}));

  // Expired passwords: the age limit counts from the last change; never for "administrator".
  auto backdate = [&](const std::string& user, double days) {
    withRow(user, [&](TOpenTable& t) {
      t.SetValue(10, NowDayNumber() - days);
      t.UpdateRecord();
    });
  };
  backdate("ann", 31);
  backdate("administrator", 400);
  other_.PasswordAgeLimit = 30;
  EXPECT_EQ(ErrorTextOf([&] { As("ann", "ann-new"); }), "The password has expired");
  EXPECT_EQ(ErrorCodeOf([&] { As("ann", "ann-new"); }), ZUZ_ERR_BAD_PASSWORD);
  As("administrator", "admin-pw");
  backdate("ann", 31);
  s.SetPassword("ann", "ann-again");  // a new password starts a new age
  As("ann", "ann-again");

  // The bootstrap never opens again: the group and its administrator can't be deleted.
  EXPECT_EQ(ErrorCodeOf([&] { s.DeleteGroup("administrators"); }), ZUZ_ERR_INVALID_OPERATION);
  EXPECT_EQ(ErrorCodeOf([&] { s.DeleteUser("administrator"); }), ZUZ_ERR_INVALID_OPERATION);
  EXPECT_EQ(ErrorCodeOf([&] { s.DeleteGroup("staff"); }), ZUZ_ERR_IN_USE);
  s.DeleteUser("ann");
  EXPECT_EQ(ErrorCodeOf([&] { As("ann", "ann-again"); }), ZUZ_ERR_BAD_PASSWORD);
  for (const char* secret : {"admin-pw", "ann-pw", "ann-new", "ann-again"}) {
    EXPECT_FALSE(LogMentions(secret)) << secret;
  }
}

TEST_F(DbUsers, PrivilegesOfReadsAndWrites) {
  As("ann", "ann-pw");
  // Granted: reading and inserting Tasks.
  EXPECT_EQ(Column(other_, "SELECT Name FROM Tasks"), V{"plan"});
  EXPECT_EQ(Exec(other_, "INSERT INTO Tasks VALUES (2, 'more')"), 1);
  // Refused, with the table's name: reads of Notes anywhere in a statement, and every other write.
  const std::pair<int, std::string> notes{ZUZ_ERR_PRIVILEGE, "Notes"};
  const std::pair<int, std::string> tasks{ZUZ_ERR_PRIVILEGE, "Tasks"};
  EXPECT_EQ(Refused("SELECT Body FROM Notes"), notes);
  EXPECT_EQ(Refused("SELECT Name FROM Tasks WHERE Id IN (SELECT Id FROM Notes)"), notes);
  EXPECT_EQ(Refused("INSERT INTO Tasks (Id, Name) SELECT Id + 10, Body FROM Notes"), notes);
  EXPECT_EQ(Refused("UPDATE Tasks SET Name = 'x'"), tasks);
  EXPECT_EQ(Refused("DELETE FROM Tasks"), tasks);
  EXPECT_EQ(Refused("INSERT INTO Notes VALUES (2, 'x')"), notes);
  EXPECT_EQ(Refused("ALTER TABLE Tasks ADD Extra INTEGER"), tasks);
  EXPECT_EQ(Refused("DROP TABLE Tasks"), tasks);
  EXPECT_EQ(Refused("CREATE TABLE Mine (A INTEGER)").first, ZUZ_ERR_PRIVILEGE);
  EXPECT_EQ(ErrorCodeOf([&] { other_.DeleteTable("Notes"); }), ZUZ_ERR_PRIVILEGE);
  // Memory tables are the program's own.
  Exec(other_, "CREATE TABLE TEMPORARY Scratch (A INTEGER)");
  EXPECT_EQ(Exec(other_, "INSERT INTO Scratch VALUES (7)"), 1);

  // Direct table access asks the same.
  TZuzTable t;
  t.SetDataBase(&other_);
  t.TableName = "notes";
  EXPECT_EQ(ErrorCodeOf([&] { t.Open(); }), ZUZ_ERR_PRIVILEGE);
  t.TableName = "Tasks";
  t.Open();
  EXPECT_EQ(t.RecordCount(), 2);
  t.Insert();
  t.SetFieldValue("Id", TqorVariant(int32_t{3}));
  t.Post();
  EXPECT_EQ(ErrorCodeOf([&] { t.Edit(); }), ZUZ_ERR_PRIVILEGE);
  EXPECT_EQ(ErrorCodeOf([&] { t.Delete(); }), ZUZ_ERR_PRIVILEGE);
  t.Close();

  // "ALL" answers for tables without entries of their own; Tasks keeps its own.
  AsAdministrator();
  TSecurityManager& s = *db_.Security();
  s.Grant("staff", "ALL", TZuzPrivilege::Open);
  s.Grant("staff", "ALL", TZuzPrivilege::Update);
  s.Grant("staff", "all", TZuzPrivilege::Create);
  As("ann", "ann-pw");
  EXPECT_EQ(Column(other_, "SELECT Body FROM Notes"), V{"secret"});
  EXPECT_EQ(Exec(other_, "UPDATE Notes SET Body = 'seen'"), 1);
  EXPECT_EQ(Refused("UPDATE Tasks SET Name = 'x'"), tasks);
  Exec(other_, "CREATE TABLE Mine (A INTEGER)");

  // A rebuilt table keeps its privileges; revoking takes effect at the next log-on. The rebuild
  // needs the database alone.
  other_.Close();
  Exec(db_, "ALTER TABLE Tasks ADD Extra INTEGER");
  As("ann", "ann-pw");
  EXPECT_EQ(Column(other_, "SELECT Name FROM Tasks WHERE Id = 1"), V{"plan"});
  EXPECT_EQ(Refused("UPDATE Tasks SET Name = 'x'"), tasks);
  s.Revoke("staff", "Tasks", TZuzPrivilege::Open);
  As("ann", "ann-pw");
  EXPECT_EQ(Refused("SELECT Name FROM Tasks"), tasks);
  EXPECT_EQ(Exec(other_, "INSERT INTO Tasks (Id) VALUES (9)"), 1);
  EXPECT_EQ(ErrorCodeOf([&] { s.Grant("staff", "Nothing", TZuzPrivilege::Open); }),
            ZUZ_ERR_NOT_FOUND);

  // A table that lost its object id is 8579.
  {
    auto ids = db_.Tables()->OpenTable(TTableMgr::kObjectIdTable);
    for (uint32_t a : ids->RecordAddresses()) {
      ids->ReadRecord(a);
      if (std::get<std::string>(ids->GetValue(1)) == "Notes") ids->DeleteRecord(false);
    }
  }
  EXPECT_EQ(Refused("SELECT Body FROM Notes"),
            (std::pair<int, std::string>{ZUZ_ERR_NOT_FOUND, "Notes"}));
}

TEST_F(DbUsers, OnlyAdministratorsReadOrChangeTheEngineTables) {
  // Every privilege on every table, and still no way into the engine's own tables.
  AsAdministrator();
  TSecurityManager& s = *db_.Security();
  for (TZuzPrivilege p : {TZuzPrivilege::Open, TZuzPrivilege::Insert, TZuzPrivilege::Update,
                          TZuzPrivilege::Delete, TZuzPrivilege::Alter, TZuzPrivilege::Drop}) {
    s.Grant("staff", "ALL", p);
  }
  s.Grant("staff", "", TZuzPrivilege::Create);
  db_.Close();
  const std::vector<uint8_t> before = *fs_.Contents(kPath);
  As("ann", "ann-pw");
  for (const char* table :
       {TSecurityManager::kUsersTable, TSecurityManager::kGroupsTable,
        TSecurityManager::kObjectPrivilegesTable, TSecurityManager::kSystemPrivilegesTable,
        TTableMgr::kObjectIdTable, TTableMgr::kGeneratorTable, TTableMgr::kUserCatalogue,
        TTableMgr::kSystemCatalogue}) {
    for (const std::string& name : {std::string(table), "\"" + std::string(table) + "\""}) {
      for (const std::string& sql :
           {"SELECT * FROM " + name, "DELETE FROM " + name, "DROP TABLE " + name,
            "UPDATE " + name + " SET GroupID = 1", "INSERT INTO " + name + " (GroupID) VALUES (1)",
            "ALTER TABLE " + name + " ADD Extra INTEGER"}) {
        EXPECT_NE(Refused(sql).first, 0) << sql;
      }
    }
    EXPECT_EQ(ErrorCodeOf([&] { other_.DeleteTable(table); }), ZUZ_ERR_PRIVILEGE) << table;
    TZuzTable direct;
    direct.SetDataBase(&other_);
    direct.TableName = table;
    EXPECT_NE(ErrorCodeOf([&] { direct.Open(); }), 0) << table;
  }
  // Of the users and groups, a user sees only the own.
  EXPECT_EQ(other_.Security()->UserNames(), V{"ann"});
  EXPECT_EQ(other_.Security()->GroupNames(), V{"staff"});
  other_.Close();
  EXPECT_EQ(*fs_.Contents(kPath), before);
  As("ann", "ann-pw");
  AsAdministrator();
  EXPECT_EQ(db_.Security()->UserNames(), (V{"administrator", "ann"}));
  EXPECT_EQ(db_.Security()->GroupNames(), (V{"administrators", "staff"}));
}

TEST_F(DbUsers, LoginDialogAsksAgainUntilALogOnSucceeds) {
  other_.SetDataBaseName(kPath);
  std::vector<std::pair<TZuzLoginMode, std::string>> asked;
  std::vector<std::string> shown;
  std::vector<std::string> answers = {"wrong", "ann-pw"};
  other_.LoginDialog = [&](TZuzDataBase&, TZuzLoginMode mode, std::string& user,
                           std::string& password, std::string& key) {
    asked.emplace_back(mode, user);
    if (asked.size() > answers.size()) return false;
    user = "ann";
    password = answers[asked.size() - 1];
    key = "";
    return true;
  };
  other_.LoginError = [&](TZuzDataBase&, const std::string& message) { shown.push_back(message); };
  other_.Open();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].first, TZuzLoginMode::All);
  EXPECT_EQ(asked[1], (std::pair{TZuzLoginMode::User, std::string("ann")}));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("Bad user name or password"), std::string::npos);
  other_.Close();
  // Cancelling the second dialog ends the connect with 10015.
  asked.clear();
  answers = {"wrong"};
  EXPECT_EQ(ErrorCodeOf([&] { other_.Open(); }), ZUZ_ERR_INVALID_LOGIN);
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_FALSE(other_.Connected());
  // BeforeLogin is not asked again.
  LoginWith(other_, "ann", "wrong", "");
  EXPECT_EQ(ErrorCodeOf([&] { other_.Open(); }), ZUZ_ERR_BAD_PASSWORD);
  EXPECT_EQ(asked.size(), 2u);
}

// Every value stored, every name and every password, looked for (without case) in every byte
// written to any file: the database, its journal and its lock file.
TEST(DbSecurity, EncryptedFilesHoldNoPlainText) {
  const V secrets = {"Quokkatable", "Wombatfield", "ixPlatypus",   "Marmalade-Sky-417",
                     "Zanzibar",    "cabalists",   "zephyrine",    "hunter2-hunter2",
                     kDbPassword,   "Tangerine",   "Edited-Value", "Direct-Insert"};
  double number = 31415.9265358979;
  std::string numberBytes(8, '\0');
  std::memcpy(numberBytes.data(), &number, 8);
  for (int level : {0, 1, 2}) {
    SCOPED_TRACE(level);
    TMemoryFileSystem memory;
    TRecordingFileSystem fs(memory);
    fs.recording = true;
    TZuzDataBase db(&fs);
    db.SetDataBaseName(kPath);
    db.SetMasterKey(level >= 1 ? kDbPassword : "");
    db.UserSecurity = level == 2;
    db.CreateDatabase();
    std::vector<TZuzLoginMode> modes;
    LoginWith(db, "administrator", "x", kDbPassword, &modes);
    db.SetExclusive(true);  // for the index
    db.Open();
    // The database password set beforehand leaves only the user to ask for.
    EXPECT_EQ(modes, level == 2 ? std::vector<TZuzLoginMode>{TZuzLoginMode::User}
                                : std::vector<TZuzLoginMode>{});
    if (level == 2) {
      db.Security()->SetPassword("administrator", "x");
      db.Security()->AddGroup("cabalists");
      db.Security()->AddUser("zephyrine", "hunter2-hunter2", "cabalists");
    }
    Exec(db,
         "CREATE TABLE Quokkatable (Id INTEGER, Wombatfield VARCHAR(40), Num FLOAT, Memo BLOB, "
         "PRIMARY KEY (Id))");
    Exec(db, "CREATE INDEX ixPlatypus ON Quokkatable (Wombatfield)");
    db.Close();
    db.SetExclusive(false);
    db.SetMasterKey(level == 2 ? kDbPassword : "");
    db.Open();
    TZuzDataBase second(&fs);  // a second program shares the lock file
    second.SetDataBaseName(kPath);
    LoginWith(second, "administrator", "x", kDbPassword);
    second.Open();
    std::string memo;
    for (int i = 0; i < 300; ++i) memo += "Zanzibar " + std::to_string(i) + " ";
    Exec(db, "INSERT INTO Quokkatable VALUES (1, 'Marmalade-Sky-417', 31415.9265358979, '" + memo +
                 "')");
    Exec(second, "INSERT INTO Quokkatable (Id, Wombatfield) VALUES (2, 'Tangerine')");
    Exec(db, "UPDATE Quokkatable SET Wombatfield = 'Edited-Value' WHERE Id = 2");
    second.Close();  // the rebuild needs the database alone
    Exec(db, "ALTER TABLE Quokkatable ADD Later INTEGER");
    second.Open();
    TZuzTable t;
    t.SetDataBase(&second);
    t.TableName = "Quokkatable";
    t.Open();
    t.Insert();
    t.SetFieldValue("Id", TqorVariant(int32_t{3}));
    t.SetFieldValue("Wombatfield", TqorVariant(std::string("Direct-Insert")));
    t.Post();
    t.Close();
    Exec(db, "DELETE FROM Quokkatable WHERE Id = 3");
    second.Close();
    db.Close();

    std::vector<std::string> written;
    std::set<std::string> paths;
    for (const TRecordedOp& op : fs.ops) {
      written.emplace_back(op.bytes.begin(), op.bytes.end());
      paths.insert(op.path);
    }
    EXPECT_TRUE(paths.count(std::string(kPath) + ".journal"));
    EXPECT_TRUE(paths.count("/mem/db/Guarded.lck"));
    for (const std::string& path : paths) {
      if (auto bytes = memory.Contents(path)) written.emplace_back(bytes->begin(), bytes->end());
    }
    auto lower = [](std::string s) {
      for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return s;
    };
    auto appears = [&](const std::string& value) {
      return std::any_of(written.begin(), written.end(), [&](const std::string& w) {
        return lower(w).find(lower(value)) != std::string::npos;
      });
    };
    for (const std::string& value : secrets) {
      if (level == 0) continue;
      EXPECT_FALSE(appears(value)) << value;
    }
    // The plain database shows them: the scan finds what is there.
    if (level == 0) {
      EXPECT_TRUE(appears("Marmalade-Sky-417"));
      EXPECT_TRUE(appears("Wombatfield"));
      EXPECT_TRUE(appears("Zanzibar"));
    }
    EXPECT_EQ(appears(numberBytes), level == 0);
  }
}

}  // namespace
}  // namespace zuz::test
