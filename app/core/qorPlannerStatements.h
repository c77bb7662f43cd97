// Every SQL statement the planner sends to its database, in one place. Each function takes typed
// values and returns the statement text with every value formatted by the access layer's
// literal formatters (texts quoted with "'" doubled, numbers with ".", dates as 'yyyy-mm-dd',
// flags as -1 and 0, ids as bare digits); the New...Id functions run their look-up through the
// controller. The texts, doubled blanks included, are the ones the planner has always sent, but
// that every ORDER BY ends with the row's key, so that rows that tie keep one order, and that
// the units change and the allocation check have statements of their own for an assignment's
// resource, the units of the others and a resource's MaxUnits.
//
// The checked writes take the values this program last read or wrote of the row (before): their
// WHERE holds only while the row still has them in every column the statement overwrites (a
// null stored where the document holds 0, "" or false counts as the same), so that a row another
// program changed or deleted in the meantime is not written: Execute then returns 0. Roll-ups
// (assigned hours) are not compared; they are recomputed from the stored rows.
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

// The number as the statements' literals store it (15 significant digits): what a load reads
// back, for a document that is to hold what the file holds.
double StoredNumber(double n);

// --- Loading ---
std::string SelectProjects();
// Ordered by ProjectId, TaskName, TaskId.
std::string SelectTasks();
std::string SelectResources();
std::string SelectAssignments();
std::string SelectHolidays();
// Every link by id (plans of version 2 on).
std::string SelectLinks();
std::string SelectSettings();
// One row each (none when it is gone): for putting an element back to what its row holds.
std::string SelectTask(const TqorRowId& taskId);
std::string SelectProject(const TqorRowId& projectId);
std::string SelectResource(const TqorRowId& resourceId);
std::string SelectAssignment(const TqorRowId& assignmentId);

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
// A task moved by the schedule: its dates and hours, while its dates are before.
std::string UpdateTaskDates(const TqorRowId& taskId, double startDate, double endDate, double hours,
                            double beforeStart, double beforeEnd);
// Checked: every value of the task's row but its project and its assigned hours.
std::string UpdateTask(const TqorRowId& taskId, const TqorTaskValues& task,
                       const TqorTaskValues& before);
// Writes nothing but counts 1 while the task's row holds before (the check before a delete: a
// DELETE does not take a condition on a notes column) and keeps others from changing it until
// the transaction ends.
std::string CheckTask(const TqorRowId& taskId, const TqorTaskValues& before);
// Writes nothing but counts 1 while the task's row is there (and keeps others from deleting it
// until the transaction ends).
std::string TouchTask(const TqorRowId& taskId);
// StartDate, EndDate of the task; AssignmentId, Units and HoursPerWeek of each of its assignments
// whose resource is there, by AssignmentId: what the task's assigned hours are made of.
std::string SelectTaskDates(const TqorRowId& taskId);
std::string SelectTaskHoursParts(const TqorRowId& taskId);
// One row: the number of the task's assignments.
std::string SelectTaskAssignmentCount(const TqorRowId& taskId);

// --- Projects ---
std::string UpdateProjectAssignedHours(const TqorRowId& projectId, double hours);
// Checked: while the stored hours are before (the roll-up then falls back on the sum of the
// stored tasks' hours).
std::string UpdateProjectAssignedHours(const TqorRowId& projectId, double hours, double before);
std::string UpdateProjectDates(const TqorRowId& projectId, double startDate, double endDate);
// A new project from today to today + 30 with empty tag and notes and no hours or costs.
std::string InsertProject(std::string_view name, double today);
int32_t NewProjectId(TqorDatabaseController& controller);
// The cascade of a deleted project, in this order: its tasks' assignments, its tasks, itself.
std::string DeleteProjectAssignments(const TqorRowId& projectId);
std::string DeleteProjectTasks(const TqorRowId& projectId);
std::string DeleteProject(const TqorRowId& projectId);
std::string UpdateProject(const TqorRowId& projectId, const TqorProjectValues& project);
// Checked: the project's values (its assigned hours not) and the project's dates.
std::string UpdateProject(const TqorRowId& projectId, const TqorProjectValues& project,
                          const TqorProjectValues& before);
std::string UpdateProjectDates(const TqorRowId& projectId, double startDate, double endDate,
                               double beforeStart, double beforeEnd);
// As CheckTask for the project's row.
std::string CheckProject(const TqorRowId& projectId, const TqorProjectValues& before);
std::string TouchProject(const TqorRowId& projectId);
// One row: the sum of the stored assigned hours of the project's tasks (0 when none).
std::string SelectProjectTaskHours(const TqorRowId& projectId);
// One row: the number of the project's tasks.
std::string SelectProjectTaskCount(const TqorRowId& projectId);
// One row: the number of assignments of the project's tasks.
std::string SelectProjectAssignmentCount(const TqorRowId& projectId);

