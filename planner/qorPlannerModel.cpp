#include "planner/qorPlannerModel.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"

namespace {

constexpr const char* kSkeleton =
    "<planner><projects id=\"projects\"/><resources id=\"resources\"/>"
    "<holidays id=\"holidays\"/></planner>";

// The attribute as a real; 0 when absent. Raises EqorVariantError for a value that does not
// convert.
double AttrReal(const TqorXMLNode2* node, std::string_view name) {
  const TqorVariant* v = node->FindAttribute(name);
  return v ? v->AsReal() : 0.0;
}

// The attribute as a boolean; fallback when absent or not convertible.
bool AttrBool(const TqorXMLNode2* node, std::string_view name, bool fallback) {
  const TqorVariant* v = node->FindAttribute(name);
  bool b;
  return v && v->TryToBool(b) ? b : fallback;
}

// Orders ids: whole numbers (digits only) by their value, before any other text, which goes by
// its bytes.
int CompareIds(std::string_view a, std::string_view b) {
  auto whole = [](std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
      if (c < '0' || c > '9') return false;
    return true;
  };
  const bool wa = whole(a), wb = whole(b);
  if (wa != wb) return wa ? -1 : 1;
  if (wa) {
    while (a.size() > 1 && a.front() == '0') a.remove_prefix(1);
    while (b.size() > 1 && b.front() == '0') b.remove_prefix(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  }
  return a.compare(b);
}

}  // namespace

TqorPlannerModel::TqorPlannerModel(std::function<double()> today)
    : document_(std::make_unique<TqorXMLParser2>()), today_(std::move(today)) {
  if (!today_) today_ = SystemTodayClock();
  document_->SetIndexIds(true);
  document_->SetXml(kSkeleton);
  document_->SetOnNodeFreed([this](const TqorXMLNode2* node) { NodeFreed(node); });
  ShowCurrentMonth();
}

TqorPlannerModel::~TqorPlannerModel() {
  document_->SetOnNodeFreed(nullptr);
}

std::function<double()> TqorPlannerModel::SystemTodayClock() {
  // The grid asks for every day cell it paints: the local date is worked out again only when
  // the clock's second has changed.
  return [second = std::time_t(-1), day = 0.0]() mutable {
    const std::time_t now = std::time(nullptr);
    if (now != second) {
      std::tm local{};
      localtime_r(&now, &local);
      day = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
      second = now;
    }
    return day;
  };
}

TqorXMLNode2* TqorPlannerModel::Container(const char* name) const {
  return document_->GetNodeById(name, name);
}

TqorXMLNode2* TqorPlannerModel::ProjectsNode() const {
  return Container("projects");
}
TqorXMLNode2* TqorPlannerModel::ResourcesNode() const {
  return Container("resources");
}
TqorXMLNode2* TqorPlannerModel::HolidaysNode() const {
  return Container("holidays");
}
TqorXMLNode2* TqorPlannerModel::LinksNode() const {
  return Container("links");
}

bool TqorPlannerModel::IsShownCritical(const TqorXMLNode2* task) const {
  return showCriticalPath_ && task && task->Name() == "task" &&
         criticalTasks_.count(task->GetAttributeStr("id")) > 0;
}

TqorXMLNode2* TqorPlannerModel::AddProject(std::string_view projectId, std::string_view name) {
  TqorXMLNode2* projects = ProjectsNode();
  if (!projects) throw std::runtime_error("The planner document has no projects container");
  auto project = std::make_unique<TqorXMLNode2>("project");
  project->SetAttribute("id", TqorVariant(projectId));
  project->SetAttribute("name", TqorVariant(name));
  project->SetAttribute("expanded", true);
  return projects->AddChild(std::move(project));
}

TqorXMLNode2* TqorPlannerModel::AddTask(std::string_view projectId, std::string_view taskId,
                                        std::string_view name, double startDate, double endDate,
                                        bool isMilestone) {
  TqorXMLNode2* project = document_->GetNodeById("project", projectId);
  if (!project) return nullptr;
  auto task = std::make_unique<TqorXMLNode2>("task");
  task->SetAttribute("id", TqorVariant(taskId));
  task->SetAttribute("name", TqorVariant(name));
  task->SetAttribute("startdate", startDate);
  task->SetAttribute("enddate", endDate);
  task->SetAttribute("ismilestone", isMilestone);
  return project->AddChild(std::move(task));
}

void TqorPlannerModel::DeleteTask(std::string_view taskId) {
  TqorXMLNode2* task = document_->GetNodeById("task", taskId);
  if (task && task->Parent()) task->Parent()->DeleteChild(task);
}

void TqorPlannerModel::SortTasks() {
  TqorXMLNode2* projects = ProjectsNode();
  if (!projects) return;
  // What places a task: its end date (none when it is no number), then its id.
  struct TKey {
    bool dated = false;
    double end = 0;
    std::string id;
  };
  for (int p = 0; p < projects->ChildCount(); ++p) {
    TqorXMLNode2* project = projects->GetChild(p);
    const int count = project->ChildCount();
    if (count < 2) continue;
    std::vector<TKey> keys(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      TKey& key = keys[static_cast<size_t>(i)];
      const TqorXMLNode2* task = project->GetChild(i);
      try {
        key.end = AttrReal(task, "enddate");
        key.dated = !std::isnan(key.end);
      } catch (const std::exception&) {
        key.dated = false;
      }
      key.id = task->GetAttributeStr("id");
    }
    // order[k]: the position now of the task that goes to position k.
    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) order[static_cast<size_t>(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&keys](int i, int j) {
      const TKey& a = keys[static_cast<size_t>(i)];
      const TKey& b = keys[static_cast<size_t>(j)];
      if (a.dated != b.dated) return a.dated;
      if (a.dated && a.end != b.end) return a.end < b.end;
      return CompareIds(a.id, b.id) < 0;
    });
    // Exchanges put each task in its place; at[k] is the task (by its first position) at k now,
    // where[i] the position now of the task first at i.
    std::vector<int> at(order.size()), where(order.size());
    for (int i = 0; i < count; ++i) at[static_cast<size_t>(i)] = where[static_cast<size_t>(i)] = i;
    for (int k = 0; k < count; ++k) {
      const int from = where[static_cast<size_t>(order[static_cast<size_t>(k)])];
      if (from == k) continue;
      project->ExchangeChildren(k, from);
      std::swap(at[static_cast<size_t>(k)], at[static_cast<size_t>(from)]);
      where[static_cast<size_t>(at[static_cast<size_t>(k)])] = k;
      where[static_cast<size_t>(at[static_cast<size_t>(from)])] = from;
    }
  }
}

