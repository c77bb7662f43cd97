// The inline HTML layout: splitting, measuring, line breaking, alignment, entities and boxes
// that hand back what did not fit. Drawn texts are read back from the page's content.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "report/uPDFHTMLRender.h"
#include "report/uPDFToolkit.h"

namespace {

// One text drawn on the page: font resource, size, position and the text (WinAnsi bytes).
struct Shown {
  std::string Font;
  double Size = 0;
  double X = 0, Y = 0;
  double CharSpacing = 0, WordSpacing = 0;
  std::string Text;
};

std::string Unescape(const std::string& literal) {
  std::string out;
  for (size_t i = 0; i < literal.size(); ++i) {
    if (literal[i] == '\\' && i + 1 < literal.size()) ++i;
    out += literal[i];
  }
  return out;
}

// The texts of a content stream in the order drawn, with the state in force for each.
std::vector<Shown> ShownTexts(const std::string& content) {
  static const std::regex op(
      R"((?:/(\S+) ([\d.]+) Tf)|(?:1 0 0 1 (-?[\d.]+) (-?[\d.]+) Tm)|(?:(-?[\d.]+) Tc (-?[\d.]+) Tw)|(?:\(((?:[^\\)]|\\.)*)\) Tj))");
  std::vector<Shown> out;
  Shown state;
  for (auto it = std::sregex_iterator(content.begin(), content.end(), op);
       it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    if (m[1].matched) {
      state.Font = m[1];
      state.Size = std::stod(m[2]);
    } else if (m[3].matched) {
      state.X = std::stod(m[3]);
      state.Y = std::stod(m[4]);
    } else if (m[5].matched) {
      state.CharSpacing = std::stod(m[5]);
      state.WordSpacing = std::stod(m[6]);
    } else {
      state.Text = Unescape(m[7]);
      out.push_back(state);
    }
  }
  return out;
}

// A page to lay out on, in points from the bottom-left corner, with the layout installed.
struct HTMLLayout : ::testing::Test {
  HTMLLayout() {
    pdf.SetHTMLLayout(std::make_unique<THTMLRenderer>());
    fonts = pdf.HTMLFontsOnPage();
  }
  // Lays the text out directly, from (left, top) at the width; limit 0 means none.
  TPDFHTMLLayout::TResult Run(const std::string& html, double width, double limit = 0,
                              bool draw = true, double left = 100, double top = 700) {
    TPDFHTMLLayout::TRequest request;
    request.Html = html;
    request.Left = left;
    request.Top = top;
    request.Width = width;
    request.HeightLimit = limit;
    request.Draw = draw;
    pdf.Painter().ResetState();
    before = pdf.Painter().Content().size();
    return renderer.Layout(pdf.Painter(), fonts, request);
  }
  // The texts drawn by the last Run.
  std::vector<Shown> Drawn() { return ShownTexts(pdf.Painter().Content().substr(before)); }
  std::string DrawnContent() { return pdf.Painter().Content().substr(before); }
  // Width in points of text in one of the four fonts.
  double WidthOf(const std::string& text, int font = 0, double size = 10) {
    return fonts[static_cast<size_t>(font)]->CodesWidth(
        fonts[static_cast<size_t>(font)]->Encode(text), size);
  }
  std::string Name(int font) { return fonts[static_cast<size_t>(font)]->ResourceName(); }

