// The PDF reporter: report markup converted into files that qpdf passes, whose text poppler
// extracts in order, whose bookmarks qpdf reads, and whose rendered pages are looked at pixel by
// pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "report/qorPDFReporter.h"
#include "report/uPDFHTMLRender.h"
#include "tests/report/pdfTestUtil.h"

namespace {

using pdftest::Picture;
using pdftest::QpdfAccepts;
using pdftest::RunCommand;

// A word as poppler places it: page from 1, box in points from the top-left corner.
struct Word {
  int Page = 0;
  double XMin = 0, YMin = 0, XMax = 0, YMax = 0;
  std::string Text;
};

std::vector<Word> Words(const std::string& pdf) {
  const std::string html = RunCommand("pdftotext -bbox '" + pdf + "' -").Output;
  static const std::regex item(
      R"re((<page )|<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
  std::vector<Word> out;
  int page = 0;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), item); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    if (m[1].matched) {
      ++page;
      continue;
    }
    out.push_back({page, std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), std::stod(m[5]),
                   THTMLParser::DecodeEntities(std::string(m[6]))});
  }
  return out;
}

// The first word with the text on the page (nullptr when there is none).
const Word* Find(const std::vector<Word>& words, int page, const std::string& text) {
  for (const Word& w : words)
    if (w.Page == page && w.Text == text) return &w;
  return nullptr;
}

std::string PageText(const std::string& pdf, int page) {
  const std::string n = std::to_string(page);
  return RunCommand("pdftotext -raw -enc UTF-8 -f " + n + " -l " + n + " '" + pdf + "' -").Output;
}

int PageCount(const std::string& pdf) {
  std::smatch m;
  const std::string info = RunCommand("pdfinfo '" + pdf + "'").Output;
  return std::regex_search(info, m, std::regex("Pages: +(\\d+)")) ? std::stoi(m[1]) : 0;
}

// The bookmarks as qpdf reads them, one line each: depth, page, title.
std::string Outlines(const pdftest::ScratchFolder& dir, const std::string& pdf) {
  const std::string script = dir.File("outlines.py");
  pdftest::WriteFile(script,
                     "import json, sys\n"
                     "def walk(items, depth):\n"
                     "    for i in items:\n"
                     "        print(depth, i['destpageposfrom1'], i['title'])\n"
                     "        walk(i['kids'], depth + 1)\n"
                     "walk(json.load(sys.stdin)['outlines'], 0)\n");
  return RunCommand("qpdf --json --json-key=outlines '" + pdf + "' | python3 '" + script + "'")
      .Output;
}

// The texts, separated by "|", appear in this order in the extracted text.
::testing::AssertionResult InOrder(const std::string& text, const std::string& parts) {
  size_t at = 0;
  for (size_t from = 0; from <= parts.size();) {
    const size_t bar = std::min(parts.find('|', from), parts.size());
    const std::string part = parts.substr(from, bar - from);
    from = bar + 1;
    const size_t found = text.find(part, at);
    if (found == std::string::npos)
      return ::testing::AssertionFailure() << "\"" << part << "\" missing after " << at << " in\n"
                                           << text;
    at = found + part.size();
  }
  return ::testing::AssertionSuccess();
}

std::string TodayText() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char date[32];
  std::snprintf(date, sizeof date, "%02d-%02d-%04d", local.tm_mday, local.tm_mon + 1,
                local.tm_year + 1900);
  return date;
}

constexpr double kMmToPt = 72 / 25.4;

