#include <gtest/gtest.h>

#include <sstream>

#include "planner/base/qorStrings.h"
#include "report/qorRTFWriter.h"
#include "reportTestUtil.h"

namespace {

using report_test::TempDir;

// The document head the writer makes for a paper and a language.
std::string Head(const std::string& paper, const std::string& language = "dutch") {
  TqorRTFWriter w;
  w.SetPaper(paper);
  w.SetLanguage(language);
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
  for (const char* paper : {"A5", "A3", "", "letterhead"}) {
    std::string a4 = Head(paper);
    EXPECT_NE(a4.find("\\paperw11906\\paperh16838\\margl1440\\margr1440\\margt1440\\margb1440\r\n"),
              std::string::npos)
        << paper;
    EXPECT_NE(a4.find("\\tqc\\tx4513\\tqr\\tx9026"), std::string::npos) << paper;
    EXPECT_EQ(a4.find("\\landscape"), std::string::npos) << paper;
  }
  TqorRTFWriter w;
  w.SetPaper("  LETTER  ");
  EXPECT_EQ(w.PaperWidth(), 11906) << "only the text before \"landscape\" is trimmed";
  w.SetPaper("letter LANDSCAPE");
  EXPECT_TRUE(w.Landscape());
  EXPECT_EQ(w.TextWidth(), 12240);
  w.SetPaper("a4 landscape");
  EXPECT_EQ(w.PaperWidth(), 16838);
  EXPECT_EQ(w.PaperHeight(), 11906);
  EXPECT_EQ(w.TextWidth(), 13958);
  w.SetPaper("Letter");
  EXPECT_FALSE(w.Landscape());
  EXPECT_EQ(w.TextWidth(), 8640);
}

TEST(RTFWriter, HeadFooterLanguageAndEscapedHeaderTexts) {
  std::string dutch = Head("A4");
  EXPECT_EQ(dutch.rfind("{\\rtf1\\ansi\\ansicpg1252\\deff0\r\n{\\fonttbl{\\f0\\fswiss\\fcharset0 "
                        "Arial;}{\\f1\\froman\\fcharset0 Times New Roman;}",
                        0),
            0u);
  EXPECT_NE(dutch.find("{\\tab Pagina } {\\field{\\*\\fldinst {PAGE }}{\\fldrslt }} van {"),
            std::string::npos);
  std::string english = Head("A4", "english");
  EXPECT_NE(english.find("{\\tab Page } {\\field{\\*\\fldinst {PAGE }}{\\fldrslt }} of {"),
            std::string::npos);
  EXPECT_EQ(Head("A4", "Dutch").find("Pagina"), std::string::npos) << "the name is exact";

  TqorRTFWriter w;
  w.SetHeaderText("Plan {draft} C:\\temp");
  w.SetFooterText("M\xC3\xBCller");
  std::ostringstream out;
  w.BeginDocument(out);
  w.EndDocument();
  const std::string doc = out.str();
  EXPECT_NE(doc.find("\\brdrb\\brdrs Plan \\{draft\\} C:\\\\temp\\par}"), std::string::npos);
  EXPECT_NE(doc.find("\\brdrt\\brdrs M\\'fcller{\\tab {\\field"), std::string::npos);
  EXPECT_TRUE(report_test::GroupsBalanced(doc));
  EXPECT_EQ(doc.back(), '}');
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
  EXPECT_EQ(Body([](TqorRTFWriter& w) {
              w.BeginParagraph("");
              w.WriteStyledText("Title", "font-weight:bold;margin-top:10");
              w.WriteLineBreak();
              w.WriteText("Text");
              w.EndParagraph();
            }),
            "\\pard\\plain\\f0\\fs20 {\\b Title}\\line\r\nText \\par\r\n");
  EXPECT_EQ(Body([](TqorRTFWriter& w) { w.WriteNumber(-42); }), "-42");
}

TEST(RTFWriter, HeadingsTakeTheirStylesheetEntry) {
  TqorRTFWriter w;
  for (int level : {0, 1, 2, 3, 4, 7, -1}) {
    const int used = level < 0 || level > 4 ? 1 : level;
    EXPECT_EQ(Body([&](TqorRTFWriter& x) { x.WriteHeading("T", level, "text-align:center"); }),
              "\\pard\\plain " + w.GetStyle(used).Formatting + "\\qc {T \\par}\r\n")
        << level;
  }
  EXPECT_EQ(w.GetStyle(3).Name, "heading 3");
  EXPECT_EQ(w.GetStyle(0).Name, "Normal");
  for (int level : {5, -1}) {
    try {
      w.GetStyle(level);
      ADD_FAILURE() << level;
    } catch (const EqorRTFError& e) {
      EXPECT_EQ(std::string(e.what()),
                "Style level " + std::to_string(level) + " out of range 0..4");
    }
  }
}

TEST(RTFWriter, PropertyListsBecomeControlWords) {
  struct Case {
    const char* list;
    const char* paragraph;
  } cases[] = {
      {"", " "},
      {"page-break-before:always;page-break-inside:avoid;page-break-after:avoid",
       "\\pagebb\\keep\\keepn "},
      {"page-break-before:auto;page-break-inside:always", " "},
      {"text-indent-left:10;text-indent-right:5;text-indent-first:-3", "\\li567\\ri284\\fi-170 "},
      {"text-align:left", "\\ql "},
      {"Text-Align : CENTER", "\\qc "},
      {"text-align:right;text-align:justify", "\\qr\\qj "},
      {"text-align:middle", " "},
      {"font-weight:bold;font-style:italic;font-variant:small-caps", "\\b\\i\\scaps "},
      {"font-weight:normal", " "},
      {"font-size:13", "\\fs26 "},
      {"font-size:large", "\\fs20 "},
      {"font-size:12.5", "\\fs20 "},
      {"text-decoration:underline;text-decoration:line-through", "\\ul\\strike "},
      {"border-style-left:solid;border-style-top:solid;border-style-right:solid;"
       "border-style-bottom:solid;border-style-top:dotted",
       "\\brdrl\\brdrs\\brdrt\\brdrs\\brdrr\\brdrs\\brdrb\\brdrs "},
      {"margin-top:10;margin-bottom:4;margin-left:20;margin-right:20", "\\sb567\\sa227 "},
      {"margin-top:ten;color:red;bold", "\\sb0 "},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TqorRTFWriter::ParagraphFormat(c.list), c.paragraph) << c.list;

  // The character format knows only the character properties.
  EXPECT_EQ(TqorRTFWriter::CharacterFormat(
                "margin-top:10;font-weight:bold;text-align:right;font-size:9;"
                "text-decoration:underline;font-style:italic;font-variant:small-caps"),
            "\\b\\fs18\\ul\\i\\scaps ");
  EXPECT_EQ(TqorRTFWriter::CharacterFormat(""), " ");

  EXPECT_EQ(TqorRTFWriter::CellFormat("border-style-left:solid;border-style-top:solid;"
                                      "border-style-right:solid;border-style-bottom:solid"),
            "\\clbrdrl\\brdrs\\clbrdrt\\brdrs\\clbrdrr\\brdrs\\clbrdrb\\brdrs");
  EXPECT_EQ(TqorRTFWriter::CellFormat("cell-shading:x;cell-vertical-align:top"),
            "\\clshdng0\\clvertalt");
  EXPECT_EQ(TqorRTFWriter::CellFormat("cell-vertical-align:bottom;cell-vertical-align:center;"
                                      "cell-vertical-align:vertical;text-align:right"),
            "\\clvertalb\\clvertalc\\cltxbtlr");
  EXPECT_EQ(TqorRTFWriter::RowFormat("height:x;page-break-inside:avoid"), "\\trrh0");
}

TEST(RTFWriter, TwipsRoundToNearestWithTiesToEven) {
  EXPECT_EQ(TqorRTFWriter::MillimetresToTwips(10), 567);
  EXPECT_EQ(TqorRTFWriter::MillimetresToTwips(5), 284);    // 283.5
  EXPECT_EQ(TqorRTFWriter::MillimetresToTwips(15), 850);   // 850.5
  EXPECT_EQ(TqorRTFWriter::MillimetresToTwips(-5), -284);  // -283.5
  EXPECT_EQ(TqorRTFWriter::MillimetresToTwips(int64_t{1} << 40), INT32_MAX);
  TqorRTFWriter w;  // A4 portrait: text width 9026
  EXPECT_EQ(w.PercentToTwips(50), 4513);
  EXPECT_EQ(w.PercentToTwips(25), 2256);  // 2256.5
  EXPECT_EQ(w.PercentToTwips(75), 6770);  // 6769.5
  EXPECT_EQ(w.PercentToTwips(1), 90);     // 90.26
  EXPECT_EQ(w.PercentToTwips(0), 0);
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
  // A folder named like a picture is no picture file.
  std::filesystem::create_directory(dir / "folder.png");
  EXPECT_EQ(Body([&](TqorRTFWriter& w) { w.WritePicture(dir / "folder.png", 100); }), "");
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
