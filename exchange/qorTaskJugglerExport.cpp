#include "exchange/qorTaskJugglerExport.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"
#include "planner/schedule/qorSchedule.h"

namespace {

constexpr int32_t kMarginDays = 30;
constexpr double kHoursPerDay = 8;
constexpr std::string_view kZeroWidthSpace = "\u200B";

std::string Id(char kind, int32_t id) {
  return id < 0 ? std::string(1, kind) + "_" + std::to_string(-int64_t{id})
                : std::string(1, kind) + std::to_string(id);
}

// A tj3 string in double quotes (see the header for what changes).
std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const std::optional<char32_t> cp = DecodeUtf8At(text, i);
    if (!cp) {
      AppendUtf8(out, 0xFFFD);
      continue;
    }
    switch (*cp) {
      case '"':
        out += "\\\"";
        break;
      case '\r':
        if (i < text.size() && text[i] == '\n') ++i;
        out += '\n';
        break;
      case '$':
        out += '$';
        if (i < text.size() && text[i] == '{') out += kZeroWidthSpace;
        break;
      default:
        if ((*cp < 0x20 && *cp != '\t' && *cp != '\n') || *cp == 0x7F) break;
        AppendUtf8(out, *cp);
    }
  }
  if (out.size() > 1 && out.back() == '\\') out += kZeroWidthSpace;
  return out + "\"";
}

std::string Number(double value) {
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, static_cast<size_t>(result.ptr - buffer));
}

std::string Day(int32_t day) {
  int year = 0, month = 0, dayOfMonth = 0;
  DecodeDate(day, year, month, dayOfMonth);
  return CFormat("%04d-%02d-%02d", year, month, dayOfMonth);
}

// Whole hours of the share (percent) of a working day of 8 hours, at least 1; nothing for a
// share of 0 or less, 100 or more, or not finite.
std::optional<int> DailyHours(double percent) {
  if (!std::isfinite(percent) || percent <= 0 || percent >= 100) return std::nullopt;
  return std::max(1, static_cast<int>(std::lround(kHoursPerDay * percent / 100)));
}

// The name of a day that IsNonWorkingDay names besides the weekends.
const char* FeastName(int32_t day) {
  int year = 0, month = 0, dayOfMonth = 0;
  DecodeDate(day, year, month, dayOfMonth);
  const int32_t easter = static_cast<int32_t>(EasterSunday(year));
  if (month == 1 && dayOfMonth == 1) return "New Year";
  if (month == 12 && dayOfMonth == 25) return "Christmas Day";
  if (month == 12 && dayOfMonth == 26) return "Boxing Day";
  if (day == easter + 1) return "Easter Monday";
  if (day == easter + 39) return "Ascension";
  if (day == easter + 50) return "Whit Monday";
  return "Holiday";
}

int32_t EndOf(const TqorScheduleTask& task) {
  return std::max(task.Start, task.End);
}

// The bound that the link from the predecessor puts on the successor's first day, as
// qorScheduleLink.h gives it (an end bound moved back by the successor's length - 1).
int32_t StartBound(const TqorWorkCalendar& calendar, const TqorScheduleTask& predecessor,
                   TqorLinkType type, int32_t lag, int32_t successorLength) {
  const int64_t shift = int64_t{lag} - (BoundsEnd(type) ? successorLength - 1 : 0);
  switch (type) {
    case TqorLinkType::FS:
      return calendar.Shift(calendar.Next(EndOf(predecessor) + 1), shift);
    case TqorLinkType::SS:
      return calendar.Shift(calendar.Next(predecessor.Start), shift);
    case TqorLinkType::FF:
      return calendar.Shift(calendar.Next(EndOf(predecessor)), shift);
    case TqorLinkType::SF:
      return calendar.Shift(calendar.Next(predecessor.Start - 1), shift);
  }
  return INT32_MIN;
}

std::string LinkText(const TqorExchangeLink& link) {
  std::string text = Id('t', link.PredecessorId) + " " + std::string(LinkTypeText(link.Type));
  if (link.Lag > 0) text += "+";
  if (link.Lag != 0) text += std::to_string(link.Lag);
  return text + " " + Id('t', link.SuccessorId);
}