  TPDFToolkit pdf;
  THTMLRenderer renderer;
  std::array<TPDFFont*, 4> fonts{};
  size_t before = 0;
};

TEST(HTMLParser, TagsWordRunsAndEntities) {
  std::vector<THTMLElement> e =
      THTMLParser::Split("<P Align=\"Far Right\" x=1>a &lt;b&gt;\r\n  c</p>x > y <i");
  ASSERT_EQ(e.size(), 5u);
  EXPECT_EQ(e[0].ElementKind, THTMLElement::kTag);
  EXPECT_EQ(e[0].Type, "p");
  EXPECT_EQ(e[0].Attributes, (std::vector<std::string>{"align=\"far right\"", "x=1"}));
  EXPECT_EQ(e[1].Words, (std::vector<std::string>{"a", "<b>", "c"}));
  EXPECT_EQ(e[1].Start, 25u);
  EXPECT_EQ(e[2].Type, "/p");
  // A ">" before any "<" and a "<" without a ">" behind it are text.
  EXPECT_EQ(e[3].Words, (std::vector<std::string>{"x", ">", "y", ""}));
  EXPECT_EQ(e[4].Words, (std::vector<std::string>{"<i"}));

  // A leading and a trailing blank give empty words; runs of blanks are one blank.
  EXPECT_EQ(THTMLParser::SplitWords(" a \t b "), (std::vector<std::string>{"", "a", "b", ""}));
  // One pass from left to right: what a user typed as "&lt;" stays "&lt;".
  EXPECT_EQ(THTMLParser::DecodeEntities("a&amp;lt;b &amp; &quot;c&nbsp;&"),
            "a&lt;b & &quot;c\xC2\xA0&");
  for (std::string typed : {"x & y", "a<b>c", "&amp;", "&nbsp;", "\xC2\xA0"})
    EXPECT_EQ(THTMLParser::DecodeEntities(THTMLParser::EncodeEntities(typed)), typed) << typed;
}

TEST_F(HTMLLayout, LineHeightsParagraphsAndBreaks) {
  // Helvetica 10: 11.56 per line; the second paragraph adds half the size.
  EXPECT_NEAR(Run("<p>one</p><p>two</p>", 300, 0, false).Height, 28.12, 1e-9);
  // Two "br" give an empty line between, as high as the others.
  EXPECT_NEAR(Run("a<br><br>b", 300, 0, false).Height, 3 * 11.56, 1e-9);
  EXPECT_NEAR(Run("a<br>b", 300, 0, false).Height, 2 * 11.56, 1e-9);
  EXPECT_EQ(Run("", 300).Height, 0);
  EXPECT_EQ(Run("<p></p><b></b>", 300).Height, 0);

  // A heading: bold, font code 10 is 22 points, one line of Helvetica-Bold 22.
  auto heading = Run("<p><b><font size=\"10\">Title</font></b></p>", 300);
  EXPECT_NEAR(heading.Height, 26.18, 1e-9);
  std::vector<Shown> drawn = Drawn();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].Font, Name(1));
  EXPECT_EQ(drawn[0].Size, 22);
  EXPECT_EQ(drawn[0].X, 100);
  // The baseline lies the font's height above it below the top: 962 thousandths of 22.
  EXPECT_NEAR(drawn[0].Y, 700 - 21.164, 1e-4);

  // Styles stack and come off in any order; the bottom style stays.
  Run("<i>a<b>b</i>c</b></b></b>d", 300);
  drawn = Drawn();
  ASSERT_EQ(drawn.size(), 4u);
  EXPECT_EQ(drawn[0].Font, Name(2));
  EXPECT_EQ(drawn[1].Font, Name(3));
  EXPECT_EQ(drawn[2].Font, Name(2));
  EXPECT_EQ(drawn[3].Font, Name(0));
  // One line: each block starts where the one before ended.
  EXPECT_NEAR(drawn[1].X, 100 + WidthOf("a", 2), 1e-4);
  EXPECT_EQ(drawn[0].Y, drawn[3].Y);
}

