// Reads RTF body text as drawn in qorRTFBidi.h: a list of pieces (characters, group marks,
// everything else), the characters' levels from FriBidi, and the pieces written back with a
// mark wherever the direction of the characters changes.
#include "report/qorRTFBidi.h"

#include <fribidi.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "planner/base/qorEncoding.h"
#include "planner/base/qorUtf8.h"

namespace {

// One piece of the text: bytes [begin, end) and, for a character, its code point.
struct TPiece {
  enum TKind {
    Character,
    Open,
    Close,
    Word,   // a control word that is not a character
    Other,  // a control symbol, a destination, \binN with its bytes, CR, LF
  };
  size_t begin;
  size_t end;
  TKind kind;
  char32_t cp = 0;
};

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The character of a code page 1252 byte.
char32_t Cp1252Character(unsigned char byte) {
  const std::string utf8 = Cp1252ToUtf8(std::string(1, static_cast<char>(byte)));
  size_t at = 0;
  return DecodeUtf8At(utf8, at).value_or(byte);
}

// A control word at rtf[i] ("\" and a letter): its letters, its number and the end of the
// word with its delimiting blank.
struct TWord {
  std::string_view name;
  bool hasNumber = false;
  long number = 0;
  size_t end = 0;
};

TWord ReadWord(std::string_view rtf, size_t i) {
  TWord w;
  size_t j = i + 1;
  while (j < rtf.size() && IsLetter(rtf[j])) ++j;
  w.name = rtf.substr(i + 1, j - i - 1);
  const size_t digits = j < rtf.size() && rtf[j] == '-' ? j + 1 : j;
  size_t k = digits;
  while (k < rtf.size() && IsDigit(rtf[k]) && k - digits < 10) ++k;
  if (k > digits) {
    w.hasNumber = true;
    w.number = std::strtol(std::string(rtf.substr(j, k - j)).c_str(), nullptr, 10);
    j = k;
  }
  if (j < rtf.size() && rtf[j] == ' ') ++j;
  w.end = j;
  return w;
}

// The end of the escape or character at rtf[i] that stands as the fallback of a \uN.
size_t SkipFallback(std::string_view rtf, size_t i) {
  if (i >= rtf.size() || rtf[i] == '{' || rtf[i] == '}') return i;
  if (rtf[i] != '\\') return i + 1;
  if (i + 1 >= rtf.size()) return i + 1;
  if (rtf[i + 1] == '\'') return std::min(rtf.size(), i + 4);
  if (IsLetter(rtf[i + 1])) return i;  // a control word ends the fallback
  return i + 2;
}

// The end of the group that opens at rtf[i], escapes and \bin bytes skipped.
size_t SkipGroup(std::string_view rtf, size_t i) {
  long depth = 0;
  while (i < rtf.size()) {
    const char c = rtf[i];
    if (c == '{') {
      ++depth;
      ++i;
    } else if (c == '}') {
      ++i;
      if (--depth == 0) return i;
    } else if (c == '\\' && i + 1 < rtf.size() && IsLetter(rtf[i + 1])) {
      const TWord w = ReadWord(rtf, i);
      i = w.end;
      if (w.name == "bin" && w.number > 0)
        i = std::min(rtf.size(), i + static_cast<size_t>(w.number));
    } else {
      i += c == '\\' ? 2 : 1;
    }
  }
  return rtf.size();
}

// True when the group opening at rtf[i] is a destination whose content is not text.
bool IsDestinationGroup(std::string_view rtf, size_t i) {
  const std::string_view rest = rtf.substr(i + 1);
  if (rest.substr(0, 2) == "\\*") return true;
  if (rest.substr(0, 5) == "\\pict") return rest.size() == 5 || !IsLetter(rest[5]);
  return false;
}

std::vector<TPiece> Split(std::string_view rtf) {
  std::vector<TPiece> pieces;
  for (size_t i = 0; i < rtf.size();) {
    const char c = rtf[i];
    TPiece p{i, i + 1, TPiece::Other};
    if (c == '{') {
      if (IsDestinationGroup(rtf, i))
        p.end = SkipGroup(rtf, i);
      else
        p.kind = TPiece::Open;
    } else if (c == '}') {
      p.kind = TPiece::Close;
    } else if (c == '\r' || c == '\n') {
      // not text
    } else if (c != '\\') {
      p.kind = TPiece::Character;
      const unsigned char byte = static_cast<unsigned char>(c);
      p.cp = byte < 0x80 ? byte : Cp1252Character(byte);
    } else if (i + 1 >= rtf.size()) {
      // a lone backslash at the end
    } else if (IsLetter(rtf[i + 1])) {
      const TWord w = ReadWord(rtf, i);
      p.end = w.end;
      p.kind = TPiece::Word;
      if (w.name == "u" && w.hasNumber) {
        p.kind = TPiece::Character;
        p.cp = static_cast<char16_t>(static_cast<int16_t>(w.number));
        p.end = SkipFallback(rtf, w.end);
      } else if (w.name == "bin" && w.number > 0) {
        p.kind = TPiece::Other;
        p.end = std::min(rtf.size(), w.end + static_cast<size_t>(w.number));
      } else if (w.name == "tab") {
        p.kind = TPiece::Character;
        p.cp = U'\t';
      } else if (w.name == "line") {
        p.kind = TPiece::Character;
        p.cp = U'\u2028';
      }
    } else {
      const char s = rtf[i + 1];
      p.end = i + 2;
      if (s == '\\' || s == '{' || s == '}') {
        p.kind = TPiece::Character;
        p.cp = static_cast<unsigned char>(s);
      } else if (s == '~') {
        p.kind = TPiece::Character;
        p.cp = U'\u00a0';
      } else if (s == '\'' && i + 3 < rtf.size() && HexValue(rtf[i + 2]) >= 0 &&
                 HexValue(rtf[i + 3]) >= 0) {
        p.kind = TPiece::Character;
        p.cp = Cp1252Character(
            static_cast<unsigned char>(HexValue(rtf[i + 2]) * 16 + HexValue(rtf[i + 3])));
        p.end = i + 4;
      }
    }
    // The second unit of a surrogate pair joins the first.
    if (p.kind == TPiece::Character && p.cp >= 0xDC00 && p.cp <= 0xDFFF && !pieces.empty() &&
        pieces.back().kind == TPiece::Character && pieces.back().end == p.begin &&
        pieces.back().cp >= 0xD800 && pieces.back().cp <= 0xDBFF) {
      TPiece& high = pieces.back();
      high.cp = 0x10000 + ((high.cp - 0xD800) << 10) + (p.cp - 0xDC00);
      high.end = p.end;
    } else {
      pieces.push_back(p);
    }
    i = p.end;
  }
  return pieces;
}

// The character formatting in force, and the associated formatting the marks have set.
struct TState {
  bool rightToLeft = false;
  long font = 0;
  long size = 24;
  bool bold = false;
  bool italic = false;
  long markedFont = -1;  // -1: not set by a mark
  long markedSize = -1;
  bool markedBold = false;
  bool markedItalic = false;

