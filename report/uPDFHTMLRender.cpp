#include "report/uPDFHTMLRender.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"
#include "report/uPDFFont.h"

namespace {

constexpr std::string_view kStateOpen = "<stack><!--";
constexpr std::string_view kStateClose = "--></stack>";
constexpr size_t kEntryLength = 8 + 8 + 8 + 8 + 1 + 8;
constexpr double kNoLimit = 999999;
constexpr double kEpsilon = 1e-9;
constexpr std::string_view kNoBreakBlank = "\xC2\xA0";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A pair of hexadecimal digits as 0..1; a pair that is not hexadecimal counts as 0.
double HexComponent(std::string_view pair) {
  int hi = HexDigit(pair[0]), lo = HexDigit(pair[1]);
  if (hi < 0 || lo < 0) return 0;
  return (hi * 16 + lo) / 255.0;
}

bool ParseHex(std::string_view text, uint32_t& value) {
  value = 0;
  for (char c : text) {
    int d = HexDigit(c);
    if (d < 0) return false;
    value = value * 16 + static_cast<uint32_t>(d);
  }
  return true;
}

bool ParseDecimal(std::string_view text, uint32_t& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

void AppendHex8(std::string& out, uint32_t value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 15];
}

// The value of a "name=value" attribute without one pair of surrounding double quotes.
std::string_view AttributeValue(std::string_view attribute) {
  size_t eq = attribute.find('=');
  std::string_view value =
      eq == std::string_view::npos ? std::string_view() : attribute.substr(eq + 1);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return value;
}

std::string_view AttributeName(std::string_view attribute) {
  return attribute.substr(0, attribute.find('='));
}

bool HasAttribute(const std::vector<std::string>& attributes, std::string_view name,
                  std::string_view value) {
  return std::any_of(attributes.begin(), attributes.end(), [&](const std::string& a) {
    return AttributeName(a) == name && a.find('=') != std::string::npos &&
           (a.substr(name.size() + 1) == value ||
            a.substr(name.size() + 1) == "\"" + std::string(value) + "\"");
  });
}

// A colour value as a code: "#rrggbb" becomes "##rrggbb"; padded with zeros or cut to 8.
std::string ColorCode(std::string_view value) {
  std::string code =
      value.empty() || value.front() != '#' ? std::string(value) : "#" + std::string(value);
  code.resize(8, '0');
  return code;
}

constexpr char kDecorationLetters[] = "NUDSO";
constexpr char kAlignLetters[] = "LCRJ";

TPDFFont& FontAt(const std::array<TPDFFont*, 4>& fonts, int index) {
  return *fonts[static_cast<size_t>(std::clamp(index, 0, 3))];
}

// A piece of a line written in one style.
struct THTMLTextBlock {
  THTMLStackItem Style;
  std::string Text;
  double X = 0;
  double Width = 0;
};

// One run of the layout over one text.
class TLayoutPass {
 public:
  TLayoutPass(TPDFPainter& painter, const std::array<TPDFFont*, 4>& fonts,
              const TPDFHTMLLayout::TRequest& request)
      : painter_(painter),
        fonts_(fonts),
        left_(request.Left),
        top_(request.Top),
        width_(request.Width),
        limit_(request.HeightLimit < 0.1 ? kNoLimit : request.HeightLimit),
        draw_(request.Draw),
        x_(request.Left),
        y_(request.Top) {}

  TPDFHTMLLayout::TResult Run(std::string_view html) {
    size_t stateLength = 0;
    if (std::optional<THTMLSavedState> saved = THTMLRenderer::ParseSavedState(html, stateLength)) {
      stack_ = std::move(saved->Stack);
      align_ = saved->Align;
      html.remove_prefix(stateLength);
    } else {
      stack_.assign(1, THTMLStackItem());
    }
    std::vector<THTMLElement> elements = THTMLParser::Split(html);
    std::string overflow;
    for (size_t i = 0; i < elements.size(); ++i) {
      const THTMLElement& e = elements[i];
      size_t next = i + 1 < elements.size() ? elements[i + 1].Start : html.size();
      if (e.ElementKind == THTMLElement::kTag) {
        Tag(e);
      } else {
        std::vector<std::string> left;
        bool whole = Words(e.Words, left);
        previousWasBreak_ = false;
        if (!whole) {
          overflow = Overflow(left, html.substr(next));
          break;
        }
      }
      if (i + 1 < elements.size() &&
          NextLineHeight() + Used() + lastDescent_ + kLineSpacing > limit_ + kEpsilon) {
        overflow = Overflow({}, html.substr(next));
        break;
      }
    }
    EndLine(false);
    return {top_ - y_, std::move(overflow)};
  }

