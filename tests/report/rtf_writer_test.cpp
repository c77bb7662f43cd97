#include <gtest/gtest.h>

#include <sstream>

#include "planner/base/qorStrings.h"
#include "report/qorRTFWriter.h"
#include "reportTestUtil.h"

namespace {

using report_test::TempDir;

// The document head the writer makes for a paper and a language.
std::string Head(const std::string& paper) {
  TqorRTFWriter w;
  w.SetPaper(paper);
  std::ostringstream out;
  w.BeginDocument(out);
  return out.str();
}

// What one body operation writes.
template <class F>
std::string Body(F&& write, const std::string& paper = "A4") {
  TqorRTFWriter w;
  w.SetPaper(paper);
  std::ostringstream out;
  w.BeginDocument(out);
  const size_t head = out.str().size();
  write(w);
  return out.str().substr(head);
}

TEST(RTFWriter, PaperSizesMarginsAndFooterTabs) {
  std::string letter = Head("Letter Landscape");
  EXPECT_NE(letter.find("\\paperw15840\\paperh12240\\margl1800\\margr1800\\margt1440\\margb1440"
                        "\\landscape\r\n"),
            std::string::npos);
  EXPECT_NE(letter.find("\\tqc\\tx6120\\tqr\\tx12240"), std::string::npos);
  EXPECT_NE(letter.find("\\landscape\\lndscpsxn"), std::string::npos);

  // Every name but "letter" is A4, portrait unless it says landscape in any letter case.
  for (const char* paper : {"A5", "", "letterhead"}) {
    std::string a4 = Head(paper);
    EXPECT_NE(a4.find("\\paperw11906\\paperh16838\\margl1440\\margr1440\\margt1440\\margb1440\r\n"),
              std::string::npos)
        << paper;
    EXPECT_NE(a4.find("\\tqc\\tx4513\\tqr\\tx9026"), std::string::npos) << paper;
    EXPECT_EQ(a4.find("\\landscape"), std::string::npos) << paper;
  }
  TqorRTFWriter w;
  w.SetPaper("a4 landscape");
  EXPECT_EQ(w.PaperWidth(), 16838);
  EXPECT_EQ(w.TextWidth(), 13958);
  w.SetPaper("Letter");
  EXPECT_FALSE(w.Landscape());
  EXPECT_EQ(w.TextWidth(), 8640);
}

TEST(RTFWriter, BeginDocumentWritesFromTheStart) {
  std::stringstream out;
  out << std::string(5000, 'x');
  TqorRTFWriter w;
  w.BeginDocument(out);
  w.EndDocument();
  EXPECT_EQ(out.str().rfind("{\\rtf1", 0), 0u);
}

TEST(RTFWriter, BodyOperations) {
  EXPECT_EQ(Body([](TqorRTFWriter& w) { w.WriteParagraph("x", ""); }),
            "\\pard\\plain\\f0\\fs20 x \\par\r\n");
  EXPECT_EQ(Body([](TqorRTFWriter& w) { w.WriteParagraph("x", "margin-top:10"); }),
            "\\pard\\plain\\f0\\fs20\\sb567 x \\par\r\n");
  EXPECT_EQ(Body([](TqorRTFWriter& w) {
              w.BeginRow("height:8;page-break-inside:always");
              w.AddCellBoundary(50, "border-style-bottom:solid;cell-shading:3");
              w.AddCellBoundary(100, "border-style-bottom:solid");
              w.WriteCell("a", "");
              w.WriteCell("12", "text-align:right");
              w.EndRow();
            }),
            "\\trowd\\trrh454\\trkeep \\clbrdrb\\brdrs\\clshdng300\\cellx4513"
            "\\clbrdrb\\brdrs\\cellx9026"
            "\\pard\\intbl\\plain\\f0\\fs20 a \\cell\\pard\\intbl\\plain\\f0\\fs20\\qr 12 \\cell"
            "\\pard\\intbl \\row\r\n");
}

// A right-to-left paragraph says so and marks its right-to-left runs; neutrals between them
// and the paragraph's end follow the bidirectional algorithm, a group's end drops its mark.
TEST(RTFWriter, RightToLeftRunsAndParagraphs) {
  const std::string shalom = TqorRTFText::Escape("\u05E9\u05DC\u05D5\u05DD");
  const std::string arabic = TqorRTFText::Escape("\u0639\u0631\u0628\u064A");
  EXPECT_EQ(Body([](TqorRTFWriter& w) {
              w.BeginRow("");
              w.AddCellBoundary(50, "");
              w.AddCellBoundary(100, "");
              w.WriteCell("\u05E9\u05DC\u05D5\u05DD (1.4)", "");
              w.WriteCell("12", "text-align:right");
              w.EndRow();
              w.BeginRow("");
              w.AddCellBoundary(100, "");
              w.WriteCell("a", "");
              w.EndRow();
            }),
            "\\trowd\\cellx4513\\cellx9026\\pard\\intbl\\plain\\f0\\fs20\\rtlpar\\qr "
            "\\rtlch\\af0\\afs20 " +
                shalom +
                " (\\ltrch 1.4\\rtlch )\\ltrch  \\cell\\pard\\intbl\\plain\\f0\\fs20\\qr 12 \\cell"
                "\\pard\\intbl\\ltrrow \\row\r\n"
                "\\trowd\\cellx9026\\pard\\intbl\\plain\\f0\\fs20 a \\cell\\pard\\intbl \\row\r\n");
  // Left to right from its first strong character; its own alignment stays.
  EXPECT_EQ(
      Body([](TqorRTFWriter& w) {
        w.WriteParagraph("Task \u05E9\u05DC\u05D5\u05DD done", "text-align:center");
      }),
      "\\pard\\plain\\f0\\fs20\\qc Task \\rtlch\\af0\\afs20 " + shalom + "\\ltrch  done \\par\r\n");
  EXPECT_EQ(Body([](TqorRTFWriter& w) {
              w.BeginParagraph("text-align:left");
              w.WriteStyledText("\u05E9\u05DC\u05D5\u05DD", "font-weight:bold");
              w.WriteLineBreak();
              w.WriteText("\u0639\u0631\u0628\u064A 7");
              w.EndParagraph();
            }),
            "\\pard\\plain\\f0\\fs20\\rtlpar\\ql {\\b \\rtlch\\af0\\afs20\\ab " + shalom +
                "}\\rtlch\\af0\\afs20 \\line\r\n" + arabic + " \\ltrch 7 \\par\r\n");

  TqorRTFWriter w;
  w.SetHeaderText("\u05E9\u05DC\u05D5\u05DD");
  w.SetFooterText("\u0639\u0631\u0628\u064A");
  w.SetLanguage("english");
  w.SetDate(2026, 3, 7);
  std::ostringstream out;
  w.BeginDocument(out);
  const std::string head = out.str();
  EXPECT_NE(
      head.find("\\brdrb\\brdrs\\rtlpar\\qr \\rtlch\\af0\\afs16 " + shalom + "\\ltrch \\par}"),
      std::string::npos)
      << head;
  // The footer keeps its tab stops left to right; its fields carry their results.
  EXPECT_NE(head.find("\\brdrt\\brdrs \\rtlch\\af0\\afs16 " + arabic + "\\ltrch {\\tab {\\field"),
            std::string::npos)
      << head;
  EXPECT_NE(head.find("{\\fldrslt {07-03-2026}}"), std::string::npos) << head;
  EXPECT_NE(head.find("Page } {\\field{\\*\\fldinst {PAGE }}{\\fldrslt {1}}} of "
                      "{\\field{\\*\\fldinst { NUMPAGES }}{\\fldrslt {1}}} \\par}"),
            std::string::npos)
      << head;
}

TEST(RTFWriter, HeadingsTakeTheirStylesheetEntry) {
  TqorRTFWriter w;
  for (int level : {0, 2, 4, 7, -1}) {
    const int used = level < 0 || level > 4 ? 1 : level;
    EXPECT_EQ(Body([&](TqorRTFWriter& x) { x.WriteHeading("T", level, "text-align:center"); }),
              "\\pard\\plain " + w.GetStyle(used).Formatting + "\\qc {T \\par}\r\n")
        << level;
  }
  EXPECT_THROW(w.GetStyle(-1), EqorRTFError);
  try {
    w.GetStyle(5);
  } catch (const EqorRTFError& e) {
    EXPECT_STREQ(e.what(), "Style level 5 out of range 0..4");
  }
}

TEST(RTFWriter, PropertyListsBecomeControlWordsInTheOrderWritten) {
  EXPECT_EQ(TqorRTFWriter::ParagraphFormat(""), " ");
  EXPECT_EQ(TqorRTFWriter::ParagraphFormat(
                "Text-Align : CENTER;page-break-before:always;font-size:large;color:red;bold;"
                "text-indent-first:-3;border-style-top:solid;border-style-left:dotted;"
                "text-decoration:line-through;page-break-after:avoid;margin-bottom:4"),
            "\\qc\\pagebb\\fs20\\fi-170\\brdrt\\brdrs\\strike\\keepn\\sa227 ");
  EXPECT_EQ(TqorRTFWriter::ParagraphFormat("margin-top:ten;margin-left:20;text-align:middle"),
            "\\sb0 ");
  // The character format knows only weight, size, style, variant and decoration.
  EXPECT_EQ(TqorRTFWriter::CharacterFormat("margin-top:10;font-weight:bold;text-align:right;"
                                           "font-size:9;font-variant:small-caps"),
            "\\b\\fs18\\scaps ");
  EXPECT_EQ(TqorRTFWriter::CellFormat("border-style-left:solid;cell-shading:x;"
                                      "cell-vertical-align:vertical;text-align:right"),
            "\\clbrdrl\\brdrs\\clshdng0\\cltxbtlr");
  EXPECT_EQ(TqorRTFWriter::RowFormat("height:x;page-break-inside:avoid"), "\\trrh0");
}

TEST(RTFWriter, TwipsRoundToNearestWithTiesToEven) {
  EXPECT_EQ(TqorRTFWriter::MillimetresToTwips(5), 284);    // 283.5
  EXPECT_EQ(TqorRTFWriter::MillimetresToTwips(15), 850);   // 850.5
  EXPECT_EQ(TqorRTFWriter::MillimetresToTwips(-5), -284);  // -283.5
  EXPECT_EQ(TqorRTFWriter::MillimetresToTwips(int64_t{1} << 40), INT32_MAX);
  TqorRTFWriter w;  // A4 portrait: text width 9026
  EXPECT_EQ(w.PercentToTwips(50), 4513);
  EXPECT_EQ(w.PercentToTwips(25), 2256);  // 2256.5
  EXPECT_EQ(w.PercentToTwips(75), 6770);  // 6769.5
}

TEST(RTFWriter, PicturesByKind) {
  TempDir dir;
  const std::string png = report_test::RedPng();
  for (const char* name : {"a.png", "b.JPG", "c.Emf", "d.gif", "e", "f.png.txt"})
    report_test::WriteFile(dir / name, png);

  const std::string expected = "{\\pict\\pngblip\\picscalex100\\picscaley100\\bin" +
                               std::to_string(png.size()) + " " + png + "}";
  EXPECT_EQ(Body([&](TqorRTFWriter& w) { w.WritePicture(dir / "a.png", 100); }), expected);
  EXPECT_EQ(Body([&](TqorRTFWriter& w) {
              w.WritePicture(dir / "b.JPG", 50);
            }).rfind("{\\pict\\jpegblip\\picscalex50\\picscaley50\\bin", 0),
            0u);
  EXPECT_EQ(Body([&](TqorRTFWriter& w) {
              w.WritePicture(dir / "c.Emf", 100);
            }).rfind("{\\pict\\emfblip", 0),
            0u);
  for (const char* skipped : {"d.gif", "e", "f.png.txt", "missing.png"})
    EXPECT_EQ(Body([&](TqorRTFWriter& w) { w.WritePicture(dir / skipped, 100); }), "") << skipped;
}

TEST(RTFText, EveryCharacterEscaped) {
  struct Case {
    const char* plain;
    const char* rtf;
  } cases[] = {
      {"O'Neil", "O'Neil"},
      {"C:\\temp {draft}", "C:\\\\temp \\{draft\\}"},
      {"M\xC3\xBC"
       "ller",
       "M\\'fcller"},
      {"\xE2\x82\xAC 5 \xE2\x80\x93 \xE2\x80\x9Cq\xE2\x80\x9D", "\\'80 5 \\'96 \\'93q\\'94"},
      {"\xC5\x81ukasz", "\\u321?ukasz"},
      {"\xE6\x9D\xB1\xE4\xBA\xAC", "\\u26481?\\u20140?"},
      {"\xEF\xBF\xBD", "\\u-3?"},
      {"\xF0\x9F\x98\x80", "\\u-10179?\\u-8704?"},
      {"a\tb", "a\\tab b"},
      {"a\r\nb\nc\rd", "a\\line b\\line c\\line d"},
      {"a\x01\x7F"
       "b",
       "ab"},
      {"\xC2\x80", "\\u128?"},
      {"\xFC"
       "x",
       "\\'fcx"},
      {"\xE2\x82", "\\'e2\\'82"},
  };
  for (const Case& c : cases) EXPECT_EQ(TqorRTFText::Escape(c.plain), c.rtf) << c.plain;
  EXPECT_EQ(TqorRTFText::FromRtf("\\b x").Rtf(), "\\b x");
  EXPECT_EQ(TqorRTFText("{").Rtf(), "\\{");
}

}  // namespace
