// The three report builders on small plans (exact markup, filter, headings, figures, the
// holiday window), user texts that carry markup characters reaching both formats as typed,
// the extension rule, whole-or-nothing files, the XML export read back, and the launcher's
// choice of program on a fake platform.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/qorLauncher.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorReportBuilders.h"
#include "app/core/qorReportFiles.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "db/objects/zuzDatabase.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/qorPlannerModel.h"
#include "report/qorPDFReporter.h"
#include "report/qorRTFReporter.h"
#include "report/qorReportMarkup.h"
#include "report/uPDFHTMLRender.h"
#include "tests/testFiles.h"

namespace {

namespace st = qorStatements;
const double kToday = EncodeDate(2026, 12, 8);

class Folder {
 public:
  Folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vz_reports_XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~Folder() { RemoveTestFolder(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  // The names in the folder.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Standard output and error of a command, and its exit status.
int RunCommand(const std::string& command, std::string& output) {
  output.clear();
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// True when the program is there; fails the test in continuous integration when it is not.
bool Have(const std::string& program) {
  std::string out;
  if (RunCommand("command -v " + program, out) == 0) return true;
  if (std::getenv("VAZADOD_CI")) ADD_FAILURE() << program << " is not installed";
  return false;
}

TqorXMLNode2* AddResource(TqorPlannerModel& planner, const std::string& id, const std::string& name,
                          const std::string& initials, double hours) {
  auto r = std::make_unique<TqorXMLNode2>("resource");
  r->SetAttribute("name", name);
  r->SetAttribute("initials", initials);
  r->SetAttribute("id", id);
  r->SetAttribute("hoursperweek", hours);
  r->SetAttribute("costperhour", 55.25);
  r->SetAttribute("maxunits", 100.0);
  return planner.ResourcesNode()->AddChild(std::move(r));
}

void Assign(TqorXMLNode2* task, const std::string& id, const std::string& resource, double units) {
  auto a = std::make_unique<TqorXMLNode2>("assignment");
  a->SetAttribute("id", id);
  a->SetAttribute("resourceid", resource);
  a->SetAttribute("units", units);
  task->AddChild(std::move(a));
}

// Two visible projects and a hidden one; tasks from 3 to 9 January 2005 and later.
class Plan : public ::testing::Test {
 protected:
  void SetUp() override {
    const double jan3 = EncodeDate(2005, 1, 3);
    TqorXMLNode2* web = planner_.AddProject("1", "Web");
    web->SetAttribute("tag", "WEB");
    web->SetAttribute("budgethours", 120.0);
    web->SetAttribute("assignedhours", 17.5);
    web->SetAttribute("budgetcost", 5000.0);
    web->SetAttribute("actualcost", 612.345);
    web->SetAttribute("startdate", jan3);
    web->SetAttribute("enddate", jan3 + 30);
    planner_.AddProject("2", "Hidden");
    TqorXMLNode2* app = planner_.AddProject("3", "App");
    app->SetAttribute("startdate", jan3 + 1);
    app->SetAttribute("enddate", jan3 + 2);
    AddResource(planner_, "7", "Zoë", "ZO", 35);
    AddResource(planner_, "8", "Ann", "AN", 40);
    TqorXMLNode2* design = planner_.AddTask("1", "10", "Design", jan3, jan3 + 6, false);
    design->SetAttribute("progress", 5.0);
    Assign(design, "100", "7", 50);   // 7 days at 35/7 h a day, half: 17.5
    Assign(design, "101", "99", 50);  // its resource is gone: no entry
    Assign(design, "102", "8", 25);
    TqorXMLNode2* launch = planner_.AddTask("1", "11", "Launch", jan3 + 9, jan3 + 9, true);
    launch->SetAttribute("progress", 100.0);
    Assign(launch, "103", "7", 100);
    TqorXMLNode2* build = planner_.AddTask("3", "12", "Build", jan3 + 1, jan3 + 2, false);
    Assign(build, "104", "7", 10);
    planner_.SetProjectFilter("[1][3]");
  }

  TqorPlannerModel planner_{[] { return kToday; }};
  TqorFastString text_;
  std::vector<TqorXMLNode2*> nodes_;
};

TEST(ReportFormats, NumbersAndDates) {
  struct Case {
    double value;
    int decimals;
    const char* text;
  };
  for (const Case& c : {Case{5, 0, " 5"}, Case{100, 0, "100"}, Case{0, 0, " 0"}, Case{9.5, 0, "10"},
                        Case{17.5, 1, "17.5"}, Case{0, 1, "0.0"}, Case{612.345, 2, "612.35"},
                        Case{-3, 0, "-3"}, Case{1e6, 1, "1000000.0"}})
    EXPECT_EQ(FormatReportNumber(c.value, c.decimals), c.text) << c.value;
  EXPECT_EQ(FormatReportDate(EncodeDate(2026, 12, 8)), "08-12-2026");
  EXPECT_EQ(FormatReportDate(EncodeDate(1999, 1, 31) + 0.75), "31-01-1999");
}

TEST_F(Plan, TasksReportIsTheExactMarkupOfTheVisibleProjects) {
  const std::string head =
      "<html header=\"Tasks Report\" footer=\"Vazadod\" pagesize=\"A4 Landscape\"><head>\r\n"
      "<style id=\"td.shaded\">background-color:#F0F0F0</style>\r\n"
      "<style id=\"td.numeric\">text-align:right</style>\r\n"
      "<style id=\"td.milestone\">font-weight:bold</style>\r\n"
      "<style id=\"h1.newpage\">page-break-before:always</style>\r\n"
      "<style id=\"p.spacer\">margin-top:10</style>\r\n"
      "</head><body>";
  const std::string projectHeader =
      "<tr header=\"yes\"><td class=\"td.shaded\" right=\"10\">StartDate</td>"
      "<td class=\"td.shaded\" right=\"20\">EndDate</td>"
      "<td class=\"td.shaded\" right=\"30\">Budget Hours</td>"
      "<td class=\"td.shaded\" right=\"40\">Assigned Hours</td>"
      "<td class=\"td.shaded\" right=\"50\">Budget Cost</td>"
      "<td class=\"td.shaded\" right=\"60\">Actual Cost</td></tr>\r\n";
  const std::string taskHeader =
      "<tr header=\"yes\"><td class=\"td.shaded\" right=\"30\">Task</td>"
      "<td class=\"td.shaded\" right=\"40\">StartDate</td>"
      "<td class=\"td.shaded\" right=\"50\">EndDate</td>"
      "<td class=\"td.shaded\" right=\"90\">Assigned To</td>"
      "<td class=\"td.shaded\" right=\"100\">%Complete</td></tr>\r\n";
  const std::string spacer = "<p class=\"p.spacer\"></p>\r\n";
  EXPECT_EQ(BuildTasksReport(text_, planner_),
            head + "<h1 outline=\"Web\">WEB Web</h1>\r\n" + spacer + projectHeader +
                "<tr><td right=\"10\">03-01-2005</td><td right=\"20\">02-02-2005</td>"
                "<td class=\"td.numeric\" right=\"30\">120.0</td>"
                "<td class=\"td.numeric\" right=\"40\">17.5</td>"
                "<td class=\"td.numeric\" right=\"50\">5000.00</td>"
                "<td class=\"td.numeric\" right=\"60\">612.35</td></tr>\r\n" +
                spacer + taskHeader +
                "<tr><td right=\"30\">Design</td><td right=\"40\">03-01-2005</td>"
                "<td right=\"50\">09-01-2005</td>"
                "<td right=\"90\" markup=\"yes\"><![CDATA[Zoë(17.5)<br>Ann(10.0)]]></td>"
                "<td class=\"td.numeric\" right=\"100\" markup=\"yes\"> 5</td></tr>\r\n"
                "<tr><td right=\"30\">Launch</td><td right=\"40\">12-01-2005</td>"
                "<td class=\"td.milestone\" right=\"50\">12-01-2005</td>"
                "<td right=\"90\" markup=\"yes\"><![CDATA[Zoë(5.0)]]></td>"
                "<td class=\"td.numeric\" right=\"100\" markup=\"yes\">100</td></tr>\r\n"
                // Hidden is filtered out; App has no tag, no figures: blanks and zeros.
                "<h1 class=\"h1.newpage\" outline=\"App\"> App</h1>\r\n" +
                spacer + projectHeader +
                "<tr><td right=\"10\">04-01-2005</td><td right=\"20\">05-01-2005</td>"
                "<td class=\"td.numeric\" right=\"30\">0.0</td>"
                "<td class=\"td.numeric\" right=\"40\">0.0</td>"
                "<td class=\"td.numeric\" right=\"50\">0.00</td>"
                "<td class=\"td.numeric\" right=\"60\">0.00</td></tr>\r\n" +
                spacer + taskHeader +
                "<tr><td right=\"30\">Build</td><td right=\"40\">04-01-2005</td>"
                "<td right=\"50\">05-01-2005</td>"
                "<td right=\"90\" markup=\"yes\"><![CDATA[Zoë(1.0)]]></td>"
                "<td class=\"td.numeric\" right=\"100\" markup=\"yes\"> 0</td></tr>\r\n"
                "</body></html>");
  EXPECT_EQ(text_.Length(), 0u) << "the text is taken out of the buffer";

  // No project passes the filter: the head and an empty body. A project without tasks keeps
  // its heading, its table and the task header row.
  planner_.SetProjectFilter("[2]");
  EXPECT_EQ(BuildTasksReport(text_, planner_),
            head + "<h1 outline=\"Hidden\"> Hidden</h1>\r\n" + spacer + projectHeader +
                "<tr><td right=\"10\"></td><td right=\"20\"></td>"
                "<td class=\"td.numeric\" right=\"30\">0.0</td>"
                "<td class=\"td.numeric\" right=\"40\">0.0</td>"
                "<td class=\"td.numeric\" right=\"50\">0.00</td>"
                "<td class=\"td.numeric\" right=\"60\">0.00</td></tr>\r\n" +
                spacer + taskHeader + "</body></html>");
  planner_.SetProjectFilter("[22]");
  EXPECT_EQ(BuildTasksReport(text_, planner_), head + "</body></html>");

  // A value that is no number stops the report with the conversion error.
  planner_.SetProjectFilter("[1]");
  planner_.Document().GetNodeById("task", "10")->SetAttribute("progress", "lots");
  EXPECT_THROW(BuildTasksReport(text_, planner_), EqorVariantError);
}

TEST_F(Plan, ResourcesReportGroupsAssignmentsByProject) {
  // Zoë: Design and Launch of Web, then Build of App: two project captions, before the first
  // and before the third row, each over a header row. Ann: one. Hours: days * units / 100 *
  // hours per week / 7. App is named Web too: still a group of its own.
  planner_.Document().GetNodeById("project", "3")->SetAttribute("name", "Web");
  const std::string markup = BuildResourcesReport(text_, planner_, nodes_);
  EXPECT_EQ(markup.rfind("<html header=\"Resources Report\" footer=\"Vazadod\"><head>\r\n"
                         "<style id=\"td.shaded\">background-color:#F0F0F0</style>\r\n"
                         "<style id=\"td.milestone\">font-weight:bold</style>\r\n"
                         "<style id=\"h1.newpage\">page-break-before:always</style>\r\n"
                         "<style id=\"p.spacer\">margin-top:10</style>\r\n"
                         "</head><body><p class=\"p.spacer\"></p>\r\n"
                         "<h1 outline=\"Zoë\" continued=\"Zoë (continued)\">Zoë</h1>\r\n"
                         "<p class=\"p.spacer\"></p>\r\n"
                         "<tr><td right=\"40\">Initials</td><td right=\"100\">ZO</td></tr>\r\n"
                         "<tr><td right=\"40\">Hours per Week</td><td right=\"100\">35.0</td>"
                         "</tr>\r\n<tr><td right=\"40\">Cost per Hour</td>"
                         "<td right=\"100\">55.2</td></tr>\r\n"
                         "<tr><td right=\"40\">MaxUnits</td><td right=\"100\">100.0</td></tr>\r\n"
                         "<p class=\"p.spacer\"></p>\r\n"
                         "<h2 outline=\"Assignments\">Assignments</h2>\r\n",
                         0),
            0u);
  const std::string header =
      "<tr header=\"yes\"><td class=\"td.shaded\" right=\"48\">Task</td>"
      "<td class=\"td.shaded\" right=\"61\">StartDate</td>"
      "<td class=\"td.shaded\" right=\"74\">EndDate</td>"
      "<td class=\"td.shaded\" right=\"87\">%Units</td>"
      "<td class=\"td.shaded\" right=\"100\">Hours</td></tr>\r\n";
  const std::string zoe =
      "<p class=\"p.spacer\"></p>\r\n<p>Web</p>\r\n" + header +
      "<tr><td class=\"td\" right=\"48\">Design</td><td class=\"td\" right=\"61\">03-01-2005</td>"
      "<td class=\"td\" right=\"74\">09-01-2005</td><td class=\"td\" right=\"87\">50.0</td>"
      "<td class=\"td\" right=\"100\">17.5</td></tr>\r\n"
      "<tr><td class=\"td\" right=\"48\">Launch</td><td class=\"td\" right=\"61\">12-01-2005</td>"
      "<td class=\"td\" right=\"74\">12-01-2005</td><td class=\"td\" right=\"87\">100.0</td>"
      "<td class=\"td\" right=\"100\">5.0</td></tr>\r\n"
      "<p class=\"p.spacer\"></p>\r\n<p>Web</p>\r\n" +
      header +
      "<tr><td class=\"td\" right=\"48\">Build</td><td class=\"td\" right=\"61\">04-01-2005</td>"
      "<td class=\"td\" right=\"74\">05-01-2005</td><td class=\"td\" right=\"87\">10.0</td>"
      "<td class=\"td\" right=\"100\">1.0</td></tr>\r\n"
      "<p class=\"p.spacer\"></p>\r\n"
      "<h1 class=\"h1.newpage\" outline=\"Ann\" continued=\"Ann (continued)\">Ann</h1>\r\n";
  EXPECT_NE(markup.find(zoe), std::string::npos) << markup;
  EXPECT_EQ(markup.substr(markup.size() - 14), "</body></html>");
  // The last resource's assignments stay in the node list.
  ASSERT_EQ(nodes_.size(), 1u);
  EXPECT_EQ(nodes_[0]->GetAttributeStr("id"), "102");
}

// Names that carry the markup's and the formats' own characters: no row is lost, and each
// name stands in both files exactly as typed, as the real readers show them.
TEST_F(Plan, UserTextsReachBothFormatsAsTyped) {
  const std::vector<std::string> names = {"a<b",    "x & y",    "]]>",       "say \"hi\"",
                                          "O'Neil", "Çà & <é>", "&lt;b&gt;", "<br>{\\b}"};
  planner_.SetProjectFilter("[1]");
  TqorXMLNode2* web = planner_.Document().GetNodeById("project", "1");
  web->SetAttribute("name", "P<1> & \"Q\"");
  web->SetAttribute("tag", "T&T");
  for (size_t i = 0; i < names.size(); ++i) {
    TqorXMLNode2* task = planner_.AddTask("1", std::to_string(20 + i), names[i],
                                          EncodeDate(2005, 2, 1), EncodeDate(2005, 2, 1), false);
    AddResource(planner_, std::to_string(30 + i), names[i], names[i], 7);
    Assign(task, std::to_string(200 + i), std::to_string(30 + i), 100);
  }
  const std::string tasks = BuildTasksReport(text_, planner_);
  const std::string resources = BuildResourcesReport(text_, planner_, nodes_);

  for (const std::string* markup : {&tasks, &resources}) {
    TqorReportMarkup read;
    read.Load(*markup);
    ASSERT_EQ(read.LastError(), "");
    // Headings, paragraphs and cells, as the inline text of either format reads them.
    std::vector<std::string> texts, outlines;
    int rows = 0;
    for (int i = 0; i < read.Body()->ChildCount(); ++i) {
      const TqorXMLNode2& e = *read.Body()->GetChild(i);
      rows += e.Name() == "tr";
      texts.push_back(THTMLParser::DecodeEntities(e.Text()));
      for (int j = 0; j < e.ChildCount(); ++j)
        texts.push_back(THTMLParser::DecodeEntities(e.GetChild(j)->Text()));
      if (e.Name() == "h1") outlines.push_back(e.GetAttributeStr("outline"));
    }
    int written = 0;
    for (size_t at = markup->find("<tr"); at != std::string::npos; at = markup->find("<tr", at + 1))
      ++written;
    EXPECT_EQ(rows, written) << "rows lost";
    for (const std::string& name : names)
      EXPECT_NE(std::find(texts.begin(), texts.end(), name), texts.end()) << name;
    if (markup == &tasks) {
      EXPECT_NE(std::find(texts.begin(), texts.end(), "T&T P<1> & \"Q\""), texts.end());
      for (const std::string& name : names)
        EXPECT_NE(std::find(texts.begin(), texts.end(), name + "(1.0)"), texts.end()) << name;
      EXPECT_EQ(outlines, (std::vector<std::string>{"P<1> & \"Q\""}));
    } else {
      EXPECT_EQ(std::vector<std::string>(outlines.begin() + 2, outlines.end()), names);
    }
  }

  // The files, read by poppler and LibreOffice.
  Folder folder;
  TqorPDFReporter pdf;
  TqorRTFReporter rtf;
  pdf.SetLanguage("english");
  rtf.SetLanguage("english");
  ASSERT_TRUE(RenderReportFile("PDF", tasks, folder / "tasks.pdf", "", pdf, rtf));
  ASSERT_TRUE(RenderReportFile("RTF", tasks, folder / "tasks.rtf", "", pdf, rtf));
  std::string pdfText, rtfText, log;
  if (Have("pdftotext")) {
    ASSERT_EQ(RunCommand("pdftotext -raw -enc UTF-8 " + (folder / "tasks.pdf") + " -", pdfText), 0);
  }
  if (Have("soffice")) {
    ASSERT_EQ(RunCommand("soffice -env:UserInstallation=file://" + (folder / "profile") +
                             " --headless --norestore --convert-to txt:Text --outdir " +
                             (folder / "txt") + " " + (folder / "tasks.rtf"),
                         log),
              0)
        << log;
    rtfText = ReadFile(folder / "txt/tasks.txt");
  }
  for (const std::string* text : {&pdfText, &rtfText}) {
    if (text->empty()) continue;
    EXPECT_NE(text->find("T&T P<1> & \"Q\""), std::string::npos) << *text;
    for (const std::string& name : names) {
      // In the task's cell and in the cell of its resources.
      int found = 0;
      for (size_t at = text->find(name); at != std::string::npos; at = text->find(name, at + 1))
        ++found;
      EXPECT_GE(found, 2) << name << " in:\n" << *text;
      EXPECT_NE(text->find(name + "(1.0)"), std::string::npos) << name << " in:\n" << *text;
    }
  }
}

// A report's text as it should read, one line per heading, caption or row, in order: what the
// pages show once the lines repeated on top of a page are taken out.
struct TExpectedLine {
  enum TKind { Caption, Header, Row } Kind;
  std::string Text;
  int Section = 0;  // a page break before each
  int Table = -1;   // the table of a header row or row
};

struct TExpectedReport {
  std::vector<TExpectedLine> Lines;
  std::vector<std::string> Headers;    // the header row of each table, empty for none
  std::vector<std::string> Continued;  // on top of a section's later pages, empty for none
};

// The lines of each page between the header and the footer bands, as poppler reads them: words
// of one height joined by blanks from left to right, with the height in millimetres.
std::vector<std::vector<std::pair<double, std::string>>> BodyLines(const std::string& pdf) {
  std::string xml;
  EXPECT_EQ(RunCommand("pdftotext -bbox -enc UTF-8 '" + pdf + "' -", xml), 0) << xml;
  static const std::regex item(
      R"re((<page )|<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="[\d.]+">([^<]*)</word>)re");
  std::vector<std::vector<std::pair<double, std::string>>> pages;
  std::vector<std::map<long, std::map<double, std::string>>> words;  // by height and left
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), item); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    if (m[1].matched) {
      words.emplace_back();
      continue;
    }
    const double top = std::stod(m[3]) * 25.4 / 72;
    if (top > 24 && top < 272)
      words.back()[std::lround(top * 2)][std::stod(m[2])] =
          THTMLParser::DecodeEntities(std::string(m[4]));
  }
  for (const auto& page : words) {
    pages.emplace_back();
    for (const auto& [top, line] : page) {
      std::string text;
      for (const auto& [left, word] : line) text += (text.empty() ? "" : " ") + word;
      pages.back().emplace_back(top / 2.0, text);
    }
  }
  return pages;
}

// The report's PDF read back page by page: every line once, in order; a page within a section
// starts with its continued caption, and one that goes on with a table with the table's header
// row; no page ends with a caption or a header row; and a page ends early only for a row, or a
// header row with the first row, that does not fit (the body ends at 272 mm, a row is 8 mm
// high), or a caption that does not fit with its table's first rows (at most 38 mm with the
// spacer before it).
void ExpectPages(const std::string& pdf, const TExpectedReport& report) {
  const auto pages = BodyLines(pdf);
  const std::vector<TExpectedLine>& lines = report.Lines;
  size_t at = 0;
  for (size_t p = 0; p < pages.size(); ++p) {
    const auto& page = pages[p];
    ASSERT_FALSE(page.empty()) << "page " << p + 1;
    ASSERT_LT(at, lines.size()) << "page " << p + 1;
    size_t l = 0;
    const TExpectedLine& next = lines[at];
    if (at > 0 && next.Section == lines[at - 1].Section) {
      const std::string& continued = report.Continued[static_cast<size_t>(next.Section)];
      if (!continued.empty()) {
        ASSERT_EQ(page[l++].second, continued) << "page " << p + 1;
      }
      if (next.Kind == TExpectedLine::Row && next.Table == lines[at - 1].Table &&
          !report.Headers[static_cast<size_t>(next.Table)].empty()) {
        ASSERT_LT(l, page.size());
        ASSERT_EQ(page[l++].second, report.Headers[static_cast<size_t>(next.Table)])
            << "page " << p + 1;
      }
    }
    for (; l < page.size(); ++l, ++at) {
      ASSERT_LT(at, lines.size()) << page[l].second << " on page " << p + 1;
      ASSERT_EQ(page[l].second, lines[at].Text) << "page " << p + 1 << ", line " << l + 1;
    }
    EXPECT_EQ(lines[at - 1].Kind, TExpectedLine::Row)
        << "page " << p + 1 << " ends with " << lines[at - 1].Text;
    if (at < lines.size() && lines[at].Section == lines[at - 1].Section) {
      const TExpectedLine::TKind kind = lines[at].Kind;
      EXPECT_GT(page.back().first, kind == TExpectedLine::Row      ? 272.0 - 8 - 8
                                   : kind == TExpectedLine::Header ? 272.0 - 8 - 16
                                                                   : 272.0 - 8 - 38)
          << "page " << p + 1 << " ends early before " << lines[at].Text;
    }
  }
  EXPECT_EQ(at, lines.size()) << "lines lost";
}

// Resources whose first project has 1 to 40 assignments, so that the next caption and the page
// ends fall at every place of a page, then random projects, some of a page and more, some of
// the name of the one before: read back page by page.
TEST(ReportPages, ResourcesTablesGoOnUnderTheirNameAndHeader) {
  TqorPlannerModel planner([] { return kToday; });
  std::mt19937 random(20261210);
  TExpectedReport report;
  const double jan3 = EncodeDate(2005, 1, 3);
  const std::string header = "Task StartDate EndDate %Units Hours";
  int projects = 0, tasks = 0;
  for (int r = 0; r < 40; ++r) {
    const std::string name = "Res" + std::to_string(r);
    AddResource(planner, "r" + std::to_string(r), name, "R" + std::to_string(r), 35);
    report.Continued.push_back(name + " (continued)");
    auto line = [&](TExpectedLine::TKind kind, const std::string& text, int table) {
      report.Lines.push_back({kind, text, r, table});
    };
    line(TExpectedLine::Caption, name, -1);
    report.Headers.push_back("");
    const int info = static_cast<int>(report.Headers.size()) - 1;
    for (const std::string& text :
         {"Initials R" + std::to_string(r), std::string("Hours per Week 35.0"),
          std::string("Cost per Hour 55.2"), std::string("MaxUnits 100.0")})
      line(TExpectedLine::Row, text, info);
    line(TExpectedLine::Caption, "Assignments", -1);
    std::string projectName;
    const int count = 2 + static_cast<int>(random() % 3);
    for (int k = 0; k < count; ++k) {
      const int rows = k == 0 ? r + 1 : random() % 5 == 0 ? 31 + random() % 50 : 1 + random() % 12;
      const std::string id = std::to_string(++projects);
      if (k == 0 || random() % 3 != 0) projectName = "Project " + id;
      planner.AddProject(id, projectName);
      report.Headers.push_back(header);
      const int table = static_cast<int>(report.Headers.size()) - 1;
      line(TExpectedLine::Caption, projectName, -1);
      line(TExpectedLine::Header, header, table);
      for (int i = 0; i < rows; ++i) {
        const std::string task = std::to_string(++tasks);
        Assign(planner.AddTask(id, task, "T" + task, jan3, jan3 + 1, false), "a" + task,
               "r" + std::to_string(r), 100);
        line(TExpectedLine::Row, "T" + task + " 03-01-2005 04-01-2005 100.0 10.0", table);
      }
    }
  }
  if (!Have("pdftotext")) return;
  Folder folder;
  TqorFastString text;
  std::vector<TqorXMLNode2*> nodes;
  TqorPDFReporter pdf;
  pdf.RenderReport(BuildResourcesReport(text, planner, nodes), folder / "resources.pdf", "");
  ExpectPages(folder / "resources.pdf", report);
}

// A planner database in a folder, with a resource and holidays around kToday.
class Database : public ::testing::Test {
 protected:
  void SetUp() override {
    CreatePlannerDatabase(path_);
    db_.OpenDatabase(path_);
  }
  int32_t AddResource(const std::string& name) {
    db_.Execute(st::InsertResource(name));
    return st::NewResourceId(db_);
  }

