// The task and assignment workflows on a database whose file fails: every write or flush of each
// workflow fails in turn (once, or for good), and afterwards the planner document must equal the
// plan read back from the file, holding every change made before. The error is the engine's.
// And allocations and units changes at random, against a model of the checks they must pass.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/core/qorAssignmentWorkflows.h"
#include "app/core/qorNumberText.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorTaskEditor.h"
#include "app/core/qorTaskWorkflows.h"
#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzMemoryFile.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorUserPrompts.h"
#include "planner/qorPlannerModel.h"

namespace {

namespace st = qorStatements;
using zuz::TFaultFileSystem;
using zuz::TFaultMode;
using zuz::TFaultOp;

constexpr const char* kPath = "/mem/db/Vazadod.zuz";
const double kJan3 = EncodeDate(2005, 1, 3);

// Says Yes, answers every input prompt with Answer, and keeps the messages.
struct TScriptedPrompts : TqorUserPrompts {
  std::string Answer;
  std::vector<std::string> Messages;
  bool Confirm(const std::string&) override { return true; }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  bool InputQuery(const std::string&, const std::string&, std::string& value) override {
    value = Answer;
    return true;
  }
};

// The task dialog without a window: closes with OK, handing back Edited, or, with InDialog,
// runs that while it shows and closes as it answers (false: Cancel).
struct TFakeEditor : TqorTaskEditor {
  TqorTaskDialogValues Shown, Edited;
  bool edited = false;
  std::function<bool()> InDialog;
  void SetTask(const TqorTaskDialogValues& v) override { Shown = v; }
  TqorTaskDialogValues GetTask() const override { return edited ? Edited : Shown; }
  void SetResourceList(const std::vector<TqorResourceEntry>&) override {}
  void SetAssignmentList(const std::vector<TqorResourceEntry>&) override {}
  bool Execute() override {
    if (InDialog) return InDialog();
    edited = true;
    return true;
  }
};

// One plan on a file system that fails where it is told to.
struct TPlan {
  zuz::TMemoryFileSystem mem;
  TFaultFileSystem fault{mem};
  std::unique_ptr<TqorDatabaseController> db;
  TqorPlannerModel planner{[] { return kJan3; }};
  TFakeEditor editor;
  std::unique_ptr<TqorTaskWorkflows> tasks;
  std::unique_ptr<TqorAssignmentWorkflows> assignments;
  int32_t project = 0, taskA = 0, taskB = 0, ann = 0, bob = 0, annOnA = 0;

