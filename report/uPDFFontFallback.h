// What a document sets text in that its standard fonts can't show: the text is ordered by
// FriBidi (the line runs left to right; right-to-left pieces are turned round for drawing), each
// character goes to the first installed font that has it (a combining mark and a blank stay with
// the character before when its font has them; a character no font has is the first font's
// missing-glyph box), and each piece of one direction, script and font is shaped by HarfBuzz.
// The fonts are embedded in the document once each, as subsets of the glyphs drawn.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "report/uPDFEmbeddedFont.h"
#include "report/uPDFFontFace.h"

class TPDFDocument;

// Shaped text: pieces in visual order from left to right, lengths in thousandths of the size.
// Left-to-right pieces are drawn inside a span whose ActualText is their text, since shaping may
// reorder their glyphs (a Devanagari vowel sign before its consonant); right-to-left pieces
// rely on the glyphs' texts, as extractors expect them in drawing order.
struct TPDFShapedText {
  struct TRun {
    const TPDFFontFace* Face = nullptr;
    bool RightToLeft = false;
    size_t Start = 0, End = 0;            // the run's characters in Text
    std::vector<TPDFShapedGlyph> Glyphs;  // Cluster: index into Text
    // Per glyph, the text it stands for in reading order of the glyphs: text extractors read
    // glyphs as drawn and turn right-to-left pieces round, so a right-to-left cluster's text is
    // given the glyphs backwards (a ligature gets it reversed); the first glyph of a
    // left-to-right cluster gets all its text. Empty for the other glyphs of a cluster.
    std::vector<std::u32string> Unicode;
  };
  std::u32string Text;  // logical order
  std::vector<TRun> Runs;
  double Advance = 0;
  size_t Glyphs = 0;
  size_t Blanks = 0;   // glyphs of U+0020 characters (word spacing applies to them)
  size_t Missing = 0;  // characters no installed font has
};

class TPDFFontFallback {
 public:
  explicit TPDFFontFallback(TPDFDocument& document) : document_(document) {}
  TPDFFontFallback(const TPDFFontFallback&) = delete;
  TPDFFontFallback& operator=(const TPDFFontFallback&) = delete;

  // The UTF-8 text shaped in the regular or bold chain; nullptr when no TrueType font is
  // installed. The result stays valid until the next call.
  const TPDFShapedText* Shape(std::string_view text, bool bold);
  // The document's font object for the face, made and registered on first use.
  TPDFEmbeddedFont& EmbeddedFont(const TPDFFontFace& face);
  // Counts characters drawn without a font.
  void CountMissing(size_t characters) { missing_ += characters; }
  size_t Missing() const { return missing_; }
  // Writes every embedded font's objects (TPDFEmbeddedFont::Finish).
  void Finish();

 private:
  TPDFShapedText Compute(std::string_view text, bool bold) const;

  TPDFDocument& document_;
  std::unordered_map<std::string, TPDFShapedText> cache_;
  std::map<const TPDFFontFace*, std::unique_ptr<TPDFEmbeddedFont>> fonts_;
  std::vector<TPDFEmbeddedFont*> order_;  // in the order made
  size_t missing_ = 0;
};
