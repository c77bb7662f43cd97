// Times the index tree beside SQLite on the same keys, in one run: inserts of n keys in one
// transaction (each after the duplicate search a unique index makes), then point lookups of
// random existing keys after reopening the file, for n = 10,000, 100,000 and 1,000,000, with
// integer keys and with 9-character string keys (byte order on both sides). The engine's lookups
// are timed twice: with the page cache it sizes at open (at most 1000 pages), and with a cache
// that holds the whole file.
//
// SQLite: a table (k, v) with an index on k, prepared statements, one transaction for the
// inserts; a lookup is "SELECT rowid FROM t WHERE k = ?", which the index answers alone, as the
// tree answers with a record address, all in one read transaction. SQLite's insert also writes
// the table row.
//
// Usage: bench_db_btree [directory] (default: a new folder under /tmp).
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/benchCommon.h"
#include "db/index/zuzBTree.h"
#include "db/storage/zuzCoding.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzGlobalHdr.h"
#include "db/storage/zuzIOInterface.h"
#include "db/storage/zuzPosixFile.h"

namespace {

using bench::Check;
using bench::Clock;
using bench::Seconds;
using namespace zuz;

// Distinct keys in a scrambled order: multiplying by an odd number is a bijection mod 2^32.
int32_t IntKey(int i) {
  return static_cast<int32_t>(static_cast<uint32_t>(i) * 2654435761u);
}
std::string StringKey(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "k%08x", static_cast<uint32_t>(i) * 2654435761u);
  return buf;
}

struct TResult {
  double insertsPerSecond = 0;
  double lookupNs = 0;
  double lookupNsFullCache = 0;  // the engine with a page cache that holds the whole file
  int depth = 0;
  uint64_t checksum = 0;
};

// Record layout of the one-field table: status @0, sequence @6, null flag @14, the field @15
// (a string: length marker @15, characters @17).
constexpr int kFieldOffset = 15;
constexpr int kStringSize = 21;  // declared length 20

TResult RunEngine(const std::string& path, int n, bool strings, const std::vector<int>& probes) {
  TResult result;
  TDiskMgr disk(TPosixFileSystem::Instance());
  disk.FileName = path;
  disk.CreateNewFile(true);
  TDiskIOInterface io(&disk, kIndexPageSize, 1, usIndex, ioEncNone);
  io.SetGlobalFirstEmpty(ghIndexFirstEmpty);
  io.Open();

  TKeyFieldItem field;
  field.FieldName = "k";
  field.DataType = strings ? TFieldType::ftString : TFieldType::ftInteger;
  field.FieldSize = strings ? kStringSize : 4;
  field.IsVariable = strings;
  field.NullFlagOffset = 14;
  field.SizeMarkerOffset = strings ? kFieldOffset : 0;
  field.RecBufOffset = strings ? kFieldOffset + 2 : kFieldOffset;
  const int keySize = 10 + 1 + (strings ? 2 + kStringSize : 4);
  uint32_t root = 0;
  uint16_t depth = 0;
  TBTree tree(&io, root, depth, {field}, 1, keySize, SortOrderFunction(TSortOrder::soASCII));
  tree.Open();

  std::vector<uint8_t> image(64, 0);
  image[0] = 1;
  image[14] = 1;
  auto t0 = Clock::now();
  {
    TZuzTransaction tx(disk);
    tree.CreateEmpty();
    for (int i = 0; i < n; ++i) {
      PutU32(image.data() + 6, static_cast<uint32_t>(i + 1));
      if (strings) {
        const std::string k = StringKey(i);
        PutU16(image.data() + kFieldOffset, static_cast<uint16_t>(k.size()));
        std::copy(k.begin(), k.end(), image.begin() + kFieldOffset + 2);
      } else {
        PutU32(image.data() + kFieldOffset, static_cast<uint32_t>(IntKey(i)));
      }
      tree.SetKeyFromRecord(image);
      if (tree.SearchKey(skEqual) == 0) {
        std::fprintf(stderr, "duplicate key %d\n", i);
        std::exit(1);
      }
      tree.SetKeyAddress(static_cast<uint32_t>(i + 1));
      tree.InsertKey();
    }
    tx.Commit();
  }
  result.insertsPerSecond = n / Seconds(t0);

  // Reopen, as a program that starts on the file does: its page cache holds a quarter of the
  // file's pages, 50 to 1000.
  disk.Close();
  disk.Open();
  tree.InvalidateNodes();
  result.depth = depth;
  auto lookups = [&] {
    const auto start = Clock::now();
    uint64_t sum = 0;
    for (int i : probes) {
      if (strings) {
        tree.ConstructKeyBufFromVariants(StringKey(i));
      } else {
        tree.ConstructKeyBufFromVariants(int64_t{IntKey(i)});
      }
      if (tree.SearchKey(skEqual) != 0) {
        std::fprintf(stderr, "key %d not found\n", i);
        std::exit(1);
      }
      sum += tree.GetRecordAddress();
    }
    result.checksum = sum;
    return Seconds(start) * 1e9 / static_cast<double>(probes.size());
  };
  result.lookupNs = lookups();
  disk.File().SetCacheCapacity(static_cast<int>(disk.LogicalEndOfFile() / 4096) + 1);
  lookups();  // fills the cache
  result.lookupNsFullCache = lookups();
  disk.Close();
  return result;
}

