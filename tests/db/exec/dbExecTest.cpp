// Statements and their results on a database in memory: NULL rules, aggregates over nothing,
// the select analysis with its messages, limits, subquery errors, assignment to every field
// type, data statements that collect before they change, schema statements, and the use of
// indexes shown by the records read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "db/storage/zuzError.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "tests/db/exec/execTestDb.h"

namespace zuz::test {
namespace {

// A table t (Id AUTOINC key, Name VARCHAR(10) indexed, X INTEGER indexed, Done BOOLEAN,
// D DATE, F FLOAT, M memo) with rows given as SQL value lists.
class DbExec : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.Exec(
        "CREATE TABLE t (Id AUTOINC, Name VARCHAR(10), X INTEGER, Done BOOLEAN, D DATE, "
        "F FLOAT, M BLOB(1,1), PRIMARY KEY (Id))");
    db_.Exec("CREATE INDEX ixName ON t (Name)");
    db_.Exec("CREATE INDEX ixX ON t (X)");
  }
  void Add(const std::string& values) {
    db_.Exec("INSERT INTO t (Name, X, Done, D, F) VALUES (" + values + ")");
  }
  // The first column of every row, as text (NULL for NULL).
  std::vector<std::string> Column(const std::string& sql, int maxRecords = 0) {
    std::vector<std::string> out;
    auto result = db_.Query(sql, maxRecords);
    for (const TZuzRow& row : result->Rows) {
      out.push_back(row[0].IsNull() ? "NULL" : ValueToText(row[0]));
    }
    return out;
  }
  std::string One(const std::string& sql) {
    auto r = Column(sql);
    EXPECT_EQ(r.size(), 1u) << sql;
    return r.empty() ? "" : r[0];
  }
  // The custom message of the engine error the call raises (and its code in *code).
  template <typename Fn>
  std::string Error(Fn&& fn, int* code = nullptr) {
    try {
      fn();
    } catch (const EZuzDatabaseError& e) {
      if (code) *code = e.ErrorCode();
      return e.CustomMessage();
    }
    return "no error";
  }
  std::string QueryError(const std::string& sql, int* code = nullptr) {
    return Error([&] { db_.Query(sql); }, code);
  }

  TExecDb db_;
};

using V = std::vector<std::string>;

TEST_F(DbExec, AggregatesOverNothingGiveOneRowOfZeros) {
  auto r = db_.Query("SELECT MAX(Id) AS NewId, COUNT(*), SUM(F), AVG(F), MIN(X) FROM t");
  ASSERT_EQ(r->Rows.size(), 1u);
  EXPECT_EQ(r->Columns[0].Name, "NewId");
  for (const TZuzValue& v : r->Rows[0]) {
    EXPECT_EQ(v.Kind, TZuzValueKind::Number);
    EXPECT_EQ(v.Number, 0);
  }
  // Grouped, there is no group at all.
  EXPECT_TRUE(Column("SELECT X, COUNT(*) FROM t GROUP BY X").empty());
  Add("'a', 1, 0, NULL, NULL");
  // Values that are all NULL count as none seen.
  EXPECT_EQ(One("SELECT SUM(F) FROM t"), "0");
  EXPECT_EQ(One("SELECT COUNT(F) FROM t"), "0");
  EXPECT_EQ(One("SELECT COUNT(*) FROM t"), "1");
}

TEST_F(DbExec, NullRulesOfConditions) {
  Add("'a', 5, 0, NULL, NULL");
  Add("NULL, NULL, 0, NULL, NULL");
  Add("'c', 7, 0, NULL, NULL");
  Add("NULL, 9, 0, NULL, NULL");
  int code = 0;
  EXPECT_NE(QueryError("SELECT COUNT(*) FROM t WHERE X = NULL", &code), "no error");
  EXPECT_EQ(code, ZUZ_ERR_SQL);
  EXPECT_EQ(One("SELECT COUNT(*) FROM t WHERE X IS NULL"), "1");
  EXPECT_EQ(One("SELECT COUNT(*) FROM t WHERE X <> 5"), "2");
  // IN and LIKE are false for NULL, so NOT IN holds and NOT LIKE does not.
  EXPECT_EQ(Column("SELECT Id FROM t WHERE Name NOT IN ('a', 'b')"), (V{"2", "3", "4"}));
  EXPECT_EQ(Column("SELECT Id FROM t WHERE Name NOT LIKE 'a%'"), (V{"3"}));
  EXPECT_EQ(Column("SELECT Id FROM t WHERE NOT (Name LIKE 'a%')"), (V{"2", "3", "4"}));
  // Three-valued logic: false AND unknown is false, so its negation holds (row 4); false OR
  // unknown is unknown, so its negation does not.
  EXPECT_EQ(Column("SELECT Id FROM t WHERE NOT (X = 7 AND Name = 'zz')"), (V{"1", "3", "4"}));
  EXPECT_EQ(Column("SELECT Id FROM t WHERE NOT (X = 7 OR Name = 'a')"), (V{}));
  // Arithmetic with NULL is NULL.
  EXPECT_EQ(Column("SELECT X + 1 FROM t ORDER BY 1"), (V{"NULL", "6", "8", "10"}));
}

