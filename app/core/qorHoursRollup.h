// The stored assigned hours of tasks and projects. A task's hours come from its assignments
// (as the planner's CalcAssignedHours computes them: days of the task x hours per week / 7 x
// units / 100 for each assignment whose resource is there), a project's are the sum of its
// tasks'; both are stored (Tasks.AssignedHours, Projects.AssignedHours) and read back as stored
// at the next start.
//
// They are computed from the rows stored, inside the caller's transaction, so that another
// program's assignments and tasks count too and no program's roll-up overwrites another's: the
// element gets what its row now holds.
#pragma once

class TqorDatabaseController;
class TqorDocumentEdit;
class TqorPlannerModel;
class TqorXMLNode2;

class TqorHoursRollup {
 public:
  // The planner is not needed: the rows stored are.
  TqorHoursRollup(TqorDatabaseController& db, TqorPlannerModel& /*planner*/) : db_(db) {}

  // Recomputes the task's hours from its stored row and assignments, stores them and sets its
  // "assignedhours" (through edit).
  void SaveTaskHours(TqorXMLNode2* task, TqorDocumentEdit& edit);
  // Sets the project's "assignedhours" to the sum of its tasks' stored hours (through edit) and
  // stores it.
  void SaveProjectHours(TqorXMLNode2* project, TqorDocumentEdit& edit);
  // After a change of the task's assignments or dates: SaveTaskHours, then SaveProjectHours of
  // its project.
  void TaskAssignmentsChanged(TqorXMLNode2* task, TqorDocumentEdit& edit);

 private:
  TqorDatabaseController& db_;
};
