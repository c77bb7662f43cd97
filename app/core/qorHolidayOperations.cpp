#include "app/core/qorHolidayOperations.h"

#include <memory>
#include <string>

#include "app/core/qorChangedElsewhere.h"
#include "app/core/qorEditRecorder.h"
#include "app/core/qorNodeValues.h"
#include "app/core/qorStoredRows.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "planner/base/qorCalendar.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;
namespace sr = qorStoredRows;

namespace {

// The rows of one SELECT, handed back to the controller however the reading ends.
class TRows {
 public:
  TRows(TqorDatabaseController& db, const std::string& statement)
      : db_(db), set_(db.OpenRecordSet(statement)) {}
  ~TRows() {
    try {
      db_.CloseRecordSet(set_);
    } catch (...) {
      // Closing only frees the rows read into memory.
    }
  }
  TRows(const TRows&) = delete;
  TRows& operator=(const TRows&) = delete;

  bool Eof() { return db_.Eof(set_); }
  void Next() { db_.Next(set_); }
  int32_t Integer(const char* field) { return db_.GetInteger(set_, field); }
  double Date(const char* field) { return db_.GetDate(set_, field); }

 private:
  TqorDatabaseController& db_;
  TqorDatabaseRecordSet* set_;
};

std::string ListDate(double day) {
  return FormatDateTime("dd-MM-yyyy", day);
}

void SetHolidayDates(TqorXMLNode2* holiday, double startDate, double endDate) {
  holiday->SetAttribute("startdate", startDate);
  holiday->SetAttribute("enddate", endDate);
}

// "'Ann'", the holiday's resource as the user knows it.
std::string OwnerName(const TqorXMLNode2* resource, const std::string& resourceId) {
  return resource ? "'" + NodeText(resource, "name") + "'" : "resource " + resourceId;
}

}  // namespace

std::vector<TqorListEntry> FillHolidayList(TqorDatabaseController& db,
                                           const TqorRowId& resourceId) {
  std::vector<TqorListEntry> entries;
  TRows rows(db, st::SelectResourceHolidays(resourceId));
  for (; !rows.Eof(); rows.Next()) {
    entries.push_back({ListDate(rows.Date("StartDate")) + "  " + ListDate(rows.Date("EndDate")),
                       std::to_string(rows.Integer("HolidayId"))});
  }
  return entries;
}

void ShowHolidays(TqorDatabaseController& db, int32_t resourceId,
                  const TqorHolidayListWindow& window) {
  window(resourceId, FillHolidayList(db, resourceId));
}

bool CreateHoliday(TqorDatabaseController& db, TqorPlannerModel& planner,
                   const TqorRowId& resourceId, const TqorHolidayDialog& dialog,
                   TqorEditHistory* history) {
  double startDate = planner.Today();
  double endDate = startDate + 3;
  if (!dialog(startDate, endDate)) return false;

  std::string id;
  TqorXMLNode2* resource = planner.Document().GetNodeById("resource", resourceId.Text());
  try {
    TqorDatabaseTransaction transaction(db);
    // The resource must still be there, and stays until the commit.
    if (db.Execute(st::TouchResource(resourceId)) == 0)
      throw EqorChangedElsewhere(resource ? sr::ResourceName(resource)
                                          : "Resource " + resourceId.Text());
    TqorEditRecorder record(db, history);
    db.Execute(st::InsertHoliday(resourceId, startDate, endDate));
    id = std::to_string(st::NewHolidayId(db));
    record.Added(TqorPlanTable::Holidays, "HolidayId=" + id);
    record.Finish("New holiday of " + OwnerName(resource, resourceId.Text()));
    transaction.Commit();
    record.Keep();
  } catch (const EqorChangedElsewhere&) {
    if (resource) sr::PutBackResource(db, planner, resource);
    throw;
  }
  auto holiday = std::make_unique<TqorXMLNode2>("holiday");
  holiday->SetAttribute("id", id);
  holiday->SetAttribute("resourceid", resourceId.Text());
  SetHolidayDates(holiday.get(), startDate, endDate);
  planner.HolidaysNode()->AddChild(std::move(holiday));
  return true;
}

bool EditHoliday(TqorDatabaseController& db, TqorPlannerModel& planner, const TqorRowId& holidayId,
                 const TqorHolidayDialog& dialog, TqorEditHistory* history) {
  double startDate = 0;
  double endDate = 0;
  std::string resourceId;
  bool stored = false;
  {
    TRows rows(db, st::SelectHoliday(holidayId));
    if (!rows.Eof()) {
      stored = true;
      startDate = rows.Date("StartDate");
      endDate = rows.Date("EndDate");
      resourceId = std::to_string(rows.Integer("ResourceId"));
    }
  }
  if (!stored) {
    // Deleted by another program: the document lets it go too.
    sr::PutBackHoliday(db, planner, holidayId.Text());
    return false;
  }
  // The dates the dialog showed, as read.
  const double shownStart = startDate, shownEnd = endDate;
  if (!dialog(startDate, endDate)) return false;

  try {
    TqorDatabaseTransaction transaction(db);
    TqorEditRecorder record(db, history);
    record.Watch(TqorPlanTable::Holidays, "HolidayId=" + holidayId.Text());
    if (db.Execute(st::UpdateHoliday(holidayId, startDate, endDate, resourceId, shownStart,
                                     shownEnd)) == 0)
      throw EqorChangedElsewhere(sr::HolidayName(planner, resourceId, shownStart, shownEnd));
    record.Finish("Edit of a holiday of " +
                  OwnerName(planner.Document().GetNodeById("resource", resourceId), resourceId));
    transaction.Commit();
    record.Keep();
  } catch (const EqorChangedElsewhere&) {
    sr::PutBackHoliday(db, planner, holidayId.Text());
    throw;
  }
  if (TqorXMLNode2* holiday = planner.Document().GetNodeById("holiday", holidayId.Text()))
    SetHolidayDates(holiday, startDate, endDate);
  return true;
}

void DeleteHoliday(TqorDatabaseController& db, TqorPlannerModel& planner,
                   const TqorRowId& holidayId, TqorEditHistory* history) {
  TqorXMLNode2* holiday = planner.Document().GetNodeById("holiday", holidayId.Text());
  try {
    TqorDatabaseTransaction transaction(db);
    if (holiday) {
      // The holiday as shown.
      const std::string resourceId = NodeText(holiday, "resourceid");
      const double start = NodeDate(holiday, "startdate"), end = NodeDate(holiday, "enddate");
      if (db.Execute(st::CheckHoliday(holidayId, resourceId, start, end)) == 0)
        throw EqorChangedElsewhere(sr::HolidayName(planner, resourceId, start, end));
    }
    TqorEditRecorder record(db, history);
    record.Watch(TqorPlanTable::Holidays, "HolidayId=" + holidayId.Text());
    db.Execute(st::DeleteHoliday(holidayId));
    const std::string owner = holiday ? NodeText(holiday, "resourceid") : std::string();
    record.Finish("Deletion of a holiday of " +
                  OwnerName(planner.Document().GetNodeById("resource", owner), owner));
    transaction.Commit();
    record.Keep();
  } catch (const EqorChangedElsewhere&) {
    sr::PutBackHoliday(db, planner, holidayId.Text());
    throw;
  }
  if (holiday) holiday->Parent()->DeleteChild(holiday);
}
