#include "app/core/qorCommandLine.h"

TqorCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  using A = TqorCommandLine::TAction;
  TqorCommandLine result;
  auto usage = [&result](std::string problem) {
    result.Action = A::Usage;
    result.Problem = std::move(problem);
    return result;
  };
  std::vector<std::string> files;
  bool options = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options && a == "--") {
      options = false;
    } else if (options && (a == "--help" || a == "-h")) {
      result.Action = A::Help;
      return result;
    } else if (options && a == "--version") {
      result.Action = A::Version;
      return result;
    } else if (options && a == "--database") {
      if (i + 1 >= args.size()) return usage("option '--database' needs a file name");
      files.push_back(args[++i]);
    } else if (options && a.rfind("--database=", 0) == 0) {
      files.push_back(a.substr(11));
    } else if (options && a.size() > 1 && a[0] == '-') {
      return usage("unknown option '" + a + "'");
    } else {
      files.push_back(a);
    }
  }
  if (files.size() > 1) return usage("only one planner database can be opened");
  if (files.size() == 1) {
    if (files[0].empty()) return usage("the file name is empty");
    result.Database = files[0];
  }
  return result;
}

std::string CommandLineSynopsis() {
  return "Usage: vazadod [--database FILE | FILE]\n";
}

std::string CommandLineHelp(const std::string& userPlan) {
  return CommandLineSynopsis() +
         "\n"
         "Vazadod is a project planner: projects, tasks, resources, holidays and\n"
         "assignments in one calendar grid, kept in one planner database file.\n"
         "\n"
         "Without a file it opens your planner,\n"
         "  " +
         userPlan +
         "\n"
         "which it makes from the empty planner shipped with the program on the first\n"
         "start. Every change is stored there at once; rebuilding or reinstalling the\n"
         "program never touches it. To start afresh, move that file away.\n"
         "\n"
         "Options:\n"
         "  --database FILE  open the planner database FILE instead (it must exist;\n"
         "                   'vazadod-cli new FILE' makes an empty one)\n"
         "  FILE             the same as --database FILE\n"
         "  --help           print this help and exit\n"
         "  --version        print the version and exit\n"
         "The toolkit's own options (such as -platform or -style) are accepted too.\n"
         "\n"
         "Exit status:\n"
         "  0  the window was closed\n"
         "  1  the planner database could not be opened, or was found damaged (and was\n"
         "     open read-only)\n"
         "  2  wrong usage\n";
}
