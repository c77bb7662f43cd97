// The project, resource, holiday and filter operations: each change reaches the planner document
// and the database rows together (O'Neil included), a fresh load of the database gives the
// document back, and a change the database refuses at any point of its I/O leaves both as they
// were. Rows that tie where the plan is sorted keep the order of their ids.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "app/core/qorHolidayOperations.h"
#include "app/core/qorNodeValues.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorProjectOperations.h"
#include "app/core/qorResourceOperations.h"
#include "db/access/qorDatabaseController.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzMemoryFile.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorVariant.h"
#include "planner/qorPlannerModel.h"
#include "tests/app/core/planSnapshot.h"

namespace {

namespace st = qorStatements;
constexpr const char* kPath = "/mem/db/Vazadod.zuz";
const double kToday = EncodeDate(2005, 1, 3);

std::function<double()> Clock() {
  return [] { return kToday; };
}

// The plan the tests start from: two projects (the first with a task that two resources work
// on), two resources, each with a holiday, and both projects in the filter.
void FillBase(TqorDatabaseController& db) {
  db.Execute(st::InsertProject("Web", kToday));
  db.Execute(st::InsertProject("Shop", kToday));
  db.Execute(st::InsertTask("Design", kToday, 1));
  db.Execute(st::InsertTask("Build", kToday, 2));
  db.Execute(st::InsertResource("Ann"));
  db.Execute(st::UpdateResource(1, {"Ann", "AN", 40, 50, 100, ""}));
  db.Execute(st::InsertResource("Bob"));
  db.Execute(st::InsertAssignment(1, 1, 50));
  db.Execute(st::InsertAssignment(1, 2, 25));
  db.Execute(st::InsertAssignment(2, 1, 10));
  db.Execute(st::InsertHoliday(1, kToday + 5, kToday + 6));
  db.Execute(st::InsertHoliday(2, kToday + 1, kToday + 2));
  db.Execute(st::UpdateProjectFilter("[1][2]"));
}

class Operations : public ::testing::Test {
 protected:
  void SetUp() override {
    CreatePlannerDatabase(kPath, &fs_);
    db_.OpenDatabase(kPath);
    FillBase(db_);
    LoadPlanner(db_, planner_);
  }
  TqorXMLNode2* Node(const char* name, const std::string& id) {
    return planner_.Document().GetNodeById(name, id);
  }
  TqorVariant Lookup(const std::string& sql) { return db_.LookupValue(sql); }
  // The document that a fresh start on the database loads.
  std::string Reloaded() {
    TqorPlannerModel fresh(Clock());
    LoadPlanner(db_, fresh);
    return Snapshot(fresh);
  }