  Folder folder_;
  std::string path_ = folder_ / "plan.zuz";
  TqorDatabaseController db_;
  TqorFastString text_;
};

TEST_F(Database, HolidaysReportShowsTheWindowByResourceAndStart) {
  const int32_t zoe = AddResource("Zoë <O'Neil> & co");
  const int32_t ann = AddResource("Ann");
  // Starts after today - 30 and before today + 365 only.
  for (double start : {kToday - 30, kToday - 29, kToday + 364, kToday + 365, kToday + 3})
    db_.Execute(st::InsertHoliday(zoe, start, start + 1));
  db_.Execute(st::InsertHoliday(ann, kToday - 2, kToday));
  const std::string header =
      "<tr header=\"yes\"><td class=\"td.shaded\" right=\"50\">Resource</td>"
      "<td class=\"td.shaded\" right=\"75\">StartDate</td>"
      "<td class=\"td.shaded\" right=\"100\">EndDate</td></tr>\r\n";
  // One header row above each resource's rows.
  auto row = [&](const std::string& name, double start) {
    return "<tr><td right=\"50\">" + name + "</td><td right=\"75\">" + FormatReportDate(start) +
           "</td><td right=\"100\">" + FormatReportDate(start + 1) + "</td></tr>\r\n";
  };
  const std::string zoeText = "Zoë &lt;O'Neil&gt; &amp; co";
  EXPECT_EQ(BuildHolidaysReport(text_, db_, kToday),
            "<html header=\"Holidays Report\" footer=\"Vazadod\"><head>\r\n"
            "<style id=\"td.shaded\">background-color:#F0F0F0</style>\r\n"
            "<style id=\"h1.newpage\">page-break-before:always</style>\r\n"
            "</head><body><h1 outline=\"Holidays\">Holidays</h1>\r\n" +
                header + row(zoeText, kToday - 29) + row(zoeText, kToday + 3) +
                row(zoeText, kToday + 364) + header +
                "<tr><td right=\"50\">Ann</td><td right=\"75\">" + FormatReportDate(kToday - 2) +
                "</td><td right=\"100\">" + FormatReportDate(kToday) +
                "</td></tr>\r\n</body></html>");
  EXPECT_EQ(db_.OpenRecordSetCount(), 0);
}

// A first resource with 18 to 34 holidays, so that the next header row and the page end fall at
// every place of the first page, then one whose table goes on over one or two page breaks, and
// a short one: each case a year of its own, in one database, read back page by page.
TEST_F(Database, HolidaysReportTablesGoOnUnderTheirHeader) {
  if (!Have("pdftotext")) return;
  const std::string header = "Resource StartDate EndDate";
  std::vector<TExpectedReport> reports;
  {
    TqorDatabaseTransaction transaction(db_);
    for (int first = 18; first <= 34; ++first) {
      const double today = kToday + 1000 * static_cast<int>(reports.size());
      TExpectedReport& report = reports.emplace_back();
      report.Lines.push_back({TExpectedLine::Caption, "Holidays"});
      report.Continued.push_back("");
      for (const int count : {first, 40, 3}) {
        const std::string name = "Res" + std::to_string(first) + "." + std::to_string(count);
        const int32_t id = AddResource(name);
        const int table = static_cast<int>(report.Headers.size());
        report.Headers.push_back(header);
        report.Lines.push_back({TExpectedLine::Header, header, 0, table});
        for (int i = 0; i < count; ++i) {
          const double start = today + 5 * i;
          db_.Execute(st::InsertHoliday(id, start, start + 1));
          report.Lines.push_back(
              {TExpectedLine::Row,
               name + " " + FormatReportDate(start) + " " + FormatReportDate(start + 1), 0, table});
        }
      }
    }
    transaction.Commit();
  }
  TqorPDFReporter pdf;
  for (size_t k = 0; k < reports.size(); ++k) {
    SCOPED_TRACE("first table of " + std::to_string(18 + k) + " rows");
    const std::string file = folder_ / ("holidays" + std::to_string(k) + ".pdf");
    pdf.RenderReport(BuildHolidaysReport(text_, db_, kToday + 1000 * static_cast<double>(k)), file,
                     "");
    ExpectPages(file, reports[k]);
  }
}

TEST_F(Database, ExportIsTheDocumentAndReadsBackUnchanged) {
  const int32_t zoe = AddResource("Zoë O'Neil & <co>");
  db_.Execute(st::InsertProject("Web ]]> \"launch\"", kToday));
  const int32_t web = st::NewProjectId(db_);
  db_.Execute(st::InsertTask("a<b", kToday, web));
  db_.Execute(st::InsertAssignment(st::NewTaskId(db_), zoe, 37.5));
  db_.Execute(st::InsertHoliday(zoe, kToday, kToday + 2));
  TqorPlannerModel planner([] { return kToday; });
  LoadPlanner(db_, planner);

  const std::string file = folder_ / "plan.xml";
  ExportPlannerXml(planner.Document(), file);
  EXPECT_EQ(ReadFile(file), planner.Document().EncodedXml());
  EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"plan.lck", "plan.xml", "plan.zuz"}))
      << "no temporary file stays";
  std::string log;
  if (Have("xmllint")) {
    EXPECT_EQ(RunCommand("xmllint --noout " + file, log), 0) << log;
  }
  TqorXMLParser2 back;
  back.LoadFromFile(file);
  EXPECT_EQ(back.LastError(), "");
  EXPECT_EQ(back.Xml(), planner.Document().Xml());
  EXPECT_EQ(back.FindChild("projects")->GetChild(0)->GetAttributeStr("name"), "Web ]]> \"launch\"");
}