TEST_F(DbExec, BooleansTakeMinusOneAsTrue) {
  Add("'a', 1, -1, NULL, NULL");
  Add("'b', 2, 0, NULL, NULL");
  EXPECT_EQ(Column("SELECT Name FROM t WHERE Done = -1"), (V{"a"}));
  EXPECT_EQ(Column("SELECT Name FROM t WHERE Done = TRUE"), (V{"a"}));
  EXPECT_EQ(db_.Exec("UPDATE t SET Done = -1 WHERE Name = 'b'"), 1);
  auto r = db_.Query("SELECT Done FROM t WHERE Name = 'b'");
  ASSERT_EQ(r->Rows.size(), 1u);
  EXPECT_EQ(r->Rows[0][0].Kind, TZuzValueKind::Boolean);
  EXPECT_TRUE(r->Rows[0][0].AsBool());
}

TEST_F(DbExec, DatesCompareWithIsoTextsUnderEveryDayMonthOrder) {
  TqorRegionalSettingsGuard guard;
  Add("'a', 1, 0, '2004-05-30', NULL");
  Add("'b', 2, 0, '2004-05-31', NULL");
  Add("'c', 3, 0, '2004-06-01', NULL");
  for (const char* format : {"dd/MM/yyyy", "MM/dd/yyyy", "yyyy-MM-dd"}) {
    RegionalSettings().ShortDateFormat = format;
    EXPECT_EQ(Column("SELECT Name FROM t WHERE D >= '2004-05-31' ORDER BY Name"), (V{"b", "c"}))
        << format;
  }
  RegionalSettings().ShortDateFormat = "dd/MM/yyyy";
  EXPECT_EQ(One("SELECT Name FROM t WHERE D = '31/05/2004'"), "b");
  int code = 0;
  QueryError("SELECT Name FROM t WHERE D = 'soon'", &code);
  EXPECT_EQ(code, ZUZ_ERR_DATE_VALUE);
  // A date plus days is a date; EXTRACT reads its parts.
  EXPECT_EQ(One("SELECT D + 2 FROM t WHERE Name = 'b'"), "2004-06-02");
  EXPECT_EQ(One("SELECT EXTRACT(MONTH FROM D) FROM t WHERE Name = 'c'"), "6");
}

TEST_F(DbExec, MaxRecordsCutsPlainResultsAndRefusesTooManyGroups) {
  for (int i = 0; i < 20; ++i)
    Add("'n" + std::to_string(i) + "', " + std::to_string(i % 11) + ", 0, NULL, 1");
  EXPECT_EQ(Column("SELECT Name FROM t", 10).size(), 10u);
  EXPECT_EQ(Column("SELECT X, COUNT(*) FROM t WHERE X < 10 GROUP BY X", 10).size(), 10u);
  int code = 0;
  std::string message =
      Error([&] { db_.Query("SELECT X, COUNT(*) FROM t GROUP BY X", 10); }, &code);
  EXPECT_EQ(code, ZUZ_ERR_SQL);
  EXPECT_EQ(message, "Result set limit of 10 has been exceeded");
}

TEST_F(DbExec, SelectAnalysisMessages) {
  EXPECT_EQ(QueryError("SELECT X, COUNT(*) FROM t GROUP BY Name"),
            "Group By column not found : Name. ");
  EXPECT_EQ(QueryError("SELECT X, Name, COUNT(*) FROM t GROUP BY X"),
            "Output column must be specified in Group By clause : Name. ");
  EXPECT_EQ(QueryError("SELECT X, COUNT(*) FROM t GROUP BY X HAVING F > 1"),
            "Fields specified in having clause must appear in the result set: F. ");
  EXPECT_EQ(QueryError("SELECT Name FROM t ORDER BY X"),
            "Order by column not found (Order By columns must be in result set) : X. ");
  EXPECT_EQ(QueryError("SELECT Name FROM t ORDER BY 2"),
            "Order by column number is out of range : 2. ");
  EXPECT_EQ(QueryError("SELECT Name FROM t UNION SELECT Name, X FROM t"),
            "Union statement column counts do not match. ");
  EXPECT_EQ(QueryError("SELECT F FROM t UNION SELECT Done FROM t"),
            "Cannot convert type Boolean -> Float. ");
  EXPECT_EQ(QueryError("SELECT DISTINCT Name, M FROM t"),
            "The column is not a valid data type for DISTINCT queries - M. ");
  EXPECT_EQ(QueryError("SELECT COUNT(DISTINCT Name) FROM t"),
            "Invalid data type result for agg func. ");
  std::string wide = "SELECT DISTINCT Id";
  for (int i = 0; i < 32; ++i) wide += ", X";
  EXPECT_EQ(QueryError(wide + " FROM t"),
            "Result set colummn count exceeds DISTINCT query limit (32). ");
  // A qualified ORDER BY name and a HAVING on an output name are accepted.
  Add("'a', 1, 0, NULL, 2");
  Add("'a', 1, 0, NULL, 3");
  EXPECT_EQ(Column("SELECT t.Name, SUM(F) AS Total FROM t GROUP BY Name HAVING Total > 4 "
                   "ORDER BY t.Name"),
            (V{"a"}));
}