TEST_F(HTMLLayout, WordsWrapWithinTheWidth) {
  const std::string text = "The quick brown fox jumps over the lazy dog again and again";
  const double width = 120;
  auto result = Run("<p>" + text + "</p>", width);
  std::vector<Shown> lines = Drawn();
  ASSERT_GT(lines.size(), 2u);
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(WidthOf(lines[i].Text), width + 1e-9) << lines[i].Text;
    EXPECT_EQ(lines[i].X, 100);
    EXPECT_NEAR(lines[i].Y, 700 - 9.31 - 11.56 * static_cast<double>(i), 1e-3);
    // No line could have taken the next line's first word.
    if (i + 1 < lines.size()) {
      std::string next = lines[i + 1].Text.substr(0, lines[i + 1].Text.find(' '));
      EXPECT_GT(WidthOf(lines[i].Text + " " + next), width) << lines[i].Text;
    }
    joined += (i ? " " : "") + lines[i].Text;
  }
  EXPECT_EQ(joined, text);
  EXPECT_NEAR(result.Height, 11.56 * static_cast<double>(lines.size()), 1e-9);

  // A word wider than the width is cut into pieces of at least one character, each fitting.
  Run("Donaudampfschifffahrtsgesellschaft", 40);
  lines = Drawn();
  ASSERT_GT(lines.size(), 1u);
  std::string whole;
  for (const Shown& s : lines) {
    EXPECT_LE(WidthOf(s.Text), 40 + 1e-9) << s.Text;
    whole += s.Text;
  }
  EXPECT_EQ(whole, "Donaudampfschifffahrtsgesellschaft");
  Run("WWW", 1);
  EXPECT_EQ(Drawn().size(), 3u);

  // A blank that does not break: two words stay together, the gap a blank wide.
  Run("aaaa bbbb&nbsp;cccc", WidthOf("aaaa bbbb c"));
  lines = Drawn();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].Text,
            "bbbb\xA0"
            "cccc");
  EXPECT_DOUBLE_EQ(WidthOf("bbbb\xC2\xA0"
                           "cccc"),
                   WidthOf("bbbb cccc"));
}

TEST_F(HTMLLayout, Alignment) {
  // Right: the text ends at left + width. Centre: the same room on both sides.
  Run("<p align=right>ends here</p>", 300);
  std::vector<Shown> drawn = Drawn();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_NEAR(drawn[0].X + WidthOf("ends here"), 400, 1e-3);
  Run("<p align=\"center\">middle</p>", 300);
  drawn = Drawn();
  EXPECT_NEAR(drawn[0].X - 100, 400 - (drawn[0].X + WidthOf("middle")), 1e-3);
  // The last of several matches wins, in the order right, justified, centre.
  Run("<p align=center align=right>x</p>", 300);
  EXPECT_NEAR(Drawn()[0].X + WidthOf("x") / 2, 250, 1e-3);
  // An alignment lasts to the next paragraph, which starts out left.
  Run("<p align=right>a</p>b<p>c", 300);
  drawn = Drawn();
  ASSERT_EQ(drawn.size(), 3u);
  EXPECT_NEAR(drawn[1].X + WidthOf("b"), 400, 1e-3);
  EXPECT_EQ(drawn[2].X, 100);

  // Justified: every wrapped line spreads to the right edge, the last line stays left.
  const double width = 150;
  Run("<p align=justified>one two three four five six seven eight nine ten eleven</p>", width);
  drawn = Drawn();
  ASSERT_GT(drawn.size(), 1u);
  for (size_t i = 0; i + 1 < drawn.size(); ++i) {
    const Shown& line = drawn[i];
    double blanks = static_cast<double>(std::count(line.Text.begin(), line.Text.end(), ' '));
    EXPECT_GT(line.WordSpacing, 0) << line.Text;
    EXPECT_NEAR(line.X + WidthOf(line.Text) + blanks * line.WordSpacing, 100 + width, 1e-3);
  }
  EXPECT_EQ(drawn.back().WordSpacing, 0);
  // A justified line of blocks in two styles: the bold block starts behind the spread blanks.
  Run("<p align=justified>aa bb <b>cc</b> dd ee ff gg hh ii jj kk ll mm nn</p>", 80);
  drawn = Drawn();
  ASSERT_GE(drawn.size(), 3u);
  EXPECT_EQ(drawn[1].Text, "cc");
  EXPECT_NEAR(drawn[1].X, drawn[0].X + WidthOf(drawn[0].Text) + 2 * drawn[0].WordSpacing, 1e-3);
  // One word alone on a justified line is spread by its letters.
  Run("<p align=justified>Spread<br>x</p>", 100);
  drawn = Drawn();
  EXPECT_EQ(drawn[0].CharSpacing, 0);  // a line ended by "br" stays left
  Run("<p align=justified>Spreading Spreading", WidthOf("Spreading") + 5);
  drawn = Drawn();
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_NEAR(drawn[0].CharSpacing * 8, 5, 1e-3);
}

