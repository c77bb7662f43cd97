// What the commands of vazadod-cli share: the command record the dispatcher lists, the usage
// error, and reading a command's options.
//
//   vazadod-cli COMMAND [OPTIONS] [ARGUMENTS]
//
// Options are "--name VALUE" or "--name=VALUE"; "--" ends them. A command returns its exit
// status (0 done, 1 failed with its message on standard error) or throws ECliUsage for wrong
// usage (exit status 2, the message and the command's synopsis on standard error). Any other
// exception is a failure: the dispatcher prints its message and exits with 1.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

struct TCliCommand {
  const char* Name;
  // The arguments after the command's name, e.g. "[--seed S] DBFILE".
  const char* Synopsis;
  // One line for the command list.
  const char* Summary;
  // The rest of "vazadod-cli COMMAND --help": what the command does, its options.
  const char* Help;
  // Runs with the arguments after the command's name.
  int (*Run)(const std::vector<std::string>& args);
};

class ECliUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TCliArgs {
  std::map<std::string, std::string> Options;
  std::vector<std::string> Positional;

  bool Has(const std::string& name) const { return Options.count(name) != 0; }
  // The option's whole number within [min, max]; def when absent and not required. ECliUsage
  // for a missing required option or a value that is no whole number in range.
  int64_t WholeNumber(const std::string& name, int64_t min, int64_t max, bool required,
                      int64_t def = 0) const;
  // The day number of the option's "YYYY-MM-DD"; ECliUsage when it is missing or no such date.
  int32_t DayNumber(const std::string& name) const;
};

// Reads the arguments: each of optionNames takes a value, each of flagNames none (it is stored
// with an empty value); anything else starting with "-" is an unknown option (ECliUsage), as is
// an option given twice, an option without its value or a flag with one.
TCliArgs ParseCliArgs(const std::vector<std::string>& args,
                      const std::vector<std::string>& optionNames,
                      const std::vector<std::string>& flagNames = {});