// --- Settings (change no row when the Settings row is missing) ---
// The filter text "[1][4][7]".
std::string UpdateProjectFilter(std::string_view filter);
// "PDF" or "RTF".
std::string UpdateReportFormat(std::string_view format);
// Checked: the stored filter is before; the stored format is before in any case.
std::string UpdateProjectFilter(std::string_view filter, std::string_view before);
// One row: 1 when the Settings row is there, else 0.
std::string SelectSettingsCount();
std::string SelectReportFormat();
std::string SelectProjectFilter();
std::string UpdateReportFormat(std::string_view format, std::string_view before);

// --- Resources ---
// A new resource with the initials "NN", 0 hours per week, 0 cost per hour, 100 max units.
std::string InsertResource(std::string_view name);
int32_t NewResourceId(TqorDatabaseController& controller);
// The cascade of a deleted resource, in this order: its assignments, its holidays, itself.
std::string DeleteResourceAssignments(const TqorRowId& resourceId);
std::string DeleteResourceHolidays(const TqorRowId& resourceId);
std::string DeleteResource(const TqorRowId& resourceId);
std::string UpdateResource(const TqorRowId& resourceId, const TqorResourceValues& resource);
// Checked: the resource's row.
std::string UpdateResource(const TqorRowId& resourceId, const TqorResourceValues& resource,
                           const TqorResourceValues& before);
// As CheckTask for the resource's row.
std::string CheckResource(const TqorRowId& resourceId, const TqorResourceValues& before);
std::string TouchResource(const TqorRowId& resourceId);
// One row: the number of the resource's assignments, and of its holidays.
std::string SelectResourceAssignmentCount(const TqorRowId& resourceId);
std::string SelectResourceHolidayTotal(const TqorRowId& resourceId);

// --- Holidays ---
// The resource's holidays by start date, then id.
std::string SelectResourceHolidays(const TqorRowId& resourceId);
std::string InsertHoliday(const TqorRowId& resourceId, double startDate, double endDate);
int32_t NewHolidayId(TqorDatabaseController& controller);
std::string SelectHoliday(const TqorRowId& holidayId);
std::string UpdateHoliday(const TqorRowId& holidayId, double startDate, double endDate);
std::string DeleteHoliday(const TqorRowId& holidayId);
// Checked: the holiday's resource and dates.
std::string UpdateHoliday(const TqorRowId& holidayId, double startDate, double endDate,
                          const TqorRowId& resourceId, double beforeStart, double beforeEnd);
// As CheckTask for the holiday's row.
std::string CheckHoliday(const TqorRowId& holidayId, const TqorRowId& resourceId,
                         double beforeStart, double beforeEnd);
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
// Checked: the assignment's task, resource and units.
std::string UpdateAssignmentUnits(const TqorRowId& assignmentId, double units,
                                  const TqorRowId& taskId, const TqorRowId& resourceId,
                                  double beforeUnits);
// As CheckTask for the assignment's row.
std::string CheckAssignment(const TqorRowId& assignmentId, const TqorRowId& taskId,
                            const TqorRowId& resourceId, double beforeUnits);

// --- Links between tasks (plans of version 2 on) ---
// A link: the successor waits for the predecessor as the type says ("FS", "SS", "FF", "SF"),
// lag working days later (negative: earlier).
std::string InsertLink(const TqorRowId& predecessorId, const TqorRowId& successorId,
                       std::string_view type, double lagDays);
int32_t NewLinkId(TqorDatabaseController& controller);
// Checked: while the link's type and lag are before.
std::string UpdateLink(const TqorRowId& linkId, std::string_view type, double lagDays,
                       std::string_view beforeType, double beforeLag);
// Writes nothing but counts 1 while the link's row holds these values.
std::string CheckLink(const TqorRowId& linkId, const TqorRowId& predecessorId,
                      const TqorRowId& successorId, std::string_view type, double lagDays);
std::string DeleteLink(const TqorRowId& linkId);
// The links of the task, either end.
std::string DeleteTaskLinks(const TqorRowId& taskId);
// The links that have a task of the project at either end.
std::string DeleteProjectLinks(const TqorRowId& projectId);
// The condition of the links of a task, and of a project's tasks (for the edit history).
std::string TaskLinksCondition(const TqorRowId& taskId);
std::string ProjectLinksCondition(const TqorRowId& projectId);
// One row: the number of links meeting the condition.
std::string SelectLinkCount(const std::string& condition);

}  // namespace qorStatements
