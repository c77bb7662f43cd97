// The record tests' databases and connections with the index layer's services: every table keeps
// its indexes, and opening recovers interrupted restructures; and a connection that may die.
#pragma once

#include <memory>
#include <string>

#include "db/index/zuzIndexManager.h"
#include "tests/db/record/dbRecordUtil.h"

namespace zuz::test {

struct TIndexedDb : TRecDb {
  explicit TIndexedDb(const std::string& masterKey = {}, bool exclusive = false,
                      TSortOrder sortOrder = TSortOrder::soANSI)
      : TRecDb(masterKey, exclusive, sortOrder, IndexedTableServices()) {}
};

struct TIndexedConnection : TConnection {
  TIndexedConnection(TZuzFileSystem& fs, const std::string& path, const std::string& masterKey = {},
                     bool exclusive = false)
      : TConnection(fs, path, masterKey, exclusive, IndexedTableServices()) {}
};

// One program's connection alone on the file that may die half-way: closing it never throws.
struct TFragileConnection {
  std::unique_ptr<TDiskMgr> disk;
  std::unique_ptr<TTableMgr> tables;
  explicit TFragileConnection(TZuzFileSystem& fs) {
    disk = std::make_unique<TDiskMgr>(fs);
    disk->SetLockProvider(std::make_unique<TMultiUserLockProvider>());
    disk->FileName = kDbPath;
    disk->Exclusive = true;
    disk->LockRetryCount = 2;
    disk->LockRetryInterval = 1;
    disk->Open();
    tables = std::make_unique<TTableMgr>(*disk, IndexedTableServices());
    tables->Open();
  }
  ~TFragileConnection() {
    try {
      tables.reset();
    } catch (...) {
    }
    try {
      disk->Close();
    } catch (...) {
    }
  }
};

}  // namespace zuz::test
