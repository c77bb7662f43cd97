// The statements the planner sends, built byte for byte as the application builds them (the
// doubled blanks, "SETTINGS" in capitals, the comma before WHERE of the project update, the
// literals of the access layer's formatters), parse into the trees they mean against the
// planner's tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "db/sql/zuzSqlParser.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/base/qorStrings.h"
#include "tests/db/sql/sqlTestCatalogue.h"

namespace zuz::test {
namespace {

// The access layer's literal formatters.
std::string SQLString(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}
std::string SQLDate(int y, int m, int d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "'%.4d-%.2d-%.2d'", y, m, d);
  return buf;
}
// General format, 15 significant digits, "." as separator, exponent without "+" and leading
// zeros ("1E-5", "1E20").
std::string SQLFloat(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", value);
  std::string s = buf;
  size_t e = s.find('E');
  if (e == std::string::npos) return s;
  std::string mantissa = s.substr(0, e);
  std::string exp = s.substr(e + 1);
  std::string sign;
  if (exp[0] == '+' || exp[0] == '-') {
    if (exp[0] == '-') sign = "-";
    exp = exp.substr(1);
  }
  while (exp.size() > 1 && exp[0] == '0') exp.erase(0, 1);
  return mantissa + "E" + sign + exp;
}
std::string SQLBoolean(bool b) {
  return b ? "-1" : "0";
}

const std::string kName = SQLString("O'Neil's plan");
const std::string kToday = SQLDate(2004, 5, 20);

// The 43 statements with example values, in the order of the program's statement list.
std::vector<std::string> AppStatements() {
  std::string id = "12";
  std::string project = "3";
  std::string resource = "4";
  std::vector<std::string> s;
  s.push_back("SELECT * FROM Projects");
  s.push_back("SELECT * FROM Tasks ORDER BY ProjectId, TaskName");
  s.push_back("SELECT * FROM Resources");
  s.push_back("SELECT * FROM Assignments");
  s.push_back("SELECT * FROM Holidays");
  s.push_back("SELECT * FROM Settings WHERE SettingId=1");
  s.push_back(
      "INSERT INTO Tasks (TaskName, StartDate, EndDate, IsMileStone, IsCompleted, AssignedHours, "
      "Notes, ProjectId) VALUES (" +
      kName + "," + kToday + "," + SQLDate(2004, 5, 22) + "," + SQLBoolean(false) + "," +
      SQLBoolean(false) + "," + "0," + SQLString("") + "," + project + ")");
  s.push_back(std::string("SELECT MAX(") + "TaskId" + ") AS NewId FROM " + "Tasks");
  s.push_back("DELETE FROM Tasks WHERE TaskId=" + id);
  s.push_back("DELETE FROM Assignments WHERE TaskId=" + id);
  s.push_back("UPDATE Tasks SET  TaskName=" + kName + "," + " StartDate=" + kToday + "," +
              " EndDate=" + SQLDate(2004, 5, 22) + "," + " IsMileStone=" + SQLBoolean(true) + "," +
              " AssignedHours=" + SQLFloat(37.5) + "," + " Progress=" + SQLFloat(-2.5) + "," +
              " Notes=" + SQLString("two\r\nlines") + " WHERE TaskId=" + id);
  s.push_back("UPDATE Tasks SET  AssignedHours=" + SQLFloat(37.5) + " WHERE TaskId=" + id);
  s.push_back("UPDATE Projects SET  AssignedHours=" + SQLFloat(120) +
              " WHERE ProjectId=" + project);
  s.push_back("UPDATE Projects SET  StartDate=" + kToday + "," +
              " EndDate=" + SQLDate(2004, 6, 19) + "," + " WHERE ProjectId=" + project);
  s.push_back(
      "INSERT INTO Projects (ProjectName, ProjectTag, StartDate, EndDate, BudgetHours, "
      "ActualHours, BudgetCost, ActualCost, IsCompleted, AssignedHours, Notes) VALUES (" +
      kName + "," + SQLString("") + "," + kToday + "," + SQLDate(2004, 6, 19) + "," + "0,0,0,0," +
      SQLBoolean(false) + ",0," + SQLString("") + ")");
  s.push_back(std::string("SELECT MAX(") + "ProjectId" + ") AS NewId FROM " + "Projects");
  s.push_back("UPDATE SETTINGS SET  ProjectFilter=" + SQLString("[1][3]") + " WHERE SettingId=1");
  s.push_back(
      "DELETE FROM Assignments WHERE TaskId IN ( SELECT TaskId FROM Tasks WHERE ProjectId=" +
      project + ")");
  s.push_back("DELETE FROM Tasks WHERE ProjectId=" + project);
  s.push_back("DELETE FROM Projects WHERE ProjectId=" + project);
  s.push_back("UPDATE Projects SET  ProjectName=" + kName + "," +
              " ProjectTag=" + SQLString("WEB") + "," + " StartDate=" + kToday + "," +
              " EndDate=" + SQLDate(2004, 6, 19) + "," + " BudgetHours=" + SQLFloat(100) + "," +
              " ActualHours=" + SQLFloat(12.25) + "," + " BudgetCost=" + SQLFloat(5000) + "," +
              " ActualCost=" + SQLFloat(612.5) + "," + " IsCompleted=" + SQLBoolean(false) + "," +
              " Notes=" + SQLString("") + " WHERE ProjectId=" + project);
  s.push_back(
      "INSERT INTO Resources (ResourceName, Initials, HoursPerWeek, CostPerHour, MaxUnits, "
      "Notes) VALUES (" +
      kName + "," + SQLString("NN") + ",0,0,100," + SQLString("") + ")");
  s.push_back(std::string("SELECT MAX(") + "ResourceId" + ") AS NewId FROM " + "Resources");
  s.push_back("DELETE FROM Assignments WHERE ResourceId=" + resource);
  s.push_back("DELETE FROM Holidays WHERE ResourceId=" + resource);
  s.push_back("DELETE FROM Resources WHERE ResourceId=" + resource);
  s.push_back("UPDATE Resources SET  ResourceName=" + kName + "," + " Initials=" + SQLString("ON") +
              "," + " HoursPerWeek=" + SQLFloat(40) + "," + " CostPerHour=" + SQLFloat(55.5) + "," +
              " MaxUnits=" + SQLFloat(100) + "," + " Notes=" + SQLString("") +
              " WHERE ResourceId=" + resource);
  s.push_back("SELECT * FROM Holidays WHERE  ResourceId=" + resource + " ORDER BY StartDate");
  s.push_back("INSERT INTO Holidays (ResourceId, StartDate, EndDate) VALUES (" + resource + "," +
              SQLDate(2004, 7, 1) + "," + SQLDate(2004, 7, 14) + ")");
  s.push_back("SELECT * FROM Holidays WHERE  HolidayId=" + std::string("7"));
  s.push_back("UPDATE Holidays SET  StartDate=" + SQLDate(2004, 7, 1) + "," +
              " EndDate=" + SQLDate(2004, 7, 14) + " WHERE HolidayId=" + "7");
  s.push_back("DELETE FROM Holidays WHERE HolidayId=" + std::string("7"));
  s.push_back(
      "SELECT * FROM Resources WHERE ResourceId NOT IN (SELECT ResourceId FROM Assignments "
      "WHERE TaskId=" +
      id + ")");
  s.push_back(
      "SELECT Assignments.AssignmentId, Resources.ResourceName FROM Assignments INNER JOIN "
      "Resources  ON Assignments.ResourceId=Resources.ResourceId WHERE Assignments.TaskId=" +
      id);
  s.push_back(
      "SELECT Sum(Assignments.Units) FROM Assignments INNER JOIN Tasks  ON "
      "Assignments.TaskId=Tasks.TaskId  WHERE Assignments.ResourceId=" +
      resource + " AND ((Tasks.EndDate>=" + kToday + ") " +
      " AND (Tasks.StartDate<=" + SQLDate(2004, 5, 22) + ")) ");
  s.push_back("SELECT COUNT(HolidayId) FROM Holidays WHERE  ResourceId=" + resource +
              " AND ((Holidays.EndDate>=" + kToday + ") " +
              " AND (Holidays.StartDate<=" + SQLDate(2004, 5, 22) + ")) ");
  s.push_back("INSERT INTO Assignments (TaskId, ResourceId, Units) VALUES (" + id + "," + resource +
              "," + SQLFloat(50) + ")");
  s.push_back(std::string("SELECT MAX(") + "AssignmentId" + ") AS NewId FROM " + "Assignments");
  s.push_back("DELETE FROM Assignments  WHERE AssignmentId=" + std::string("9"));
  s.push_back("SELECT Units FROM Assignments  WHERE AssignmentId=" + std::string("9"));
  s.push_back("UPDATE Assignments SET  Units=" + SQLFloat(75) + " WHERE AssignmentId=" + "9");
  s.push_back("UPDATE Settings SET ReportFormat=" + SQLString("RTF") + " WHERE SettingId=1");
  s.push_back(
      "SELECT Holidays.ResourceId, Resources.ResourceName, Holidays.StartDate, "
      "Holidays.EndDate  FROM Holidays INNER JOIN Resources ON "
      "Holidays.ResourceId=Resources.ResourceId WHERE Holidays.StartDate>" +
      SQLDate(2004, 4, 20) + " AND Holidays.StartDate<" + SQLDate(2005, 5, 20) +
      " ORDER BY Holidays.ResourceId, Holidays.StartDate");
  return s;
}

// The canonical prints, in the same order.
const char* const kPrints[] = {
    "SELECT * FROM Projects",
    "SELECT * FROM Tasks ORDER BY ProjectId, TaskName",
    "SELECT * FROM Resources",
    "SELECT * FROM Assignments",
    "SELECT * FROM Holidays",
    "SELECT * FROM Settings WHERE SettingId = 1",
    "INSERT INTO Tasks (TaskName, StartDate, EndDate, IsMileStone, IsCompleted, AssignedHours, "
    "Notes, ProjectId) VALUES ('O''Neil''s plan', '2004-05-20', '2004-05-22', 0, 0, 0, '', 3)",
    "SELECT MAX(TaskId) AS NewId FROM Tasks",
    "DELETE FROM Tasks WHERE TaskId = 12",
    "DELETE FROM Assignments WHERE TaskId = 12",
    "UPDATE Tasks SET TaskName = 'O''Neil''s plan', StartDate = '2004-05-20', EndDate = "
    "'2004-05-22', IsMileStone = -1, AssignedHours = 37.5, Progress = -2.5, Notes = "
    "'two\r\nlines' WHERE TaskId = 12",
    "UPDATE Tasks SET AssignedHours = 37.5 WHERE TaskId = 12",
    "UPDATE Projects SET AssignedHours = 120 WHERE ProjectId = 3",
    "UPDATE Projects SET StartDate = '2004-05-20', EndDate = '2004-06-19' WHERE ProjectId = 3",
    "INSERT INTO Projects (ProjectName, ProjectTag, StartDate, EndDate, BudgetHours, "
    "ActualHours, BudgetCost, ActualCost, IsCompleted, AssignedHours, Notes) VALUES ('O''Neil''s "
    "plan', '', '2004-05-20', '2004-06-19', 0, 0, 0, 0, 0, 0, '')",
    "SELECT MAX(ProjectId) AS NewId FROM Projects",
    "UPDATE SETTINGS SET ProjectFilter = '[1][3]' WHERE SettingId = 1",
    "DELETE FROM Assignments WHERE TaskId IN (SELECT TaskId FROM Tasks WHERE ProjectId = 3)",
    "DELETE FROM Tasks WHERE ProjectId = 3",
    "DELETE FROM Projects WHERE ProjectId = 3",
    "UPDATE Projects SET ProjectName = 'O''Neil''s plan', ProjectTag = 'WEB', StartDate = "
    "'2004-05-20', EndDate = '2004-06-19', BudgetHours = 100, ActualHours = 12.25, BudgetCost = "
    "5000, ActualCost = 612.5, IsCompleted = 0, Notes = '' WHERE ProjectId = 3",
    "INSERT INTO Resources (ResourceName, Initials, HoursPerWeek, CostPerHour, MaxUnits, Notes) "
    "VALUES ('O''Neil''s plan', 'NN', 0, 0, 100, '')",
    "SELECT MAX(ResourceId) AS NewId FROM Resources",
    "DELETE FROM Assignments WHERE ResourceId = 4",
    "DELETE FROM Holidays WHERE ResourceId = 4",
    "DELETE FROM Resources WHERE ResourceId = 4",
    "UPDATE Resources SET ResourceName = 'O''Neil''s plan', Initials = 'ON', HoursPerWeek = 40, "
    "CostPerHour = 55.5, MaxUnits = 100, Notes = '' WHERE ResourceId = 4",
    "SELECT * FROM Holidays WHERE ResourceId = 4 ORDER BY StartDate",
    "INSERT INTO Holidays (ResourceId, StartDate, EndDate) VALUES (4, '2004-07-01', "
    "'2004-07-14')",
    "SELECT * FROM Holidays WHERE HolidayId = 7",
    "UPDATE Holidays SET StartDate = '2004-07-01', EndDate = '2004-07-14' WHERE HolidayId = 7",
    "DELETE FROM Holidays WHERE HolidayId = 7",
    "SELECT * FROM Resources WHERE ResourceId NOT IN (SELECT ResourceId FROM Assignments WHERE "
    "TaskId = 12)",
    "SELECT Assignments.AssignmentId, Resources.ResourceName FROM Assignments INNER JOIN "
    "Resources ON Assignments.ResourceId = Resources.ResourceId WHERE Assignments.TaskId = 12",
    "SELECT SUM(Assignments.Units) AS 'Sum(Assignments.Units)' FROM Assignments INNER JOIN Tasks "
    "ON Assignments.TaskId = Tasks.TaskId WHERE Assignments.ResourceId = 4 AND Tasks.EndDate >= "
    "'2004-05-20' AND Tasks.StartDate <= '2004-05-22'",
    "SELECT COUNT(HolidayId) FROM Holidays WHERE ResourceId = 4 AND Holidays.EndDate >= "
    "'2004-05-20' AND Holidays.StartDate <= '2004-05-22'",
    "INSERT INTO Assignments (TaskId, ResourceId, Units) VALUES (12, 4, 50)",
    "SELECT MAX(AssignmentId) AS NewId FROM Assignments",
    "DELETE FROM Assignments WHERE AssignmentId = 9",
    "SELECT Units FROM Assignments WHERE AssignmentId = 9",
    "UPDATE Assignments SET Units = 75 WHERE AssignmentId = 9",
    "UPDATE Settings SET ReportFormat = 'RTF' WHERE SettingId = 1",
    "SELECT Holidays.ResourceId, Resources.ResourceName, Holidays.StartDate, Holidays.EndDate "
    "FROM Holidays INNER JOIN Resources ON Holidays.ResourceId = Resources.ResourceId WHERE "
    "Holidays.StartDate > '2004-04-20' AND Holidays.StartDate < '2005-05-20' ORDER BY "
    "Holidays.ResourceId, Holidays.StartDate",
};

class PlannerStatements : public ::testing::Test {
 protected:
  void SetUp() override { RegionalSettings() = TqorRegionalSettings{}; }

