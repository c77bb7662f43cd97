// After a write refused because another program changed or deleted the row first: the planner
// document's element is put back to what its row now holds, or leaves the document with what
// belongs to it when the row is gone, and EqorChangedElsewhere names the row as the user knows
// it. The put-back reads the file; an error while reading is dropped, so that the error the
// user sees is the one about the changed row.
#pragma once

#include <string>

class TqorDatabaseController;
class TqorPlannerModel;
class TqorXMLNode2;

namespace qorStoredRows {

// "Task 'name'", "Project 'name'", "Resource 'name'" of the element.
std::string TaskName(const TqorXMLNode2* task);
// "Task 'name'" of a task shown with that name.
std::string TaskName(const std::string& name);
std::string ProjectName(const TqorXMLNode2* project);
std::string ResourceName(const TqorXMLNode2* resource);
// "The holiday of 'resource' from dd-mm-yyyy to dd-mm-yyyy".
std::string HolidayName(const TqorPlannerModel& planner, const std::string& resourceId,
                        double startDate, double endDate);
// "The assignment of 'resource' to 'task'".
std::string AssignmentName(const TqorPlannerModel& planner, const std::string& resourceId,
                           const std::string& taskId);
inline constexpr const char* kProjectFilter = "The project filter";
inline constexpr const char* kReportFormat = "The report format";

// Each puts the element back (or removes it) with the elements that belong to it (a project's
// tasks, a task's assignments, a resource's assignments and holidays) and rebuilds the rows.
// Rows another program added are not added: the next reload shows them. The element pointer
// is not to be used afterwards when the row was gone.
void PutBackTask(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* task);
void PutBackProject(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* project);
// The resource with its assignments and holidays.
void PutBackResource(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* resource);
// The holiday element with that id (none is added when the document does not have it).
void PutBackHoliday(TqorDatabaseController& db, TqorPlannerModel& planner,
                    const std::string& holidayId);
void PutBackAssignment(TqorDatabaseController& db, TqorPlannerModel& planner,
                       const std::string& assignmentId);
// The planner's project filter as stored.
void PutBackProjectFilter(TqorDatabaseController& db, TqorPlannerModel& planner);

// Puts nothing back: throws EqorChangedElsewhere(row).
[[noreturn]] void Refuse(const std::string& row);

}  // namespace qorStoredRows
