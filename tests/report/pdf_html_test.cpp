// The inline HTML layout: splitting, measuring, line breaking, alignment, entities and boxes
// that hand back what did not fit. Drawn texts are read back from the page's content.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "report/uPDFHTMLRender.h"
#include "report/uPDFToolkit.h"

namespace {

// One text drawn on the page with the state in force for it (text in WinAnsi bytes).
struct Shown {
  std::string Font;
  double Size = 0, X = 0, Y = 0, CharSpacing = 0, WordSpacing = 0;
  std::string Text;
};

std::vector<Shown> ShownTexts(const std::string& content) {
  static const std::regex op(
      R"((?:/(\S+) ([\d.]+) Tf)|(?:1 0 0 1 (-?[\d.]+) (-?[\d.]+) Tm)|(?:(-?[\d.]+) Tc (-?[\d.]+) Tw)|(?:\(((?:[^\\)]|\\.)*)\) Tj))");
  std::vector<Shown> out;
  Shown s;
  for (auto it = std::sregex_iterator(content.begin(), content.end(), op);
       it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    if (m[1].matched) {
      s.Font = m[1];
      s.Size = std::stod(m[2]);
    } else if (m[3].matched) {
      s.X = std::stod(m[3]);
      s.Y = std::stod(m[4]);
    } else if (m[5].matched) {
      s.CharSpacing = std::stod(m[5]);
      s.WordSpacing = std::stod(m[6]);
    } else {
      s.Text = std::regex_replace(std::string(m[7]), std::regex(R"(\\(.))"), "$1");
      out.push_back(s);
    }
  }
  return out;
}

// A page to lay out on, in points from the bottom-left corner.
struct HTMLLayout : ::testing::Test {
  HTMLLayout() : fonts(pdf.HTMLFontsOnPage()) {}
  // Lays the text out from (100, 700) at the width; a limit of 0 means none.
  TPDFHTMLLayout::TResult Run(const std::string& html, double width, double limit = 0) {
    TPDFHTMLLayout::TRequest request{html, 100, 700, width, limit, true};
    pdf.Painter().ResetState();
    before = pdf.Painter().Content().size();
    return renderer.Layout(pdf.Painter(), fonts, request);
  }
  std::string Content() { return pdf.Painter().Content().substr(before); }
  std::vector<Shown> Drawn() { return ShownTexts(Content()); }
  double WidthOf(const std::string& text, size_t font = 0) {
    return fonts[font]->CodesWidth(fonts[font]->Encode(text), 10);
  }
  std::string Name(size_t font) { return fonts[font]->ResourceName(); }

  TPDFToolkit pdf;
  THTMLRenderer renderer;
  std::array<TPDFFont*, 4> fonts;
  size_t before = 0;
};

TEST(HTMLParser, TagsWordRunsAndEntities) {
  std::vector<THTMLElement> e =
      THTMLParser::Split("<P Align=\"Far Right\" x=1>a &lt;b&gt;\r\n c</p>x > y <i");
  ASSERT_EQ(e.size(), 5u);
  EXPECT_EQ(e[0].Type, "p");
  EXPECT_EQ(e[0].Attributes, (std::vector<std::string>{"align=\"far right\"", "x=1"}));
  EXPECT_EQ(e[1].Words, (std::vector<std::string>{"a", "<b>", "c"}));
  EXPECT_EQ(e[1].Start, 25u);
  EXPECT_EQ(e[2].Type, "/p");
  // A ">" before any "<", and a "<" with no ">" behind it, are text; outer blanks give "".
  EXPECT_EQ(e[3].Words, (std::vector<std::string>{"x", ">", "y", ""}));
  EXPECT_EQ(e[4].Words, (std::vector<std::string>{"<i"}));
  // One pass from left to right: what a user typed as "&lt;" stays "&lt;".
  EXPECT_EQ(THTMLParser::DecodeEntities("a&amp;lt;b &amp; &quot;&nbsp;&"),
            "a&lt;b & &quot;\xC2\xA0&");
  for (std::string typed : {"x & y", "a<b>c", "&amp;", "&nbsp;", "\xC2\xA0"})
    EXPECT_EQ(THTMLParser::DecodeEntities(THTMLParser::EncodeEntities(typed)), typed);
}

TEST_F(HTMLLayout, HeightsFontsAndStyles) {
  // Helvetica 10 lines are 11.56 high; a second paragraph adds half the size; two "br" leave
  // an empty line as high as the others.
  EXPECT_NEAR(Run("<p>one</p><p>two</p>", 300).Height, 28.12, 1e-9);
  EXPECT_NEAR(Run("a<br><br>b", 300).Height, 3 * 11.56, 1e-9);
  EXPECT_EQ(Run("<p></p><b></b>", 300).Height, 0);
  // A heading: font code 10 is 22 points, one line of Helvetica-Bold, baseline 962/1000 of 22
  // below the top.
  EXPECT_NEAR(Run("<p><b><font size=\"10\">Title</font></b></p>", 300).Height, 26.18, 1e-9);
  std::vector<Shown> drawn = Drawn();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].Font, Name(1));
  EXPECT_EQ(drawn[0].Size, 22);
  EXPECT_NEAR(drawn[0].Y, 700 - 21.164, 1e-4);
  // Closing tags take off the top style, whichever it is; the bottom style stays.
  Run("<i>a<b>b</i>c</b></b>d", 300);
  drawn = Drawn();
  ASSERT_EQ(drawn.size(), 4u);
  EXPECT_EQ(drawn[1].Font, Name(3));
  EXPECT_EQ(drawn[2].Font, Name(2));
  EXPECT_EQ(drawn[3].Font, Name(0));
  EXPECT_NEAR(drawn[1].X, 100 + WidthOf("a", 2), 1e-4);
  // Colours, a background half a point wider than the text, an underline 1.25 points below the
  // baseline (690.69).
  Run("<font color=\"#FF8000\"><span background=#0000FF><u>under</u></span></font>", 300);
  const std::string content = Content();
  EXPECT_NE(content.find("1 0.5019 0 rg\n"), std::string::npos) << content;
  EXPECT_NE(content.find("0 0 1 rg\n99.5 688.44 " + PDFNumberText(WidthOf("under") + 1) +
                         " 11.56 re\nf\nQ"),
            std::string::npos)
      << content;
  EXPECT_NE(content.find("0.625 w 0 J 0 j\n[] 0 d\n100 689.44 m "), std::string::npos);
}

