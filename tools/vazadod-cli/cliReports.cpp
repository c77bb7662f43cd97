#include "tools/vazadod-cli/cliReports.h"

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "tools/common/zuzToolLogin.h"

#include "app/core/qorExchangeFiles.h"
#include "app/core/qorPlanUpgrade.h"
#include "app/core/qorPlannerCheck.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorReportBuilders.h"
#include "app/core/qorReportFiles.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/base/qorStrings.h"
#include "planner/qorPlannerModel.h"
#include "report/qorPDFReporter.h"
#include "report/qorRTFReporter.h"

namespace {

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// The one DBFILE after the options.
const std::string& DatabaseFile(const TCliArgs& a, size_t positionalBefore) {
  if (a.Positional.size() < positionalBefore + 1) throw ECliUsage("the database file is needed");
  if (a.Positional.size() > positionalBefore + 1)
    throw ECliUsage("unexpected argument '" + a.Positional[positionalBefore + 1] + "'");
  return a.Positional[positionalBefore];
}

const std::string& OutputFile(const TCliArgs& a) {
  auto it = a.Options.find("output");
  if (it == a.Options.end()) throw ECliUsage("option '--output' is needed");
  if (it->second.empty()) throw ECliUsage("'--output' needs a file name");
  return it->second;
}

// The plan as the program shows it at start; a damaged plan is an error.
struct TLoadedPlan {
  TqorDatabaseController Controller;
  TqorPlannerModel Planner;
  TqorPlannerSettings Settings;

  explicit TLoadedPlan(const std::string& path) {
    // Numbers the core formats or reads use ".", as in the program.
    RegionalSettings().DecimalSeparator.assign(1, '.');
    // A protected database takes its login from the environment or the terminal.
    zuz::InstallToolLogin(Controller.Database());
    Controller.OpenDatabase(path);
    // A damaged plan gives no report: it would lack what could not be read.
    std::vector<std::string> problems;
    Settings = LoadCheckedPlanner(Controller, Planner, problems);
    if (!problems.empty()) throw std::runtime_error(DamagedPlanMessage(path, problems));
  }
};

}  // namespace

int RunReportCommand(const std::vector<std::string>& args) {
  const TCliArgs a = ParseCliArgs(args, {"format", "output"});
  if (a.Positional.empty()) throw ECliUsage("the report is needed: tasks, resources or holidays");
  const std::string& report = a.Positional[0];
  if (report != "tasks" && report != "resources" && report != "holidays")
    throw ECliUsage("unknown report '" + report + "': tasks, resources or holidays");
  std::string format;
  if (a.Has("format")) {
    format = Upper(a.Options.at("format"));
    if (format != "PDF" && format != "RTF")
      throw ECliUsage("'--format' takes pdf or rtf, not '" + a.Options.at("format") + "'");
  }
  const std::string& output = OutputFile(a);
  const std::string& database = DatabaseFile(a, 1);
  CheckNotPlanFile(output, database);

  TLoadedPlan plan(database);
  if (format.empty()) {
    format = plan.Settings.ReportFormat;
    if (format != "PDF" && format != "RTF")
      throw std::runtime_error("the database's report format '" + format +
                               "' is neither PDF nor RTF; give one with --format");
  }
  TqorFastString text;
  std::vector<TqorXMLNode2*> nodes;
  std::string markup;
  if (report == "tasks") {
    markup = BuildTasksReport(text, plan.Planner);
  } else if (report == "resources") {
    markup = BuildResourcesReport(text, plan.Planner, nodes);
  } else {
    markup = BuildHolidaysReport(text, plan.Controller, SystemToday());
  }
  TqorPDFReporter pdf;
  TqorRTFReporter rtf;
  pdf.SetLanguage("english");
  rtf.SetLanguage("english");
  RenderReportFile(format, markup, output, "", pdf, rtf);
  if (const size_t missing = format == "PDF" ? pdf.CharactersWithoutFont() : 0)
    std::fprintf(stderr, "vazadod-cli report: %s\n", NoFontMessage(missing).c_str());
  return 0;
}

