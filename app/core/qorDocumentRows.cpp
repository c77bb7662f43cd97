#include "app/core/qorDocumentRows.h"

#include <memory>

#include "planner/qorPlannerModel.h"

namespace {

// A row of qorPlanRows read as the record set's getters read a field.
class TPlanRowReader : public TqorRowReader {
 public:
  explicit TPlanRowReader(const TqorPlanRow& row) : row_(row) {}
  std::string Text(const char* column) override {
    const TqorVariant& v = Value(column);
    return v.IsNull() ? std::string() : v.ToText();
  }
  double Real(const char* column) override {
    const TqorVariant& v = Value(column);
    return v.IsNull() ? 0 : v.AsReal();
  }
  double Date(const char* column) override { return Real(column); }
  bool Flag(const char* column) override {
    const TqorVariant& v = Value(column);
    return v.IsNull() ? false : v.AsBoolean();
  }

 private:
  const TqorVariant& Value(const char* column) {
    static const TqorVariant null = TqorVariant::Null();
    const std::vector<std::string>& columns = qorPlanRows::Columns(row_.Table);
    for (size_t i = 0; i < columns.size() && i < row_.Values.size(); ++i)
      if (columns[i] == column) return row_.Values[i];
    return null;
  }
  const TqorPlanRow& row_;
};

int64_t IdOf(const TqorXMLNode2* node) {
  const TqorVariant* id = node->FindAttribute("id");
  double value = 0;
  return id && id->TryToReal(value) ? static_cast<int64_t>(value) : 0;
}

// Moves the last child up to the place of its id among its siblings (a load lists them by id).
void PlaceLastChild(TqorXMLNode2* parent) {
  const int last = parent->ChildCount() - 1;
  if (last <= 0) return;
  const int64_t id = IdOf(parent->GetChild(last));
  for (int i = last; i > 0 && IdOf(parent->GetChild(i - 1)) > id; --i)
    parent->ExchangeChildren(i - 1, i);
}

void AddInOrder(TqorXMLNode2* parent, std::unique_ptr<TqorXMLNode2> element) {
  parent->AddChild(std::move(element));
  PlaceLastChild(parent);
}

}  // namespace

