// The edit history on a plan file, through the workflows the windows use: random actions of
// every kind mixed with undos and redos, judged against a model that keeps every table's rows
// (ids included) after each step; refused undos leave file, document and history as they were.
#include <gtest/gtest.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/core/qorAssignmentWorkflows.h"
#include "app/core/qorEditHistory.h"
#include "app/core/qorHolidayOperations.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorProjectOperations.h"
#include "app/core/qorResourceOperations.h"
#include "app/core/qorTaskEditor.h"
#include "app/core/qorTaskWorkflows.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseRecordSet.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorUserPrompts.h"
#include "planner/qorPlannerModel.h"
#include "tests/testFiles.h"

namespace {

namespace fs = std::filesystem;
namespace st = qorStatements;

const double kJan3 = EncodeDate(2005, 1, 3);

int IdOfNode(const TqorXMLNode2* node) {
  return node->GetAttribute("id").AsInteger();
}

int EnvInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

struct TPrompts : TqorUserPrompts {
  std::string Answer;
  std::vector<std::string> Messages;
  bool Confirm(const std::string&) override { return true; }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  bool InputQuery(const std::string&, const std::string&, std::string& value) override {
    value = Answer;
    return true;
  }
};

// The task dialog: runs InDialog while it shows (allocations, say) and closes with OK and the
// name NewName, or with Cancel.
struct TEditor : TqorTaskEditor {
  TqorTaskDialogValues Shown;
  std::string NewName;
  bool Ok = true;
  std::function<void()> InDialog;
  void SetTask(const TqorTaskDialogValues& v) override { Shown = v; }
  TqorTaskDialogValues GetTask() const override {
    TqorTaskDialogValues v = Shown;
    if (!NewName.empty()) v.Name = NewName;
    v.Progress = 40;
    return v;
  }
  void SetResourceList(const std::vector<TqorResourceEntry>&) override {}
  void SetAssignmentList(const std::vector<TqorResourceEntry>&) override {}
  bool Execute() override {
    if (InDialog) InDialog();
    return Ok;
  }
};

// One program on the plan file, with its history.
struct TSession {
  TqorDatabaseController db;
  TqorPlannerModel planner{[] { return kJan3; }};
  TEditor editor;
  TqorEditHistory history;
  std::unique_ptr<TqorTaskWorkflows> tasks;
  std::unique_ptr<TqorAssignmentWorkflows> assignments;
  std::string reportFormat;

