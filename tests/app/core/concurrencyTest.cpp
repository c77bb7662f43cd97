// Four programs change one planner database at once through the planner's workflows on their
// loaded documents (planner_worker), one of them killed with SIGKILL half-way. Afterwards the
// file passes the integrity check and the lock file is gone; every change whose workflow
// returned is there and none that was refused; no two committed changes of one row started from
// the same value (no change overwrote another unseen), and each row holds the last value of its
// chain of changes; the shared counter, raised through the project dialog, lost no raise.
// VZ_CONCURRENCY_SECONDS sets how long the programs run (default 4), VZ_CONCURRENCY_SEED their
// random choices.
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

#include "app/core/qorNumberText.h"
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

// What the logs of the programs say, change by change: each "B" line with how it ended ("C"
// and the new row's id, "N" or "X"; "?" for the last change of the killed program).
struct TChange {
  std::vector<std::string> words;  // the "B" line's words after "B"
  char outcome = '?';
  std::string id;
  const std::string& Word(size_t i) const {
    static const std::string none;
    return i < words.size() ? words[i] : none;
  }
};

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

void ReadLog(const std::string& path, std::vector<TChange>& changes, bool killed) {
  std::ifstream in(path);
  std::string line;
  bool open = false;
  while (std::getline(in, line)) {
    const std::vector<std::string> w = Words(line);
    if (w.empty()) continue;
    if (w[0] == "B") {
      ASSERT_FALSE(open) << path << ": a change without its end before " << line;
      changes.push_back(TChange{{w.begin() + 1, w.end()}, '?', {}});
      open = true;
    } else {
      ASSERT_TRUE(open) << path << ": " << line;
      changes.back().outcome = w[0][0];
      if (w.size() > 1) changes.back().id = w[1];
      open = false;
    }
  }
  if (open) {
    EXPECT_TRUE(killed) << path << " ended inside a change";
  }
}

