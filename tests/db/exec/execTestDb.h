// The executor tests' database: a new database in memory with the index layer's services,
// opened alone (so that CREATE INDEX may restructure), and statements run as the query object
// runs them: each in a transaction of its own.
#pragma once

#include <memory>
#include <string>

#include "db/exec/zuzQueryProvider.h"
#include "db/storage/zuzDisk.h"
#include "tests/db/index/dbIndexedDb.h"

namespace zuz::test {

// Runs a SELECT on the tables; stats (when given) receives the work counts.
inline std::unique_ptr<TZuzResultSet> QueryOn(TTableMgr& tables, TSortOrder sortOrder,
                                              const std::string& sql, int maxRecords = 0,
                                              TZuzExecStats* stats = nullptr,
                                              const TZuzParams* params = nullptr) {
  TZuzQueryProvider p(TZuzExecEnv{&tables, nullptr, sortOrder, {}});
  p.Prepare(sql, "TZuzQuery");
  p.MaxRecords = maxRecords;
  if (params) p.Params = *params;
  TZuzTransaction tx(tables.Disk(), true);
  auto r = p.Open("TZuzQuery.InternalOpen");
  tx.Commit();
  if (stats) *stats = p.Stats;
  return r;
}

// Runs any other statement on the tables; returns the rows written.
inline int64_t ExecOn(TTableMgr& tables, TSortOrder sortOrder, const std::string& sql,
                      TZuzExecStats* stats = nullptr, const TZuzParams* params = nullptr) {
  TZuzQueryProvider p(TZuzExecEnv{&tables, nullptr, sortOrder, {}});
  p.Prepare(sql, "TZuzQuery");
  if (params) p.Params = *params;
  int64_t n = 0;
  if (p.Statement()->IsSchema()) {
    n = p.Execute("TZuzQuery.ExecSQL");
  } else {
    TZuzTransaction tx(tables.Disk());
    n = p.Execute("TZuzQuery.ExecSQL");
    tx.Commit();
  }
  if (stats) *stats = p.Stats;
  return n;
}

struct TExecDb : TIndexedDb {
  explicit TExecDb(TSortOrder sortOrder = TSortOrder::soASCII)
      : TIndexedDb({}, true, sortOrder), sortOrder_(sortOrder) {}

  TZuzExecEnv Env() { return TZuzExecEnv{&Tables(), nullptr, sortOrder_, {}}; }

  std::unique_ptr<TZuzResultSet> Query(const std::string& sql, int maxRecords = 0,
                                       TZuzExecStats* stats = nullptr,
                                       const TZuzParams* params = nullptr) {
    return QueryOn(Tables(), sortOrder_, sql, maxRecords, stats, params);
  }
  int64_t Exec(const std::string& sql, TZuzExecStats* stats = nullptr,
               const TZuzParams* params = nullptr) {
    return ExecOn(Tables(), sortOrder_, sql, stats, params);
  }

  TSortOrder sortOrder_;
};

}  // namespace zuz::test
