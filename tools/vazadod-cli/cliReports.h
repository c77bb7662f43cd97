// The report, export and import commands of vazadod-cli, through the same builders, converters
// and exchange formats as the main window's menu (so that both give the same bytes for the same
// database):
//
//   vazadod-cli report tasks|resources|holidays [--format pdf|rtf] --output FILE DBFILE
//   vazadod-cli export [--format xml|mspdi|tjp|csv|ics] [--table T] --output FILE DBFILE
//   vazadod-cli import [--format mspdi] FILE DBFILE
//
// The plan is loaded from DBFILE as the program loads it at start (the tasks report shows the
// projects of the stored project filter; the holidays report reads the database around today).
// The format defaults to the one stored in the database. FILE is written whole or not at all
// (a temporary file beside it, renamed when complete) and taken as given: no extension is
// added or changed; a symbolic link is written through, and a replaced file keeps its
// permissions. FILE is refused when it is DBFILE, its journal or its lock file, and a damaged
// DBFILE is refused with what is damaged. A failure prints its message on standard error and
// gives exit status 1.
#pragma once

#include <string>
#include <vector>

#include "tools/vazadod-cli/cliCommand.h"

// The commands' work, with the arguments after the command's name; the exit status. Raise
// ECliUsage for wrong usage, and the error of whatever failed.
int RunReportCommand(const std::vector<std::string>& args);
int RunExportCommand(const std::vector<std::string>& args);
int RunImportCommand(const std::vector<std::string>& args);

extern const TCliCommand kReportCommand;
extern const TCliCommand kExportCommand;
extern const TCliCommand kImportCommand;