 private:
  static constexpr double kLineSpacing = 0;

  const THTMLStackItem& Style() const { return stack_.back(); }
  TPDFFont& FontOf(const THTMLStackItem& style) const { return FontAt(fonts_, style.Font); }
  double Width(const THTMLStackItem& style, std::string_view text) const {
    return FontOf(style).TextWidth(text, style.Size);
  }
  double NextLineHeight() const { return FontOf(Style()).LineHeight(Style().Size); }
  double Used() const { return top_ - y_; }

  std::string Overflow(const std::vector<std::string>& leftWords, std::string_view rest) const {
    std::string words;
    for (size_t i = 0; i < leftWords.size(); ++i) {
      if (i) words += ' ';
      words += THTMLParser::EncodeEntities(leftWords[i]);
    }
    if (words.empty() && rest.empty()) return {};
    return THTMLRenderer::FormatSavedState({stack_, align_}) + words + std::string(rest);
  }

  void Push(THTMLStackItem item) { stack_.push_back(std::move(item)); }
  void Pop() {
    if (stack_.size() > 1) stack_.pop_back();
  }

  void Tag(const THTMLElement& e) {
    const std::string& t = e.Type;
    skipEmpty_ = t == "p" || t == "/p";
    const bool lineBreak = t == "br" || t == "li";
    if (t == "p") {
      EndLine(false);
      x_ = left_;
      if (!firstParagraph_) y_ -= Style().Size / 2;
      firstParagraph_ = false;
      align_ = TPDFTextAlign::kLeft;
      if (HasAttribute(e.Attributes, "align", "right")) align_ = TPDFTextAlign::kRight;
      if (HasAttribute(e.Attributes, "align", "justified")) align_ = TPDFTextAlign::kJustify;
      if (HasAttribute(e.Attributes, "align", "center")) align_ = TPDFTextAlign::kCenter;
    } else if (t == "/p") {
      if (align_ == TPDFTextAlign::kJustify) align_ = TPDFTextAlign::kLeft;
      EndLine(false);
      x_ = left_;
      firstParagraph_ = false;
    } else if (t == "b" || t == "strong") {
      THTMLStackItem item = Style();
      if (item.Font == 0) item.Font = 1;
      if (item.Font == 2) item.Font = 3;
      Push(std::move(item));
    } else if (t == "i" || t == "em") {
      THTMLStackItem item = Style();
      if (item.Font == 0) item.Font = 2;
      if (item.Font == 1) item.Font = 3;
      Push(std::move(item));
    } else if (t == "u") {
      THTMLStackItem item = Style();
      item.Decoration = TPDFDecoration::kUnderline;
      if (HasAttribute(e.Attributes, "style", "double"))
        item.Decoration = TPDFDecoration::kDoubleUnderline;
      if (HasAttribute(e.Attributes, "style", "strikeout"))
        item.Decoration = TPDFDecoration::kStrikeOut;
      if (HasAttribute(e.Attributes, "style", "over")) item.Decoration = TPDFDecoration::kOverline;
      Push(std::move(item));
    } else if (t == "font" || t == "span") {
      THTMLStackItem item = Style();
      for (const std::string& a : e.Attributes) {
        std::string_view name = AttributeName(a), value = AttributeValue(a);
        if (name == "size" && t == "font") {
          double n = 0;
          if (!TryTextToFloat(value, ".", n) || !std::isfinite(n)) n = 0;
          // Sizes stay where the saved state can write them and a line keeps some height.
          item.Size = std::clamp((n + 1) * 2, 1.0, 9999.0);
        } else if (name == "color" && t == "font") {
          item.Color = ColorCode(value);
        } else if (name == "background") {
          item.Background = ColorCode(value);
        } else if (name == "roundback" && value == "yes") {
          item.Flags |= 1;
        }
      }
      Push(std::move(item));
    } else if (lineBreak) {
      if (previousWasBreak_) AddBlock(" ", Width(Style(), " "));
      EndLine(true);
      x_ = left_;
    } else if (t == "/b" || t == "/strong" || t == "/i" || t == "/em" || t == "/u" ||
               t == "/font" || t == "/span") {
      Pop();
    }
    previousWasBreak_ = lineBreak;
  }