void TqorPlannerModel::SetProjectFilter(std::string filter) {
  projectFilter_ = std::move(filter);
  RebuildRows();
}

bool TqorPlannerModel::IsProjectVisible(const TqorXMLNode2* project) const {
  if (!project) return false;
  std::string key = "[";
  key += project->GetAttributeStr("id");
  key += ']';
  return projectFilter_.find(key) != std::string::npos;
}

double TqorPlannerModel::CalcAssignedHours(const TqorXMLNode2* task) const {
  double hours = 0;
  if (!task) return hours;
  for (int i = 0; i < task->ChildCount(); ++i) {
    const TqorXMLNode2* assignment = task->GetChild(i);
    const TqorXMLNode2* resource =
        document_->GetNodeById("resource", assignment->GetAttributeStr("resourceid"));
    if (!resource) continue;
    const double days = AttrReal(task, "enddate") - AttrReal(task, "startdate") + 1;
    hours += days * (AttrReal(resource, "hoursperweek") / 7) * AttrReal(assignment, "units") / 100;
  }
  return hours;
}

double TqorPlannerModel::SumAssignedHours(const TqorXMLNode2* project) const {
  double sum = 0;
  if (!project) return sum;
  for (int i = 0; i < project->ChildCount(); ++i)
    sum += AttrReal(project->GetChild(i), "assignedhours");
  return sum;
}

std::string TqorPlannerModel::GetResourceInitials(const TqorXMLNode2* task) const {
  std::string out;
  if (!task) return out;
  for (int i = 0; i < task->ChildCount(); ++i) {
    const TqorXMLNode2* resource =
        document_->GetNodeById("resource", task->GetChild(i)->GetAttributeStr("resourceid"));
    if (!resource) continue;
    if (!out.empty()) out += ", ";
    out += resource->GetAttributeStr("initials");
  }
  return out;
}

bool TqorPlannerModel::ContainsDate(const TqorXMLNode2* node, double date) const {
  if (!node) return false;
  const TqorVariant* start = node->FindAttribute("startdate");
  const TqorVariant* end = node->FindAttribute("enddate");
  double s, e;
  if (!start || !end || !start->TryToReal(s) || !end->TryToReal(e)) return false;
  return s <= date && date <= e;
}

bool TqorPlannerModel::ApplyDateGesture(TqorXMLNode2* node, double day, TqorDateGesture gesture) {
  if (!node || (node->Name() != "task" && node->Name() != "project")) return false;
  const double start = AttrReal(node, "startdate");
  const double end = AttrReal(node, "enddate");
  switch (gesture) {
    case TqorDateGesture::SetStart:
      if (day > end) return false;
      node->SetAttribute("startdate", day);
      break;
    case TqorDateGesture::SetEnd:
      if (day < start) return false;
      node->SetAttribute("enddate", day);
      break;
    case TqorDateGesture::Move: {
      const double length = std::round(end - start + 1);
      node->SetAttribute("startdate", day);
      node->SetAttribute("enddate", day + length - 1);
      break;
    }
  }
  if (node->Name() == "task") node->SetAttribute("assignedhours", CalcAssignedHours(node));
  return true;
}

