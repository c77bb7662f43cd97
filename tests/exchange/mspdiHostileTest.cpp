// MS Project XML files that are damaged, hostile or written by other programs' rules: the import
// gives its error (with the element and the line) or a correct plan, never a crash, a hang or an
// allocation the file talks it into; what it cannot map it reports line by line.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "exchange/qorMspdiError.h"
#include "exchange/qorMspdiExport.h"
#include "exchange/qorMspdiImport.h"
#include "planner/base/qorCalendar.h"

namespace {

int EnvInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

// A file with the given elements in its Project element.
std::string Mspdi(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<Project xmlns=\"http://schemas.microsoft.com/project\">\n" +
         body + "</Project>\n";
}

// The 1-based line of the first occurrence of marker.
int64_t LineOf(const std::string& text, const std::string& marker) {
  const size_t at = text.find(marker);
  EXPECT_NE(at, std::string::npos) << marker;
  return 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n');
}

std::string Task(int uid, const std::string& name, const std::string& outline,
                 const std::string& start, const std::string& finish,
                 const std::string& more = "") {
  return "<Task><UID>" + std::to_string(uid) + "</UID><Name>" + name + "</Name><OutlineNumber>" +
         outline + "</OutlineNumber>\n<Start>" + start + "T08:00:00</Start><Finish>" + finish +
         "T17:00:00</Finish>" + more + "</Task>\n";
}

std::string Link(int predecessor, int type, long lag = 0, int format = 7) {
  return "<PredecessorLink><PredecessorUID>" + std::to_string(predecessor) +
         "</PredecessorUID><Type>" + std::to_string(type) + "</Type><LinkLag>" +
         std::to_string(lag) + "</LinkLag><LagFormat>" + std::to_string(format) +
         "</LagFormat></PredecessorLink>";
}

// The error the import gives, or fails the test when it gives none (or another exception).
EqorMspdiError ErrorOf(const std::string& xml) {
  try {
    ImportMspdi(xml, "hostile.xml");
  } catch (const EqorMspdiError& e) {
    return e;
  }
  ADD_FAILURE() << "no error for:\n" << xml.substr(0, 600);
  return EqorMspdiError("", 0, "");
}

int32_t Day(int y, int m, int d) {
  return static_cast<int32_t>(EncodeDate(y, m, d));
}

// A plan with every table filled, as the program would export it.
TqorExchangePlan SamplePlan(int tasks) {
  TqorExchangePlan plan;
  plan.Name = "Sample";
  const int32_t start = Day(2025, 3, 3);
  for (int p = 0; p < std::max(1, tasks / 50); ++p)
    plan.Projects.push_back({p + 1, "Project " + std::to_string(p), "P" + std::to_string(p), start,
                             start + 400, 10, 5, 1000, 400, false, "notes\nof it"});
  for (int t = 0; t < tasks; ++t)
    plan.Tasks.push_back({t + 1, 1 + t / 50, "Task <" + std::to_string(t) + "> & co",
                          start + t % 300, start + t % 300 + t % 7, t % 11 == 0 && t % 7 == 0,
                          t % 3 == 0, static_cast<double>(t % 101), t % 5 ? "" : "a\r\nb"});
  for (int r = 0; r < 5; ++r)
    plan.Resources.push_back(
        {r + 1, "Res " + std::to_string(r), "R" + std::to_string(r), 40.0 - r, 50.5 + r, 100, ""});
  for (int t = 0; t < tasks; t += 2) plan.Assignments.push_back({t / 2 + 1, t + 1, 1 + t % 5, 50});
  plan.Holidays.push_back({1, 1, start + 10, start + 12});
  for (int t = 1; t < tasks; t += 3)
    plan.Links.push_back({t, t, t + 1, static_cast<TqorLinkType>(t % 4), t % 9 - 4});
  return plan;
}

// --- Damaged files ---

// Cuts and byte changes anywhere in a real file: an error (with a line inside the file) or a
// plan, nothing else. VZ_MSPDI_DAMAGES (default 250) of each.
TEST(MspdiHostile, DamagedFilesGiveAnErrorOrAPlan) {
  const std::string xml = ExportMspdi(SamplePlan(25));
  const int64_t lines = std::count(xml.begin(), xml.end(), '\n') + 1;
  std::mt19937_64 rng(static_cast<uint64_t>(EnvInt("VZ_MSPDI_SEED", 4711)));
  const int damages = EnvInt("VZ_MSPDI_DAMAGES", 250);
  const size_t end = xml.rfind("</Project>");
  int errors = 0, plans = 0;
  for (int i = 0; i < 2 * damages; ++i) {
    std::string bad = xml;
    const size_t at = std::uniform_int_distribution<size_t>(0, xml.size() - 1)(rng);
    if (i < damages) {
      bad.resize(at);
    } else {
      static const char kBytes[] = "<>/&;\"'=![]?-x0 \n\xC3\x80";
      bad[at] = kBytes[std::uniform_int_distribution<size_t>(0, sizeof kBytes - 2)(rng)];
    }
    try {
      const TqorMspdiImport imported = ImportMspdi(bad, "damaged.xml");
      ++plans;
      // A file cut before its end tag is never taken for a whole one.
      EXPECT_FALSE(i < damages && at <= end) << "cut at " << at;
    } catch (const EqorMspdiError& e) {
      ++errors;
      EXPECT_FALSE(e.Reason().empty());
      EXPECT_GE(e.Line(), 0);
      EXPECT_LE(e.Line(), lines) << e.what();
    }
  }
  EXPECT_GT(errors, damages / 2);
  RecordProperty("errors", errors);
  RecordProperty("plans", plans);
}

// Each kind of malformed markup, with the element and the line it is on.
TEST(MspdiHostile, MalformedMarkupIsNamedWithItsLine) {
  struct TCase {
    std::string xml;
    std::string element;
    std::string at;  // the text whose line the error gives
  };
  const std::string tasks = "<Tasks>\n";
  const std::vector<TCase> cases = {
      {"", "XML", ""},
      {"   \n  ", "XML", ""},
      {"hello <Project/>", "XML", "hello"},
      {Mspdi("<Tasks>\n<Task><UID>1</UID></Tsk>\n</Tasks>\n"), "Task", "</Tsk>"},
      {Mspdi("<Tasks>\n<Task><UID>1</UID>\n"), "Task", "</Project>"},
      {Mspdi("<Title a=\"x>\n"), "Title", "<Title"},
      {Mspdi("<Title a=x>T</Title>\n"), "Title", "<Title"},
      {Mspdi("<Title>a</Title>\n<!-- open\n"), "Project", "<!--"},
      {Mspdi("<Title><![CDATA[ open\n</Title>\n"), "Title", "<![CDATA["},
      {Mspdi("<?pi open\n"), "Project", "<?pi"},
      {Mspdi("<Tasks><!ELEMENT x ANY></Tasks>\n"), "Tasks", "<!ELEMENT"},
      {Mspdi("<Tasks>\n< Task/></Tasks>\n"), "XML", "< Task"},
      {Mspdi("<a:>x</a:>\n"), "a:", "<a:>"},
      {Mspdi("") + "<More/>\n", "Project", "<More/>"},
      {Mspdi("") + "trailing text", "Project", "trailing"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.xml);
    const EqorMspdiError e = ErrorOf(c.xml);
    EXPECT_EQ(e.Element(), c.element) << e.what();
    if (!c.at.empty()) {
      EXPECT_EQ(e.Line(), LineOf(c.xml, c.at)) << e.what();
    }
  }
  // A name of control characters still gives a message to read (the bytes that are no UTF-8
  // make the file Latin-1).
  const EqorMspdiError e = ErrorOf(
      Mspdi(std::string("<Tasks>\n<Task><\0\x01\xD7\xFFUID>1</UID></Task>\n</Tasks>\n", 47)));
  EXPECT_EQ(std::string(e.what()),
            "\\x00\\x01\u00D7\u00FFUID at line 4: the end tag </UID> does not close the element "
            "opened at line 4");
}

// --- What the import refuses ---

TEST(MspdiHostile, NotAnMsProjectFileIsRefused) {
  for (const std::string& root :
       {std::string("<Project>"), std::string("<Project xmlns=\"http://example.com/project\">"),
        std::string("<Projekt xmlns=\"http://schemas.microsoft.com/project\">"),
        std::string("<p:Project xmlns=\"http://schemas.microsoft.com/project\">")}) {
    SCOPED_TRACE(root);
    const EqorMspdiError e = ErrorOf("<?xml version=\"1.0\"?>\n" + root + "<Tasks/></Project>");
    EXPECT_EQ(e.Line(), 2);
  }
  // The namespace through a prefix is MS Project's all the same.
  const TqorMspdiImport prefixed =
      ImportMspdi("<ms:Project xmlns:ms=\"http://schemas.microsoft.com/project\"><ms:Tasks>" +
                      Task(1, "P", "1", "2025-03-03", "2025-03-07", "<ms:Summary>1</ms:Summary>") +
                      Task(2, "T", "1.1", "2025-03-04", "2025-03-05") + "</ms:Tasks></ms:Project>",
                  "p.xml");
  ASSERT_EQ(prefixed.Plan.Tasks.size(), 1u);
  EXPECT_EQ(prefixed.Plan.Projects.at(0).Name, "P");
  EXPECT_EQ(ErrorOf("\xFF\xFE<\0P\0").Line(), 0);
}

// A DOCTYPE is refused before any entity of it is looked at, however deep they nest.
TEST(MspdiHostile, EntitiesAreNeverExpanded) {
  std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE Project [\n<!ENTITY e0 \"lol\">\n";
  for (int i = 1; i < 30; ++i)
    bomb += "<!ENTITY e" + std::to_string(i) + " \"" + std::string(10, '&') + "e" +
            std::to_string(i - 1) + ";\">\n";
  bomb +=
      "]>\n<Project xmlns=\"http://schemas.microsoft.com/project\"><Title>&e29;</Title>"
      "</Project>";
  const auto start = std::chrono::steady_clock::now();
  const EqorMspdiError e = ErrorOf(bomb);
  EXPECT_EQ(e.Element(), "DOCTYPE");
  EXPECT_EQ(e.Line(), 2);
  // Without a DOCTYPE an undeclared reference is text as it stands.
  const TqorMspdiImport plain = ImportMspdi(
      Mspdi("<Tasks>" + Task(1, "a &e29; &#x1F600; &lt;b&gt;", "1", "2025-03-03", "2025-03-03") +
            "</Tasks>"),
      "plain.xml");
  EXPECT_EQ(plain.Plan.Tasks.at(0).Name, "a &e29; 😀 <b>");
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5);
}

// Values the plan cannot hold: the error names the element and its line.
TEST(MspdiHostile, BadValuesAreNamedWithTheirLine) {
  struct TCase {
    std::string task;
    std::string element;
    std::string at;
  };
  const std::vector<TCase> cases = {
      {Task(1, "A", "1", "2025-13-01", "2025-03-03"), "Start", "<Start>"},
      {Task(1, "A", "1", "10000-01-01", "2025-03-03"), "Start", "<Start>"},
      {Task(1, "A", "1", "0000-01-01", "2025-03-03"), "Start", "<Start>"},
      {Task(1, "A", "1", "2025-03-03", "2025-02-30"), "Finish", "<Finish>"},
      {"<Task>\n<UID>x1</UID></Task>\n", "UID", "<UID>"},
      {Task(1, "A", "1", "2025-03-03", "2025-03-03", "\n<PercentComplete>ten</PercentComplete>"),
       "PercentComplete", "<PercentComplete>"},
      {Task(1, "A", "1", "2025-03-03", "2025-03-03",
            "\n<PredecessorLink><PredecessorUID>1e3</PredecessorUID></PredecessorLink>"),
       "PredecessorUID", "<PredecessorUID>"},
      // An end before the start: the file is refused, at the task.
      {"<Task>\n<UID>7</UID><Name>Late</Name><Start>2025-03-10T08:00:00</Start>\n"
       "<Finish>2025-03-07T17:00:00</Finish></Task>\n",
       "Task", "<Task>"},
      {Task(1, "A", "1", "2025-03-03", "2025-03-03") +
           Task(1, "B", "2", "2025-03-03", "2025-03-03"),
       "Task", "<Task><UID>1</UID><Name>B"},
      {"<Task><UID>1</UID><Name>No dates</Name></Task>\n", "Task", "<Task>"},
      {Task(
           1, "Deep",
           [] {
             std::string outline = "1";
             for (int i = 0; i < 150; ++i) outline += ".1";
             return outline;
           }(),
           "2025-03-03", "2025-03-03"),
       "Task", "<Task>"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.task);
    const std::string xml = Mspdi("<Title>t</Title>\n<Tasks>\n" + c.task + "</Tasks>\n");
    const EqorMspdiError e = ErrorOf(xml);
    EXPECT_EQ(e.Element(), c.element) << e.what();
    // The task's own line for the task, the value's line for a value.
    EXPECT_EQ(e.Line(), LineOf(xml, c.at)) << e.what();
  }
  const EqorMspdiError late = ErrorOf(Mspdi("<Tasks>\n" + cases[7].task + "</Tasks>"));
  EXPECT_NE(late.Reason().find("2025-03-07"), std::string::npos) << late.what();
  EXPECT_NE(late.Reason().find("Late"), std::string::npos) << late.what();
}

// Nesting and size beyond the limits: an error at once, without the stack or memory going with
// the file.
TEST(MspdiHostile, LimitsHoldWhateverTheFile) {
  std::string deep;
  for (int i = 0; i < 200000; ++i) deep += "<a>";
  const EqorMspdiError nested = ErrorOf(Mspdi("<Tasks><Task>\n" + deep));
  EXPECT_NE(nested.Reason().find("nested"), std::string::npos) << nested.what();
  EXPECT_EQ(nested.Line(), 4);

  std::string wide = "<Tasks><Task>\n";
  wide.reserve(8 * 1000010);
  for (int i = 0; i < 1000010; ++i) wide += "<x/>";
  const EqorMspdiError big = ErrorOf(Mspdi(wide + "</Task></Tasks>"));
  EXPECT_EQ(big.Element(), "Task");
  EXPECT_NE(big.Reason().find("1000000"), std::string::npos) << big.what();

  // Timephased data and baselines, however large, are left out without being kept.
  std::string timephased;
  for (int i = 0; i < 1200000; ++i)
    timephased += "<TimephasedData><Value>1</Value></TimephasedData>";
  const TqorMspdiImport kept = ImportMspdi(
      Mspdi("<Tasks>" + Task(1, "A", "1", "2025-03-03", "2025-03-04", timephased) + "</Tasks>"),
      "t.xml");
  EXPECT_EQ(kept.Plan.Tasks.size(), 1u);
}

// 100,000 tasks in 100 projects, each task the successor of the one before and the first one of
// the last, and a name of 10 MB: a correct plan, the one link that closes the ring left out and
// reported.
TEST(MspdiHostile, LargePlansImport) {
  constexpr int kTasks = 100000, kPerProject = 1000;
  const std::string huge = std::string(10 << 20, 'n') + " &amp; &lt;end&gt;";
  std::string xml =
      "<?xml version=\"1.0\"?>\n<Project xmlns=\"http://schemas.microsoft.com/project\">"
      "<Tasks>\n";
  xml.reserve(200u * kTasks + huge.size());
  int uid = 0;
  for (int p = 0; p < kTasks / kPerProject; ++p) {
    xml += Task(++uid, "Project " + std::to_string(p), std::to_string(p + 1), "2025-03-03",
                "2026-03-03", "<Summary>1</Summary>");
    for (int t = 0; t < kPerProject; ++t) {
      const int task = p * kPerProject + t;
      const int predecessor = task == 0 ? kTasks + kTasks / kPerProject : uid;
      ++uid;
      xml += Task(uid, task == 5 ? huge : "T" + std::to_string(task),
                  std::to_string(p + 1) + "." + std::to_string(t + 1), "2025-03-03", "2025-03-07",
                  Link(t == 0 && p > 0 ? uid - 2 : predecessor, 1, 4800));
    }
  }
  xml += "</Tasks></Project>\n";
  const TqorMspdiImport imported = ImportMspdi(xml, "large.xml");
  EXPECT_EQ(imported.Plan.Projects.size(), static_cast<size_t>(kTasks / kPerProject));
  ASSERT_EQ(imported.Plan.Tasks.size(), static_cast<size_t>(kTasks));
  EXPECT_EQ(imported.Plan.Tasks[5].Name, std::string(10 << 20, 'n') + " & <end>");
  ASSERT_EQ(imported.Plan.Links.size(), static_cast<size_t>(kTasks - 1));
  for (size_t l = 0; l < imported.Plan.Links.size(); ++l) {
    const TqorExchangeLink& link = imported.Plan.Links[l];
    ASSERT_EQ(link.SuccessorId, link.PredecessorId + 1);
    ASSERT_EQ(link.Lag, 1);
  }
  ASSERT_EQ(imported.Summary.size(), 1u);
  EXPECT_EQ(imported.Summary[0],
            "1 link that would close a cycle ignored (first: 'T0' after 'T99999')");
}

// --- Files by other programs' rules ---

// A file as other planners write them: the project summary task, three outline levels, tasks
// outside any summary, blank rows, links of every kind and to places the plan lacks, lags in
// other units, assignments to nowhere, calendars in both exception forms.
TEST(MspdiImport, OtherWritersRulesAreMappedAndReported) {
  const std::string calendars =
      "<Calendars>\n"
      // The project calendar: Saturday works, and a company day off on a Friday.
      "<Calendar><UID>1</UID><Name>Standard</Name><IsBaseCalendar>1</IsBaseCalendar>"
      "<WeekDays><WeekDay><DayType>7</DayType><DayWorking>1</DayWorking></WeekDay>"
      "<WeekDay><DayType>0</DayType><DayWorking>0</DayWorking><TimePeriod>"
      "<FromDate>2025-03-14T00:00:00</FromDate><ToDate>2025-03-14T23:59:00</ToDate>"
      "</TimePeriod></WeekDay></WeekDays></Calendar>\n"
      // Ana's: part-time, based on the project's, exceptions in the newer form.
      "<Calendar><UID>2</UID><Name>Ana</Name><BaseCalendarUID>1</BaseCalendarUID><WeekDays>"
      "<WeekDay><DayType>2</DayType><DayWorking>1</DayWorking><WorkingTimes><WorkingTime>"
      "<FromTime>09:00:00</FromTime><ToTime>13:00:00</ToTime></WorkingTime></WorkingTimes>"
      "</WeekDay><WeekDay><DayType>0</DayType><DayWorking>0</DayWorking><TimePeriod>"
      "<FromDate>2025-01-01T00:00:00</FromDate><ToDate>2025-01-01T23:59:00</ToDate>"
      "</TimePeriod></WeekDay></WeekDays><Exceptions>"
      "<Exception><TimePeriod><FromDate>2025-03-17T00:00:00</FromDate>"
      "<ToDate>2025-03-22T00:00:00</ToDate></TimePeriod><Type>1</Type>"
      "<DayWorking>0</DayWorking></Exception>"
      "<Exception><TimePeriod><FromDate>2025-04-02T13:00:00</FromDate>"
      "<ToDate>2025-04-02T17:00:00</ToDate></TimePeriod><DayWorking>0</DayWorking></Exception>"
      "<Exception><TimePeriod><FromDate>2025-05-01T00:00:00</FromDate>"
      "<ToDate>2025-12-31T23:59:00</ToDate></TimePeriod><Type>6</Type>"
      "<DayWorking>0</DayWorking></Exception>"
      "<Exception><TimePeriod><FromDate>2025-03-29T00:00:00</FromDate>"
      "<ToDate>2025-03-29T23:59:00</ToDate></TimePeriod><DayWorking>1</DayWorking></Exception>"
      "</Exceptions><WorkWeeks><WorkWeek/></WorkWeeks></Calendar>\n"
      // Bo's stands alone and repeats a feast.
      "<Calendar><UID>3</UID><Name>Bo</Name><IsBaseCalendar>1</IsBaseCalendar><WeekDays>"
      "<WeekDay><DayType>0</DayType><DayWorking>0</DayWorking><TimePeriod>"
      "<FromDate>2025-12-25T00:00:00</FromDate><ToDate>2025-12-26T23:59:00</ToDate>"
      "</TimePeriod></WeekDay><WeekDay><DayType>0</DayType><DayWorking>0</DayWorking>"
      "<TimePeriod><FromDate>2025-06-02T00:00:00</FromDate><ToDate>2025-06-03T23:59:00"
      "</ToDate></TimePeriod></WeekDay></WeekDays></Calendar>\n"
      "</Calendars>\n";
  const std::string tasks =
      "<Tasks>\n"
      "<Task><UID>0</UID><Name>Whole file</Name><OutlineNumber>0</OutlineNumber>"
      "<OutlineLevel>0</OutlineLevel><Start>2025-03-03T08:00:00</Start>"
      "<Finish>2025-04-30T17:00:00</Finish></Task>\n" +
      Task(10, "Build", "1", "2025-03-03", "2025-04-30",
           "<Summary>1</Summary><PercentComplete>100</PercentComplete>") +
      Task(11, "Phase 1", "1.1", "2025-03-03", "2025-03-20", "<Summary>1</Summary>") +
      Task(12, "Dig", "1.1.1", "2025-03-03", "2025-03-07",
           "<PercentComplete>40</PercentComplete><Notes>a&#13;&#10;b</Notes>") +
      Task(13, "Pour", "1.1.2", "2025-03-10", "2025-03-20",
           Link(12, 1, 2400) + Link(12, 0) + Link(99, 1) + Link(11, 3)) +
      Task(14, "Walls", "1.2", "2025-03-21", "2025-03-21",
           "<Milestone>1</Milestone>" + Link(13, 2, 3 * 14400, 8) + Link(14, 1) +
               "<PredecessorLink><PredecessorUID>13</PredecessorUID><CrossProject>1"
               "</CrossProject></PredecessorLink>") +
      "<Task><UID>15</UID><IsNull>1</IsNull></Task>\n" +
      Task(16, "Loose end", "2", "2025-04-01", "2025-04-03",
           Link(14, 7, 0, 19) +
               "<PredecessorLink><PredecessorUID>12</PredecessorUID>"
               "<LinkLag>-9600</LinkLag><LagFormat>19</LagFormat>"
               "</PredecessorLink>") +
      Task(17, "Cycle", "3", "2025-04-01", "2025-04-03", Link(16, 1)) + "<Foo><Bar/></Foo>\n" +
      "</Tasks>\n";
  const std::string xml = Mspdi(
      "<MinutesPerDay>480</MinutesPerDay>\n<CalendarUID>1</CalendarUID>\n" + calendars + tasks +
      "<Resources>\n"
      "<Resource><UID>0</UID><ID>0</ID></Resource>\n"
      "<Resource><UID>1</UID><Name>Ana</Name><Initials>A</Initials><MaxUnits>0.5</MaxUnits>"
      "<StandardRate>62.5</StandardRate><CalendarUID>2</CalendarUID></Resource>\n"
      "<Resource><UID>2</UID><Name>Bo</Name><Type>0</Type><CalendarUID>3</CalendarUID>"
      "</Resource>\n"
      "</Resources>\n<Assignments>\n"
      "<Assignment><TaskUID>12</TaskUID><ResourceUID>1</ResourceUID><Units>0.25</Units>"
      "</Assignment>\n"
      "<Assignment><TaskUID>12</TaskUID><ResourceUID>-65535</ResourceUID></Assignment>\n"
      "<Assignment><TaskUID>11</TaskUID><ResourceUID>2</ResourceUID></Assignment>\n"
      "<Assignment><TaskUID>77</TaskUID><ResourceUID>2</ResourceUID></Assignment>\n"
      "</Assignments>\n<OutlineCodes><OutlineCode/><OutlineCode/></OutlineCodes>\n");
  // The cycle: "Loose end" also follows "Cycle", which follows it.
  std::string cyclic = xml;
  cyclic.insert(cyclic.find("</Task>", cyclic.find("<Name>Loose end")), Link(17, 1));
  const TqorMspdiImport imported = ImportMspdi(cyclic, "/some/folder/site plan.xml");
  const TqorExchangePlan& plan = imported.Plan;

  EXPECT_EQ(plan.Name, "site plan.xml");
  ASSERT_EQ(plan.Projects.size(), 2u);
  EXPECT_EQ(plan.Projects[0].Name, "Build");
  EXPECT_TRUE(plan.Projects[0].Completed);
  EXPECT_EQ(plan.Projects[0].Start, Day(2025, 3, 3));
  EXPECT_EQ(plan.Projects[0].End, Day(2025, 4, 30));
  // The file's own project, for the tasks outside any summary, spans them.
  EXPECT_EQ(plan.Projects[1].Name, "site plan");
  EXPECT_EQ(plan.Projects[1].Start, Day(2025, 4, 1));
  EXPECT_EQ(plan.Projects[1].End, Day(2025, 4, 3));

  std::vector<std::string> names;
  for (const TqorExchangeTask& t : plan.Tasks)
    names.push_back(std::to_string(t.ProjectId) + " " + t.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"1 Phase 1 / Dig", "1 Phase 1 / Pour", "1 Walls",
                                             "2 Loose end", "2 Cycle"}));
  EXPECT_EQ(plan.Tasks[0].Progress, 40);
  EXPECT_FALSE(plan.Tasks[0].Completed);
  EXPECT_EQ(plan.Tasks[0].Notes, "a\r\nb");
  EXPECT_TRUE(plan.Tasks[2].Milestone);

  std::vector<std::string> links;
  for (const TqorExchangeLink& l : plan.Links)
    links.push_back(std::to_string(l.PredecessorId) + ">" + std::to_string(l.SuccessorId) + " " +
                    std::string(LinkTypeText(l.Type)) + " " + std::to_string(l.Lag));
  // Half a day rounds away from zero; three elapsed days are two working days and a bit;
  // percentages have no lag; an unknown type is finish-to-start.
  EXPECT_EQ(links,
            (std::vector<std::string>{"1>2 FS 1", "2>3 SF 2", "3>4 FS 0", "1>4 FS 0", "4>5 FS 0"}));

  ASSERT_EQ(plan.Resources.size(), 2u);
  EXPECT_EQ(plan.Resources[0].MaxUnits, 50);
  EXPECT_EQ(plan.Resources[0].CostPerHour, 62.5);
  // Monday 4 hours, Tuesday to Friday 8 and Saturday 8 from the project calendar.
  EXPECT_EQ(plan.Resources[0].HoursPerWeek, 4 + 4 * 8 + 8);
  EXPECT_EQ(plan.Resources[1].HoursPerWeek, 40);
  EXPECT_EQ(plan.Resources[1].MaxUnits, 100);
  ASSERT_EQ(plan.Assignments.size(), 1u);
  EXPECT_EQ(plan.Assignments[0].Units, 25);

  std::vector<std::string> holidays;
  for (const TqorExchangeHoliday& h : plan.Holidays)
    holidays.push_back(std::to_string(h.ResourceId) + " " +
                       std::to_string(h.Start - Day(2025, 1, 1)) + ".." +
                       std::to_string(h.End - Day(2025, 1, 1)));
  // Ana: the week off (its ToDate at midnight ends the day before) and a half day; her
  // DayType 0 entry gives way to her Exceptions. Bo: two days, not the feast his calendar
  // repeats.
  EXPECT_EQ(holidays, (std::vector<std::string>{
                          "1 " + std::to_string(Day(2025, 3, 17) - Day(2025, 1, 1)) + ".." +
                              std::to_string(Day(2025, 3, 21) - Day(2025, 1, 1)),
                          "1 " + std::to_string(Day(2025, 4, 2) - Day(2025, 1, 1)) + ".." +
                              std::to_string(Day(2025, 4, 2) - Day(2025, 1, 1)),
                          "2 " + std::to_string(Day(2025, 6, 2) - Day(2025, 1, 1)) + ".." +
                              std::to_string(Day(2025, 6, 3) - Day(2025, 1, 1))}));

  EXPECT_EQ(imported.Summary,
            (std::vector<std::string>{
                "2 tasks below level 2 flattened into their level-1 project",
                "1 summary task below level 1 left out (its name is kept in its tasks' names)",
                "2 tasks outside any summary task put into the project 'site plan'",
                "1 blank task row left out",
                "2 links to tasks outside the file ignored",
                "1 link to or from a summary task ignored",
                "1 link of a task to itself ignored",
                "1 second link between the same two tasks ignored",
                "1 link that would close a cycle ignored (first: 'Loose end' after 'Cycle')",
                "1 link of an unknown type read as finish-to-start",
                "2 link lags that were not whole working days rounded",
                "1 link lag in elapsed time read as 5 working days a week",
                "1 link lag in percent of the predecessor's duration left out",
                "1 assignment to a task outside the file ignored",
                "1 assignment without a resource of the file ignored",
                "1 assignment to a summary task ignored",
                "1 material or cost resource imported as a work resource",
                "1 calendar exception with part-day times read as whole days",
                "1 day off in a resource calendar that the plan does not work anyway left out",
                "1 calendar exception that makes days working ignored",
                "1 recurring calendar exception ignored",
                "1 work week of a calendar (a period with other working times) ignored",
                "the project calendar's working week is not Monday to Friday: the plan's own "
                "applies",
                "1 working day off in the project calendar ignored (the plan keeps its own "
                "feasts)",
                "3 elements not read (in OutlineCodes, Tasks)"}));
}

