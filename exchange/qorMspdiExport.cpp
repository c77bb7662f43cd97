#include "exchange/qorMspdiExport.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include "exchange/qorMspdiFields.h"
#include "exchange/qorMspdiText.h"
#include "exchange/qorMspdiXmlWriter.h"
#include "planner/base/qorCalendar.h"
#include "planner/schedule/qorWorkCalendar.h"

namespace {

using TInterval = std::pair<int32_t, int32_t>;  // minutes after midnight, [from, to)

// The MSPDI Number/Text value of a field's extended attribute.
void Attribute(TqorMspdiXmlWriter& w, TqorMspdiField field, std::string_view value, bool text) {
  w.Open("ExtendedAttribute");
  w.Integer("FieldID", MspdiFieldInfo(field).FieldId);
  if (text)
    w.Text("Value", value);
  else
    w.Value("Value", value);
  w.Close();
}

class TExport {
 public:
  TExport(const TqorExchangePlan& plan, const TqorMspdiExportOptions& options, std::string& out)
      : plan_(plan), o_(options), w_(out) {
    if (!(0 <= o_.DayStart && o_.DayStart <= o_.BreakStart && o_.BreakStart <= o_.BreakEnd &&
          o_.BreakEnd <= o_.DayFinish && o_.DayFinish < 1440))
      throw std::invalid_argument("The working day's times are out of order");
    dayMinutes_ = (o_.BreakStart - o_.DayStart) + (o_.DayFinish - o_.BreakEnd);
    if (dayMinutes_ <= 0) throw std::invalid_argument("The working day has no working time");
  }

  void Write() {
    Index();
    w_.Open("Project", kMspdiNamespace);
    w_.Integer("SaveVersion", 14);
    w_.Text("Title", plan_.Name);
    w_.Integer("ScheduleFromStart", 1);
    if (first_ <= last_) {
      w_.Value("StartDate", MspdiDateTime(first_, o_.DayStart));
      w_.Value("FinishDate", MspdiDateTime(last_, o_.DayFinish));
    }
    w_.Integer("CalendarUID", 1);
    w_.Value("DefaultStartTime", MspdiTime(o_.DayStart));
    w_.Value("DefaultFinishTime", MspdiTime(o_.DayFinish));
    w_.Integer("MinutesPerDay", dayMinutes_);
    w_.Integer("MinutesPerWeek", 5 * dayMinutes_);
    w_.Integer("DaysPerMonth", 20);
    w_.Integer("DurationFormat", kMspdiLagDays);
    w_.Integer("WorkFormat", 2);
    w_.Open("ExtendedAttributes");
    for (const TqorMspdiFieldInfo& f : kMspdiFields) {
      w_.Open("ExtendedAttribute");
      w_.Integer("FieldID", f.FieldId);
      w_.Value("FieldName", f.FieldName);
      w_.Value("Alias", f.Alias);
      w_.Close();
    }
    w_.Close();
    WriteCalendars();
    WriteTasks();
    WriteResources();
    WriteAssignments();
    w_.Close();
  }

  size_t Dropped() const { return w_.Dropped(); }

 private:
  template <typename T>
  static std::unordered_map<int32_t, size_t> Positions(const std::vector<T>& rows) {
    std::unordered_map<int32_t, size_t> at;
    at.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) at.emplace(rows[i].Id, i);
    return at;
  }

  void Span(int32_t start, int32_t end) {
    first_ = std::min(first_, start);
    last_ = std::max(last_, std::max(start, end));
  }

