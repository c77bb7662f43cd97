#include "planner/schedule/qorResourceLoad.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <unordered_map>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"

namespace {

// The days of [start, end] (start alone when end < start) inside [from, to]; first > last when
// none.
void Clip(int32_t start, int32_t end, int32_t from, int32_t to, int32_t& first, int32_t& last) {
  if (end < start) end = start;
  first = std::max(start, from);
  last = std::min(end, to);
}

void Quoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// As few digits as give the value back, "." as decimal mark, never an exponent.
void Number(std::string& out, double value) {
  if (!std::isfinite(value)) return;
  if (value == 0) {
    out += '0';  // not "-0"
    return;
  }
  char buffer[400];  // the longest fixed form of a double is 309 digits and a sign
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  out.append(buffer, static_cast<size_t>(result.ptr - buffer));
}

}  // namespace

TqorResourceLoad::TqorResourceLoad(const TqorLoadInput& input, int32_t from, int32_t to,
                                   const TqorWorkCalendar& calendar)
    : from_(from), resources_(input.Resources) {
  days_ = to < from ? 0 : static_cast<int32_t>(static_cast<int64_t>(to) - from + 1);

  for (const TqorLoadTask& task : input.Tasks) names_.emplace_back(task.Id, task.Name);
  std::stable_sort(names_.begin(), names_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  names_.erase(std::unique(names_.begin(), names_.end(),
                           [](const auto& a, const auto& b) { return a.first == b.first; }),
               names_.end());

  cells_.resize(static_cast<size_t>(days_) * resources_.size());
  if (days_ == 0 || resources_.empty()) return;

  calendar.Cover(from, to);
  std::vector<uint8_t> working(static_cast<size_t>(days_));
  for (int32_t i = 0; i < days_; ++i)
    working[static_cast<size_t>(i)] = calendar.IsWorkingDay(from + i);

  std::unordered_map<int32_t, std::vector<int>> rowsOf;
  for (int row = 0; row < Resources(); ++row)
    rowsOf[resources_[static_cast<size_t>(row)].Id].push_back(row);
  std::unordered_map<int32_t, const TqorLoadTask*> taskOf;
  for (const TqorLoadTask& task : input.Tasks) taskOf.emplace(task.Id, &task);

  const auto cell = [&](int row, int32_t day) -> TCell& {
    return cells_[static_cast<size_t>(row) * static_cast<size_t>(days_) +
                  static_cast<size_t>(day - from_)];
  };
  for (int row = 0; row < Resources(); ++row)
    for (int32_t i = 0; i < days_; ++i)
      if (!working[static_cast<size_t>(i)]) cell(row, from + i).Kind = TqorLoadDay::DayOff;

  for (const TqorLoadHoliday& holiday : input.Holidays) {
    const auto rows = rowsOf.find(holiday.ResourceId);
    if (rows == rowsOf.end()) continue;
    int32_t first = 0, last = 0;
    Clip(holiday.Start, holiday.End, from, to, first, last);
    for (int row : rows->second)
      for (int32_t day = first; day <= last; ++day)
        if (working[static_cast<size_t>(day - from)]) cell(row, day).Kind = TqorLoadDay::Holiday;
  }

  for (const TqorLoadAssignment& assignment : input.Assignments) {
    const auto rows = rowsOf.find(assignment.ResourceId);
    const auto task = taskOf.find(assignment.TaskId);
    if (rows == rowsOf.end() || task == taskOf.end()) continue;
    int32_t first = 0, last = 0;
    Clip(task->second->Start, task->second->End, from, to, first, last);
    for (int row : rows->second)
      for (int32_t day = first; day <= last; ++day) {
        TCell& c = cell(row, day);
        if (c.Kind != TqorLoadDay::Working) continue;
        c.Units += assignment.Units;
        if (std::find(c.Tasks.begin(), c.Tasks.end(), assignment.TaskId) == c.Tasks.end())
          c.Tasks.push_back(assignment.TaskId);
      }
  }
}

const TqorResourceLoad::TCell& TqorResourceLoad::Cell(int row, int32_t day) const {
  return cells_[static_cast<size_t>(row) * static_cast<size_t>(days_) +
                static_cast<size_t>(day - from_)];
}

double TqorResourceLoad::Units(int row, int32_t day) const {
  return Cell(row, day).Units;
}

TqorLoadDay TqorResourceLoad::Kind(int row, int32_t day) const {
  return Cell(row, day).Kind;
}

bool TqorResourceLoad::Over(int row, int32_t day) const {
  const double max = resources_[static_cast<size_t>(row)].MaxUnits;
  return Cell(row, day).Units > (max > 0 ? max : 100);
}

const std::vector<int32_t>& TqorResourceLoad::Tasks(int row, int32_t day) const {
  return Cell(row, day).Tasks;
}

const std::string& TqorResourceLoad::TaskName(int32_t taskId) const {
  static const std::string kNone;
  const auto it = std::lower_bound(names_.begin(), names_.end(), taskId,
                                   [](const auto& entry, int32_t id) { return entry.first < id; });
  return it != names_.end() && it->first == taskId ? it->second : kNone;
}

std::string ResourceLoadCsv(const TqorResourceLoad& load) {
  std::string out;
  Quoted(out, "Resource");
  for (int32_t i = 0; i < load.Days(); ++i) {
    int year = 0, month = 0, day = 0;
    DecodeDate(load.From() + i, year, month, day);
    out += ',';
    Quoted(out, CFormat("%04d-%02d-%02d", year, month, day));
  }
  out += "\r\n";
  for (int row = 0; row < load.Resources(); ++row) {
    Quoted(out, load.Resource(row).Name);
    for (int32_t i = 0; i < load.Days(); ++i) {
      const int32_t day = load.From() + i;
      out += ',';
      switch (load.Kind(row, day)) {
        case TqorLoadDay::Working:
          Number(out, load.Units(row, day));
          break;
        case TqorLoadDay::DayOff:
          break;
        case TqorLoadDay::Holiday:
          out += 'H';
          break;
      }
    }
    out += "\r\n";
  }
  return out;
}
