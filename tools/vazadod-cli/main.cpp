// vazadod-cli: the planner on the command line, without a display.
//
//   vazadod-cli COMMAND [OPTIONS] [ARGUMENTS]
//   vazadod-cli --help | --version | COMMAND --help
//
// Exit status: 0 done, 1 the command failed (its message on standard error), 2 wrong usage (a
// short usage on standard error).
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "tools/common/zuzToolLogin.h"
#ifdef VAZADOD_CLI_CHART
#include "tools/vazadod-cli/cliChart.h"
#endif
#include "tools/vazadod-cli/cliCommand.h"
#include "tools/vazadod-cli/cliLoad.h"
#include "tools/vazadod-cli/cliReports.h"
#include "tools/vazadod-cli/cliSample.h"

#ifndef VAZADOD_VERSION
#define VAZADOD_VERSION "0.1"
#endif

namespace {

// The commands, in the order the help lists them.
const std::vector<const TCliCommand*>& Commands() {
  static const std::vector<const TCliCommand*> commands = {
      &kNewCommand,
      &kSampleCommand,
      &kReportCommand,
      &kExportCommand,
      &kImportCommand,
      &kLoadCommand,
#ifdef VAZADOD_CLI_CHART
      &kChartCommand,
#endif
  };
  return commands;
}

const TCliCommand* FindCommand(const std::string& name) {
  for (const TCliCommand* c : Commands())
    if (name == c->Name) return c;
  return nullptr;
}

void PrintHelp() {
  std::printf("Usage: vazadod-cli COMMAND [OPTIONS] [ARGUMENTS]\n\nCommands:\n");
  for (const TCliCommand* c : Commands()) std::printf("  %-8s %s\n", c->Name, c->Summary);
  std::printf(
      "\nOptions:\n"
      "  --help     print this help (or a command's, after its name) and exit\n"
      "  --version  print the version and exit\n"
      "\nExit status:\n"
      "  0  done\n"
      "  1  the command failed\n"
      "  2  wrong usage\n\n%s",
      zuz::ToolLoginHelp().c_str());
}

int Usage(const std::string& problem, const TCliCommand* command) {
  if (command) {
    std::fprintf(stderr,
                 "vazadod-cli %s: %s\nUsage: vazadod-cli %s %s\nTry 'vazadod-cli %s --help' for "
                 "more information.\n",
                 command->Name, problem.c_str(), command->Name, command->Synopsis, command->Name);
  } else {
    std::fprintf(stderr,
                 "vazadod-cli: %s\nUsage: vazadod-cli COMMAND [OPTIONS] [ARGUMENTS]\nTry "
                 "'vazadod-cli --help' for more information.\n",
                 problem.c_str());
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage("a command is needed", nullptr);
  const std::string& first = args[0];
  if (first == "--help" || first == "-h") {
    PrintHelp();
    return 0;
  }
  if (first == "--version") {
    std::printf("vazadod-cli (Vazadod) %s\n", VAZADOD_VERSION);
    return 0;
  }
  const TCliCommand* command = FindCommand(first);
  if (!command) {
    return Usage(
        first[0] == '-' ? "unknown option '" + first + "'" : "unknown command '" + first + "'",
        nullptr);
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  for (const std::string& a : rest) {
    if (a == "--") break;
    if (a == "--help" || a == "-h") {
      std::printf("Usage: vazadod-cli %s %s\n\n%s", command->Name, command->Synopsis,
                  command->Help);
      return 0;
    }
  }
  try {
    return command->Run(rest);
  } catch (const ECliUsage& e) {
    return Usage(e.what(), command);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vazadod-cli %s: %s\n", command->Name, e.what());
    return 1;
  }
}
