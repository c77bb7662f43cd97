// The database object: one database file (or the in-memory database "MEMORY") with its
// properties, connecting and disconnecting, transactions, creating and copying databases, and
// the memory tables. It is where the engine is put together: the file is opened through the
// engine set-up (the lock layer's provider, the index layer's index sets and recovery), and the
// memory tables live in a database of their own held in memory, for this program alone.
//
// States: not connected -> connected (file open, header read, logged in, catalogues open) -> not
// connected. Connecting twice does nothing; disconnecting closes every dataset of the database
// first and forgets the database password and the logged-on user.
//
// Login while connecting, by the database's security level (header): level 1 asks for the
// database password unless one is set, level 2 for the user name and password (and the database
// password unless one is set). The login data come from BeforeLogin when it is assigned, else
// from LoginDialog (none of the two, or the dialog cancelled: 10015). The database password keys
// the pages and is checked against the security header (8451; a failure forgets it). Level 2
// then logs the user on (zuzSecurityMgr.h): a failure with BeforeLogin ends the connect; with
// the dialog, LoginError shows the message and the dialog asks again for the user until a
// log-on succeeds or it is cancelled (10015). Any failure disconnects before it propagates.
//
// Privileges (level 2): statements and table datasets ask CheckPrivilege before they open or
// change a table of the database file, and queries before they read one (10624).

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/exec/zuzQueryProvider.h"
#include "db/index/zuzReIndex.h"
#include "db/objects/zuzEngineSetup.h"
#include "db/objects/zuzSecurityMgr.h"

namespace zuz {

class TZuzDataSet;
class TMemoryFileSystem;

class TZuzDataBase {
 public:
  static constexpr const char* kVersion = "1.43.02";
  static constexpr const char* kMemoryName = "MEMORY";

  // Files are opened in the file system (the system's own by default), which must outlive the
  // object.
  explicit TZuzDataBase(TZuzFileSystem* fs = nullptr);
  ~TZuzDataBase();
  TZuzDataBase(const TZuzDataBase&) = delete;
  TZuzDataBase& operator=(const TZuzDataBase&) = delete;