// A plan's tasks of no project of the plan come back in the project named after the file; a
// file in Latin-1 is read as its declaration says.
TEST(MspdiImport, TasksOfNoProjectAndOtherEncodings) {
  TqorExchangePlan plan = SamplePlan(4);
  plan.Tasks[1].ProjectId = 999;
  const TqorMspdiImport imported = ImportMspdi(ExportMspdi(plan), "orphans.xml");
  ASSERT_EQ(imported.Plan.Projects.size(), 2u);
  EXPECT_EQ(imported.Plan.Projects[1].Name, "orphans");
  EXPECT_EQ(imported.Plan.Tasks.back().Name, plan.Tasks[1].Name);
  EXPECT_EQ(imported.Plan.Tasks.back().ProjectId, 2);
  EXPECT_EQ(
      imported.Summary,
      std::vector<std::string>{"1 task outside any summary task put into the project 'orphans'"});

  const std::string latin1 =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
      "<Project xmlns=\"http://schemas.microsoft.com/project\"><Tasks>" +
      Task(1, "M\xFCller <![CDATA[& <Co>]]>", "1", "2025-03-03", "2025-03-03") +
      "</Tasks></Project>";
  EXPECT_EQ(ImportMspdi(latin1, "l.xml").Plan.Tasks.at(0).Name, "Müller & <Co>");
  EXPECT_EQ(ImportMspdi(
                "\xEF\xBB\xBF" +
                    Mspdi("<Tasks>" + Task(1, "Zoë", "1", "2025-03-03", "2025-03-03") + "</Tasks>"),
                "b.xml")
                .Plan.Tasks.at(0)
                .Name,
            "Zoë");
}

}  // namespace
