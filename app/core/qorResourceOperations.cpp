#include "app/core/qorResourceOperations.h"

#include <memory>
#include <string>

#include "app/core/qorChangedElsewhere.h"
#include "app/core/qorEditRecorder.h"
#include "app/core/qorNodeValues.h"
#include "app/core/qorStoredRows.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;
namespace sr = qorStoredRows;

namespace {

// The children of parent whose "resourceid" is id.
std::vector<TqorXMLNode2*> ChildrenOfResource(TqorXMLNode2* parent, const std::string& id) {
  std::vector<TqorXMLNode2*> found;
  for (int i = 0; parent && i < parent->ChildCount(); ++i) {
    TqorXMLNode2* child = parent->GetChild(i);
    if (NodeText(child, "resourceid") == id) found.push_back(child);
  }
  return found;
}

}  // namespace

std::vector<TqorListEntry> FillResourceList(const TqorPlannerModel& planner) {
  std::vector<TqorListEntry> entries;
  const TqorXMLNode2* resources = planner.ResourcesNode();
  for (int i = 0; resources && i < resources->ChildCount(); ++i) {
    const TqorXMLNode2* resource = resources->GetChild(i);
    entries.push_back({NodeText(resource, "name"), NodeText(resource, "id")});
  }
  return entries;
}

TqorXMLNode2* CreateResource(TqorDatabaseController& db, TqorPlannerModel& planner,
                             std::string_view name, TqorEditHistory* history) {
  const TqorVariant zero(int32_t{0});
  auto resource = std::make_unique<TqorXMLNode2>("resource");
  resource->SetAttribute("name", name);
  resource->SetAttribute("initials", "NN");
  // The id in its place as a load puts it, so that the document exports as the next start does.
  resource->SetAttribute("id", "");
  resource->SetAttribute("hoursperweek", zero);
  resource->SetAttribute("costperhour", zero);
  resource->SetAttribute("maxunits", int32_t{100});
  resource->SetAttribute("notes", "");

  std::string id;
  {
    TqorDatabaseTransaction transaction(db);
    TqorEditRecorder record(db, history);
    db.Execute(st::InsertResource(name));
    id = std::to_string(st::NewResourceId(db));
    record.Added(TqorPlanTable::Resources, "ResourceId=" + id);
    record.Finish("New resource '" + std::string(name) + "'");
    transaction.Commit();
    record.Keep();
  }
  resource->SetAttribute("id", id);
  return planner.ResourcesNode()->AddChild(std::move(resource));
}

