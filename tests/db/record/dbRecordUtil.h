// Helpers for the record-layer tests: a database with its catalogues in a memory file system, and
// further "programs" (disk and table managers of their own) on the same file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/lock/zuzMultiUserLocks.h"
#include "db/record/zuzTableMgrUnit.h"
#include "tests/db/dbTestUtil.h"

namespace zuz::test {

// The record layer's tests keep no indexes (tables are read in block order); the index tests
// hand in the index layer's services instead.
inline TTableMgrServices RecordLayerServices() {
  return TTableMgrServices{NoTableIndexes()};
}

// One program's connection: its own disk manager (file handle, caches, locks) and table manager.
struct TConnection {
  std::unique_ptr<TDiskMgr> disk;
  std::unique_ptr<TTableMgr> tables;

  TConnection(TZuzFileSystem& fs, const std::string& path, const std::string& masterKey = {},
              bool exclusive = false, TTableMgrServices services = RecordLayerServices()) {
    disk = std::make_unique<TDiskMgr>(fs);
    disk->SetLockProvider(std::make_unique<TMultiUserLockProvider>());
    disk->FileName = path;
    disk->Exclusive = exclusive;
    disk->LockRetryCount = 3;
    disk->LockRetryInterval = 5;
    disk->Open();
    disk->SetMasterKey(masterKey);
    tables = std::make_unique<TTableMgr>(*disk, std::move(services));
    tables->Open();
  }
  ~TConnection() { Close(); }
  void Close() {
    tables.reset();
    if (disk) disk->Close();
  }
};

// A new database in memory.
struct TRecDb {
  TMemoryFileSystem fs;
  std::unique_ptr<TConnection> db;

  // exclusive: the database is opened for this connection alone (restructures need it).
  explicit TRecDb(const std::string& masterKey = {}, bool exclusive = false,
                  TSortOrder sortOrder = TSortOrder::soANSI,
                  TTableMgrServices services = RecordLayerServices())
      : exclusive_(exclusive), services_(std::move(services)) {
    TDiskMgr disk(fs);
    disk.FileName = kDbPath;
    TDatabaseCreateOptions options;
    options.databaseName = "test";
    options.masterKey = masterKey;
    options.sortOrder = sortOrder;
    TTableMgr::CreateDatabase(disk, options, services_);
    Open(masterKey);
  }
  void Open(const std::string& masterKey = {}) {
    db = std::make_unique<TConnection>(fs, kDbPath, masterKey, exclusive_, services_);
  }
  void Close() { db.reset(); }
  void Reopen(const std::string& masterKey = {}) {
    Close();
    Open(masterKey);
  }
  bool exclusive_ = false;
  TTableMgrServices services_;
  TTableMgr& Tables() { return *db->tables; }
  TDiskMgr& Disk() { return *db->disk; }
  std::vector<uint8_t> Bytes() { return *fs.Contents(kDbPath); }
};

inline TFieldDesc F(const char* name, TFieldType type, int size = 0) {
  TFieldDesc d;
  d.Name = name;
  d.DataType = type;
  d.Size = size;
  return d;
}

inline TIndexDesc Ix(const char* name, const char* fields, bool unique = false) {
  TIndexDesc d;
  d.Name = name;
  d.Fields = fields;
  d.Unique = unique;
  return d;
}

}  // namespace zuz::test