  std::unique_ptr<TSqlStatement> Parse(const std::string& text) {
    TZuzSqlParser parser(&PlannerCatalogue());
    EXPECT_TRUE(parser.Prepare(text)) << text << "\n" << parser.ErrorText();
    return parser.TakeStatement();
  }

  TqorRegionalSettingsGuard guard_;
};

TEST_F(PlannerStatements, AllParsePrintAndReadBack) {
  std::vector<std::string> statements = AppStatements();
  ASSERT_EQ(statements.size(), 43u);
  ASSERT_EQ(std::size(kPrints), 43u);
  for (size_t i = 0; i < statements.size(); ++i) {
    SCOPED_TRACE("statement " + std::to_string(i + 1) + ": " + statements[i]);
    std::unique_ptr<TSqlStatement> st = Parse(statements[i]);
    ASSERT_TRUE(st);
    EXPECT_EQ(st->ToSql(), kPrints[i]);
    std::unique_ptr<TSqlStatement> again = Parse(st->ToSql());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->ToDump(), st->ToDump());
    EXPECT_EQ(again->ToSql(), st->ToSql());
  }
}

TEST_F(PlannerStatements, TheByteForByteDetailsAreThere) {
  std::vector<std::string> s = AppStatements();
  EXPECT_NE(s[10].find("SET  TaskName="), std::string::npos);
  EXPECT_NE(s[13].find("'2004-06-19', WHERE"), std::string::npos);
  EXPECT_NE(s[16].find("UPDATE SETTINGS SET  "), std::string::npos);
  EXPECT_EQ(s[34].back(), ' ');
  EXPECT_EQ(s[35].back(), ' ');
  EXPECT_NE(s[6].find("'O''Neil''s plan'"), std::string::npos);
}

