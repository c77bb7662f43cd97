// The statement corpus (data/statements.txt): every statement prepared against the test tables
// must give its canonical print or its messages; every accepted one must read back from its
// print as the same tree; and the corpus must hold every message the parser can report.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "db/sql/zuzSqlParser.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzErrorCodes.h"
#include "planner/base/qorRegionalSettings.h"
#include "tests/db/sql/sqlTestCatalogue.h"

namespace zuz::test {
namespace {

struct TCase {
  int Line = 0;
  bool Ok = false;
  std::string Code;  // an engine error's name, or empty
  std::string Sql;
  std::vector<std::string> Expected;
};

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    switch (c) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 's':
        out += ' ';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += c;
    }
  }
  return out;
}

std::vector<TCase> LoadCorpus(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << path;
  std::vector<TCase> cases;
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (line.rfind("statement ", 0) != 0) continue;
    TCase c;
    c.Line = lineNo;
    std::istringstream header(line.substr(10));
    std::string word;
    bool escapes = false;
    header >> word;
    c.Ok = word == "ok";
    while (header >> word) {
      if (word == "escapes") {
        escapes = true;
      } else {
        c.Code = word;
      }
    }
    std::vector<std::string> sql;
    while (std::getline(in, line) && line != "----") {
      ++lineNo;
      sql.push_back(line);
    }
    ++lineNo;
    for (size_t i = 0; i < sql.size(); ++i) c.Sql += (i ? "\n" : "") + sql[i];
    while (std::getline(in, line) && !line.empty()) {
      ++lineNo;
      c.Expected.push_back(escapes ? Unescape(line) : line);
    }
    ++lineNo;
    if (escapes) c.Sql = Unescape(c.Sql);
    cases.push_back(std::move(c));
  }
  return cases;
}

int CodeNamed(const std::string& name) {
  if (name == "ZUZ_ERR_DATE_VALUE") return ZUZ_ERR_DATE_VALUE;
  if (name == "ZUZ_ERR_TIME_VALUE") return ZUZ_ERR_TIME_VALUE;
  ADD_FAILURE() << "unknown code name " << name;
  return 0;
}

class SqlCorpus : public ::testing::Test {
 protected:
  void SetUp() override { RegionalSettings() = TqorRegionalSettings{}; }
  TqorRegionalSettingsGuard guard_;
};

TEST_F(SqlCorpus, EveryStatementGivesItsPrintOrItsMessages) {
  std::vector<TCase> cases = LoadCorpus(VZ_SOURCE_DIR "/tests/db/sql/data/statements.txt");
  EXPECT_GE(cases.size(), 300u);
  for (const TCase& c : cases) {
    SCOPED_TRACE("statements.txt line " + std::to_string(c.Line) + ": " + c.Sql);
    TZuzSqlParser parser(&PlannerCatalogue());
    bool ok = false;
    try {
      ok = parser.Prepare(c.Sql);
    } catch (const EZuzDatabaseError& e) {
      ASSERT_FALSE(c.Code.empty()) << "raised " << e.what();
      EXPECT_EQ(e.ErrorCode(), CodeNamed(c.Code));
      ASSERT_EQ(c.Expected.size(), 1u);
      EXPECT_EQ(e.CustomMessage(), c.Expected[0]);
      continue;
    }
    ASSERT_TRUE(c.Code.empty()) << "expected the engine error " << c.Code;
    if (!c.Ok) {
      EXPECT_FALSE(ok) << "accepted as " << parser.Statement()->ToSql();
      EXPECT_EQ(parser.Errors(), c.Expected);
      continue;
    }
    ASSERT_TRUE(ok) << parser.ErrorText();
    ASSERT_EQ(c.Expected.size(), 1u);
    std::string print = parser.Statement()->ToSql();
    EXPECT_EQ(print, c.Expected[0]);
    // The print reads back as the same tree and prints the same.
    TZuzSqlParser again(&PlannerCatalogue());
    ASSERT_TRUE(again.Prepare(print)) << again.ErrorText();
    EXPECT_EQ(again.Statement()->ToDump(), parser.Statement()->ToDump());
    EXPECT_EQ(again.Statement()->ToSql(), print);
  }
}

// Every message of the parser's failure table (and of its data type, feature and type checks)
// is the expectation of some statement of the corpus.
TEST_F(SqlCorpus, HoldsEveryMessage) {
  const std::vector<std::string> messages = {
      "SQL statment is empty",
      "Unrecognised SQL statement type",
      "Unrecognized tokens beyond end of statement: ",
      "Select clause incorrectly terminated",
      "Syntax error. Expected table name",
      "Invalid cross join syntax - expected CROSS",
      "Missing '(' from using join specification",
      "Missing ')' from using join specification",
      "Invalid column list syntax in using specification",
      "Table not found - ",
      "Union statement was incorrectly terminated",
      "Group By clause incorrectly terminated",
      "invalid column name descriptor",
      "missing column name descriptor",
      "No group by clause was specified",
      "Order By clause incorrectly terminated",
      "Insert statement syntax is incorrect",
      "Insert statement incorrectly terminated",
      "Column specification is missing",
      "No insert columns were specified",
      "Number of insert columns does not match number of insert values",
      "Field not found : ",
      "Cannot convert type ",
      "Delete statement syntax is incorrect",
      "Delete statement incorrectly terminated",
      "Update statement syntax is incorrect",
      "Update statement incorrectly terminated",
      "Table and/or field not found",
      "Update statement missing column reference",
      "Missing assignment (=) token",
      "Create statment is invalid",
      "Alter table statment is invalid",
      "Drop statment is invalid",
      "Missing ON token",
      "No index columns specified",
      "Index already exists",
      "Index not found",
      "Missing Left Parenthesis",
      "Missing Right Parenthesis",
      "Missing Right Parenthesis or comma",
      "IN list is empty",
      "missing AND operator in between predicate",
      "Expression is empty",
      "Expression incorrectly terminated",
      "Invalid token",
      "Expression data types do not match",
      "Character value expression return type is invalid",
      "Missing FROM or COMMA token in SUBSTRING function",
      "Missing AS operator in Cast expression",
      "Invalid extract field in EXTRACT expression",
      "Missing FROM operator in Extract expression",
      "Missing select token",
      "Parameter name expected but none found",
      "Field not found",
      "Scope is invalid",
      "Parameters are not supported",
      "Subqueries are not supported",
      "Data type length/precision not specified",
      "Data type scale invalid",
      "Unknown Datatype",
      "Data type is invalid",
      "Extract value expression result type is invalid for extract field",
      "Value ",
  };
  std::vector<TCase> cases = LoadCorpus(VZ_SOURCE_DIR "/tests/db/sql/data/statements.txt");
  for (const std::string& m : messages) {
    bool found = false;
    for (const TCase& c : cases) {
      for (const std::string& e : c.Expected) {
        // A message followed by its position suffix, or one that ends in a name.
        if (!c.Ok &&
            (e.rfind(m + " Line ", 0) == 0 || e == m || (m.back() == ' ' && e.rfind(m, 0) == 0))) {
          found = true;
        }
      }
    }
    EXPECT_TRUE(found) << "no statement of the corpus is refused with \"" << m << "\"";
  }
}

}  // namespace
}  // namespace zuz::test
