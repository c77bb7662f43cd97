// Loading a plan from its database into the planner document, without any window. The six
// steps run in this order (tasks need their projects, assignments and links their tasks):
//   LoadProjects     "project" per Projects row (expanded), with every column as an attribute
//   LoadTasks        "task" per Tasks row under its project, then each project's tasks sorted
//                    by end date and the rows rebuilt; a task whose project is missing is skipped
//   LoadResources    "resource" per Resources row
//   LoadAssignments  "assignment" per Assignments row under its task; orphans are skipped
//   LoadHolidays     "holiday" per Holidays row
//   LoadSettings     the Settings row: the project filter (which rebuilds the rows) and the
//                    report format in upper case; "" and "PDF" when the row is missing
//   LoadLinks        "link" per TaskLinks row whose two tasks are in the plan, in the links
//                    container (made only for a plan with links); nothing for a plan of
//                    version 1, which has no links
// Values are stored as read: ids, names and notes as text, dates as day numbers, hours, costs,
// units and progress as reals, flags as booleans; null fields as "", 0 and false. Nothing is
// computed: assigned hours are taken as stored.
//
// An error (a missing table or column, a value that does not convert) ends the step where it
// happens; the elements added before it stay. The first five steps return the number of rows
// they read (orphans included). LoadCheckedPlanner (qorPlannerCheck.h) loads with the checks of
// a damaged plan.
#pragma once

#include <cstddef>
#include <string>

class TqorDatabaseController;
class TqorPlannerModel;

struct TqorPlannerSettings {
  // "[1][4][7]": the projects shown.
  std::string ProjectFilter;
  // "PDF", "RTF", or any other text stored (in upper case).
  std::string ReportFormat = "PDF";
};

size_t LoadProjects(TqorDatabaseController& controller, TqorPlannerModel& planner);
size_t LoadTasks(TqorDatabaseController& controller, TqorPlannerModel& planner);
size_t LoadResources(TqorDatabaseController& controller, TqorPlannerModel& planner);
size_t LoadAssignments(TqorDatabaseController& controller, TqorPlannerModel& planner);
size_t LoadHolidays(TqorDatabaseController& controller, TqorPlannerModel& planner);
// Sets the planner's project filter and returns the settings read.
TqorPlannerSettings LoadSettings(TqorDatabaseController& controller, TqorPlannerModel& planner);
size_t LoadLinks(TqorDatabaseController& controller, TqorPlannerModel& planner);

// The steps in order (the links last), into a planner whose document holds no projects,
// resources, holidays or links yet.
TqorPlannerSettings LoadPlanner(TqorDatabaseController& controller, TqorPlannerModel& planner);