TEST_F(DbExec, GroupingDistinctAndOrder) {
  Add("'b', 1, 0, NULL, 1.5");
  Add("'a', 1, 0, NULL, 2");
  Add("'B', 2, 0, NULL, NULL");
  Add("'a', 2, 0, NULL, 4");
  // Byte order: upper case first.
  EXPECT_EQ(Column("SELECT Name FROM t ORDER BY Name"), (V{"B", "a", "a", "b"}));
  EXPECT_EQ(Column("SELECT DISTINCT Name FROM t ORDER BY 1 DESC"), (V{"b", "a", "B"}));
  auto r = db_.Query(
      "SELECT X, COUNT(*), SUM(F), AVG(F), MAX(F), COUNT(DISTINCT X) FROM t GROUP BY X "
      "HAVING COUNT(*) > 1 ORDER BY X DESC");
  ASSERT_EQ(r->Rows.size(), 2u);
  EXPECT_EQ(ValueToText(r->Rows[0][0]), "2");
  EXPECT_EQ(ValueToText(r->Rows[0][2]), "4");
  EXPECT_EQ(ValueToText(r->Rows[0][3]), "4");  // the NULL takes no part
  EXPECT_EQ(ValueToText(r->Rows[1][3]), "1.75");
  EXPECT_EQ(ValueToText(r->Rows[1][5]), "1");
  EXPECT_EQ(Column("SELECT Name FROM t UNION SELECT Name FROM t ORDER BY 1"), (V{"B", "a", "b"}));
  EXPECT_EQ(
      Column("SELECT Name FROM t WHERE X = 1 UNION ALL SELECT Name FROM t WHERE X = 1").size(), 4u);
  // A string aggregate that is no number fails.
  EXPECT_EQ(QueryError("SELECT MAX(Name) FROM t"),
            "Aggregate column data conversion error : 'b' is not a valid floating point value");
}

TEST_F(DbExec, SubqueriesAsValues) {
  Add("'a', 1, 0, NULL, NULL");
  Add("'b', 2, 0, NULL, NULL");
  int code = 0;
  QueryError("SELECT Name FROM t WHERE X = (SELECT X FROM t)", &code);
  EXPECT_EQ(code, ZUZ_ERR_SINGLE_ROW);
  QueryError("SELECT Name FROM t WHERE X = (SELECT X, Id FROM t WHERE X = 1)", &code);
  EXPECT_EQ(code, ZUZ_ERR_SUBQUERY_COLUMNS);
  EXPECT_EQ(Column("SELECT Name FROM t WHERE X = (SELECT MAX(X) FROM t)"), (V{"b"}));
  EXPECT_TRUE(Column("SELECT Name FROM t WHERE X = (SELECT X FROM t WHERE X > 5)").empty());
  EXPECT_EQ(Column("SELECT Name FROM t WHERE X > ALL (SELECT X FROM t WHERE X < 2)"), (V{"b"}));
  EXPECT_EQ(Column("SELECT Name FROM t WHERE X = ANY (SELECT X FROM t WHERE X < 2)"), (V{"a"}));
  EXPECT_EQ(Column("SELECT u.Name FROM t u WHERE EXISTS (SELECT Id FROM t WHERE t.X > u.X)"),
            (V{"a"}));
}

TEST_F(DbExec, DataStatementsCollectBeforeTheyChange) {
  for (int i = 0; i < 5; ++i) Add("'n', " + std::to_string(i) + ", 0, NULL, NULL");
  EXPECT_EQ(db_.Exec("UPDATE t SET X = X + 10 WHERE X >= 0"), 5);
  EXPECT_EQ(Column("SELECT X FROM t ORDER BY X"), (V{"10", "11", "12", "13", "14"}));
  // Later items see the values of earlier ones; a SET list may end with a comma.
  EXPECT_EQ(db_.Exec("UPDATE t SET  X = 1, F = X + 1, WHERE X = 10"), 1);
  EXPECT_EQ(One("SELECT F FROM t WHERE X = 1"), "2");
  EXPECT_EQ(db_.Exec("DELETE FROM t WHERE Id IN (SELECT Id FROM t)"), 5);
  EXPECT_EQ(One("SELECT COUNT(*) FROM t"), "0");
  // INSERT ... SELECT adds one record per row, by position; auto-increment values go on.
  Add("'x', 1, 0, NULL, NULL");
  EXPECT_EQ(db_.Exec("INSERT INTO t (Name, X) SELECT Name, X + 1 FROM t"), 1);
  EXPECT_EQ(Column("SELECT Id FROM t ORDER BY Id"), (V{"6", "7"}));
}

