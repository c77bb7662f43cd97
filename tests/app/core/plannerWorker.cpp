// One of several programs changing one planner database at once, for the concurrency test.
//
//   planner_worker DBFILE WORKER SECONDS SEED LOGFILE
//
// For SECONDS it works as a user of the planner would: it loads the plan into a planner document
// and makes random changes through the planner's workflows (the ones behind the windows), each
// of which writes only rows that still hold what the document showed. A change refused because
// another program changed its rows first, or because another program held the locks too long,
// writes nothing; the program then loads the plan again (as the window does), and it also does
// so now and then on its own. Every change is written to LOGFILE, unbuffered: "B <op> ..." before
// the workflow runs, then "C [id]" when it returned having written (with the new row's id), "N"
// when it wrote nothing of its own accord (a check that said no) or "X" when it was refused, so
// that the judge knows which changes must be in the file and which must not; the last "B" of a
// program killed mid-run may or may not have been written. Log lines (names have no blanks):
//   B project NAME                   a new project                       C PROJECTID
//   B task PROJECTID NAME            a new task of the project           C TASKID
//   B edit TASKID OLD NEW            a task renamed or moved: OLD and NEW are NAME|START|END
//   B count V                        the shared counter (project 1's ActualHours) read as V and
//                                    stored as V + 1 through the project dialog
//   B resource NAME                  a new resource with one holiday     C RESOURCEID
//   B assign TASKID RESOURCEID       an allocation                       C ASSIGNMENTID
//   B units ASSIGNMENTID OLD NEW     an assignment's units changed
//   B deltask TASKID                 a task with its assignments
//   B delproject PROJECTID           a project with its tasks and their assignments
//   B delresource RESOURCEID         a resource with its assignments and holidays
// The program ends with status 0 after SECONDS, 1 on any other error.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/core/qorAssignmentWorkflows.h"
#include "app/core/qorChangedElsewhere.h"
#include "app/core/qorHolidayOperations.h"
#include "app/core/qorNodeValues.h"
#include "app/core/qorNumberText.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorProjectOperations.h"
#include "app/core/qorResourceOperations.h"
#include "app/core/qorTaskEditor.h"
#include "app/core/qorTaskWorkflows.h"
#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzErrorCodes.h"
#include "planner/base/qorUserPrompts.h"
#include "planner/base/qorVariant.h"
#include "planner/qorPlannerModel.h"

