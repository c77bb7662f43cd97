// The planner's statements, as the application sends them, on a database with the planner's
// tables (ids auto-incrementing, an index on every id and foreign key): each gives what the
// application expects of it, and the ones with a WHERE on an id or a foreign key read only the
// records they need.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/objects/zuzDatabase.h"
#include "db/objects/zuzSQL.h"
#include "db/storage/zuzMemoryFile.h"
#include "planner/base/qorCalendar.h"

namespace zuz::test {
namespace {

// The application's literal formatters.
std::string SQLString(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}
std::string SQLDate(double day) {
  int y = 0, m = 0, d = 0;
  DecodeDate(day, y, m, d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "'%.4d-%.2d-%.2d'", y, m, d);
  return buf;
}
std::string SQLBoolean(bool b) {
  return b ? "-1" : "0";
}

const double kToday = EncodeDate(2004, 5, 20);
constexpr int kProjects = 5, kTasksPerProject = 8, kResources = 8;

class DbPlannerStatements : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.SetDataBaseName("/mem/db/Vazadod.zuz");
    db_.SetExclusive(true);
    db_.CreateDatabase();
    for (const char* s :
         {"CREATE TABLE Projects (ProjectId AUTOINC, ProjectName VARCHAR(100), "
          "ProjectTag VARCHAR(25), StartDate DATE, EndDate DATE, BudgetHours FLOAT, "
          "ActualHours FLOAT, BudgetCost FLOAT, ActualCost FLOAT, IsCompleted BOOLEAN, "
          "AssignedHours FLOAT, Notes BLOB(1,1), PRIMARY KEY (ProjectId))",
          "CREATE TABLE Tasks (TaskId AUTOINC, TaskName VARCHAR(100), StartDate DATE, "
          "EndDate DATE, IsMileStone BOOLEAN, IsCompleted BOOLEAN, AssignedHours FLOAT, "
          "Progress FLOAT, Notes BLOB(1,1), ProjectId INTEGER, PRIMARY KEY (TaskId))",
          "CREATE INDEX ixTaskProject ON Tasks (ProjectId)",
          "CREATE TABLE Resources (ResourceId AUTOINC, ResourceName VARCHAR(50), "
          "Initials VARCHAR(10), HoursPerWeek FLOAT, CostPerHour FLOAT, MaxUnits FLOAT, "
          "Notes BLOB(1,1), PRIMARY KEY (ResourceId))",
          "CREATE TABLE Assignments (AssignmentId AUTOINC, TaskId INTEGER, ResourceId INTEGER, "
          "Units FLOAT, PRIMARY KEY (AssignmentId))",
          "CREATE INDEX ixAssignmentTask ON Assignments (TaskId)",
          "CREATE INDEX ixAssignmentResource ON Assignments (ResourceId)",
          "CREATE TABLE Holidays (HolidayId AUTOINC, ResourceId INTEGER, StartDate DATE, "
          "EndDate DATE, PRIMARY KEY (HolidayId))",
          "CREATE INDEX ixHolidayResource ON Holidays (ResourceId)",
          "CREATE TABLE Settings (SettingId INTEGER, ProjectFilter BLOB(1,1), "
          "ReportFormat VARCHAR(10), PRIMARY KEY (SettingId))",
          "INSERT INTO Settings VALUES (1, '', 'PDF')"}) {
      Exec(s);
    }
    for (int p = 1; p <= kProjects; ++p) {
      Exec(
          "INSERT INTO Projects (ProjectName, ProjectTag, StartDate, EndDate, BudgetHours, "
          "ActualHours, BudgetCost, ActualCost, IsCompleted, AssignedHours, Notes) VALUES (" +
          SQLString("Project " + std::to_string(p)) + ",''," + SQLDate(kToday) + "," +
          SQLDate(kToday + 30) + ",0,0,0,0," + SQLBoolean(false) + ",0,'')");
      for (int t = 0; t < kTasksPerProject; ++t) {
        Exec(
            "INSERT INTO Tasks (TaskName, StartDate, EndDate, IsMileStone, IsCompleted, "
            "AssignedHours, Notes, ProjectId) VALUES (" +
            SQLString("Task " + std::to_string(t)) + "," + SQLDate(kToday + t) + "," +
            SQLDate(kToday + t + 2) + "," + SQLBoolean(false) + "," + SQLBoolean(false) + ",0,''," +
            std::to_string(p) + ")");
      }
    }
    for (int r = 1; r <= kResources; ++r) {
      Exec(
          "INSERT INTO Resources (ResourceName, Initials, HoursPerWeek, CostPerHour, "
          "MaxUnits, Notes) VALUES (" +
          SQLString("Res " + std::to_string(r)) + ",'NN',0,0,100,'')");
      Exec("INSERT INTO Holidays (ResourceId, StartDate, EndDate) VALUES (" + std::to_string(r) +
           "," + SQLDate(kToday + r) + "," + SQLDate(kToday + r + 3) + ")");
    }
    // Every task gets one or two resources.
    for (int t = 1; t <= kProjects * kTasksPerProject; ++t) {
      for (int k = 0; k < 1 + t % 2; ++k) {
        Exec("INSERT INTO Assignments (TaskId, ResourceId, Units) VALUES (" + std::to_string(t) +
             "," + std::to_string(1 + (t + k) % kResources) + ",50)");
      }
    }
  }

