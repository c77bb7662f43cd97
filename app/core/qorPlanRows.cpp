#include "app/core/qorPlanRows.h"

#include <charconv>
#include <cmath>

#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseRecordSet.h"

namespace {

using C = TqorDatabaseController;

struct TTable {
  const char* name;
  std::vector<std::string> columns;
};

const TTable& Of(TqorPlanTable table) {
  static const TTable tables[] = {
      {"Projects",
       {"ProjectId", "ProjectName", "ProjectTag", "StartDate", "EndDate", "BudgetHours",
        "ActualHours", "BudgetCost", "ActualCost", "IsCompleted", "AssignedHours", "Notes"}},
      {"Tasks",
       {"TaskId", "TaskName", "StartDate", "EndDate", "IsMileStone", "IsCompleted", "AssignedHours",
        "Progress", "Notes", "ProjectId"}},
      {"Resources",
       {"ResourceId", "ResourceName", "Initials", "HoursPerWeek", "CostPerHour", "MaxUnits",
        "Notes"}},
      {"Assignments", {"AssignmentId", "TaskId", "ResourceId", "Units"}},
      {"Holidays", {"HolidayId", "ResourceId", "StartDate", "EndDate"}},
      {"Settings", {"SettingId", "ProjectFilter", "ReportFormat"}},
      {"TaskLinks", {"LinkId", "PredecessorId", "SuccessorId", "LinkType", "LagDays"}},
  };
  return tables[static_cast<int>(table)];
}

}  // namespace

namespace qorPlanRows {

const char* TableName(TqorPlanTable table) {
  return Of(table).name;
}

const std::vector<std::string>& Columns(TqorPlanTable table) {
  return Of(table).columns;
}

std::vector<TqorPlanRow> Read(TqorDatabaseController& db, TqorPlanTable table,
                              const std::string& condition) {
  const TTable& t = Of(table);
  std::string list;
  for (const std::string& column : t.columns) list += (list.empty() ? "" : ", ") + column;
  std::vector<TqorPlanRow> rows;
  TqorDatabaseRecordSet* set =
      db.OpenRecordSet("SELECT " + list + " FROM " + t.name +
                       (condition.empty() ? std::string() : " WHERE " + condition) + " ORDER BY " +
                       t.columns.front());
  try {
    for (; !db.Eof(set); db.Next(set)) {
      TqorPlanRow row;
      row.Table = table;
      row.Values.reserve(t.columns.size());
      for (const std::string& column : t.columns) row.Values.push_back(set->GetValue(column));
      row.Id = row.Values.front().IsNull() ? 0 : row.Values.front().AsInteger();
      rows.push_back(std::move(row));
    }
  } catch (...) {
    db.CloseRecordSet(set);
    throw;
  }
  db.CloseRecordSet(set);
  return rows;
}

std::string Literal(const TqorVariant& value) {
  switch (value.Kind()) {
    case TqorVarKind::Null:
      return "NULL";
    case TqorVarKind::Integer:
      return C::SQLInteger(value.AsInteger());
    case TqorVarKind::Boolean:
      return C::SQLBoolean(value.AsBoolean());
    case TqorVarKind::Date:
      return C::SQLDate(value.AsDate());
    case TqorVarKind::Real: {
      const double v = value.AsReal();
      if (!std::isfinite(v)) return C::SQLFloat(v);  // refused with the formatter's message
      // The shortest text that reads back as the same double.
      char text[32];
      const auto end = std::to_chars(text, text + sizeof text, v).ptr;
      return std::string(text, end);
    }
    case TqorVarKind::Text:
      break;
  }
  return C::SQLString(value.RawText());
}

std::string Insert(const TqorPlanRow& row) {
  const TTable& t = Of(row.Table);
  std::string columns, values;
  for (size_t i = 0; i < t.columns.size() && i < row.Values.size(); ++i) {
    columns += (i ? ", " : "") + t.columns[i];
    values += (i ? ", " : "") + Literal(row.Values[i]);
  }
  return "INSERT INTO " + std::string(t.name) + " (" + columns + ") VALUES (" + values + ")";
}

std::string KeyIn(TqorPlanTable table, const std::vector<int32_t>& ids) {
  std::string list;
  for (int32_t id : ids) list += (list.empty() ? "" : ",") + C::SQLInteger(id);
  return Of(table).columns.front() + " IN (" + list + ")";
}

std::string Update(const TqorPlanRow& row, const std::vector<size_t>& columns) {
  const TTable& t = Of(row.Table);
  std::string set;
  for (size_t column : columns)
    set += (set.empty() ? "" : ", ") + t.columns[column] + "=" + Literal(row.Values[column]);
  return "UPDATE " + std::string(t.name) + " SET " + set + " WHERE " + t.columns.front() + "=" +
         C::SQLInteger(row.Id);
}

std::string Delete(TqorPlanTable table, const std::vector<int32_t>& ids) {
  return "DELETE FROM " + std::string(Of(table).name) + " WHERE " + KeyIn(table, ids);
}

}  // namespace qorPlanRows
