// The toolkit's files judged by qpdf and poppler: the structure checks, the text extracted, and
// the pixels of rendered pages.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "report/uPDFToolkit.h"
#include "tests/report/pdfTestUtil.h"

namespace {

using pdftest::ExtractedText;
using pdftest::Picture;
using pdftest::QpdfAccepts;
using pdftest::RunCommand;

// Pictures at 127 dots per inch: 5 pixels per millimetre.
constexpr int kDpi = 127;
int Px(double mm) {
  return static_cast<int>(mm * 5);
}

TEST(PDFViewer, BoxesLinesAndTextStandWhereTheMillimetresSay) {
  pdftest::ScratchFolder dir;
  std::string file = dir.File("a4.pdf");
  {
    TPDFToolkit pdf;
    pdf.SetPageSize("A4");
    pdf.SetOrigin(1);
    pdf.SetMeasurementUnits(1);
    pdf.SetFillColor(0, 0, 0);
    pdf.DrawBox(20, 30, 40, 20, 1);
    pdf.SetFillColor(1, 0, 0);
    pdf.SetLineColor(0, 0, 1);
    pdf.SetLineWidth(1);
    pdf.DrawBox(120, 200, 30, 30, 2);
    pdf.SetLineColor(0, 0, 0);
    pdf.DrawLine(20, 150, 190, 150);
    pdf.AddStandardFont(9);
    pdf.SetTextSize(14);
    pdf.DrawTextBox(20, 100, 100, 10, "M\xC3\xBCller", 1);
    pdf.DrawTextBox(20, 110, 100, 10,
                    "Stra\xC3\x9F"
                    "e",
                    1);
    pdf.SetTextAlign(2);
    pdf.DrawTextBox(20, 120, 100, 10, "\xE2\x82\xAC 5", 1);
    pdf.CompressContent();
    ASSERT_EQ(pdf.SaveToFile(file), 1);
  }
  EXPECT_TRUE(QpdfAccepts(file));
  std::string info = RunCommand("pdfinfo '" + file + "'").Output;
  EXPECT_TRUE(std::regex_search(info, std::regex("Pages: +1\n"))) << info;
  EXPECT_TRUE(std::regex_search(info, std::regex("Page size: +595.276 x 841.89 pts \\(A4\\)")))
      << info;
  EXPECT_EQ(ExtractedText(file),
            "M\xC3\xBCller\nStra\xC3\x9F"
            "e\n\xE2\x82\xAC 5\n\f");

  Picture page;
  ASSERT_TRUE(page.Render(file, kDpi, dir.File("a4")));
  ASSERT_EQ(page.Width(), 1050);
  ASSERT_EQ(page.Height(), 1485);
  // The black box: 20..60 mm across, 30..50 mm down.
  EXPECT_TRUE(page.IsDark(Px(21), Px(31)));
  EXPECT_TRUE(page.IsDark(Px(59), Px(49)));
  EXPECT_TRUE(page.IsWhite(Px(19), Px(40)));
  EXPECT_TRUE(page.IsWhite(Px(61), Px(40)));
  EXPECT_TRUE(page.IsWhite(Px(40), Px(29)));
  EXPECT_TRUE(page.IsWhite(Px(40), Px(51)));
  // The red box with its blue 1 mm outline: 120..150 mm across, 200..230 mm down.
  EXPECT_GT(page.R(Px(135), Px(215)), 200);
  EXPECT_LT(page.G(Px(135), Px(215)), 60);
  EXPECT_LT(page.R(Px(120), Px(215)), 60);
  EXPECT_GT(page.B(Px(120), Px(215)), 200);
  EXPECT_TRUE(page.IsWhite(Px(118.5), Px(215)));
  // The line 150 mm down, 1 mm wide.
  EXPECT_TRUE(page.IsDark(Px(100), Px(150)));
  EXPECT_TRUE(page.IsWhite(Px(100), Px(151)));
  EXPECT_TRUE(page.IsWhite(Px(100), Px(149)));
  // Texts at the top of their boxes: ink in the upper part of each box, none above it.
  EXPECT_TRUE(page.AnyDark(Px(20), Px(100), Px(40), Px(105)));
  EXPECT_FALSE(page.AnyDark(Px(15), Px(90), Px(125), Px(99.5)));
  EXPECT_TRUE(page.AnyDark(Px(20), Px(110), Px(40), Px(115)));
  // "€ 5" ends at the right edge of its box, 120 mm.
  EXPECT_TRUE(page.AnyDark(Px(116), Px(120), Px(120), Px(125)));
  EXPECT_FALSE(page.AnyDark(Px(120.5), Px(118), Px(130), Px(130)));
  EXPECT_FALSE(page.AnyDark(Px(20), Px(120), Px(100), Px(125)));
}

TEST(PDFViewer, PagesOutlinesAndContinuedCompressedContent) {
  pdftest::ScratchFolder dir;
  std::string file = dir.File("pages.pdf");
  {
    TPDFToolkit pdf;
    EXPECT_EQ(pdf.SetPageSize("Letter Landscape"), 1);
    pdf.SetOrigin(1);
    pdf.SetMeasurementUnits(1);
    pdf.AddStandardFont(4);
    TPDFHandle chapter = 0;
    for (int page = 1; page <= 3; ++page) {
      if (page > 1) {
        EXPECT_EQ(pdf.NewPage(), page);
      }
      pdf.SetTextSize(12);
      pdf.DrawTextBox(25, 30, 200, 10, "Body of page " + std::to_string(page), 1);
      if (page == 1)
        chapter = pdf.NewOutline(0, "Chapter", page, 30);
      else
        EXPECT_NE(pdf.NewOutline(chapter, "Section " + std::to_string(page), page, 30), 0);
    }
    pdf.SetOutlineStyle(chapter, 0, 1);
    pdf.CompressContent();
    // Page furniture after compression, as the reports draw it.
    for (int page = 1; page <= pdf.PageCount(); ++page) {
      ASSERT_EQ(pdf.SelectPage(page), 1);
      pdf.SetTextSize(6);
      pdf.SetTextAlign(2);
      pdf.DrawTextBox(25, 190, 229.4, 8,
                      "page " + std::to_string(page) + " of " + std::to_string(pdf.PageCount()), 0);
    }
    pdf.CompressContent();
    ASSERT_EQ(pdf.SaveToFile(file), 1);
    EXPECT_EQ(pdf.SaveToFile(dir.File("missing/folder/x.pdf")), 0);
  }
  EXPECT_TRUE(QpdfAccepts(file));
  std::string info = RunCommand("pdfinfo '" + file + "'").Output;
  EXPECT_TRUE(std::regex_search(info, std::regex("Pages: +3\n"))) << info;
  EXPECT_TRUE(std::regex_search(info, std::regex("Page size: +792 x 612 pts \\(letter\\)")))
      << info;
  for (int page = 1; page <= 3; ++page) {
    std::string text = RunCommand("pdftotext -raw -f " + std::to_string(page) + " -l " +
                                  std::to_string(page) + " '" + file + "' -")
                           .Output;
    std::string n = std::to_string(page);
    EXPECT_EQ(text, "Body of page " + n + "\npage " + n + " of 3\n\f") << text;
  }
  // The bookmarks as qpdf reads them.
  std::string outlines = RunCommand("qpdf --json --json-key=outlines '" + file + "'").Output;
  EXPECT_TRUE(std::regex_search(outlines, std::regex("\"title\": \"Chapter\"")));
  EXPECT_TRUE(std::regex_search(outlines, std::regex("\"title\": \"Section 3\"")));
}

TEST(PDFViewer, JPEGImages) {
  pdftest::ScratchFolder dir;
  // JPEG pictures of a page whose upper half is red, made by poppler: one in RGB, one in CMYK
  // (inverted, as Adobe writes CMYK).
  {
    TPDFToolkit source;
    source.SetPageSize("A10");
    source.SetFillColor(1, 0, 0);
    source.DrawBox(0, 105, 74, 52.45, 1);  // the upper half, in points from the bottom-left
    ASSERT_EQ(source.SaveToFile(dir.File("source.pdf")), 1);
  }
  ASSERT_EQ(RunCommand("pdftoppm -r 72 -jpeg -singlefile '" + dir.File("source.pdf") + "' '" +
                       dir.File("colour") + "'")
                .Status,
            0);
  ASSERT_EQ(RunCommand("pdftoppm -r 72 -jpegcmyk -singlefile '" + dir.File("source.pdf") + "' '" +
                       dir.File("cmyk") + "'")
                .Status,
            0);
  pdftest::WriteFile(dir.File("fake.jpg"), "\xFF\xD8 not really");

  std::string file = dir.File("images.pdf");
  {
    TPDFToolkit pdf;
    pdf.SetPageSize("A4");
    pdf.SetOrigin(1);
    pdf.SetMeasurementUnits(1);
    EXPECT_EQ(pdf.AddImageFromFile(dir.File("missing.jpg"), 0), 0);
    EXPECT_EQ(pdf.AddImageFromFile(dir.File("fake.jpg"), 0), 0);
    EXPECT_EQ(pdf.AddImageFromFile(dir.File("source.pdf"), 0), 0);
    EXPECT_EQ(pdf.DrawImage(10, 10, 10, 10), 0);
    TPDFHandle colour = pdf.AddImageFromFile(dir.File("colour.jpg"), 0);
    TPDFHandle cmyk = pdf.AddImageFromFile(dir.File("cmyk.jpg"), 0);
    ASSERT_NE(colour, 0);
    ASSERT_NE(cmyk, 0);
    EXPECT_EQ(pdf.DrawImage(100, 100, 50, 50), 1);  // the selected, CMYK image
    EXPECT_EQ(pdf.SelectImage(colour), 1);
    EXPECT_EQ(pdf.DrawImage(20, 20, 40, 60), 1);
    ASSERT_EQ(pdf.SaveToFile(file), 1);
  }
  EXPECT_TRUE(QpdfAccepts(file));
  std::string list = RunCommand("pdfimages -list '" + file + "'").Output;
  EXPECT_TRUE(std::regex_search(list, std::regex("image +74 +105 +cmyk +4 +8 +jpeg"))) << list;
  EXPECT_TRUE(std::regex_search(list, std::regex("image +74 +105 +rgb +3 +8 +jpeg"))) << list;

  Picture page;
  ASSERT_TRUE(page.Render(file, kDpi, dir.File("images")));
  // The colour image fills 20..60 mm across and 20..80 mm down: red above, white below.
  EXPECT_GT(page.R(Px(40), Px(30)), 200);
  EXPECT_LT(page.G(Px(40), Px(30)), 80);
  EXPECT_TRUE(page.IsWhite(Px(40), Px(70)));
  EXPECT_TRUE(page.IsWhite(Px(18), Px(30)));
  EXPECT_TRUE(page.IsWhite(Px(62), Px(30)));
  // The CMYK image: 100..150 mm both ways, red above, white below.
  EXPECT_GT(page.R(Px(125), Px(110)), 200);
  EXPECT_LT(page.G(Px(125), Px(110)), 80);
  EXPECT_TRUE(page.IsWhite(Px(125), Px(140)));
  EXPECT_TRUE(page.IsWhite(Px(125), Px(98)));
}

}  // namespace
