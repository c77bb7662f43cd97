// An installed TrueType font embedded in one document as a subset, the glyphs drawn with it
// shown through two-byte glyph ids:
//   Type0:      << /Type /Font /Subtype /Type0 /BaseFont /ABCDEF+Name /Encoding /Identity-H
//                  /DescendantFonts [ d 0 R ] /ToUnicode u 0 R >>
//   descendant: << /Type /Font /Subtype /CIDFontType2 /BaseFont /ABCDEF+Name
//                  /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>
//                  /FontDescriptor f 0 R /CIDToGIDMap /Identity /DW 1000 /W [ g [ w ... ] ... ] >>
//   descriptor: << /Type /FontDescriptor /FontName /ABCDEF+Name /Flags 4 /FontBBox [ ... ]
//                  /ItalicAngle 0 /Ascent a /Descent d /CapHeight c /StemV 80 /FontFile2 s 0 R >>
//   FontFile2:  << /Length n /Filter /FlateDecode /Length1 m >> the subset (glyph ids kept)
//   ToUnicode:  a CMap from each glyph id to the UTF-16BE text it stands for
// The Type0 dictionary is registered when the font is made (pages refer to it); the rest is
// written by Finish, when the glyphs in use are known. The tag before the name comes from the
// set of glyphs, so one subset keeps one name.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

class TPDFDictionary;
class TPDFDocument;
class TPDFFontFace;
class TPDFStream;

class TPDFEmbeddedFont {
 public:
  // REQUIRES: object is the registered, still empty, Type0 dictionary.
  TPDFEmbeddedFont(const TPDFFontFace& face, std::string resourceName, TPDFDictionary* object);

  const TPDFFontFace& Face() const { return face_; }
  const std::string& ResourceName() const { return resourceName_; }
  TPDFDictionary* Object() const { return object_; }

  // Records a glyph as drawn, standing for the text (empty: the glyph is one of a cluster that
  // another glyph stands for). The first text recorded for a glyph stays, unless the later one
  // is final: the text of a glyph drawn outside an ActualText span, which extractors read.
  void Use(uint32_t glyph, std::u32string_view text, bool final);
  size_t GlyphCount() const { return glyphs_.size(); }

  // Writes the font's objects for the glyphs used so far (again, when more were used since).
  // Raises std::runtime_error when the font can't be subset.
  void Finish(TPDFDocument& document);

 private:
  std::string ToUnicodeMap() const;

  const TPDFFontFace& face_;
  std::string resourceName_;
  TPDFDictionary* object_;
  std::map<uint32_t, std::u32string> glyphs_;
  size_t finishedGlyphs_ = 0;
  TPDFDictionary* descendant_ = nullptr;
  TPDFDictionary* descriptor_ = nullptr;
  TPDFStream* file_ = nullptr;
  TPDFStream* toUnicode_ = nullptr;
};
