// The plan as a TaskJuggler project file (.tjp) that tj3 schedules to the dates the program's
// scheduler gives (planner/schedule/qorSchedule.h):
//
//   project plan "<plan name>" <first day> - <last day> {   the plan's days and 30 more each side
//     timezone "UTC"  dailyworkinghours 8
//     workinghours mon - fri 9:00 - 17:00  workinghours sat, sun off
//     extend task { text Notes "Notes" }  extend resource { text Initials ... text Notes ... }
//   }
//   leaves holiday "Easter Monday" 2024-04-01             every weekday the calendar does not
//   ...                                                   work (IsNonWorkingDay) in those days
//   resource r4 "<name>" { Initials Notes rate limits leaves annual "Holiday" <first> - <after> }
//   task p2 "<project name>" {                            a project: a parent task
//     task t17 "<name>" { start length|end|milestone complete allocate limits Notes }
//     task t18 "<name>" { depends p2.t17 { onstart gaplength 2d } length 3d ... }
//   }
//   task t20 ...                                          a task without a (known) project
//   task leads "Leads" { task l5 "..." { milestone precedes p2.t17 { onstart gaplength 3d } } }
//   taskreport "<CsvReport>" { formats csv columns id, start, end ... }      (when asked for)
//
// Ids: projects p<id>, tasks t<id>, resources r<id> (p_5, t_5, r_5 for -5); a task inside a
// project is p<project>.t<id> for tj3.
//
// Tasks. One working day is 8 hours of tj3's working time. A task that is completed or has no
// predecessor keeps its dates: "start" its Start, then "milestone" (a milestone whose End is its
// Start), "length <D>d" (D as qorSchedule.h counts it, when its last day is a working day) or
// "end <End>-17:00". Any other task is placed by its links, as RescheduleAll places it: ASAP with
// "length <D>d" (or "milestone"), its dates left to tj3. Progress is "complete" (100 when
// completed). tj3 gives such a task's start as the moment it may begin, which is the end of the
// working hours of the working day before its first day (17:00) or 9:00 of its first day; its
// end is 17:00 of its last day; a milestone it places is a moment like a start.
//
// Links. Each link is held as a bound B on its successor S's first working day, as
// qorScheduleLink.h gives it from the predecessor P's dates (an end bound, FF or SF, moved back
// by S's length D - 1, since S's length is fixed): S.Start >= B. tj3 can only hold S's start, and
// only after P's start or end with a gap of working time that is not negative. So B is written
//   from P's end:    depends P { gaplength <g>d },          g = working days from the working
//                    day after P (P's own day for a milestone) to B, when not negative (FS, FF);
//   from P's start:  depends P { onstart gaplength <g>d },  g = working days from P's first
//                    working day to B, when not negative (SS, SF, and FS and FF leads);
//   before P starts: an anchor, an ALAP milestone under "leads" that precedes P by the working
//                    days from B to P's first working day, and S depends on it.
// For FS, SS and FF, and for every P whose dates the file keeps, the gap depends only on the
// link, the lengths and P's own dates, so tj3 holds the link exactly. An SF link's bound,
// shift(next(P.Start - 1), Lag), moves with whether the day before P's start is a working day,
// which tj3 cannot express: the gap is the one for P's place in the plan, so the bound holds
// exactly there, and tj3 would be one working day off if it moved P across such a day.
// A link to a completed task is not held (the scheduler leaves the task where it is); a link
// to a task the plan lacks, a second link between the same two tasks, a self link and a link
// that closes a cycle are left out; each is named in a comment.
//
// Resources. Hours per week below 40 become "limits { weeklymax }", Max units below 100
// percent "limits { dailymax }" of that share of 8 hours, an assignment's Units below 100
// percent a task's "limits { dailymax ... { resources } }", all rounded to whole hours (at least
// 1; 0 or less means no limit); Cost per hour times 8 is the daily "rate". A resource's
// holidays are its "leaves annual". Allocations do not change a task's dates; tj3 warns when a
// task's resources cannot work on it at any hour (on holiday, or busy with other tasks for the
// whole of it). Milestones get no allocation.
//
// Texts are tj3 strings in double quotes: a quote is written \"; line breaks become LF; bytes
// that are not UTF-8 become U+FFFD and other control characters but TAB are left out. tj3 takes
// "${name}" for a macro and a backslash before the closing quote for an escape, so a "${" gets a
// zero-width space (U+200B) between its two characters and a text ending in a backslash one
// after it. Not written: the projects' tags, dates, hours, costs and completion (tj3 computes a
// parent's), the holidays' ids.
#pragma once

#include <cstdint>
#include <string>

#include "exchange/qorExchangePlan.h"

struct TqorTaskJugglerOptions {
  // When not empty, the file ends with a task report of this name, which tj3 writes as
  // "<name>.csv": a header line, then for every task (parents and anchors too) its tj3 id
  // ("p2.t17"), its start and its end, each in double quotes, separated by ";", the moments as
  // "YYYY-MM-DD HH:MM" in UTC.
  std::string CsvReport;
};

// REQUIRES: every date of the tasks lies in years 1 to 9999 (else EqorDateError).
std::string ExportTaskJuggler(const TqorExchangePlan& plan,
                              const TqorTaskJugglerOptions& options = {});

// The id the file gives the task ("t17", "t_17" for -17), without its project's.
std::string TaskJugglerTaskId(int32_t taskId);
