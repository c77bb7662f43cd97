// Times converting tasks reports of 100, 1,000, 10,000 and 20,000 tasks into PDF files and
// prints the ratio of the times: linear work shows a ratio near the growth of the markup from one
// size to the next.
//
// usage: bench_pdf_report [folder]   (default: a new folder below /tmp)
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "planner/base/qorStrings.h"
#include "report/qorPDFReporter.h"

namespace {

// A tasks report as the report builders write it: ten projects, each with its heading, project
// row and task table; user texts inside CDATA with "<", ">" and "&" as entities; every task's
// "Assigned To" two lines, every third task's name two lines, every fourth a milestone.
std::string TasksReport(int tasks) {
  TqorFastString s;
  s.Reset();
  s.Append(
      "<html header=\"Tasks Report\" footer=\"Vazadod\" pagesize=\"A4 Landscape\"><head>\r\n"
      "<style id=\"td.shaded\">background-color:#F0F0F0</style>\r\n"
      "<style id=\"td.numeric\">text-align:right</style>\r\n"
      "<style id=\"td.milestone\">font-weight:bold</style>\r\n"
      "<style id=\"h1.newpage\">page-break-before:always</style>\r\n"
      "<style id=\"p.spacer\">margin-top:10</style>\r\n</head><body>");
  const int perProject = std::max(1, tasks / 10);
  for (int i = 1; i <= tasks; ++i) {
    if ((i - 1) % perProject == 0) {
      const std::string p = std::to_string((i - 1) / perProject + 1);
      s.Append(std::string(i == 1 ? "<h1" : "<h1 class=\"h1.newpage\"") + " outline=\"Project " +
               p + "\"><![CDATA[P" + p + " Project " + p + " R&amp;D]]></h1>\r\n");
      s.Append(
          "<p class=\"p.spacer\"></p>\r\n<tr header=\"yes\">"
          "<td class=\"td.shaded\" right=\"10\">StartDate</td>"
          "<td class=\"td.shaded\" right=\"20\">EndDate</td>"
          "<td class=\"td.shaded\" right=\"30\">Budget Hours</td>"
          "<td class=\"td.shaded\" right=\"40\">Assigned Hours</td>"
          "<td class=\"td.shaded\" right=\"50\">Budget Cost</td>"
          "<td class=\"td.shaded\" right=\"60\">Actual Cost</td></tr>\r\n"
          "<tr><td right=\"10\">01-02-2026</td><td right=\"20\">30-06-2026</td>"
          "<td class=\"td.numeric\" right=\"30\">120.0</td>"
          "<td class=\"td.numeric\" right=\"40\">80.5</td>"
          "<td class=\"td.numeric\" right=\"50\">1000.00</td>"
          "<td class=\"td.numeric\" right=\"60\">750.25</td></tr>\r\n"
          "<p class=\"p.spacer\"></p>\r\n<tr header=\"yes\">"
          "<td class=\"td.shaded\" right=\"30\">Task</td>"
          "<td class=\"td.shaded\" right=\"40\">StartDate</td>"
          "<td class=\"td.shaded\" right=\"50\">EndDate</td>"
          "<td class=\"td.shaded\" right=\"90\">Assigned To</td>"
          "<td class=\"td.shaded\" right=\"100\">%Complete</td></tr>\r\n");
    }
    const std::string n = std::to_string(i);
    std::string name = "Task " + n + " a&lt;b &amp; c&gt;d";
    if (i % 3 == 0) name += " with a name long enough to need a second line in its cell";
    s.Append("<tr><td right=\"30\"><![CDATA[" + name + "]]></td><td right=\"40\">02-02-2026</td>");
    s.Append(i % 4 == 0 ? "<td class=\"td.milestone\" right=\"50\">" : "<td right=\"50\">");
    s.Append(
        "13-02-2026</td><td right=\"90\" markup=\"yes\"><![CDATA[Ann M\xC3\xBCller(8.0)<br>"
        "Bob O'Neil(4.5)]]></td><td class=\"td.numeric\" right=\"100\" markup=\"yes\">" +
        std::to_string(i % 100) + "</td></tr>\r\n");
  }
  s.Append("</body></html>");
  return s.GetText();
}

struct Timing {
  int tasks;
  size_t markupBytes;
  size_t pdfBytes;
  double ms;
};

Timing Measure(TqorPDFReporter& reporter, const std::string& folder, int tasks, int repeats) {
  const std::string markup = TasksReport(tasks);
  const std::string file = folder + "/tasks-" + std::to_string(tasks) + ".pdf";
  Timing t{tasks, markup.size(), 0, 1e300};
  for (int i = 0; i < repeats; ++i) {
    auto a = std::chrono::steady_clock::now();
    reporter.RenderReport(markup, file, folder + "/");
    auto b = std::chrono::steady_clock::now();
    t.ms = std::min(t.ms, std::chrono::duration<double, std::milli>(b - a).count());
  }
  t.pdfBytes = std::filesystem::file_size(file);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  if (argc > 1) {
    folder = argv[1];
  } else {
    std::string pattern = "/tmp/vz-pdf-report-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      return 1;
    }
    folder = pattern;
  }
  TqorPDFReporter reporter;
  reporter.SetLanguage("english");
  Measure(reporter, folder, 100, 3);  // warm-up
  // Fewer repeats as the reports grow; the best time of each.
  std::vector<Timing> sizes;
  const int kSizes[][2] = {{100, 20}, {1'000, 6}, {10'000, 3}, {20'000, 3}};
  for (const auto& [tasks, repeats] : kSizes)
    sizes.push_back(Measure(reporter, folder, tasks, repeats));
  std::printf("%8s %12s %12s %10s %8s\n", "tasks", "markup B", "pdf B", "ms", "ratio");
  for (size_t i = 0; i < sizes.size(); ++i) {
    const Timing& t = sizes[i];
    if (i == 0)
      std::printf("%8d %12zu %12zu %10.2f %8s\n", t.tasks, t.markupBytes, t.pdfBytes, t.ms, "-");
    else
      std::printf("%8d %12zu %12zu %10.2f %8.2f\n", t.tasks, t.markupBytes, t.pdfBytes, t.ms,
                  t.ms / sizes[i - 1].ms);
  }
  std::printf("files in %s\n", folder.c_str());
  return 0;
}
