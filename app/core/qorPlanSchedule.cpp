#include "app/core/qorPlanSchedule.h"

#include <cmath>
#include <set>
#include <string>

#include "app/core/qorChangedElsewhere.h"
#include "app/core/qorDocumentEdit.h"
#include "app/core/qorDocumentRows.h"
#include "app/core/qorEditRecorder.h"
#include "app/core/qorHoursRollup.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorStoredRows.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;

namespace {

constexpr size_t kIdsPerStatement = 200;

double Real(const TqorXMLNode2* node, const char* name) {
  const TqorVariant* value = node->FindAttribute(name);
  double real = 0;
  return value && value->TryToReal(real) ? real : 0;
}

bool Flag(const TqorXMLNode2* node, const char* name) {
  const TqorVariant* value = node->FindAttribute(name);
  bool flag = false;
  return value && value->TryToBool(flag) && flag;
}

int32_t Day(double date) {
  return static_cast<int32_t>(std::floor(date));
}

std::string IdText(int32_t id) {
  return std::to_string(id);
}
const std::string& IdText(const std::string& id) {
  return id;
}

// "TaskId IN (1,2,3)" for the ids from..to.
template <class Id>
std::string In(const char* column, const std::vector<Id>& ids, size_t from, size_t to) {
  std::string list;
  for (size_t i = from; i < to; ++i) list += (i > from ? "," : "") + IdText(ids[i]);
  return std::string(column) + " IN (" + list + ")";
}

}  // namespace

