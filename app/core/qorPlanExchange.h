// The plan and the exchange formats (exchange/): the plan as a TqorExchangePlan for an export,
// and an imported plan stored as new rows of the open plan.
//
// StoreImportedPlan adds the imported projects (shown at once: the project filter takes them),
// their tasks, the resources (one whose name a resource of the plan has already is that resource,
// else a new one), the assignments, the holidays and the links, with the tasks' and projects'
// assigned hours computed from the assignments as the planner computes them. Everything is one
// transaction, and one step of the edit history when one is given: on any error nothing is stored
// and the error comes through.
#pragma once

#include <string>
#include <vector>

#include "exchange/qorExchangePlan.h"

class TqorDatabaseController;
class TqorEditHistory;
class TqorPlannerModel;

// The plan's own id (PlanIdentity, qorPlannerSchema.h); empty for a plan of a version before 3,
// which has none until the program upgrades it. REQUIRES: connected.
std::string StoredPlanId(TqorDatabaseController& db);

// Every project of the document (whatever the filter), with its tasks, the resources, the
// assignments, the holidays and the links; named name.
TqorExchangePlan ExchangePlanOf(TqorPlannerModel& planner, std::string name);

struct TqorImportCounts {
  int Projects = 0;
  int Tasks = 0;
  int Resources = 0;     // those the import named
  int NewResources = 0;  // of them, those the plan did not have
  int Assignments = 0;
  int Holidays = 0;
  int Links = 0;
};

// REQUIRES: connected, writable, no transaction open; the plan's references hold (a task's
// project, an assignment's task and resource, a holiday's resource and a link's tasks are rows
// of the plan).
TqorImportCounts StoreImportedPlan(TqorDatabaseController& db, const TqorExchangePlan& plan,
                                   TqorEditHistory* history = nullptr);

// "Imported 3 projects with 40 tasks, 5 resources (2 new), 12 assignments, 4 holidays and 9
// links."
std::string ImportedText(const TqorImportCounts& counts);
