// Text as it stands in the body of an RTF file. Plain UTF-8 text is escaped on the way in, so
// that every character reaches the reader exactly as typed:
//
//   \  {  }                   \\  \{  \}
//   tab                       \tab (and a blank)
//   CR LF, LF, CR             \line (and a blank)
//   other C0 controls         dropped
//   U+0020..U+007E            themselves
//   code page 1252            \'hh  (two lower-case hexadecimal digits: "ü" is \'fc, "€" \'80)
//   any other character       \uN?  (N the UTF-16 unit as a signed 16-bit number, "?" the
//                             fallback for readers without Unicode; beyond U+FFFF two units)
//   a byte that starts no     \'hh  of that byte
//   valid UTF-8 sequence
//
// Control words that the program writes itself enter through FromRtf and are never escaped.
#pragma once

#include <string>
#include <string_view>

class TqorRTFText {
 public:
  TqorRTFText() = default;
  // Escapes plain text (implicit, so that every plain text is escaped).
  TqorRTFText(std::string_view plain) : rtf_(Escape(plain)) {}
  TqorRTFText(const char* plain) : TqorRTFText(std::string_view(plain)) {}
  TqorRTFText(const std::string& plain) : TqorRTFText(std::string_view(plain)) {}

  // RTF as it is. REQUIRES: rtf is well-formed RTF body text (balanced groups).
  static TqorRTFText FromRtf(std::string rtf);
  // The RTF form of plain UTF-8 text (the table above).
  static std::string Escape(std::string_view plain);

  const std::string& Rtf() const { return rtf_; }
  bool Empty() const { return rtf_.empty(); }

 private:
  std::string rtf_;
};
