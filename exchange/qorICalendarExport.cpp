#include "exchange/qorICalendarExport.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"

namespace {

constexpr int32_t kUnixEpochDay = 25569;  // 1 January 1970
constexpr size_t kLineOctets = 75;

// Appends the content line, folded, and its CRLF.
void Line(std::string& out, std::string_view line) {
  size_t at = 0;
  size_t room = kLineOctets;
  while (line.size() - at > room) {
    size_t cut = Utf8Boundary(line, at + room);
    if (cut <= at) cut = at + room;  // cannot happen for room >= 4; keeps the loop moving
    out.append(line, at, cut - at);
    out += "\r\n ";
    at = cut;
    room = kLineOctets - 1;  // the space that starts a folded line counts
  }
  out.append(line, at);
  out += "\r\n";
}

// The TEXT value: escaped, line breaks as \n, not UTF-8 as U+FFFD, other controls left out.
std::string Text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const std::optional<char32_t> cp = DecodeUtf8At(text, i);
    if (!cp) {
      AppendUtf8(out, 0xFFFD);
      continue;
    }
    switch (*cp) {
      case '\\':
        out += "\\\\";
        break;
      case ';':
        out += "\\;";
        break;
      case ',':
        out += "\\,";
        break;
      case '\r':
        if (i < text.size() && text[i] == '\n') ++i;
        out += "\\n";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        if ((*cp < 0x20 && *cp != '\t') || *cp == 0x7F) break;
        AppendUtf8(out, *cp);
    }
  }
  return out;
}

std::string DateValue(int32_t day) {
  int year = 0, month = 0, dayOfMonth = 0;
  DecodeDate(day, year, month, dayOfMonth);
  return CFormat("%04d%02d%02d", year, month, dayOfMonth);
}

std::string Stamp(int64_t seconds) {
  int64_t days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  return DateValue(static_cast<int32_t>(days + kUnixEpochDay)) +
         CFormat("T%02d%02d%02dZ", static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                 static_cast<int>(rest % 60));
}

// The lines every event starts with; the dates cover first..last (last < first: first alone).
void BeginEvent(std::string& out, const std::string& uid, const std::string& stamp, int32_t first,
                int32_t last) {
  Line(out, "BEGIN:VEVENT");
  Line(out, "UID:" + Text(uid));
  Line(out, "DTSTAMP:" + stamp);
  Line(out, "DTSTART;VALUE=DATE:" + DateValue(first));
  Line(out, "DTEND;VALUE=DATE:" + DateValue(std::max(first, last) + 1));
}

}  // namespace

std::string ICalendarTaskUid(int32_t taskId, std::string_view planId) {
  return "task-" + std::to_string(taskId) + "@" + std::string(planId);
}

std::string ICalendarHolidayUid(int32_t holidayId, std::string_view planId) {
  return "holiday-" + std::to_string(holidayId) + "@" + std::string(planId);
}

std::string ExportICalendar(const TqorExchangePlan& plan, const TqorICalendarOptions& options) {
  std::unordered_map<int32_t, const std::string*> projects, resources;
  for (const TqorExchangeProject& project : plan.Projects)
    projects.emplace(project.Id, &project.Name);
  for (const TqorExchangeResource& resource : plan.Resources)
    resources.emplace(resource.Id, &resource.Name);
  const std::string stamp = Stamp(options.Stamp);

  std::string out;
  Line(out, "BEGIN:VCALENDAR");
  Line(out, "VERSION:2.0");
  Line(out, "PRODID:-//Vazadod//Vazadod Planner//EN");
  Line(out, "CALSCALE:GREGORIAN");
  if (!plan.Name.empty()) Line(out, "X-WR-CALNAME:" + Text(plan.Name));
  for (const TqorExchangeTask& task : plan.Tasks) {
    BeginEvent(out, ICalendarTaskUid(task.Id, options.PlanId), stamp, task.Start, task.End);
    Line(out, "SUMMARY:" + Text(task.Name));
    std::string categories;
    auto project = projects.find(task.ProjectId);
    if (project != projects.end()) categories = Text(*project->second);
    if (task.Completed) categories += categories.empty() ? "Completed" : ",Completed";
    if (!categories.empty()) Line(out, "CATEGORIES:" + categories);
    if (!task.Notes.empty()) Line(out, "DESCRIPTION:" + Text(task.Notes));
    Line(out, "TRANSP:TRANSPARENT");
    Line(out, "END:VEVENT");
  }
  for (const TqorExchangeHoliday& holiday : plan.Holidays) {
    BeginEvent(out, ICalendarHolidayUid(holiday.Id, options.PlanId), stamp, holiday.Start,
               holiday.End);
    auto resource = resources.find(holiday.ResourceId);
    Line(out, "SUMMARY:" + Text(resource == resources.end() ? std::string("Holiday")
                                                            : "Holiday: " + *resource->second));
    Line(out, "END:VEVENT");
  }
  Line(out, "END:VCALENDAR");
  return out;
}
