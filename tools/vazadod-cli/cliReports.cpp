#include "tools/vazadod-cli/cliReports.h"

#include <cstdio>

#include "tools/common/zuzToolLogin.h"

#include "app/core/qorPlannerCheck.h"
#include "app/core/qorPlannerLoader.h"
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
  return 0;
}

int RunExportCommand(const std::vector<std::string>& args) {
  const TCliArgs a = ParseCliArgs(args, {"output"});
  const std::string& output = OutputFile(a);
  const std::string& database = DatabaseFile(a, 0);
  CheckNotPlanFile(output, database);
  TLoadedPlan plan(database);
  if (const size_t dropped = ExportPlannerXml(plan.Planner.Document(), output))
    std::fprintf(stderr, "vazadod-cli export: %s\n", XmlLeftOutMessage(dropped, output).c_str());
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
    "export", "--output FILE DBFILE", "write the plan as XML",
    "Writes the plan of the planner database DBFILE as one XML document, as File, Export to\n"
    "XML does: projects with their tasks and assignments, resources and holidays.\n"
    "Characters XML cannot hold (control characters other than tab, line feed and\n"
    "carriage return) are left out; their number is given on standard error.\n"
    "\n"
    "Options:\n"
    "  --output FILE  the file to write, taken as given; it is replaced only once the export\n"
    "                 is complete (through a symbolic link, keeping the replaced file's\n"
    "                 permissions); never DBFILE, its journal or its lock file\n"
    "\n"
    "A damaged DBFILE gives no export: the command fails with what is damaged.\n",
    RunExportCommand};
