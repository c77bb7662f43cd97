// Links through the workflows on a plan file: random links (some refused), moves of tasks in the
// grid, link changes and rescheduling, each judged against the schedule test's slow reference
// run on the file's rows before the action; the document is then what a fresh load shows, and
// undoing every step gives back the starting plan, links included.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/core/qorAssignmentWorkflows.h"
#include "app/core/qorEditHistory.h"
#include "app/core/qorLinkWorkflows.h"
#include "app/core/qorPlanRows.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorProjectOperations.h"
#include "app/core/qorTaskEditor.h"
#include "app/core/qorTaskWorkflows.h"
#include "app/core/qorWorkflowError.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorUserPrompts.h"
#include "planner/qorPlannerModel.h"
#include "tests/planner/schedule/scheduleReference.h"
#include "tests/testFiles.h"

namespace {

namespace fs = std::filesystem;
namespace st = qorStatements;

const double kToday = EncodeDate(2026, 3, 30);  // the Monday before Easter

int EnvInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

struct TPrompts : TqorUserPrompts {
  bool Confirm(const std::string&) override { return true; }
  void ShowMessage(const std::string&) override {}
  bool InputQuery(const std::string&, const std::string&, std::string&) override { return false; }
};

struct TNoDialog : TqorTaskEditor {
  TqorTaskDialogValues shown;
  void SetTask(const TqorTaskDialogValues& v) override { shown = v; }
  TqorTaskDialogValues GetTask() const override { return shown; }
  void SetResourceList(const std::vector<TqorResourceEntry>&) override {}
  void SetAssignmentList(const std::vector<TqorResourceEntry>&) override {}
  bool Execute() override { return false; }
};

struct TSession {
  TqorDatabaseController db;
  TqorPlannerModel planner{[] { return kToday; }};
  TNoDialog dialog;
  TqorEditHistory history;
  TqorTaskWorkflows tasks{db, planner};
  TqorAssignmentWorkflows assignments{db, planner, dialog};
  TqorLinkWorkflows links{db, planner};
  explicit TSession(const std::string& path) {
    db.OpenDatabase(path);
    LoadPlanner(db, planner);
    tasks.SetHistory(&history);
    assignments.SetHistory(&history);
    links.SetHistory(&history);
  }
};

// The file's tasks and links as a reference plan, with each task's id by position.
ref::Plan StoredPlan(TqorDatabaseController& db, std::vector<int32_t>& ids) {
  ref::Plan plan;
  ids.clear();
  std::map<int32_t, int> position;
  for (const TqorPlanRow& row : qorPlanRows::Read(db, TqorPlanTable::Tasks, "")) {
    position[row.Id] = static_cast<int>(ids.size());
    ids.push_back(row.Id);
    plan.tasks.push_back({row.Id, static_cast<int32_t>(row.Values[2].AsReal()),
                          static_cast<int32_t>(row.Values[3].AsReal()),
                          !row.Values[5].IsNull() && row.Values[5].AsBoolean()});
  }
  for (const TqorPlanRow& row : qorPlanRows::Read(db, TqorPlanTable::TaskLinks, "")) {
    TqorLinkType type = TqorLinkType::FS;
    TryParseLinkType(row.Values[3].ToText(), type);
    plan.links.push_back({position.at(row.Values[1].AsInteger()),
                          position.at(row.Values[2].AsInteger()), type,
                          static_cast<int>(std::lround(row.Values[4].AsReal()))});
  }
  return plan;
}

std::map<int32_t, std::pair<int32_t, int32_t>> Dates(const ref::Plan& plan) {
  std::map<int32_t, std::pair<int32_t, int32_t>> dates;
  for (const ref::Task& t : plan.tasks) dates[t.id] = {t.start, t.end};
  return dates;
}

// Every row of every table, for comparing whole plans.
std::vector<std::string> AllRows(TqorDatabaseController& db) {
  std::vector<std::string> rows;
  for (TqorPlanTable table :
       {TqorPlanTable::Projects, TqorPlanTable::Tasks, TqorPlanTable::Resources,
        TqorPlanTable::Assignments, TqorPlanTable::Holidays, TqorPlanTable::Settings,
        TqorPlanTable::TaskLinks})
    for (const TqorPlanRow& row : qorPlanRows::Read(db, table, "")) {
      std::string text = qorPlanRows::TableName(table);
      for (const TqorVariant& v : row.Values) text += "|" + v.ToText();
      rows.push_back(text);
    }
  return rows;
}

class Links : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vz-links-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "plan.zuz").string();
    CreatePlannerDatabase(path_);
    before_ = SetUserPrompts(&prompts_);
  }
  void TearDown() override {
    SetUserPrompts(before_);
    RemoveTestFolder(dir_);
  }
  // A project of n tasks over the next weeks (some on weekends, some completed) with a resource
  // on some of them, so that moves change hours.
  void MakePlan(std::mt19937& random, int n) {
    TqorDatabaseController db;
    db.OpenDatabase(path_);
    db.Execute(st::InsertProject("Build", kToday));
    const int32_t project = st::NewProjectId(db);
    db.Execute(st::UpdateProjectFilter("[" + std::to_string(project) + "]"));
    db.Execute(st::InsertResource("Ann"));
    const int32_t ann = st::NewResourceId(db);
    db.Execute(st::UpdateResource(ann, {"Ann", "AN", 38.5, 0, 100, ""}));
    for (int i = 0; i < n; ++i) {
      const double start = kToday + static_cast<int>(random() % 40);
      db.Execute(st::InsertTask("T" + std::to_string(i), start, project));
      const int32_t id = st::NewTaskId(db);
      db.Execute(st::UpdateTask(
          id, {"T" + std::to_string(i), start, start + static_cast<int>(random() % 6), false,
               random() % 7 == 0, 0, 0, ""}));
      if (random() % 3 == 0) db.Execute(st::InsertAssignment(id, ann, 50));
    }
  }

  fs::path dir_;
  std::string path_;
  TPrompts prompts_;
  TqorUserPrompts* before_ = nullptr;
};