// A condition on a memo column picks the same rows in SELECT, UPDATE and DELETE: random memo
// texts (some empty or null, some sharing beginnings) under conditions that read the contents.
TEST_F(DbExec, ConditionsOnAMemoPickTheSameRowsInEveryStatement) {
  std::mt19937_64 rng(29);
  const std::vector<std::string> words = {"", "a", "ab", "abc", "abd", "b", "ba"};
  auto refill = [&] {
    db_.Exec("DELETE FROM t");
    for (int i = 0; i < 24; ++i) {
      const std::string& w = words[rng() % words.size()];
      db_.Exec("INSERT INTO t (X, M) VALUES (" + std::to_string(i) + ", " +
               (rng() % 6 == 0 ? std::string("NULL") : "'" + w + "'") + ")");
    }
  };
  const std::vector<std::string> conditions = {"CAST(M AS VARCHAR(4)) = 'ab'", "M LIKE 'ab%'",
                                               "M IS NULL", "X < 12 AND M LIKE '%a'",
                                               "CAST(M AS VARCHAR(4)) <> 'b' OR M IS NULL"};
  for (int round = 0; round < 10; ++round) {
    const std::string& c = conditions[rng() % conditions.size()];
    refill();
    const V all = Column("SELECT X FROM t ORDER BY X");
    const V picked = Column("SELECT X FROM t WHERE " + c + " ORDER BY X");
    EXPECT_EQ(db_.Exec("UPDATE t SET Done = -1 WHERE " + c), static_cast<int64_t>(picked.size()))
        << c;
    EXPECT_EQ(Column("SELECT X FROM t WHERE Done <> 0 ORDER BY X"), picked) << c;
    EXPECT_EQ(db_.Exec("DELETE FROM t WHERE " + c), static_cast<int64_t>(picked.size())) << c;
    V left;
    for (const std::string& x : all)
      if (std::find(picked.begin(), picked.end(), x) == picked.end()) left.push_back(x);
    EXPECT_EQ(Column("SELECT X FROM t ORDER BY X"), left) << c;
  }
}

// An INSERT that names the AUTOINC column keeps a value no row holds (a row put back under its
// old id), and later rows are numbered above the largest value kept; a value a row holds is a
// key violation that writes nothing, also in a table whose AUTOINC column has no index; values
// that are no id are refused; NULL and INSERT ... SELECT are numbered as ever.
TEST_F(DbExec, AnInsertKeepsAFreeValueOfItsAutoincColumn) {
  for (int i = 0; i < 5; ++i) Add("'r', " + std::to_string(i) + ", 0, NULL, NULL");
  db_.Exec("DELETE FROM t WHERE X=1 OR X=3");
  db_.Exec("INSERT INTO t (Id, Name, X) VALUES (2, 'back', 1)");
  EXPECT_EQ(Column("SELECT Id FROM t ORDER BY Id"), (V{"1", "2", "3", "5"}));
  EXPECT_EQ(One("SELECT Name FROM t WHERE Id=2"), "back");
  int code = 0;
  EXPECT_EQ(Error([&] { db_.Exec("INSERT INTO t (Id, Name) VALUES (3, 'twin')"); }, &code),
            "Field Id holds 3 already");
  EXPECT_EQ(code, ZUZ_ERR_KEY_VIOLATION);
  db_.Exec("INSERT INTO t (Id, Name) VALUES (40, 'far')");
  db_.Exec("INSERT INTO t (Id, Name) VALUES (NULL, 'null')");
  Add("'next', 9, 0, NULL, NULL");
  EXPECT_EQ(Column("SELECT Id FROM t WHERE Id > 5 ORDER BY Id"), (V{"40", "41", "42"}));
  for (const char* bad : {"0", "-4", "2147483648", "2.5"}) {
    code = 0;
    Error([&] { db_.Exec(std::string("INSERT INTO t (Id, Name) VALUES (") + bad + ", 'x')"); },
          &code);
    EXPECT_EQ(code, ZUZ_ERR_SQL) << bad;
  }
  db_.Exec("INSERT INTO t (Id, Name) SELECT Id, Name FROM t WHERE Id=2");
  EXPECT_EQ(Column("SELECT Id FROM t WHERE Name='back' ORDER BY Id"), (V{"2", "43"}));
  EXPECT_EQ(One("SELECT COUNT(*) FROM t"), "8");

  db_.Exec("CREATE TABLE u (N AUTOINC, S VARCHAR(5))");
  db_.Exec("INSERT INTO u (S) VALUES ('a')");
  db_.Exec("INSERT INTO u (N, S) VALUES (7, 'b')");
  code = 0;
  EXPECT_EQ(Error([&] { db_.Exec("INSERT INTO u (N, S) VALUES (1, 'c')"); }, &code),
            "Field N holds 1 already");
  EXPECT_EQ(code, ZUZ_ERR_KEY_VIOLATION);
  db_.Exec("INSERT INTO u (S) VALUES ('d')");
  EXPECT_EQ(Column("SELECT N FROM u ORDER BY N"), (V{"1", "7", "8"}));
}

