#include "app/core/qorPlannerSchema.h"

#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"

const std::vector<std::string>& PlannerSchemaStatements() {
  static const std::vector<std::string> statements = {
      "CREATE TABLE Projects (ProjectId AUTOINC, ProjectName VARCHAR(255), "
      "ProjectTag VARCHAR(100), StartDate DATE, EndDate DATE, BudgetHours FLOAT, "
      "ActualHours FLOAT, BudgetCost FLOAT, ActualCost FLOAT, IsCompleted BOOLEAN, "
      "AssignedHours FLOAT, Notes BLOB(1,1), PRIMARY KEY (ProjectId))",
      "CREATE TABLE Tasks (TaskId AUTOINC, TaskName VARCHAR(255), StartDate DATE, "
      "EndDate DATE, IsMileStone BOOLEAN, IsCompleted BOOLEAN, AssignedHours FLOAT, "
      "Progress FLOAT, Notes BLOB(1,1), ProjectId INTEGER, PRIMARY KEY (TaskId))",
      "CREATE INDEX ixTasksProjectId ON Tasks (ProjectId)",
      "CREATE TABLE Resources (ResourceId AUTOINC, ResourceName VARCHAR(200), "
      "Initials VARCHAR(40), HoursPerWeek FLOAT, CostPerHour FLOAT, MaxUnits FLOAT, "
      "Notes BLOB(1,1), PRIMARY KEY (ResourceId))",
      "CREATE TABLE Assignments (AssignmentId AUTOINC, TaskId INTEGER, ResourceId INTEGER, "
      "Units FLOAT, PRIMARY KEY (AssignmentId))",
      "CREATE INDEX ixAssignmentsTaskId ON Assignments (TaskId)",
      "CREATE INDEX ixAssignmentsResourceId ON Assignments (ResourceId)",
      "CREATE TABLE Holidays (HolidayId AUTOINC, ResourceId INTEGER, StartDate DATE, "
      "EndDate DATE, PRIMARY KEY (HolidayId))",
      "CREATE INDEX ixHolidaysResourceId ON Holidays (ResourceId)",
      "CREATE TABLE Settings (SettingId INTEGER, ProjectFilter BLOB(1,1), "
      "ReportFormat VARCHAR(10), PRIMARY KEY (SettingId))",
      "INSERT INTO Settings (SettingId, ProjectFilter, ReportFormat) VALUES (1, '', 'PDF')",
  };
  return statements;
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
