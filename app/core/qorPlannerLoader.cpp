#include "app/core/qorPlannerLoader.h"

#include <memory>

#include "app/core/qorPlannerStatements.h"
#include "db/access/qorDatabaseController.h"
#include "planner/qorPlannerModel.h"

namespace {

// One step's record set, handed back to the controller however the step ends.
class TRows {
 public:
  TRows(TqorDatabaseController& controller, const std::string& statement)
      : c_(controller), set_(controller.OpenRecordSet(statement)) {}
  ~TRows() {
    try {
      c_.CloseRecordSet(set_);
    } catch (...) {
      // Closing only frees the rows read into memory; nothing is lost.
    }
  }
  TRows(const TRows&) = delete;
  TRows& operator=(const TRows&) = delete;

  bool Eof() { return c_.Eof(set_); }
  void Next() {
    c_.Next(set_);
    ++read_;
  }
  // The rows walked past with Next.
  size_t Read() const { return read_; }
  std::string Text(const char* field) { return c_.GetString(set_, field); }
  double Real(const char* field) { return c_.GetFloat(set_, field); }
  double Date(const char* field) { return c_.GetDate(set_, field); }
  bool Flag(const char* field) { return c_.GetBoolean(set_, field); }

 private:
  TqorDatabaseController& c_;
  TqorDatabaseRecordSet* set_;
  size_t read_ = 0;
};

std::unique_ptr<TqorXMLNode2> NewElement(const char* name) {
  return std::make_unique<TqorXMLNode2>(name);
}

std::string UpperAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

}  // namespace

size_t LoadProjects(TqorDatabaseController& controller, TqorPlannerModel& planner) {
  TRows rows(controller, qorStatements::SelectProjects());
  for (; !rows.Eof(); rows.Next()) {
    TqorXMLNode2* project = planner.AddProject(rows.Text("ProjectId"), rows.Text("ProjectName"));
    project->SetAttribute("tag", rows.Text("ProjectTag"));
    project->SetAttribute("budgethours", rows.Real("BudgetHours"));
    project->SetAttribute("actualhours", rows.Real("ActualHours"));
    project->SetAttribute("budgetcost", rows.Real("BudgetCost"));
    project->SetAttribute("actualcost", rows.Real("ActualCost"));
    project->SetAttribute("iscompleted", rows.Flag("IsCompleted"));
    project->SetAttribute("assignedhours", rows.Real("AssignedHours"));
    project->SetAttribute("startdate", rows.Date("StartDate"));
    project->SetAttribute("enddate", rows.Date("EndDate"));
    project->SetAttribute("notes", rows.Text("Notes"));
  }
  return rows.Read();
}

size_t LoadTasks(TqorDatabaseController& controller, TqorPlannerModel& planner) {
  size_t read = 0;
  {
    TRows rows(controller, qorStatements::SelectTasks());
    for (; !rows.Eof(); rows.Next()) {
      const bool isCompleted = rows.Flag("IsCompleted");
      TqorXMLNode2* task =
          planner.AddTask(rows.Text("ProjectId"), rows.Text("TaskId"), rows.Text("TaskName"),
                          rows.Date("StartDate"), rows.Date("EndDate"), rows.Flag("IsMileStone"));
      if (!task) continue;  // its project is not in the plan
      task->SetAttribute("iscompleted", isCompleted);
      task->SetAttribute("assignedhours", rows.Real("AssignedHours"));
      task->SetAttribute("progress", rows.Real("Progress"));
      task->SetAttribute("notes", rows.Text("Notes"));
    }
    read = rows.Read();
  }
  planner.SortTasks();
  planner.RebuildRows();
  return read;
}

size_t LoadResources(TqorDatabaseController& controller, TqorPlannerModel& planner) {
  TRows rows(controller, qorStatements::SelectResources());
  for (; !rows.Eof(); rows.Next()) {
    auto resource = NewElement("resource");
    resource->SetAttribute("name", rows.Text("ResourceName"));
    resource->SetAttribute("initials", rows.Text("Initials"));
    resource->SetAttribute("id", rows.Text("ResourceId"));
    resource->SetAttribute("hoursperweek", rows.Real("HoursPerWeek"));
    resource->SetAttribute("costperhour", rows.Real("CostPerHour"));
    resource->SetAttribute("maxunits", rows.Real("MaxUnits"));
    resource->SetAttribute("notes", rows.Text("Notes"));
    planner.ResourcesNode()->AddChild(std::move(resource));
  }
  return rows.Read();
}

size_t LoadAssignments(TqorDatabaseController& controller, TqorPlannerModel& planner) {
  TRows rows(controller, qorStatements::SelectAssignments());
  for (; !rows.Eof(); rows.Next()) {
    TqorXMLNode2* task = planner.Document().GetNodeById("task", rows.Text("TaskId"));
    if (!task) continue;  // its task is not in the plan
    auto assignment = NewElement("assignment");
    assignment->SetAttribute("id", rows.Text("AssignmentId"));
    assignment->SetAttribute("resourceid", rows.Text("ResourceId"));
    assignment->SetAttribute("units", rows.Real("Units"));
    task->AddChild(std::move(assignment));
  }
  return rows.Read();
}

size_t LoadHolidays(TqorDatabaseController& controller, TqorPlannerModel& planner) {
  TRows rows(controller, qorStatements::SelectHolidays());
  for (; !rows.Eof(); rows.Next()) {
    auto holiday = NewElement("holiday");
    holiday->SetAttribute("id", rows.Text("HolidayId"));
    holiday->SetAttribute("resourceid", rows.Text("ResourceId"));
    holiday->SetAttribute("startdate", rows.Date("StartDate"));
    holiday->SetAttribute("enddate", rows.Date("EndDate"));
    planner.HolidaysNode()->AddChild(std::move(holiday));
  }
  return rows.Read();
}

TqorPlannerSettings LoadSettings(TqorDatabaseController& controller, TqorPlannerModel& planner) {
  TqorPlannerSettings settings;
  {
    TRows rows(controller, qorStatements::SelectSettings());
    if (!rows.Eof()) {
      settings.ProjectFilter = rows.Text("ProjectFilter");
      settings.ReportFormat = UpperAscii(rows.Text("ReportFormat"));
    }
  }
  planner.SetProjectFilter(settings.ProjectFilter);
  return settings;
}

TqorPlannerSettings LoadPlanner(TqorDatabaseController& controller, TqorPlannerModel& planner) {
  LoadProjects(controller, planner);
  LoadTasks(controller, planner);
  LoadResources(controller, planner);
  LoadAssignments(controller, planner);
  LoadHolidays(controller, planner);
  return LoadSettings(controller, planner);
}
