// Times the MS Project XML export and import of plans of 2,000 and 20,000 tasks (with 1.5 links,
// one assignment and a note every fifth task per task, a resource per 10 tasks with two holidays
// each, a project per 100 tasks) and prints the medians of five runs and the ratio of the
// times: linear work shows a ratio near 10.
//
// Two ways: the text alone (the plan made into MSPDI text and read back), and what File, Import
// and Export do with a plan file on disk: the XML file imported into an empty plan (read, checked
// and stored in one transaction), and the stored plan loaded and written as an XML file.
//
//   bench_exchange_mspdi [RUNS [FOLDER]]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/qorExchangeFiles.h"
#include "app/core/qorPlannerCheck.h"
#include "app/core/qorPlannerSchema.h"
#include "bench/benchCommon.h"
#include "db/access/qorDatabaseController.h"
#include "exchange/qorMspdiExport.h"
#include "exchange/qorMspdiImport.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/qorPlannerModel.h"

namespace {

TqorExchangePlan Plan(int tasks) {
  TqorExchangePlan plan;
  plan.Name = "Bench";
  const auto start = static_cast<int32_t>(EncodeDate(2025, 1, 6));
  const int projects = tasks / 100, resources = tasks / 10;
  for (int p = 0; p < projects; ++p)
    plan.Projects.push_back({p + 1, "Project " + std::to_string(p) + " & more",
                             "P" + std::to_string(p), start, start + 500, 120.5, 60.25, 9000,
                             4500.5, p % 4 == 0, "Scope of\nproject " + std::to_string(p)});
  for (int t = 0; t < tasks; ++t) {
    const int32_t from = start + (t * 7) % 480;
    plan.Tasks.push_back({t + 1, 1 + t % projects, "Task \"" + std::to_string(t) + "\" <x>", from,
                          from + t % 15, t % 50 == 0, t % 3 == 0, (t % 21) * 4.75,
                          t % 5 ? "" : "Note line 1\r\nline 2 & more"});
  }
  for (int r = 0; r < resources; ++r) {
    plan.Resources.push_back({r + 1, "Resource " + std::to_string(r), "R" + std::to_string(r),
                              r % 5 ? 40.0 : 32.5, 62.5 + r % 7, r % 3 ? 100.0 : 50.0, ""});
    for (int h = 0; h < 2; ++h) {
      const int32_t day = start + (r * 13 + h * 101) % 480;
      plan.Holidays.push_back({2 * r + h + 1, r + 1, day, day + h * 4});
    }
  }
  for (int t = 0; t < tasks; ++t) plan.Assignments.push_back({t + 1, t + 1, 1 + t % resources, 50});
  // 1.5 links per task, from earlier to later tasks.
  int id = 0;
  for (int t = 1; t < tasks; ++t) {
    plan.Links.push_back({++id, t, t + 1, static_cast<TqorLinkType>(t % 4), t % 7 - 2});
    if (t % 2 == 0 && t > 40) plan.Links.push_back({++id, t - 40, t + 1, TqorLinkType::FS, 1});
  }
  return plan;
}

struct TTiming {
  int tasks;
  size_t links, bytes;
  double exportMs, importMs;
  double fileImportMs = 0, fileExportMs = 0;
};

// The XML file imported into a new empty plan, then that plan loaded and exported again.
void MeasureFiles(TTiming& t, const std::string& xml, const std::string& folder, int runs) {
  namespace fs = std::filesystem;
  const std::string xmlFile = folder + "/bench.xml", empty = folder + "/empty.zuz",
                    plan = folder + "/plan.zuz", out = folder + "/out.xml";
  std::ofstream(xmlFile, std::ios::binary) << xml;
  fs::remove(empty);
  CreatePlannerDatabase(empty);
  t.fileImportMs = bench::MedianMs(runs, [&] {
    fs::remove(plan);
    fs::copy_file(empty, plan);
    TqorDatabaseController db;
    db.OpenDatabase(plan);
    const TqorImportResult result = ImportMspdiFile(db, xmlFile, nullptr);
    if (result.Counts.Tasks != t.tasks) {
      std::fprintf(stderr, "stored %d tasks of %d\n", result.Counts.Tasks, t.tasks);
      std::exit(1);
    }
  });
  TqorExportRequest request;
  request.Format = TqorExchangeFormat::Mspdi;
  request.FileName = out;
  request.PlanName = "Bench";
  t.fileExportMs = bench::MedianMs(runs, [&] {
    TqorDatabaseController db;
    db.OpenDatabase(plan);
    TqorPlannerModel planner;
    std::vector<std::string> problems;
    LoadCheckedPlanner(db, planner, problems);
    WriteExportFiles(planner, request, plan);
  });
  if (fs::file_size(out) < xml.size() / 2) {
    std::fprintf(stderr, "the export of the stored plan is short\n");
    std::exit(1);
  }
}

TTiming Measure(int tasks, int runs) {
  const TqorExchangePlan plan = Plan(tasks);
  std::string xml;
  TTiming t{tasks, plan.Links.size(), 0, 0, 0};
  t.exportMs = bench::MedianMs(runs, [&] { xml = ExportMspdi(plan); });
  t.bytes = xml.size();
  size_t imported = 0;
  t.importMs =
      bench::MedianMs(runs, [&] { imported = ImportMspdi(xml, "bench.xml").Plan.Tasks.size(); });
  if (imported != plan.Tasks.size()) {
    std::fprintf(stderr, "imported %zu tasks of %zu\n", imported, plan.Tasks.size());
    std::exit(1);
  }
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  // The folder is the second argument, else a new one below /tmp, removed at the end.
  const std::string folder = bench::WorkFolder(argc - 1, argv + 1, "bench-exchange");
  RegionalSettings().DecimalSeparator.assign(1, '.');
  std::printf("%8s %8s %10s %12s %12s %14s %14s\n", "tasks", "links", "bytes", "export ms",
              "import ms", "file export ms", "file import ms");
  std::vector<TTiming> timings;
  for (int tasks : {2000, 20000}) {
    timings.push_back(Measure(tasks, runs));
    TTiming& t = timings.back();
    MeasureFiles(t, ExportMspdi(Plan(tasks)), folder, runs);
    std::printf("%8d %8zu %10zu %12.1f %12.1f %14.1f %14.1f\n", t.tasks, t.links, t.bytes,
                t.exportMs, t.importMs, t.fileExportMs, t.fileImportMs);
  }
  std::printf(
      "ratio 20,000 / 2,000: export %.1f, import %.1f, file export %.1f, file import %.1f\n",
      timings[1].exportMs / timings[0].exportMs, timings[1].importMs / timings[0].importMs,
      timings[1].fileExportMs / timings[0].fileExportMs,
      timings[1].fileImportMs / timings[0].fileImportMs);
  if (argc <= 2) std::filesystem::remove_all(folder);
  return 0;
}
