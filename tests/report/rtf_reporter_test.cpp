#include <gtest/gtest.h>

#include <sstream>

#include "planner/base/qorStrings.h"
#include "report/qorRTFReporter.h"
#include "reportTestUtil.h"

namespace {

using report_test::TempDir;

const char* const kHead = R"(<head>
  <style id="td.shaded">background-color:#F0F0F0</style>
  <style id="td.numeric">text-align:right</style>
  <style id="td.milestone">font-weight:bold</style>
  <style id="h1.newpage">page-break-before:always</style>
  <style id="p.spacer">margin-top:10</style>
</head>)";

// The RTF of a report, and the part of it after the document head.
struct Converted {
  std::string rtf;
  std::string body;
};

Converted Convert(TqorRTFReporter& r, const std::string& markup, const std::string& images = "") {
  std::ostringstream out;
  r.RenderReport(markup, out, images);
  Converted c{out.str(), {}};
  // The head ends with the footer's group and its line end.
  const size_t footer = c.rtf.find("{\\footer ");
  const size_t end = c.rtf.find("\\par}\r\n", footer);
  c.body = c.rtf.substr(end + 7);
  if (c.body.rfind("\\landscape\\lndscpsxn", 0) == 0) c.body.erase(0, 20);
  return c;
}

Converted Convert(const std::string& markup, const std::string& images = "") {
  TqorRTFReporter r;
  return Convert(r, markup, images);
}

std::string Report(const std::string& body, const std::string& rootAttributes = "") {
  return "<html" + rootAttributes + ">" + kHead + "<body>" + body + "</body></html>";
}