  // The row numbers, the tasks of each project, and what refers to each task and resource.
  void Index() {
    const auto project = Positions(plan_.Projects);
    taskAt_ = Positions(plan_.Tasks);
    resourceAt_ = Positions(plan_.Resources);
    tasksOf_.resize(plan_.Projects.size());
    for (size_t t = 0; t < plan_.Tasks.size(); ++t) {
      const auto p = project.find(plan_.Tasks[t].ProjectId);
      if (p != project.end())
        tasksOf_[p->second].push_back(t);
      else
        orphans_.push_back(t);
    }
    taskUid_.assign(plan_.Tasks.size(), 0);
    int32_t uid = 0;
    for (size_t p = 0; p < plan_.Projects.size(); ++p) {
      ++uid;
      for (size_t t : tasksOf_[p]) taskUid_[t] = ++uid;
    }
    for (size_t t : orphans_) taskUid_[t] = ++uid;

    linksOf_.resize(plan_.Tasks.size());
    for (size_t l = 0; l < plan_.Links.size(); ++l) {
      const auto p = taskAt_.find(plan_.Links[l].PredecessorId);
      const auto s = taskAt_.find(plan_.Links[l].SuccessorId);
      if (p != taskAt_.end() && s != taskAt_.end()) linksOf_[s->second].push_back(l);
    }
    unitsOf_.assign(plan_.Tasks.size(), 0);
    for (const TqorExchangeAssignment& a : plan_.Assignments) {
      const auto t = taskAt_.find(a.TaskId);
      if (t != taskAt_.end() && resourceAt_.count(a.ResourceId)) unitsOf_[t->second] += a.Units;
    }
    holidaysOf_.resize(plan_.Resources.size());
    for (size_t h = 0; h < plan_.Holidays.size(); ++h) {
      const auto r = resourceAt_.find(plan_.Holidays[h].ResourceId);
      if (r != resourceAt_.end()) holidaysOf_[r->second].push_back(h);
    }

    for (const TqorExchangeProject& p : plan_.Projects) Span(p.Start, p.End);
    for (const TqorExchangeTask& t : plan_.Tasks) Span(t.Start, t.End);
    for (size_t r = 0; r < holidaysOf_.size(); ++r)
      for (size_t h : holidaysOf_[r]) Span(plan_.Holidays[h].Start, plan_.Holidays[h].End);
    if (first_ <= last_) calendar_.Cover(first_, last_);
  }

  int64_t WorkingMinutes(int32_t start, int32_t end) const {
    return static_cast<int64_t>(calendar_.WorkingDays(start, std::max(start, end))) * dayMinutes_;
  }

  // The minutes of work assigned to a task: its duration times the units of its assignments.
  int64_t TaskWork(size_t t) const {
    const TqorExchangeTask& task = plan_.Tasks[t];
    const double work =
        unitsOf_[t] / 100 * static_cast<double>(WorkingMinutes(task.Start, task.End));
    return work > 0 && work < 1e15 ? std::llround(work) : 0;
  }

  // A non-working exception of a calendar, whole days from start to end.
  void DayOff(int32_t start, int32_t end) {
    w_.Open("WeekDay");
    w_.Integer("DayType", 0);
    w_.Integer("DayWorking", 0);
    w_.Open("TimePeriod");
    w_.Value("FromDate", MspdiDateTime(start, 0));
    w_.Value("ToDate", MspdiDateTime(std::max(start, end), 23 * 60 + 59));
    w_.Close();
    w_.Close();
  }

  void WeekDay(int dayType, const std::vector<TInterval>& times) {
    w_.Open("WeekDay");
    w_.Integer("DayType", dayType);
    w_.Integer("DayWorking", times.empty() ? 0 : 1);
    if (!times.empty()) {
      w_.Open("WorkingTimes");
      for (const TInterval& t : times) {
        w_.Open("WorkingTime");
        w_.Value("FromTime", MspdiTime(t.first));
        w_.Value("ToTime", MspdiTime(t.second % 1440));
        w_.Close();
      }
      w_.Close();
    }
    w_.Close();
  }

  // The working times of a day of that many working minutes: from the day's start up to the
  // break, then from the break's end on, then what is left before the day's start and in the
  // break.
  std::vector<TInterval> DayTimes(int32_t minutes) const {
    const TInterval order[] = {{o_.DayStart, o_.BreakStart},
                               {o_.BreakEnd, 1440},
                               {0, o_.DayStart},
                               {o_.BreakStart, o_.BreakEnd}};
    std::vector<TInterval> times;
    for (const TInterval& slot : order) {
      const int32_t take = std::min(minutes, slot.second - slot.first);
      if (take <= 0) continue;
      times.emplace_back(slot.first, slot.first + take);
      minutes -= take;
    }
    std::sort(times.begin(), times.end());
    std::vector<TInterval> merged;
    for (const TInterval& t : times) {
      if (!merged.empty() && merged.back().second == t.first)
        merged.back().second = t.second;
      else
        merged.push_back(t);
    }
    return merged;
  }

