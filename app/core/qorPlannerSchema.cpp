#include "app/core/qorPlannerSchema.h"

#include "app/core/qorTextColumns.h"
#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"

namespace {

// A text column of the size its limit gives.
std::string Varchar(size_t bytes) {
  return "VARCHAR(" + std::to_string(bytes) + ")";
}

}  // namespace

const std::vector<std::string>& PlannerSchemaStatements() {
  // Long statements stand over several lines as adjacent literals.
  // NOLINTBEGIN(bugprone-suspicious-missing-comma)
  static const std::vector<std::string> statements = {
      "CREATE TABLE Projects (ProjectId AUTOINC, ProjectName " + Varchar(kProjectNameBytes) +
          ", ProjectTag " + Varchar(kProjectTagBytes) +
          ", StartDate DATE, EndDate DATE, BudgetHours FLOAT, "
          "ActualHours FLOAT, BudgetCost FLOAT, ActualCost FLOAT, IsCompleted BOOLEAN, "
          "AssignedHours FLOAT, Notes BLOB(1,1), PRIMARY KEY (ProjectId))",
      "CREATE TABLE Tasks (TaskId AUTOINC, TaskName " + Varchar(kTaskNameBytes) +
          ", StartDate DATE, "
          "EndDate DATE, IsMileStone BOOLEAN, IsCompleted BOOLEAN, AssignedHours FLOAT, "
          "Progress FLOAT, Notes BLOB(1,1), ProjectId INTEGER, PRIMARY KEY (TaskId))",
      "CREATE INDEX ixTasksProjectId ON Tasks (ProjectId)",
      "CREATE TABLE Resources (ResourceId AUTOINC, ResourceName " + Varchar(kResourceNameBytes) +
          ", Initials " + Varchar(kInitialsBytes) +
          ", HoursPerWeek FLOAT, CostPerHour FLOAT, MaxUnits FLOAT, "
          "Notes BLOB(1,1), PRIMARY KEY (ResourceId))",
      "CREATE TABLE Assignments (AssignmentId AUTOINC, TaskId INTEGER, ResourceId INTEGER, "
      "Units FLOAT, PRIMARY KEY (AssignmentId))",
      "CREATE INDEX ixAssignmentsTaskId ON Assignments (TaskId)",
      "CREATE INDEX ixAssignmentsResourceId ON Assignments (ResourceId)",
      "CREATE TABLE Holidays (HolidayId AUTOINC, ResourceId INTEGER, StartDate DATE, "
      "EndDate DATE, PRIMARY KEY (HolidayId))",
      "CREATE INDEX ixHolidaysResourceId ON Holidays (ResourceId)",
      "CREATE TABLE Settings (SettingId INTEGER, ProjectFilter BLOB(1,1), "
      "ReportFormat " +
          Varchar(kReportFormatBytes) + ", PRIMARY KEY (SettingId))",
      "INSERT INTO Settings (SettingId, ProjectFilter, ReportFormat) VALUES (1, '', 'PDF')",
  };
  // NOLINTEND(bugprone-suspicious-missing-comma)
  static const std::vector<std::string> all = [] {
    std::vector<std::string> list = statements;
    for (const std::string& statement : PlannerUpgradeStatements(1)) list.push_back(statement);
    return list;
  }();
  return all;
}

const std::vector<std::string>& PlannerUpgradeStatements(int fromVersion) {
  // Version 2: the links between tasks, and the table that records the version.
  static const std::vector<std::string> toVersion2 = {
      "CREATE TABLE TaskLinks (LinkId AUTOINC, PredecessorId INTEGER, SuccessorId INTEGER, "
      "LinkType VARCHAR(2), LagDays FLOAT, PRIMARY KEY (LinkId), "
      "INDEX ixTaskLinksPredecessorId (PredecessorId), INDEX ixTaskLinksSuccessorId (SuccessorId))",
      "CREATE TABLE PlanVersion (Version INTEGER, PRIMARY KEY (Version))",
      "INSERT INTO PlanVersion (Version) VALUES (2)",
  };
  static const std::vector<std::string> none;
  return fromVersion == 1 ? toVersion2 : none;
}

void CreatePlannerDatabase(const std::string& path, zuz::TZuzFileSystem* fs) {
  {
    zuz::TZuzDataBase db(fs);
    db.SetDataBaseName(path);
    db.CreateDatabase();
  }
  TqorDatabaseController controller(fs);
  // Alone on the new file, so that the tables are made without waiting for anyone.
  controller.Database().SetExclusive(true);
  controller.OpenDatabase(path);
  for (const std::string& statement : PlannerSchemaStatements()) controller.Execute(statement);
  controller.CloseDatabase();
}