namespace qorPlanSchedule {

TqorLinkType LinkTypeOf(const TqorXMLNode2* link) {
  TqorLinkType type = TqorLinkType::FS;
  TryParseLinkType(link->GetAttributeStr("type"), type);
  return type;
}

TqorSchedule ScheduleOf(TqorPlannerModel& planner) {
  TqorSchedule schedule;
  const TqorXMLNode2* projects = planner.ProjectsNode();
  for (int p = 0; projects && p < projects->ChildCount(); ++p) {
    const TqorXMLNode2* project = projects->GetChild(p);
    for (int t = 0; t < project->ChildCount(); ++t) {
      const TqorXMLNode2* task = project->GetChild(t);
      schedule.AddTask({task->GetAttribute("id").AsInteger(), Day(Real(task, "startdate")),
                        Day(Real(task, "enddate")), Flag(task, "iscompleted")});
    }
  }
  if (const TqorXMLNode2* links = qorDocumentRows::LinksNode(planner, false)) {
    for (int i = 0; i < links->ChildCount(); ++i) {
      const TqorXMLNode2* link = links->GetChild(i);
      schedule.AddLink({link->GetAttribute("predecessorid").AsInteger(),
                        link->GetAttribute("successorid").AsInteger(), LinkTypeOf(link),
                        static_cast<int32_t>(std::lround(Real(link, "lag")))});
    }
  }
  return schedule;
}

int StoreMoves(TqorDatabaseController& db, TqorPlannerModel& planner,
               const std::vector<TqorTaskDates>& moved, TqorDocumentEdit& edit,
               TqorEditRecorder& record, TqorHoursRollup& hours) {
  if (moved.empty()) return 0;
  std::vector<int32_t> ids;
  std::set<std::string> projectIds;
  for (const TqorTaskDates& m : moved) {
    ids.push_back(m.Id);
    if (const TqorXMLNode2* task = planner.Document().GetNodeById("task", std::to_string(m.Id)))
      projectIds.insert(task->Parent()->GetAttributeStr("id"));
  }
  if (record.Recording()) {
    for (size_t from = 0; from < ids.size(); from += kIdsPerStatement)
      record.Watch(TqorPlanTable::Tasks,
                   In("TaskId", ids, from, std::min(ids.size(), from + kIdsPerStatement)));
    const std::vector<std::string> projects(projectIds.begin(), projectIds.end());
    for (size_t from = 0; from < projects.size(); from += kIdsPerStatement)
      record.Watch(TqorPlanTable::Projects, In("ProjectId", projects, from,
                                               std::min(projects.size(), from + kIdsPerStatement)));
  }
  for (const TqorTaskDates& m : moved) {
    TqorXMLNode2* task = planner.Document().GetNodeById("task", std::to_string(m.Id));
    if (!task) continue;
    const double shownStart = Real(task, "startdate"), shownEnd = Real(task, "enddate");
    edit.SetAttribute(task, "startdate", static_cast<double>(m.Start));
    edit.SetAttribute(task, "enddate", static_cast<double>(m.End));
    const double taskHours = planner.CalcAssignedHours(task);
    if (db.Execute(st::UpdateTaskDates(m.Id, m.Start, m.End, taskHours, shownStart, shownEnd)) == 0)
      throw EqorChangedElsewhere(qorStoredRows::TaskName(task));
    edit.SetAttribute(task, "assignedhours", st::StoredNumber(taskHours));
  }
  for (const std::string& id : projectIds)
    if (TqorXMLNode2* project = planner.Document().GetNodeById("project", id))
      hours.SaveProjectHours(project, edit);
  return static_cast<int>(moved.size());
}

std::unordered_set<std::string> CriticalTasks(TqorPlannerModel& planner) {
  std::unordered_set<std::string> ids;
  const TqorSchedule schedule = ScheduleOf(planner);
  const TqorScheduleSlack slack = schedule.Slack();
  for (const TqorTaskSlack& t : slack.Tasks)
    if (t.Critical()) ids.insert(std::to_string(t.Id));
  return ids;
}

std::string TaskSummary(TqorPlannerModel& planner, const TqorXMLNode2* task) {
  if (!task) return {};
  const TqorSchedule schedule = ScheduleOf(planner);
  const int32_t id = task->GetAttribute("id").AsInteger();
  auto day = [](double d) { return FormatDateTime(RegionalSettings().ShortDateFormat, d); };
  const int32_t length = schedule.Length(id);
  std::string text = task->GetAttributeStr("name") + "\n" + day(Real(task, "startdate")) + " to " +
                     day(Real(task, "enddate")) + ", " + std::to_string(length) +
                     (length == 1 ? " working day" : " working days");
  const TqorScheduleSlack slack = schedule.Slack();
  for (const TqorTaskSlack& t : slack.Tasks)
    if (t.Id == id)
      text += t.Critical() ? "\nOn the critical path"
                           : "\nSlack: " + std::to_string(t.Slack) +
                                 (t.Slack == 1 ? " working day" : " working days");
  auto name = [&](int32_t other) {
    const TqorXMLNode2* node = planner.Document().GetNodeById("task", std::to_string(other));
    return node ? "'" + node->GetAttributeStr("name") + "'" : std::string("?");
  };
  auto typeAndLag = [](const TqorScheduleLink& link) {
    std::string t(LinkTypeText(link.Type));
    if (link.Lag > 0) t += "+" + std::to_string(link.Lag);
    if (link.Lag < 0) t += std::to_string(link.Lag);
    return t;
  };
  for (const TqorScheduleLink& link : schedule.Links()) {
    if (link.Successor == id) text += "\nAfter: " + name(link.Predecessor) + " " + typeAndLag(link);
    if (link.Predecessor == id)
      text += "\nBefore: " + name(link.Successor) + " " + typeAndLag(link);
  }
  return text;
}

std::vector<TqorResourceEntry> LinkEntries(TqorPlannerModel& planner, int32_t taskId) {
  std::vector<TqorResourceEntry> after, before;
  const TqorXMLNode2* links = qorDocumentRows::LinksNode(planner, false);
  const std::string id = std::to_string(taskId);
  auto name = [&](const std::string& other) {
    const TqorXMLNode2* node = planner.Document().GetNodeById("task", other);
    return node ? "'" + node->GetAttributeStr("name") + "'" : std::string("?");
  };
  for (int i = 0; links && i < links->ChildCount(); ++i) {
    const TqorXMLNode2* link = links->GetChild(i);
    std::string typeAndLag(LinkTypeText(LinkTypeOf(link)));
    const int32_t lag = static_cast<int32_t>(std::lround(Real(link, "lag")));
    if (lag > 0) typeAndLag += "+" + std::to_string(lag);
    if (lag < 0) typeAndLag += std::to_string(lag);
    const int32_t linkId = link->GetAttribute("id").AsInteger();
    if (link->GetAttributeStr("successorid") == id)
      after.push_back(
          {"After " + name(link->GetAttributeStr("predecessorid")) + " " + typeAndLag, linkId});
    if (link->GetAttributeStr("predecessorid") == id)
      before.push_back(
          {"Before " + name(link->GetAttributeStr("successorid")) + " " + typeAndLag, linkId});
  }
  after.insert(after.end(), before.begin(), before.end());
  return after;
}

std::string MovedText(int moved) {
  if (moved <= 0) return {};
  return "Moved " + std::to_string(moved) + (moved == 1 ? " task" : " tasks");
}

}  // namespace qorPlanSchedule