  int64_t Exec(const std::string& sql) {
    TZuzQuery q;
    q.SetDataBase(&db_);
    q.SetSQL(sql);
    q.ExecSQL();
    read_ = q.Stats().RecordsRead;
    return q.RowsAffected();
  }
  // Opens the query, keeping it for the checks.
  TZuzQuery& Open(const std::string& sql) {
    query_ = std::make_unique<TZuzQuery>();
    query_->SetDataBase(&db_);
    query_->SetSQL(sql);
    query_->Open();
    read_ = query_->Stats().RecordsRead;
    return *query_;
  }
  int64_t Count(const std::string& sql) {
    TZuzQuery& q = Open(sql);
    int64_t n = 0;
    for (; !q.Eof(); q.Next()) ++n;
    return n;
  }
  int32_t Lookup(const std::string& sql) {
    TZuzQuery& q = Open(sql);
    return q.Eof() || q.FieldValue(0).IsNull() ? 0 : q.FieldValue(0).AsInteger();
  }

  TMemoryFileSystem fs_;
  TZuzDataBase db_{&fs_};
  std::unique_ptr<TZuzQuery> query_;
  int64_t read_ = 0;
};

TEST_F(DbPlannerStatements, LoadingReadsEveryTable) {
  EXPECT_EQ(Count("SELECT * FROM Projects"), kProjects);
  TZuzQuery& tasks = Open("SELECT * FROM Tasks ORDER BY ProjectId, TaskName");
  int32_t lastProject = 0;
  std::string lastName;
  int n = 0;
  for (; !tasks.Eof(); tasks.Next(), ++n) {
    int32_t p = tasks.FieldValue("ProjectId").AsInteger();
    std::string name = tasks.FieldValue("TaskName").ToText();
    EXPECT_TRUE(p > lastProject || (p == lastProject && name >= lastName));
    lastProject = p;
    lastName = name;
    // A Progress never written reads as NULL (the application takes it as 0).
    EXPECT_TRUE(tasks.FieldValue("Progress").IsNull());
  }
  EXPECT_EQ(n, kProjects * kTasksPerProject);
  EXPECT_EQ(Count("SELECT * FROM Resources"), kResources);
  EXPECT_EQ(Count("SELECT * FROM Assignments"), 60);
  EXPECT_EQ(Count("SELECT * FROM Holidays"), kResources);
  TZuzQuery& settings = Open("SELECT * FROM Settings WHERE SettingId=1");
  EXPECT_EQ(settings.FieldValue("ReportFormat").ToText(), "PDF");
  EXPECT_EQ(read_, 1);
}

