#include "app/core/qorProjectOperations.h"

#include <memory>

#include "app/core/qorChangedElsewhere.h"
#include "app/core/qorDocumentRows.h"
#include "app/core/qorEditRecorder.h"
#include "app/core/qorNodeValues.h"
#include "app/core/qorStoredRows.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;
namespace sr = qorStoredRows;

namespace {

std::string FilterItem(std::string_view id) {
  std::string item = "[";
  item.append(id).append("]");
  return item;
}

// The filter stored only while the stored one is before. A plan without its Settings row keeps
// none, as before.
void StoreFilterChecked(TqorDatabaseController& db, const std::string& filter,
                        const std::string& before) {
  if (db.Execute(st::UpdateProjectFilter(filter, before)) == 0 &&
      db.LookupInteger(st::SelectSettingsCount()) != 0)
    throw EqorChangedElsewhere(qorStoredRows::kProjectFilter);
}

}  // namespace

std::vector<TqorListEntry> FillProjectList(const TqorPlannerModel& planner) {
  std::vector<TqorListEntry> entries;
  const TqorXMLNode2* projects = planner.ProjectsNode();
  for (int i = 0; projects && i < projects->ChildCount(); ++i) {
    const TqorXMLNode2* project = projects->GetChild(i);
    entries.push_back({NodeText(project, "name"), NodeText(project, "id")});
  }
  return entries;
}

TqorXMLNode2* CreateProject(TqorDatabaseController& db, TqorPlannerModel& planner,
                            std::string_view name, TqorEditHistory* history) {
  auto project = std::make_unique<TqorXMLNode2>("project");
  project->SetAttribute("name", name);
  project->SetAttribute("tag", "");
  const double today = planner.Today();

  std::string id;
  std::string filter;
  try {
    TqorDatabaseTransaction transaction(db);
    TqorEditRecorder record(db, history);
    record.Watch(TqorPlanTable::Settings, "SettingId=1");
    db.Execute(st::InsertProject(name, today));
    id = std::to_string(st::NewProjectId(db));
    record.Added(TqorPlanTable::Projects, "ProjectId=" + id);
    filter = planner.ProjectFilter() + FilterItem(id);
    StoreFilterChecked(db, filter, planner.ProjectFilter());
    record.Finish("New project '" + std::string(name) + "'");
    transaction.Commit();
    record.Keep();
  } catch (const EqorChangedElsewhere&) {
    sr::PutBackProjectFilter(db, planner);
    throw;
  }

  const TqorVariant zero(int32_t{0});
  project->SetAttribute("id", id);
  project->SetAttribute("tag", "");
  // A date value: the export writes it in the short date form until the next start.
  project->SetAttribute("startdate", TqorVariant::FromDate(today));
  project->SetAttribute("enddate", today + 30);
  project->SetAttribute("budgethours", zero);
  project->SetAttribute("actualhours", zero);
  project->SetAttribute("budgetcost", zero);
  project->SetAttribute("actualcost", zero);
  project->SetAttribute("iscompleted", false);
  project->SetAttribute("assignedhours", zero);
  project->SetAttribute("notes", "");
  project->SetAttribute("expanded", true);
  TqorXMLNode2* added = planner.ProjectsNode()->AddChild(std::move(project));
  planner.SetProjectFilter(filter);
  return added;
}