// A row's successive values: every committed change goes from the value it read to a new one.
// No two committed changes may start from the same value (the second would have overwritten the
// first unseen), and the row must end at the last value of the chain (the uncertain change may
// or may not have been made).
struct TChain {
  std::map<std::string, std::string> next;  // committed: old -> new
  std::map<std::string, int> forks;
  std::string uncertainFrom, uncertainTo;
  void Add(const std::string& from, const std::string& to) {
    if (next.count(from)) ++forks[from];
    next[from] = to;
  }
  // The values the row may hold now, walking from first.
  std::set<std::string> Ends(const std::string& first, size_t& walked) const {
    std::string at = first;
    walked = 0;
    while (next.count(at) && walked <= next.size()) {
      at = next.at(at);
      ++walked;
    }
    std::set<std::string> ends = {at};
    if (!uncertainFrom.empty() && uncertainFrom == at) ends.insert(uncertainTo);
    return ends;
  }
};

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
    c.Execute(st::UpdateProjectFilter("[1]"));
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

  std::vector<TChange> changes;
  for (int w = 0; w < kWorkers; ++w) ReadLog(LogPath(w), changes, w == kKilled);
  EXPECT_FALSE(fs::exists(dir_ / "plan.lck")) << "the lock file outlived the last program";

  // A program of its own, alone on the file, can have it exclusively: no lock was left behind.
  TqorDatabaseController c;
  c.Database().SetExclusive(true);
  c.OpenDatabase(path_);
  EXPECT_EQ(zuz::CheckDatabaseIntegrity(*c.Database().Tables()), std::vector<std::string>{});

  // The model of the file the logs give.
  std::map<std::string, std::string> projects, taskProject, resources, assignmentTask,
      assignmentResource;
  std::map<std::string, TChain> taskStates, units;
  std::set<std::string> deletedTasks, deletedProjects, deletedResources, deletedAssignments;
  std::set<std::string> refusedNames, uncertainNames, uncertainRows;
  std::set<std::string> counts;
  int counted = 0, uncertainCount = 0, committed = 0, refused = 0, unchanged = 0, forked = 0;
  for (const TChange& ch : changes) {
    const std::string& kind = ch.Word(0);
    committed += ch.outcome == 'C';
    refused += ch.outcome == 'X';
    unchanged += ch.outcome == 'N';
    if (ch.outcome == '?') {
      // The killed program's last change: its rows may be either way.
      for (const std::string& w : ch.words) uncertainRows.insert(w);
      if (kind == "project" || kind == "resource") uncertainNames.insert(ch.Word(1));
      if (kind == "task") uncertainNames.insert(ch.Word(2));
      if (kind == "count") uncertainCount = 1;
      if (kind == "edit") {
        taskStates[ch.Word(1)].uncertainFrom = ch.Word(2);
        taskStates[ch.Word(1)].uncertainTo = ch.Word(3);
        uncertainNames.insert(ch.Word(3).substr(0, ch.Word(3).find('|')));
      }
      if (kind == "units") {
        units[ch.Word(1)].uncertainFrom = ch.Word(2);
        units[ch.Word(1)].uncertainTo = ch.Word(3);
      }
      continue;
    }
    if (ch.outcome != 'C') {
      // Refused or not made: nothing of it may be in the file.
      if (kind == "project" || kind == "resource") refusedNames.insert(ch.Word(1));
      if (kind == "task") refusedNames.insert(ch.Word(2));
      if (kind == "edit") {
        const std::string name = ch.Word(3).substr(0, ch.Word(3).find('|'));
        if (name != ch.Word(2).substr(0, ch.Word(2).find('|'))) refusedNames.insert(name);
      }
      continue;
    }
    if (kind == "project") {
      projects[ch.id] = ch.Word(1);
    } else if (kind == "task") {
      taskProject[ch.id] = ch.Word(1);
      taskStates[ch.id];
      // Added from today to the day after tomorrow.
      taskStates[ch.id].next[""] = ch.Word(2) + "|46000|46002";
    } else if (kind == "edit") {
      taskStates[ch.Word(1)].Add(ch.Word(2), ch.Word(3));
    } else if (kind == "count") {
      ++counted;
      if (!counts.insert(ch.Word(1)).second) ++forked;
    } else if (kind == "resource") {
      resources[ch.id] = ch.Word(1);
    } else if (kind == "assign") {
      assignmentTask[ch.id] = ch.Word(1);
      assignmentResource[ch.id] = ch.Word(2);
      units[ch.id].next[""] = "1";
    } else if (kind == "units") {
      units[ch.Word(1)].Add(ch.Word(2), ch.Word(3));
    } else if (kind == "deltask") {
      deletedTasks.insert(ch.Word(1));
    } else if (kind == "delproject") {
      deletedProjects.insert(ch.Word(1));
    } else if (kind == "delresource") {
      deletedResources.insert(ch.Word(1));
    }
  }
  std::printf("%d changes committed, %d refused, %d not made, %d raises of the counter\n",
              committed, refused, unchanged, counted);
  EXPECT_GT(refused, 0) << "no change met another program's";

  // The counter: every raise read a value no other committed raise read, and none was lost.
  EXPECT_EQ(forked, 0) << "two raises of the counter read the same value";
  const double counter =
      c.LookupValue("SELECT ActualHours FROM Projects WHERE ProjectId=1").AsReal();
  EXPECT_GE(counter, counted);
  EXPECT_LE(counter, counted + uncertainCount);
  EXPECT_GT(counted, 0) << "no program got to raise the counter";

  auto rows = [&](const std::string& sql, const std::vector<const char*>& fields) {
    std::map<std::string, std::vector<std::string>> out;
    TqorDatabaseRecordSet* rs = c.OpenRecordSet(sql);
    for (; !c.Eof(rs); c.Next(rs)) {
      std::vector<std::string>& row = out[c.GetString(rs, fields[0])];
      for (size_t i = 1; i < fields.size(); ++i) row.push_back(c.GetString(rs, fields[i]));
    }
    c.CloseRecordSet(rs);
    return out;
  };
  const auto storedProjects = rows("SELECT ProjectId, ProjectName FROM Projects WHERE ProjectId>1",
                                   {"ProjectId", "ProjectName"});
  const auto storedTasks =
      rows("SELECT TaskId, ProjectId, TaskName FROM Tasks", {"TaskId", "ProjectId", "TaskName"});
  const auto storedResources =
      rows("SELECT ResourceId, ResourceName FROM Resources", {"ResourceId", "ResourceName"});
  const auto storedAssignments = rows("SELECT AssignmentId, TaskId, ResourceId FROM Assignments",
                                      {"AssignmentId", "TaskId", "ResourceId"});
  std::set<std::string> storedNames;
  for (const auto* table : {&storedProjects, &storedResources})
    for (const auto& [id, row] : *table) storedNames.insert(row[0]);
  for (const auto& [id, row] : storedTasks) storedNames.insert(row[1]);
  for (const std::string& name : refusedNames)
    EXPECT_FALSE(storedNames.count(name)) << name << " was refused but is in the file";

  // Projects: every one made is there unless deleted; none is there that was not made.
  for (const auto& [id, name] : projects) {
    if (uncertainRows.count(id)) continue;
    const bool there = storedProjects.count(id) > 0;
    EXPECT_EQ(there, !deletedProjects.count(id)) << "project " << id << " " << name;
    if (there) {
      EXPECT_EQ(storedProjects.at(id)[0], name);
    }
  }
  for (const auto& [id, row] : storedProjects)
    EXPECT_TRUE(projects.count(id) || uncertainNames.count(row[0])) << "project " << id;

  // Tasks: there unless deleted (with their project), each with the value its chain ends at.
  for (const auto& [id, chain] : taskStates) {
    if (!taskProject.count(id)) continue;
    for (const auto& [from, count] : chain.forks)
      ADD_FAILURE() << "task " << id << ": two committed changes both started from " << from;
    const std::string& project = taskProject.at(id);
    if (uncertainRows.count(id) || uncertainRows.count(project)) continue;
    const bool gone = deletedTasks.count(id) || deletedProjects.count(project);
    const bool there = storedTasks.count(id) > 0;
    EXPECT_EQ(there, !gone) << "task " << id;
    if (!there) continue;
    EXPECT_EQ(storedTasks.at(id)[0], project) << "task " << id;
    size_t walked = 0;
    const std::set<std::string> ends = chain.Ends("", walked);
    EXPECT_EQ(walked, chain.next.size())
        << "task " << id << ": a committed change of a value it never had";
    std::string state = storedTasks.at(id)[1];
    TqorDatabaseRecordSet* rs =
        c.OpenRecordSet("SELECT StartDate, EndDate FROM Tasks WHERE TaskId=" + id);
    state += "|" + std::to_string(static_cast<int64_t>(c.GetDate(rs, "StartDate"))) + "|" +
             std::to_string(static_cast<int64_t>(c.GetDate(rs, "EndDate")));
    c.CloseRecordSet(rs);
    EXPECT_TRUE(ends.count(state))
        << "task " << id << " holds " << state << ", its last committed value is " << *ends.begin();
  }
  for (const auto& [id, row] : storedTasks)
    EXPECT_TRUE(taskProject.count(id) || uncertainNames.count(row[1])) << "task " << id;

  // Resources and assignments: there unless deleted, directly or with their task, project or
  // resource; the units as their chain ends.
  for (const auto& [id, name] : resources) {
    if (uncertainRows.count(id)) continue;
    EXPECT_EQ(storedResources.count(id) > 0, !deletedResources.count(id)) << "resource " << id;
  }
  for (const auto& [id, task] : assignmentTask) {
    const std::string& resource = assignmentResource.at(id);
    const std::string project = taskProject.count(task) ? taskProject.at(task) : "";
    if (uncertainRows.count(id) || uncertainRows.count(task) || uncertainRows.count(resource) ||
        uncertainRows.count(project))
      continue;
    const bool gone = deletedTasks.count(task) || deletedProjects.count(project) ||
                      deletedResources.count(resource);
    EXPECT_EQ(storedAssignments.count(id) > 0, !gone) << "assignment " << id;
    const TChain& chain = units.at(id);
    for (const auto& [from, count] : chain.forks)
      ADD_FAILURE() << "assignment " << id << ": two committed units changes both from " << from;
    if (!storedAssignments.count(id)) continue;
    size_t walked = 0;
    const std::set<std::string> ends = chain.Ends("", walked);
    const std::string stored = FormatNumber(
        c.LookupValue("SELECT Units FROM Assignments WHERE AssignmentId=" + id).AsReal());
    EXPECT_TRUE(ends.count(stored)) << "assignment " << id << " holds " << stored;
  }
  c.CloseDatabase();
}

}  // namespace
