// The statement list on a database made from the planner's schema: what each workflow's
// statements store and read back, the cascades, the settings row, the look-ups the checks use,
// the indexes that keep the statements on an id from reading whole tables, and ids that cannot
// carry anything but digits.
#include <gtest/gtest.h>

#include <string>

#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"
#include "db/objects/zuzSQL.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzMemoryFile.h"
#include "planner/base/qorCalendar.h"

namespace {

namespace st = qorStatements;
constexpr const char* kPath = "/mem/db/Vazadod.zuz";
const double kToday = EncodeDate(2004, 5, 20);

class Statements : public ::testing::Test {
 protected:
  void SetUp() override {
    CreatePlannerDatabase(kPath, &fs_);
    db_.OpenDatabase(kPath);
  }
  int32_t AddProject(const std::string& name) {
    db_.Execute(st::InsertProject(name, kToday));
    return st::NewProjectId(db_);
  }
  int32_t AddTask(const std::string& name, int32_t project) {
    db_.Execute(st::InsertTask(name, kToday, project));
    return st::NewTaskId(db_);
  }
  int32_t AddResource(const std::string& name) {
    db_.Execute(st::InsertResource(name));
    return st::NewResourceId(db_);
  }
  int32_t Assign(int32_t task, int32_t resource, double units) {
    db_.Execute(st::InsertAssignment(task, resource, units));
    return st::NewAssignmentId(db_);
  }
  int32_t Count(const std::string& table) {
    return db_.LookupInteger("SELECT COUNT(*) FROM " + table);
  }
  // The records a statement reads (through a query of its own).
  int64_t RecordsRead(const std::string& statement) {
    zuz::TZuzQuery q;
    q.SetDatabase(&db_.Database());
    q.SetSQL(statement);
    if (statement.rfind("SELECT", 0) == 0) {
      q.Open();
    } else {
      q.ExecSQL();
    }
    return q.Stats().RecordsRead;
  }

