// The plan's tables as CSV text for spreadsheets, one text per table:
//
//   [EF BB BF]"ID","Project ID","Project","Name",...CRLF      the header line, names quoted
//   17,3,"House","Walls, roof",2024-03-04,2024-03-08,0,0,50,"3FS+2, 7SS",""CRLF
//
// RFC 4180: fields separated by commas, every record (the last one too) ended by CRLF. Text
// fields are always quoted, a quote inside doubled, so they may hold commas, quotes, CR and LF.
// Numbers, dates and flags are never quoted, so a reader told to keep quoted fields as text
// (Calc: "Format quoted field as text") still reads them as numbers and dates while a name such
// as "0012" or "2024-01-01" stays text. Dates are ISO 8601 (YYYY-MM-DD); numbers use "." and no
// thousands separator, with as few digits as give the value back (no exponent; a value that is
// not finite is an empty field); flags are 1 or 0. Texts are UTF-8 as the plan holds them.
//
// Tasks:       ID, Project ID, Project (its name), Name, Start, End, Milestone, Completed,
//              Progress (percent), Predecessors ("3FS+2, 7SS": the predecessor's task id, the
//              link type, the lag in working days when not 0, in the order of the plan's links),
//              Notes
// Resources:   ID, Name, Initials, Hours per week, Cost per hour, Max units (percent), Notes
// Assignments: ID, Task ID, Task (its name), Resource ID, Resource (its name), Units (percent)
//
// A reference to a row the plan lacks gives an empty name. Dates outside years 1 to 9999 raise
// EqorDateError (planner/base/qorCalendar.h).
#pragma once

#include <string>

#include "exchange/qorExchangePlan.h"

struct TqorCsvOptions {
  // A UTF-8 byte order mark before the header line. Excel reads a file without one in the
  // system's code page; Calc drops the mark when it reads UTF-8 and takes it as the sign of UTF-8
  // in its import dialog; a reader that does not know it sees it in the first header name.
  bool ByteOrderMark = true;
  // A text field whose text starts with =, +, -, @, TAB or CR gets an apostrophe before it, so
  // that no spreadsheet takes it for a formula (Calc and Excel show the apostrophe). Numbers,
  // dates and the predecessors field, which the export makes itself, are never changed.
  bool GuardFormulas = true;
};

std::string ExportTasksCsv(const TqorExchangePlan& plan, const TqorCsvOptions& options = {});
std::string ExportResourcesCsv(const TqorExchangePlan& plan, const TqorCsvOptions& options = {});
std::string ExportAssignmentsCsv(const TqorExchangePlan& plan, const TqorCsvOptions& options = {});

// The predecessors field of the task: "3FS+2, 7SS, 9FF-1"; empty without predecessors.
std::string CsvPredecessors(const TqorExchangePlan& plan, int32_t taskId);
