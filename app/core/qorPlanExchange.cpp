#include "app/core/qorPlanExchange.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

#include "app/core/qorDocumentRows.h"
#include "app/core/qorEditRecorder.h"
#include "app/core/qorPlanRows.h"
#include "app/core/qorPlanSchedule.h"
#include "app/core/qorPlanUpgrade.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorTextColumns.h"
#include "app/core/qorWorkflowError.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;
namespace pr = qorPlanRows;

namespace {

double Real(const TqorXMLNode2* node, const char* name) {
  const TqorVariant* value = node->FindAttribute(name);
  double real = 0;
  return value && value->TryToReal(real) ? real : 0;
}

int32_t Day(const TqorXMLNode2* node, const char* name) {
  return static_cast<int32_t>(std::floor(Real(node, name)));
}

bool Flag(const TqorXMLNode2* node, const char* name) {
  const TqorVariant* value = node->FindAttribute(name);
  bool flag = false;
  return value && value->TryToBool(flag) && flag;
}

int32_t Id(const TqorXMLNode2* node, const char* name = "id") {
  const TqorVariant* value = node->FindAttribute(name);
  int32_t id = 0;
  return value && value->TryToInt(id) ? id : 0;
}

TqorVariant DateValue(int32_t day) {
  return TqorVariant::FromDate(static_cast<double>(day));
}

// A text that must fit its column, checked before anything is stored.
void CheckFits(const char* what, const std::string& name, const char* field,
               const std::string& text, size_t bytes) {
  if (text.size() <= bytes) return;
  throw EqorWorkflowError("The " + std::string(what) + " '" + name.substr(0, 60) +
                          (name.size() > 60 ? "..." : "") + "' has a " + field + " of " +
                          std::to_string(text.size()) + " bytes, and at most " +
                          std::to_string(bytes) + " fit: nothing was imported.");
}

}  // namespace

std::string StoredPlanId(TqorDatabaseController& db) {
  if (StoredPlanVersion(db) < 3) return {};
  const TqorVariant id = db.LookupValue("SELECT PlanId FROM PlanIdentity");
  return id.IsNull() ? std::string() : id.ToText();
}

TqorExchangePlan ExchangePlanOf(TqorPlannerModel& planner, std::string name) {
  TqorExchangePlan plan;
  plan.Name = std::move(name);
  const TqorXMLNode2* projects = planner.ProjectsNode();
  for (int p = 0; projects && p < projects->ChildCount(); ++p) {
    const TqorXMLNode2* project = projects->GetChild(p);
    plan.Projects.push_back(
        {Id(project), project->GetAttributeStr("name"), project->GetAttributeStr("tag"),
         Day(project, "startdate"), Day(project, "enddate"), Real(project, "budgethours"),
         Real(project, "actualhours"), Real(project, "budgetcost"), Real(project, "actualcost"),
         Flag(project, "iscompleted"), project->GetAttributeStr("notes")});
    for (int t = 0; t < project->ChildCount(); ++t) {
      const TqorXMLNode2* task = project->GetChild(t);
      plan.Tasks.push_back({Id(task), Id(project), task->GetAttributeStr("name"),
                            Day(task, "startdate"), Day(task, "enddate"), Flag(task, "ismilestone"),
                            Flag(task, "iscompleted"), Real(task, "progress"),
                            task->GetAttributeStr("notes")});
      for (int a = 0; a < task->ChildCount(); ++a) {
        const TqorXMLNode2* assignment = task->GetChild(a);
        plan.Assignments.push_back(
            {Id(assignment), Id(task), Id(assignment, "resourceid"), Real(assignment, "units")});
      }
    }
  }
  const TqorXMLNode2* resources = planner.ResourcesNode();
  for (int r = 0; resources && r < resources->ChildCount(); ++r) {
    const TqorXMLNode2* resource = resources->GetChild(r);
    plan.Resources.push_back({Id(resource), resource->GetAttributeStr("name"),
                              resource->GetAttributeStr("initials"), Real(resource, "hoursperweek"),
                              Real(resource, "costperhour"), Real(resource, "maxunits"),
                              resource->GetAttributeStr("notes")});
  }
  const TqorXMLNode2* holidays = planner.HolidaysNode();
  for (int h = 0; holidays && h < holidays->ChildCount(); ++h) {
    const TqorXMLNode2* holiday = holidays->GetChild(h);
    plan.Holidays.push_back({Id(holiday), Id(holiday, "resourceid"), Day(holiday, "startdate"),
                             Day(holiday, "enddate")});
  }
  if (const TqorXMLNode2* links = planner.LinksNode()) {
    for (int i = 0; i < links->ChildCount(); ++i) {
      const TqorXMLNode2* link = links->GetChild(i);
      plan.Links.push_back({Id(link), Id(link, "predecessorid"), Id(link, "successorid"),
                            qorPlanSchedule::LinkTypeOf(link),
                            static_cast<int32_t>(std::lround(Real(link, "lag")))});
    }
  }
  // In the order of the plan's keys, which an import keeps.
  auto byId = [](auto& rows) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.Id < b.Id; });
  };
  byId(plan.Projects);
  byId(plan.Tasks);
  byId(plan.Resources);
  byId(plan.Assignments);
  byId(plan.Holidays);
  byId(plan.Links);
  return plan;
}