  zuz::TMemoryFileSystem fs_;
  TqorDatabaseController db_{&fs_};
};

TEST_F(Statements, ANewDatabaseHoldsTheSettingsRowAndNothingElse) {
  TqorDatabaseRecordSet* set = db_.OpenRecordSet(st::SelectSettings());
  ASSERT_FALSE(db_.Eof(set));
  EXPECT_EQ(db_.GetString(set, "ProjectFilter"), "");
  EXPECT_EQ(db_.GetString(set, "ReportFormat"), "PDF");
  db_.CloseRecordSet(set);
  for (const char* table : {"Projects", "Tasks", "Resources", "Assignments", "Holidays"})
    EXPECT_EQ(Count(table), 0) << table;
  // The template is never made twice over a file.
  EXPECT_THROW(CreatePlannerDatabase(kPath, &fs_), zuz::EZuzDatabaseError);
}

TEST_F(Statements, TasksAndProjectsStoreWhatTheirWorkflowsWrite) {
  const int32_t p = AddProject("O'Neil's \"project\"");
  const int32_t t = AddTask("'; DROP TABLE Tasks; --", p);
  TqorDatabaseRecordSet* set = db_.OpenRecordSet(st::SelectTasks());
  EXPECT_EQ(db_.GetString(set, "TaskName"), "'; DROP TABLE Tasks; --");
  EXPECT_EQ(db_.GetDate(set, "StartDate"), kToday);
  EXPECT_EQ(db_.GetDate(set, "EndDate"), kToday + 2);
  EXPECT_EQ(db_.GetFloat(set, "Progress"), 0);  // never written: null
  EXPECT_EQ(db_.GetString(set, "ProjectId"), std::to_string(p));
  db_.CloseRecordSet(set);

  TqorTaskValues task{"Été: façade", kToday + 1, kToday + 9, true, true, 17.5, 42.5, "a\r\nb"};
  EXPECT_EQ(db_.Execute(st::UpdateTask(std::to_string(t), task)), 1);
  EXPECT_EQ(db_.Execute(st::UpdateTaskAssignedHours(t, 20.25)), 1);
  set = db_.OpenRecordSet("SELECT * FROM Tasks WHERE TaskId=" + std::to_string(t));
  EXPECT_EQ(db_.GetString(set, "TaskName"), task.Name);
  EXPECT_EQ(db_.GetDate(set, "EndDate"), task.EndDate);
  EXPECT_TRUE(db_.GetBoolean(set, "IsMileStone"));
  // The completion set in the task dialog is kept.
  EXPECT_TRUE(db_.GetBoolean(set, "IsCompleted"));
  EXPECT_EQ(db_.GetFloat(set, "AssignedHours"), 20.25);
  EXPECT_EQ(db_.GetFloat(set, "Progress"), 42.5);
  EXPECT_EQ(db_.GetString(set, "Notes"), "a\r\nb");
  db_.CloseRecordSet(set);

  TqorProjectValues project{"Web", "WÉB", kToday, kToday + 60, 100, 12.25, 5000, 612.5, true, "n"};
  EXPECT_EQ(db_.Execute(st::UpdateProject(p, project)), 1);
  EXPECT_EQ(db_.Execute(st::UpdateProjectDates(p, kToday - 3, kToday + 70)), 1);
  EXPECT_EQ(db_.Execute(st::UpdateProjectAssignedHours(p, 120)), 1);
  set = db_.OpenRecordSet(st::SelectProjects());
  EXPECT_EQ(db_.GetString(set, "ProjectTag"), "WÉB");
  EXPECT_EQ(db_.GetDate(set, "StartDate"), kToday - 3);
  EXPECT_EQ(db_.GetDate(set, "EndDate"), kToday + 70);
  EXPECT_EQ(db_.GetFloat(set, "ActualCost"), 612.5);
  EXPECT_EQ(db_.GetFloat(set, "AssignedHours"), 120);
  EXPECT_TRUE(db_.GetBoolean(set, "IsCompleted"));
  db_.CloseRecordSet(set);

  // Deleting a task takes its assignments; deleting a project its tasks and theirs.
  const int32_t r = AddResource("Ann");
  const int32_t other = AddTask("Other", p);
  Assign(t, r, 50);
  Assign(other, r, 25);
  db_.Execute(st::DeleteTask(t));
  db_.Execute(st::DeleteTaskAssignments(t));
  EXPECT_EQ(Count("Tasks"), 1);
  EXPECT_EQ(Count("Assignments"), 1);
  const int32_t keep = AddProject("Keep");
  AddTask("Kept", keep);
  db_.Execute(st::DeleteProjectAssignments(p));
  db_.Execute(st::DeleteProjectTasks(p));
  db_.Execute(st::DeleteProject(p));
  EXPECT_EQ(Count("Projects"), 1);
  EXPECT_EQ(Count("Tasks"), 1);
  EXPECT_EQ(Count("Assignments"), 0);
  // Ids only grow, so the next project does not take a deleted one's id.
  EXPECT_EQ(AddProject("Next"), keep + 1);
}

TEST_F(Statements, ResourcesHolidaysAndAssignments) {
  const int32_t p = AddProject("P");
  const int32_t t = AddTask("T", p);
  const int32_t r = AddResource("Zoë O'Neil");
  TqorResourceValues values{"Zoë O'Neil", "ZO", 37.5, 55.5, 80, ""};
  EXPECT_EQ(db_.Execute(st::UpdateResource(r, values)), 1);
  TqorDatabaseRecordSet* set = db_.OpenRecordSet(st::SelectResources());
  EXPECT_EQ(db_.GetString(set, "ResourceName"), values.Name);
  EXPECT_EQ(db_.GetString(set, "Initials"), "ZO");
  EXPECT_EQ(db_.GetFloat(set, "HoursPerWeek"), 37.5);
  db_.CloseRecordSet(set);
  // The dialogs' limits fit in characters of four bytes.
  values.Name = std::string(50 * 4, '\xF0');
  for (size_t i = 0; i < values.Name.size(); i += 4) values.Name.replace(i, 4, "\xF0\x9F\x98\x80");
  values.Initials = values.Name.substr(0, 40);
  EXPECT_EQ(db_.Execute(st::UpdateResource(r, values)), 1);

  // Holidays: listed by start, changed, checked against a period, reported.
  db_.Execute(st::InsertHoliday(r, kToday + 40, kToday + 44));
  db_.Execute(st::InsertHoliday(r, kToday + 10, kToday + 11));
  const int32_t h = st::NewHolidayId(db_);
  set = db_.OpenRecordSet(st::SelectResourceHolidays(r));
  EXPECT_EQ(db_.GetInteger(set, "HolidayId"), h);
  db_.CloseRecordSet(set);
  EXPECT_EQ(db_.Execute(st::UpdateHoliday(h, kToday + 12, kToday + 13)), 1);
  EXPECT_EQ(db_.LookupInteger(st::SelectResourceHolidayCount(r, kToday, kToday + 12)), 1);
  EXPECT_EQ(db_.LookupInteger(st::SelectResourceHolidayCount(r, kToday, kToday + 11)), 0);
  set = db_.OpenRecordSet(st::SelectHolidaysReport(kToday));
  int n = 0;
  for (double last = 0; !db_.Eof(set); db_.Next(set), ++n) {
    EXPECT_GE(db_.GetDate(set, "StartDate"), last);
    last = db_.GetDate(set, "StartDate");
  }
  db_.CloseRecordSet(set);
  EXPECT_EQ(n, 2);
  set = db_.OpenRecordSet(st::SelectHoliday(h));
  EXPECT_EQ(db_.GetDate(set, "EndDate"), kToday + 13);
  db_.CloseRecordSet(set);
  db_.Execute(st::DeleteHoliday(h));

  // Assignments: the task's list, the free resources, the units in a period.
  const int32_t free = AddResource("Free");
  EXPECT_EQ(db_.LookupInteger(st::SelectResourceUnits(r, kToday, kToday + 2)), 0);
  const int32_t a = Assign(t, r, 37.5);
  EXPECT_EQ(db_.LookupValue(st::SelectResourceUnits(r, kToday + 2, kToday + 5)).AsReal(), 37.5);
  EXPECT_EQ(db_.LookupInteger(st::SelectResourceUnits(r, kToday + 3, kToday + 5)), 0);
  EXPECT_EQ(db_.Execute(st::UpdateAssignmentUnits(a, 80)), 1);
  EXPECT_EQ(db_.LookupValue(st::SelectAssignmentUnits(a)).AsReal(), 80);
  set = db_.OpenRecordSet(st::SelectTaskAssignments(t));
  EXPECT_EQ(db_.GetInteger(set, "AssignmentId"), a);
  EXPECT_EQ(db_.GetString(set, "ResourceName"), values.Name);
  db_.CloseRecordSet(set);
  EXPECT_EQ(db_.LookupInteger(st::SelectResourcesNotOnTask(t)), free);

  // Deleting a resource takes its assignments and holidays.
  db_.Execute(st::DeleteResourceAssignments(r));
  db_.Execute(st::DeleteResourceHolidays(r));
  db_.Execute(st::DeleteResource(r));
  EXPECT_EQ(Count("Resources"), 1);
  EXPECT_EQ(Count("Assignments"), 0);
  EXPECT_EQ(Count("Holidays"), 0);
  db_.Execute(st::InsertAssignment(t, free, 10));
  EXPECT_EQ(db_.Execute(st::DeleteAssignment(st::NewAssignmentId(db_))), 1);
}

TEST_F(Statements, SettingsAreOneRowAndChangeNothingWithoutIt) {
  EXPECT_EQ(db_.Execute(st::UpdateProjectFilter("[1][12]")), 1);
  EXPECT_EQ(db_.Execute(st::UpdateReportFormat("RTF")), 1);
  TqorDatabaseRecordSet* set = db_.OpenRecordSet(st::SelectSettings());
  EXPECT_EQ(db_.GetString(set, "ProjectFilter"), "[1][12]");
  EXPECT_EQ(db_.GetString(set, "ReportFormat"), "RTF");
  db_.CloseRecordSet(set);
  db_.Execute("DELETE FROM Settings WHERE SettingId=1");
  EXPECT_EQ(db_.Execute(st::UpdateProjectFilter("[2]")), 0);
  EXPECT_EQ(db_.Execute(st::UpdateReportFormat("PDF")), 0);
}

TEST_F(Statements, StatementsOnAnIdReadOnlyTheirRows) {
  const int kProjects = 4, kTasks = 6;
  for (int p = 1; p <= kProjects; ++p) {
    AddProject("P");
    const int32_t r = AddResource("R");
    db_.Execute(st::InsertHoliday(r, kToday, kToday + 1));
    for (int t = 0; t < kTasks; ++t) Assign(AddTask("T", p), r, 10);
  }
  EXPECT_EQ(RecordsRead(st::SelectTaskAssignments(3)), 2);  // the assignment and its resource
  EXPECT_EQ(RecordsRead(st::SelectResourceHolidays(2)), 1);
  EXPECT_EQ(RecordsRead(st::SelectResourceHolidayCount(2, kToday, kToday)), 1);
  EXPECT_EQ(RecordsRead(st::SelectAssignmentUnits(5)), 1);
  EXPECT_EQ(RecordsRead(st::UpdateTaskAssignedHours(7, 3)), 1);
  EXPECT_EQ(RecordsRead(st::DeleteResourceAssignments(2)), kTasks);
  EXPECT_EQ(RecordsRead(st::DeleteProjectTasks(3)), kTasks);
}

TEST(RowIds, OnlyWholeNumbersBecomeIds) {
  EXPECT_EQ(TqorRowId("12").Text(), "12");
  EXPECT_EQ(TqorRowId(std::string("7")).Text(), "7");
  EXPECT_EQ(TqorRowId(int64_t{9000000000}).Text(), "9000000000");
  EXPECT_EQ(qorStatements::DeleteTask("15"), qorStatements::DeleteTask(15));
  for (const char* bad : {"", " 1", "1 ", "1 OR 1=1", "1;DELETE FROM Tasks", "0x1F", "-", "1.5",
                          "12345678901234567890"}) {
    EXPECT_THROW(qorStatements::DeleteTask(bad), EqorDatabaseError) << bad;
  }
}

}  // namespace