TEST_F(PlannerStatements, LoadingQueriesSelectEveryColumn) {
  std::unique_ptr<TSqlStatement> st = Parse(AppStatements()[1]);
  const auto& select = st->As<TSqlSelect>();
  const TSqlQuerySpec& q = *select.Query;
  EXPECT_TRUE(q.SelectAll);
  ASSERT_TRUE(q.OutputsKnown);
  ASSERT_EQ(q.Outputs.size(), 10u);
  EXPECT_EQ(q.Outputs[0].Name, "TaskId");
  EXPECT_EQ(q.Outputs[0].Type, TFieldType::ftAutoInc);
  ASSERT_EQ(select.OrderBy.size(), 2u);
  EXPECT_TRUE(select.OrderBy[0].IsName);
  EXPECT_EQ(select.OrderBy[0].Name, "ProjectId");
  EXPECT_EQ(select.OrderBy[1].Name, "TaskName");
  EXPECT_FALSE(select.OrderBy[1].Descending);
}

TEST_F(PlannerStatements, InsertsNameTheirFieldsAndConvertDates) {
  std::unique_ptr<TSqlStatement> st = Parse(AppStatements()[6]);
  const auto& insert = st->As<TSqlInsert>();
  EXPECT_EQ(insert.FieldIndexes, (std::vector<int>{1, 2, 3, 4, 5, 6, 8, 9}));
  ASSERT_EQ(insert.Values.size(), 8u);
  const auto& start = insert.Values[1]->As<TSqlLiteral>();
  EXPECT_EQ(start.Type, TFieldType::ftDate);
  EXPECT_TRUE(start.Converted);
  EXPECT_EQ(start.Number, EncodeDate(2004, 5, 20));
  EXPECT_EQ(insert.Values[0]->As<TSqlLiteral>().Text, "O'Neil's plan");
  EXPECT_EQ(insert.Values[6]->As<TSqlLiteral>().Text, "");
}

