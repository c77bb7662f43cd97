// The export and import files of the exchange formats, as the window's File menu and vazadod-cli
// write and read them: the format by its name, the files an export writes (each whole or not at
// all, qorReportFiles.h) and an MS Project XML import into the open plan with what it could not
// take.
//
//   xml     the plan as one XML document, the program's own format (the document's file form)
//   mspdi   MS Project XML (exchange/qorMspdiExport.h)
//   tjp     a TaskJuggler project (exchange/qorTaskJugglerExport.h)
//   csv     tasks, resources and assignments as CSV (exchange/qorCsvExport.h): one table into
//           the file, or all three beside it, "plan.csv" giving plan-tasks.csv,
//           plan-resources.csv and plan-assignments.csv
//   ics     the tasks and holidays as iCalendar events (exchange/qorICalendarExport.h), whose
//           UIDs carry the plan's id
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/qorPlanExchange.h"

class TqorDatabaseController;
class TqorEditHistory;
class TqorPlannerModel;

enum class TqorExchangeFormat { Xml, Mspdi, TaskJuggler, Csv, ICalendar };

// "xml", "mspdi", "tjp", "csv" or "ics", in any case; nothing for another name.
std::optional<TqorExchangeFormat> ExchangeFormatNamed(std::string_view name);
// ".xml", ".xml", ".tjp", ".csv", ".ics".
const char* ExchangeFormatExtension(TqorExchangeFormat format);

struct TqorExportRequest {
  TqorExchangeFormat Format = TqorExchangeFormat::Xml;
  // The file to write (for CSV without a table: the name the three files are named after).
  std::string FileName;
  // CSV only: "tasks", "resources" or "assignments" for that table alone; empty for all three.
  std::string CsvTable;
  // The plan's name for the formats that carry one (MS Project's title, TaskJuggler's project,
  // the calendar's name).
  std::string PlanName;
  // iCalendar: the right-hand part of the UIDs, and the moment of the export (seconds since
  // 1970 UTC).
  std::string PlanId;
  int64_t Stamp = 0;
};

struct TqorExportResult {
  // The files written, in order.
  std::vector<std::string> Files;
  // What the user should know about them (characters left out), one sentence each.
  std::vector<std::string> Notes;
};

// The names of the three CSV files of an export to fileName: "<stem>-tasks.csv",
// "<stem>-resources.csv" and "<stem>-assignments.csv" in its folder.
std::vector<std::string> CsvFileNames(const std::string& fileName);

// The id the plan's iCalendar UIDs carry: its stored id (qorPlanExchange.h), or for a plan
// without one (of an earlier version, which the command line does not upgrade) one made from
// the file's full path, the same each time.
std::string ExportPlanId(TqorDatabaseController& db, const std::string& databasePath);

// Writes the plan of the document as the request says, every file whole or not at all, none of
// them the plan's own file (CheckNotPlanFile). Raises EqorFileError, std::invalid_argument for a
// CSV table of another name, and what the format's writer raises (EqorDateError).
TqorExportResult WriteExportFiles(TqorPlannerModel& planner, const TqorExportRequest& request,
                                  const std::string& databasePath);

struct TqorImportResult {
  TqorImportCounts Counts;
  // What the plan could not take from the file (exchange/qorMspdiImport.h), one line each.
  std::vector<std::string> Summary;
};

// The largest MS Project XML file an import reads.
inline constexpr int64_t kMaxImportFileBytes = int64_t{1} << 30;

// Reads the MS Project XML file and stores its plan into the open plan as new projects, in one
// transaction and one step of the history when one is given (StoreImportedPlan). Raises
// EqorFileError when the file cannot be read, EqorMspdiError when it is not a plan (with the
// element, line and reason), and what storing raises; then nothing was stored.
TqorImportResult ImportMspdiFile(TqorDatabaseController& db, const std::string& fileName,
                                 TqorEditHistory* history = nullptr);

// "Imported 2 projects with 40 tasks, ... and 9 links." followed by a line for each thing the
// file held that the plan could not take.
std::string ImportResultText(const TqorImportResult& result);
