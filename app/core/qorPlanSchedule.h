// The planner document as a schedule (planner/schedule), and the tasks a pass moved stored.
//
// The schedule holds every task of the document with its dates and completion, and every link
// element with its type and its lag rounded to whole working days.
//
// StoreMoves writes the new dates of the moved tasks in the caller's transaction: each row only
// while it still holds the dates its element shows (a task another program moved since is not
// moved over its change: EqorChangedElsewhere names it), with the hours the document computes
// for the new dates; the elements get the dates through the edit, the tasks' projects their
// hours rolled up, and every row written is watched by the recorder (for the edit history).
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "app/core/qorTaskEditor.h"
#include "planner/schedule/qorSchedule.h"

class TqorDatabaseController;
class TqorDocumentEdit;
class TqorEditRecorder;
class TqorHoursRollup;
class TqorPlannerModel;
class TqorXMLNode2;

namespace qorPlanSchedule {

TqorSchedule ScheduleOf(TqorPlannerModel& planner);

// The link element's type (FS when the text is none of the four).
TqorLinkType LinkTypeOf(const TqorXMLNode2* link);

// Returns the number of tasks moved. REQUIRES: a transaction open on db.
int StoreMoves(TqorDatabaseController& db, TqorPlannerModel& planner,
               const std::vector<TqorTaskDates>& moved, TqorDocumentEdit& edit,
               TqorEditRecorder& record, TqorHoursRollup& hours);

// "Moved 12 tasks", "Moved 1 task"; "" for none.
std::string MovedText(int moved);

// The ids of the tasks on the critical path (no slack against the plan's finish); none when the
// links hold a cycle.
std::unordered_set<std::string> CriticalTasks(TqorPlannerModel& planner);

// The Links page's entries of the task: its predecessors ("After 'Design' FS+2"), then its
// successors ("Before 'Ship' SS"), each with the link's id.
std::vector<TqorResourceEntry> LinkEntries(TqorPlannerModel& planner, int32_t taskId);

// What the tooltip over a task's bar says: its name, its dates with its length in working days,
// its slack, and its links ("After: 'Design' FS+2", "Before: 'Ship' SS").
std::string TaskSummary(TqorPlannerModel& planner, const TqorXMLNode2* task);

}  // namespace qorPlanSchedule
