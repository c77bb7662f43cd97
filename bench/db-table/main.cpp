// Times a table with two indexes beside SQLite on the same rows, in one run: adding n rows in one
// transaction (every index kept, the unique key checked), point lookups by the primary key
// reading the row, and reading every row in the order of the second index, after reopening the
// file, for n = 10,000, 100,000 and 300,000. The engine's database is opened shared (with the
// lock file), as the planner opens it. Its lookups are timed with a read lock of their own each
// (taking the lock and reading the table header again every time, as single statements do), and
// all under one read lock; the scan is one read under one lock.
//
// Table (Id integer primary key, Name string 20, Amount float) with an index on Name. SQLite: the
// same table with an index on Name, prepared statements, one transaction for the inserts and one
// read transaction for the reads.
//
// Usage: bench_db_table [directory] (default: a new folder under /tmp).
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/benchCommon.h"
#include "db/index/zuzIndexManager.h"
#include "db/objects/zuzEngineSetup.h"
#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzPosixFile.h"

namespace {

using bench::Check;
using bench::Clock;
using bench::Seconds;
using namespace zuz;

int32_t Id(int i) {
  return static_cast<int32_t>(static_cast<uint32_t>(i) * 2654435761u >> 1);
}
std::string Name(int i) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "n%07x", static_cast<uint32_t>(i) * 40503u % 0xFFFFFFu);
  return buf;
}

struct TResult {
  double insertsPerSecond = 0;
  double lookupNs = 0;
  double lookupNsOneLock = 0;  // the engine's lookups under one read lock
  double scanRowsPerSecond = 0;
  double checksum = 0;
};

TResult RunEngine(const std::string& path, int n, const std::vector<int>& probes) {
  TResult result;
  std::filesystem::remove(path);
  { TZuzEngineDb::Create(TPosixFileSystem::Instance(), path, {}); }
  TZuzOpenOptions options;
  options.fileName = path;
  {
    TZuzEngineDb db(TPosixFileSystem::Instance(), options);
    TTableMgr& tables = db.Tables();
    TIndexDesc primary;
    primary.Fields = "Id";
    primary.Primary = primary.Unique = true;
    TIndexDesc byName;
    byName.Name = "ixName";
    byName.Fields = "Name";
    tables.CreateTable("Rows",
                       {{"Id", TFieldType::ftInteger},
                        {"Name", TFieldType::ftString, 20},
                        {"Amount", TFieldType::ftFloat}},
                       {primary, byName}, tables.DefaultTableOptions());
    auto t = tables.OpenTable("Rows");
    const auto t0 = Clock::now();
    TZuzTransaction transaction(db.Disk());
    for (int i = 0; i < n; ++i) {
      t->NewRecord();
      t->SetValue(0, int64_t{Id(i)});
      t->SetValue(1, Name(i));
      t->SetValue(2, i * 0.5);
      t->AddRecord();
    }
    transaction.Commit();
    result.insertsPerSecond = n / Seconds(t0);
    t.reset();
  }
  TZuzEngineDb db(TPosixFileSystem::Instance(), options);
  TTableMgr& tables = db.Tables();
  auto t = tables.OpenTable("Rows");
  auto lookups = [&] {
    const auto start = Clock::now();
    for (int i : probes) {
      // One read of the table: the search and the row under one read lock.
      TOpenTable::TLockScope lock(*t, ltRead);
      const auto found = t->Indexes().FindByFields("Id", {int64_t{Id(i)}});
      if (!found || found->size() != 1 || !t->ReadRecord(found->front())) {
        std::fprintf(stderr, "row %d not found\n", i);
        std::exit(1);
      }
      result.checksum += std::get<double>(t->GetValue(2));
    }
    return Seconds(start) * 1e9 / static_cast<double>(probes.size());
  };
  result.lookupNs = lookups();
  {
    // All lookups under one read lock, as SQLite's are in one read transaction.
    TOpenTable::TLockScope lock(*t, ltRead);
    result.lookupNsOneLock = lookups();
  }
  result.checksum /= 2;
  IndexManagerOf(*t).SelectCurrentIndex("ixName");
  auto t0 = Clock::now();
  {
    std::string last;
    TOpenTable::TLockScope lock(*t, ltRead);  // one read of the whole table
    for (uint32_t address : t->RecordAddresses()) {
      if (!t->ReadRecord(address)) std::exit(1);
      std::string name = std::get<std::string>(t->GetValue(1));
      if (name < last) {
        std::fprintf(stderr, "rows out of order\n");
        std::exit(1);
      }
      last = std::move(name);
      result.checksum += std::get<double>(t->GetValue(2));
    }
  }
  result.scanRowsPerSecond = n / Seconds(t0);
  t.reset();
  db.Close();
  return result;
}