  void WriteCalendars() {
    w_.Open("Calendars");
    w_.Open("Calendar");
    w_.Integer("UID", 1);
    w_.Value("Name", "Standard");
    w_.Integer("IsBaseCalendar", 1);
    w_.Integer("BaseCalendarUID", -1);
    w_.Open("WeekDays");
    const std::vector<TInterval> day = {{o_.DayStart, o_.BreakStart}, {o_.BreakEnd, o_.DayFinish}};
    std::vector<TInterval> workingDay;
    for (const TInterval& t : day)
      if (t.second > t.first) workingDay.push_back(t);
    for (int dayType = 1; dayType <= 7; ++dayType)
      WeekDay(dayType, dayType == 1 || dayType == 7 ? std::vector<TInterval>() : workingDay);
    if (first_ <= last_) {
      // The weekday feasts of the years the plan reaches and one on either side.
      const int fromYear = std::max(1, YearOf(first_) - 1);
      const int toYear = std::min(9999, YearOf(last_) + 1);
      const auto from = static_cast<int32_t>(StartOfAYear(fromYear));
      const auto to = static_cast<int32_t>(EncodeDate(toYear, 12, 31));
      int32_t start = 0, end = -1;
      for (int32_t d = from; d <= to; ++d) {
        if (ISODayOfWeek(d) > 5 || !IsNonWorkingDay(d)) continue;
        if (end >= start && d == end + 1) {
          end = d;
          continue;
        }
        if (end >= start) DayOff(start, end);
        start = end = d;
      }
      if (end >= start) DayOff(start, end);
    }
    w_.Close();
    w_.Close();

    const double weekHours = 5.0 * dayMinutes_ / 60;
    for (size_t r = 0; r < plan_.Resources.size(); ++r) {
      const TqorExchangeResource& resource = plan_.Resources[r];
      w_.Open("Calendar");
      w_.Integer("UID", static_cast<int64_t>(r) + 2);
      w_.Text("Name", resource.Name);
      w_.Integer("IsBaseCalendar", 0);
      w_.Integer("BaseCalendarUID", 1);
      const bool ownWeek = resource.HoursPerWeek != weekHours;
      if (ownWeek || !holidaysOf_[r].empty()) {
        w_.Open("WeekDays");
        if (ownWeek) {
          const double perDay = resource.HoursPerWeek * 60 / 5;
          const int32_t minutes =
              perDay > 0 ? static_cast<int32_t>(std::lround(std::min(perDay, 1440.0))) : 0;
          const std::vector<TInterval> times = DayTimes(minutes);
          for (int dayType = 2; dayType <= 6; ++dayType) WeekDay(dayType, times);
        }
        for (size_t h : holidaysOf_[r]) DayOff(plan_.Holidays[h].Start, plan_.Holidays[h].End);
        w_.Close();
      }
      w_.Close();
    }
    w_.Close();
  }

  void Dates(int32_t start, int32_t end, bool milestone) {
    end = std::max(start, end);
    const std::string startText = MspdiDateTime(start, o_.DayStart);
    w_.Value("Start", startText);
    if (milestone && end == start)
      w_.Value("Finish", startText);
    else
      w_.Value("Finish", MspdiDateTime(end, o_.DayFinish));
  }