  // The width of the text, counted only until it passes cap (the result is then above cap); in
  // fitBytes the length of the longest head that stays within cap.
  double WidthUpTo(const THTMLStackItem& style, std::string_view text, double cap,
                   size_t& fitBytes) const {
    const TPDFFont& font = FontOf(style);
    if (font.NeedsFallback(text)) return ShapedWidthUpTo(style, text, cap, fitBytes);
    long thousandths = 0;
    fitBytes = 0;
    for (size_t i = 0; i < text.size();) {
      const size_t start = i;
      DecodeUtf8At(text, i);
      thousandths += font.CodeWidth(
          static_cast<unsigned char>(font.Encode(text.substr(start, i - start)).front()));
      const double width = static_cast<double>(thousandths) * style.Size / 1000.0;
      if (width > cap + kEpsilon) return width;
      fitBytes = i;
    }
    return static_cast<double>(thousandths) * style.Size / 1000.0;
  }

  // As WidthUpTo for text set through the fallback, whose pieces are measured whole: shaping
  // joins and reorders characters, so a head measures on its own.
  double ShapedWidthUpTo(const THTMLStackItem& style, std::string_view text, double cap,
                         size_t& fitBytes) const {
    const double whole = Width(style, text);
    fitBytes = text.size();
    if (whole <= cap + kEpsilon) return whole;
    fitBytes = 0;
    for (size_t i = 0; i < text.size();) {
      DecodeUtf8At(text, i);
      if (Width(style, text.substr(0, i)) > cap + kEpsilon) break;
      fitBytes = i;
    }
    return whole;
  }

  // The length of the longest head of the word, at least one character, that fits from the
  // current position.
  size_t FittingHead(std::string_view word) const {
    size_t head = 0;
    WidthUpTo(Style(), word, left_ + width_ - x_, head);
    if (head == 0) {
      size_t first = 0;
      DecodeUtf8At(word, first);
      head = first;
    }
    return head;
  }

  // Lays the words out; false when the height limit stopped it, with the words not laid out in
  // left.
  bool Words(const std::vector<std::string>& words, std::vector<std::string>& left) {
    std::string buffer;
    double bufferWidth = 0;
    bool bufferHasWords = false;
    std::string carried;  // a word to take again, or the tail of a word cut at the line's end
    bool haveCarried = false;
    size_t i = 0;
    const double blank = Width(Style(), " ");
    while (i < words.size()) {
      std::string word;
      if (haveCarried) {
        word = std::exchange(carried, {});
        haveCarried = false;
      } else {
        word = std::string(TrimBlanks(words[i]));
        if (skipEmpty_ && word.empty()) {
          skipEmpty_ = false;
          ++i;
          continue;
        }
      }
      const bool last = i + 1 == words.size();
      const std::string piece = last ? word : word + " ";
      // The word fits when it ends within the width; its blank may stand beyond.
      const double room = left_ + width_ - x_ - bufferWidth + (last ? 0 : blank);
      size_t fitBytes = 0;
      const double pieceWidth = WidthUpTo(Style(), piece, room, fitBytes);
      if (pieceWidth <= room + kEpsilon) {
        buffer += piece;
        bufferWidth += pieceWidth;
        bufferHasWords = true;
        ++i;
        continue;
      }
      // The word does not fit: the line so far becomes a block and the line ends.
      std::string block;
      if (bufferHasWords) {
        block = std::move(buffer);
        carried = std::move(word);
        haveCarried = true;
      } else if (x_ == left_) {
        size_t head = FittingHead(word);
        block = word.substr(0, head);
        if (head < word.size()) {
          carried = word.substr(head);
          haveCarried = true;
        } else {
          ++i;
        }
      } else {
        carried = std::move(word);
        haveCarried = true;
      }
      if (!block.empty() && block.back() == ' ') block.pop_back();
      AddBlock(std::move(block), -1);
      EndLine(false);
      x_ = left_;
      buffer.clear();
      bufferWidth = 0;
      bufferHasWords = false;
      if (Used() + NextLineHeight() > limit_ + kEpsilon) {
        if (haveCarried) left.push_back(std::exchange(carried, {}));
        for (size_t j = haveCarried ? i + 1 : i; j < words.size(); ++j)
          left.emplace_back(TrimBlanks(words[j]));
        return left.empty();
      }
    }
    AddBlock(std::move(buffer), bufferWidth);
    x_ += bufferWidth;
    return true;
  }

