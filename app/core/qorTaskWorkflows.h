// What the main window does with tasks and projects outside the project, resource and holiday
// windows: adding and deleting a task from the Task menu, the task dialog, and storing what the
// grid changed (a rescheduled task or project, a task edited in the dialog), with the roll-up of
// the project's assigned hours.
//
// Each workflow changes the planner document and the database together. Statements of one
// workflow run in one transaction; the document is changed only when the database took the
// change, or put back when it did not: a task or project the grid had already changed gets its
// stored values back from the database. The engine's error then reaches the caller.
#pragma once

#include "app/core/qorHoursRollup.h"

class TqorAssignmentWorkflows;
class TqorDatabaseController;
class TqorPlannerModel;
class TqorXMLNode2;

class TqorTaskWorkflows {
 public:
  TqorTaskWorkflows(TqorDatabaseController& db, TqorPlannerModel& planner)
      : db_(db), planner_(planner), hours_(db, planner) {}

  // Task, Add with the grid's current row: asks for a name and adds a task from today to the day
  // after tomorrow to the project of that row (or of the task in it), placed by its end date.
  // Says "You did not select a project." on a header row or a row without a project. Returns
  // the new task element, nullptr when none was added.
  TqorXMLNode2* Add1Click(int currentRow);
  // Task, Delete with the grid's current row: after a Yes to the question, deletes the task of
  // that row with its assignments. Header rows do nothing; any other row without a task says
  // "You did not select a task to delete". The project's stored hours are not recomputed.
  // Returns whether a task was deleted.
  bool Delete1Click(int currentRow);
  // Stores the task element's values (the grid changed them) and rolls its project's hours up.
  void TaskGridTaskChanged(TqorXMLNode2* task);
  // Opens the task dialog of the assignments' workflows on the task with its resource lists
  // filled; on OK puts the dialog's name, milestone, completed, progress and notes into the
  // element. Writes nothing: the grid raises the task-changed event next. Returns whether the
  // dialog was closed with OK.
  bool TaskGridTaskEdit(TqorXMLNode2* task, TqorAssignmentWorkflows& assignments);
  // Stores the project element's dates (the grid changed them).
  void TaskGridProjectChanged(TqorXMLNode2* project);

  TqorHoursRollup& Hours() { return hours_; }

 private:
  // Puts the stored row of the task (or project) back into its element after the database
  // refused what the grid had changed, and rebuilds the rows; an error while reading is dropped
  // for the one that caused the restore.
  void RestoreTask(TqorXMLNode2* task);
  void RestoreProject(TqorXMLNode2* project);

  TqorDatabaseController& db_;
  TqorPlannerModel& planner_;
  TqorHoursRollup hours_;
};
