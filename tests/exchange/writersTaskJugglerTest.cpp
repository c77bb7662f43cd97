// The TaskJuggler file judged by tj3 itself: random plans with links of every type, lags and
// leads, placed by the program's scheduler, are exported; tj3 must schedule each file without an
// error or a warning, and give every task the plan's days (its CSV report) and its name (its
// iCalendar report, read by python's icalendar module) back.
//
// VZ_TJP_SEED and VZ_TJP_PLANS choose the plans (tj3 takes about a second for each).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <sstream>

#include "exchange/qorTaskJugglerExport.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorUtf8.h"
#include "planner/schedule/qorWorkCalendar.h"
#include "tests/exchange/writersTestUtil.h"

namespace {

using namespace writers_test;

// The start and end of every task in tj3's CSV report ("YYYY-MM-DD HH:MM"), by the task's own
// id (the part after the last ".").
std::map<std::string, std::pair<std::string, std::string>> ReadDates(const std::string& csv) {
  std::map<std::string, std::pair<std::string, std::string>> rows;
  static const std::regex kRow("\"([A-Za-z0-9_.]+)\";\"([0-9: -]+)\";\"([0-9: -]+)\"");
  for (auto it = std::sregex_iterator(csv.begin(), csv.end(), kRow); it != std::sregex_iterator();
       ++it) {
    const std::string id = (*it)[1];
    rows[id.substr(id.rfind('.') == std::string::npos ? 0 : id.rfind('.') + 1)] = {(*it)[2],
                                                                                   (*it)[3]};
  }
  return rows;
}

// The name of every task in tj3's iCalendar report, from its lines, by the task's own id: tj3's
// UID is "plan-<tj3 id>-TODO", and it writes a quote as \", which the decoder of the lines turns
// into the quote (the module keeps the backslash).
std::map<std::string, std::string> ReadNames(const std::string& python, const std::string& ics) {
  std::map<std::string, std::string> names;
  for (const TICalendarItem& item : ReadICalendar(python, ics, "VTODO").Lines) {
    const std::string uid =
        item.Uid.substr(0, item.Uid.size() - std::min<size_t>(5, item.Uid.size()));
    names[uid.substr(uid.find_last_of("-.") + 1)] = item.Summary;
  }
  return names;
}

int32_t DayOf(const std::string& moment) {
  return static_cast<int32_t>(DateFromISOText(moment.substr(0, 10)));
}

int HourOf(const std::string& moment) {
  return std::stoi(moment.substr(11, 2)) * 60 + std::stoi(moment.substr(14, 2));
}

// The day on which work at or after the moment begins: the moment's own day when a working hour
// (9:00 to 17:00) is still to come on it, else the next working day.
int32_t FirstWorkingDay(const TqorWorkCalendar& calendar, const std::string& moment) {
  const int32_t day = DayOf(moment);
  return calendar.IsWorkingDay(day) && HourOf(moment) < 17 * 60 ? day : calendar.Next(day + 1);
}

// The text as tj3 should give it back: line breaks as LF, the control characters that the file
// cannot hold left out.
std::string Expected(std::string_view text) {
  std::string out;
  for (char c : WithLf(text))
    if (!((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') || c == 0x7F)) out += c;
  return out;
}

std::string WithoutZeroWidthSpaces(std::string text) {
  for (size_t at; (at = text.find("\u200B")) != std::string::npos;) text.erase(at, 3);
  return text;
}

// Keeps the assignments tj3 can honour at some hour: none of a milestone, and per resource none
// whose task lies wholly in the resource's holidays or shares a day with another task it keeps
// (a week, when the resource may work fewer hours in a week than tj3's 40).
void KeepHonourableAssignments(TqorExchangePlan& plan) {
  TqorWorkCalendar calendar;
  std::map<int32_t, const TqorExchangeTask*> tasks;
  for (const TqorExchangeTask& task : plan.Tasks) tasks[task.Id] = &task;
  std::map<int32_t, bool> weekly;
  for (const TqorExchangeResource& r : plan.Resources)
    weekly[r.Id] = r.HoursPerWeek > 0 && r.HoursPerWeek < 40;
  std::map<int32_t, std::vector<std::pair<int32_t, int32_t>>> busy;
  std::vector<TqorExchangeAssignment> kept;
  for (const TqorExchangeAssignment& assignment : plan.Assignments) {
    const TqorExchangeTask& task = *tasks.at(assignment.TaskId);
    int32_t first = task.Start, last = std::max(task.Start, task.End);
    bool free = false;  // a working day of the task outside the resource's holidays
    for (int32_t day = first; day <= last && !free; ++day) {
      bool away = !calendar.IsWorkingDay(day);
      for (const TqorExchangeHoliday& h : plan.Holidays)
        away = away || (h.ResourceId == assignment.ResourceId && day >= h.Start &&
                        day <= std::max(h.Start, h.End));
      free = !away;
    }
    if (weekly[assignment.ResourceId]) {
      first = static_cast<int32_t>(MondayOf(first));
      last = static_cast<int32_t>(MondayOf(last)) + 6;
    }
    auto& spans = busy[assignment.ResourceId];
    const bool overlaps = std::any_of(spans.begin(), spans.end(), [&](auto span) {
      return span.first <= last && first <= span.second;
    });
    if (task.Milestone || !free || overlaps) continue;
    spans.push_back({first, last});
    kept.push_back(assignment);
  }
  plan.Assignments = kept;
}

TEST(WritersTaskJuggler, Tj3GivesEveryTaskThePlansDaysAndName) {
  if (!HaveProgram("tj3") || !HaveProgram("timeout")) GTEST_SKIP() << "tj3 is not installed";
  const std::string python = PythonWith("icalendar");
  if (python.empty()) GTEST_SKIP() << "python3's icalendar module is not installed";
  const uint64_t seed = EnvNumber("VZ_TJP_SEED", 20240611);
  const uint64_t plans = EnvNumber("VZ_TJP_PLANS", 4);
  TqorWorkCalendar calendar;
  std::mt19937_64 random(seed);
  int tasksChecked = 0;
  std::map<TqorLinkType, int> linkTypes;
  for (uint64_t p = 0; p < plans; ++p) {
    SCOPED_TRACE("plan " + std::to_string(p) + " of seed " + std::to_string(seed));
    TPlanShape shape;
    shape.Tasks = 10 + static_cast<int>(random() % 21);
    TqorExchangePlan plan = RandomPlan(random, shape);
    const std::set<int32_t> placedByLinks = Reschedule(plan);
    KeepHonourableAssignments(plan);
    for (const TqorExchangeLink& link : plan.Links) ++linkTypes[link.Type];

    TTempDir dir;
    // tj3's own iCalendar report gives the names back, escaped as that format escapes them.
    WriteFile(dir / "plan.tjp", ExportTaskJuggler(plan, {"dates"}) + "icalreport \"names\"\n");
    const TCommandResult tj3 =
        RunCommand("cd " + dir.Path() + " && timeout 300 tj3 --silent --no-color plan.tjp");
    ASSERT_EQ(tj3.Status, 0) << tj3.Output << "\nin " << dir.Path();
    ASSERT_EQ(tj3.Output, "") << "tj3 warned about " << dir.Path();
    const auto rows = ReadDates(ReadFile(dir / "dates.csv"));
    const auto names = ReadNames(python, dir / "names.ics");

    for (const TqorExchangeTask& task : plan.Tasks) {
      SCOPED_TRACE("task " + TaskJugglerTaskId(task.Id) + " in " + dir.Path());
      auto row = rows.find(TaskJugglerTaskId(task.Id));
      ASSERT_NE(row, rows.end());
      const std::string& tjStart = row->second.first;
      const std::string& tjEnd = row->second.second;
      const int32_t end = std::max(task.Start, task.End);
      const bool placed = placedByLinks.count(task.Id) > 0;
      if (task.Milestone && task.Start == end) {
        EXPECT_EQ(tjStart, tjEnd);
        EXPECT_EQ(IsoDay(placed ? FirstWorkingDay(calendar, tjStart) : DayOf(tjStart)),
                  IsoDay(task.Start))
            << tjStart;
      } else if (placed) {
        // tj3 starts a task at the moment it may begin and ends it after its last working hour.
        EXPECT_EQ(IsoDay(FirstWorkingDay(calendar, tjStart)), IsoDay(task.Start)) << tjStart;
        EXPECT_EQ(tjEnd.substr(11), "17:00");
        EXPECT_EQ(IsoDay(DayOf(tjEnd)), IsoDay(end)) << tjEnd;
      } else {
        EXPECT_EQ(tjStart, IsoDay(task.Start) + " 00:00");
        EXPECT_EQ(tjEnd, IsoDay(end) + " 17:00");
      }
      auto name = names.find(TaskJugglerTaskId(task.Id));
      ASSERT_NE(name, names.end());
      EXPECT_EQ(WithoutZeroWidthSpaces(name->second), Expected(task.Name));
      ++tasksChecked;
    }
  }
  RecordProperty("tasks", tasksChecked);
  if (plans >= 4) {
    for (TqorLinkType type :
         {TqorLinkType::FS, TqorLinkType::SS, TqorLinkType::FF, TqorLinkType::SF})
      EXPECT_GT(linkTypes[type], 0) << "no " << LinkTypeText(type) << " link was tried";
  }
}

}  // namespace