  // Follows a control word that changes the formatting.
  void Apply(std::string_view rtf, const TPiece& p) {
    const TWord w = ReadWord(rtf, p.begin);
    const bool on = !w.hasNumber || w.number != 0;
    if (w.name == "plain") {
      font = 0;
      size = 24;
      bold = italic = false;
      markedFont = markedSize = -1;
      markedBold = markedItalic = false;
    } else if (w.name == "f" && w.hasNumber) {
      font = w.number;
    } else if (w.name == "fs" && w.hasNumber) {
      size = w.number;
    } else if (w.name == "b") {
      bold = on;
    } else if (w.name == "i") {
      italic = on;
    }
  }

  // The mark that starts a right-to-left run.
  std::string RightToLeftMark() {
    std::string m = "\\rtlch";
    if (markedFont != font) m += "\\af" + std::to_string(font);
    if (markedSize != size) m += "\\afs" + std::to_string(size);
    if (markedBold != bold) m += bold ? "\\ab" : "\\ab0";
    if (markedItalic != italic) m += italic ? "\\ai" : "\\ai0";
    markedFont = font;
    markedSize = size;
    markedBold = bold;
    markedItalic = italic;
    rightToLeft = true;
    return m + ' ';
  }
};

}  // namespace

TqorRTFBidi::TqorRTFBidi(std::string_view rtf, std::string_view format, TBase base) : rtf_(rtf) {
  // Code page 1252 has no right-to-left character: only a \uN can be one.
  if (rtf.find("\\u") == std::string_view::npos) return;
  const std::vector<TPiece> pieces = Split(rtf);
  std::vector<FriBidiChar> text;
  for (const TPiece& p : pieces)
    if (p.kind == TPiece::Character) text.push_back(p.cp);
  if (text.empty()) return;

  const auto n = static_cast<FriBidiStrIndex>(text.size());
  std::vector<FriBidiCharType> types(text.size());
  std::vector<FriBidiBracketType> brackets(text.size());
  std::vector<FriBidiLevel> levels(text.size());
  fribidi_get_bidi_types(text.data(), n, types.data());
  fribidi_get_bracket_types(text.data(), n, types.data(), brackets.data());
  FriBidiParType direction = base == TBase::FirstStrong ? FRIBIDI_PAR_ON : FRIBIDI_PAR_LTR;
  if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), n, &direction,
                                          levels.data()) == 0)
    throw std::runtime_error("RTF writer: the bidirectional algorithm failed");
  rightToLeft_ = direction == FRIBIDI_PAR_RTL;

  bool anyRightToLeft = false;
  for (FriBidiLevel level : levels) anyRightToLeft |= (level & 1) != 0;
  if (!anyRightToLeft) return;

  TState state;
  for (const TPiece& p : Split(format))
    if (p.kind == TPiece::Word) state.Apply(format, p);
  std::string out;
  out.reserve(rtf.size() + 64);
  std::vector<TState> outer;  // the state where each open group started
  size_t at = 0;
  for (const TPiece& p : pieces) {
    const bool isWord = p.kind == TPiece::Word || (p.kind == TPiece::Other && rtf[p.begin] == '{');
    if (p.kind == TPiece::Character) {
      const bool odd = (levels[at++] & 1) != 0;
      if (odd && !state.rightToLeft) {
        out += state.RightToLeftMark();
      } else if (!odd && state.rightToLeft) {
        out += "\\ltrch ";
        state.rightToLeft = false;
      }
    } else if (isWord && state.rightToLeft) {
      out += "\\ltrch ";
      state.rightToLeft = false;
    }
    if (p.kind == TPiece::Open) {
      outer.push_back(state);
    } else if (p.kind == TPiece::Close && !outer.empty()) {
      state = outer.back();
      outer.pop_back();
    } else if (p.kind == TPiece::Word) {
      state.Apply(rtf, p);
    }
    out.append(rtf.substr(p.begin, p.end - p.begin));
  }
  if (state.rightToLeft) out += "\\ltrch ";
  rtf_ = std::move(out);
}
