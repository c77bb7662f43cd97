#include "planner/schedule/qorWorkCalendar.h"

#include <algorithm>
#include <string>

#include "planner/base/qorCalendar.h"

namespace {

constexpr int64_t kFirstDay = -693593;  // 1 January 0001
constexpr int64_t kLastDay = 2958465;   // 31 December 9999

void CheckDay(int64_t day) {
  if (day < kFirstDay || day > kLastDay)
    throw EqorDateError("Invalid day number " + std::to_string(day));
}

}  // namespace

int64_t TqorWorkCalendar::Rank(int32_t day) const {
  if (working_.empty() || day < first_ || day > LastCovered()) {
    CheckDay(day);
    Grow(day, day);
  }
  return before_[day - first_];
}

bool TqorWorkCalendar::IsWorkingDay(int32_t day) const {
  Rank(day);
  return working_[day - first_] != 0;
}

int32_t TqorWorkCalendar::Next(int32_t day) const {
  for (;;) {
    const int64_t k = Rank(day);
    if (k < static_cast<int64_t>(days_.size())) return days_[k];
    Grow(first_, int64_t{LastCovered()} + 14);
  }
}

int32_t TqorWorkCalendar::Prev(int32_t day) const {
  for (;;) {
    const int64_t k = Rank(day) + working_[day - first_];
    if (k > 0) return days_[k - 1];
    Grow(int64_t{first_} - 14, LastCovered());
  }
}

int32_t TqorWorkCalendar::Shift(int32_t workingDay, int64_t n) const {
  for (;;) {
    const int64_t k = Rank(workingDay) + n;
    const int64_t size = static_cast<int64_t>(days_.size());
    if (k >= 0 && k < size) return days_[k];
    // Twice as many days as working days are missing, and two weeks, are plenty.
    if (k < 0)
      Grow(int64_t{first_} + 2 * k - 14, LastCovered());
    else
      Grow(first_, int64_t{LastCovered()} + 2 * (k - size + 1) + 14);
  }
}

int32_t TqorWorkCalendar::WorkingDays(int32_t start, int32_t end) const {
  if (end < start) return 0;
  Cover(start, end);
  return before_[end - first_ + 1] - before_[start - first_];
}

int64_t TqorWorkCalendar::Distance(int32_t from, int32_t to) const {
  Cover(from, to);
  return int64_t{before_[to - first_]} - before_[from - first_];
}

void TqorWorkCalendar::Cover(int32_t first, int32_t last) const {
  if (last < first) std::swap(first, last);
  if (!working_.empty() && first >= first_ && last <= LastCovered()) return;
  CheckDay(first);
  CheckDay(last);
  Grow(first, last);
}

void TqorWorkCalendar::Grow(int64_t first, int64_t last) const {
  const int64_t oldFirst = first_, oldLast = LastCovered();
  const int64_t length = static_cast<int64_t>(working_.size());
  int64_t lo, hi;
  if (working_.empty()) {
    lo = first - kMargin;
    hi = last + kMargin;
  } else {
    lo = std::min(first, oldFirst);
    hi = std::max(last, oldLast);
    if (lo < oldFirst) lo = std::min(lo, oldFirst - length);
    if (hi > oldLast) hi = std::max(hi, oldLast + length);
  }
  lo = std::max(lo, kFirstDay);
  hi = std::min(hi, kLastDay);
  if (!working_.empty() && lo == oldFirst && hi == oldLast)
    throw EqorDateError("No working day within the calendar's range (years 1 to 9999)");

  std::vector<uint8_t> working(static_cast<size_t>(hi - lo + 1));
  for (int64_t day = lo; day <= hi; ++day) {
    const size_t i = static_cast<size_t>(day - lo);
    if (!working_.empty() && day >= oldFirst && day <= oldLast)
      working[i] = working_[static_cast<size_t>(day - oldFirst)];
    else
      working[i] = IsNonWorkingDay(static_cast<double>(day)) ? 0 : 1;
  }
  working_ = std::move(working);
  first_ = static_cast<int32_t>(lo);
  before_.assign(working_.size() + 1, 0);
  days_.clear();
  for (size_t i = 0; i < working_.size(); ++i) {
    before_[i + 1] = before_[i] + working_[i];
    if (working_[i]) days_.push_back(static_cast<int32_t>(lo + static_cast<int64_t>(i)));
  }
}
