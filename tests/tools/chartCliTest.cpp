// vazadod-cli chart through real files and the peers that read them: random sample plans of 200
// tasks with links drawn over six months as an A4 landscape PDF, which qpdf accepts; its pages
// rendered by pdftoppm show every task's bar exactly on its days (the pixel at each day's
// centre in the task's row, on the page the documented tiling puts it, is a bar inside the
// task's dates and background outside), pdftotext finds every name, and the SVG renders with
// rsvg-convert to the PNG's picture. VZ_CHART_PLANS (default 1) plans from VZ_CHART_SEED.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/core/qorPlanChart.h"
#include "app/core/qorPlannerCheck.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/qorPlannerModel.h"
#include "planner/xml/qorXMLNode2.h"
#include "tests/cliRun.h"
#include "tests/testFiles.h"

namespace {

namespace fs = std::filesystem;

// The day as YYYY-MM-DD.
std::string Iso(int32_t day) {
  return FormatDateTime("yyyy-MM-dd", day);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct TPixmap {
  int Width = 0;
  int Height = 0;
  std::string Rgb;
  // The colour at (x, y) as r, g, b.
  void At(int x, int y, int& r, int& g, int& b) const {
    const size_t i = (static_cast<size_t>(y) * Width + x) * 3;
    r = static_cast<unsigned char>(Rgb[i]);
    g = static_cast<unsigned char>(Rgb[i + 1]);
    b = static_cast<unsigned char>(Rgb[i + 2]);
  }
};

// A binary PPM (P6, maxval 255) as pdftoppm writes it.
TPixmap ReadPpm(const fs::path& path) {
  const std::string data = ReadFile(path);
  TPixmap p;
  size_t pos = 0;
  auto token = [&] {
    while (pos < data.size() && std::isspace(static_cast<unsigned char>(data[pos]))) ++pos;
    const size_t start = pos;
    while (pos < data.size() && !std::isspace(static_cast<unsigned char>(data[pos]))) ++pos;
    return data.substr(start, pos - start);
  };
  if (token() != "P6") return p;
  p.Width = std::stoi(token());
  p.Height = std::stoi(token());
  token();  // maxval
  ++pos;
  p.Rgb = data.substr(pos);
  if (p.Rgb.size() < static_cast<size_t>(p.Width) * p.Height * 3) p = {};
  return p;
}

// A bar's colour: blue, green or red gradients, or the milestone's black; not the white or
// yellow days, nor the grey lines.
bool IsBar(int r, int g, int b) {
  const int hi = std::max({r, g, b}), lo = std::min({r, g, b});
  if (hi < 90) return true;  // the milestone diamond
  const bool yellowDay = r > 240 && g > 240 && b > 180 && b < 225;
  return !yellowDay && hi - lo > 25;
}

class ChartCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vz-chart-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { RemoveTestFolder(dir_); }
  fs::path dir_;
};

TEST_F(ChartCli, PdfPagesShowEveryBarOnItsDaysAndEveryNameAndTheSvgIsThePng) {
  const int plans = EnvInt("VZ_CHART_PLANS", 1);
  const int seed0 = EnvInt("VZ_CHART_SEED", 11);
  // A4 landscape less 10 mm margins, in points; pdftoppm -r 72 gives a pixel a point.
  const double margin = 10 / 25.4 * 72;
  const double width = 841.89 - 2 * margin, height = 595.28 - 2 * margin;
  const int daysPerPage = static_cast<int>((width - 160) / 12);
  const int rowsPerPage = static_cast<int>((height - 22 - 28 - 16) / 16);
  const int32_t today = static_cast<int32_t>(std::floor(SystemToday()));
  for (int plan = 0; plan < plans; ++plan) {
    SCOPED_TRACE("seed " + std::to_string(seed0 + plan));
    const fs::path db = dir_ / ("plan" + std::to_string(plan) + ".zuz");
    const TCommandRun sample = RunVazadodCli(
        "sample --projects 10 --tasks-per-project 20 --resources 6 --links 60 --seed " +
        std::to_string(seed0 + plan) + " " + db.string());
    ASSERT_EQ(sample.Status, 0) << sample.Out;

    // The rows the chart shows, read as the program reads the plan.
    TqorDatabaseController controller;
    controller.OpenDatabase(db.string());
    TqorPlannerModel planner;
    std::vector<std::string> problems;
    LoadCheckedPlanner(controller, planner, problems);
    ASSERT_TRUE(problems.empty());
    std::string filter;
    for (int p = 0; p < planner.ProjectsNode()->ChildCount(); ++p)
      filter += "[" + planner.ProjectsNode()->GetChild(p)->GetAttributeStr("id") + "]";
    planner.SetProjectFilter(filter);
    TqorChartContent content;
    content.AllUnfolded = true;
    const TqorChartInput input = ChartInputOf(planner, content);
    ASSERT_EQ(input.Rows.size(), 210u);
    int32_t first = 0, last = 0;
    ASSERT_TRUE(ChartSpanOf(input, first, last));
    const int32_t from = first + 3, to = from + 182;  // six months, some bars cut at its ends

    const fs::path pdf = dir_ / "chart.pdf";
    const TCommandRun made =
        RunVazadodCli("chart --from " + Iso(from) + " --to " + Iso(to) +
                      " --format pdf --page A4 --landscape --unfolded --all-projects --output " +
                      pdf.string() + " " + db.string());
    ASSERT_EQ(made.Status, 0) << made.Out;
    const int across = (to - from + 1 + daysPerPage - 1) / daysPerPage;
    const int down = (210 + rowsPerPage - 1) / rowsPerPage;
    EXPECT_NE(made.Out.find(std::to_string(across * down) + " pages"), std::string::npos)
        << made.Out;
    const TCommandRun check = RunShellCommand("qpdf --check " + pdf.string() + " 2>&1");
    EXPECT_EQ(check.Status, 0) << check.Out;

    // Every name in the text (names the column cuts short are not in the sample).
    const TCommandRun text = RunShellCommand("pdftotext " + pdf.string() + " - 2>&1");
    ASSERT_EQ(text.Status, 0);
    for (const TqorChartRow& row : input.Rows)
      EXPECT_NE(text.Out.find(row.Name), std::string::npos) << row.Name;

    // Every task's days on the rendered pages.
    const TCommandRun render = RunShellCommand("pdftoppm -r 72 " + pdf.string() + " " +
                                               (dir_ / "page").string() + " 2>&1");
    ASSERT_EQ(render.Status, 0) << render.Out;
    std::vector<fs::path> pages;
    for (const auto& entry : fs::directory_iterator(dir_))
      if (entry.path().extension() == ".ppm") pages.push_back(entry.path());
    std::sort(pages.begin(), pages.end());
    ASSERT_EQ(static_cast<int>(pages.size()), across * down);
    std::vector<TPixmap> pixmaps;
    for (const fs::path& path : pages) pixmaps.push_back(ReadPpm(path));
    int barDays = 0, emptyDays = 0;
    for (int r = 0; r < 210; ++r) {
      const TqorChartRow& row = input.Rows[r];
      if (row.Project || !row.HasDates) continue;
      const int pageDown = r / rowsPerPage;
      for (int a = 0; a < across; ++a) {
        const TPixmap& page = pixmaps[pageDown * across + a];
        ASSERT_GT(page.Width, 0);
        const int32_t pageFirst = from + a * daysPerPage;
        const int32_t pageLast = std::min(to, pageFirst + daysPerPage - 1);
        const int y = static_cast<int>(margin + 50 + (r % rowsPerPage) * 16 + 4.5);
        for (int32_t day = pageFirst; day <= pageLast; ++day) {
          if (day == today) continue;  // today's line runs through the day's centre
          const int x = static_cast<int>(margin + 160 + (day - pageFirst) * 12 + 6);
          int red, green, blue;
          page.At(x, y, red, green, blue);
          const bool inside = day >= row.Start && day <= std::max(row.Start, row.End);
          if (row.Milestone && row.Start == row.End && inside) continue;  // the diamond's tip
          EXPECT_EQ(IsBar(red, green, blue), inside)
              << row.Name << " on " << Iso(day) << " (page " << pageDown * across + a + 1 << ", "
              << x << "," << y << ": " << red << "," << green << "," << blue << ")";
          (inside ? barDays : emptyDays)++;
        }
      }
    }
    EXPECT_GT(barDays, 1000);
    EXPECT_GT(emptyDays, 1000);

    // The SVG drawn by another renderer is the PNG's picture, but for text edges.
    const fs::path png = dir_ / "chart.png", svg = dir_ / "chart.svg", back = dir_ / "svg.png";
    const std::string period = "--from " + Iso(from) + " --to " + Iso(from + 60) +
                               " --unfolded --all-projects --critical ";
    ASSERT_EQ(RunVazadodCli("chart " + period + "--format png --dpi 72 --output " + png.string() +
                            " " + db.string())
                  .Status,
              0);
    ASSERT_EQ(RunVazadodCli("chart " + period + "--format svg --output " + svg.string() + " " +
                            db.string())
                  .Status,
              0);
    const TCommandRun wellFormed = RunShellCommand("xmllint --noout " + svg.string() + " 2>&1");
    EXPECT_EQ(wellFormed.Status, 0) << wellFormed.Out;
    const TCommandRun size = RunShellCommand("identify -format '%w %h' " + png.string());
    int w = 0, h = 0;
    ASSERT_EQ(std::sscanf(size.Out.c_str(), "%d %d", &w, &h), 2) << size.Out;
    EXPECT_EQ(w, static_cast<int>(std::ceil(160 + 61 * 12.0)));
    EXPECT_EQ(h, static_cast<int>(std::ceil(50 + 210 * 16.0)));
    ASSERT_EQ(RunShellCommand("rsvg-convert -b white -w " + std::to_string(w) + " -h " +
                              std::to_string(h) + " -o " + back.string() + " " + svg.string())
                  .Status,
              0);
    const TCommandRun differ = RunShellCommand("compare -metric AE -fuzz 25% " + png.string() +
                                               " " + back.string() + " null: 2>&1");
    ASSERT_LE(differ.Status, 1) << differ.Out;  // 2: the pictures could not be compared
    const double differing = std::atof(differ.Out.c_str());
    EXPECT_LT(differing / (static_cast<double>(w) * h), 0.01) << differ.Out;
  }
}

TEST_F(ChartCli, WrongUsageSaysWhyAndWritesNothing) {
  const fs::path db = dir_ / "plan.zuz";
  ASSERT_EQ(RunVazadodCli("sample --projects 2 --tasks-per-project 3 --resources 2 " + db.string())
                .Status,
            0);
  const fs::path out = dir_ / "chart.pdf";
  const struct {
    std::string Args;
    std::string Says;
  } cases[] = {
      {"--format gif", "'--format' takes pdf|png|svg, not 'gif'"},
      {"--format pdf --scale year", "'--scale' takes day|week|month, not 'year'"},
      {"--format pdf --from 2026-02-30", "'--from' takes a date as YYYY-MM-DD"},
      {"--format pdf --from 2026-05-01 --to 2026-04-01", "ends before it starts"},
      {"--format pdf --from 2000-01-01 --to 2020-01-01", "at most 3660 can be shown"},
      {"--format svg --landscape", "are for the pdf format"},
      {"--format png --dpi 5000", "'--dpi' takes a whole number from 24 to 1200"},
      {"--format png --dpi 1200 --scale day --from 2026-01-01 --to 2027-12-31",
       "more than a PNG file can hold"},
      {"--format pdf --landscape=yes", "'--landscape' takes no value"},
  };
  for (const auto& c : cases) {
    const TCommandRun run =
        RunVazadodCli("chart " + c.Args + " --output " + out.string() + " " + db.string());
    EXPECT_NE(run.Status, 0) << c.Args;
    EXPECT_NE(run.Out.find(c.Says), std::string::npos) << c.Args << ": " << run.Out;
    EXPECT_FALSE(fs::exists(out)) << c.Args;
  }
}

}  // namespace