TEST_F(DbExec, AssignmentToEveryFieldType) {
  db_.Exec(
      "CREATE TABLE k (S VARCHAR(3), Sm SMALLINT, I INTEGER, B BOOLEAN, F FLOAT, "
      "C MONEY, D DATE, T TIME, DT TIMESTAMP, M BLOB(1,1))");
  db_.Exec(
      "INSERT INTO k VALUES ('abc', 7, -3, 1, 2.5, 1.25, '2004-05-31', '13:45:10', "
      "'2004-05-31 06:00', 'long text')");
  auto r = db_.Query("SELECT * FROM k");
  ASSERT_EQ(r->Rows.size(), 1u);
  V text;
  for (const TZuzValue& v : r->Rows[0]) text.push_back(ValueToText(v));
  EXPECT_EQ(text, (V{"abc", "7", "-3", "True", "2.5", "1.25", "2004-05-31", "13:45:10",
                     "2004-05-31 06:00:00", "long text"}));
  EXPECT_EQ(r->Columns[6].Type, TFieldType::ftDate);
  int code = 0;
  std::string message = Error([&] { db_.Exec("INSERT INTO k (S) VALUES ('abcd')"); }, &code);
  EXPECT_EQ(code, ZUZ_ERR_INTERNAL);
  EXPECT_EQ(message, "Field data length is out of range");
  EXPECT_EQ(One("SELECT COUNT(*) FROM k"), "1");
  db_.Exec("UPDATE k SET I = 2.5, S = 12, M = NULL");
  EXPECT_EQ(One("SELECT I FROM k"), "2");  // halves round to even
  EXPECT_EQ(One("SELECT S FROM k"), "12");
  EXPECT_EQ(One("SELECT COUNT(*) FROM k WHERE M IS NULL"), "1");
}

TEST_F(DbExec, StringFunctionsAndCasts) {
  Add("'  ab ', 3, 0, NULL, 2.5");
  EXPECT_EQ(One("SELECT UPPER(Name) FROM t"), "  AB ");
  EXPECT_EQ(One("SELECT TRIM(Name) FROM t"), "ab");
  EXPECT_EQ(One("SELECT TRIM(LEADING FROM Name) FROM t"), "ab ");
  EXPECT_EQ(One("SELECT SUBSTRING(Name FROM 3) FROM t"), "ab ");
  EXPECT_EQ(One("SELECT SUBSTRING(Name FROM 3 FOR 1) FROM t"), "a");
  EXPECT_EQ(One("SELECT Name || 'x' FROM t"), "  ab x");
  EXPECT_EQ(One("SELECT CAST(F AS INTEGER) FROM t"), "2");
  EXPECT_EQ(One("SELECT CAST(X AS VARCHAR(5)) FROM t"), "3");
  EXPECT_EQ(One("SELECT X / 2 FROM t"), "1.5");
  EXPECT_EQ(Column("SELECT Id FROM t WHERE Name LIKE '  a_%'"), (V{"1"}));
  EXPECT_EQ(Column("SELECT Id FROM t WHERE Name LIKE '%'"), (V{"1"}));
}

TEST_F(DbExec, ParametersTakeTheirValues) {
  Add("'a', 1, 0, NULL, NULL");
  Add("'b', 2, 0, NULL, NULL");
  TZuzParams params;
  params.Set("Low", TZuzValue::Num(2));
  auto r = db_.Query("SELECT Name FROM t WHERE X >= :low", 0, nullptr, &params);
  ASSERT_EQ(r->Rows.size(), 1u);
  EXPECT_EQ(r->Rows[0][0].Text, "b");
  params.Set("n", TZuzValue::Str("c"));
  db_.Exec("UPDATE t SET Name = :n WHERE X = :low", nullptr, &params);
  EXPECT_EQ(One("SELECT Name FROM t WHERE X = 2"), "c");
}