TEST_F(HTMLLayout, WordsWrapWithinTheWidth) {
  const std::string text = "The quick brown fox jumps over the lazy dog again and again";
  Run("<p>" + text + "</p>", 120);
  std::vector<Shown> lines = Drawn();
  ASSERT_GT(lines.size(), 2u);
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(WidthOf(lines[i].Text), 120 + 1e-9) << lines[i].Text;
    EXPECT_NEAR(lines[i].Y, 700 - 9.31 - 11.56 * static_cast<double>(i), 1e-3);
    if (i + 1 < lines.size()) {  // no line could have taken the next line's first word
      const std::string next = lines[i + 1].Text.substr(0, lines[i + 1].Text.find(' '));
      EXPECT_GT(WidthOf(lines[i].Text + " " + next), 120) << lines[i].Text;
    }
    joined += (i ? " " : "") + lines[i].Text;
  }
  EXPECT_EQ(joined, text);
  // A word wider than the width is cut into pieces of at least one character.
  Run("Donaudampfschifffahrtsgesellschaft", 40);
  std::string whole;
  for (const Shown& s : Drawn()) {
    EXPECT_LE(WidthOf(s.Text), 40 + 1e-9) << s.Text;
    whole += s.Text;
  }
  EXPECT_EQ(whole, "Donaudampfschifffahrtsgesellschaft");
  Run("WWW", 1);
  EXPECT_EQ(Drawn().size(), 3u);
  // A blank that does not break keeps two words together.
  Run("aaaa bbbb&nbsp;cccc", WidthOf("aaaa bbbb c"));
  lines = Drawn();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].Text,
            "bbbb\xA0"
            "cccc");
}

TEST_F(HTMLLayout, Alignment) {
  Run("<p align=right>ends here</p><p align=\"center\">middle</p>", 300);
  std::vector<Shown> drawn = Drawn();
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_NEAR(drawn[0].X + WidthOf("ends here"), 400, 1e-3);
  EXPECT_NEAR(drawn[1].X - 100, 400 - (drawn[1].X + WidthOf("middle")), 1e-3);
  // Justified: wrapped lines reach the right edge, the last line stays left.
  Run("<p align=justified>one two three four five six seven eight nine ten eleven</p>", 150);
  drawn = Drawn();
  ASSERT_GT(drawn.size(), 1u);
  for (size_t i = 0; i + 1 < drawn.size(); ++i) {
    const double blanks =
        static_cast<double>(std::count(drawn[i].Text.begin(), drawn[i].Text.end(), ' '));
    EXPECT_NEAR(drawn[i].X + WidthOf(drawn[i].Text) + blanks * drawn[i].WordSpacing, 250, 1e-3);
  }
  EXPECT_EQ(drawn.back().WordSpacing, 0);
  // A block in another style starts behind the spread blanks of the one before.
  Run("<p align=justified>aa bb <b>cc</b> dd ee ff gg hh ii jj kk ll mm nn</p>", 80);
  drawn = Drawn();
  ASSERT_EQ(drawn[1].Text, "cc");
  EXPECT_NEAR(drawn[1].X, drawn[0].X + WidthOf(drawn[0].Text) + 2 * drawn[0].WordSpacing, 1e-3);
  // One word alone on a spread line is spread by its letters.
  Run("<p align=justified>Spreading Spreading", WidthOf("Spreading") + 5);
  EXPECT_NEAR(Drawn()[0].CharSpacing * 8, 5, 1e-3);
}