TEST_F(HTMLLayout, UserTextReachesThePageAsTyped) {
  // The report builders write what a user typed with "<", ">" and "&" as entities.
  Run("<p>a&lt;b x &amp; y &gt; 1 &amp;lt; &amp;amp;</p>", 400);
  std::vector<Shown> drawn = Drawn();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].Text, "a<b x & y > 1 &lt; &amp;");
  // Tags spelled with entities are text, not tags.
  Run("&lt;b&gt;not bold&lt;/b&gt;", 400);
  drawn = Drawn();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].Font, Name(0));
  EXPECT_EQ(drawn[0].Text, "<b>not bold</b>");
}

TEST_F(HTMLLayout, ColoursBackgroundsAndDecorations) {
  Run("<font color=\"#FF8000\">red</font><font color=00FF0000>cmyk</font>", 300);
  std::string content = DrawnContent();
  EXPECT_NE(content.find("1 0.5019 0 rg\n"), std::string::npos) << content;
  EXPECT_NE(content.find("0 1 0 0 k\n"), std::string::npos) << content;

  // A background: a filled rectangle half a point wider than the text on each side, one line
  // high, drawn before the text; an underline 1.25 points below the baseline.
  Run("<span background=#0000FF><u>under</u></span>", 300, 0, true, 100, 700);
  content = DrawnContent();
  const double w = WidthOf("under");
  std::regex rect(R"(0 0 1 rg\n99.5 688.44 ([\d.]+) 11.56 re\nf\nQ)");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(content, m, rect)) << content;
  EXPECT_NEAR(std::stod(m[1]), w + 1, 1e-3);
  EXPECT_NE(content.find("0.625 w 0 J 0 j\n[] 0 d\n100 689.44 m "), std::string::npos) << content;
  EXPECT_LT(content.find(" re\n"), content.find("(under) Tj"));
  // Strike-out and a rounded background.
  Run("<u style=strikeout><span background=#00ff00 roundback=yes>s</span></u>", 300);
  content = DrawnContent();
  EXPECT_NE(content.find(" c\n"), std::string::npos);  // the rounded corners
  EXPECT_NE(content.find("100 693.69 m "), std::string::npos) << content;
}

TEST_F(HTMLLayout, BoxesHandBackWhatDoesNotFit) {
  // Less than one line of room: a text starting with a tag keeps everything for later...
  auto result = Run("<p>hello world", 200, 5);
  EXPECT_EQ(result.Height, 0);
  EXPECT_TRUE(Drawn().empty());
  size_t stateLength = 0;
  auto state = THTMLRenderer::ParseSavedState(result.Overflow, stateLength);
  ASSERT_TRUE(state.has_value()) << result.Overflow;
  EXPECT_EQ(result.Overflow.substr(stateLength), "hello world");
  // ...and a text that is one run of words is drawn whole.
  result = Run("hello world", 200, 5);
  EXPECT_EQ(result.Overflow, "");
  EXPECT_EQ(Drawn().size(), 1u);

  // A long bold text in boxes of three lines: the rest, carried on, gives every word once in
  // order, in bold and right-aligned, with what a user typed intact.
  std::string text;
  for (int i = 1; i <= 40; ++i) text += "w" + std::to_string(i) + (i % 7 ? " " : " a&lt;b&amp; ");
  const std::string html = "<p align=right><b>" + text + "</b>tail</p>";
  std::vector<std::string> shown;
  std::string rest = html;
  int boxes = 0;
  while (!rest.empty() && boxes < 20) {
    result = Run(rest, 100, 3 * 11.9 + 3);
    std::vector<Shown> drawn = Drawn();
    for (size_t i = 0; i < drawn.size(); ++i) {
      const Shown& s = drawn[i];
      for (size_t at = 0; at < s.Text.size();) {
        size_t end = std::min(s.Text.find(' ', at), s.Text.size());
        if (end > at) shown.push_back(s.Text.substr(at, end - at));
        at = end + 1;
      }
      // Each line's last block ends at the right edge.
      if (i + 1 == drawn.size() || drawn[i + 1].Y != s.Y) {
        EXPECT_NEAR(s.X + WidthOf(s.Text, s.Font == Name(1) ? 1 : 0), 200, 1e-3) << s.Text;
      }
      if (s.Text != "tail") {
        EXPECT_EQ(s.Font, Name(1)) << s.Text;
      }
    }
    EXPECT_LE(result.Height, 3 * 11.9 + 3);
    if (!result.Overflow.empty()) {
      auto saved = THTMLRenderer::ParseSavedState(result.Overflow, stateLength);
      ASSERT_TRUE(saved.has_value()) << result.Overflow;
      EXPECT_EQ(saved->Align, TPDFTextAlign::kRight);
      ASSERT_EQ(saved->Stack.size(), 2u);
      EXPECT_EQ(saved->Stack[1].Font, 1);
    }
    rest = result.Overflow;
    ++boxes;
  }
  EXPECT_GT(boxes, 3);
  std::vector<std::string> expected;
  for (const std::string& w : THTMLParser::SplitWords(text + "tail"))
    if (!w.empty()) expected.push_back(w);
  EXPECT_EQ(shown, expected);
}