// Random rounds of: a link between two random tasks (refused exactly when the reference finds a
// self link, a duplicate or a cycle), a move of a random task in the grid, a change of a link's
// type and lag, a removal, or Reschedule. After each, every task's dates in the file are the
// reference's for the file as it was, the document's dates are the file's, and the status count
// is the number of tasks the reference moved. VZ_LINK_ROUNDS (default 150), VZ_LINK_SEED.
TEST_F(Links, RandomLinksMovesAndReschedulesAgreeWithTheReference) {
  const unsigned seed = static_cast<unsigned>(EnvInt("VZ_LINK_SEED", 3101));
  const int rounds = EnvInt("VZ_LINK_ROUNDS", 150);
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  MakePlan(random, 12);
  TSession s(path_);
  const std::vector<std::string> start = AllRows(s.db);
  const std::vector<TqorLinkType> types = {TqorLinkType::FS, TqorLinkType::SS, TqorLinkType::FF,
                                           TqorLinkType::SF};
  int made = 0, refused = 0, moves = 0, moved = 0;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<int32_t> ids;
    const ref::Plan before = StoredPlan(s.db, ids);
    const int n = static_cast<int>(ids.size());
    const int a = static_cast<int>(random() % n), b = static_cast<int>(random() % n);
    const int kind = static_cast<int>(random() % 10);
    ref::Moves expected{before, {}};
    int reported = 0;
    if (kind < 4) {
      const ref::Link link{a, b, types[random() % 4], static_cast<int>(random() % 9) - 3};
      const bool duplicate =
          std::any_of(before.links.begin(), before.links.end(),
                      [&](const ref::Link& l) { return l.pred == a && l.succ == b; });
      const bool bad = a == b || duplicate || ref::Reaches(before, b, a);
      try {
        reported = s.links.AddLink(ids[a], ids[b], link.type, link.lag);
        ASSERT_FALSE(bad) << "a link that should be refused was made";
        ++made;
        ref::Plan with = before;
        with.links.push_back(link);
        expected = ref::Ripple(with, {a});
      } catch (const EqorWorkflowError& e) {
        ASSERT_TRUE(bad) << "refused: " << e.what();
        ++refused;
      }
    } else if (kind < 8) {
      TqorXMLNode2* task = s.planner.Document().GetNodeById("task", std::to_string(ids[a]));
      ASSERT_NE(task, nullptr);
      s.tasks.RememberBeforeChange(task);
      const double day =
          task->GetAttribute("startdate").AsReal() + static_cast<int>(random() % 15) - 5;
      s.planner.ApplyDateGesture(task, day,
                                 random() % 2 ? TqorDateGesture::Move : TqorDateGesture::SetEnd);
      const int32_t newStart = static_cast<int32_t>(task->GetAttribute("startdate").AsReal());
      const int32_t newEnd = static_cast<int32_t>(task->GetAttribute("enddate").AsReal());
      s.tasks.TaskGridTaskChanged(task);
      reported = s.tasks.LastMoved();
      ref::Plan changed = before;
      changed.tasks[a].start = newStart;
      changed.tasks[a].end = newEnd;
      expected = ref::Ripple(changed, {a});
      ++moves;
    } else if (kind < 9) {
      if (!before.links.empty()) {
        TqorXMLNode2* links = s.planner.Document().GetNodeById("links", "links");
        ASSERT_NE(links, nullptr);
        TqorXMLNode2* link = links->GetChild(static_cast<int>(random() % links->ChildCount()));
        const int32_t linkId = link->GetAttribute("id").AsInteger();
        if (random() % 2) {
          const TqorLinkType type = types[random() % 4];
          const int lag = static_cast<int>(random() % 9) - 3;
          reported = s.links.EditLink(linkId, type, lag);
          ref::Plan edited = before;
          const int32_t from = link->GetAttribute("predecessorid").AsInteger();
          const int32_t to = link->GetAttribute("successorid").AsInteger();
          for (ref::Link& l : edited.links)
            if (ids[l.pred] == from && ids[l.succ] == to) l = {l.pred, l.succ, type, lag};
          const int p = static_cast<int>(std::find(ids.begin(), ids.end(), from) - ids.begin());
          expected = ref::Ripple(edited, {p});
        } else {
          s.links.RemoveLink(linkId);
          expected.plan = before;
        }
      }
    } else {
      reported = s.links.Reschedule();
      expected = ref::RescheduleAll(before);
    }
    std::vector<int32_t> idsAfter;
    const ref::Plan after = StoredPlan(s.db, idsAfter);
    ASSERT_EQ(Dates(after), Dates(expected.plan));
    ASSERT_EQ(reported, static_cast<int>(expected.moved.size()));
    moved += reported;
    for (const ref::Task& t : after.tasks) {
      const TqorXMLNode2* task = s.planner.Document().GetNodeById("task", std::to_string(t.id));
      ASSERT_NE(task, nullptr);
      ASSERT_EQ(task->GetAttribute("startdate").AsReal(), t.start) << t.id;
      ASSERT_EQ(task->GetAttribute("enddate").AsReal(), t.end) << t.id;
    }
  }
  std::printf("%d links made, %d refused, %d moves, %d tasks moved by links\n", made, refused,
              moves, moved);
  EXPECT_GT(made, 10);
  EXPECT_GT(refused, 0);
  EXPECT_GT(moved, 10);
  while (s.history.CanUndo()) s.history.Undo(s.db, &s.planner);
  EXPECT_EQ(AllRows(s.db), start);
}

