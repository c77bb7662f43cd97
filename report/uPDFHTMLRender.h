// Inline HTML text laid out in a box of a given width, from a top edge down, in points with y
// growing upwards: a small subset of HTML split into tags and word runs, a stack of text styles,
// words broken into lines, lines aligned and drawn through the painter (or only measured).
//
//   tags        <p align=left|center|right|justified>  </p>  <br>  <li>
//               <b> <strong> <i> <em>   <u style=double|strikeout|over>
//               <font size=n color=#rrggbb background=#rrggbb roundback=yes>  (n: (n + 1) * 2 pt)
//               <span background=.. roundback=yes>   and </b> </strong> </i> </em> </u> </font>
//               </span>, each taking back the style on top of the stack; any other tag is ignored
//   text        tabs and line breaks are blanks, runs of blanks one blank; the entities &lt; &gt;
//               &amp; and &nbsp; (a blank that does not break) are decoded, nothing else is
//   colours     "##rrggbb" red, green, blue; any other 8 characters "ccmmyykk"; all hexadecimal
//
// A box with a height limit keeps what does not fit and hands it back as text that a later
// layout continues, headed by the style stack and alignment at the point where it stopped:
//
//   <stack><!--nnnnnnnn{ffffffff ssss.sss cccccccc bbbbbbbb d gggggggg}...a--></stack>rest
//     n  entries on the stack (8 decimal digits), bottom first; per entry (no blanks between):
//     f  font, 0 normal, 1 bold, 2 italic, 3 bold italic (8 hexadecimal digits)
//     s  size in points ("0000.000")          c  text colour code (8 characters)
//     b  background colour code (8 characters, 8 blanks for none)
//     d  decoration N none, U underline, D double underline, S strike-out, O overline
//     g  flags (8 hexadecimal digits; bit 0: rounded background)
//     a  alignment L, C, R or J
//   rest: the words left of a word run that was broken off (their entities written again), then
//   the source text from the next element on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/uPDFHTMLLayout.h"
#include "report/uPDFPainter.h"

// A piece of the source text: a tag, or the words of a run of text between tags.
struct THTMLElement {
  enum Kind { kTag, kWords };
  Kind ElementKind = kWords;
  size_t Start = 0;                     // byte offset of its first character in the source
  std::string Type;                     // tags: the lower-cased type, "/b" for "</b>"
  std::vector<std::string> Attributes;  // tags: "name=value" lower-cased, quotes kept
  std::vector<std::string> Words;       // word runs: entities decoded; "" for a leading or
                                        // trailing blank
};

class THTMLParser {
 public:
  // The elements of the text in order. A tag runs from a "<" to the next ">"; a "<" without a
  // ">" behind it, and a ">" before any "<", are text.
  static std::vector<THTMLElement> Split(std::string_view text);
  // The words of a run of text (the rules of the table above).
  static std::vector<std::string> SplitWords(std::string_view run);
  // &lt; &gt; &amp; &nbsp; decoded in one pass from left to right ("&amp;lt;" gives "&lt;").
  static std::string DecodeEntities(std::string_view text);
  // The inverse for decoded text: "&", "<", ">" and the non-breaking blank as entities.
  static std::string EncodeEntities(std::string_view text);
};

// One style of the stack.
struct THTMLStackItem {
  int Font = 0;  // 0 normal, 1 bold, 2 italic, 3 bold italic
  double Size = 10;
  std::string Color = "##000000";
  std::string Background;  // empty: none
  TPDFDecoration Decoration = TPDFDecoration::kNone;
  uint32_t Flags = 0;  // bit 0: rounded background
  bool operator==(const THTMLStackItem&) const = default;
};

// The state a continued layout starts from.
struct THTMLSavedState {
  std::vector<THTMLStackItem> Stack;  // bottom first, never empty
  TPDFTextAlign Align = TPDFTextAlign::kLeft;
  bool operator==(const THTMLSavedState&) const = default;
};

class THTMLRenderer : public TPDFHTMLLayout {
 public:
  // Measures, and when asked draws, the text with the four fonts (normal, bold, italic, bold
  // italic). The height is what the text took from the top; with a height limit the overflow is
  // the text that did not fit, headed by its saved state, and empty when everything fitted.
  TResult Layout(TPDFPainter& painter, const std::array<TPDFFont*, 4>& fonts,
                 const TRequest& request) override;

  // The saved state as it heads an overflow text.
  static std::string FormatSavedState(const THTMLSavedState& state);
  // The saved state at the start of the text and the length it takes; nothing when the text does
  // not start with a well-formed one.
  static std::optional<THTMLSavedState> ParseSavedState(std::string_view text, size_t& length);
  // The colour of a colour code; black for the empty code.
  static TPDFColor ColorOf(std::string_view code);
};
