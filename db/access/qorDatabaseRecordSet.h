// A forward-only record set: the rows of one SELECT, read field by field by name. It stands on
// its first row when opened and only moves on; nothing is written back through it.
//
// Record sets are made and owned by their controller (OpenRecordSet) and handed back with
// CloseRecordSet; the user of a record set never frees it.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "planner/base/qorVariant.h"

namespace zuz {
class TZuzQuery;
}
class TqorDatabaseController;

// The access layer's own errors (a record set that is not the controller's, a value that has no
// SQL literal). The engine's errors pass through as zuz::EZuzDatabaseError.
class EqorDatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TqorDatabaseRecordSet {
 public:
  TqorDatabaseRecordSet();
  ~TqorDatabaseRecordSet();
  TqorDatabaseRecordSet(const TqorDatabaseRecordSet&) = delete;
  TqorDatabaseRecordSet& operator=(const TqorDatabaseRecordSet&) = delete;

  // Remembers the controller (not owned) and attaches the query to its database.
  void SetController(TqorDatabaseController* controller);
  TqorDatabaseController* Controller() const { return controller_; }
  void SetSQL(const std::string& statement);
  const std::string& GetSQL() const;

  // Runs the SELECT and stands on its first row; the engine's errors propagate.
  void Open();
  void Close();
  bool Active() const;
  // True when there is no current row.
  bool Eof() const;
  // Moves to the next row and returns true; false, without moving, when already past the end.
  bool Next();

  // The current row's field by name (letter case ignored; an unknown name raises "Field 'X' not
  // found"). A null field gives "", 0 or false; a date reads as "dd-mm-yyyy" text; a value the
  // conversion rejects raises EqorVariantError.
  std::string GetString(std::string_view field) const;
  int32_t GetInteger(std::string_view field) const;
  double GetFloat(std::string_view field) const;
  // The day number (days since 1899-12-30).
  double GetDate(std::string_view field) const;
  bool GetBoolean(std::string_view field) const;
  // The raw value (the null variant for an SQL null).
  TqorVariant GetValue(std::string_view field) const;
  // The names of the fields of its rows, in the order of the SELECT's columns.
  std::vector<std::string> FieldNames() const;

  // Closes, then hands itself back to the controller, which frees it: the object is gone when
  // this returns normally. "Can not close recordset ..." when the controller does not hold it.
  void CloseAndRelease();

 private:
  // The field's number in the result: names asked for before are found by their exact text,
  // new ones by the dataset's search, which ignores letter case.
  int FieldNumber(std::string_view field) const;

  TqorDatabaseController* controller_ = nullptr;
  std::unique_ptr<zuz::TZuzQuery> query_;
  // The names asked for since the rows were opened, with their field numbers.
  mutable std::vector<std::pair<std::string, int>> fieldNumbers_;
};

// The text of a date field as GetString gives it: "dd-mm-yyyy" (the time of day dropped).
std::string FormatRecordSetDate(double dayNumber);
