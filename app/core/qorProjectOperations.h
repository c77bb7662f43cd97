// The projects of a plan as the project list, the project dialog and the project filter change
// them, over the planner document and its database. Every operation writes the database first,
// all its statements in one transaction, and changes the document only once the database took
// the change: a change the database refuses raises the engine's error and leaves the database
// and the document as they were.
//
//   CreateProject   the new row, its id and the filter extended by "[id]"; then the element,
//                   visible at once
//   DeleteProject   the assignments of its tasks, its tasks, its row; then the element with its
//                   tasks (its "[id]" stays in the filter, matching nothing)
//   EditProject     the values of the project dialog into the row, then into the element; its
//                   tasks stay where they are and no hours are recomputed
//   FilterProjects  the filter made of the checked projects, stored, then shown
//
// Every write is checked against what this program last read or wrote: the project row as the
// element shows it (its tasks and their assignments too when deleting, and no others), the
// filter as shown. When another program changed or deleted any of it, nothing is written, the
// element (or the filter) gets what the file holds, or leaves the document when its row is
// gone, and EqorChangedElsewhere names the project, task or assignment, or "The project
// filter".
//
// Given an edit history, each operation that stores a change records it there as one step.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/qorListEntry.h"
#include "app/core/qorPlannerStatements.h"

class TqorDatabaseController;
class TqorEditHistory;
class TqorPlannerModel;
class TqorXMLNode2;

// The project dialog: shows the values of the project with that id, lets the user change them,
// and returns true with the changed values on OK, false on Cancel.
using TqorProjectDialog = std::function<bool(int32_t projectId, TqorProjectValues& values)>;
// The project filter dialog: shows the entries with their check boxes and returns true with the
// boxes as the user left them on OK, false on Cancel.
using TqorProjectFilterDialog = std::function<bool(std::vector<TqorListEntry>& entries)>;

// The projects' names in document order.
std::vector<TqorListEntry> FillProjectList(const TqorPlannerModel& planner);
// A new project named name (used as given) from today to today + 30, visible at once. Returns
// its element.
TqorXMLNode2* CreateProject(TqorDatabaseController& db, TqorPlannerModel& planner,
                            std::string_view name, TqorEditHistory* history = nullptr);
// REQUIRES: project is a "project" element of the planner's document; it is freed.
void DeleteProject(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* project,
                   TqorEditHistory* history = nullptr);
// The values the project dialog shows.
TqorProjectValues ProjectValuesOf(const TqorXMLNode2* project);
// Shows the project in the dialog and stores what it returns on OK. Returns whether it stored.
bool EditProject(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* project,
                 const TqorProjectDialog& dialog, TqorEditHistory* history = nullptr);

// The projects' names in document order, each checked when the filter holds its "[id]".
std::vector<TqorListEntry> ProjectFilterEntries(const TqorPlannerModel& planner);
// "[id]" of every checked entry, in list order ("" when none is checked).
std::string BuildProjectFilter(const std::vector<TqorListEntry>& entries);
// Stores the filter in the Settings row, then shows the projects it names.
void StoreProjectFilter(TqorDatabaseController& db, TqorPlannerModel& planner,
                        const std::string& filter, TqorEditHistory* history = nullptr);
// Stores the report format ("PDF" or "RTF") while the stored one is shown (the format this window
// showed, as loaded). A plan without its Settings row keeps none, as before.
void StoreReportFormat(TqorDatabaseController& db, const std::string& shown,
                       const std::string& format, TqorEditHistory* history = nullptr);
// The report format as stored ("" when the plan has no Settings row or no format).
std::string StoredReportFormat(TqorDatabaseController& db);
// The project filter dialog on the current filter; on OK the filter of the checked projects is
// stored and shown. Returns whether it stored.
bool FilterProjects(TqorDatabaseController& db, TqorPlannerModel& planner,
                    const TqorProjectFilterDialog& dialog, TqorEditHistory* history = nullptr);
