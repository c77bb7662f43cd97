// The database, query and table objects: names and properties, connecting, the statement
// transactions (a failing statement changes nothing), the statement kinds Open and ExecSQL
// refuse, the engine's message format, transactions, memory tables, and table datasets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/index/zuzIntegrityCheck.h"
#include "db/objects/zuzDatabase.h"
#include "db/objects/zuzSQL.h"
#include "db/objects/zuzTable.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzMemoryFile.h"
#include "tests/db/dbTestUtil.h"

namespace zuz::test {
namespace {

constexpr const char* kPath = "/mem/db/Vazadod.zuz";

class DbObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.SetDataBaseName(kPath);
    db_.SetExclusive(true);  // restructures (CREATE INDEX) need the file alone
    db_.CreateDatabase();
    Exec("CREATE TABLE t (Id AUTOINC, Name VARCHAR(10), X INTEGER, PRIMARY KEY (Id))");
    Exec("CREATE UNIQUE INDEX ixX ON t (X)");
    for (int i = 1; i <= 3; ++i) {
      Exec("INSERT INTO t (Name, X) VALUES ('n" + std::to_string(i) + "', " + std::to_string(i) +
           ")");
    }
  }
  int64_t Exec(const std::string& sql) {
    TZuzQuery q;
    q.SetDataBase(&db_);
    q.SetSQL(sql);
    q.ExecSQL();
    return q.RowsAffected();
  }
  // The values of the first column, in result order.
  std::vector<std::string> Column(const std::string& sql) {
    TZuzQuery q;
    q.SetDataBase(&db_);
    q.SetSQL(sql);
    q.Open();
    std::vector<std::string> out;
    while (!q.Eof()) {
      out.push_back(q.FieldValue(0).IsNull() ? "NULL" : q.FieldValue(0).ToText());
      q.Next();
    }
    return out;
  }

  TMemoryFileSystem fs_;
  TZuzDataBase db_{&fs_};
};

using V = std::vector<std::string>;

TEST(DbDatabaseObject, NamesAndProperties) {
  TMemoryFileSystem fs;
  TZuzDataBase db(&fs);
  db.SetDataBaseName("db\\Vazadod.zuz");
  EXPECT_EQ(db.Directory(), "db\\");
  EXPECT_EQ(db.DataBaseName(), "Vazadod.zuz");
  db.SetDataBaseName("memory");
  EXPECT_EQ(db.DataBaseName(), "MEMORY");
  EXPECT_EQ(db.Version(), "1.43.02");
  db.SetDataBaseName("");
  EXPECT_EQ(ErrorCodeOf([&] { db.Open(); }), ZUZ_ERR_DATABASE_NAME);
  db.SetDataBaseName("/mem/none.zuz");
  EXPECT_EQ(ErrorTextOf([&] { db.Open(); }), "/mem/none.zuz");
  EXPECT_EQ(ErrorCodeOf([&] { db.Open(); }), ZUZ_ERR_FILE_NOT_FOUND);
  EXPECT_FALSE(db.Connected());
  // A memory database holds memory tables only.
  db.SetDataBaseName("MEMORY");
  db.Open();
  TZuzQuery q;
  q.SetDataBase(&db);
  q.SetSQL("CREATE TABLE m (A INTEGER)");
  q.ExecSQL();
  q.SetSQL("INSERT INTO m VALUES (4)");
  q.ExecSQL();
  EXPECT_EQ(q.RowsAffected(), 1);
  q.SetSQL("SELECT A FROM m");
  q.Open();
  EXPECT_EQ(q.FieldValue("a").AsInteger(), 4);
  EXPECT_EQ(db.TableNames(), (V{"m"}));
  // Connected, the name can't change.
  EXPECT_EQ(ErrorCodeOf([&] { db.SetDataBaseName("x.zuz"); }), ZUZ_ERR_CONNECTED);
  EXPECT_EQ(db.DataBaseName(), "MEMORY");
  db.Close();
  EXPECT_FALSE(q.Active());
}

