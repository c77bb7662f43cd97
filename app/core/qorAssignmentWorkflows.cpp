#include "app/core/qorAssignmentWorkflows.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/qorChangedElsewhere.h"
#include "app/core/qorDocumentEdit.h"
#include "app/core/qorEditRecorder.h"
#include "app/core/qorNumberText.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorStoredRows.h"
#include "app/core/qorTaskEditor.h"
#include "app/core/qorWorkflowError.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "planner/base/qorUserPrompts.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;
namespace sr = qorStoredRows;

namespace {

// The entries of a SELECT: the name field with the id field of each row.
std::vector<TqorResourceEntry> ReadEntries(TqorDatabaseController& db, const std::string& statement,
                                           const char* idField) {
  std::vector<TqorResourceEntry> entries;
  TqorDatabaseRecordSet* set = db.OpenRecordSet(statement);
  try {
    for (; !db.Eof(set); db.Next(set))
      entries.push_back({db.GetString(set, "ResourceName"), db.GetInteger(set, idField)});
  } catch (...) {
    db.CloseRecordSet(set);
    throw;
  }
  db.CloseRecordSet(set);
  return entries;
}

TqorXMLNode2* TaskOf(TqorPlannerModel& planner, int32_t taskId) {
  TqorXMLNode2* task = planner.Document().GetNodeById("task", std::to_string(taskId));
  if (!task) throw EqorWorkflowError("Task " + std::to_string(taskId) + " is not in the plan.");
  return task;
}

// The rows a change of the task's assignments rolls its hours up into.
void WatchHours(TqorEditRecorder& record, const TqorXMLNode2* task) {
  record.Watch(TqorPlanTable::Tasks, "TaskId=" + task->GetAttributeStr("id"));
  if (task->Parent())
    record.Watch(TqorPlanTable::Projects, "ProjectId=" + task->Parent()->GetAttributeStr("id"));
}

// "'Ann'": the resource of the assignment (or with the id) as the user knows it.
std::string NameOf(const TqorXMLNode2* resource, int32_t resourceId) {
  return resource ? "'" + resource->GetAttributeStr("name") + "'"
                  : "resource " + std::to_string(resourceId);
}

std::string AssignedName(TqorPlannerModel& planner, const TqorXMLNode2* assignment) {
  if (!assignment) return "an assignment";
  const std::string id = assignment->GetAttributeStr("resourceid");
  return NameOf(planner.Document().GetNodeById("resource", id), std::atoi(id.c_str()));
}

}  // namespace

TqorAssignmentWorkflows::TqorAssignmentWorkflows(TqorDatabaseController& db,
                                                 TqorPlannerModel& planner, TqorTaskEditor& dialog)
    : db_(db), planner_(planner), dialog_(dialog), hours_(db, planner) {}

void TqorAssignmentWorkflows::FillAllocationLists(int32_t taskId) {
  dialog_.SetResourceList(ReadEntries(db_, st::SelectResourcesNotOnTask(taskId), "ResourceId"));
  dialog_.SetAssignmentList(ReadEntries(db_, st::SelectTaskAssignments(taskId), "AssignmentId"));
}

bool TqorAssignmentWorkflows::AllocationDrop(int32_t resourceId) {
  std::string text = "0";
  if (!InputQuery("Units", "Percentage of maximum units:", text)) return false;
  if (text.empty() || text == "0") return false;
  double units = 0;
  if (!ParseNumber(text, units)) {
    ShowMessage(text + " is not a valid number.");
    return false;
  }
  if (units < 0 || units > 100) {
    ShowMessage("Units must be from 0 to 100%.");
    return false;
  }
  const TqorTaskDialogValues task = dialog_.GetTask();
  return AllocateResource(task.TaskId, resourceId, units, task.StartDate, task.EndDate);
}

bool TqorAssignmentWorkflows::UnitsAllowed(int32_t resourceId, double units, double startDate,
                                           double endDate, std::optional<int32_t> changing) {
  if (!(units >= 0 && units <= 100)) {
    ShowMessage("Units must be from 0 to 100%.");
    return false;
  }
  const double used = changing ? OtherUnitsInPeriod(resourceId, startDate, endDate, *changing)
                               : UnitsInPeriod(resourceId, startDate, endDate);
  if (HolidaysInPeriod(resourceId, startDate, endDate) > 0) {
    ShowMessage("Can not allocate because of resource's holiday period.");
    return false;
  }
  const double limit = UnitsLimit(resourceId);
  const double available = used > limit ? 0 : limit - used;
  if (units > available) {
    ShowMessage("There are only " + FormatNumber(available) + "% units available for allocation.");
    return false;
  }
  return true;
}

