// ALTER TABLE end to end. A program that dies at any write of an ALTER, or meets one failing call
// and goes on, leaves the old table or the new one (never neither, never a work table, never a
// bystander table touched), with the integrity check passing. Random lists of actions agree with
// a model that applies them one after the other, each against what the ones before it made; a
// refused list changes nothing. VZ_ALTER_FAULT_STRIDE samples the calls that fail once (default
// every 16th); VZ_ALTER_ROUNDS sets the random statements (default 120).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <random>

#include "db/index/zuzIntegrityCheck.h"
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzJournal.h"
#include "tests/db/exec/execTestDb.h"

namespace zuz::test {
namespace {

constexpr TSortOrder kOrder = TSortOrder::soASCII;

int EnvNumber(const char* name, int fallback) {
  const char* env = std::getenv(name);
  return env ? std::max(1, std::atoi(env)) : fallback;
}

// The rows of a query, each as "|"-separated texts (NULL for NULL), in sorted order.
std::vector<std::string> Rows(TTableMgr& tables, const std::string& sql) {
  std::vector<std::string> out;
  const auto result = QueryOn(tables, kOrder, sql);
  for (const TZuzRow& row : result->Rows) {
    std::string line;
    for (const TZuzValue& v : row) line += (v.IsNull() ? "NULL" : ValueToText(v)) + "|";
    out.push_back(line);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::string Columns(TTableMgr& tables, const std::string& table) {
  std::string out;
  for (const TInternalFieldItem& f : tables.InternalGetTableDef(table).InternalFields) {
    if (!f.Hidden) out += f.FieldName + " " + FieldTypeName(f.DataType) + ";";
  }
  return out;
}

// --- A program that dies or fails half-way ---

const std::string kAlter =
    "ALTER TABLE Items ALTER Name TO Title, ADD Extra INTEGER, DROP Qty, "
    "ALTER Title TYPE VARCHAR(20)";

// Items (Id key, Name indexed, Qty, Photo) with 30 rows, a bystander named like the work table
// of old, and Other.
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
    const std::string photo = i % 3 ? "NULL" : "'" + std::string(300 * i, 'a' + i % 26) + "'";
    db.Exec("INSERT INTO Items VALUES (" + std::to_string(i * 7 % 31) + ", 'n" +
            std::to_string(i % 9) + "', " + std::to_string(i % 4) + ", " + photo + ")");
  }
  db.Close();
  return db.Bytes();
}

struct TState {
  std::vector<std::string> tables, items, bystander, other;
  std::string columns;
  bool operator==(const TState&) const = default;
};

// What a connection sees, checked on the way: the integrity check, and a probe row that Items
// still takes (rolled back).
TState InspectWith(TTableMgr& tables, std::string* problems) {
  TState s;
  for (const auto& p : CheckDatabaseIntegrity(tables)) *problems += "integrity: " + p + "\n";
  s.tables = tables.TableNames();
  try {
    s.columns = Columns(tables, "Items");
    s.items = Rows(tables, "SELECT * FROM Items");
    s.bystander = Rows(tables, "SELECT * FROM \"Items$alter\"");
    s.other = Rows(tables, "SELECT * FROM Other");
    TZuzTransaction tx(tables.Disk());
    TZuzQueryProvider probe(TZuzExecEnv{&tables, nullptr, kOrder, {}});
    probe.Prepare("INSERT INTO Items (Id) VALUES (1000)", "TZuzQuery");
    probe.Execute("TZuzQuery.ExecSQL");
  } catch (const EZuzDatabaseError& e) {
    *problems += std::string("reading: ") + e.what() + "\n";
  }
  return s;
}

TState Inspect(TMemoryFileSystem& fs, std::string* problems) {
  TIndexedConnection c(fs, kDbPath, {}, true);
  return InspectWith(*c.tables, problems);
}

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
      ExecOn(*c.tables, kOrder, kAlter);
      total = fs.Calls(op);
    }
    after = Inspect(memory, &problems);
  }
  ASSERT_EQ(problems, "");
  ASSERT_EQ(after.tables, before.tables);
  ASSERT_EQ(after.columns, "Id ftInteger;Title ftString;Photo ftBlob;Extra ftInteger;");
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
        ExecOn(*c.tables, kOrder, kAlter);
      } catch (const EZuzDatabaseError&) {
        failed = true;
      }
      fs.Disarm();
      if (!sticky) {
        std::string seen;
        EXPECT_TRUE(InspectWith(*c.tables, &seen) == (failed ? before : after)) << "call " << n;
        EXPECT_EQ(seen, "") << "call " << n;
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
  // A commit holds once its journal is gone, which no write follows: a program that dies at a
  // write always leaves the old table.
  if (!sticky) EXPECT_GT(asAfter, 0);
}

TEST(DbAlterFaults, DyingAtEveryWriteLeavesTheOldTableOrTheNew) {
  RunFaults(TFaultOp::Write, true, 1);
}