// How the file holds one link: a dependency of the successor on the predecessor, from its end or
// its start, or on an anchor.
struct TqorTjpDependency {
  const TqorExchangeLink* Link = nullptr;
  bool OnStart = false;
  int64_t Gap = 0;     // working days
  int32_t Anchor = 0;  // the anchor's number (leads.l<n>), or 0
};

// A milestone that precedes the link's predecessor by Gap working days.
struct TqorTjpAnchor {
  const TqorExchangeLink* Link = nullptr;
  int64_t Gap = 0;
};

class TqorTjpWriter {
 public:
  TqorTjpWriter(const TqorExchangePlan& plan, const TqorTaskJugglerOptions& options)
      : plan_(plan), options_(options) {}

  std::string Write();

 private:
  const TqorExchangePlan& plan_;
  const TqorTaskJugglerOptions& options_;
  TqorSchedule schedule_;  // the plan's tasks and held links, placed by RescheduleAll
  std::unordered_map<int32_t, const TqorExchangeTask*> tasks_;  // the first of each id
  std::unordered_set<int32_t> projectIds_;
  std::vector<std::string> leftOut_;  // comments on the links not held
  std::unordered_map<int32_t, std::vector<TqorTjpDependency>> dependencies_;  // by successor
  std::vector<TqorTjpAnchor> anchors_;
  std::unordered_map<int32_t, std::vector<const TqorExchangeAssignment*>> assignments_;
  int32_t first_ = 0, last_ = 0;
  std::string out_;

  bool Milestone(const TqorExchangeTask& task) const;
  bool Keeps(int32_t taskId) const;
  // tj3's absolute id of the task.
  std::string TaskPath(int32_t taskId) const;
  void PlaceTasks();
  void HoldLinks();
  void WriteProject();
  void WriteResources();
  void WriteTask(const TqorExchangeTask& task, const std::string& indent);
  void WriteTasks();
  void WriteAnchors();
  void WriteReport();
};

bool TqorTjpWriter::Milestone(const TqorExchangeTask& task) const {
  const TqorScheduleTask* placed = schedule_.FindTask(task.Id);
  return task.Milestone && EndOf(*placed) == placed->Start;
}

bool TqorTjpWriter::Keeps(int32_t taskId) const {
  const TqorScheduleTask* task = schedule_.FindTask(taskId);
  return task->Completed || !dependencies_.count(taskId);
}

std::string TqorTjpWriter::TaskPath(int32_t taskId) const {
  const int32_t project = tasks_.at(taskId)->ProjectId;
  return projectIds_.count(project) ? Id('p', project) + "." + Id('t', taskId) : Id('t', taskId);
}

void TqorTjpWriter::PlaceTasks() {
  for (const TqorExchangeProject& project : plan_.Projects) projectIds_.insert(project.Id);
  for (const TqorExchangeTask& task : plan_.Tasks) {
    if (schedule_.AddTask({task.Id, task.Start, task.End, task.Completed}))
      tasks_.emplace(task.Id, &task);
  }
  for (const TqorExchangeLink& link : plan_.Links) {
    const TqorScheduleLink scheduleLink{link.PredecessorId, link.SuccessorId, link.Type, link.Lag};
    const TqorLinkCheck check = schedule_.CheckNewLink(scheduleLink);
    const char* why = nullptr;
    switch (check.Problem) {
      case TqorLinkProblem::None:
        break;
      case TqorLinkProblem::UnknownTask:
        why = "names a task the plan lacks";
        break;
      case TqorLinkProblem::SelfLink:
        why = "links a task to itself";
        break;
      case TqorLinkProblem::Duplicate:
        why = "links two tasks linked before";
        break;
      case TqorLinkProblem::ClosesCycle:
        why = "closes a cycle";
        break;
    }
    if (why) {
      leftOut_.push_back("link " + LinkText(link) + " is left out: it " + why);
      continue;
    }
    schedule_.AddLink(scheduleLink);
    if (schedule_.FindTask(link.SuccessorId)->Completed) {
      leftOut_.push_back("link " + LinkText(link) + " is not held: its successor is completed");
      continue;
    }
    dependencies_[link.SuccessorId].push_back({&link});
  }
  schedule_.RescheduleAll();
}

