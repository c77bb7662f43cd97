// planner-roundtrip <in.xml> <out.xml>: reads a planner XML file into a planner document (with
// the id index on) and writes it back. Exit status 0 on success, 1 when the file does not parse
// or is no planner document (the reader's error goes to standard error), 2 for wrong arguments
// or a file that cannot be read or written.
#include <cstdio>
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: planner-roundtrip <in.xml> <out.xml>\n");
    return 2;
  }
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
    doc.SaveToFile(argv[2]);
    std::printf("%s: %d projects, %d tasks, %d assignments, %d resources, %d holidays -> %s\n",
                argv[1], Count(model.ProjectsNode(), 0), Count(model.ProjectsNode(), 1),
                Count(model.ProjectsNode(), 2), Count(model.ResourcesNode(), 0),
                Count(model.HolidaysNode(), 0), argv[2]);
    return 0;
  } catch (const EqorFileError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
