// The plan as the input of the chart (planner/chart/qorChartLayout.h), read from the planner
// document: the projects the project filter shows with their tasks in the grid's order, the
// tasks of folded projects left out unless every project is to be unfolded, the links between
// the tasks shown, and (when asked) the tasks and links of the critical path.
#pragma once

#include <string>

#include "planner/chart/qorChartLayout.h"

class TqorPlannerModel;

struct TqorChartContent {
  bool AllUnfolded = false;  // the tasks of folded projects too
  bool CriticalPath = false;
  std::string Title;  // the plan's name
};

TqorChartInput ChartInputOf(TqorPlannerModel& planner, const TqorChartContent& content);

// The first and last day of the plan's tasks and projects that the chart would show; false when
// none has dates.
bool ChartSpanOf(const TqorChartInput& input, int32_t& first, int32_t& last);