  void WriteProject(size_t p, int32_t uid, const std::string& number) {
    const TqorExchangeProject& project = plan_.Projects[p];
    const int32_t end = std::max(project.Start, project.End);
    w_.Open("Task");
    w_.Integer("UID", uid);
    w_.Integer("ID", uid);
    w_.Text("Name", project.Name);
    w_.Integer("Type", 1);
    w_.Integer("IsNull", 0);
    w_.Value("WBS", number);
    w_.Value("OutlineNumber", number);
    w_.Integer("OutlineLevel", 1);
    w_.Integer("Priority", 500);
    Dates(project.Start, end, false);
    w_.Value("Duration", MspdiDuration(WorkingMinutes(project.Start, end)));
    w_.Integer("DurationFormat", kMspdiLagDays);
    int64_t work = 0;
    for (size_t t : tasksOf_[p]) work += TaskWork(t);
    w_.Value("Work", MspdiDuration(work));
    w_.Integer("Milestone", 0);
    w_.Integer("Summary", 1);
    w_.Integer("PercentComplete", project.Completed ? 100 : 0);
    if (project.Completed) {
      w_.Value("ActualStart", MspdiDateTime(project.Start, o_.DayStart));
      w_.Value("ActualFinish", MspdiDateTime(end, o_.DayFinish));
    }
    if (!project.Notes.empty()) w_.Text("Notes", project.Notes);
    if (!project.Tag.empty()) Attribute(w_, TqorMspdiField::Tag, project.Tag, true);
    const std::pair<TqorMspdiField, double> numbers[] = {
        {TqorMspdiField::BudgetHours, project.BudgetHours},
        {TqorMspdiField::ActualHours, project.ActualHours},
        {TqorMspdiField::BudgetCost, project.BudgetCost},
        {TqorMspdiField::ActualCost, project.ActualCost}};
    for (const auto& [field, value] : numbers)
      if (value != 0) Attribute(w_, field, MspdiDecimal(value), false);
    w_.Close();
  }

  void WriteTask(size_t t, const std::string& number, int level) {
    const TqorExchangeTask& task = plan_.Tasks[t];
    const int32_t end = std::max(task.Start, task.End);
    const int32_t uid = taskUid_[t];
    const int64_t minutes = WorkingMinutes(task.Start, end);
    w_.Open("Task");
    w_.Integer("UID", uid);
    w_.Integer("ID", uid);
    w_.Text("Name", task.Name);
    w_.Integer("Type", 1);
    w_.Integer("IsNull", 0);
    w_.Value("WBS", number);
    w_.Value("OutlineNumber", number);
    w_.Integer("OutlineLevel", level);
    w_.Integer("Priority", 500);
    Dates(task.Start, end, task.Milestone);
    w_.Value("Duration", MspdiDuration(task.Milestone && end == task.Start ? 0 : minutes));
    w_.Integer("DurationFormat", kMspdiLagDays);
    w_.Value("Work", MspdiDuration(TaskWork(t)));
    w_.Integer("Milestone", task.Milestone ? 1 : 0);
    w_.Integer("Summary", 0);
    const int percent = task.Completed         ? 100
                        : !(task.Progress > 0) ? 0
                        : task.Progress >= 100 ? 100
                                               : static_cast<int>(std::lround(task.Progress));
    w_.Integer("PercentComplete", percent);
    if (task.Completed || task.Progress > 0)
      w_.Value("ActualStart", MspdiDateTime(task.Start, o_.DayStart));
    if (task.Completed) w_.Value("ActualFinish", MspdiDateTime(end, o_.DayFinish));
    w_.Integer("ConstraintType", 4);
    w_.Value("ConstraintDate", MspdiDateTime(task.Start, o_.DayStart));
    if (!task.Notes.empty()) w_.Text("Notes", task.Notes);
    for (size_t l : linksOf_[t]) {
      const TqorExchangeLink& link = plan_.Links[l];
      w_.Open("PredecessorLink");
      w_.Integer("PredecessorUID", taskUid_[taskAt_.at(link.PredecessorId)]);
      w_.Integer("Type", MspdiLinkTypeCode(link.Type));
      w_.Integer("CrossProject", 0);
      w_.Integer("LinkLag", static_cast<int64_t>(link.Lag) * dayMinutes_ * 10);
      w_.Integer("LagFormat", kMspdiLagDays);
      w_.Close();
    }
    if (static_cast<double>(percent) != task.Progress)
      Attribute(w_, TqorMspdiField::Progress, MspdiDecimal(task.Progress), false);
    if (percent == 100 && !task.Completed) Attribute(w_, TqorMspdiField::Completed, "0", false);
    w_.Close();
  }

