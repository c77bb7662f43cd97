// Loading the plan again into a planner document that already shows it (another program changed
// the file, or the user asked for it), keeping what the user was looking at:
//   - the projects folded stay folded (a project new to this window comes unfolded);
//   - the current task or project stays current, found again by its id; a task gone gives way
//     to its project, a project gone to the row it stood in (or the last row);
//   - the period (the first day shown) stays.
// The projects' assigned hours, which are stored only when one of their tasks changes in this
// program, are summed again from their tasks as loaded, so that the grid shows what the tasks
// add up to after another program's changes.
//
// The scroll position and the current column belong to the grid widget; the window keeps them.
#pragma once

#include <string>
#include <vector>

#include "app/core/qorPlannerLoader.h"

class TqorDatabaseController;
class TqorPlannerModel;

struct TqorPlanView {
  // Ids of the projects folded.
  std::vector<std::string> FoldedProjects;
  // "task" or "project" with its id when the current row shows one; empty otherwise.
  std::string CurrentElement, CurrentId;
  // The project of the current task.
  std::string CurrentProjectId;
  // The current row itself, for when nothing of the above is found again.
  int CurrentRow = -1;
  double StartDate = 0;
};

// What the planner shows now with currentRow current.
TqorPlanView CapturePlanView(const TqorPlannerModel& planner, int currentRow);

// Empties the planner's projects, resources and holidays and loads the plan again with the
// checks of LoadCheckedPlanner (problems as there), then puts the view back as described above.
// Returns the row to make current (-1 when the grid has no row below the headers).
// REQUIRES: the controller is connected with no transaction open.
int ReloadPlanner(TqorDatabaseController& controller, TqorPlannerModel& planner,
                  const TqorPlanView& view, std::vector<std::string>& problems,
                  TqorPlannerSettings* settings = nullptr);