TEST_F(HTMLLayout, UserTextReachesThePageAsTyped) {
  // The report builders write what a user typed with "<", ">" and "&" as entities.
  Run("<p>a&lt;b x &amp; y &gt; 1 &amp;lt; &lt;b&gt;</p>", 400);
  std::vector<Shown> drawn = Drawn();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].Text, "a<b x & y > 1 &lt; <b>");
  EXPECT_EQ(drawn[0].Font, Name(0));
}

TEST_F(HTMLLayout, BoxesHandBackWhatDoesNotFit) {
  // Less than a line of room: a text that starts with a tag keeps all for later, a text that
  // is one run of words is drawn whole.
  auto result = Run("<p>hello world", 200, 5);
  EXPECT_TRUE(Drawn().empty());
  size_t length = 0;
  ASSERT_TRUE(THTMLRenderer::ParseSavedState(result.Overflow, length).has_value());
  EXPECT_EQ(result.Overflow.substr(length), "hello world");
  EXPECT_EQ(Run("hello world", 200, 5).Overflow, "");
  // A long bold text in boxes of three lines: carried on, every word comes once in order, in
  // bold and right-aligned, as typed.
  std::string text;
  for (int i = 1; i <= 40; ++i) text += "w" + std::to_string(i) + (i % 7 ? " " : " a&lt;b&amp; ");
  std::vector<std::string> shown;
  std::string rest = "<p align=right><b>" + text + "</b>tail</p>";
  int boxes = 0;
  for (; !rest.empty() && boxes < 20; ++boxes) {
    result = Run(rest, 100, 3 * 11.9 + 3);
    EXPECT_LE(result.Height, 3 * 11.9 + 3);
    std::vector<Shown> drawn = Drawn();
    for (size_t i = 0; i < drawn.size(); ++i) {
      for (const std::string& w : THTMLParser::SplitWords(drawn[i].Text))
        if (!w.empty()) shown.push_back(w);
      if (drawn[i].Text != "tail") {
        EXPECT_EQ(drawn[i].Font, Name(1)) << drawn[i].Text;
      }
      if (i + 1 == drawn.size() || drawn[i + 1].Y != drawn[i].Y) {  // a line's last block
        EXPECT_NEAR(drawn[i].X + WidthOf(drawn[i].Text, drawn[i].Text == "tail" ? 0 : 1), 200,
                    1e-3);
      }
    }
    rest = result.Overflow;
  }
  EXPECT_GT(boxes, 3);
  std::vector<std::string> expected;
  for (const std::string& w : THTMLParser::SplitWords(THTMLParser::DecodeEntities(text) + "tail"))
    if (!w.empty()) expected.push_back(w);
  EXPECT_EQ(shown, expected);
}

TEST(HTMLSavedState, FormatAndParse) {
  THTMLStackItem top;
  top.Font = 3;
  top.Size = 22.5;
  top.Color = "00ff0000";
  top.Background = "##ffee00";
  top.Decoration = TPDFDecoration::kDoubleUnderline;
  top.Flags = 1;
  const THTMLSavedState state{{THTMLStackItem(), top}, TPDFTextAlign::kJustify};
  const std::string text = THTMLRenderer::FormatSavedState(state);
  EXPECT_EQ(text,
            "<stack><!--00000002000000000010.000##000000        N00000000"
            "000000030022.50000ff0000##ffee00D00000001J--></stack>");
  size_t length = 0;
  auto parsed = THTMLRenderer::ParseSavedState(text + "rest", length);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, state);
  EXPECT_EQ(length, text.size());
  // A count beyond the entries there, or a cut text, is no saved state.
  EXPECT_FALSE(THTMLRenderer::ParseSavedState("<stack><!--00000009" + text.substr(19), length));
  EXPECT_FALSE(THTMLRenderer::ParseSavedState(text.substr(0, text.size() - 1), length));
}

}  // namespace
