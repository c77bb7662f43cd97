// vazadod-cli: a sample plan keeps the planner's own rules (assignments only where the holiday
// and capacity checks allow them, hours computed from them, milestones of one day), covers
// what the grid shows (completed, late and overdue tasks), is the same for the same seed, and
// never overwrites a file; the program's usage conventions.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/core/qorPlanSchedule.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorReportBuilders.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/qorPlannerModel.h"
#include "tests/cliRun.h"
#include "tests/testFiles.h"
#include "tools/vazadod-cli/cliSample.h"

namespace {

namespace fs = std::filesystem;

using TRun = TCommandRun;
TRun RunCli(const std::string& args) {
  return RunVazadodCli(args);
}

class VazadodCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vz_cli_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { RemoveTestFolder(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

struct TTask {
  double Start, End, Hours;
  bool Milestone, Completed;
  std::string Project;
};

// Every row of the table as "column=value;" text, in key order.
std::string Dump(TqorDatabaseController& db, const std::string& table) {
  std::string out;
  TqorDatabaseRecordSet* set = db.OpenRecordSet("SELECT * FROM " + table);
  for (; !db.Eof(set); db.Next(set)) {
    for (const char* c : {"TaskName", "StartDate", "EndDate", "AssignedHours", "ResourceId",
                          "Units", "ResourceName", "ProjectFilter"}) {
      try {
        out += db.GetString(set, c) + ";";
      } catch (const std::exception&) {
      }
    }
    out += "\n";
  }
  db.CloseRecordSet(set);
  return out;
}

TEST_F(VazadodCli, ASamplePlanKeepsThePlannersRules) {
  TSampleOptions o;
  o.Projects = 4;
  o.TasksPerProject = 12;
  o.Resources = 5;
  o.Seed = 7;
  o.Today = EncodeDate(2005, 1, 3);
  const TSampleCounts n = WriteSamplePlanner(Path("a.zuz"), o);
  EXPECT_EQ(n.Projects, 4);
  EXPECT_EQ(n.Tasks, 48);

  TqorDatabaseController db;
  db.OpenDatabase(Path("a.zuz"));
  std::map<std::string, double> hoursPerWeek, maxUnits;
  std::map<std::string, std::vector<std::pair<double, double>>> holidays;
  std::map<std::string, TTask> tasks;
  std::map<std::string, double> projectEnd;
  bool accent = false, apostrophe = false;
  TqorDatabaseRecordSet* s = db.OpenRecordSet("SELECT * FROM Resources");
  for (; !db.Eof(s); db.Next(s)) {
    const std::string name = db.GetString(s, "ResourceName");
    accent = accent || name.find('\xC3') != std::string::npos;
    apostrophe = apostrophe || name.find('\'') != std::string::npos;
    hoursPerWeek[db.GetString(s, "ResourceId")] = db.GetFloat(s, "HoursPerWeek");
    maxUnits[db.GetString(s, "ResourceId")] = db.GetFloat(s, "MaxUnits");
    EXPECT_FALSE(db.GetString(s, "Initials").empty());
  }
  db.CloseRecordSet(s);
  s = db.OpenRecordSet("SELECT * FROM Holidays");
  for (; !db.Eof(s); db.Next(s))
    holidays[db.GetString(s, "ResourceId")].emplace_back(db.GetDate(s, "StartDate"),
                                                         db.GetDate(s, "EndDate"));
  db.CloseRecordSet(s);
  s = db.OpenRecordSet("SELECT * FROM Projects");
  std::string filter;
  for (; !db.Eof(s); db.Next(s)) {
    projectEnd[db.GetString(s, "ProjectId")] = db.GetDate(s, "EndDate");
    filter += "[" + db.GetString(s, "ProjectId") + "]";
  }
  db.CloseRecordSet(s);
  s = db.OpenRecordSet("SELECT * FROM Tasks");
  for (; !db.Eof(s); db.Next(s)) {
    tasks[db.GetString(s, "TaskId")] = {
        db.GetDate(s, "StartDate"),      db.GetDate(s, "EndDate"),
        db.GetFloat(s, "AssignedHours"), db.GetBoolean(s, "IsMileStone"),
        db.GetBoolean(s, "IsCompleted"), db.GetString(s, "ProjectId")};
  }
  db.CloseRecordSet(s);
  EXPECT_TRUE(accent && apostrophe);
  EXPECT_EQ(db.LookupValue("SELECT ProjectFilter FROM Settings WHERE SettingId=1").ToText(),
            filter);

  // Assignments in the order they were made: each must have passed the allocation checks
  // against those made before it.
  std::map<std::string, double> hours;
  std::vector<std::pair<std::string, std::string>> made;  // resource, task
  std::vector<double> units;
  s = db.OpenRecordSet("SELECT * FROM Assignments ORDER BY AssignmentId");
  for (; !db.Eof(s); db.Next(s)) {
    const std::string r = db.GetString(s, "ResourceId"), t = db.GetString(s, "TaskId");
    const TTask& task = tasks.at(t);
    for (const auto& [from, to] : holidays[r])
      EXPECT_FALSE(to >= task.Start && from <= task.End) << "assigned during a holiday";
    double used = 0;
    for (size_t i = 0; i < made.size(); ++i) {
      const TTask& other = tasks.at(made[i].second);
      if (made[i].first == r && other.End >= task.Start && other.Start <= task.End)
        used += units[i];
    }
    EXPECT_LE(db.GetFloat(s, "Units"), std::max(0.0, maxUnits[r] - used)) << "over capacity";
    hours[t] += (task.End - task.Start + 1) * hoursPerWeek[r] / 7 * db.GetFloat(s, "Units") / 100;
    made.emplace_back(r, t);
    units.push_back(db.GetFloat(s, "Units"));
  }
  db.CloseRecordSet(s);
  EXPECT_EQ(static_cast<int>(made.size()), n.Assignments);
  int milestones = 0, completed = 0, late = 0, overdue = 0;
  for (const auto& [id, t] : tasks) {
    EXPECT_NEAR(t.Hours, hours[id], 1e-9) << "task " << id;
    if (t.Milestone) {
      EXPECT_EQ(t.Start, t.End);
    }
    milestones += t.Milestone;
    completed += t.Completed;
    late += !t.Completed && t.End < o.Today;
    overdue += t.End > projectEnd.at(t.Project);
  }
  EXPECT_GT(milestones, 0);
  EXPECT_GT(completed, 0);
  EXPECT_GT(late + overdue, 0);

  // The same seed and day give the same plan.
  WriteSamplePlanner(Path("b.zuz"), o);
  TqorDatabaseController again;
  again.OpenDatabase(Path("b.zuz"));
  for (const char* table : {"Tasks", "Assignments", "Resources", "Settings"})
    EXPECT_EQ(Dump(db, table), Dump(again, table)) << table;
}

// A sample plan with links: every task satisfies its links (rescheduling moves nothing), each
// task's hours follow its dates, and the tasks report lists what each task follows.
TEST_F(VazadodCli, ASamplePlanWithLinksIsScheduled) {
  TSampleOptions o;
  o.Projects = 3;
  o.TasksPerProject = 15;
  o.Resources = 4;
  o.Seed = 11;
  o.Today = EncodeDate(2024, 3, 25);  // Easter Monday, a holiday
  o.LinksPer100Tasks = 90;
  const TSampleCounts n = WriteSamplePlanner(Path("links.zuz"), o);
  EXPECT_GE(n.Links, 30);
  TqorDatabaseController db;
  db.OpenDatabase(Path("links.zuz"));
  TqorPlannerModel planner;
  LoadPlanner(db, planner);
  ASSERT_NE(planner.LinksNode(), nullptr);
  EXPECT_EQ(planner.LinksNode()->ChildCount(), n.Links);
  TqorSchedule schedule = qorPlanSchedule::ScheduleOf(planner);
  std::vector<int32_t> all;
  for (const TqorScheduleTask& t : schedule.Tasks()) all.push_back(t.Id);
  EXPECT_TRUE(schedule.Ripple(all).Moved.empty()) << "a task breaks its links";
  EXPECT_TRUE(schedule.RescheduleAll().Moved.empty()) << "a task could start earlier";
  const TqorXMLNode2* projects = planner.ProjectsNode();
  for (int p = 0; p < projects->ChildCount(); ++p)
    for (int t = 0; t < projects->GetChild(p)->ChildCount(); ++t) {
      const TqorXMLNode2* task = projects->GetChild(p)->GetChild(t);
      EXPECT_NEAR(task->GetAttribute("assignedhours").AsReal(), planner.CalcAssignedHours(task),
                  1e-9)
          << task->GetAttributeStr("name");
    }
  TqorFastString text;
  const std::string report = BuildTasksReport(text, planner);
  const TqorXMLNode2* link = planner.LinksNode()->GetChild(0);
  EXPECT_NE(report.find("<td class=\"td.shaded\" right=\"65\">After</td>"), std::string::npos);
  EXPECT_NE(
      report.find(">" + link->GetAttributeStr("predecessorid") + link->GetAttributeStr("type")),
      std::string::npos);
}

TEST_F(VazadodCli, UsageAndFailures) {
  EXPECT_EQ(RunCli("--help").Status, 0);
  EXPECT_EQ(RunCli("sample --help").Status, 0);
  EXPECT_EQ(RunCli("--version").Out.rfind("vazadod-cli (Vazadod) ", 0), 0u);
  for (const std::string& wrong : std::vector<std::string>{
           "", "bogus", "--bogus", "sample " + Path("x.zuz"),
           "sample --projects 0 --tasks-per-project 1 --resources 1 " + Path("x.zuz"),
           "sample --projects 2 --projects 3 --tasks-per-project 1 --resources 1 " + Path("x.zuz"),
           "sample --projects 1 --tasks-per-project 1 --resources 1 --today 2005-13-01 " +
               Path("x.zuz"),
           "new", "new " + Path("x.zuz") + " " + Path("y.zuz")}) {
    const TRun run = RunCli(wrong);
    EXPECT_EQ(run.Status, 2) << wrong << "\n" << run.Out;
    EXPECT_NE(run.Out.find("Usage: vazadod-cli"), std::string::npos) << wrong;
  }
  EXPECT_FALSE(fs::exists(Path("x.zuz")));

  // An existing file is never overwritten.
  std::ofstream(Path("mine.zuz")) << "my plan";
  const TRun run =
      RunCli("sample --projects 1 --tasks-per-project 1 --resources 1 " + Path("mine.zuz"));
  EXPECT_EQ(run.Status, 1) << run.Out;
  EXPECT_EQ(RunCli("new " + Path("mine.zuz")).Status, 1);
  std::ifstream in(Path("mine.zuz"));
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "my plan");
  EXPECT_EQ(RunCli("new " + Path("empty.zuz")).Status, 0);
  EXPECT_TRUE(fs::exists(Path("empty.zuz")));
}

}  // namespace