TqorImportCounts StoreImportedPlan(TqorDatabaseController& db, const TqorExchangePlan& plan,
                                   TqorEditHistory* history) {
  for (const TqorExchangeProject& p : plan.Projects) {
    CheckFits("project", p.Name, "name", p.Name, kProjectNameBytes);
    CheckFits("project", p.Name, "tag", p.Tag, kProjectTagBytes);
  }
  for (const TqorExchangeTask& t : plan.Tasks)
    CheckFits("task", t.Name, "name", t.Name, kTaskNameBytes);
  for (const TqorExchangeResource& r : plan.Resources) {
    CheckFits("resource", r.Name, "name", r.Name, kResourceNameBytes);
    CheckFits("resource", r.Name, "initials", r.Initials, kInitialsBytes);
  }

  TqorImportCounts counts;
  TqorDatabaseTransaction transaction(db);
  TqorEditRecorder record(db, history);
  record.Watch(TqorPlanTable::Settings, "SettingId=1");
  const int32_t firstProject = st::NewProjectId(db) + 1;
  const int32_t firstTask = st::NewTaskId(db) + 1;
  const int32_t firstResource = st::NewResourceId(db) + 1;
  const int32_t firstAssignment = st::NewAssignmentId(db) + 1;
  const int32_t firstHoliday = st::NewHolidayId(db) + 1;
  const int32_t firstLink = st::NewLinkId(db) + 1;

  // The resources: those the plan has by name, the others new.
  std::unordered_map<std::string, std::pair<int32_t, double>> byName;  // id, hours per week
  for (const TqorPlanRow& row : pr::Read(db, TqorPlanTable::Resources, ""))
    byName.emplace(row.Values[1].ToText(),
                   std::make_pair(row.Id, row.Values[3].IsNull() ? 0.0 : row.Values[3].AsReal()));
  std::unordered_map<int32_t, int32_t> resourceId;
  std::unordered_map<int32_t, double> hoursPerWeek;
  int32_t nextResource = firstResource;
  for (const TqorExchangeResource& r : plan.Resources) {
    ++counts.Resources;
    if (auto it = byName.find(r.Name); it != byName.end()) {
      resourceId[r.Id] = it->second.first;
      hoursPerWeek[r.Id] = it->second.second;
      continue;
    }
    const int32_t id = nextResource++;
    db.Execute(pr::Insert({TqorPlanTable::Resources,
                           id,
                           {TqorVariant(id), TqorVariant(r.Name), TqorVariant(r.Initials),
                            TqorVariant(r.HoursPerWeek), TqorVariant(r.CostPerHour),
                            TqorVariant(r.MaxUnits), TqorVariant(r.Notes)}}));
    byName.emplace(r.Name, std::make_pair(id, r.HoursPerWeek));
    resourceId[r.Id] = id;
    hoursPerWeek[r.Id] = r.HoursPerWeek;
    ++counts.NewResources;
  }

  // The tasks' hours from their assignments, and the projects' from their tasks.
  std::unordered_map<int32_t, const TqorExchangeTask*> taskOf;
  for (const TqorExchangeTask& t : plan.Tasks) taskOf[t.Id] = &t;
  std::unordered_map<int32_t, double> taskHours, projectHours;
  for (const TqorExchangeAssignment& a : plan.Assignments) {
    const auto task = taskOf.find(a.TaskId);
    const auto hours = hoursPerWeek.find(a.ResourceId);
    if (task == taskOf.end() || hours == hoursPerWeek.end())
      throw EqorWorkflowError("An assignment names a task or resource the import lacks.");
    const double days = task->second->End - task->second->Start + 1;
    taskHours[a.TaskId] += days * (hours->second / 7) * a.Units / 100;
  }
  for (const TqorExchangeTask& t : plan.Tasks)
    projectHours[t.ProjectId] += st::StoredNumber(taskHours[t.Id]);

  std::unordered_map<int32_t, int32_t> projectId, taskId;
  int32_t next = firstProject;
  std::string added;
  for (const TqorExchangeProject& p : plan.Projects) {
    const int32_t id = next++;
    projectId[p.Id] = id;
    added += "[" + std::to_string(id) + "]";
    db.Execute(
        pr::Insert({TqorPlanTable::Projects,
                    id,
                    {TqorVariant(id), TqorVariant(p.Name), TqorVariant(p.Tag), DateValue(p.Start),
                     DateValue(p.End), TqorVariant(p.BudgetHours), TqorVariant(p.ActualHours),
                     TqorVariant(p.BudgetCost), TqorVariant(p.ActualCost), TqorVariant(p.Completed),
                     TqorVariant(st::StoredNumber(projectHours[p.Id])), TqorVariant(p.Notes)}}));
    ++counts.Projects;
  }
  next = firstTask;
  for (const TqorExchangeTask& t : plan.Tasks) {
    const auto project = projectId.find(t.ProjectId);
    if (project == projectId.end())
      throw EqorWorkflowError("The task '" + t.Name + "' names a project the import lacks.");
    const int32_t id = next++;
    taskId[t.Id] = id;
    db.Execute(pr::Insert(
        {TqorPlanTable::Tasks,
         id,
         {TqorVariant(id), TqorVariant(t.Name), DateValue(t.Start),
          DateValue(std::max(t.Start, t.End)), TqorVariant(t.Milestone), TqorVariant(t.Completed),
          TqorVariant(st::StoredNumber(taskHours[t.Id])), TqorVariant(t.Progress),
          TqorVariant(t.Notes), TqorVariant(project->second)}}));
    ++counts.Tasks;
  }
  next = firstAssignment;
  for (const TqorExchangeAssignment& a : plan.Assignments) {
    const int32_t id = next++;
    db.Execute(pr::Insert({TqorPlanTable::Assignments,
                           id,
                           {TqorVariant(id), TqorVariant(taskId.at(a.TaskId)),
                            TqorVariant(resourceId.at(a.ResourceId)), TqorVariant(a.Units)}}));
    ++counts.Assignments;
  }
  next = firstHoliday;
  for (const TqorExchangeHoliday& h : plan.Holidays) {
    const auto resource = resourceId.find(h.ResourceId);
    if (resource == resourceId.end())
      throw EqorWorkflowError("A holiday names a resource the import lacks.");
    const int32_t id = next++;
    db.Execute(pr::Insert({TqorPlanTable::Holidays,
                           id,
                           {TqorVariant(id), TqorVariant(resource->second), DateValue(h.Start),
                            DateValue(std::max(h.Start, h.End))}}));
    ++counts.Holidays;
  }
  next = firstLink;
  for (const TqorExchangeLink& l : plan.Links) {
    const auto from = taskId.find(l.PredecessorId), to = taskId.find(l.SuccessorId);
    if (from == taskId.end() || to == taskId.end())
      throw EqorWorkflowError("A link names a task the import lacks.");
    const int32_t id = next++;
    db.Execute(pr::Insert({TqorPlanTable::TaskLinks,
                           id,
                           {TqorVariant(id), TqorVariant(from->second), TqorVariant(to->second),
                            TqorVariant(std::string(LinkTypeText(l.Type))),
                            TqorVariant(static_cast<double>(l.Lag))}}));
    ++counts.Links;
  }
  // The new projects are shown at once.
  const TqorVariant filter = db.LookupValue(st::SelectProjectFilter());
  db.Execute(st::UpdateProjectFilter((filter.IsNull() ? std::string() : filter.ToText()) + added));

  if (record.Recording()) {
    record.Added(TqorPlanTable::Projects, "ProjectId>=" + std::to_string(firstProject));
    record.Added(TqorPlanTable::Tasks, "TaskId>=" + std::to_string(firstTask));
    record.Added(TqorPlanTable::Resources, "ResourceId>=" + std::to_string(firstResource));
    record.Added(TqorPlanTable::Assignments, "AssignmentId>=" + std::to_string(firstAssignment));
    record.Added(TqorPlanTable::Holidays, "HolidayId>=" + std::to_string(firstHoliday));
    record.Added(TqorPlanTable::TaskLinks, "LinkId>=" + std::to_string(firstLink));
    record.Finish("Import of " +
                  (plan.Name.empty() ? std::string("a plan") : "'" + plan.Name + "'"));
  }
  transaction.Commit();
  record.Keep();
  return counts;
}

std::string ImportedText(const TqorImportCounts& c) {
  auto n = [](int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
  };
  return "Imported " + n(c.Projects, "project", "projects") + " with " +
         n(c.Tasks, "task", "tasks") + ", " + n(c.Resources, "resource", "resources") + " (" +
         std::to_string(c.NewResources) + " new), " +
         n(c.Assignments, "assignment", "assignments") + ", " +
         n(c.Holidays, "holiday", "holidays") + " and " + n(c.Links, "link", "links") + ".";
}
