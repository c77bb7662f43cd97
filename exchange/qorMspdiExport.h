// A plan as an MS Project XML (MSPDI) file: UTF-8, root <Project
// xmlns="http://schemas.microsoft.com/project">, in the order the MSPDI schema gives.
//
//   Project       Title = the plan's name; StartDate/FinishDate span every date of the plan;
//                 CalendarUID 1; MinutesPerDay/MinutesPerWeek of the working day (the options;
//                 8 hours by default), 5 days a week; the extended attributes of
//                 qorMspdiFields.h declared.
//   Calendars     UID 1 "Standard": Saturday and Sunday off, Monday to Friday the working day's
//                 times; the weekday feasts (planner/base/qorCalendar.h) of every year from the
//                 year before the plan's first date to the year after its last, as non-working
//                 exceptions (WeekDay DayType 0). Resource r (1-based, in the plan's order):
//                 UID r + 1, based on UID 1; Monday to Friday with HoursPerWeek / 5 hours each
//                 (from the day's start, around its break) when that differs from the
//                 project's week; the resource's holidays as non-working exceptions.
//   Tasks         Each project, in the plan's order, as a summary task (OutlineLevel 1,
//                 Summary 1) followed by its tasks in the plan's order (OutlineLevel 2); a task
//                 whose project is not in the plan comes at the end, on level 1 and without a
//                 summary. UID = ID = the row's position in the file (1, 2, ...); WBS =
//                 OutlineNumber = "p" for the p-th project and "p.t" for its t-th task.
//                 Start at the day's start on Start, Finish at the day's finish on End (a
//                 milestone of one day: Finish = Start); Duration = the working days of
//                 [Start, End] (qorWorkCalendar.h) times the working day; Work = Duration times
//                 the units assigned; ConstraintType 4 (start no earlier than) on Start.
//                 PercentComplete = 100 for a completed task or project, else (tasks) the
//                 progress rounded into 0..100, (projects) 0; ActualStart when started,
//                 ActualFinish when completed. Notes. The extended attributes: a project's tag,
//                 budget and actual hours and costs (when not empty or zero); a task's exact
//                 progress where PercentComplete does not give it, and Completed = 0 where
//                 PercentComplete says 100 of a task that is not completed.
//                 Links: a PredecessorLink of the successor (PredecessorUID, Type 0 FF, 1 FS,
//                 2 SF, 3 SS, LinkLag = the lag in working days * MinutesPerDay * 10, LagFormat
//                 7), in the plan's order.
//   Resources     UID = ID = r, Name, Type 1 (work), Initials, MaxUnits (fraction: 100 % is 1),
//                 StandardRate = the cost per hour (StandardRateFormat 2, per hour), CalendarUID
//                 r + 1, Notes, the hours per week as the "Hours per week" extended attribute.
//   Assignments   UID 1, 2, ... in the plan's order, TaskUID, ResourceUID, Start and Finish of
//                 the task, Units (fraction), Work.
//
// Not written: a project's ActualHours/BudgetHours/costs anywhere but in the extended
// attributes, the plan's ids (rows are numbered by their place), and the assignments, holidays
// and links that name a row the plan does not have. An end before its start is written as the
// start (a file the import could not take otherwise).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "exchange/qorExchangePlan.h"

struct TqorMspdiExportOptions {
  // The working day, in minutes after midnight: from DayStart to BreakStart and from BreakEnd
  // to DayFinish. REQUIRES: 0 <= DayStart <= BreakStart <= BreakEnd <= DayFinish < 1440, with
  // some working time.
  int32_t DayStart = 8 * 60;
  int32_t BreakStart = 12 * 60;
  int32_t BreakEnd = 13 * 60;
  int32_t DayFinish = 17 * 60;
};

// The plan as MSPDI text (UTF-8). REQUIRES: every date a calendar day number (EqorDateError
// otherwise); options as above (std::invalid_argument otherwise). dropped, when given, receives
// the number of characters of the plan's texts that XML cannot hold, left out.
std::string ExportMspdi(const TqorExchangePlan& plan, const TqorMspdiExportOptions& options = {},
                        size_t* dropped = nullptr);
