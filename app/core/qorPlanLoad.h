// The plan as the input of the resource load table (planner/schedule/qorResourceLoad.h), read from
// the planner document: every resource, the tasks of every project (not only those the project
// filter shows, so that a resource's load counts all its work), their assignments and the
// holidays. Resources, tasks, assignments and holidays come in the order of their ids; dates are
// whole day numbers (a time of day cut off).
#pragma once

#include "planner/schedule/qorResourceLoad.h"

class TqorPlannerModel;

TqorLoadInput LoadInputOf(TqorPlannerModel& planner);