TEST_F(DbPlannerStatements, TaskStatements) {
  // 7, 8: a new task and its id.
  Exec(
      "INSERT INTO Tasks (TaskName, StartDate, EndDate, IsMileStone, IsCompleted, "
      "AssignedHours, Notes, ProjectId) VALUES (" +
      SQLString("O'Neil's task") + "," + SQLDate(kToday) + "," + SQLDate(kToday + 2) + "," +
      SQLBoolean(false) + "," + SQLBoolean(false) + ",0," + SQLString("") + ",3)");
  const int32_t id = Lookup("SELECT MAX(TaskId) AS NewId FROM Tasks");
  EXPECT_EQ(id, kProjects * kTasksPerProject + 1);
  EXPECT_EQ(Open("SELECT MAX(TaskId) AS NewId FROM Tasks").FieldValue("NewId").AsInteger(), id);
  const std::string sid = std::to_string(id);
  TZuzQuery& t = Open("SELECT * FROM Tasks WHERE TaskId=" + sid);
  EXPECT_EQ(t.FieldValue("TaskName").ToText(), "O'Neil's task");
  EXPECT_EQ(t.FieldValue("EndDate").AsDate(), kToday + 2);
  EXPECT_EQ(read_, 1);
  // 11: the task changed (a SET list of every kind of value).
  EXPECT_EQ(Exec("UPDATE Tasks SET  TaskName=" + SQLString("Renamed") +
                 ", StartDate=" + SQLDate(kToday + 1) + ", EndDate=" + SQLDate(kToday + 4) +
                 ", IsMileStone=" + SQLBoolean(true) + ", AssignedHours=37.5, Progress=12.5, " +
                 "Notes=" + SQLString("two\r\nlines") + " WHERE TaskId=" + sid),
            1);
  EXPECT_EQ(read_, 1);
  TZuzQuery& changed = Open("SELECT * FROM Tasks WHERE TaskId=" + sid);
  EXPECT_TRUE(changed.FieldValue("IsMileStone").AsBoolean());
  EXPECT_EQ(changed.FieldValue("Notes").ToText(), "two\r\nlines");
  EXPECT_EQ(changed.FieldValue("StartDate").AsDate(), kToday + 1);
  // 12: its assigned hours.
  EXPECT_EQ(Exec("UPDATE Tasks SET  AssignedHours=8 WHERE TaskId=" + sid), 1);
  EXPECT_EQ(read_, 1);
  // 9, 10: deleting it and its assignments.
  Exec("INSERT INTO Assignments (TaskId, ResourceId, Units) VALUES (" + sid + ",2,25)");
  EXPECT_EQ(Exec("DELETE FROM Tasks WHERE TaskId=" + sid), 1);
  EXPECT_EQ(read_, 1);
  EXPECT_EQ(Exec("DELETE FROM Assignments WHERE TaskId=" + sid), 1);
  EXPECT_EQ(read_, 1);
  EXPECT_EQ(Count("SELECT * FROM Tasks WHERE TaskId=" + sid), 0);
}

TEST_F(DbPlannerStatements, ProjectStatements) {
  // 13, 14 (a SET list ending with a comma), 21.
  EXPECT_EQ(Exec("UPDATE Projects SET  AssignedHours=120 WHERE ProjectId=2"), 1);
  EXPECT_EQ(read_, 1);
  EXPECT_EQ(Exec("UPDATE Projects SET  StartDate=" + SQLDate(kToday) +
                 ", EndDate=" + SQLDate(kToday + 60) + ", WHERE ProjectId=2"),
            1);
  EXPECT_EQ(Exec("UPDATE Projects SET  ProjectName=" + SQLString("Web") + ", ProjectTag='WEB'" +
                 ", StartDate=" + SQLDate(kToday) + ", EndDate=" + SQLDate(kToday + 9) +
                 ", BudgetHours=100, ActualHours=12.25, BudgetCost=5000, ActualCost=612.5" +
                 ", IsCompleted=" + SQLBoolean(true) + ", Notes='' WHERE ProjectId=2"),
            1);
  TZuzQuery& p = Open("SELECT * FROM Projects WHERE ProjectId=2");
  EXPECT_EQ(p.FieldValue("AssignedHours").AsReal(), 120);
  EXPECT_EQ(p.FieldValue("EndDate").AsDate(), kToday + 9);
  EXPECT_EQ(p.FieldValue("ActualHours").AsReal(), 12.25);
  EXPECT_TRUE(p.FieldValue("IsCompleted").AsBoolean());
  // 15, 16: a new project.
  Exec(
      "INSERT INTO Projects (ProjectName, ProjectTag, StartDate, EndDate, BudgetHours, "
      "ActualHours, BudgetCost, ActualCost, IsCompleted, AssignedHours, Notes) VALUES ('New',''," +
      SQLDate(kToday) + "," + SQLDate(kToday + 30) + ",0,0,0,0," + SQLBoolean(false) + ",0,'')");
  EXPECT_EQ(Lookup("SELECT MAX(ProjectId) AS NewId FROM Projects"), kProjects + 1);
  // 17 (the table named in capitals).
  EXPECT_EQ(
      Exec("UPDATE SETTINGS SET  ProjectFilter=" + SQLString("[1][3]") + " WHERE SettingId=1"), 1);
  EXPECT_EQ(Open("SELECT * FROM Settings WHERE SettingId=1").FieldValue("ProjectFilter").ToText(),
            "[1][3]");
  // 18, 19, 20: deleting project 3 with its tasks and their assignments.
  const int64_t assignments = Count(
      "SELECT * FROM Assignments WHERE TaskId IN ( SELECT TaskId FROM Tasks WHERE ProjectId=3)");
  EXPECT_GT(assignments, 0);
  EXPECT_EQ(Exec("DELETE FROM Assignments WHERE TaskId IN ( SELECT TaskId FROM Tasks WHERE "
                 "ProjectId=3)"),
            assignments);
  EXPECT_EQ(Exec("DELETE FROM Tasks WHERE ProjectId=3"), kTasksPerProject);
  EXPECT_EQ(read_, kTasksPerProject);
  EXPECT_EQ(Exec("DELETE FROM Projects WHERE ProjectId=3"), 1);
  EXPECT_EQ(read_, 1);
  EXPECT_EQ(Count("SELECT * FROM Tasks WHERE ProjectId=3"), 0);
  // 42.
  EXPECT_EQ(Exec("UPDATE Settings SET ReportFormat='RTF' WHERE SettingId=1"), 1);
  // Without the Settings row, 17 and 42 change nothing.
  Exec("DELETE FROM Settings WHERE SettingId=1");
  EXPECT_EQ(Exec("UPDATE Settings SET ReportFormat='PDF' WHERE SettingId=1"), 0);
}

