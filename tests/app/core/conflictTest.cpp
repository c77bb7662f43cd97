// Two programs on one plan file, each with the plan loaded: program A makes a change and commits
// it, then program B, still showing the plan as loaded, makes another through the same workflows
// the windows use. Every ordered pair of the edits below runs (in random order, from the same
// plan each time), judged against a model of what each edit reads and writes:
//   - B is refused with EqorChangedElsewhere, naming a row it meant to change, exactly when A
//     changed a row whose values B's edit relies on, or deleted a row B's edit needs;
//   - no row A changed is changed again by B (A's committed change is never lost), and a refused
//     edit writes nothing at all;
//   - after a refusal B's document holds what the file holds for every row the edit touched,
//     after a success for every row it wrote (a row gone from the file is gone from the
//     document).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/core/qorAssignmentWorkflows.h"
#include "app/core/qorChangedElsewhere.h"
#include "app/core/qorHolidayOperations.h"
#include "app/core/qorNodeValues.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorProjectOperations.h"
#include "app/core/qorResourceOperations.h"
#include "app/core/qorTaskEditor.h"
#include "app/core/qorTaskWorkflows.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorUserPrompts.h"
#include "planner/base/qorVariant.h"
#include "planner/qorPlannerModel.h"
#include "tests/testFiles.h"

namespace {

namespace fs = std::filesystem;
namespace st = qorStatements;

const double kJan3 = EncodeDate(2005, 1, 3);

struct TPrompts : TqorUserPrompts {
  std::string Answer;
  bool Confirm(const std::string&) override { return true; }
  void ShowMessage(const std::string& text) override { ADD_FAILURE() << "message: " << text; }
  bool InputQuery(const std::string&, const std::string&, std::string& value) override {
    value = Answer;
    return true;
  }
};

// The task dialog: OK with the name NewName, everything else as shown.
struct TRenamingEditor : TqorTaskEditor {
  TqorTaskDialogValues Shown;
  std::string NewName;
  void SetTask(const TqorTaskDialogValues& v) override { Shown = v; }
  TqorTaskDialogValues GetTask() const override {
    TqorTaskDialogValues v = Shown;
    if (!NewName.empty()) v.Name = NewName;
    return v;
  }
  void SetResourceList(const std::vector<TqorResourceEntry>&) override {}
  void SetAssignmentList(const std::vector<TqorResourceEntry>&) override {}
  bool Execute() override { return true; }
};

// One program: its connection to the file and its plan as loaded.
struct TProgram {
  TqorDatabaseController db;
  TqorPlannerModel planner{[] { return kJan3; }};
  TRenamingEditor editor;
  std::unique_ptr<TqorTaskWorkflows> tasks;
  std::unique_ptr<TqorAssignmentWorkflows> assignments;
  std::string reportFormat;

