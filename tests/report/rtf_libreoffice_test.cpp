// RTF reports judged by a real reader: LibreOffice converts them to plain text and to PDF, and
// the poppler tools read the PDF's pages, page size, text and pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <regex>
#include <vector>

#include "planner/base/qorUtf8.h"
#include "report/qorRTFReporter.h"
#include "reportTestUtil.h"

namespace {

using report_test::ReadFile;
using report_test::TempDir;

class LibreOfficeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* program : {"soffice", "pdfinfo", "pdftotext", "pdfimages"}) {
      if (std::system(("command -v " + std::string(program) + " >/dev/null").c_str()) == 0)
        continue;
      if (std::getenv("VAZADOD_CI"))
        FAIL() << program << " is not installed; the RTF checks need Debian's "
               << "libreoffice-writer-nogui and poppler-utils (scripts/install-deps.sh)";
      GTEST_SKIP() << program << " is not installed: RTF files are not checked by LibreOffice. "
                   << "Install Debian's libreoffice-writer-nogui and poppler-utils "
                   << "(scripts/install-deps.sh) to run these checks.";
    }
  }

  // The output of a command (the folder's paths need no quoting); fails the test on an error.
  std::string Run(const std::string& command) {
    const std::string log = dir_ / "command.log";
    const int rc = std::system((command + " >" + log + " 2>&1 </dev/null").c_str());
    std::string output = ReadFile(log);
    EXPECT_EQ(rc, 0) << command << ":\n" << output;
    return output;
  }

  // The RTF file converted by LibreOffice, with a profile of its own so that conversions
  // running side by side do not share one; the converted file's name.
  std::string ConvertWithLibreOffice(const std::string& rtf, const std::string& filter,
                                     const std::string& extension) {
    const std::string out = dir_ / extension;
    const std::string log =
        Run("soffice -env:UserInstallation=file://" + (dir_ / "profile") +
            " --headless --norestore --convert-to " + filter + " --outdir " + out + " " + rtf);
    const std::string converted =
        out + "/" + std::filesystem::path(rtf).stem().string() + "." + extension;
    EXPECT_TRUE(std::filesystem::exists(converted)) << log;
    return converted;
  }

  // Pages and page size in points, from pdfinfo.
  void PdfPages(const std::string& pdf, int& pages, double& width, double& height) {
    const std::string info = Run("pdfinfo " + pdf);
    pages = std::atoi(info.c_str() + info.find("Pages:") + 6);
    std::sscanf(info.c_str() + info.find("Page size:") + 10, "%lf x %lf", &width, &height);
  }

  // One word of a page as poppler finds it: its box in points and its text.
  struct TWordBox {
    double left, top, bottom;
    std::string text;
  };

  // The words of one page, from pdftotext -bbox, in the order poppler lists them.
  std::vector<TWordBox> PageWords(const std::string& pdf, int page) {
    const std::string xml = Run("pdftotext -bbox -f " + std::to_string(page) + " -l " +
                                std::to_string(page) + " " + pdf + " -");
    static const std::regex kWord(
        R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="[0-9.]+" yMax="([0-9.]+)">([^<]*)</word>)re");
    std::vector<TWordBox> words;
    for (std::sregex_iterator m(xml.begin(), xml.end(), kWord), end; m != end; ++m)
      words.push_back({std::stod((*m)[1]), std::stod((*m)[2]), std::stod((*m)[3]), (*m)[4]});
    return words;
  }

  TempDir dir_;
};

// The characters of a UTF-8 text in the opposite order.
std::string Reversed(const std::string& text) {
  std::vector<char32_t> cps;
  for (size_t i = 0; i < text.size();) cps.push_back(DecodeUtf8At(text, i).value_or(U'?'));
  std::string out;
  for (auto it = cps.rbegin(); it != cps.rend(); ++it) AppendUtf8(out, *it);
  return out;
}

// Each text must stand in the converted text after the one before it.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& parts) {
  size_t at = 0;
  for (const std::string& part : parts) {
    const size_t found = text.find(part, at);
    if (found == std::string::npos) {
      ADD_FAILURE() << "\"" << part << "\" missing after position " << at << " in:\n" << text;
      return;
    }
    at = found + part.size();
  }
}

// A report with every element, attribute and property of the markup, and names that carry
// the characters RTF gives a meaning or that lie outside ASCII.
const char* const kFullReport = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- written by the report tests -->
<html header="Tasks of O'Neil {draft}" footer="Vazadod C:\temp M&#252;ller" pagesize="A4 Landscape">
<head>
  <style id="td.shaded">background-color:#F0F0F0</style>
  <style id="td.numeric">text-align:right</style>
  <style id="td.milestone">font-weight:bold</style>
  <style id="h1.newpage">page-break-before:always</style>
  <style id="p.spacer">margin-top:10</style>
  <style id="p.every">margin-top:2;margin-bottom:3;margin-left:5;margin-right:5;
    page-break-inside:avoid;page-break-after:avoid;text-indent-left:4;text-indent-right:4;
    text-indent-first:2;text-align:justify;font-weight:bold;font-size:12;font-style:italic;
    font-variant:small-caps;text-decoration:underline;border-style-left:solid;
    border-style-top:solid;border-style-right:solid;border-style-bottom:solid;
    color:red;no colon here</style>
  <style id="p.struck">text-decoration:line-through;text-align:center</style>
  <style id="td.left">text-align:left;background-color:#FFCC00</style>