TEST_F(PlannerStatements, ProjectUpdateWithCommaBeforeWhere) {
  std::unique_ptr<TSqlStatement> st = Parse(AppStatements()[13]);
  const auto& update = st->As<TSqlUpdate>();
  ASSERT_EQ(update.Items.size(), 2u);
  EXPECT_EQ(update.Items[0].Column, "StartDate");
  EXPECT_EQ(update.Items[1].Column, "EndDate");
  EXPECT_EQ(update.Items[1].FieldIndex, 4);
  EXPECT_EQ(update.Items[1].Value->As<TSqlLiteral>().Number, EncodeDate(2004, 6, 19));
  ASSERT_TRUE(update.Where);
  const auto& where = update.Where->As<TSqlComparison>();
  EXPECT_EQ(where.Left->As<TSqlColumnRef>().FieldIndex, 0);
}

TEST_F(PlannerStatements, SettingsInCapitalsNamesTheSettingsTable) {
  std::unique_ptr<TSqlStatement> st = Parse(AppStatements()[16]);
  const auto& update = st->As<TSqlUpdate>();
  EXPECT_EQ(update.Table->Name, "SETTINGS");
  ASSERT_TRUE(update.Table->ColumnsKnown);
  EXPECT_EQ(update.Items[0].FieldIndex, 1);
}

