// The measurements of the 14 standard PDF fonts, generated at build time from Adobe's AFM files
// in report/afm (report/afm/gen_font_metrics.py), and the Unicode characters of WinAnsiEncoding.
// All lengths are in thousandths of the font size (font units).
#pragma once

#include <cstdint>

inline constexpr int kPDFStandardFontCount = 14;

struct TPDFFontMetrics {
  const char* BaseFont;  // "Helvetica", "Times-BoldItalic", ...
  bool Symbolic;         // Symbol and ZapfDingbats: their own built-in codes, not WinAnsi
  int16_t BBox[4];       // lower-left x, lower-left y, upper-right x, upper-right y
  int16_t Ascender;
  int16_t Descender;    // negative
  int16_t Widths[256];  // by character code; 0 for codes without a glyph
};

// By font index: 0 Courier, 1 Courier-Bold, 2 Courier-BoldOblique, 3 Courier-Oblique,
// 4 Helvetica, 5 Helvetica-Bold, 6 Helvetica-BoldOblique, 7 Helvetica-Oblique, 8 Times-Roman,
// 9 Times-Bold, 10 Times-Italic, 11 Times-BoldItalic, 12 Symbol, 13 ZapfDingbats.
extern const TPDFFontMetrics kPDFStandardFonts[kPDFStandardFontCount];

// The Unicode character of each WinAnsiEncoding code; 0 for the five unused codes 0x81, 0x8D,
// 0x8F, 0x90 and 0x9D.
extern const char16_t kWinAnsiToUnicode[256];