bool TqorAssignmentWorkflows::AllocateResource(int32_t taskId, int32_t resourceId, double units,
                                               double startDate, double endDate) {
  TqorXMLNode2* task = TaskOf(planner_, taskId);
  if (!UnitsAllowed(resourceId, units, startDate, endDate, std::nullopt)) return false;
  TqorXMLNode2* resource = planner_.Document().GetNodeById("resource", std::to_string(resourceId));
  const std::string taskRow = sr::TaskName(task);
  const std::string resourceRow =
      resource ? sr::ResourceName(resource) : "Resource " + std::to_string(resourceId);
  bool taskGone = false;
  try {
    TqorDocumentEdit edit;
    TqorDatabaseTransaction transaction(db_);
    // The task and the resource must still be there, and stay until the commit.
    taskGone = db_.Execute(st::TouchTask(taskId)) == 0;
    if (taskGone) throw EqorChangedElsewhere(taskRow);
    if (db_.Execute(st::TouchResource(resourceId)) == 0) throw EqorChangedElsewhere(resourceRow);
    TqorEditRecorder record(db_, history_);
    WatchHours(record, task);
    db_.Execute(st::InsertAssignment(taskId, resourceId, units));
    const int32_t assignmentId = st::NewAssignmentId(db_);
    record.Added(TqorPlanTable::Assignments, "AssignmentId=" + std::to_string(assignmentId));
    auto assignment = std::make_unique<TqorXMLNode2>("assignment");
    assignment->SetAttribute("id", std::to_string(assignmentId));
    assignment->SetAttribute("resourceid", std::to_string(resourceId));
    assignment->SetAttribute("units", units);
    edit.AddChild(task, std::move(assignment));
    hours_.TaskAssignmentsChanged(task, edit);
    record.Finish("Allocation of " + NameOf(resource, resourceId) + " to '" +
                  task->GetAttributeStr("name") + "'");
    transaction.Commit();
    edit.Keep();
    record.Keep();
  } catch (const EqorChangedElsewhere&) {
    if (taskGone)
      sr::PutBackTask(db_, planner_, task);
    else if (resource)
      sr::PutBackResource(db_, planner_, resource);
    throw;
  }
  FillAllocationLists(taskId);
  planner_.RebuildRows();
  return true;
}

void TqorAssignmentWorkflows::RemoveAssignment(int32_t taskId, int32_t assignmentId) {
  TqorXMLNode2* assignment =
      planner_.Document().GetNodeById("assignment", std::to_string(assignmentId));
  TqorXMLNode2* task = planner_.Document().GetNodeById("task", std::to_string(taskId));
  const std::string id = std::to_string(assignmentId);
  try {
    TqorDocumentEdit edit;
    TqorDatabaseTransaction transaction(db_);
    if (assignment) {
      // The assignment as shown.
      const std::string resourceId = assignment->GetAttributeStr("resourceid");
      const std::string ownerId = assignment->Parent()->GetAttributeStr("id");
      if (db_.Execute(st::CheckAssignment(assignmentId, ownerId, resourceId,
                                          assignment->GetAttribute("units").AsReal())) == 0)
        throw EqorChangedElsewhere(sr::AssignmentName(planner_, resourceId, ownerId));
    }
    TqorEditRecorder record(db_, history_);
    record.Watch(TqorPlanTable::Assignments, "AssignmentId=" + id);
    if (task) WatchHours(record, task);
    db_.Execute(st::DeleteAssignment(assignmentId));
    if (task) {
      // The hours without the assignment: while they are computed it counts nothing. It is
      // deleted once the database has let it go.
      if (assignment && assignment->Parent() == task) edit.SetAttribute(assignment, "units", 0.0);
      hours_.TaskAssignmentsChanged(task, edit);
    }
    record.Finish("Removal of " + AssignedName(planner_, assignment) + " from '" +
                  (task ? task->GetAttributeStr("name") : std::string()) + "'");
    transaction.Commit();
    edit.Keep();
    record.Keep();
  } catch (const EqorChangedElsewhere&) {
    sr::PutBackAssignment(db_, planner_, id);
    throw;
  }
  if (assignment) assignment->Parent()->DeleteChild(assignment);
  FillAllocationLists(taskId);
  planner_.RebuildRows();
}

