// Statement trees as the executor reads them: name resolution with sources, aliases, enclosing
// queries and output names; parse-time types; copies; the refusal of nesting that would exhaust
// the stack; preparing without a catalogue; filters; and the error the query object reports.
#include <gtest/gtest.h>

#include <string>

#include "db/sql/zuzSqlParser.h"
#include "db/storage/zuzError.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/base/qorStrings.h"
#include "tests/db/dbTestUtil.h"
#include "tests/db/sql/sqlTestCatalogue.h"

namespace zuz::test {
namespace {

using F = TFieldType;

class SqlTree : public ::testing::Test {
 protected:
  void SetUp() override { RegionalSettings() = TqorRegionalSettings{}; }

  std::unique_ptr<TSqlStatement> Parse(const std::string& text,
                                       const TZuzSqlCatalogue* catalogue = &PlannerCatalogue()) {
    TZuzSqlParser parser(catalogue);
    EXPECT_TRUE(parser.Prepare(text)) << text << "\n" << parser.ErrorText();
    return parser.TakeStatement();
  }
  std::string Error(const std::string& text,
                    const TZuzSqlCatalogue* catalogue = &PlannerCatalogue()) {
    TZuzSqlParser parser(catalogue);
    EXPECT_FALSE(parser.Prepare(text)) << text;
    return parser.ErrorText();
  }
  static const TSqlQuerySpec& Spec(const std::unique_ptr<TSqlStatement>& st) {
    return *st->As<TSqlSelect>().Query;
  }