TResult RunSqlite(const std::string& path, int n, bool strings, const std::vector<int>& probes) {
  TResult result;
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db), db, "open");
  Check(sqlite3_exec(
            db,
            strings ? "CREATE TABLE t(k TEXT, v INTEGER)" : "CREATE TABLE t(k INTEGER, v INTEGER)",
            nullptr, nullptr, nullptr),
        db, "create");
  Check(sqlite3_exec(db, "CREATE INDEX tk ON t(k)", nullptr, nullptr, nullptr), db, "index");
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?, ?)", -1, &insert, nullptr), db, "prepare");
  auto bind = [&](sqlite3_stmt* s, int i) {
    if (strings) {
      const std::string k = StringKey(i);
      sqlite3_bind_text(s, 1, k.c_str(), static_cast<int>(k.size()), SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_int(s, 1, IntKey(i));
    }
  };
  auto t0 = Clock::now();
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  for (int i = 0; i < n; ++i) {
    bind(insert, i);
    sqlite3_bind_int(insert, 2, i + 1);
    Check(sqlite3_step(insert), db, "insert");
    sqlite3_reset(insert);
  }
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  result.insertsPerSecond = n / Seconds(t0);
  sqlite3_finalize(insert);
  sqlite3_close(db);

  Check(sqlite3_open(path.c_str(), &db), db, "reopen");
  sqlite3_stmt* select = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT rowid FROM t WHERE k = ?", -1, &select, nullptr), db,
        "prepare");
  // One read transaction, so that the time is the lookup's and not the file lock's that every
  // statement outside a transaction takes and releases.
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  t0 = Clock::now();
  for (int i : probes) {
    bind(select, i);
    if (sqlite3_step(select) != SQLITE_ROW) {
      std::fprintf(stderr, "SQLite: key %d not found\n", i);
      std::exit(1);
    }
    result.checksum += static_cast<uint64_t>(sqlite3_column_int64(select, 0));
    sqlite3_reset(select);
  }
  result.lookupNs = Seconds(t0) * 1e9 / static_cast<double>(probes.size());
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  sqlite3_finalize(select);
  sqlite3_close(db);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = bench::WorkFolder(argc, argv, "vz-bench-btree");
  const int kProbes = 200000;
  std::printf("%-8s %8s | %10s %10s | %10s %10s %10s | %5s\n", "keys", "kind", "inserts/s",
              "SQLite", "lookup ns", "full cache", "SQLite", "depth");
  for (bool strings : {false, true}) {
    double firstNs = 0, firstFull = 0;
    for (int n : {10'000, 100000, 1000000}) {
      std::mt19937 rng(static_cast<unsigned>(n));
      std::vector<int> probes(kProbes);
      for (int& p : probes) p = std::uniform_int_distribution<int>(0, n - 1)(rng);
      const TResult e = RunEngine(dir + "/engine.zuz", n, strings, probes);
      const TResult s = RunSqlite(dir + "/sqlite.db", n, strings, probes);
      if (e.checksum != s.checksum) {
        std::fprintf(stderr, "the two lookups disagree\n");
        return 1;
      }
      std::printf("%-8d %8s | %10.0f %10.0f | %10.0f %10.0f %10.0f | %5d\n", n,
                  strings ? "string" : "integer", e.insertsPerSecond, s.insertsPerSecond,
                  e.lookupNs, e.lookupNsFullCache, s.lookupNs, e.depth);
      if (n == 10'000) {
        firstNs = e.lookupNs;
        firstFull = e.lookupNsFullCache;
      }
      if (n == 1000000) {
        std::printf(
            "lookup time from 10,000 to 1,000,000 keys: x%.2f, x%.2f with the full cache"
            " (log n grows x%.2f)\n",
            e.lookupNs / firstNs, e.lookupNsFullCache / firstFull, std::log2(1e6) / std::log2(1e4));
      }
    }
  }
  std::filesystem::remove(dir + "/engine.zuz");
  std::filesystem::remove(dir + "/sqlite.db");
  if (argc <= 1) std::filesystem::remove(dir);
  return 0;
}
