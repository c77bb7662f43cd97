#include "app/core/qorPlannerLoader.h"

#include <memory>

#include "app/core/qorDocumentRows.h"
#include "app/core/qorPlanUpgrade.h"
#include "app/core/qorPlannerStatements.h"
#include "db/access/qorDatabaseController.h"
#include "planner/qorPlannerModel.h"

namespace {

namespace dr = qorDocumentRows;

// One step's record set, handed back to the controller however the step ends.
class TRows : public TqorRowReader {
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
  std::string Text(const char* field) override { return c_.GetString(set_, field); }
  double Real(const char* field) override { return c_.GetFloat(set_, field); }
  double Date(const char* field) override { return c_.GetDate(set_, field); }
  bool Flag(const char* field) override { return c_.GetBoolean(set_, field); }

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
    dr::SetProjectValues(project, rows);
  }
  return rows.Read();
}

size_t LoadTasks(TqorDatabaseController& controller, TqorPlannerModel& planner) {
  size_t read = 0;
  {
    TRows rows(controller, qorStatements::SelectTasks());
    for (; !rows.Eof(); rows.Next()) {
      // Read first: a flag that does not convert adds no task.
      rows.Flag("IsCompleted");
      TqorXMLNode2* task =
          planner.AddTask(rows.Text("ProjectId"), rows.Text("TaskId"), rows.Text("TaskName"),
                          rows.Date("StartDate"), rows.Date("EndDate"), rows.Flag("IsMileStone"));
      if (!task) continue;  // its project is not in the plan
      dr::SetTaskValues(task, rows);
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
    dr::SetResourceValues(resource.get(), rows);
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
    dr::SetAssignmentValues(assignment.get(), rows);
    task->AddChild(std::move(assignment));
  }
  return rows.Read();
}

size_t LoadHolidays(TqorDatabaseController& controller, TqorPlannerModel& planner) {
  TRows rows(controller, qorStatements::SelectHolidays());
  for (; !rows.Eof(); rows.Next()) {
    auto holiday = NewElement("holiday");
    dr::SetHolidayValues(holiday.get(), rows);
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

size_t LoadLinks(TqorDatabaseController& controller, TqorPlannerModel& planner) {
  if (StoredPlanVersion(controller) < 2) return 0;
  TRows rows(controller, qorStatements::SelectLinks());
  const TqorXMLParser2& document = planner.Document();
  for (; !rows.Eof(); rows.Next()) {
    if (!document.GetNodeById("task", rows.Text("PredecessorId")) ||
        !document.GetNodeById("task", rows.Text("SuccessorId")))
      continue;  // a task of it is not in the plan
    auto link = NewElement("link");
    dr::SetLinkValues(link.get(), rows);
    dr::LinksNode(planner, true)->AddChild(std::move(link));
  }
  return rows.Read();
}

TqorPlannerSettings LoadPlanner(TqorDatabaseController& controller, TqorPlannerModel& planner) {
  LoadProjects(controller, planner);
  LoadTasks(controller, planner);
  LoadResources(controller, planner);
  LoadAssignments(controller, planner);
  LoadHolidays(controller, planner);
  const TqorPlannerSettings settings = LoadSettings(controller, planner);
  LoadLinks(controller, planner);
  return settings;
}
