#include "app/core/qorTaskWorkflows.h"

#include <cmath>
#include <optional>
#include <span>
#include <string>

#include "app/core/qorAssignmentWorkflows.h"
#include "app/core/qorChangedElsewhere.h"
#include "app/core/qorDocumentEdit.h"
#include "app/core/qorDocumentRows.h"
#include "app/core/qorEditHistory.h"
#include "app/core/qorEditRecorder.h"
#include "app/core/qorPlanSchedule.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorStoredRows.h"
#include "app/core/qorTaskEditor.h"
#include "app/core/qorTextColumns.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUserPrompts.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;
namespace sr = qorStoredRows;

namespace {

double Real(const TqorXMLNode2* node, const char* name) {
  return node->GetAttribute(name).AsReal();
}
bool Flag(const TqorXMLNode2* node, const char* name) {
  return node->GetAttribute(name).AsBoolean();
}

// Walks the rows of a SELECT until visit returns true.
template <class F>
void FindRow(TqorDatabaseController& db, const std::string& statement, F visit) {
  TqorDatabaseRecordSet* set = db.OpenRecordSet(statement);
  try {
    for (; !db.Eof(set); db.Next(set)) {
      if (visit(set)) break;
    }
  } catch (...) {
    db.CloseRecordSet(set);
    throw;
  }
  db.CloseRecordSet(set);
}

// "Move of 'name'" when both dates moved by the same days, "Resize of 'name'" when the length
// changed, "Edit of 'name'" when the dates stayed.
std::string ChangeName(const std::string& name, double start, double end, double newStart,
                       double newEnd) {
  const char* what = "Edit";
  if (start != newStart || end != newEnd)
    what = newEnd - newStart == end - start ? "Move" : "Resize";
  return std::string(what) + " of '" + name + "'";
}

TqorTaskValues TaskValuesOf(const TqorXMLNode2* task) {
  TqorTaskValues values;
  values.Name = task->GetAttributeStr("name");
  values.StartDate = Real(task, "startdate");
  values.EndDate = Real(task, "enddate");
  values.IsMilestone = Flag(task, "ismilestone");
  values.IsCompleted = Flag(task, "iscompleted");
  values.AssignedHours = Real(task, "assignedhours");
  values.Progress = Real(task, "progress");
  values.Notes = task->GetAttributeStr("notes");
  return values;
}

}  // namespace

TqorXMLNode2* TqorTaskWorkflows::Add1Click(int currentRow) {
  TqorXMLNode2* project =
      currentRow < TqorPlannerModel::kFixedRows ? nullptr : planner_.RowNode(currentRow);
  if (project && project->Name() == "task") project = project->Parent();
  if (!project || project->Name() != "project") {
    ShowMessage("You did not select a project.");
    return nullptr;
  }
  std::string name;
  // A name the table cannot take keeps the prompt open with it.
  const auto fits = [](const std::string& text) {
    return CheckTextLengths({{"Name", text, kTaskNameBytes}});
  };
  if (!CheckedInputQuery("Add Task", "Enter task name", name, fits) || name.empty()) return nullptr;

  const std::string projectId = project->GetAttributeStr("id");
  const double start = std::floor(planner_.Today());
  const double end = start + 2;
  const std::string projectRow = sr::ProjectName(project);
  std::optional<TqorDatabaseTransaction> transaction;
  try {
    transaction.emplace(db_);
    // The project must still be there, and stays until the commit.
    if (db_.Execute(st::TouchProject(projectId)) == 0) throw EqorChangedElsewhere(projectRow);
  } catch (const EqorChangedElsewhere&) {
    transaction.reset();
    sr::PutBackProject(db_, planner_, project);
    throw;
  }
  TqorEditRecorder record(db_, history_);
  db_.Execute(st::InsertTask(name, start, projectId));
  const std::string taskId = std::to_string(st::NewTaskId(db_));
  record.Added(TqorPlanTable::Tasks, "TaskId=" + taskId);
  record.Finish("New task '" + name + "'");
  TqorXMLNode2* task = nullptr;
  try {
    task = planner_.AddTask(projectId, taskId, name, start, end, false);
    if (task) {
      task->SetAttribute("iscompleted", false);
      task->SetAttribute("assignedhours", int32_t{0});
      task->SetAttribute("progress", int32_t{0});
      task->SetAttribute("notes", "");
    }
    transaction->Commit();
  } catch (...) {
    if (task) planner_.DeleteTask(taskId);
    throw;
  }
  record.Keep();
  planner_.SortTasks();
  planner_.RebuildRows();
  return task;
}

