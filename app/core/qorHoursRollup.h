// The stored assigned hours of tasks and projects. A task's hours come from its assignments
// (the planner's CalcAssignedHours), a project's are the sum of its tasks'; both are written to
// the database when computed (Tasks.AssignedHours, Projects.AssignedHours) and read back as
// stored at the next start.
#pragma once

class TqorDatabaseController;
class TqorDocumentEdit;
class TqorPlannerModel;
class TqorXMLNode2;

class TqorHoursRollup {
 public:
  TqorHoursRollup(TqorDatabaseController& db, TqorPlannerModel& planner)
      : db_(db), planner_(planner) {}

  // Stores the task's "assignedhours" in its row; the document is not changed.
  void SaveTaskHours(const TqorXMLNode2* task);
  // Sets the project's "assignedhours" to the sum of its tasks' (through edit) and stores it.
  void SaveProjectHours(TqorXMLNode2* project, TqorDocumentEdit& edit);
  // After a change of the task's assignments: its "assignedhours" recomputed (through edit),
  // then SaveTaskHours and SaveProjectHours of its project.
  void TaskAssignmentsChanged(TqorXMLNode2* task, TqorDocumentEdit& edit);

 private:
  TqorDatabaseController& db_;
  TqorPlannerModel& planner_;
};