void TqorTjpWriter::HoldLinks() {
  const TqorWorkCalendar& calendar = schedule_.Calendar();
  first_ = INT32_MAX;
  last_ = INT32_MIN;
  for (const TqorScheduleTask& task : schedule_.Tasks()) {
    first_ = std::min(first_, task.Start);
    last_ = std::max(last_, EndOf(task));
  }
  for (auto& [successor, list] : dependencies_) {
    const int32_t length = schedule_.Length(successor);
    for (TqorTjpDependency& dependency : list) {
      const TqorExchangeLink& link = *dependency.Link;
      const TqorScheduleTask& p = *schedule_.FindTask(link.PredecessorId);
      const int32_t bound = StartBound(calendar, p, link.Type, link.Lag, length);
      first_ = std::min(first_, bound);
      // A milestone's start is its end: tj3 is given its end, as it finds a dependency loop in
      // some plans that depend on a milestone's start.
      const bool milestone = Milestone(*tasks_.at(link.PredecessorId));
      const int32_t startDay = calendar.Next(p.Start);
      const int32_t endDay = milestone ? startDay : calendar.Next(EndOf(p) + 1);
      const int64_t fromEnd = calendar.Distance(endDay, bound);
      const int64_t fromStart = calendar.Distance(startDay, bound);
      if ((milestone || link.Type == TqorLinkType::FS || link.Type == TqorLinkType::FF) &&
          fromEnd >= 0) {
        dependency.Gap = fromEnd;
      } else if (fromStart >= 0) {
        dependency.OnStart = true;
        dependency.Gap = fromStart;
      } else {
        anchors_.push_back({&link, -fromStart});
        dependency.Anchor = static_cast<int32_t>(anchors_.size());
      }
    }
  }
  if (first_ > last_) first_ = last_ = static_cast<int32_t>(EncodeDate(2000, 1, 3));
  first_ -= kMarginDays;
  last_ += kMarginDays;
}

void TqorTjpWriter::WriteProject() {
  out_ += "# A plan written by Vazadod for TaskJuggler: tj3 schedules it to the plan's dates.\n";
  out_ += "project plan " + Quote(plan_.Name.empty() ? "Plan" : plan_.Name) + " " + Day(first_) +
          " - " + Day(last_) + " {\n";
  out_ += "  timezone \"UTC\"\n";
  out_ += "  timeformat \"%Y-%m-%d\"\n";
  out_ += "  dailyworkinghours 8\n";
  out_ += "  workinghours mon - fri 9:00 - 17:00\n";
  out_ += "  workinghours sat, sun off\n";
  out_ += "  extend task {\n    text Notes \"Notes\"\n  }\n";
  out_ += "  extend resource {\n    text Initials \"Initials\"\n    text Notes \"Notes\"\n  }\n";
  out_ += "}\n\n";
  out_ += "# The weekdays no one works.\n";
  for (int32_t day = first_; day <= last_; ++day) {
    if (ISODayOfWeek(day) <= 5 && IsNonWorkingDay(day))
      out_ += "leaves holiday " + Quote(FeastName(day)) + " " + Day(day) + "\n";
  }
  out_ += "\n";
}