void DeleteProject(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* project,
                   TqorEditHistory* history) {
  const TqorRowId id(NodeText(project, "id"));
  const std::string row = sr::ProjectName(project);
  try {
    TqorDatabaseTransaction transaction(db);
    // The project, its tasks and their assignments as shown; none the window does not show.
    if (db.Execute(st::CheckProject(id, ProjectValuesOf(project))) == 0)
      throw EqorChangedElsewhere(row);
    int shownAssignments = 0;
    for (int t = 0; t < project->ChildCount(); ++t) {
      const TqorXMLNode2* task = project->GetChild(t);
      TqorTaskValues shown;
      shown.Name = NodeText(task, "name");
      shown.StartDate = NodeDate(task, "startdate");
      shown.EndDate = NodeDate(task, "enddate");
      shown.IsMilestone = NodeFlag(task, "ismilestone");
      shown.IsCompleted = NodeFlag(task, "iscompleted");
      shown.Progress = NodeReal(task, "progress");
      shown.Notes = NodeText(task, "notes");
      if (db.Execute(st::CheckTask(NodeText(task, "id"), shown)) == 0)
        throw EqorChangedElsewhere(sr::TaskName(task));
      for (int a = 0; a < task->ChildCount(); ++a) {
        const TqorXMLNode2* assignment = task->GetChild(a);
        const std::string resourceId = NodeText(assignment, "resourceid");
        if (db.Execute(st::CheckAssignment(NodeText(assignment, "id"), NodeText(task, "id"),
                                           resourceId, NodeReal(assignment, "units"))) == 0)
          throw EqorChangedElsewhere(sr::AssignmentName(planner, resourceId, NodeText(task, "id")));
        ++shownAssignments;
      }
    }
    // Another program's tasks or assignments would go unseen.
    if (db.LookupInteger(st::SelectProjectTaskCount(id)) != project->ChildCount())
      throw EqorChangedElsewhere(row);
    if (db.LookupInteger(st::SelectProjectAssignmentCount(id)) != shownAssignments)
      throw EqorChangedElsewhere(row);
    // The links of its tasks go with them: none the window does not show.
    std::vector<std::string> taskIds;
    for (int t = 0; t < project->ChildCount(); ++t)
      taskIds.push_back(NodeText(project->GetChild(t), "id"));
    if (db.LookupInteger(st::SelectLinkCount(st::ProjectLinksCondition(id))) !=
        static_cast<int32_t>(qorDocumentRows::LinksOf(planner, taskIds).size()))
      throw EqorChangedElsewhere(row);
    TqorEditRecorder record(db, history);
    record.Watch(TqorPlanTable::Projects, "ProjectId=" + id.Text());
    record.Watch(TqorPlanTable::Tasks, "ProjectId=" + id.Text());
    record.Watch(TqorPlanTable::Assignments,
                 "TaskId IN (SELECT TaskId FROM Tasks WHERE ProjectId=" + id.Text() + ")");
    record.Watch(TqorPlanTable::TaskLinks, st::ProjectLinksCondition(id));
    db.Execute(st::DeleteProjectLinks(id));
    db.Execute(st::DeleteProjectAssignments(id));
    db.Execute(st::DeleteProjectTasks(id));
    db.Execute(st::DeleteProject(id));
    record.Finish("Deletion of '" + NodeText(project, "name") + "'");
    transaction.Commit();
    record.Keep();
  } catch (const EqorChangedElsewhere&) {
    sr::PutBackProject(db, planner, project);
    throw;
  }
  std::vector<std::string> taskIds;
  for (int t = 0; t < project->ChildCount(); ++t)
    taskIds.push_back(NodeText(project->GetChild(t), "id"));
  for (TqorXMLNode2* link : qorDocumentRows::LinksOf(planner, taskIds))
    link->Parent()->DeleteChild(link);
  planner.ProjectsNode()->DeleteChild(project);
  planner.RebuildRows();
}

TqorProjectValues ProjectValuesOf(const TqorXMLNode2* project) {
  TqorProjectValues v;
  v.Name = NodeText(project, "name");
  v.Tag = NodeText(project, "tag");
  v.StartDate = NodeDate(project, "startdate");
  v.EndDate = NodeDate(project, "enddate");
  v.BudgetHours = NodeReal(project, "budgethours");
  v.ActualHours = NodeReal(project, "actualhours");
  v.BudgetCost = NodeReal(project, "budgetcost");
  v.ActualCost = NodeReal(project, "actualcost");
  v.IsCompleted = NodeFlag(project, "iscompleted");
  v.Notes = NodeText(project, "notes");
  return v;
}