namespace qorDocumentRows {

void SetProjectValues(TqorXMLNode2* project, TqorRowReader& row) {
  project->SetAttribute("tag", row.Text("ProjectTag"));
  project->SetAttribute("budgethours", row.Real("BudgetHours"));
  project->SetAttribute("actualhours", row.Real("ActualHours"));
  project->SetAttribute("budgetcost", row.Real("BudgetCost"));
  project->SetAttribute("actualcost", row.Real("ActualCost"));
  project->SetAttribute("iscompleted", row.Flag("IsCompleted"));
  project->SetAttribute("assignedhours", row.Real("AssignedHours"));
  project->SetAttribute("startdate", row.Date("StartDate"));
  project->SetAttribute("enddate", row.Date("EndDate"));
  project->SetAttribute("notes", row.Text("Notes"));
}

void SetTaskValues(TqorXMLNode2* task, TqorRowReader& row) {
  task->SetAttribute("iscompleted", row.Flag("IsCompleted"));
  task->SetAttribute("assignedhours", row.Real("AssignedHours"));
  task->SetAttribute("progress", row.Real("Progress"));
  task->SetAttribute("notes", row.Text("Notes"));
}

void SetResourceValues(TqorXMLNode2* resource, TqorRowReader& row) {
  resource->SetAttribute("name", row.Text("ResourceName"));
  resource->SetAttribute("initials", row.Text("Initials"));
  resource->SetAttribute("id", row.Text("ResourceId"));
  resource->SetAttribute("hoursperweek", row.Real("HoursPerWeek"));
  resource->SetAttribute("costperhour", row.Real("CostPerHour"));
  resource->SetAttribute("maxunits", row.Real("MaxUnits"));
  resource->SetAttribute("notes", row.Text("Notes"));
}

void SetAssignmentValues(TqorXMLNode2* assignment, TqorRowReader& row) {
  assignment->SetAttribute("id", row.Text("AssignmentId"));
  assignment->SetAttribute("resourceid", row.Text("ResourceId"));
  assignment->SetAttribute("units", row.Real("Units"));
}

void SetHolidayValues(TqorXMLNode2* holiday, TqorRowReader& row) {
  holiday->SetAttribute("id", row.Text("HolidayId"));
  holiday->SetAttribute("resourceid", row.Text("ResourceId"));
  holiday->SetAttribute("startdate", row.Date("StartDate"));
  holiday->SetAttribute("enddate", row.Date("EndDate"));
}

void SetLinkValues(TqorXMLNode2* link, TqorRowReader& row) {
  std::string type = row.Text("LinkType");
  for (char& c : type)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  link->SetAttribute("id", row.Text("LinkId"));
  link->SetAttribute("predecessorid", row.Text("PredecessorId"));
  link->SetAttribute("successorid", row.Text("SuccessorId"));
  link->SetAttribute("type", type);
  link->SetAttribute("lag", row.Real("LagDays"));
}

TqorXMLNode2* LinksNode(TqorPlannerModel& planner, bool create) {
  TqorXMLParser2& document = planner.Document();
  if (TqorXMLNode2* links = document.GetNodeById("links", "links")) return links;
  if (!create) return nullptr;
  TqorXMLNode2* holidays = planner.HolidaysNode();
  TqorXMLNode2* root = holidays ? holidays->Parent() : nullptr;
  if (!root) return nullptr;
  auto links = std::make_unique<TqorXMLNode2>("links");
  links->SetAttribute("id", "links");
  return root->AddChild(std::move(links));
}

std::vector<TqorXMLNode2*> LinksOf(TqorPlannerModel& planner,
                                   const std::vector<std::string>& taskIds) {
  std::vector<TqorXMLNode2*> found;
  TqorXMLNode2* links = LinksNode(planner, false);
  for (int i = 0; links && i < links->ChildCount(); ++i) {
    TqorXMLNode2* link = links->GetChild(i);
    const std::string from = link->GetAttributeStr("predecessorid");
    const std::string to = link->GetAttributeStr("successorid");
    for (const std::string& id : taskIds)
      if (from == id || to == id) {
        found.push_back(link);
        break;
      }
  }
  return found;
}

void ShowRows(TqorPlannerModel& planner, const std::vector<TqorShownRow>& rows) {
  TqorXMLParser2& document = planner.Document();
  auto find = [&](const char* element, int32_t id) {
    return document.GetNodeById(element, std::to_string(id));
  };
  auto ofTable = [&](TqorPlanTable table, bool present, auto&& apply) {
    for (const TqorShownRow& shown : rows)
      if (shown.Table == table && shown.Row.has_value() == present) apply(shown);
  };

  // What is gone, the parts before what they belong to.
  ofTable(TqorPlanTable::TaskLinks, false, [&](const TqorShownRow& r) {
    if (TqorXMLNode2* e = find("link", r.Id)) e->Parent()->DeleteChild(e);
  });
  ofTable(TqorPlanTable::Assignments, false, [&](const TqorShownRow& r) {
    if (TqorXMLNode2* e = find("assignment", r.Id)) e->Parent()->DeleteChild(e);
  });
  ofTable(TqorPlanTable::Holidays, false, [&](const TqorShownRow& r) {
    if (TqorXMLNode2* e = find("holiday", r.Id)) e->Parent()->DeleteChild(e);
  });
  ofTable(TqorPlanTable::Tasks, false,
          [&](const TqorShownRow& r) { planner.DeleteTask(std::to_string(r.Id)); });
  ofTable(TqorPlanTable::Resources, false, [&](const TqorShownRow& r) {
    if (TqorXMLNode2* e = find("resource", r.Id)) e->Parent()->DeleteChild(e);
  });
  ofTable(TqorPlanTable::Projects, false, [&](const TqorShownRow& r) {
    if (TqorXMLNode2* e = find("project", r.Id)) e->Parent()->DeleteChild(e);
  });

  // What is there, what things belong to first.
  ofTable(TqorPlanTable::Projects, true, [&](const TqorShownRow& r) {
    TPlanRowReader row(*r.Row);
    TqorXMLNode2* project = find("project", r.Id);
    if (project) {
      project->SetAttribute("name", row.Text("ProjectName"));
    } else {
      project = planner.AddProject(row.Text("ProjectId"), row.Text("ProjectName"));
      PlaceLastChild(project->Parent());
    }
    SetProjectValues(project, row);
  });
  ofTable(TqorPlanTable::Tasks, true, [&](const TqorShownRow& r) {
    TPlanRowReader row(*r.Row);
    TqorXMLNode2* task = find("task", r.Id);
    if (task && task->Parent()->GetAttributeStr("id") != row.Text("ProjectId")) {
      planner.DeleteTask(std::to_string(r.Id));
      task = nullptr;
    }
    if (task) {
      task->SetAttribute("name", row.Text("TaskName"));
      task->SetAttribute("startdate", row.Date("StartDate"));
      task->SetAttribute("enddate", row.Date("EndDate"));
      task->SetAttribute("ismilestone", row.Flag("IsMileStone"));
    } else {
      task = planner.AddTask(row.Text("ProjectId"), row.Text("TaskId"), row.Text("TaskName"),
                             row.Date("StartDate"), row.Date("EndDate"), row.Flag("IsMileStone"));
      if (!task) return;  // its project is not in the plan
    }
    SetTaskValues(task, row);
  });
  ofTable(TqorPlanTable::Resources, true, [&](const TqorShownRow& r) {
    TPlanRowReader row(*r.Row);
    if (TqorXMLNode2* resource = find("resource", r.Id)) return SetResourceValues(resource, row);
    auto resource = std::make_unique<TqorXMLNode2>("resource");
    SetResourceValues(resource.get(), row);
    AddInOrder(planner.ResourcesNode(), std::move(resource));
  });
  ofTable(TqorPlanTable::Assignments, true, [&](const TqorShownRow& r) {
    TPlanRowReader row(*r.Row);
    TqorXMLNode2* assignment = find("assignment", r.Id);
    if (assignment && assignment->Parent()->GetAttributeStr("id") != row.Text("TaskId")) {
      assignment->Parent()->DeleteChild(assignment);
      assignment = nullptr;
    }
    if (assignment) return SetAssignmentValues(assignment, row);
    TqorXMLNode2* task = document.GetNodeById("task", row.Text("TaskId"));
    if (!task) return;  // its task is not in the plan
    auto added = std::make_unique<TqorXMLNode2>("assignment");
    SetAssignmentValues(added.get(), row);
    AddInOrder(task, std::move(added));
  });
  ofTable(TqorPlanTable::Holidays, true, [&](const TqorShownRow& r) {
    TPlanRowReader row(*r.Row);
    if (TqorXMLNode2* holiday = find("holiday", r.Id)) return SetHolidayValues(holiday, row);
    auto holiday = std::make_unique<TqorXMLNode2>("holiday");
    SetHolidayValues(holiday.get(), row);
    AddInOrder(planner.HolidaysNode(), std::move(holiday));
  });
  ofTable(TqorPlanTable::TaskLinks, true, [&](const TqorShownRow& r) {
    TPlanRowReader row(*r.Row);
    if (TqorXMLNode2* link = find("link", r.Id)) return SetLinkValues(link, row);
    if (!document.GetNodeById("task", row.Text("PredecessorId")) ||
        !document.GetNodeById("task", row.Text("SuccessorId")))
      return;  // a task of it is not in the plan
    auto link = std::make_unique<TqorXMLNode2>("link");
    SetLinkValues(link.get(), row);
    AddInOrder(LinksNode(planner, true), std::move(link));
  });
  planner.SortTasks();
  bool filterSet = false;
  ofTable(TqorPlanTable::Settings, true, [&](const TqorShownRow& r) {
    TPlanRowReader row(*r.Row);
    if (r.Id != 1) return;
    planner.SetProjectFilter(row.Text("ProjectFilter"));  // rebuilds the rows
    filterSet = true;
  });
  if (!filterSet) planner.RebuildRows();
}

}  // namespace qorDocumentRows
