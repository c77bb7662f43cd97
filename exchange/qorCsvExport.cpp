#include "exchange/qorCsvExport.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <unordered_map>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"

namespace {

// Writes one table: fields are added to the current record, End closes it.
class TqorCsvWriter {
 public:
  explicit TqorCsvWriter(const TqorCsvOptions& options) : options_(options) {
    if (options.ByteOrderMark) out_ = "\xEF\xBB\xBF";
  }

  void Text(std::string_view text) { Quoted(text, options_.GuardFormulas); }
  // A text the export made itself: quoted, never guarded.
  void Own(std::string_view text) { Quoted(text, false); }
  void Integer(int64_t value) { Raw(std::to_string(value)); }
  void Flag(bool value) { Raw(value ? "1" : "0"); }
  void Number(double value) {
    if (!std::isfinite(value)) return Raw("");
    if (value == 0) return Raw("0");  // not "-0"
    char buffer[400];                 // the longest fixed form of a double is 309 digits and a sign
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    Raw(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)));
  }
  void Date(int32_t day) {
    int year = 0, month = 0, dayOfMonth = 0;
    DecodeDate(day, year, month, dayOfMonth);
    Raw(CFormat("%04d-%02d-%02d", year, month, dayOfMonth));
  }
  void End() {
    out_ += "\r\n";
    first_ = true;
  }
  std::string Take() { return std::move(out_); }

 private:
  const TqorCsvOptions& options_;
  std::string out_;
  bool first_ = true;

  void Separate() {
    if (!first_) out_ += ',';
    first_ = false;
  }
  void Raw(std::string_view text) {
    Separate();
    out_ += text;
  }
  void Quoted(std::string_view text, bool guard) {
    Separate();
    out_ += '"';
    if (guard && !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string::npos)
      out_ += '\'';
    for (char c : text) {
      if (c == '"') out_ += '"';
      out_ += c;
    }
    out_ += '"';
  }
};

void Header(TqorCsvWriter& csv, std::initializer_list<std::string_view> names) {
  for (std::string_view name : names) csv.Own(name);
  csv.End();
}

template <typename Row>
std::unordered_map<int32_t, const Row*> ById(const std::vector<Row>& rows) {
  std::unordered_map<int32_t, const Row*> map;
  for (const Row& row : rows) map.emplace(row.Id, &row);
  return map;
}

template <typename Row>
std::string_view NameOf(const std::unordered_map<int32_t, const Row*>& map, int32_t id) {
  auto it = map.find(id);
  return it == map.end() ? std::string_view() : std::string_view(it->second->Name);
}

// Appends "3FS+2" for the link to its successor's predecessors field.
void AppendPredecessor(std::string& text, const TqorExchangeLink& link) {
  if (!text.empty()) text += ", ";
  text += std::to_string(link.PredecessorId);
  text += LinkTypeText(link.Type);
  if (link.Lag > 0) text += '+';
  if (link.Lag != 0) text += std::to_string(link.Lag);
}

}  // namespace

std::string CsvPredecessors(const TqorExchangePlan& plan, int32_t taskId) {
  std::string text;
  for (const TqorExchangeLink& link : plan.Links)
    if (link.SuccessorId == taskId) AppendPredecessor(text, link);
  return text;
}

std::string ExportTasksCsv(const TqorExchangePlan& plan, const TqorCsvOptions& options) {
  TqorCsvWriter csv(options);
  Header(csv, {"ID", "Project ID", "Project", "Name", "Start", "End", "Milestone", "Completed",
               "Progress", "Predecessors", "Notes"});
  const auto projects = ById(plan.Projects);
  std::unordered_map<int32_t, std::string> predecessors;
  for (const TqorExchangeLink& link : plan.Links)
    AppendPredecessor(predecessors[link.SuccessorId], link);
  for (const TqorExchangeTask& task : plan.Tasks) {
    csv.Integer(task.Id);
    csv.Integer(task.ProjectId);
    csv.Text(NameOf(projects, task.ProjectId));
    csv.Text(task.Name);
    csv.Date(task.Start);
    csv.Date(task.End);
    csv.Flag(task.Milestone);
    csv.Flag(task.Completed);
    csv.Number(task.Progress);
    auto it = predecessors.find(task.Id);
    csv.Own(it == predecessors.end() ? std::string_view() : std::string_view(it->second));
    csv.Text(task.Notes);
    csv.End();
  }
  return csv.Take();
}

std::string ExportResourcesCsv(const TqorExchangePlan& plan, const TqorCsvOptions& options) {
  TqorCsvWriter csv(options);
  Header(csv, {"ID", "Name", "Initials", "Hours per week", "Cost per hour", "Max units", "Notes"});
  for (const TqorExchangeResource& resource : plan.Resources) {
    csv.Integer(resource.Id);
    csv.Text(resource.Name);
    csv.Text(resource.Initials);
    csv.Number(resource.HoursPerWeek);
    csv.Number(resource.CostPerHour);
    csv.Number(resource.MaxUnits);
    csv.Text(resource.Notes);
    csv.End();
  }
  return csv.Take();
}

std::string ExportAssignmentsCsv(const TqorExchangePlan& plan, const TqorCsvOptions& options) {
  TqorCsvWriter csv(options);
  Header(csv, {"ID", "Task ID", "Task", "Resource ID", "Resource", "Units"});
  const auto tasks = ById(plan.Tasks);
  const auto resources = ById(plan.Resources);
  for (const TqorExchangeAssignment& assignment : plan.Assignments) {
    csv.Integer(assignment.Id);
    csv.Integer(assignment.TaskId);
    csv.Text(NameOf(tasks, assignment.TaskId));
    csv.Integer(assignment.ResourceId);
    csv.Text(NameOf(resources, assignment.ResourceId));
    csv.Number(assignment.Units);
    csv.End();
  }
  return csv.Take();
}