  zuz::TMemoryFileSystem fs_;
  TqorDatabaseController db_{&fs_};
  TqorPlannerModel planner_{Clock()};
};

TEST_F(Operations, ProjectsAreCreatedEditedAndDeletedInDocumentAndDatabase) {
  TqorXMLNode2* created = CreateProject(db_, planner_, "O'Neil's plan");
  ASSERT_EQ(NodeText(created, "id"), "3");
  EXPECT_EQ(Node("project", "3"), created);
  EXPECT_EQ(created->GetAttribute("startdate").Kind(), TqorVarKind::Date);
  EXPECT_EQ(NodeDate(created, "startdate"), kToday);
  EXPECT_EQ(NodeDate(created, "enddate"), kToday + 30);
  EXPECT_TRUE(NodeFlag(created, "expanded"));
  EXPECT_EQ(planner_.ProjectFilter(), "[1][2][3]");
  EXPECT_NE(planner_.FindRow(created), -1);
  EXPECT_EQ(Lookup("SELECT ProjectName FROM Projects WHERE ProjectId=3").ToText(), "O'Neil's plan");
  EXPECT_EQ(Lookup("SELECT EndDate FROM Projects WHERE ProjectId=3").AsReal(), kToday + 30);
  EXPECT_EQ(Lookup("SELECT ProjectFilter FROM Settings").ToText(), "[1][2][3]");

  // The dialog gets the stored values and the id; what it returns on OK is stored.
  TqorXMLNode2* web = Node("project", "1");
  EXPECT_TRUE(EditProject(db_, planner_, web, [](int32_t id, TqorProjectValues& v) {
    EXPECT_EQ(id, 1);
    EXPECT_EQ(v.Name, "Web");
    EXPECT_EQ(v.EndDate, kToday + 30);
    v = {"Web shop", "WS", kToday - 3, kToday - 7, -2.5, 12, 5000.25, 0.1, true, "l1\nl2"};
    return true;
  }));
  EXPECT_FALSE(EditProject(db_, planner_, web, [](int32_t, TqorProjectValues& v) {
    v.Name = "Cancelled";
    return false;
  }));
  EXPECT_EQ(NodeText(web, "name"), "Web shop");
  EXPECT_EQ(NodeReal(web, "budgethours"), -2.5);
  EXPECT_EQ(NodeDate(web, "enddate"), kToday - 7);  // an end before the start passes
  EXPECT_EQ(Lookup("SELECT ProjectName FROM Projects WHERE ProjectId=1").ToText(), "Web shop");
  EXPECT_EQ(Lookup("SELECT BudgetCost FROM Projects WHERE ProjectId=1").AsReal(), 5000.25);
  EXPECT_EQ(Lookup("SELECT Notes FROM Projects WHERE ProjectId=1").ToText(), "l1\nl2");
  EXPECT_EQ(Reloaded(), Snapshot(planner_));

  // Deleting takes the tasks and their assignments; the other project's stay, and so does the
  // filter item.
  DeleteProject(db_, planner_, web);
  EXPECT_EQ(Node("project", "1"), nullptr);
  EXPECT_EQ(Node("task", "1"), nullptr);
  EXPECT_EQ(Node("assignment", "1"), nullptr);
  EXPECT_NE(Node("assignment", "3"), nullptr);
  EXPECT_EQ(planner_.ProjectFilter(), "[1][2][3]");
  EXPECT_EQ(db_.LookupInteger("SELECT COUNT(*) FROM Projects WHERE ProjectId=1"), 0);
  EXPECT_EQ(db_.LookupInteger("SELECT COUNT(*) FROM Tasks"), 1);
  EXPECT_EQ(db_.LookupInteger("SELECT COUNT(*) FROM Assignments"), 1);
  EXPECT_EQ(Reloaded(), Snapshot(planner_));
}

TEST_F(Operations, TheFilterMatchesWholeIdsAndStoresWhatIsChecked) {
  for (int i = 3; i <= 11; ++i) CreateProject(db_, planner_, "P" + std::to_string(i));
  StoreProjectFilter(db_, planner_, "[11]");
  for (const TqorListEntry& entry : ProjectFilterEntries(planner_))
    EXPECT_EQ(entry.Checked, entry.Id == "11") << entry.Id;
  EXPECT_FALSE(planner_.IsProjectVisible(Node("project", "1")));

  // Checked in list order, whatever order they were checked in; Cancel changes nothing.
  EXPECT_TRUE(FilterProjects(db_, planner_, [](std::vector<TqorListEntry>& entries) {
    for (TqorListEntry& e : entries) e.Checked = e.Id == "3" || e.Id == "1";
    return true;
  }));
  EXPECT_FALSE(FilterProjects(db_, planner_, [](std::vector<TqorListEntry>& entries) {
    entries[5].Checked = true;
    return false;
  }));
  EXPECT_EQ(planner_.ProjectFilter(), "[1][3]");
  EXPECT_EQ(Lookup("SELECT ProjectFilter FROM Settings").ToText(), "[1][3]");

  // Nothing checked: an empty filter, and no project shows.
  FilterProjects(db_, planner_, [](std::vector<TqorListEntry>& entries) {
    for (TqorListEntry& e : entries) e.Checked = false;
    return true;
  });
  EXPECT_EQ(Lookup("SELECT ProjectFilter FROM Settings").ToText(), "");
  EXPECT_TRUE(planner_.HasPlaceholderRow());
  EXPECT_EQ(Reloaded(), Snapshot(planner_));
}

TEST_F(Operations, ResourcesAreCreatedEditedAndDeletedWithTheirAssignmentsAndHolidays) {
  TqorXMLNode2* neil = CreateResource(db_, planner_, "O'Neil");
  ASSERT_EQ(NodeText(neil, "id"), "3");
  std::vector<TqorResourceValues> shown;
  EditResource(db_, planner_, neil, [&](int32_t id, TqorResourceValues& v) {
    EXPECT_EQ(id, 3);
    shown.push_back(v);
    v = {"Neil O'Neil", "NO'N", 37.5, 80.25, 150, "notes"};
    return true;
  });
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Name, "O'Neil");
  EXPECT_EQ(shown[0].Initials, "NN");
  EXPECT_EQ(shown[0].HoursPerWeek, 0);
  EXPECT_EQ(shown[0].CostPerHour, 0);
  EXPECT_EQ(shown[0].MaxUnits, 100);
  EXPECT_EQ(NodeText(neil, "initials"), "NO'N");
  EXPECT_EQ(Lookup("SELECT ResourceName FROM Resources WHERE ResourceId=3").ToText(),
            "Neil O'Neil");
  EXPECT_EQ(Lookup("SELECT HoursPerWeek FROM Resources WHERE ResourceId=3").AsReal(), 37.5);
  EXPECT_EQ(Reloaded(), Snapshot(planner_));

