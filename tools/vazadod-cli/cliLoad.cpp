#include "tools/vazadod-cli/cliLoad.h"

#include <cstdio>
#include <stdexcept>

#include "app/core/qorPlanLoad.h"
#include "app/core/qorPlannerCheck.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/qorPlannerModel.h"
#include "planner/schedule/qorResourceLoad.h"
#include "tools/common/zuzToolLogin.h"

void LoadCliPlan(TqorDatabaseController& controller, TqorPlannerModel& planner,
                 const std::string& database) {
  // Numbers the core formats or reads use ".", as in the program.
  RegionalSettings().DecimalSeparator.assign(1, '.');
  // A protected database takes its login from the environment or the terminal.
  zuz::InstallToolLogin(controller.Database());
  controller.OpenDatabase(database);
  // A damaged plan gives nothing: it would lack what could not be read.
  std::vector<std::string> problems;
  LoadCheckedPlanner(controller, planner, problems);
  if (!problems.empty()) throw std::runtime_error(DamagedPlanMessage(database, problems));
}

int RunLoadCommand(const std::vector<std::string>& args) {
  const TCliArgs a = ParseCliArgs(args, {"from", "to", "format"});
  if (a.Has("format")) {
    std::string format = a.Options.at("format");
    for (char& c : format)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (format != "csv")
      throw ECliUsage("'--format' takes csv, not '" + a.Options.at("format") + "'");
  }
  const int32_t from = a.DayNumber("from");
  const int32_t to = a.DayNumber("to");
  if (to < from) throw ECliUsage("the period ends before it starts: '--to' is before '--from'");
  if (to - from + 1 > kMaxLoadDays)
    throw ECliUsage("the period has " + std::to_string(to - from + 1) + " days, and at most " +
                    std::to_string(kMaxLoadDays) + " are shown");
  if (a.Positional.empty()) throw ECliUsage("the database file is needed");
  if (a.Positional.size() > 1) throw ECliUsage("unexpected argument '" + a.Positional[1] + "'");
  const std::string& database = a.Positional[0];

  TqorDatabaseController controller;
  TqorPlannerModel planner;
  LoadCliPlan(controller, planner, database);

  const std::string csv = ResourceLoadCsv(TqorResourceLoad(LoadInputOf(planner), from, to));
  if (std::fwrite(csv.data(), 1, csv.size(), stdout) != csv.size() || std::fflush(stdout) != 0)
    throw std::runtime_error("cannot write to standard output");
  return 0;
}

const TCliCommand kLoadCommand = {
    "load", "--from YYYY-MM-DD --to YYYY-MM-DD [--format csv] DBFILE",
    "print the load of each resource on each day of a period as CSV",
    "Prints the resource load of the planner database DBFILE on standard output: for each\n"
    "resource (in the order of their ids) and each day from --from to --to (both included,\n"
    "at most 3660 days), the sum of the units of its assignments to the tasks running that\n"
    "day, in percent. Every project counts, whatever the project filter shows. A weekend\n"
    "day or a feast of the calendar is an empty field; a working day inside one of the\n"
    "resource's holidays is H, and has no load.\n"
    "\n"
    "The CSV (RFC 4180, UTF-8, CRLF line ends) has a header line \"Resource\" and the days\n"
    "as YYYY-MM-DD, then one line per resource: its name and its loads, written with '.'\n"
    "and as few digits as give the value back (100, 37.5).\n"
    "\n"
    "Options:\n"
    "  --from YYYY-MM-DD  the first day of the period\n"
    "  --to YYYY-MM-DD    the last day of the period, not before --from\n"
    "  --format csv       the output's format, the only one (default)\n"
    "\n"
    "A damaged DBFILE gives no table: the command fails with what is damaged.\n",
    RunLoadCommand};
