// Loading a plan at start with the checks that tell a damaged plan from a whole one. Each of the
// planner's tables, in the loading order, is checked as it is read (PlanVersion and TaskLinks in
// plans of version 2 on):
//   - its definition is the one the planner's schema makes (fields with their types, sizes and
//     places in a record, indexes with their key fields);
//   - its loading step reads every row without an error;
//   - the rows read are as many as the entries of each of its indexes (a damaged page whose
//     records can no longer be found shows as fewer rows than entries).
// Everything runs in one transaction, so that no other program's commit falls between the rows
// and the counts; the transaction writes nothing. The counts come from the index trees' own
// totals, so the checks add little to the loading itself.
#pragma once

#include <string>
#include <vector>

#include "app/core/qorPlannerLoader.h"

class TqorDatabaseController;
class TqorPlannerModel;

// The loading steps of LoadPlanner, each run even when one before it failed, with the
// checks above. Never raises for damage: each problem found is one line in problems ("table
// Tasks: ..."), and the steps keep what they read. When the Settings table is damaged the project
// filter shows every project loaded, so that what is left of the plan can be seen.
// REQUIRES: the controller is connected with no transaction open; planner as for LoadPlanner.
TqorPlannerSettings LoadCheckedPlanner(TqorDatabaseController& controller,
                                       TqorPlannerModel& planner,
                                       std::vector<std::string>& problems);

// What to tell the user about a damaged plan: that the plan at databasePath is damaged, each
// problem, and the command that checks the whole file ("zuzdump --check FILE").
std::string DamagedPlanMessage(const std::string& databasePath,
                               const std::vector<std::string>& problems);
