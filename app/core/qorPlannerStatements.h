// Every SQL statement the planner sends to its database, in one place. Each function takes typed
// values and returns the statement text with every value formatted by the access layer's
// literal formatters (texts quoted with "'" doubled, numbers with ".", dates as 'yyyy-mm-dd',
// flags as -1 and 0, ids as bare digits); the New...Id functions run their look-up through the
// controller. The texts, doubled blanks included, are the ones the planner has always sent, but
// that every ORDER BY ends with the row's key, so that rows that tie keep one order, and that
// the units change and the allocation check have statements of their own for an assignment's
// resource, the units of the others and a resource's MaxUnits.
//
// Tables: Projects, Tasks (ProjectId), Resources, Assignments (TaskId, ResourceId), Holidays
// (ResourceId) and the one Settings row with SettingId 1 (ProjectFilter, ReportFormat).
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

class TqorDatabaseController;

// A row's key as the statements write it: decimal digits. Made from a whole number or from the
// text of a planner document "id"; a text that is not a whole number (empty, blanks, letters,
// SQL) raises EqorDatabaseError, so no id can carry anything else into a statement.
class TqorRowId {
 public:
  template <std::integral T>
  TqorRowId(T id) : text_(std::to_string(static_cast<int64_t>(id))) {}
  TqorRowId(std::string_view id);
  TqorRowId(const std::string& id) : TqorRowId(std::string_view(id)) {}
  TqorRowId(const char* id) : TqorRowId(std::string_view(id ? id : "")) {}

  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// The values of a task's row that the task dialog and the grid change.
struct TqorTaskValues {
  std::string Name;
  double StartDate = 0;
  double EndDate = 0;
  bool IsMilestone = false;
  bool IsCompleted = false;
  double AssignedHours = 0;
  double Progress = 0;
  std::string Notes;
};

// The values of a project's row that the project dialog changes.
struct TqorProjectValues {
  std::string Name;
  std::string Tag;
  double StartDate = 0;
  double EndDate = 0;
  double BudgetHours = 0;
  double ActualHours = 0;
  double BudgetCost = 0;
  double ActualCost = 0;
  bool IsCompleted = false;
  std::string Notes;
};

// The values of a resource's row that the resource dialog changes.
struct TqorResourceValues {
  std::string Name;
  std::string Initials;
  double HoursPerWeek = 0;
  double CostPerHour = 0;
  double MaxUnits = 0;
  std::string Notes;
};

namespace qorStatements {

// --- Loading ---
std::string SelectProjects();
// Ordered by ProjectId, TaskName, TaskId.
std::string SelectTasks();
std::string SelectResources();
std::string SelectAssignments();
std::string SelectHolidays();
std::string SelectSettings();

// --- Tasks ---
// A new task of the project from today to the day after tomorrow, not a milestone, not
// completed, no hours, empty notes (Progress stays null).
std::string InsertTask(std::string_view name, double today, const TqorRowId& projectId);
// The id of the task just inserted.
int32_t NewTaskId(TqorDatabaseController& controller);
std::string DeleteTask(const TqorRowId& taskId);
std::string DeleteTaskAssignments(const TqorRowId& taskId);
// Every value of the task's row but its project (IsCompleted included, so that the completion
// set in the task dialog lasts).
std::string UpdateTask(const TqorRowId& taskId, const TqorTaskValues& task);
std::string UpdateTaskAssignedHours(const TqorRowId& taskId, double hours);

// --- Projects ---
std::string UpdateProjectAssignedHours(const TqorRowId& projectId, double hours);
std::string UpdateProjectDates(const TqorRowId& projectId, double startDate, double endDate);
// A new project from today to today + 30 with empty tag and notes and no hours or costs.
std::string InsertProject(std::string_view name, double today);
int32_t NewProjectId(TqorDatabaseController& controller);
// The cascade of a deleted project, in this order: its tasks' assignments, its tasks, itself.
std::string DeleteProjectAssignments(const TqorRowId& projectId);
std::string DeleteProjectTasks(const TqorRowId& projectId);
std::string DeleteProject(const TqorRowId& projectId);
std::string UpdateProject(const TqorRowId& projectId, const TqorProjectValues& project);

// --- Settings (change no row when the Settings row is missing) ---
// The filter text "[1][4][7]".
std::string UpdateProjectFilter(std::string_view filter);
// "PDF" or "RTF".
std::string UpdateReportFormat(std::string_view format);

// --- Resources ---
// A new resource with the initials "NN", 0 hours per week, 0 cost per hour, 100 max units.
std::string InsertResource(std::string_view name);
int32_t NewResourceId(TqorDatabaseController& controller);
// The cascade of a deleted resource, in this order: its assignments, its holidays, itself.
std::string DeleteResourceAssignments(const TqorRowId& resourceId);
std::string DeleteResourceHolidays(const TqorRowId& resourceId);
std::string DeleteResource(const TqorRowId& resourceId);
std::string UpdateResource(const TqorRowId& resourceId, const TqorResourceValues& resource);

// --- Holidays ---
// The resource's holidays by start date, then id.
std::string SelectResourceHolidays(const TqorRowId& resourceId);
std::string InsertHoliday(const TqorRowId& resourceId, double startDate, double endDate);
int32_t NewHolidayId(TqorDatabaseController& controller);
std::string SelectHoliday(const TqorRowId& holidayId);
std::string UpdateHoliday(const TqorRowId& holidayId, double startDate, double endDate);
std::string DeleteHoliday(const TqorRowId& holidayId);
// Holidays.ResourceId, Resources.ResourceName, StartDate, EndDate (and the HolidayId that
// orders them) of the holidays starting after today - 30 and before today + 365, by resource,
// start and id.
std::string SelectHolidaysReport(double today);

// --- Assignments ---
// The resources not assigned to the task.
std::string SelectResourcesNotOnTask(const TqorRowId& taskId);
// AssignmentId and ResourceName of the task's assignments.
std::string SelectTaskAssignments(const TqorRowId& taskId);
// One row: the sum of the resource's units on tasks overlapping the period (0 when none).
std::string SelectResourceUnits(const TqorRowId& resourceId, double startDate, double endDate);
// As SelectResourceUnits, without the units of the one assignment.
std::string SelectOtherResourceUnits(const TqorRowId& resourceId, double startDate, double endDate,
                                     const TqorRowId& assignmentId);
// One row: the resource's MaxUnits (null when it has none; no row when there is no resource).
std::string SelectResourceMaxUnits(const TqorRowId& resourceId);
// One row: the number of the resource's holidays overlapping the period.
std::string SelectResourceHolidayCount(const TqorRowId& resourceId, double startDate,
                                       double endDate);
std::string InsertAssignment(const TqorRowId& taskId, const TqorRowId& resourceId, double units);
int32_t NewAssignmentId(TqorDatabaseController& controller);
std::string DeleteAssignment(const TqorRowId& assignmentId);
std::string SelectAssignmentUnits(const TqorRowId& assignmentId);
// One row: the ResourceId of the assignment.
std::string SelectAssignmentResource(const TqorRowId& assignmentId);
std::string UpdateAssignmentUnits(const TqorRowId& assignmentId, double units);

}  // namespace qorStatements