</head>
<!-- text the converters never show -->
<footnote>not a head or body</footnote>
<body>
  <h1 outline="Project Müller" level="1" style="x">Project Müller</h1>
  <h2 outline="Phase">Phase Łukasz</h2>
  <h3>Subphase 東京</h3>
  <h4>Step {draft}</h4>
  <p class="p.spacer"></p>
  <p class="p.every" title="Notes for O'Neil">Backup to C:\temp\plan before 5 o'clock</p>
  <p class="p.struck" markup="yes"><![CDATA[Struck <b>bold</b> and <i>italic</i><ul><li>first item</li><li>second item</li></ul>]]></p>
  <p><![CDATA[raw<br>tag]]></p>
  <div>
    <tr header="yes">
      <td class="td.shaded" right="30">Task</td>
      <td class="td.shaded" right="60">Assigned To</td>
      <td class="td.shaded" right="100">Hours</td>
    </tr>
    <link>
      <tr>
        <td class="td.milestone" right="30">Launch {v2}</td>
        <td right="60" markup="yes"><![CDATA[Müller<br>Łukasz]]></td>
        <td class="td.numeric" right="100">12.5</td>
      </tr>
    </link>
    <tr>
      <td class="td.left" right="30">Review C:\temp</td>
      <td right="60">東京 office</td>
      <td class="td.numeric" right="100">8 <b>hidden after child</b> lost tail</td>
    </tr>
    <tr></tr>
  </div>
  <table><tr><td right="100">table row never shown</td></tr></table>
  <span>unknown element never shown</span>
  <img src="red.png" mmwidth="20" mmheight="20"/>
  <img src="absent.png"/>
  <h1 class="h1.newpage" outline="Second">Second project €</h1>
  <p>Last words</p>
</body>
</html>)";

TEST_F(LibreOfficeTest, FullReportKeepsEveryTextInOrder) {
  report_test::WriteFile(dir_ / "red.png", report_test::RedPng());
  const std::string rtf = dir_ / "full.rtf";
  TqorRTFReporter reporter;
  reporter.SetLanguage("english");
  reporter.RenderReport(kFullReport, rtf, dir_.path() + "/");

  const std::string text = ReadFile(ConvertWithLibreOffice(rtf, "txt:Text", "txt"));
  ExpectInOrder(text, {"Project Müller",
                       "Phase Łukasz",
                       "Subphase 東京",
                       "Step {draft}",
                       "Notes for O'Neil",
                       "Backup to C:\\temp\\plan before 5 o'clock",
                       "Struck bold and italic",
                       "- first item",
                       "- second item",
                       "raw<br>tag",
                       "Task",
                       "Assigned To",
                       "Hours",
                       "Launch {v2}",
                       "Müller",
                       "Łukasz",
                       "12.5",
                       "Review C:\\temp",
                       "東京 office",
                       "8",
                       "Second project €",
                       "Last words"});
  for (const char* hidden :
       {"never shown", "hidden after child", "lost tail", "not a head", "<b>", "\\b", "\\'", "\\u"})
    EXPECT_EQ(text.find(hidden), std::string::npos) << hidden << " in:\n" << text;
  // The inline break splits the cell into two lines.
  EXPECT_EQ(text.find("MüllerŁukasz"), std::string::npos);

  const std::string pdf = ConvertWithLibreOffice(rtf, "pdf", "pdf");
  int pages;
  double width, height;
  PdfPages(pdf, pages, width, height);
  EXPECT_GE(pages, 2) << "the second project starts a new page";
  EXPECT_NEAR(width, 841.9, 1.0);
  EXPECT_NEAR(height, 595.3, 1.0);

  // Header and footer on every page, with the page fields filled in.
  const std::string first = Run("pdftotext -layout -f 1 -l 1 " + pdf + " -");
  ExpectInOrder(first, {"Tasks of O'Neil {draft}", "Project Müller", "Vazadod C:\\temp Müller",
                        "Page 1 of " + std::to_string(pages)});
  const std::string n = std::to_string(pages);
  const std::string last = Run("pdftotext -layout -f " + n + " -l " + n + " " + pdf + " -");
  ExpectInOrder(last, {"Tasks of O'Neil {draft}", "Last words", "Vazadod C:\\temp Müller",
                       "Page " + n + " of " + n});

  const std::string images = Run("pdfimages -list " + pdf);
  EXPECT_NE(images.find(" image "), std::string::npos) << "the picture is missing:\n" << images;
}