  // --- Properties (the first four only while not connected: 10120) ---
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool v);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  // The folder, with a trailing "/" when not empty.
  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& v);
  const std::string& DataBaseName() const { return name_; }
  // A path sets Directory to its folder part (when it has one) and the name to the rest;
  // "memory" in any letter case is stored as "MEMORY".
  void SetDataBaseName(const std::string& v);
  TSortOrder DefaultSortOrder = TSortOrder::soANSI;
  std::string Version() const { return kVersion; }
  int LockRetryMaximum = 10;
  int LockRetryInterval = 200;
  // What a statement does while it waits for another program's lock: the observer hears how long
  // it has waited (about every 100-200 ms, then -1 when the wait ends); a limit above 0 replaces
  // LockRetryMaximum x LockRetryInterval. Applies to the open file at once.
  void SetLockWait(std::function<void(int waitedMs)> observer, int limitMs);
  // Supplies the login data (user name, password, database password) instead of a dialog; what
  // is asked for is LoginMode(). The database password is taken unless the mode is User.
  std::function<void(TZuzDataBase&, std::string& user, std::string& password,
                     std::string& masterKey)>
      BeforeLogin;
  // The login dialog, used when BeforeLogin is not assigned: fills in what the mode asks for;
  // false when the user cancels.
  std::function<bool(TZuzDataBase&, TZuzLoginMode mode, std::string& user, std::string& password,
                     std::string& masterKey)>
      LoginDialog;
  // Shows why a log-on through the login dialog failed, before the dialog asks again.
  std::function<void(TZuzDataBase&, const std::string& message)> LoginError;
  // CreateDatabase makes a database with users and groups (security level 2).
  bool UserSecurity = false;
  // Days a user's password stays valid (0: for ever), checked at log-on.
  int PasswordAgeLimit = 0;
  std::function<void(TZuzDataBase&)> BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;
  TUpdateProgressProc OnUpdateProgress;
  // An extra security hook: whether the privilege on the table is granted (asked before the
  // user security of the database).
  std::function<bool(const std::string& table, TZuzPrivilege privilege)> CheckPrivilegeHook;

  // The file opened: Directory + DataBaseName.
  std::string FullPath() const { return directory_ + name_; }
  bool IsMemory() const { return name_ == kMemoryName; }

  // --- Connection ---
  bool Connected() const { return connected_; }
  void SetConnected(bool v) { v ? Open() : Close(); }
  // Connects: 10118 without a name, 9988 for a missing file, the open and header errors of the
  // engine (8449, 8961, 12041, 8451), the login's (10015, 10036); anything failing after the
  // file opened disconnects first.
  void Open();
  // Closes every dataset of the database, the catalogues and the file; forgets the memory
  // tables and the database password.
  void Close();

  // --- Transactions ---
  void StartTransaction();  // 10256 when one is open
  void Commit();            // 10257 without one
  void Rollback();          // 10257 without one; the open datasets refresh their rows
  bool InTransaction() const;

  // --- Databases and tables ---
  // Creates Directory + DataBaseName with its catalogues (and with UserSecurity the tables of
  // the users and groups) and closes it again: 10118 without a name, 10015 for a database
  // password not of 4 to 100 characters, 8582 when the file exists. A database password
  // encrypts the file (security level 1, or 2 with UserSecurity).
  void CreateDatabase();
  // Copies the database file to the path: 9344 for the same path, 9988 for a missing source,
  // 65535 for an existing target without overwrite, 9344 when the copy fails.
  void CopyDatabase(const std::string& target, bool overwrite = false);
  void DeleteTable(const std::string& name);
  // The user tables in name order (the memory tables for the in-memory database).
  std::vector<std::string> TableNames();
  std::vector<std::string> MemoryTableNames();
  // The database password used for the page key (before connecting or creating).
  void SetMasterKey(const std::string& key);
  // What the login of the connect under way asks for (None outside a login).
  TZuzLoginMode LoginMode() const { return loginMode_; }
  // The users, groups and privileges of a level-2 database and its logged-on user; null while
  // not connected or below level 2.
  TSecurityManager* Security() { return security_.get(); }

  // Runs the work with the database file open for this program alone. A database opened shared
  // (with other programs' locking) is closed and opened again exclusively for the work, then
  // opened shared again: 10121 when another program has the file open (the database stays open
  // shared) or when datasets of the database are open, whose tables would go with the file.
  void RunExclusive(const std::function<void()>& work);

  void CheckConnected() const;     // 10113
  void CheckNotConnected() const;  // 10120
  void CheckExclusive() const;     // 10121
  void CheckMinorVersion() const;  // 12041 for a database without system tables
  // 10624 with the table's name when the logged-on user lacks the privilege on the table (or the
  // security hook refuses it); 8579 for a table without an object id. A name that is no table
  // of the database file needs no privilege.
  void CheckPrivilege(const std::string& table, TZuzPrivilege privilege) const;
  // The same as a question: whether CheckPrivilege would let the privilege pass.
  bool HasPrivilege(const std::string& table, TZuzPrivilege privilege) const;

  // --- For the datasets ---
  // REQUIRES: connected. Null for the in-memory database.
  TDiskMgr* Disk();
  TTableMgr* Tables();
  TTableMgr& MemoryTables();
  TZuzExecEnv ExecEnv();
  TZuzFileSystem& FileSystem() { return *fs_; }
  const TDatabaseHeader* Header() const;
  void RegisterDataSet(TZuzDataSet* ds);
  void UnregisterDataSet(TZuzDataSet* ds);

 private:
  void OpenMemoryTables();
  // Fills in the login data of the mode (BeforeLogin, else the dialog; 10015 without either or
  // when cancelled).
  void AskLogin(TZuzLoginMode mode, std::string& user, std::string& password, std::string& key);
  void LogOn(std::string user, std::string password);
  // Opens the file again, shared or alone (see RunExclusive); disconnects when that fails.
  void ReopenFile(bool exclusive);

  TZuzFileSystem* fs_;
  bool exclusive_ = false;
  bool readOnly_ = false;
  std::string directory_;
  std::string name_;
  std::string masterKey_;
  bool connected_ = false;
  TZuzLoginMode loginMode_ = TZuzLoginMode::None;
  std::unique_ptr<TZuzEngineDb> db_;
  std::unique_ptr<TSecurityManager> security_;
  std::unique_ptr<TMemoryFileSystem> memFs_;
  std::unique_ptr<TZuzEngineDb> memDb_;
  std::vector<TZuzDataSet*> dataSets_;
  std::function<void(int)> lockWaitObserver_;
  int lockWaitLimitMs_ = 0;
};

// Runs one statement's work in a transaction of its own when none is open (on the database
// file and on the memory tables), committing at Commit and rolling back otherwise.
class TZuzStatementTransaction {
 public:
  // skipTransactionLocks: a reading statement takes only the read locks of the tables it reads.
  TZuzStatementTransaction(TZuzDataBase& db, bool skipTransactionLocks);
  ~TZuzStatementTransaction();
  TZuzStatementTransaction(const TZuzStatementTransaction&) = delete;
  TZuzStatementTransaction& operator=(const TZuzStatementTransaction&) = delete;
  void Commit();

 private:
  std::unique_ptr<TZuzTransaction> disk_;
  std::unique_ptr<TZuzTransaction> memory_;
};

}  // namespace zuz
