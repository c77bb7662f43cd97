// The record tests' databases and connections with the index layer's services: every table keeps
// its indexes, and opening recovers interrupted restructures.
#pragma once

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

}  // namespace zuz::test
