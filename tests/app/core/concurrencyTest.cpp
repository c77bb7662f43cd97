// Four programs change one planner database at once through the access layer (planner_worker),
// one of them killed with SIGKILL half-way. Afterwards the file passes the integrity check, every
// transaction whose commit returned is there and none that was rolled back, the shared counter
// that each program read and raised in its transactions lost no raise, and the lock file is
// gone. VZ_CONCURRENCY_SECONDS sets how long the programs run (default 4), VZ_CONCURRENCY_SEED
// their random choices.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "db/access/qorDatabaseController.h"
#include "db/index/zuzIntegrityCheck.h"
#include "db/objects/zuzDatabase.h"
#include "planner/base/qorVariant.h"
#include "tests/testFiles.h"

namespace {

namespace fs = std::filesystem;
namespace st = qorStatements;

int64_t EnvNumber(const char* name, int64_t fallback) {
  const char* v = std::getenv(name);
  return v ? std::strtoll(v, nullptr, 10) : fallback;
}

// What the logs of the programs say the file must hold.
struct TExpected {
  std::map<int, std::string> projects;  // live projects by id, with their names
  std::map<int, int> taskProject;       // tasks of the live projects
  std::map<int, std::string> taskNames;
  std::set<int> deletedProjects, deletedTasks;
  std::map<int, int> resourceTask;  // resources made by "assign", with the task assigned
  int counter = 0;
  // The transaction of the killed program that may or may not have committed.
  std::string uncertain;
  int committed = 0, failedCommits = 0;
};

void Apply(TExpected& e, const std::string& op) {
  std::istringstream in(op);
  std::string kind;
  in >> kind;
  if (kind == "project") {
    int id;
    std::string w, p;
    in >> id >> w >> p;
    e.projects[id] = w + " " + p;
    int task;
    while (in >> task) e.taskProject[task] = id;
  } else if (kind == "rename") {
    int task;
    in >> task;
    std::string rest;
    std::getline(in, rest);
    e.taskNames[task] = rest.substr(1);
  } else if (kind == "delete") {
    int id;
    in >> id;
    e.projects.erase(id);
    e.deletedProjects.insert(id);
    for (auto it = e.taskProject.begin(); it != e.taskProject.end();) {
      if (it->second == id) {
        e.deletedTasks.insert(it->first);
        e.taskNames.erase(it->first);
        it = e.taskProject.erase(it);
      } else {
        ++it;
      }
    }
  } else if (kind == "count") {
    ++e.counter;
  } else if (kind == "assign") {
    int task, resource;
    in >> task >> resource;
    e.resourceTask[resource] = task;
  }
}

// Reads a program's log into the expectation: "B op" then "C" is committed; a "B" followed by
// another "B" was rolled back (its commit failed); a last "B" without "C" is the uncertain one.
void ReadLog(const std::string& path, TExpected& e, bool killed) {
  std::ifstream in(path);
  std::string line, pending;
  while (std::getline(in, line)) {
    if (line.rfind("B ", 0) == 0) {
      if (!pending.empty()) ++e.failedCommits;
      pending = line.substr(2);
    } else if (line == "C") {
      ASSERT_FALSE(pending.empty()) << path;
      Apply(e, pending);
      ++e.committed;
      pending.clear();
    }
  }
  if (killed) {
    e.uncertain = pending;
  } else {
    EXPECT_TRUE(pending.empty()) << path << " ended inside a transaction";
  }
}

class Concurrency : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vz-concurrency-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "plan.zuz").string();
  }
  void TearDown() override { RemoveTestFolder(dir_); }

  pid_t Start(int worker, int seconds, uint64_t seed) {
    const std::string w = std::to_string(worker), s = std::to_string(seconds),
                      r = std::to_string(seed), log = LogPath(worker);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execl(VZ_PLANNER_WORKER, VZ_PLANNER_WORKER, path_.c_str(), w.c_str(), s.c_str(), r.c_str(),
              log.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
  }
  std::string LogPath(int worker) const {
    return (dir_ / ("worker" + std::to_string(worker) + ".log")).string();
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(Concurrency, FourProgramsOneKilledLoseNothing) {
  CreatePlannerDatabase(path_);
  {
    TqorDatabaseController c;
    c.OpenDatabase(path_);
    c.Execute(st::InsertProject("shared counter", 46000));
    ASSERT_EQ(st::NewProjectId(c), 1);
  }

  const int seconds = static_cast<int>(EnvNumber("VZ_CONCURRENCY_SECONDS", 4));
  const uint64_t seed = static_cast<uint64_t>(EnvNumber("VZ_CONCURRENCY_SEED", 20261209));
  constexpr int kWorkers = 4, kKilled = 3;
  std::vector<pid_t> pids;
  for (int w = 0; w < kWorkers; ++w) pids.push_back(Start(w, seconds, seed + w));
  std::this_thread::sleep_for(std::chrono::milliseconds(seconds * 500));
  ASSERT_EQ(::kill(pids[kKilled], SIGKILL), 0);
  for (int w = 0; w < kWorkers; ++w) {
    int status = 0;
    ASSERT_EQ(::waitpid(pids[w], &status, 0), pids[w]);
    if (w == kKilled) {
      EXPECT_TRUE(WIFSIGNALED(status)) << "the killed program ended before its kill";
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "program " << w;
    }
  }

  TExpected e;
  for (int w = 0; w < kWorkers; ++w) ReadLog(LogPath(w), e, w == kKilled);
  EXPECT_FALSE(fs::exists(dir_ / "plan.lck")) << "the lock file outlived the last program";

  // A program of its own, alone on the file, can have it exclusively: no lock was left behind.
  TqorDatabaseController c;
  c.Database().SetExclusive(true);
  c.OpenDatabase(path_);
  EXPECT_EQ(zuz::CheckDatabaseIntegrity(*c.Database().Tables()), std::vector<std::string>{});

  // The entities the uncertain transaction touched may be either way.
  std::set<int> uncertainProjects, uncertainTasks, uncertainResources;
  int uncertainCount = 0;
  {
    std::istringstream in(e.uncertain);
    std::string kind;
    in >> kind;
    int a = 0, b = 0;
    if (kind == "project") {
      std::string w, p;
      in >> a >> w >> p;
      uncertainProjects.insert(a);
      while (in >> b) uncertainTasks.insert(b);
    } else if (kind == "rename") {
      in >> a;
      uncertainTasks.insert(a);
    } else if (kind == "delete") {
      in >> a;
      uncertainProjects.insert(a);
      for (const auto& [task, project] : e.taskProject)
        if (project == a) uncertainTasks.insert(task);
    } else if (kind == "count") {
      uncertainCount = 1;
    } else if (kind == "assign") {
      in >> a >> b;
      uncertainResources.insert(b);
    }
  }

  std::map<int, std::string> projects;
  auto* rs = c.OpenRecordSet("SELECT ProjectId, ProjectName, ActualHours FROM Projects");
  double counter = -1;
  for (; !c.Eof(rs); c.Next(rs)) {
    const int id = c.GetInteger(rs, "ProjectId");
    if (id == 1)
      counter = c.GetFloat(rs, "ActualHours");
    else
      projects[id] = c.GetString(rs, "ProjectName");
  }
  c.CloseRecordSet(rs);
  // Not one raise of the counter lost, none counted twice.
  EXPECT_GE(counter, e.counter);
  EXPECT_LE(counter, e.counter + uncertainCount);
  EXPECT_GT(e.counter, 0) << "no program got to raise the counter";
  std::printf("%d transactions committed, %d commits refused for locks, %d raises of the counter\n",
              e.committed, e.failedCommits, e.counter);

  for (const auto& [id, name] : e.projects) {
    if (uncertainProjects.count(id)) continue;
    EXPECT_EQ(projects.count(id) ? projects[id] : "<missing>", name) << "project " << id;
  }
  for (const auto& [id, name] : projects) {
    if (uncertainProjects.count(id)) continue;
    EXPECT_TRUE(e.projects.count(id))
        << "project " << id << " " << name << " was never committed, or was deleted";
  }

  std::map<int, std::pair<int, std::string>> tasks;
  rs = c.OpenRecordSet("SELECT TaskId, ProjectId, TaskName FROM Tasks");
  for (; !c.Eof(rs); c.Next(rs))
    tasks[c.GetInteger(rs, "TaskId")] = {c.GetInteger(rs, "ProjectId"),
                                         c.GetString(rs, "TaskName")};
  c.CloseRecordSet(rs);
  for (const auto& [task, project] : e.taskProject) {
    if (uncertainTasks.count(task) || uncertainProjects.count(project)) continue;
    ASSERT_TRUE(tasks.count(task)) << "task " << task << " of project " << project << " lost";
    EXPECT_EQ(tasks[task].first, project);
    if (e.taskNames.count(task)) EXPECT_EQ(tasks[task].second, e.taskNames[task]);
  }
  for (const auto& [task, row] : tasks) {
    if (uncertainTasks.count(task) || uncertainProjects.count(row.first)) continue;
    EXPECT_TRUE(e.taskProject.count(task)) << "task " << task << " should not be there";
  }

  // Each assigned resource is there with its holiday; its assignment lives as long as its task.
  for (const auto& [resource, task] : e.resourceTask) {
    if (uncertainResources.count(resource)) continue;
    EXPECT_EQ(c.LookupInteger("SELECT COUNT(*) FROM Resources WHERE ResourceId = " +
                              std::to_string(resource)),
              1)
        << "resource " << resource;
    EXPECT_EQ(c.LookupInteger("SELECT COUNT(*) FROM Holidays WHERE ResourceId = " +
                              std::to_string(resource)),
              1);
    const auto owner = e.taskProject.find(task);
    if (uncertainTasks.count(task) ||
        (owner != e.taskProject.end() && uncertainProjects.count(owner->second)))
      continue;
    EXPECT_EQ(c.LookupInteger("SELECT COUNT(*) FROM Assignments WHERE ResourceId = " +
                              std::to_string(resource)),
              owner != e.taskProject.end() ? 1 : 0)
        << "assignment of resource " << resource << " to task " << task;
  }
  c.CloseDatabase();
}

}  // namespace
