// The writing direction of one paragraph of RTF body text, as the Unicode bidirectional
// algorithm (FriBidi) resolves it, written back into the text as RTF marks:
//
//   text               the characters of the body text: literal bytes, \\ \{ \}, \'hh (code
//                      page 1252), \uN with its fallback (two units of a surrogate pair are one
//                      character), \tab (a segment separator), \line (a line separator), \~
//   not text           other control words and symbols, CR and LF, and the whole group of a
//                      destination ({\* ...}, {\pict ...}, with the bytes of \binN)
//   marks              "\rtlch" before each run of characters the algorithm puts at an odd
//                      (right-to-left) level, with the associated font, size, weight and
//                      style of the run (\afN \afsN \ab \ai, each only when it changes), so
//                      that the run looks like its neighbours: "\rtlch\af0\afs20 ";
//                      "\ltrch " before the next character at an even level, and before any
//                      control word or destination inside a run, so that every formatting
//                      word stands in a left-to-right state and applies to the text's own
//                      properties; a group's end restores the state in force at its start
//
// The formatting is followed through \plain (font 0, size 24 half-points, upright), \fN,
// \fsN, \b, \b0, \i and \i0, starting from the words in force before the text. Text
// without right-to-left characters comes back unchanged. The marked text ends in the state it
// started in (\ltrch), so that pieces can be joined.
#pragma once

#include <string>
#include <string_view>

class TqorRTFBidi {
 public:
  // How the paragraph's base direction is found.
  enum class TBase {
    FirstStrong,  // from its first strong character (left to right when it has none)
    LeftToRight,  // left to right whatever it holds
  };

  // Resolves the paragraph; format holds the control words in force before it ("\plain\f0
  // \fs20\b "). REQUIRES: rtf is RTF body text with balanced groups.
  explicit TqorRTFBidi(std::string_view rtf, std::string_view format = {},
                       TBase base = TBase::FirstStrong);

  // True when the paragraph runs right to left (its first strong character is R or AL).
  bool RightToLeft() const { return rightToLeft_; }
  // The text with its runs marked.
  const std::string& Rtf() const { return rtf_; }

 private:
  std::string rtf_;
  bool rightToLeft_ = false;
};