void TqorTjpWriter::WriteResources() {
  std::unordered_map<int32_t, std::vector<const TqorExchangeHoliday*>> holidays;
  for (const TqorExchangeHoliday& holiday : plan_.Holidays)
    holidays[holiday.ResourceId].push_back(&holiday);
  std::unordered_set<int32_t> written;
  for (const TqorExchangeResource& resource : plan_.Resources) {
    if (!written.insert(resource.Id).second) {
      out_ += "# resource " + Id('r', resource.Id) + " is left out: its id is taken\n";
      continue;
    }
    out_ += "resource " + Id('r', resource.Id) + " " + Quote(resource.Name) + " {\n";
    if (!resource.Initials.empty()) out_ += "  Initials " + Quote(resource.Initials) + "\n";
    if (!resource.Notes.empty()) out_ += "  Notes " + Quote(resource.Notes) + "\n";
    if (std::isfinite(resource.CostPerHour) && resource.CostPerHour > 0)
      out_ += "  rate " + Number(resource.CostPerHour * kHoursPerDay) + "\n";
    std::string limits;
    if (const std::optional<int> daily = DailyHours(resource.MaxUnits))
      limits += " dailymax " + std::to_string(*daily) + "h";
    if (std::isfinite(resource.HoursPerWeek) && resource.HoursPerWeek > 0 &&
        resource.HoursPerWeek < 5 * kHoursPerDay)
      limits +=
          " weeklymax " + std::to_string(std::max(1L, std::lround(resource.HoursPerWeek))) + "h";
    if (!limits.empty()) out_ += "  limits {" + limits + " }\n";
    for (const TqorExchangeHoliday* holiday : holidays[resource.Id]) {
      out_ += "  leaves annual \"Holiday\" " + Day(holiday->Start) + " - " +
              Day(std::max(holiday->Start, holiday->End) + 1) + "\n";
    }
    out_ += "}\n";
  }
  for (const TqorExchangeHoliday& holiday : plan_.Holidays) {
    if (!written.count(holiday.ResourceId))
      out_ += "# holiday " + std::to_string(holiday.Id) + " is left out: it names " +
              Id('r', holiday.ResourceId) + ", which the plan lacks\n";
  }
  out_ += "\n";
}

void TqorTjpWriter::WriteTask(const TqorExchangeTask& task, const std::string& indent) {
  const TqorScheduleTask& placed = *schedule_.FindTask(task.Id);
  const TqorWorkCalendar& calendar = schedule_.Calendar();
  const std::string in = indent + "  ";
  out_ += indent + "task " + Id('t', task.Id) + " " + Quote(task.Name) + " {\n";
  const bool milestone = Milestone(task);
  if (Keeps(task.Id)) {
    out_ += in + "start " + Day(placed.Start) + "\n";
    if (milestone)
      out_ += in + "milestone\n";
    else if (calendar.IsWorkingDay(EndOf(placed)))
      out_ += in + "length " + std::to_string(schedule_.Length(task.Id)) + "d\n";
    else
      out_ += in + "end " + Day(EndOf(placed)) + "-17:00\n";
  } else {
    for (const TqorTjpDependency& dependency : dependencies_.at(task.Id)) {
      const std::string comment = "  # " + LinkText(*dependency.Link) + "\n";
      if (dependency.Anchor > 0) {
        out_ += in + "depends leads.l" + std::to_string(dependency.Anchor) + comment;
        continue;
      }
      out_ += in + "depends " + TaskPath(dependency.Link->PredecessorId);
      if (dependency.OnStart || dependency.Gap > 0) {
        out_ += " {";
        if (dependency.OnStart) out_ += " onstart";
        if (dependency.Gap > 0) out_ += " gaplength " + std::to_string(dependency.Gap) + "d";
        out_ += " }";
      }
      out_ += comment;
    }
    if (milestone)
      out_ += in + "milestone\n";
    else
      out_ += in + "length " + std::to_string(schedule_.Length(task.Id)) + "d\n";
  }
  const double complete = task.Completed ? 100 : std::clamp(task.Progress, 0.0, 100.0);
  if (complete > 0) out_ += in + "complete " + Number(complete) + "\n";
  if (milestone) {
    if (assignments_.count(task.Id)) out_ += in + "# a milestone: its assignments are left out\n";
  } else if (auto it = assignments_.find(task.Id); it != assignments_.end()) {
    std::string allocate, limits;
    for (const TqorExchangeAssignment* assignment : it->second) {
      allocate += (allocate.empty() ? "" : ", ") + Id('r', assignment->ResourceId);
      if (const std::optional<int> daily = DailyHours(assignment->Units))
        limits += in + "  dailymax " + std::to_string(*daily) + "h { resources " +
                  Id('r', assignment->ResourceId) + " }\n";
    }
    out_ += in + "allocate " + allocate + "\n";
    if (!limits.empty()) out_ += in + "limits {\n" + limits + in + "}\n";
  }
  if (!task.Notes.empty()) out_ += in + "Notes " + Quote(task.Notes) + "\n";
  out_ += indent + "}\n";
}