TEST_F(DbObjects, ExecSqlConnectsRunsInItsOwnTransactionAndStaysConnected) {
  db_.Close();
  EXPECT_EQ(Exec("UPDATE t SET Name = 'x' WHERE X = 2"), 1);
  EXPECT_TRUE(db_.Connected());
  EXPECT_FALSE(db_.InTransaction());
  EXPECT_EQ(Column("SELECT Name, X FROM t ORDER BY X"), (V{"n1", "x", "n3"}));
}

TEST_F(DbObjects, FailingStatementsChangeNothing) {
  // The second row's new key collides with the third's: the first row's change is undone too.
  int code = ErrorCodeOf([&] { Exec("UPDATE t SET X = X + 1"); });
  EXPECT_EQ(code, ZUZ_ERR_KEY_VIOLATION);
  EXPECT_EQ(Column("SELECT X, Id FROM t ORDER BY Id"), (V{"1", "2", "3"}));
  // A key violation of an INSERT ... SELECT after some rows were added.
  code = ErrorCodeOf([&] { Exec("INSERT INTO t (Name, X) SELECT Name, X + 2 FROM t"); });
  EXPECT_EQ(code, ZUZ_ERR_KEY_VIOLATION);
  EXPECT_EQ(Column("SELECT COUNT(*) FROM t"), (V{"3"}));
  // A value too long for its field, on the last of the rows.
  EXPECT_NE(
      ErrorCodeOf([&] { Exec("UPDATE t SET Name = Name || 'abcdefgh' || Name WHERE X >= 1"); }), 0);
  EXPECT_EQ(Column("SELECT Name, Id FROM t ORDER BY Id"), (V{"n1", "n2", "n3"}));
  // Inside an open transaction the statement's changes belong to it.
  db_.StartTransaction();
  Exec("DELETE FROM t WHERE X = 1");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM t"), (V{"2"}));
  db_.Rollback();
  EXPECT_EQ(Column("SELECT COUNT(*) FROM t"), (V{"3"}));
}

// CREATE TABLE inside an open transaction belongs to it, with the indexes declared in it: a
// rollback takes the table and its rows away (the name is free again), a commit keeps them, and
// the declared indexes find rows and refuse duplicates.
TEST_F(DbObjects, ATableMadeInsideATransactionBelongsToIt) {
  const char* create =
      "CREATE TABLE links (Id AUTOINC, A INTEGER, B INTEGER, PRIMARY KEY (Id), INDEX ixA (A), "
      "UNIQUE INDEX ixB (B))";
  db_.StartTransaction();
  Exec(create);
  Exec("INSERT INTO links (A, B) VALUES (1, 10)");
  EXPECT_EQ(Column("SELECT B FROM links WHERE A = 1"), (V{"10"}));
  db_.Rollback();
  EXPECT_NE(ErrorCodeOf([&] { Column("SELECT * FROM links"); }), 0);
  db_.StartTransaction();
  Exec(create);
  for (int i = 0; i < 40; ++i)
    Exec("INSERT INTO links (A, B) VALUES (" + std::to_string(i % 4) + ", " + std::to_string(i) +
         ")");
  db_.Commit();
  EXPECT_EQ(Column("SELECT COUNT(*) FROM links WHERE A = 3"), (V{"10"}));
  EXPECT_EQ(ErrorCodeOf([&] { Exec("INSERT INTO links (A, B) VALUES (9, 7)"); }),
            ZUZ_ERR_KEY_VIOLATION);
  EXPECT_EQ(ErrorCodeOf([&] { Exec(create); }), ZUZ_ERR_TABLE_EXISTS);
  EXPECT_EQ(ErrorCodeOf([&] { Exec("CREATE TABLE bad (A INTEGER, INDEX ixZ (Z))"); }) != 0, true);
}