  void WriteTasks() {
    w_.Open("Tasks");
    int32_t uid = 0;
    for (size_t p = 0; p < plan_.Projects.size(); ++p) {
      const std::string number = std::to_string(p + 1);
      WriteProject(p, ++uid, number);
      for (size_t k = 0; k < tasksOf_[p].size(); ++k) {
        WriteTask(tasksOf_[p][k], number + "." + std::to_string(k + 1), 2);
        ++uid;
      }
    }
    for (size_t k = 0; k < orphans_.size(); ++k)
      WriteTask(orphans_[k], std::to_string(plan_.Projects.size() + k + 1), 1);
    w_.Close();
  }

  void WriteResources() {
    w_.Open("Resources");
    for (size_t r = 0; r < plan_.Resources.size(); ++r) {
      const TqorExchangeResource& resource = plan_.Resources[r];
      const auto uid = static_cast<int64_t>(r) + 1;
      w_.Open("Resource");
      w_.Integer("UID", uid);
      w_.Integer("ID", uid);
      w_.Text("Name", resource.Name);
      w_.Integer("Type", 1);
      w_.Integer("IsNull", 0);
      if (!resource.Initials.empty()) w_.Text("Initials", resource.Initials);
      w_.Value("MaxUnits", MspdiDecimal(resource.MaxUnits, -2));
      w_.Value("StandardRate", MspdiDecimal(resource.CostPerHour));
      w_.Integer("StandardRateFormat", 2);
      w_.Integer("CalendarUID", uid + 1);
      if (!resource.Notes.empty()) w_.Text("Notes", resource.Notes);
      Attribute(w_, TqorMspdiField::HoursPerWeek, MspdiDecimal(resource.HoursPerWeek), false);
      w_.Close();
    }
    w_.Close();
  }

  void WriteAssignments() {
    w_.Open("Assignments");
    int64_t uid = 0;
    for (const TqorExchangeAssignment& a : plan_.Assignments) {
      const auto t = taskAt_.find(a.TaskId);
      const auto r = resourceAt_.find(a.ResourceId);
      if (t == taskAt_.end() || r == resourceAt_.end()) continue;
      const TqorExchangeTask& task = plan_.Tasks[t->second];
      const int32_t end = std::max(task.Start, task.End);
      w_.Open("Assignment");
      w_.Integer("UID", ++uid);
      w_.Integer("TaskUID", taskUid_[t->second]);
      w_.Integer("ResourceUID", static_cast<int64_t>(r->second) + 1);
      w_.Value("Finish", MspdiDateTime(end, o_.DayFinish));
      w_.Value("Start", MspdiDateTime(task.Start, o_.DayStart));
      w_.Value("Units", MspdiDecimal(a.Units, -2));
      const double work = a.Units / 100 * static_cast<double>(WorkingMinutes(task.Start, end));
      w_.Value("Work", MspdiDuration(work > 0 && work < 1e15 ? std::llround(work) : 0));
      w_.Close();
    }
    w_.Close();
  }

  const TqorExchangePlan& plan_;
  const TqorMspdiExportOptions o_;
  TqorMspdiXmlWriter w_;
  int32_t dayMinutes_ = 0;
  int32_t first_ = std::numeric_limits<int32_t>::max();
  int32_t last_ = std::numeric_limits<int32_t>::min();
  TqorWorkCalendar calendar_;
  std::unordered_map<int32_t, size_t> taskAt_, resourceAt_;
  std::vector<std::vector<size_t>> tasksOf_;
  std::vector<size_t> orphans_;
  std::vector<int32_t> taskUid_;
  std::vector<std::vector<size_t>> linksOf_;
  std::vector<double> unitsOf_;
  std::vector<std::vector<size_t>> holidaysOf_;
};

}  // namespace

std::string ExportMspdi(const TqorExchangePlan& plan, const TqorMspdiExportOptions& options,
                        size_t* dropped) {
  std::string out;
  out.reserve(1024 + 1200 * plan.Tasks.size() + 400 * plan.Resources.size());
  TExport exporter(plan, options, out);
  exporter.Write();
  if (dropped) *dropped = exporter.Dropped();
  return out;
}