  explicit TSession(const std::string& path) {
    db.OpenDatabase(path);
    LoadPlanner(db, planner);
    reportFormat = Format();
    tasks = std::make_unique<TqorTaskWorkflows>(db, planner);
    assignments = std::make_unique<TqorAssignmentWorkflows>(db, planner, editor);
    tasks->SetHistory(&history);
    assignments->SetHistory(&history);
  }
  std::string Format() {
    return db.LookupValue("SELECT ReportFormat FROM Settings WHERE SettingId=1").ToText();
  }
  // Undo and redo as the window runs them: the document follows the rows.
  void Undo() {
    history.Undo(db, &planner);
    reportFormat = Format();
  }
  void Redo() {
    history.Redo(db, &planner);
    reportFormat = Format();
  }
  std::vector<TqorXMLNode2*> All(const char* name) {
    std::vector<TqorXMLNode2*> found;
    std::function<void(TqorXMLNode2*)> walk = [&](TqorXMLNode2* node) {
      if (node->Name() == name) found.push_back(node);
      for (int i = 0; i < node->ChildCount(); ++i) walk(node->GetChild(i));
    };
    walk(&planner.Document());
    return found;
  }
};

// Every row of every table, each value with its kind and (for reals) every digit.
std::map<std::string, std::string> Dump(TqorDatabaseController& db) {
  static const std::map<std::string, std::vector<std::string>> tables = {
      {"Projects",
       {"ProjectId", "ProjectName", "ProjectTag", "StartDate", "EndDate", "BudgetHours",
        "ActualHours", "BudgetCost", "ActualCost", "IsCompleted", "AssignedHours", "Notes"}},
      {"Tasks",
       {"TaskId", "TaskName", "StartDate", "EndDate", "IsMileStone", "IsCompleted", "AssignedHours",
        "Progress", "Notes", "ProjectId"}},
      {"Resources",
       {"ResourceId", "ResourceName", "Initials", "HoursPerWeek", "CostPerHour", "MaxUnits",
        "Notes"}},
      {"Assignments", {"AssignmentId", "TaskId", "ResourceId", "Units"}},
      {"Holidays", {"HolidayId", "ResourceId", "StartDate", "EndDate"}},
      {"Settings", {"SettingId", "ProjectFilter", "ReportFormat"}}};
  std::map<std::string, std::string> rows;
  for (const auto& [table, columns] : tables) {
    TqorDatabaseRecordSet* set = db.OpenRecordSet("SELECT * FROM " + table);
    for (; !db.Eof(set); db.Next(set)) {
      std::string row;
      for (const std::string& column : columns) {
        const TqorVariant v = set->GetValue(column);
        row += "|" + std::to_string(static_cast<int>(v.Kind())) + ":";
        if (v.Kind() == TqorVarKind::Real || v.Kind() == TqorVarKind::Date) {
          char text[32];
          row += std::string(text, std::to_chars(text, text + sizeof text, v.AsReal()).ptr);
        } else if (!v.IsNull()) {
          row += v.ToText();
        }
      }
      rows[table + ":" + set->GetValue(columns.front()).ToText()] = row;
    }
    db.CloseRecordSet(set);
  }
  return rows;
}

// The document as its elements and their values, in document order, each element's attributes
// by name and numbers as numbers: a new project's dates are date values, and its attributes
// come in the order the project list sets them, until the next start (the loader's order then);
// neither changes what the document says.
std::vector<std::string> Elements(const TqorXMLNode2& node) {
  std::vector<std::string> out;
  std::map<std::string, std::string> attributes;
  for (int i = 0; i < node.AttributeCount(); ++i) {
    const TqorVariant value = node.GetAttribute(i);
    double number = 0;
    std::string text = value.ToText();
    if (value.Kind() != TqorVarKind::Text && value.TryToReal(number)) {
      char digits[32];
      text = std::string(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
    }
    attributes[node.Attribute(i)->Name] = text;
  }
  std::string line = node.Name();
  for (const auto& [name, value] : attributes) line += " " + name + "=" + value;
  out.push_back(line);
  for (int i = 0; i < node.ChildCount(); ++i)
    for (std::string& child : Elements(*node.GetChild(i))) out.push_back("  " + child);
  return out;
}

// "" when the documents say the same, else the first elements that differ.
std::string Difference(const TqorXMLNode2& shown, const TqorXMLNode2& fresh) {
  const std::vector<std::string> a = Elements(shown), b = Elements(fresh);
  for (size_t i = 0; i < std::max(a.size(), b.size()); ++i)
    if (i >= a.size() || i >= b.size() || a[i] != b[i])
      return "element " + std::to_string(i) + ":\n  shown " + (i < a.size() ? a[i] : "<end>") +
             "\n  fresh " + (i < b.size() ? b[i] : "<end>");
  return "";
}

// Projects Web (tasks Design with Ann, Build) and Shop (Ship with Bob), resources Ann, Bob and
// Cid with a holiday each for Ann and Bob, both projects shown; project hours as their tasks'.
void MakeBase(const std::string& path) {
  CreatePlannerDatabase(path);
  TSession s(path);
  auto project = [&](const std::string& name) {
    return CreateProject(s.db, s.planner, name)->GetAttributeStr("id");
  };
  const std::string web = project("Web"), shop = project("Shop");
  TPrompts prompts;
  TqorUserPrompts* before = SetUserPrompts(&prompts);
  for (const auto& [name, in] : {std::pair{"Design", web}, {"Build", web}, {"Ship", shop}}) {
    prompts.Answer = name;
    s.tasks->Add1Click(s.planner.FindRow(s.planner.Document().GetNodeById("project", in)));
  }
  for (const auto& [name, hours] : {std::pair{"Ann", 40.0}, {"Bob", 35.5}, {"Cid", 20.0}}) {
    TqorXMLNode2* r = CreateResource(s.db, s.planner, name);
    EditResource(s.db, s.planner, r, [&](int32_t, TqorResourceValues& v) {
      v.HoursPerWeek = hours;
      v.Initials = std::string(name).substr(0, 2);
      return true;
    });
  }
  SetUserPrompts(before);
}

// The random actions: each picks what it works on from the session's document, as a user picks
// from the window. Some are refused by their checks (a holiday in the way, no units left): they
// must change nothing and record nothing.
struct TActions {
  TSession& s;
  TPrompts& prompts;
  std::mt19937& random;

  template <class T>
  T* Pick(const std::vector<T*>& from) {
    if (from.empty()) return nullptr;
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
  }
  int Int(int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); }
  std::string Name(const char* what) {
    return std::string(what) + " " + std::to_string(Int(1, 999));
  }
  int32_t IdOf(const TqorXMLNode2* node) { return node->GetAttribute("id").AsInteger(); }

  void Gesture(TqorDateGesture gesture) {
    TqorXMLNode2* node = Pick(Int(0, 3) ? s.All("task") : s.All("project"));
    if (!node) return;
    s.tasks->RememberBeforeChange(node);
    const double day = node->GetAttribute("startdate").AsReal() + Int(-20, 20);
    if (!s.planner.ApplyDateGesture(node, day, gesture)) return;
    if (node->Name() == "task")
      s.tasks->TaskGridTaskChanged(node);
    else
      s.tasks->TaskGridProjectChanged(node);
  }
  bool Allocate(TqorXMLNode2* task) {
    TqorXMLNode2* resource = Pick(s.All("resource"));
    if (!task || !resource) return false;
    return s.assignments->AllocateResource(IdOf(task), IdOf(resource), Int(1, 8) * 12.5,
                                           task->GetAttribute("startdate").AsReal(),
                                           task->GetAttribute("enddate").AsReal());
  }
  void DialogEdit() {
    TqorXMLNode2* task = Pick(s.All("task"));
    if (!task) return;
    const int32_t id = IdOf(task);
    s.editor.NewName = Int(0, 1) ? Name("Task") : "";
    s.editor.Ok = Int(0, 3) != 0;
    const bool allocate = Int(0, 1);
    s.editor.InDialog = [&, id, allocate] {
      if (allocate) Allocate(s.planner.Document().GetNodeById("task", std::to_string(id)));
    };
    s.tasks->TaskGridTaskEdit(task, *s.assignments);
    s.editor.InDialog = nullptr;
    if (TqorXMLNode2* now = s.planner.Document().GetNodeById("task", std::to_string(id)))
      s.tasks->TaskGridTaskChanged(now);
  }
  void Run() {
    switch (Int(0, 18)) {
      case 0:
        return Gesture(TqorDateGesture::Move);
      case 1:
        return Gesture(TqorDateGesture::SetEnd);
      case 2:
        return DialogEdit();
      case 3:
        if (TqorXMLNode2* project = Pick(s.All("project"))) {
          prompts.Answer = Name("Task");
          s.tasks->Add1Click(s.planner.FindRow(project));
        }
        return;
      case 4:
        if (TqorXMLNode2* task = Pick(s.All("task")))
          s.tasks->Delete1Click(s.planner.FindRow(task));
        return;
      case 5:
        Allocate(Pick(s.All("task")));
        return;
      case 6:
        if (TqorXMLNode2* a = Pick(s.All("assignment")))
          s.assignments->RemoveAssignment(IdOf(a->Parent()), IdOf(a));
        return;
      case 7:
        if (TqorXMLNode2* a = Pick(s.All("assignment"))) {
          prompts.Answer = std::to_string(Int(1, 9) * 10);
          s.assignments->ChangeAssignmentUnits(IdOf(a->Parent()), IdOf(a));
        }
        return;
      case 8:
        CreateProject(s.db, s.planner, Name("Project"), &s.history);
        return;
      case 9:
        if (TqorXMLNode2* p = Pick(s.All("project")))
          EditProject(
              s.db, s.planner, p,
              [&](int32_t, TqorProjectValues& v) {
                v.Name = Name("Project");
                v.BudgetHours = Int(0, 400) * 0.25;
                v.Notes = Int(0, 1) ? "first line\nsecond" : "";
                v.IsCompleted = Int(0, 1);
                return true;
              },
              &s.history);
        return;
      case 10:
        if (TqorXMLNode2* p = Pick(s.All("project"))) DeleteProject(s.db, s.planner, p, &s.history);
        return;
      case 11:
        CreateResource(s.db, s.planner, Name("Resource"), &s.history);
        return;
      case 12:
        if (TqorXMLNode2* r = Pick(s.All("resource")))
          EditResource(
              s.db, s.planner, r,
              [&](int32_t, TqorResourceValues& v) {
                v.HoursPerWeek = Int(10, 40) + 0.25;
                v.MaxUnits = Int(0, 1) ? 100 : 80;
                return true;
              },
              &s.history);
        return;
      case 13:
        if (TqorXMLNode2* r = Pick(s.All("resource")))
          DeleteResource(s.db, s.planner, r, &s.history);
        return;
      case 14:
        if (TqorXMLNode2* r = Pick(s.All("resource")))
          CreateHoliday(
              s.db, s.planner, r->GetAttributeStr("id"),
              [&](double& start, double& end) {
                start = kJan3 + Int(0, 60);
                end = start + Int(0, 5);
                return true;
              },
              &s.history);
        return;
      case 15:
        if (TqorXMLNode2* h = Pick(s.All("holiday")))
          EditHoliday(
              s.db, s.planner, h->GetAttributeStr("id"),
              [&](double& start, double& end) {
                start += Int(1, 3);
                end += Int(1, 5);
                return true;
              },
              &s.history);
        return;
      case 16:
        if (TqorXMLNode2* h = Pick(s.All("holiday")))
          DeleteHoliday(s.db, s.planner, h->GetAttributeStr("id"), &s.history);
        return;
      case 17: {
        std::string filter;
        for (TqorXMLNode2* p : s.All("project"))
          if (Int(0, 2)) filter += "[" + p->GetAttributeStr("id") + "]";
        StoreProjectFilter(s.db, s.planner, filter, &s.history);
        return;
      }
      default: {
        const std::string next = s.reportFormat == "PDF" ? "RTF" : "PDF";
        StoreReportFormat(s.db, s.reportFormat, next, &s.history);
        s.reportFormat = next;
        return;
      }
    }
  }
};

class EditHistory : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vz-history-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "plan.zuz").string();
    MakeBase(path_);
    before_ = SetUserPrompts(&prompts_);
  }
  void TearDown() override {
    fresh_.reset();
    SetUserPrompts(before_);
    RemoveTestFolder(dir_);
  }
  // The document a fresh start shows (its session stays open until the next call).
  const TqorXMLNode2& Fresh() {
    fresh_.reset();
    fresh_ = std::make_unique<TSession>(path_);
    return fresh_->planner.Document();
  }

  fs::path dir_;
  std::string path_;
  std::unique_ptr<TSession> fresh_;
  TPrompts prompts_;
  TqorUserPrompts* before_ = nullptr;
};

