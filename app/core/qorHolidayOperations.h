// The holidays of a resource as the holiday list and the holiday dialog change them. The list
// reads the database; each change is written to the database and then mirrored in the
// document's "holiday" elements, so that the allocation check, the holidays report and the
// export all see it at once. A change the database refuses raises the engine's error and
// changes nothing.
//
//   FillHolidayList  the resource's holidays by start date: "dd-mm-yyyy  dd-mm-yyyy"
//   CreateHoliday    from today to today + 3 in the dialog; on OK the new row and its element
//   EditHoliday      the stored dates in the dialog; on OK the row and the element
//   DeleteHoliday    the row and the element, without a question
//
// Checked writes: a new holiday needs its resource's row; an edit writes only while the row holds
// the dates the dialog showed, a delete only while it holds the element's. Otherwise
// EqorChangedElsewhere names the resource or "The holiday of 'name' from ... to ...", and the
// element gets what the file holds.
#pragma once

#include <functional>
#include <vector>

#include "app/core/qorListEntry.h"
#include "app/core/qorPlannerStatements.h"

class TqorDatabaseController;
class TqorEditHistory;
class TqorPlannerModel;

// The holiday dialog: shows the two day numbers and returns true with the dates the user chose
// on OK, false on Cancel. An end before the start is accepted.
using TqorHolidayDialog = std::function<bool(double& startDate, double& endDate)>;
// The holiday list: shows the entries of the resource (modally).
using TqorHolidayListWindow =
    std::function<void(int32_t resourceId, const std::vector<TqorListEntry>& entries)>;

// The resource's holidays by start date; each entry carries the HolidayId.
std::vector<TqorListEntry> FillHolidayList(TqorDatabaseController& db, const TqorRowId& resourceId);
// Shows the resource's holidays in the list window.
void ShowHolidays(TqorDatabaseController& db, int32_t resourceId,
                  const TqorHolidayListWindow& window);
// Given an edit history, each change stored is recorded there as one step.

// Returns whether a holiday was stored.
bool CreateHoliday(TqorDatabaseController& db, TqorPlannerModel& planner,
                   const TqorRowId& resourceId, const TqorHolidayDialog& dialog,
                   TqorEditHistory* history = nullptr);
// Returns whether the holiday was changed; false also when it is no longer stored (its element
// then leaves the document).
bool EditHoliday(TqorDatabaseController& db, TqorPlannerModel& planner, const TqorRowId& holidayId,
                 const TqorHolidayDialog& dialog, TqorEditHistory* history = nullptr);
void DeleteHoliday(TqorDatabaseController& db, TqorPlannerModel& planner,
                   const TqorRowId& holidayId, TqorEditHistory* history = nullptr);
