#include "app/core/qorHolidayOperations.h"

#include <memory>
#include <string>

#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "planner/base/qorCalendar.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;

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
                   const TqorRowId& resourceId, const TqorHolidayDialog& dialog) {
  double startDate = planner.Today();
  double endDate = startDate + 3;
  if (!dialog(startDate, endDate)) return false;

  std::string id;
  {
    TqorDatabaseTransaction transaction(db);
    db.Execute(st::InsertHoliday(resourceId, startDate, endDate));
    id = std::to_string(st::NewHolidayId(db));
    transaction.Commit();
  }
  auto holiday = std::make_unique<TqorXMLNode2>("holiday");
  holiday->SetAttribute("id", id);
  holiday->SetAttribute("resourceid", resourceId.Text());
  SetHolidayDates(holiday.get(), startDate, endDate);
  planner.HolidaysNode()->AddChild(std::move(holiday));
  return true;
}

bool EditHoliday(TqorDatabaseController& db, TqorPlannerModel& planner, const TqorRowId& holidayId,
                 const TqorHolidayDialog& dialog) {
  double startDate = 0;
  double endDate = 0;
  {
    TRows rows(db, st::SelectHoliday(holidayId));
    if (rows.Eof()) return false;
    startDate = rows.Date("StartDate");
    endDate = rows.Date("EndDate");
  }
  if (!dialog(startDate, endDate)) return false;

  db.Execute(st::UpdateHoliday(holidayId, startDate, endDate));
  if (TqorXMLNode2* holiday = planner.Document().GetNodeById("holiday", holidayId.Text()))
    SetHolidayDates(holiday, startDate, endDate);
  return true;
}

void DeleteHoliday(TqorDatabaseController& db, TqorPlannerModel& planner,
                   const TqorRowId& holidayId) {
  db.Execute(st::DeleteHoliday(holidayId));
  if (TqorXMLNode2* holiday = planner.Document().GetNodeById("holiday", holidayId.Text()))
    holiday->Parent()->DeleteChild(holiday);
}
