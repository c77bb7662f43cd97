// What the main window does with tasks and projects outside the project, resource and holiday
// windows: adding and deleting a task from the Task menu, the task dialog, and storing what the
// grid changed (a rescheduled task or project, a task edited in the dialog), with the roll-up of
// the project's assigned hours.
//
// Each workflow changes the planner document and the database together. Statements of one
// workflow run in one transaction; the document is changed only when the database took the
// change, or put back when it did not: a task or project the grid had already changed gets back
// the values its row holds (or, when the row cannot be read, those remembered just before the
// grid changed it). The engine's error then reaches the caller.
//
// Every write is checked: a task or project row is written (or deleted) only while it still holds
// what this window showed before the change; a task is added only to a project still there.
// Otherwise nothing is written, the element gets what its row holds (or leaves the document when
// the row is gone) and EqorChangedElsewhere names the task or project.
//
// A task's new dates move its successors that no longer satisfy their links (qorPlanSchedule.h),
// in the same transaction and the same step of the edit history.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/core/qorHoursRollup.h"
#include "app/core/qorPlannerStatements.h"
#include "planner/base/qorVariant.h"

class TqorAssignmentWorkflows;
class TqorDatabaseController;
class TqorEditHistory;
class TqorPlannerModel;
class TqorXMLNode2;

class TqorTaskWorkflows {
 public:
  TqorTaskWorkflows(TqorDatabaseController& db, TqorPlannerModel& planner)
      : db_(db), planner_(planner), hours_(db, planner) {}

  // Task, Add with the grid's current row: asks for a name (one longer than the table takes
  // keeps the prompt open) and adds a task from today to the day after tomorrow to the project
  // of that row (or of the task in it), placed by its end date.
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
  // Remembers a task's or project's values before the grid changes them (the window calls this
  // as a gesture reaches the grid; the task dialog when it closes), to put them back if storing
  // the change fails and its row cannot be read. Only the next task- or project-changed event
  // of the same element uses them.
  void RememberBeforeChange(const TqorXMLNode2* node);

  TqorHoursRollup& Hours() { return hours_; }
  // Each stored change becomes a step of the history (none without one). The task dialog's
  // allocations and its OK are one step.
  void SetHistory(TqorEditHistory* history) { history_ = history; }
  // The tasks the last TaskGridTaskChanged moved because they follow the changed one.
  int LastMoved() const { return lastMoved_; }

 private:
  // Puts the task's (or project's) values from before the change back into its element after
  // the database refused what the grid had changed, and rebuilds the rows: the values of its
  // stored row (what the database holds is what the next start shows), else the remembered
  // ones; an error while reading is dropped for the one that caused the restore.
  void RestoreTask(TqorXMLNode2* task);
  void RestoreProject(TqorXMLNode2* project);

  struct TRemembered {
    std::string element, id;
    std::vector<std::pair<std::string, TqorVariant>> attributes;
  };
  // The task's values as remembered before the change; false when none are remembered for it.
  bool BeforeValues(const TqorXMLNode2* task, TqorTaskValues& before) const;
  // The task's values as its row holds them; false when the row is gone.
  bool StoredTask(const std::string& id, TqorTaskValues& stored);
  // Puts the remembered values back when they are the element's; false when they are not.
  static bool PutBack(const TRemembered& before, TqorXMLNode2* node);
  TRemembered before_;

  TqorDatabaseController& db_;
  TqorPlannerModel& planner_;
  TqorHoursRollup hours_;
  TqorEditHistory* history_ = nullptr;
  int lastMoved_ = 0;
};
