// A standard font of a document: its font dictionary
//   << /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>
// (no "Encoding" for Symbol and ZapfDingbats, which use their built-in codes), its resource
// name, and its metrics for measuring text. Text is UTF-8 inside the program; the font turns it
// into its one-byte codes: WinAnsiEncoding for the text fonts, the built-in codes (Latin-1
// values) for Symbol and ZapfDingbats. A character the encoding lacks becomes "?"; control
// characters keep their codes, which have no width.
// A text font of a document with a fallback sets the words holding characters WinAnsi lacks in
// installed fonts instead (uPDFFontFallback.h): the text splits into segments, each a run of
// words that WinAnsi shows, or a run of words (with the blanks between them) that it doesn't.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/uPDFFontMetrics.h"

class TPDFDictionary;
class TPDFFontFallback;

// A piece of a text: in the standard font's codes, or set through the fallback.
struct TPDFTextSegment {
  std::string_view Text;
  bool Fallback = false;
};

// The width of a text in thousandths of the size, and what character and word spacing apply
// to: its codes (or glyphs) and its blanks.
struct TPDFTextMeasure {
  double Width = 0;
  size_t Characters = 0;
  size_t Blanks = 0;
};

class TPDFFont {
 public:
  // REQUIRES: 0 <= index < kPDFStandardFontCount; object is the registered font dictionary.
  TPDFFont(int index, std::string resourceName, TPDFDictionary* object);

  int Index() const { return index_; }
  const char* BaseFont() const { return metrics_->BaseFont; }
  const std::string& ResourceName() const { return resourceName_; }
  TPDFDictionary* Object() const { return object_; }
  const TPDFFontMetrics& Metrics() const { return *metrics_; }
  bool IsSymbolic() const { return metrics_->Symbolic; }
  bool IsBold() const;
  // The fallback for text WinAnsi can't show (nullptr: such characters are "?"); the document's.
  void SetFallback(TPDFFontFallback* fallback) { fallback_ = fallback; }
  TPDFFontFallback* Fallback() const { return fallback_; }

  // True when the font has a fallback and the UTF-8 text holds a character its encoding lacks.
  bool NeedsFallback(std::string_view text) const;
  // The text's segments in order (one standard segment when it needs no fallback).
  std::vector<TPDFTextSegment> Segments(std::string_view text) const;
  // The text measured as drawn, the fallback segments through the fallback.
  TPDFTextMeasure Measure(std::string_view text) const;
  // Width of UTF-8 text at the size, in points, without spacing or scaling: CodesWidth of its
  // codes when it needs no fallback.
  double TextWidth(std::string_view text, double size) const;

  // The font's one-byte codes for UTF-8 text (bytes that are not UTF-8 count as Latin-1).
  std::string Encode(std::string_view text) const;
  // Width of a code in thousandths of the font size; 0 for codes without a glyph.
  int CodeWidth(unsigned char code) const { return metrics_->Widths[code]; }
  // Width of encoded text at the size, in points, without spacing or scaling.
  double CodesWidth(std::string_view codes, double size) const;
  // The UTF-8 text without the characters whose codes have no width in this font.
  std::string RemoveWidthless(std::string_view text) const;

  // (box top - box bottom) * size / 1000: the height of one line.
  double LineHeight(double size) const;
  // Box bottom * size / 1000 (negative).
  double Descent(double size) const;
  // Box top * size / 1000: the height above the baseline.
  double HeightAboveBaseline(double size) const;
  // Ascender * size / 1000.
  double Ascent(double size) const;

  // The WinAnsiEncoding code of a character, '?' when the encoding lacks it.
  static unsigned char WinAnsiCode(char32_t c);

 private:
  unsigned char CodeOf(char32_t c) const;

  int index_;
  const TPDFFontMetrics* metrics_;
  std::string resourceName_;
  TPDFDictionary* object_;  // owned by the document
  TPDFFontFallback* fallback_ = nullptr;
};