void TqorTjpWriter::WriteTasks() {
  std::unordered_set<int32_t> resources;
  for (const TqorExchangeResource& resource : plan_.Resources) resources.insert(resource.Id);
  std::unordered_set<uint64_t> pairs;
  for (const TqorExchangeAssignment& assignment : plan_.Assignments) {
    const uint64_t pair = (uint64_t{static_cast<uint32_t>(assignment.TaskId)} << 32) |
                          static_cast<uint32_t>(assignment.ResourceId);
    if (schedule_.FindTask(assignment.TaskId) && resources.count(assignment.ResourceId) &&
        pairs.insert(pair).second)
      assignments_[assignment.TaskId].push_back(&assignment);
  }
  std::unordered_set<int32_t> written;
  auto writeTask = [&](const TqorExchangeTask& task, const std::string& indent) {
    if (written.insert(task.Id).second)
      WriteTask(task, indent);
    else
      out_ += indent + "# task " + Id('t', task.Id) + " is left out: its id is taken\n";
  };
  std::unordered_set<int32_t> projects;
  for (const TqorExchangeProject& project : plan_.Projects) {
    if (!projects.insert(project.Id).second) continue;
    std::vector<const TqorExchangeTask*> tasks;
    for (const TqorExchangeTask& task : plan_.Tasks)
      if (task.ProjectId == project.Id) tasks.push_back(&task);
    if (tasks.empty()) {
      out_ += "# project " + Id('p', project.Id) + " is left out: it has no tasks\n";
      continue;
    }
    out_ += "task " + Id('p', project.Id) + " " + Quote(project.Name) + " {\n";
    if (!project.Notes.empty()) out_ += "  Notes " + Quote(project.Notes) + "\n";
    for (const TqorExchangeTask* task : tasks) writeTask(*task, "  ");
    out_ += "}\n";
  }
  for (const TqorExchangeTask& task : plan_.Tasks)
    if (!projectIds_.count(task.ProjectId)) writeTask(task, "");
  for (const std::string& comment : leftOut_) out_ += "# " + comment + "\n";
  out_ += "\n";
}

void TqorTjpWriter::WriteAnchors() {
  if (anchors_.empty()) return;
  out_ += "# Where a link lets its successor start before its predecessor starts.\n";
  out_ += "task leads \"Leads\" {\n";
  for (size_t i = 0; i < anchors_.size(); ++i) {
    const TqorExchangeLink& link = *anchors_[i].Link;
    out_ += "  task l" + std::to_string(i + 1) + " " + Quote("Lead: " + LinkText(link)) + " {\n";
    out_ += "    milestone\n";
    out_ += "    precedes " + TaskPath(link.PredecessorId) + " { onstart gaplength " +
            std::to_string(anchors_[i].Gap) + "d }\n";
    out_ += "  }\n";
  }
  out_ += "}\n\n";
}

void TqorTjpWriter::WriteReport() {
  if (options_.CsvReport.empty()) return;
  out_ += "taskreport " + Quote(options_.CsvReport) + " {\n";
  out_ += "  formats csv\n";
  out_ += "  columns id, start, end\n";
  out_ += "  timeformat \"%Y-%m-%d %H:%M\"\n";
  out_ += "}\n";
}

std::string TqorTjpWriter::Write() {
  PlaceTasks();
  HoldLinks();
  WriteProject();
  WriteResources();
  WriteTasks();
  WriteAnchors();
  WriteReport();
  return std::move(out_);
}

}  // namespace

std::string TaskJugglerTaskId(int32_t taskId) {
  return Id('t', taskId);
}

std::string ExportTaskJuggler(const TqorExchangePlan& plan, const TqorTaskJugglerOptions& options) {
  return TqorTjpWriter(plan, options).Write();
}