TEST(DbAlterFaults, OneFailedCallLeavesTheOldTableOrTheNew) {
  RunFaults(TFaultOp::Any, false, EnvNumber("VZ_ALTER_FAULT_STRIDE", 16));
}

// --- Random action lists against a model ---

// The model's columns: a name and a value per row. Every value is a whole number or NULL, which
// reads back alike as INTEGER, FLOAT or VARCHAR.
struct TModelColumn {
  std::string name;
  std::vector<std::optional<int>> values;
};

TEST(DbAlter, RandomActionListsAgreeWithAModel) {
  const int rounds = EnvNumber("VZ_ALTER_ROUNDS", 120);
  const char* kNames[] = {"A", "B", "C", "D", "Id"};
  const char* kTypes[] = {"INTEGER", "FLOAT", "VARCHAR(20)"};
  std::mt19937_64 rng(2024);
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  TExecDb db;
  // A user's table named like a work table of old: no ALTER may touch it.
  db.Exec("CREATE TABLE \"t$alter\" (Keep INTEGER)");
  db.Exec("CREATE TABLE t (Id INTEGER, A INTEGER, B VARCHAR(20), PRIMARY KEY (Id))");
  std::vector<TModelColumn> model = {{"Id", {}}, {"A", {}}, {"B", {}}};
  for (int r = 0; r < 12; ++r) {
    const int a = static_cast<int>(pick(100)) - 50, b = static_cast<int>(pick(1000));
    model[0].values.emplace_back(r);
    model[1].values.emplace_back(a);
    model[2].values.push_back(r % 4 ? std::optional<int>(b) : std::nullopt);
    db.Exec("INSERT INTO t VALUES (" + std::to_string(r) + ", " + std::to_string(a) + ", " +
            (r % 4 ? "'" + std::to_string(b) + "'" : std::string("NULL")) + ")");
  }
  int refusals = 0;
  for (int round = 0; round < rounds; ++round) {
    std::vector<TModelColumn> next = model;
    std::string sql = "ALTER TABLE t";
    bool refused = false;
    for (size_t k = 0, count = 1 + pick(3); k < count; ++k) {
      // Mostly a column the table has by then, sometimes one it may lack.
      const std::string name =
          !next.empty() && pick(10) < 7 ? next[pick(next.size())].name : kNames[pick(5)];
      auto named = [&](const std::string& n) {
        return std::find_if(next.begin(), next.end(),
                            [&](const TModelColumn& c) { return SameName(c.name, n); });
      };
      auto it = named(name);
      const bool exists = it != next.end();
      const std::string type = kTypes[pick(3)];
      sql += k ? ", " : " ";
      switch (pick(4)) {
        case 0:
          sql += "ADD " + name + " " + type;
          refused |= exists;
          if (!exists) next.push_back({name, std::vector<std::optional<int>>(12)});
          break;
        case 1:
          sql += "DROP " + name;
          refused |= !exists;
          if (exists) next.erase(it);
          break;
        case 2: {
          const std::string to = kNames[pick(5)] + std::string(pick(2) ? "x" : "");
          sql += "ALTER " + name + " TO " + to;
          const auto taken = named(to);
          refused |= !exists || (taken != next.end() && taken != it);
          if (exists) it->name = to;
          break;
        }
        default:
          sql += "ALTER " + name + " TYPE " + type;
          refused |= !exists;
      }
    }
    refused |= next.empty();  // a table keeps one column at least
    if (!refused) model = next;
    refusals += refused;
    int code = 0;
    try {
      db.Exec(sql);
    } catch (const EZuzDatabaseError& e) {
      code = e.ErrorCode();
    }
    EXPECT_EQ(code != 0, refused) << sql << " (code " << code << ")";
    std::string names;
    std::vector<std::string> rows(12);
    for (const TModelColumn& c : model) {
      names += c.name + ";";
      for (size_t r = 0; r < 12; ++r) {
        rows[r] += (c.values[r] ? std::to_string(*c.values[r]) : "NULL") + "|";
      }
    }
    std::sort(rows.begin(), rows.end());
    std::string columns;
    for (const TInternalFieldItem& f : db.Tables().InternalGetTableDef("t").InternalFields) {
      if (!f.Hidden) columns += f.FieldName + ";";
    }
    EXPECT_EQ(columns, names) << sql;
    EXPECT_EQ(Rows(db.Tables(), "SELECT * FROM t"), rows) << sql;
    EXPECT_EQ(CheckDatabaseIntegrity(db.Tables()), std::vector<std::string>{}) << sql;
    EXPECT_EQ(db.Tables().TableNames(), (std::vector<std::string>{"t", "t$alter"})) << sql;
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(refusals, rounds / 5);
  EXPECT_LT(refusals, rounds * 4 / 5);
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
  EXPECT_EQ(Rows(db.Tables(), "SELECT Id FROM c WHERE N = 9"), std::vector<std::string>{"6|"});
}

}  // namespace
}  // namespace zuz::test