TResult RunSqlite(const std::string& path, int n, const std::vector<int>& probes) {
  TResult result;
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db), db, "open");
  Check(sqlite3_exec(db,
                     "CREATE TABLE t(Id INTEGER PRIMARY KEY, Name TEXT, Amount REAL);"
                     "CREATE INDEX tName ON t(Name)",
                     nullptr, nullptr, nullptr),
        db, "create");
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?, ?, ?)", -1, &insert, nullptr), db,
        "prepare");
  auto t0 = Clock::now();
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  for (int i = 0; i < n; ++i) {
    const std::string name = Name(i);
    sqlite3_bind_int(insert, 1, Id(i));
    sqlite3_bind_text(insert, 2, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_double(insert, 3, i * 0.5);
    Check(sqlite3_step(insert), db, "insert");
    sqlite3_reset(insert);
  }
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  result.insertsPerSecond = n / Seconds(t0);
  sqlite3_finalize(insert);
  sqlite3_close(db);

  Check(sqlite3_open(path.c_str(), &db), db, "reopen");
  sqlite3_stmt* select = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT Name, Amount FROM t WHERE Id = ?", -1, &select, nullptr), db,
        "prepare");
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  t0 = Clock::now();
  for (int i : probes) {
    sqlite3_bind_int(select, 1, Id(i));
    if (sqlite3_step(select) != SQLITE_ROW) std::exit(1);
    result.checksum += sqlite3_column_double(select, 1);
    sqlite3_reset(select);
  }
  result.lookupNs = Seconds(t0) * 1e9 / static_cast<double>(probes.size());
  sqlite3_finalize(select);
  Check(sqlite3_prepare_v2(db, "SELECT Name, Amount FROM t ORDER BY Name", -1, &select, nullptr),
        db, "prepare");
  t0 = Clock::now();
  while (sqlite3_step(select) == SQLITE_ROW) result.checksum += sqlite3_column_double(select, 1);
  result.scanRowsPerSecond = n / Seconds(t0);
  sqlite3_finalize(select);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  sqlite3_close(db);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = bench::WorkFolder(argc, argv, "vz-bench-table");
  const int kProbes = 100000;
  std::printf("%-8s | %10s %10s | %10s %10s %10s | %12s %12s\n", "rows", "inserts/s", "SQLite",
              "lookup ns", "one lock", "SQLite", "scan rows/s", "SQLite");
  for (int n : {10'000, 100000, 300000}) {
    std::mt19937 rng(static_cast<unsigned>(n));
    std::vector<int> probes(kProbes);
    for (int& p : probes) p = std::uniform_int_distribution<int>(0, n - 1)(rng);
    const TResult e = RunEngine(dir + "/engine.zuz", n, probes);
    const TResult s = RunSqlite(dir + "/sqlite.db", n, probes);
    if (e.checksum != s.checksum) {
      std::fprintf(stderr, "the two runs disagree\n");
      return 1;
    }
    std::printf("%-8d | %10.0f %10.0f | %10.0f %10.0f %10.0f | %12.0f %12.0f\n", n,
                e.insertsPerSecond, s.insertsPerSecond, e.lookupNs, e.lookupNsOneLock, s.lookupNs,
                e.scanRowsPerSecond, s.scanRowsPerSecond);
  }
  std::filesystem::remove(dir + "/engine.zuz");
  std::filesystem::remove(dir + "/sqlite.db");
  if (argc <= 1) std::filesystem::remove(dir);
  return 0;
}