TEST_F(DbPlannerStatements, ResourceAndHolidayStatements) {
  // 22, 23.
  Exec(
      "INSERT INTO Resources (ResourceName, Initials, HoursPerWeek, CostPerHour, MaxUnits, "
      "Notes) VALUES (" +
      SQLString("O'Neil") + ",'NN',0,0,100,'')");
  const int32_t id = Lookup("SELECT MAX(ResourceId) AS NewId FROM Resources");
  EXPECT_EQ(id, kResources + 1);
  const std::string sid = std::to_string(id);
  // 27.
  EXPECT_EQ(Exec("UPDATE Resources SET  ResourceName=" + SQLString("O'Neil") +
                 ", Initials='ON', HoursPerWeek=40, CostPerHour=55.5, MaxUnits=100, Notes=''" +
                 " WHERE ResourceId=" + sid),
            1);
  EXPECT_EQ(read_, 1);
  // 29, 28, 30, 31, 32.
  Exec("INSERT INTO Holidays (ResourceId, StartDate, EndDate) VALUES (" + sid + "," +
       SQLDate(kToday + 40) + "," + SQLDate(kToday + 44) + ")");
  Exec("INSERT INTO Holidays (ResourceId, StartDate, EndDate) VALUES (" + sid + "," +
       SQLDate(kToday + 10) + "," + SQLDate(kToday + 11) + ")");
  TZuzQuery& h = Open("SELECT * FROM Holidays WHERE  ResourceId=" + sid + " ORDER BY StartDate");
  EXPECT_EQ(read_, 2);
  EXPECT_EQ(h.FieldValue("StartDate").AsDate(), kToday + 10);
  const int32_t holiday = h.FieldValue("HolidayId").AsInteger();
  const std::string hid = std::to_string(holiday);
  EXPECT_EQ(Count("SELECT * FROM Holidays WHERE  HolidayId=" + hid), 1);
  EXPECT_EQ(read_, 1);
  EXPECT_EQ(Exec("UPDATE Holidays SET  StartDate=" + SQLDate(kToday + 12) +
                 ", EndDate=" + SQLDate(kToday + 13) + " WHERE HolidayId=" + hid),
            1);
  EXPECT_EQ(read_, 1);
  EXPECT_EQ(Exec("DELETE FROM Holidays WHERE HolidayId=" + hid), 1);
  // 24, 25, 26: deleting resource 2 with its assignments and holidays.
  const int64_t assigned = Count("SELECT * FROM Assignments WHERE ResourceId=2");
  EXPECT_EQ(read_, assigned);
  EXPECT_EQ(Exec("DELETE FROM Assignments WHERE ResourceId=2"), assigned);
  EXPECT_EQ(read_, assigned);
  EXPECT_EQ(Exec("DELETE FROM Holidays WHERE ResourceId=2"), 1);
  EXPECT_EQ(read_, 1);
  EXPECT_EQ(Exec("DELETE FROM Resources WHERE ResourceId=2"), 1);
  EXPECT_EQ(read_, 1);
}