TEST(ReportFiles, ExtensionRule) {
  struct Case {
    const char* typed;
    const char* written;
  };
  for (const Case& c :
       {Case{"plan.txt", "plan.pdf"}, Case{"plan", "plan.pdf"}, Case{"plan.PDF", "plan.pdf"},
        Case{"/home/a.b/plan", "/home/a.b/plan.pdf"}, Case{"/r/plan.v2.rtf", "/r/plan.v2.pdf"},
        Case{"/r/.plan", "/r/.plan.pdf"}, Case{"plan.", "plan.pdf"}})
    EXPECT_EQ(ChangeFileExtension(c.typed, ".pdf"), c.written) << c.typed;
}

TEST(ReportFiles, AFileIsWrittenWholeOrNotAtAll) {
  Folder folder;
  const std::string file = folder / "report.rtf";
  WriteFileWhole(file, [](const std::string& t) { SaveStringToFile(t, "first"); });
  EXPECT_EQ(ReadFile(file), "first");

  // A failing writer leaves the earlier file as it was, and no temporary file.
  std::string temporary;
  EXPECT_THROW(WriteFileWhole(file,
                              [&](const std::string& t) {
                                temporary = t;
                                SaveStringToFile(t, "half");
                                throw std::runtime_error("converter failed");
                              }),
               std::runtime_error);
  EXPECT_EQ(std::filesystem::path(temporary).parent_path().string() + "/", folder / "");
  EXPECT_EQ(ReadFile(file), "first");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"report.rtf"});

  // A converter's file error names the file asked for, not the temporary one.
  try {
    WriteFileWhole(file,
                   [](const std::string& t) { throw EqorFileError("Cannot write file " + t); });
    ADD_FAILURE() << "no error";
  } catch (const EqorFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot write file " + file);
  }
  try {
    WriteFileWhole(folder / "none/x.rtf", [](const std::string&) {});
    ADD_FAILURE() << "no error";
  } catch (const EqorFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + (folder / "none/x.rtf"));
  }
  // A folder in the way: the rename fails, nothing is left behind.
  std::filesystem::create_directory(folder / "dir.pdf");
  EXPECT_THROW(
      WriteFileWhole(folder / "dir.pdf", [](const std::string& t) { SaveStringToFile(t, "x"); }),
      EqorFileError);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"dir.pdf", "report.rtf"}));
  // A pipe (or a device) stays what it is.
  ASSERT_EQ(::mkfifo((folder / "pipe.pdf").c_str(), 0600), 0);
  EXPECT_THROW(WriteFileWhole(folder / "pipe.pdf", [](const std::string&) {}), EqorFileError);
  EXPECT_TRUE(std::filesystem::is_fifo(folder / "pipe.pdf"));
  std::filesystem::remove(folder / "pipe.pdf");

  // A conversion error of the PDF side: no file at all.
  TqorPDFReporter pdf;
  TqorRTFReporter rtf;
  EXPECT_THROW(RenderReportFile("PDF", "<html><body><tr><td>no right</td></tr></body></html>",
                                folder / "bad.pdf", "", pdf, rtf),
               EqorPDFReportError);
  EXPECT_FALSE(RenderReportFile("DOC", "<html/>", folder / "x.doc", "", pdf, rtf));
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"dir.pdf", "report.rtf"}));
}

