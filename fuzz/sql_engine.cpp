// Fuzz target of the SQL engine: the input is one statement, run on a small database in memory
// with three tables (indexed and not, with NULLs, texts, dates, booleans and a memo). A SELECT is
// opened and its rows read; INSERT, UPDATE and DELETE run inside a transaction that is rolled
// back; a schema statement runs on its own, the file must then pass the integrity check (whether
// the statement was refused or not), and the file is put back as it was. So every input meets the
// same data. Engine errors are the expected answers to bad statements; a crash, a sanitizer
// report, a damaged file or any other exception is a finding. Statements joining many tables are
// skipped: their rows grow as the product of the tables' sizes, which proves nothing but the
// machine's memory.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/index/zuzIntegrityCheck.h"
#include "db/objects/zuzDatabase.h"
#include "db/objects/zuzSQL.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzMemoryFile.h"

namespace {

using namespace zuz;

constexpr const char* kPath = "/fuzz/db.zuz";

struct TFuzzDb {
  TMemoryFileSystem fs;
  TZuzDataBase db{&fs};
  std::vector<uint8_t> file;  // the file as every input finds it

  TFuzzDb() {
    db.SetDataBaseName(kPath);
    db.SetExclusive(true);
    db.CreateDatabase();
    for (const char* s :
         {"CREATE TABLE A (Id AUTOINC, X INTEGER, Y FLOAT, S VARCHAR(10), B BOOLEAN, D DATE, "
          "M BLOB(1,1), PRIMARY KEY (Id))",
          "CREATE INDEX ixX ON A (X)", "CREATE INDEX ixS ON A (S)",
          "CREATE TABLE Bt (Id INTEGER, AId INTEGER, X INTEGER, S VARCHAR(10), "
          "PRIMARY KEY (Id))",
          "CREATE INDEX ixA ON Bt (AId)",
          "CREATE TABLE C (Id INTEGER, BId INTEGER, T TIME, S VARCHAR(5))",
          "INSERT INTO A (X, Y, S, B, D, M) VALUES (1, 2.5, 'ab', -1, '2004-05-31', 'memo')",
          "INSERT INTO A (X, Y, S, B, D) VALUES (2, NULL, 'b', 0, '2004-06-01')",
          "INSERT INTO A (X, Y, S, B, D) VALUES (NULL, -1.5, NULL, NULL, NULL)",
          "INSERT INTO A (X, Y, S, B, D) VALUES (2, 0, 'B', -1, '2003-12-31')",
          "INSERT INTO Bt VALUES (1, 1, 5, 'x')", "INSERT INTO Bt VALUES (2, 1, NULL, 'ab')",
          "INSERT INTO Bt VALUES (3, 4, 2, NULL)", "INSERT INTO Bt VALUES (4, NULL, 1, 'b')",
          "INSERT INTO C VALUES (1, 2, '10:30', 'q')", "INSERT INTO C VALUES (2, NULL, NULL, 'ab')",
          "INSERT INTO C VALUES (3, 3, '23:59:59', NULL)"}) {
      TZuzQuery q;
      q.SetDataBase(&db);
      q.SetSQL(s);
      q.ExecSQL();
    }
    db.Close();
    file = *fs.Contents(kPath);
    db.Open();
  }

  // After a schema statement: the file must pass the integrity check; then it is put back.
  void CheckAndRestore() {
    if (!db.Connected()) {
      std::fprintf(stderr, "A schema statement left the database closed\n");
      std::abort();
    }
    const std::vector<std::string> problems = CheckDatabaseIntegrity(*db.Tables());
    if (!problems.empty()) {
      std::fprintf(stderr, "The file is damaged after a schema statement: %s\n",
                   problems.front().c_str());
      std::abort();
    }
    db.Close();
    fs.SetContents(kPath, file);
    db.Open();
  }
};

// The number of "," and JOIN words: a bound on the tables a statement joins.
int JoinWeight(std::string_view text) {
  int n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ',') ++n;
    if (i + 4 <= text.size() && std::toupper(static_cast<unsigned char>(text[i])) == 'J' &&
        std::toupper(static_cast<unsigned char>(text[i + 1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(text[i + 2])) == 'I' &&
        std::toupper(static_cast<unsigned char>(text[i + 3])) == 'N') {
      ++n;
    }
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TFuzzDb* fuzz = new TFuzzDb();  // lives for the whole run
  std::string text(reinterpret_cast<const char*>(data), size);
  if (JoinWeight(text) > 8) return 0;
  TZuzDataBase& db = fuzz->db;
  TZuzQuery q;
  q.SetDataBase(&db);
  q.ParamCheck = false;
  q.MaxRecords = 1000;
  q.SetSQL(text);
  try {
    q.Prepare();
    for (const std::string& p : q.ParamNames()) q.SetParam(p, TqorVariant(int32_t{1}));
    if (q.StatementIsQuery()) {
      q.Open();
      for (int i = 0; i < q.FieldCount(); ++i) (void)q.FieldValue(i).ToText();
      while (!q.Eof()) q.Next();
      q.Close();
    } else if (q.Prepared() && q.StatementIsSchema()) {
      try {
        q.ExecSQL();
      } catch (const EZuzDatabaseError&) {
      }
      fuzz->CheckAndRestore();
    } else {
      db.StartTransaction();
      try {
        q.ExecSQL();
      } catch (const EZuzDatabaseError&) {
      }
      db.Rollback();
    }
  } catch (const EZuzDatabaseError&) {
    if (db.InTransaction()) db.Rollback();
  }
  return 0;
}