TEST(HTMLSavedState, FormatAndParse) {
  THTMLSavedState state;
  THTMLStackItem bottom;
  THTMLStackItem top;
  top.Font = 3;
  top.Size = 22.5;
  top.Color = "00ff0000";
  top.Background = "##ffee00";
  top.Decoration = TPDFDecoration::kDoubleUnderline;
  top.Flags = 1;
  state.Stack = {bottom, top};
  state.Align = TPDFTextAlign::kJustify;
  const std::string text = THTMLRenderer::FormatSavedState(state);
  EXPECT_EQ(text,
            "<stack><!--00000002"
            "000000000010.000##000000        N00000000"
            "000000030022.50000ff0000##ffee00D00000001"
            "J--></stack>");
  size_t length = 0;
  auto parsed = THTMLRenderer::ParseSavedState(text + "rest", length);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, state);
  EXPECT_EQ(length, text.size());
  // Anything else at the start is no saved state, and is laid out as text.
  for (const std::string& bad :
       {text.substr(0, text.size() - 1), std::string("<stack><!--00000000J--></stack>"),
        std::string("<stack><!--00000009") + text.substr(19),
        std::regex_replace(text, std::regex("N0"), "X0"), std::string("x") + text})
    EXPECT_FALSE(THTMLRenderer::ParseSavedState(bad, length).has_value()) << bad;
}

TEST(HTMLToolkit, FacadeOperationsUseTheLayout) {
  TPDFToolkit pdf;
  pdf.SetPageSize("A4");
  pdf.SetOrigin(1);
  pdf.SetMeasurementUnits(1);
  pdf.SetHTMLLayout(std::make_unique<THTMLRenderer>());
  // One line of Helvetica 10 is 4.08 mm; two lines 8.16.
  EXPECT_NEAR(pdf.GetHTMLTextHeight(50, "<p align=\"left\">x</p>"), 4.0781, 1e-4);
  EXPECT_NEAR(pdf.GetHTMLTextHeight(50, "a<br>b"), 8.1562, 1e-4);
  pdf.DrawHTMLText(25, 25, 160, "<p>A&amp;B</p>");
  EXPECT_NE(pdf.Painter().Content().find("(A&B) Tj"), std::string::npos);
  // A box 5 mm high takes one line and hands back the rest behind the state it stopped in.
  std::string rest = pdf.DrawHTMLTextBox(25, 40, 160, 5, "one<br>two<br>three");
  size_t length = 0;
  ASSERT_TRUE(THTMLRenderer::ParseSavedState(rest, length).has_value()) << rest;
  EXPECT_EQ(rest.substr(length), "two<br>three");
}

}  // namespace