TEST_F(DbObjects, StatementKindsAndMessages) {
  TZuzQuery q;
  q.SetDataBase(&db_);
  q.SetSQL("INSERT INTO t (Name) VALUES ('a')");
  try {
    q.Open();
    FAIL() << "Open ran an INSERT";
  } catch (const EZuzDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ZUZ_ERR_SQL);
    EXPECT_EQ(e.CustomMessage(), "SQL statement cannot be opened (execute by ExecSQL)");
    EXPECT_EQ(e.Caller(), "TZuzQuery.InternalOpen");
    EXPECT_STREQ(e.what(),
                 "The Zezad database engine raised an error\r\n SQL Error (error code #9645) - "
                 "SQL statement cannot be opened (execute by ExecSQL)");
  }
  q.SetSQL("SELECT * FROM t");
  EXPECT_EQ(ErrorTextOf([&] { q.ExecSQL(); }), "SQL statement cannot be executed by ExecSQL");
  q.SetSQL("SELECT * FROM nowhere");
  EXPECT_EQ(ErrorTextOf([&] { q.Open(); }), "Table not found - nowhere. ");
  q.SetDataBase(nullptr);
  EXPECT_EQ(ErrorCodeOf([&] { q.Open(); }), ZUZ_ERR_NO_ENGINE);
  // A schema statement other than CREATE TABLE inside a transaction is refused.
  db_.StartTransaction();
  EXPECT_EQ(ErrorCodeOf([&] { Exec("CREATE INDEX ixX2 ON t (X)"); }), ZUZ_ERR_IN_TRANSACTION);
  EXPECT_EQ(ErrorCodeOf([&] { Exec("DROP TABLE t"); }), ZUZ_ERR_IN_TRANSACTION);
  EXPECT_EQ(ErrorCodeOf([&] { db_.StartTransaction(); }), ZUZ_ERR_TRANSACTION_ACTIVE);
  db_.Commit();
  EXPECT_EQ(ErrorCodeOf([&] { db_.Commit(); }), ZUZ_ERR_NO_TRANSACTION);
  EXPECT_EQ(ErrorCodeOf([&] { db_.Rollback(); }), ZUZ_ERR_NO_TRANSACTION);
}

TEST_F(DbObjects, QueryResultsAsDatasets) {
  Exec("CREATE TABLE d (Id INTEGER, Due DATE, Flag BOOLEAN, F FLOAT, S VARCHAR(5))");
  Exec("INSERT INTO d VALUES (1, '2004-05-20', -1, 2.5, NULL)");
  TZuzQuery q;
  q.SetDataBase(&db_);
  q.SetSQL("SELECT * FROM d");
  q.Open();
  EXPECT_FALSE(q.Eof());
  EXPECT_EQ(q.FieldValue("id").Kind(), TqorVarKind::Integer);
  EXPECT_EQ(q.FieldValue("DUE").Kind(), TqorVarKind::Date);
  EXPECT_EQ(q.FieldValue("Due").AsDate(), 38127.0);
  EXPECT_EQ(q.FieldValue("Flag").Kind(), TqorVarKind::Boolean);
  EXPECT_EQ(q.FieldValue("F").AsReal(), 2.5);
  EXPECT_TRUE(q.FieldValue("S").IsNull());
  EXPECT_THROW(q.FieldValue("Nope"), EZuzDataSetError);
  try {
    q.FieldValue("Nope");
  } catch (const EZuzDataSetError& e) {
    EXPECT_STREQ(e.what(), "Field 'Nope' not found");
  }
  q.Next();
  EXPECT_TRUE(q.Eof());
  q.Next();
  EXPECT_TRUE(q.Eof());
  EXPECT_THROW(q.Edit(), EZuzDataSetError);
  // Parameters by name.
  q.SetSQL("SELECT Name FROM t WHERE X = :x");
  EXPECT_EQ(q.ParamNames(), (V{"x"}));
  q.SetParam("X", TqorVariant(int32_t{3}));
  q.Open();
  EXPECT_EQ(q.FieldValue("Name").ToText(), "n3");
  // MaxRecords cuts a plain query.
  q.SetSQL("SELECT Name FROM t");
  q.MaxRecords = 2;
  q.Open();
  EXPECT_EQ(q.RecordCount(), 2);
  // A filter over the result's columns.
  q.MaxRecords = 0;
  q.SetSQL("SELECT Name, X FROM t");
  q.Filter = "X >= 2 AND Name <> 'n3'";
  q.Filtered = true;
  q.Open();
  EXPECT_EQ(q.FieldValue("Name").ToText(), "n2");
  q.Next();
  EXPECT_TRUE(q.Eof());
}

