// RTF reports judged by a real reader: LibreOffice converts them to plain text and to PDF, and
// the poppler tools read the PDF's pages, page size, text and pictures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

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

  TempDir dir_;
};

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

}  // namespace