int RunExportCommand(const std::vector<std::string>& args) {
  const TCliArgs a = ParseCliArgs(args, {"format", "output", "table"});
  TqorExportRequest request;
  if (a.Has("format")) {
    const auto format = ExchangeFormatNamed(a.Options.at("format"));
    if (!format)
      throw ECliUsage("'--format' takes xml, mspdi, tjp, csv or ics, not '" +
                      a.Options.at("format") + "'");
    request.Format = *format;
  }
  if (a.Has("table")) {
    if (request.Format != TqorExchangeFormat::Csv)
      throw ECliUsage("'--table' goes with '--format csv'");
    request.CsvTable = a.Options.at("table");
    if (request.CsvTable != "tasks" && request.CsvTable != "resources" &&
        request.CsvTable != "assignments")
      throw ECliUsage("'--table' takes tasks, resources or assignments, not '" + request.CsvTable +
                      "'");
  }
  request.FileName = OutputFile(a);
  const std::string& database = DatabaseFile(a, 0);
  CheckNotPlanFile(request.FileName, database);
  TLoadedPlan plan(database);
  request.PlanName = std::filesystem::path(database).stem().string();
  request.PlanId = ExportPlanId(plan.Controller, database);
  request.Stamp = static_cast<int64_t>(std::time(nullptr));
  const TqorExportResult result = WriteExportFiles(plan.Planner, request, database);
  for (const std::string& note : result.Notes)
    std::fprintf(stderr, "vazadod-cli export: %s\n", note.c_str());
  // The names of the files when they are not the one given.
  if (result.Files.size() > 1)
    for (const std::string& file : result.Files) std::printf("%s\n", file.c_str());
  return 0;
}

int RunImportCommand(const std::vector<std::string>& args) {
  const TCliArgs a = ParseCliArgs(args, {"format"});
  if (a.Has("format") && Upper(a.Options.at("format")) != "MSPDI")
    throw ECliUsage("'--format' takes mspdi, not '" + a.Options.at("format") + "'");
  if (a.Positional.empty()) throw ECliUsage("the file to import is needed");
  const std::string& file = a.Positional[0];
  const std::string& database = DatabaseFile(a, 1);
  TLoadedPlan plan(database);
  // A plan of an earlier version gets the tables the import writes.
  if (const int version = UpgradePlan(plan.Controller, database); version < kPlanVersion)
    std::fprintf(stderr, "vazadod-cli import: the plan was brought up from version %d to %d\n",
                 version, kPlanVersion);
  const TqorImportResult result = ImportMspdiFile(plan.Controller, file);
  std::printf("%s\n", ImportResultText(result).c_str());
  return 0;
}

const TCliCommand kReportCommand = {
    "report", "tasks|resources|holidays [--format pdf|rtf] --output FILE DBFILE",
    "write the tasks, resources or holidays report as PDF or RTF",
    "Writes one of the planner's reports of the planner database DBFILE, as the Report menu\n"
    "does: 'tasks' (the projects of the stored project filter, with their tasks), 'resources'\n"
    "(every resource with its assignments) or 'holidays' (the holidays starting within 30 days\n"
    "before and 365 days after today).\n"
    "\n"
    "Options:\n"
    "  --format pdf|rtf  the file's format (default: the report format stored in DBFILE)\n"
    "  --output FILE     the file to write, taken as given; it is replaced only once the\n"
    "                    report is complete (through a symbolic link, keeping the replaced\n"
    "                    file's permissions); never DBFILE, its journal or its lock file\n"
    "\n"
    "A damaged DBFILE gives no report: the command fails with what is damaged.\n",
    RunReportCommand};

