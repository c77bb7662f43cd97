// Whole rows of the planner's tables, as values, for putting rows back exactly as they were:
// every column of the table in the schema's order, each as the engine hands it out (the null
// variant for an SQL null, ids as whole numbers, dates as dates, hours as reals, flags as
// booleans, names and notes as text).
//
// Written back, each value becomes a literal the engine reads as the same value: reals in the
// shortest form that reads back as the same double, dates as the calendar day, and a row that
// comes back gets the id it had (the engine takes an explicit value for an AUTOINC key that no
// row holds).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "planner/base/qorVariant.h"

class TqorDatabaseController;

enum class TqorPlanTable { Projects, Tasks, Resources, Assignments, Holidays, Settings, TaskLinks };

struct TqorPlanRow {
  TqorPlanTable Table = TqorPlanTable::Projects;
  // The key column's value.
  int32_t Id = 0;
  // Every column of the table, in the order of PlanTableColumns (the key first).
  std::vector<TqorVariant> Values;
  bool operator==(const TqorPlanRow&) const = default;
};

namespace qorPlanRows {

const char* TableName(TqorPlanTable table);
// The columns of the table; the first is its key.
const std::vector<std::string>& Columns(TqorPlanTable table);

// The rows of the table that meet the condition (an SQL condition on the table's columns, e.g.
// "ProjectId=4"; "" for every row), by key.
std::vector<TqorPlanRow> Read(TqorDatabaseController& db, TqorPlanTable table,
                              const std::string& condition);

// The literal the engine reads as the value ("NULL" for the null variant).
std::string Literal(const TqorVariant& value);

// "TaskId IN (3,4,9)": the condition of the rows with those ids.
std::string KeyIn(TqorPlanTable table, const std::vector<int32_t>& ids);

// Statements that put rows in place: a new row with its id; the columns of a row that is there
// (by their places in Columns); the removal of the rows with the ids.
std::string Insert(const TqorPlanRow& row);
std::string Update(const TqorPlanRow& row, const std::vector<size_t>& columns);
std::string Delete(TqorPlanTable table, const std::vector<int32_t>& ids);

}  // namespace qorPlanRows
