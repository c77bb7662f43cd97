// The stored assigned hours of tasks and projects. A task's hours come from its assignments
// (as the planner's CalcAssignedHours computes them: days of the task x hours per week / 7 x
// units / 100 for each assignment whose resource is there), a project's are the sum of its
// tasks'; both are stored (Tasks.AssignedHours, Projects.AssignedHours) and read back as stored
// at the next start.
//
// A task's hours are computed from the rows stored, inside the caller's transaction, so that
// another program's assignments count too; the element gets what its row then holds. A
// project's are the sum of its tasks as the document holds them, stored only while the row
// still holds the hours this program last read or wrote; when another program's roll-up came in
// between, the sum of the stored tasks' hours is taken instead. No program's roll-up overwrites
// another's.
#pragma once

class TqorDatabaseController;
class TqorDocumentEdit;
class TqorPlannerModel;
class TqorXMLNode2;

class TqorHoursRollup {
 public:
  TqorHoursRollup(TqorDatabaseController& db, TqorPlannerModel& planner)
      : db_(db), planner_(planner) {}

  // Recomputes the task's hours from its stored row and assignments, stores them and sets its
  // "assignedhours" (through edit).
  void SaveTaskHours(TqorXMLNode2* task, TqorDocumentEdit& edit);
  // Sets the project's "assignedhours" to the sum of its tasks' (through edit) and stores it, as
  // described above.
  void SaveProjectHours(TqorXMLNode2* project, TqorDocumentEdit& edit);
  // After a change of the task's assignments or dates: SaveTaskHours, then SaveProjectHours of
  // its project.
  void TaskAssignmentsChanged(TqorXMLNode2* task, TqorDocumentEdit& edit);

 private:
  TqorDatabaseController& db_;
  TqorPlannerModel& planner_;
};
