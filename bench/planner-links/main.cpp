// Times a move in the grid of the first task of a chain of 1,000 linked tasks (each following the
// one before it, finish to start), stored as the main window stores it: the task's row, the
// ripple through its successors with each moved task's row and hours, the project roll-up and
// the step for the edit history, in one transaction on the plan file. Plans of 2,000 and 20,000
// tasks (the chain's project and projects of 100 tasks beside it); the median of the runs.
//
//   bench_planner_links [folder [runs]]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/qorEditHistory.h"
#include "app/core/qorLinkWorkflows.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorTaskWorkflows.h"
#include "bench/benchCommon.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "planner/base/qorCalendar.h"
#include "planner/qorPlannerModel.h"
#include "planner/schedule/qorWorkCalendar.h"

namespace {

namespace st = qorStatements;
using bench::Clock;
using bench::Seconds;

constexpr int kChain = 1000;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void MakePlan(const std::string& path, int totalTasks, double monday) {
  std::filesystem::remove(path);
  CreatePlannerDatabase(path);
  TqorDatabaseController db;
  db.OpenDatabase(path);
  TqorDatabaseTransaction transaction(db);
  db.Execute(st::InsertResource("Ann"));
  db.Execute(st::UpdateResource(1, {"Ann", "AN", 38.5, 60, 100, ""}));
  std::string filter;
  int task = 0, project = 0;
  const TqorWorkCalendar calendar;
  auto addProject = [&](int tasks, bool chain) {
    db.Execute(st::InsertProject("Project " + std::to_string(++project), monday));
    filter += "[" + std::to_string(project) + "]";
    for (int t = 0; t < tasks; ++t) {
      db.Execute(st::InsertTask("Task " + std::to_string(++task), monday, project));
      // The chain's tasks one working day each, one after the other: each starts as soon as its
      // link lets it, so that any delay of the head moves them all.
      const double day = chain ? calendar.Shift(static_cast<int32_t>(monday), t) : monday + t % 50;
      db.Execute(
          st::UpdateTask(task, {"Task " + std::to_string(task), day, day, false, false, 0, 0, ""}));
      if (t % 3 == 0) db.Execute(st::InsertAssignment(task, 1, 50));
      if (chain && t > 0) db.Execute(st::InsertLink(task - 1, task, "FS", 0));
    }
  };
  addProject(kChain, true);
  while (task < totalTasks) addProject(100, false);
  db.Execute(st::UpdateProjectFilter(filter));
  transaction.Commit();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = bench::WorkFolder(argc, argv, "vz-bench-links");
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  const double monday = EncodeDate(2027, 1, 4);
  std::printf("%-48s %7s | %9s\n", "step", "tasks", "ms");
  for (int total : {2000, 20000}) {
    const std::string path = dir + "/links.zuz";
    MakePlan(path, total, monday);
    TqorDatabaseController db;
    db.OpenDatabase(path);
    TqorPlannerModel planner([monday] { return monday; });
    LoadPlanner(db, planner);
    TqorEditHistory history;
    TqorTaskWorkflows tasks(db, planner);
    tasks.SetHistory(&history);
    std::vector<double> times;
    int moved = 0;
    for (int r = 0; r < runs; ++r) {
      // The chain's head ends a week later each run: every successor must move.
      TqorXMLNode2* head = planner.Document().GetNodeById("task", "1");
      tasks.RememberBeforeChange(head);
      head->SetAttribute("enddate", head->GetAttribute("enddate").AsReal() + 7);
      const Clock::time_point t = Clock::now();
      tasks.TaskGridTaskChanged(head);
      times.push_back(Seconds(t));
      moved = tasks.LastMoved();
    }
    if (moved < kChain - 1) {
      std::fprintf(stderr, "only %d successors moved\n", moved);
      return 1;
    }
    std::printf("%-48s %7d | %9.1f\n", "move of a chain's head, 999 successors stored", total,
                Median(times) * 1e3);
    std::fflush(stdout);
  }
  std::filesystem::remove(dir + "/links.zuz");
  std::filesystem::remove(dir + "/links.lck");
  if (argc <= 1) std::filesystem::remove(dir);
  return 0;
}