// A tasks report as the report builders write it: user texts inside CDATA with "<", ">" and "&"
// as entities, every task's "Assigned To" two lines, every third task's name two lines.
std::string TasksReport(int tasks) {
  std::string m =
      "<html header=\"Tasks Report\" footer=\"Vazadod\" pagesize=\"A4 Landscape\"><head>\r\n"
      "<style id=\"td.shaded\">background-color:#F0F0F0</style>\r\n"
      "<style id=\"td.numeric\">text-align:right</style>\r\n"
      "<style id=\"td.milestone\">font-weight:bold</style>\r\n"
      "<style id=\"h1.newpage\">page-break-before:always</style>\r\n"
      "<style id=\"p.spacer\">margin-top:10</style>\r\n</head><body>";
  m += "<h1 outline=\"Build &amp; ship\"><![CDATA[P1 Build &amp; ship]]></h1>\r\n"
       "<p class=\"p.spacer\"></p>\r\n"
       "<tr header=\"yes\"><td class=\"td.shaded\" right=\"10\">StartDate</td>"
       "<td class=\"td.shaded\" right=\"20\">EndDate</td>"
       "<td class=\"td.shaded\" right=\"30\">Budget Hours</td>"
       "<td class=\"td.shaded\" right=\"40\">Assigned Hours</td>"
       "<td class=\"td.shaded\" right=\"50\">Budget Cost</td>"
       "<td class=\"td.shaded\" right=\"60\">Actual Cost</td></tr>\r\n"
       "<tr><td right=\"10\">01-02-2026</td><td right=\"20\">30-06-2026</td>"
       "<td class=\"td.numeric\" right=\"30\">120.0</td><td class=\"td.numeric\" "
       "right=\"40\">80.5</td><td class=\"td.numeric\" right=\"50\">1000.00</td>"
       "<td class=\"td.numeric\" right=\"60\">750.25</td></tr>\r\n"
       "<p class=\"p.spacer\"></p>\r\n"
       "<tr header=\"yes\"><td class=\"td.shaded\" right=\"30\">Task</td>"
       "<td class=\"td.shaded\" right=\"40\">StartDate</td>"
       "<td class=\"td.shaded\" right=\"50\">EndDate</td>"
       "<td class=\"td.shaded\" right=\"90\">Assigned To</td>"
       "<td class=\"td.shaded\" right=\"100\">%Complete</td></tr>\r\n";
  for (int i = 1; i <= tasks; ++i) {
    const std::string n = std::to_string(i);
    std::string name = "T" + n + " a&lt;b &amp; c&gt;d";
    if (i % 3 == 0) name += " with a name long enough to need a second line in its cell";
    m += "<tr><td right=\"30\"><![CDATA[" + name + "]]></td><td right=\"40\">02-02-2026</td>";
    m += i % 4 == 0 ? "<td class=\"td.milestone\" right=\"50\">" : "<td right=\"50\">";
    m += "13-02-2026</td><td right=\"90\" markup=\"yes\"><![CDATA[Ann " + n +
         "(8.0)<br>Bob(4.5)]]></td><td class=\"td.numeric\" right=\"100\" markup=\"yes\">" +
         std::to_string(i % 100) + "</td></tr>\r\n";
  }
  return m + "</body></html>";
}

struct PDFReport : ::testing::Test {
  // Converts the markup into a file of the scratch folder and checks it with qpdf.
  std::string Convert(const std::string& markup, const std::string& name = "report.pdf") {
    std::string file = dir.File(name);
    reporter.RenderReport(markup, file, dir.File(""));
    EXPECT_TRUE(QpdfAccepts(file));
    return file;
  }
  pdftest::ScratchFolder dir;
  TqorPDFReporter reporter;
};

