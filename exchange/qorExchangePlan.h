// A plan as the exchange formats see it: plain values, without the planner document or the
// database. The program fills one from a plan (every table, links included) to export it, and an
// import fills one that the program then stores as new rows.
//
// Dates are whole day numbers (days since 30 December 1899, planner/base/qorCalendar.h); a task
// runs from Start to End, both included (a milestone has Start == End). Ids are the plan's keys
// for an export; an import numbers its rows 1, 2, ... in the file's order, and the references
// between them (a task's project, an assignment's task and resource, a holiday's resource, a
// link's tasks) use those numbers. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "planner/schedule/qorScheduleLink.h"

struct TqorExchangeProject {
  int32_t Id = 0;
  std::string Name;
  std::string Tag;
  int32_t Start = 0;
  int32_t End = 0;
  double BudgetHours = 0;
  double ActualHours = 0;
  double BudgetCost = 0;
  double ActualCost = 0;
  bool Completed = false;
  std::string Notes;
  bool operator==(const TqorExchangeProject&) const = default;
};

struct TqorExchangeTask {
  int32_t Id = 0;
  int32_t ProjectId = 0;
  std::string Name;
  int32_t Start = 0;
  int32_t End = 0;
  bool Milestone = false;
  bool Completed = false;
  double Progress = 0;  // percent, 0 to 100 (a plan may hold more)
  std::string Notes;
  bool operator==(const TqorExchangeTask&) const = default;
};

struct TqorExchangeResource {
  int32_t Id = 0;
  std::string Name;
  std::string Initials;
  double HoursPerWeek = 0;
  double CostPerHour = 0;
  double MaxUnits = 100;  // percent
  std::string Notes;
  bool operator==(const TqorExchangeResource&) const = default;
};

struct TqorExchangeAssignment {
  int32_t Id = 0;
  int32_t TaskId = 0;
  int32_t ResourceId = 0;
  double Units = 0;  // percent of the resource's time
  bool operator==(const TqorExchangeAssignment&) const = default;
};

// A resource's days off, both days included.
struct TqorExchangeHoliday {
  int32_t Id = 0;
  int32_t ResourceId = 0;
  int32_t Start = 0;
  int32_t End = 0;
  bool operator==(const TqorExchangeHoliday&) const = default;
};

// The successor waits for the predecessor as the type says, Lag working days later (negative:
// a lead); working days as planner/schedule/qorWorkCalendar.h counts them.
struct TqorExchangeLink {
  int32_t Id = 0;
  int32_t PredecessorId = 0;
  int32_t SuccessorId = 0;
  TqorLinkType Type = TqorLinkType::FS;
  int32_t Lag = 0;
  bool operator==(const TqorExchangeLink&) const = default;
};

struct TqorExchangePlan {
  // The plan's name (an export's title; an import's file name without its folder).
  std::string Name;
  std::vector<TqorExchangeProject> Projects;
  std::vector<TqorExchangeTask> Tasks;
  std::vector<TqorExchangeResource> Resources;
  std::vector<TqorExchangeAssignment> Assignments;
  std::vector<TqorExchangeHoliday> Holidays;
  std::vector<TqorExchangeLink> Links;
  bool operator==(const TqorExchangePlan&) const = default;
};