// --- Rows ---

void TqorPlannerModel::BuildRows() {
  rows_.clear();
  rowOf_.clear();
  placeholder_ = false;
  rows_.push_back({nullptr, kHeaderRowHeight});
  rows_.push_back({nullptr, kDefaultRowHeight});
  TqorXMLNode2* projects = ProjectsNode();
  if (!projects || projects->ChildCount() == 0 || projectFilter_.empty()) {
    rows_.push_back({nullptr, kDefaultRowHeight});
    placeholder_ = true;
    return;
  }
  for (int p = 0; p < projects->ChildCount(); ++p) {
    TqorXMLNode2* project = projects->GetChild(p);
    if (!IsProjectVisible(project)) continue;
    const bool expanded = AttrBool(project, "expanded", true);
    rowOf_[project] = RowCount();
    rows_.push_back({project, kDefaultRowHeight});
    for (int t = 0; t < project->ChildCount(); ++t) {
      TqorXMLNode2* task = project->GetChild(t);
      rowOf_[task] = RowCount();
      rows_.push_back({task, expanded ? kDefaultRowHeight : 0});
    }
  }
}

void TqorPlannerModel::RebuildRows() {
  BuildRows();
  Changed();
}

void TqorPlannerModel::Changed() {
  if (onChanged_) onChanged_();
}

void TqorPlannerModel::NodeFreed(const TqorXMLNode2* node) {
  auto it = rowOf_.find(node);
  if (it == rowOf_.end()) return;
  rows_[static_cast<size_t>(it->second)].node = nullptr;
  rowOf_.erase(it);
}

TqorXMLNode2* TqorPlannerModel::RowNode(int row) const {
  if (row < 0 || row >= RowCount()) return nullptr;
  return rows_[static_cast<size_t>(row)].node;
}

int TqorPlannerModel::RowHeight(int row) const {
  if (row < 0 || row >= RowCount()) return 0;
  return rows_[static_cast<size_t>(row)].height;
}

void TqorPlannerModel::SetRowHeight(int row, int height) {
  if (row < 0 || row >= RowCount()) return;
  rows_[static_cast<size_t>(row)].height = height < 0 ? 0 : height;
}

int TqorPlannerModel::FindRow(const TqorXMLNode2* node) const {
  auto it = rowOf_.find(node);
  return it == rowOf_.end() ? -1 : it->second;
}

bool TqorPlannerModel::ToggleProjectRow(int row) {
  TqorXMLNode2* project = RowNode(row);
  if (!project || project->Name() != "project") return false;
  const bool expanded = !AttrBool(project, "expanded", true);
  project->SetAttribute("expanded", expanded);
  for (int t = 0; t < project->ChildCount(); ++t) {
    int r = FindRow(project->GetChild(t));
    if (r >= 0) SetRowHeight(r, expanded ? kDefaultRowHeight : 0);
  }
  Changed();
  return true;
}

// --- Period ---

void TqorPlannerModel::SetStartDate(double date) {
  const double day = std::floor(date);
  const int y = YearOf(day);  // raises for a day number outside the calendar
  newYear_ = StartOfAYear(y);
  easter_ = EasterSunday(y);
  pentecost_ = easter_ + 49;
  ascension_ = pentecost_ - 10;
  christmas_ = EncodeDate(y, 12, 25);
  startDate_ = day;
  periodNonWorking_.assign(kDayColumns, -1);
  for (int i = 0; i < kDayColumns; ++i)
    if (IsCalendarDayNumber(day + i))
      periodNonWorking_[static_cast<size_t>(i)] = ::IsNonWorkingDay(day + i) ? 1 : 0;
  BuildRows();
  Changed();
}

void TqorPlannerModel::ShowCurrentMonth() {
  const double today = Today();
  SetStartDate(EncodeDate(YearOf(today), MonthOf(today), 1));
}

void TqorPlannerModel::NextMonth() {
  SetStartDate(IncMonth(startDate_, 1));
}
void TqorPlannerModel::PreviousMonth() {
  SetStartDate(IncMonth(startDate_, -1));
}
void TqorPlannerModel::NextYear() {
  SetStartDate(IncMonth(startDate_, 12));
}
void TqorPlannerModel::PreviousYear() {
  SetStartDate(IncMonth(startDate_, -12));
}

bool TqorPlannerModel::IsNonWorkingDay(double date) const {
  // The days shown are looked up (the grid asks for every cell of their columns).
  const double offset = std::floor(date) - startDate_;
  if (offset >= 0 && offset < static_cast<double>(periodNonWorking_.size())) {
    const signed char known = periodNonWorking_[static_cast<size_t>(offset)];
    if (known >= 0) return known == 1;
  }
  return ::IsNonWorkingDay(date);
}