TEST_F(PlannerStatements, CascadeDeleteUsesASubquery) {
  std::unique_ptr<TSqlStatement> st = Parse(AppStatements()[17]);
  const auto& del = st->As<TSqlDelete>();
  ASSERT_EQ(del.Where->Kind(), TSqlExprKind::InQuery);
  const auto& in = del.Where->As<TSqlInQuery>();
  EXPECT_FALSE(in.Negated);
  EXPECT_EQ(in.Operand->As<TSqlColumnRef>().FieldIndex, 1);
  const TSqlQuerySpec& sub = *in.Select->Query;
  EXPECT_EQ(sub.Sources[0]->As<TSqlTableName>().Name, "Tasks");
  const auto& inner = sub.Where->As<TSqlComparison>().Left->As<TSqlColumnRef>();
  EXPECT_EQ(inner.OuterLevel, 0);
  EXPECT_EQ(inner.FieldIndex, 9);
}

TEST_F(PlannerStatements, AssignmentListJoinsTwoTables) {
  std::unique_ptr<TSqlStatement> st = Parse(AppStatements()[33]);
  const TSqlQuerySpec& q = *st->As<TSqlSelect>().Query;
  ASSERT_EQ(q.From.size(), 1u);
  const auto& join = q.From[0]->As<TSqlJoin>();
  EXPECT_EQ(join.Type, TSqlJoinType::Inner);
  const auto& on = join.On->As<TSqlComparison>();
  EXPECT_EQ(on.Left->As<TSqlColumnRef>().SourceIndex, 0);
  EXPECT_EQ(on.Right->As<TSqlColumnRef>().SourceIndex, 1);
  ASSERT_EQ(q.Outputs.size(), 2u);
  EXPECT_EQ(q.Outputs[0].Name, "AssignmentId");
  EXPECT_EQ(q.Outputs[1].Name, "ResourceName");
  EXPECT_EQ(q.Outputs[1].SourceIndex, 1);
}