namespace {

constexpr double kToday = 46000;

int logFd = -1;

void Log(const std::string& line) {
  const std::string text = line + "\n";
  if (::write(logFd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::exit(3);
}

// Locks another program held too long: nothing was written.
bool IsLockConflict(const zuz::EZuzDatabaseError& e) {
  return e.ErrorCode() == zuz::ZUZ_ERR_LOCK_TIMEOUT || e.ErrorCode() == zuz::ZUZ_ERR_NO_LOCK ||
         e.ErrorCode() == zuz::ZUZ_ERR_IN_USE;
}

// The user: Yes to every question, Answer to every prompt, messages ignored.
struct TUser : TqorUserPrompts {
  std::string Answer;
  bool Confirm(const std::string&) override { return true; }
  void ShowMessage(const std::string&) override {}
  bool InputQuery(const std::string&, const std::string&, std::string& value) override {
    value = Answer;
    return true;
  }
};

// The task dialog: OK with the name NewName.
struct TTaskDialog : TqorTaskEditor {
  TqorTaskDialogValues Shown;
  std::string NewName;
  void SetTask(const TqorTaskDialogValues& v) override { Shown = v; }
  TqorTaskDialogValues GetTask() const override {
    TqorTaskDialogValues v = Shown;
    v.Name = NewName;
    return v;
  }
  void SetResourceList(const std::vector<TqorResourceEntry>&) override {}
  void SetAssignmentList(const std::vector<TqorResourceEntry>&) override {}
  bool Execute() override { return true; }
};

std::string Day(double d) {
  return std::to_string(static_cast<int64_t>(std::floor(d)));
}

std::string TaskState(const TqorXMLNode2* task) {
  return NodeText(task, "name") + "|" + Day(NodeDate(task, "startdate")) + "|" +
         Day(NodeDate(task, "enddate"));
}

class TWorker {
 public:
  TWorker(const std::string& path, int worker, uint64_t seed) : worker_(worker), rng_(seed) {
    SetUserPrompts(&user_);
    db_.OpenDatabase(path);
  }

  // Loads the plan anew, as the window's reload does.
  void Reload() {
    assignments_.reset();
    tasks_.reset();
    planner_ = std::make_unique<TqorPlannerModel>([] { return kToday; });
    LoadPlanner(db_, *planner_);
    tasks_ = std::make_unique<TqorTaskWorkflows>(db_, *planner_);
    assignments_ = std::make_unique<TqorAssignmentWorkflows>(db_, *planner_, dialog_);
  }

  // One change, logged; returns whether it was refused.
  bool Change(int kind) {
    std::vector<TqorXMLNode2*> projects, tasks, resources, assignments;
    TqorXMLNode2* counter = nullptr;
    for (int p = 0; p < planner_->ProjectsNode()->ChildCount(); ++p) {
      TqorXMLNode2* project = planner_->ProjectsNode()->GetChild(p);
      if (NodeText(project, "id") == "1") {
        counter = project;
        continue;
      }
      projects.push_back(project);
      for (int t = 0; t < project->ChildCount(); ++t) {
        tasks.push_back(project->GetChild(t));
        for (int a = 0; a < tasks.back()->ChildCount(); ++a)
          assignments.push_back(tasks.back()->GetChild(a));
      }
    }
    for (int r = 0; r < planner_->ResourcesNode()->ChildCount(); ++r)
      resources.push_back(planner_->ResourcesNode()->GetChild(r));
    auto any = [&](const std::vector<TqorXMLNode2*>& v) { return v[rng_() % v.size()]; };
    const std::string name = "w" + std::to_string(worker_) + "n" + std::to_string(++serial_);

    if (kind == 0 || projects.empty()) {
      Log("B project " + name);
      TqorXMLNode2* project = CreateProject(db_, *planner_, name);
      Log("C " + NodeText(project, "id"));
    } else if (kind == 1 || tasks.empty()) {
      TqorXMLNode2* project = any(projects);
      user_.Answer = name;
      Log("B task " + NodeText(project, "id") + " " + name);
      TqorXMLNode2* task = tasks_->Add1Click(planner_->FindRow(project));
      Log(task ? "C " + NodeText(task, "id") : "N");
    } else if (kind == 2) {
      TqorXMLNode2* task = any(tasks);
      const std::string old = TaskState(task);
      dialog_.NewName = name;
      tasks_->RememberBeforeChange(task);
      Log("B edit " + NodeText(task, "id") + " " + old + " " + name + old.substr(old.find('|')));
      tasks_->TaskGridTaskEdit(task, *assignments_);
      tasks_->TaskGridTaskChanged(task);
      Log("C");
    } else if (kind == 3) {
      // A move to a day no other move of any program uses.
      TqorXMLNode2* task = any(tasks);
      const std::string old = TaskState(task);
      tasks_->RememberBeforeChange(task);
      const double day = 40000 + worker_ * 200000 + serial_;
      planner_->ApplyDateGesture(task, day, TqorDateGesture::Move);
      Log("B edit " + NodeText(task, "id") + " " + old + " " + TaskState(task));
      tasks_->TaskGridTaskChanged(task);
      Log("C");
    } else if (kind == 4) {
      const double v = NodeReal(counter, "actualhours");
      Log("B count " + FormatNumber(v));
      EditProject(db_, *planner_, counter, [](int32_t, TqorProjectValues& values) {
        values.ActualHours += 1;
        return true;
      });
      Log("C");
    } else if (kind == 5) {
      Log("B resource " + name);
      TqorXMLNode2* resource = CreateResource(db_, *planner_, name);
      const std::string id = NodeText(resource, "id");
      Log("C " + id);
      Log("B holiday " + id);
      CreateHoliday(db_, *planner_, id, [](double& start, double& end) {
        start = kToday + 400;
        end = kToday + 401;
        return true;
      });
      Log("C");
    } else if (kind == 6 && !resources.empty()) {
      TqorXMLNode2* task = any(tasks);
      TqorXMLNode2* resource = any(resources);
      Log("B assign " + NodeText(task, "id") + " " + NodeText(resource, "id"));
      const int32_t taskId = task->GetAttributeInt("id");
      const bool done =
          assignments_->AllocateResource(taskId, resource->GetAttributeInt("id"), 1,
                                         NodeDate(task, "startdate"), NodeDate(task, "enddate"));
      TqorXMLNode2* made = nullptr;
      if (done) {
        // The newest assignment of the task is the one just made.
        TqorXMLNode2* owner = planner_->Document().GetNodeById("task", std::to_string(taskId));
        for (int a = 0; owner && a < owner->ChildCount(); ++a) {
          TqorXMLNode2* child = owner->GetChild(a);
          if (!made || child->GetAttributeInt("id") > made->GetAttributeInt("id")) made = child;
        }
      }
      Log(made ? "C " + NodeText(made, "id") : "N");
    } else if (kind == 7 && !assignments.empty()) {
      TqorXMLNode2* assignment = any(assignments);
      const std::string old = FormatNumber(NodeReal(assignment, "units"));
      // Units no other change of any program uses.
      user_.Answer = FormatNumber(1 + (worker_ * 2000 + serial_ % 2000) / 10000.0);
      Log("B units " + NodeText(assignment, "id") + " " + old + " " + user_.Answer);
      const bool done = assignments_->ChangeAssignmentUnits(
          assignment->Parent()->GetAttributeInt("id"), assignment->GetAttributeInt("id"));
      Log(done ? "C" : "N");
    } else if (kind == 8) {
      TqorXMLNode2* task = any(tasks);
      Log("B deltask " + NodeText(task, "id"));
      Log(tasks_->Delete1Click(planner_->FindRow(task)) ? "C" : "N");
    } else if (kind == 9 && !resources.empty() && rng_() % 2 == 0) {
      TqorXMLNode2* resource = any(resources);
      Log("B delresource " + NodeText(resource, "id"));
      DeleteResource(db_, *planner_, resource);
      Log("C");
    } else {
      TqorXMLNode2* project = any(projects);
      Log("B delproject " + NodeText(project, "id"));
      DeleteProject(db_, *planner_, project);
      Log("C");
    }
    return false;
  }

  // Loads the plan, again after another program held its locks too long.
  void ReloadWhenFree() {
    for (;;) {
      try {
        Reload();
        return;
      } catch (const zuz::EZuzDatabaseError& e) {
        if (!IsLockConflict(e)) throw;
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + rng_() % 40));
      }
    }
  }

  void Run(std::chrono::steady_clock::time_point until) {
    ReloadWhenFree();
    int committed = 0, refused = 0;
    while (std::chrono::steady_clock::now() < until) {
      // Each program's first change raises the shared counter; creations come more often than
      // deletions, so that the plan grows.
      static constexpr int kKinds[] = {0, 1, 1, 1, 2, 2, 3, 3, 4, 4, 5, 6, 6, 7, 7, 8, 9, 10};
      const int kind = committed == 0 ? 4 : kKinds[rng_() % std::size(kKinds)];
      bool reload = rng_() % 5 == 0;
      try {
        Change(kind);
        ++committed;
      } catch (const EqorChangedElsewhere&) {
        Log("X");
        ++refused;
        reload = true;
      } catch (const zuz::EZuzDatabaseError& e) {
        if (!IsLockConflict(e)) throw;
        Log("X");
        reload = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + rng_() % 40));
      }
      // A moment between changes, as a person has.
      std::this_thread::sleep_for(std::chrono::milliseconds(rng_() % 30));
      if (reload) ReloadWhenFree();
    }
    db_.CloseDatabase();
    std::printf("%d %d\n", committed, refused);
  }

 private:
  int worker_;
  std::mt19937_64 rng_;
  int serial_ = 0;
  TUser user_;
  TTaskDialog dialog_;
  TqorDatabaseController db_;
  std::unique_ptr<TqorPlannerModel> planner_;
  std::unique_ptr<TqorTaskWorkflows> tasks_;
  std::unique_ptr<TqorAssignmentWorkflows> assignments_;
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
  logFd = ::open(argv[5], O_WRONLY | O_CREAT | O_APPEND | O_TRUNC, 0644);
  if (logFd < 0) return 1;
  try {
    TWorker w(path, worker, std::strtoull(argv[4], nullptr, 10));
    w.Run(until);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "worker %d: %s\n", worker, e.what());
    return 1;
  }
  return 0;
}
