// Links between tasks as the task dialog's Links page, the grid (Alt+drag, a bar's menu) and the
// Task menu's Reschedule make and change them. Each change runs in one transaction with the
// moves it causes: a successor that no longer satisfies its links moves later by the least
// amount that does, keeping its length in working days, and so on down the chain (completed
// tasks never move); the document follows once the file took it, and the change is one step of
// the edit history. Every operation returns the number of tasks it moved.
//
// Refused, with EqorWorkflowError and a message that says why, and nothing written: a link of a
// task to itself, a second link between the same two tasks, a link that would close a cycle
// (the message names its tasks in order), and a link to a task that is no longer in the plan.
// Writes are checked as the other workflows' are: a task or link another program changed or
// deleted since this window showed it is not written over (EqorChangedElsewhere).
#pragma once

#include <cstdint>
#include <string>

#include "app/core/qorHoursRollup.h"
#include "planner/schedule/qorScheduleLink.h"

class TqorDatabaseController;
class TqorEditHistory;
class TqorPlannerModel;
class TqorXMLNode2;

class TqorLinkWorkflows {
 public:
  TqorLinkWorkflows(TqorDatabaseController& db, TqorPlannerModel& planner)
      : db_(db), planner_(planner), hours_(db, planner) {}
  void SetHistory(TqorEditHistory* history) { history_ = history; }

  // A new link; the successor and its own successors move as far as it requires.
  int AddLink(int32_t predecessorId, int32_t successorId, TqorLinkType type, int32_t lag);
  // The link's type and lag changed; the successor follows as for AddLink.
  int EditLink(int32_t linkId, TqorLinkType type, int32_t lag);
  // The link removed (nothing moves: a successor never moves earlier of its own).
  void RemoveLink(int32_t linkId);
  // Every link with the task at either end removed.
  void RemoveLinksOf(int32_t taskId);
  // Task, Reschedule: every task that is not completed and has predecessors goes to the earliest
  // dates its links allow (as soon as possible), earlier or later; the others stay.
  int Reschedule();

  // The link element with the id; nullptr when the document has none.
  TqorXMLNode2* Link(int32_t linkId);
  // "'Design' FS+2 'Build'" and the like: a link as the user reads it.
  std::string LinkName(const TqorXMLNode2* link);

 private:
  TqorDatabaseController& db_;
  TqorPlannerModel& planner_;
  TqorHoursRollup hours_;
  TqorEditHistory* history_ = nullptr;
};