bool TqorTaskWorkflows::Delete1Click(int currentRow) {
  if (currentRow < TqorPlannerModel::kFixedRows) return false;
  TqorXMLNode2* task = planner_.RowNode(currentRow);
  if (!task || task->Name() != "task") {
    ShowMessage("You did not select a task to delete");
    return false;
  }
  if (!Confirm("Are you sure you want to delete " + task->GetAttributeStr("name") + "?"))
    return false;
  const std::string taskId = task->GetAttributeStr("id");
  const std::string row = sr::TaskName(task);
  try {
    TqorDatabaseTransaction transaction(db_);
    // The task as shown, with no assignment the window does not show: another program's
    // change of either is not deleted unseen.
    if (db_.Execute(st::CheckTask(taskId, TaskValuesOf(task))) == 0 ||
        db_.LookupInteger(st::SelectTaskAssignmentCount(taskId)) != task->ChildCount())
      throw EqorChangedElsewhere(row);
    for (int a = 0; a < task->ChildCount(); ++a) {
      const TqorXMLNode2* assignment = task->GetChild(a);
      const std::string resourceId = assignment->GetAttributeStr("resourceid");
      if (db_.Execute(st::CheckAssignment(assignment->GetAttributeStr("id"), taskId, resourceId,
                                          Real(assignment, "units"))) == 0)
        throw EqorChangedElsewhere(sr::AssignmentName(planner_, resourceId, taskId));
    }
    // Its links go with it: none the window does not show.
    const std::vector<TqorXMLNode2*> links = qorDocumentRows::LinksOf(planner_, {taskId});
    if (db_.LookupInteger(st::SelectLinkCount(st::TaskLinksCondition(taskId))) !=
        static_cast<int32_t>(links.size()))
      throw EqorChangedElsewhere(row);
    TqorEditRecorder record(db_, history_);
    record.Watch(TqorPlanTable::Tasks, "TaskId=" + taskId);
    record.Watch(TqorPlanTable::Assignments, "TaskId=" + taskId);
    record.Watch(TqorPlanTable::TaskLinks, st::TaskLinksCondition(taskId));
    db_.Execute(st::DeleteTask(taskId));
    db_.Execute(st::DeleteTaskAssignments(taskId));
    db_.Execute(st::DeleteTaskLinks(taskId));
    record.Finish("Deletion of '" + task->GetAttributeStr("name") + "'");
    transaction.Commit();
    record.Keep();
  } catch (const EqorChangedElsewhere&) {
    sr::PutBackTask(db_, planner_, task);
    throw;
  }
  for (TqorXMLNode2* link : qorDocumentRows::LinksOf(planner_, {taskId}))
    link->Parent()->DeleteChild(link);
  planner_.DeleteTask(taskId);
  planner_.RebuildRows();
  return true;
}

void TqorTaskWorkflows::TaskGridTaskChanged(TqorXMLNode2* task) {
  // The task dialog's step (its allocations) ends with this store, however it ends.
  struct TEndGroup {
    TqorEditHistory* history;
    ~TEndGroup() {
      if (history) history->EndGroup();
    }
  } endGroup{history_};
  try {
    TqorDocumentEdit edit;
    TqorDatabaseTransaction transaction(db_);
    const std::string id = task->GetAttributeStr("id");
    const TqorTaskValues values = TaskValuesOf(task);
    // The values the row had as this window showed it: those remembered before the change.
    TqorTaskValues before = values;
    if (!BeforeValues(task, before)) {
      // Nothing remembered: the row as stored now is taken as shown (no check possible).
      if (!StoredTask(id, before)) throw EqorChangedElsewhere(sr::TaskName(task));
    }
    TqorEditRecorder record(db_, history_);
    record.Watch(TqorPlanTable::Tasks, "TaskId=" + id);
    record.Watch(TqorPlanTable::Projects, "ProjectId=" + task->Parent()->GetAttributeStr("id"));
    if (db_.Execute(st::UpdateTask(id, values, before)) == 0)
      throw EqorChangedElsewhere(sr::TaskName(before.Name));
    // The task's hours follow its new dates; the project's follow the task's.
    hours_.TaskAssignmentsChanged(task, edit);
    // Its successors that no longer satisfy their links follow it.
    TqorSchedule schedule = qorPlanSchedule::ScheduleOf(planner_);
    const int32_t taskId = task->GetAttribute("id").AsInteger();
    const TqorScheduleMoves moves = schedule.Ripple(std::span<const int32_t>(&taskId, 1));
    lastMoved_ = qorPlanSchedule::StoreMoves(db_, planner_, moves.Moved, edit, record, hours_);
    record.Finish(ChangeName(before.Name, before.StartDate, before.EndDate, values.StartDate,
                             values.EndDate));
    transaction.Commit();
    edit.Keep();
    record.Keep();
    before_ = {};
    if (lastMoved_ > 0) {
      planner_.SortTasks();
      planner_.RebuildRows();
    }
  } catch (const EqorChangedElsewhere&) {
    lastMoved_ = 0;
    before_ = {};
    sr::PutBackTask(db_, planner_, task);
    throw;
  } catch (...) {
    lastMoved_ = 0;
    RestoreTask(task);
    throw;
  }
}

