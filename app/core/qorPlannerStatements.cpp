#include "app/core/qorPlannerStatements.h"

#include "db/access/qorDatabaseController.h"

namespace {

using C = TqorDatabaseController;

std::string Text(std::string_view s) {
  return C::SQLString(s);
}
std::string Date(double d) {
  return C::SQLDate(d);
}
std::string Number(double n) {
  return C::SQLFloat(n);
}
std::string Flag(bool b) {
  return C::SQLBoolean(b);
}
const std::string& Id(const TqorRowId& id) {
  return id.Text();
}

}  // namespace

TqorRowId::TqorRowId(std::string_view id) {
  std::string_view digits = id;
  if (!digits.empty() && digits.front() == '-') digits.remove_prefix(1);
  // Up to 18 digits always fit a 64-bit number.
  bool ok = !digits.empty() && digits.size() <= 18;
  for (char c : digits) ok = ok && c >= '0' && c <= '9';
  if (!ok) throw EqorDatabaseError("'" + std::string(id) + "' is not a valid id");
  text_ = id;
}

namespace qorStatements {

// --- Loading ---

std::string SelectProjects() {
  return "SELECT * FROM Projects";
}
std::string SelectTasks() {
  return "SELECT * FROM Tasks ORDER BY ProjectId, TaskName, TaskId";
}
std::string SelectResources() {
  return "SELECT * FROM Resources";
}
std::string SelectAssignments() {
  return "SELECT * FROM Assignments";
}
std::string SelectHolidays() {
  return "SELECT * FROM Holidays";
}
std::string SelectSettings() {
  return "SELECT * FROM Settings WHERE SettingId=1";
}

// --- Tasks ---

std::string InsertTask(std::string_view name, double today, const TqorRowId& projectId) {
  return "INSERT INTO Tasks (TaskName, StartDate, EndDate, IsMileStone, IsCompleted, "
         "AssignedHours, Notes, ProjectId) VALUES (" +
         Text(name) + "," + Date(today) + "," + Date(today + 2) + "," + Flag(false) + "," +
         Flag(false) + "," + "0," + Text("") + "," + Id(projectId) + ")";
}

int32_t NewTaskId(TqorDatabaseController& controller) {
  return controller.NewId("TaskId", "Tasks");
}

std::string DeleteTask(const TqorRowId& taskId) {
  return "DELETE FROM Tasks WHERE TaskId=" + Id(taskId);
}

std::string DeleteTaskAssignments(const TqorRowId& taskId) {
  return "DELETE FROM Assignments WHERE TaskId=" + Id(taskId);
}

std::string UpdateTask(const TqorRowId& taskId, const TqorTaskValues& task) {
  return "UPDATE Tasks SET  TaskName=" + Text(task.Name) + "," +
         " StartDate=" + Date(task.StartDate) + "," + " EndDate=" + Date(task.EndDate) + "," +
         " IsMileStone=" + Flag(task.IsMilestone) + "," + " IsCompleted=" + Flag(task.IsCompleted) +
         "," + " AssignedHours=" + Number(task.AssignedHours) + "," +
         " Progress=" + Number(task.Progress) + "," + " Notes=" + Text(task.Notes) +
         " WHERE TaskId=" + Id(taskId);
}

std::string UpdateTaskAssignedHours(const TqorRowId& taskId, double hours) {
  return "UPDATE Tasks SET  AssignedHours=" + Number(hours) + " WHERE TaskId=" + Id(taskId);
}

// --- Projects ---

std::string UpdateProjectAssignedHours(const TqorRowId& projectId, double hours) {
  return "UPDATE Projects SET  AssignedHours=" + Number(hours) +
         " WHERE ProjectId=" + Id(projectId);
}

std::string UpdateProjectDates(const TqorRowId& projectId, double startDate, double endDate) {
  // The SET list ends with a comma before WHERE, which the engine accepts.
  return "UPDATE Projects SET  StartDate=" + Date(startDate) + "," + " EndDate=" + Date(endDate) +
         "," + " WHERE ProjectId=" + Id(projectId);
}

std::string InsertProject(std::string_view name, double today) {
  return "INSERT INTO Projects (ProjectName, ProjectTag, StartDate, EndDate, BudgetHours, "
         "ActualHours, BudgetCost, ActualCost, IsCompleted, AssignedHours, Notes) VALUES (" +
         Text(name) + "," + Text("") + "," + Date(today) + "," + Date(today + 30) + "," +
         "0,0,0,0," + Flag(false) + ",0," + Text("") + ")";
}

int32_t NewProjectId(TqorDatabaseController& controller) {
  return controller.NewId("ProjectId", "Projects");
}

std::string DeleteProjectAssignments(const TqorRowId& projectId) {
  return "DELETE FROM Assignments WHERE TaskId IN ( SELECT TaskId FROM Tasks WHERE ProjectId=" +
         Id(projectId) + ")";
}

std::string DeleteProjectTasks(const TqorRowId& projectId) {
  return "DELETE FROM Tasks WHERE ProjectId=" + Id(projectId);
}

std::string DeleteProject(const TqorRowId& projectId) {
  return "DELETE FROM Projects WHERE ProjectId=" + Id(projectId);
}

std::string UpdateProject(const TqorRowId& projectId, const TqorProjectValues& project) {
  return "UPDATE Projects SET  ProjectName=" + Text(project.Name) + "," +
         " ProjectTag=" + Text(project.Tag) + "," + " StartDate=" + Date(project.StartDate) + "," +
         " EndDate=" + Date(project.EndDate) + "," + " BudgetHours=" + Number(project.BudgetHours) +
         "," + " ActualHours=" + Number(project.ActualHours) + "," +
         " BudgetCost=" + Number(project.BudgetCost) + "," +
         " ActualCost=" + Number(project.ActualCost) + "," +
         " IsCompleted=" + Flag(project.IsCompleted) + "," + " Notes=" + Text(project.Notes) +
         " WHERE ProjectId=" + Id(projectId);
}

// --- Settings ---

std::string UpdateProjectFilter(std::string_view filter) {
  return "UPDATE SETTINGS SET  ProjectFilter=" + Text(filter) + " WHERE SettingId=1";
}

std::string UpdateReportFormat(std::string_view format) {
  return "UPDATE Settings SET ReportFormat=" + Text(format) + " WHERE SettingId=1";
}

// --- Resources ---

std::string InsertResource(std::string_view name) {
  return "INSERT INTO Resources (ResourceName, Initials, HoursPerWeek, CostPerHour, MaxUnits, "
         "Notes) VALUES (" +
         Text(name) + "," + Text("NN") + ",0,0,100," + Text("") + ")";
}

int32_t NewResourceId(TqorDatabaseController& controller) {
  return controller.NewId("ResourceId", "Resources");
}

std::string DeleteResourceAssignments(const TqorRowId& resourceId) {
  return "DELETE FROM Assignments WHERE ResourceId=" + Id(resourceId);
}

std::string DeleteResourceHolidays(const TqorRowId& resourceId) {
  return "DELETE FROM Holidays WHERE ResourceId=" + Id(resourceId);
}

std::string DeleteResource(const TqorRowId& resourceId) {
  return "DELETE FROM Resources WHERE ResourceId=" + Id(resourceId);
}

std::string UpdateResource(const TqorRowId& resourceId, const TqorResourceValues& resource) {
  return "UPDATE Resources SET  ResourceName=" + Text(resource.Name) + "," +
         " Initials=" + Text(resource.Initials) + "," +
         " HoursPerWeek=" + Number(resource.HoursPerWeek) + "," +
         " CostPerHour=" + Number(resource.CostPerHour) + "," +
         " MaxUnits=" + Number(resource.MaxUnits) + "," + " Notes=" + Text(resource.Notes) +
         " WHERE ResourceId=" + Id(resourceId);
}

// --- Holidays ---

std::string SelectResourceHolidays(const TqorRowId& resourceId) {
  return "SELECT * FROM Holidays WHERE  ResourceId=" + Id(resourceId) +
         " ORDER BY StartDate, HolidayId";
}

std::string InsertHoliday(const TqorRowId& resourceId, double startDate, double endDate) {
  return "INSERT INTO Holidays (ResourceId, StartDate, EndDate) VALUES (" + Id(resourceId) + "," +
         Date(startDate) + "," + Date(endDate) + ")";
}

int32_t NewHolidayId(TqorDatabaseController& controller) {
  return controller.NewId("HolidayId", "Holidays");
}

std::string SelectHoliday(const TqorRowId& holidayId) {
  return "SELECT * FROM Holidays WHERE  HolidayId=" + Id(holidayId);
}

std::string UpdateHoliday(const TqorRowId& holidayId, double startDate, double endDate) {
  return "UPDATE Holidays SET  StartDate=" + Date(startDate) + "," + " EndDate=" + Date(endDate) +
         " WHERE HolidayId=" + Id(holidayId);
}

std::string DeleteHoliday(const TqorRowId& holidayId) {
  return "DELETE FROM Holidays WHERE HolidayId=" + Id(holidayId);
}

std::string SelectHolidaysReport(double today) {
  return "SELECT Holidays.ResourceId, Resources.ResourceName, Holidays.StartDate, "
         "Holidays.EndDate, Holidays.HolidayId  FROM Holidays INNER JOIN Resources ON "
         "Holidays.ResourceId=Resources.ResourceId WHERE Holidays.StartDate>" +
         Date(today - 30) + " AND Holidays.StartDate<" + Date(today + 365) +
         " ORDER BY Holidays.ResourceId, Holidays.StartDate, Holidays.HolidayId";
}

// --- Assignments ---

std::string SelectResourcesNotOnTask(const TqorRowId& taskId) {
  return "SELECT * FROM Resources WHERE ResourceId NOT IN (SELECT ResourceId FROM Assignments "
         "WHERE TaskId=" +
         Id(taskId) + ")";
}

std::string SelectTaskAssignments(const TqorRowId& taskId) {
  return "SELECT Assignments.AssignmentId, Resources.ResourceName FROM Assignments INNER JOIN "
         "Resources  ON Assignments.ResourceId=Resources.ResourceId WHERE Assignments.TaskId=" +
         Id(taskId);
}

std::string SelectResourceUnits(const TqorRowId& resourceId, double startDate, double endDate) {
  return "SELECT Sum(Assignments.Units) FROM Assignments INNER JOIN Tasks  ON "
         "Assignments.TaskId=Tasks.TaskId  WHERE Assignments.ResourceId=" +
         Id(resourceId) + " AND ((Tasks.EndDate>=" + Date(startDate) + ") " +
         " AND (Tasks.StartDate<=" + Date(endDate) + ")) ";
}

std::string SelectOtherResourceUnits(const TqorRowId& resourceId, double startDate, double endDate,
                                     const TqorRowId& assignmentId) {
  return SelectResourceUnits(resourceId, startDate, endDate) + "AND (Assignments.AssignmentId<>" +
         Id(assignmentId) + ") ";
}

std::string SelectResourceMaxUnits(const TqorRowId& resourceId) {
  return "SELECT MaxUnits FROM Resources WHERE ResourceId=" + Id(resourceId);
}

std::string SelectResourceHolidayCount(const TqorRowId& resourceId, double startDate,
                                       double endDate) {
  return "SELECT COUNT(HolidayId) FROM Holidays WHERE  ResourceId=" + Id(resourceId) +
         " AND ((Holidays.EndDate>=" + Date(startDate) + ") " +
         " AND (Holidays.StartDate<=" + Date(endDate) + ")) ";
}

std::string InsertAssignment(const TqorRowId& taskId, const TqorRowId& resourceId, double units) {
  return "INSERT INTO Assignments (TaskId, ResourceId, Units) VALUES (" + Id(taskId) + "," +
         Id(resourceId) + "," + Number(units) + ")";
}

int32_t NewAssignmentId(TqorDatabaseController& controller) {
  return controller.NewId("AssignmentId", "Assignments");
}

std::string DeleteAssignment(const TqorRowId& assignmentId) {
  return "DELETE FROM Assignments  WHERE AssignmentId=" + Id(assignmentId);
}

std::string SelectAssignmentUnits(const TqorRowId& assignmentId) {
  return "SELECT Units FROM Assignments  WHERE AssignmentId=" + Id(assignmentId);
}

std::string SelectAssignmentResource(const TqorRowId& assignmentId) {
  return "SELECT ResourceId FROM Assignments  WHERE AssignmentId=" + Id(assignmentId);
}

std::string UpdateAssignmentUnits(const TqorRowId& assignmentId, double units) {
  return "UPDATE Assignments SET  Units=" + Number(units) +
         " WHERE AssignmentId=" + Id(assignmentId);
}

}  // namespace qorStatements