// Random actions, undos and redos. The model: the file's rows after each step of the history;
// an action that changed the file is one new step (and drops the steps undone), one that changed
// nothing is none; an undo brings back the rows of the step before, a redo those of the step
// after, ids included, and the document is then what a fresh start shows. At the end every
// step is undone (back to the starting plan, or to the oldest state the limit keeps) and redone
// (the end state again).
// VZ_HISTORY_ACTIONS (default 160) and VZ_HISTORY_SEED.
TEST_F(EditHistory, RandomActionsUndoneAndRedoneAgreeWithTheRowsOfEachStep) {
  const unsigned seed = static_cast<unsigned>(EnvInt("VZ_HISTORY_SEED", 3012));
  const int actions = EnvInt("VZ_HISTORY_ACTIONS", 160);
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  TSession s(path_);
  TActions act{s, prompts_, random};
  std::vector<std::map<std::string, std::string>> states = {Dump(s.db)};
  size_t at = 0;
  int recorded = 0, undone = 0, redone = 0;
  for (int i = 0; i < actions; ++i) {
    const int dice = act.Int(0, 9);
    if (dice < 2 && s.history.CanUndo()) {
      const std::string name = s.history.UndoName();
      s.Undo();
      ASSERT_GT(at, 0u);
      --at;
      ASSERT_EQ(Dump(s.db), states[at]) << "after undo of " << name;
      EXPECT_EQ(Difference(s.planner.Document(), Fresh()), "") << "after undo of " << name;
      ++undone;
    } else if (dice < 4 && s.history.CanRedo()) {
      const std::string name = s.history.RedoName();
      s.Redo();
      ++at;
      ASSERT_LT(at, states.size());
      ASSERT_EQ(Dump(s.db), states[at]) << "after redo of " << name;
      EXPECT_EQ(Difference(s.planner.Document(), Fresh()), "") << "after redo of " << name;
      ++redone;
    } else {
      const bool couldRedo = s.history.CanRedo();
      act.Run();
      const auto now = Dump(s.db);
      if (now == states[at]) {
        EXPECT_EQ(s.history.CanRedo(), couldRedo) << "an action that changed nothing";
        continue;
      }
      ++recorded;
      states.resize(at + 1);
      states.push_back(now);
      ++at;
      // The oldest steps go once the history holds its limit.
      if (states.size() > TqorEditHistory::kLimit + 1) {
        states.erase(states.begin());
        --at;
      }
      EXPECT_TRUE(s.history.CanUndo());
      EXPECT_FALSE(s.history.CanRedo());
      EXPECT_FALSE(s.history.UndoName().empty());
    }
    ASSERT_EQ(s.history.Size(), states.size() - 1) << "action " << i;
    ASSERT_EQ(s.history.CanUndo(), at > 0) << "action " << i;
    ASSERT_EQ(s.history.CanRedo(), at + 1 < states.size()) << "action " << i;
  }
  EXPECT_EQ(s.history.Size(), states.size() - 1);
  while (s.history.CanUndo()) s.Undo();
  EXPECT_EQ(Dump(s.db), states.front());
  EXPECT_EQ(Difference(s.planner.Document(), Fresh()), "");
  while (s.history.CanRedo()) s.Redo();
  EXPECT_EQ(Dump(s.db), states.back());
  EXPECT_EQ(Difference(s.planner.Document(), Fresh()), "");
  std::printf("%d steps recorded, %d undone, %d redone, %zu in the history\n", recorded, undone,
              redone, s.history.Size());
  EXPECT_GT(recorded, actions / 3);
}

