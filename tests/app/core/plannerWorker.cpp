// One of several programs changing one planner database at once, for the concurrency test.
//
//   planner_worker DBFILE WORKER SECONDS SEED LOGFILE
//
// For SECONDS it runs random planner transactions through the access layer and the planner's
// statements, each in a transaction of its own that is retried when another program holds the
// locks. Every transaction is written to LOGFILE twice, unbuffered: "B <op> ..." before its
// commit and "C" after the commit returned, so that the judge knows which changes must be in the
// file and which one (of a program killed mid-run) may or may not be. Log lines:
//   B project ID NAME TASKID...   a new project with its tasks
//   B rename TASKID NAME          a task's new name (statement 11)
//   B delete PROJECTID            a project with its tasks and assignments
//   B count                       the shared counter (project 1's ActualHours) read and raised
//   B assign TASKID RESOURCEID    a new resource, a holiday and an assignment to the task
//   C                             the transaction before committed
// The program ends with status 0 after SECONDS, 1 on an error other than a lock that could not
// be had.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/core/qorPlannerStatements.h"
#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzErrorCodes.h"
#include "planner/base/qorVariant.h"

namespace {

namespace st = qorStatements;

int logFd = -1;

void Log(const std::string& line) {
  const std::string text = line + "\n";
  if (::write(logFd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::exit(3);
}

// Locks another program holds: the transaction is rolled back and tried again.
bool IsLockConflict(const zuz::EZuzDatabaseError& e) {
  return e.ErrorCode() == zuz::ZUZ_ERR_LOCK_TIMEOUT || e.ErrorCode() == zuz::ZUZ_ERR_NO_LOCK ||
         e.ErrorCode() == zuz::ZUZ_ERR_IN_USE;
}

struct TOwnProject {
  int id;
  std::vector<int> tasks;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: planner_worker DBFILE WORKER SECONDS SEED LOGFILE\n");
    return 2;
  }
  const std::string path = argv[1];
  const int worker = std::atoi(argv[2]);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[3]));
  std::mt19937_64 rng(std::strtoull(argv[4], nullptr, 10));
  logFd = ::open(argv[5], O_WRONLY | O_CREAT | O_APPEND | O_TRUNC, 0644);
  if (logFd < 0) return 1;

  TqorDatabaseController controller;
  zuz::TZuzDataBase& db = controller.Database();
  std::vector<TOwnProject> own;
  int serial = 0;
  int committed = 0;
  try {
    controller.OpenDatabase(path);
    while (std::chrono::steady_clock::now() < until) {
      // Each program's first change raises the shared counter.
      const int kind = committed == 0 ? 6 : static_cast<int>(rng() % 10);
      for (int attempt = 0;; ++attempt) {
        std::string intent;
        std::vector<int> newTasks;
        int newProject = 0;
        try {
          db.StartTransaction();
          if (kind == 6 || kind == 7) {
            // Read, then write what was read plus one: two programs doing this at once must
            // not both write the same value.
            const double v =
                controller.LookupValue("SELECT ActualHours FROM Projects WHERE ProjectId = 1")
                    .AsReal();
            controller.Execute("UPDATE Projects SET ActualHours = " +
                               TqorDatabaseController::SQLFloat(v + 1) + " WHERE ProjectId = 1");
            intent = "count";
          } else if (kind < 3 || own.empty()) {
            const std::string name = "w" + std::to_string(worker) + " p" + std::to_string(++serial);
            controller.Execute(st::InsertProject(name, 46000));
            newProject = st::NewProjectId(controller);
            intent = "project " + std::to_string(newProject) + " " + name;
            const int tasks = 1 + static_cast<int>(rng() % 3);
            for (int t = 0; t < tasks; ++t) {
              controller.Execute(
                  st::InsertTask("task " + std::to_string(t), 46000 + t, newProject));
              newTasks.push_back(st::NewTaskId(controller));
              intent += " " + std::to_string(newTasks.back());
            }
          } else if (kind < 5) {
            const TOwnProject& p = own[rng() % own.size()];
            const int task = p.tasks[rng() % p.tasks.size()];
            TqorTaskValues v;
            v.Name = "w" + std::to_string(worker) + " t" + std::to_string(task) + " v" +
                     std::to_string(++serial);
            v.StartDate = 46000;
            v.EndDate = 46010;
            v.IsCompleted = (serial % 2) == 0;
            controller.Execute(st::UpdateTask(task, v));
            intent = "rename " + std::to_string(task) + " " + v.Name;
          } else if (kind < 6) {
            const int project = own[rng() % own.size()].id;
            controller.Execute(st::DeleteProjectAssignments(project));
            controller.Execute(st::DeleteProjectTasks(project));
            controller.Execute(st::DeleteProject(project));
            intent = "delete " + std::to_string(project);
          } else {
            const TOwnProject& p = own[rng() % own.size()];
            const int task = p.tasks[rng() % p.tasks.size()];
            controller.Execute(st::InsertResource("O'Neil " + std::to_string(worker)));
            const int resource = st::NewResourceId(controller);
            controller.Execute(st::InsertHoliday(resource, 46001, 46002));
            controller.Execute(st::InsertAssignment(task, resource, 50));
            intent = "assign " + std::to_string(task) + " " + std::to_string(resource);
          }
          Log("B " + intent);
          db.Commit();
          Log("C");
          ++committed;
          if (newProject != 0) own.push_back({newProject, newTasks});
          if (intent.rfind("delete ", 0) == 0) {
            const int gone = std::atoi(intent.c_str() + 7);
            std::erase_if(own, [gone](const TOwnProject& p) { return p.id == gone; });
          }
          // A moment between changes, as a person has: a program that starts its next
          // transaction the instant it commits would keep the others waiting on its locks.
          std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 30));
          break;
        } catch (const zuz::EZuzDatabaseError& e) {
          if (db.InTransaction()) db.Rollback();
          if (!IsLockConflict(e)) throw;
          // Another program holds the locks: try again a little later.
          std::this_thread::sleep_for(std::chrono::milliseconds(5 + rng() % 40));
        }
      }
    }
    controller.CloseDatabase();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "worker %d: %s\n", worker, e.what());
    return 1;
  }
  std::printf("%d\n", committed);
  return 0;
}
