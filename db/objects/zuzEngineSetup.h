// The one place where the engine's layers are put together. A lower layer never makes what a
// higher one provides: the disk manager is handed the lock layer's provider, and the table
// manager the index layer's index set for its tables and the recovery it runs at open. The
// database object is built on this unit.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzLockProvider.h"

namespace zuz {

class TZuzFileSystem;

// The lock layer's provider: the lock file beside the database and byte-range locks in it.
std::unique_ptr<TZuzLockProvider> MakeEngineLockProvider();
// The index layer's services for a table manager: the index manager, the restructure recovery.
TTableMgrServices EngineTableServices();

// How a database file is opened.
struct TZuzOpenOptions {
  std::string fileName;
  bool readOnly = false;
  bool exclusive = false;
  std::string masterKey;  // empty: the database is not encrypted
  // When set, called with the database header once the file is open and before anything else is
  // read: returns the master key to open the database with (in place of masterKey).
  std::function<std::string(const TDatabaseHeader&)> login;
  int lockRetryCount = 10;
  int lockRetryInterval = 200;  // milliseconds
  // While a lock request waits for another program (see TZuzLockSetup).
  std::function<void(int waitedMs)> lockWaitObserver;
  int lockWaitLimitMs = 0;
  // Without locking the file is for this program alone (the memory tables' database): no lock
  // file, every lock granted at once.
  bool locking = true;
};

// One database file opened through every layer: its disk manager (with the lock layer's
// provider) and its table manager (with the index layer's services).
class TZuzEngineDb {
 public:
  // Opens the file and its catalogues: the disk manager's and table manager's errors (11010,
  // 8449, 8961, 8451, 12041, ...). The file system must outlive the object.
  TZuzEngineDb(TZuzFileSystem& fs, const TZuzOpenOptions& options);
  // Closes the tables, then the file.
  ~TZuzEngineDb();
  TZuzEngineDb(const TZuzEngineDb&) = delete;
  TZuzEngineDb& operator=(const TZuzEngineDb&) = delete;

  TDiskMgr& Disk() { return *disk_; }
  TTableMgr& Tables() { return *tables_; }
  // Closes the tables and the file, reporting a failure to write the last header.
  void Close();
  // Closes the tables and the file and opens them again, shared or for this program alone, with
  // the same master key: 8449 when another program keeps the file from being opened so. After a
  // failure the tables and the file stay closed. REQUIRES: no table of it is open.
  void Reopen(bool exclusive);

  // Creates a new database file with its catalogues (8582 when it exists without overwrite).
  static void Create(TZuzFileSystem& fs, const std::string& fileName,
                     const TDatabaseCreateOptions& options, bool locking = true);

 private:
  std::unique_ptr<TDiskMgr> disk_;
  std::unique_ptr<TTableMgr> tables_;
};

}  // namespace zuz