const TCliCommand kExportCommand = {
    "export",
    "[--format xml|mspdi|tjp|csv|ics] [--table tasks|resources|assignments] --output FILE "
    "DBFILE",
    "write the plan as XML, MS Project XML, TaskJuggler, CSV or iCalendar",
    "Writes the plan of the planner database DBFILE in another program's format, as the\n"
    "File menu's Export to XML and Export do: every project with its tasks, the resources,\n"
    "their holidays and assignments, and the links between tasks.\n"
    "\n"
    "Formats:\n"
    "  xml    (the default) one XML document in the program's own form: projects with their\n"
    "         tasks and assignments, resources and holidays\n"
    "  mspdi  MS Project XML, which MS Project, GNOME Planner and other planners\n"
    "         import: projects as summary tasks holding their tasks, dates, durations,\n"
    "         milestones, progress, notes, resources with their holidays as exceptions of\n"
    "         their calendars, assignments with their units, and the links with their type\n"
    "         and lag; weekends and the calendar's feasts in the project calendar\n"
    "  tjp    a TaskJuggler 3 project, which tj3 schedules to the plan's dates: the projects\n"
    "         as parent tasks, lengths in working days, milestones, resources with their\n"
    "         vacations and limits, and the links\n"
    "  csv    tasks, resources and assignments as CSV for spreadsheets (RFC 4180, UTF-8,\n"
    "         ISO dates, '.' in numbers, a header line, predecessors as \"3FS+2\"): one table\n"
    "         with --table, else three files beside FILE, FILE's name with -tasks,\n"
    "         -resources and -assignments before .csv, whose names are printed\n"
    "  ics    iCalendar for calendar programs: each task and milestone an all-day event\n"
    "         with its project as category, each holiday an event of its resource; the\n"
    "         events keep their UIDs from one export to the next, so that a calendar updates\n"
    "         them instead of adding them again\n"
    "\n"
    "What each format cannot hold (costs and hours of projects in TaskJuggler, links and\n"
    "resources in iCalendar) is listed in the help's Exchange section.\n"
    "Characters XML cannot hold (control characters other than tab, line feed and\n"
    "carriage return) are left out; their number is given on standard error.\n"
    "\n"
    "Options:\n"
    "  --format F     the format, as above (default: xml)\n"
    "  --table T      with --format csv: write only the table tasks, resources or\n"
    "                 assignments into FILE\n"
    "  --output FILE  the file to write, taken as given; it is replaced only once the export\n"
    "                 is complete (through a symbolic link, keeping the replaced file's\n"
    "                 permissions); never DBFILE, its journal or its lock file\n"
    "\n"
    "A damaged DBFILE gives no export: the command fails with what is damaged.\n",
    RunExportCommand};

const TCliCommand kImportCommand = {
    "import", "[--format mspdi] FILE DBFILE",
    "add the projects of an MS Project XML file to the plan",
    "Reads the MS Project XML file FILE (as MS Project, TaskJuggler and other planners\n"
    "write it) into the planner database DBFILE, as File, Import, MS Project XML does: its\n"
    "summary tasks of the first level become new projects; tasks outside any summary task\n"
    "go to one project named after FILE; deeper levels are flattened into their project,\n"
    "their path kept in the name (\"Phase 1 / Design\"). Resources are matched by name with\n"
    "the plan's or added; assignments, the exceptions of the resources' calendars (as\n"
    "holidays) and the links come along.\n"
    "\n"
    "The import is one transaction: when anything is wrong nothing is stored, and the\n"
    "message names the element, its line and the reason. Afterwards the command prints what\n"
    "was imported and each thing the plan could not take as it was (such as links of a\n"
    "kind it does not hold, or calendars with part-day hours read as whole days).\n"
    "A plan of an earlier version is brought up to this program's first.\n"
    "\n"
    "Options:\n"
    "  --format mspdi  the file's format, the only one read (default)\n"
    "\n"
    "A damaged DBFILE is refused with what is damaged; nothing is imported.\n",
    RunImportCommand};
