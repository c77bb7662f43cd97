// The load of each resource on each day of a period: the sum of the units of its assignments to
// the tasks that include the day, counted on the working days (qorWorkCalendar.h) outside the
// resource's holidays. A day off (a weekend, a feast, a holiday of the resource) has no load,
// whatever the tasks say. A task or a holiday includes the days from its Start to its End (its
// Start alone when End < Start). A day is over when its load exceeds the resource's max units
// (100 percent when the resource has none: 0 or less).
//
// Of tasks sharing an id the first counts; resources sharing an id get the same load and
// holidays, each on its own row.
//
// Plain numbers and ids only, so that the grid, the window, the command line and the tests
// compute the same table.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "planner/schedule/qorWorkCalendar.h"

struct TqorLoadResource {
  int32_t Id = 0;
  std::string Name;
  double MaxUnits = 100;  // percent
};

struct TqorLoadTask {
  int32_t Id = 0;
  std::string Name;
  int32_t Start = 0;  // day numbers (planner/base/qorCalendar.h)
  int32_t End = 0;
};

struct TqorLoadAssignment {
  int32_t TaskId = 0;
  int32_t ResourceId = 0;
  double Units = 0;  // percent
};

struct TqorLoadHoliday {
  int32_t ResourceId = 0;
  int32_t Start = 0;
  int32_t End = 0;
};

struct TqorLoadInput {
  std::vector<TqorLoadResource> Resources;  // the rows of the table, in this order
  std::vector<TqorLoadTask> Tasks;
  std::vector<TqorLoadAssignment> Assignments;  // those naming a task or resource not given
                                                // are left out
  std::vector<TqorLoadHoliday> Holidays;
};

// What a cell of the table shows.
enum class TqorLoadDay : uint8_t {
  Working,  // a working day of the resource (its load may be 0)
  DayOff,   // a weekend day or a feast
  Holiday,  // a working day inside one of the resource's holidays
};

class TqorResourceLoad {
 public:
  // The table of the days from..to (both included; empty when to < from). Linear in the
  // assignments times their tasks' days inside the period, plus the cells.
  TqorResourceLoad(const TqorLoadInput& input, int32_t from, int32_t to,
                   const TqorWorkCalendar& calendar = TqorWorkCalendar());

  int32_t From() const { return from_; }
  int32_t Days() const { return days_; }
  int Resources() const { return static_cast<int>(resources_.size()); }
  const TqorLoadResource& Resource(int row) const { return resources_[static_cast<size_t>(row)]; }

  // REQUIRES: 0 <= row < Resources(), 0 <= day - From() < Days().
  double Units(int row, int32_t day) const;
  TqorLoadDay Kind(int row, int32_t day) const;
  bool Over(int row, int32_t day) const;
  // The ids of the tasks that make the cell's load, each once, in the order of the input's
  // assignments (empty on a day off or a holiday).
  const std::vector<int32_t>& Tasks(int row, int32_t day) const;
  // The task's name, "" for an id the input lacks.
  const std::string& TaskName(int32_t taskId) const;

 private:
  struct TCell {
    double Units = 0;
    TqorLoadDay Kind = TqorLoadDay::Working;
    std::vector<int32_t> Tasks;
  };
  const TCell& Cell(int row, int32_t day) const;

  int32_t from_ = 0;
  int32_t days_ = 0;
  std::vector<TqorLoadResource> resources_;
  std::vector<TCell> cells_;                            // row-major: row * days_ + (day - from_)
  std::vector<std::pair<int32_t, std::string>> names_;  // sorted by id
};

// The table as CSV (RFC 4180, UTF-8, CRLF): a header line "Resource","2025-03-03",... then one
// line per resource: its name (quoted) and, per day, its load in percent as a number ("." as
// decimal mark, as few digits as give it back, never an exponent), empty on a day off, H
// (unquoted) on a holiday.
std::string ResourceLoadCsv(const TqorResourceLoad& load);