// An undo whose rows another program changed since is refused, saying why, and leaves the file,
// the document and the history as they were; one whose columns another program left alone goes
// through and keeps that program's change. A read-only plan refuses it with its reason.
TEST_F(EditHistory, ARefusedUndoChangesNothing) {
  TSession s(path_);
  TqorXMLNode2* design = s.All("task").front();
  const std::string id = design->GetAttributeStr("id");
  s.tasks->RememberBeforeChange(design);
  s.planner.ApplyDateGesture(design, design->GetAttribute("startdate").AsReal() + 5,
                             TqorDateGesture::Move);
  s.tasks->TaskGridTaskChanged(design);
  ASSERT_EQ(s.history.UndoName(), "Move of 'Design'");

  TqorDatabaseController other;
  other.OpenDatabase(path_);
  other.Execute("UPDATE Tasks SET EndDate=EndDate + 1 WHERE TaskId=" + id);
  const auto rows = Dump(s.db);
  const std::string xml = s.planner.Document().Xml();
  try {
    s.history.Undo(s.db, &s.planner);
    ADD_FAILURE() << "the undo went through";
  } catch (const EqorEditRefused& e) {
    EXPECT_STREQ(e.what(),
                 "Cannot undo Move of 'Design': Task 'Design' was changed by another program "
                 "since.");
  }
  EXPECT_EQ(Dump(s.db), rows);
  EXPECT_EQ(s.planner.Document().Xml(), xml);
  EXPECT_EQ(s.history.UndoName(), "Move of 'Design'");
  EXPECT_FALSE(s.history.CanRedo());

  // The other program puts the end back and renames the task: the move's columns are as the
  // move left them, so it is undone, and the new name stays.
  other.Execute("UPDATE Tasks SET EndDate=EndDate - 1, TaskName='Designs' WHERE TaskId=" + id);
  s.db.SetReadOnly("The plan is open read-only.");
  const auto stored = Dump(s.db);
  try {
    s.history.Undo(s.db, &s.planner);
    ADD_FAILURE() << "the undo went through";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "The plan is open read-only.");
  }
  EXPECT_EQ(Dump(s.db), stored);
  EXPECT_TRUE(s.history.CanUndo());
  s.db.SetReadOnly("");
  s.Undo();
  EXPECT_EQ(s.history.RedoName(), "Move of 'Design'");
  const TqorXMLNode2* undone = s.planner.Document().GetNodeById("task", id);
  ASSERT_NE(undone, nullptr);
  EXPECT_EQ(undone->GetAttributeStr("name"), "Designs");
  EXPECT_EQ(undone->GetAttribute("startdate").AsReal(), kJan3);
}

