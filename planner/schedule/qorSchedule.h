// The tasks of a plan with the links between them (qorScheduleLink.h), and the passes that place
// the tasks over working days (qorWorkCalendar.h: next, prev, shift).
//
// A task's length D is the number of working days in [Start, End], at least 1 (End < Start counts
// as End = Start, here and in the links). Its links give lower bounds on its start (FS, SS) and
// its end (FF, SF); it SATISFIES its links when its dates meet every bound as plain day numbers.
// Its EARLIEST start E is the largest of the start bounds and of shift(b, -(D - 1)) for each end
// bound b; placed there it gets Start = E, End = shift(E, D - 1).
//
// Ripple, RescheduleAll and Slack need the links to form no cycle. Given one they change nothing
// and report one cycle of the links, whichever tasks they were asked about. Days are those of the
// calendar (years 1 to 9999): a task's dates outside them, and a placement that would leave them,
// raise EqorDateError (a pass then leaves every task as it was).
//
// The passes take O(tasks + links) after the calendar's table (O(days)); Ripple takes time in
// the tasks reachable from the changed ones. The topological order of the tasks is kept until a
// task or a link is added or removed. The calendar and that order are built by const methods:
// one schedule must not be used by two threads at once.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "planner/schedule/qorScheduleLink.h"
#include "planner/schedule/qorWorkCalendar.h"

struct TqorScheduleTask {
  int32_t Id = 0;
  int32_t Start = 0;  // day numbers
  int32_t End = 0;
  bool Completed = false;
  bool operator==(const TqorScheduleTask&) const = default;
};

struct TqorTaskDates {
  int32_t Id = 0;
  int32_t Start = 0;
  int32_t End = 0;
  bool operator==(const TqorTaskDates&) const = default;
};

// What Ripple or RescheduleAll did: the tasks whose dates they changed, with the new dates, in
// the order they were placed (a predecessor before its successors); or, refused, one cycle of the
// links (see TqorLinkCheck) and no task changed.
struct TqorScheduleMoves {
  std::vector<TqorTaskDates> Moved;
  std::vector<int32_t> Cycle;
  bool Refused() const { return !Cycle.empty(); }
};

// The backward pass for one task. LatestStart and LatestEnd = shift(LatestStart, D - 1) are
// working days; Slack is the number of working days from next(Start) to LatestStart, negative
// when the task already lies too late.
struct TqorTaskSlack {
  int32_t Id = 0;
  int32_t LatestStart = 0;
  int32_t LatestEnd = 0;
  int32_t Slack = 0;
  bool Critical() const { return Slack <= 0; }
};

// Finish: the plan's finish, the largest End of all tasks. Tasks: one entry per task in the
// order of TqorSchedule::Tasks(). Refused: one cycle of the links, and no tasks.
struct TqorScheduleSlack {
  int32_t Finish = 0;
  std::vector<TqorTaskSlack> Tasks;
  std::vector<int32_t> Cycle;
  bool Refused() const { return !Cycle.empty(); }
};

// Whether a link may join the schedule's links: the first problem found (TqorLinkProblem), and
// for ClosesCycle the tasks of one such cycle in link order (each task is the predecessor of the
// next, the last of the first), starting with the link's predecessor and its successor. The
// cycle found is one of the shortest.
struct TqorLinkCheck {
  TqorLinkProblem Problem = TqorLinkProblem::None;
  std::vector<int32_t> Cycle;
  bool Ok() const { return Problem == TqorLinkProblem::None; }
};

class TqorSchedule {
 public:
  // Keeps the task; false (and nothing kept) when a task with its id is already held. Ids are any
  // int32 values. Raises EqorDateError for a day outside the calendar, as SetDates does.
  bool AddTask(const TqorScheduleTask& task);
  // false for an unknown id.
  bool SetDates(int32_t id, int32_t start, int32_t end);
  bool SetCompleted(int32_t id, bool completed);
  // nullptr for an unknown id.
  const TqorScheduleTask* FindTask(int32_t id) const;
  // In the order they were added.
  const std::vector<TqorScheduleTask>& Tasks() const { return tasks_; }