TEST_F(LibreOfficeTest, LetterLandscapeDutchFooterAndLiteralTags) {
  const std::string rtf = dir_ / "letter.rtf";
  TqorRTFReporter reporter;
  reporter.RenderReport(R"(<html header="Holidays" footer="Vazadod" pagesize="letter LANDSCAPE">
    <head><style id="td.shaded">background-color:#F0F0F0</style></head>
    <body><h1>Holidays</h1>
      <tr><td class="td.shaded" right="50"><![CDATA[one<br>two]]></td>
          <td right="100" markup="yes"><![CDATA[three<br>four]]></td></tr>
    </body></html>)",
                        rtf, "");

  const std::string pdf = ConvertWithLibreOffice(rtf, "pdf", "pdf");
  int pages;
  double width, height;
  PdfPages(pdf, pages, width, height);
  EXPECT_EQ(pages, 1);
  EXPECT_NEAR(width, 792, 1.0);
  EXPECT_NEAR(height, 612, 1.0);
  const std::string text = Run("pdftotext -layout " + pdf + " -");
  ExpectInOrder(text, {"Holidays", "one<br>two", "three", "four", "Vazadod", "Pagina 1 van 1"});
  EXPECT_EQ(text.find("three<br>"), std::string::npos);
}

// Right-to-left names in cells and paragraphs, as LibreOffice lays them out: each reads from
// the right with the number after it, the table keeps its columns, the runs keep the size of
// the text around them, and the footer shows the date and the page numbers.
TEST_F(LibreOfficeTest, RightToLeftNamesInTheirOrderAndTheFooterFields) {
  const std::string arabic = "\u0633\u0627\u0631\u0629";  // Sara
  const std::string david = "\u05D3\u05D5\u05D3", cohen = "\u05DB\u05D4\u05DF";
  const std::string manager = "\u05DE\u05E0\u05D4\u05DC";
  std::string rows;
  for (int i = 1; i <= 70; ++i) {
    rows += "<tr><td right=\"50\">Task " + std::to_string(i) + "</td><td right=\"100\">" +
            std::to_string(i) + "</td></tr>";
  }
  const std::string rtf = dir_ / "rtl.rtf";
  TqorRTFReporter reporter;
  reporter.SetLanguage("english");
  std::string markup =
      "<html header=\"Resources\" footer=\"Vazadod\"><head>"
      "<style id=\"td.shaded\">background-color:#F0F0F0</style></head><body><h1>Resources</h1>";
  markup += "<p>" + manager + " Ali (3.6)</p>";
  markup +=
      "<tr header=\"yes\"><td class=\"td.shaded\" right=\"50\">Resource</td>"
      "<td class=\"td.shaded\" right=\"100\">Hours</td></tr>";
  markup += "<tr><td right=\"50\">" + arabic + " QA (1.4)</td><td right=\"100\">8</td></tr>";
  markup +=
      "<tr><td right=\"50\">" + david + " " + cohen + " (2.5)</td><td right=\"100\">9</td></tr>";
  reporter.RenderReport(markup + rows + "</body></html>", rtf, "");
  const std::string pdf = ConvertWithLibreOffice(rtf, "pdf", "pdf");

  // Words from left to right on one line; a right-to-left word may come as drawn or as read.
  const std::vector<TWordBox> words = PageWords(pdf, 1);
  auto expectLeftToRight = [&](const std::vector<std::string>& texts) {
    const TWordBox* previous = nullptr;
    for (const std::string& text : texts) {
      // The first match, or the one nearest the line of the words before.
      const TWordBox* box = nullptr;
      for (const TWordBox& w : words) {
        if (w.text != text && w.text != Reversed(text)) continue;
        if (!box ||
            (previous && std::abs(w.top - previous->top) < std::abs(box->top - previous->top)))
          box = &w;
      }
      if (!box) {
        ADD_FAILURE() << "\"" << text << "\" is not on the first page";
        return;
      }
      if (previous) {
        EXPECT_NEAR(box->top, previous->top, 2.0) << text << " is not on the line";
        EXPECT_GT(box->left, previous->left) << text << " stands left of " << previous->text;
        // The right-to-left runs have the size of the text around them.
        EXPECT_NEAR(box->bottom - box->top, previous->bottom - previous->top, 1.0) << text;
      }
      previous = box;
    }
  };
  expectLeftToRight({"Ali", "(3.6)", manager});
  expectLeftToRight({"QA", "(1.4)", arabic, "8"});
  expectLeftToRight({"2.5", cohen, david, "9"});

  int pages;
  double width, height;
  PdfPages(pdf, pages, width, height);
  ASSERT_GE(pages, 2);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char today[16];
  std::strftime(today, sizeof today, "%d-%m-%Y", &local);
  const std::string n = std::to_string(pages);
  ExpectInOrder(Run("pdftotext -layout -f 1 -l 1 " + pdf + " -"),
                {"Resources", "Task 1", "Vazadod", today, "Page 1 of " + n});
  ExpectInOrder(Run("pdftotext -layout -f " + n + " -l " + n + " " + pdf + " -"),
                {"Task 70", "Vazadod", today, "Page " + n + " of " + n});
}

}  // namespace
