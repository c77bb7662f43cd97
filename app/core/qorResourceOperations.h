// The resources of a plan as the resource list and the resource dialog change them, over the
// planner document and its database. As with projects, the database is written first, all
// statements of an operation in one transaction, and the document follows only once the database
// took the change; a refused change leaves both as they were.
//
//   CreateResource  the new row (initials "NN", 0 hours per week, 0 cost per hour, 100 max
//                   units) and its id; then the element
//   DeleteResource  its assignments, its holidays, its row; then its element, and the assignment
//                   and holiday elements that named it. The tasks keep their stored hours until
//                   they are next recomputed.
//   EditResource    the values of the resource dialog into the row, then into the element; a
//                   changed number of hours per week counts from the next recomputation of a task
//
// Edits and deletes are checked as the project operations' are: the resource row as shown (its
// assignments and holidays too when deleting, and no others). Given an edit history, each
// operation that stores a change records it there as one step.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "app/core/qorListEntry.h"
#include "app/core/qorPlannerStatements.h"

class TqorDatabaseController;
class TqorEditHistory;
class TqorPlannerModel;
class TqorXMLNode2;

// The resource dialog: shows the values of the resource with that id and returns true with the
// changed values on OK, false on Cancel.
using TqorResourceDialog = std::function<bool(int32_t resourceId, TqorResourceValues& values)>;

// The resources' names in document order.
std::vector<TqorListEntry> FillResourceList(const TqorPlannerModel& planner);
// A new resource named name (used as given). Returns its element.
TqorXMLNode2* CreateResource(TqorDatabaseController& db, TqorPlannerModel& planner,
                             std::string_view name, TqorEditHistory* history = nullptr);
// REQUIRES: resource is a "resource" element of the planner's document; it is freed.
void DeleteResource(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* resource,
                    TqorEditHistory* history = nullptr);
// The values the resource dialog shows.
TqorResourceValues ResourceValuesOf(const TqorXMLNode2* resource);
// Shows the resource in the dialog and stores what it returns on OK. Returns whether it stored.
bool EditResource(TqorDatabaseController& db, TqorPlannerModel& planner, TqorXMLNode2* resource,
                  const TqorResourceDialog& dialog, TqorEditHistory* history = nullptr);