TEST_F(DbExec, SchemaStatements) {
  int code = 0;
  Error([&] { db_.Exec("CREATE TABLE T (A INTEGER)"); }, &code);
  EXPECT_EQ(code, ZUZ_ERR_TABLE_EXISTS);
  EXPECT_EQ(Error([&] { db_.Exec("DROP TABLE nothing"); }), "Table not found - nothing");
  Add("'a', 1, -1, '2004-05-31', 2.5");
  db_.Exec("ALTER TABLE t ADD Extra INTEGER, DROP F");
  auto r = db_.Query("SELECT * FROM t");
  ASSERT_EQ(r->Rows.size(), 1u);
  ASSERT_EQ(r->Columns.size(), 7u);
  EXPECT_EQ(r->Columns[6].Name, "Extra");
  EXPECT_TRUE(r->Rows[0][6].IsNull());
  EXPECT_EQ(ValueToText(r->Rows[0][4]), "2004-05-31");
  db_.Exec("ALTER TABLE t ALTER Name TO Title");
  EXPECT_EQ(One("SELECT Title FROM t WHERE Title = 'a'"), "a");
  // The auto-increment counter goes on after the restructure.
  db_.Exec("INSERT INTO t (Title, X) VALUES ('b', 2)");
  EXPECT_EQ(One("SELECT MAX(Id) FROM t"), "2");
  db_.Exec("DROP INDEX t ixX");
  db_.Exec("CREATE UNIQUE INDEX ixX ON t (X)");
  Error([&] { db_.Exec("INSERT INTO t (Title, X) VALUES ('c', 2)"); }, &code);
  EXPECT_EQ(code, ZUZ_ERR_KEY_VIOLATION);
  db_.Exec("DROP TABLE t");
  EXPECT_NE(QueryError("SELECT * FROM t"), "no error");
}

TEST_F(DbExec, IndexesNarrowTheRecordsRead) {
  for (int i = 0; i < 60; ++i) {
    Add("'" + std::string(1, static_cast<char>('a' + i % 26)) + std::to_string(i) + "', " +
        std::to_string(i) + ", 0, NULL, NULL");
  }
  TZuzExecStats stats;
  auto count = [&](const std::string& where) {
    auto r = db_.Query("SELECT Id FROM t WHERE " + where, 0, &stats);
    return r->Rows.size();
  };
  EXPECT_EQ(count("X = 7"), 1u);
  EXPECT_EQ(stats.RecordsRead, 1);
  EXPECT_EQ(count("X >= 10 AND X < 13"), 3u);
  EXPECT_EQ(stats.RecordsRead, 3);
  EXPECT_EQ(count("X = 3 OR X IN (40, 41)"), 3u);
  EXPECT_EQ(stats.RecordsRead, 3);
  EXPECT_EQ(count("Name LIKE 'b%'"), 3u);  // b1, b27, b53
  EXPECT_EQ(stats.RecordsRead, 3);
  EXPECT_EQ(count("X > 1.5 AND X < 3"), 1u);
  EXPECT_EQ(stats.RecordsRead, 1);
  // An OR with a part no index resolves reads everything.
  EXPECT_EQ(count("X = 3 OR F IS NULL"), 60u);
  EXPECT_EQ(stats.RecordsRead, 60);
  // A join looks up the inner rows through the index of its join column.
  db_.Exec("CREATE TABLE u (Id INTEGER, TId INTEGER, PRIMARY KEY (Id))");
  db_.Exec("INSERT INTO u VALUES (1, 5)");
  db_.Exec("INSERT INTO u VALUES (2, 6)");
  auto r = db_.Query("SELECT u.Id, t.Name FROM u INNER JOIN t ON u.TId = t.Id WHERE u.Id = 2", 0,
                     &stats);
  ASSERT_EQ(r->Rows.size(), 1u);
  EXPECT_EQ(r->Rows[0][1].Text, "f5");
  EXPECT_EQ(stats.RecordsRead, 2);
  EXPECT_EQ(stats.IndexLookups, 1);
}

