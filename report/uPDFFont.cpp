#include "report/uPDFFont.h"

#include <array>

#include "planner/base/qorUtf8.h"

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