  // Ann (1) goes with her two assignments and her holiday; Bob's stay.
  DeleteResource(db_, planner_, Node("resource", "1"));
  EXPECT_EQ(Node("resource", "1"), nullptr);
  EXPECT_EQ(Node("assignment", "1"), nullptr);
  EXPECT_EQ(Node("assignment", "3"), nullptr);
  EXPECT_NE(Node("assignment", "2"), nullptr);
  EXPECT_EQ(planner_.HolidaysNode()->ChildCount(), 1);
  EXPECT_EQ(db_.LookupInteger("SELECT COUNT(*) FROM Assignments WHERE ResourceId=1"), 0);
  EXPECT_EQ(db_.LookupInteger("SELECT COUNT(*) FROM Holidays"), 1);
  EXPECT_EQ(Reloaded(), Snapshot(planner_));
}

TEST_F(Operations, HolidaysAreListedByStartAndKeptInStepWithTheDocument) {
  std::vector<double> offered;
  EXPECT_TRUE(CreateHoliday(db_, planner_, 1, [&](double& start, double& end) {
    offered = {start, end};
    start = EncodeDate(2004, 12, 24);
    end = EncodeDate(2004, 12, 31);
    return true;
  }));
  EXPECT_EQ(offered, (std::vector<double>{kToday, kToday + 3}));
  EXPECT_FALSE(CreateHoliday(db_, planner_, 1, [](double&, double&) { return false; }));
  std::vector<TqorListEntry> list = FillHolidayList(db_, 1);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Text, "24-12-2004  31-12-2004");
  EXPECT_EQ(list[1].Text, "08-01-2005  09-01-2005");
  EXPECT_EQ(list[0].Id, "3");
  EXPECT_EQ(Reloaded(), Snapshot(planner_));

  EXPECT_TRUE(EditHoliday(db_, planner_, list[0].Id, [&](double& start, double& end) {
    EXPECT_EQ(start, EncodeDate(2004, 12, 24));
    end = start;
    start = kToday + 20;  // an end before the start passes
    return true;
  }));
  list = FillHolidayList(db_, 1);
  EXPECT_EQ(list[1].Text, "23-01-2005  24-12-2004");
  EXPECT_EQ(NodeDate(Node("holiday", "3"), "startdate"), kToday + 20);
  EXPECT_EQ(Reloaded(), Snapshot(planner_));

  DeleteHoliday(db_, planner_, "3");
  EXPECT_EQ(Node("holiday", "3"), nullptr);
  bool asked = false;
  EXPECT_FALSE(EditHoliday(db_, planner_, "3", [&](double&, double&) { return asked = true; }));
  EXPECT_FALSE(asked);
  EXPECT_EQ(FillHolidayList(db_, 1).size(), 1u);
  EXPECT_EQ(Reloaded(), Snapshot(planner_));
}

