// ALTER TABLE end to end. A program that dies at any call of an ALTER, or meets one I/O error there
// and goes on, leaves the old table or the new one (never neither, never a work table, never a
// bystander table touched), with the integrity check passing. Random lists of actions on a table
// with rows agree with a model that applies them one after the other, each against what the ones
// before it made; a refused list changes nothing.
// VZ_ALTER_FAULT_STRIDE samples the calls that fail once (default every 16th; every write is a
// point of death); VZ_ALTER_ROUNDS sets the random statements (default 120).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>

#include "db/index/zuzIntegrityCheck.h"
#include "db/lock/zuzMultiUserLocks.h"
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzJournal.h"
#include "tests/db/exec/execTestDb.h"

namespace zuz::test {
namespace {

int EnvNumber(const char* name, int fallback) {
  const char* env = std::getenv(name);
  return env ? std::max(1, std::atoi(env)) : fallback;
}

TZuzExecEnv EnvOf(TTableMgr& tables) {
  return TZuzExecEnv{&tables, nullptr, TSortOrder::soASCII, {}};
}

void ExecOn(TTableMgr& tables, const std::string& sql) {
  TZuzQueryProvider p(EnvOf(tables));
  p.Prepare(sql, "TZuzQuery");
  if (p.Statement()->IsSchema()) {
    p.Execute("TZuzQuery.ExecSQL");
    return;
  }
  TZuzTransaction tx(tables.Disk());
  p.Execute("TZuzQuery.ExecSQL");
  tx.Commit();
}

// The rows of a query as lines of "|"-separated texts (NULL for NULL).
std::vector<std::string> RowsOn(TTableMgr& tables, const std::string& sql) {
  TZuzQueryProvider p(EnvOf(tables));
  p.Prepare(sql, "TZuzQuery");
  TZuzTransaction tx(tables.Disk(), true);
  auto r = p.Open("TZuzQuery.InternalOpen");
  tx.Commit();
  std::vector<std::string> out;
  for (const TZuzRow& row : r->Rows) {
    std::string line;
    for (const TZuzValue& v : row) line += (v.IsNull() ? "NULL" : ValueToText(v)) + "|";
    out.push_back(line);
  }
  return out;
}

// A table's columns as "name type size" items.
std::string ColumnsOf(TTableMgr& tables, const std::string& table) {
  std::string out;
  for (const TInternalFieldItem& f : tables.InternalGetTableDef(table).InternalFields) {
    if (f.Hidden) continue;
    out += f.FieldName + " " + FieldTypeName(f.DataType) + " " + std::to_string(f.FieldSize) + ";";
  }
  return out;
}

// --- A program that dies or fails half-way ---

const std::string kAlter =
    "ALTER TABLE Items ALTER Name TO Title, ADD Extra INTEGER, DROP Qty, "
    "ALTER Title TYPE VARCHAR(20)";

// Items (Id key, Name indexed, Qty, Photo) with 30 rows; a bystander named like the old work
// table; Other with a unique index.
std::vector<uint8_t> BaseFile() {
  TExecDb db;
  for (const char* sql :
       {"CREATE TABLE Items (Id INTEGER, Name VARCHAR(12), Qty SMALLINT, Photo BLOB, "
        "PRIMARY KEY (Id))",
        "CREATE INDEX ixName ON Items (Name)", "CREATE TABLE \"Items$alter\" (Keep VARCHAR(8))",
        "INSERT INTO \"Items$alter\" VALUES ('mine')", "CREATE TABLE Other (K INTEGER)",
        "CREATE UNIQUE INDEX ixK ON Other (K)", "INSERT INTO Other VALUES (1)"}) {
    db.Exec(sql);
  }
  for (int i = 1; i <= 30; ++i) {
    const std::string photo = i % 3 == 0 ? "'" + std::string(300 * i, 'a' + i % 26) + "'" : "NULL";
    db.Exec("INSERT INTO Items VALUES (" + std::to_string(i * 7 % 31) + ", 'n" +
            std::to_string(i % 9) + "', " + std::to_string(i % 4) + ", " + photo + ")");
  }
  db.Close();
  return db.Bytes();
}

struct TState {
  std::vector<std::string> tables;
  std::string columns;
  std::vector<std::string> items, bystander, other;
  bool operator==(const TState&) const = default;
};

TState InspectWith(TTableMgr& tables, std::string* problems) {
  TState s;
  for (const auto& p : CheckDatabaseIntegrity(tables)) *problems += "integrity: " + p + "\n";
  s.tables = tables.TableNames();
  try {
    s.columns = ColumnsOf(tables, "Items");
    s.items = RowsOn(tables, "SELECT * FROM Items ORDER BY Id");
    s.bystander = RowsOn(tables, "SELECT * FROM \"Items$alter\"");
    s.other = RowsOn(tables, "SELECT * FROM Other");
    // A probe: the table still takes a row (rolled back).
    TZuzTransaction tx(tables.Disk());
    TZuzQueryProvider p(EnvOf(tables));
    p.Prepare("INSERT INTO Items (Id) VALUES (1000)", "TZuzQuery");
    p.Execute("TZuzQuery.ExecSQL");
  } catch (const EZuzDatabaseError& e) {
    *problems += std::string("reading: ") + e.what() + "\n";
  }
  return s;
}

TState Inspect(TMemoryFileSystem& fs, std::string* problems) {
  TIndexedConnection c(fs, kDbPath, {}, true);
  return InspectWith(*c.tables, problems);
}

// One program's connection, alone on the file, that may die: closing it never throws.
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

// The fault comes at the nth call of the kind op, for every stride-th n. sticky: the program
// dies there; otherwise the call fails once and the program goes on.
void RunFaults(TFaultOp op, bool sticky, int stride) {
  const std::vector<uint8_t> base = BaseFile();
  std::string problems;
  TState before, after;
  int64_t total = 0;
  {
    TMemoryFileSystem memory;
    memory.SetContents(kDbPath, base);
    before = Inspect(memory, &problems);
    TFaultFileSystem fs(memory);
    {
      TFragileConnection c(fs);
      fs.Arm(TFaultOp::Any, INT64_MAX);
      ExecOn(*c.tables, kAlter);
      total = fs.Calls(op);
    }
    after = Inspect(memory, &problems);
  }
  ASSERT_EQ(problems, "");
  ASSERT_NE(before, after);
  ASSERT_EQ(after.tables, before.tables);
  ASSERT_EQ(after.columns, "Id ftInteger 0;Title ftString 21;Photo ftBlob 0;Extra ftInteger 0;");
  ASSERT_EQ(after.items.size(), 30u);
  int asBefore = 0, asAfter = 0;
  for (int64_t n = 1; n <= total; n += stride) {
    TMemoryFileSystem memory;
    memory.SetContents(kDbPath, base);
    TFaultFileSystem fs(memory);
    bool failed = false;
    {
      TFragileConnection c(fs);
      fs.Arm(op, n, TFaultMode::Fail, sticky);
      try {
        ExecOn(*c.tables, kAlter);
      } catch (const EZuzDatabaseError&) {
        failed = true;
      }
      fs.Disarm();
      if (!sticky) {
        std::string seen;
        const TState now = InspectWith(*c.tables, &seen);
        EXPECT_EQ(seen, "") << "call " << n;
        EXPECT_TRUE(now == (failed ? before : after)) << "call " << n;
      }
    }
    std::string found;
    const TState state = Inspect(memory, &found);
    EXPECT_EQ(found, "") << "call " << n;
    EXPECT_TRUE(state == before || state == after)
        << "call " << n << ": tables " << ::testing::PrintToString(state.tables) << ", columns "
        << state.columns;
    EXPECT_FALSE(memory.Exists(JournalFileNameFor(kDbPath))) << "call " << n;
    asBefore += state == before;
    asAfter += state == after;
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(asBefore, 0);
  // A commit holds only once its journal is gone, which no write comes after: a program that
  // dies at a write always leaves the old table.
  if (!sticky) EXPECT_GT(asAfter, 0);
}

TEST(DbAlterFaults, DyingAtEveryWriteLeavesTheOldTableOrTheNew) {
  RunFaults(TFaultOp::Write, true, 1);
}

TEST(DbAlterFaults, OneFailedCallLeavesTheOldTableOrTheNew) {
  RunFaults(TFaultOp::Any, false, EnvNumber("VZ_ALTER_FAULT_STRIDE", 16));
}

// --- Random action lists against a model ---

// A column of the model: its name, its type (INTEGER, FLOAT or VARCHAR(20)) and a value per row.
// Every value is a whole number or NULL, so that it reads back alike under each type.
struct TModelColumn {
  std::string name;
  std::string type;
  std::vector<std::optional<int>> values;
};

class DbAlterModel {
 public:
  explicit DbAlterModel(uint64_t seed) : rng_(seed) {}

  void Create(TExecDb& db, int rows) {
    columns_ = {{"Id", "INTEGER", {}}, {"A", "INTEGER", {}}, {"B", "VARCHAR(20)", {}}};
    db.Exec("CREATE TABLE t (Id INTEGER, A INTEGER, B VARCHAR(20), PRIMARY KEY (Id))");
    for (int r = 0; r < rows; ++r) {
      const int a = Pick(100) - 50;
      const std::optional<int> b = Pick(4) == 0 ? std::nullopt : std::optional<int>(Pick(1000));
      columns_[0].values.push_back(r);
      columns_[1].values.push_back(a);
      columns_[2].values.push_back(b);
      db.Exec("INSERT INTO t VALUES (" + std::to_string(r) + ", " + std::to_string(a) + ", " +
              (b ? "'" + std::to_string(*b) + "'" : std::string("NULL")) + ")");
    }
  }

  // A random list of actions; applies it to the model when every action holds, and returns the
  // statement and whether it must be refused.
  std::pair<std::string, bool> Next() {
    static const char* kNames[] = {"A", "B", "C", "D", "Id"};
    static const char* kTypes[] = {"INTEGER", "FLOAT", "VARCHAR(20)"};
    std::vector<TModelColumn> next = columns_;
    const size_t rows = columns_[0].values.size();
    std::string sql = "ALTER TABLE t";
    bool refused = false;
    const int count = 1 + Pick(3);
    for (int k = 0; k < count; ++k) {
      // Mostly a column the table has by then, sometimes one it may lack.
      const std::string name =
          !next.empty() && Pick(10) < 7
              ? next[static_cast<size_t>(Pick(static_cast<int>(next.size())))].name
              : kNames[Pick(5)];
      auto it = std::find_if(next.begin(), next.end(),
                             [&](const TModelColumn& c) { return SameName(c.name, name); });
      const bool exists = it != next.end();
      sql += k == 0 ? " " : ", ";
      switch (Pick(4)) {
        case 0: {
          const std::string type = kTypes[Pick(3)];
          sql += "ADD " + name + " " + type;
          refused = refused || exists;
          if (!exists) next.push_back({name, type, std::vector<std::optional<int>>(rows)});
          break;
        }
        case 1:
          sql += "DROP " + name;
          refused = refused || !exists;
          if (exists) next.erase(it);
          break;
        case 2: {
          const std::string to = kNames[Pick(5)] + std::string(Pick(2) ? "x" : "");
          sql += "ALTER " + name + " TO " + to;
          auto taken = std::find_if(next.begin(), next.end(),
                                    [&](const TModelColumn& c) { return SameName(c.name, to); });
          refused = refused || !exists || (taken != next.end() && taken != it);
          if (exists) it->name = to;
          break;
        }
        default: {
          const std::string type = kTypes[Pick(3)];
          sql += "ALTER " + name + " TYPE " + type;
          refused = refused || !exists;
          if (exists) it->type = type;
          break;
        }
      }
    }
    refused = refused || next.empty();  // a table keeps a column at least
    if (!refused) columns_ = std::move(next);
    return {sql, refused};
  }

  // The column names and the rows as the table should read.
  std::string Columns() const {
    std::string out;
    for (const TModelColumn& c : columns_) out += c.name + ";";
    return out;
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> out;
    for (size_t r = 0; r < columns_[0].values.size(); ++r) {
      std::string line;
      for (const TModelColumn& c : columns_) {
        line += (c.values[r] ? std::to_string(*c.values[r]) : "NULL") + "|";
      }
      out.push_back(line);
    }
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<uint64_t>(n)); }

  std::mt19937_64 rng_;
  std::vector<TModelColumn> columns_;
};

TEST(DbAlter, RandomActionListsAgreeWithAModel) {
  const int rounds = EnvNumber("VZ_ALTER_ROUNDS", 120);
  TExecDb db;
  // A user's table named like a work table of old: no ALTER may touch it.
  db.Exec("CREATE TABLE \"t$alter\" (Keep INTEGER)");
  db.Exec("INSERT INTO \"t$alter\" VALUES (7)");
  DbAlterModel model(2024);
  model.Create(db, 12);
  int applied = 0, refusals = 0;
  for (int round = 0; round < rounds; ++round) {
    const auto [sql, refused] = model.Next();
    int code = 0;
    try {
      db.Exec(sql);
    } catch (const EZuzDatabaseError& e) {
      code = e.ErrorCode();
    }
    EXPECT_EQ(code != 0, refused) << sql << " (code " << code << ")";
    refusals += refused;
    applied += !refused;
    std::string columns;
    for (const TInternalFieldItem& f : db.Tables().InternalGetTableDef("t").InternalFields) {
      if (!f.Hidden) columns += f.FieldName + ";";
    }
    EXPECT_EQ(columns, model.Columns()) << sql;
    std::vector<std::string> rows;
    const auto result = db.Query("SELECT * FROM t");
    for (const TZuzRow& row : result->Rows) {
      std::string line;
      for (const TZuzValue& v : row) line += (v.IsNull() ? "NULL" : ValueToText(v)) + "|";
      rows.push_back(line);
    }
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, model.Rows()) << sql;
    EXPECT_EQ(CheckDatabaseIntegrity(db.Tables()), std::vector<std::string>{}) << sql;
    EXPECT_EQ(db.Tables().TableNames(), (std::vector<std::string>{"t", "t$alter"})) << sql;
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_EQ(db.Query("SELECT Keep FROM \"t$alter\"")->Rows.size(), 1u);
  EXPECT_GT(applied, rounds / 5);
  EXPECT_GT(refusals, rounds / 5);
}

// The auto-increment counter of a rebuilt table goes on from the old table's, so that the value
// of a deleted last row is never handed out again.
TEST(DbAlter, RebuildKeepsTheCounterOfDeletedRows) {
  TExecDb db;
  db.Exec("CREATE TABLE c (Id AUTOINC, N INTEGER, PRIMARY KEY (Id))");
  for (int i = 0; i < 5; ++i) db.Exec("INSERT INTO c (N) VALUES (" + std::to_string(i) + ")");
  db.Exec("DELETE FROM c WHERE Id >= 4");
  db.Exec("ALTER TABLE c ADD More INTEGER");
  db.Exec("INSERT INTO c (N) VALUES (9)");
  EXPECT_EQ(db.Query("SELECT Id FROM c WHERE N = 9")->Rows.at(0).at(0).Number, 6);
}

}  // namespace
}  // namespace zuz::test