bool EditProject(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* project,
                 const TqorProjectDialog& dialog, TqorEditHistory* history) {
  const TqorRowId id(NodeText(project, "id"));
  TqorProjectValues v = ProjectValuesOf(project);
  if (!dialog(project->GetAttributeInt("id"), v)) return false;

  try {
    TqorDatabaseTransaction transaction(db);
    TqorEditRecorder record(db, history);
    record.Watch(TqorPlanTable::Projects, "ProjectId=" + id.Text());
    if (db.Execute(st::UpdateProject(id, v, ProjectValuesOf(project))) == 0)
      throw EqorChangedElsewhere(sr::ProjectName(project));
    record.Finish("Edit of '" + NodeText(project, "name") + "'");
    transaction.Commit();
    record.Keep();
  } catch (const EqorChangedElsewhere&) {
    sr::PutBackProject(db, planner, project);
    throw;
  }

  project->SetAttribute("name", v.Name);
  project->SetAttribute("tag", v.Tag);
  project->SetAttribute("startdate", v.StartDate);
  project->SetAttribute("enddate", v.EndDate);
  project->SetAttribute("budgethours", v.BudgetHours);
  project->SetAttribute("actualhours", v.ActualHours);
  project->SetAttribute("budgetcost", v.BudgetCost);
  project->SetAttribute("actualcost", v.ActualCost);
  project->SetAttribute("iscompleted", v.IsCompleted);
  project->SetAttribute("notes", v.Notes);
  planner.RebuildRows();
  return true;
}

std::vector<TqorListEntry> ProjectFilterEntries(const TqorPlannerModel& planner) {
  std::vector<TqorListEntry> entries = FillProjectList(planner);
  for (TqorListEntry& entry : entries)
    entry.Checked = planner.ProjectFilter().find(FilterItem(entry.Id)) != std::string::npos;
  return entries;
}

std::string BuildProjectFilter(const std::vector<TqorListEntry>& entries) {
  std::string filter;
  for (const TqorListEntry& entry : entries) {
    if (entry.Checked) filter += FilterItem(entry.Id);
  }
  return filter;
}

void StoreProjectFilter(TqorDatabaseController& db, TqorPlannerModel& planner,
                        const std::string& filter, TqorEditHistory* history) {
  try {
    TqorDatabaseTransaction transaction(db);
    TqorEditRecorder record(db, history);
    record.Watch(TqorPlanTable::Settings, "SettingId=1");
    StoreFilterChecked(db, filter, planner.ProjectFilter());
    record.Finish("Change of the project filter");
    transaction.Commit();
    record.Keep();
  } catch (const EqorChangedElsewhere&) {
    sr::PutBackProjectFilter(db, planner);
    throw;
  }
  planner.SetProjectFilter(filter);
}

void StoreReportFormat(TqorDatabaseController& db, const std::string& shown,
                       const std::string& format, TqorEditHistory* history) {
  TqorDatabaseTransaction transaction(db);
  TqorEditRecorder record(db, history);
  record.Watch(TqorPlanTable::Settings, "SettingId=1");
  if (db.Execute(st::UpdateReportFormat(format, shown)) == 0 &&
      db.LookupInteger(st::SelectSettingsCount()) != 0)
    throw EqorChangedElsewhere(sr::kReportFormat);
  record.Finish("Report format " + format);
  transaction.Commit();
  record.Keep();
}

std::string StoredReportFormat(TqorDatabaseController& db) {
  const TqorVariant stored = db.LookupValue(st::SelectReportFormat());
  return stored.IsNull() ? std::string() : stored.ToText();
}

bool FilterProjects(TqorDatabaseController& db, TqorPlannerModel& planner,
                    const TqorProjectFilterDialog& dialog, TqorEditHistory* history) {
  std::vector<TqorListEntry> entries = ProjectFilterEntries(planner);
  if (!dialog(entries)) return false;
  StoreProjectFilter(db, planner, BuildProjectFilter(entries), history);
  return true;
}
