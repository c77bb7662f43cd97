#include "app/core/qorExchangeFiles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "app/core/qorReportFiles.h"
#include "db/access/qorDatabaseController.h"
#include "exchange/qorCsvExport.h"
#include "exchange/qorICalendarExport.h"
#include "exchange/qorMspdiExport.h"
#include "exchange/qorMspdiImport.h"
#include "exchange/qorTaskJugglerExport.h"
#include "planner/base/qorStrings.h"
#include "planner/qorPlannerModel.h"

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

void WriteText(const std::string& fileName, const std::string& text) {
  WriteFileWhole(fileName,
                 [&](const std::string& temporary) { SaveStringToFile(temporary, text); });
}

// The bytes of the file, refused beyond kMaxImportFileBytes before they are read.
std::string ReadImportFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw EqorFileError("Cannot open file " + fileName);
  std::error_code error;
  const auto size = fs::file_size(fileName, error);
  if (error) throw EqorFileError("Cannot read file " + fileName + ": " + error.message());
  if (size > static_cast<uintmax_t>(kMaxImportFileBytes))
    throw EqorFileError("Cannot import file " + fileName + ": it holds " + std::to_string(size) +
                        " bytes, and at most " + std::to_string(kMaxImportFileBytes) + " are read");
  std::string bytes(static_cast<size_t>(size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.gcount() != static_cast<std::streamsize>(bytes.size()))
    throw EqorFileError("Cannot read file " + fileName);
  return bytes;
}

}  // namespace

std::optional<TqorExchangeFormat> ExchangeFormatNamed(std::string_view name) {
  const std::string lower = Lower(name);
  if (lower == "xml") return TqorExchangeFormat::Xml;
  if (lower == "mspdi") return TqorExchangeFormat::Mspdi;
  if (lower == "tjp") return TqorExchangeFormat::TaskJuggler;
  if (lower == "csv") return TqorExchangeFormat::Csv;
  if (lower == "ics") return TqorExchangeFormat::ICalendar;
  return std::nullopt;
}

const char* ExchangeFormatExtension(TqorExchangeFormat format) {
  switch (format) {
    case TqorExchangeFormat::Xml:
    case TqorExchangeFormat::Mspdi:
      return ".xml";
    case TqorExchangeFormat::TaskJuggler:
      return ".tjp";
    case TqorExchangeFormat::Csv:
      return ".csv";
    case TqorExchangeFormat::ICalendar:
      return ".ics";
  }
  return "";
}

std::vector<std::string> CsvFileNames(const std::string& fileName) {
  const fs::path path(fileName);
  const fs::path folder = path.parent_path();
  const std::string stem = path.stem().string();
  std::vector<std::string> names;
  for (const char* table : {"tasks", "resources", "assignments"})
    names.push_back((folder / (stem + "-" + table + ".csv")).string());
  return names;
}

std::string ExportPlanId(TqorDatabaseController& db, const std::string& databasePath) {
  std::string id = StoredPlanId(db);
  if (!id.empty()) return id;
  std::error_code error;
  fs::path full = fs::weakly_canonical(fs::absolute(databasePath), error);
  if (error) full = databasePath;
  // FNV-1a over the path: the same plan file gives the same id.
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : full.string()) hash = (hash ^ c) * 1099511628211ull;
  char text[32];
  std::snprintf(text, sizeof text, "plan-%016llx", static_cast<unsigned long long>(hash));
  return text;
}

TqorExportResult WriteExportFiles(TqorPlannerModel& planner, const TqorExportRequest& request,
                                  const std::string& databasePath) {
  TqorExportResult result;
  auto write = [&](const std::string& fileName, const std::string& text) {
    CheckNotPlanFile(fileName, databasePath);
    WriteText(fileName, text);
    result.Files.push_back(fileName);
  };
  if (request.Format == TqorExchangeFormat::Xml) {
    CheckNotPlanFile(request.FileName, databasePath);
    if (const size_t dropped = ExportPlannerXml(planner.Document(), request.FileName))
      result.Notes.push_back(XmlLeftOutMessage(dropped, request.FileName));
    result.Files.push_back(request.FileName);
    return result;
  }
  const TqorExchangePlan plan = ExchangePlanOf(planner, request.PlanName);
  switch (request.Format) {
    case TqorExchangeFormat::Mspdi: {
      size_t dropped = 0;
      const std::string text = ExportMspdi(plan, {}, &dropped);
      write(request.FileName, text);
      if (dropped) result.Notes.push_back(XmlLeftOutMessage(dropped, request.FileName));
      break;
    }
    case TqorExchangeFormat::TaskJuggler:
      write(request.FileName, ExportTaskJuggler(plan));
      break;
    case TqorExchangeFormat::Csv: {
      const std::string& table = request.CsvTable;
      if (!table.empty() && table != "tasks" && table != "resources" && table != "assignments")
        throw std::invalid_argument(
            "a CSV export writes the table tasks, resources or "
            "assignments, not '" +
            table + "'");
      const std::vector<std::string> names = CsvFileNames(request.FileName);
      // All files are made before any is written, so that a plan that cannot be written
      // leaves none of them.
      const std::string tasks = ExportTasksCsv(plan);
      if (table == "tasks") {
        write(request.FileName, tasks);
      } else if (table == "resources") {
        write(request.FileName, ExportResourcesCsv(plan));
      } else if (table == "assignments") {
        write(request.FileName, ExportAssignmentsCsv(plan));
      } else {
        const std::string resources = ExportResourcesCsv(plan);
        const std::string assignments = ExportAssignmentsCsv(plan);
        for (const std::string& name : names) CheckNotPlanFile(name, databasePath);
        write(names[0], tasks);
        write(names[1], resources);
        write(names[2], assignments);
      }
      break;
    }
    case TqorExchangeFormat::ICalendar:
      write(request.FileName, ExportICalendar(plan, {request.PlanId, request.Stamp}));
      break;
    case TqorExchangeFormat::Xml:
      break;
  }
  return result;
}

TqorImportResult ImportMspdiFile(TqorDatabaseController& db, const std::string& fileName,
                                 TqorEditHistory* history) {
  const std::string bytes = ReadImportFile(fileName);
  TqorMspdiImport imported = ImportMspdi(bytes, fs::path(fileName).filename().string());
  TqorImportResult result;
  result.Counts = StoreImportedPlan(db, imported.Plan, history);
  result.Summary = std::move(imported.Summary);
  return result;
}

std::string ImportResultText(const TqorImportResult& result) {
  std::string text = ImportedText(result.Counts);
  if (!result.Summary.empty()) {
    text += "\nWhat the plan could not take as it was:";
    for (const std::string& line : result.Summary) text += "\n  " + line;
  }
  return text;
}
