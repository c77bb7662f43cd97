// The tables the SQL tests parse against: the planner's six tables as the program uses them, a
// table with a column of every type (and columns named like reserved words), and a memory table.
#pragma once

#include <string>
#include <vector>

#include "db/record/zuzTableDef.h"
#include "db/sql/zuzSqlCatalogue.h"

namespace zuz::test {

// A table with a primary index on primaryKey (none when empty) and an index "ix" + name on
// secondKey (none when empty).
inline TTableDef SqlTestTable(const std::string& name, std::vector<TFieldDesc> fields,
                              const std::string& primaryKey, const std::string& secondKey = "",
                              bool memory = false) {
  std::vector<TIndexDesc> indexes;
  if (!primaryKey.empty()) {
    TIndexDesc pk;
    pk.Name = "PK_" + name;
    pk.Fields = primaryKey;
    pk.Primary = true;
    pk.Unique = true;
    indexes.push_back(pk);
  }
  if (!secondKey.empty()) {
    TIndexDesc second;
    second.Name = "ix" + name;
    second.Fields = secondKey;
    indexes.push_back(second);
  }
  TTableOptions options;
  options.Memory = memory;
  return BuildTableDef(name, fields, indexes, options);
}

// The planner's tables, a table "Samples" with one column of each type and a memory table
// "Scratch".
inline const TZuzSqlTableList& PlannerCatalogue() {
  using F = TFieldType;
  static const TZuzSqlTableList list = [] {
    TZuzSqlTableList all;
    TZuzSqlTableList* l = &all;
    l->AddDiskTable(SqlTestTable("Projects",
                                 {{"ProjectId", F::ftAutoInc},
                                  {"ProjectName", F::ftString, 100},
                                  {"ProjectTag", F::ftString, 25},
                                  {"StartDate", F::ftDate},
                                  {"EndDate", F::ftDate},
                                  {"BudgetHours", F::ftFloat},
                                  {"ActualHours", F::ftFloat},
                                  {"BudgetCost", F::ftFloat},
                                  {"ActualCost", F::ftFloat},
                                  {"IsCompleted", F::ftBoolean},
                                  {"AssignedHours", F::ftFloat},
                                  {"Notes", F::ftMemo}},
                                 "ProjectId", "ProjectName"));
    l->AddDiskTable(SqlTestTable("Tasks",
                                 {{"TaskId", F::ftAutoInc},
                                  {"TaskName", F::ftString, 100},
                                  {"StartDate", F::ftDate},
                                  {"EndDate", F::ftDate},
                                  {"IsMileStone", F::ftBoolean},
                                  {"IsCompleted", F::ftBoolean},
                                  {"AssignedHours", F::ftFloat},
                                  {"Progress", F::ftFloat},
                                  {"Notes", F::ftMemo},
                                  {"ProjectId", F::ftInteger}},
                                 "TaskId", "ProjectId"));
    l->AddDiskTable(SqlTestTable("Resources",
                                 {{"ResourceId", F::ftAutoInc},
                                  {"ResourceName", F::ftString, 50},
                                  {"Initials", F::ftString, 10},
                                  {"HoursPerWeek", F::ftFloat},
                                  {"CostPerHour", F::ftFloat},
                                  {"MaxUnits", F::ftFloat},
                                  {"Notes", F::ftMemo}},
                                 "ResourceId", "ResourceName"));
    l->AddDiskTable(SqlTestTable("Assignments",
                                 {{"AssignmentId", F::ftAutoInc},
                                  {"TaskId", F::ftInteger},
                                  {"ResourceId", F::ftInteger},
                                  {"Units", F::ftFloat}},
                                 "AssignmentId", "TaskId"));
    l->AddDiskTable(SqlTestTable("Holidays",
                                 {{"HolidayId", F::ftAutoInc},
                                  {"ResourceId", F::ftInteger},
                                  {"StartDate", F::ftDate},
                                  {"EndDate", F::ftDate}},
                                 "HolidayId", "ResourceId"));
    l->AddDiskTable(SqlTestTable("Settings",
                                 {{"SettingId", F::ftInteger},
                                  {"ProjectFilter", F::ftMemo},
                                  {"ReportFormat", F::ftString, 10}},
                                 "SettingId"));
    l->AddDiskTable(SqlTestTable("Samples",
                                 {{"S", F::ftString, 20},
                                  {"I", F::ftInteger},
                                  {"Sm", F::ftSmallint},
                                  {"F", F::ftFloat},
                                  {"C", F::ftCurrency},
                                  {"B", F::ftBoolean},
                                  {"D", F::ftDate},
                                  {"T", F::ftTime},
                                  {"DT", F::ftDateTime},
                                  {"Bl", F::ftBlob},
                                  {"M", F::ftMemo},
                                  {"By", F::ftBytes, 16},
                                  {"Date", F::ftDate},
                                  {"Order", F::ftString, 10},
                                  {"Two Words", F::ftInteger}},
                                 ""));
    l->AddMemoryTable(
        SqlTestTable("Scratch", {{"A", F::ftInteger}, {"B", F::ftString, 10}}, "", "A", true));
    return all;
  }();
  return list;
}

}  // namespace zuz::test