  // A block at the current position in the current style; a width below 0 is measured.
  void AddBlock(std::string text, double width) {
    THTMLTextBlock block;
    block.Style = Style();
    block.Width = width < 0 ? Width(block.Style, text) : width;
    block.Text = std::move(text);
    block.X = x_;
    line_.push_back(std::move(block));
  }

  void EndLine(bool justifiedAsLeft) {
    if (line_.empty()) return;
    if (line_.back().Text.empty()) line_.pop_back();
    double lineHeight = 0, descent = 0;
    for (const THTMLTextBlock& b : line_) {
      if (b.Text.empty()) continue;
      const TPDFFont& font = FontOf(b.Style);
      lineHeight = std::max(lineHeight, font.LineHeight(b.Style.Size));
      descent = std::max(descent, std::fabs(font.Descent(b.Style.Size)));
    }
    if (!line_.empty() && !line_.back().Text.empty() && line_.back().Text.back() == ' ') {
      THTMLTextBlock& b = line_.back();
      b.Text.pop_back();
      b.Width = Width(b.Style, b.Text);
    }
    if (draw_) DrawLine(lineHeight, descent, justifiedAsLeft);
    y_ -= lineHeight + kLineSpacing;
    lastDescent_ = descent;
    line_.clear();
  }

  void DrawLine(double lineHeight, double descent, bool justifiedAsLeft) {
    double sum = 0;
    std::string joined;
    for (const THTMLTextBlock& b : line_) {
      sum += b.Width;
      joined += b.Text;
    }
    TPDFTextAlign align = align_;
    if (justifiedAsLeft && align == TPDFTextAlign::kJustify) align = TPDFTextAlign::kLeft;
    double offset = 0, wordSpacing = 0, charSpacing = 0;
    const double spare = width_ - sum;
    if (align == TPDFTextAlign::kCenter) offset = spare / 2;
    if (align == TPDFTextAlign::kRight) offset = spare;
    if (align == TPDFTextAlign::kJustify && spare > 0) {
      size_t words = 0;
      for (size_t at = 0; at < joined.size();) {
        size_t end = joined.find(' ', at);
        if (end == std::string::npos) end = joined.size();
        if (end > at) ++words;
        at = end + 1;
      }
      const size_t characters = Utf8Length(TrimBlanks(joined));
      if (words > 1)
        wordSpacing = spare / static_cast<double>(words - 1);
      else if (words == 1 && characters >= 2)
        charSpacing = spare / static_cast<double>(characters - 1);
    }
    const double baseline = y_ - (lineHeight - descent);
    for (const THTMLTextBlock& b : line_) {
      const double x = offset + b.X;
      if (!b.Text.empty()) DrawBlock(b, x, baseline, charSpacing, wordSpacing);
      // Spread lines move the blocks behind by what the spacing added to this one.
      const TPDFFont& font = FontOf(b.Style);
      if (font.NeedsFallback(b.Text)) {
        const TPDFTextMeasure m = font.Measure(b.Text);
        offset += wordSpacing * static_cast<double>(m.Blanks) +
                  charSpacing * static_cast<double>(m.Characters);
        continue;
      }
      const std::string codes = font.Encode(b.Text);
      offset += wordSpacing * static_cast<double>(std::count(codes.begin(), codes.end(), ' ')) +
                charSpacing * static_cast<double>(codes.size());
    }
  }

