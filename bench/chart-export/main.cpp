// Times the chart's export of a plan of 20,000 tasks (200 projects of 100, 8 links per 100
// tasks), the way vazadod-cli chart does it from the plan file: loading the plan, laying the
// chart out and writing the file. A4 landscape PDFs of six months on the day scale and of the
// whole plan on the week scale, and the whole plan as SVG on the week scale; the layout alone
// for the first. Prints the medians, the pages and the sizes.
//
//   bench_chart_export [FOLDER] [RUNS]
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/qorPlanChart.h"
#include "app/core/qorPlannerCheck.h"
#include "bench/benchCommon.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/qorPlannerModel.h"
#include "tools/vazadod-cli/cliChart.h"
#include "tools/vazadod-cli/cliSample.h"

namespace {

// The day as YYYY-MM-DD.
std::string Iso(int32_t day) {
  return FormatDateTime("yyyy-MM-dd", day);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const std::string folder = bench::WorkFolder(argc, argv, "vz-bench-chart");
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string db = folder + "/plan20k.zuz";
  std::filesystem::remove(db);
  TSampleOptions sample;
  sample.Projects = 200;
  sample.TasksPerProject = 100;
  sample.Resources = 50;
  sample.LinksPer100Tasks = 8;
  sample.Today = EncodeDate(2026, 6, 1);
  WriteSamplePlanner(db, sample);

  TqorDatabaseController controller;
  controller.OpenDatabase(db);
  TqorPlannerModel planner;
  std::vector<std::string> problems;
  LoadCheckedPlanner(controller, planner, problems);
  TqorChartContent content;
  content.AllUnfolded = true;
  const TqorChartInput input = ChartInputOf(planner, content);
  int32_t first = 0, last = 0;
  ChartSpanOf(input, first, last);
  const std::string sixMonths = "--from " + Iso(first) + " --to " + Iso(first + 182);

  TqorChartOptions options;
  options.From = first;
  options.To = first + 182;
  options.PageWidth = 785.2;
  options.PageHeight = 538.6;
  size_t shapes = 0;
  const double layout = bench::MedianMs(runs, [&] {
    shapes = 0;
    for (const TqorChartPage& page : LayoutChart(input, options).Pages)
      shapes += page.Shapes.size();
  });
  std::printf("%zu rows, %zu links, days %s to %s\n", input.Rows.size(), input.Links.size(),
              Iso(first).c_str(), Iso(last).c_str());
  std::printf("layout, six months, day scale:   %8.1f ms (%zu shapes)\n", layout, shapes);

  const struct {
    const char* Name;
    std::string Args;
    const char* File;
  } cases[] = {
      {"PDF, six months, day scale:  ", sixMonths + " --format pdf --landscape", "day.pdf"},
      {"PDF, whole plan, week scale: ", "--scale week --format pdf --landscape", "week.pdf"},
      {"SVG, whole plan, week scale: ", "--scale week --format svg", "week.svg"},
  };
  for (const auto& c : cases) {
    const std::string out = folder + "/" + c.File;
    std::vector<std::string> args;
    std::string word;
    for (char ch : c.Args + " --unfolded --all-projects --output " + out + " " + db + " ") {
      if (ch != ' ')
        word += ch;
      else if (!word.empty())
        args.push_back(std::move(word)), word.clear();
    }
    std::fflush(stdout);
    const double ms = bench::MedianMs(runs, [&] { RunChartCommand(args); });
    std::printf("%s %8.1f ms (%.1f MB)\n", c.Name, ms, std::filesystem::file_size(out) / 1e6);
  }
  return 0;
}
