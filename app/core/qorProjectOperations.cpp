#include "app/core/qorProjectOperations.h"

#include <memory>

#include "app/core/qorNodeValues.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;

namespace {

std::string FilterItem(std::string_view id) {
  std::string item = "[";
  item.append(id).append("]");
  return item;
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
                            std::string_view name) {
  auto project = std::make_unique<TqorXMLNode2>("project");
  project->SetAttribute("name", name);
  project->SetAttribute("tag", "");
  const double today = planner.Today();

  std::string id;
  std::string filter;
  {
    TqorDatabaseTransaction transaction(db);
    db.Execute(st::InsertProject(name, today));
    id = std::to_string(st::NewProjectId(db));
    filter = planner.ProjectFilter() + FilterItem(id);
    db.Execute(st::UpdateProjectFilter(filter));
    transaction.Commit();
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

void DeleteProject(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* project) {
  const TqorRowId id(NodeText(project, "id"));
  {
    TqorDatabaseTransaction transaction(db);
    db.Execute(st::DeleteProjectAssignments(id));
    db.Execute(st::DeleteProjectTasks(id));
    db.Execute(st::DeleteProject(id));
    transaction.Commit();
  }
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
                 const TqorProjectDialog& dialog) {
  const TqorRowId id(NodeText(project, "id"));
  TqorProjectValues v = ProjectValuesOf(project);
  if (!dialog(project->GetAttributeInt("id"), v)) return false;

  db.Execute(st::UpdateProject(id, v));

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
                        const std::string& filter) {
  db.Execute(st::UpdateProjectFilter(filter));
  planner.SetProjectFilter(filter);
}

bool FilterProjects(TqorDatabaseController& db, TqorPlannerModel& planner,
                    const TqorProjectFilterDialog& dialog) {
  std::vector<TqorListEntry> entries = ProjectFilterEntries(planner);
  if (!dialog(entries)) return false;
  StoreProjectFilter(db, planner, BuildProjectFilter(entries));
  return true;
}