// A deleted project comes back with its tasks and assignments under their ids, and the next new
// rows take ids above them.
TEST_F(EditHistory, ADeletedProjectComesBackWithItsIds) {
  TSession s(path_);
  TqorXMLNode2* web = s.All("project").front();
  const std::string webId = web->GetAttributeStr("id");
  TqorXMLNode2* design = web->GetChild(0);
  ASSERT_TRUE(s.assignments->AllocateResource(IdOfNode(design), IdOfNode(s.All("resource")[0]), 50,
                                              kJan3, kJan3 + 2));
  const auto before = Dump(s.db);
  DeleteProject(s.db, s.planner, s.planner.Document().GetNodeById("project", webId), &s.history);
  ASSERT_EQ(s.history.UndoName(), "Deletion of 'Web'");
  s.Undo();
  EXPECT_EQ(Dump(s.db), before);
  EXPECT_EQ(Difference(s.planner.Document(), Fresh()), "");
  prompts_.Answer = "Later";
  TqorXMLNode2* added =
      s.tasks->Add1Click(s.planner.FindRow(s.planner.Document().GetNodeById("project", webId)));
  ASSERT_NE(added, nullptr);
  int highest = 0;
  for (TqorXMLNode2* t : s.All("task")) highest = std::max(highest, IdOfNode(t));
  EXPECT_EQ(IdOfNode(added), highest);
}

}  // namespace