bool TqorTaskWorkflows::TaskGridTaskEdit(TqorXMLNode2* task, TqorAssignmentWorkflows& assignments) {
  TqorTaskEditor& dialog = assignments.Dialog();
  TqorTaskDialogValues values;
  values.TaskId = task->GetAttribute("id").AsInteger();
  values.Name = task->GetAttributeStr("name");
  values.IsMilestone = Flag(task, "ismilestone");
  values.StartDate = Real(task, "startdate");
  values.EndDate = Real(task, "enddate");
  values.IsCompleted = Flag(task, "iscompleted");
  values.ProjectName = task->Parent()->GetAttributeStr("name");
  values.Progress = Real(task, "progress");
  values.Notes = task->GetAttributeStr("notes");
  dialog.SetTask(values);
  assignments.FillAllocationLists(values.TaskId);
  dialog.SetLinkList(qorPlanSchedule::LinkEntries(planner_, values.TaskId));
  // The allocations made in the dialog and the store after it are one step.
  if (history_) history_->BeginGroup("Edit of '" + values.Name + "'");
  const bool ok = dialog.Execute();
  // The values before the edit, whatever its outcome: allocations made in the dialog are stored
  // already, and a gesture remembered before the dialog opened is out of date.
  RememberBeforeChange(task);
  if (!ok) return false;
  const TqorTaskDialogValues edited = dialog.GetTask();
  task->SetAttribute("name", edited.Name);
  task->SetAttribute("ismilestone", edited.IsMilestone);
  task->SetAttribute("iscompleted", edited.IsCompleted);
  task->SetAttribute("progress", edited.Progress);
  task->SetAttribute("notes", edited.Notes);
  // The dates as the dialog ends with them (a link made in it may have moved the task).
  if (edited.EndDate >= edited.StartDate && edited.StartDate > 0) {
    task->SetAttribute("startdate", std::floor(edited.StartDate));
    task->SetAttribute("enddate", std::floor(edited.EndDate));
  }
  return true;
}

void TqorTaskWorkflows::TaskGridProjectChanged(TqorXMLNode2* project) {
  try {
    TqorDatabaseTransaction transaction(db_);
    const std::string id = project->GetAttributeStr("id");
    double beforeStart = Real(project, "startdate"), beforeEnd = Real(project, "enddate");
    if (before_.element == "project" && before_.id == id) {
      for (const auto& [name, value] : before_.attributes) {
        if (name == "startdate") beforeStart = value.AsReal();
        if (name == "enddate") beforeEnd = value.AsReal();
      }
    } else {
      // Nothing remembered: the dates as stored now are taken as shown (no check possible).
      bool found = false;
      FindRow(db_, st::SelectProject(id), [&](TqorDatabaseRecordSet* row) {
        beforeStart = db_.GetDate(row, "StartDate");
        beforeEnd = db_.GetDate(row, "EndDate");
        return found = true;
      });
      if (!found) throw EqorChangedElsewhere(sr::ProjectName(project));
    }
    TqorEditRecorder record(db_, history_);
    record.Watch(TqorPlanTable::Projects, "ProjectId=" + id);
    if (db_.Execute(st::UpdateProjectDates(id, Real(project, "startdate"), Real(project, "enddate"),
                                           beforeStart, beforeEnd)) == 0)
      throw EqorChangedElsewhere(sr::ProjectName(project));
    record.Finish(ChangeName(project->GetAttributeStr("name"), beforeStart, beforeEnd,
                             Real(project, "startdate"), Real(project, "enddate")));
    transaction.Commit();
    record.Keep();
    before_ = {};
  } catch (const EqorChangedElsewhere&) {
    before_ = {};
    sr::PutBackProject(db_, planner_, project);
    throw;
  } catch (...) {
    RestoreProject(project);
    throw;
  }
}