  // Keeps the link unless CheckNewLink would find an unknown task, a self link or a duplicate
  // (then returns that problem and keeps nothing). A link that closes a cycle is kept, as a file
  // may hold one; the passes then refuse until it is removed. Use CheckNewLink to refuse it first.
  TqorLinkProblem AddLink(const TqorScheduleLink& link);
  // Removes the link from predecessor to successor; false when there is none. The last link
  // takes its place in Links().
  bool RemoveLink(int32_t predecessor, int32_t successor);
  const std::vector<TqorScheduleLink>& Links() const { return links_; }
  // Whether the link may join the links held: O(tasks + links) for the cycle search, O(1) when the
  // order is known and puts the successor after the predecessor.
  TqorLinkCheck CheckNewLink(const TqorScheduleLink& link) const;
  // One cycle of the links held, in link order as in TqorLinkCheck; empty when there is none.
  std::vector<int32_t> FindCycle() const;

  // The user changed the dates of the tasks with these ids (unknown ids are ignored). Every task
  // reachable from them through links that is not Completed, not one of them and does not
  // satisfy its links is placed at its earliest start, a predecessor before its successors, so
  // that each sees its predecessors' new dates. Such a task always moves later.
  // REQUIRES: the links form no cycle (else refused).
  TqorScheduleMoves Ripple(std::span<const int32_t> changed);
  // Places every task that is not Completed and has a predecessor at its earliest start (which
  // may be earlier than its dates), a predecessor before its successors; the others keep their
  // dates. Moved lists the tasks whose Start or End changed.
  // REQUIRES: the links form no cycle (else refused).
  TqorScheduleMoves RescheduleAll();
  // The backward pass from the plan's finish F. A task's latest start is the largest working day
  // at which it (with its length) ends by prev(F) and meets every link to its successors placed
  // at their own latest starts: the exact inverses of the link bounds,
  //   FS  P.End   <= prev(shift(LS_S, -Lag) - 1)
  //   SS  P.Start <= shift(LS_S, -Lag)
  //   FF  P.End   <= shift(LE_S, -Lag)
  //   SF  P.Start <= prev(shift(LE_S, -Lag) + 1)
  // In a plan whose linked tasks lie at their earliest starts and whose other tasks start and end
  // on working days, no slack is negative, a task ending at F has none, and a task without slack
  // is held at its earliest start by a predecessor without slack: a zero-slack chain ends at F.
  // (An SF link cannot tell a predecessor's start after a non-working day from the day after it,
  // so there the chain may break.) Completed tasks count like the others.
  // REQUIRES: the links form no cycle (else refused).
  TqorScheduleSlack Slack() const;

  // D of the task; 0 for an unknown id.
  int32_t Length(int32_t id) const;
  const TqorWorkCalendar& Calendar() const { return calendar_; }

 private:
  // A link by the positions of its tasks in tasks_.
  struct Edge {
    uint32_t Predecessor;
    uint32_t Successor;
    TqorLinkType Type;
    int32_t Lag;
  };

  std::vector<TqorScheduleTask> tasks_;
  std::unordered_map<int32_t, uint32_t> index_;
  std::vector<TqorScheduleLink> links_;
  std::vector<Edge> edges_;  // edges_[i] is links_[i]
  // Per task, the positions in edges_ of the links to its successors and from its predecessors.
  std::vector<std::vector<uint32_t>> out_, in_;
  // Predecessor and successor ids of every link, for the duplicate check.
  std::unordered_set<uint64_t> pairs_;
  TqorWorkCalendar calendar_;

  // The tasks in topological order and each task's place in it; when the links hold a cycle,
  // cycle_ holds one and the order is empty. Valid while orderKnown_.
  mutable bool orderKnown_ = false;
  mutable std::vector<uint32_t> order_;
  mutable std::vector<uint32_t> place_;
  mutable std::vector<int32_t> cycle_;

  static uint64_t PairKey(int32_t predecessor, int32_t successor);
  // Computes the order (and cycle_) unless known; false when the links hold a cycle.
  bool KnowOrder() const;
  // One cycle among the tasks that Kahn's pass left, given their remaining predecessor counts.
  std::vector<int32_t> CycleAmong(const std::vector<uint32_t>& waiting) const;
  int32_t LengthAt(uint32_t task) const;
  bool SatisfiesLinks(uint32_t task) const;
  // REQUIRES: the task has a predecessor.
  int32_t EarliestStart(uint32_t task, int32_t length) const;
};
