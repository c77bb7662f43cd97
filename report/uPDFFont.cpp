#include "report/uPDFFont.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "planner/base/qorUtf8.h"
#include "report/uPDFFontFallback.h"

namespace {

// The code of each Unicode character of WinAnsiEncoding's 0x80..0x9F block, sorted by character.
struct TWinAnsiHigh {
  std::array<std::pair<char16_t, unsigned char>, 32> entries{};
  size_t count = 0;
};

const TWinAnsiHigh& WinAnsiHigh() {
  static const TWinAnsiHigh table = [] {
    TWinAnsiHigh t;
    for (int code = 0x80; code < 0xA0; ++code) {
      char16_t u = kWinAnsiToUnicode[code];
      if (u != 0) t.entries[t.count++] = {u, static_cast<unsigned char>(code)};
    }
    return t;
  }();
  return table;
}

// Each character of UTF-8 text; a byte that starts no well-formed sequence is a Latin-1 character.
template <class F>
void ForEachCharacter(std::string_view text, F&& f) {
  for (size_t i = 0; i < text.size();) {
    size_t start = i;
    char32_t c = DecodeUtf8At(text, i).value_or(static_cast<unsigned char>(text[start]));
    f(c, text.substr(start, i - start));
  }
}

}  // namespace

TPDFFont::TPDFFont(int index, std::string resourceName, TPDFDictionary* object)
    : index_(index),
      metrics_(&kPDFStandardFonts[index]),
      resourceName_(std::move(resourceName)),
      object_(object) {}

unsigned char TPDFFont::WinAnsiCode(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
  const TWinAnsiHigh& high = WinAnsiHigh();
  for (size_t i = 0; i < high.count; ++i)
    if (high.entries[i].first == c) return high.entries[i].second;
  return '?';
}

unsigned char TPDFFont::CodeOf(char32_t c) const {
  if (IsSymbolic()) return c <= 0xFF ? static_cast<unsigned char>(c) : '?';
  return WinAnsiCode(c);
}

bool TPDFFont::IsBold() const {
  return std::strstr(metrics_->BaseFont, "Bold") != nullptr;
}

bool TPDFFont::NeedsFallback(std::string_view text) const {
  if (!fallback_ || IsSymbolic()) return false;
  // Characters below U+0100 (lead bytes up to 0xC3) are WinAnsi's or control characters.
  size_t from = 0;
  while (from < text.size() && static_cast<unsigned char>(text[from]) < 0xC4) ++from;
  if (from == text.size()) return false;
  for (size_t i = from; i < text.size();) {
    size_t start = i;
    char32_t c = DecodeUtf8At(text, i).value_or(static_cast<unsigned char>(text[start]));
    if (c >= 0x100 && WinAnsiCode(c) == '?') return true;
  }
  return false;
}

std::vector<TPDFTextSegment> TPDFFont::Segments(std::string_view text) const {
  if (!NeedsFallback(text)) return {{text, false}};
  // Words and runs of blanks; a word needs the fallback when WinAnsi lacks one of its
  // characters, a run of blanks only between two words that do.
  struct TToken {
    size_t Start, End;
    bool Blank, Fallback;
  };
  std::vector<TToken> tokens;
  for (size_t i = 0; i < text.size();) {
    const bool blank = text[i] == ' ';
    size_t end = i;
    while (end < text.size() && (text[end] == ' ') == blank) ++end;
    tokens.push_back({i, end, blank, !blank && NeedsFallback(text.substr(i, end - i))});
    i = end;
  }
  for (size_t k = 0; k < tokens.size(); ++k)
    if (tokens[k].Blank)
      tokens[k].Fallback =
          k > 0 && k + 1 < tokens.size() && tokens[k - 1].Fallback && tokens[k + 1].Fallback;
  std::vector<TPDFTextSegment> out;
  size_t start = 0;
  for (size_t k = 0; k < tokens.size(); ++k) {
    if (k + 1 < tokens.size() && tokens[k + 1].Fallback == tokens[k].Fallback) continue;
    out.push_back({text.substr(start, tokens[k].End - start), tokens[k].Fallback});
    start = tokens[k].End;
  }
  return out;
}

TPDFTextMeasure TPDFFont::Measure(std::string_view text) const {
  TPDFTextMeasure m;
  for (const TPDFTextSegment& segment : Segments(text)) {
    const TPDFShapedText* shaped =
        segment.Fallback ? fallback_->Shape(segment.Text, IsBold()) : nullptr;
    if (shaped) {
      m.Width += shaped->Advance;
      m.Characters += shaped->Glyphs;
      m.Blanks += shaped->Blanks;
      continue;
    }
    const std::string codes = Encode(segment.Text);
    long sum = 0;
    for (char c : codes) sum += metrics_->Widths[static_cast<unsigned char>(c)];
    m.Width += static_cast<double>(sum);
    m.Characters += codes.size();
    m.Blanks += static_cast<size_t>(std::count(codes.begin(), codes.end(), ' '));
  }
  return m;
}

double TPDFFont::TextWidth(std::string_view text, double size) const {
  if (!NeedsFallback(text)) return CodesWidth(Encode(text), size);
  return Measure(text).Width * size / 1000.0;
}

std::string TPDFFont::Encode(std::string_view text) const {
  std::string out;
  out.reserve(text.size());
  ForEachCharacter(text,
                   [&](char32_t c, std::string_view) { out += static_cast<char>(CodeOf(c)); });
  return out;
}

double TPDFFont::CodesWidth(std::string_view codes, double size) const {
  long sum = 0;
  for (char c : codes) sum += metrics_->Widths[static_cast<unsigned char>(c)];
  return static_cast<double>(sum) * size / 1000.0;
}

std::string TPDFFont::RemoveWidthless(std::string_view text) const {
  std::string out;
  out.reserve(text.size());
  ForEachCharacter(text, [&](char32_t c, std::string_view bytes) {
    if (metrics_->Widths[CodeOf(c)] != 0) out.append(bytes);
  });
  return out;
}

double TPDFFont::LineHeight(double size) const {
  return (metrics_->BBox[3] - metrics_->BBox[1]) * size / 1000.0;
}
double TPDFFont::Descent(double size) const {
  return metrics_->BBox[1] * size / 1000.0;
}
double TPDFFont::HeightAboveBaseline(double size) const {
  return metrics_->BBox[3] * size / 1000.0;
}
double TPDFFont::Ascent(double size) const {
  return metrics_->Ascender * size / 1000.0;
}