TEST_F(DbObjects, MemoryTablesBesideDiskTables) {
  Exec("CREATE TABLE TEMPORARY scratch (A INTEGER, B VARCHAR(5))");
  Exec("INSERT INTO scratch VALUES (2, 'n2')");
  EXPECT_EQ(Column("SELECT t.Name FROM t INNER JOIN TEMPORARY scratch s ON t.X = s.A"), (V{"n2"}));
  EXPECT_EQ(db_.MemoryTableNames(), (V{"scratch"}));
  EXPECT_EQ(db_.TableNames(), (V{"t"}));
  // A failing statement on a memory table is undone as well.
  Exec("CREATE UNIQUE INDEX ixA ON scratch (A)");
  EXPECT_EQ(ErrorCodeOf([&] { Exec("INSERT INTO scratch SELECT X, Name FROM t"); }),
            ZUZ_ERR_KEY_VIOLATION);
  EXPECT_EQ(Column("SELECT COUNT(*) FROM scratch"), (V{"1"}));
  db_.Close();
  db_.Open();
  EXPECT_TRUE(db_.MemoryTableNames().empty());
}

TEST_F(DbObjects, TableDatasets) {
  TZuzTable t;
  t.SetDataBase(&db_);
  t.TableName = "T";
  t.SetIndexName("ixX");
  t.Open();
  EXPECT_EQ(t.RecordCount(), 3);
  EXPECT_EQ(t.FieldValue("Name").ToText(), "n1");
  t.Last();
  EXPECT_EQ(t.FieldValue("X").AsInteger(), 3);
  EXPECT_TRUE(t.Eof());
  // Editing locks the record until it is posted.
  t.First();
  t.Edit();
  t.SetFieldValue("Name", TqorVariant("first"));
  t.Post();
  EXPECT_EQ(Column("SELECT Name FROM t WHERE X = 1"), (V{"first"}));
  t.Insert();
  t.SetFieldValue("Name", TqorVariant("zero"));
  t.SetFieldValue("X", TqorVariant(int32_t{0}));
  t.Post();
  EXPECT_EQ(t.FieldValue("Name").ToText(), "zero");
  EXPECT_EQ(t.RecNo(), 1);  // in index order
  EXPECT_EQ(t.FieldValue("Id").AsInteger(), 4);
  // A duplicate key fails and leaves the table as it was.
  t.Insert();
  t.SetFieldValue("X", TqorVariant(int32_t{2}));
  EXPECT_EQ(ErrorCodeOf([&] { t.Post(); }), ZUZ_ERR_KEY_VIOLATION);
  t.Cancel();
  EXPECT_EQ(t.RecordCount(), 4);
  EXPECT_TRUE(t.FindKey({TqorVariant(int32_t{3})}));
  EXPECT_EQ(t.FieldValue("Name").ToText(), "n3");
  EXPECT_FALSE(t.FindKey({TqorVariant(int32_t{9})}));
  t.Delete();
  EXPECT_EQ(t.RecordCount(), 3);
  // A filter is a condition over the table's columns.
  t.Filter = "X >= 1 AND Name LIKE 'n%'";
  t.Filtered = true;
  t.First();
  EXPECT_EQ(t.FieldValue("Name").ToText(), "n2");
  t.Next();
  EXPECT_TRUE(t.Eof());
  t.Filter = "X >= ";
  EXPECT_EQ(ErrorCodeOf([&] { t.First(); }), ZUZ_ERR_FILTER);
  t.Close();
  // An edit cancelled by a rollback.
  t.Filtered = false;
  t.Open();
  db_.StartTransaction();
  Exec("DELETE FROM t");
  db_.Rollback();
  EXPECT_EQ(t.RecordCount(), 3);
}