  explicit TProgram(const std::string& path) {
    db.OpenDatabase(path);
    reportFormat = LoadPlanner(db, planner).ReportFormat;
    tasks = std::make_unique<TqorTaskWorkflows>(db, planner);
    assignments = std::make_unique<TqorAssignmentWorkflows>(db, planner, editor);
  }
  TqorXMLNode2* Node(const char* name, int id) {
    return planner.Document().GetNodeById(name, std::to_string(id));
  }
};

// Every row of a plan as a document shows it, by "table:id", without the rolled-up hours.
std::map<std::string, std::string> Rows(TqorPlannerModel& planner) {
  std::map<std::string, std::string> rows;
  auto N = [](double v) { return RealToText(v, "."); };
  rows["filter"] = planner.ProjectFilter();
  const TqorXMLNode2* projects = planner.ProjectsNode();
  for (int p = 0; p < projects->ChildCount(); ++p) {
    const TqorXMLNode2* project = projects->GetChild(p);
    rows["project:" + NodeText(project, "id")] =
        NodeText(project, "name") + "|" + NodeText(project, "tag") + "|" +
        N(NodeDate(project, "startdate")) + "|" + N(NodeDate(project, "enddate")) + "|" +
        N(NodeReal(project, "budgethours")) + "|" + N(NodeFlag(project, "iscompleted")) + "|" +
        NodeText(project, "notes");
    for (int t = 0; t < project->ChildCount(); ++t) {
      const TqorXMLNode2* task = project->GetChild(t);
      rows["task:" + NodeText(task, "id")] =
          NodeText(project, "id") + "|" + NodeText(task, "name") + "|" +
          N(NodeDate(task, "startdate")) + "|" + N(NodeDate(task, "enddate")) + "|" +
          N(NodeFlag(task, "ismilestone")) + "|" + N(NodeFlag(task, "iscompleted")) + "|" +
          N(NodeReal(task, "progress")) + "|" + NodeText(task, "notes");
      for (int a = 0; a < task->ChildCount(); ++a) {
        const TqorXMLNode2* assignment = task->GetChild(a);
        rows["assignment:" + NodeText(assignment, "id")] = NodeText(task, "id") + "|" +
                                                           NodeText(assignment, "resourceid") +
                                                           "|" + N(NodeReal(assignment, "units"));
      }
    }
  }
  const TqorXMLNode2* resources = planner.ResourcesNode();
  for (int r = 0; r < resources->ChildCount(); ++r) {
    const TqorXMLNode2* resource = resources->GetChild(r);
    rows["resource:" + NodeText(resource, "id")] =
        NodeText(resource, "name") + "|" + NodeText(resource, "initials") + "|" +
        N(NodeReal(resource, "hoursperweek")) + "|" + N(NodeReal(resource, "maxunits"));
  }
  const TqorXMLNode2* holidays = planner.HolidaysNode();
  for (int h = 0; h < holidays->ChildCount(); ++h) {
    const TqorXMLNode2* holiday = holidays->GetChild(h);
    rows["holiday:" + NodeText(holiday, "id")] = NodeText(holiday, "resourceid") + "|" +
                                                 N(NodeDate(holiday, "startdate")) + "|" +
                                                 N(NodeDate(holiday, "enddate"));
  }
  return rows;
}

// The rows the file holds, and its report format.
std::map<std::string, std::string> StoredRows(const std::string& path) {
  TProgram reader(path);
  std::map<std::string, std::string> rows = Rows(reader.planner);
  rows["format"] = reader.reportFormat;
  return rows;
}

// The plan every pair starts from: projects Web (tasks Design, with Ann at 50, and Build) and
// Shop (task Ship, with Bob at 30); resources Ann, Bob and Cid; a holiday each for Ann and
// Bob; both projects shown.
struct TIds {
  int web, shop, design, build, ship, ann, bob, cid, annOnDesign, bobOnShip, annHoliday, bobHoliday;
};

TIds MakeBase(const std::string& path) {
  CreatePlannerDatabase(path);
  TqorDatabaseController db;
  db.OpenDatabase(path);
  TIds ids{};
  db.Execute(st::InsertProject("Web", kJan3));
  ids.web = st::NewProjectId(db);
  db.Execute(st::InsertProject("Shop", kJan3));
  ids.shop = st::NewProjectId(db);
  auto task = [&](const char* name, int project, double start) {
    db.Execute(st::InsertTask(name, start, project));
    const int id = st::NewTaskId(db);
    db.Execute(st::UpdateTask(
        id, {name, start, start + 4, false, false, 0, 10, "n'" + std::to_string(id)}));
    return id;
  };
  ids.design = task("Design", ids.web, kJan3);
  ids.build = task("Build", ids.web, kJan3 + 9);
  ids.ship = task("Ship", ids.shop, kJan3 + 2);
  auto resource = [&](const char* name, double hours) {
    db.Execute(st::InsertResource(name));
    const int id = st::NewResourceId(db);
    db.Execute(st::UpdateResource(id, {name, name, hours, 20, 100, ""}));
    return id;
  };
  ids.ann = resource("Ann", 40);
  ids.bob = resource("Bob", 35.5);
  ids.cid = resource("Cid", 20);
  db.Execute(st::InsertAssignment(ids.design, ids.ann, 50));
  ids.annOnDesign = st::NewAssignmentId(db);
  db.Execute(st::InsertAssignment(ids.ship, ids.bob, 30));
  ids.bobOnShip = st::NewAssignmentId(db);
  db.Execute(st::InsertHoliday(ids.ann, kJan3 + 40, kJan3 + 42));
  ids.annHoliday = st::NewHolidayId(db);
  db.Execute(st::InsertHoliday(ids.bob, kJan3 + 50, kJan3 + 51));
  ids.bobHoliday = st::NewHolidayId(db);
  db.Execute(st::UpdateProjectFilter("[" + std::to_string(ids.web) + "][" +
                                     std::to_string(ids.shop) + "]"));
  return ids;
}

// An edit through the workflows, with what it relies on and what it changes: keys are rows
// ("task:7"), a row's dependants ("task:7+" for a task's assignments, "resource:2+" for a
// resource's assignments and holidays, "project:1+" for a project's tasks), "filter" and
// "format". Reads: rows whose values the edit relies on; needs: rows that must be there;
// writes: what it changes, deleted rows included.
struct TEdit {
  std::string name;
  std::function<void(TProgram&, TPrompts&, const TIds&)> run;
  std::set<std::string> reads, needs, writes;
  // The rows a refusal may name.
  std::set<std::string> names;
  // The edit shows the row as stored when it starts: it may change what another program
  // changed before.
  bool fresh = false;
};

std::string K(const char* table, int id, bool dependants = false) {
  return std::string(table) + ":" + std::to_string(id) + (dependants ? "+" : "");
}

std::vector<TEdit> Edits(const TIds& i) {
  const std::string design = "Task 'Design'", web = "Project 'Web'", ann = "Resource 'Ann'";
  const std::string annOnDesign = "The assignment of 'Ann' to 'Design'";
  const std::string annHoliday = "The holiday of 'Ann' from 12-02-2005 to 14-02-2005";
  return {
      {"move Design",
       [](TProgram& p, TPrompts&, const TIds& i) {
         TqorXMLNode2* task = p.Node("task", i.design);
         p.tasks->RememberBeforeChange(task);
         p.planner.ApplyDateGesture(task, kJan3 + 20, TqorDateGesture::Move);
         p.tasks->TaskGridTaskChanged(task);
       },
       {K("task", i.design)},
       {},
       {K("task", i.design)},
       {design}},
      {"rename Design",
       [](TProgram& p, TPrompts&, const TIds& i) {
         TqorXMLNode2* task = p.Node("task", i.design);
         p.editor.NewName = "Design it";
         p.tasks->TaskGridTaskEdit(task, *p.assignments);
         p.tasks->TaskGridTaskChanged(task);
       },
       {K("task", i.design)},
       {},
       {K("task", i.design)},
       {design}},
      {"delete Design",
       [](TProgram& p, TPrompts&, const TIds& i) {
         p.tasks->Delete1Click(p.planner.FindRow(p.Node("task", i.design)));
       },
       {K("task", i.design), K("task", i.design, true), K("assignment", i.annOnDesign)},
       {},
       {K("task", i.design), K("task", i.design, true), K("assignment", i.annOnDesign),
        K("project", i.web, true), K("resource", i.ann, true)},
       {design, annOnDesign}},
      {"add a task to Web",
       [](TProgram& p, TPrompts& prompts, const TIds& i) {
         prompts.Answer = "Test";
         p.tasks->Add1Click(p.planner.FindRow(p.Node("project", i.web)));
       },
       {},
       {K("project", i.web)},
       {K("project", i.web, true)},
       {web}},
      {"allocate Ann to Build",
       [](TProgram& p, TPrompts&, const TIds& i) {
         ASSERT_TRUE(p.assignments->AllocateResource(i.build, i.ann, 20, kJan3 + 9, kJan3 + 13));
       },
       {},
       {K("task", i.build), K("resource", i.ann)},
       {K("task", i.build, true), K("resource", i.ann, true)},
       {"Task 'Build'", ann}},
      {"change Ann's units on Design",
       [](TProgram& p, TPrompts& prompts, const TIds& i) {
         prompts.Answer = "35.25";
         ASSERT_TRUE(p.assignments->ChangeAssignmentUnits(i.design, i.annOnDesign));
       },
       {K("assignment", i.annOnDesign)},
       {},
       {K("assignment", i.annOnDesign)},
       {annOnDesign}},
      {"remove Ann from Design",
       [](TProgram& p, TPrompts&, const TIds& i) {
         p.assignments->RemoveAssignment(i.design, i.annOnDesign);
       },
       {K("assignment", i.annOnDesign)},
       {},
       {K("assignment", i.annOnDesign), K("task", i.design, true), K("resource", i.ann, true)},
       {annOnDesign}},
      {"delete Ann",
       [](TProgram& p, TPrompts&, const TIds& i) {
         DeleteResource(p.db, p.planner, p.Node("resource", i.ann));
       },
       {K("resource", i.ann), K("resource", i.ann, true), K("assignment", i.annOnDesign),
        K("holiday", i.annHoliday)},
       {},
       {K("resource", i.ann), K("resource", i.ann, true), K("assignment", i.annOnDesign),
        K("holiday", i.annHoliday), K("task", i.design, true)},
       {ann, annOnDesign, annHoliday}},
      {"edit Ann",
       [](TProgram& p, TPrompts&, const TIds& i) {
         ASSERT_TRUE(EditResource(p.db, p.planner, p.Node("resource", i.ann),
                                  [](int32_t, TqorResourceValues& v) {
                                    v.HoursPerWeek = 32.5;
                                    v.Initials = "AX";
                                    return true;
                                  }));
       },
       {K("resource", i.ann)},
       {},
       {K("resource", i.ann)},
       {ann}},
      {"edit Web",
       [](TProgram& p, TPrompts&, const TIds& i) {
         ASSERT_TRUE(EditProject(p.db, p.planner, p.Node("project", i.web),
                                 [](int32_t, TqorProjectValues& v) {
                                   v.Name = "Web shop";
                                   v.EndDate += 3;
                                   v.Notes = "longer, with 'quotes'";
                                   return true;
                                 }));
       },
       {K("project", i.web)},
       {},
       {K("project", i.web)},
       {web}},
      {"move Web",
       [](TProgram& p, TPrompts&, const TIds& i) {
         TqorXMLNode2* project = p.Node("project", i.web);
         p.tasks->RememberBeforeChange(project);
         p.planner.ApplyDateGesture(project, kJan3 + 60, TqorDateGesture::SetEnd);
         p.tasks->TaskGridProjectChanged(project);
       },
       {K("project", i.web)},
       {},
       {K("project", i.web)},
       {web}},
      {"delete Web",
       [](TProgram& p, TPrompts&, const TIds& i) {
         DeleteProject(p.db, p.planner, p.Node("project", i.web));
       },
       {K("project", i.web), K("project", i.web, true), K("task", i.design), K("task", i.build),
        K("task", i.design, true), K("task", i.build, true), K("assignment", i.annOnDesign)},
       {},
       {K("project", i.web), K("project", i.web, true), K("task", i.design), K("task", i.build),
        K("task", i.design, true), K("task", i.build, true), K("assignment", i.annOnDesign),
        K("resource", i.ann, true)},
       {web, design, "Task 'Build'", annOnDesign}},
      {"filter",
       [](TProgram& p, TPrompts&, const TIds& i) {
         StoreProjectFilter(p.db, p.planner, "[" + std::to_string(i.shop) + "]");
       },
       {"filter"},
       {},
       {"filter"},
       {"The project filter"}},
      {"new project",
       [](TProgram& p, TPrompts&, const TIds&) { CreateProject(p.db, p.planner, "New"); },
       {"filter"},
       {},
       {"filter"},
       {"The project filter"}},
      {"new holiday of Ann",
       [](TProgram& p, TPrompts&, const TIds& i) {
         ASSERT_TRUE(CreateHoliday(p.db, p.planner, i.ann, [](double& s, double& e) {
           s = kJan3 + 70;
           e = kJan3 + 71;
           return true;
         }));
       },
       {},
       {K("resource", i.ann)},
       {K("resource", i.ann, true)},
       {ann}},
      // The dialog shows the holiday as stored when it opens: another program's earlier change
      // is no conflict, and a holiday gone by then is not edited.
      {"edit Ann's holiday",
       [](TProgram& p, TPrompts&, const TIds& i) {
         EditHoliday(p.db, p.planner, i.annHoliday, [](double& s, double& e) {
           s += 1;
           e += 2;
           return true;
         });
       },
       {},
       {},
       {K("holiday", i.annHoliday)},
       {annHoliday},
       true},
      {"delete Ann's holiday",
       [](TProgram& p, TPrompts&, const TIds& i) { DeleteHoliday(p.db, p.planner, i.annHoliday); },
       {K("holiday", i.annHoliday)},
       {},
       {K("holiday", i.annHoliday), K("resource", i.ann, true)},
       {annHoliday}},
      {"report format",
       [](TProgram& p, TPrompts&, const TIds&) {
         StoreReportFormat(p.db, p.reportFormat, "RTF");
         p.reportFormat = "RTF";
       },
       {"format"},
       {},
       {"format"},
       {"The report format"}},
  };
}

bool Meets(const std::set<std::string>& a, const std::set<std::string>& b) {
  return std::any_of(a.begin(), a.end(), [&](const std::string& k) { return b.count(k) > 0; });
}

// The rows of one key: "task:7" itself; "task:7+" has no row of its own.
bool IsRow(const std::string& key) {
  return key.back() != '+';
}

TEST(Conflicts, EveryPairOfEditsByTwoProgramsLosesNoCommittedChange) {
  const fs::path dir = fs::temp_directory_path() / ("vz-conflicts-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string base = (dir / "base.zuz").string(), path = (dir / "plan.zuz").string();
  const TIds ids = MakeBase(base);
  const std::vector<TEdit> edits = Edits(ids);

  TPrompts prompts;
  TqorUserPrompts* before = SetUserPrompts(&prompts);
  // The pairs that must be caught, both ways round, then others at random:
  // VZ_CONFLICT_PAIRS in all (default 48, "all" for every pair), VZ_CONFLICT_SEED.
  const std::vector<std::pair<std::string, std::string>> named = {
      {"move Design", "rename Design"},
      {"delete Design", "rename Design"},
      {"delete Web", "edit Web"},
      {"delete Ann", "edit Ann"},
      {"allocate Ann to Build", "delete Ann"},
      {"change Ann's units on Design", "change Ann's units on Design"},
      {"filter", "filter"},
      {"new project", "filter"}};
  auto index = [&](const std::string& name) {
    const auto it =
        std::find_if(edits.begin(), edits.end(), [&](const TEdit& e) { return e.name == name; });
    EXPECT_NE(it, edits.end()) << name;
    return static_cast<size_t>(it - edits.begin());
  };
  std::vector<std::pair<size_t, size_t>> pairs, others;
  for (const auto& [a, b] : named) {
    pairs.emplace_back(index(a), index(b));
    if (a != b) pairs.emplace_back(index(b), index(a));
  }
  for (size_t a = 0; a < edits.size(); ++a)
    for (size_t b = 0; b < edits.size(); ++b)
      if (std::find(pairs.begin(), pairs.end(), std::make_pair(a, b)) == pairs.end())
        others.emplace_back(a, b);
  const char* seedText = std::getenv("VZ_CONFLICT_SEED");
  const char* countText = std::getenv("VZ_CONFLICT_PAIRS");
  std::mt19937 rng(seedText ? std::strtoul(seedText, nullptr, 10) : 20261210);
  std::shuffle(others.begin(), others.end(), rng);
  const size_t count = countText && std::string(countText) == "all"
                           ? pairs.size() + others.size()
                           : (countText ? std::strtoul(countText, nullptr, 10) : 48);
  for (size_t i = 0; i < others.size() && pairs.size() < count; ++i) pairs.push_back(others[i]);

  int refused = 0;
  for (const auto& [a, b] : pairs) {
    const TEdit& first = edits[a];
    const TEdit& second = edits[b];
    SCOPED_TRACE("A: " + first.name + ", then B: " + second.name);
    fs::copy_file(base, path, fs::copy_options::overwrite_existing);
    const std::map<std::string, std::string> s0 = StoredRows(path);
    TProgram programA(path), programB(path);
    first.run(programA, prompts, ids);
    const std::map<std::string, std::string> s1 = StoredRows(path);

    // What A changed, by key; a row's dependants changed when a row naming it came or went.
    std::set<std::string> changed, gone;
    for (const auto& [key, row] : s0) {
      if (!s1.count(key)) gone.insert(key);
      if (!s1.count(key) || s1.at(key) != row) changed.insert(key);
    }
    for (const auto& [key, row] : s1)
      if (!s0.count(key)) changed.insert(key);
    ASSERT_FALSE(changed.empty()) << "A changed nothing";
    const std::set<std::string> rowsA(first.writes.begin(), first.writes.end());
    for (const std::string& key : changed)
      if (IsRow(key) && s0.count(key)) {
        EXPECT_TRUE(rowsA.count(key)) << "A changed " << key;
      }

    const bool mustRefuse = Meets(second.reads, first.writes) || Meets(second.needs, gone);
    std::string message;
    try {
      second.run(programB, prompts, ids);
    } catch (const EqorChangedElsewhere& e) {
      message = e.what();
    }
    const std::map<std::string, std::string> s2 = StoredRows(path);
    if (!mustRefuse) {
      EXPECT_EQ(message, "") << "B was refused though A changed nothing it relies on";
      // B's document shows what B wrote as the file holds it.
      const std::map<std::string, std::string> shown = Rows(programB.planner);
      for (const std::string& key : second.writes) {
        if (!IsRow(key) || key == "format") continue;
        EXPECT_EQ(shown.count(key) ? shown.at(key) : "<gone>",
                  s2.count(key) ? s2.at(key) : "<gone>")
            << key;
      }
    } else {
      ++refused;
      const std::string tail = " was changed by another program since this window showed it";
      ASSERT_GT(message.size(), tail.size()) << "B was not refused";
      EXPECT_EQ(message.substr(message.size() - tail.size()), tail);
      EXPECT_TRUE(second.names.count(message.substr(0, message.size() - tail.size()))) << message;
      EXPECT_EQ(s2, s1) << "the refused edit wrote something";
      // B's document shows the stored rows the edit touched, and none that are gone.
      const std::map<std::string, std::string> shown = Rows(programB.planner);
      for (const std::set<std::string>* keys : {&second.reads, &second.needs}) {
        for (const std::string& key : *keys) {
          if (!IsRow(key) || key == "format") continue;
          EXPECT_EQ(shown.count(key) ? shown.at(key) : "<gone>",
                    s2.count(key) ? s2.at(key) : "<gone>")
              << key;
        }
      }
    }
    // Nothing A committed was changed again.
    for (const std::string& key : changed) {
      if (!IsRow(key) || (second.fresh && second.writes.count(key))) continue;
      EXPECT_EQ(s2.count(key) ? s2.at(key) : "<gone>", s1.count(key) ? s1.at(key) : "<gone>")
          << "A's change of " << key << " was lost";
    }
  }
  SetUserPrompts(before);
  std::printf("%zu pairs, %d refused\n", pairs.size(), refused);
  RemoveTestFolder(dir);
}

}  // namespace