  void DrawBlock(const THTMLTextBlock& b, double x, double baseline, double charSpacing,
                 double wordSpacing) {
    const TPDFPainterState& state = painter_.State();
    TPDFFont* font = &FontOf(b.Style);
    if (state.Font != font || state.FontSize != b.Style.Size) painter_.SetFont(font, b.Style.Size);
    painter_.SetTextAlign(TPDFTextAlign::kLeft);
    if (state.HorizontalScale != 100) painter_.SetHorizontalScale(100);
    const TPDFColor color = THTMLRenderer::ColorOf(b.Style.Color);
    if (!(state.TextColor == color)) painter_.SetTextColor(color);
    TPDFTextExtras extras;
    if (!b.Style.Background.empty()) {
      painter_.SetTextBackgroundColor(THTMLRenderer::ColorOf(b.Style.Background));
      extras.Background = true;
      extras.RoundedBackground = (b.Style.Flags & 1) != 0;
    }
    extras.Decoration = b.Style.Decoration;
    const bool spread = charSpacing != 0 || wordSpacing != 0;
    if (spread) painter_.SetSpacing(charSpacing, wordSpacing);
    painter_.DrawText(x, baseline, b.Text, extras);
    if (spread) painter_.SetSpacing(0, 0);
  }

  TPDFPainter& painter_;
  const std::array<TPDFFont*, 4>& fonts_;
  const double left_, top_, width_, limit_;
  const bool draw_;
  std::vector<THTMLStackItem> stack_;
  TPDFTextAlign align_ = TPDFTextAlign::kLeft;
  double x_, y_;
  double lastDescent_ = 0;
  bool firstParagraph_ = true;
  bool skipEmpty_ = false;
  bool previousWasBreak_ = false;
  std::vector<THTMLTextBlock> line_;
};

}  // namespace

// ---- splitting

std::string THTMLParser::DecodeEntities(std::string_view text) {
  static constexpr struct {
    std::string_view entity, text;
  } kEntities[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}, {"&nbsp;", kNoBreakBlank}};
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    bool decoded = false;
    if (text[i] == '&') {
      for (const auto& e : kEntities) {
        if (text.substr(i, e.entity.size()) == e.entity) {
          out += e.text;
          i += e.entity.size();
          decoded = true;
          break;
        }
      }
    }
    if (!decoded) out += text[i++];
  }
  return out;
}

std::string THTMLParser::EncodeEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (text.substr(i, 2) == kNoBreakBlank) {
      out += "&nbsp;";
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> THTMLParser::SplitWords(std::string_view run) {
  std::string blanked(run);
  for (char& c : blanked)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  std::string decoded = DecodeEntities(blanked);
  std::vector<std::string> words(1);
  for (size_t i = 0; i < decoded.size(); ++i) {
    if (decoded[i] != ' ') {
      words.back() += decoded[i];
    } else if (i == 0 || decoded[i - 1] != ' ') {
      words.emplace_back();
    }
  }
  return words;
}

std::vector<THTMLElement> THTMLParser::Split(std::string_view text) {
  std::vector<THTMLElement> out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t lt = text.find('<', pos), gt = text.find('>', pos);
    THTMLElement e;
    e.Start = pos;
    if (lt != std::string_view::npos && gt != std::string_view::npos && lt == pos && lt < gt) {
      std::string_view inner = text.substr(pos + 1, gt - pos - 1);
      size_t typeEnd = 0;
      while (typeEnd < inner.size() && !IsBlank(inner[typeEnd])) ++typeEnd;
      e.ElementKind = THTMLElement::kTag;
      e.Type = LowerAscii(inner.substr(0, typeEnd));
      std::string_view rest = TrimBlanks(inner.substr(typeEnd));
      while (!rest.empty()) {
        size_t end = 0;
        while (end < rest.size() && !IsBlank(rest[end])) {
          // A value opening with a double quote straight after "=" runs to its closing quote.
          if (rest[end] == '=' && end + 1 < rest.size() && rest[end + 1] == '"') {
            size_t close = rest.find('"', end + 2);
            end = close == std::string_view::npos ? rest.size() : close + 1;
            continue;
          }
          ++end;
        }
        e.Attributes.push_back(LowerAscii(rest.substr(0, end)));
        rest = TrimBlanks(rest.substr(end));
      }
      pos = gt + 1;
    } else {
      size_t end = lt == std::string_view::npos || gt == std::string_view::npos ? text.size() : lt;
      if (end == pos) end = text.size();  // cannot happen: a "<" at pos has no ">" behind it
      e.ElementKind = THTMLElement::kWords;
      e.Words = SplitWords(text.substr(pos, end - pos));
      pos = end;
    }
    out.push_back(std::move(e));
  }
  return out;
}

// ---- saved states

