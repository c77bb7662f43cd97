#include "app/core/qorPlannerStatements.h"

#include <charconv>

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

// The conditions of the checked writes: the column holds the value as the literal formatters
// write it; where the document holds 0, "" or false, a null counts as the same (the loader reads
// a null as that).
std::string OrNull(std::string_view column, const std::string& test, bool empty) {
  const std::string c(column);
  return empty ? "(" + c + " IS NULL OR " + test + ")" : test;
}
std::string TextIs(std::string_view column, std::string_view text) {
  return OrNull(column, std::string(column) + "=" + Text(text), text.empty());
}
// A BLOB column compares only as text of a given length: one byte more than the text, so that
// a longer stored text cannot match its own beginning.
std::string BlobIs(std::string_view column, std::string_view text) {
  return OrNull(column,
                "CAST(" + std::string(column) + " AS VARCHAR(" + std::to_string(text.size() + 1) +
                    "))=" + Text(text),
                text.empty());
}
std::string NumberIs(std::string_view column, double n) {
  return OrNull(column, std::string(column) + "=" + Number(n), n == 0);
}
std::string DateIs(std::string_view column, double d) {
  return OrNull(column, std::string(column) + "=" + Date(d), d == 0);
}
std::string FlagIs(std::string_view column, bool b) {
  const std::string c(column);
  return b ? c + "<>0" : "(" + c + " IS NULL OR " + c + "=0)";
}

std::string TaskIs(const TqorTaskValues& t) {
  return TextIs("TaskName", t.Name) + " AND " + DateIs("StartDate", t.StartDate) + " AND " +
         DateIs("EndDate", t.EndDate) + " AND " + FlagIs("IsMileStone", t.IsMilestone) + " AND " +
         FlagIs("IsCompleted", t.IsCompleted) + " AND " + NumberIs("Progress", t.Progress) +
         " AND " + BlobIs("Notes", t.Notes);
}

std::string ProjectIs(const TqorProjectValues& p) {
  return TextIs("ProjectName", p.Name) + " AND " + TextIs("ProjectTag", p.Tag) + " AND " +
         DateIs("StartDate", p.StartDate) + " AND " + DateIs("EndDate", p.EndDate) + " AND " +
         NumberIs("BudgetHours", p.BudgetHours) + " AND " + NumberIs("ActualHours", p.ActualHours) +
         " AND " + NumberIs("BudgetCost", p.BudgetCost) + " AND " +
         NumberIs("ActualCost", p.ActualCost) + " AND " + FlagIs("IsCompleted", p.IsCompleted) +
         " AND " + BlobIs("Notes", p.Notes);
}