TEST_F(PDFReport, EveryElementAttributeAndProperty) {
  // A picture in the image folder, made by poppler: a page whose upper half is red.
  {
    TPDFToolkit source;
    source.SetPageSize("A10");
    source.SetFillColor(1, 0, 0);
    source.DrawBox(0, 105, 74, 52.45, 1);
    ASSERT_EQ(source.SaveToFile(dir.File("source.pdf")), 1);
    ASSERT_EQ(RunCommand("pdftoppm -r 72 -jpeg -singlefile '" + dir.File("source.pdf") + "' '" +
                         dir.File("logo") + "'")
                  .Status,
              0);
  }
  const std::string markup =
      "<?xml version=\"1.0\"?>\r\n<!-- a report -->\r\n"
      "<report header=\"Head &amp; &lt;shoulders&gt;\" footer=\"Foot\" "
      "pagesize=\"letter LANDSCAPE\">\r\n"
      "<head>"
      "<style id=\"h1.newpage\">page-break-before:always</style>"
      "<style id=\"p.wide\">margin-top:4; margin-bottom:6; margin-left:20; margin-right:30; "
      "colour:red; junk</style>"
      "<meta id=\"td.x\">Background-Color:#FF0000;TEXT-ALIGN:Center;font-weight:BOLD</meta>"
      "<style id=\"td.r\">text-align:right</style>"
      "<style id=\"empty\"></style>"
      "</head>\r\n"
      "<ignored><p>Not in the body</p></ignored>\r\n"
      "<body>\r\n"
      "<h2 outline=\"Preface\" level=\"2\" style=\"x\">Preface</h2>"
      "<h1 outline=\"Chapter &amp; verse\"><![CDATA[Chapter &amp; verse]]></h1>"
      "<h2 outline=\"Section\">Section two</h2>"
      "<h3 outline=\"No mark\">Third level</h3><h4>Fourth level</h4>"
      "<p title=\"R&amp;D &lt;1&gt;\" class=\"p.wide\"><![CDATA[Body <i>of</i> "
      "<b>text</b><ul><li>first</li><LI>second</LI></ul>after]]></p>"
      "<p class=\"undefined\">Plain text</p>"
      "<img src=\"logo.jpg\" mmwidth=\"30\" mmheight=\"20\"/><img src=\"missing.jpg\"/>"
      "<div><link><tr header=\"yes\"><td class=\"td.x\" right=\"50\">Wide</td>"
      "<td class=\"td.r\" right=\"100\">Narrow</td></tr></link>"
      "<tr><td right=\"50\"><![CDATA[x &amp; y<br>a &lt; b]]></td>"
      "<th right=\"100\">cell after<b>child</b>dropped</th></tr><tr/></div>"
      "<table><tr><td right=\"100\">In a table</td></tr></table>"
      "<unknown>Unknown element</unknown>"
      "<h1 class=\"h1.newpage\" outline=\"Appendix\">Appendix</h1>"
      "</body>\r\n<body><p>Second body</p></body></report>";
  reporter.SetLanguage("english");
  const std::string file = Convert(markup);

  EXPECT_EQ(PageCount(file), 2);
  std::string info = RunCommand("pdfinfo '" + file + "'").Output;
  EXPECT_TRUE(std::regex_search(info, std::regex("Page size: +792 x 612 pts"))) << info;
  const std::string text = pdftest::ExtractedText(file);
  EXPECT_TRUE(InOrder(text,
                      "Preface|Chapter & verse|Section two|Third level|Fourth level|R&D <1>|"
                      "Body of text|- first|- second|after|Plain text|Wide|Narrow|x & y|a < b|"
                      "cell after|Head & <shoulders>|Foot|" +
                          TodayText() +
                          "|page 1 of 2|"
                          "Appendix|Head & <shoulders>|Foot|page 2 of 2"));
  for (const char* absent : {"Not in the body", "child", "dropped", "In a table", "Unknown element",
                             "Second body", "<i>", "&amp;"})
    EXPECT_EQ(text.find(absent), std::string::npos) << absent;
  // Bookmarks: h1 and h2 only; an h2 before any h1 stands at the top level.
  EXPECT_EQ(Outlines(dir, file), "0 1 Preface\n0 1 Chapter & verse\n1 1 Section\n0 2 Appendix\n");
  const std::string images = RunCommand("pdfimages -list '" + file + "'").Output;
  EXPECT_TRUE(std::regex_search(images, std::regex("\n +1 +0 image +74 +105 +rgb"))) << images;

  // Where things stand, in points from the top-left corner of the 792 x 612 page.
  const std::vector<Word> words = Words(file);
  const Word* body = Find(words, 1, "Body");
  const Word* wide = Find(words, 1, "Wide");
  const Word* narrow = Find(words, 1, "Narrow");
  const Word* xy = Find(words, 1, "x");
  ASSERT_TRUE(body && wide && narrow && xy);
  // The paragraph's left margin: 20 mm inside the text's left edge.
  EXPECT_NEAR(body->XMin, 45 * kMmToPt, 1);
  Picture page;
  ASSERT_TRUE(page.Render(file, 127, dir.File("page1")));
  // Cells: "Wide" bold and centred in red, "Narrow" at the right of its box, 1 mm inside; the
  // data row starts 8 mm below the header row.
  const double middle = 25 + 0.25 * (279.4 - 50);
  EXPECT_NEAR((wide->XMin + wide->XMax) / 2, middle * kMmToPt, 1);
  EXPECT_NEAR(narrow->XMax, (279.4 - 25 - 1) * kMmToPt, 1);
  EXPECT_NEAR(xy->YMin - wide->YMin, 8 * kMmToPt, 0.5);
  const int wideRow = static_cast<int>(wide->YMin / kMmToPt * 5);
  EXPECT_GT(page.R(5 * 30, wideRow), 200);
  EXPECT_LT(page.G(5 * 30, wideRow), 60);
  EXPECT_TRUE(page.IsWhite(5 * 200, wideRow));
}