// MIN and MAX of an indexed column over a whole table read the record at that end of the index
// (stepping past NULLs), and give what a scan gives.
TEST_F(DbExec, MinAndMaxTakeTheEndOfAnIndex) {
  EXPECT_EQ(One("SELECT MAX(X) FROM t"), "0");  // nothing: the aggregate's zero
  Add("'n1', NULL, 0, NULL, NULL");
  Add("'n2', NULL, 0, NULL, NULL");
  EXPECT_EQ(One("SELECT MAX(X) FROM t"), "0");  // NULLs only
  EXPECT_EQ(One("SELECT MIN(X) FROM t"), "0");
  for (int x : {5, -40, 17, 3, 17}) Add("'v', " + std::to_string(x) + ", 0, NULL, NULL");
  Add("'n3', NULL, 0, NULL, NULL");
  TZuzExecStats stats;
  auto one = [&](const std::string& sql) {
    auto r = db_.Query(sql, 0, &stats);
    EXPECT_EQ(r->Rows.size(), 1u) << sql;
    return r->Rows.empty() ? std::string() : ValueToText(r->Rows[0][0]);
  };
  EXPECT_EQ(one("SELECT MAX(X) FROM t"), "17");
  EXPECT_EQ(stats.RecordsRead, 1);
  EXPECT_EQ(one("SELECT MIN(X) FROM t"), "-40");
  EXPECT_EQ(stats.RecordsRead, 1);
  EXPECT_EQ(one("SELECT MAX(Id) AS NewId FROM t"), "8");
  EXPECT_EQ(stats.RecordsRead, 1);
  // Not through the index: a condition, a second output, DISTINCT, an unindexed column.
  EXPECT_EQ(one("SELECT MAX(X) FROM t WHERE Name = 'v'"), "17");
  EXPECT_EQ(one("SELECT MAX(X), COUNT(*) FROM t"), "17");
  EXPECT_EQ(one("SELECT MIN(DISTINCT X) FROM t"), "-40");
  EXPECT_EQ(stats.RecordsRead, 8);
  db_.Exec("UPDATE t SET F = X * 0.5");
  EXPECT_EQ(one("SELECT MAX(F) FROM t"), "8.5");
  // After the greatest rows go, the next one is the end.
  db_.Exec("DELETE FROM t WHERE X = 17");
  EXPECT_EQ(one("SELECT MAX(X) FROM t"), "5");
}

// column IN (SELECT ...) narrows through the column's index when the subquery stands alone; a
// subquery that refers to the outer row is evaluated row by row and gives the same rows.
TEST_F(DbExec, InSubqueriesNarrowThroughTheIndex) {
  for (int i = 0; i < 50; ++i)
    Add("'r" + std::to_string(i) + "', " + std::to_string(i) + ", 0, NULL, NULL");
  db_.Exec("CREATE TABLE u (Id INTEGER, TX INTEGER, PRIMARY KEY (Id))");
  for (int i = 1; i <= 4; ++i)
    db_.Exec("INSERT INTO u VALUES (" + std::to_string(i) + ", " + std::to_string(i * 10) + ")");
  db_.Exec("INSERT INTO u VALUES (5, NULL)");
  TZuzExecStats stats;
  auto r = db_.Query("SELECT X FROM t WHERE X IN (SELECT TX FROM u WHERE Id <= 3) ORDER BY X", 0,
                     &stats);
  ASSERT_EQ(r->Rows.size(), 3u);
  EXPECT_EQ(ValueToText(r->Rows[2][0]), "30");
  EXPECT_EQ(stats.RecordsRead, 3 + 3);  // u's three rows, then t's three
  EXPECT_EQ(Column("SELECT COUNT(*) FROM t WHERE X NOT IN (SELECT TX FROM u WHERE TX > 0)"),
            V{"46"});
  EXPECT_EQ(Column("SELECT COUNT(*) FROM t WHERE X IN (SELECT TX FROM u WHERE u.Id * 10 = t.X)"),
            V{"4"});
  db_.Exec("DELETE FROM t WHERE X IN (SELECT TX FROM u)");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM t"), V{"46"});
}

// A join that looks the inner side up by key reads only the rows it finds, even when the inner
// side has a condition no index serves.
TEST_F(DbExec, JoinLookupsDoNotReadTheWholeInnerTable) {
  for (int i = 0; i < 40; ++i)
    Add("'j" + std::to_string(i) + "', " + std::to_string(i) + ", 0, NULL, NULL");
  db_.Exec("CREATE TABLE u (Id INTEGER, TId INTEGER, PRIMARY KEY (Id))");
  db_.Exec("INSERT INTO u VALUES (1, 5)");
  db_.Exec("INSERT INTO u VALUES (2, 6)");
  TZuzExecStats stats;
  auto r =
      db_.Query("SELECT SUM(t.X) FROM u INNER JOIN t ON u.TId = t.Id WHERE t.F IS NULL", 0, &stats);
  ASSERT_EQ(r->Rows.size(), 1u);
  EXPECT_EQ(ValueToText(r->Rows[0][0]), "9");  // ids 5 and 6 hold X 4 and 5
  EXPECT_EQ(stats.RecordsRead, 4);
}

