// An MS Project XML (MSPDI) file as a plan, with the list of what the plan could not take from
// it. The file is read by TqorMspdiScanner (qorMspdiScanner.h: structure, namespace, DOCTYPE
// refused, limits) and each element of it by this program's XML reader; nothing is stored.
//
//   Tasks         A task whose OutlineNumber has n parts ("1.2" two) is on level n; without an
//                 OutlineNumber, OutlineLevel gives the level (0 counting as 1). The project
//                 summary task (UID 0 on level 0, or OutlineNumber "0") and blank rows (IsNull 1)
//                 are left out. A level-1 task with tasks below it, or with Summary 1, is a
//                 project; a level-1 task without is a task of one project named after the
//                 file (its name without folder and extension). Below level 1 a summary task is
//                 left out and each task under it is a task of its level-1 project named by the
//                 path from level 2 ("Phase 1 / Design").
//                 Dates are the date parts of Start and Finish (one of them standing for both
//                 when the other is missing; a summary task without them spans its tasks). A
//                 Finish before the Start is an error of the file (EqorMspdiError with the
//                 task's line): the file is refused, not the task left out, so that what is
//                 imported is never a part of the plan that passes unnoticed.
//                 Milestone, Notes; progress and completion as qorMspdiFields.h's Progress and
//                 Completed attributes say, else PercentComplete (into 0..100) and
//                 PercentComplete = 100. A project's tag, budget and actual hours and costs
//                 from the extended attributes; its completion as a task's.
//   Links         Each PredecessorLink of a task: Type (0 FF, 1 FS, 2 SF, 3 SS; missing: FS),
//                 LinkLag in tenths of minutes, counted in working days of the file's
//                 MinutesPerDay (480 when missing) and rounded; elapsed lags as 5 working days a
//                 week, percentage lags as none. Left out, and counted: links to tasks not in the
//                 file or of another project file (CrossProject), to or from summary tasks, of a
//                 task to itself, a second link between the same two tasks, and those that close
//                 a cycle: the links are walked depth first from the tasks in file order, each
//                 task's links in file order, and a link back to a task on the walk's path is
//                 left out, so what is kept has no cycle.
//   Resources     Name, Initials, MaxUnits (fraction; missing: 100 %), StandardRate as the cost
//                 per hour, Notes. Hours per week: the "Hours per week" attribute, else the
//                 working times of the resource's calendar week (and of the calendars it is
//                 based on), else the file's MinutesPerWeek, else 40. The placeholder resource
//                 (UID 0 without a name) and blank rows are left out.
//   Assignments   TaskUID, ResourceUID, Units (fraction; missing: 100 %).
//   Holidays      The non-working exceptions of a resource's calendar and of the calendars it
//                 is based on, up to the project's calendar (whose exceptions are the feasts
//                 the plan has of its own): the Exceptions element's when the calendar has one
//                 (daily ones; recurring ones are counted and left out), else the WeekDay
//                 entries of DayType 0. A calendar that is not based on the project's calendar
//                 may repeat its feasts: an exception that covers no working day of the plan is
//                 not a holiday there.
//   Project       Its calendar's week and exceptions are compared with the plan's calendar,
//                 which applies whatever the file says; what differs is reported.
//
// Not read: baselines, timephased data, costs other than the rates, constraints, priorities,
// outline codes, task calendars, work weeks of calendars (counted), and every other element.
// Ids are 1, 2, ... in file order in each table (projects in the order of their summary tasks,
// the file's own project where its first task is).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/qorExchangePlan.h"

struct TqorMspdiImport {
  TqorExchangePlan Plan;
  // What the plan could not take from the file, one short English line each ("4 tasks below
  // level 2 flattened into their level-1 project"), in a fixed order; empty when nothing was
  // lost.
  std::vector<std::string> Summary;
};

// At most this many of each in a file (an EqorMspdiError beyond), which bounds the memory an
// import takes whatever the file.
inline constexpr size_t kMspdiMaxTasks = 1000000;
inline constexpr size_t kMspdiMaxResources = 1000000;
inline constexpr size_t kMspdiMaxAssignments = 5000000;
inline constexpr size_t kMspdiMaxLinks = 5000000;
inline constexpr size_t kMspdiMaxCalendars = 100000;
inline constexpr size_t kMspdiMaxExceptions = 5000000;
// Outline levels deeper than this are refused.
inline constexpr int kMspdiMaxOutlineLevel = 100;

// Reads the bytes of an MSPDI file: UTF-8 (with or without a byte-order mark), or the Latin-1
// or code page 1252 its declaration names. fileName names the plan (without its folder) and the
// project of the tasks outside any summary task. Raises EqorMspdiError (qorMspdiError.h) for a
// file it cannot read, with the element, the line and the reason.
TqorMspdiImport ImportMspdi(std::string_view bytes, const std::string& fileName);