// A program ended by a signal while it writes a report leaves the earlier file and no temporary
// one; a program that ignores or handles the signal itself writes on; afterwards the signals
// are as they were.
TEST(ReportFiles, ASignalDuringTheWriteLeavesNoTemporaryFile) {
  enum class TOwn { Default, Ignored, Handled };
  struct Case {
    int signal;
    TOwn own;
  };
  for (const Case& c :
       {Case{SIGINT, TOwn::Default}, Case{SIGTERM, TOwn::Default}, Case{SIGHUP, TOwn::Default},
        Case{SIGINT, TOwn::Ignored}, Case{SIGTERM, TOwn::Handled}}) {
    Folder folder;
    const std::string file = folder / "report.pdf";
    SaveStringToFile(file, "earlier");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (c.own == TOwn::Ignored) ::signal(c.signal, SIG_IGN);
      if (c.own == TOwn::Handled) ::signal(c.signal, [](int) {});
      try {
        WriteFileWhole(file, [&](const std::string& temporary) {
          SaveStringToFile(temporary, "half");
          ::raise(c.signal);
          SaveStringToFile(temporary, "whole");
        });
      } catch (...) {
        ::_exit(3);
      }
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string what =
        std::string(strsignal(c.signal)) + (c.own == TOwn::Default ? "" : " (own)");
    if (c.own == TOwn::Default) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << what << ": " << status;
      EXPECT_EQ(ReadFile(file), "earlier") << what;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << what << ": " << status;
      EXPECT_EQ(ReadFile(file), "whole") << what;
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"report.pdf"}) << what;
  }
  // Here, where nobody raised anything, the signals keep their default action after a write.
  WriteFileWhole(Folder() / "x", [](const std::string&) {});
  for (int s : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction now {};
    ASSERT_EQ(::sigaction(s, nullptr, &now), 0);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << strsignal(s);
  }
}

