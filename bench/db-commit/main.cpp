// The cost of a durable commit: transactions of 1, 10 and 200 new rows (a row: an integer key,
// a name and a 200-byte note, with an index on the name) committed one after another, in the
// engine and in SQLite with a rollback journal and full syncing (journal_mode=DELETE,
// synchronous=FULL), on the same rows, in one run. Prints the time per commit and per row.
//
// usage: bench_db_commit [FOLDER]   (FOLDER on the disk to measure; a new /tmp folder otherwise)
#include <filesystem>
#include <string>
#include <vector>

#include "bench/benchCommon.h"
#include "db/objects/zuzEngineSetup.h"
#include "db/storage/zuzPosixFile.h"

using namespace zuz;
using bench::Check;
using bench::Clock;
using bench::Seconds;

namespace {

std::string Name(int i) {
  return "row " + std::to_string(i * 7919 % 100003);
}
const std::string kNote(200, 'n');

double RunEngine(const std::string& path, int rowsPerCommit, int commits) {
  std::filesystem::remove(path);
  TZuzEngineDb::Create(TPosixFileSystem::Instance(), path, {});
  TZuzOpenOptions options;
  options.fileName = path;
  TZuzEngineDb db(TPosixFileSystem::Instance(), options);
  TIndexDesc primary{"", "Id"};
  primary.Primary = primary.Unique = true;
  db.Tables().CreateTable("Rows",
                          {{"Id", TFieldType::ftInteger},
                           {"Name", TFieldType::ftString, 20},
                           {"Note", TFieldType::ftMemo}},
                          {primary, TIndexDesc{"ixName", "Name"}},
                          db.Tables().DefaultTableOptions());
  auto t = db.Tables().OpenTable("Rows");
  int id = 0;
  const auto t0 = Clock::now();
  for (int c = 0; c < commits; ++c) {
    TZuzTransaction transaction(db.Disk());
    for (int r = 0; r < rowsPerCommit; ++r, ++id) {
      t->NewRecord();
      t->SetValue(0, int64_t{id});
      t->SetValue(1, Name(id));
      t->SetBlob(2, kNote);
      t->AddRecord();
    }
    transaction.Commit();
  }
  const double seconds = Seconds(t0);
  t.reset();
  db.Close();
  return seconds;
}

double RunSqlite(const std::string& path, int rowsPerCommit, int commits) {
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db), db, "open");
  Check(sqlite3_exec(db,
                     "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;"
                     "CREATE TABLE Rows(Id INTEGER PRIMARY KEY, Name TEXT, Note TEXT);"
                     "CREATE INDEX ixName ON Rows(Name)",
                     nullptr, nullptr, nullptr),
        db, "create");
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO Rows VALUES(?, ?, ?)", -1, &insert, nullptr), db,
        "prepare");
  int id = 0;
  const auto t0 = Clock::now();
  for (int c = 0; c < commits; ++c) {
    Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
    for (int r = 0; r < rowsPerCommit; ++r, ++id) {
      const std::string name = Name(id);
      sqlite3_bind_int(insert, 1, id);
      sqlite3_bind_text(insert, 2, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 3, kNote.c_str(), static_cast<int>(kNote.size()), SQLITE_STATIC);
      Check(sqlite3_step(insert), db, "insert");
      sqlite3_reset(insert);
    }
    Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  }
  const double seconds = Seconds(t0);
  sqlite3_finalize(insert);
  sqlite3_close(db);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = bench::WorkFolder(argc, argv, "vz-bench-commit");
  std::printf("%-14s %8s | %12s %12s | %12s %12s | %6s\n", "rows/commit", "commits", "engine ms/c",
              "SQLite ms/c", "engine us/r", "SQLite us/r", "ratio");
  for (const auto& [rows, commits] :
       std::vector<std::pair<int, int>>{{1, 200}, {10, 100}, {200, 20}}) {
    const double e = RunEngine(dir + "/engine.zuz", rows, commits);
    const double s = RunSqlite(dir + "/sqlite.db", rows, commits);
    std::printf("%-14d %8d | %12.2f %12.2f | %12.1f %12.1f | %6.2f\n", rows, commits,
                e * 1e3 / commits, s * 1e3 / commits, e * 1e6 / (commits * rows),
                s * 1e6 / (commits * rows), e / s);
  }
  std::filesystem::remove(dir + "/engine.zuz");
  std::filesystem::remove(dir + "/sqlite.db");
  if (argc <= 1) std::filesystem::remove(dir);
  return 0;
}
