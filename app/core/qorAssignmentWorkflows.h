// Resource assignments, made in the task dialog: a resource works on a task with a share of its
// time in percent ("units") for the whole of the task. Allocating checks the resource's holidays
// and its capacity first; every change is stored at once together with the new assigned hours of
// the task and of its project, and cancelling the dialog undoes none of them.
//
// Capacity: the units of all the resource's assignments on tasks that overlap the task by at
// least one day, over all projects, count as used (however few days overlap); the resource's
// MaxUnits (100 when it has none) less that is available, 0 when more is used. A resource with a
// holiday period overlapping the task by a day cannot be allocated. Changing an assignment's
// units runs the same checks, with the same messages, its own units not counted as used.
//
// Each change runs its statements in one transaction and changes the document through a
// TqorDocumentEdit: when the database refuses any of it, the file and the document stay as they
// were and the engine's error reaches the caller.
//
// Checked writes: an allocation needs the task's and the resource's rows, a removal or units
// change writes only while the assignment's row holds what the element shows. Otherwise nothing
// is written, the element gets what the file holds (or leaves the document) and
// EqorChangedElsewhere names the task, the resource or "The assignment of 'resource' to 'task'".
// The hours are rolled up from the stored rows.
#pragma once

#include <cstdint>
#include <optional>

#include "app/core/qorHoursRollup.h"

class TqorDatabaseController;
class TqorEditHistory;
class TqorPlannerModel;
class TqorTaskEditor;

class TqorAssignmentWorkflows {
 public:
  // The dialog must outlive the workflows.
  TqorAssignmentWorkflows(TqorDatabaseController& db, TqorPlannerModel& planner,
                          TqorTaskEditor& dialog);

  TqorTaskEditor& Dialog() { return dialog_; }
  // Each stored change becomes a step of the history (none without one).
  void SetHistory(TqorEditHistory* history) { history_ = history; }

  // Fills the dialog's lists for the task: the resources not on it (with their ResourceId), then
  // its assignments (resource name with the AssignmentId), in the order the database gives.
  void FillAllocationLists(int32_t taskId);
  // A "Resources" entry dropped on "Assignments": asks for the units ("0" by default), checks
  // them (a number from 0 to 100; "0" itself and an empty answer do nothing, "0.0" allocates 0)
  // and allocates the resource to the dialog's task. Returns whether it was allocated.
  bool AllocationDrop(int32_t resourceId);
  // The checks of UnitsAllowed, each with its message, then the assignment stored, added to
  // the task, the hours rolled up, the lists refilled and the rows rebuilt. Returns whether it was
  // allocated. Raises EqorWorkflowError when the task is not in the plan.
  bool AllocateResource(int32_t taskId, int32_t resourceId, double units, double startDate,
                        double endDate);
  // The checks before the resource takes units over the period, each saying what fails: units
  // from 0 to 100, no holiday of the resource in the period, and no more units than available
  // (when the assignment changing is given, its own units not counted). True when all pass.
  bool UnitsAllowed(int32_t resourceId, double units, double startDate, double endDate,
                    std::optional<int32_t> changing);
  // Removes the assignment (no question asked), rolls the hours up, refills the lists and
  // rebuilds the rows.
  void RemoveAssignment(int32_t taskId, int32_t assignmentId);
  // Asks for new units (the stored ones by default; "0" and an empty answer do nothing), checks
  // them as an allocation over the task's period is checked (the assignment's own units not
  // counted as used), stores them, rolls the hours up and rebuilds the rows. Returns whether the
  // units changed.
  bool ChangeAssignmentUnits(int32_t taskId, int32_t assignmentId);
  // The units the resource has on tasks overlapping the period (0 when none).
  double UnitsInPeriod(int32_t resourceId, double startDate, double endDate);
  // As UnitsInPeriod, without the assignment's own units.
  double OtherUnitsInPeriod(int32_t resourceId, double startDate, double endDate,
                            int32_t assignmentId);
  // The most units the resource takes over any period: its MaxUnits, 100 when it has none.
  double UnitsLimit(int32_t resourceId);
  // The number of the resource's holiday periods overlapping the period.
  int32_t HolidaysInPeriod(int32_t resourceId, double startDate, double endDate);

 private:
  TqorDatabaseController& db_;
  TqorPlannerModel& planner_;
  TqorTaskEditor& dialog_;
  TqorHoursRollup hours_;
  TqorEditHistory* history_ = nullptr;
};