// Records what the launcher asks of the system.
class FakePlatform : public TqorLauncherPlatform {
 public:
  std::string SearchPath() const override { return path; }
  bool IsExecutableFile(const std::string& file) const override {
    asked.push_back(file);
    return std::find(executables.begin(), executables.end(), file) != executables.end();
  }
  bool StartProgram(const std::string& program, const std::string& argument) override {
    calls.push_back("start " + program + " " + argument);
    return startWorks;
  }
  bool OpenWithDesktop(const std::string& document) override {
    calls.push_back("desktop " + document);
    return true;
  }

  std::string path;
  std::vector<std::string> executables;
  bool startWorks = true;
  mutable std::vector<std::string> asked;
  std::vector<std::string> calls;
};

TEST(Launcher, TheViewerOnThePathElseTheDesktopsProgram) {
  auto owned = std::make_unique<FakePlatform>();
  FakePlatform& fake = *owned;
  TqorLauncher launcher(std::move(owned));
  fake.path = ":/opt/bin/:/usr/bin:/usr/local/bin";
  fake.executables = {"/usr/bin/evince", "/usr/local/bin/evince", "/usr/local/bin/lowriter"};

  EXPECT_EQ(launcher.FindViewerPath("evince"), "/usr/bin");
  // The empty entry (the working folder) is never searched.
  EXPECT_EQ(fake.asked, (std::vector<std::string>{"/opt/bin/evince", "/usr/bin/evince"}));
  EXPECT_EQ(launcher.FindViewerPath("lowriter"), "/usr/local/bin");
  EXPECT_EQ(launcher.FindViewerPath("okular"), "");
  EXPECT_EQ(launcher.FindViewerPath("bin/evince"), "");
  EXPECT_EQ(launcher.FindViewerPath(""), "");

  launcher.OpenDocument("/r/my plan.pdf", kPDFViewerProgram);
  launcher.OpenDocument("/r/plan.rtf", kRTFViewerProgram);
  launcher.OpenDocument("/r/plan.pdf", "acroread");
  launcher.OpenDocument("/r/plan.pdf", "");
  fake.startWorks = false;
  launcher.OpenDocument("/r/plan.pdf", "evince");
  EXPECT_EQ(fake.calls,
            (std::vector<std::string>{"start /usr/bin/evince /r/my plan.pdf",
                                      "start /usr/local/bin/lowriter /r/plan.rtf",
                                      "desktop /r/plan.pdf", "desktop /r/plan.pdf",
                                      "start /usr/bin/evince /r/plan.pdf", "desktop /r/plan.pdf"}));
}

}  // namespace
