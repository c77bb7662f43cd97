// The program's command line:
//   vazadod [--database FILE | FILE]   open the planner database FILE (the user's planner when
//                                      none is named)
//   vazadod --help | --version
// "--database=FILE" is accepted too, and "--" ends the options (a file name may then start with
// "-"). Unknown options, a missing FILE after --database and more than one file are wrong usage.
// The toolkit's own options are to be taken out of the arguments before these are read.
#pragma once

#include <string>
#include <vector>

struct TqorCommandLine {
  enum class TAction { Run, Help, Version, Usage };
  TAction Action = TAction::Run;
  // The database named, or "" for the user's planner.
  std::string Database;
  // For Usage: what is wrong ("unknown option '--x'").
  std::string Problem;
};

// Reads the arguments after the program name.
TqorCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The usage line and the help text; userPlan is where the user's planner lives.
std::string CommandLineSynopsis();
std::string CommandLineHelp(const std::string& userPlan);
