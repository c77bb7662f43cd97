// Times converting tasks reports of 100, 1,000 and 10,000 table rows into RTF files and prints
// the ratio of the times: linear work shows a ratio near 10 from one size to the next.
//
// usage: bench_rtf_report [folder]   (default: a new folder below /tmp)
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "planner/base/qorStrings.h"
#include "report/qorRTFReporter.h"

namespace {

// A tasks report as the application writes it: a project heading with a header row every 50
// rows, ten cells per row, names with characters that need escaping, and an "Assigned To"
// cell with inline line breaks.
std::string TasksReport(int rows) {
  TqorFastString s;
  s.Reset();
  s.Append(
      "<?xml version=\"1.0\"?>\r\n<html header=\"Vazadod - Tasks\" footer=\"Vazadod\" "
      "pagesize=\"A4 Landscape\">\r\n<head>\r\n"
      "<style id=\"td.shaded\">background-color:#F0F0F0</style>\r\n"
      "<style id=\"td.numeric\">text-align:right</style>\r\n"
      "<style id=\"td.milestone\">font-weight:bold</style>\r\n"
      "<style id=\"h1.newpage\">page-break-before:always</style>\r\n"
      "<style id=\"p.spacer\">margin-top:10</style>\r\n</head>\r\n<body>\r\n");
  static const char* const kTitles[] = {"Task",   "Start", "End",  "Days",  "Assigned To",
                                        "Budget", "Hours", "Done", "Notes", "Tag"};
  for (int r = 0; r < rows; ++r) {
    if (r % 50 == 0) {
      const std::string p = std::to_string(r / 50 + 1);
      s.Append(std::string("<h1 outline=\"Project ") + p + "\"" +
               (r ? " class=\"h1.newpage\"" : "") + ">Project " + p +
               " M\xC3\xBCller {draft}</h1>\r\n");
      s.Append(
          "<h2 outline=\"Tasks\">Tasks</h2>\r\n<p class=\"p.spacer\"></p>\r\n<tr header=\"yes\">");
      for (int c = 0; c < 10; ++c)
        s.Append("<td class=\"td.shaded\" right=\"" + std::to_string(10 * (c + 1)) + "\">" +
                 kTitles[c] + "</td>");
      s.Append("</tr>\r\n");
    }
    const std::string n = std::to_string(r + 1);
    s.Append("<tr><td class=\"" + std::string(r % 7 == 0 ? "td.milestone" : "") +
             "\" right=\"10\">Task " + n + " C:\\temp</td>");
    s.Append("<td right=\"20\">01-02-2025</td><td right=\"30\">15-03-2025</td>");
    s.Append("<td class=\"td.numeric\" right=\"40\">" + std::to_string(r % 40) + "</td>");
    s.Append(
        "<td right=\"50\" markup=\"yes\"><![CDATA[O'Neil<br>\xC5\x81ukasz<br>"
        "\xE6\x9D\xB1\xE4\xBA\xAC]]></td>");
    for (int c = 5; c < 10; ++c)
      s.Append("<td class=\"td.numeric\" right=\"" + std::to_string(10 * (c + 1)) + "\">" + n +
               "." + std::to_string(c) + "</td>");
    s.Append("</tr>\r\n");
  }
  s.Append("</body>\r\n</html>");
  return s.GetText();
}

struct Timing {
  int rows;
  size_t markupBytes;
  size_t rtfBytes;
  double ms;
};

Timing Measure(TqorRTFReporter& reporter, const std::string& folder, int rows, int repeats) {
  const std::string markup = TasksReport(rows);
  const std::string file = folder + "/tasks-" + std::to_string(rows) + ".rtf";
  Timing t{rows, markup.size(), 0, 1e300};
  for (int i = 0; i < repeats; ++i) {
    auto a = std::chrono::steady_clock::now();
    reporter.RenderReport(markup, file, folder + "/");
    auto b = std::chrono::steady_clock::now();
    t.ms = std::min(t.ms, std::chrono::duration<double, std::milli>(b - a).count());
  }
  t.rtfBytes = std::filesystem::file_size(file);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  if (argc > 1) {
    folder = argv[1];
  } else {
    std::string pattern = "/tmp/vz-rtf-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      return 1;
    }
    folder = pattern;
  }
  TqorRTFReporter reporter;
  reporter.SetLanguage("english");
  Measure(reporter, folder, 100, 3);  // warm-up
  // 100, 1,000 and 10,000 rows, fewer repeats as the reports grow.
  std::vector<Timing> sizes;
  for (int rows = 100, repeats = 30; sizes.size() < 3; rows *= 10, repeats = repeats / 3)
    sizes.push_back(Measure(reporter, folder, rows, repeats));
  std::printf("%8s %12s %12s %10s %8s\n", "rows", "markup B", "rtf B", "ms", "ratio");
  for (size_t i = 0; i < sizes.size(); ++i) {
    const Timing& t = sizes[i];
    if (i == 0)
      std::printf("%8d %12zu %12zu %10.2f %8s\n", t.rows, t.markupBytes, t.rtfBytes, t.ms, "-");
    else
      std::printf("%8d %12zu %12zu %10.2f %8.2f\n", t.rows, t.markupBytes, t.rtfBytes, t.ms,
                  t.ms / sizes[i - 1].ms);
  }
  std::printf("files in %s\n", folder.c_str());
  return 0;
}