TEST_F(DbObjects, TwoProgramsShareTheFile) {
  db_.Close();
  db_.SetExclusive(false);
  db_.Open();
  TZuzDataBase other(&fs_);
  other.SetDataBaseName(kPath);
  other.LockRetryInterval = 5;
  other.Open();
  TZuzQuery q;
  q.SetDataBase(&other);
  q.SetSQL("INSERT INTO t (Name, X) VALUES ('other', 9)");
  q.ExecSQL();
  // The first program sees the row at its next statement.
  EXPECT_EQ(Column("SELECT Name FROM t WHERE X = 9"), (V{"other"}));
  // A query of one program stays open while the other changes the table.
  q.SetSQL("SELECT Name, X FROM t ORDER BY X");
  q.Open();
  Exec("DELETE FROM t WHERE X = 9");
  EXPECT_EQ(q.RecordCount(), 4);
  q.Close();
  // An exclusive open fails while another program has the file.
  TZuzDataBase third(&fs_);
  third.SetDataBaseName(kPath);
  third.SetExclusive(true);
  EXPECT_EQ(ErrorCodeOf([&] { third.Open(); }), ZUZ_ERR_OPEN_FILE);
}

// CREATE INDEX, DROP INDEX and ALTER TABLE on a database opened shared open it alone for the
// statement when no other program has it, and shared again after; with another program on the
// file, or datasets of the database open, they are refused (10121) and both programs go on.
TEST_F(DbObjects, SchemaStatementsOpenASharedDatabaseAloneWhenTheyCan) {
  db_.Close();
  db_.SetExclusive(false);
  db_.Open();
  TZuzDataBase other(&fs_);
  other.SetDataBaseName(kPath);
  other.LockRetryInterval = 5;
  auto otherSees = [&](const std::string& sql) {
    TZuzQuery q;
    q.SetDataBase(&other);
    q.SetSQL(sql);
    q.Open();
    return q.RecordCount();
  };
  // Each statement alone, then one of its kind beside the other program.
  const std::vector<std::pair<std::string, std::string>> statements = {
      {"CREATE INDEX ixName ON t (Name)", "CREATE INDEX ixName2 ON t (Name)"},
      {"ALTER TABLE t ADD Extra INTEGER, ALTER Extra TO More", "ALTER TABLE t ADD Other INTEGER"},
      {"DROP INDEX t ixName", "DROP INDEX t ixX"}};
  for (const auto& [sql, beside] : statements) {
    SCOPED_TRACE(sql);
    EXPECT_EQ(ErrorTextOf([&] { Exec(sql); }), "");
    EXPECT_FALSE(db_.Exclusive());
    // Shared again: another program opens the file beside it.
    other.Open();
    EXPECT_EQ(otherSees("SELECT * FROM t"), 3);
    const std::string message = ErrorTextOf([&] { Exec(beside); });
    EXPECT_NE(message.find("Another program"), std::string::npos) << message;
    EXPECT_EQ(ErrorCodeOf([&] { Exec(beside); }), ZUZ_ERR_NOT_EXCLUSIVE);
    // Both programs go on.
    EXPECT_EQ(Exec("UPDATE t SET Name = 'x' WHERE X = 1"), 1);
    EXPECT_EQ(otherSees("SELECT * FROM t WHERE Name = 'x'"), 1);
    other.Close();
  }
  EXPECT_EQ(Column("SELECT More FROM t WHERE X = 2"), (V{"NULL"}));
  // An open dataset keeps the file shared.
  TZuzTable open;
  open.SetDataBase(&db_);
  open.TableName = "t";
  open.Open();
  EXPECT_EQ(ErrorCodeOf([&] { Exec("CREATE INDEX ixName ON t (Name)"); }), ZUZ_ERR_NOT_EXCLUSIVE);
  EXPECT_TRUE(open.Active());
  open.Close();
  Exec("CREATE INDEX ixName ON t (Name)");
  EXPECT_EQ(Column("SELECT Name FROM t WHERE Name = 'x'"), (V{"x"}));
}