  // The plan from the base file, opened and loaded.
  TPlan() {
    const TBase& base = Base();
    mem.SetContents(kPath, base.bytes);
    project = base.project, taskA = base.taskA, taskB = base.taskB;
    ann = base.ann, bob = base.bob, annOnA = base.annOnA;
    db = std::make_unique<TqorDatabaseController>(&fault);
    db->Database().SetExclusive(true);
    db->OpenDatabase(kPath);
    LoadPlanner(*db, planner);
    tasks = std::make_unique<TqorTaskWorkflows>(*db, planner);
    assignments = std::make_unique<TqorAssignmentWorkflows>(*db, planner, editor);
  }
  // Project Web with tasks A (Ann at 50 units) and B, and the resources Ann and Bob: made once.
  struct TBase {
    std::vector<uint8_t> bytes;
    int32_t project = 0, taskA = 0, taskB = 0, ann = 0, bob = 0, annOnA = 0;
  };
  static const TBase& Base() {
    static const TBase base = [] {
      TBase b;
      zuz::TMemoryFileSystem mem;
      CreatePlannerDatabase(kPath, &mem);
      TqorDatabaseController db(&mem);
      db.Database().SetExclusive(true);
      db.OpenDatabase(kPath);
      db.Execute(st::InsertProject("Web", kJan3));
      b.project = st::NewProjectId(db);
      auto addTask = [&](const std::string& name, double start, double end) {
        db.Execute(st::InsertTask(name, start, b.project));
        const int32_t id = st::NewTaskId(db);
        db.Execute(st::UpdateTask(id, {name, start, end, false, false, 0, 0, ""}));
        return id;
      };
      auto addResource = [&](const std::string& name, double hoursPerWeek) {
        db.Execute(st::InsertResource(name));
        const int32_t id = st::NewResourceId(db);
        db.Execute(st::UpdateResource(id, {name, "NN", hoursPerWeek, 0, 100, ""}));
        return id;
      };
      b.taskA = addTask("A", kJan3, kJan3 + 3);
      b.taskB = addTask("B", kJan3 + 7, kJan3 + 11);
      b.ann = addResource("Ann", 40);
      b.bob = addResource("Bob", 35);
      db.Execute(st::InsertAssignment(b.taskA, b.ann, 50));
      b.annOnA = st::NewAssignmentId(db);
      db.Execute(st::UpdateProjectFilter("[" + std::to_string(b.project) + "]"));
      db.CloseDatabase();
      b.bytes = *mem.Contents(kPath);
      return b;
    }();
    return base;
  }
  TqorXMLNode2* Node(const char* name, int32_t id) {
    return planner.Document().GetNodeById(name, std::to_string(id));
  }
  // The plan as the file holds it, read by a new connection once this one has closed.
  std::string StoredXml() {
    db->CloseDatabase();
    TqorDatabaseController reader(&mem);
    reader.Database().SetExclusive(true);
    reader.OpenDatabase(kPath);
    TqorPlannerModel stored{[] { return kJan3; }};
    LoadPlanner(reader, stored);
    return stored.Document().Xml();
  }
};

using TEdit = std::function<void(TPlan&, TScriptedPrompts&)>;

struct TCase {
  const char* name;
  TEdit edit;
};

const std::vector<TCase>& Edits() {
  static const std::vector<TCase> cases = {
      {"allocate",
       [](TPlan& p, TScriptedPrompts&) {
         p.assignments->AllocateResource(p.taskA, p.bob, 40, kJan3, kJan3 + 3);
       }},
      {"remove",
       [](TPlan& p, TScriptedPrompts&) { p.assignments->RemoveAssignment(p.taskA, p.annOnA); }},
      {"change units",
       [](TPlan& p, TScriptedPrompts& prompts) {
         prompts.Answer = "75";
         p.assignments->ChangeAssignmentUnits(p.taskA, p.annOnA);
       }},
      {"reschedule task",
       [](TPlan& p, TScriptedPrompts&) {
         TqorXMLNode2* task = p.Node("task", p.taskA);
         p.tasks->RememberBeforeChange(task);
         p.planner.ApplyDateGesture(task, kJan3 + 20, TqorDateGesture::Move);
         p.tasks->TaskGridTaskChanged(task);
       }},
      {"edit task",
       [](TPlan& p, TScriptedPrompts&) {
         TqorXMLNode2* task = p.Node("task", p.taskB);
         p.editor.Edited = {p.taskB, "B'", true, 0, 0, true, "", 42.5, "notes"};
         p.tasks->TaskGridTaskEdit(task, *p.assignments);
         p.tasks->TaskGridTaskChanged(task);
       }},
      {"allocate in the dialog then cancel",
       [](TPlan& p, TScriptedPrompts&) {
         // The mouse release of the double click remembers the task as it is then.
         TqorXMLNode2* task = p.Node("task", p.taskA);
         p.tasks->RememberBeforeChange(task);
         p.editor.InDialog = [&p] {
           p.assignments->AllocateResource(p.taskA, p.bob, 40, kJan3, kJan3 + 3);
           return false;
         };
         p.tasks->TaskGridTaskEdit(task, *p.assignments);
         p.tasks->TaskGridTaskChanged(task);
       }},
      {"reschedule project",
       [](TPlan& p, TScriptedPrompts&) {
         TqorXMLNode2* project = p.Node("project", p.project);
         p.tasks->RememberBeforeChange(project);
         p.planner.ApplyDateGesture(project, kJan3 + 40, TqorDateGesture::Move);
         p.tasks->TaskGridProjectChanged(project);
       }},
      {"add task",
       [](TPlan& p, TScriptedPrompts& prompts) {
         prompts.Answer = "O'Neil";
         p.tasks->Add1Click(p.planner.FindRow(p.Node("project", p.project)));
       }},
      {"delete task",
       [](TPlan& p, TScriptedPrompts&) {
         p.tasks->Delete1Click(p.planner.FindRow(p.Node("task", p.taskA)));
       }},
  };
  return cases;
}

struct TFault {
  TFaultOp op;
  bool sticky;
};

class WorkflowFaults : public ::testing::TestWithParam<size_t> {};

TEST_P(WorkflowFaults, EveryFailingWriteLeavesDocumentAndFileInStep) {
  const TFault faults[] = {
      {TFaultOp::Write, false}, {TFaultOp::Write, true}, {TFaultOp::Sync, false}};
  const TCase& c = Edits()[GetParam()];
  {
    for (const TFault& f : faults) {
      int failures = 0;
      for (int64_t n = 1;; ++n) {
        SCOPED_TRACE(std::string(c.name) + ", call " + std::to_string(n));
        TScriptedPrompts prompts;
        TqorUserPrompts* previous = SetUserPrompts(&prompts);
        TPlan plan;
        // An earlier change, stored before the file fails.
        ASSERT_TRUE(
            plan.assignments->AllocateResource(plan.taskB, plan.ann, 25, kJan3 + 7, kJan3 + 11));
        plan.fault.Arm(f.op, n, TFaultMode::Fail, f.sticky);
        bool failed = false;
        try {
          c.edit(plan, prompts);
        } catch (const zuz::EZuzDatabaseError& e) {
          failed = true;
          EXPECT_NE(std::string(e.what()), "");
        }
        const bool fired = plan.fault.Triggered();
        plan.fault.Disarm();
        SetUserPrompts(previous);
        plan.planner.SortTasks();  // as the grid does after a task changed
        EXPECT_TRUE(prompts.Messages.empty()) << prompts.Messages.front();
        const std::string live = plan.planner.Document().Xml();
        const std::string stored = plan.StoredXml();
        EXPECT_EQ(live, stored);
        // The earlier allocation is in both.
        EXPECT_NE(stored.find("units=\"25\""), std::string::npos);
        if (failed) ++failures;
        if (!fired) break;
      }
      // Each edit writes, so some call of each kind failed it.
      EXPECT_GT(failures, 0) << c.name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Edits, WorkflowFaults, ::testing::Range<size_t>(0, Edits().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           std::string name = Edits()[info.param].name;
                           for (char& ch : name)
                             if (ch == ' ') ch = '_';
                           return name;
                         });

// Task, Add with a name longer than the Tasks table takes: the prompt says the limit and asks
// again, starting with the name typed, and the name that fits is the one stored.
TEST(AddTask, ANameTheTableCannotTakeIsAskedForAgain) {
  struct TPrompts : TScriptedPrompts {
    std::vector<std::string> Answers, Shown;
    bool InputQuery(const std::string&, const std::string&, std::string& value) override {
      Shown.push_back(value);
      value = Answers.at(Shown.size() - 1);
      return true;
    }
  } prompts;
  prompts.Answers = {std::string(254, 'a') + "\xC3\xA9", std::string(255, 'b')};
  TqorUserPrompts* previous = SetUserPrompts(&prompts);
  TPlan plan;
  TqorXMLNode2* task =
      plan.tasks->Add1Click(plan.planner.FindRow(plan.Node("project", plan.project)));
  SetUserPrompts(previous);
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(prompts.Shown, (std::vector<std::string>{"", prompts.Answers[0]}));
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_EQ(prompts.Messages[0].rfind("The following field is too long to store:\r\n\r\n"
                                      "Name: 256 bytes, at most 255\r\n",
                                      0),
            0u)
      << prompts.Messages[0];
  EXPECT_EQ(task->GetAttributeStr("name"), prompts.Answers[1]);
  EXPECT_EQ(plan.StoredXml(), plan.planner.Document().Xml());
}

// --- Allocations and units changes at random, judged by a model of their checks ---

int RandomRuns() {
  const char* env = std::getenv("VZ_APP_RANDOM_RUNS");
  return env ? std::max(1, std::atoi(env)) : 3;
}

// What the checks know of the plan: tasks' periods, resources' MaxUnits and holidays, and the
// assignments with their units.
struct TUnitsModel {
  struct TTask {
    double start, end;
  };
  struct TResource {
    std::optional<double> maxUnits;
    std::vector<std::pair<double, double>> holidays;
  };
  struct TAssignment {
    int32_t task, resource;
    double units;
  };
  std::map<int32_t, TTask> tasks;
  std::map<int32_t, TResource> resources;
  std::map<int32_t, TAssignment> assignments;

  // The message that refuses units for the resource over the task's period (changing: the
  // assignment whose units change), or nothing when they pass.
  std::optional<std::string> Refusal(int32_t resource, int32_t task, double units,
                                     std::optional<int32_t> changing) const {
    if (units < 0 || units > 100) return "Units must be from 0 to 100%.";
    const TTask& t = tasks.at(task);
    for (const auto& [from, to] : resources.at(resource).holidays)
      if (to >= t.start && from <= t.end)
        return "Can not allocate because of resource's holiday period.";
    double used = 0;
    for (const auto& [id, a] : assignments) {
      const TTask& other = tasks.at(a.task);
      if (id != changing && a.resource == resource && other.end >= t.start && other.start <= t.end)
        used += a.units;
    }
    const double limit = resources.at(resource).maxUnits.value_or(100);
    const double available = used > limit ? 0 : limit - used;
    if (units > available)
      return "There are only " + FormatNumber(available) + "% units available for allocation.";
    return std::nullopt;
  }
};

TEST(Units, AllocationsAndUnitsChangesPassTheSameChecks) {
  // Units whose sums are exact in binary, and texts outside the range or no number.
  const std::vector<std::string> texts = {"2.5", "10",  "12.5", "25",  "37.5", "40",    "50", "60",
                                          "75",  "100", "0.0",  "-10", "150",  "100.5", "x"};
  for (int run = 0; run < RandomRuns(); ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    std::mt19937 rng(static_cast<unsigned>(run));
    auto pick = [&rng](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    zuz::TMemoryFileSystem mem;
    CreatePlannerDatabase(kPath, &mem);
    TqorDatabaseController db(&mem);
    db.Database().SetExclusive(true);
    db.OpenDatabase(kPath);
    TUnitsModel model;
    db.Execute(st::InsertProject("Web", kJan3));
    const int32_t project = st::NewProjectId(db);
    db.Execute(st::UpdateProjectFilter("[" + std::to_string(project) + "]"));
    for (int i = 0; i < 6; ++i) {
      const double start = kJan3 + static_cast<double>(pick(20));
      const double end = start + static_cast<double>(pick(6));
      db.Execute(st::InsertTask("T" + std::to_string(i), start, project));
      const int32_t id = st::NewTaskId(db);
      db.Execute(st::UpdateTask(id, {"T", start, end, false, false, 0, 0, ""}));
      model.tasks[id] = {start, end};
    }
    // MaxUnits: none (null), none at all, a part-timer's, the default, and overtime.
    const std::vector<std::optional<double>> limits = {std::nullopt, 0.0, 60.0, 100.0, 150.0};
    for (const std::optional<double>& limit : limits) {
      db.Execute(st::InsertResource("R"));
      const int32_t id = st::NewResourceId(db);
      db.Execute(st::UpdateResource(id, {"R", "R", 40, 0, limit.value_or(0), ""}));
      if (!limit)
        db.Execute("UPDATE Resources SET MaxUnits=NULL WHERE ResourceId=" + std::to_string(id));
      TUnitsModel::TResource& r = model.resources[id];
      r.maxUnits = limit;
      if (pick(3) == 0) {
        const double start = kJan3 + static_cast<double>(pick(30));
        db.Execute(st::InsertHoliday(id, start, start + 1));
        r.holidays.emplace_back(start, start + 1);
      }
    }
    TqorPlannerModel planner{[] { return kJan3; }};
    LoadPlanner(db, planner);
    TFakeEditor editor;
    TqorAssignmentWorkflows assignments(db, planner, editor);
    TScriptedPrompts prompts;
    struct TRestore {
      TqorUserPrompts* previous;
      ~TRestore() { SetUserPrompts(previous); }
    } restore{SetUserPrompts(&prompts)};

    for (int step = 0; step < 60; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      prompts.Answer = texts[pick(texts.size())];
      prompts.Messages.clear();
      double units = 0;
      const bool number = ParseNumber(prompts.Answer, units);
      std::optional<std::string> expected;
      bool changed = false;
      if (model.assignments.empty() || pick(2) == 0) {
        auto task = model.tasks.begin();
        std::advance(task, static_cast<long>(pick(model.tasks.size())));
        auto resource = model.resources.begin();
        std::advance(resource, static_cast<long>(pick(model.resources.size())));
        editor.Shown.TaskId = task->first;
        editor.Shown.StartDate = task->second.start;
        editor.Shown.EndDate = task->second.end;
        if (!number) {
          expected = prompts.Answer + " is not a valid number.";
        } else {
          expected = model.Refusal(resource->first, task->first, units, std::nullopt);
        }
        changed = assignments.AllocationDrop(resource->first);
        if (changed)
          model.assignments[st::NewAssignmentId(db)] = {task->first, resource->first, units};
      } else {
        auto a = model.assignments.begin();
        std::advance(a, static_cast<long>(pick(model.assignments.size())));
        if (!number) {
          expected = prompts.Answer + " is not a valid number of units.";
        } else {
          expected = model.Refusal(a->second.resource, a->second.task, units, a->first);
        }
        changed = assignments.ChangeAssignmentUnits(a->second.task, a->first);
        if (changed) a->second.units = units;
      }
      EXPECT_EQ(changed, !expected);
      EXPECT_EQ(prompts.Messages,
                expected ? std::vector<std::string>{*expected} : std::vector<std::string>{});
      // The database holds what the model holds, and so does the document.
      std::map<int32_t, double> stored;
      TqorDatabaseRecordSet* set = db.OpenRecordSet(st::SelectAssignments());
      for (; !db.Eof(set); db.Next(set))
        stored[db.GetInteger(set, "AssignmentId")] = db.GetFloat(set, "Units");
      db.CloseRecordSet(set);
      std::map<int32_t, double> modelled;
      for (const auto& [id, a] : model.assignments) {
        modelled[id] = a.units;
        const TqorXMLNode2* node = planner.Document().GetNodeById("assignment", std::to_string(id));
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->GetAttribute("units").AsReal(), a.units);
      }
      ASSERT_EQ(stored, modelled);
    }
  }
}

}  // namespace