// The refusals say why, and a deleted task takes its links with it (and an undo brings both
// back).
TEST_F(Links, RefusalsSayWhyAndADeletedTaskTakesItsLinks) {
  std::mt19937 random(7);
  MakePlan(random, 3);
  TSession s(path_);
  std::vector<int32_t> ids;
  StoredPlan(s.db, ids);
  auto refusal = [&](int32_t from, int32_t to) {
    try {
      s.links.AddLink(from, to, TqorLinkType::FS, 0);
    } catch (const EqorWorkflowError& e) {
      return std::string(e.what());
    }
    return std::string("made");
  };
  EXPECT_EQ(refusal(ids[0], ids[0]), "A task cannot follow itself: the link was not made.");
  EXPECT_EQ(refusal(ids[0], ids[1]), "made");
  EXPECT_EQ(refusal(ids[1], ids[2]), "made");
  EXPECT_EQ(refusal(ids[0], ids[1]), "'T1' follows 'T0' already: two tasks take one link.");
  EXPECT_EQ(refusal(ids[2], ids[0]),
            "The link would make a circle, where each task waits for the one before: 'T2' \u2192 "
            "'T0' \u2192 'T1' \u2192 'T2'. It was not made.");
  const std::vector<std::string> linked = AllRows(s.db);
  ASSERT_TRUE(s.tasks.Delete1Click(
      s.planner.FindRow(s.planner.Document().GetNodeById("task", std::to_string(ids[1])))));
  EXPECT_EQ(s.db.LookupInteger("SELECT COUNT(*) FROM TaskLinks"), 0);
  EXPECT_EQ(s.planner.Document().GetNodeById("links", "links")->ChildCount(), 0);
  s.history.Undo(s.db, &s.planner);
  EXPECT_EQ(AllRows(s.db), linked);
  EXPECT_EQ(s.planner.Document().GetNodeById("links", "links")->ChildCount(), 2);
}

}  // namespace
