// The slow reference the schedule tests judge the library by. It shares nothing with the library
// but the link type enum: working days are found by walking day by day under the holiday rule
// written again from its definition (the anonymous Gregorian Easter), a shift steps one day at a
// time, placements are found by trying one start day after the other, and the topological order
// by repeated passes over the tasks.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "planner/schedule/qorSchedule.h"

namespace ref {

bool IsWorkingDay(int32_t day);
int32_t Next(int32_t day);
int32_t Prev(int32_t day);
// n working days after (n < 0: before) the working day w.
int32_t Shift(int32_t w, int n);
// The working days in [start, end].
int32_t CountWorkingDays(int32_t start, int32_t end);
// For working days: the n with Shift(from, n) == to.
int32_t Steps(int32_t from, int32_t to);

struct Task {
  int32_t id = 0;
  int32_t start = 0;
  int32_t end = 0;
  bool completed = false;
};

// A link by the tasks' positions in the plan.
struct Link {
  int pred = 0;
  int succ = 0;
  TqorLinkType type = TqorLinkType::FS;
  int lag = 0;
};

struct Plan {
  std::vector<Task> tasks;
  std::vector<Link> links;
};

// The result of the passes: the plan's new dates, and the positions of the tasks whose dates
// changed.
struct Moves {
  Plan plan;
  std::vector<int> moved;
};

struct Latest {
  int32_t start = 0;
  int32_t end = 0;
  int32_t slack = 0;
};

struct SlackResult {
  int32_t finish = 0;
  std::vector<Latest> tasks;
};

int32_t EndOf(const Task& task);
int32_t Length(const Task& task);
// The bound the link puts on its successor's start (FS, SS) or end (FF, SF).
int32_t Bound(const Plan& plan, const Link& link);
// The bounds the links from its predecessors put on the task: (on its end, day).
std::vector<std::pair<bool, int32_t>> BoundsOn(const Plan& plan, int task);
// Whether the task placed at start with its length meets the bounds.
bool FitsAt(const Plan& plan, int task, int32_t start,
            const std::vector<std::pair<bool, int32_t>>& bounds);
bool Satisfies(const Plan& plan, int task);
// The task positions, each after its predecessors; nullopt when the links hold a cycle.
std::optional<std::vector<int>> TopologicalOrder(const Plan& plan);
// Whether a path of links leads from one position to the other (a task reaches itself).
bool Reaches(const Plan& plan, int from, int to);

// REQUIRES: no cycle.
Moves Ripple(const Plan& plan, const std::vector<int>& changed);
Moves RescheduleAll(const Plan& plan);
SlackResult Slack(const Plan& plan);

// A random acyclic plan of 2 to maxTasks tasks around a random Easter, Christmas or day of a year
// between 1900 and 2200, with leads and lags (now and then of more than a year), dates on
// weekends and holidays, ends before starts
// and completed tasks unless proper: then every start and end is a working day, the length's
// last day, and nothing is completed.
Plan RandomPlan(std::mt19937& random, int maxTasks, bool proper = false);
// The plan put into a schedule.
TqorSchedule ToSchedule(const Plan& plan);

// Seed and number of plans from VZ_SCHEDULE_SEED and VZ_SCHEDULE_PLANS, else the defaults.
uint32_t Seed();
int Plans(int fallback);

}  // namespace ref
