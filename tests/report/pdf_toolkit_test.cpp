#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "report/uPDFToolkit.h"

namespace {

// How often a text occurs in another.
size_t Occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The toolkit the reports use: A4, millimetres from the top-left corner.
struct MillimetreToolkit : ::testing::Test {
  MillimetreToolkit() {
    pdf.SetPageSize("A4");
    pdf.SetOrigin(1);
    pdf.SetMeasurementUnits(1);
  }
  std::string Content() { return pdf.Painter().Content(); }
  TPDFToolkit pdf;
};

TEST_F(MillimetreToolkit, UnitsAndOrigins) {
  EXPECT_NEAR(pdf.PageWidth(), 210, 1e-9);
  EXPECT_NEAR(pdf.PageHeight(), 297, 1e-9);
  pdf.DrawLine(25, 25, 0, 0);
  EXPECT_NE(Content().find("70.8661 771.0236 m 0 841.8897 l S\n"), std::string::npos);

  pdf.SetOrigin(2);  // top-right
  pdf.DrawLine(25, 25, 0, 0);
  EXPECT_NE(Content().find("524.4094 771.0236 m 595.2755 841.8897 l S\n"), std::string::npos);
  pdf.SetOrigin(3);            // bottom-right
  pdf.SetMeasurementUnits(2);  // inches
  pdf.DrawLine(1, 1, 0, 0);
  EXPECT_NE(Content().find("523.2755 72 m 595.2755 0 l S\n"), std::string::npos);
  EXPECT_NEAR(pdf.PageWidth(), 595.2755905511812 / 72, 1e-12);
  pdf.SetOrigin(7);             // anything else: bottom-left
  pdf.SetMeasurementUnits(-1);  // anything else: points
  pdf.SetLineWidth(0.5);
  pdf.DrawLine(1, 2, 3, 4);
  EXPECT_NE(Content().find("0.5 w 0 J 0 j\n1 2 m 3 4 l S\n"), std::string::npos);
}

TEST(PDFToolkit, PaperSizes) {
  TPDFToolkit pdf;
  EXPECT_EQ(pdf.PageWidth(), 612);
  EXPECT_EQ(pdf.PageHeight(), 792);
  EXPECT_EQ(pdf.SetPageSize("Letter Landscape"), 1);
  EXPECT_NEAR(pdf.PageWidth(), 792, 1e-9);
  EXPECT_NEAR(pdf.PageHeight(), 612, 1e-9);
  for (const char* ledger : {"ledger landscape", "ledger", " LEDGER "}) {
    EXPECT_EQ(pdf.SetPageSize(ledger), 1) << ledger;
    EXPECT_NEAR(pdf.PageWidth(), 1224, 1e-9) << ledger;
    EXPECT_NEAR(pdf.PageHeight(), 792, 1e-9) << ledger;
  }
  EXPECT_EQ(pdf.SetPageSize("landscape a4"), 1);
  EXPECT_NEAR(pdf.PageWidth(), 841.8897637795276, 1e-9);
  EXPECT_EQ(pdf.SetPageSize("isob10"), 1);
  EXPECT_NEAR(pdf.PageWidth(), 31 / 25.4 * 72, 1e-9);
  EXPECT_EQ(pdf.SetPageSize("DL"), 1);
  for (const char* unknown : {"A11", "", "Letterlandscapes", "B 5", "A4 portrait"}) {
    EXPECT_EQ(pdf.SetPageSize(unknown), 0) << unknown;
    EXPECT_NEAR(pdf.PageWidth(), 110 / 25.4 * 72, 1e-9) << unknown;
  }
  // Pages added later copy the current size; only the current page changes.
  EXPECT_EQ(pdf.NewPage(), 2);
  EXPECT_NEAR(pdf.PageHeight(), 220 / 25.4 * 72, 1e-9);
  pdf.SetPageSize("A5");
  pdf.SelectPage(1);
  EXPECT_NEAR(pdf.PageHeight(), 220 / 25.4 * 72, 1e-9);
}

TEST_F(MillimetreToolkit, FilledBoxesMakeTheTextColourBeWrittenAgain) {
  pdf.AddStandardFont(4);
  pdf.SetTextColor(0.2, 0.4, 0.6);
  pdf.DrawTextBox(25, 25, 100, 10, "one", 0);
  pdf.SetFillColor(1, 0, 0);
  pdf.DrawBox(25, 40, 50, 10, 2);
  pdf.DrawTextBox(25, 25, 100, 10, "two", 0);
  std::string content = Content();
  EXPECT_NE(content.find("1 0 0 rg\n70.8661 700.1574 141.7322 28.3464 re\nB\n"), std::string::npos)
      << content;
  EXPECT_EQ(Occurrences(content, "0.2 0.4 0.6 rg\n"), 2u) << content;

  // And the reverse: text written between two boxes of one fill colour makes the second box
  // write its colour again, or it would be filled in the text colour.
  pdf.DrawBox(25, 40, 50, 10, 1);
  pdf.DrawTextBox(25, 25, 100, 10, "three", 0);
  pdf.DrawBox(25, 40, 50, 10, 1);
  content = Content();
  size_t third = content.find("(three) Tj");
  ASSERT_NE(third, std::string::npos);
  EXPECT_NE(content.find("1 0 0 rg\n", third), std::string::npos) << content;
  EXPECT_NE(content.find("re\nf\n", third), std::string::npos);
}

TEST_F(MillimetreToolkit, TextsShareATextObjectUntilTheStateChanges) {
  pdf.AddStandardFont(4);
  pdf.DrawTextBox(25, 25, 100, 10, "first", 1);
  pdf.DrawTextBox(25, 35, 100, 10, "second", 1);
  std::string content = Content();
  EXPECT_EQ(Occurrences(content, "BT\n"), 1u) << content;
  EXPECT_EQ(Occurrences(content, "ET\n"), 1u);
  EXPECT_TRUE(
      std::regex_search(content, std::regex("BT\n1 0 0 1 [0-9.]+ [0-9.]+ Tm\n\\(first\\) Tj\n"
                                            "1 0 0 1 [0-9.]+ [0-9.]+ Tm\n\\(second\\) Tj\nET\n$")))
      << content;

  pdf.SetTextSize(9);
  pdf.DrawTextBox(25, 45, 100, 10, "third", 1);
  content = Content();
  EXPECT_EQ(Occurrences(content, "BT\n"), 2u);
  EXPECT_TRUE(std::regex_search(content, std::regex("\\(second\\) Tj\nET\n/RereF[0-9a-f]{8} 9 Tf\n"
                                                    "BT\n1 0 0 1 [0-9.]+ [0-9.]+ Tm\n"
                                                    "\\(third\\) Tj\nET\n$")))
      << content;
}

TEST_F(MillimetreToolkit, FontHandles) {
  EXPECT_EQ(pdf.SetTextSize(10), 1);  // adds Helvetica first
  EXPECT_EQ(pdf.Document().FontCount(), 1u);
  TPDFHandle times = pdf.AddStandardFont(8);
  TPDFHandle courier = pdf.AddStandardFont(0);
  ASSERT_NE(times, 0);
  EXPECT_EQ(pdf.AddStandardFont(14), 0);
  EXPECT_EQ(pdf.SelectedFont()->BaseFont(), std::string("Courier"));

  TPDFToolkit other;
  TPDFHandle foreign = other.AddStandardFont(8);
  TPDFHandle outline = pdf.NewOutline(0, "Chapter", 1, 10);
  ASSERT_NE(outline, 0);
  for (TPDFHandle bad : {TPDFHandle{0}, TPDFHandle{-1}, TPDFHandle{1}, times + 100, foreign,
                         outline, courier ^ (TPDFHandle{1} << 40)}) {
    EXPECT_EQ(pdf.SelectFont(bad), 0) << bad;
    EXPECT_EQ(pdf.SelectedFont()->BaseFont(), std::string("Courier"));
  }
  EXPECT_EQ(pdf.SetOutlineStyle(times, 0, 1), 0);
  EXPECT_EQ(pdf.SetOutlineStyle(outline, 0, 1), 1);
  EXPECT_EQ(pdf.NewOutline(times, "Child of a font", 1, 10), 0);
  EXPECT_EQ(pdf.NewOutline(outline, "On no page", 2, 10), 0);
  EXPECT_EQ(pdf.SelectImage(times), 0);
  EXPECT_EQ(pdf.DrawImage(0, 0, 10, 10), 0);  // no image selected

  EXPECT_EQ(pdf.SelectFont(times), 1);
  EXPECT_EQ(pdf.Painter().FontSize(), 12);
  // The font goes on the page it is selected on, and again on every page selected later.
  pdf.NewPage();
  std::string resources = pdf.Pages().CurrentPage()->Text();
  EXPECT_NE(resources.find(pdf.SelectedFont()->ResourceName()), std::string::npos);
  EXPECT_EQ(pdf.SelectPage(3), 0);
  EXPECT_EQ(pdf.Pages().Current(), 2);
  EXPECT_EQ(pdf.SelectPage(1), 1);
  EXPECT_EQ(pdf.PageCount(), 2);
}

TEST_F(MillimetreToolkit, TextBoxes) {
  pdf.AddStandardFont(4);
  pdf.SetTextSize(10);
  double w = pdf.GetTextWidth("W");
  EXPECT_NEAR(w, 9.44 * 25.4 / 72, 1e-12);
  EXPECT_EQ(pdf.DrawTextBox(25, 25, w * 0.99, 20, "W", 0), 0);
  EXPECT_EQ(pdf.DrawTextBox(25, 25, 100, 20, "x", 6), 0);
  EXPECT_EQ(pdf.DrawTextBox(25, 25, 100, 20, "x", -1), 0);
  EXPECT_EQ(Content().find("Tj"), std::string::npos);
  EXPECT_NEAR(pdf.GetTextWidth("a\tb\r\n"), pdf.GetTextWidth("ab"), 1e-12);

  // Words wrap, a line feed breaks, a word wider than the box is cut; all lines fit.
  double box = pdf.GetTextWidth("alpha beta") * 1.01;
  EXPECT_EQ(pdf.DrawTextBox(10, 10, box, 100, "alpha beta gamma\r\ndelta\nepsilonzetaeta", 1), 1);
  std::string content = Content();
  std::vector<std::string> lines;
  std::regex shown("\\((.*)\\) Tj\n");
  for (auto it = std::sregex_iterator(content.begin(), content.end(), shown);
       it != std::sregex_iterator(); ++it)
    lines.push_back((*it)[1]);
  ASSERT_GE(lines.size(), 5u) << content;
  EXPECT_EQ(lines[0], "alpha beta");
  EXPECT_EQ(lines[1], "gamma");
  EXPECT_EQ(lines[2], "delta");
  std::string joined;
  for (size_t i = 3; i < lines.size(); ++i) {
    EXPECT_LE(pdf.GetTextWidth(lines[i]), box) << lines[i];
    joined += lines[i];
  }
  EXPECT_EQ(joined, "epsilonzetaeta");
}

TEST_F(MillimetreToolkit, TextBoxLinesStandWhereTheOptionSays) {
  pdf.AddStandardFont(4);
  pdf.SetTextSize(10);
  // A4 in points: the box from 100 mm down 20 mm is y 558.4251 .. 501.7322.
  double top = 841.8897637795276 - 100 / 25.4 * 72, height = 20 / 25.4 * 72;
  auto baseline = [&](int option, const char* text) {
    pdf.DrawTextBox(20, 100, 150, 20, text, option);
    std::string content = Content();
    std::string y;
    std::regex tm("1 0 0 1 [0-9.]+ ([0-9.]+) Tm\n");
    for (auto it = std::sregex_iterator(content.begin(), content.end(), tm);
         it != std::sregex_iterator(); ++it)
      y = (*it)[1];  // the last line drawn
    return y.empty() ? 0.0 : std::stod(y);
  };
  EXPECT_NEAR(baseline(1, "top"), top - 9.31, 1e-3);
  EXPECT_NEAR(baseline(4, "top\r\nsecond"), top - 9.31, 1e-3);
  EXPECT_NEAR(baseline(2, "bottom"), top - height + 11.56 - 9.31, 1e-3);
  EXPECT_NEAR(baseline(0, "centre"), top - (height - 11.56) / 2 - 9.31, 1e-3);
  EXPECT_NEAR(baseline(0, "two\nlines"), top - (height - 2 * 11.56) / 2 - 9.31 - 11.56, 1e-3);

  // Lines that do not fit the height are dropped from the end; options 3 to 5 keep one line.
  size_t shown = Occurrences(Content(), "Tj");
  pdf.DrawTextBox(20, 100, 150, 10, "1\n2\n3\n4\n\n", 1);  // 28.35 points: two lines
  EXPECT_EQ(Occurrences(Content(), "Tj"), shown + 2);
  pdf.DrawTextBox(20, 100, 150, 10, "1\n2", 5);
  EXPECT_EQ(Occurrences(Content(), "Tj"), shown + 3);
  pdf.DrawTextBox(20, 100, 150, 3, "taller than the box", 1);
  EXPECT_EQ(Occurrences(Content(), "Tj"), shown + 3);

  // Centred and right-aligned lines end where the box says.
  pdf.SelectPage(1);
  pdf.SetTextSize(10);
  pdf.SetTextAlign(2);
  pdf.SetOrigin(0);
  pdf.SetMeasurementUnits(0);
  pdf.DrawTextBox(100, 500, 200, 20, "right", 1);
  pdf.SetTextAlign(1);
  pdf.DrawTextBox(100, 500, 200, 20, "mid", 1);
  std::string content = Content();
  std::smatch m;
  ASSERT_TRUE(std::regex_search(content, m, std::regex("1 0 0 1 ([0-9.]+) [0-9.]+ Tm\n\\(right")));
  EXPECT_NEAR(std::stod(m[1]) + pdf.GetTextWidth("right"), 300, 1e-3);
  ASSERT_TRUE(std::regex_search(content, m, std::regex("1 0 0 1 ([0-9.]+) [0-9.]+ Tm\n\\(mid")));
  EXPECT_NEAR(std::stod(m[1]) + pdf.GetTextWidth("mid") / 2, 200, 1e-3);

  // Justified: wrapped lines fill the width with word spacing, the last line does not.
  pdf.SetTextAlign(3);
  pdf.DrawTextBox(100, 400, 60, 100, "aa bb cc dd ee ff gg", 1);
  content = Content();
  // "aa bb cc dd" is 51.7 points wide: 8.3 points spread over three blanks.
  EXPECT_TRUE(
      std::regex_search(content, std::regex("0 Tc 2.766\\d* Tw\nBT\n1 0 0 1 100 [0-9.]+ Tm\n"
                                            "\\(aa bb cc dd\\) Tj\nET\n0 Tc 0 Tw\nBT\n"
                                            "1 0 0 1 100 [0-9.]+ Tm\n\\(ee ff gg\\) Tj\nET\n$")))
      << content;
  EXPECT_EQ(pdf.Painter().State().WordSpacing, 0);
}

TEST_F(MillimetreToolkit, TextIsWinAnsiInTheContent) {
  pdf.AddStandardFont(4);
  pdf.DrawTextBox(25, 25, 150, 10,
                  "M\xC3\xBCller (Stra\xC3\x9F"
                  "e) \xE2\x82\xAC 5 \xE6\x9D\xB1",
                  1);
  EXPECT_NE(Content().find("(M\xFCller \\(Stra\xDF"
                           "e\\) \x80 5 ?) Tj\n"),
            std::string::npos);
  // Width-less characters are no part of the measured width.
  EXPECT_NEAR(pdf.GetTextWidth("\xE2\x82\xAC"), 5.56 * 12 / 10 * 25.4 / 72, 1e-12);
}

// A layout that records what it was asked and draws one text in its own colours.
struct RecordingLayout : TPDFHTMLLayout {
  TResult Layout(TPDFPainter& painter, const std::array<TPDFFont*, 4>& fonts,
                 const TRequest& request) override {
    ++calls;
    html = std::string(request.Html);
    left = request.Left;
    top = request.Top;
    width = request.Width;
    limit = request.HeightLimit;
    draw = request.Draw;
    stateOnEntry = painter.State();
    resources = painter.Page()->Text();
    fontNames = {fonts[0]->BaseFont(), fonts[1]->BaseFont(), fonts[2]->BaseFont(),
                 fonts[3]->BaseFont()};
    for (TPDFFont* f : fonts) fontResources.push_back(f->ResourceName());
    if (request.Draw) {
      painter.SetFont(fonts[1], 22);
      painter.SetTextColor(TPDFColor::CMYK(0, 1, 1, 0));
      painter.DrawText(request.Left, request.Top - 20, "html");
    }
    return {28.3464566929, request.HeightLimit > 0 ? "<p>rest" : ""};
  }
  int calls = 0;
  std::string html;
  double left = 0, top = 0, width = 0, limit = 0;
  bool draw = false;
  TPDFPainterState stateOnEntry;
  std::string resources;
  std::vector<std::string> fontNames, fontResources;
};

TEST_F(MillimetreToolkit, HTMLOperationsFrameTheLayout) {
  auto owned = std::make_unique<RecordingLayout>();
  RecordingLayout& layout = *owned;
  pdf.SetHTMLLayout(std::move(owned));

  EXPECT_EQ(pdf.GetHTMLTextHeight(0, "x"), 0);
  pdf.DrawHTMLText(10, 10, -1, "x");
  EXPECT_EQ(pdf.DrawHTMLTextBox(10, 10, 0, 10, "x"), "");
  EXPECT_EQ(layout.calls, 0);
  EXPECT_EQ(pdf.Document().FontCount(), 0u);

  // Measuring: characters without width are gone, the height comes back in millimetres.
  EXPECT_NEAR(pdf.GetHTMLTextHeight(100, "<p>a\r\nb\tc</p>"), 10, 1e-9);
  EXPECT_EQ(layout.html, "<p>abc</p>");
  EXPECT_FALSE(layout.draw);
  EXPECT_NEAR(layout.width, 283.4645, 1e-4);
  EXPECT_EQ(layout.fontNames,
            (std::vector<std::string>{"Helvetica", "Helvetica-Bold", "Helvetica-Oblique",
                                      "Helvetica-BoldOblique"}));
  for (const std::string& name : layout.fontResources)
    EXPECT_NE(layout.resources.find("/" + name + " "), std::string::npos) << name;
  EXPECT_EQ(pdf.Document().FontCount(), 5u);  // Helvetica first, then the four HTML fonts
  EXPECT_EQ(pdf.SelectedFont(), pdf.Document().Font(0));

  // Drawing: the layout starts from the defaults and the caller's settings come back, to be
  // written again before the next text.
  pdf.SetTextSize(9);
  pdf.SetTextColor(0, 0, 1);
  pdf.SetLineWidth(0.5);
  pdf.DrawHTMLText(25, 25, 100, "<b>x</b>");
  EXPECT_NEAR(layout.left, 70.8661, 1e-4);
  EXPECT_NEAR(layout.top, 771.0236, 1e-4);
  EXPECT_EQ(layout.limit, 0);
  EXPECT_EQ(layout.stateOnEntry.Font, nullptr);
  EXPECT_EQ(layout.stateOnEntry.TextColor, TPDFColor::RGB(0, 0, 0));
  EXPECT_EQ(layout.stateOnEntry.LineWidth, 1);
  EXPECT_EQ(pdf.Painter().FontSize(), 9);
  EXPECT_EQ(pdf.Painter().State().TextColor, TPDFColor::RGB(0, 0, 1));
  pdf.DrawTextBox(25, 50, 100, 10, "after", 1);
  std::string content = Content();
  size_t after = content.find("(html) Tj");
  ASSERT_NE(after, std::string::npos);
  EXPECT_NE(content.find(" 9 Tf\n", after), std::string::npos) << content;
  EXPECT_NE(content.find("0 0 1 rg\n", after), std::string::npos) << content;

  EXPECT_EQ(pdf.DrawHTMLTextBox(25, 25, 100, 10, "<p>all</p><p>rest"), "<p>rest");
  EXPECT_NEAR(layout.limit, 28.3464, 1e-4);
  EXPECT_EQ(pdf.Document().FontCount(), 5u);  // the HTML fonts are made once

  // On a new page the HTML fonts go into that page's resources too.
  pdf.NewPage();
  pdf.DrawHTMLText(25, 25, 100, "x");
  for (const std::string& name : layout.fontResources)
    EXPECT_NE(layout.resources.find("/" + name + " "), std::string::npos) << name;
}

}  // namespace
