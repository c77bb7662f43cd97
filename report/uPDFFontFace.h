// An installed TrueType font (one face of a .ttf file or a .ttc collection) as the PDF writer
// uses it for text the standard fonts can't show: its glyphs and metrics read through HarfBuzz,
// text shaped into glyphs, and the subset of it that a document embeds. Lengths are in
// thousandths of the font size, as the PDF font dictionaries and content streams take them.
// A face is shared by every document of the process and never changes once loaded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct hb_blob_t;
struct hb_face_t;
struct hb_font_t;

// One glyph of shaped text, its lengths in thousandths of the font size.
struct TPDFShapedGlyph {
  uint32_t Id = 0;  // 0: the missing-glyph box
  double Advance = 0;
  double XOffset = 0;
  double YOffset = 0;
  uint32_t Cluster = 0;  // index of the cluster's first character in the shaped text
};

class TPDFFontFace {
 public:
  // Face index of the file. Raises std::runtime_error when the file holds no such face.
  TPDFFontFace(const std::string& file, unsigned index);
  ~TPDFFontFace();
  TPDFFontFace(const TPDFFontFace&) = delete;
  TPDFFontFace& operator=(const TPDFFontFace&) = delete;

  const std::string& File() const { return file_; }
  // Outlines in a "glyf" table, as a CIDFontType2 font must have them.
  bool HasTrueTypeOutlines() const { return trueType_; }
  bool HasCharacter(char32_t c) const;
  // The PostScript name, reduced to the characters a PDF name keeps readable.
  const std::string& PostScriptName() const { return postScriptName_; }
  // The advance the font's "hmtx" table gives the glyph, rounded.
  int GlyphWidth(uint32_t glyph) const;
  int Ascent() const { return ascent_; }
  int Descent() const { return descent_; }  // negative
  int CapHeight() const { return capHeight_; }
  const int* BoundingBox() const { return bbox_; }  // lower-left x, y, upper-right x, y

  // Shapes text[start, start + length) with the whole text as context, right to left when rtl,
  // in the script (an ISO 15924 tag as HarfBuzz numbers it), and appends the glyphs in visual
  // order.
  void Shape(const std::u32string& text, size_t start, size_t length, bool rtl, uint32_t script,
             std::vector<TPDFShapedGlyph>& out) const;
  // A font file with only the glyphs (and glyph 0), each keeping its id, without hinting and
  // layout tables. Raises std::runtime_error when HarfBuzz can't subset the face.
  std::string Subset(const std::vector<uint32_t>& glyphs) const;

 private:
  std::string file_;
  hb_blob_t* blob_ = nullptr;
  hb_face_t* face_ = nullptr;
  hb_font_t* font_ = nullptr;
  double scale_ = 1;  // thousandths of the size per font unit
  bool trueType_ = false;
  std::string postScriptName_;
  int ascent_ = 0, descent_ = 0, capHeight_ = 0;
  int bbox_[4] = {0, 0, 0, 0};
};
