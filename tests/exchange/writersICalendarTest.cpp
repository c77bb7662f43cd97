// The iCalendar text of random plans read by python3's icalendar module, and from its lines as
// RFC 5545 writes them: every event's UID, dates, stamp, summary, categories and description
// must be the plan's, every line CRLF-ended, at most 75 octets and whole UTF-8; a later export
// of the same plan keeps every UID.
//
// VZ_ICS_SEED and VZ_ICS_PLANS choose the plans.
#include <gtest/gtest.h>

#include <ctime>
#include <map>

#include "exchange/qorICalendarExport.h"
#include "planner/base/qorUtf8.h"
#include "tests/exchange/writersTestUtil.h"

namespace {

using namespace writers_test;

// The text as an event should hold it: line breaks as LF, control characters but TAB left out.
std::string Held(std::string_view text) {
  std::string out;
  for (char c : WithLf(text))
    if (!((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') || c == 0x7F)) out += c;
  return out;
}

std::string StampText(int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&time, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  return text;
}

// Lines of at most 75 octets, each ended by CRLF, folds starting with a space, no UTF-8
// character cut by a fold.
void ExpectWellFolded(const std::string& text) {
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  size_t at = 0;
  std::string logical;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << "a line without CRLF at " << at;
    const std::string line = text.substr(at, end - at);
    EXPECT_LE(line.size(), 75u) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    EXPECT_TRUE(IsValidUtf8(line)) << "a fold cuts a character: " << Hex(line);
    at = end + 2;
  }
}

struct TExpectedEvent {
  std::string Uid, Summary, Description, Start, End, Transp;
  std::vector<std::string> Categories;
};

std::string DateValue(int32_t day) {
  return "DATE:" + IsoDay(day);
}

std::vector<TExpectedEvent> ExpectedEvents(const TqorExchangePlan& plan,
                                           const std::string& planId) {
  std::map<int32_t, std::string> projects, resources;
  for (const TqorExchangeProject& p : plan.Projects) projects.emplace(p.Id, p.Name);
  for (const TqorExchangeResource& r : plan.Resources) resources.emplace(r.Id, r.Name);
  std::vector<TExpectedEvent> events;
  for (const TqorExchangeTask& t : plan.Tasks) {
    TExpectedEvent e{"task-" + std::to_string(t.Id) + "@" + planId,
                     Held(t.Name),
                     Held(t.Notes),
                     DateValue(t.Start),
                     DateValue(std::max(t.Start, t.End) + 1),
                     "TRANSPARENT",
                     {}};
    auto project = projects.find(t.ProjectId);
    if (project != projects.end() && !Held(project->second).empty())
      e.Categories.push_back(Held(project->second));
    if (t.Completed) e.Categories.push_back("Completed");
    events.push_back(e);
  }
  for (const TqorExchangeHoliday& h : plan.Holidays) {
    auto resource = resources.find(h.ResourceId);
    events.push_back(
        {"holiday-" + std::to_string(h.Id) + "@" + planId,
         resource == resources.end() ? "Holiday" : Held("Holiday: " + resource->second),
         "",
         DateValue(h.Start),
         DateValue(std::max(h.Start, h.End) + 1),
         "",
         {}});
  }
  return events;
}

TEST(WritersICalendar, PythonReadsEveryEventBack) {
  const std::string python = PythonWith("icalendar");
  if (python.empty()) GTEST_SKIP() << "python3's icalendar module is not installed";
  const uint64_t seed = EnvNumber("VZ_ICS_SEED", 5545);
  const uint64_t plans = EnvNumber("VZ_ICS_PLANS", 12);
  const std::string planIds[] = {"0f8fad5b-d9cb-469f-a165-70867728950e", "plan;one,two\\three",
                                 "Zürich-Büro", std::string(90, 'p') + "@example"};
  std::mt19937_64 random(seed);
  TTempDir dir;
  for (uint64_t p = 0; p < plans; ++p) {
    SCOPED_TRACE("plan " + std::to_string(p) + " of seed " + std::to_string(seed));
    TqorExchangePlan plan = RandomPlan(random);
    const std::string& planId = planIds[p % std::size(planIds)];
    const int64_t stamp = 631152000 + static_cast<int64_t>(random() % 1262304000);  // 1990-2029
    const std::string text = ExportICalendar(plan, {planId, stamp});
    ExpectWellFolded(text);
    EXPECT_EQ(text.substr(0, 17), "BEGIN:VCALENDAR\r\n");
    EXPECT_NE(text.find("\r\nVERSION:2.0\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nPRODID:"), std::string::npos);
    const std::string path = dir / ("writers-" + std::to_string(p) + ".ics");
    WriteFile(path, text);

    const TICalendarReading reading = ReadICalendar(python, path, "VEVENT");
    const std::vector<TExpectedEvent> expected = ExpectedEvents(plan, planId);
    ASSERT_EQ(reading.Lines.size(), expected.size());
    ASSERT_EQ(reading.Module.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      const TExpectedEvent& e = expected[i];
      SCOPED_TRACE(e.Uid + " in " + path);
      const TICalendarItem& lines = reading.Lines[i];
      EXPECT_EQ(lines.Repeated, 0);
      EXPECT_EQ(lines.Uid, e.Uid);
      EXPECT_EQ(lines.Summary, e.Summary);
      EXPECT_EQ(lines.Description, e.Description);
      EXPECT_EQ(lines.Categories, e.Categories);
      EXPECT_EQ(lines.Start, e.Start);
      EXPECT_EQ(lines.End, e.End);
      EXPECT_EQ(lines.Transp, e.Transp);
      EXPECT_EQ(lines.Stamp, StampText(stamp));
      // The module's own reading, where its decoding of backslashes does not mislead it.
      const TICalendarItem& module = reading.Module[i];
      auto same = [](const std::string& got, const std::string& want) {
        if (want.find('\\') == std::string::npos) {
          EXPECT_EQ(got, want);
        }
      };
      same(module.Uid, e.Uid);
      same(module.Summary, e.Summary);
      same(module.Description, e.Description);
      EXPECT_EQ(module.Start, e.Start);
      EXPECT_EQ(module.End, e.End);
      std::string categories;
      for (const std::string& c : e.Categories) categories += c;
      if (categories.find_first_of("\\,") == std::string::npos) {
        EXPECT_EQ(module.Categories, e.Categories);
      }
    }

    // A later export: other stamp, the same UIDs in the same order, all distinct.
    const std::string again = dir / ("writers-" + std::to_string(p) + "-again.ics");
    WriteFile(again, ExportICalendar(plan, {planId, stamp + 86400 * 30}));
    const TICalendarReading second = ReadICalendar(python, again, "VEVENT");
    ASSERT_EQ(second.Lines.size(), expected.size());
    std::map<std::string, int> uids;
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(second.Lines[i].Uid, reading.Lines[i].Uid);
      EXPECT_NE(second.Lines[i].Stamp, reading.Lines[i].Stamp);
      EXPECT_EQ(++uids[second.Lines[i].Uid], 1) << "UID used twice: " << second.Lines[i].Uid;
    }
  }
}

}  // namespace