// Each operation on the base plan with the fault-injecting file system failing one I/O call:
// every write and flush of the operations of several statements in turn, the first of each kind
// for the others. Every failure is the engine's error, and afterwards the document and a fresh
// load of the file agree (so the earlier plan is whole); with the fault past the operation's
// last call, the change is made.
TEST(OperationsFaults, ARefusedChangeLeavesDocumentAndFileInStep) {
  zuz::TMemoryFileSystem memory;
  CreatePlannerDatabase(kPath, &memory);
  {
    TqorDatabaseController db(&memory);
    db.OpenDatabase(kPath);
    FillBase(db);
  }
  const std::vector<uint8_t> base = *memory.Contents(kPath);

  using TOperation = std::function<void(TqorDatabaseController&, TqorPlannerModel&)>;
  struct TCase {
    const char* name;
    bool everyCall;
    TOperation operation;
  };
  auto node = [](TqorPlannerModel& p, const char* name, const char* id) {
    return p.Document().GetNodeById(name, id);
  };
  const TCase cases[] = {
      {"CreateProject", true, [](auto& db, auto& p) { CreateProject(db, p, "New"); }},
      {"DeleteProject", true,
       [&](auto& db, auto& p) { DeleteProject(db, p, node(p, "project", "1")); }},
      {"EditProject", false,
       [&](auto& db, auto& p) {
         EditProject(db, p, node(p, "project", "1"), [](int32_t, TqorProjectValues& v) {
           v.Name = "Renamed";
           v.ActualHours = 3;
           return true;
         });
       }},
      {"FilterProjects", false,
       [](auto& db, auto& p) {
         FilterProjects(db, p, [](std::vector<TqorListEntry>& e) {
           e[0].Checked = false;
           return true;
         });
       }},
      {"CreateResource", true, [](auto& db, auto& p) { CreateResource(db, p, "New"); }},
      {"DeleteResource", true,
       [&](auto& db, auto& p) { DeleteResource(db, p, node(p, "resource", "1")); }},
      {"EditResource", false,
       [&](auto& db, auto& p) {
         EditResource(db, p, node(p, "resource", "2"), [](int32_t, TqorResourceValues& v) {
           v.Initials = "BB";
           return true;
         });
       }},
      {"CreateHoliday", true,
       [](auto& db, auto& p) { CreateHoliday(db, p, 2, [](double&, double&) { return true; }); }},
      {"EditHoliday", false,
       [](auto& db, auto& p) {
         EditHoliday(db, p, "1", [](double& start, double&) {
           start += 1;
           return true;
         });
       }},
      {"DeleteHoliday", false, [](auto& db, auto& p) { DeleteHoliday(db, p, "2"); }},
  };
  for (const TCase& c : cases) {
    // Runs the operation with the nth call of the kind failing; returns whether the fault fired.
    int failures = 0;
    auto run = [&](zuz::TFaultOp kind, int64_t n) {
      memory.SetContents(kPath, base);
      zuz::TFaultFileSystem faults(memory);
      TqorPlannerModel planner(Clock());
      std::string before;
      bool triggered = false;
      {
        TqorDatabaseController db(&faults);
        db.OpenDatabase(kPath);
        LoadPlanner(db, planner);
        before = Snapshot(planner);
        faults.Arm(kind, n);
        try {
          c.operation(db, planner);
        } catch (const zuz::EZuzDatabaseError&) {
          ++failures;
          EXPECT_EQ(Snapshot(planner), before) << c.name << " failing at call " << n;
        }
        triggered = faults.Triggered();
        faults.Disarm();
      }
      TqorDatabaseController fresh(&memory);
      fresh.OpenDatabase(kPath);
      TqorPlannerModel reloaded(Clock());
      LoadPlanner(fresh, reloaded);
      EXPECT_EQ(Snapshot(reloaded), Snapshot(planner)) << c.name << " failing at call " << n;
      if (!triggered) {
        EXPECT_NE(Snapshot(planner), before) << c.name;
      }
      return triggered;
    };
    for (zuz::TFaultOp kind : {zuz::TFaultOp::Write, zuz::TFaultOp::Sync}) {
      for (int64_t n = 1; run(kind, n) && c.everyCall; ++n) {
      }
    }
    run(zuz::TFaultOp::Read, 1);
    EXPECT_GE(failures, 3) << c.name;
  }
}

