// The planner commands of vazadod-cli: "new" (an empty planner database from the schema) and
// "sample" (a planner database holding a realistic plan, for demonstrations, benchmarks and
// screenshots).
//
// A sample plan, around "today": projects of 20 to 120 days, starting up to two months before
// today or up to three weeks after it, with the given number of tasks each (a tenth of them one-day
// milestones; tasks that ended before today mostly completed, some late; some running past their
// project's end, drawn as overdue), resources with one to three holidays, and assignments made as
// the planner's own allocation allows them (no holiday in the task's period, at most 100 units in
// use over it), with the tasks' and projects' assigned hours computed from them. Names carry
// accents and apostrophes. The same seed and today give the same plan. Every project is in the
// project filter; the report format is PDF. With links, tasks follow earlier tasks of their
// project and are rescheduled to satisfy them.
#pragma once

#include <cstdint>
#include <string>

#include "tools/vazadod-cli/cliCommand.h"

struct TSampleOptions {
  int Projects = 10;
  int TasksPerProject = 10;
  int Resources = 8;
  uint64_t Seed = 1;
  // Links per 100 tasks: each goes from an earlier task of the project to a later one (mostly
  // finish to start, some with a lag or another type), and the plan is then rescheduled so that
  // every task satisfies its links.
  int LinksPer100Tasks = 0;
  // The day number the plan is built around.
  double Today = 0;
};

struct TSampleCounts {
  int Projects = 0;
  int Tasks = 0;
  int Resources = 0;
  int Assignments = 0;
  int Holidays = 0;
  int Links = 0;
};

// Writes a new planner database at path (refused when the file exists); a run that fails
// removes the file it began.
TSampleCounts WriteSamplePlanner(const std::string& path, const TSampleOptions& options);

extern const TCliCommand kNewCommand;
extern const TCliCommand kSampleCommand;