void DeleteResource(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* resource,
                    TqorEditHistory* history) {
  const std::string idText = NodeText(resource, "id");
  const TqorRowId id(idText);
  const std::string row = sr::ResourceName(resource);
  try {
    TqorDatabaseTransaction transaction(db);
    // The resource, its assignments and its holidays as shown; none the window does not show.
    if (db.Execute(st::CheckResource(id, ResourceValuesOf(resource))) == 0)
      throw EqorChangedElsewhere(row);
    int shownAssignments = 0, shownHolidays = 0;
    TqorXMLNode2* projects = planner.ProjectsNode();
    for (int p = 0; projects && p < projects->ChildCount(); ++p) {
      TqorXMLNode2* project = projects->GetChild(p);
      for (int t = 0; t < project->ChildCount(); ++t) {
        TqorXMLNode2* task = project->GetChild(t);
        const std::string taskId = NodeText(task, "id");
        for (TqorXMLNode2* assignment : ChildrenOfResource(task, idText)) {
          if (db.Execute(st::CheckAssignment(NodeText(assignment, "id"), taskId, id,
                                             NodeReal(assignment, "units"))) == 0)
            throw EqorChangedElsewhere(sr::AssignmentName(planner, idText, taskId));
          ++shownAssignments;
        }
      }
    }
    for (TqorXMLNode2* holiday : ChildrenOfResource(planner.HolidaysNode(), idText)) {
      const double start = NodeDate(holiday, "startdate"), end = NodeDate(holiday, "enddate");
      if (db.Execute(st::CheckHoliday(NodeText(holiday, "id"), id, start, end)) == 0)
        throw EqorChangedElsewhere(sr::HolidayName(planner, idText, start, end));
      ++shownHolidays;
    }
    // Another program's assignments or holidays would go unseen.
    if (db.LookupInteger(st::SelectResourceAssignmentCount(id)) != shownAssignments ||
        db.LookupInteger(st::SelectResourceHolidayTotal(id)) != shownHolidays)
      throw EqorChangedElsewhere(row);
    TqorEditRecorder record(db, history);
    record.Watch(TqorPlanTable::Resources, "ResourceId=" + idText);
    record.Watch(TqorPlanTable::Assignments, "ResourceId=" + idText);
    record.Watch(TqorPlanTable::Holidays, "ResourceId=" + idText);
    db.Execute(st::DeleteResourceAssignments(id));
    db.Execute(st::DeleteResourceHolidays(id));
    db.Execute(st::DeleteResource(id));
    record.Finish("Deletion of '" + NodeText(resource, "name") + "'");
    transaction.Commit();
    record.Keep();
  } catch (const EqorChangedElsewhere&) {
    sr::PutBackResource(db, planner, resource);
    throw;
  }
  // The document drops what the database dropped, so that the export and the next start agree.
  TqorXMLNode2* projects = planner.ProjectsNode();
  for (int p = 0; projects && p < projects->ChildCount(); ++p) {
    TqorXMLNode2* project = projects->GetChild(p);
    for (int t = 0; t < project->ChildCount(); ++t) {
      TqorXMLNode2* task = project->GetChild(t);
      for (TqorXMLNode2* assignment : ChildrenOfResource(task, idText))
        task->DeleteChild(assignment);
    }
  }
  for (TqorXMLNode2* holiday : ChildrenOfResource(planner.HolidaysNode(), idText))
    planner.HolidaysNode()->DeleteChild(holiday);
  planner.ResourcesNode()->DeleteChild(resource);
  planner.RebuildRows();
}

TqorResourceValues ResourceValuesOf(const TqorXMLNode2* resource) {
  TqorResourceValues v;
  v.Name = NodeText(resource, "name");
  v.Initials = NodeText(resource, "initials");
  v.HoursPerWeek = NodeReal(resource, "hoursperweek");
  v.CostPerHour = NodeReal(resource, "costperhour");
  v.MaxUnits = NodeReal(resource, "maxunits");
  v.Notes = NodeText(resource, "notes");
  return v;
}

bool EditResource(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* resource,
                  const TqorResourceDialog& dialog, TqorEditHistory* history) {
  const TqorRowId id(NodeText(resource, "id"));
  TqorResourceValues v = ResourceValuesOf(resource);
  if (!dialog(resource->GetAttributeInt("id"), v)) return false;

  try {
    TqorDatabaseTransaction transaction(db);
    TqorEditRecorder record(db, history);
    record.Watch(TqorPlanTable::Resources, "ResourceId=" + id.Text());
    if (db.Execute(st::UpdateResource(id, v, ResourceValuesOf(resource))) == 0)
      throw EqorChangedElsewhere(sr::ResourceName(resource));
    record.Finish("Edit of '" + NodeText(resource, "name") + "'");
    transaction.Commit();
    record.Keep();
  } catch (const EqorChangedElsewhere&) {
    sr::PutBackResource(db, planner, resource);
    throw;
  }

  resource->SetAttribute("name", v.Name);
  resource->SetAttribute("initials", v.Initials);
  resource->SetAttribute("costperhour", v.CostPerHour);
  resource->SetAttribute("hoursperweek", v.HoursPerWeek);
  resource->SetAttribute("maxunits", v.MaxUnits);
  resource->SetAttribute("notes", v.Notes);
  // The grid shows the initials with the tasks.
  planner.RebuildRows();
  return true;
}