// Random steps of every numeric and date column against a model: a value the column can't hold
// (a day outside the years 1 to 9999, a whole number beyond the type, a number that is no finite
// value) is refused when it is written, with a code and the column's name, and the row reads as
// before; one it can hold is stored. A CAST to a whole type refuses what the type can't hold.
TEST_F(DbExec, ValuesOutsideWhatTheColumnHoldsAreRefusedWhenWritten) {
  db_.Exec(
      "CREATE TABLE r (Id INTEGER, Due DATE, Stamp TIMESTAMP, Whole INTEGER, Small SMALLINT, "
      "Ratio FLOAT, PRIMARY KEY (Id))");
  db_.Exec("INSERT INTO r VALUES (1, '2004-05-31', '2004-05-31 06:00', 0, 0, 1)");
  struct TColumn {
    const char* name;
    double value;
    double low, high;  // what the column holds (high excluded for the dates)
    int code;
  };
  const double day = EncodeDate(2004, 5, 31);
  std::vector<TColumn> columns = {
      {"Due", day, EncodeDate(1, 1, 1), EncodeDate(9999, 12, 31) + 1, ZUZ_ERR_DATE_VALUE},
      {"Stamp", day + 0.25, EncodeDate(1, 1, 1), EncodeDate(9999, 12, 31) + 1, ZUZ_ERR_DATE_VALUE},
      {"Whole", 0, -2147483648.0, 2147483647.0, ZUZ_ERR_INTERNAL},
      {"Small", 0, -32768, 32767, ZUZ_ERR_INTERNAL},
      {"Ratio", 1, -1.7e308, 1.7e308, ZUZ_ERR_INTERNAL}};
  std::mt19937_64 rng(6);
  int refused = 0, stored = 0;
  for (int step = 0; step < 300; ++step) {
    TColumn& c = columns[rng() % columns.size()];
    const double scale = std::pow(10.0, static_cast<double>(rng() % 11));
    const double by = std::round((static_cast<double>(rng() % 2001) - 1000.0) * scale / 250.0);
    const bool grow = c.name[0] == 'R' && rng() % 3 == 0;
    const std::string sql = std::string("UPDATE r SET ") + c.name + " = " + c.name +
                            (grow ? " * 1e300" : " + " + std::to_string(static_cast<int64_t>(by)));
    const double next = grow ? c.value * 1e300 : c.value + by;
    const bool fits = c.code == ZUZ_ERR_DATE_VALUE ? next >= c.low && next < c.high
                                                   : next >= c.low && next <= c.high;
    int code = 0;
    const std::string message = Error([&] { db_.Exec(sql); }, &code);
    if (fits) {
      EXPECT_EQ(code, 0) << sql << ": " << message;
      c.value = next;
      ++stored;
    } else {
      EXPECT_EQ(code, c.code) << sql << ": " << message;
      EXPECT_NE(message.find(std::string(c.name)), std::string::npos) << message;
      ++refused;
    }
    auto row = db_.Query("SELECT Due, Stamp, Whole, Small, Ratio FROM r");
    ASSERT_EQ(row->Rows.size(), 1u);
    for (size_t k = 0; k < columns.size(); ++k) {
      EXPECT_EQ(row->Rows[0][k].Number, columns[k].value) << sql << " column " << columns[k].name;
      EXPECT_FALSE(ValueToText(row->Rows[0][k]).empty());
    }
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(refused, 30);
  EXPECT_GT(stored, 30);
  // The same rule for a CAST to a whole type.
  EXPECT_EQ(One("SELECT CAST('2147483647' AS INTEGER) FROM r"), "2147483647");
  EXPECT_EQ(One("SELECT CAST(-32768 AS SMALLINT) FROM r"), "-32768");
  for (const char* sql :
       {"SELECT CAST('99999999999999999999999' AS INTEGER) FROM r",
        "SELECT CAST('2147483648' AS INTEGER) FROM r", "SELECT CAST(40000 AS SMALLINT) FROM r",
        "SELECT CAST(Ratio * 1e300 * 1e300 AS INTEGER) FROM r"}) {
    int code = 0;
    EXPECT_NE(QueryError(sql, &code), "no error") << sql;
    EXPECT_EQ(code, ZUZ_ERR_SQL) << sql;
  }
}

// Names the engine keeps for itself and columns a table lacks are statement errors.
TEST_F(DbExec, SchemaStatementsRefuseEngineNamesAndMissingColumns) {
  int code = 0;
  const std::vector<std::string> internal = db_.Tables().TableNames(true);
  for (const char* sql :
       {"CREATE TABLE $x (A INTEGER)", "CREATE TABLE \"$SYSTBL_MINE\" (A INTEGER)"}) {
    EXPECT_NE(Error([&] { db_.Exec(sql); }, &code), "no error") << sql;
    EXPECT_EQ(code, ZUZ_ERR_TABLE_NAME) << sql;
  }
  EXPECT_EQ(db_.Tables().TableNames(true), internal);
  EXPECT_EQ(Error([&] { db_.Exec("CREATE INDEX ixNo ON t (Name, Nope)"); }, &code),
            "Field not found : Nope");
  EXPECT_EQ(code, ZUZ_ERR_SQL);
  EXPECT_EQ(Error([&] { db_.Exec("ALTER TABLE t ALTER Nope TYPE INTEGER"); }, &code), "Nope");
  EXPECT_EQ(code, ZUZ_ERR_NO_SUCH_FIELD);
}

}  // namespace
}  // namespace zuz::test