TEST_F(DbObjects, CopyAndCreateDatabases) {
  EXPECT_EQ(ErrorCodeOf([&] { db_.CopyDatabase(kPath); }), ZUZ_ERR_COPY_FAILED);
  db_.Close();
  db_.CopyDatabase("/mem/db/copy.zuz");
  EXPECT_EQ(ErrorCodeOf([&] { db_.CopyDatabase("/mem/db/copy.zuz"); }), ZUZ_ERR_UNKNOWN);
  TZuzDataBase copy(&fs_);
  copy.SetDataBaseName("/mem/db/copy.zuz");
  copy.Open();
  EXPECT_EQ(copy.TableNames(), (V{"t"}));
  copy.Close();
  TZuzDataBase other(&fs_);
  other.SetDataBaseName("/mem/db/other.zuz");
  other.SetMasterKey("abc");
  EXPECT_EQ(ErrorCodeOf([&] { other.CreateDatabase(); }), ZUZ_ERR_INVALID_LOGIN);
  other.SetMasterKey("");
  other.CreateDatabase();
  EXPECT_EQ(ErrorCodeOf([&] { other.CreateDatabase(); }), ZUZ_ERR_CREATE);
}

// A disk that fills up at any write: from then on every write that would grow a file fails.
// Each refusal says that the disk is full, and afterwards the file holds exactly the rows whose
// statements succeeded, and passes the integrity check.
TEST(DbFullDisk, EveryRefusalSaysSoAndWhatWasCommittedStays) {
  TMemoryFileSystem memory;
  {
    TZuzDataBase db(&memory);
    db.SetDataBaseName(kPath);
    db.CreateDatabase();
    TZuzQuery q;
    q.SetDataBase(&db);
    q.SetSQL("CREATE TABLE t (Id INTEGER, Body BLOB, PRIMARY KEY (Id))");
    q.ExecSQL();
  }
  const std::vector<uint8_t> empty = *memory.Contents(kPath);
  // Opens the file and adds rows 1, 2, ...; returns the rows added and the refusal, if any.
  auto work = [&](TZuzFileSystem& fs, std::string* refusal) {
    memory.SetContents(kPath, empty);
    int added = 0;
    try {
      TZuzDataBase db(&fs);
      db.SetDataBaseName(kPath);
      db.Open();
      for (int i = 1; i <= 4; ++i) {
        TZuzQuery q;
        q.SetDataBase(&db);
        q.SetSQL("INSERT INTO t VALUES (" + std::to_string(i) + ", '" +
                 std::string(static_cast<size_t>(1500 * i), 'b') + "')");
        q.ExecSQL();
        added = i;
      }
    } catch (const EZuzDatabaseError& e) {
      EXPECT_EQ(e.ErrorCode(), ZUZ_ERR_WRITE) << e.what();
      *refusal = e.CustomMessage();
    }
    return added;
  };
  TFaultFileSystem fs(memory);
  std::string refusal;
  ASSERT_EQ(work(fs, &refusal), 4) << refusal;
  const int64_t writes = fs.Calls(TFaultOp::Write);
  int refused = 0;
  for (int64_t n = 1; n <= writes; ++n) {
    fs.Arm(TFaultOp::Write, n, TFaultMode::DiskFull);
    refusal.clear();
    const int added = work(fs, &refusal);
    fs.Disarm();
    if (n == 1) {
      EXPECT_EQ(refusal, "Unable to complete lock file creation: the disk is full");
    }
    if (!refusal.empty()) {
      ++refused;
      EXPECT_NE(refusal.find("the disk is full"), std::string::npos) << n << ": " << refusal;
    }
    TZuzDataBase db(&memory);
    db.SetDataBaseName(kPath);
    db.Open();
    TZuzQuery q;
    q.SetDataBase(&db);
    q.SetSQL("SELECT COUNT(*), MAX(Id) FROM t");
    q.Open();
    EXPECT_EQ(q.FieldValue(0).ToText(), std::to_string(added)) << n << ": " << refusal;
    if (added > 0) {
      EXPECT_EQ(q.FieldValue(1).ToText(), std::to_string(added)) << n;
    }
    q.Close();
    EXPECT_EQ(CheckDatabaseIntegrity(*db.Tables()), std::vector<std::string>{}) << n;
  }
  EXPECT_GT(refused, 4);
}

}  // namespace
}  // namespace zuz::test