TEST_F(PlannerStatements, CapacityCheckSumsOverDateComparisons) {
  std::unique_ptr<TSqlStatement> st = Parse(AppStatements()[34]);
  const TSqlQuerySpec& q = *st->As<TSqlSelect>().Query;
  EXPECT_TRUE(q.HasAggregates);
  EXPECT_EQ(q.Items[0].Caption, "Sum(Assignments.Units)");
  EXPECT_EQ(q.Items[0].Expr->As<TSqlAggregate>().Func, TSqlAggregateFunc::Sum);
  const auto& where = q.Where->As<TSqlLogical>();
  EXPECT_EQ(where.Op, TSqlLogicalOp::And);
  ASSERT_EQ(where.Operands.size(), 3u);
  const auto& end = where.Operands[1]->As<TSqlComparison>();
  EXPECT_EQ(end.Op, TSqlCompareOp::GreaterOrEqual);
  EXPECT_EQ(end.Left->As<TSqlColumnRef>().SourceIndex, 1);
  EXPECT_EQ(end.Right->Type, TFieldType::ftDate);
  EXPECT_EQ(end.Right->As<TSqlLiteral>().Number, EncodeDate(2004, 5, 20));
}

TEST_F(PlannerStatements, NewIdIsTheCaptionOfMax) {
  std::unique_ptr<TSqlStatement> st = Parse(AppStatements()[7]);
  const TSqlQuerySpec& q = *st->As<TSqlSelect>().Query;
  ASSERT_EQ(q.Outputs.size(), 1u);
  EXPECT_EQ(q.Outputs[0].Name, "NewId");
  EXPECT_EQ(q.Outputs[0].Type, TFieldType::ftFloat);
}

TEST_F(PlannerStatements, FlagAndNegativeNumbersAreNumbers) {
  std::unique_ptr<TSqlStatement> st = Parse(AppStatements()[10]);
  const auto& update = st->As<TSqlUpdate>();
  EXPECT_EQ(update.Items[3].Value->As<TSqlLiteral>().Number, -1);
  EXPECT_EQ(update.Items[5].Value->As<TSqlLiteral>().Number, -2.5);
  EXPECT_EQ(update.Items[6].Value->As<TSqlLiteral>().Text, "two\r\nlines");
}

// SQLFloat writes very small and very large numbers with an exponent; they are numbers too.
TEST_F(PlannerStatements, FloatsInExponentForm) {
  for (double v : {0.00001, 1e20, -3.5e-7}) {
    std::string text = "UPDATE Tasks SET  AssignedHours=" + SQLFloat(v) + " WHERE TaskId=12";
    SCOPED_TRACE(text);
    std::unique_ptr<TSqlStatement> st = Parse(text);
    ASSERT_TRUE(st);
    EXPECT_EQ(st->As<TSqlUpdate>().Items[0].Value->As<TSqlLiteral>().Number, v);
  }
  EXPECT_EQ(SQLFloat(0.00001), "1E-5");
  EXPECT_EQ(SQLFloat(1e20), "1E20");
}

TEST_F(PlannerStatements, HolidayReportOrdersByQualifiedNames) {
  std::unique_ptr<TSqlStatement> st = Parse(AppStatements()[42]);
  const auto& select = st->As<TSqlSelect>();
  ASSERT_EQ(select.OrderBy.size(), 2u);
  EXPECT_EQ(select.OrderBy[0].Qualifier, "Holidays");
  EXPECT_EQ(select.OrderBy[0].Name, "ResourceId");
  EXPECT_EQ(select.OrderBy[0].Text, "Holidays.ResourceId");
  const auto& where = select.Query->Where->As<TSqlLogical>();
  EXPECT_EQ(where.Operands[0]->As<TSqlComparison>().Right->As<TSqlLiteral>().Number,
            EncodeDate(2004, 4, 20));
}

}  // namespace
}  // namespace zuz::test