TEST_F(PDFReport, TasksReportPagesRowsAndPixels) {
  const std::string file = Convert(TasksReport(60));
  const int pages = PageCount(file);
  ASSERT_GE(pages, 3);
  const std::vector<Word> words = Words(file);
  const std::string date = TodayText();

  // Every page: the furniture, and a table that starts with the repeated header row.
  for (int p = 1; p <= pages; ++p) {
    const std::string text = PageText(file, p);
    EXPECT_TRUE(InOrder(text, "Tasks Report|Vazadod|" + date + "|pagina " + std::to_string(p) +
                                  " van " + std::to_string(pages)))
        << p;
    if (p == 1) continue;
    const Word* task = Find(words, p, "Task");
    ASSERT_TRUE(task) << p;
    EXPECT_NEAR(task->XMin, 26 * kMmToPt, 0.5);
    EXPECT_LT(task->YMin, 29 * kMmToPt) << p;  // first row, right below the top margin
    for (const Word& w : words) {
      if (w.Page == p && w.YMin > 25 * kMmToPt && w.YMax < 185 * kMmToPt) {
        EXPECT_GE(w.YMin, task->YMin - 0.01) << w.Text;
      }
    }
  }
  // Every task once, in order, as typed; the text ends above the footer.
  std::string order;
  for (int i = 1; i <= 60; ++i) order += (i > 1 ? "|T" : "T") + std::to_string(i) + " a<b & c>d";
  EXPECT_TRUE(InOrder(pdftest::ExtractedText(file), order));
  for (const Word& w : words) {
    if (w.Text != "Vazadod" && w.Text != date && w.Text != "pagina" && w.Text != "van" &&
        !std::regex_match(w.Text, std::regex("\\d+"))) {
      EXPECT_LT(w.YMax, 185 * kMmToPt) << w.Text << " on page " << w.Page;
    }
  }
  EXPECT_EQ(Outlines(dir, file), "0 1 Build & ship\n");

  // Page 1 at 5 pixels per millimetre. The heading is 26.18 points high, the spacers 10 mm,
  // a row of one line 8 mm, of two lines (two times 4.08 mm and 3 mm) 11.16 mm. "Assigned
  // Hours" takes two lines in its 24.7 mm cell.
  Picture page;
  ASSERT_TRUE(page.Render(file, 127, dir.File("page1")));
  ASSERT_EQ(page.Width(), 1485);
  auto px = [](double mm) { return static_cast<int>(std::lround(mm * 5)); };
  auto ink = [&](int x, int y) { return page.R(x, y) + page.G(x, y) + page.B(x, y) < 600; };
  auto inkRows = [&](int x, double fromMm, double toMm) {
    for (int y = px(fromMm); y <= px(toMm); ++y)
      if (ink(x, y)) return true;
    return false;
  };
  // Row rules: the project header row (two lines), the project row, and after a spacer the
  // task header row and the task rows, two lines each (T3 by its name).
  const double top = 25 + 26.18 / kMmToPt + 10;
  std::vector<double> rules = {top, top + 11.16, top + 19.16, top + 29.16, top + 37.16};
  for (int task = 1; task <= 3; ++task) rules.push_back(rules.back() + 11.16);
  for (double r : rules) EXPECT_TRUE(inkRows(px(26), r - 0.3, r + 0.3)) << r;
  for (size_t i = 4; i + 1 < rules.size(); ++i)  // right of the longest name, left of the border
    EXPECT_FALSE(inkRows(px(98.6), rules[i] + 0.4, rules[i + 1] - 0.4)) << i;
  EXPECT_FALSE(inkRows(px(26), top + 8.3, rules[1] - 0.3));  // no 8 mm row there
  auto inkIn = [&](double x0, double x1, double y0, double y1) {
    for (int x = px(x0); x < px(x1); ++x)
      if (inkRows(x, y0, y1)) return true;
    return false;
  };
  EXPECT_TRUE(inkIn(100, 120, top + 4.5, top + 7.5));           // "Hours" below "Assigned"
  EXPECT_TRUE(inkIn(27, 60, rules[6] + 4.5, rules[6] + 7.5));   // T3's name, second line
  EXPECT_FALSE(inkIn(50, 95, rules[5] + 4.5, rules[5] + 7.5));  // T2's name is one line
  // Shaded header cells, white data cells.
  auto shade = [&](double xMm, double yMm) {
    const int x = px(xMm), yy = px(yMm);
    return page.R(x, yy) >= 235 && page.R(x, yy) <= 245 && page.G(x, yy) == page.R(x, yy);
  };
  EXPECT_TRUE(shade(60, rules[0] + 6));
  EXPECT_TRUE(shade(95, rules[3] + 6));
  EXPECT_TRUE(page.IsWhite(px(60), px(rules[1] + 6)));
  // Margins: nothing left of 25 mm or right of 272 mm, nothing above the header band or below
  // the footer band; the rules at 23 mm and 187 mm run from margin to margin.
  for (int row = 0; row < page.Height(); row += 3) {
    EXPECT_TRUE(page.IsWhite(px(24.6), row)) << row;
    EXPECT_TRUE(page.IsWhite(px(272.4), row)) << row;
  }
  for (int x = 0; x < page.Width(); x += 3) {
    EXPECT_TRUE(page.IsWhite(x, px(16.5))) << x;
    EXPECT_TRUE(page.IsWhite(x, px(193.5))) << x;
  }
  EXPECT_TRUE(inkRows(px(26), 22.7, 23.3));
  EXPECT_TRUE(inkRows(px(271), 186.7, 187.3));
  EXPECT_FALSE(inkIn(150, 151, 23.5, top - 12));  // only the heading's text

  // Page 2 starts with the shaded header row.
  ASSERT_TRUE(page.Render(file, 127, dir.File("page2"), 2));
  EXPECT_TRUE(shade(95, 29));
  EXPECT_TRUE(inkRows(px(26), 32.7, 33.3));
}

