// The plan's tasks and holidays as an iCalendar text (RFC 5545) for calendar programs:
//
//   BEGIN:VCALENDAR
//   VERSION:2.0
//   PRODID:-//Vazadod//Vazadod Planner//EN
//   CALSCALE:GREGORIAN
//   X-WR-CALNAME:<the plan's name>             (when it has one)
//   BEGIN:VEVENT                               one per task, milestones included
//   UID:task-17@<plan id>
//   DTSTAMP:20240301T120000Z
//   DTSTART;VALUE=DATE:20240304                the task's first day
//   DTEND;VALUE=DATE:20240309                  the day after its last day (exclusive)
//   SUMMARY:<the task's name>
//   CATEGORIES:<its project's name>[,Completed]
//   DESCRIPTION:<its notes>                    (when it has some)
//   TRANSP:TRANSPARENT                         a task does not make anyone busy
//   END:VEVENT
//   BEGIN:VEVENT                               one per holiday
//   UID:holiday-3@<plan id>
//   ...  SUMMARY:Holiday: <the resource's name>  (busy: no TRANSP)
//   END:VEVENT
//   END:VCALENDAR
//
// Lines end with CRLF; a line longer than 75 octets is folded (CRLF and a space) between UTF-8
// characters. Texts are escaped (\\, \;, \, and a line break as \n); bytes that are not UTF-8
// become U+FFFD, other control characters but TAB are left out. A task whose End lies before its
// Start lasts its Start day. An event's status cannot say "completed" (RFC 5545 allows only
// TENTATIVE, CONFIRMED and CANCELLED for events), so a completed task carries the category
// "Completed" after its project's; a task without a project, or whose project has no name, has
// no project category. Progress, resources and links are not written.
//
// The UIDs depend only on the plan id and the rows' ids, so a calendar program that reads a
// later export of the same plan updates the events it has instead of adding them again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "exchange/qorExchangePlan.h"

struct TqorICalendarOptions {
  // What names the plan for good, such as a GUID kept with it: the right-hand part of every UID.
  std::string PlanId;
  // The moment of the export (DTSTAMP), seconds since 1 January 1970 UTC.
  int64_t Stamp = 0;
};

// REQUIRES: every date of the tasks and holidays lies in years 1 to 9999 (else EqorDateError).
std::string ExportICalendar(const TqorExchangePlan& plan, const TqorICalendarOptions& options);

// "task-17@<plan id>" and "holiday-3@<plan id>", as the events' UIDs (unescaped).
std::string ICalendarTaskUid(int32_t taskId, std::string_view planId);
std::string ICalendarHolidayUid(int32_t holidayId, std::string_view planId);