TEST(RTFReporter, RowsCellsAndTheirClasses) {
  Converted c = Convert(Report(R"(
    <tr header="yes"><td class="td.shaded" right="30">Name</td>
                     <td class="td.shaded" right="100">Hours</td></tr>
    <tr><td class="td.milestone" right="30">Launch</td><td class="td.numeric" right="100">12</td></tr>
    <tr><td>a</td><td>b</td></tr>
    <tr></tr>)"));
  // The header row repeats on each page the table runs onto.
  EXPECT_EQ(c.body,
            "\\trowd\\trhdr\\clbrdrb\\brdrs\\clshdng300\\cellx2708\\clbrdrb\\brdrs\\clshdng300"
            "\\cellx9026"
            "\\pard\\intbl\\plain\\f0\\fs20 Name \\cell\\pard\\intbl\\plain\\f0\\fs20 Hours \\cell"
            "\\pard\\intbl \\row\r\n"
            "\\trowd\\clbrdrb\\brdrs\\cellx2708\\clbrdrb\\brdrs\\cellx9026"
            "\\pard\\intbl\\plain\\f0\\fs20\\b Launch \\cell"
            "\\pard\\intbl\\plain\\f0\\fs20\\qr 12 \\cell\\pard\\intbl \\row\r\n"
            "\\trowd\\clbrdrb\\brdrs\\cellx0\\clbrdrb\\brdrs\\cellx0"
            "\\pard\\intbl\\plain\\f0\\fs20 a \\cell\\pard\\intbl\\plain\\f0\\fs20 b \\cell"
            "\\pard\\intbl \\row\r\n"
            "}");
}

TEST(RTFReporter, HeadingsParagraphsAndContainers) {
  TqorRTFWriter styles;
  Converted c = Convert(Report(R"(
    <h1 class="h1.newpage" outline="Project">Project</h1>
    <h2 level="2" style="x">Sub</h2><h3>Three</h3><h4>Four</h4>
    <p class="p.spacer"></p>
    <p title="Notes">Text</p>
    <div><link><p>inside</p></link><table><tr><td>in table</td></tr></table></div>
    <section><p>in section</p></section>
    <img src="none.png"/>)"));
  EXPECT_EQ(c.body, "\\pard\\plain " + styles.GetStyle(1).Formatting +
                        "\\pagebb {Project \\par}\r\n" + "\\pard\\plain " +
                        styles.GetStyle(2).Formatting + " {Sub \\par}\r\n" + "\\pard\\plain " +
                        styles.GetStyle(3).Formatting + " {Three \\par}\r\n" + "\\pard\\plain " +
                        styles.GetStyle(4).Formatting + " {Four \\par}\r\n" +
                        "\\pard\\plain\\f0\\fs20\\sb567  \\par\r\n"
                        "\\pard\\plain\\f0\\fs20 {\\b Notes}\\line\r\nText \\par\r\n"
                        "\\pard\\plain\\f0\\fs20 inside \\par\r\n"
                        "}");
}

TEST(RTFReporter, InlineTagsOnlyWithMarkupAndNeverInHeadings) {
  Converted c = Convert(Report(R"(
    <h1 markup="yes"><![CDATA[<b>Plan</b>]]></h1>
    <p><![CDATA[one<br>two]]></p>
    <p markup="yes"><![CDATA[one<BR>two]]></p>
    <tr><td markup="yes" right="100"><![CDATA[<B>Ann</b>2024<i>x</I><ul><li>a</li></ul><p>q</p><u>u</u>]]></td></tr>)"));
  EXPECT_NE(c.body.find("{<b>Plan</b> \\par}"), std::string::npos);
  EXPECT_NE(c.body.find("\\fs20 one<br>two \\par"), std::string::npos);
  EXPECT_NE(c.body.find("\\fs20 one\\line two \\par"), std::string::npos);
  // Every word the tags become is closed by a blank, so that the digits, letters and hyphens
  // after it stay text.
  EXPECT_NE(
      c.body.find("\\fs20 \\b Ann\\b0 2024\\i x\\i0 \\line - a\\line \\line q<u>u</u> \\cell"),
      std::string::npos);
}

TEST(RTFReporter, NamesReachTheDocumentAsTyped) {
  Converted c = Convert(Report(
      R"(<h1>O'Neil {draft}</h1><p title="C:\temp">M&#252;ller</p>
         <tr><td right="100" markup="yes"><![CDATA[C:\b<br>{x}]]></td></tr>)",
      R"( header="{draft} C:\temp" footer="&#321;ukasz")"));
  EXPECT_NE(c.body.find("{O'Neil \\{draft\\} \\par}"), std::string::npos);
  // Text entities are not decoded by the reader: "&#252;" stays as written.
  EXPECT_NE(c.body.find("{\\b C:\\\\temp}\\line\r\nM&#252;ller \\par"), std::string::npos);
  EXPECT_NE(c.body.find(" C:\\\\b\\line \\{x\\} \\cell"), std::string::npos);
  EXPECT_NE(c.rtf.find("\\brdrb\\brdrs \\{draft\\} C:\\\\temp\\par}"), std::string::npos);
  EXPECT_NE(c.rtf.find("\\brdrt\\brdrs \\u321?ukasz{\\tab"), std::string::npos);
  EXPECT_TRUE(report_test::GroupsBalanced(c.rtf));
}

TEST(RTFReporter, InlineEntitiesAreDecodedOnceAndNeverFormTags) {
  Converted c = Convert(Report(
      R"(<h1>a &lt;b&gt; &amp; c</h1><p title="R&amp;amp;D">x &amp;lt; y&nbsp;z &copy;</p>
         <tr><td right="50" markup="yes"><![CDATA[&lt;br&gt;<br>&lt;b&gt;]]></td>
             <td right="100">1 &gt; 0 &amp</td></tr>)"));
  EXPECT_NE(c.body.find("{a <b> & c \\par}"), std::string::npos);
  // The title is an attribute, already decoded by the reader; the text's "&amp;lt;" gives
  // "&lt;" and other entities stay as written.
  EXPECT_NE(c.body.find("{\\b R&amp;D}\\line\r\nx &lt; y\\'a0z &copy; \\par"), std::string::npos);
  EXPECT_NE(c.body.find(" <br>\\line <b> \\cell"), std::string::npos);
  EXPECT_NE(c.body.find(" 1 > 0 &amp \\cell"), std::string::npos);
}

TEST(RTFReporter, StyleClassesOfAnEarlierReportStay) {
  TqorRTFReporter r;
  Convert(r, Report(""));
  Converted c = Convert(r, R"(<html><head><style id="td.shaded">font-style:italic</style></head>
    <body><tr><td class="td.numeric" right="50">1</td><td class="td.shaded" right="100">2</td></tr>
    </body></html>)");
  EXPECT_NE(c.body.find("\\fs20\\qr 1 \\cell"), std::string::npos);
  // Redefined: no longer a background colour, so no shading.
  EXPECT_NE(c.body.find("\\clbrdrb\\brdrs\\cellx9026"), std::string::npos);
  EXPECT_NE(c.body.find("\\fs20\\i 2 \\cell"), std::string::npos);
}

TEST(RTFReporter, BrokenMarkupGivesAPartialReport) {
  Converted dup = Convert(R"(<html header="H"><head><style id="a">text-align:right</style>
    <style id="a">text-align:left</style></head><body><p>lost</p></body></html>)");
  EXPECT_EQ(dup.body, "}");
  EXPECT_NE(dup.rtf.find("\\brdrs H\\par}"), std::string::npos);

  // The text of the last paragraph is never closed: the element stays, without its text.
  Converted cut =
      Convert(std::string("<html pagesize=\"letter\">") + kHead + "<body><p>kept</p><p>cut off");
  EXPECT_EQ(cut.body, "\\pard\\plain\\f0\\fs20 kept \\par\r\n\\pard\\plain\\f0\\fs20  \\par\r\n}");
  EXPECT_TRUE(report_test::GroupsBalanced(cut.rtf));
}

TEST(RTFReporter, PicturesFromTheImageFolder) {
  TempDir dir;
  const std::string png = report_test::RedPng();
  report_test::WriteFile(dir / "logo.png", png);
  report_test::WriteFile(dir / "logo.gif", png);
  Converted c = Convert(Report(R"(<img src="logo.png" mmwidth="40" mmheight="10"/>
    <img src="missing.png"/><img src=""/><img/><img src="logo.gif"/>)"),
                        dir.path() + "/");
  EXPECT_EQ(c.body, "\\pard\\plain\\f0\\fs20 {\\pict\\pngblip\\picscalex100\\picscaley100\\bin" +
                        std::to_string(png.size()) + " " + png + "} \\par\r\n}");
  EXPECT_TRUE(report_test::GroupsBalanced(c.rtf));
}

TEST(RTFReporter, OutputFiles) {
  TempDir dir;
  TqorRTFReporter r;
  const std::string file = dir / "report.rtf";
  r.RenderReport(Report("<p>a much longer first report</p><p>with two paragraphs</p>"), file, "");
  std::ostringstream expected;
  r.RenderReport(Report("<p>short</p>"), expected, "");
  r.RenderReport(Report("<p>short</p>"), file, "");
  EXPECT_EQ(report_test::ReadFile(file), expected.str()) << "an existing file is replaced";

  const std::string nowhere = dir / "no/such/folder/x.rtf";
  try {
    r.RenderReport(Report(""), nowhere, "");
    ADD_FAILURE() << "no error";
  } catch (const EqorFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + nowhere);
  }

  if (std::filesystem::exists("/dev/full")) {
    try {
      r.RenderReport(Report("<p>x</p>"), "/dev/full", "");
      ADD_FAILURE() << "a full disk went unnoticed";
    } catch (const EqorFileError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot write file /dev/full");
    }
  }
}

}  // namespace