TEST_F(PDFReport, PagesBreakBeforeBlocksThatDoNotFit) {
  // Spacers move the next block 10 mm; a heading needs 30 mm below it or goes overleaf, without
  // its margin-top there.
  std::string markup =
      "<html><head><style id=\"p.spacer\">margin-top:10</style>"
      "<style id=\"h2.low\">margin-top:206</style></head><body>"
      "<p>First</p><p class=\"p.spacer\"/><p>Second</p>"
      "<h2 class=\"h2.low\">Low heading</h2></body></html>";
  std::string file = Convert(markup);
  EXPECT_EQ(PageCount(file), 2);
  std::vector<Word> words = Words(file);
  const Word* first = Find(words, 1, "First");
  const Word* second = Find(words, 1, "Second");
  const Word* low = Find(words, 2, "Low");
  ASSERT_TRUE(first && second && low);
  EXPECT_NEAR(second->YMin - first->YMin, 11.56 + 10 * kMmToPt, 0.5);
  EXPECT_LT(low->YMin, 27 * kMmToPt);
  EXPECT_NE(PageText(file, 1).find("pagina 1 van 2"), std::string::npos);
  // The same heading 35 mm higher stays on the first page.
  markup = std::regex_replace(markup, std::regex("margin-top:206"), "margin-top:171");
  file = Convert(markup, "higher.pdf");
  EXPECT_EQ(PageCount(file), 1);
  EXPECT_TRUE(Find(Words(file), 1, "Low"));

  // A page break asked for is made even when the page is still empty.
  file = Convert(
      "<html><head><style id=\"h1.newpage\">page-break-before:always</style></head><body>"
      "<h1 class=\"h1.newpage\">Break one</h1><h1 class=\"h1.newpage\">Break two</h1>"
      "</body></html>",
      "breaks.pdf");
  EXPECT_EQ(PageCount(file), 3);
  EXPECT_EQ(PageText(file, 1).find("Break"), std::string::npos);
  EXPECT_EQ(PageText(file, 2).find("Break one"), 0u);
  EXPECT_EQ(PageText(file, 3).find("Break two"), 0u);
}