TEST_F(DbPlannerStatements, AssignmentStatements) {
  // 33: the resources not on task 5.
  const int64_t on = Count("SELECT * FROM Assignments WHERE TaskId=5");
  EXPECT_EQ(read_, on);
  EXPECT_EQ(Count("SELECT * FROM Resources WHERE ResourceId NOT IN (SELECT ResourceId FROM "
                  "Assignments WHERE TaskId=5)"),
            kResources - on);
  // 34: the resources on task 5, their assignments read through the task index and the
  // resources through their key.
  TZuzQuery& list = Open(
      "SELECT Assignments.AssignmentId, Resources.ResourceName FROM Assignments INNER JOIN "
      "Resources  ON Assignments.ResourceId=Resources.ResourceId WHERE Assignments.TaskId=5");
  int64_t n = 0;
  for (; !list.Eof(); list.Next(), ++n) {
    EXPECT_EQ(list.FieldValue("ResourceName").ToText().substr(0, 4), "Res ");
  }
  EXPECT_EQ(n, on);
  EXPECT_EQ(read_, 2 * on);
  // 35: the units of resource 3 in a period (one row, 0 when nothing takes part).
  TZuzQuery& sum = Open(
      "SELECT Sum(Assignments.Units) FROM Assignments INNER JOIN Tasks  ON "
      "Assignments.TaskId=Tasks.TaskId  WHERE Assignments.ResourceId=3 AND ((Tasks.EndDate>=" +
      SQLDate(kToday) + ")  AND (Tasks.StartDate<=" + SQLDate(kToday + 1) + ")) ");
  EXPECT_GT(sum.FieldValue(0).AsReal(), 0);
  EXPECT_EQ(Open("SELECT Sum(Assignments.Units) FROM Assignments INNER JOIN Tasks  ON "
                 "Assignments.TaskId=Tasks.TaskId  WHERE Assignments.ResourceId=99")
                .FieldValue(0)
                .AsReal(),
            0);
  // 36: holidays of resource 4 overlapping a period.
  EXPECT_EQ(Lookup("SELECT COUNT(HolidayId) FROM Holidays WHERE  ResourceId=4 AND "
                   "((Holidays.EndDate>=" +
                   SQLDate(kToday) + ")  AND (Holidays.StartDate<=" + SQLDate(kToday + 4) + ")) "),
            1);
  EXPECT_EQ(read_, 1);
  EXPECT_EQ(Lookup("SELECT COUNT(HolidayId) FROM Holidays WHERE  ResourceId=77"), 0);
  // 37, 38, 39, 40, 41.
  Exec("INSERT INTO Assignments (TaskId, ResourceId, Units) VALUES (5,4,37.5)");
  const int32_t id = Lookup("SELECT MAX(AssignmentId) AS NewId FROM Assignments");
  const std::string sid = std::to_string(id);
  EXPECT_EQ(
      Open("SELECT Units FROM Assignments  WHERE AssignmentId=" + sid).FieldValue("Units").AsReal(),
      37.5);
  EXPECT_EQ(read_, 1);
  EXPECT_EQ(Exec("UPDATE Assignments SET  Units=80 WHERE AssignmentId=" + sid), 1);
  EXPECT_EQ(read_, 1);
  EXPECT_EQ(Exec("DELETE FROM Assignments  WHERE AssignmentId=" + sid), 1);
  EXPECT_EQ(read_, 1);
  // 43: the holidays report, ordered by resource and start.
  TZuzQuery& report = Open(
      "SELECT Holidays.ResourceId, Resources.ResourceName, Holidays.StartDate, Holidays.EndDate  "
      "FROM Holidays INNER JOIN Resources ON Holidays.ResourceId=Resources.ResourceId WHERE "
      "Holidays.StartDate>" +
      SQLDate(kToday - 30) + " AND Holidays.StartDate<" + SQLDate(kToday + 365) +
      " ORDER BY Holidays.ResourceId, Holidays.StartDate");
  int32_t last = 0;
  n = 0;
  for (; !report.Eof(); report.Next(), ++n) {
    int32_t r = report.FieldValue("ResourceId").AsInteger();
    EXPECT_GE(r, last);
    last = r;
    EXPECT_EQ(report.FieldValue("ResourceName").ToText(), "Res " + std::to_string(r));
  }
  EXPECT_EQ(n, kResources);
}

}  // namespace
}  // namespace zuz::test
