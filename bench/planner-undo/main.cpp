// Times undoing and redoing the deletion of a project with 500 tasks and 750 assignments, as
// the main window does it: the step put back in one transaction of the plan file and its rows
// brought into the document. Beside it the deletion itself (checks, statements and the rows
// recorded for the history), and an undo followed by loading the whole plan again. Plans of 2,000
// and 20,000 tasks in all (the other tasks in projects of 100, with 1.5 assignments each); each
// figure is the median of the runs.
//
//   bench_planner_undo [folder [runs]]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/core/qorEditHistory.h"
#include "app/core/qorPlanReload.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorProjectOperations.h"
#include "bench/benchCommon.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "planner/qorPlannerModel.h"

namespace {

namespace st = qorStatements;
using bench::Clock;
using bench::Seconds;

constexpr double kToday = 46000;
constexpr int kTasks = 500, kAssignments = 750, kResources = 40;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The plan: project 1 with kTasks tasks and kAssignments assignments, then projects of 100 tasks
// up to totalTasks; every project shown.
void MakePlan(const std::string& path, int totalTasks) {
  std::filesystem::remove(path);
  CreatePlannerDatabase(path);
  TqorDatabaseController db;
  db.OpenDatabase(path);
  std::mt19937 random(7);
  TqorDatabaseTransaction transaction(db);
  for (int r = 1; r <= kResources; ++r) {
    db.Execute(st::InsertResource("Resource " + std::to_string(r)));
    db.Execute(st::UpdateResource(r, {"Resource " + std::to_string(r), "R", 38.5, 60, 100, ""}));
  }
  std::string filter;
  int task = 0, project = 0;
  auto addProject = [&](int tasks, int assignments) {
    db.Execute(st::InsertProject("Project " + std::to_string(++project), kToday));
    filter += "[" + std::to_string(project) + "]";
    const int first = task + 1;
    for (int t = 0; t < tasks; ++t) {
      db.Execute(st::InsertTask("Task " + std::to_string(++task), kToday, project));
      const double start = kToday + static_cast<int>(random() % 200);
      db.Execute(st::UpdateTask(task, {"Task " + std::to_string(task), start, start + 4, false,
                                       false, 12.5, 20, "a note"}));
    }
    for (int a = 0; a < assignments; ++a)
      db.Execute(st::InsertAssignment(first + static_cast<int>(random() % tasks),
                                      1 + static_cast<int>(random() % kResources), 25));
  };
  addProject(kTasks, kAssignments);
  while (task < totalTasks) addProject(100, 150);
  db.Execute(st::UpdateProjectFilter(filter));
  transaction.Commit();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = bench::WorkFolder(argc, argv, "vz-bench-undo");
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  std::printf("%-44s %7s | %9s\n", "step", "tasks", "ms");
  for (int total : {2000, 20000}) {
    const std::string path = dir + "/undo.zuz";
    MakePlan(path, total);
    TqorDatabaseController db;
    db.OpenDatabase(path);
    TqorPlannerModel planner([] { return kToday; });
    std::vector<std::string> problems;
    ReloadPlanner(db, planner, {}, problems);
    TqorEditHistory history;
    std::vector<double> deletion, undo, redo, undoReload;
    for (int r = 0; r < runs; ++r) {
      Clock::time_point t = Clock::now();
      DeleteProject(db, planner, planner.Document().GetNodeById("project", "1"), &history);
      deletion.push_back(Seconds(t));
      t = Clock::now();
      history.Undo(db, &planner);
      undo.push_back(Seconds(t));
      t = Clock::now();
      history.Redo(db, &planner);
      redo.push_back(Seconds(t));
      // The other way: the file put back, then the whole plan loaded again.
      t = Clock::now();
      history.Undo(db);
      ReloadPlanner(db, planner, CapturePlanView(planner, TqorPlannerModel::kFixedRows), problems);
      undoReload.push_back(Seconds(t));
      history.Clear();
    }
    if (!problems.empty() || db.LookupInteger("SELECT COUNT(*) FROM Tasks") != total) {
      std::fprintf(stderr, "the plan did not come back whole\n");
      return 1;
    }
    auto line = [&](const char* what, const std::vector<double>& times) {
      std::printf("%-44s %7d | %9.1f\n", what, total, Median(times) * 1e3);
    };
    line("delete the project (recorded)", deletion);
    line("undo: the rows and the document", undo);
    line("redo: the rows and the document", redo);
    line("undo, then the whole plan loaded again", undoReload);
    std::fflush(stdout);
  }
  std::filesystem::remove(dir + "/undo.zuz");
  std::filesystem::remove(dir + "/undo.lck");
  if (argc <= 1) std::filesystem::remove(dir);
  return 0;
}
