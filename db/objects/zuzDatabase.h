// The database object: one database file (or the in-memory database "MEMORY") with its
// properties, connecting and disconnecting, transactions, creating and copying databases, and
// the memory tables. It is where the engine is put together: the file is opened through the
// engine set-up (the lock layer's provider, the index layer's index sets and recovery), and the
// memory tables live in a database of their own held in memory, for this program alone.
//
// States: not connected -> connected (file open, header read, catalogues open) -> not connected.
// Connecting twice does nothing; disconnecting closes every dataset of the database first.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/exec/zuzQueryProvider.h"
#include "db/index/zuzReIndex.h"
#include "db/objects/zuzEngineSetup.h"

namespace zuz {

class TZuzDataSet;
class TMemoryFileSystem;

// Privileges a dataset asks for before it opens or changes a table; the security level's user
// rights decide them (all are granted while no security hook is set).
enum class TZuzPrivilege { Open, Insert, Update, Delete, Create, Alter, Drop };

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
  // Supplies the login data (user name, password, database password) instead of a dialog.
  std::function<void(TZuzDataBase&, std::string& user, std::string& password,
                     std::string& masterKey)>
      BeforeLogin;
  std::function<void(TZuzDataBase&)> BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;
  TUpdateProgressProc OnUpdateProgress;
  // The security hook: whether the logged-on user holds the privilege on the table.
  std::function<bool(const std::string& table, TZuzPrivilege privilege)> CheckPrivilegeHook;

  // The file opened: Directory + DataBaseName.
  std::string FullPath() const { return directory_ + name_; }
  bool IsMemory() const { return name_ == kMemoryName; }

  // --- Connection ---
  bool Connected() const { return connected_; }
  void SetConnected(bool v) { v ? Open() : Close(); }
  // Connects: 10118 without a name, 9988 for a missing file, the open and header errors of the
  // engine (8449, 8961, 12041, 8451); anything failing after the file opened disconnects first.
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
  // Creates Directory + DataBaseName with its catalogues and closes it again: 10118 without a
  // name, 10015 for a database password not of 4 to 100 characters, 8582 when the file exists.
  void CreateDatabase();
  // Copies the database file to the path: 9344 for the same path, 9988 for a missing source,
  // 65535 for an existing target without overwrite, 9344 when the copy fails.
  void CopyDatabase(const std::string& target, bool overwrite = false);
  void DeleteTable(const std::string& name);
  // The user tables in name order (the memory tables for the in-memory database).
  std::vector<std::string> TableNames();
  std::vector<std::string> MemoryTableNames();
  // The database password used for the page key.
  void SetMasterKey(const std::string& key);

  void CheckConnected() const;     // 10113
  void CheckNotConnected() const;  // 10120
  void CheckExclusive() const;     // 10121
  void CheckMinorVersion() const;  // 12041 for a database without system tables
  // 10624 when the security hook refuses the privilege on the table.
  void CheckPrivilege(const std::string& table, TZuzPrivilege privilege) const;

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

  TZuzFileSystem* fs_;
  bool exclusive_ = false;
  bool readOnly_ = false;
  std::string directory_;
  std::string name_;
  std::string masterKey_;
  bool connected_ = false;
  std::unique_ptr<TZuzEngineDb> db_;
  std::unique_ptr<TMemoryFileSystem> memFs_;
  std::unique_ptr<TZuzEngineDb> memDb_;
  std::vector<TZuzDataSet*> dataSets_;
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
