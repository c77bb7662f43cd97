// The planner's database: nine tables, their indexes and the one Settings row, as CREATE TABLE,
// CREATE INDEX and INSERT statements run through the engine. The program itself never creates
// a schema: the build makes the template database from these statements, and the command-line
// tools make new planner databases with them.
//
//   Projects     ProjectId AUTOINC key, ProjectName, ProjectTag, StartDate, EndDate,
//                BudgetHours, ActualHours, BudgetCost, ActualCost, IsCompleted, AssignedHours,
//                Notes (memo)
//   Tasks        TaskId AUTOINC key, TaskName, StartDate, EndDate, IsMileStone, IsCompleted,
//                AssignedHours, Progress, Notes (memo), ProjectId (indexed)
//   Resources    ResourceId AUTOINC key, ResourceName, Initials, HoursPerWeek, CostPerHour,
//                MaxUnits, Notes (memo)
//   Assignments  AssignmentId AUTOINC key, TaskId (indexed), ResourceId (indexed), Units
//   Holidays     HolidayId AUTOINC key, ResourceId (indexed), StartDate, EndDate
//   Settings     SettingId key, ProjectFilter (memo), ReportFormat; row 1 = ('', 'PDF')
//   TaskLinks    LinkId AUTOINC key, PredecessorId (indexed), SuccessorId (indexed), LinkType
//                ("FS", "SS", "FF" or "SF"), LagDays (working days; negative: a lead)
//   PlanVersion  Version key: one row, the plan's version (3); a plan without the table is of
//                version 1 (all tables above but TaskLinks)
//   PlanIdentity PlanId key: one row, the plan's own name for good (a random UUID, made with
//                the plan or at its upgrade to version 3), which exports use where another
//                program must know the plan again (the UIDs of iCalendar events)
//
// docs/plan-versions.md lists the versions. A plan of an earlier version is brought up to this
// one by PlannerUpgradeStatements, in one transaction (qorPlanUpgrade.h).
// Text columns hold UTF-8 and are sized in bytes (qorTextColumns.h): four per character of the
// dialogs' limits (tag 25, resource name 50, initials 10 characters); project and task names
// take up to the engine's 255 bytes. A longer text is refused by the engine, never cut. The check
// of a plan at start (qorPlannerCheck.cpp) holds the same tables' fields and indexes: change both
// together.
#pragma once

#include <string>
#include <vector>

namespace zuz {
class TZuzFileSystem;
}

// The version of the plans this program makes and reads.
inline constexpr int kPlanVersion = 3;

// The statements that make an empty planner database of kPlanVersion, in order (each call with a
// new plan id).
std::vector<std::string> PlannerSchemaStatements();
// The statements that bring a plan of the version (1 to kPlanVersion - 1) to the next one;
// none for any other. The step to version 3 makes a new plan id each call.
std::vector<std::string> PlannerUpgradeStatements(int fromVersion);

// A new random plan id: a UUID of version 4 in lower case, "1b4e28ba-2fa1-4d2b-883f-0016d3cca427".
std::string NewPlanId();

// Creates a new planner database at path (the engine's error when the file exists or cannot be
// written) and leaves it closed. Files go through fs (the system's own by default).
void CreatePlannerDatabase(const std::string& path, zuz::TZuzFileSystem* fs = nullptr);