  TqorRegionalSettingsGuard guard_;
};

TEST_F(SqlTree, SourcesAreNumberedInTheOrderWritten) {
  auto st = Parse(
      "SELECT r.ResourceName, Units FROM Tasks t JOIN Assignments a ON t.TaskId = a.TaskId "
      "JOIN Resources r ON r.ResourceId = a.ResourceId, Projects");
  const TSqlQuerySpec& q = Spec(st);
  ASSERT_EQ(q.Sources.size(), 4u);
  EXPECT_EQ(q.Sources[0]->ExposedName(), "t");
  EXPECT_EQ(q.Sources[2]->ExposedName(), "r");
  EXPECT_EQ(q.Sources[3]->ExposedName(), "Projects");
  const auto& name = q.Items[0].Expr->As<TSqlColumnRef>();
  EXPECT_EQ(name.SourceIndex, 2);
  EXPECT_EQ(name.FieldIndex, 1);
  // An unqualified name goes to the first source that has it.
  const auto& units = q.Items[1].Expr->As<TSqlColumnRef>();
  EXPECT_EQ(units.SourceIndex, 1);
  EXPECT_EQ(units.Type, F::ftFloat);
  // The join tree is left-deep.
  const auto& outer = q.From[0]->As<TSqlJoin>();
  EXPECT_EQ(outer.Left->Kind(), TSqlTableRefKind::Join);
  EXPECT_EQ(outer.Right->As<TSqlTableName>().Name, "Resources");
}

TEST_F(SqlTree, QualifierByTableNameOrAlias) {
  auto st = Parse("SELECT Tasks.TaskName, t.TaskId FROM Tasks t");
  EXPECT_EQ(Spec(st).Items[0].Expr->As<TSqlColumnRef>().SourceIndex, 0);
  EXPECT_EQ(Spec(st).Items[1].Expr->As<TSqlColumnRef>().FieldIndex, 0);
  st = Parse("select tasks.taskname from TASKS");
  EXPECT_EQ(Spec(st).Items[0].Expr->As<TSqlColumnRef>().FieldIndex, 1);
}

TEST_F(SqlTree, CorrelatedNamesNameTheirLevel) {
  auto st = Parse(
      "SELECT * FROM Tasks WHERE EXISTS (SELECT * FROM Assignments a WHERE a.TaskId = "
      "Tasks.TaskId AND a.ResourceId IN (SELECT ResourceId FROM Resources WHERE "
      "Resources.ResourceId = a.ResourceId AND ProjectId = 3))");
  const auto& exists = Spec(st).Where->As<TSqlExists>();
  const TSqlQuerySpec& sub = *exists.Select->Query;
  const auto& conj = sub.Where->As<TSqlLogical>();
  const auto& eq = conj.Operands[0]->As<TSqlComparison>();
  EXPECT_EQ(eq.Left->As<TSqlColumnRef>().OuterLevel, 0);
  EXPECT_EQ(eq.Right->As<TSqlColumnRef>().OuterLevel, 1);
  const auto& in = conj.Operands[1]->As<TSqlInQuery>();
  const auto& inner = in.Select->Query->Where->As<TSqlLogical>();
  const auto& a = inner.Operands[0]->As<TSqlComparison>().Right->As<TSqlColumnRef>();
  EXPECT_EQ(a.OuterLevel, 1);
  EXPECT_EQ(a.SourceIndex, 0);
  const auto& project = inner.Operands[1]->As<TSqlComparison>().Left->As<TSqlColumnRef>();
  EXPECT_EQ(project.OuterLevel, 2);
  EXPECT_EQ(project.FieldIndex, 9);
}

TEST_F(SqlTree, DerivedTablesExposeTheirOutputColumns) {
  auto st = Parse(
      "SELECT q.Total, q.TaskId FROM (SELECT TaskId, SUM(Units) AS Total FROM Assignments "
      "GROUP BY TaskId) q WHERE q.Total > 10");
  const TSqlQuerySpec& q = Spec(st);
  const auto& derived = q.Sources[0]->As<TSqlDerivedTable>();
  ASSERT_TRUE(derived.ColumnsKnown);
  ASSERT_EQ(derived.Columns.size(), 2u);
  EXPECT_EQ(derived.Columns[1].Name, "Total");
  EXPECT_EQ(derived.Columns[1].Type, F::ftFloat);
  EXPECT_EQ(q.Items[0].Expr->As<TSqlColumnRef>().FieldIndex, 1);
  EXPECT_EQ(q.Items[1].Expr->Type, F::ftInteger);
}

TEST_F(SqlTree, StarExpansionsAndOutputs) {
  auto st = Parse("SELECT a.*, r.ResourceName AS Who, Units * 2 FROM Assignments a, Resources r");
  const TSqlQuerySpec& q = Spec(st);
  ASSERT_TRUE(q.OutputsKnown);
  ASSERT_EQ(q.Outputs.size(), 6u);
  EXPECT_EQ(q.Outputs[3].Name, "Units");
  EXPECT_EQ(q.Outputs[3].ItemIndex, 0);
  EXPECT_EQ(q.Outputs[4].Name, "Who");
  EXPECT_EQ(q.Outputs[4].SourceIndex, 1);
  EXPECT_EQ(q.Outputs[4].Size, 50);
  EXPECT_EQ(q.Outputs[5].Name, "Units * 2");
  EXPECT_EQ(q.Outputs[5].SourceIndex, -1);
}

TEST_F(SqlTree, HavingMayNameAnOutputColumn) {
  auto st = Parse(
      "SELECT ProjectId, COUNT(*) AS N FROM Tasks GROUP BY ProjectId HAVING N > 1 AND "
      "ProjectId > 2");
  const TSqlQuerySpec& q = Spec(st);
  ASSERT_EQ(q.GroupBy.size(), 1u);
  EXPECT_EQ(q.GroupBy[0].FieldIndex, 9);
  const auto& having = q.Having->As<TSqlLogical>();
  const auto& n = having.Operands[0]->As<TSqlComparison>().Left->As<TSqlColumnRef>();
  EXPECT_EQ(n.SourceIndex, -1);
  EXPECT_EQ(n.OutputIndex, 1);
  EXPECT_EQ(n.Type, F::ftFloat);
  const auto& p = having.Operands[1]->As<TSqlComparison>().Left->As<TSqlColumnRef>();
  EXPECT_EQ(p.SourceIndex, 0);
  EXPECT_EQ(Error("SELECT ProjectId FROM Tasks GROUP BY ProjectId HAVING M > 1"),
            "Field not found Line 1, Character 55. Token 'M'. ");
}

TEST_F(SqlTree, ParameterTypesComeFromWhatTheyMeet) {
  auto st = Parse("UPDATE Samples SET D = :d, S = :s || 'x' WHERE I = :i AND :f < F");
  const auto& u = st->As<TSqlUpdate>();
  EXPECT_EQ(u.Items[0].Value->Type, F::ftDate);
  EXPECT_EQ(u.Items[1].Value->As<TSqlArithmetic>().Left->Type, F::ftString);
  const auto& w = u.Where->As<TSqlLogical>();
  EXPECT_EQ(w.Operands[0]->As<TSqlComparison>().Right->Type, F::ftInteger);
  // :f < F became F > :f.
  const auto& c = w.Operands[1]->As<TSqlComparison>();
  EXPECT_EQ(c.Op, TSqlCompareOp::Greater);
  EXPECT_EQ(c.Right->As<TSqlParameter>().Name, "f");
  EXPECT_EQ(c.Right->Type, F::ftFloat);
  st = Parse("INSERT INTO Samples (B, DT) VALUES (:b, :when)");
  EXPECT_EQ(st->As<TSqlInsert>().Values[0]->Type, F::ftBoolean);
  EXPECT_EQ(st->As<TSqlInsert>().Values[1]->Type, F::ftDateTime);
}

TEST_F(SqlTree, ExpressionTypes) {
  auto st = Parse(
      "SELECT I + Sm, S + 'x', D + 1, D - 1, DT - D, EXTRACT(YEAR FROM D), EXTRACT(SECOND FROM "
      "T), CAST(I AS CHAR(5)), UPPER(S), COUNT(*), NULL + 1, CURRENT_TIME FROM Samples");
  std::vector<F> types;
  for (const TSqlSelectItem& item : Spec(st).Items) types.push_back(item.Expr->Type);
  EXPECT_EQ(types, (std::vector<F>{F::ftFloat, F::ftString, F::ftDateTime, F::ftDate, F::ftFloat,
                                   F::ftInteger, F::ftFloat, F::ftString, F::ftString, F::ftFloat,
                                   F::ftFloat, F::ftTime}));
}

TEST_F(SqlTree, ConstantsTakeTheColumnsType) {
  auto st = Parse(
      "SELECT * FROM Samples WHERE I = 7 AND I = 7.5 AND I = '8' AND B = -1 AND S = 5 AND "
      "D = '2004-05-31' AND DT IN ('2004-05-31 12:00', '2004-06-01')");
  const auto& w = Spec(st).Where->As<TSqlLogical>();
  auto lit = [&](size_t i) -> const TSqlLiteral& {
    return w.Operands[i]->As<TSqlComparison>().Right->As<TSqlLiteral>();
  };
  EXPECT_EQ(lit(0).Type, F::ftInteger);
  EXPECT_EQ(lit(1).Type, F::ftFloat);  // 7.5 is no integer
  EXPECT_EQ(lit(2).Type, F::ftInteger);
  EXPECT_EQ(lit(2).Number, 8);
  EXPECT_EQ(Error("SELECT * FROM Samples WHERE I = 'nan'"),
            "Expression data types do not match Line 1, Character 33. Token 'nan'. ");
  auto other = Parse("SELECT * FROM Samples WHERE I = '7.5' OR F = ' 2e3 '");
  const auto& o = Spec(other).Where->As<TSqlLogical>();
  EXPECT_EQ(o.Operands[0]->As<TSqlComparison>().Right->Type, F::ftFloat);
  EXPECT_EQ(o.Operands[1]->As<TSqlComparison>().Right->As<TSqlLiteral>().Number, 2000);
  EXPECT_EQ(lit(3).Type, F::ftBoolean);
  EXPECT_TRUE(lit(3).Boolean);
  EXPECT_EQ(lit(4).Type, F::ftString);
  EXPECT_EQ(lit(4).Text, "5");
  EXPECT_EQ(lit(5).Number, EncodeDate(2004, 5, 31));
  const auto& in = w.Operands[6]->As<TSqlInList>();
  EXPECT_DOUBLE_EQ(in.Items[0]->As<TSqlLiteral>().Number, EncodeDate(2004, 5, 31) + 0.5);
  EXPECT_EQ(in.Items[1]->Type, F::ftDateTime);
}

TEST_F(SqlTree, CopiesAreDeepAndIndependent) {
  auto st = Parse(
      "SELECT * FROM Samples WHERE (SELECT MAX(A) FROM Scratch WHERE B = Samples.S) BETWEEN 1 "
      "AND 5");
  const auto& w = Spec(st).Where->As<TSqlLogical>();
  ASSERT_EQ(w.Operands.size(), 2u);
  const TSqlExpr& first = *w.Operands[0]->As<TSqlComparison>().Left;
  const TSqlExpr& second = *w.Operands[1]->As<TSqlComparison>().Left;
  EXPECT_NE(first.Query(), second.Query());
  EXPECT_EQ(first.ToDump(), second.ToDump());
  // Both copies were resolved, the correlated name in each.
  EXPECT_NE(second.ToDump().find("@0.0^1"), std::string::npos);
  std::unique_ptr<TSqlSelect> copy = st->As<TSqlSelect>().Clone();
  EXPECT_EQ(copy->ToDump(), st->ToDump());
  ASSERT_EQ(copy->Query->Sources.size(), 1u);
  EXPECT_EQ(copy->Query->Sources[0], copy->Query->From[0].get());
}

// Nesting that would take a recursive parser, printer or destructor too deep is refused with
// the engine's error; nesting within the limits parses.
TEST_F(SqlTree, DeepNestingIsRefused) {
  const std::string kTooDeep = "Statement is nested too deeply";
  auto refuse = [&](const std::string& text) {
    TZuzSqlParser parser(&PlannerCatalogue());
    EXPECT_FALSE(parser.Prepare(text));
    ASSERT_EQ(parser.Errors().size(), 1u);
    EXPECT_EQ(parser.Errors()[0].rfind(kTooDeep, 0), 0u) << parser.Errors()[0];
  };
  refuse("SELECT * FROM Samples WHERE " + std::string(100000, '(') + "I = 1" +
         std::string(100000, ')'));
  std::string sum = "I";
  for (int i = 0; i < 3000; ++i) sum += " + I";
  refuse("SELECT " + sum + " FROM Samples");
  std::string nots;
  for (int i = 0; i < 5000; ++i) nots += "NOT (";
  refuse("SELECT * FROM Samples WHERE " + nots + "I = 1" + std::string(5000, ')'));
  std::string upper = "S";
  for (int i = 0; i < 5000; ++i) upper = "UPPER(" + upper + ")";
  refuse("SELECT " + upper + " FROM Samples");
  std::string query = "SELECT I FROM Samples";
  for (int i = 0; i < 400; ++i) query = "SELECT I FROM Samples WHERE I IN (" + query + ")";
  refuse(query);
  std::string from = "Samples";
  for (int i = 0; i < 400; ++i) from = "(SELECT * FROM " + from + ")";
  refuse("SELECT * FROM " + from);
  std::string joins = "Samples";
  for (int i = 0; i < 3000; ++i) joins = "(Scratch CROSS JOIN " + joins + ")";
  refuse("SELECT * FROM " + joins);
  // BETWEEN copies its left side: nested in the left side the copies would double each time.
  std::string between = "I";
  for (int i = 0; i < 60; ++i) between = "(" + between + " BETWEEN 1 AND 2)";
  refuse("SELECT * FROM Samples WHERE " + between);

  // A tree near the height limit is walked by binder, printer, copier and destructor alike.
  std::string chain = "I";
  for (int i = 0; i < 990; ++i) chain += i % 2 ? " - I" : " + F";
  auto high = Parse("SELECT " + chain + " AS x FROM Samples");
  ASSERT_TRUE(high);
  EXPECT_GT(Spec(high).Items[0].Expr->Height, 900);
  EXPECT_EQ(Parse(high->ToSql())->ToDump(), high->ToDump());
  EXPECT_EQ(high->As<TSqlSelect>().Clone()->ToDump(), high->ToDump());

  std::string fine =
      "SELECT * FROM Samples WHERE " + std::string(150, '(') + "I = 1" + std::string(150, ')');
  EXPECT_TRUE(Parse(fine));
  std::string nested = "I";
  for (int i = 0; i < 8; ++i) nested = "(" + nested + " BETWEEN 1 AND 2)";
  EXPECT_TRUE(Parse("SELECT * FROM Samples WHERE " + nested));
}

TEST_F(SqlTree, LongFlatListsParse) {
  std::string cond = "I = 0";
  std::string list = "0";
  for (int i = 1; i < 20000; ++i) {
    cond += " AND I = " + std::to_string(i);
    list += ", " + std::to_string(i);
  }
  auto st = Parse("SELECT * FROM Samples WHERE " + cond + " OR I IN (" + list + ")");
  const auto& w = Spec(st).Where->As<TSqlLogical>();
  EXPECT_EQ(w.Op, TSqlLogicalOp::Or);
  EXPECT_EQ(w.Operands[0]->As<TSqlLogical>().Operands.size(), 20000u);
  EXPECT_EQ(w.Operands[1]->As<TSqlInList>().Items.size(), 20000u);
}

TEST_F(SqlTree, WithoutACatalogueNamesStayUnresolved) {
  auto st = Parse("SELECT x, y.z FROM Nowhere y WHERE x = '2004-05-31' AND w IN (1, 2)", nullptr);
  const TSqlQuerySpec& q = Spec(st);
  EXPECT_FALSE(q.Items[0].Expr->As<TSqlColumnRef>().Resolved());
  EXPECT_FALSE(q.Sources[0]->ColumnsKnown);
  ASSERT_TRUE(q.OutputsKnown);  // no "*" to expand
  EXPECT_EQ(q.Outputs[1].Name, "z");
  EXPECT_EQ(q.Outputs[1].Type, F::ftUnknown);
  const auto& w = q.Where->As<TSqlLogical>();
  EXPECT_EQ(w.Operands[0]->As<TSqlComparison>().Right->Type, F::ftString);
  // Checks that need no column still hold.
  EXPECT_EQ(Error("SELECT * FROM t WHERE x = NULL", nullptr),
            "Expression data types do not match Line 1, Character 25. Token '='. ");
  EXPECT_EQ(Error("SELECT UPPER(1 + 2) FROM t", nullptr),
            "Character value expression return type is invalid Line 1, Character 8. Token "
            "'UPPER'. ");
  EXPECT_EQ(Error("SELECT q.* FROM t", nullptr),
            "Field not found Line 1, Character 8. Token 'q'. ");
  EXPECT_TRUE(Parse("INSERT INTO t VALUES (1, 2, 3)", nullptr));
  EXPECT_TRUE(Parse("DROP INDEX t nope", nullptr));
}

TEST_F(SqlTree, MemoryTables) {
  auto st = Parse("SELECT * FROM Scratch, TEMPORARY scratch s");
  EXPECT_TRUE(Spec(st).Sources[0]->As<TSqlTableName>().Memory);
  EXPECT_TRUE(Spec(st).Sources[1]->As<TSqlTableName>().Memory);
  st = Parse("SELECT * FROM Tasks");
  EXPECT_FALSE(Spec(st).Sources[0]->As<TSqlTableName>().Memory);
  EXPECT_EQ(Error("SELECT * FROM TEMPORARY Tasks, TEMPORARY Nope"),
            "Table not found - Tasks. Table not found - Nope. ");
}

TEST_F(SqlTree, QueryObjectErrorIsSqlError) {
  try {
    ParseSqlStatement("SELECT * FROM Tasks WHERE", &PlannerCatalogue(), "TZuzQuery.InternalOpen");
    FAIL() << "no error";
  } catch (const EZuzDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ZUZ_ERR_SQL);
    EXPECT_EQ(e.Caller(), "TZuzQuery.InternalOpen");
    EXPECT_EQ(e.CustomMessage(),
              "Expression incorrectly terminated Line 1, Character 26. Token ''. ");
    EXPECT_EQ(std::string(e.what()),
              "The Zezad database engine raised an error\r\n SQL Error (error code #9645) - "
              "Expression incorrectly terminated Line 1, Character 26. Token ''. ");
  }
  EXPECT_EQ(ErrorCodeOf([] {
              ParseSqlStatement("UPDATE Samples SET D = 'x'", &PlannerCatalogue(), "TZuzQuery");
            }),
            ZUZ_ERR_DATE_VALUE);
  auto st = ParseSqlStatement("DELETE FROM Tasks", &PlannerCatalogue(), "TZuzQuery.ExecSQL");
  EXPECT_EQ(st->Kind(), TSqlStatementKind::Delete);
  EXPECT_EQ(JoinSqlErrors({"a", "b"}), "a. b. ");
}

TEST_F(SqlTree, TableFilters) {
  const TTableDef& samples = *PlannerCatalogue().FindTable("samples", false);
  TZuzSqlParser parser;
  ASSERT_TRUE(parser.PrepareFilter("UPPER(S) LIKE 'A%' AND D > '2004-01-01'", samples));
  TSqlFilter filter = parser.TakeFilter();
  EXPECT_EQ(filter.Condition->ToSql(), "UPPER(S) LIKE 'A%' AND D > '2004-01-01'");
  const auto& d = filter.Condition->As<TSqlLogical>().Operands[1]->As<TSqlComparison>();
  EXPECT_EQ(d.Left->As<TSqlColumnRef>().FieldIndex, 6);
  EXPECT_EQ(d.Right->Type, F::ftDate);
  EXPECT_FALSE(parser.PrepareFilter("Nope = 1", samples));
  EXPECT_EQ(parser.ErrorText(), "Field not found Line 1, Character 1. Token 'Nope'. ");
  EXPECT_FALSE(parser.PrepareFilter("I = :p", samples));
  EXPECT_EQ(parser.ErrorText(), "Parameters are not supported Line 1, Character 5. Token ':p'. ");
  EXPECT_FALSE(parser.PrepareFilter("I IN (SELECT A FROM Scratch)", samples));
  EXPECT_FALSE(parser.PrepareFilter("I = 1 x", samples));
  EXPECT_FALSE(parser.PrepareFilter("", samples));
}

TEST_F(SqlTree, AlterActionsByKind) {
  auto st = Parse(
      "ALTER TABLE Tasks ADD A INTEGER, DROP Notes, ALTER TaskName TO Title, ADD COLUMN B "
      "BLOB(20, 1), ALTER Progress TYPE CHAR(8)");
  const auto& alter = st->As<TSqlAlterTable>();
  auto added = alter.ActionsOf(TSqlAlterKind::AddColumn);
  ASSERT_EQ(added.size(), 2u);
  EXPECT_EQ(added[1]->Column, "B");
  EXPECT_EQ(added[1]->Type.Type, F::ftMemo);
  EXPECT_EQ(added[1]->Type.Size, 20);
  EXPECT_EQ(alter.ActionsOf(TSqlAlterKind::DropColumn)[0]->Column, "Notes");
  EXPECT_EQ(alter.ActionsOf(TSqlAlterKind::RenameColumn)[0]->NewName, "Title");
  const TSqlDataType& retype = alter.ActionsOf(TSqlAlterKind::RetypeColumn)[0]->Type;
  EXPECT_EQ(retype.Type, F::ftString);
  EXPECT_EQ(retype.Size, 8);
}

TEST_F(SqlTree, DataTypes) {
  auto st = Parse(
      "CREATE TABLE x (a CHAR, b VARCHAR(30), c TIME(3), d NUMERIC(10, 2), e BLOB(1, 3), "
      "f BLOB(1, 5), g BLOB(1, 2), h MONEY, i AUTOINC, j DOUBLE PRECISION)");
  const auto& c = st->As<TSqlCreateTable>().Columns;
  std::vector<F> types;
  for (const TSqlColumnDef& col : c) types.push_back(col.Type.Type);
  EXPECT_EQ(types,
            (std::vector<F>{F::ftString, F::ftString, F::ftTime, F::ftFloat, F::ftFmtMemo,
                            F::ftGraphic, F::ftBlob, F::ftCurrency, F::ftAutoInc, F::ftFloat}));
  EXPECT_EQ(c[0].Type.Size, 1);
  EXPECT_EQ(c[1].Type.Size, 30);
  EXPECT_EQ(c[3].Type.Scale, 2);
}

}  // namespace
}  // namespace zuz::test
