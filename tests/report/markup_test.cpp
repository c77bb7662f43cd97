#include <gtest/gtest.h>

#include "report/qorReportMarkup.h"
#include "report/qorStyleProperties.h"

namespace {

TEST(StyleProperties, EntriesAndWholeNumbers) {
  EXPECT_EQ(
      ParseStyleProperties(" Font-Weight : BOLD ;; no value here ; a:b:C ;:orphan"),
      (std::vector<TqorStyleProperty>{{"font-weight", "bold"}, {"a", "b:c"}, {"", "orphan"}}));
  EXPECT_EQ(StyleWholeNumber(" -3 "), -3);
  EXPECT_EQ(StyleWholeNumber("+7"), 7);
  EXPECT_EQ(StyleWholeNumber("-2147483648"), INT32_MIN);
  for (const char* bad : {"", "-", "1.5", "10mm", "2147483648", "99999999999999999999"})
    EXPECT_EQ(StyleWholeNumber(bad, -99), -99) << bad;
}

TEST(ReportMarkup, HeadBodyAndRootAttributes) {
  TqorReportMarkup m;
  m.Load(R"(<?xml version="1.0"?>
<!-- a report -->
<html header="Tasks &amp; more" footer="Vazadod">
  <title>ignored</title>
  <head><style id="h1">font-size:20</style></head>
  <body><p>first</p></body>
  <head><style id="second">text-align:right</style></head>
  <body><p>second</p></body>
</html>)");
  EXPECT_EQ(m.LastError(), "");
  EXPECT_EQ(m.HeaderText(), "Tasks & more");
  EXPECT_EQ(m.Paper(), "A4");
  ASSERT_NE(m.Body(), nullptr);
  EXPECT_EQ(m.Body()->GetChild(0)->Text(), "first");
  EXPECT_EQ(m.ClassText("h1"), "font-size:20");
  EXPECT_EQ(m.FindClass("second"), nullptr) << "only the first head counts";

  m.Load(R"(<report pagesize="letter landscape"/>)");
  EXPECT_EQ(m.Paper(), "letter landscape");
  EXPECT_EQ(m.Body(), nullptr);
}

TEST(ReportMarkup, StyleClassesOutliveALoadAndAreReplacedByName) {
  TqorReportMarkup m;
  m.Load(R"(<html><head>
    <style id="td.shaded">background-color:#F0F0F0</style>
    <style id="td.numeric">text-align:right</style>
    <style id="">font-weight:bold</style>
    <style id="empty"></style>
    <anything id="P.Spacer">Margin-Top:10; margin-top:12</anything>
  </head></html>)");
  EXPECT_EQ(m.ClassCount(), 3u);
  EXPECT_EQ(m.ClassProperty("P.Spacer", "margin-top"), "12") << "the last entry wins";
  EXPECT_EQ(m.FindClass("p.spacer"), nullptr) << "class names keep their letter case";
  EXPECT_EQ(m.FindClass("empty"), nullptr);
  EXPECT_EQ(m.FindClass(""), nullptr);

  m.Load(R"(<html><head><style id="td.numeric">text-align:center</style></head></html>)");
  EXPECT_EQ(m.ClassText("td.shaded"), "background-color:#F0F0F0");
  EXPECT_EQ(m.ClassProperty("td.numeric", "text-align"), "center");
  EXPECT_EQ(m.ClassProperty("td.numeric", "font-weight"), "");
  EXPECT_EQ(m.ClassProperty("undefined", "text-align"), "");
}

TEST(ReportMarkup, ReadingStopsAtADuplicateStyleId) {
  TqorReportMarkup m;
  m.Load(R"(<html><head>
    <style id="a">font-weight:bold</style>
    <style id="b">font-style:italic</style>
    <style id="a">text-align:right</style>
    <style id="c">text-align:center</style>
  </head><body><p>never read</p></body></html>)");
  EXPECT_NE(m.LastError().find("Found duplicate id a in name index style"), std::string::npos);
  EXPECT_EQ(m.ClassText("a"), "font-weight:bold");
  EXPECT_EQ(m.ClassText("b"), "font-style:italic");
  EXPECT_EQ(m.FindClass("c"), nullptr);
  EXPECT_EQ(m.Body(), nullptr);
}

TEST(ReportMarkup, TextAfterAChildIsDropped) {
  TqorReportMarkup m;
  m.Load(
      "<html><body><tr><td>lead <b>bold</b> tail</td></tr>"
      "<p><![CDATA[x<br>y]]></p></body></html>");
  const TqorXMLNode2* cell = m.Body()->GetChild(0)->GetChild(0);
  EXPECT_EQ(cell->Text(), "lead");
  EXPECT_EQ(cell->GetChild(0)->Text(), "bold");
  EXPECT_EQ(m.Body()->GetChild(1)->Text(), "x<br>y");
}

TEST(ReportMarkup, BlockKindsAndClasses) {
  TqorReportMarkup m;
  m.Load(R"(<html><body><h4/><H1/><h5/><link/><table/><td class="" right="12.5"/></body></html>)");
  const TqorBlockKind expected[] = {TqorBlockKind::Heading, TqorBlockKind::Ignored,
                                    TqorBlockKind::Ignored, TqorBlockKind::Container,
                                    TqorBlockKind::Ignored, TqorBlockKind::Ignored};
  for (int i = 0; i < m.Body()->ChildCount(); ++i)
    EXPECT_EQ(TqorReportMarkup::KindOf(*m.Body()->GetChild(i)), expected[i]) << i;
  const TqorXMLNode2& cell = *m.Body()->GetChild(5);
  EXPECT_EQ(TqorReportMarkup::ClassOf(cell, "td"), "td");
  EXPECT_EQ(TqorReportMarkup::WholeNumberAttribute(cell, "right"), 0);
}

}  // namespace
