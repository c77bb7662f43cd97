#include "app/core/qorPlannerSchema.h"

#include <random>

#include "app/core/qorTextColumns.h"
#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"

namespace {

// A text column of the size its limit gives.
std::string Varchar(size_t bytes) {
  return "VARCHAR(" + std::to_string(bytes) + ")";
}

}  // namespace

std::vector<std::string> PlannerSchemaStatements() {
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
  std::vector<std::string> all = statements;
  for (int version = 1; version < kPlanVersion; ++version)
    for (std::string& statement : PlannerUpgradeStatements(version))
      all.push_back(std::move(statement));
  return all;
}

std::vector<std::string> PlannerUpgradeStatements(int fromVersion) {
  // Version 2: the links between tasks, and the table that records the version.
  static const std::vector<std::string> toVersion2 = {
      "CREATE TABLE TaskLinks (LinkId AUTOINC, PredecessorId INTEGER, SuccessorId INTEGER, "
      "LinkType VARCHAR(2), LagDays FLOAT, PRIMARY KEY (LinkId), "
      "INDEX ixTaskLinksPredecessorId (PredecessorId), INDEX ixTaskLinksSuccessorId (SuccessorId))",
      "CREATE TABLE PlanVersion (Version INTEGER, PRIMARY KEY (Version))",
      "INSERT INTO PlanVersion (Version) VALUES (2)",
  };
  if (fromVersion == 1) return toVersion2;
  // Version 3: the plan's own id.
  if (fromVersion == 2)
    return {"CREATE TABLE PlanIdentity (PlanId VARCHAR(36), PRIMARY KEY (PlanId))",
            "INSERT INTO PlanIdentity (PlanId) VALUES ('" + NewPlanId() + "')",
            "UPDATE PlanVersion SET Version=3"};
  return {};
}

std::string NewPlanId() {
  std::random_device device;
  std::uniform_int_distribution<int> nibble(0, 15);
  static const char kHex[] = "0123456789abcdef";
  std::string id;
  for (int i = 0; i < 32; ++i) {
    int value = nibble(device);
    if (i == 12) value = 4;                // version 4: random
    if (i == 16) value = 8 | (value & 3);  // the variant of RFC 4122
    if (i == 8 || i == 12 || i == 16 || i == 20) id += '-';
    id += kHex[value];
  }
  return id;
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
