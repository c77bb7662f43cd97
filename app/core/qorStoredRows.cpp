#include "app/core/qorStoredRows.h"

#include <functional>
#include <vector>

#include "app/core/qorChangedElsewhere.h"
#include "app/core/qorNodeValues.h"
#include "app/core/qorPlannerStatements.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;

namespace {

// The one row of a SELECT handed to set; false when there is none. An error while reading
// counts as "cannot tell": the element stays as it is.
bool ReadRow(TqorDatabaseController& db, const std::string& statement,
             const std::function<void(TqorDatabaseRecordSet*)>& set, bool& failed) {
  failed = false;
  try {
    TqorDatabaseRecordSet* rows = db.OpenRecordSet(statement);
    bool found = false;
    try {
      if (!db.Eof(rows)) {
        set(rows);
        found = true;
      }
    } catch (...) {
      db.CloseRecordSet(rows);
      throw;
    }
    db.CloseRecordSet(rows);
    return found;
  } catch (...) {
    failed = true;
    return false;
  }
}

void Quietly(const std::function<void()>& step) {
  try {
    step();
  } catch (...) {
    // The user is told about the changed row; the view catches up at the next reload.
  }
}

// The children of parent whose "resourceid" is id.
std::vector<TqorXMLNode2*> ChildrenOfResource(TqorXMLNode2* parent, const std::string& id) {
  std::vector<TqorXMLNode2*> found;
  for (int i = 0; parent && i < parent->ChildCount(); ++i) {
    TqorXMLNode2* child = parent->GetChild(i);
    if (NodeText(child, "resourceid") == id) found.push_back(child);
  }
  return found;
}

std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

}  // namespace

