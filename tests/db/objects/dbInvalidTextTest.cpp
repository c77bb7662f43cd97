// Text that is not UTF-8, end to end on a database file on disk: random names and values made of
// valid characters and broken sequences (cut, surrogate, over-long, beyond U+10FFFF, stray
// continuation bytes, a character cut at the 40-byte limit of a name) are refused in statements,
// parameters, table datasets and the table manager, each with an engine error, and after every
// refusal the file passes the integrity check and holds what it held. A table whose name puts a
// character across the old work name's cut survives ALTER TABLE whole.
// VZ_INVALID_TEXT_ROUNDS sets the number of random names (default 60).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "db/index/zuzIntegrityCheck.h"
#include "db/objects/zuzDatabase.h"
#include "db/objects/zuzSQL.h"
#include "db/objects/zuzTable.h"
#include "db/storage/zuzError.h"
#include "planner/base/qorUtf8.h"

namespace zuz {
namespace {

// A name or value of 1 to 5 pieces, one of them at least a broken sequence.
std::string BrokenText(std::mt19937_64& rng) {
  static const char* kValid[] = {"a", "Z", "_", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9D\x84\x9E"};
  static const char* kBroken[] = {
      "\xE2\x82",          // a cut sequence
      "\xED\xA0\x80",      // a surrogate
      "\xC0\xAF",          // over-long
      "\xE0\x80\xAF",      // over-long
      "\xF4\x90\x80\x80",  // beyond U+10FFFF
      "\xF5\x80\x80\x80",  // no lead byte
      "\x80",              // a stray continuation byte
      "\xFF",
      "\xC3"};  // the first byte of a two-byte character, at the end or before another one
  const int pieces = 1 + static_cast<int>(rng() % 5);
  const int broken = static_cast<int>(rng() % static_cast<uint64_t>(pieces));
  std::string out;
  for (int i = 0; i < pieces; ++i) {
    out += i == broken ? kBroken[rng() % std::size(kBroken)] : kValid[rng() % std::size(kValid)];
  }
  if (rng() % 4 == 0) {
    // A name cut at its 40-byte limit in the middle of a character.
    out = std::string(39, 'n') + "\xC3";
  }
  return out;
}

class DbInvalidText : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        std::filesystem::temp_directory_path() / ("vz-invalid-text-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    db_.SetDataBaseName((dir_ / "text.zuz").string());
    db_.SetExclusive(true);
    db_.CreateDatabase();
    Exec("CREATE TABLE t (A INTEGER, S VARCHAR(60), M BLOB(1,1))");
    Exec("INSERT INTO t VALUES (1, 'one \xE2\x82\xAC', 'memo')");
  }
  void TearDown() override {
    db_.Close();
    std::filesystem::remove_all(dir_);
  }
  void Exec(const std::string& sql) {
    TZuzQuery q;
    q.SetDataBase(&db_);
    q.SetSQL(sql);
    if (q.StatementIsQuery()) {
      q.Open();
    } else {
      q.ExecSQL();
    }
  }
  // The engine error code the call raises (0 for none); any other exception fails the test.
  template <typename F>
  static int CodeOf(F&& f) {
    try {
      f();
    } catch (const EZuzDatabaseError& e) {
      EXPECT_TRUE(IsValidUtf8(e.what())) << "the message itself is no UTF-8 text";
      return e.ErrorCode();
    }
    return 0;
  }
  // The file as the next program sees it: the integrity check's findings, the tables, t's rows.
  std::string State() {
    std::string out;
    for (const std::string& p : CheckDatabaseIntegrity(*db_.Tables()))
      out += "problem: " + p + "\n";
    for (const std::string& n : db_.TableNames()) out += "table " + n + "\n";
    TZuzQuery q;
    q.SetDataBase(&db_);
    q.SetSQL("SELECT A, S, M FROM t ORDER BY A");
    q.Open();
    for (; !q.Eof(); q.Next()) {
      out += q.FieldValue(0).ToText() + "|" + q.FieldValue(1).ToText() + "|" +
             q.FieldValue(2).ToText() + "\n";
    }
    return out;
  }

  std::filesystem::path dir_;
  TZuzDataBase db_;
};

TEST_F(DbInvalidText, EveryRefusalLeavesTheFileWhole) {
  const std::string before = State();
  ASSERT_EQ(before.find("problem"), std::string::npos) << before;
  const char* env = std::getenv("VZ_INVALID_TEXT_ROUNDS");
  const int rounds = env ? std::max(1, std::atoi(env)) : 60;
  std::mt19937_64 rng(28);
  for (int round = 0; round < rounds; ++round) {
    const std::string bad = BrokenText(rng);
    SCOPED_TRACE(Utf8WithEscapes(bad));
    ASSERT_FALSE(IsValidUtf8(bad));
    // Statements: the text is refused before anything of it is used.
    for (const std::string& sql :
         {"CREATE TABLE \"" + bad + "\" (A INTEGER)", "CREATE TABLE u (\"" + bad + "\" INTEGER)",
          "CREATE INDEX \"" + bad + "\" ON t (A)", "ALTER TABLE t ADD \"" + bad + "\" INTEGER",
          "ALTER TABLE t ALTER A TO \"" + bad + "\"",
          "INSERT INTO t (A, S) VALUES (2, '" + bad + "')", "UPDATE t SET S = '" + bad + "'",
          "SELECT * FROM t WHERE S = '" + bad + "'", "DROP TABLE \"" + bad + "\""}) {
      EXPECT_EQ(CodeOf([&] { Exec(sql); }), ZUZ_ERR_SQL) << Utf8WithEscapes(sql);
    }
    // Values from parameters and datasets, names given to the table manager.
    EXPECT_EQ(CodeOf([&] {
                TZuzQuery q;
                q.SetDataBase(&db_);
                q.SetSQL("INSERT INTO t (A, S, M) VALUES (3, :s, :m)");
                q.SetParam("s", TqorVariant(round % 2 ? bad : std::string("fine")));
                q.SetParam("m", TqorVariant(round % 2 ? std::string("fine") : bad));
                q.ExecSQL();
              }),
              ZUZ_ERR_INTERNAL);
    TZuzTable table;
    table.SetDataBase(&db_);
    table.TableName = "t";
    table.Open();
    table.First();
    table.Edit();
    table.SetFieldValue("S", TqorVariant(bad));
    EXPECT_EQ(CodeOf([&] { table.Post(); }), ZUZ_ERR_INTERNAL);
    table.Cancel();
    table.Close();
    TFieldDesc field;
    field.Name = "A";
    field.DataType = TFieldType::ftInteger;
    TTableMgr& tables = *db_.Tables();
    EXPECT_EQ(CodeOf([&] { tables.CreateTable(bad, {field}, {}, tables.DefaultTableOptions()); }),
              ZUZ_ERR_TABLE_NAME);
    field.Name = bad;
    EXPECT_EQ(CodeOf([&] { tables.CreateTable("u", {field}, {}, tables.DefaultTableOptions()); }),
              ZUZ_ERR_FIELD_NAME);
    ASSERT_EQ(State(), before);
    if (::testing::Test::HasFailure()) break;
  }
  // The next program finds the same.
  db_.Close();
  db_.Open();
  EXPECT_EQ(State(), before);
}

// The old work name of ALTER TABLE was the name's first 30 bytes and "$alter": a character across
// byte 30 was cut in two, which left a damaged catalogue row.
TEST_F(DbInvalidText, AlterKeepsANameWithACharacterAcrossTheOldCut) {
  const std::string name = std::string(29, 'A') + "\xC3\xA9" + std::string(9, 'B');
  ASSERT_EQ(name.size(), 40u);
  Exec("CREATE TABLE \"" + name + "\" (A INTEGER)");
  Exec("INSERT INTO \"" + name + "\" VALUES (5)");
  Exec("ALTER TABLE \"" + name + "\" ADD B VARCHAR(3)");
  std::string found;
  for (const std::string& p : CheckDatabaseIntegrity(*db_.Tables())) found += p + "\n";
  EXPECT_EQ(found, "");
  EXPECT_EQ(db_.TableNames(), (std::vector<std::string>{name, "t"}));
  TZuzQuery q;
  q.SetDataBase(&db_);
  q.SetSQL("SELECT A, B FROM \"" + name + "\"");
  q.Open();
  EXPECT_EQ(q.RecordCount(), 1);
  EXPECT_EQ(q.FieldValue(0).ToText(), "5");
}

}  // namespace
}  // namespace zuz
