// The working days the scheduler counts in: every day that IsNonWorkingDay
// (planner/base/qorCalendar.h) does not name. Days are whole day numbers (days since 30 December
// 1899).
//
//   Next(d)     the first working day >= d
//   Prev(d)     the last working day <= d
//   Shift(w, n) the working day n working days after the working day w (n < 0: before it)
//
// The calendar keeps a table of a range of days: for each day the number of working days before
// it in the range, and the range's working days in order, so that every query is O(1) once the
// range covers it. A query that reaches beyond the range grows it by at least the range's own
// length (growing costs O(days) in all); Cover() grows it ahead of time. Since a const query may
// grow the table, one calendar must not be used by two threads at once.
//
// Days outside 1 January 0001 to 31 December 9999, and working days a query would need beyond
// them, raise EqorDateError.
#pragma once

#include <cstdint>
#include <vector>

class TqorWorkCalendar {
 public:
  // The range a calendar starts with when its first query comes: the days asked about and this
  // many days on either side.
  static constexpr int32_t kMargin = 366;

  bool IsWorkingDay(int32_t day) const;
  int32_t Next(int32_t day) const;
  int32_t Prev(int32_t day) const;
  // For a day that is not a working day the result is that of Shift(Next(day), n).
  int32_t Shift(int32_t workingDay, int64_t n) const;
  // The number of working days in [start, end]; 0 when end < start.
  int32_t WorkingDays(int32_t start, int32_t end) const;
  // The number of working days in [from, to), or minus those in [to, from) when to < from: for
  // two working days the n with Shift(from, n) == to.
  int64_t Distance(int32_t from, int32_t to) const;

  // Makes the table hold every day from first to last (in either order).
  void Cover(int32_t first, int32_t last) const;
  // The days the table holds now (an empty table: first > last).
  int32_t FirstCovered() const { return first_; }
  int32_t LastCovered() const { return first_ + static_cast<int32_t>(working_.size()) - 1; }

 private:
  // working_[i]: whether day first_ + i is a working day.
  mutable std::vector<uint8_t> working_;
  // before_[i]: the number of working days among first_ .. first_ + i - 1 (one more entry than
  // working_, the last counting the whole range).
  mutable std::vector<int32_t> before_;
  // The working days of the range in order: days_[before_[i]] is Next(first_ + i).
  mutable std::vector<int32_t> days_;
  mutable int32_t first_ = 0;

  // The number of working days before the day in the range; covers the day first.
  int64_t Rank(int32_t day) const;
  // Grows the range to hold [first, last] and, growing, by at least its own length each way it
  // grows. Raises EqorDateError when the days needed lie outside the calendar.
  void Grow(int64_t first, int64_t last) const;
};