std::string ResourceIs(const TqorResourceValues& r) {
  return TextIs("ResourceName", r.Name) + " AND " + TextIs("Initials", r.Initials) + " AND " +
         NumberIs("HoursPerWeek", r.HoursPerWeek) + " AND " +
         NumberIs("CostPerHour", r.CostPerHour) + " AND " + NumberIs("MaxUnits", r.MaxUnits) +
         " AND " + BlobIs("Notes", r.Notes);
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

double StoredNumber(double n) {
  const std::string text = Number(n);
  double stored = n;
  std::from_chars(text.data(), text.data() + text.size(), stored);
  return stored;
}

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
std::string SelectLinks() {
  return "SELECT * FROM TaskLinks ORDER BY LinkId";
}
std::string SelectSettings() {
  return "SELECT * FROM Settings WHERE SettingId=1";
}

std::string SelectTask(const TqorRowId& taskId) {
  return "SELECT * FROM Tasks WHERE TaskId=" + Id(taskId);
}
std::string SelectProject(const TqorRowId& projectId) {
  return "SELECT * FROM Projects WHERE ProjectId=" + Id(projectId);
}
std::string SelectResource(const TqorRowId& resourceId) {
  return "SELECT * FROM Resources WHERE ResourceId=" + Id(resourceId);
}
std::string SelectAssignment(const TqorRowId& assignmentId) {
  return "SELECT * FROM Assignments WHERE AssignmentId=" + Id(assignmentId);
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

std::string UpdateTaskDates(const TqorRowId& taskId, double startDate, double endDate, double hours,
                            double beforeStart, double beforeEnd) {
  return "UPDATE Tasks SET StartDate=" + Date(startDate) + ", EndDate=" + Date(endDate) +
         ", AssignedHours=" + Number(hours) + " WHERE TaskId=" + Id(taskId) + " AND " +
         DateIs("StartDate", beforeStart) + " AND " + DateIs("EndDate", beforeEnd);
}

std::string UpdateTaskAssignedHours(const TqorRowId& taskId, double hours) {
  return "UPDATE Tasks SET  AssignedHours=" + Number(hours) + " WHERE TaskId=" + Id(taskId);
}

std::string UpdateTask(const TqorRowId& taskId, const TqorTaskValues& task,
                       const TqorTaskValues& before) {
  return "UPDATE Tasks SET  TaskName=" + Text(task.Name) + "," +
         " StartDate=" + Date(task.StartDate) + "," + " EndDate=" + Date(task.EndDate) + "," +
         " IsMileStone=" + Flag(task.IsMilestone) + "," + " IsCompleted=" + Flag(task.IsCompleted) +
         "," + " Progress=" + Number(task.Progress) + "," + " Notes=" + Text(task.Notes) +
         " WHERE TaskId=" + Id(taskId) + " AND " + TaskIs(before);
}

std::string CheckTask(const TqorRowId& taskId, const TqorTaskValues& before) {
  return TouchTask(taskId) + " AND " + TaskIs(before);
}

std::string TouchTask(const TqorRowId& taskId) {
  return "UPDATE Tasks SET TaskId=TaskId WHERE TaskId=" + Id(taskId);
}

std::string SelectTaskDates(const TqorRowId& taskId) {
  return "SELECT StartDate, EndDate FROM Tasks WHERE TaskId=" + Id(taskId);
}

std::string SelectTaskHoursParts(const TqorRowId& taskId) {
  return "SELECT Assignments.AssignmentId, Assignments.Units, Resources.HoursPerWeek FROM "
         "Assignments "
         "INNER JOIN Resources "
         "ON Assignments.ResourceId=Resources.ResourceId WHERE Assignments.TaskId=" +
         Id(taskId) + " ORDER BY Assignments.AssignmentId";
}

std::string SelectTaskAssignmentCount(const TqorRowId& taskId) {
  return "SELECT COUNT(AssignmentId) FROM Assignments WHERE TaskId=" + Id(taskId);
}

// --- Projects ---

std::string UpdateProjectAssignedHours(const TqorRowId& projectId, double hours) {
  return "UPDATE Projects SET  AssignedHours=" + Number(hours) +
         " WHERE ProjectId=" + Id(projectId);
}

std::string UpdateProjectAssignedHours(const TqorRowId& projectId, double hours, double before) {
  return UpdateProjectAssignedHours(projectId, hours) + " AND " + NumberIs("AssignedHours", before);
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

std::string UpdateProject(const TqorRowId& projectId, const TqorProjectValues& project,
                          const TqorProjectValues& before) {
  return UpdateProject(projectId, project) + " AND " + ProjectIs(before);
}

std::string UpdateProjectDates(const TqorRowId& projectId, double startDate, double endDate,
                               double beforeStart, double beforeEnd) {
  return UpdateProjectDates(projectId, startDate, endDate) + " AND " +
         DateIs("StartDate", beforeStart) + " AND " + DateIs("EndDate", beforeEnd);
}

std::string CheckProject(const TqorRowId& projectId, const TqorProjectValues& before) {
  return TouchProject(projectId) + " AND " + ProjectIs(before);
}

std::string TouchProject(const TqorRowId& projectId) {
  return "UPDATE Projects SET ProjectId=ProjectId WHERE ProjectId=" + Id(projectId);
}

std::string SelectProjectTaskHours(const TqorRowId& projectId) {
  return "SELECT SUM(AssignedHours) FROM Tasks WHERE ProjectId=" + Id(projectId);
}

std::string SelectProjectTaskCount(const TqorRowId& projectId) {
  return "SELECT COUNT(TaskId) FROM Tasks WHERE ProjectId=" + Id(projectId);
}

std::string SelectProjectAssignmentCount(const TqorRowId& projectId) {
  return "SELECT COUNT(AssignmentId) FROM Assignments WHERE TaskId IN ( SELECT TaskId FROM Tasks "
         "WHERE ProjectId=" +
         Id(projectId) + ")";
}

// --- Settings ---

std::string UpdateProjectFilter(std::string_view filter) {
  return "UPDATE SETTINGS SET  ProjectFilter=" + Text(filter) + " WHERE SettingId=1";
}

std::string UpdateReportFormat(std::string_view format) {
  return "UPDATE Settings SET ReportFormat=" + Text(format) + " WHERE SettingId=1";
}

std::string UpdateProjectFilter(std::string_view filter, std::string_view before) {
  return UpdateProjectFilter(filter) + " AND " + BlobIs("ProjectFilter", before);
}

std::string SelectProjectFilter() {
  return "SELECT ProjectFilter FROM Settings WHERE SettingId=1";
}

std::string SelectReportFormat() {
  return "SELECT ReportFormat FROM Settings WHERE SettingId=1";
}

std::string SelectSettingsCount() {
  return "SELECT COUNT(SettingId) FROM Settings WHERE SettingId=1";
}

std::string UpdateReportFormat(std::string_view format, std::string_view before) {
  // The loader shows the stored format in upper case.
  return UpdateReportFormat(format) + " AND " +
         OrNull("ReportFormat", "UPPER(ReportFormat)=" + Text(before), before.empty());
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

std::string UpdateResource(const TqorRowId& resourceId, const TqorResourceValues& resource,
                           const TqorResourceValues& before) {
  return UpdateResource(resourceId, resource) + " AND " + ResourceIs(before);
}

std::string CheckResource(const TqorRowId& resourceId, const TqorResourceValues& before) {
  return TouchResource(resourceId) + " AND " + ResourceIs(before);
}

std::string TouchResource(const TqorRowId& resourceId) {
  return "UPDATE Resources SET ResourceId=ResourceId WHERE ResourceId=" + Id(resourceId);
}

std::string SelectResourceAssignmentCount(const TqorRowId& resourceId) {
  return "SELECT COUNT(AssignmentId) FROM Assignments WHERE ResourceId=" + Id(resourceId);
}

std::string SelectResourceHolidayTotal(const TqorRowId& resourceId) {
  return "SELECT COUNT(HolidayId) FROM Holidays WHERE ResourceId=" + Id(resourceId);
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

std::string UpdateHoliday(const TqorRowId& holidayId, double startDate, double endDate,
                          const TqorRowId& resourceId, double beforeStart, double beforeEnd) {
  return UpdateHoliday(holidayId, startDate, endDate) + " AND ResourceId=" + Id(resourceId) +
         " AND " + DateIs("StartDate", beforeStart) + " AND " + DateIs("EndDate", beforeEnd);
}

std::string CheckHoliday(const TqorRowId& holidayId, const TqorRowId& resourceId,
                         double beforeStart, double beforeEnd) {
  return "UPDATE Holidays SET HolidayId=HolidayId WHERE HolidayId=" + Id(holidayId) +
         " AND ResourceId=" + Id(resourceId) + " AND " + DateIs("StartDate", beforeStart) +
         " AND " + DateIs("EndDate", beforeEnd);
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

std::string UpdateAssignmentUnits(const TqorRowId& assignmentId, double units,
                                  const TqorRowId& taskId, const TqorRowId& resourceId,
                                  double beforeUnits) {
  return UpdateAssignmentUnits(assignmentId, units) + " AND TaskId=" + Id(taskId) +
         " AND ResourceId=" + Id(resourceId) + " AND " + NumberIs("Units", beforeUnits);
}

std::string CheckAssignment(const TqorRowId& assignmentId, const TqorRowId& taskId,
                            const TqorRowId& resourceId, double beforeUnits) {
  return "UPDATE Assignments SET AssignmentId=AssignmentId WHERE AssignmentId=" + Id(assignmentId) +
         " AND TaskId=" + Id(taskId) + " AND ResourceId=" + Id(resourceId) + " AND " +
         NumberIs("Units", beforeUnits);
}

// --- Links ---

std::string InsertLink(const TqorRowId& predecessorId, const TqorRowId& successorId,
                       std::string_view type, double lagDays) {
  return "INSERT INTO TaskLinks (PredecessorId, SuccessorId, LinkType, LagDays) VALUES (" +
         Id(predecessorId) + "," + Id(successorId) + "," + Text(type) + "," + Number(lagDays) + ")";
}

int32_t NewLinkId(TqorDatabaseController& controller) {
  return controller.NewId("LinkId", "TaskLinks");
}

std::string UpdateLink(const TqorRowId& linkId, std::string_view type, double lagDays,
                       std::string_view beforeType, double beforeLag) {
  return "UPDATE TaskLinks SET LinkType=" + Text(type) + ", LagDays=" + Number(lagDays) +
         " WHERE LinkId=" + Id(linkId) + " AND UPPER(LinkType)=" + Text(beforeType) + " AND " +
         NumberIs("LagDays", beforeLag);
}

std::string CheckLink(const TqorRowId& linkId, const TqorRowId& predecessorId,
                      const TqorRowId& successorId, std::string_view type, double lagDays) {
  return "UPDATE TaskLinks SET LinkId=LinkId WHERE LinkId=" + Id(linkId) +
         " AND PredecessorId=" + Id(predecessorId) + " AND SuccessorId=" + Id(successorId) +
         " AND UPPER(LinkType)=" + Text(type) + " AND " + NumberIs("LagDays", lagDays);
}

std::string DeleteLink(const TqorRowId& linkId) {
  return "DELETE FROM TaskLinks WHERE LinkId=" + Id(linkId);
}

std::string TaskLinksCondition(const TqorRowId& taskId) {
  return "PredecessorId=" + Id(taskId) + " OR SuccessorId=" + Id(taskId);
}

std::string ProjectLinksCondition(const TqorRowId& projectId) {
  const std::string tasks = "(SELECT TaskId FROM Tasks WHERE ProjectId=" + Id(projectId) + ")";
  return "PredecessorId IN " + tasks + " OR SuccessorId IN " + tasks;
}

std::string SelectLinkCount(const std::string& condition) {
  return "SELECT COUNT(LinkId) FROM TaskLinks WHERE " + condition;
}

std::string DeleteTaskLinks(const TqorRowId& taskId) {
  return "DELETE FROM TaskLinks WHERE " + TaskLinksCondition(taskId);
}

std::string DeleteProjectLinks(const TqorRowId& projectId) {
  return "DELETE FROM TaskLinks WHERE " + ProjectLinksCondition(projectId);
}

}  // namespace qorStatements
