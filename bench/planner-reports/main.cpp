// Times the three reports of sample plans of 2,000 and 20,000 tasks (the second with five times
// the resources): building the markup from the loaded plan (the holidays report from the
// database), and converting it into an RTF and a PDF file. Prints each time, best of a few
// runs, and the ratio from the small plan to the large one: work linear in the plan's size
// shows a ratio near 10 for the tasks and the total.
//
//   bench_planner_reports [folder]   (default: a new folder below /tmp; the plans are made
//                                     once there and reused)
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

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
#include "tools/vazadod-cli/cliSample.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 3;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The best of kRuns runs of f, in seconds.
double Best(const std::function<void()>& f) {
  double best = 1e99;
  for (int i = 0; i < kRuns; ++i) {
    const Clock::time_point start = Clock::now();
    f();
    best = std::min(best, Seconds(start));
  }
  return best;
}

struct TPlan {
  const char* Name;
  int Projects, TasksPerProject, Resources;
};

struct TTimes {
  double Load = 0;
  double Build[3] = {}, Rtf[3] = {}, Pdf[3] = {};
  size_t Markup[3] = {};
};

const char* const kReports[3] = {"tasks", "resources", "holidays"};

TTimes Measure(const std::string& path, const std::string& folder, double today) {
  TTimes t;
  TqorDatabaseController controller;
  controller.OpenDatabase(path);
  TqorPlannerModel planner([today] { return today; });
  const Clock::time_point start = Clock::now();
  LoadPlanner(controller, planner);
  t.Load = Seconds(start);

  TqorFastString text;
  std::vector<TqorXMLNode2*> nodes;
  TqorPDFReporter pdf;
  TqorRTFReporter rtf;
  pdf.SetLanguage("english");
  rtf.SetLanguage("english");
  for (int r = 0; r < 3; ++r) {
    std::string markup;
    t.Build[r] = Best([&] {
      markup = r == 0   ? BuildTasksReport(text, planner)
               : r == 1 ? BuildResourcesReport(text, planner, nodes)
                        : BuildHolidaysReport(text, controller, today);
    });
    t.Markup[r] = markup.size();
    const std::string file = folder + "/" + kReports[r];
    t.Rtf[r] = Best([&] { RenderReportFile("RTF", markup, file + ".rtf", "", pdf, rtf); });
    t.Pdf[r] = Best([&] { RenderReportFile("PDF", markup, file + ".pdf", "", pdf, rtf); });
  }
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  RegionalSettings().DecimalSeparator.assign(1, '.');
  std::string folder;
  if (argc > 1) {
    folder = argv[1];
  } else {
    std::string pattern = "/tmp/bench_planner_reports-XXXXXX";
    if (!mkdtemp(pattern.data())) return 1;
    folder = pattern;
  }
  std::filesystem::create_directories(folder);
  const double today = EncodeDate(2026, 12, 9);
  const std::vector<TPlan> plans = {{"2,000 tasks", 100, 20, 40}, {"20,000 tasks", 1000, 20, 200}};
  std::vector<TTimes> times;
  for (const TPlan& p : plans) {
    const std::string path =
        folder + "/sample-" + std::to_string(p.Projects * p.TasksPerProject) + ".zuz";
    if (!std::filesystem::exists(path)) {
      TSampleOptions o;
      o.Projects = p.Projects;
      o.TasksPerProject = p.TasksPerProject;
      o.Resources = p.Resources;
      o.Today = today;
      const TSampleCounts n = WriteSamplePlanner(path, o);
      std::printf("%s: %d projects, %d tasks, %d resources, %d assignments, %d holidays\n", p.Name,
                  n.Projects, n.Tasks, n.Resources, n.Assignments, n.Holidays);
    }
    times.push_back(Measure(path, folder, today));
  }

  std::printf("\n%-26s %12s %12s %8s\n", "seconds (best of 3)", plans[0].Name, plans[1].Name,
              "ratio");
  auto line = [](const std::string& what, double a, double b) {
    std::printf("%-26s %12.4f %12.4f %8.1f\n", what.c_str(), a, b, a > 0 ? b / a : 0.0);
  };
  line("load the plan", times[0].Load, times[1].Load);
  double total[2] = {};
  for (int r = 0; r < 3; ++r) {
    line(std::string(kReports[r]) + ": markup", times[0].Build[r], times[1].Build[r]);
    line(std::string(kReports[r]) + ": RTF file", times[0].Rtf[r], times[1].Rtf[r]);
    line(std::string(kReports[r]) + ": PDF file", times[0].Pdf[r], times[1].Pdf[r]);
    for (int i = 0; i < 2; ++i) total[i] += times[i].Build[r] + times[i].Rtf[r] + times[i].Pdf[r];
    std::printf("%-26s %12zu %12zu %8.1f\n", (std::string(kReports[r]) + ": markup bytes").c_str(),
                times[0].Markup[r], times[1].Markup[r],
                static_cast<double>(times[1].Markup[r]) / static_cast<double>(times[0].Markup[r]));
  }
  line("all reports", total[0], total[1]);
  return 0;
}