bool TqorAssignmentWorkflows::ChangeAssignmentUnits(int32_t taskId, int32_t assignmentId) {
  const TqorVariant stored = db_.LookupValue(st::SelectAssignmentUnits(assignmentId));
  std::string text = FormatNumber(stored.IsNull() ? 0 : stored.AsReal());
  if (!InputQuery("Assignment", "Number of units per (0-100%):", text)) return false;
  if (text.empty() || text == "0") return false;
  double units = 0;
  if (!ParseNumber(text, units)) {
    ShowMessage(text + " is not a valid number of units.");
    return false;
  }
  TqorXMLNode2* assignment =
      planner_.Document().GetNodeById("assignment", std::to_string(assignmentId));
  TqorXMLNode2* task = planner_.Document().GetNodeById("task", std::to_string(taskId));
  // The checks of an allocation over the task's period, the assignment's own units not counted.
  const TqorTaskDialogValues shown = dialog_.GetTask();
  const double startDate = task ? task->GetAttribute("startdate").AsReal() : shown.StartDate;
  const double endDate = task ? task->GetAttribute("enddate").AsReal() : shown.EndDate;
  const TqorVariant resource = db_.LookupValue(st::SelectAssignmentResource(assignmentId));
  const int32_t resourceId = resource.IsNull() ? 0 : resource.AsInteger();
  // The units as this window showed them: the element's, else those the prompt showed.
  const double before = assignment ? assignment->GetAttribute("units").AsReal()
                                   : (stored.IsNull() ? 0 : stored.AsReal());
  const std::string ownerId =
      assignment ? assignment->Parent()->GetAttributeStr("id") : std::to_string(taskId);
  const std::string shownResource =
      assignment ? assignment->GetAttributeStr("resourceid") : std::to_string(resourceId);
  const std::string row = sr::AssignmentName(planner_, shownResource, ownerId);
  if (resource.IsNull() && assignment) {
    // Gone before the checks could run.
    sr::PutBackAssignment(db_, planner_, std::to_string(assignmentId));
    throw EqorChangedElsewhere(row);
  }
  if (!UnitsAllowed(resourceId, units, startDate, endDate, assignmentId)) return false;
  try {
    TqorDocumentEdit edit;
    TqorDatabaseTransaction transaction(db_);
    TqorEditRecorder record(db_, history_);
    record.Watch(TqorPlanTable::Assignments, "AssignmentId=" + std::to_string(assignmentId));
    if (task) WatchHours(record, task);
    if (db_.Execute(
            st::UpdateAssignmentUnits(assignmentId, units, ownerId, shownResource, before)) == 0)
      throw EqorChangedElsewhere(row);
    if (assignment) edit.SetAttribute(assignment, "units", units);
    if (task) hours_.TaskAssignmentsChanged(task, edit);
    record.Finish("Units of " + AssignedName(planner_, assignment) + " on '" +
                  (task ? task->GetAttributeStr("name") : std::string()) + "'");
    transaction.Commit();
    edit.Keep();
    record.Keep();
  } catch (const EqorChangedElsewhere&) {
    sr::PutBackAssignment(db_, planner_, std::to_string(assignmentId));
    throw;
  }
  planner_.RebuildRows();
  return true;
}

double TqorAssignmentWorkflows::UnitsInPeriod(int32_t resourceId, double startDate,
                                              double endDate) {
  const TqorVariant units =
      db_.LookupValue(st::SelectResourceUnits(resourceId, startDate, endDate));
  return units.IsNull() ? 0 : units.AsReal();
}

double TqorAssignmentWorkflows::OtherUnitsInPeriod(int32_t resourceId, double startDate,
                                                   double endDate, int32_t assignmentId) {
  const TqorVariant units =
      db_.LookupValue(st::SelectOtherResourceUnits(resourceId, startDate, endDate, assignmentId));
  return units.IsNull() ? 0 : units.AsReal();
}

double TqorAssignmentWorkflows::UnitsLimit(int32_t resourceId) {
  const TqorVariant maxUnits = db_.LookupValue(st::SelectResourceMaxUnits(resourceId));
  return maxUnits.IsNull() ? 100 : maxUnits.AsReal();
}

int32_t TqorAssignmentWorkflows::HolidaysInPeriod(int32_t resourceId, double startDate,
                                                  double endDate) {
  return db_.LookupInteger(st::SelectResourceHolidayCount(resourceId, startDate, endDate));
}