TEST_F(PDFReport, TallParagraphsAndRowsGoOnOverleaf) {
  // A paragraph and a cell each longer than a page: every line appears once, in order, and
  // nothing runs into the footer; the row's continuation comes below the repeated header.
  std::string lines;
  for (int i = 1; i <= 70; ++i) lines += "line" + std::to_string(i) + "<br>";
  const std::string markup =
      "<html><head></head><body><p><![CDATA[" + lines +
      "]]></p><tr header=\"yes\"><td right=\"50\">Head</td><td right=\"100\">Other</td></tr>"
      "<tr><td right=\"50\"><![CDATA[" +
      lines +
      "]]></td><td right=\"100\">short</td></tr>"
      "<tr><td right=\"100\">next row</td></tr></body></html>";
  const std::string file = Convert(markup);
  const std::vector<Word> words = Words(file);
  const int pages = PageCount(file);
  ASSERT_GE(pages, 4);
  std::vector<std::string> seen;
  for (const Word& w : words) {
    if (w.Text.rfind("line", 0) == 0) {
      seen.push_back(w.Text);
      EXPECT_LT(w.YMax, (297 - 25) * kMmToPt) << w.Text;
      EXPECT_GT(w.YMin, 25 * kMmToPt) << w.Text;
    }
  }
  ASSERT_EQ(seen.size(), 140u);
  for (size_t i = 0; i < seen.size(); ++i)
    EXPECT_EQ(seen[i], "line" + std::to_string(i % 70 + 1)) << i;
  int heads = 0;  // on the pages the row goes on: "Head", and the lines 8 mm below it
  for (int p = 2; p <= pages; ++p) {
    const Word* head = Find(words, p, "Head");
    auto below = std::find_if(words.begin(), words.end(), [&](const Word& w) {
      return head && w.Page == p && w.Text.rfind("line", 0) == 0 && w.YMin > head->YMin;
    });
    if (below == words.end()) continue;
    ++heads;
    EXPECT_NEAR(below->YMin - head->YMin, 8 * kMmToPt, 0.5) << p;
  }
  EXPECT_EQ(heads, 2);
  EXPECT_EQ(
      std::count_if(words.begin(), words.end(), [](const Word& w) { return w.Text == "short"; }),
      1);
  EXPECT_TRUE(InOrder(pdftest::ExtractedText(file), "line70|next row"));
}

TEST_F(PDFReport, CellsAreMeasuredAsTheyAreDrawn) {
  // A bold cell text that fits its box in the regular weight but not in bold within the box's
  // 1 mm insets: it wraps, and its row grows to keep both lines.
  const double cellWidth = 0.1 * (210 - 50);  // 16 mm in A4 portrait
  TPDFToolkit measure;
  measure.SetMeasurementUnits(1);
  measure.AddStandardFont(4);
  measure.SetTextSize(10);
  std::string text = "ill";
  int count = 1;
  while (measure.GetTextWidth(text + " ill") <= cellWidth - 0.1) {
    text += " ill";
    ++count;
  }
  ASSERT_GE(count, 3);
  const std::string markup =
      "<html><head><style id=\"b\">font-weight:bold</style></head><body>"
      "<tr><td class=\"b\" right=\"10\">" +
      text +
      "</td><td right=\"100\">after</td></tr>"
      "<tr><td right=\"100\">below</td></tr></body></html>";
  const std::string file = Convert(markup);
  const std::vector<Word> words = Words(file);
  EXPECT_EQ(
      std::count_if(words.begin(), words.end(), [](const Word& w) { return w.Text == "ill"; }),
      count);
  const Word* after = Find(words, 1, "after");
  const Word* below = Find(words, 1, "below");
  ASSERT_TRUE(after && below);
  EXPECT_GT(below->YMin - after->YMin, 8 * kMmToPt + 1);
}

TEST_F(PDFReport, BadMarkupAndFiles) {
  // A cell without a whole-number "right" stops the conversion; nothing is written.
  for (const char* cell : {"<td>x</td>", "<td right=\"12.5\">x</td>", "<td right=\"\">x</td>"}) {
    const std::string file = dir.File("bad.pdf");
    EXPECT_THROW(reporter.RenderReport(
                     std::string("<html><body><tr>") + cell + "</tr></body></html>", file, ""),
                 EqorPDFReportError)
        << cell;
    EXPECT_FALSE(std::filesystem::exists(file));
  }
  // A file that cannot be written is an error, not a success.
  try {
    reporter.RenderReport("<html><body><p>x</p></body></html>", dir.File("no/such/folder.pdf"), "");
    ADD_FAILURE() << "no error";
  } catch (const EqorFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot write file " + dir.File("no/such/folder.pdf"));
  }
  // A style id defined twice stops the reading there: what came before is the report.
  const std::string file = Convert(
      "<html footer=\"F\"><head><style id=\"s\">margin-top:1</style>"
      "<style id=\"s\">margin-top:2</style></head><body><p>lost</p></body></html>",
      "partial.pdf");
  const std::string text = pdftest::ExtractedText(file);
  EXPECT_EQ(text.find("lost"), std::string::npos);
  EXPECT_NE(text.find("pagina 1 van 1"), std::string::npos);
  // The reporter goes on working after a failed conversion.
  EXPECT_NE(pdftest::ExtractedText(Convert("<html><body><h3>again</h3></body></html>", "ok.pdf"))
                .find("again"),
            std::string::npos);
}

}  // namespace
