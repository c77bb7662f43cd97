// Times writing and reading planner documents of 20,000 and 200,000 elements and prints the
// ratio of the times: linear work shows a ratio near 10.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/base/qorStrings.h"
#include "planner/qorPlannerModel.h"

namespace {

// Fills a planner with projects of 10 tasks, each task with 2 assignments, plus resources,
// until the document holds at least `elements` elements. Returns the element count.
int Fill(TqorPlannerModel& model, int elements) {
  const double start = EncodeDate(2025, 1, 6);
  int count = 4;  // planner and the three containers
  for (int r = 1; r <= 50; ++r) {
    auto res = std::make_unique<TqorXMLNode2>("resource");
    res->SetAttribute("name", "Resource " + std::to_string(r));
    res->SetAttribute("initials", std::string(1, 'R') += std::to_string(r));
    res->SetAttribute("id", std::to_string(r));
    res->SetAttribute("hoursperweek", 40.0);
    res->SetAttribute("costperhour", 62.5);
    res->SetAttribute("maxunits", 100.0);
    res->SetAttribute("notes", "");
    model.ResourcesNode()->AddChild(std::move(res));
    ++count;
  }
  int project = 0, task = 0, assignment = 0;
  while (count < elements) {
    std::string pid = std::to_string(++project);
    TqorXMLNode2* p = model.AddProject(pid, "Project " + pid + " & more");
    p->SetAttribute("tag", "P" + pid);
    p->SetAttribute("budgethours", 120.5);
    p->SetAttribute("startdate", start);
    p->SetAttribute("enddate", start + 60);
    ++count;
    for (int t = 0; t < 10 && count < elements; ++t) {
      std::string tid = std::to_string(++task);
      TqorXMLNode2* n =
          model.AddTask(pid, tid, "Task \"" + tid + "\"", start + t, start + t + 4, t == 9);
      n->SetAttribute("iscompleted", false);
      n->SetAttribute("progress", 12.25);
      ++count;
      for (int a = 0; a < 2 && count < elements; ++a) {
        auto asg = std::make_unique<TqorXMLNode2>("assignment");
        asg->SetAttribute("id", std::to_string(++assignment));
        asg->SetAttribute("resourceid", std::to_string(1 + (assignment % 50)));
        asg->SetAttribute("units", 50.0);
        n->AddChild(std::move(asg));
        ++count;
      }
      n->SetAttribute("assignedhours", model.CalcAssignedHours(n));
    }
  }
  return count;
}

struct Timing {
  int elements;
  size_t bytes;
  double writeMs;
  double readMs;
};

Timing Measure(int elements, int repeats) {
  TqorPlannerModel model([] { return EncodeDate(2025, 1, 1); });
  Timing t{Fill(model, elements), 0, 1e300, 1e300};
  std::string text;
  for (int i = 0; i < repeats; ++i) {
    auto a = std::chrono::steady_clock::now();
    text = model.Document().Xml();
    auto b = std::chrono::steady_clock::now();
    t.writeMs = std::min(t.writeMs, std::chrono::duration<double, std::milli>(b - a).count());
  }
  t.bytes = text.size();
  for (int i = 0; i < repeats; ++i) {
    TqorXMLParser2 doc;
    doc.SetIndexIds(true);
    auto a = std::chrono::steady_clock::now();
    doc.SetXml(text);
    auto b = std::chrono::steady_clock::now();
    if (!doc.LastError().empty()) {
      std::fprintf(stderr, "read failed: %s\n", doc.LastError().substr(0, 200).c_str());
      std::exit(1);
    }
    t.readMs = std::min(t.readMs, std::chrono::duration<double, std::milli>(b - a).count());
  }
  return t;
}

}  // namespace

int main() {
  RegionalSettings().DecimalSeparator.assign(1, '.');
  Measure(20000, 1);  // warm up the allocator and the caches
  const Timing small = Measure(20000, 7);
  const Timing large = Measure(200000, 3);
  for (const Timing& t : {small, large})
    std::printf("%7d elements, %9zu bytes: write %8.2f ms, read %8.2f ms\n", t.elements, t.bytes,
                t.writeMs, t.readMs);
  std::printf("ratio 200,000 / 20,000 elements: write %.2f, read %.2f (linear: about 10)\n",
              large.writeMs / small.writeMs, large.readMs / small.readMs);
  return 0;
}