void TqorTaskWorkflows::RememberBeforeChange(const TqorXMLNode2* node) {
  before_ = {node->Name(), node->GetAttributeStr("id"), {}};
  for (int i = 0; i < node->AttributeCount(); ++i) {
    const TqorXMLAttribute2* attribute = node->Attribute(i);
    before_.attributes.emplace_back(attribute->Name, attribute->Value);
  }
}

bool TqorTaskWorkflows::BeforeValues(const TqorXMLNode2* task, TqorTaskValues& before) const {
  if (before_.element != task->Name() || before_.id != task->GetAttributeStr("id")) return false;
  TqorXMLNode2 shown(task->Name());
  for (const auto& [name, value] : before_.attributes) shown.SetAttribute(name, value);
  before = TaskValuesOf(&shown);
  return true;
}

bool TqorTaskWorkflows::StoredTask(const std::string& id, TqorTaskValues& stored) {
  bool found = false;
  FindRow(db_, st::SelectTask(id), [&](TqorDatabaseRecordSet* row) {
    stored.Name = db_.GetString(row, "TaskName");
    stored.StartDate = db_.GetDate(row, "StartDate");
    stored.EndDate = db_.GetDate(row, "EndDate");
    stored.IsMilestone = db_.GetBoolean(row, "IsMileStone");
    stored.IsCompleted = db_.GetBoolean(row, "IsCompleted");
    stored.Progress = db_.GetFloat(row, "Progress");
    stored.Notes = db_.GetString(row, "Notes");
    return found = true;
  });
  return found;
}

bool TqorTaskWorkflows::PutBack(const TRemembered& before, TqorXMLNode2* node) {
  if (before.element != node->Name() || before.id != node->GetAttributeStr("id")) return false;
  for (const auto& [name, value] : before.attributes) node->SetAttribute(name, value);
  return true;
}

void TqorTaskWorkflows::RestoreTask(TqorXMLNode2* task) {
  TRemembered remembered = std::move(before_);
  before_ = {};
  bool restored = false;
  try {
    const int32_t id = task->GetAttribute("id").AsInteger();
    FindRow(db_, st::SelectTasks(), [&](TqorDatabaseRecordSet* row) {
      if (db_.GetInteger(row, "TaskId") != id) return false;
      const std::string name = db_.GetString(row, "TaskName");
      const double startDate = db_.GetDate(row, "StartDate");
      const double endDate = db_.GetDate(row, "EndDate");
      const bool isMilestone = db_.GetBoolean(row, "IsMileStone");
      const bool isCompleted = db_.GetBoolean(row, "IsCompleted");
      const double assignedHours = db_.GetFloat(row, "AssignedHours");
      const double progress = db_.GetFloat(row, "Progress");
      const std::string notes = db_.GetString(row, "Notes");
      task->SetAttribute("name", name);
      task->SetAttribute("startdate", startDate);
      task->SetAttribute("enddate", endDate);
      task->SetAttribute("ismilestone", isMilestone);
      task->SetAttribute("iscompleted", isCompleted);
      task->SetAttribute("assignedhours", assignedHours);
      task->SetAttribute("progress", progress);
      task->SetAttribute("notes", notes);
      restored = true;
      return true;
    });
  } catch (...) {
    // The error that made the restore necessary is the one the user sees.
  }
  try {
    if (!restored) PutBack(remembered, task);
    planner_.SortTasks();
    planner_.RebuildRows();
  } catch (...) {
    // As above.
  }
}

void TqorTaskWorkflows::RestoreProject(TqorXMLNode2* project) {
  TRemembered remembered = std::move(before_);
  before_ = {};
  bool restored = false;
  try {
    const int32_t id = project->GetAttribute("id").AsInteger();
    FindRow(db_, st::SelectProjects(), [&](TqorDatabaseRecordSet* row) {
      if (db_.GetInteger(row, "ProjectId") != id) return false;
      const double startDate = db_.GetDate(row, "StartDate");
      const double endDate = db_.GetDate(row, "EndDate");
      project->SetAttribute("startdate", startDate);
      project->SetAttribute("enddate", endDate);
      restored = true;
      return true;
    });
  } catch (...) {
    // As in RestoreTask.
  }
  try {
    if (!restored) PutBack(remembered, project);
    planner_.RebuildRows();
  } catch (...) {
    // As in RestoreTask.
  }
}