// Tasks with a few end dates and names, and holidays with a few start dates, made, deleted and
// made again (so that the file holds them out of the order of their ids): the tasks of a loaded
// plan, of a plan loaded again, and of a plan whose tasks were moved, the holiday list and the
// holidays report all stand by their dates, rows that tie by id.
TEST_F(Operations, RowsThatTieKeepTheOrderOfTheirIds) {
  const char* env = std::getenv("VZ_APP_RANDOM_RUNS");
  const int runs = env ? std::max(1, std::atoi(env)) : 3;
  for (int run = 0; run < runs; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    std::mt19937 rng(static_cast<unsigned>(run));
    auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    zuz::TMemoryFileSystem fs;
    CreatePlannerDatabase(kPath, &fs);
    TqorDatabaseController db(&fs);
    db.OpenDatabase(kPath);
    db.Execute(st::InsertProject("Web", kToday));
    db.Execute(st::UpdateProjectFilter("[1]"));
    db.Execute(st::InsertResource("Ann"));
    db.Execute(st::InsertResource("Bob"));
    std::map<int32_t, double> taskEnds;  // id: end date
    // id: resource, start; each holiday ends its id days after its start, which the report shows.
    std::map<int32_t, std::pair<int32_t, double>> holidays;
    for (int round = 0; round < 3; ++round) {
      for (int i = 0; i < 8; ++i) {
        const std::string name = pick(2) ? "Same" : "Other";
        db.Execute(st::InsertTask(name, kToday, 1));
        const int32_t id = st::NewTaskId(db);
        const double end = kToday + 2 + pick(3);
        db.Execute(st::UpdateTask(id, {name, kToday, end, false, false, 0, 0, ""}));
        taskEnds[id] = end;
        const int32_t resource = 1 + pick(2);
        const double start = kToday + pick(3);
        db.Execute(st::InsertHoliday(resource, start, start));
        const int32_t holiday = st::NewHolidayId(db);
        db.Execute(st::UpdateHoliday(holiday, start, start + holiday));
        holidays[holiday] = {resource, start};
      }
      // Some go, so that later rows may take their places in the file.
      for (int i = 0; i < 3; ++i) {
        auto task = taskEnds.begin();
        std::advance(task, pick(static_cast<int>(taskEnds.size())));
        db.Execute(st::DeleteTask(task->first));
        taskEnds.erase(task);
        auto holiday = holidays.begin();
        std::advance(holiday, pick(static_cast<int>(holidays.size())));
        db.Execute(st::DeleteHoliday(holiday->first));
        holidays.erase(holiday);
      }
    }
    auto expectedTasks = [&taskEnds] {
      std::vector<std::pair<double, int32_t>> order;
      for (const auto& [id, end] : taskEnds) order.emplace_back(end, id);
      std::sort(order.begin(), order.end());
      std::vector<int32_t> ids;
      for (const auto& entry : order) ids.push_back(entry.second);
      return ids;
    };
    auto shownTasks = [](TqorPlannerModel& planner) {
      std::vector<int32_t> ids;
      const TqorXMLNode2* project = planner.ProjectsNode()->GetChild(0);
      for (int i = 0; i < project->ChildCount(); ++i)
        ids.push_back(project->GetChild(i)->GetAttributeInt("id"));
      return ids;
    };

    // The holiday lists of both resources, and the report of all of them.
    std::vector<std::tuple<int32_t, double, int32_t>> byResource;
    for (const auto& [id, h] : holidays) byResource.emplace_back(h.first, h.second, id);
    std::sort(byResource.begin(), byResource.end());
    std::vector<std::string> listed, expectedList;
    for (int32_t resource : {1, 2})
      for (const TqorListEntry& entry : FillHolidayList(db, resource)) listed.push_back(entry.Id);
    for (const auto& [resource, start, id] : byResource) expectedList.push_back(std::to_string(id));
    EXPECT_EQ(listed, expectedList);
    std::vector<double> reported, expectedReport;
    TqorDatabaseRecordSet* set = db.OpenRecordSet(st::SelectHolidaysReport(kToday));
    for (; !db.Eof(set); db.Next(set))
      reported.push_back(db.GetDate(set, "EndDate") - db.GetDate(set, "StartDate"));
    db.CloseRecordSet(set);
    for (const auto& [resource, start, id] : byResource) expectedReport.push_back(id);
    EXPECT_EQ(reported, expectedReport);

    TqorPlannerModel planner(Clock());
    LoadPlanner(db, planner);
    EXPECT_EQ(shownTasks(planner), expectedTasks());
    TqorPlannerModel again(Clock());
    LoadPlanner(db, again);
    EXPECT_EQ(shownTasks(again), expectedTasks());
    // Moved in the grid: a gesture changes a task's end, the tasks are sorted again.
    for (int move = 0; move < 20; ++move) {
      TqorXMLNode2* project = planner.ProjectsNode()->GetChild(0);
      TqorXMLNode2* task = project->GetChild(pick(project->ChildCount()));
      const double day = kToday + 2 + pick(3);
      planner.ApplyDateGesture(task, day, TqorDateGesture::Move);
      taskEnds[task->GetAttributeInt("id")] = NodeDate(task, "enddate");
      planner.SortTasks();
      EXPECT_EQ(shownTasks(planner), expectedTasks()) << "move " << move;
    }
  }
}

}  // namespace