std::string THTMLRenderer::FormatSavedState(const THTMLSavedState& state) {
  std::string out(kStateOpen);
  char count[16];
  std::snprintf(count, sizeof count, "%08zu", state.Stack.size() % 100000000);
  out += count;
  for (const THTMLStackItem& item : state.Stack) {
    AppendHex8(out, static_cast<uint32_t>(std::clamp(item.Font, 0, 3)));
    // "0000.000": thousandths, rounded, with four digits before the point.
    const auto thousandths =
        static_cast<uint32_t>(std::lround(std::clamp(item.Size, 0.0, 9999.999) * 1000));
    char size[16];
    std::snprintf(size, sizeof size, "%04u.%03u", thousandths / 1000, thousandths % 1000);
    out += size;
    std::string color = item.Color;
    color.resize(8, '0');
    out += color;
    std::string background = item.Background;
    if (!background.empty()) background.resize(8, '0');
    background.resize(8, ' ');
    out += background;
    out += kDecorationLetters[static_cast<int>(item.Decoration)];
    AppendHex8(out, item.Flags);
  }
  out += kAlignLetters[static_cast<int>(state.Align)];
  out += kStateClose;
  return out;
}

std::optional<THTMLSavedState> THTMLRenderer::ParseSavedState(std::string_view text,
                                                              size_t& length) {
  if (text.substr(0, kStateOpen.size()) != kStateOpen) return std::nullopt;
  size_t at = kStateOpen.size();
  uint32_t count = 0;
  if (text.size() < at + 8 || !ParseDecimal(text.substr(at, 8), count) || count == 0)
    return std::nullopt;
  at += 8;
  if ((text.size() - at) / kEntryLength < count) return std::nullopt;
  THTMLSavedState state;
  for (uint32_t n = 0; n < count; ++n) {
    std::string_view entry = text.substr(at, kEntryLength);
    THTMLStackItem item;
    uint32_t font = 0, whole = 0, fraction = 0, flags = 0;
    if (!ParseHex(entry.substr(0, 8), font) || font > 3) return std::nullopt;
    if (entry[12] != '.' || !ParseDecimal(entry.substr(8, 4), whole) ||
        !ParseDecimal(entry.substr(13, 3), fraction))
      return std::nullopt;
    item.Font = static_cast<int>(font);
    item.Size = whole + fraction / 1000.0;
    item.Color = std::string(entry.substr(16, 8));
    item.Background = std::string(entry.substr(24, 8));
    if (item.Background == "        ") item.Background.clear();
    const char* decoration = std::strchr(kDecorationLetters, entry[32]);
    if (!decoration || entry[32] == '\0') return std::nullopt;
    item.Decoration = static_cast<TPDFDecoration>(decoration - kDecorationLetters);
    if (!ParseHex(entry.substr(33, 8), flags)) return std::nullopt;
    item.Flags = flags;
    state.Stack.push_back(std::move(item));
    at += kEntryLength;
  }
  if (at >= text.size()) return std::nullopt;
  const char* align = std::strchr(kAlignLetters, text[at]);
  if (!align || text[at] == '\0') return std::nullopt;
  state.Align = static_cast<TPDFTextAlign>(align - kAlignLetters);
  ++at;
  if (text.substr(at, kStateClose.size()) != kStateClose) return std::nullopt;
  length = at + kStateClose.size();
  return state;
}

TPDFColor THTMLRenderer::ColorOf(std::string_view code) {
  if (code.size() < 8) return TPDFColor::RGB(0, 0, 0);
  if (code.substr(0, 2) == "##")
    return TPDFColor::RGB(HexComponent(code.substr(2, 2)), HexComponent(code.substr(4, 2)),
                          HexComponent(code.substr(6, 2)));
  return TPDFColor::CMYK(HexComponent(code.substr(0, 2)), HexComponent(code.substr(2, 2)),
                         HexComponent(code.substr(4, 2)), HexComponent(code.substr(6, 2)));
}

// ---- layout

TPDFHTMLLayout::TResult THTMLRenderer::Layout(TPDFPainter& painter,
                                              const std::array<TPDFFont*, 4>& fonts,
                                              const TRequest& request) {
  if (request.Width <= 0) return {};
  return TLayoutPass(painter, fonts, request).Run(request.Html);
}