namespace qorStoredRows {

std::string TaskName(const TqorXMLNode2* task) {
  return TaskName(NodeText(task, "name"));
}
std::string TaskName(const std::string& name) {
  return "Task " + Quoted(name);
}
std::string ProjectName(const TqorXMLNode2* project) {
  return "Project " + Quoted(NodeText(project, "name"));
}
std::string ResourceName(const TqorXMLNode2* resource) {
  return "Resource " + Quoted(NodeText(resource, "name"));
}

std::string HolidayName(const TqorPlannerModel& planner, const std::string& resourceId,
                        double startDate, double endDate) {
  const TqorXMLNode2* resource = planner.Document().GetNodeById("resource", resourceId);
  return "The holiday of " + Quoted(resource ? NodeText(resource, "name") : resourceId) + " from " +
         FormatDateTime("dd-MM-yyyy", startDate) + " to " + FormatDateTime("dd-MM-yyyy", endDate);
}

std::string AssignmentName(const TqorPlannerModel& planner, const std::string& resourceId,
                           const std::string& taskId) {
  const TqorXMLNode2* resource = planner.Document().GetNodeById("resource", resourceId);
  const TqorXMLNode2* task = planner.Document().GetNodeById("task", taskId);
  return "The assignment of " + Quoted(resource ? NodeText(resource, "name") : resourceId) +
         " to " + Quoted(task ? NodeText(task, "name") : taskId);
}

// The ids of the element's children.
static std::vector<std::string> ChildIds(const TqorXMLNode2* parent) {
  std::vector<std::string> ids;
  for (int i = 0; parent && i < parent->ChildCount(); ++i)
    ids.push_back(NodeText(parent->GetChild(i), "id"));
  return ids;
}

void PutBackTask(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* task) {
  const std::string id = NodeText(task, "id");
  for (const std::string& assignment : ChildIds(task)) PutBackAssignment(db, planner, assignment);
  bool failed = false;
  const bool there = ReadRow(
      db, st::SelectTask(id),
      [&](TqorDatabaseRecordSet* row) {
        const std::string name = db.GetString(row, "TaskName");
        const double startDate = db.GetDate(row, "StartDate");
        const double endDate = db.GetDate(row, "EndDate");
        const bool isMilestone = db.GetBoolean(row, "IsMileStone");
        const bool isCompleted = db.GetBoolean(row, "IsCompleted");
        const double assignedHours = db.GetFloat(row, "AssignedHours");
        const double progress = db.GetFloat(row, "Progress");
        const std::string notes = db.GetString(row, "Notes");
        task->SetAttribute("name", name);
        task->SetAttribute("startdate", startDate);
        task->SetAttribute("enddate", endDate);
        task->SetAttribute("ismilestone", isMilestone);
        task->SetAttribute("iscompleted", isCompleted);
        task->SetAttribute("assignedhours", assignedHours);
        task->SetAttribute("progress", progress);
        task->SetAttribute("notes", notes);
      },
      failed);
  Quietly([&] {
    if (!there && !failed) planner.DeleteTask(id);
    planner.SortTasks();
    planner.RebuildRows();
  });
}

void PutBackProject(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* project) {
  const std::string id = NodeText(project, "id");
  for (const std::string& taskId : ChildIds(project)) {
    if (TqorXMLNode2* task = planner.Document().GetNodeById("task", taskId))
      PutBackTask(db, planner, task);
  }
  bool failed = false;
  const bool there = ReadRow(
      db, st::SelectProject(id),
      [&](TqorDatabaseRecordSet* row) {
        const std::string name = db.GetString(row, "ProjectName");
        const std::string tag = db.GetString(row, "ProjectTag");
        const double budgetHours = db.GetFloat(row, "BudgetHours");
        const double actualHours = db.GetFloat(row, "ActualHours");
        const double budgetCost = db.GetFloat(row, "BudgetCost");
        const double actualCost = db.GetFloat(row, "ActualCost");
        const bool isCompleted = db.GetBoolean(row, "IsCompleted");
        const double assignedHours = db.GetFloat(row, "AssignedHours");
        const double startDate = db.GetDate(row, "StartDate");
        const double endDate = db.GetDate(row, "EndDate");
        const std::string notes = db.GetString(row, "Notes");
        project->SetAttribute("name", name);
        project->SetAttribute("tag", tag);
        project->SetAttribute("budgethours", budgetHours);
        project->SetAttribute("actualhours", actualHours);
        project->SetAttribute("budgetcost", budgetCost);
        project->SetAttribute("actualcost", actualCost);
        project->SetAttribute("iscompleted", isCompleted);
        project->SetAttribute("assignedhours", assignedHours);
        project->SetAttribute("startdate", startDate);
        project->SetAttribute("enddate", endDate);
        project->SetAttribute("notes", notes);
      },
      failed);
  Quietly([&] {
    if (!there && !failed) planner.ProjectsNode()->DeleteChild(project);
    planner.RebuildRows();
  });
}

void PutBackResource(TqorDatabaseController& db, TqorPlannerModel& planner,
                     TqorXMLNode2* resource) {
  const std::string id = NodeText(resource, "id");
  TqorXMLNode2* projects = planner.ProjectsNode();
  std::vector<std::string> assignments;
  for (int p = 0; projects && p < projects->ChildCount(); ++p) {
    TqorXMLNode2* project = projects->GetChild(p);
    for (int t = 0; t < project->ChildCount(); ++t) {
      for (TqorXMLNode2* assignment : ChildrenOfResource(project->GetChild(t), id))
        assignments.push_back(NodeText(assignment, "id"));
    }
  }
  for (const std::string& assignment : assignments) PutBackAssignment(db, planner, assignment);
  for (const std::string& holiday : ChildIds(planner.HolidaysNode())) {
    const TqorXMLNode2* node = planner.Document().GetNodeById("holiday", holiday);
    if (node && NodeText(node, "resourceid") == id) PutBackHoliday(db, planner, holiday);
  }
  bool failed = false;
  const bool there = ReadRow(
      db, st::SelectResource(id),
      [&](TqorDatabaseRecordSet* row) {
        const std::string name = db.GetString(row, "ResourceName");
        const std::string initials = db.GetString(row, "Initials");
        const double hoursPerWeek = db.GetFloat(row, "HoursPerWeek");
        const double costPerHour = db.GetFloat(row, "CostPerHour");
        const double maxUnits = db.GetFloat(row, "MaxUnits");
        const std::string notes = db.GetString(row, "Notes");
        resource->SetAttribute("name", name);
        resource->SetAttribute("initials", initials);
        resource->SetAttribute("hoursperweek", hoursPerWeek);
        resource->SetAttribute("costperhour", costPerHour);
        resource->SetAttribute("maxunits", maxUnits);
        resource->SetAttribute("notes", notes);
      },
      failed);
  Quietly([&] {
    if (!there && !failed) {
      TqorXMLNode2* projects = planner.ProjectsNode();
      for (int p = 0; projects && p < projects->ChildCount(); ++p) {
        TqorXMLNode2* project = projects->GetChild(p);
        for (int t = 0; t < project->ChildCount(); ++t) {
          TqorXMLNode2* task = project->GetChild(t);
          for (TqorXMLNode2* assignment : ChildrenOfResource(task, id))
            task->DeleteChild(assignment);
        }
      }
      for (TqorXMLNode2* holiday : ChildrenOfResource(planner.HolidaysNode(), id))
        planner.HolidaysNode()->DeleteChild(holiday);
      planner.ResourcesNode()->DeleteChild(resource);
    }
    planner.RebuildRows();
  });
}

void PutBackHoliday(TqorDatabaseController& db, TqorPlannerModel& planner,
                    const std::string& holidayId) {
  TqorXMLNode2* holiday = planner.Document().GetNodeById("holiday", holidayId);
  if (!holiday) return;
  bool failed = false;
  const bool there = ReadRow(
      db, st::SelectHoliday(holidayId),
      [&](TqorDatabaseRecordSet* row) {
        const std::string resourceId = db.GetString(row, "ResourceId");
        const double startDate = db.GetDate(row, "StartDate");
        const double endDate = db.GetDate(row, "EndDate");
        holiday->SetAttribute("resourceid", resourceId);
        holiday->SetAttribute("startdate", startDate);
        holiday->SetAttribute("enddate", endDate);
      },
      failed);
  Quietly([&] {
    if (!there && !failed) holiday->Parent()->DeleteChild(holiday);
  });
}

void PutBackAssignment(TqorDatabaseController& db, TqorPlannerModel& planner,
                       const std::string& assignmentId) {
  TqorXMLNode2* assignment = planner.Document().GetNodeById("assignment", assignmentId);
  if (!assignment) return;
  bool failed = false;
  const bool there = ReadRow(
      db, st::SelectAssignment(assignmentId),
      [&](TqorDatabaseRecordSet* row) {
        const std::string resourceId = db.GetString(row, "ResourceId");
        const double units = db.GetFloat(row, "Units");
        assignment->SetAttribute("resourceid", resourceId);
        assignment->SetAttribute("units", units);
      },
      failed);
  Quietly([&] {
    if (!there && !failed) assignment->Parent()->DeleteChild(assignment);
    planner.RebuildRows();
  });
}

void PutBackProjectFilter(TqorDatabaseController& db, TqorPlannerModel& planner) {
  bool failed = false;
  std::string filter;
  const bool there = ReadRow(
      db, st::SelectSettings(),
      [&](TqorDatabaseRecordSet* row) { filter = db.GetString(row, "ProjectFilter"); }, failed);
  Quietly([&] {
    if (there) planner.SetProjectFilter(filter);
  });
}

void Refuse(const std::string& row) {
  throw EqorChangedElsewhere(row);
}

}  // namespace qorStoredRows
