// planner-roundtrip <in.xml> <out.xml>: reads a planner XML file into a planner document (with
// the id index on) and writes it back. Exit status 0 on success, 1 when the file does not parse
// or is no planner document (the reader's error goes to standard error), 2 for wrong arguments
// or a file that cannot be read or written. --help prints the usage on standard output, --version
// the version; wrong arguments print a short usage on standard error.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "planner/base/qorRegionalSettings.h"
#include "planner/base/qorStrings.h"
#include "planner/qorPlannerModel.h"

namespace {

int Count(const TqorXMLNode2* container, int depth) {
  if (!container) return 0;
  if (depth == 0) return container->ChildCount();
  int n = 0;
  for (int i = 0; i < container->ChildCount(); ++i) n += Count(container->GetChild(i), depth - 1);
  return n;
}

const char* const kSynopsis = "Usage: planner-roundtrip IN.xml OUT.xml\n";

int Usage(const char* problem) {
  std::fprintf(stderr,
               "planner-roundtrip: %s\n%sTry 'planner-roundtrip --help' for more information.\n",
               problem, kSynopsis);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::printf(
          "%s"
          "Read a planner XML file into a planner document, with its id index, and write\n"
          "the document back to OUT.xml. A count of the projects, tasks, assignments,\n"
          "resources and holidays (and links, when it has any) read is printed on success.\n"
          "Numbers are written with \".\" as the decimal separator whatever the locale.\n"
          "Characters XML cannot hold (control characters other than tab, line feed and\n"
          "carriage return) are left out, and their number is given on standard error.\n"
          "\n"
          "Options:\n"
          "  --help     print this help and exit\n"
          "  --version  print the version and exit\n"
          "\n"
          "Exit status:\n"
          "  0  the file was read and written\n"
          "  1  the file does not parse, or is no planner document\n"
          "  2  wrong usage, or a file cannot be read or written\n",
          kSynopsis);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("planner-roundtrip (Vazadod) %s\n", VAZADOD_VERSION);
      return 0;
    }
  }
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-' && argv[i][1] != '\0') {
      return Usage((std::string("unknown option '") + argv[i] + "'").c_str());
    }
  }
  if (argc != 3) return Usage(argc < 3 ? "two file names are needed" : "too many arguments");
  // Numbers are written with "." whatever the user's locale says.
  RegionalSettings().DecimalSeparator.assign(1, '.');
  try {
    TqorPlannerModel model;
    TqorXMLParser2& doc = model.Document();
    doc.LoadFromFile(argv[1]);
    if (!doc.LastError().empty()) {
      std::fprintf(stderr, "%s: %s\n", argv[1], doc.LastError().c_str());
      return 1;
    }
    if (doc.Name() != "planner" || !model.ProjectsNode() || !model.ResourcesNode() ||
        !model.HolidaysNode()) {
      std::fprintf(stderr,
                   "%s: not a planner document (expected a \"planner\" element with the "
                   "\"projects\", \"resources\" and \"holidays\" containers)\n",
                   argv[1]);
      return 1;
    }
    size_t dropped = 0;
    doc.SaveToFile(argv[2], &dropped);
    if (dropped > 0)
      std::fprintf(stderr,
                   "planner-roundtrip: %zu character%s that XML cannot hold (control characters "
                   "other than tab, line feed and carriage return) left out of %s\n",
                   dropped, dropped == 1 ? "" : "s", argv[2]);
    // A plan with links counts them too.
    const std::string links =
        model.LinksNode() ? ", " + std::to_string(Count(model.LinksNode(), 0)) + " links" : "";
    std::printf("%s: %d projects, %d tasks, %d assignments, %d resources, %d holidays%s -> %s\n",
                argv[1], Count(model.ProjectsNode(), 0), Count(model.ProjectsNode(), 1),
                Count(model.ProjectsNode(), 2), Count(model.ResourcesNode(), 0),
                Count(model.HolidaysNode(), 0), links.c_str(), argv[2]);
    return 0;
  } catch (const EqorFileError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
